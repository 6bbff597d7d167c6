// World transforms in played enhanced metafiles. Windows maps a logical
// point through the world transform (x' = x * eM11 + y * eM21 + eDx,
// y' = x * eM12 + y * eM22 + eDy) before the mapping mode, so every shape,
// path, pen, text and blit turns, shears and scales with it. Each shape here
// is played under a transform and compared with the same shape drawn as a
// polygon whose points the test transformed itself, on a logical grid ten
// times finer than the pixels so the points keep their fractions.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"
#include "section_dc.h"
#include "metafile_text.h"
#include "metafile_transform.h"

using namespace win32metafile;

namespace {

constexpr int kSide = 160;
constexpr int kFine = 10;  // reference logical units a pixel

void SetWorld(EmfBuilder& e, const Affine& a)
{
    e.SetWorldTransform(a.m11, a.m12, a.m21, a.m22, a.dx, a.dy);
}

void ModifyWorld(EmfBuilder& e, const Affine& a, int mode)
{
    e.ModifyWorldTransform(a.m11, a.m12, a.m21, a.m22, a.dx, a.dy, mode);
}

// The transform as the record carries it: each value a 32-bit float.
Affine AsStored(const Affine& a)
{
    return {float(a.m11), float(a.m12), float(a.m21), float(a.m22), float(a.dx), float(a.dy)};
}

std::vector<uint32_t> Play(const std::vector<uint8_t>& bytes, PlayStats* stats = nullptr)
{
    return PlayOnWhite(bytes, kSide, kSide, false, stats);
}

// A file of kSide pixels a side with a red brush and no pen (or the pen).
EmfBuilder Start(int penWidth = -1)
{
    EmfBuilder e(0, 0, kSide - 1, kSide - 1);
    const int brush = e.CreateBrush(0, RGB(255, 0, 0));
    e.Select(brush);
    if (penWidth < 0) {
        e.SelectStock(8);  // NULL_PEN
    } else {
        const int pen = e.CreatePen(0, penWidth, RGB(0, 0, 255));
        e.Select(pen);
    }
    return e;
}

struct Pt {
    double x, y;
};

// The reference: a polygon (or, with a pen, a polyline) through the points
// transformed by `a`, on the fine grid, filled alternate or winding.
std::vector<uint32_t> Reference(const Affine& world, const std::vector<Pt>& points, bool closed,
                                int penWidth = -1, bool winding = false)
{
    const Affine a = AsStored(world);
    EmfBuilder e = Start(penWidth < 0 ? -1 : penWidth * kFine);
    if (winding)
        e.SetPolyFillMode(2);
    e.SetMapMode(MM_ANISOTROPIC);
    e.SetWindowExt(kFine, kFine);
    e.SetViewportExt(1, 1);
    std::vector<MfPoint> fine;
    for (const Pt& p : points) {
        double x, y;
        a.Apply(p.x, p.y, x, y);
        fine.push_back({int(std::lround(x * kFine)), int(std::lround(y * kFine))});
    }
    if (closed)
        e.Polygon(fine);
    else
        e.Polyline(fine);
    return Play(e.Bytes());
}

std::vector<Pt> EllipsePoints(double l, double t, double r, double b, double from, double sweep,
                              int n)
{
    std::vector<Pt> out;
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
    for (int i = 0; i <= n; i++) {
        const double a = from + sweep * i / n;
        out.push_back({cx + rx * std::cos(a), cy - ry * std::sin(a)});
    }
    return out;
}

const struct Transform {
    const char* name;
    Affine a;
} kTransforms[] = {
    {"turned by atan(4/3)", {0.6, 0.8, -0.8, 0.6, 90.3, 5.1}},
    {"sheared", {1, 0, 0.5, 1, 5.3, 10.1}},
    {"scaled and moved", {1.5, 0, 0, 0.75, 12.3, 30.1}},
    {"mirrored", {-1, 0, 0, 1, 150.3, 0.1}},
    {"turned and mirrored", {0, 1, 1, 0, 10.3, 10.1}},
};

}  // namespace

