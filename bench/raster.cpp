// The image library against plain baselines measured in the same run:
//  - BMP decode and encode of a 4096 x 4096 24-bit picture against a plain
//    read (copy out) and write (copy in) of the same bytes;
//  - GetPixelColor / SetPixelColor over a whole picture against direct row
//    access;
//  - GetNearestIndex over 256 colours against a plain search of the palette.
// After Google Benchmark's own lines, each case prints ours, the baseline and
// their ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <raster.h>

namespace {

constexpr DWORD kBig = 4096;     // the codec picture
constexpr DWORD kPixels = 1024;  // the pixel-access picture

RasterImage& Picture(DWORD side)
{
    static std::map<DWORD, RasterImage*> pictures;
    RasterImage*& img = pictures[side];
    if (img == nullptr) {
        img = new RasterImage(side, side, 24, 0);
        for (DWORD y = 0; y < side; y++) {
            BYTE* row = img->GetBits(0) + (size_t)y * img->GetEffWidth();
            for (DWORD x = 0; x < side; x++) {
                row[3 * x] = (BYTE)(x ^ y);
                row[3 * x + 1] = (BYTE)(x * 3 + y);
                row[3 * x + 2] = (BYTE)(y * 5 - x);
            }
        }
    }
    return *img;
}

const std::vector<BYTE>& BigBmp()
{
    static std::vector<BYTE> bytes;
    if (bytes.empty()) {
        BYTE* buf = nullptr;
        long size = 0;
        if (!Picture(kBig).Encode(buf, size, RASTER_FORMAT_BMP))
            abort();
        bytes.assign(buf, buf + size);
        free(buf);
    }
    return bytes;
}

void BmpDecodeOurs(benchmark::State& state)
{
    std::vector<BYTE> file = BigBmp();
    for (auto _ : state) {
        RasterImage img;
        if (!img.Decode(file.data(), (DWORD)file.size(), RASTER_FORMAT_BMP))
            state.SkipWithError(img.GetLastError());
        benchmark::DoNotOptimize(img.GetBits(0));
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)file.size());
}

void BmpDecodeBaseline(benchmark::State& state)
{
    std::vector<BYTE> file = BigBmp();
    for (auto _ : state) {
        BYTE* block = static_cast<BYTE*>(malloc(file.size()));
        memcpy(block, file.data(), file.size());
        benchmark::DoNotOptimize(block);
        benchmark::ClobberMemory();
        free(block);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)file.size());
}

void BmpEncodeOurs(benchmark::State& state)
{
    RasterImage& img = Picture(kBig);
    for (auto _ : state) {
        BYTE* buf = nullptr;
        long size = 0;
        if (!img.Encode(buf, size, RASTER_FORMAT_BMP))
            state.SkipWithError(img.GetLastError());
        benchmark::DoNotOptimize(buf);
        free(buf);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)BigBmp().size());
}

void BmpEncodeBaseline(benchmark::State& state)
{
    RasterImage& img = Picture(kBig);
    size_t size = (size_t)img.GetSize() + 14;
    for (auto _ : state) {
        BYTE* block = static_cast<BYTE*>(malloc(size));
        memset(block, 0, 14);
        memcpy(block + 14, img.GetDIB(), size - 14);
        benchmark::DoNotOptimize(block);
        benchmark::ClobberMemory();
        free(block);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)size);
}

void GetPixelOurs(benchmark::State& state)
{
    RasterImage& img = Picture(kPixels);
    for (auto _ : state) {
        unsigned sum = 0;
        for (long y = 0; y < (long)kPixels; y++)
            for (long x = 0; x < (long)kPixels; x++) {
                RGBQUAD c = img.GetPixelColor(x, y);
                sum += c.rgbBlue + c.rgbGreen + c.rgbRed;
            }
        benchmark::DoNotOptimize(sum);
    }
}

void GetPixelBaseline(benchmark::State& state)
{
    RasterImage& img = Picture(kPixels);
    for (auto _ : state) {
        unsigned sum = 0;
        for (DWORD y = 0; y < kPixels; y++) {
            const BYTE* row = img.GetBits(0) + (size_t)y * img.GetEffWidth();
            for (DWORD x = 0; x < kPixels; x++)
                sum += row[3 * x] + row[3 * x + 1] + row[3 * x + 2];
        }
        benchmark::DoNotOptimize(sum);
    }
}

void SetPixelOurs(benchmark::State& state)
{
    RasterImage img(kPixels, kPixels, 24, 0);
    for (auto _ : state) {
        for (long y = 0; y < (long)kPixels; y++)
            for (long x = 0; x < (long)kPixels; x++) {
                RGBQUAD c = {(BYTE)x, (BYTE)y, (BYTE)(x + y), 0};
                img.SetPixelColor(x, y, c);
            }
        benchmark::DoNotOptimize(img.GetBits(0));
        benchmark::ClobberMemory();
    }
}

