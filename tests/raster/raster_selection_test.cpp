// The selection plane: rectangles, ellipses, polygons, colours and pixels,
// inversion, copies, and the region made from the plane.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "test_raster.h"
#include "transform_support.h"

using namespace transform_test;

namespace {

::testing::AssertionResult SameSelection(const RasterImage& img,
                                         const std::function<bool(long, long)>& want)
{
    int bad = 0;
    ::testing::AssertionResult r = ::testing::AssertionFailure();
    for (long y = 0; y < (long)img.GetHeight(); y++)
        for (long x = 0; x < (long)img.GetWidth(); x++)
            if (img.SelectionIsInside(x, y) != want(x, y) && bad++ < 5)
                r << "(" << x << "," << y << ") ";
    if (bad == 0)
        return ::testing::AssertionSuccess();
    return r << bad << " pixels differ";
}

::testing::AssertionResult BoxIs(const RasterImage& img, LONG left, LONG bottom, LONG right,
                                 LONG top)
{
    RECT b;
    img.SelectionGetBox(b);
    if (b.left == left && b.bottom == bottom && b.right == right && b.top == top)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "box l" << b.left << " b" << b.bottom << " r" << b.right << " t" << b.top;
}

long Clamp(long v, long m)
{
    return std::max(0L, std::min(v, m));
}

TEST(RasterSelection, CreateClearInvert)
{
    RasterImage img(6, 4, 8, 0);
    EXPECT_TRUE(img.SelectionIsInside(5, 3));  // no plane: everything inside the image
    EXPECT_FALSE(img.SelectionIsInside(6, 3));
    EXPECT_FALSE(img.SelectionInvert());
    EXPECT_FALSE(img.SelectionClear());
    ASSERT_TRUE(img.SelectionCreate());
    EXPECT_TRUE(SameSelection(img, [](long, long) { return false; }));
    EXPECT_TRUE(BoxIs(img, 6, 4, 0, 0));
    RECT r = {1, 1, 3, 3};
    img.SelectionAddRect(r);
    ASSERT_TRUE(img.SelectionClear());
    EXPECT_TRUE(BoxIs(img, 6, 4, 0, 0));
    ASSERT_TRUE(img.SelectionInvert());
    EXPECT_TRUE(SameSelection(img, [](long, long) { return true; }));
    EXPECT_TRUE(BoxIs(img, 6, 4, 0, 0));
    EXPECT_TRUE(img.SelectionDelete());
    EXPECT_FALSE(img.SelectionIsValid());
}

TEST(RasterSelection, Rectangles)
{
    const struct {
        RECT r;
        LONG left, bottom, right, top;  // the box after the addition
    } cases[] = {
        {{0, 10, 10, 0}, 0, 0, 10, 10},     {{10, 0, 0, 10}, 0, 0, 10, 10},
        {{3, 2, 7, 5}, 3, 2, 7, 5},         {{-5, -3, 30, 40}, 0, 0, 20, 15},
        {{18, 14, 25, 20}, 18, 14, 20, 15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.r.left);
        RasterImage img(20, 15, 24, 0);
        ASSERT_TRUE(img.SelectionAddRect(c.r));
        const long l = Clamp(std::min(c.r.left, c.r.right), 20),
                   rt = Clamp(std::max(c.r.left, c.r.right), 20);
        const long b = Clamp(std::min(c.r.top, c.r.bottom), 15),
                   t = Clamp(std::max(c.r.top, c.r.bottom), 15);
        EXPECT_TRUE(SameSelection(
            img, [&](long x, long y) { return x >= l && x < rt && y >= b && y < t; }));
        EXPECT_TRUE(BoxIs(img, c.left, c.bottom, c.right, c.top));
    }
}

TEST(RasterSelection, Ellipses)
{
    const RECT cases[] = {{2, 3, 18, 13},   {18, 13, 2, 3},   {5, 5, 12, 9},
                          {-10, -8, 6, 30}, {15, 12, 40, 60}, {-40, -40, -20, -20}};
    for (const RECT& r : cases) {
        SCOPED_TRACE(r.left);
        RasterImage img(20, 15, 8, 0);
        ASSERT_TRUE(img.SelectionAddEllipse(r));
        const long xr = std::labs((long)r.right - r.left) / 2,
                   yr = std::labs((long)r.top - r.bottom) / 2;
        const long xc = ((long)r.right + r.left) / 2, yc = ((long)r.top + r.bottom) / 2;
        EXPECT_TRUE(SameSelection(img, [&](long x, long y) {
            if (x < Clamp(xc - xr, 20) || x >= Clamp(xc + xr, 20))
                return false;
            const float t = (float)(x - xc) / xr;
            const float h = sqrtf(1 - t * t) * yr;
            if (y >= Clamp(yc - yr, 15) && y < yc)
                return (long)(yc - h) < y;
            if (y >= yc && y < Clamp(yc + yr, 15))
                return (long)(yc + h) > y;
            return false;
        }));
    }
    RasterImage img(20, 15, 8, 0);
    RECT thin = {4, 2, 5, 9};
    EXPECT_FALSE(img.SelectionAddEllipse(thin));
}

// The outline as the polygon addition draws it: each segment stepped along x
// and along y.
std::vector<std::vector<bool>> Outline(const std::vector<POINT>& pts, long w, long h)
{
    std::vector<std::vector<bool>> on((size_t)h, std::vector<bool>((size_t)w, false));
    auto set = [&](long x, long y) {
        if (x >= 0 && x < w && y >= 0 && y < h)
            on[y][x] = true;
    };
    size_t start = 0;
    for (size_t i = 0; i < pts.size(); i++) {
        if (pts[i].x == -1)
            continue;
        if (i == 0 || pts[i - 1].x == -1)
            start = i;
        const POINT a = pts[i];
        const POINT b = (i + 1 == pts.size() || pts[i + 1].x == -1) ? pts[start] : pts[i + 1];
        // Steps outside the image mark nothing; they are not walked.
        if (a.x != b.x) {
            const float slope = (float)(((double)b.y - a.y) / ((double)b.x - a.x));
            for (long x = std::max<long>(0, std::min(a.x, b.x));
                 x <= std::min<long>(w - 1, std::max(a.x, b.x)); x++)
                set(x, (long)(a.y + (x - a.x) * slope));
        }
        if (a.y != b.y) {
            const float slope = (float)(((double)b.x - a.x) / ((double)b.y - a.y));
            for (long y = std::max<long>(0, std::min(a.y, b.y));
                 y <= std::min<long>(h - 1, std::max(a.y, b.y)); y++)
                set((long)(a.x + (y - a.y) * slope), y);
        }
    }
    return on;
}

// Whether (x, y) lies inside one of the outlines (crossing count).
bool InsideAny(const std::vector<POINT>& pts, long x, long y)
{
    size_t first = 0;
    for (size_t i = 0; i <= pts.size(); i++) {
        if (i < pts.size() && pts[i].x != -1)
            continue;
        bool in = false;
        for (size_t a = first, n = i - first; n > 0 && a < i; a++) {
            const POINT p = pts[a], q = pts[a + 1 < i ? a + 1 : first];
            if ((p.y > y) != (q.y > y) &&
                x < p.x + (double)(y - p.y) * ((double)q.x - p.x) / ((double)q.y - p.y))
                in = !in;
        }
        if (in)
            return true;
        first = i + 1;
    }
    return false;
}

TEST(RasterSelection, PolygonsSelectOutlineAndInside)
{
    const std::vector<std::vector<POINT>> cases = {
        {{5, 3}, {30, 8}, {12, 20}},                                                   // a triangle
        {{3, 3}, {30, 3}, {30, 20}, {20, 20}, {20, 10}, {10, 10}, {10, 20}, {3, 20}},  // concave
        {{3, 3}, {12, 3}, {6, 12}, {-1, -1}, {18, 5}, {30, 6}, {25, 18}},           // two outlines
        {{2, 2}, {32, 2}, {32, 21}, {2, 21}, {-1, 0}, {10, 8}, {20, 8}, {15, 15}},  // one inside
                                                                                    // another
        {{-20, -10}, {60, 5}, {10, 50}},           // larger than the image
        {{20, -5}, {50, 12}, {20, 30}, {28, 12}},  // concave, past two edges
        {{0, 0}, {35, 0}, {35, 23}, {0, 23}},      // the whole image
    };
    for (size_t k = 0; k < cases.size(); k++) {
        SCOPED_TRACE(k);
        std::vector<POINT> pts = cases[k];
        RasterImage img(36, 24, 24, 0);
        ASSERT_TRUE(img.SelectionAddPolygon(pts.data(), (long)pts.size()));
        const auto outline = Outline(pts, 36, 24);
        EXPECT_TRUE(SameSelection(
            img, [&](long x, long y) { return outline[y][x] || InsideAny(pts, x, y); }));
    }
    std::vector<POINT> tri = {{5, 3}, {30, 8}, {12, 20}};
    RasterImage img(36, 24, 24, 0);
    ASSERT_TRUE(img.SelectionAddPolygon(tri.data(), 3));
    EXPECT_TRUE(BoxIs(img, 4, 2, 32, 22));  // the outline's box with its margin
}

TEST(RasterSelection, PolygonsAtTheEdges)
{
    // Wholly beside the image, in a one-pixel image, and too short.
    std::vector<POINT> beside = {{50, 3}, {70, 8}, {60, 20}};
    RasterImage img(20, 15, 8, 0);
    ASSERT_TRUE(img.SelectionAddPolygon(beside.data(), 3));
    EXPECT_TRUE(SameSelection(img, [](long, long) { return false; }));
    std::vector<POINT> below = {{-5, -9}, {-3, -2}, {-8, -4}};
    ASSERT_TRUE(img.SelectionAddPolygon(below.data(), 3));
    EXPECT_TRUE(SameSelection(img, [](long, long) { return false; }));

    // Corners far outside: only the steps inside the image are walked.
    std::vector<POINT> huge = {{-2000000000, -2000000000}, {2000000000, 5}, {3, 2000000000}};
    RasterImage big(20, 15, 8, 0);
    ASSERT_TRUE(big.SelectionAddPolygon(huge.data(), 3));
    const auto outline = Outline(huge, 20, 15);
    EXPECT_TRUE(
        SameSelection(big, [&](long x, long y) { return outline[y][x] || InsideAny(huge, x, y); }));

    RasterImage dot(1, 1, 24, 0);
    std::vector<POINT> around = {{0, 0}, {3, 0}, {0, 3}};
    ASSERT_TRUE(dot.SelectionAddPolygon(around.data(), 3));
    EXPECT_TRUE(dot.SelectionIsInside(0, 0));

    EXPECT_FALSE(img.SelectionAddPolygon(beside.data(), 2));
    EXPECT_FALSE(img.SelectionAddPolygon(NULL, 3));
}

// A polygon that misses the image selects nothing, but the box grows by the
// outlines' extent clamped to the image, on every side alike: wholly right
// of or above the image as wholly left of or below it.
TEST(RasterSelection, PolygonsBesideTheImageGrowTheBoxOnEverySide)
{
    struct Row {
        const char* name;
        std::vector<POINT> pts;
        LONG left, bottom, right, top;
    };
    const Row rows[] = {
        {"right", {{50, 3}, {70, 8}, {60, 20}}, 20, 2, 20, 15},
        {"left", {{-50, 3}, {-70, 8}, {-60, 20}}, 0, 2, 0, 15},
        {"above", {{3, 50}, {8, 70}, {20, 60}}, 2, 15, 20, 15},
        {"below", {{3, -50}, {8, -70}, {20, -60}}, 2, 0, 20, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RasterImage img(20, 15, 8, 0);
        std::vector<POINT> pts = row.pts;
        ASSERT_TRUE(img.SelectionAddPolygon(pts.data(), (long)pts.size()));
        EXPECT_TRUE(SameSelection(img, [](long, long) { return false; }));
        EXPECT_TRUE(BoxIs(img, row.left, row.bottom, row.right, row.top));
    }
}

// Whether an outline winds round (x, y), reckoned independently of the
// library: the turning angle summed over its edges.
bool WoundRound(const std::vector<POINT>& pts, double x, double y)
{
    double total = 0;
    for (size_t i = 0; i < pts.size(); i++) {
        const POINT p = pts[i], q = pts[(i + 1) % pts.size()];
        double a = std::atan2(p.y - y, p.x - x), b = std::atan2(q.y - y, q.x - x);
        double d = b - a;
        while (d > M_PI)
            d -= 2 * M_PI;
        while (d < -M_PI)
            d += 2 * M_PI;
        total += d;
    }
    return std::fabs(total) > M_PI;
}

// A five-pointed star drawn in one outline crosses itself; its middle is
// wound round twice and is inside. Cut by an edge of the image, the middle
// still is selected, wherever the star lies.
TEST(RasterSelection, SelfCrossingOutlinesCutByTheEdgeKeepTheirMiddle)
{
    const long w = 40, h = 30;
    std::mt19937 rng(34);
    for (int round = 0; round < 24; round++) {
        // The middle reaches past one edge or another.
        const double cx = round < 4 ? (round % 2 ? 1 : w - 2) : rng() % (w + 6) - 3.0;
        const double cy = round < 4 ? (round < 2 ? 1 : h - 2) : rng() % (h + 6) - 3.0;
        const double radius = 12 + rng() % 10;
        std::vector<POINT> star;
        for (int k = 0; k < 5; k++) {
            const double a = M_PI / 2 + k * 4 * M_PI / 5;
            LONG x = (LONG)std::lround(cx + radius * std::cos(a));
            if (x == -1)
                x = -2;  // -1 would separate outlines
            star.push_back({x, (LONG)std::lround(cy + radius * std::sin(a))});
        }
        SCOPED_TRACE(::testing::Message() << "star at " << cx << "," << cy << " radius " << radius);
        RasterImage img(w, h, 24, 0);
        ASSERT_TRUE(img.SelectionAddPolygon(star.data(), (long)star.size()));
        const auto outline = Outline(star, w, h);
        EXPECT_TRUE(SameSelection(
            img, [&](long x, long y) { return outline[y][x] || WoundRound(star, x, y); }));
    }
}

TEST(RasterSelection, ColoursAndPixels)
{
    auto img = RandomImage(12, 10, 24, 3);
    for (long y = 0; y < 10; y++)
        for (long x = 0; x < 12; x++)
            if (img->GetPixelColor(x, y, false).rgbRed == 7)
                img->SetPixelColor(x, y, Quad(8, 0, 0), false);
    img->SetPixelColor(5, 7, Quad(7, 8, 9, 100), false);
    ASSERT_TRUE(img->SelectionAddColor(Quad(7, 8, 9, 55)));  // the reserved byte is not compared
    EXPECT_TRUE(SameSelection(*img, [](long x, long y) { return x == 5 && y == 7; }));
    EXPECT_TRUE(BoxIs(*img, 5, 7, 5, 7));
    ASSERT_TRUE(img->SelectionAddPixel(0, 0));
    EXPECT_TRUE(img->SelectionIsInside(0, 0));
    EXPECT_TRUE(BoxIs(*img, 5, 7, 5, 7));  // a pixel leaves the box alone
    EXPECT_FALSE(img->SelectionAddPixel(12, 0));
    ASSERT_TRUE(img->SelectionAddColor(Quad(1, 2, 3)));  // nowhere: true, the box kept
    EXPECT_TRUE(BoxIs(*img, 5, 7, 5, 7));
}

TEST(RasterSelection, CopyNeedsTheSameSize)
{
    RasterImage a(5, 5, 8, 0), b(5, 5, 24, 0), c(4, 5, 8, 0);
    EXPECT_FALSE(b.SelectionCopy(a));
    RECT r = {1, 1, 3, 4};
    a.SelectionAddRect(r);
    EXPECT_FALSE(c.SelectionCopy(a));
    ASSERT_TRUE(b.SelectionCopy(a));
    EXPECT_TRUE(
        SameSelection(b, [](long x, long y) { return x >= 1 && x < 3 && y >= 1 && y < 4; }));
    EXPECT_TRUE(BoxIs(b, 1, 1, 3, 4));
}

// Reaches the plane's bytes, to store values the additions never write.
struct PlaneImage : RasterImage {
    PlaneImage(DWORD w, DWORD h) : RasterImage(w, h, 8, 0) {}
    BYTE* Plane() { return pSelection; }
};

TEST(RasterSelection, RegionHoldsThePixelsOf255)
{
    std::mt19937 rng(5);
    PlaneImage img(40, 30);
    img.SelectionCreate();
    for (int i = 0; i < 12; i++) {
        RECT r = {(LONG)(rng() % 40), (LONG)(rng() % 30), (LONG)(rng() % 40), (LONG)(rng() % 30)};
        img.SelectionAddRect(r);
    }
    RECT e = {5, 5, 25, 20};
    img.SelectionAddEllipse(e);
    // Other non-zero values select the pixel but stay out of the region.
    for (long i = 0; i < 40 * 30; i += 7)
        img.Plane()[i] = (BYTE)(i % 3 == 0 ? 1 : img.Plane()[i]);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_TRUE(img.SelectionToHRGN(region));
    for (long y = 0; y < 30; y++)
        for (long x = 0; x < 40; x++)
            EXPECT_EQ(img.Plane()[y * 40 + x] == 255, (bool)PtInRegion(region, (int)x, (int)y))
                << x << "," << y;
    DeleteObject(region);

    PlaneImage ones(3, 3);
    ones.SelectionCreate();
    memset(ones.Plane(), 1, 9);
    HRGN empty = CreateRectRgn(0, 0, 0, 0);
    ASSERT_TRUE(ones.SelectionToHRGN(empty));
    RECT box;
    EXPECT_EQ(NULLREGION, GetRgnBox(empty, &box));
    DeleteObject(empty);

    HRGN none = NULL;
    EXPECT_FALSE(img.SelectionToHRGN(none));
    RasterImage plain(3, 3, 8, 0);
    HRGN r2 = CreateRectRgn(0, 0, 0, 0);
    EXPECT_FALSE(plain.SelectionToHRGN(r2));
    DeleteObject(r2);
}

}  // namespace
