// RasterImage drawing into a device context against a plain copy of the same
// bytes, measured in the same run: an 800 x 600 24-bit picture drawn onto an
// 800 x 600 32-bit DIB section (the plain path, one transfer of the rows),
// scaled by 1.5 (the nearest-neighbour scratch path) and with an alpha
// plane (the blending path), each against memcpy of the picture's bytes
// into a buffer as large. Each iteration times the copy and the draw once,
// the two in turn going first, so that neither always runs on the other's
// warm caches; the figures are the medians over the iterations: both times
// in milliseconds per megapixel, `ratio` (baseline over ours; 1 would be as
// fast as a copy) and `time_x` (ours over the baseline). KESTREL_BLIT=ref
// times the general paths the fast ones bypass.
#include <benchmark/benchmark.h>
#include "bench_util.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include <desktop/desktop.h>
#include <raster.h>

namespace {

constexpr long kW = 800, kH = 600;

RasterImage& Picture(bool alpha)
{
    static RasterImage* pictures[2] = {nullptr, nullptr};
    RasterImage*& img = pictures[alpha ? 1 : 0];
    if (img == nullptr) {
        img = new RasterImage((DWORD)kW, (DWORD)kH, 24u);
        for (long y = 0; y < kH; y++) {
            BYTE* row = img->GetBits(0) + (size_t)y * img->GetEffWidth();
            for (long x = 0; x < kW; x++)
                PhotoPixel(x, y, kW, kH, row + 3 * x);
        }
        if (alpha) {
            img->AlphaCreate();
            for (long y = 0; y < kH; y++)
                for (long x = 0; x < kW; x++)
                    img->AlphaSet(x, y, (BYTE)((x + y) & 0xFF));
        }
    }
    return *img;
}

// A memory context holding an 800 x 600 DIB section of 32 (or 24) bits.
struct Target {
    HDC dc = NULL;
    HBITMAP section = NULL;
    HGDIOBJ old = NULL;
    void* bits = nullptr;

    explicit Target(WORD bpp)
    {
        BITMAPINFO bmi;
        memset(&bmi, 0, sizeof(bmi));
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = kW;
        bmi.bmiHeader.biHeight = kH;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = bpp;
        dc = CreateCompatibleDC(NULL);
        section = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
        if (section != NULL)
            old = SelectObject(dc, section);
    }
    ~Target()
    {
        if (old != NULL)
            SelectObject(dc, old);
        if (section != NULL)
            DeleteObject(section);
        if (dc != NULL)
            DeleteDC(dc);
    }
    bool ok() const { return old != NULL && bits != nullptr; }
};

double Median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + (long)(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The seconds fn takes.
template <typename Fn>
double Seconds(Fn fn, bool& ok)
{
    const auto t0 = std::chrono::steady_clock::now();
    ok = fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void Draw(benchmark::State& state, bool alpha, long cx, long cy, WORD bpp = 32)
{
    Target target(bpp);
    if (!target.ok()) {
        state.SkipWithError("no DIB section");
        return;
    }
    RasterImage& img = Picture(alpha);
    const size_t bytes = (size_t)img.GetEffWidth() * img.GetHeight();
    std::vector<BYTE> copy(bytes);
    const auto base = [&] {
        memcpy(copy.data(), img.GetBits(0), bytes);
        benchmark::DoNotOptimize(copy.data());
        return true;
    };
    const auto ours = [&] { return img.Draw(target.dc, 0, 0, cx, cy) == 1; };
    std::vector<double> tBase, tOurs;
    bool baseFirst = true;
    for (auto _ : state) {
        bool ok = true;
        double b, o;
        if (baseFirst) {
            b = Seconds(base, ok);
            o = Seconds(ours, ok);
        } else {
            o = Seconds(ours, ok);
            b = Seconds(base, ok);
        }
        if (!ok) {
            state.SkipWithError("Draw failed");
            return;
        }
        tBase.push_back(b);
        tOurs.push_back(o);
        baseFirst = !baseFirst;
    }
    const double mp = (double)kW * (double)kH / 1e6;
    const double mb = Median(tBase), mo = Median(tOurs);
    state.counters["ours_ms_per_MP"] = mo * 1e3 / mp;
    state.counters["base_ms_per_MP"] = mb * 1e3 / mp;
    state.counters["ratio"] = mb / mo;
    state.counters["time_x"] = mo / mb;
}

void DrawPlain(benchmark::State& state) { Draw(state, false, -1, -1); }
void DrawScaled(benchmark::State& state) { Draw(state, false, kW * 3 / 2, kH * 3 / 2); }
void DrawAlpha(benchmark::State& state) { Draw(state, true, -1, -1); }
void DrawPlain24(benchmark::State& state) { Draw(state, false, -1, -1, 24); }
void DrawAlpha24(benchmark::State& state) { Draw(state, true, -1, -1, 24); }
void DrawAlphaScaled(benchmark::State& state) { Draw(state, true, kW * 3 / 2, kH * 3 / 2); }

}  // namespace

int main(int argc, char** argv)
{
    desktop::Reset();
    BenchMinTime(benchmark::RegisterBenchmark("draw_800x600x24/plain_vs_memcpy", DrawPlain), 0.5)
        ->Unit(benchmark::kMillisecond);
    BenchMinTime(benchmark::RegisterBenchmark("draw_800x600x24/scaled_1.5_vs_memcpy", DrawScaled), 0.5)
        ->Unit(benchmark::kMillisecond);
    BenchMinTime(benchmark::RegisterBenchmark("draw_800x600x24/alpha_vs_memcpy", DrawAlpha), 0.5)
        ->Unit(benchmark::kMillisecond);
    // Beyond the targets: a 24-bit section, and blending scaled.
    BenchMinTime(benchmark::RegisterBenchmark("draw_800x600x24/plain_onto_24bit_vs_memcpy", DrawPlain24), 0.5)
        ->Unit(benchmark::kMillisecond);
    BenchMinTime(benchmark::RegisterBenchmark("draw_800x600x24/alpha_onto_24bit_vs_memcpy", DrawAlpha24), 0.5)
        ->Unit(benchmark::kMillisecond);
    BenchMinTime(benchmark::RegisterBenchmark("draw_800x600x24/alpha_scaled_1.5_vs_memcpy", DrawAlphaScaled), 0.5)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
