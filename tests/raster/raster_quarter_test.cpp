// The blocked quarter turns against the pixel-by-pixel reference: random
// sizes (around the tile size, one-pixel strips, rows without padding) and
// every depth, with an alpha plane, byte for byte over the whole pixel block.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "rasterquarter.h"
#include "transform_support.h"

using namespace transform_test;

namespace {

bool NoProgress(RasterImage&, long, long)
{
    return false;
}

// A working copy as the turns make one: sizes swapped, same palette, alpha.
std::unique_ptr<RasterImage> Turned(const RasterImage& src)
{
    std::unique_ptr<RasterImage> dst(
        new RasterImage(src.GetHeight(), src.GetWidth(), src.GetBpp(), 0));
    if (src.GetNumColors() != 0)
        dst->SetPalette(src.GetPalette(), src.GetNumColors());
    if (src.AlphaIsValid())
        dst->AlphaCreate();
    return dst;
}

TEST(RasterQuarter, BlockedTurnEqualsThePixelByPixelTurn)
{
    const unsigned seed = 20261208;
    std::mt19937 rng(seed);
    const long edges[] = {1, 2, 3, 4, 5, 31, 32, 33, 63, 64, 65, 97};
    for (int bpp : {1, 4, 8, 24, 32}) {
        for (int round = 0; round < 24; round++) {
            long w = round < 12 ? edges[(size_t)round] : 1 + (long)(rng() % 150);
            long h = round < 12 ? edges[(size_t)(11 - round)] : 1 + (long)(rng() % 150);
            const bool alpha = (round & 1) != 0;
            const unsigned imageSeed = (unsigned)rng();
            for (bool left : {false, true}) {
                SCOPED_TRACE("bpp " + std::to_string(bpp) + " " + std::to_string(w) + "x" +
                             std::to_string(h) + (left ? " left" : " right") + " image seed " +
                             std::to_string(imageSeed));
                auto src = RandomImage(w, h, bpp, imageSeed, alpha);
                auto fast = Turned(*src), plain = Turned(*src);
                rasterquarter::Turn(*src, *fast, left, NoProgress);
                rasterquarter::TurnReference(*src, *plain, left, NoProgress);
                ASSERT_EQ(plain->GetSize(), fast->GetSize());
                EXPECT_EQ(0, memcmp(plain->GetBits(0), fast->GetBits(0),
                                    (size_t)plain->GetEffWidth() * plain->GetHeight()));
                ASSERT_EQ(alpha, fast->AlphaIsValid());
                if (alpha) {
                    EXPECT_EQ(0, memcmp(plain->AlphaGetBits(), fast->AlphaGetBits(),
                                        (size_t)w * (size_t)h));
                }
            }
        }
    }
}

// Progress ends where the loop of single pixels leaves it: the last
// destination column (left) or row (right) of rows.
TEST(RasterQuarter, ProgressEndsOnTheLastLine)
{
    auto img = RandomImage(70, 40, 24, 3);
    RasterImage out;
    ASSERT_TRUE(img->RotateLeft(&out));
    EXPECT_EQ(39 * 100 / 40, img->GetProgress());
    ASSERT_TRUE(img->RotateRight(&out));
    EXPECT_EQ(69 * 100 / 70, img->GetProgress());
}

}  // namespace
