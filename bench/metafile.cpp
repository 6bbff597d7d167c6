// The metafile player's wide lines drawn as runs (what the player uses)
// against the same lines filled as one polygon set with a disc per join (the
// plain path they must match), measured in the same run onto a block of
// pixels: curves of a thousand points under pens wider than a small picture
// and thin pens on it, as damaged or careless files give, and a picture's
// ordinary outlines on a screen-sized canvas. `ratio` is the plain path's
// time over the runs'.
//
// Then whole plays, one record kind a metafile, against writing the same
// number of pixels as plain spans of the canvas (the least any drawing
// costs): `time_x` is the play's time over that, `work` the play's own count.
// The clip-heavy case (600 crossing clip bars, then one fill) is measured
// against the same fill without the bars, and the worst small file (290
// rectangles over the whole picture) against its allowance's worth of spans.
#include <benchmark/benchmark.h>
#include <windows.h>
#include "bench_util.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include <raster.h>

#include "metafile_hostile.h"
#include "metafile_internal.h"
#include "metafile_raster.h"

using namespace win32metafile;

namespace {

struct Case {
    int w, h;
    Figure points;
    bool closed;
    double width;
};

// An ellipse of `radius` centred at (cx, cy), flattened as the player does.
Case EllipseCase(int w, int h, double cx, double cy, double radius, double width)
{
    Case c{w, h, {}, true, width};
    ArcPoints(cx, cy, radius, radius * 0.7, 0, 2 * M_PI, c.points);
    return c;
}

Case PolylineCase(int w, int h, int n, double width)
{
    Case c{w, h, {}, false, width};
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> x(0, w), y(0, h);
    for (int i = 0; i < n; i++)
        c.points.push_back({std::floor(x(rng)), std::floor(y(rng))});
    return c;
}

void Lines(benchmark::State& state, const Case& c)
{
    std::vector<uint32_t> pixels(size_t(c.w) * c.h, 0xFFFFFF);
    BufferCanvas canvas(pixels.data(), c.w, c.h, size_t(c.w));
    Raster raster(canvas);
    CompareWithBaseline(
        state, c.w, c.h,
        [&] {
            raster.WideLineByFill(c.points, c.closed, c.width, 0x0000FF);
            return true;
        },
        [&] {
            raster.WideLine(c.points, c.closed, c.width, 0xFF0000);
            return true;
        },
        [](bool) { return "cannot fail"; });
}

void GiantPenAroundSmallPicture(benchmark::State& state)
{
    Lines(state, EllipseCase(16, 12, 8, 6, 1e4, 1e5));
}
void ThinPenOnHugeEllipse(benchmark::State& state)
{
    Lines(state, EllipseCase(16, 12, 8, 6 + 1e6 * 0.7, 1e6, 5));
}
void PolylineOnScreen(benchmark::State& state)
{
    Lines(state, PolylineCase(640, 480, 200, 3));
}
void EllipseOnScreen(benchmark::State& state)
{
    Lines(state, EllipseCase(640, 480, 320, 240, 200, 9));
}

// A play of the bytes onto a white w x h canvas.
struct Playback {
    std::vector<uint8_t> bytes;
    bool wmf;
    int w, h;
    std::vector<uint32_t> px = std::vector<uint32_t>(size_t(w) * h, 0xFFFFFF);
    HENHMETAFILE mf = wmf ? SetWinMetaFileBits(UINT(bytes.size()), bytes.data(), nullptr, nullptr)
                          : SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
    ~Playback() { DeleteEnhMetaFile(mf); }
    PlayStats Run()
    {
        BufferCanvas canvas(px.data(), w, h, size_t(w));
        PlayStats stats;
        Play(*Find(mf), canvas, RECT{0, 0, w, h}, &stats);
        return stats;
    }
};

// Writes `pixels` pixels as whole rows of the canvas, in turn from the top.
void PlainSpans(std::vector<uint32_t>& px, int w, int h, uint64_t pixels)
{
    BufferCanvas canvas(px.data(), w, h, size_t(w));
    for (int y = 0; pixels > 0; y = (y + 1) % h) {
        const int n = (int)std::min<uint64_t>(pixels, (uint64_t)w);
        canvas.Span(y, 0, n, 0x00FF00);
        pixels -= (uint64_t)n;
    }
}

void Plays(benchmark::State& state, Playback& play, const std::function<void()>& base)
{
    if (play.mf == nullptr) {
        state.SkipWithError("metafile refused");
        return;
    }
    PlayStats last;
    CompareWithBaseline(
        state, play.w, play.h,
        [&] {
            base();
            return true;
        },
        [&] {
            last = play.Run();
            return true;
        },
        [](bool) { return "cannot fail"; });
    state.counters["records"] = last.records;
    state.counters["work"] = double(last.work);
    state.counters["stopped"] = last.stopped.empty() ? 0 : 1;
}

void OneKind(benchmark::State& state, const std::function<void(EmfBuilder&, std::mt19937&)>& draw)
{
    const int w = 1024, h = 768;
    EmfBuilder b(0, 0, w - 1, h - 1);
    std::mt19937 rng(5);
    b.Select(b.CreatePen(PS_SOLID, 0, RGB(0, 0, 0)));
    b.Select(b.CreateBrush(BS_SOLID, RGB(200, 30, 30)));
    for (int i = 0; i < 200; i++)
        draw(b, rng);
    Playback play{b.Bytes(), false, w, h};
    const uint64_t work = play.Run().work;
    std::vector<uint32_t> px(size_t(w) * h);
    Plays(state, play, [&] { PlainSpans(px, w, h, work); });
}

int Coord(std::mt19937& rng, int limit)
{
    return int(rng() % unsigned(limit));
}

// Eight points anywhere on the canvas.
std::vector<MfPoint> RandomPoints(std::mt19937& rng)
{
    std::vector<MfPoint> p;
    for (int i = 0; i < 8; i++)
        p.push_back({Coord(rng, 1024), Coord(rng, 768)});
    return p;
}

// A box of 20 to 119 pixels a side, its corner anywhere but near the
// right and bottom edges.
struct Box {
    int l, t, r, b;
};
Box RandomBox(std::mt19937& rng)
{
    const int x = Coord(rng, 900), y = Coord(rng, 650);
    return {x, y, x + 20 + Coord(rng, 100), y + 20 + Coord(rng, 100)};
}

void Rectangles(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) {
        const Box x = RandomBox(r);
        b.Rectangle(x.l, x.t, x.r, x.b);
    });
}
void Ellipses(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) {
        const Box x = RandomBox(r);
        b.Ellipse(x.l, x.t, x.r, x.b);
    });
}
void Polygons(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) { b.Polygon(RandomPoints(r)); });
}
void ThinPolylines(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) { b.Polyline(RandomPoints(r)); });
}
void WidePolylines(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) {
        if (r() % 50 == 0)
            b.Select(b.CreatePen(PS_SOLID, 9, RGB(0, 0, 200)));
        b.Polyline(RandomPoints(r));
    });
}
// A wide dash-dot pen (PS_DASHDOT): each dash a wide line of its own.
void DashedWidePolylines(benchmark::State& state)
{
    int n = 0;
    OneKind(state, [&n](EmfBuilder& b, std::mt19937& r) {
        if (n++ == 0)
            b.Select(b.CreatePen(3, 9, RGB(0, 0, 200)));
        b.Polyline(RandomPoints(r));
    });
}
// Brushes of palette entries, made and selected for each rectangle.
void PaletteFills(benchmark::State& state)
{
    int n = 0;
    OneKind(state, [&n](EmfBuilder& b, std::mt19937& r) {
        if (n++ == 0) {
            std::vector<uint32_t> entries;
            for (uint32_t i = 0; i < 256; i++)
                entries.push_back(i * 0x010101u);
            b.SelectPalette(b.CreatePalette(entries));
        }
        const int brush = b.CreateBrush(BS_SOLID, 0x01000000u | (r() % 256));
        b.Select(brush);
        const Box x = RandomBox(r);
        b.Rectangle(x.l, x.t, x.r, x.b);
        b.Delete(brush);
    });
}
// 64 x 64 noisy pixels.
std::vector<uint32_t> NoisePixels()
{
    std::vector<uint32_t> px(64 * 64);
    for (size_t i = 0; i < px.size(); i++)
        px[i] = uint32_t(i * 2654435761u) & 0xFFFFFF;
    return px;
}
void StretchBlits(benchmark::State& state)
{
    const std::vector<uint32_t> dib = NoisePixels();
    OneKind(state, [&](EmfBuilder& b, std::mt19937& r) {
        const int x = Coord(r, 900), y = Coord(r, 650);
        const int w = 30 + Coord(r, 90), h = 30 + Coord(r, 90);
        b.StretchDib(x, y, w, h, 64, 64, dib);
    });
}
void ClipsAndFills(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) {
        const int x = Coord(r, 900), y = Coord(r, 650);
        if (r() % 2)
            b.ExcludeClipRect(x, y, x + 40, y + 40);
        else
            b.Rectangle(x / 2, y / 2, x / 2 + 400, y / 2 + 300);
    });
}

