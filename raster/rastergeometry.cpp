// Geometric transformations.
#include <cstring>
#include <memory>
#include <new>

#include "rasterimage.h"

// Turns the picture upside down: whole padded rows are copied in reverse order
// into a working copy, which then replaces this image. The alpha plane turns
// with the rows; the selection plane does not survive.
bool RasterImage::Flip()
{
    if (pDib == NULL)
        return false;
    // Without a column or a row there is nothing to turn over (and a height
    // taken from a file may be huge while the width is 0).
    if (GetWidth() == 0 || GetHeight() == 0)
        return true;
    std::unique_ptr<RasterImage> flipped(new (std::nothrow) RasterImage(*this, false, false, true));
    if (!flipped || !flipped->IsValid() || (pAlpha != NULL && !flipped->AlphaIsValid()))
        return false;
    size_t rowbytes = info.dwEffWidth;
    DWORD height = GetHeight();
    BYTE* dst = flipped->GetBits(0);
    for (DWORD y = 0; y < height; y++)
        memcpy(dst + (size_t)y * rowbytes, info.pBits + (size_t)(height - 1 - y) * rowbytes, rowbytes);
    if (flipped->AlphaIsValid() && !flipped->AlphaFlip())
        return false;
    Transfer(*flipped);
    return true;
}
