// Arbitrary bytes as JP2 files and JPEG-2000 codestreams through the JPEG-2000 family codec.
#include "jas_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A codestream starts with its marker 0xFF; a JP2 file with a box length.
    return JasFuzzOne(data, size,
                      size > 0 && data[0] == 0xFF ? RASTER_FORMAT_JPC : RASTER_FORMAT_JP2);
}
