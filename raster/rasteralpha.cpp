// The alpha plane (one byte per pixel beside the pixel block, rows bottom-up
// with a stride of the width) and the alpha palette (palette reserved bytes).
#include <cstdlib>
#include <cstring>

#include "rasterimage.h"

namespace {

size_t _planesize(const RasterImage& image)
{
    return (size_t)image.GetWidth() * image.GetHeight();
}

// malloc that also gives a block for an empty plane.
BYTE* _allocplane(size_t n)
{
    return static_cast<BYTE*>(malloc(n == 0 ? 1 : n));
}

// Replaces the plane with its rows in reverse order (flip) or each row
// reversed (mirror). False, with the plane unchanged, when there is none or
// the new block cannot be had.
bool _reorderplane(BYTE*& plane, size_t w, size_t h, bool mirror)
{
    if (plane == NULL)
        return false;
    if (w == 0)
        return true;
    BYTE* out = _allocplane(w * h);
    if (out == NULL)
        return false;
    for (size_t y = 0; y < h; y++) {
        BYTE* dst = out + y * w;
        if (mirror) {
            const BYTE* src = plane + y * w;
            for (size_t x = 0; x < w; x++)
                dst[x] = src[w - 1 - x];
        } else {
            memcpy(dst, plane + (h - 1 - y) * w, w);
        }
    }
    free(plane);
    plane = out;
    return true;
}

}  // namespace

void RasterImage::AlphaCreate()
{
    if (pAlpha != NULL || pDib == NULL)
        return;
    size_t n = _planesize(*this);
    pAlpha = _allocplane(n);
    if (pAlpha != NULL)
        memset(pAlpha, 255, n);
}

void RasterImage::AlphaDelete()
{
    free(pAlpha);
    pAlpha = NULL;
}

void RasterImage::AlphaClear()
{
    if (pAlpha != NULL)
        memset(pAlpha, 0, _planesize(*this));
}

void RasterImage::AlphaSet(BYTE level)
{
    if (pAlpha != NULL)
        memset(pAlpha, level, _planesize(*this));
}

void RasterImage::AlphaSet(long x, long y, BYTE level)
{
    if (pAlpha != NULL && IsInside(x, y))
        pAlpha[(size_t)y * GetWidth() + x] = level;
}

BYTE RasterImage::AlphaGet(long x, long y) const
{
    if (pAlpha == NULL || !IsInside(x, y))
        return 0;
    return pAlpha[(size_t)y * GetWidth() + x];
}

void RasterImage::AlphaInvert()
{
    if (pAlpha == NULL)
        return;
    size_t n = _planesize(*this);
    for (size_t i = 0; i < n; i++)
        pAlpha[i] = (BYTE)(255 - pAlpha[i]);
}

bool RasterImage::AlphaCopy(RasterImage& from)
{
    if (from.pAlpha == NULL || from.GetWidth() != GetWidth() || from.GetHeight() != GetHeight())
        return false;
    if (this == &from)
        return true;
    size_t n = _planesize(*this);
    if (pAlpha == NULL) {
        pAlpha = _allocplane(n);
        if (pAlpha == NULL)
            return false;
    }
    memcpy(pAlpha, from.pAlpha, n);
    info.nAlphaMax = from.info.nAlphaMax;
    return true;
}

bool RasterImage::AlphaSet(RasterImage& from)
{
    if (!from.IsGrayScale() || from.GetWidth() != GetWidth() || from.GetHeight() != GetHeight())
        return false;
    if (pAlpha == NULL) {
        pAlpha = _allocplane(_planesize(*this));
        if (pAlpha == NULL)
            return false;
    }
    long w = (long)GetWidth(), h = (long)GetHeight();
    for (long y = 0; y < h; y++) {
        BYTE* dst = pAlpha + (size_t)y * w;
        if (from.GetBpp() == 8) {
            memcpy(dst, from.GetBits(0) + (size_t)y * from.GetEffWidth(), (size_t)w);
            continue;
        }
        // Packed grey images hold fewer than width bytes a row: go by pixel.
        for (long x = 0; x < w; x++)
            dst[x] = from.GetPixelIndex(x, y);
    }
    return true;
}

