// GDI regions: banded rectangles, set operations, the rectangle list and the
// bounding box, as Win32 documents them.
#include "platform_fixture.h"
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <vector>

namespace {

std::vector<RECT> Rects(HRGN rgn, RGNDATAHEADER* header = nullptr)
{
    const DWORD size = GetRegionData(rgn, 0, nullptr);
    std::vector<char> buf(size);
    RGNDATA* data = reinterpret_cast<RGNDATA*>(buf.data());
    EXPECT_EQ(size, GetRegionData(rgn, size, data));
    if (header != nullptr)
        *header = data->rdh;
    std::vector<RECT> out(data->rdh.nCount);
    memcpy(out.data(), data->Buffer, out.size() * sizeof(RECT));
    return out;
}

bool Same(const std::vector<RECT>& got, const std::vector<RECT>& want)
{
    if (got.size() != want.size())
        return false;
    for (size_t i = 0; i < got.size(); i++)
        if (got[i].left != want[i].left || got[i].top != want[i].top ||
            got[i].right != want[i].right || got[i].bottom != want[i].bottom)
            return false;
    return true;
}

TEST(Win32Region, RectanglesAndTheirBox)
{
    HRGN r = CreateRectRgn(10, 8, 2, 3);  // corners put in order
    RECT box;
    EXPECT_EQ(SIMPLEREGION, GetRgnBox(r, &box));
    EXPECT_TRUE(Same({box}, {{2, 3, 10, 8}}));
    EXPECT_TRUE(PtInRegion(r, 2, 3));
    EXPECT_FALSE(PtInRegion(r, 10, 3));  // right and bottom are outside
    EXPECT_FALSE(PtInRegion(r, 2, 8));
    HRGN e = CreateRectRgn(5, 5, 5, 9);
    EXPECT_EQ(NULLREGION, GetRgnBox(e, &box));
    EXPECT_TRUE(Same({box}, {{0, 0, 0, 0}}));
    EXPECT_EQ(ERROR, GetRgnBox(r, nullptr));
    EXPECT_TRUE(DeleteObject(r));
    EXPECT_TRUE(DeleteObject(e));
    EXPECT_EQ(ERROR, GetRgnBox(r, &box));  // gone
    EXPECT_EQ(0u, GetRegionData(r, 0, nullptr));
}

TEST(Win32Region, UnionsAreBanded)
{
    const struct {
        RECT a, b;
        int type;
        std::vector<RECT> rects;
    } cases[] = {
        // Overlapping: three bands.
        {{0, 0, 10, 10},
         {5, 5, 15, 15},
         COMPLEXREGION,
         {{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}}},
        // Side by side in one band: merged.
        {{0, 0, 5, 5}, {5, 0, 10, 5}, SIMPLEREGION, {{0, 0, 10, 5}}},
        // One above the other with the same span: one band.
        {{0, 0, 5, 5}, {0, 5, 5, 10}, SIMPLEREGION, {{0, 0, 5, 10}}},
        // Apart in one band: two rectangles sorted by left.
        {{20, 0, 25, 4}, {0, 0, 5, 4}, COMPLEXREGION, {{0, 0, 5, 4}, {20, 0, 25, 4}}},
        // Inside: the larger one.
        {{0, 0, 9, 9}, {2, 2, 4, 4}, SIMPLEREGION, {{0, 0, 9, 9}}},
        // With an empty region.
        {{3, 3, 4, 4}, {0, 0, 0, 0}, SIMPLEREGION, {{3, 3, 4, 4}}},
    };
    for (const auto& c : cases) {
        HRGN a = CreateRectRgnIndirect(&c.a), b = CreateRectRgnIndirect(&c.b);
        HRGN d = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(c.type, CombineRgn(d, a, b, RGN_OR));
        RGNDATAHEADER h;
        EXPECT_TRUE(Same(Rects(d, &h), c.rects)) << c.a.left << " " << c.b.left;
        EXPECT_EQ(32u, h.dwSize);
        EXPECT_EQ((DWORD)RDH_RECTANGLES, h.iType);
        EXPECT_EQ(c.rects.size() * sizeof(RECT), h.nRgnSize);
        // The destination may be one of the sources.
        EXPECT_EQ(c.type, CombineRgn(a, b, a, RGN_OR));
        EXPECT_TRUE(Same(Rects(a), c.rects));
        DeleteObject(a);
        DeleteObject(b);
        DeleteObject(d);
    }
}

TEST(Win32Region, OtherOperations)
{
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 0, 15, 10),
         d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(SIMPLEREGION, CombineRgn(d, a, b, RGN_AND));
    EXPECT_TRUE(Same(Rects(d), {{5, 0, 10, 10}}));
    EXPECT_EQ(SIMPLEREGION, CombineRgn(d, a, b, RGN_DIFF));
    EXPECT_TRUE(Same(Rects(d), {{0, 0, 5, 10}}));
    EXPECT_EQ(COMPLEXREGION, CombineRgn(d, a, b, RGN_XOR));
    EXPECT_TRUE(Same(Rects(d), {{0, 0, 5, 10}, {10, 0, 15, 10}}));
    EXPECT_EQ(SIMPLEREGION, CombineRgn(d, b, nullptr, RGN_COPY));
    EXPECT_TRUE(Same(Rects(d), {{5, 0, 15, 10}}));
    EXPECT_EQ(ERROR, CombineRgn(d, a, b, 9));
    EXPECT_EQ(ERROR, CombineRgn(d, a, nullptr, RGN_OR));
    // A buffer too small gets nothing.
    RGNDATA small;
    EXPECT_EQ(0u, GetRegionData(d, sizeof(small), &small));
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(d);
}

