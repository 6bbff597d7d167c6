// The Windows metafile's oldest blits, BitBlt and StretchBlt, carry a
// device bitmap (Bitmap16: rows top first, each a whole number of words).
// A monochrome one meets the screen as Windows converts it: its 0 pixels in
// the text colour, its 1 pixels in the background colour. Without a bitmap
// (three words past its function's top byte) the record is a pattern blit.
#include <gtest/gtest.h>
#include <windows.h>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr int kSrcCopyLo = 0x0020, kSrcCopyHi = 0x00CC;

// A Bitmap16 of `bits` (1 or 24) from top-first rows of pixels (0 or 1, or
// 0x00RRGGBB).
std::vector<uint8_t> Bitmap16(int w, int h, int bits, const std::vector<uint32_t>& px)
{
    const int stride = ((w * bits + 15) / 16) * 2;
    std::vector<uint8_t> b;
    Put16(b, 0);
    Put16(b, uint16_t(w));
    Put16(b, uint16_t(h));
    Put16(b, uint16_t(stride));
    b.push_back(1);
    b.push_back(uint8_t(bits));
    for (int y = 0; y < h; y++) {
        std::vector<uint8_t> row(size_t(stride), 0);
        for (int x = 0; x < w; x++) {
            const uint32_t p = px[size_t(y) * w + x];
            if (bits == 1) {
                row[size_t(x / 8)] |= uint8_t((p & 1) << (7 - x % 8));
            } else {
                row[size_t(3 * x)] = uint8_t(p);
                row[size_t(3 * x + 1)] = uint8_t(p >> 8);
                row[size_t(3 * x + 2)] = uint8_t(p >> 16);
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

TEST(MetafileOldBlits, BitBltAndStretchBltDrawTheirDeviceBitmaps)
{
    const std::vector<uint32_t> colour = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
    struct Case {
        const char* name;
        bool stretch;
        int bits;
        std::vector<uint32_t> source, shown;
    } cases[] = {
        {"colour", false, 24, colour, colour},
        {"stretched", true, 24, colour, colour},
        // Text colour blue, background colour yellow.
        {"monochrome", false, 1, {0, 1, 1, 0}, {0x0000FF, 0xFFFF00, 0xFFFF00, 0x0000FF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WmfBuilder b;
        b.SetTextColor(RGB(0, 0, 255));
        b.SetBkColor(RGB(255, 255, 0));
        const std::vector<uint8_t> bitmap = Bitmap16(2, 2, c.bits, c.source);
        const int k = c.stretch ? 2 : 1;
        if (c.stretch) {
            // rop, source h, w, y, x; destination h, w, y, x; the bitmap.
            b.Record(0x0B23, {kSrcCopyLo, kSrcCopyHi, 2, 2, 0, 0, 4, 4, 1, 3}, bitmap);
        } else {
            // rop, source y, x; h, w, y, x; the bitmap.
            b.Record(0x0922, {kSrcCopyLo, kSrcCopyHi, 0, 0, 2, 2, 1, 3}, bitmap);
        }
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 8, 6, true, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        for (int y = 0; y < 6; y++)
            for (int x = 0; x < 8; x++) {
                const int sx = (x - 3) / k, sy = (y - 1) / k;
                const bool in = x >= 3 && y >= 1 && x < 3 + 2 * k && y < 1 + 2 * k;
                ASSERT_EQ(px[size_t(y) * 8 + x], in ? c.shown[size_t(sy) * 2 + sx] : kWhite)
                    << x << "," << y;
            }
    }
}

TEST(MetafileOldBlits, WithoutABitmapTheBrushIsBlitted)
{
    // PATCOPY (0x00F00021): rop, source y, x, a reserved word, h, w, y, x.
    for (int function : {0x0922, 0x0940}) {  // BitBlt, and the DIB blit written the same way
        SCOPED_TRACE(function);
        WmfBuilder b;
        b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
        b.Record(uint16_t(function), {0x0021, 0x00F0, 0, 0, 0, 2, 3, 1, 1});
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 8, 6, true, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_EQ(Ink(px), 6u);
        EXPECT_EQ(px[1 * 8 + 1], 0xFF0000u);
        EXPECT_EQ(px[2 * 8 + 3], 0xFF0000u);
    }
}

TEST(MetafileOldBlits, BitmapsShortOfTheirRowsAreSkipped)
{
    for (int cut : {1, 2}) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> bitmap = Bitmap16(2, 2, 24, {0, 0, 0, 0});
        bitmap.resize(bitmap.size() - size_t(cut) * 2);
        bitmap[2] = uint8_t(cut == 2 ? 0xFF : 2);  // a width far past the rows, or rows cut
        WmfBuilder b;
        b.Record(0x0922, {kSrcCopyLo, kSrcCopyHi, 0, 0, 2, 2, 1, 3}, bitmap);
        PlayStats stats;
        EXPECT_EQ(Ink(PlayOnWhite(b.Bytes(), 8, 6, true, &stats)), 0u);
        EXPECT_EQ(stats.skipped, 1u);
    }
}

TEST(MetafileOldBlits, AColourDeviceBitmapBrushFillsWithItsOwnColours)
{
    // CREATEPATTERNBRUSH: the device bitmap's header, a pointer and 18
    // reserved bytes, then the rows; tiled from the canvas origin.
    const std::vector<uint32_t> pattern = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
    const std::vector<uint8_t> bitmap = Bitmap16(2, 2, 24, pattern);
    std::vector<uint8_t> record(bitmap.begin(), bitmap.begin() + 10);
    record.resize(10 + 4 + 18, 0);
    record.insert(record.end(), bitmap.begin() + 10, bitmap.end());
    WmfBuilder b;
    b.Record(0x01F9, {}, record);
    b.Select(0);
    b.CreatePen(PS_NULL, 0, 0);
    b.Select(1);  // the pen, in the slot after the brush
    b.Rectangle(1, 1, 7, 5);
    PlayStats stats;
    const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 8, 6, true, &stats);
    EXPECT_EQ(stats.skipped, 0u);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 8; x++) {
            const bool in = x >= 1 && x < 7 && y >= 1 && y < 5;
            ASSERT_EQ(px[size_t(y) * 8 + x], in ? pattern[size_t(y % 2) * 2 + x % 2] : kWhite)
                << x << "," << y;
        }
}

}  // namespace
