// Arbitrary bytes as a packed archive: opened, and the entries "a" and
// "b.gif" unpacked whole (the seeds name their entries so). An entry handed
// back must be readable to its last byte.
#include "fuzz_support.h"

namespace {
const ScratchFile g_zip("zip", ".zip");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = (kbase::SetEcho(false), true);
    (void)quiet;
    if (!g_zip.Write(data, size))
        return 0;
    CUnPackFile pack;
    if (pack.Open(g_zip.Path())) {
        for (const char* name : {"a", "b.gif"}) {
            int got = -1;
            BYTE* entry = pack.UnPack(name, &got);
            if (got < 0 || (entry == nullptr && got != 0))
                std::abort();
            if (entry != nullptr && got > 0) {
                volatile BYTE last = entry[got - 1];
                (void)last;
            }
            pack.ReleaseBuf(entry);
        }
    }
    kbase::ClearLog();
    return 0;
}
