// Picture loading against its baselines, measured in the same run:
//   JPEG  KGraph::Load through the sprite cache (file read, decode, packing
//         into an R5G6B5 sprite) against libjpeg's own decode of the same
//         file to RGB rows (stdio source, default settings)
//   BMP   KGraph::Load of a 24-bit bitmap against reading the file whole
//   TGA   KGraph::Load of a 32-bit Targa (colour and alpha sprites) against
//         reading the file whole
// Every load releases its sprite, so the cache forgets it and the next load
// decodes again. Each iteration times one baseline run and one of ours;
// the counters give both in milliseconds per megapixel, `ratio` (baseline
// over ours: above 1 is faster) and `time_x` (ours over the baseline, the
// figure the JPEG target of at most 1.15 speaks of).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <test_jpeg.h>

#include <desktop/desktop.h>
#include <kestrel.h>

#include "bench_util.h"

namespace {

KGraph* g_graph = nullptr;
std::string g_dir;

std::string PicturePath(const char* kind, long w, long h)
{
    return g_dir + "/" + kind + "-" + std::to_string(w) + "x" + std::to_string(h);
}

bool WriteJpeg(const std::string& path, long w, long h)
{
    std::vector<uint8_t> samples(size_t(w) * size_t(h) * 3);
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++)
            PhotoPixel(x, y, w, h, &samples[(size_t(y) * size_t(w) + size_t(x)) * 3]);
    JpegSettings s;
    s.quality = 85;
    const std::vector<uint8_t> jpg = EncodeJpeg(samples.data(), int(w), int(h), 3, JCS_RGB, s);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool written = std::fwrite(jpg.data(), 1, jpg.size(), f) == jpg.size();
    return std::fclose(f) == 0 && written;
}

bool WriteBmp(const std::string& path, long w, long h)
{
    KSprite* spr = g_graph->CreateSprite(w, h, KCM_R5G6B5, 0);
    if (spr == nullptr)
        return false;
    void* bits = nullptr;
    DWORD pitch = 0;
    long sw = 0, sh = 0;
    spr->Lock(&bits, pitch, sw, sh);
    for (long y = 0; y < sh; y++)
        for (long x = 0; x < sw; x++) {
            BYTE rgb[3];
            PhotoPixel(x, y, w, h, rgb);
            reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + y * pitch)[x] =
                color16b_565(rgb[0], rgb[1], rgb[2]);
        }
    spr->Unlock();
    spr->SaveBmp(path.c_str());
    g_graph->ReleaseKSprite(spr);
    return std::filesystem::file_size(path) > 54;
}

bool WriteTga(const std::string& path, long w, long h)
{
    std::vector<BYTE> b(18, 0);
    b[2] = 2;
    b[12] = BYTE(w);
    b[13] = BYTE(w >> 8);
    b[14] = BYTE(h);
    b[15] = BYTE(h >> 8);
    b[16] = 32;
    b[17] = 8;
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++) {
            BYTE rgb[3];
            PhotoPixel(x, y, w, h, rgb);
            b.insert(b.end(), {rgb[2], rgb[1], rgb[0], BYTE(x ^ y)});
        }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

// libjpeg's own decode of the file to RGB rows, into one buffer as ours does.
bool LibjpegDecode(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    jpeg_decompress_struct d;
    jpeg_error_mgr e;
    d.err = jpeg_std_error(&e);
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, f);
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    const size_t stride = size_t(d.output_width) * 3;
    BYTE* rgb = new BYTE[stride * d.output_height];
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = rgb + stride * d.output_scanline;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    std::fclose(f);
    benchmark::DoNotOptimize(rgb[0]);
    delete[] rgb;
    return true;
}

bool ReadWhole(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    std::vector<BYTE> data(static_cast<size_t>(size));
    const bool ok = std::fread(data.data(), 1, data.size(), f) == data.size();
    std::fclose(f);
    benchmark::DoNotOptimize(data.data());
    return ok;
}

bool OursLoad(const std::string& path)
{
    KSprite* spr = g_graph->Load(path.c_str(), 0, nullptr);
    if (spr == nullptr)
        return false;
    g_graph->ReleaseKSprite(spr);
    return true;
}

template <typename Base>
void Compare(benchmark::State& state, const std::string& path, long w, long h, Base base)
{
    CompareWithBaseline(
        state, w, h, [&] { return base(path); }, [&] { return OursLoad(path); },
        [&](bool) { return "cannot load " + path; });
}

void BM_JpegThroughCacheVsLibjpeg(benchmark::State& state)
{
    const long w = state.range(0), h = state.range(1);
    Compare(state, PicturePath("photo", w, h) + ".jpg", w, h, LibjpegDecode);
}

void BM_BmpLoadVsFileRead(benchmark::State& state)
{
    const long w = state.range(0), h = state.range(1);
    Compare(state, PicturePath("scene", w, h) + ".bmp", w, h, ReadWhole);
}

void BM_TgaLoadVsFileRead(benchmark::State& state)
{
    const long w = state.range(0), h = state.range(1);
    Compare(state, PicturePath("glow", w, h) + ".tga", w, h, ReadWhole);
}

const std::vector<std::pair<long, long>> kSizes = {{640, 480}, {1920, 1080}};

}  // namespace

BENCHMARK(BM_JpegThroughCacheVsLibjpeg)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpLoadVsFileRead)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TgaLoadVsFileRead)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    kbase::SetEcho(false);
    desktop::Reset();
    g_graph = CreateKGraph(KRM_GDI, false, 16, 16, KCM_R5G6B5, false, false);
    char pattern[] = "/tmp/kestrel-bench-load-XXXXXX";
    if (g_graph == nullptr || mkdtemp(pattern) == nullptr) {
        std::fprintf(stderr, "bench_load: cannot set up\n");
        return 1;
    }
    g_dir = pattern;
    bool made = true;
    for (const auto& [w, h] : kSizes)
        made = made && WriteJpeg(PicturePath("photo", w, h) + ".jpg", w, h) &&
               WriteBmp(PicturePath("scene", w, h) + ".bmp", w, h) &&
               WriteTga(PicturePath("glow", w, h) + ".tga", w, h);
    if (made)
        benchmark::RunSpecifiedBenchmarks();
    else
        std::fprintf(stderr, "bench_load: cannot write the pictures into %s\n", g_dir.c_str());
    benchmark::Shutdown();
    ReleaseKGraph(g_graph);
    std::error_code ignored;
    std::filesystem::remove_all(g_dir, ignored);
    return made ? 0 : 1;
}
