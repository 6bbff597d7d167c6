// Feeds arbitrary bytes to the kpc reader as an entry of a packed archive,
// the way a game's data files reach it, through the sprite cache.
#include "fuzz_support.h"

namespace {
const ScratchFile g_zip("kpc", ".zip");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LoadFromPack(g_zip, "f.kpc", std::vector<uint8_t>(data, data + size), 0x11);
    return 0;
}
