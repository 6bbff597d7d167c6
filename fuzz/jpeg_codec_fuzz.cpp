// Arbitrary bytes through the image library's JPEG decoder (RasterImage's
// decode with format JPEG). The first byte chooses the scale (bits 0-1: 1, 2,
// 4, 8; pictures of more than 64K pixels always 1/8, to keep the run fast),
// grey output (bit 2), quantisation to 32 colours (bit 3) in one pass (bit
// 4), plain upsampling (bit 5) and a size-only request (bit 7); the rest is
// the file, in a heap block of exactly its size. The stream must stay inside
// the data, whatever decodes must decode the same into a reused JPEG image,
// and encode again and read back at the same size.
#include <cstdlib>
#include <cstring>
#include <vector>

#include <raster.h>

namespace {

DWORD Options(uint8_t b)
{
    DWORD o = 0;
    if (b & 4)
        o |= JPG_DECODE_GRAYSCALE;
    if (b & 8)
        o |= JPG_DECODE_QUANTIZE;
    if (b & 16)
        o |= JPG_DECODE_ONE_PASS;
    if (b & 32)
        o |= JPG_DECODE_NO_FANCY_UPSAMPLING;
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 0xFFFFFFFFu)
        return 0;
    std::vector<BYTE> file(data + 1, data + size);
    RasterMemFile in(file.empty() ? nullptr : file.data(), (DWORD)file.size());
    // Large claims are decoded at 1/8; the entropy data is read all the same.
    BYTE scale = BYTE(1 << (data[0] & 3));
    {
        RasterImage size;
        size.SetEscape(-1);
        if (size.Decode(&in, RASTER_FORMAT_JPG) &&
            (unsigned long long)size.GetWidth() * size.GetHeight() > (1u << 16))
            scale = 8;
        in.Seek(0, SEEK_SET);
    }
    RasterImage img;
    img.SetJpegScale(scale);
    img.SetCodecOption(Options(data[0]));
    img.SetJpegQuality(32);
    if (data[0] & 0x80)
        img.SetEscape(-1);
    const bool ok = img.Decode(&in, RASTER_FORMAT_JPG);
    if (!file.empty() && (in.Tell() < 0 || in.Tell() > (long)file.size()))
        abort();
    if (!ok || !img.IsValid())
        return 0;

    unsigned sum = 0;
    const long w = (long)img.GetWidth(), h = (long)img.GetHeight();
    for (long y = 0; y < h; y += 7)
        for (long x = 0; x < w; x += 7)
            sum += img.GetPixelColor(x, y, false).rgbGreen;
    volatile unsigned keep = sum;
    (void)keep;

    // Decoded again into a JPEG image that holds a block of the same size,
    // the picture is written over that block, whatever it held: every pixel
    // byte must come out as in the fresh decode.
    {
        RasterImageJPG again;
        again.SetJpegScale(scale);
        again.SetCodecOption(Options(data[0]));
        again.SetJpegQuality(32);
        in.Seek(0, SEEK_SET);
        if (!again.Decode(&in) || again.GetSize() != img.GetSize())
            abort();
        const void* block = again.GetDIB();
        again.Clear(0xA5);
        in.Seek(0, SEEK_SET);
        if (!again.Decode(&in) || again.GetDIB() != block ||
            memcmp(again.GetBits(0), img.GetBits(0), (size_t)img.GetEffWidth() * img.GetHeight()) !=
                0)
            abort();
    }

    // A grey or colour picture (not a quantised palette) must encode again.
    if (img.GetNumColors() != 0 && !img.IsGrayScale())
        return 0;
    BYTE* out = nullptr;
    long n = 0;
    if (!img.Encode(out, n, RASTER_FORMAT_JPG))
        abort();
    RasterImage back;
    const bool again = back.Decode(out, (DWORD)n, RASTER_FORMAT_JPG);
    free(out);
    if (!again || back.GetWidth() != img.GetWidth() || back.GetHeight() != img.GetHeight())
        abort();
    return 0;
}
