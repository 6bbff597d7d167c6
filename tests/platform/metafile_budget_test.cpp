// A metafile's work and memory follow from its bytes: small hand-made files
// that ask for a great deal are held to the play's work allowance, counted
// by the player itself, and to memory counted by the allocator, never timed.
#include <gtest/gtest.h>
#include <windows.h>

#include "alloc_counter.h"
#include "metafile_hostile.h"
#include "metafile_internal.h"
#include "metafile_raster.h"
#include "metafile_readers.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kRed = 0xFF0000, kWhite = 0xFFFFFF;

struct Played {
    std::vector<uint32_t> px;
    PlayStats stats;
    size_t peak = 0;  // bytes held at once during the play, the canvas apart
};

Played PlayOn(const std::vector<uint8_t>& bytes, bool wmf, int w, int h)
{
    Played out;
    out.px.assign(size_t(w) * h, kWhite);
    HENHMETAFILE mf = wmf ? SetWinMetaFileBits(UINT(bytes.size()), bytes.data(), nullptr, nullptr)
                          : SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
    EXPECT_NE(mf, nullptr);
    if (mf == nullptr)
        return out;
    BufferCanvas canvas(out.px.data(), w, h, size_t(w));
    {
        const AllocCounter counter;
        Play(*Find(mf), canvas, RECT{0, 0, w, h}, &out.stats);
        out.peak = counter.Peak();
    }
    DeleteEnhMetaFile(mf);
    return out;
}

TEST(MetafileBudget, SixHundredCrossingClipBarsCostTheirBandsOnly)
{
    // Each exclusion cuts every band once; the grid of cells it leaves is
    // 301 bands of 301 spans, and the fill walks one band a row.
    const int side = 1000;
    const std::vector<uint8_t> bytes = CrossingClipBars(600, side);
    ASSERT_LT(bytes.size(), 10000u);
    const Played p = PlayOn(bytes, true, side, side);
    EXPECT_TRUE(p.stats.stopped.empty()) << p.stats.stopped;
    EXPECT_LT(p.stats.work, uint64_t(40) << 20);
    if (AllocCounter::Available()) {
        EXPECT_LT(p.peak, size_t(8) << 20);
    }
    // A cell is red, the bars between cells are not.
    EXPECT_EQ(p.px[size_t(1) * side + 1], kRed);
    const int step = side / 301;
    EXPECT_EQ(p.px[size_t(1) * side + step], kWhite);
    EXPECT_EQ(p.px[size_t(step) * side + 1], kWhite);
    EXPECT_EQ(p.px[size_t(step + 2) * side + step + 2], kRed);
}

TEST(MetafileBudget, ManyCanvasSizedRectanglesStopAtTheAllowanceKeepingWhatWasDrawn)
{
    // 290 rectangles over 2048 x 2048 pixels in about 4 KB: over a thousand
    // million pixels, far past what the file's size allows.
    const int side = 2048;
    const std::vector<uint8_t> bytes = CanvasRectangles(290, side);
    ASSERT_LT(bytes.size(), 4200u);
    const Played p = PlayOn(bytes, true, side, side);
    EXPECT_EQ(p.stats.stopped, kStopWorkSpent);
    const uint64_t allowance = WorkAllowance(bytes.size());
    // The work stops within a row of the allowance.
    EXPECT_LE(p.stats.work, allowance + 2 * side);
    EXPECT_LT(p.stats.played, 290u);
    // What was drawn stays.
    EXPECT_EQ(p.px[0], kRed);
    EXPECT_EQ(p.px.back(), kRed);
}

TEST(MetafileBudget, SavedStatesShareTheirClip)
{
    // 4000 saved states under a clip of 3001 rectangles: a copy of the clip
    // each would hold some 190 MB.
    const std::vector<uint8_t> bytes = SavesUnderABigClip(3001, 4000);
    const Played p = PlayOn(bytes, false, 240, 204);
    EXPECT_TRUE(p.stats.stopped.empty()) << p.stats.stopped;
    EXPECT_EQ(p.stats.skipped, 0u);
    if (!AllocCounter::Available())
        GTEST_SKIP() << "the sanitizers own the allocator";
    EXPECT_LT(p.peak, size_t(4) << 20);
}

TEST(MetafileBudget, APathOfHugeCurvesStopsBeforeItOutgrowsMemory)
{
    // Each 24-byte ellipse far larger than the picture flattens to a
    // thousand points in a path: 4000 of them would hold some 65 MB.
    EmfBuilder b(0, 0, 99, 99);
    b.Record(59, {});  // begin path
    for (int i = 0; i < 4000; i++)
        b.Ellipse(-1000000000, -1000000000, 1000000000, 1000000000 - i);
    b.Record(60, {});  // end path
    const Played p = PlayOn(b.Bytes(), false, 100, 100);
    EXPECT_EQ(p.stats.stopped, kStopWorkSpent);
    if (AllocCounter::Available()) {
        EXPECT_LT(p.peak, size_t(48) << 20);
    }
}

TEST(MetafileBudget, SpentStaysSpent)
{
    // The count stops at its top: more work after the allowance is spent
    // (a path past its limit, then the spans of the same record) never
    // wraps it round to a small number again.
    uint32_t px[4] = {};
    BufferCanvas canvas(px, 2, 2, 2);
    Raster raster(canvas);
    raster.SetAllowance(100);
    raster.Charge(UINT64_MAX);
    raster.Charge(UINT64_MAX);
    raster.Span(0, 0, 2, 0xFF);
    EXPECT_TRUE(raster.Spent());
    EXPECT_EQ(px[0], 0u);  // nothing drawn once spent
}

TEST(MetafileBudget, TheAllowanceFollowsTheFileSizeAboveAFloor)
{
    EXPECT_EQ(WorkAllowance(46), WorkAllowance(0));
    EXPECT_GT(WorkAllowance(1 << 20), WorkAllowance(46));
    EXPECT_EQ(WorkAllowance(2 << 20), 2 * WorkAllowance(1 << 20));
}

}  // namespace