TEST(Win32Region, RandomUnionsHoldTheirPixelsInCanonicalBands)
{
    std::mt19937 rng(17);
    for (int round = 0; round < 20; round++) {
        std::vector<std::vector<bool>> want(40, std::vector<bool>(50, false));
        HRGN acc = CreateRectRgn(0, 0, 0, 0);
        std::vector<RECT> pieces;
        for (int i = 0; i < 15; i++) {
            const int l = (int)(rng() % 50), t = (int)(rng() % 40);
            const int r = l + (int)(rng() % 12), b = t + (int)(rng() % 9);
            HRGN piece = CreateRectRgn(l, t, r, b);
            pieces.push_back(RECT{l, t, r, b});
            CombineRgn(acc, piece, acc, RGN_OR);
            DeleteObject(piece);
            for (int y = t; y < std::min(b, 40); y++)
                for (int x = l; x < std::min(r, 50); x++)
                    want[y][x] = true;
        }
        for (int y = 0; y < 40; y++)
            for (int x = 0; x < 50; x++)
                ASSERT_EQ(want[y][x], (bool)PtInRegion(acc, x, y)) << x << "," << y;
        // The same rectangles as one list give the same region.
        std::vector<BYTE> list = RegionList(pieces);
        const RGNDATA* data = reinterpret_cast<const RGNDATA*>(list.data());
        HRGN once = ExtCreateRegion(nullptr, (DWORD)list.size(), data);
        ASSERT_NE(nullptr, once);
        EXPECT_TRUE(Same(Rects(once), Rects(acc)));
        EXPECT_EQ(nullptr, ExtCreateRegion(nullptr, (DWORD)list.size() - 1, data));
        DeleteObject(once);
        // Bands: sorted, equal tops and bottoms inside a band, rectangles that
        // neither overlap nor touch, and touching bands that differ.
        const std::vector<RECT> rects = Rects(acc);
        for (size_t i = 1; i < rects.size(); i++) {
            const RECT& p = rects[i - 1];
            const RECT& q = rects[i];
            if (p.top == q.top) {
                EXPECT_EQ(p.bottom, q.bottom);
                EXPECT_LT(p.right, q.left);
            } else {
                EXPECT_LE(p.bottom, q.top);
            }
        }
        DeleteObject(acc);
    }
}