void SetPixelBaseline(benchmark::State& state)
{
    RasterImage img(kPixels, kPixels, 24, 0);
    for (auto _ : state) {
        for (DWORD y = 0; y < kPixels; y++) {
            BYTE* row = img.GetBits(0) + (size_t)y * img.GetEffWidth();
            for (DWORD x = 0; x < kPixels; x++) {
                row[3 * x] = (BYTE)x;
                row[3 * x + 1] = (BYTE)y;
                row[3 * x + 2] = (BYTE)(x + y);
            }
        }
        benchmark::DoNotOptimize(img.GetBits(0));
        benchmark::ClobberMemory();
    }
}

// 256 different colours, so that the one-entry cache never answers.
std::vector<RGBQUAD> Queries()
{
    std::vector<RGBQUAD> q(256);
    for (int i = 0; i < 256; i++)
        q[i] = {(BYTE)(i * 7), (BYTE)(i * 13), (BYTE)(255 - i), 0};
    return q;
}

void NearestOurs(benchmark::State& state)
{
    RasterImage img(1, 1, 8, 0);
    img.SetStdPalette();
    std::vector<RGBQUAD> q = Queries();
    for (auto _ : state) {
        unsigned sum = 0;
        for (const RGBQUAD& c : q)
            sum += img.GetNearestIndex(c);
        benchmark::DoNotOptimize(sum);
    }
}

void NearestBaseline(benchmark::State& state)
{
    RasterImage img(1, 1, 8, 0);
    img.SetStdPalette();
    const RGBQUAD* pal = img.GetPalette();
    std::vector<RGBQUAD> q = Queries();
    for (auto _ : state) {
        unsigned sum = 0;
        for (const RGBQUAD& c : q) {
            int best = 0, bestDistance = 1 << 30;
            for (int i = 0; i < 256; i++) {
                int db = pal[i].rgbBlue - c.rgbBlue, dg = pal[i].rgbGreen - c.rgbGreen,
                    dr = pal[i].rgbRed - c.rgbRed;
                int d = db * db + dg * dg + dr * dr;
                if (d < bestDistance) {
                    bestDistance = d;
                    best = i;
                }
            }
            sum += (unsigned)best;
        }
        benchmark::DoNotOptimize(sum);
    }
}

// Keeps each run's real time per iteration to print the pairs at the end.
class PairReporter : public benchmark::ConsoleReporter {
public:
    PairReporter() : ConsoleReporter(OO_Tabular) {}  // plain text, also in CI logs

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                m_times[r.benchmark_name()] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    bool Time(const std::string& name, double& t) const
    {
        auto it = m_times.find(name);
        if (it == m_times.end())
            return false;
        t = it->second;
        return true;
    }

private:
    std::map<std::string, double> m_times;
};

struct Pair {
    const char* title;
    const char* ours;
    const char* baseline;
    void (*oursFn)(benchmark::State&);
    void (*baselineFn)(benchmark::State&);
};

const Pair kPairs[] = {
    {"BMP decode 4096x4096x24 vs copy of the bytes", "bmp_decode/ours", "bmp_decode/memcpy", BmpDecodeOurs,
     BmpDecodeBaseline},
    {"BMP encode 4096x4096x24 vs copy of the bytes", "bmp_encode/ours", "bmp_encode/memcpy", BmpEncodeOurs,
     BmpEncodeBaseline},
    {"GetPixelColor 1024x1024x24 vs row access", "get_pixel/ours", "get_pixel/rows", GetPixelOurs,
     GetPixelBaseline},
    {"SetPixelColor 1024x1024x24 vs row access", "set_pixel/ours", "set_pixel/rows", SetPixelOurs,
     SetPixelBaseline},
    {"GetNearestIndex 256 colours vs plain search", "nearest/ours", "nearest/plain", NearestOurs,
     NearestBaseline},
};

}  // namespace

int main(int argc, char** argv)
{
    for (const Pair& p : kPairs) {
        benchmark::RegisterBenchmark(p.ours, p.oursFn)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(p.baseline, p.baselineFn)->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    PairReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    printf("\n%-48s %14s %14s %8s\n", "case", "ours (us)", "baseline (us)", "ratio");
    for (const Pair& p : kPairs) {
        double ours, base;
        if (reporter.Time(p.ours, ours) && reporter.Time(p.baseline, base))
            printf("%-48s %14.1f %14.1f %8.2f\n", p.title, ours, base, base > 0 ? ours / base : 0.0);
    }
    benchmark::Shutdown();
    return 0;
}
