// How Windows counts the scan lines of device-independent rows: from the
// picture's bottom row, whichever way the rows are stored. GetDIBits bands,
// StretchDIBits source rectangles and return values, and what GetObjectA
// tells of a DIB section.
#include "platform_fixture.h"
#include "gdi_canvas.h"

#include <string>
#include <vector>

namespace {

class DibScanLines : public PlatformTest {};

// A 32-bit BI_RGB header of the size.
CanvasInfo Header32(int width, int height)
{
    return CanvasHeader(width, height, 32);
}

// Fills a 1-pixel-wide canvas with the values given top row first.
void FillColumn(Canvas& c, const std::vector<DWORD>& topFirst)
{
    for (int y = 0; y < c.h; ++y)
        c.Set(0, y, topFirst[size_t(y)]);
}

TEST_F(DibScanLines, GetDIBitsCountsScanLinesFromTheBottomForBothRowOrders)
{
    // Windows numbers scan lines from the bitmap's bottom row up, also when
    // the caller asks for top-down rows: the sign of biHeight only decides
    // whether the band's top row or its bottom row comes first in the buffer.
    // The bitmap holds 10, 20, 30, 40 from its top row down.
    const struct {
        const char* name;
        bool topDownRows;
        UINT start, lines;
        int returned;
        std::vector<DWORD> buffer;  // in the caller's row order
    } rows[] = {
        {"top-down, scan line 0 is the bottom row", true, 0, 1, 1, {40}},
        {"top-down, the bottom two", true, 0, 2, 2, {30, 40}},
        {"top-down, the middle two", true, 1, 2, 2, {20, 30}},
        {"top-down, cut at the top", true, 2, 5, 2, {10, 20}},
        {"top-down, all four", true, 0, 4, 4, {10, 20, 30, 40}},
        {"bottom-up, scan line 0 is the bottom row", false, 0, 1, 1, {40}},
        {"bottom-up, the bottom two", false, 0, 2, 2, {40, 30}},
        {"bottom-up, the middle two", false, 1, 2, 2, {30, 20}},
        {"bottom-up, all four", false, 0, 4, 4, {40, 30, 20, 10}},
        {"past the top", true, 4, 1, 0, {}},
    };
    for (int stored : {4, -4}) {
        Canvas c(1, stored, 32);
        FillColumn(c, {10, 20, 30, 40});
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) +
                         (stored < 0 ? ", top-down bitmap" : ", bottom-up bitmap"));
            CanvasInfo asked = Header32(1, row.topDownRows ? -4 : 4);
            std::vector<DWORD> buffer(8, 0xEEEEEEEE);
            ASSERT_EQ(GetDIBits(c.dc, c.bitmap, row.start, row.lines, buffer.data(), asked.get(),
                                DIB_RGB_COLORS),
                      row.returned);
            for (size_t i = 0; i < row.buffer.size(); ++i)
                EXPECT_EQ(buffer[i], row.buffer[i]) << "buffer row " << i;
            // Nothing past the rows returned is written.
            EXPECT_EQ(buffer[row.buffer.size()], 0xEEEEEEEEu);
        }
    }
}

TEST_F(DibScanLines, StretchDIBitsCountsSourceYFromTheBottom)
{
    // Windows places StretchDIBits' source rectangle with ySrc counted from
    // the picture's bottom row for a top-down bitmap too, so both row orders
    // of one picture give the same pixels. The call returns the number of
    // scan lines in the bitmap, also when fewer (or none) reach the device.
    // A negative source extent draws nothing and returns 0; a negative
    // destination extent runs back from its origin's pixel and mirrors. The
    // picture is 1, 2, 3, 4 from its top row down; the target is 1 x 3 of
    // zeros, read top row first.
    const struct {
        const char* name;
        int x, y, w, h, ySrc, wSrc, hSrc;
        int returned;
        DWORD want[3];
    } rows[] = {
        {"the bottom two rows", 0, 0, 1, 2, 0, 1, 2, 4, {3, 4, 0}},
        {"the middle two rows", 0, 0, 1, 2, 1, 1, 2, 4, {2, 3, 0}},
        {"the top two rows", 0, 0, 1, 2, 2, 1, 2, 4, {1, 2, 0}},
        {"a rectangle reaching above the picture", 0, 0, 1, 2, 3, 1, 2, 4, {0, 1, 0}},
        {"the whole picture squeezed to three rows", 0, 0, 1, 3, 0, 1, 4, 4, {1, 3, 4}},
        {"one row, doubled", 0, 1, 1, 2, 0, 1, 1, 4, {0, 4, 4}},
        {"the destination mirrored", 0, 1, 1, -2, 0, 1, 2, 4, {4, 3, 0}},
        {"nothing lands: still the bitmap's scan lines", 5, 0, 1, 2, 0, 1, 2, 4, {0, 0, 0}},
        {"a negative source height", 0, 0, 1, 2, 2, 1, -2, 0, {0, 0, 0}},
        {"a negative source width", 0, 0, 1, 2, 0, -1, 2, 0, {0, 0, 0}},
        {"an empty destination", 0, 0, 0, 2, 0, 1, 2, 0, {0, 0, 0}},
    };
    for (int stored : {4, -4}) {
        Canvas src(1, stored, 32);
        FillColumn(src, {1, 2, 3, 4});
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (stored < 0 ? ", top-down" : ", bottom-up"));
            Canvas dst(1, 3, 32);
            EXPECT_EQ(StretchDIBits(dst.dc, row.x, row.y, row.w, row.h, 0, row.ySrc, row.wSrc,
                                    row.hSrc, src.bits, src.info.get(), DIB_RGB_COLORS, SRCCOPY),
                      row.returned);
            for (int y = 0; y < 3; ++y)
                EXPECT_EQ(dst.Get(0, y), row.want[y]) << "row " << y;
        }
    }
}

TEST_F(DibScanLines, GetObjectOfADibSectionAsWindowsReportsIt)
{
    // Without a buffer Windows answers with the size of a BITMAP, also for a
    // DIB section; a buffer of a DIBSECTION's size receives the section's
    // header, whose height is positive for a top-down section too.
    const struct {
        const char* name;
        int height;
        int bpp;
    } rows[] = {
        {"bottom-up 24 bits", 3, 24},
        {"top-down 24 bits", -3, 24},
        {"top-down 8 bits", -3, 8},
        {"bottom-up 32 bits", 3, 32},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Canvas c(5, row.height, row.bpp);
        EXPECT_EQ(GetObjectA(c.bitmap, 0, nullptr), int(sizeof(BITMAP)));
        EXPECT_EQ(GetObjectA(c.bitmap, sizeof(DIBSECTION), nullptr), int(sizeof(BITMAP)));
        DIBSECTION ds;
        ASSERT_EQ(GetObjectA(c.bitmap, sizeof(ds), &ds), int(sizeof(DIBSECTION)));
        EXPECT_EQ(ds.dsBmih.biHeight, 3);
        EXPECT_EQ(ds.dsBmih.biWidth, 5);
        EXPECT_EQ(ds.dsBm.bmHeight, 3);
        EXPECT_EQ(ds.dsBm.bmBits, c.bits);
        EXPECT_EQ(ds.dsBmih.biSizeImage, DWORD(c.stride * 3));
        // A BITMAP's worth of buffer gets the BITMAP.
        BITMAP bm;
        EXPECT_EQ(GetObjectA(c.bitmap, sizeof(bm), &bm), int(sizeof(BITMAP)));
        EXPECT_EQ(bm.bmWidthBytes, c.stride);
    }
}

}  // namespace