// EMR_EXTTEXTOUTW of one line, half of them turned by 30 degrees.
void Texts(benchmark::State& state)
{
    int n = 0;
    OneKind(state, [&n](EmfBuilder& b, std::mt19937& r) {
        if (n++ % 100 == 0)
            b.SelectFont(10 + n / 100, -20, u"DejaVu Sans", 0, n > 100 ? 300 : 0);
        const std::u16string text = u"Kestrel plays its text 0123";
        const int x = Coord(r, 800), y = 20 + Coord(r, 700);
        b.ExtTextRecord(84, x, y, text.size(), Utf16Bytes(text));
    });
}
// BEGINPATH, a polygon or an ellipse, ENDPATH, FILLPATH.
void FilledPaths(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) {
        const int x = Coord(r, 900), y = Coord(r, 650);
        b.Record(59, {});
        if (r() % 2) {
            std::vector<MfPoint> points;
            for (int i = 0; i < 6; i++)
                points.push_back({x + Coord(r, 120), y + Coord(r, 120)});
            b.Polygon(points);
        } else {
            b.Ellipse(x, y, x + 20 + Coord(r, 100), y + 20 + Coord(r, 100));
        }
        b.Record(60, {});
        b.Record(62, {0, 0, -1, -1});
    });
}
// EMR_FILLRGN of eight rectangles stacked in bands.
void RegionFills(benchmark::State& state)
{
    int brush = -1;
    OneKind(state, [&brush](EmfBuilder& b, std::mt19937& r) {
        if (brush < 0)
            brush = b.CreateBrush(BS_SOLID, RGB(30, 90, 200));
        const int x = Coord(r, 800), y = Coord(r, 600);
        std::vector<MfRect> rects;
        for (int i = 0; i < 8; i++) {
            const int l = x + Coord(r, 60);
            rects.push_back({l, y + 12 * i, l + 20 + Coord(r, 100), y + 12 * i + 10});
        }
        const std::vector<uint8_t> data = RectRegionData(rects);
        b.Record(71, {0, 0, 0, 0, int32_t(data.size()), brush}, data);
    });
}
// Rectangles and ellipses under a world transform turned by 30 degrees.
void TurnedShapes(benchmark::State& state)
{
    bool first = true;
    OneKind(state, [&first](EmfBuilder& b, std::mt19937& r) {
        if (first) {
            const float c = std::cos(float(M_PI / 6)), s = std::sin(float(M_PI / 6));
            b.SetWorldTransform(c, s, -s, c, 300, -150);
            first = false;
        }
        const int x = Coord(r, 900), y = Coord(r, 650);
        if (r() % 2)
            b.Rectangle(x, y, x + 20 + Coord(r, 100), y + 20 + Coord(r, 100));
        else
            b.Ellipse(x, y, x + 20 + Coord(r, 100), y + 20 + Coord(r, 100));
    });
}
// Rectangles filled with the six hatches in turn.
void HatchFills(benchmark::State& state)
{
    int n = 0;
    OneKind(state, [&n](EmfBuilder& b, std::mt19937& r) {
        const int brush = 12;  // a slot the builder's own objects never reach
        b.Record(39, {brush, BS_HATCHED, int32_t(RGB(0, 0, 160)), n++ % 6});
        b.Select(brush);
        const Box x = RandomBox(r);
        b.Rectangle(x.l, x.t, x.r, x.b);
        b.Delete(brush);
    });
}

