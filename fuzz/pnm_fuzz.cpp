// Arbitrary bytes as portable anymaps through the JPEG-2000 family codec.
#include "jas_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return JasFuzzOne(data, size, RASTER_FORMAT_PNM);
}
