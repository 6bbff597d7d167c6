// Colour and depth transformations: grey, negative, fewer bits with or
// without error diffusion, more bits, and black and white by dithering.
// Every conversion that builds a new image carries the selection and alpha
// planes into it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "rasterimage.h"
#include "rasternearest.h"

namespace {

inline BYTE GreyLevel(BYTE blue, BYTE green, BYTE red)
{
    return (BYTE)(((unsigned)blue * 117 + (unsigned)green * 601 + (unsigned)red * 306) >> 10);
}

inline BYTE ClampByte(long v)
{
    return (BYTE)(v < 0 ? 0 : v > 255 ? 255 : v);
}

}  // namespace

bool RasterImage::GrayScale()
{
    if (pDib == NULL)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    if (GetBpp() > 8) {
        RasterImage grey;
        if (!_workingcopy(grey, (DWORD)width, (DWORD)height, 8))
            return false;
        grey.SetGrayPalette();
        grey.SelectionCopy(*this);
        grey.AlphaCopy(*this);
        for (long y = 0; y < height; y++) {
            const BYTE* s = GetBits((DWORD)y);
            BYTE* d = grey.GetBits((DWORD)y);
            for (long x = 0; x < width; x++, s += 3)
                d[x] = GreyLevel(s[0], s[1], s[2]);
        }
        Transfer(grey);
        return true;
    }

    // The grey levels of the palette go into the blue bytes; a transparent
    // index follows its entry, so transparent pixels stay transparent.
    RGBQUAD* pal = GetPalette();
    RasterImage grey;
    if (GetBpp() < 8 && !_workingcopy(grey, (DWORD)width, (DWORD)height, 8))
        return false;
    for (DWORD i = 0; i < GetNumColors(); i++)
        pal[i].rgbBlue = GreyLevel(pal[i].rgbBlue, pal[i].rgbGreen, pal[i].rgbRed);
    _clearcolorcache();
    if (info.nTransIndex != -1)
        info.nTransIndex = GetPaletteColor((BYTE)info.nTransIndex).rgbBlue;
    if (GetBpp() == 8) {
        for (DWORD i = 0; i < header.biSizeImage; i++)
            info.pBits[i] = pal[info.pBits[i]].rgbBlue;
        SetGrayPalette();
        return true;
    }
    grey.info.nTransIndex = info.nTransIndex;
    grey.SetGrayPalette();
    grey.SelectionCopy(*this);
    grey.AlphaCopy(*this);
    for (long y = 0; y < height; y++) {
        BYTE* d = grey.GetBits((DWORD)y);
        for (long x = 0; x < width; x++)
            d[x] = pal[_pixelindex(x, y)].rgbBlue;
    }
    Transfer(grey);
    return true;
}

bool RasterImage::Negative()
{
    if (pDib == NULL)
        return false;
    const RECT box = info.rSelectionBox;
    const long left = box.left < 0 ? 0 : box.left, bottom = box.bottom < 0 ? 0 : box.bottom;
    const long right = box.right > (long)GetWidth() ? (long)GetWidth() : box.right;
    const long top = box.top > (long)GetHeight() ? (long)GetHeight() : box.top;
    if (GetBpp() > 8) {
        if (pSelection != NULL) {
            for (long y = bottom; y < top; y++) {
                for (long x = left; x < right; x++) {
                    if (!SelectionIsInside(x, y))
                        continue;
                    RGBQUAD c = GetPixelColor(x, y, true);
                    c.rgbBlue = (BYTE)(255 - c.rgbBlue);
                    c.rgbGreen = (BYTE)(255 - c.rgbGreen);
                    c.rgbRed = (BYTE)(255 - c.rgbRed);
                    SetPixelColor(x, y, c, false);
                }
            }
        } else {
            for (DWORD i = 0; i < header.biSizeImage; i++)
                info.pBits[i] = (BYTE)~info.pBits[i];
        }
        info.rgbTransColor.rgbBlue = (BYTE)(255 - info.rgbTransColor.rgbBlue);
        info.rgbTransColor.rgbGreen = (BYTE)(255 - info.rgbTransColor.rgbGreen);
        info.rgbTransColor.rgbRed = (BYTE)(255 - info.rgbTransColor.rgbRed);
        return true;
    }
    if (!IsGrayScale()) {
        RGBQUAD* pal = GetPalette();
        for (DWORD i = 0; i < GetNumColors(); i++) {
            pal[i].rgbBlue = (BYTE)(255 - pal[i].rgbBlue);
            pal[i].rgbGreen = (BYTE)(255 - pal[i].rgbGreen);
            pal[i].rgbRed = (BYTE)(255 - pal[i].rgbRed);
        }
        _clearcolorcache();
        return true;
    }
    const bool selected = pSelection != NULL;
    const long y0 = selected ? bottom : 0, y1 = selected ? top : (long)GetHeight();
    const long x0 = selected ? left : 0, x1 = selected ? right : (long)GetWidth();
    for (long y = y0; y < y1; y++) {
        for (long x = x0; x < x1; x++) {
            if (!selected || SelectionIsInside(x, y))
                SetPixelIndex(x, y, (BYTE)(255 - _pixelindex(x, y)));
        }
    }
    return true;
}

