// What the fuzz targets share: little-endian fields, a bitmap header, a zip
// archive of stored entries (packed game data reaches the loaders that way),
// scratch files that go when the run ends, the input in a heap block of its
// own size, and the small device the picture loaders run on. Header-only: a
// fuzz target links the library alone, and the graph tests build their
// archives with this same code.
#pragma once
#include <kestrel.h>
#include <klog.h>
#include <rasterdefs.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

inline void Put16(std::vector<uint8_t>& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

inline void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, uint16_t(v));
    Put16(b, uint16_t(v >> 16));
}

// The 54 header bytes of an uncompressed bitmap whose pixels start right after
// them: the file header (`fileSize` as the file claims it), then the 40-byte
// information header with w, h and the bits per pixel and every later field 0.
inline void PutBmpHeader(std::vector<uint8_t>& b, uint32_t fileSize, int32_t w, int32_t h,
                         uint16_t bits)
{
    b.push_back('B');
    b.push_back('M');
    Put32(b, fileSize);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, uint32_t(w));
    Put32(b, uint32_t(h));
    Put16(b, 1);
    Put16(b, bits);
    for (int i = 0; i < 6; i++)
        Put32(b, 0);
}

// The CRC-32 a zip entry records (reflected, polynomial 0xEDB88320).
inline uint32_t Crc32(const uint8_t* p, size_t n)
{
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < n; i++) {
        crc ^= p[i];
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

using ZipEntries = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// A zip archive of stored (uncompressed) entries, written field by field:
// each entry's local header and data, then the central directory and its end
// record. Times, dates, attributes and comments are all zero.
inline std::vector<uint8_t> StoredZip(const ZipEntries& entries)
{
    std::vector<uint8_t> out, central;
    for (const auto& [name, data] : entries) {
        const uint32_t offset = uint32_t(out.size());
        const uint32_t crc = Crc32(data.data(), data.size());
        Put32(out, 0x04034b50);
        for (uint16_t v : {20, 0, 0})  // version needed, flags, method: stored
            Put16(out, v);
        Put32(out, 0);  // time and date
        Put32(out, crc);
        Put32(out, uint32_t(data.size()));
        Put32(out, uint32_t(data.size()));
        Put16(out, uint16_t(name.size()));
        Put16(out, 0);  // extra length
        out.insert(out.end(), name.begin(), name.end());
        out.insert(out.end(), data.begin(), data.end());

        Put32(central, 0x02014b50);
        for (uint16_t v : {20, 20, 0, 0})  // made by, needed, flags, method
            Put16(central, v);
        Put32(central, 0);  // time and date
        Put32(central, crc);
        Put32(central, uint32_t(data.size()));
        Put32(central, uint32_t(data.size()));
        Put16(central, uint16_t(name.size()));
        Put32(central, 0);  // extra and comment lengths
        Put32(central, 0);  // disk, internal attributes
        Put32(central, 0);  // external attributes
        Put32(central, offset);
        central.insert(central.end(), name.begin(), name.end());
    }
    const uint32_t at = uint32_t(out.size());
    out.insert(out.end(), central.begin(), central.end());
    Put32(out, 0x06054b50);
    Put32(out, 0);  // this disk, the directory's disk
    Put16(out, uint16_t(entries.size()));
    Put16(out, uint16_t(entries.size()));
    Put32(out, uint32_t(central.size()));
    Put32(out, at);
    Put16(out, 0);  // comment length
    return out;
}

// A file of this process in memory-backed /dev/shm where there is one
// (rewriting a file on a disk costs milliseconds, which would bound a
// target to a few hundred inputs a second), else under /tmp; rewritten for
// every input and removed when the run ends (libFuzzer leaves by exit(),
// which runs destructors).
class ScratchFile {
public:
    // "<dir>/kestrel-<tag>-fuzz-<pid><ext>"
    ScratchFile(const char* tag, const char* ext)
        : m_path(std::string(ScratchDir()) + "/kestrel-" + tag + "-fuzz-" + std::to_string(getpid()) + ext)
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
    static const char* ScratchDir() { return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp"; }

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