// A 24-bit DIB of 64 x 64 noisy pixels, packed.
std::vector<uint8_t> NoiseDib()
{
    return PackedDib24(64, 64, NoisePixels());
}

void Gradients(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) {
        const int x = Coord(r, 900), y = Coord(r, 650);
        const uint32_t mode = r() % 3;
        b.GradientFill({{x, y, 0xFF00, 0x2000, 0},
                        {x + 20 + Coord(r, 100), y + 20 + Coord(r, 100), 0, 0x8000, 0xFF00},
                        {x, y + 60, 0x1000, 0xFF00, 0x4000}},
                       mode == 2 ? std::vector<uint32_t>{0, 1, 2} : std::vector<uint32_t>{0, 1},
                       mode);
    });
}
// ALPHABLEND (114) with a constant alpha, or TRANSPARENTBLT (116) keying out
// one colour: destination, blend or key, source corner, the bitmap at 108.
void BlendKind(benchmark::State& state, uint32_t type)
{
    const std::vector<uint8_t> dib = NoiseDib();
    OneKind(state, [&](EmfBuilder& b, std::mt19937& r) {
        const int x = Coord(r, 900), y = Coord(r, 650);
        const int w = 30 + Coord(r, 90), h = 30 + Coord(r, 90);
        b.BlendBlt(type, x, y, w, h, type == 114 ? 0x800000 : 0x123456, 0, 0, 64, 64, dib);
    });
}
void AlphaBlends(benchmark::State& state)
{
    BlendKind(state, 114);
}
void TransparentBlits(benchmark::State& state)
{
    BlendKind(state, 116);
}
void PlgBlits(benchmark::State& state)
{
    const std::vector<uint8_t> dib = NoiseDib();
    OneKind(state, [&](EmfBuilder& b, std::mt19937& r) {
        const int x = Coord(r, 900), y = Coord(r, 650), s = 30 + Coord(r, 60);
        const MfPoint corners[3] = {{x, y}, {x + s, y + s / 3}, {x - s / 3, y + s}};
        b.PlgBlt(corners, 64, 64, dib);
    });
}
void PolyDraws(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) {
        std::vector<uint8_t> tail;
        EmfBuilder::PutPoints(tail, RandomPoints(r), false);
        for (uint8_t t : {6, 2, 4, 4, 4, 2, 2, 3})
            tail.push_back(t);
        b.Record(56, {0, 0, 0, 0, 8}, tail);
    });
}
void ArcsFromThePosition(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) {
        const int x = Coord(r, 900), y = Coord(r, 650), s = 20 + Coord(r, 100);
        if (r() % 2)
            b.Record(55, {x, y, x + s, y + s, x, y, x + s, y + s / 2});
        else
            b.Record(41, {x, y, s, 0, 0x43870000});  // 270 degrees
    });
}
void FloodFills(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) {
        const int x = Coord(r, 900), y = Coord(r, 650), s = 20 + Coord(r, 100);
        b.Record(39, {9, BS_NULL, 0, 0});
        b.Select(9);
        b.Rectangle(x, y, x + s, y + s);
        b.Select(2);
        b.Record(53, {x + s / 2, y + s / 2, 0, 0});  // up to the black outline
    });
}
void WidenedPaths(benchmark::State& state)
{
    OneKind(state, [](EmfBuilder& b, std::mt19937& r) {
        if (r() % 50 == 0)
            b.Select(b.CreatePen(PS_SOLID, 9, RGB(0, 0, 200)));
        b.Record(59, {});
        b.MoveTo(Coord(r, 1024), Coord(r, 768));
        for (int i = 0; i < 6; i++)
            b.LineTo(Coord(r, 1024), Coord(r, 768));
        b.Record(60, {});
        b.Record(66, {});
        b.Record(62, {0, 0, 0, 0});
    });
}

