// What every transformation shares: the three ways of making a working copy,
// the hand-over of the result and the progress and escape of row loops.
#include <new>

#include "rasterimage.h"

// An empty image with this image's information record, made at the new size
// and depth with this image's palette (as many entries as both hold).
bool RasterImage::_workingcopy(RasterImage& copy, DWORD width, DWORD height, DWORD bpp)
{
    copy.CopyInfo(*this);
    if (copy.Create(width, height, bpp, info.dwType) == NULL) {
        // Handing over the empty copy would destroy this image.
        _seterror(copy.GetLastError());
        return false;
    }
    copy.header.biXPelsPerMeter = header.biXPelsPerMeter;
    copy.header.biYPelsPerMeter = header.biYPelsPerMeter;
    if (GetPalette() != NULL && copy.GetPalette() != NULL)
        copy.SetPalette(GetPalette(), GetNumColors() < copy.GetNumColors() ? GetNumColors()
                                                                           : copy.GetNumColors());
    return true;
}

// A new image with the default information record: only the palette and the
// transparency go across.
bool RasterImage::_freshcopy(RasterImage& copy, DWORD width, DWORD height)
{
    if (copy.Create(width, height, GetBpp(), info.dwType) == NULL) {
        _seterror(copy.GetLastError());
        return false;
    }
    copy.SetPalette(GetPalette(), GetNumColors());
    copy.info.nTransIndex = info.nTransIndex;
    copy.info.rgbTransColor = info.rgbTransColor;
    return true;
}

// A copy of this image with the parts asked for.
bool RasterImage::_fullcopy(RasterImage& copy, bool pixels, bool selection, bool alpha)
{
    copy.Copy(*this, pixels, selection, alpha);
    if (!copy.IsValid() || (selection && pSelection != NULL && copy.pSelection == NULL) ||
        (alpha && pAlpha != NULL && copy.pAlpha == NULL)) {
        _seterror(copy.IsValid() ? "RasterImage::Create can't allocate memory"
                                 : copy.GetLastError());
        return false;
    }
    return true;
}

void RasterImage::_handover(RasterImage& copy, RasterImage* target)
{
    // A receiver that refuses (a ghost) leaves the copy to its destructor.
    if (target != NULL)
        target->Transfer(copy);
    else
        Transfer(copy);
}

bool RasterImage::_rowprogress(long row, long rows)
{
    info.nProgress = rows > 0 ? row * 100 / rows : 0;
    return info.nEscape != 0;
}
