// Clipping of device contexts and icons made from bitmaps.
#include "platform_fixture.h"
#include "gdi_canvas.h"

#include <random>

namespace {

class GdiClip : public PlatformTest {};

bool InRect(const RECT& r, int x, int y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

TEST_F(GdiClip, CombinedClipRegionsLimitDrawingPixelForPixel)
{
    // Random chains of ExtSelectClipRgn against a per-pixel reference of the
    // set operations; WHITENESS over the whole surface shows what is drawable.
    std::mt19937 rng(21);
    const int W = 24, H = 18;
    for (int round = 0; round < 60; ++round) {
        Canvas c(W, H, 8);
        std::vector<char> inside(W * H, 1);  // no clip region: everything
        for (int step = 0; step < 4; ++step) {
            RECT a = {LONG(rng() % 30) - 3, LONG(rng() % 24) - 3, 0, 0};
            a.right = a.left + LONG(rng() % 15);
            a.bottom = a.top + LONG(rng() % 12);
            RECT b = {LONG(rng() % W), LONG(rng() % H), 0, 0};
            b.right = b.left + LONG(rng() % 10) + 1;
            b.bottom = b.top + LONG(rng() % 10) + 1;
            HRGN rgn = CreateRectRgnIndirect(&a);
            HRGN other = CreateRectRgnIndirect(&b);
            CombineRgn(rgn, rgn, other, RGN_OR);
            const int mode = int(rng() % 5) + 1;
            ASSERT_NE(ExtSelectClipRgn(c.dc, rgn, mode), ERROR);
            DeleteObject(rgn);  // the context keeps its own copy
            DeleteObject(other);
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    const bool r = InRect(a, x, y) || InRect(b, x, y);
                    char& in = inside[y * W + x];
                    switch (mode) {
                    case RGN_AND: in = in && r; break;
                    case RGN_OR: in = in || r; break;
                    case RGN_XOR: in = in != r; break;
                    case RGN_DIFF: in = in && !r; break;
                    case RGN_COPY: in = r; break;
                    }
                }
            }
        }
        ASSERT_TRUE(PatBlt(c.dc, 0, 0, W, H, WHITENESS));
        RECT box = {};
        RECT expectBox = {W, H, 0, 0};
        bool any = false;
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                ASSERT_EQ(c.Get(x, y), inside[y * W + x] ? 0xFFu : 0u) << round << " " << x << "," << y;
                if (inside[y * W + x]) {
                    any = true;
                    expectBox = {std::min<LONG>(expectBox.left, x), std::min<LONG>(expectBox.top, y),
                                 std::max<LONG>(expectBox.right, x + 1),
                                 std::max<LONG>(expectBox.bottom, y + 1)};
                }
                const RECT one = {x, y, x + 1, y + 1};
                ASSERT_EQ(RectVisible(c.dc, &one), inside[y * W + x] ? TRUE : FALSE);
            }
        }
        const int type = GetClipBox(c.dc, &box);
        if (!any) {
            EXPECT_EQ(type, NULLREGION);
            continue;
        }
        EXPECT_NE(type, NULLREGION);
        EXPECT_EQ(box.left, expectBox.left);
        EXPECT_EQ(box.top, expectBox.top);
        EXPECT_EQ(box.right, expectBox.right);
        EXPECT_EQ(box.bottom, expectBox.bottom);
    }
}

