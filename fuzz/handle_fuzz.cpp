// Arbitrary bytes as a global memory block holding a packed DIB. Whatever
// CreateFromHANDLE accepts must go out through CopyToHandle and come back to
// the same block.
#include <raster.h>
#include "fuzz_support.h"

namespace {

HGLOBAL Block(const uint8_t* data, size_t size)
{
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, size);
    if (g == NULL)
        return NULL;
    if (size != 0)
        memcpy(GlobalLock(g), data, size);
    GlobalUnlock(g);
    return g;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzLimits();
    HGLOBAL g = Block(data, size);
    if (g == NULL)
        return 0;
    RasterImage img;
    const bool ok = img.CreateFromHANDLE(g);
    GlobalFree(g);
    if (!ok || !img.IsValid())
        return 0;

    HANDLE copy = img.CopyToHandle();
    if (copy == NULL)
        abort();
    RasterImage again;
    if (!again.CreateFromHANDLE(copy) || again.GetSize() != img.GetSize() ||
        memcmp(again.GetBits(0), img.GetBits(0), img.GetEffWidth() * img.GetHeight()) != 0)
        abort();
    GlobalFree(copy);
    return 0;
}