void ClipHeavy(benchmark::State& state)
{
    const int side = 1000;
    Playback bars{CrossingClipBars(600, side), true, side, side};
    Playback plain{CrossingClipBars(0, side), true, side, side};
    Plays(state, bars, [&] { plain.Run(); });
}

void WorstSmallFile(benchmark::State& state)
{
    const int side = 2048;
    Playback play{CanvasRectangles(290, side), true, side, side};
    const uint64_t allowance = WorkAllowance(play.bytes.size());
    std::vector<uint32_t> px(size_t(side) * side);
    Plays(state, play, [&] { PlainSpans(px, side, side, allowance); });
}

// The worst small file decoded by the image library at 2048 x 2048, against
// decoding a metafile of no records at the same size (the bitmap, its
// background and the copy into the image): `ours_ms` is the whole decode.
void DecodeWorstSmallFile(benchmark::State& state)
{
    const int side = 2048;
    WmfBuilder full, empty;
    full.Select(full.CreateBrush(0, 0x0000FF));
    for (int i = 0; i < 290; i++)
        full.Rectangle(0, 0, side + 1, side + 1);
    std::vector<uint8_t> bytes = full.Placeable(0, 0, side, side, 96);
    std::vector<uint8_t> none = empty.Placeable(0, 0, side, side, 96);
    double ours = 0;
    int runs = 0;
    CompareWithBaseline(
        state, side, side,
        [&] {
            RasterImage img;
            return img.Decode(none.data(), DWORD(none.size()), RASTER_FORMAT_WMF);
        },
        [&] {
            const auto t0 = std::chrono::steady_clock::now();
            RasterImage img;
            const bool ok = img.Decode(bytes.data(), DWORD(bytes.size()), RASTER_FORMAT_WMF);
            ours += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            runs++;
            return ok;
        },
        [](bool) { return "decode failed"; });
    state.counters["ours_ms"] = runs > 0 ? ours * 1e3 / runs : 0;
}

