// Arbitrary bytes through the BMP decoder alone. Whatever it accepts must
// survive our own writer and read back to the same pixels.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <raster.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    BYTE* copy = static_cast<BYTE*>(malloc(size == 0 ? 1 : size));
    if (size != 0)
        memcpy(copy, data, size);

    RasterImageBMP bmp;
    RasterMemFile in(copy, (DWORD)size);
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
    free(copy);
    return 0;
}
