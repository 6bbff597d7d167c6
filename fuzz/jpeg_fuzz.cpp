// Feeds arbitrary bytes to the JPEG loader (and so to the JPEG decoding
// service) as a file on disk, through the sprite cache.
#include "fuzz_support.h"

namespace {
const ScratchFile g_file("jpeg", ".jpg");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_file.Write(data, size))
        LoadAndRelease(g_file.Path(), 0, nullptr);
    return 0;
}
