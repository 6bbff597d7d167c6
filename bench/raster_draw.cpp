// RasterImage drawing into a device context against a plain copy of the same
// bytes, measured in the same run: an 800 x 600 24-bit picture drawn onto an
// 800 x 600 32-bit DIB section (the plain path, one transfer of the rows),
// scaled by 1.5 (the nearest-neighbour scratch path) and with an alpha
// plane (the blending path), each against memcpy of the picture's bytes
// into a buffer as large. The counters give both times in milliseconds per
// megapixel and their ratio (baseline over ours; 1 would be as fast as a
// copy).
#include <benchmark/benchmark.h>
#include "bench_util.h"

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

// A memory context holding an 800 x 600 32-bit DIB section.
struct Target {
    HDC dc = NULL;
    HBITMAP section = NULL;
    HGDIOBJ old = NULL;
    void* bits = nullptr;

    Target()
    {
        BITMAPINFO bmi;
        memset(&bmi, 0, sizeof(bmi));
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = kW;
        bmi.bmiHeader.biHeight = kH;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
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

void Draw(benchmark::State& state, bool alpha, long cx, long cy)
{
    Target target;
    if (!target.ok()) {
        state.SkipWithError("no DIB section");
        return;
    }
    RasterImage& img = Picture(alpha);
    const size_t bytes = (size_t)img.GetEffWidth() * img.GetHeight();
    std::vector<BYTE> copy(bytes);
    CompareWithBaseline(
        state, kW, kH,
        [&] {
            memcpy(copy.data(), img.GetBits(0), bytes);
            benchmark::DoNotOptimize(copy.data());
            return true;
        },
        [&] { return img.Draw(target.dc, 0, 0, cx, cy) == 1; },
        [](bool baseOk) { return baseOk ? "Draw failed" : "copy failed"; });
}

void DrawPlain(benchmark::State& state) { Draw(state, false, -1, -1); }
void DrawScaled(benchmark::State& state) { Draw(state, false, kW * 3 / 2, kH * 3 / 2); }
void DrawAlpha(benchmark::State& state) { Draw(state, true, -1, -1); }

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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