// How long each case is measured.
void HalfSecond(benchmark::internal::Benchmark* b)
{
    BenchMinTime(b, 0.5);
}
void OneSecond(benchmark::internal::Benchmark* b)
{
    BenchMinTime(b, 1.0);
}

}  // namespace

BENCHMARK(GiantPenAroundSmallPicture)->Apply(HalfSecond);
BENCHMARK(ThinPenOnHugeEllipse)->Apply(HalfSecond);
BENCHMARK(PolylineOnScreen)->Apply(HalfSecond);
BENCHMARK(EllipseOnScreen)->Apply(HalfSecond);

BENCHMARK(Rectangles)->Apply(HalfSecond);
BENCHMARK(Ellipses)->Apply(HalfSecond);
BENCHMARK(Polygons)->Apply(HalfSecond);
BENCHMARK(ThinPolylines)->Apply(HalfSecond);
BENCHMARK(WidePolylines)->Apply(HalfSecond);
BENCHMARK(DashedWidePolylines)->Apply(HalfSecond);
BENCHMARK(PaletteFills)->Apply(HalfSecond);
BENCHMARK(StretchBlits)->Apply(HalfSecond);
BENCHMARK(ClipsAndFills)->Apply(HalfSecond);
BENCHMARK(Texts)->Apply(HalfSecond);
BENCHMARK(FilledPaths)->Apply(HalfSecond);
BENCHMARK(RegionFills)->Apply(HalfSecond);
BENCHMARK(TurnedShapes)->Apply(HalfSecond);
BENCHMARK(HatchFills)->Apply(HalfSecond);
BENCHMARK(Gradients)->Apply(HalfSecond);
BENCHMARK(AlphaBlends)->Apply(HalfSecond);
BENCHMARK(TransparentBlits)->Apply(HalfSecond);
BENCHMARK(PlgBlits)->Apply(HalfSecond);
BENCHMARK(PolyDraws)->Apply(HalfSecond);
BENCHMARK(ArcsFromThePosition)->Apply(HalfSecond);
BENCHMARK(FloodFills)->Apply(HalfSecond);
BENCHMARK(WidenedPaths)->Apply(HalfSecond);
BENCHMARK(ClipHeavy)->Apply(HalfSecond);
BENCHMARK(WorstSmallFile)->Apply(OneSecond);

BENCHMARK(DecodeWorstSmallFile)->Apply(OneSecond);

BENCHMARK_MAIN();
