// Feeds arbitrary bytes to the BMP loader as a file on disk (the loader reads
// BMP from disk only), through the sprite cache.
#include <kestrel.h>
#include <klog.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
KGraph* g_graph = nullptr;
std::string g_path;
// The scratch files go when the run ends.
void RemoveScratch()
{
    std::remove(g_path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kbase::SetEcho(false);
    g_graph = CreateKGraph(KRM_GDI, false, 16, 16, KCM_R5G6B5, false, false);
    g_path = "/tmp/kestrel-bmp-fuzz-" + std::to_string(getpid()) + ".bmp";
    std::atexit(RemoveScratch);
    return g_graph != nullptr ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(g_path.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    // Both packings: plain, and keyed (black stays the key).
    KSprite* spr = g_graph->Load(g_path.c_str(), size % 2 ? 0x11 : 0, nullptr);
    if (spr != nullptr)
        g_graph->ReleaseKSprite(spr);
    kbase::ClearLog();
    return 0;
}