bool RasterImage::DecreaseBpp(DWORD bits, bool errorDiffusion, RGBQUAD* palette,
                              DWORD importantColours)
{
    if (pDib == NULL)
        return false;
    if (bits != 1 && bits != 4 && bits != 8)
        return false;
    if (GetBpp() < bits)
        return false;
    if (GetBpp() == bits &&
        (importantColours == 0 || (GetClrImportant() != 0 && GetClrImportant() < importantColours)))
        return true;

    const long width = (long)GetWidth(), height = (long)GetHeight();
    RasterImage out;
    if (!_workingcopy(out, (DWORD)width, (DWORD)height, bits))
        return false;
    if (importantColours != 0)
        out.SetClrImportant(importantColours);
    out.SelectionCopy(*this);
    out.AlphaCopy(*this);
    if (palette != NULL) {
        out.SetPalette(palette, bits == 1 ? 2 : bits == 4 ? 16 : 256);
    } else if (bits == 1) {
        out.SetPaletteColor(0, 0, 0, 0, 0);
        out.SetPaletteColor(1, 255, 255, 255, 0);
    } else {
        out.SetStdPalette();
        out._clearcolorcache();
    }

    rasternearest::NearestIndexCache nearest(out);
    for (long y = 0; y < height; y++) {
        if (info.nEscape != 0)
            break;
        info.nProgress = y * 100 / height;
        for (long x = 0; x < width; x++) {
            const RGBQUAD c = GetPixelColor(x, y, true);
            const BYTE index = nearest.Find(c);
            out.SetPixelIndex(x, y, index);
            if (!errorDiffusion)
                continue;
            // The error goes into this image's own pixels, so later pixels
            // are read corrected (the weights add up to 14/16).
            const RGBQUAD ce = out.GetPaletteColor(index);
            const long er = (long)c.rgbRed - ce.rgbRed;
            const long eg = (long)c.rgbGreen - ce.rgbGreen;
            const long eb = (long)c.rgbBlue - ce.rgbBlue;
            static const struct {
                int dx, dy, k;
            } spread[4] = {{1, 0, 7}, {-1, 1, 2}, {0, 1, 4}, {1, 1, 1}};
            for (const auto& s : spread) {
                const long px = x + s.dx, py = y + s.dy;
                if (!IsInside(px, py))
                    continue;
                RGBQUAD q = GetPixelColor(px, py, true);
                q.rgbRed = ClampByte(q.rgbRed + (er * s.k) / 16);
                q.rgbGreen = ClampByte(q.rgbGreen + (eg * s.k) / 16);
                q.rgbBlue = ClampByte(q.rgbBlue + (eb * s.k) / 16);
                SetPixelColor(px, py, q, false);
            }
        }
    }
    if (GetBpp() == 1) {
        out.SetPaletteColor(0, 0, 0, 0, 0);
        out.SetPaletteColor(1, 255, 255, 255, 0);
    }
    Transfer(out);
    return true;
}

bool RasterImage::IncreaseBpp(DWORD bits)
{
    if (pDib == NULL)
        return false;
    if (bits != 4 && bits != 8 && bits != 24)
        return false;
    if (GetBpp() == bits)
        return true;
    if (GetBpp() > bits)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    RasterImage out;
    if (!_workingcopy(out, (DWORD)width, (DWORD)height, bits))
        return false;
    out.SelectionCopy(*this);
    out.AlphaCopy(*this);
    if (bits < 24) {
        for (long y = 0; y < height; y++) {
            if (info.nEscape != 0)
                break;
            for (long x = 0; x < width; x++)
                out.SetPixelIndex(x, y, _pixelindex(x, y));
        }
    } else {
        if (info.nTransIndex >= 0)
            out.info.rgbTransColor = GetPaletteColor((BYTE)info.nTransIndex);
        if (AlphaPaletteIsValid() && pAlpha == NULL)
            out.AlphaCreate();
        for (long y = 0; y < height; y++) {
            if (info.nEscape != 0)
                break;
            for (long x = 0; x < width; x++)
                out.SetPixelColor(x, y, GetPixelColor(x, y, true), true);
        }
    }
    Transfer(out);
    return true;
}

bool RasterImage::Dither(long method)
{
    if (pDib == NULL)
        return false;
    if (GetBpp() == 1)
        return true;
    // Grey first, so that every index is its own grey level.
    if (!GrayScale())
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    RasterImage out;
    if (!_workingcopy(out, (DWORD)width, (DWORD)height, 1))
        return false;
    out.SelectionCopy(*this);
    out.AlphaCopy(*this);
    out.SetPaletteColor(0, 0, 0, 0, 0);
    out.SetPaletteColor(1, 255, 255, 255, 0);
    static const int matrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (long y = 0; y < height; y++) {
        if (_rowprogress(y, height))
            break;
        if (method == 1) {
            for (long x = 0; x < width; x++) {
                const long level = (long)_pixelindex(x, y) * 16 / 255;
                const long q = level / 16, r = level % 16;
                out.SetPixelIndex(x, y, (BYTE)(matrix[y % 4][x % 4] >= r ? q : q + 1));
            }
            continue;
        }
        // The grey image is 8 bits deep: its rows are read and written directly.
        BYTE* row = GetBits((DWORD)y);
        BYTE* above = y + 1 < height ? GetBits((DWORD)y + 1) : NULL;
        for (long x = 0; x < width; x++) {
            const long g = row[x];
            long error;
            if (g > 128) {
                out.SetPixelIndex(x, y, 1);
                error = g - 255;
            } else {
                out.SetPixelIndex(x, y, 0);
                error = g;
            }
            if (x + 1 < width)
                row[x + 1] = ClampByte(row[x + 1] + (error * 7) / 16);
            if (above != NULL) {
                if (x > 0)
                    above[x - 1] = ClampByte(above[x - 1] + (error * 3) / 16);
                above[x] = ClampByte(above[x] + (error * 5) / 16);
                if (x + 1 < width)
                    above[x + 1] = ClampByte(above[x + 1] + (error * 1) / 16);
            }
        }
    }
    Transfer(out);
    return true;
}
