// The TIFF codec against libtiff itself, in the same run:
//   TIFF decode  RasterImage::Decode (format TIFF) of a 4096 x 4096 RGB photo
//                against libtiff reading the same strips (TIFFReadEncodedStrip)
//                straight into one buffer, with LZW and with Deflate (both
//                with the horizontal predictor, 16 rows a strip).
#include <benchmark/benchmark.h>

#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include <raster.h>
#include "bench_util.h"

namespace {

using Bytes = std::vector<BYTE>;

constexpr long kSide = 4096;
constexpr uint32_t kRowsPerStrip = 16;

std::map<int, Bytes> g_files;  // compression -> file

// libtiff's client procedures over a memory block, for the baseline.
struct MemBlock {
    const Bytes* data;
    toff_t at;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n)
{
    MemBlock* m = static_cast<MemBlock*>(h);
    const toff_t left = m->at < m->data->size() ? m->data->size() - m->at : 0;
    const toff_t take = (toff_t)n < left ? (toff_t)n : left;
    memcpy(buf, m->data->data() + m->at, take);
    m->at += take;
    return (tmsize_t)take;
}

tmsize_t MemWrite(thandle_t, void*, tmsize_t)
{
    return 0;
}

toff_t MemSeek(thandle_t h, toff_t off, int whence)
{
    MemBlock* m = static_cast<MemBlock*>(h);
    if (whence == SEEK_SET)
        m->at = off;
    else if (whence == SEEK_CUR)
        m->at += off;
    else
        m->at = m->data->size() + off;
    return m->at;
}

int MemClose(thandle_t)
{
    return 0;
}

toff_t MemSize(thandle_t h)
{
    return static_cast<MemBlock*>(h)->data->size();
}

int MemMap(thandle_t, void**, toff_t*)
{
    return 0;
}

void MemUnmap(thandle_t, void*, toff_t)
{
}

Bytes TiffOf(int compression)
{
    const char* path = "/tmp/kestrel_bench_tiff.tif";
    TIFF* tif = TIFFOpen(path, "w");
    if (tif == nullptr)
        return Bytes();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, (uint32_t)kSide);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, (uint32_t)kSide);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    std::vector<unsigned char> row(3 * kSide);
    bool ok = true;
    for (long y = 0; y < kSide && ok; y++) {
        for (long x = 0; x < kSide; x++)
            PhotoPixel(x, y, kSide, kSide, &row[3 * x]);
        ok = TIFFWriteScanline(tif, row.data(), (uint32_t)y, 0) == 1;
    }
    TIFFClose(tif);
    Bytes out;
    FILE* fp = fopen(path, "rb");
    if (fp != nullptr) {
        fseek(fp, 0, SEEK_END);
        out.resize((size_t)ftell(fp));
        fseek(fp, 0, SEEK_SET);
        if (fread(out.data(), 1, out.size(), fp) != out.size())
            out.clear();
        fclose(fp);
    }
    remove(path);
    return ok ? out : Bytes();
}

bool LibtiffStrips(const Bytes& file)
{
    MemBlock m = {&file, 0};
    TIFF* tif = TIFFClientOpen("bench", "rm", &m, MemRead, MemWrite, MemSeek, MemClose, MemSize,
                               MemMap, MemUnmap);
    if (tif == nullptr)
        return false;
    const tmsize_t stripSize = TIFFStripSize(tif);
    unsigned char* buffer = static_cast<unsigned char*>(malloc((size_t)kSide * kSide * 3));
    bool ok = buffer != nullptr;
    const uint32_t strips = TIFFNumberOfStrips(tif);
    tmsize_t at = 0;
    for (uint32_t s = 0; s < strips && ok; s++) {
        const tmsize_t got = TIFFReadEncodedStrip(tif, s, buffer + at, stripSize);
        ok = got > 0;
        at += got;
    }
    benchmark::DoNotOptimize(buffer);
    free(buffer);
    TIFFClose(tif);
    return ok;
}

bool OursDecode(const Bytes& file)
{
    RasterImage img;
    BYTE* data = const_cast<BYTE*>(file.data());
    const bool ok = img.Decode(data, DWORD(file.size()), RASTER_FORMAT_TIF);
    benchmark::DoNotOptimize(img.GetBits(0));
    return ok && img.IsValid();
}

void BM_TiffDecodeVsLibtiffStrips(benchmark::State& state)
{
    const Bytes& file = g_files[(int)state.range(0)];
    CompareWithBaseline(state, kSide, kSide, [&] { return LibtiffStrips(file); },
                        [&] { return OursDecode(file); },
                        [](bool baseOk) { return baseOk ? "ours failed" : "baseline failed"; });
}

}  // namespace

BENCHMARK(BM_TiffDecodeVsLibtiffStrips)
    ->Arg(COMPRESSION_LZW)
    ->Arg(COMPRESSION_ADOBE_DEFLATE)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    bool made = true;
    for (int c : {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE}) {
        g_files[c] = TiffOf(c);
        made = made && !g_files[c].empty();
    }
    if (made)
        benchmark::RunSpecifiedBenchmarks();
    else
        std::fprintf(stderr, "bench_tiff: cannot make the pictures\n");
    benchmark::Shutdown();
    return made ? 0 : 1;
}
