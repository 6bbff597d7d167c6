// The palette: reading and writing entries, standard and grey palettes, and
// the nearest-colour search with its one-entry cache.
#include <cstring>

#include "rasterimage.h"

namespace {

// The standard palettes as 0xRRGGBB.
const DWORD kStdPalette16[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

// Ten fixed colours, eighteen hues of six tints and six shades, twenty greys,
// ten fixed colours.
const DWORD kStdPalette256[256] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0xC0DCC0, 0xA6CAF0, 0xFFF0D4, 0xFFE2B1, 0xFFD48E, 0xFFC66B, 0xFFB848, 0xFFAA25,
    0xFFAA00, 0xDC9200, 0xB97A00, 0x966200, 0x734A00, 0x503200, 0xFFE3D4, 0xFFC7B1,
    0xFFAB8E, 0xFF8F6B, 0xFF7348, 0xFF5725, 0xFF5500, 0xDC4900, 0xB93D00, 0x963100,
    0x732500, 0x501900, 0xFFD4D4, 0xFFB1B1, 0xFF8E8E, 0xFF6B6B, 0xFF4848, 0xFF2525,
    0xFE0000, 0xDC0000, 0xB90000, 0x960000, 0x730000, 0x500000, 0xFFD4E3, 0xFFB1C7,
    0xFF8EAB, 0xFF6B8F, 0xFF4873, 0xFF2557, 0xFF0055, 0xDC0049, 0xB9003D, 0x960031,
    0x730025, 0x500019, 0xFFD4F0, 0xFFB1E2, 0xFF8ED4, 0xFF6BC6, 0xFF48B8, 0xFF25AA,
    0xFF00AA, 0xDC0092, 0xB9007A, 0x960062, 0x73004A, 0x500032, 0xFFD4FF, 0xFFB1FF,
    0xFF8EFF, 0xFF6BFF, 0xFF48FF, 0xFF25FF, 0xFE00FE, 0xDC00DC, 0xB900B9, 0x960096,
    0x730073, 0x500050, 0xF0D4FF, 0xE2B1FF, 0xD48EFF, 0xC66BFF, 0xB848FF, 0xAA25FF,
    0xAA00FF, 0x9200DC, 0x7A00B9, 0x620096, 0x4A0073, 0x320050, 0xE3D4FF, 0xC7B1FF,
    0xAB8EFF, 0x8F6BFF, 0x7348FF, 0x5725FF, 0x5500FF, 0x4900DC, 0x3D00B9, 0x310096,
    0x250073, 0x190050, 0xD4D4FF, 0xB1B1FF, 0x8E8EFF, 0x6B6BFF, 0x4848FF, 0x2525FF,
    0x0000FE, 0x0000DC, 0x0000B9, 0x000096, 0x000073, 0x000050, 0xD4E3FF, 0xB1C7FF,
    0x8EABFF, 0x6B8FFF, 0x4873FF, 0x2557FF, 0x0055FF, 0x0049DC, 0x003DB9, 0x003196,
    0x002573, 0x001950, 0xD4F0FF, 0xB1E2FF, 0x8ED4FF, 0x6BC6FF, 0x48B8FF, 0x25AAFF,
    0x00AAFF, 0x0092DC, 0x007AB9, 0x006296, 0x004A73, 0x003250, 0xD4FFFF, 0xB1FFFF,
    0x8EFFFF, 0x6BFFFF, 0x48FFFF, 0x25FFFF, 0x00FEFE, 0x00DCDC, 0x00B9B9, 0x009696,
    0x007373, 0x005050, 0xD4FFF0, 0xB1FFE2, 0x8EFFD4, 0x6BFFC6, 0x48FFB8, 0x25FFAA,
    0x00FFAA, 0x00DC92, 0x00B97A, 0x009662, 0x00734A, 0x005032, 0xD4FFE3, 0xB1FFC7,
    0x8EFFAB, 0x6BFF8F, 0x48FF73, 0x25FF57, 0x00FF55, 0x00DC49, 0x00B93D, 0x009631,
    0x007325, 0x005019, 0xD4FFD4, 0xB1FFB1, 0x8EFF8E, 0x6BFF6B, 0x48FF48, 0x25FF25,
    0x00FE00, 0x00DC00, 0x00B900, 0x009600, 0x007300, 0x005000, 0xE3FFD4, 0xC7FFB1,
    0xABFF8E, 0x8FFF6B, 0x73FF48, 0x57FF25, 0x55FF00, 0x49DC00, 0x3DB900, 0x319600,
    0x257300, 0x195000, 0xF0FFD4, 0xE2FFB1, 0xD4FF8E, 0xC6FF6B, 0xB8FF48, 0xAAFF25,
    0xAAFF00, 0x92DC00, 0x7AB900, 0x629600, 0x4A7300, 0x325000, 0xFFFFD4, 0xFFFFB1,
    0xFFFF8E, 0xFFFF6B, 0xFFFF48, 0xFFFF25, 0xFEFE00, 0xDCDC00, 0xB9B900, 0x969600,
    0x737300, 0x505000, 0xF2F2F2, 0xE6E6E6, 0xDADADA, 0xCECECE, 0xC2C2C2, 0xB6B6B6,
    0xAAAAAA, 0x9E9E9E, 0x929292, 0x868686, 0x7A7A7A, 0x6E6E6E, 0x626262, 0x565656,
    0x4A4A4A, 0x3E3E3E, 0x323232, 0x262626, 0x1A1A1A, 0x0E0E0E, 0xFFFBF0, 0xA0A0A4,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

RGBQUAD _quad(DWORD rrggbb)
{
    RGBQUAD q;
    q.rgbRed = (BYTE)(rrggbb >> 16);
    q.rgbGreen = (BYTE)(rrggbb >> 8);
    q.rgbBlue = (BYTE)rrggbb;
    q.rgbReserved = 0;
    return q;
}

}  // namespace

DWORD RasterImage::GetPaletteSize() const
{
    return header.biClrUsed * 4;
}

RGBQUAD* RasterImage::GetPalette() const
{
    if (pDib == NULL || header.biClrUsed == 0)
        return NULL;
    return reinterpret_cast<RGBQUAD*>(static_cast<BYTE*>(pDib) + sizeof(BITMAPINFOHEADER));
}

RGBQUAD RasterImage::GetPaletteColor(BYTE index) const
{
    RGBQUAD c = {0, 0, 0, 0};
    RGBQUAD* pal = GetPalette();
    if (pal != NULL && index < header.biClrUsed)
        c = pal[index];
    return c;
}

bool RasterImage::GetPaletteColor(BYTE index, BYTE* red, BYTE* green, BYTE* blue) const
{
    RGBQUAD* pal = GetPalette();
    if (pal == NULL || index >= header.biClrUsed)
        return false;
    if (red != NULL)
        *red = pal[index].rgbRed;
    if (green != NULL)
        *green = pal[index].rgbGreen;
    if (blue != NULL)
        *blue = pal[index].rgbBlue;
    return true;
}

void RasterImage::SetPaletteColor(BYTE index, BYTE red, BYTE green, BYTE blue, BYTE alpha)
{
    RGBQUAD c;
    c.rgbRed = red;
    c.rgbGreen = green;
    c.rgbBlue = blue;
    c.rgbReserved = alpha;
    SetPaletteColor(index, c);
}

void RasterImage::SetPaletteColor(BYTE index, RGBQUAD colour)
{
    RGBQUAD* pal = GetPalette();
    if (pal == NULL || index >= header.biClrUsed)
        return;
    pal[index] = colour;
    _clearcolorcache();
}

void RasterImage::SetPaletteColor(BYTE index, COLORREF colour)
{
    SetPaletteColor(index, RGBtoRGBQUAD(colour));
}

void RasterImage::SetPalette(DWORD n, BYTE* red, BYTE* green, BYTE* blue)
{
    RGBQUAD* pal = GetPalette();
    if (red == NULL || pal == NULL)
        return;
    if (green == NULL)
        green = red;
    if (blue == NULL)
        blue = green;
    DWORD count = n < header.biClrUsed ? n : header.biClrUsed;
    for (DWORD i = 0; i < count; i++) {
        pal[i].rgbRed = red[i];
        pal[i].rgbGreen = green[i];
        pal[i].rgbBlue = blue[i];
    }
    _clearcolorcache();
}

void RasterImage::SetPalette(rgb_color* rgb, DWORD n)
{
    RGBQUAD* pal = GetPalette();
    if (rgb == NULL || pal == NULL)
        return;
    DWORD count = n < header.biClrUsed ? n : header.biClrUsed;
    for (DWORD i = 0; i < count; i++) {
        pal[i].rgbRed = rgb[i].r;
        pal[i].rgbGreen = rgb[i].g;
        pal[i].rgbBlue = rgb[i].b;
    }
    _clearcolorcache();
}

void RasterImage::SetPalette(RGBQUAD* palette, DWORD n)
{
    // A null source (the palette of an empty or true-colour image) leaves the
    // palette as it is.
    RGBQUAD* pal = GetPalette();
    if (palette == NULL || pal == NULL)
        return;
    DWORD count = n < header.biClrUsed ? n : header.biClrUsed;
    memmove(pal, palette, (size_t)count * sizeof(RGBQUAD));
    _clearcolorcache();
}

void RasterImage::SetGrayPalette()
{
    RGBQUAD* pal = GetPalette();
    if (pal == NULL)
        return;
    // A one-entry palette would divide by zero: its one entry is black.
    DWORD step = header.biClrUsed > 1 ? 255 / (header.biClrUsed - 1) : 0;
    for (DWORD i = 0; i < header.biClrUsed; i++)
        pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = (BYTE)(step * i);
    _clearcolorcache();
}

void RasterImage::BlendPalette(COLORREF colour, long percent)
{
    RGBQUAD* pal = GetPalette();
    if (pal == NULL)
        return;
    // Out-of-range percentages are held to 0..100.
    DWORD p = percent > 100 ? 100 : percent < 0 ? 0 : (DWORD)percent;
    DWORD r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    for (DWORD i = 0; i < header.biClrUsed; i++) {
        pal[i].rgbBlue = (BYTE)((pal[i].rgbBlue * (100 - p) + b * p) / 100);
        pal[i].rgbGreen = (BYTE)((pal[i].rgbGreen * (100 - p) + g * p) / 100);
        pal[i].rgbRed = (BYTE)((pal[i].rgbRed * (100 - p) + r * p) / 100);
    }
    _clearcolorcache();
}

bool RasterImage::IsGrayScale() const
{
    // Entry i must be (i, i, i): the 256-entry ramp, and equally a shorter
    // palette whose entries count up from black the same way.
    RGBQUAD* pal = GetPalette();
    if (pal == NULL)
        return false;
    for (DWORD i = 0; i < header.biClrUsed; i++) {
        if (pal[i].rgbBlue != i || pal[i].rgbGreen != i || pal[i].rgbRed != i)
            return false;
    }
    return true;
}

void RasterImage::SwapIndex(BYTE index1, BYTE index2)
{
    RGBQUAD* pal = GetPalette();
    // Indices past the palette name no entry: nothing to swap.
    if (pal == NULL || index1 >= header.biClrUsed || index2 >= header.biClrUsed)
        return;
    long width = (long)GetWidth(), height = width != 0 ? (long)GetHeight() : 0;
    RGBQUAD t = pal[index1];
    pal[index1] = pal[index2];
    pal[index2] = t;
    _clearcolorcache();
    for (long y = 0; y < height; y++) {
        for (long x = 0; x < width; x++) {
            BYTE v = _pixelindex(x, y);
            if (v == index1)
                SetPixelIndex(x, y, index2);
            else if (v == index2)
                SetPixelIndex(x, y, index1);
        }
    }
}

void RasterImage::SetStdPalette()
{
    if (pDib == NULL)
        return;
    const DWORD* table = NULL;
    if (header.biBitCount == 4)
        table = kStdPalette16;
    else if (header.biBitCount == 8)
        table = kStdPalette256;
    else
        return;
    RGBQUAD* pal = GetPalette();
    for (DWORD i = 0; i < header.biClrUsed; i++)
        pal[i] = _quad(table[i]);
    _clearcolorcache();
}

void RasterImage::SetClrImportant(DWORD n)
{
    if (n == 0 || n > 256) {
        header.biClrImportant = 0;
        return;
    }
    switch (header.biBitCount) {
    case 1: header.biClrImportant = n < 2 ? n : 2; break;
    case 4: header.biClrImportant = n < 16 ? n : 16; break;
    case 8: header.biClrImportant = n; break;
    default: break;
    }
    _clearcolorcache();
}

BYTE RasterImage::GetNearestIndex(RGBQUAD colour)
{
    RGBQUAD* pal = GetPalette();
    if (pal == NULL)
        return 0;
    if (info.bLastColorValid && memcmp(&info.rgbLastColor, &colour, sizeof(RGBQUAD)) == 0)
        return info.nLastColorIndex;
    info.rgbLastColor = colour;
    info.bLastColorValid = true;

    DWORD n = header.biClrImportant != 0 ? header.biClrImportant : header.biClrUsed;
    if (n > header.biClrUsed)
        n = header.biClrUsed;
    DWORD best = 0;
    long bestDistance = 200000;  // above the largest possible, 3 x 255^2
    for (DWORD i = 0; i < n; i++) {
        long db = (long)pal[i].rgbBlue - colour.rgbBlue;
        long dg = (long)pal[i].rgbGreen - colour.rgbGreen;
        long dr = (long)pal[i].rgbRed - colour.rgbRed;
        long distance = db * db + dg * dg + dr * dr;
        if (distance == 0) {
            best = i;
            break;
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    info.nLastColorIndex = (BYTE)best;
    return (BYTE)best;
}
