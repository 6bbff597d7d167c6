// The brush origin (SetBrushOrgEx): Windows tiles a hatch or pattern brush
// from the brush origin, so moving the origin by (dx, dy) moves the whole
// pattern by as much while the shapes it fills stay where they are; it is
// part of the state SaveDC keeps.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "metafile_builder.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr int kSide = 48;

// A canvas-filling rectangle in a hatched brush on a transparent
// background, the brush origin at (ox, oy), then (`restored`) the origin
// put back to (0, 0) by a SaveDC before the move and a RestoreDC after it.
std::vector<uint32_t> Hatched(int hatch, int ox, int oy, bool restored = false)
{
    EmfBuilder e(0, 0, kSide - 1, kSide - 1);
    e.Record(39, {5, 2, int32_t(RGB(0, 0, 255)), hatch});  // EMR_CREATEBRUSHINDIRECT, BS_HATCHED
    e.Select(5);
    e.SelectStock(8);  // NULL_PEN
    e.SetBkMode(1);
    if (restored)
        e.SaveDC();
    e.Record(13, {ox, oy});  // EMR_SETBRUSHORGEX
    if (restored)
        e.RestoreDC(-1);
    e.Rectangle(0, 0, kSide + 1, kSide + 1);
    return PlayOnWhite(e.Bytes(), kSide, kSide, false);
}

TEST(MetafileBrushOrg, MovingTheOriginMovesThePattern)
{
    const struct {
        int ox, oy;
    } origins[] = {{3, 5}, {-2, 7}, {11, -4}, {8, 16}, {-1000003, 2000005}};
    for (int hatch = 0; hatch < 6; hatch++) {
        const std::vector<uint32_t> at0 = Hatched(hatch, 0, 0);
        ASSERT_GT(Ink(at0), 0u);
        for (const auto& o : origins) {
            SCOPED_TRACE("hatch " + std::to_string(hatch) + " origin " + std::to_string(o.ox) +
                         ", " + std::to_string(o.oy));
            const std::vector<uint32_t> moved = Hatched(hatch, o.ox, o.oy);
            size_t wrong = 0;
            for (int y = 0; y < kSide; y++) {
                for (int x = 0; x < kSide; x++) {
                    // The same pixel of the pattern, found in the unmoved
                    // picture a whole number of 8-pixel tiles away.
                    const int sx = (((x - o.ox) % 8) + 8) % 8 + 16,
                              sy = (((y - o.oy) % 8) + 8) % 8 + 16;
                    wrong += moved[size_t(y) * kSide + x] != at0[size_t(sy) * kSide + sx];
                }
            }
            EXPECT_EQ(wrong, 0u);
            EXPECT_EQ(Differences(Hatched(hatch, o.ox, o.oy, true), at0), 0u);
        }
    }
}

// A vertical hatch at the canvas origin inks column 4 of every eight; moved
// right by two it inks column 6.
TEST(MetafileBrushOrg, AVerticalHatchMovesRight)
{
    auto columns = [](const std::vector<uint32_t>& px) {
        std::string s;
        for (int x = 0; x < 16; x++)
            s += px[size_t(9) * kSide + x] != kWhite ? '#' : '.';
        return s;
    };
    const std::string at0 = columns(Hatched(1, 0, 0));
    const std::string moved = columns(Hatched(1, 2, 0));
    EXPECT_EQ(at0, "....#.......#...");
    EXPECT_EQ(moved, "......#.......#.");
}

}  // namespace
