// Pixel formats of GDI surfaces: colours to stored values and back, and
// single pixels of a row at every depth.
#include "gdi_internal.h"

namespace gdi {

bool MakeChannel(DWORD mask, Channel& c)
{
    if (mask == 0)
        return false;
    int low = 0;
    while (!(mask & (DWORD(1) << low)))
        ++low;
    int bits = 0;
    while (low + bits < 32 && (mask & (DWORD(1) << (low + bits))))
        ++bits;
    if (bits < 32 && (mask >> low) != (DWORD(1) << bits) - 1)
        return false;  // not one run of bits
    c.mask = mask;
    c.shift = low;
    c.bits = bits;
    return true;
}

void SetDefaultMasks(PixelFormat& f)
{
    if (f.bpp == 16) {
        MakeChannel(0x7C00, f.red);
        MakeChannel(0x03E0, f.green);
        MakeChannel(0x001F, f.blue);
    } else {
        MakeChannel(0xFF0000, f.red);
        MakeChannel(0x00FF00, f.green);
        MakeChannel(0x0000FF, f.blue);
    }
}

DWORD EncodeChannel(const Channel& c, BYTE v)
{
    DWORD kept;
    if (c.bits <= 8) {
        kept = DWORD(v) >> (8 - c.bits);
    } else {
        // Wider than 8 bits: repeat the byte to fill the channel.
        kept = 0;
        int filled = 0;
        while (filled < c.bits) {
            kept = (kept << 8) | v;
            filled += 8;
        }
        kept >>= filled - c.bits;
    }
    return (kept << c.shift) & c.mask;
}

BYTE DecodeChannel(const Channel& c, DWORD value)
{
    if (c.bits == 0)
        return 0;
    const DWORD v = (value & c.mask) >> c.shift;
    if (c.bits >= 8)
        return BYTE(v >> (c.bits - 8));
    // Repeat the channel's bits from the top down until eight are filled.
    DWORD out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << c.bits) | v;
        filled += c.bits;
    }
    return BYTE(out >> (filled - 8));
}

DWORD EncodeColor(const PixelFormat& f, COLORREF color)
{
    const BYTE r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    if (f.bpp >= 16)
        return EncodeChannel(f.red, r) | EncodeChannel(f.green, g) | EncodeChannel(f.blue, b);
    DWORD best = 0;
    int bestDistance = 1 << 30;
    for (size_t i = 0; i < f.colors.size(); ++i) {
        const RGBQUAD& q = f.colors[i];
        const int dr = int(q.rgbRed) - r, dg = int(q.rgbGreen) - g, db = int(q.rgbBlue) - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = DWORD(i);
        }
    }
    return best;
}

COLORREF DecodeColor(const PixelFormat& f, DWORD value)
{
    if (f.bpp >= 16)
        return RGB(DecodeChannel(f.red, value), DecodeChannel(f.green, value),
                   DecodeChannel(f.blue, value));
    if (value >= f.colors.size())
        return RGB(0, 0, 0);
    const RGBQUAD& q = f.colors[value];
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

DWORD ReadPixel(const PixelFormat& f, const BYTE* row, int x)
{
    switch (f.bpp) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case 8:
        return row[x];
    case 16:
        return DWORD(row[2 * x]) | DWORD(row[2 * x + 1]) << 8;
    case 24:
        return DWORD(row[3 * x]) | DWORD(row[3 * x + 1]) << 8 | DWORD(row[3 * x + 2]) << 16;
    default:
        return DWORD(row[4 * x]) | DWORD(row[4 * x + 1]) << 8 | DWORD(row[4 * x + 2]) << 16 |
               DWORD(row[4 * x + 3]) << 24;
    }
}

void WritePixel(const PixelFormat& f, BYTE* row, int x, DWORD value)
{
    switch (f.bpp) {
    case 1: {
        const BYTE bit = BYTE(0x80 >> (x & 7));
        row[x >> 3] = (value & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
        break;
    }
    case 4:
        if (x & 1)
            row[x >> 1] = BYTE((row[x >> 1] & 0xF0) | (value & 0x0F));
        else
            row[x >> 1] = BYTE((row[x >> 1] & 0x0F) | (value & 0x0F) << 4);
        break;
    case 8:
        row[x] = BYTE(value);
        break;
    case 16:
        row[2 * x] = BYTE(value);
        row[2 * x + 1] = BYTE(value >> 8);
        break;
    case 24:
        row[3 * x] = BYTE(value);
        row[3 * x + 1] = BYTE(value >> 8);
        row[3 * x + 2] = BYTE(value >> 16);
        break;
    default:
        row[4 * x] = BYTE(value);
        row[4 * x + 1] = BYTE(value >> 8);
        row[4 * x + 2] = BYTE(value >> 16);
        row[4 * x + 3] = BYTE(value >> 24);
        break;
    }
}

}  // namespace gdi
