// Feeds arbitrary bytes to the TGA loader through the sprite cache: as an
// entry of a packed archive when the first byte is odd, else as a file on
// disk; the rest of the input is the picture.
#include "fuzz_support.h"

namespace {
const ScratchFile g_zip("tga", ".zip");
const ScratchFile g_file("tga", ".tga");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::vector<uint8_t> picture(data + 1, data + size);
    if (data[0] & 1)
        LoadFromPack(g_zip, "f.tga", picture, 0x11);
    else if (g_file.Write(picture))
        LoadAndRelease(g_file.Path(), 0x11, nullptr);
    return 0;
}