void RasterImage::AlphaPaletteClear()
{
    for (DWORD i = 0; i < header.biClrUsed && i < 256; i++) {
        RGBQUAD c = GetPaletteColor((BYTE)i);
        c.rgbReserved = 0;
        SetPaletteColor((BYTE)i, c);
    }
}

bool RasterImage::AlphaPaletteIsValid() const
{
    for (DWORD i = 0; i < header.biClrUsed && i < 256; i++) {
        if (GetPaletteColor((BYTE)i).rgbReserved != 0)
            return true;
    }
    return false;
}

bool RasterImage::AlphaFlip()
{
    return _reorderplane(pAlpha, GetWidth(), GetHeight(), false);
}

bool RasterImage::AlphaMirror()
{
    return _reorderplane(pAlpha, GetWidth(), GetHeight(), true);
}

void RasterImage::AlphaStrip()
{
    bool pal = AlphaPaletteIsValid();
    bool plane = AlphaIsValid();
    if (!pal && !plane)
        return;
    long w = (long)GetWidth(), h = (long)GetHeight();
    const RGBQUAD bg = info.rgbTransColor;
    auto blend = [](BYTE c, BYTE back, DWORD a) { return (BYTE)((c * a + back * (255 - a)) / 255); };

    // A 24-bit picture is blended in place; any other goes through a 24-bit
    // copy, and only then do palette levels count.
    const bool inPlace = header.biBitCount == 24;
    const bool palLevels = pal && !inPlace;
    RasterImage strip;
    if (!inPlace) {
        strip.Create(GetWidth(), GetHeight(), 24, 0);
        if (!strip.IsValid())
            return;
    }
    RasterImage& out = inPlace ? *this : strip;
    for (long y = 0; y < h; y++) {
        for (long x = 0; x < w; x++) {
            // The colour with its palette level: the plane's level is
            // taken on its own, so it must not stand in for the palette's.
            RGBQUAD c = GetPixelColor(x, y, false);
            DWORD a = plane ? (AlphaGet(x, y) * (DWORD)info.nAlphaMax) / 255 : info.nAlphaMax;
            if (palLevels)
                a = (c.rgbReserved * a) / 255;
            c.rgbBlue = blend(c.rgbBlue, bg.rgbBlue, a);
            c.rgbGreen = blend(c.rgbGreen, bg.rgbGreen, a);
            c.rgbRed = blend(c.rgbRed, bg.rgbRed, a);
            out.SetPixelColor(x, y, c, false);
        }
    }
    if (inPlace)
        AlphaDelete();
    else
        Transfer(strip);
}

bool RasterImage::AlphaSplit(RasterImage* dest)
{
    if (pAlpha == NULL || dest == NULL)
        return false;
    RasterImage grey(GetWidth(), GetHeight(), 8, 0);
    if (!grey.IsValid())
        return false;
    grey.SetGrayPalette();
    long w = (long)GetWidth(), h = (long)GetHeight();
    for (long y = 0; y < h; y++)
        memcpy(grey.GetBits(0) + (size_t)y * grey.GetEffWidth(), pAlpha + (size_t)y * w, (size_t)w);
    dest->Transfer(grey);
    return true;
}

bool RasterImage::AlphaPaletteSplit(RasterImage* dest)
{
    if (!AlphaPaletteIsValid() || dest == NULL)
        return false;
    RasterImage grey(GetWidth(), GetHeight(), 8, 0);
    if (!grey.IsValid())
        return false;
    grey.SetGrayPalette();
    long w = (long)GetWidth(), h = (long)GetHeight();
    for (long y = 0; y < h; y++) {
        for (long x = 0; x < w; x++)
            grey.SetPixelIndex(x, y, GetPixelColor(x, y, true).rgbReserved);
    }
    dest->Transfer(grey);
    return true;
}
