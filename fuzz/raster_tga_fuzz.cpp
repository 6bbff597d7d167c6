// Arbitrary bytes through the image library's TGA decoder; what decodes is
// read, written again and decoded a second time to the same pixels.
#include "raster_roundtrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodeAndRoundTrip(data, size, RASTER_FORMAT_TGA, true);
    return 0;
}
