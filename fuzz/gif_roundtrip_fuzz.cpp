// Arbitrary bytes through the GIF decoder, and whatever decodes back through
// the encoder (the compressor chosen by the first byte) and the decoder
// again: the pixels must come back the same. The first byte's low bits pick
// the compressor, the rest is the file.
#include <rastergif.h>
#include "raster_roundtrip.h"

namespace {

// True colour goes out as tiles with a palette each, into a stream that
// grows 4 KB at a time: pictures past 64 x 64 pixels cost the run far more
// than they explore (the tiling needs only 18 x 16).
constexpr long long kGifRoundTripPixels = 1 << 12;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A few bytes may claim a canvas of millions of pixels; the fuzz
    // allowance keeps what no data backs small.
    FuzzLimits();
    if (size == 0 || size > 0xFFFFFFFFu)
        return 0;
    const HeapCopy copy(data + 1, size - 1);
    RasterImage img;
    if (!img.Decode(copy.Data(), (DWORD)(size - 1), RASTER_FORMAT_GIF))
        return 0;
    const long long w = img.GetWidth(), h = img.GetHeight();
    if (w * h > kGifRoundTripPixels)
        return 0;
    img.SetCodecOption(data[0] % 3 + 1);
    BYTE* out = nullptr;
    long n = 0;
    if (!img.Encode(out, n, RASTER_FORMAT_GIF))
        abort();  // a decoded picture can always be written
    RasterImage back;
    const bool ok = back.Decode(out, (DWORD)n, RASTER_FORMAT_GIF);
    free(out);
    // True colour goes out as 17 x 15 tiles, which the decoder recognises
    // when the first tile is smaller than the picture both ways.
    if (img.GetBpp() > 8 && (w <= 17 || h <= 15))
        return 0;
    if (!ok || !SamePicture(img, back, false))
        abort();
    return 0;
}
