// Arbitrary bytes through the TIFF decoder, in a heap block of exactly their
// size: the first two pages. Pictures are kept small (the size is asked
// first) so that the run stays fast, except in a budget build, which keeps
// the real allowance and lets the run's memory limit judge. Whatever small
// picture decodes must survive our own TIFF writer (LZW, lossless) and read
// back to the same colours and alpha.
#include <vector>

#include <desktop/desktop.h>
#include "fuzz_support.h"

namespace {

// Pictures past this size are decoded but not written again (that would
// only slow the run); under the small limits they are not decoded at all.
constexpr unsigned long long kMaxPixels = 1 << 14;

// Decodes one page; the number of pages the file has (0 when it opens none).
long DecodePage(std::vector<BYTE>& file, long page)
{
    RasterImage size;
    size.SetFrame(page);
    size.SetEscape(-1);
    const bool sized = size.Decode(file.data(), (DWORD)file.size(), RASTER_FORMAT_TIF);
    const long pages = size.GetNumFrames();
    const bool large = (unsigned long long)size.GetWidth() * size.GetHeight() > kMaxPixels;
#ifdef KESTREL_FUZZ_LIMITS
    if (!sized || large)
        return pages;
#else
    // The real allowance: whatever the decoder accepts must stay within the
    // run's memory limit.
    if (!sized)
        return pages;
#endif
    RasterImage img;
    img.SetFrame(page);
    if (!img.Decode(file.data(), (DWORD)file.size(), RASTER_FORMAT_TIF) || !img.IsValid() || large)
        return pages;
    img.SetCodecOption(5);  // LZW: what is written must read back the same
    RoundTripLossless(img, RASTER_FORMAT_TIF);
    return pages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 0xFFFFFFFFu)
        return 0;
    std::vector<BYTE> file(data, data + size);
    if (DecodePage(file, 0) > 1)
        DecodePage(file, 1);
    // Nobody reads the message boxes libtiff's complaints leave behind.
    desktop::TakeMessageBoxes();
    return 0;
}
