// The player's banded clip region against a plain mask of pixels: random
// unions, intersections and exclusions give the same pixels, and the bands
// stay in the form the spans rely on (sorted, apart, merged).
#include <gtest/gtest.h>

#include <random>

#include "metafile_clip.h"
#include "metafile_raster.h"

using namespace win32metafile;

namespace {

constexpr int kW = 40, kH = 30;

struct Mask {
    std::vector<bool> in = std::vector<bool>(kW * kH, false);
    void Set(const RECT& r, bool v, bool inside)
    {
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++) {
                const bool hit = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                if (hit == inside)
                    in[y * kW + x] = v;
            }
    }
};

RECT RandomRect(std::mt19937& rng)
{
    std::uniform_int_distribution<int> x(-5, kW + 5), y(-5, kH + 5);
    const int a = x(rng), b = x(rng), c = y(rng), d = y(rng);
    return {std::min(a, b), std::min(c, d), std::max(a, b), std::max(c, d)};
}

void ExpectWellFormed(const ClipRegion& r)
{
    const auto& bands = r.Bands();
    for (size_t i = 0; i < bands.size(); i++) {
        ASSERT_LT(bands[i].top, bands[i].bottom);
        ASSERT_GT(bands[i].count, 0u);
        if (i > 0) {
            ASSERT_LE(bands[i - 1].bottom, bands[i].top);
            if (bands[i - 1].bottom == bands[i].top && bands[i - 1].count == bands[i].count) {
                bool same = true;
                for (size_t k = 0; k < bands[i].count; k++)
                    same = same && r.Spans(bands[i])[k].left == r.Spans(bands[i - 1])[k].left &&
                           r.Spans(bands[i])[k].right == r.Spans(bands[i - 1])[k].right;
                ASSERT_FALSE(same) << "neighbouring bands left unmerged";
            }
        }
        for (size_t k = 0; k < bands[i].count; k++) {
            ASSERT_LT(r.Spans(bands[i])[k].left, r.Spans(bands[i])[k].right);
            if (k > 0) {
                ASSERT_LT(r.Spans(bands[i])[k - 1].right, r.Spans(bands[i])[k].left);
            }
        }
    }
}

// The pixels a white canvas shows after a black fill through the clip.
std::vector<bool> Drawn(const std::shared_ptr<const ClipRegion>& clip)
{
    std::vector<uint32_t> px(kW * kH, 0xFFFFFF);
    BufferCanvas canvas(px.data(), kW, kH, kW);
    Raster raster(canvas);
    raster.SetClip(clip);
    // Rows in a scrambled order, and spans starting anywhere, so the band
    // search and the span search are both exercised.
    for (int k = 0; k < kH; k++) {
        const int y = (k * 7) % kH;
        raster.Span(y, -3, 11, 0);
        raster.Span(y, 11, kW + 3, 0);
    }
    std::vector<bool> out(kW * kH);
    for (int i = 0; i < kW * kH; i++)
        out[i] = px[i] == 0;
    return out;
}

TEST(MetafileClip, RandomOperationsMatchAMaskOfPixels)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 300; round++) {
        SCOPED_TRACE(round);
        // Start from a union of a few rectangles, overlapping or not.
        std::vector<RECT> rects;
        Mask mask;
        const int n = (int)(rng() % 5);
        for (int i = 0; i < n; i++) {
            rects.push_back(RandomRect(rng));
            mask.Set(rects.back(), true, true);
        }
        auto region = ClipRegion::FromRects(rects);
        ExpectWellFormed(*region);
        for (int step = 0; step < 6; step++) {
            const RECT r = RandomRect(rng);
            if (rng() % 2) {
                region = region->Intersect(r);
                mask.Set(r, false, false);
            } else {
                region = region->Exclude(r);
                mask.Set(r, false, true);
            }
            ExpectWellFormed(*region);
        }
        const std::vector<bool> drawn = Drawn(region);
        for (int i = 0; i < kW * kH; i++)
            ASSERT_EQ(drawn[i], mask.in[i]) << "pixel " << i % kW << "," << i / kW;
    }
}

TEST(MetafileClip, ACrossingGridStaysOneBandARow)
{
    // Ten vertical bars and ten horizontal ones cut out of the canvas leave
    // a grid of cells: eleven bands of eleven spans, not a heap of pieces
    // (the rows of a horizontal bar hold nothing, so no band).
    auto region = ClipRegion::FromRects({{0, 0, 110, 110}});
    for (int i = 0; i < 10; i++) {
        region = region->Exclude({10 * i + 9, 0, 10 * i + 10, 110});
        region = region->Exclude({0, 10 * i + 9, 110, 10 * i + 10});
    }
    EXPECT_EQ(region->Bands().size(), 11u);
    EXPECT_EQ(region->Size(), 11u + 11 * 11);
}

}  // namespace
