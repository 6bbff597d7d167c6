// Geometric transformations: every pixel of the result against the formula
// applied to the source through the plain pixel calls.
#include <gtest/gtest.h>

#include <cmath>

#include "test_raster.h"
#include "transform_support.h"

using namespace transform_test;

namespace {

const int kDepths[] = {1, 4, 8, 24};

RGBQUAD Canvas()
{
    RGBQUAD c = {30, 60, 90, 0};
    return c;
}

TEST(RasterGeometry, QuarterAndHalfTurnsOfEveryDepth)
{
    struct Turn {
        const char* name;
        bool (RasterImage::*op)(RasterImage*);
        bool swaps;
        // The source pixel of new pixel (x, y) for a w x h source.
        void (*from)(long x, long y, long w, long h, long& sx, long& sy);
    };
    const Turn turns[] = {
        {"left", &RasterImage::RotateLeft, true,
         [](long x, long y, long, long h, long& sx, long& sy) {
             sx = y;
             sy = h - 1 - x;
         }},
        {"right", &RasterImage::RotateRight, true,
         [](long x, long y, long w, long, long& sx, long& sy) {
             sx = w - 1 - y;
             sy = x;
         }},
        {"180", &RasterImage::Rotate180, false,
         [](long x, long y, long w, long h, long& sx, long& sy) {
             sx = w - 1 - x;
             sy = h - 1 - y;
         }},
    };
    for (const Turn& t : turns) {
        for (int bpp : kDepths) {
            for (long w : {1L, 13L, 32L}) {
                const long h = 9;
                SCOPED_TRACE(std::string(t.name) + " bpp " + std::to_string(bpp) + " w " +
                             std::to_string(w));
                auto src = RandomImage(w, h, bpp, (unsigned)(bpp * 100 + w), true);
                src->SelectionCreate();
                src->SetXDPI(300);
                RasterImage out;
                ASSERT_TRUE((src.get()->*t.op)(&out));
                const long nw = t.swaps ? h : w, nh = t.swaps ? w : h;
                EXPECT_TRUE(SamePixels(out, nw, nh, [&](long x, long y) {
                    long sx, sy;
                    t.from(x, y, w, h, sx, sy);
                    return Sample(*src, sx, sy);
                }));
                EXPECT_TRUE(SameAlpha(out, [&](long x, long y) {
                    long sx, sy;
                    t.from(x, y, w, h, sx, sy);
                    return src->AlphaGet(sx, sy);
                }));
                EXPECT_TRUE(SamePalette(out, *src));
                EXPECT_FALSE(out.SelectionIsValid());
                EXPECT_EQ(300, out.GetXDPI());              // the information record goes along
                EXPECT_EQ((long)w, (long)src->GetWidth());  // the source is untouched with a target
            }
        }
    }
}

TEST(RasterGeometry, TurnsInPlaceReplaceTheImage)
{
    auto img = RandomImage(5, 3, 24, 7);
    RasterImage before(*img);
    ASSERT_TRUE(img->RotateRight());
    ASSERT_TRUE(img->RotateLeft());
    EXPECT_TRUE(SamePixels(*img, 5, 3, [&](long x, long y) { return Sample(before, x, y); }));
    ASSERT_TRUE(img->Rotate180());
    EXPECT_TRUE(
        SamePixels(*img, 5, 3, [&](long x, long y) { return Sample(before, 4 - x, 2 - y); }));
    RasterImage out;
    ASSERT_TRUE(img->Rotate180(&out));
    EXPECT_EQ(100 * 2 / 3, img->GetProgress());  // the last row's progress, left on the source
}

TEST(RasterGeometry, MirrorAndFlipOfEveryDepth)
{
    for (int bpp : kDepths) {
        SCOPED_TRACE(bpp);
        auto src = RandomImage(11, 5, bpp, (unsigned)bpp, true);
        RasterImage m(*src), f(*src);
        m.SelectionCreate();
        ASSERT_TRUE(m.Mirror());
        ASSERT_TRUE(f.Flip());
        EXPECT_TRUE(SamePixels(m, 11, 5, [&](long x, long y) { return Sample(*src, 10 - x, y); }));
        EXPECT_TRUE(SameAlpha(m, [&](long x, long y) { return src->AlphaGet(10 - x, y); }));
        EXPECT_FALSE(m.SelectionIsValid());
        EXPECT_TRUE(SamePixels(f, 11, 5, [&](long x, long y) { return Sample(*src, x, 4 - y); }));
        EXPECT_TRUE(SameAlpha(f, [&](long x, long y) { return src->AlphaGet(x, 4 - y); }));
    }
}

// The turn by any angle written out from its formula: corners, canvas and the
// source point of every new pixel, computed per pixel in double precision.
struct TurnReference {
    double c, s;
    long minX = 0, minY = 0, maxX = 0, maxY = 0;
    TurnReference(float angle, long w, long h)
    {
        const double theta = -(double)angle * (double)acosf(0.0f) / 90;
        c = cos(theta);
        s = sin(theta);
        const long px[3] = {w, 0, w - 1}, py[3] = {0, h, h};
        for (int i = 0; i < 3; i++) {
            const long tx = (long)floor(px[i] * c - py[i] * s);
            const long ty = (long)floor(px[i] * s + py[i] * c);
            minX = std::min(minX, tx);
            maxX = std::max(maxX, tx);
            minY = std::min(minY, ty);
            maxY = std::max(maxY, ty);
        }
    }
    long Width() const { return maxX + 2 - minX; }
    long Height() const { return maxY + 2 - minY; }
    void From(long nx, long ny, long& ox, long& oy) const
    {
        const long x = nx + minX, y = ny + minY;
        ox = (long)(x * c + y * s - 0.5);
        oy = (long)(y * c - x * s - 0.5);
    }
};

TEST(RasterGeometry, RotateByAnyAngleSamplesTheTurnedGrid)
{
    for (float angle : {0.0f, 90.0f, 33.3f, -45.0f, 180.0f, 271.5f}) {
        for (int bpp : kDepths) {
            for (long trans : {-1L, 1L}) {
                SCOPED_TRACE("angle " + std::to_string(angle) + " bpp " + std::to_string(bpp) +
                             " trans " + std::to_string(trans));
                auto src = RandomImage(23, 14, bpp, (unsigned)(bpp + angle * 10), true);
                src->SetTransIndex(trans);
                src->SetTransColor(Quad(1, 2, 3));
                RasterImage out;
                ASSERT_TRUE(src->Rotate(angle, &out));
                const TurnReference ref(angle, 23, 14);
                EXPECT_TRUE(SamePixels(out, ref.Width(), ref.Height(), [&](long x, long y) {
                    long ox, oy;
                    ref.From(x, y, ox, oy);
                    return Sample(*src, ox, oy);  // outside: the outside rules
                }));
                EXPECT_TRUE(SameAlpha(out, [&](long x, long y) {
                    long ox, oy;
                    ref.From(x, y, ox, oy);
                    return src->AlphaGet(ox, oy);
                }));
            }
        }
    }
}

// Outside a 1- or 4-bit picture without a transparent index, turns and polar
// distortions take the first byte of the pixel block, whose low bits are a
// pixel other than (0, 0): here the first byte is 0x5A, pixel (0, 0) holds 5
// (4 bits) or 0 (1 bit), and the corners get 0xA or 0 (4 bits) and 0 or 1
// (1 bit) from the byte.
TEST(RasterGeometry, OutsideLowDepthPicturesIsTheFirstByte)
{
    struct Row {
        int bpp;
        BYTE first;
        BYTE want;
    };
    const Row rows[] = {{4, 0x5A, 0x0A}, {4, 0xA5, 0x05}, {1, 0x5A, 0}, {1, 0x5B, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE("bpp " + std::to_string(row.bpp) + " first byte " + std::to_string(row.first));
        RasterImage src(16, 12, (DWORD)row.bpp, 0);
        for (long y = 0; y < 12; y++)
            for (long x = 0; x < 16; x++)
                src.SetPixelIndex(x, y, (BYTE)((x + y) % 3 == 0 ? 0 : 1));
        src.GetBits(0)[0] = row.first;

        RasterImage turned;
        ASSERT_TRUE(src.Rotate(45.0f, &turned));
        EXPECT_EQ(row.want, turned.GetPixelIndex(0, 0));  // a corner no source pixel reaches
        EXPECT_EQ(row.want, turned.GetPixelIndex((long)turned.GetWidth() - 1, 0));

        RasterImage distorted(src);
        ASSERT_TRUE(distorted.CircleTransform(0, 5, 1.0f));
        EXPECT_EQ(row.want, distorted.GetPixelIndex(0, 0));  // outside the circle
        EXPECT_EQ(row.want, distorted.GetPixelIndex(15, 11));

        // A transparent index is taken instead.
        src.SetTransIndex(1);
        ASSERT_TRUE(src.Rotate(45.0f, &turned));
        EXPECT_EQ(1, turned.GetPixelIndex(0, 0));
    }
}

TEST(RasterGeometry, RotateZeroGrowsTheCanvasByTwo)
{
    auto src = RandomImage(6, 4, 24, 3);
    ASSERT_TRUE(src->Rotate(0.0f));
    EXPECT_EQ(8u, src->GetWidth());
    EXPECT_EQ(6u, src->GetHeight());
}

TEST(RasterGeometry, RotateNinetyDiffersFromTheQuarterTurn)
{
    auto src = RandomImage(8, 5, 8, 4);
    RasterImage turned, quarter;
    ASSERT_TRUE(src->Rotate(90.0f, &turned));
    ASSERT_TRUE(src->RotateRight(&quarter));
    EXPECT_NE(turned.GetWidth(), quarter.GetWidth());
}

TEST(RasterGeometry, EscapeHandsOverTheCanvasAsFarAsItGot)
{
    auto src = RandomImage(9, 9, 24, 5, true);
    src->SetEscape(1);
    ASSERT_TRUE(src->Rotate(30.0f));
    const TurnReference ref(30.0f, 9, 9);
    EXPECT_TRUE(SamePixels(*src, ref.Width(), ref.Height(), [](long, long) { return 0u; }));
    EXPECT_TRUE(SameAlpha(*src, [](long, long) { return (BYTE)0; }));

    // A shear without selection rewrites every pixel: stopped before the
    // first row, none is written.
    auto sheared = RandomImage(9, 9, 24, 6);
    sheared->SetEscape(1);
    ASSERT_TRUE(sheared->Skew(0.5f, 0.5f));
    EXPECT_TRUE(SamePixels(*sheared, 9, 9, [](long, long) { return 0u; }));

    auto other = RandomImage(9, 9, 24, 5);
    RasterImage out;
    ASSERT_TRUE(other->Rotate(30.0f, &out));
    EXPECT_EQ(100, other->GetProgress());  // the loop's last row is outside the canvas
}

TEST(RasterGeometry, CropCountsRowsFromTheTop)
{
    for (int bpp : kDepths) {
        SCOPED_TRACE(bpp);
        auto src = RandomImage(20, 12, bpp, (unsigned)bpp + 40, true);
        src->SetTransIndex(3);
        src->SetJpegQuality(50);
        RasterImage out;
        // left 3, top 2, right 17, bottom 9 (y from the top), corners swapped.
        ASSERT_TRUE(src->Crop(17, 9, 3, 2, &out));
        // Rows 2..8 from the top are rows 3..9 from the bottom.
        EXPECT_TRUE(
            SamePixels(out, 14, 7, [&](long x, long y) { return Sample(*src, x + 3, y + 3); }));
        EXPECT_TRUE(SameAlpha(out, [&](long x, long y) { return src->AlphaGet(x + 3, y + 3); }));
        EXPECT_EQ(3, out.GetTransIndex());
        EXPECT_EQ(90, out.GetJpegQuality());  // a fresh information record
    }
    auto src = RandomImage(5, 5, 8, 1);
    EXPECT_FALSE(src->Crop(2, 0, 2, 5));
    EXPECT_FALSE(src->Crop(-4, 0, -1, 5));  // clamped to an empty width
    EXPECT_EQ(5u, src->GetWidth());
    RECT all = {-10, -10, 10, 10};
    ASSERT_TRUE(src->Crop(all));
    EXPECT_EQ(5u, src->GetWidth());
}

TEST(RasterGeometry, ExpandPlacesThePictureOnTheCanvas)
{
    for (int bpp : kDepths) {
        SCOPED_TRACE(bpp);
        auto src = RandomImage(7, 5, bpp, (unsigned)bpp + 50, true);
        RasterImage out;
        ASSERT_TRUE(src->Expand(2, 3, 4, 1, Canvas(), &out));
        RasterImage probe(1, 1, bpp, 0);
        probe.SetPalette(src->GetPalette(), src->GetNumColors());
        probe.SetPixelColor(0, 0, Canvas(), false);
        const uint32_t canvas = Sample(probe, 0, 0);
        EXPECT_TRUE(SamePixels(out, 13, 9, [&](long x, long y) {
            const bool inside = x >= 2 && x < 9 && y >= 1 && y < 6;
            return inside ? Sample(*src, x - 2, y - 1) : canvas;
        }));
        EXPECT_FALSE(out.AlphaIsValid());
    }
    auto src = RandomImage(7, 5, 24, 9);
    EXPECT_FALSE(src->Expand(-1, 0, 0, 0, Canvas()));
    EXPECT_FALSE(src->Expand(6, 9, Canvas()));
    RasterImage out;
    ASSERT_TRUE(src->Expand(10, 8, Canvas(), &out));  // left 1, top 1, right 2, bottom 2
    EXPECT_EQ(Sample(*src, 0, 0), Sample(out, 1, 2));
    EXPECT_EQ(Sample(*src, 6, 4), Sample(out, 7, 6));
}

TEST(RasterGeometry, ThumbnailShrinksThenCentres)
{
    RasterImage src(400, 200, 24, 0);
    for (long y = 0; y < 200; y++)
        for (long x = 0; x < 400; x++)
            src.SetPixelColor(x, y, Quad(200, 100, 50), false);
    RasterImage out;
    ASSERT_TRUE(src.Thumbnail(100, 100, Canvas(), &out));
    EXPECT_TRUE(SamePixels(out, 100, 100,
                           [](long, long y) { return y >= 25 && y < 75 ? 0xC86432u : 0x5A3C1Eu; }));
    EXPECT_FALSE(src.Thumbnail(0, 10, Canvas()));
    // A strip far longer than the box keeps a row (its scaled height rounds to 0).
    RasterImage strip(1000, 2, 24, 0);
    ASSERT_TRUE(strip.Thumbnail(10, 10, Canvas()));
    EXPECT_EQ(10u, strip.GetWidth());
    EXPECT_EQ(10u, strip.GetHeight());
}

TEST(RasterGeometry, SkewShearsOnlyTheSelection)
{
    for (bool selected : {false, true}) {
        for (int bpp : {8, 24}) {
            SCOPED_TRACE(bpp);
            auto src = RandomImage(16, 12, bpp, (unsigned)bpp + 60, true);
            if (selected) {
                RECT r = {3, 2, 12, 9};
                src->SelectionAddRect(r);
            }
            RasterImage before(*src);
            ASSERT_TRUE(src->Skew(0.5f, -0.25f, 4, 3));
            auto moved = [&](long x, long y) {
                return !selected || (x >= 3 && x < 12 && y >= 2 && y < 9);
            };
            auto from = [](long x, long y, long& nx, long& ny) {
                nx = x + (long)((float)(y - 3) * 0.5f);
                ny = y + (long)((float)(x - 4) * -0.25f);
            };
            EXPECT_TRUE(SamePixels(*src, 16, 12, [&](long x, long y) {
                long nx, ny;
                from(x, y, nx, ny);
                return moved(x, y) ? Sample(before, nx, ny) : Sample(before, x, y);
            }));
            EXPECT_TRUE(SameAlpha(*src, [&](long x, long y) {
                long nx, ny;
                from(x, y, nx, ny);
                return moved(x, y) ? before.AlphaGet(nx, ny) : before.AlphaGet(x, y);
            }));
            EXPECT_EQ(selected, src->SelectionIsValid());
        }
    }
}

TEST(RasterGeometry, CircleTransformOfEachType)
{
    for (int type = -1; type <= 5; type++) {
        SCOPED_TRACE(type);
        auto src = RandomImage(21, 17, 24, (unsigned)type + 70, true);
        RasterImage before(*src);
        const float k = 3.5f;
        ASSERT_TRUE(src->CircleTransform(type, 0, k));
        const long xmid = 10, ymid = 8;
        const long R = (long)sqrtf((float)(xmid * xmid + ymid * ymid));
        auto from = [&](long x, long y, long& sx, long& sy) {
            const long nx = xmid - x, ny = ymid - y;
            const double radius = sqrtf((float)(nx * nx + ny * ny));
            double angle = atan2((double)ny, (double)nx);
            sx = x;
            sy = y;
            if (type < 0)
                return;
            if (radius >= R) {
                sx = sy = -1;
                return;
            }
            double nr = radius;
            switch (type) {
            case 0: nr = radius * radius / R; break;
            case 1: nr = sqrt(radius * R); break;
            case 2: angle += radius / k; break;
            case 3:
                sx = (long)fabs(21 * angle / 6.2831852);
                sy = (long)fabs(17 * radius / R);
                return;
            default: sx = x + (x % 32) - 16; return;
            }
            sx = (long)(cos(angle) * nr) + xmid;
            sy = ymid - (long)(sin(angle) * nr);
        };
        EXPECT_TRUE(SamePixels(*src, 21, 17, [&](long x, long y) {
            long sx, sy;
            from(x, y, sx, sy);
            return Sample(before, sx, sy);
        }));
        EXPECT_TRUE(SameAlpha(*src, [&](long x, long y) {
            long sx, sy;
            from(x, y, sx, sy);
            return before.AlphaGet(sx, sy);
        }));
    }
}

TEST(RasterGeometry, CropRotatedRectangleIsCropTurnCrop)
{
    auto src = RandomImage(40, 30, 24, 80, true);
    const float angle = 0.3f;
    RasterImage out;
    ASSERT_TRUE(src->CropRotatedRectangle(10, 5, 12, 8, angle, &out));
    // The steps written out: the enclosing cut, the turn, the centre cut.
    const double c = cos((double)angle), s = sin((double)angle);
    const long startx = std::min(10L, 10 - (long)(8 * s)), endx = 10 + (long)(12 * c);
    const long endy = 5 + (long)(8 * c + 12 * s);
    const long cw = endx - startx, ch = endy - 5;
    // Row r from the top of the first cut is source row 30 - 1 - (5 + r) from the bottom.
    const TurnReference turn((float)(-angle * 57.29577951308232), cw, ch);
    const long W = turn.Width(), H = turn.Height();
    const long left = (W - 12) / 2, bottom = H - (H + 8) / 2;
    EXPECT_TRUE(SamePixels(out, 12, 8, [&](long x, long y) {
        long ox, oy;
        turn.From(x + left, y + bottom, ox, oy);
        if (ox < 0 || ox >= cw || oy < 0 || oy >= ch)
            return Sample(*src, startx,
                          30 - endy);  // the first cut's outside rule: its pixel (0, 0)
        return Sample(*src, ox + startx, oy + (30 - endy));
    }));
    EXPECT_FALSE(src->CropRotatedRectangle(35, 5, 12, 8, angle));  // a corner outside
    RasterImage straight;
    ASSERT_TRUE(src->CropRotatedRectangle(2, 3, 5, 4, 0.0001f, &straight));
    EXPECT_TRUE(
        SamePixels(straight, 5, 4, [&](long x, long y) { return Sample(*src, x + 2, y + 23); }));
}

TEST(RasterGeometry, ACopyPastTheMemoryCapLeavesTheImageAlone)
{
    auto src = RandomImage(4, 4, 24, 90, true);
    RasterImage before(*src);
    EXPECT_FALSE(src->Expand(0, 0, 2000000000L, 0, Canvas()));
    EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", src->GetLastError());
    EXPECT_FALSE(src->Expand(100000, 100000, 100000, 100000, Canvas()));
    EXPECT_FALSE(src->Resample(100000, 100000, 1));
    EXPECT_FALSE(src->Thumbnail(100000, 100000, Canvas()));
    EXPECT_TRUE(SamePixels(*src, 4, 4, [&](long x, long y) { return Sample(before, x, y); }));
    EXPECT_TRUE(src->AlphaIsValid());
}

TEST(RasterGeometry, EmptyImagesAreRefused)
{
    RasterImage empty;
    EXPECT_FALSE(empty.Mirror());
    EXPECT_FALSE(empty.RotateLeft());
    EXPECT_FALSE(empty.Rotate(10));
    EXPECT_FALSE(empty.Resample(2, 2));
    EXPECT_FALSE(empty.Crop(0, 0, 1, 1));
    EXPECT_FALSE(empty.Skew(1, 1));
    EXPECT_FALSE(empty.Expand(1, 1, 1, 1, Canvas()));
    EXPECT_FALSE(empty.Thumbnail(1, 1, Canvas()));
    EXPECT_FALSE(empty.CircleTransform(0));
}

}  // namespace
