// Presented rows into texture memory: a plain copy where a texture format
// holds them as they are (24 and 32 bits), a widening to 32 bits for 16-bit
// rows.
#include "screen_pixels.h"

#include <cstring>
#include <vector>

namespace screen {
namespace {

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

// The display's own widening of 5- and 6-bit channels truncates v * 255 / 31
// instead of repeating the bits, one step below the desktop's surface for
// many values; so 16-bit rows are widened here, as the desktop widens them,
// and the screen shows exactly the desktop's pixels.
Uint32 TextureFormatOf(const desktop::PresentRows& rows)
{
    switch (rows.bitCount) {
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

// Every 16-bit value's 32-bit pixel under one set of masks, made once per
// set: a frame is then one look-up a pixel.
const std::vector<Uint32>& _tableFor(DWORD red, DWORD green, DWORD blue)
{
    thread_local DWORD masks[3] = {0, 0, 0};
    thread_local std::vector<Uint32> table;
    if (table.empty() || masks[0] != red || masks[1] != green || masks[2] != blue) {
        table.resize(0x10000);
        for (DWORD v = 0; v < 0x10000; ++v)
            table[v] = Uint32(_widen(v, red)) << 16 | Uint32(_widen(v, green)) << 8 |
                       _widen(v, blue);
        masks[0] = red;
        masks[1] = green;
        masks[2] = blue;
    }
    return table;
}

void ConvertRows(const desktop::PresentRows& rows, BYTE* dst, int64_t dstPitch)
{
    const BYTE* src = rows.first;
    const int64_t width = _width(rows);
    if (rows.bitCount != 16) {
        for (int64_t y = 0; y < _height(rows); ++y, src += rows.pitch, dst += dstPitch)
            for (int64_t x = 0; x < width; ++x) {
                const BYTE* p = src + x * (rows.bitCount / 8);
                const Uint32 rgb = Uint32(p[2]) << 16 | Uint32(p[1]) << 8 | p[0];
                std::memcpy(dst + x * 4, &rgb, 4);
            }
        return;
    }
    const Uint32* table = _tableFor(rows.redMask, rows.greenMask, rows.blueMask).data();
    for (int64_t y = 0; y < _height(rows); ++y, src += rows.pitch, dst += dstPitch) {
        Uint32* out = reinterpret_cast<Uint32*>(dst);
        for (int64_t x = 0; x < width; ++x)
            out[x] = table[unsigned(src[2 * x]) | unsigned(src[2 * x + 1]) << 8];
    }
}

}  // namespace screen
