// The metafile player's wide lines drawn as runs (what the player uses)
// against the same lines filled as one polygon set with a disc per join (the
// plain path they must match), measured in the same run onto a block of
// pixels: curves of a thousand points under pens wider than a small picture
// and thin pens on it, as damaged or careless files give, and a picture's
// ordinary outlines on a screen-sized canvas. `ratio` is the plain path's
// time over the runs'.
#include <benchmark/benchmark.h>
#include "bench_util.h"

#include <random>
#include <vector>

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

}  // namespace

BENCHMARK(GiantPenAroundSmallPicture)->Apply([](benchmark::internal::Benchmark* b) { BenchMinTime(b, 0.5); });
BENCHMARK(ThinPenOnHugeEllipse)->Apply([](benchmark::internal::Benchmark* b) { BenchMinTime(b, 0.5); });
BENCHMARK(PolylineOnScreen)->Apply([](benchmark::internal::Benchmark* b) { BenchMinTime(b, 0.5); });
BENCHMARK(EllipseOnScreen)->Apply([](benchmark::internal::Benchmark* b) { BenchMinTime(b, 0.5); });

BENCHMARK_MAIN();