TEST_F(GdiClip, NullRegionRestoresTheWholeSurface)
{
    Canvas c(10, 8, 24);
    RECT box;
    EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 10);
    EXPECT_EQ(box.bottom, 8);
    HRGN rgn = CreateRectRgn(2, 2, 4, 4);
    EXPECT_EQ(SelectClipRgn(c.dc, rgn), SIMPLEREGION);
    EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 2);
    // A region selected with SelectObject becomes the clip region too.
    HRGN two = CreateRectRgn(0, 0, 1, 1);
    HRGN more = CreateRectRgn(5, 5, 6, 6);
    CombineRgn(two, two, more, RGN_OR);
    EXPECT_EQ(SelectObject(c.dc, two), reinterpret_cast<HGDIOBJ>(uintptr_t(COMPLEXREGION)));
    EXPECT_EQ(GetPixel(c.dc, 2, 2), CLR_INVALID);
    EXPECT_EQ(ExtSelectClipRgn(c.dc, nullptr, RGN_AND), ERROR);
    EXPECT_EQ(ExtSelectClipRgn(c.dc, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 10);
    EXPECT_EQ(ExtSelectClipRgn(c.dc, rgn, 9), ERROR);
    EXPECT_EQ(ExtSelectClipRgn(nullptr, rgn, RGN_COPY), ERROR);
    // Saving the clip box, narrowing and widening it back restores it.
    ExtSelectClipRgn(c.dc, rgn, RGN_AND);
    RECT saved;
    GetClipBox(c.dc, &saved);
    HRGN narrow = CreateRectRgn(3, 3, 9, 9);
    EXPECT_EQ(ExtSelectClipRgn(c.dc, narrow, RGN_AND), SIMPLEREGION);
    GetClipBox(c.dc, &box);
    EXPECT_EQ(box.left, 3);
    HRGN back = CreateRectRgnIndirect(&saved);
    ExtSelectClipRgn(c.dc, back, RGN_OR);
    GetClipBox(c.dc, &box);
    EXPECT_EQ(box.left, saved.left);
    EXPECT_EQ(box.right, saved.right);
    for (HRGN r : {rgn, two, more, narrow, back})
        DeleteObject(r);
}

class GdiIcon : public PlatformTest {};

TEST_F(GdiIcon, IconsKeepCopiesAndHandOutNewOnes)
{
    Canvas colour(4, 4, 24), mask(4, 4, 1);
    SetPixel(colour.dc, 1, 2, RGB(9, 8, 7));
    SetPixel(mask.dc, 3, 0, RGB(255, 255, 255));
    ICONINFO info = {TRUE, 0, 0, mask.bitmap, colour.bitmap};
    HICON icon = CreateIconIndirect(&info);
    ASSERT_NE(icon, nullptr);
    // The icon's bitmaps are its own: changing the caller's changes nothing.
    SetPixel(colour.dc, 1, 2, RGB(0, 0, 0));
    ICONINFO out = {};
    ASSERT_TRUE(GetIconInfo(icon, &out));
    EXPECT_TRUE(out.fIcon);
    ASSERT_NE(out.hbmColor, nullptr);
    EXPECT_NE(out.hbmColor, colour.bitmap);
    EXPECT_NE(out.hbmMask, mask.bitmap);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, out.hbmColor);
    EXPECT_EQ(GetPixel(dc, 1, 2), RGB(9, 8, 7));
    SelectObject(dc, out.hbmMask);
    EXPECT_EQ(GetPixel(dc, 3, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 2, 0), RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteDC(dc);
    // Each call hands out new copies the caller deletes.
    ICONINFO second = {};
    ASSERT_TRUE(GetIconInfo(icon, &second));
    EXPECT_NE(second.hbmColor, out.hbmColor);
    for (HBITMAP b : {out.hbmColor, out.hbmMask, second.hbmColor, second.hbmMask})
        EXPECT_TRUE(DeleteObject(b));
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_FALSE(GetIconInfo(icon, &out));
}

TEST_F(GdiIcon, MonochromeIconHasOnlyItsDoubleHeightMask)
{
    // The AND mask above the XOR image, in one 1-bit bitmap twice as high.
    HBITMAP mask = CreateBitmap(8, 16, 1, 1, nullptr);
    ICONINFO info = {TRUE, 0, 0, mask, nullptr};
    HICON icon = CreateIconIndirect(&info);
    ASSERT_NE(icon, nullptr);
    ICONINFO out = {};
    ASSERT_TRUE(GetIconInfo(icon, &out));
    EXPECT_EQ(out.hbmColor, nullptr);
    BITMAP bm = {};
    ASSERT_EQ(GetObjectA(out.hbmMask, sizeof(bm), &bm), int(sizeof(bm)));
    EXPECT_EQ(bm.bmHeight, 16);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    DeleteObject(out.hbmMask);
    DestroyIcon(icon);
    DeleteObject(mask);
    // Without a mask there is no icon; shared icons are never destroyed.
    ICONINFO none = {TRUE, 0, 0, nullptr, nullptr};
    EXPECT_EQ(CreateIconIndirect(&none), nullptr);
    HICON shared = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    EXPECT_TRUE(DestroyIcon(shared));
}

}  // namespace
