// The JPEG-2000 family codec against OpenJPEG's own API, on the same JP2
// files held in memory, in the same run:
//   JP2 decode  RasterImage::Decode (format JP2) against OpenJPEG decoding
//               the same bytes from a memory stream into its components
// Files are written by our encoder from a synthetic photo, lossless (rate
// 1.0) and lossy (rate 0.1). The counters are those of bench_util.h: `ratio`
// is OpenJPEG over ours (above 1 is faster), `time_x` ours over OpenJPEG.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <openjpeg.h>

#include <raster.h>

#include "bench_util.h"

namespace {

using Bytes = std::vector<BYTE>;

std::map<std::string, Bytes> g_jp2;

std::string Name(long w, long h, int quality)
{
    return std::to_string(w) + "x" + std::to_string(h) + "q" + std::to_string(quality);
}

Bytes MakeJp2(long w, long h, int quality)
{
    RasterImage img;
    img.Create(DWORD(w), DWORD(h), 24, RASTER_FORMAT_BMP);
    BYTE rgb[3];
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++) {
            PhotoPixel(x, y, w, h, rgb);
            img.SetPixelColor(x, h - 1 - y, RGBQUAD{rgb[2], rgb[1], rgb[0], 0});
        }
    img.SetJpegQuality(BYTE(quality));
    BYTE* out = nullptr;
    long size = 0;
    if (!img.Encode(out, size, RASTER_FORMAT_JP2))
        return Bytes();
    Bytes file(out, out + size);
    free(out);
    return file;
}

// OpenJPEG reading from memory.
struct MemSource {
    const Bytes* data;
    size_t pos;
};

OPJ_SIZE_T MemRead(void* buf, OPJ_SIZE_T n, void* user)
{
    MemSource* m = static_cast<MemSource*>(user);
    const size_t left = m->data->size() - m->pos;
    if (left == 0)
        return (OPJ_SIZE_T)-1;
    n = std::min(n, left);
    memcpy(buf, m->data->data() + m->pos, n);
    m->pos += n;
    return n;
}

OPJ_OFF_T MemSkip(OPJ_OFF_T n, void* user)
{
    MemSource* m = static_cast<MemSource*>(user);
    const size_t step = std::min<size_t>(size_t(n), m->data->size() - m->pos);
    m->pos += step;
    return OPJ_OFF_T(step);
}

OPJ_BOOL MemSeek(OPJ_OFF_T to, void* user)
{
    MemSource* m = static_cast<MemSource*>(user);
    if (to < 0 || size_t(to) > m->data->size())
        return OPJ_FALSE;
    m->pos = size_t(to);
    return OPJ_TRUE;
}

bool OpenJpegDecode(const Bytes& file)
{
    MemSource src = {&file, 0};
    opj_stream_t* st = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    opj_stream_set_user_data(st, &src, nullptr);
    opj_stream_set_user_data_length(st, file.size());
    opj_stream_set_read_function(st, MemRead);
    opj_stream_set_skip_function(st, MemSkip);
    opj_stream_set_seek_function(st, MemSeek);
    opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    opj_image_t* image = nullptr;
    const bool ok = opj_setup_decoder(codec, &params) && opj_read_header(st, codec, &image) &&
                    opj_decode(codec, st, image) && opj_end_decompress(codec, st);
    benchmark::DoNotOptimize(image);
    if (image != nullptr)
        opj_image_destroy(image);
    opj_destroy_codec(codec);
    opj_stream_destroy(st);
    return ok;
}

bool OursDecode(const Bytes& file)
{
    RasterImage img;
    const bool ok = img.Decode(const_cast<BYTE*>(file.data()), DWORD(file.size()),
                               RASTER_FORMAT_JP2);
    benchmark::DoNotOptimize(img.GetBits());
    return ok;
}

void BM_Jp2DecodeVsOpenJpeg(benchmark::State& state)
{
    const long w = state.range(0), h = state.range(1);
    const Bytes& file = g_jp2[Name(w, h, int(state.range(2)))];
    CompareWithBaseline(state, w, h, [&] { return OpenJpegDecode(file); },
                        [&] { return OursDecode(file); },
                        [](bool baseOk) { return baseOk ? "our decode failed" : "OpenJPEG failed"; });
}

const long kSizes[][2] = {{640, 480}, {1920, 1080}};
const int kQualities[] = {100, 10};

}  // namespace

BENCHMARK(BM_Jp2DecodeVsOpenJpeg)
    ->ArgsProduct({{640}, {480}, {100, 10}})
    ->ArgsProduct({{1920}, {1080}, {100, 10}})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (const auto& s : kSizes)
        for (int q : kQualities) {
            Bytes file = MakeJp2(s[0], s[1], q);
            if (file.empty()) {
                fprintf(stderr, "bench_jp2: cannot make the %ldx%ld files\n", s[0], s[1]);
                return 1;
            }
            g_jp2[Name(s[0], s[1], q)] = std::move(file);
        }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
