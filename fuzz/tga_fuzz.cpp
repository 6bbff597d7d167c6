// Feeds arbitrary bytes to the TGA loader through the sprite cache: as an
// entry of a packed archive when the first byte is odd, else as a file on
// disk; the rest of the input is the picture.
#include <kestrel.h>
#include <klog.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

KGraph* g_graph = nullptr;
std::string g_zip;
std::string g_path;

void Put16(std::vector<uint8_t>& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, uint16_t(v));
    Put16(b, uint16_t(v >> 16));
}

uint32_t Crc32(const uint8_t* p, size_t n)
{
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < n; i++) {
        crc ^= p[i];
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// A zip archive holding `data` as the one stored entry `name`.
std::vector<uint8_t> Zip(const char* name, const uint8_t* data, size_t size)
{
    const uint16_t nameLen = uint16_t(std::char_traits<char>::length(name));
    const uint32_t crc = Crc32(data, size);
    std::vector<uint8_t> z;
    Put32(z, 0x04034b50);
    for (uint16_t v : {20, 0, 0, 0, 0})
        Put16(z, v);
    Put32(z, crc);
    Put32(z, uint32_t(size));
    Put32(z, uint32_t(size));
    Put16(z, nameLen);
    Put16(z, 0);
    z.insert(z.end(), name, name + nameLen);
    z.insert(z.end(), data, data + size);
    const uint32_t central = uint32_t(z.size());
    Put32(z, 0x02014b50);
    for (uint16_t v : {20, 20, 0, 0, 0, 0})
        Put16(z, v);
    Put32(z, crc);
    Put32(z, uint32_t(size));
    Put32(z, uint32_t(size));
    Put16(z, nameLen);
    for (uint16_t v : {0, 0, 0, 0, 0, 0})
        Put16(z, v);
    Put32(z, 0);
    z.insert(z.end(), name, name + nameLen);
    const uint32_t centralSize = uint32_t(z.size()) - central;
    Put32(z, 0x06054b50);
    Put32(z, 0);
    Put16(z, 1);
    Put16(z, 1);
    Put32(z, centralSize);
    Put32(z, central);
    Put16(z, 0);
    return z;
}

// The scratch files go when the run ends.
void RemoveScratch()
{
    std::remove(g_zip.c_str());
    std::remove(g_path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kbase::SetEcho(false);
    g_graph = CreateKGraph(KRM_GDI, false, 16, 16, KCM_R5G6B5, false, false);
    g_zip = "/tmp/kestrel-tga-fuzz-" + std::to_string(getpid()) + ".zip";
    g_path = "/tmp/kestrel-tga-fuzz-" + std::to_string(getpid()) + ".tga";
    std::atexit(RemoveScratch);
    return g_graph != nullptr ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool fromPack = data[0] & 1;
    std::vector<uint8_t> bytes = fromPack ? Zip("f.tga", data + 1, size - 1)
                                          : std::vector<uint8_t>(data + 1, data + size);
    FILE* f = std::fopen(fromPack ? g_zip.c_str() : g_path.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    CUnPackFile pack;
    if (fromPack && !pack.Open(g_zip.c_str()))
        return 0;
    KSprite* spr = g_graph->Load(fromPack ? "f.tga" : g_path.c_str(), 0x11,
                                 fromPack ? &pack : nullptr);
    if (spr != nullptr)
        g_graph->ReleaseKSprite(spr);
    kbase::ClearLog();
    return 0;
}