TEST(MetafileTransform, ChangesCombineAsGdiDoes)
{
    const Affine move = {1, 0, 0, 1, 10, 20};
    const Affine scale = {2, 0, 0, 3, 0, 0};
    struct Case {
        const char* name;
        unsigned long mode;
        Affine given;
        bool ok;
        double x, y;  // where (1, 1) lands
    } cases[] = {
        {"identity", kWorldIdentity, {0, 0, 0, 0, 0, 0}, true, 1, 1},
        {"left: the given one first", kWorldLeft, scale, true, 12, 23},
        {"right: the given one last", kWorldRight, scale, true, 22, 63},
        {"set", kWorldSet, scale, true, 2, 3},
        {"flat", kWorldSet, {1, 2, 2, 4, 0, 0}, false, 11, 21},
        {"not finite", kWorldLeft, {NAN, 0, 0, 1, 0, 0}, false, 11, 21},
        {"unknown mode", 5, scale, false, 11, 21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Affine current = move;
        EXPECT_EQ(ChangeWorld(current, c.given, c.mode), c.ok);
        double x, y;
        current.Apply(1, 1, x, y);
        EXPECT_DOUBLE_EQ(x, c.x);
        EXPECT_DOUBLE_EQ(y, c.y);
        Affine back;
        ASSERT_TRUE(Invert(current, back));
        Affine round = Then(current, back);
        EXPECT_NEAR(round.m11, 1, 1e-12);
        EXPECT_NEAR(round.m21, 0, 1e-12);
        EXPECT_NEAR(round.dx, 0, 1e-12);
        EXPECT_NEAR(round.dy, 0, 1e-12);
    }
}

// Every filled shape under every transform against the polygon of its
// transformed outline: only pixels whose centres lie within a hair of the
// edge may differ.
TEST(MetafileTransform, ShapesFollowTheWorldTransform)
{
    struct Shape {
        const char* name;
        std::function<void(EmfBuilder&)> draw;
        std::vector<Pt> outline;
    };
    std::vector<Pt> pie = EllipsePoints(20, 20, 100, 80, 0, M_PI / 2, 256);
    pie.push_back({60, 50});
    std::vector<Pt> chord = EllipsePoints(20, 20, 100, 80, M_PI / 2, M_PI, 256);
    // Corners of 40 x 40 units on a rectangle 40 high: half discs at the ends.
    std::vector<Pt> round = EllipsePoints(60, 30, 100, 70, -M_PI / 2, M_PI, 256);
    for (const Pt& p : EllipsePoints(20, 30, 60, 70, M_PI / 2, M_PI, 256))
        round.push_back(p);
    const Shape shapes[] = {
        {"rectangle",
         [](EmfBuilder& e) { e.Rectangle(20, 30, 100, 70); },
         {{20, 30}, {100, 30}, {100, 70}, {20, 70}}},
        {"ellipse", [](EmfBuilder& e) { e.Ellipse(20, 20, 100, 80); },
         EllipsePoints(20, 20, 100, 80, 0, 2 * M_PI, 720)},
        {"pie", [](EmfBuilder& e) { e.Arc(2, 20, 20, 100, 80, 100, 50, 60, 20); }, pie},
        {"chord", [](EmfBuilder& e) { e.Arc(1, 20, 20, 100, 80, 60, 20, 60, 80); }, chord},
        {"round rectangle", [](EmfBuilder& e) { e.RoundRect(20, 30, 100, 70, 40, 40); }, round},
        {"polygon",
         [](EmfBuilder& e) {
             e.Polygon({{10, 10}, {90, 30}, {40, 80}});
         },
         {{10, 10}, {90, 30}, {40, 80}}},
    };
    for (const Transform& t : kTransforms) {
        for (const Shape& s : shapes) {
            SCOPED_TRACE(std::string(t.name) + ", " + s.name);
            EmfBuilder e = Start();
            SetWorld(e, t.a);
            s.draw(e);
            const std::vector<uint32_t> got = Play(e.Bytes());
            const std::vector<uint32_t> want = Reference(t.a, s.outline, true);
            EXPECT_GT(Ink(want), 500u);
            // Rounding the reference to a tenth of a pixel moves its edge by
            // at most 0.05: a pixel or two in a hundred along it.
            EXPECT_LE(Differences(got, want), Ink(want) / 100 + 2);
        }
    }
}

// A geometric pen is as wide as the transform makes its width: 3 logical
// units turned and doubled are 6 pixels.
TEST(MetafileTransform, GeometricPensScaleWithTheTransform)
{
    // Turned by atan(4/3), doubled, and moved off the whole pixels: no
    // pixel centre lies on the pen's edge, where rounding would decide.
    const Affine a = {1.2, 1.6, -1.6, 1.2, 80.3, 10.1};
    EmfBuilder e = Start(3);
    SetWorld(e, a);
    e.Polyline({{5, 5}, {50, 5}, {50, 40}});
    const std::vector<uint32_t> got = Play(e.Bytes());
    const std::vector<uint32_t> want = Reference(a, {{5, 5}, {50, 5}, {50, 40}}, false, 6);
    EXPECT_GT(Ink(want), 400u);
    EXPECT_LE(Differences(got, want), Ink(want) / 100 + 2);
}

// A blit under a quarter turn: each canvas pixel takes the source pixel its
// centre maps back to, so the picture turns with the rectangle.
TEST(MetafileTransform, BlitsSampleTheirSourceThroughTheTransform)
{
    const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kBlack = 0;
    const Affine a = {0, 1, -1, 0, 100, 10};  // (x, y) -> (100 - y, 10 + x)
    EmfBuilder e(0, 0, kSide - 1, kSide - 1);
    SetWorld(e, a);
    e.StretchDib(0, 0, 60, 40, 2, 2, {kRed, kGreen, kBlue, kBlack});
    const std::vector<uint32_t> got = Play(e.Bytes());
    for (int y = 0; y < kSide; y++)
        for (int x = 0; x < kSide; x++) {
            // The logical point under the pixel's centre.
            const double lx = y + 0.5 - 10, ly = 100 - (x + 0.5);
            uint32_t want = kWhite;
            if (lx >= 0 && lx < 60 && ly >= 0 && ly < 40)
                want = (ly < 20 ? (lx < 30 ? kRed : kGreen) : (lx < 30 ? kBlue : kBlack));
            ASSERT_EQ(got[size_t(y) * kSide + x], want) << x << "," << y;
        }
}

// SaveDC keeps the transform and RestoreDC brings it back; a left multiply
// applies the given transform first, a right multiply last; a transform
// GDI refuses leaves the one set and the record counts as skipped.
TEST(MetafileTransform, SavedStatesAndCombiningModes)
{
    struct Case {
        const char* name;
        std::function<void(EmfBuilder&)> set;
        int left, right;  // the 10-unit square's columns on the canvas
        unsigned skipped;
    } cases[] = {
        {"left multiply",
         [](EmfBuilder& e) {
             ModifyWorld(e, {2, 0, 0, 2, 0, 0}, 2);
         },
         20, 40, 0},
        {"right multiply",
         [](EmfBuilder& e) {
             ModifyWorld(e, {2, 0, 0, 2, 0, 0}, 3);
         },
         40, 60, 0},
        {"identity",
         [](EmfBuilder& e) {
             ModifyWorld(e, {0, 0, 0, 0, 0, 0}, 1);
         },
         0, 10, 0},
        {"refused",
         [](EmfBuilder& e) {
             SetWorld(e, {1, 1, 1, 1, 0, 0});
         },
         20, 30, 1},
        {"restored",
         [](EmfBuilder& e) {
             e.SaveDC();
             SetWorld(e, {3, 0, 0, 3, 70, 0});
             e.RestoreDC(-1);
         },
         20, 30, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder e = Start();
        SetWorld(e, {1, 0, 0, 1, 20, 0});
        c.set(e);
        e.Rectangle(0, 0, 10, 10);
        PlayStats stats;
        const std::vector<uint32_t> got = Play(e.Bytes(), &stats);
        EXPECT_EQ(stats.skipped, c.skipped);
        for (int x = 0; x < 80; x++) {
            const bool in = x >= c.left && x < c.right;
            EXPECT_EQ(got[size_t(5) * kSide + x], in ? 0xFF0000u : kWhite) << x;
        }
    }
}

// Text under a world transform that doubles and moves: drawn as the
// platform draws the string at twice the height at the moved point.
TEST(MetafileTransform, TextFollowsTheTransform)
{
    LogicalFont f;
    f.stock = false;
    f.height = -11;
    f.face = u"DejaVu Sans";
    const LOGFONTA lf = PlatformFont(f, -22);
    SectionDc ref(kSide, kSide, CreateFontIndirectA(&lf));
    ref.Fill(kWhite);
    SetBkMode(ref.dc(), TRANSPARENT);
    ExtTextOutA(ref.dc(), 2 * 7 + 15, 2 * 9 + 30, 0, nullptr, "World", 5, nullptr);
    const std::vector<uint32_t> want = ref.Values();

    EmfBuilder e(0, 0, kSide - 1, kSide - 1);
    e.SetBkMode(TRANSPARENT);
    SetWorld(e, {2, 0, 0, 2, 15, 30});
    e.SelectFont(1, -11, f.face);
    e.ExtTextRecord(84, 7, 9, 5, Utf16Bytes(u"World"));
    const std::vector<uint32_t> got = Play(e.Bytes());
    EXPECT_GT(Ink(got), 100u);
    EXPECT_EQ(Differences(got, want), 0u);
}

// Random transforms (turn, shear, scales of either sign, a move) over
// random polygons and ellipses, each against its transformed outline.
TEST(MetafileTransform, RandomTransformsMatchTransformedOutlines)
{
    std::mt19937 random(20261208);
    auto uniform = [&random](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    for (int round = 0; round < 40; round++) {
        const double turn = uniform(-M_PI, M_PI), shear = uniform(-0.6, 0.6);
        const double sx = uniform(0.5, 1.3) * (random() % 4 == 0 ? -1 : 1);
        const double sy = uniform(0.5, 1.3) * (random() % 4 == 0 ? -1 : 1);
        // Scale, then shear, then turn, then move to the middle.
        Affine a = {sx, 0, shear * sy, sy, 0, 0};
        const Affine r = {std::cos(turn), std::sin(turn),  -std::sin(turn),
                          std::cos(turn), uniform(70, 90), uniform(70, 90)};
        a = Then(a, r);
        std::vector<Pt> outline;
        EmfBuilder e = Start();
        SetWorld(e, a);
        if (round % 2 == 0) {
            std::vector<MfPoint> points;
            for (int i = 0; i < 5; i++) {
                points.push_back({int(uniform(-50, 50)), int(uniform(-50, 50))});
                outline.push_back({double(points.back().x), double(points.back().y)});
            }
            e.SetPolyFillMode(2);  // winding: the reference's fill mode
            e.Polygon(points);
        } else {
            const int l = int(uniform(-50, -5)), t = int(uniform(-50, -5));
            const int rr = int(uniform(5, 50)), b = int(uniform(5, 50));
            e.Ellipse(l, t, rr, b);
            outline = EllipsePoints(l, t, rr, b, 0, 2 * M_PI, 720);
        }
        SCOPED_TRACE(round);
        const std::vector<uint32_t> got = Play(e.Bytes());
        const std::vector<uint32_t> want = Reference(a, outline, true, -1, true);
        EXPECT_GT(Ink(want), 100u);
        EXPECT_LE(Differences(got, want), Ink(want) / 100 + 4);
    }
}

// Transforms of extreme scale, with points near the ends of the coordinate
// range, play every shape, text and blit without a fault (the sanitizer
// builds check each conversion) and keep drawing afterwards.
TEST(MetafileTransform, ExtremeTransformsPlaySafely)
{
    const Affine extremes[] = {
        {1e30, 0, 0, 1e30, 0, 0},
        {1e-30, 0, 0, 1e-30, 1e30, -1e30},
        {0.5, 1e20, -1e20, 0.5, 0, 0},
        {1, 0, 0, 1, 3e38, 3e38},
    };
    for (const Affine& a : extremes) {
        EmfBuilder e = Start(4);
        SetWorld(e, a);
        e.Rectangle(-2000000000, -2000000000, 2000000000, 2000000000);
        e.Ellipse(0, 0, 2000000000, 5);
        e.Arc(2, -7, -7, 9, 9, 2000000000, 0, 0, -2000000000);
        e.RoundRect(0, 0, 100, 100, 2000000000, 7);
        e.SaveDC();
        e.IntersectClipRect(-1000, -1000, 1000, 1000);
        e.SelectFont(1, -2000000000, u"");
        const std::vector<uint8_t> s = Utf16Bytes(u"Wi");
        e.ExtTextRecord(84, 2000000000, -2000000000, 2, s, 2, {0, 0, 9, 9});
        e.ExtTextRecord(84, -2000000000, 2000000000, 2, s);
        e.Record(22, {1});  // TA_UPDATECP
        e.ExtTextRecord(84, 0, 0, 2, s, 6, {-5, -5, 2000000000, 5});
        e.StretchDib(-2000000000, 0, 2000000000, 2000000000, 1, 1, {0x123456});
        e.RestoreDC(-1);                      // the clip lifted
        e.Record(36, {0, 0, 0, 0, 0, 0, 1});  // back to identity
        e.Rectangle(0, 0, 10, 10);
        PlayStats stats;
        const std::vector<uint32_t> got = Play(e.Bytes(), &stats);
        EXPECT_TRUE(stats.stopped.empty());
        EXPECT_EQ(got[size_t(5) * kSide + 5], 0xFF0000u);
    }
}
