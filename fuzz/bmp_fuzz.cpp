// Arbitrary bytes through the BMP decoder alone. Whatever it accepts must
// survive our own writer and read back to the same pixels.
#include <raster.h>
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzLimits();
    if (size > 0xFFFFFFFFu)
        return 0;
    const HeapCopy copy(data, size);
    RasterImageBMP bmp;
    RasterMemFile in(copy.Data(), (DWORD)size);
    if (bmp.Decode(&in) && bmp.IsValid()) {
        RasterMemFile out;
        if (!out.Open() || !bmp.Encode(&out))
            abort();
        out.Seek(0, SEEK_SET);
        RasterImageBMP again;
        if (!again.Decode(&out) || again.GetSize() != bmp.GetSize() ||
            memcmp(again.GetBits(0), bmp.GetBits(0), bmp.GetSize() - (bmp.GetBits(0) - (BYTE*)bmp.GetDIB())) != 0)
            abort();
    }
    return 0;
}
