// Single pixels: indices and colours by (x, y) with y counted from the bottom
// row, colour conversions and straight lines.
#include <cstring>

#include "rasterimage.h"

namespace {

bool _samequad(const RGBQUAD& a, const RGBQUAD& b)
{
    return memcmp(&a, &b, sizeof(RGBQUAD)) == 0;
}

}  // namespace

BYTE RasterImage::_pixelindex(long x, long y) const
{
    const BYTE* row = info.pBits + (size_t)y * info.dwEffWidth;
    switch (header.biBitCount) {
    case 8: return row[x];
    case 4: {
        BYTE b = row[x >> 1];
        return (x & 1) ? (BYTE)(b & 0x0F) : (BYTE)(b >> 4);
    }
    case 1: return (BYTE)((row[x >> 3] >> (7 - (x & 7))) & 1);
    default: return 0;
    }
}

BYTE RasterImage::GetPixelIndex(long x, long y) const
{
    if (pDib == NULL || header.biClrUsed == 0)
        return 0;
    if (IsInside(x, y))
        return _pixelindex(x, y);
    if (info.nTransIndex != -1)
        return (BYTE)info.nTransIndex;
    // An image without pixels has no first pixel to fall back on.
    return IsInside(0, 0) ? _pixelindex(0, 0) : 0;
}

void RasterImage::SetPixelIndex(long x, long y, BYTE index)
{
    if (pDib == NULL || header.biClrUsed == 0 || !IsInside(x, y))
        return;
    BYTE* row = info.pBits + (size_t)y * info.dwEffWidth;
    switch (header.biBitCount) {
    case 8: row[x] = index; break;
    case 4: {
        BYTE& b = row[x >> 1];
        if (x & 1)
            b = (BYTE)((b & 0xF0) | (index & 0x0F));
        else
            b = (BYTE)((b & 0x0F) | ((index & 0x0F) << 4));
        break;
    }
    case 1: {
        BYTE mask = (BYTE)(0x80 >> (x & 7));
        BYTE& b = row[x >> 3];
        b = (index & 1) ? (BYTE)(b | mask) : (BYTE)(b & ~mask);
        break;
    }
    default: break;
    }
}

RGBQUAD RasterImage::GetPixelColor(long x, long y, bool getAlpha) const
{
    RGBQUAD c = info.rgbTransColor;
    if (pDib != NULL && IsInside(x, y)) {
        if (header.biClrUsed != 0) {
            c = GetPaletteColor(_pixelindex(x, y));
        } else {
            const BYTE* p = info.pBits + (size_t)y * info.dwEffWidth + (size_t)x * 3;
            c.rgbBlue = p[0];
            c.rgbGreen = p[1];
            c.rgbRed = p[2];
        }
        if (getAlpha && pAlpha != NULL)
            c.rgbReserved = AlphaGet(x, y);
        return c;
    }
    if (info.nTransIndex != -1) {
        if (header.biBitCount < 24)
            return GetPaletteColor((BYTE)info.nTransIndex);
        return info.rgbTransColor;
    }
    // Outside, the first pixel stands in; an image without pixels has none.
    if (pDib != NULL && IsInside(0, 0))
        return GetPixelColor(0, 0, true);
    return info.rgbTransColor;
}

void RasterImage::SetPixelColor(long x, long y, RGBQUAD colour, bool setAlpha)
{
    if (pDib == NULL || !IsInside(x, y))
        return;
    if (header.biClrUsed != 0) {
        SetPixelIndex(x, y, GetNearestIndex(colour));
        return;
    }
    BYTE* p = info.pBits + (size_t)y * info.dwEffWidth + (size_t)x * 3;
    p[0] = colour.rgbBlue;
    p[1] = colour.rgbGreen;
    p[2] = colour.rgbRed;
    if (setAlpha)
        AlphaSet(x, y, colour.rgbReserved);
}

void RasterImage::SetPixelColor(long x, long y, COLORREF colour)
{
    SetPixelColor(x, y, RGBtoRGBQUAD(colour), false);
}

BYTE RasterImage::GetPixelGray(long x, long y) const
{
    RGBQUAD c = GetPixelColor(x, y, true);
    return (BYTE)((117 * c.rgbBlue + 601 * c.rgbGreen + 306 * c.rgbRed) >> 10);
}

bool RasterImage::IsTransparent(long x, long y) const
{
    if (pDib == NULL)
        return false;
    if (info.nTransIndex >= 0) {
        if (header.biClrUsed != 0) {
            if (GetPixelIndex(x, y) == info.nTransIndex)
                return true;
        } else if (_samequad(GetPixelColor(x, y, false), info.rgbTransColor)) {
            return true;
        }
    }
    if (pAlpha != NULL)
        return AlphaGet(x, y) == 0;
    return false;
}

RGBQUAD RasterImage::RGBtoRGBQUAD(COLORREF colour)
{
    RGBQUAD c;
    c.rgbBlue = GetBValue(colour);
    c.rgbGreen = GetGValue(colour);
    c.rgbRed = GetRValue(colour);
    c.rgbReserved = 0;
    return c;
}

COLORREF RasterImage::RGBQUADtoRGB(RGBQUAD colour)
{
    return RGB(colour.rgbRed, colour.rgbGreen, colour.rgbBlue);
}

void RasterImage::RGBtoBGR(BYTE* buffer, int length)
{
    if (buffer == NULL || header.biClrUsed != 0 || length <= 0)
        return;
    DWORD n = (DWORD)length < info.dwEffWidth ? (DWORD)length : info.dwEffWidth;
    for (DWORD i = 0; i + 2 < n; i += 3) {
        BYTE t = buffer[i];
        buffer[i] = buffer[i + 2];
        buffer[i + 2] = t;
    }
}

void RasterImage::DrawLine(int startX, int endX, int startY, int endY, RGBQUAD colour, bool setAlpha)
{
    if (pDib == NULL)
        return;
    // Integer stepping along the longer axis; both end points are drawn.
    long long dx = endX > startX ? (long long)endX - startX : (long long)startX - endX;
    long long dy = endY > startY ? (long long)endY - startY : (long long)startY - endY;
    int sx = endX < startX ? -1 : 1;
    int sy = endY < startY ? -1 : 1;
    bool xmajor = dx >= dy;
    long long count = xmajor ? dx : dy;
    long long step = xmajor ? dy : dx;
    long long error = count / 2;
    long long x = startX, y = startY;
    for (long long i = 0; i <= count; i++) {
        SetPixelColor((long)x, (long)y, colour, setAlpha);
        error += step;
        if (error >= count) {
            error -= count;
            if (xmajor)
                y += sy;
            else
                x += sx;
        }
        if (xmajor)
            x += sx;
        else
            y += sy;
    }
}

void RasterImage::DrawLine(int startX, int endX, int startY, int endY, COLORREF colour)
{
    DrawLine(startX, endX, startY, endY, RGBtoRGBQUAD(colour), false);
}
