// What the fuzz targets share: the byte builders of the tests (a zip archive
// of stored entries is how packed game data reaches the loaders), scratch
// files that go when the run ends, the input in a heap block of its own
// size, the small device the picture loaders run on, and the check that a
// decoded picture survives being written and read again. Header-only: a
// fuzz target links the library alone.
#pragma once
#include <kestrel.h>
#include <klog.h>
#include <raster.h>
#include <rasterdefs.h>
#include <byte_builders.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// Where the targets' scratch files go: memory-backed /dev/shm where there is
// one (rewriting a file on a disk costs milliseconds, which would bound a
// target to a few hundred inputs a second), else /tmp.
inline const char* FuzzScratchDir()
{
    return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

// A file of this process in the scratch folder, rewritten for every input
// and removed when the run ends (libFuzzer leaves by exit(), which runs
// destructors).
class ScratchFile {
public:
    // "<dir>/kestrel-<tag>-fuzz-<pid><ext>"
    ScratchFile(const char* tag, const char* ext)
        : m_path(std::string(FuzzScratchDir()) + "/kestrel-" + tag + "-fuzz-" + std::to_string(getpid()) + ext)
    {
    }
    ~ScratchFile() { std::remove(m_path.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const char* Path() const { return m_path.c_str(); }
    // False when the file cannot be opened for writing.
    bool Write(const uint8_t* data, size_t size) const
    {
        FILE* f = std::fopen(m_path.c_str(), "wb");
        if (f == nullptr)
            return false;
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        return true;
    }
    bool Write(const std::vector<uint8_t>& bytes) const { return Write(bytes.data(), bytes.size()); }

private:
    std::string m_path;
};

// The input in a heap block of exactly its size (one byte for an empty
// input), so that a read past it is caught.
class HeapCopy {
public:
    HeapCopy(const uint8_t* data, size_t size)
        : m_data(static_cast<BYTE*>(std::malloc(size == 0 ? 1 : size)))
    {
        if (size != 0)
            std::memcpy(m_data, data, size);
    }
    ~HeapCopy() { std::free(m_data); }
    HeapCopy(const HeapCopy&) = delete;
    HeapCopy& operator=(const HeapCopy&) = delete;

    BYTE* Data() const { return m_data; }

private:
    BYTE* m_data;
};

// Pixels a decode may make beyond what its data backs, under the fuzz
// build: large enough to reach every path, small enough that an input
// claiming a big picture costs microseconds, not milliseconds.
constexpr unsigned long long kFuzzUnbackedPixels = 1ULL << 14;

// Called first by every target that decodes pictures.
inline void FuzzLimits()
{
    static const bool done = [] {
        RasterSetUnbackedPixels(kFuzzUnbackedPixels);
        return true;
    }();
    (void)done;
}

// The device the picture targets load through, made on first use: 16 x 16
// R5G6B5, with the report echo off so that the run's output stays readable.
// A device that cannot be made ends the run.
inline KGraph* FuzzGraph()
{
    static KGraph* const graph = [] {
        kbase::SetEcho(false);
        FuzzLimits();
        KGraph* made = CreateKGraph(KRM_GDI, false, 16, 16, KCM_R5G6B5, false, false);
        if (made == nullptr) {
            std::fprintf(stderr, "the fuzz device cannot be made\n");
            std::abort();
        }
        return made;
    }();
    return graph;
}

// Loads one picture through the sprite cache and lets it go again; the log
// is emptied so that it does not grow over the run.
inline void LoadAndRelease(const char* name, DWORD flags, CUnPackFile* pack)
{
    KGraph* graph = FuzzGraph();
    KSprite* spr = graph->Load(name, flags, pack);
    if (spr != nullptr)
        graph->ReleaseKSprite(spr);
    kbase::ClearLog();
}

// Loads `picture` as the one entry `name` of a packed archive written to
// `zip`, as LoadAndRelease does.
inline void LoadFromPack(const ScratchFile& zip, const char* name,
                         const std::vector<uint8_t>& picture, DWORD flags)
{
    FuzzGraph();  // the echo goes off before the archive is read
    if (!zip.Write(StoredZip({{name, picture}})))
        return;
    CUnPackFile pack;
    if (pack.Open(zip.Path()))
        LoadAndRelease(name, flags, &pack);
    kbase::ClearLog();
}

// Whether two pictures have the same size and colours, and with `alpha` the
// same alpha channel (both or neither, and the same values).
inline bool SamePicture(const RasterImage& a, const RasterImage& b, bool alpha)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return false;
    if (alpha && a.AlphaIsValid() != b.AlphaIsValid())
        return false;
    const long w = (long)a.GetWidth(), h = (long)a.GetHeight();
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++) {
            const RGBQUAD p = a.GetPixelColor(x, y, false), q = b.GetPixelColor(x, y, false);
            if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue)
                return false;
            if (alpha && a.AlphaGet(x, y) != b.AlphaGet(x, y))
                return false;
        }
    return true;
}

// Writes `img` with a lossless codec and reads it back: the run stops when
// the writer refuses a decoded picture or the copy differs in colour or
// alpha.
inline void RoundTripLossless(RasterImage& img, DWORD format)
{
    BYTE* out = nullptr;
    long n = 0;
    if (!img.Encode(out, n, format))
        std::abort();
    RasterImage back;
    const bool again = back.Decode(out, (DWORD)n, format);
    std::free(out);
    if (!again || !SamePicture(img, back, true))
        std::abort();
}
