// Feeds arbitrary bytes to the BMP loader as a file on disk (the loader reads
// BMP from disk only), through the sprite cache.
#include "fuzz_support.h"

namespace {
const ScratchFile g_file("bmp", ".bmp");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Both packings: plain, and keyed (black stays the key).
    if (g_file.Write(data, size))
        LoadAndRelease(g_file.Path(), size % 2 ? 0x11 : 0, nullptr);
    return 0;
}