HRGN RegionOfList(const std::vector<RECT>& rects)
{
    const std::vector<BYTE> list = RegionList(rects);
    return ExtCreateRegion(nullptr, (DWORD)list.size(),
                           reinterpret_cast<const RGNDATA*>(list.data()));
}

// A list already in band order (rows top to bottom, each row's rectangles
// left to right, as a presentation's changed rows come) gives the region the
// rectangles give one by one: rectangles that touch in a row become one, and
// so do touching rows of the same rectangles; rows that overlap, or
// rectangles out of order, still give the union.
TEST(Win32Region, ListsInBandOrderGiveTheUnion)
{
    std::mt19937 rng(29);
    for (int round = 0; round < 300; round++) {
        SCOPED_TRACE(round);
        std::vector<RECT> rects;
        LONG top = LONG(rng() % 4);
        for (int band = 0; band < 1 + int(rng() % 6); band++) {
            const LONG height = 1 + LONG(rng() % 4);
            LONG x = LONG(rng() % 5);
            const bool sameAsLast = !rects.empty() && rng() % 3 == 0;
            if (sameAsLast) {  // a touching row of the same rectangles
                const LONG lastTop = rects.back().top;
                std::vector<RECT> row;
                for (const RECT& r : rects)
                    if (r.top == lastTop)
                        row.push_back(RECT{r.left, top, r.right, top + height});
                rects.insert(rects.end(), row.begin(), row.end());
            } else {
                for (int i = 0; i < 1 + int(rng() % 4); i++) {
                    const LONG w = 1 + LONG(rng() % 6);
                    rects.push_back(RECT{x, top, x + w, top + height});
                    x += w + LONG(rng() % 3);  // touching when 0
                }
            }
            top += height + LONG(rng() % 2);
        }
        if (round % 5 == 4 && rects.size() >= 2)  // out of band order
            std::swap(rects.front(), rects.back());
        HRGN acc = CreateRectRgn(0, 0, 0, 0);
        for (const RECT& r : rects) {
            HRGN piece = CreateRectRgn(r.left, r.top, r.right, r.bottom);
            CombineRgn(acc, acc, piece, RGN_OR);
            DeleteObject(piece);
        }
        HRGN once = RegionOfList(rects);
        ASSERT_NE(nullptr, once);
        EXPECT_TRUE(Same(Rects(once), Rects(acc)));
        DeleteObject(once);
        DeleteObject(acc);
    }
}

TEST(Win32Region, GetRegionDataCountsTheBytesItWrote)
{
    // Windows answers a call without a buffer with the bytes the data takes,
    // refuses a buffer that is too small, and otherwise returns the bytes it
    // wrote: the header and the rectangles, not the size of the buffer.
    HRGN a = CreateRectRgn(0, 0, 4, 4);
    HRGN b = CreateRectRgn(6, 0, 9, 4);
    HRGN two = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(COMPLEXREGION, CombineRgn(two, a, b, RGN_OR));
    HRGN none = CreateRectRgn(3, 3, 3, 3);
    const DWORD header = sizeof(RGNDATAHEADER);
    const struct {
        const char* name;
        HRGN rgn;
        DWORD count;
        DWORD want;
    } rows[] = {
        {"one rectangle, exact buffer", a, header + 16, header + 16},
        {"one rectangle, larger buffer", a, 4096, header + 16},
        {"one rectangle, one byte short", a, header + 15, 0},
        {"two rectangles, exact buffer", two, header + 32, header + 32},
        {"two rectangles, larger buffer", two, header + 33, header + 32},
        {"empty region, larger buffer", none, 100, header},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<char> buf(4096, char(0x5A));
        EXPECT_EQ(row.want,
                  GetRegionData(row.rgn, row.count, reinterpret_cast<RGNDATA*>(buf.data())));
        if (row.want != 0) {
            // Nothing past the bytes it reported is touched.
            EXPECT_EQ(buf[row.want], char(0x5A));
            EXPECT_EQ(reinterpret_cast<RGNDATA*>(buf.data())->rdh.nRgnSize, row.want - header);
        }
    }
    for (HRGN r : {a, b, two, none})
        DeleteObject(r);
}

}  // namespace
