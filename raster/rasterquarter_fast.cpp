// The quarter turns as a blocked transposition: the destination is written
// in square tiles small enough that the source rows a tile reads stay in the
// first-level cache while the tile's destination rows are written in order,
// so each source and destination byte crosses the memory bus once.
#include <cstdint>
#include <cstring>

#include "rasterquarter.h"

namespace {

// Destination pixels a tile has along each side.
constexpr long kTile = 32;

// Where a destination row's pixels come from: a source pointer for its first
// pixel and the step to the next one (a whole source row up or down).
struct SrcColumn {
    const BYTE* first;
    ptrdiff_t step;
};

// A turn of a w x h source into an h x w destination, both with rows of
// `stride` bytes: the destination's pixel (x, y) comes from the source's
// (w - 1 - y, x) turning right, from (y, h - 1 - x) turning left.
struct Plane {
    const BYTE* src;
    size_t srcStride;
    long w, h;
    BYTE* dst;
    size_t dstStride;
};

SrcColumn ColumnOf(const Plane& p, long y, long x, int bytes, bool left)
{
    if (left)
        return {p.src + (size_t)(p.h - 1 - x) * p.srcStride + (size_t)y * bytes,
                -(ptrdiff_t)p.srcStride};
    return {p.src + (size_t)x * p.srcStride + (size_t)(p.w - 1 - y) * bytes,
            (ptrdiff_t)p.srcStride};
}

// One tile of whole-byte pixels (1 or 3 bytes each). Three-byte pixels move
// as four-byte words where the source row has a byte after the pixel and the
// destination pixel is not its row's last: the next pixel, written after it,
// overwrites the fourth byte.
template <int Bytes>
void TileOfBytes(const Plane& p, long x0, long x1, long y0, long y1, bool left)
{
    const long dw = p.h;  // destination width
    for (long y = y0; y < y1; y++) {
        const SrcColumn c = ColumnOf(p, y, x0, Bytes, left);
        const BYTE* s = c.first;
        BYTE* d = p.dst + (size_t)y * p.dstStride + (size_t)x0 * Bytes;
        long x = x0;
        if (Bytes == 1) {
            for (; x < x1; x++, s += c.step)
                *d++ = *s;
            continue;
        }
        const long column = left ? y : p.w - 1 - y;
        if ((size_t)column * 3 + 4 <= p.srcStride) {
            const long wordEnd = x1 < dw ? x1 : dw - 1;
            for (; x < wordEnd; x++, s += c.step, d += 3) {
                uint32_t v;
                memcpy(&v, s, 4);
                memcpy(d, &v, 4);
            }
        }
        for (; x < x1; x++, s += c.step, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

// One tile of 4-bit pixels: the even column is a byte's high nibble.
void TileOfNibbles(const Plane& p, long x0, long x1, long y0, long y1, bool left)
{
    for (long y = y0; y < y1; y++) {
        const long column = left ? y : p.w - 1 - y;
        const BYTE* s = p.src + (size_t)(column >> 1);
        const int shift = (column & 1) ? 0 : 4;
        BYTE* d = p.dst + (size_t)y * p.dstStride;
        for (long x = x0; x < x1; x++) {
            const long row = left ? p.h - 1 - x : x;
            const BYTE v = (BYTE)((s[(size_t)row * p.srcStride] >> shift) & 15);
            BYTE& b = d[x >> 1];
            b = (x & 1) ? (BYTE)((b & 0xF0) | v) : (BYTE)((b & 0x0F) | (v << 4));
        }
    }
}

// The destination in bands of kTile rows, each band tile by tile from the
// left (the four-byte moves rely on that order); progress once a band.
template <typename TileFn>
void Tiles(RasterImage& src, const Plane& p, bool left, TileFn tile,
           rasterquarter::Progress progress)
{
    const long dw = p.h, dh = p.w;
    for (long y0 = 0; y0 < dh; y0 += kTile) {
        if (progress != nullptr)
            progress(src, y0, dh);
        const long y1 = y0 + kTile < dh ? y0 + kTile : dh;
        for (long x0 = 0; x0 < dw; x0 += kTile)
            tile(p, x0, x0 + kTile < dw ? x0 + kTile : dw, y0, y1, left);
    }
}

// The 1-bit turns move whole source bytes: every set bit is ORed into the
// destination, whose rows start cleared. Bits that land outside the
// destination (the filler bits at the end of a source row) are dropped.
void TurnBits(const RasterImage& src, RasterImage& dst, bool left)
{
    const long srcRows = (long)src.GetHeight();
    const long srcBytes = (long)src.GetEffWidth();
    const long e = (long)dst.GetEffWidth();
    const long dstRows = (long)dst.GetHeight();
    const long lineup = 8 * e - (long)dst.GetWidth();
    BYTE* bits = dst.GetBits(0);
    for (long y = 0; y < srcRows; y++) {
        const BYTE* row = src.GetBits(0) + (size_t)y * srcBytes;
        long column;
        BYTE mask;
        if (left) {
            column = e - 1 - (y + lineup) / 8;
            mask = (BYTE)(1 << ((y + lineup) % 8));
        } else {
            column = y / 8;
            mask = (BYTE)(0x80 >> (y % 8));
        }
        for (long b = 0; b < srcBytes; b++) {
            BYTE v = row[b];
            if (v == 0)
                continue;
            for (int z = 0; z < 8; z++) {
                long dstRow = left ? 8 * b + z : (dstRows - 1 - 8 * b) - z;
                if (dstRow < 0 || dstRow >= dstRows)
                    break;
                if (v & (0x80 >> z))
                    bits[(size_t)dstRow * e + column] |= mask;
            }
        }
    }
}

}  // namespace

namespace rasterquarter {

void Turn(RasterImage& src, RasterImage& dst, bool left, Progress progress)
{
    const long w = (long)src.GetWidth(), h = (long)src.GetHeight();
    if (w > 0 && h > 0) {
        const Plane pixels = {src.GetBits(0), src.GetEffWidth(), w, h,
                              dst.GetBits(0), dst.GetEffWidth()};
        switch (src.GetBpp()) {
        case 1:
            dst.Clear(0);
            TurnBits(src, dst, left);
            break;
        case 4: Tiles(src, pixels, left, TileOfNibbles, progress); break;
        case 8: Tiles(src, pixels, left, TileOfBytes<1>, progress); break;
        default: Tiles(src, pixels, left, TileOfBytes<3>, progress); break;
        }
        // What the loop of single pixels leaves as the last report.
        if (src.GetBpp() != 1) {
            const long n = left ? h : w;
            progress(src, n - 1, n);
        }
        if (src.AlphaIsValid() && dst.AlphaIsValid()) {
            const Plane alpha = {src.AlphaGetBits(), (size_t)w, w, h,
                                 dst.AlphaGetBits(), (size_t)h};
            Tiles(src, alpha, left, TileOfBytes<1>, nullptr);
        }
    }
}

}  // namespace rasterquarter
