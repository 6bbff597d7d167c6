// Records that change nothing a picture on a screen shows (font mapper
// preferences, colour management, driver escapes, OpenGL records): Windows
// plays them and draws nothing, so each counts as played, leaves the picture
// as it was, and the records after it still play.
#include <gtest/gtest.h>
#include <windows.h>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

// A record that draws nothing: its type, fields and as many 0 bytes after
// them.
struct NoOpRow {
    const char* name;
    int type;
    std::vector<int> fields;
    size_t zeros;
};

// The null pen: the stock one, or one made where there are no stock
// objects.
void SelectNullPen(EmfBuilder& b)
{
    b.SelectStock(8);
}
void SelectNullPen(WmfBuilder& b)
{
    b.Select(b.CreatePen(PS_NULL, 0, 0));
}

// A red square on (0, 0)-(3, 3) drawn after the row's record.
template <class Builder>
std::vector<uint8_t> SquareAfter(Builder b, const NoOpRow& row)
{
    b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
    SelectNullPen(b);
    b.Record(row.type, row.fields, std::vector<uint8_t>(row.zeros, 0));
    b.Rectangle(0, 0, 4, 4);
    return b.Bytes();
}

TEST(MetafileNoOpRecords, EnhancedOnesPlayAndDrawNothing)
{
    const NoOpRow rows[] = {
        {"mapper flags", 16, {1}, 0},
        {"colour adjustment", 23, {24, 0, 0, 10000, 10000, 10000}, 0},
        {"icm mode", 98, {2}, 0},
        {"colour space", 99, {3}, 328},
        {"select colour space", 100, {3}, 0},
        {"delete colour space", 101, {3}, 0},
        {"gl record", 102, {4}, 4},
        {"bounded gl record", 103, {0, 0, 9, 9, 4}, 4},
        {"pixel format", 104, {}, 40},
        {"draw escape", 105, {4096, 4}, 4},
        {"ext escape", 106, {4096, 4}, 4},
        {"font identifier", 109, {7, 1}, 0},
        {"named escape", 110, {4096, 4, 0}, 4},
        {"icm profile", 112, {0, 4, 0}, 4},
        {"wide icm profile", 113, {0, 4, 0}, 4},
        {"linked fonts", 119, {1, 7, 1, 0, 0}, 0},
        {"colour match", 121, {1, 0, 4, 0}, 4},
        {"wide colour space", 122, {3}, 588 + 8},
    };
    for (const NoOpRow& row : rows) {
        SCOPED_TRACE(row.name);
        PlayStats stats;
        const std::vector<uint32_t> px =
            PlayOnWhite(SquareAfter(EmfBuilder(0, 0, 9, 9), row), 10, 10, false, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_EQ(stats.played, stats.records);
        EXPECT_EQ(Ink(px), 16u);
        EXPECT_EQ(px[3 * 10 + 3], 0xFF0000u);
    }
}

TEST(MetafileNoOpRecords, AColourSpaceTakesItsSlotUntilAnObjectReplacesIt)
{
    // A brush made in the slot a colour space held replaces it and is
    // selected as any brush is.
    EmfBuilder b(0, 0, 9, 9);
    b.Record(99, {1}, std::vector<uint8_t>(328, 0));
    b.Record(39, {1, BS_SOLID, int32_t(RGB(0, 0, 255)), 0});
    b.Select(1);
    b.SelectStock(8);  // the null pen
    b.Rectangle(0, 0, 2, 2);
    PlayStats stats;
    const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 10, 10, false, &stats);
    EXPECT_EQ(stats.skipped, 0u);
    EXPECT_EQ(px[0], 0x0000FFu);
}

TEST(MetafileNoOpRecords, WindowsOnesPlayAndDrawNothing)
{
    const NoOpRow rows[] = {
        {"SETRELABS", 0x0105, {1}, 0},
        {"SETMAPPERFLAGS", 0x0231, {1, 0}, 0},
        {"an escape", 0x0626, {15, 4, 0x0101, 0x0202}, 0},
        {"one without data", 0x0626, {0x1000, 0}, 0},
    };
    for (const NoOpRow& row : rows) {
        SCOPED_TRACE(row.name);
        PlayStats stats;
        const std::vector<uint32_t> px =
            PlayOnWhite(SquareAfter(WmfBuilder(), row), 10, 10, true, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_EQ(stats.played, stats.records);
        EXPECT_EQ(Ink(px), 16u);
    }
}

}  // namespace
