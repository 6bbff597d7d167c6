// Presented rows into texture memory: a plain copy where a texture format
// holds them as they are, a conversion to 32 bits where none does.
#include "screen_pixels.h"

#include <cstring>

namespace screen {
namespace {

struct MaskFormat {
    DWORD red, green, blue;
    Uint32 format;
};

// The 16-bit layouts a texture can hold unchanged.
const MaskFormat kFormats16[] = {
    {0xF800, 0x07E0, 0x001F, SDL_PIXELFORMAT_RGB565},
    {0x7C00, 0x03E0, 0x001F, SDL_PIXELFORMAT_RGB555},
    {0x001F, 0x07E0, 0xF800, SDL_PIXELFORMAT_BGR565},
    {0x001F, 0x03E0, 0x7C00, SDL_PIXELFORMAT_BGR555},
    {0x0F00, 0x00F0, 0x000F, SDL_PIXELFORMAT_RGB444},
};

int64_t _width(const desktop::PresentRows& rows)
{
    return int64_t(rows.dest.right) - rows.dest.left;
}

int64_t _height(const desktop::PresentRows& rows)
{
    return int64_t(rows.dest.bottom) - rows.dest.top;
}

// One channel of a 16-bit pixel widened to 8 bits by repeating its bits.
BYTE _widen(DWORD v, DWORD mask)
{
    if (mask == 0)
        return 0;
    int low = 0;
    while (!(mask & (DWORD(1) << low)))
        ++low;
    int bits = 0;
    while (mask & (DWORD(1) << (low + bits)))
        ++bits;
    DWORD c = (v & mask) >> low;
    if (bits > 8) {
        c >>= bits - 8;
        bits = 8;
    }
    DWORD out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << bits) | c;
        filled += bits;
    }
    return BYTE(out >> (filled - 8));
}

}  // namespace

Uint32 TextureFormatOf(const desktop::PresentRows& rows)
{
    switch (rows.bitCount) {
    case 16:
        for (const MaskFormat& f : kFormats16)
            if (f.red == rows.redMask && f.green == rows.greenMask && f.blue == rows.blueMask)
                return f.format;
        return SDL_PIXELFORMAT_UNKNOWN;
    case 24:
        return SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red
    case 32:
        return SDL_PIXELFORMAT_RGB888;  // 0x00RRGGBB, little-endian
    default:
        return SDL_PIXELFORMAT_UNKNOWN;
    }
}

void CopyRows(const desktop::PresentRows& rows, BYTE* dst, int64_t dstPitch)
{
    const size_t bytes = size_t(_width(rows)) * size_t(rows.bitCount / 8);
    const BYTE* src = rows.first;
    for (int64_t y = 0; y < _height(rows); ++y, src += rows.pitch, dst += dstPitch)
        std::memcpy(dst, src, bytes);
}

void ConvertRows(const desktop::PresentRows& rows, BYTE* dst, int64_t dstPitch)
{
    const BYTE* src = rows.first;
    const int bpp = rows.bitCount / 8;
    for (int64_t y = 0; y < _height(rows); ++y, src += rows.pitch, dst += dstPitch) {
        Uint32* out = reinterpret_cast<Uint32*>(dst);
        for (int64_t x = 0; x < _width(rows); ++x) {
            const BYTE* p = src + x * bpp;
            Uint32 rgb = 0;
            if (bpp == 2) {
                const DWORD v = DWORD(p[0]) | DWORD(p[1]) << 8;
                rgb = Uint32(_widen(v, rows.redMask)) << 16 |
                      Uint32(_widen(v, rows.greenMask)) << 8 | _widen(v, rows.blueMask);
            } else {
                rgb = Uint32(p[2]) << 16 | Uint32(p[1]) << 8 | p[0];
            }
            std::memcpy(out + x, &rgb, 4);
        }
    }
}

}  // namespace screen
