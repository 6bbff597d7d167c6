// PlayEnhMetaFile into device contexts: the picture lands in the selected
// bitmap at its depth, fitted to the rectangle, through the context's clip.
#include <gtest/gtest.h>
#include <windows.h>

#include "metafile_builder.h"
#include "metafile_internal.h"

namespace {

// A memory context with a top-down DIB section of w x h at `bits`, its
// pixels readable through `pixels`.
struct Section {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    void* pixels = nullptr;
    Section(int w, int h, int bits)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = -h;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = WORD(bits);
        bmi.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &pixels, nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    ~Section()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

HENHMETAFILE RedSquare()
{
    EmfBuilder b(0, 0, 9, 9);
    b.Select(b.CreatePen(PS_NULL, 0, 0));
    b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
    b.Rectangle(0, 0, 5, 5);
    const std::vector<uint8_t> bytes = b.Bytes();
    return SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
}

TEST(PlayEnhMetaFile, IntoA32BitSectionFittedToTheRectangle)
{
    Section s(20, 20, 32);
    HENHMETAFILE mf = RedSquare();
    const RECT r = {4, 2, 24, 22};  // twice the picture's size, partly outside
    EXPECT_TRUE(PlayEnhMetaFile(s.dc, mf, &r));
    const uint32_t* px = static_cast<const uint32_t*>(s.pixels);
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 20; x++) {
            const bool red = x >= 4 && x < 14 && y >= 2 && y < 12;
            EXPECT_EQ(px[y * 20 + x] & 0xFFFFFF, red ? 0xFF0000u : 0u) << x << "," << y;
        }
    EXPECT_EQ(win32metafile::LastPlayStats().played, 7u);
    DeleteEnhMetaFile(mf);
}

TEST(PlayEnhMetaFile, IntoA16BitSectionThroughTheClip)
{
    Section s(10, 10, 16);
    HRGN clip = CreateRectRgn(0, 0, 3, 10);
    ASSERT_NE(ExtSelectClipRgn(s.dc, clip, RGN_COPY), ERROR);
    DeleteObject(clip);
    HENHMETAFILE mf = RedSquare();
    const RECT r = {0, 0, 10, 10};
    EXPECT_TRUE(PlayEnhMetaFile(s.dc, mf, &r));
    const uint16_t* px = static_cast<const uint16_t*>(s.pixels);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++) {
            const bool red = x < 3 && y < 5;
            EXPECT_EQ(px[y * 10 + x], red ? 0x7C00 : 0) << x << "," << y;  // 5-5-5
        }
    DeleteEnhMetaFile(mf);
}

TEST(PlayEnhMetaFile, UnknownHandlesAndContexts)
{
    Section s(4, 4, 32);
    HENHMETAFILE mf = RedSquare();
    const RECT r = {0, 0, 4, 4};
    EXPECT_FALSE(PlayEnhMetaFile(s.dc, nullptr, &r));
    EXPECT_FALSE(PlayEnhMetaFile(reinterpret_cast<HDC>(0x1234), mf, &r));
    EXPECT_FALSE(PlayEnhMetaFile(s.dc, mf, nullptr));
    DeleteEnhMetaFile(mf);
    EXPECT_FALSE(PlayEnhMetaFile(s.dc, mf, &r));
}

}  // namespace
