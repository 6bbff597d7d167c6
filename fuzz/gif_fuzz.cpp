// Arbitrary bytes through the GIF decoder. The first byte chooses the frame
// asked for (its low three bits) and a size-only request (its top bit); the
// rest is the file, in a heap block of exactly its size. Whatever decodes
// must be readable, and the stream must stay inside the data.
#include <cstdlib>
#include <vector>

#include <raster.h>
#include "fuzz_support.h"
#include <rastergif.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzLimits();
    if (size == 0 || size > 0xFFFFFFFFu)
        return 0;
    std::vector<BYTE> file(data + 1, data + size);
    RasterMemFile in(file.empty() ? nullptr : file.data(), (DWORD)file.size());
    RasterImageGIF gif;
    gif.SetFrame(data[0] & 7);
    if (data[0] & 0x80)
        gif.SetEscape(-1);
    const bool ok = gif.Decode(&in);
    if (!file.empty() && (in.Tell() < 0 || in.Tell() > (long)file.size()))
        abort();
    if (ok && gif.IsValid()) {
        // At most 1024 pixels spread over the picture, and its last one, so
        // that a large screen does not slow the run down.
        unsigned sum = 0;
        const long long w = gif.GetWidth(), total = w * (long long)gif.GetHeight();
        const long long step = total / 1024 + 1;
        for (long long i = 0; i < total; i += step)
            sum += gif.GetPixelColor((long)(i % w), (long)(i / w), false).rgbGreen;
        if (total > 0)
            sum += gif.GetPixelColor((long)(w - 1), (long)(total / w - 1), false).rgbGreen;
        volatile unsigned keep = sum;
        (void)keep;
    } else if (ok && !(data[0] & 0x80)) {
        abort();  // a frame decoded without pixels
    }
    return 0;
}
