// Arbitrary bytes through the engine's PNG loader, as KGraph::Load meets
// them: the first byte's low bit picks a file on disk (0) or an entry of a
// packed archive (1); the rest is the picture.
#include "fuzz_support.h"

namespace {
const ScratchFile g_file("png-loader", ".png");
const ScratchFile g_zip("png-loader", ".zip");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] & 1) {
        LoadFromPack(g_zip, "p.png", std::vector<uint8_t>(data + 1, data + size), 0);
    } else if (g_file.Write(data + 1, size - 1)) {
        LoadAndRelease(g_file.Path(), 0, nullptr);
    }
    return 0;
}
