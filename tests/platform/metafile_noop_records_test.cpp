// Records that change nothing a picture on a screen shows (font mapper
// preferences, colour management, driver escapes, OpenGL records): Windows
// plays them and draws nothing, so each counts as played, leaves the picture
// as it was, and the records after it still play.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

std::vector<uint8_t> Zeros(size_t n)
{
    return std::vector<uint8_t>(n, 0);
}

struct NoOpRow {
    const char* name;
    std::function<void(EmfBuilder&)> write;
};

TEST(MetafileNoOpRecords, EnhancedOnesPlayAndDrawNothing)
{
    const NoOpRow rows[] = {
        {"mapper flags", [](EmfBuilder& b) { b.Record(16, {1}); }},
        {"colour adjustment",
         [](EmfBuilder& b) {
             b.Record(23, {24, 0, 0, 10000, 10000, 10000});
         }},
        {"icm mode", [](EmfBuilder& b) { b.Record(98, {2}); }},
        {"colour space", [](EmfBuilder& b) { b.Record(99, {3}, Zeros(328)); }},
        {"select colour space", [](EmfBuilder& b) { b.Record(100, {3}); }},
        {"delete colour space", [](EmfBuilder& b) { b.Record(101, {3}); }},
        {"gl record", [](EmfBuilder& b) { b.Record(102, {4}, Zeros(4)); }},
        {"bounded gl record",
         [](EmfBuilder& b) {
             b.Record(103, {0, 0, 9, 9, 4}, Zeros(4));
         }},
        {"pixel format", [](EmfBuilder& b) { b.Record(104, {}, Zeros(40)); }},
        {"draw escape",
         [](EmfBuilder& b) {
             b.Record(105, {4096, 4}, Zeros(4));
         }},
        {"ext escape",
         [](EmfBuilder& b) {
             b.Record(106, {4096, 4}, Zeros(4));
         }},
        {"font identifier",
         [](EmfBuilder& b) {
             b.Record(109, {7, 1});
         }},
        {"named escape",
         [](EmfBuilder& b) {
             b.Record(110, {4096, 4, 0}, Zeros(4));
         }},
        {"icm profile",
         [](EmfBuilder& b) {
             b.Record(112, {0, 4, 0}, Zeros(4));
         }},
        {"wide icm profile",
         [](EmfBuilder& b) {
             b.Record(113, {0, 4, 0}, Zeros(4));
         }},
        {"linked fonts",
         [](EmfBuilder& b) {
             b.Record(119, {1, 7, 1, 0, 0});
         }},
        {"colour match",
         [](EmfBuilder& b) {
             b.Record(121, {1, 0, 4, 0}, Zeros(4));
         }},
        {"wide colour space", [](EmfBuilder& b) { b.Record(122, {3}, Zeros(588 + 8)); }},
    };
    for (const NoOpRow& row : rows) {
        SCOPED_TRACE(row.name);
        EmfBuilder b(0, 0, 9, 9);
        b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
        b.SelectStock(8);  // the null pen
        row.write(b);
        b.Rectangle(0, 0, 4, 4);
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 10, 10, false, &stats);
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
    b.Record(99, {1}, Zeros(328));
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
    const std::function<void(WmfBuilder&)> rows[] = {
        [](WmfBuilder& b) { b.Record(0x0105, {1}); },  // SETRELABS
        [](WmfBuilder& b) {
            b.Record(0x0231, {1, 0});
        },  // SETMAPPERFLAGS
        [](WmfBuilder& b) {
            b.Record(0x0626, {15, 4, 0x0101, 0x0202});
        },  // an escape
        [](WmfBuilder& b) {
            b.Record(0x0626, {0x1000, 0});
        },  // one without data
    };
    int i = 0;
    for (const auto& write : rows) {
        SCOPED_TRACE(i++);
        WmfBuilder b;
        b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
        b.Select(b.CreatePen(PS_NULL, 0, 0));
        write(b);
        b.Rectangle(0, 0, 4, 4);
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 10, 10, true, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_EQ(stats.played, stats.records);
        EXPECT_EQ(Ink(px), 16u);
    }
}

}  // namespace
