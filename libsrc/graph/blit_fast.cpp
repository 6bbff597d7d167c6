// The fast blitters: SSE2 (always present on x86-64), eight 16-bit pixels
// per step in 16-bit lanes, with the row loop inside each kernel. The blends
// and the additive blit are the lane formulas of blit_lanes.h, shared with
// the AVX2 kernels; their last one to seven pixels go through the scalar
// formulas. Copies and fills, whose pixels may be written twice, end with
// one vector overlapping the one before. Nothing outside the rectangle is
// read or written.
#include "blit.h"
#include "blit_lanes.h"

#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <tmmintrin.h>

namespace kblit {
namespace fast {

namespace {

// Stores one vector at each end unaligned (a fill may repeat pixels) and
// the 16-byte-aligned middle in between, so no store splits a cache line at
// any x. A colour whose two bytes are equal (black, white) is a byte fill,
// which the C library does with wider stores still.
inline void Fill16Row(WORD* d, long n, WORD c)
{
    if (n <= 0) return;
    if ((c & 0xFF) == (c >> 8)) {
        std::memset(d, c & 0xFF, size_t(n) * 2);
        return;
    }
    if (n < 8) {
        for (long i = 0; i < n; ++i) d[i] = c;
        return;
    }
    const __m128i v = _mm_set1_epi16(static_cast<short>(c));
    WORD* const end = d + n;
    Sse2Lanes::Store(d, v);
    WORD* p = AlignedAfter<Sse2Lanes>(d);
    for (; p + 32 <= end; p += 32) {
        Sse2Lanes::StoreAligned(p, v);
        Sse2Lanes::StoreAligned(p + 8, v);
        Sse2Lanes::StoreAligned(p + 16, v);
        Sse2Lanes::StoreAligned(p + 24, v);
    }
    for (; p + 8 <= end; p += 8) Sse2Lanes::StoreAligned(p, v);
    Sse2Lanes::Store(end - 8, v);
}

inline void Fill8Row(BYTE* d, long n, BYTE c)
{
    if (n > 0) std::memset(d, c, size_t(n));
}

inline void CopyRow(WORD* d, const WORD* s, long n)
{
    if (n < Sse2Lanes::kLanes)
        CopyShortRow(d, s, n);
    else
        CopyRowLanes<Sse2Lanes>(d, s, n);
}

inline void CopyKeyRow(WORD* d, const WORD* s, long n)
{
    if (n < Sse2Lanes::kLanes)
        CopyKeyShortRow(d, s, n);
    else
        CopyKeyRowLanes<Sse2Lanes>(d, s, n);
}

// Eight 3-byte pixels (blue, green, red) to R5G6B5 per step, with SSSE3
// byte shuffles; returns how many pixels it packed (a multiple of eight).
__attribute__((target("ssse3"))) long PackBgr565Ssse3(WORD* dst, const BYTE* src, long width)
{
    // From 24 bytes (8 pixels) taken as two overlapping 16-byte loads, at
    // 0 and at 8: per pixel a 16-bit lane of green | red << 8 and one of
    // blue. Pixels 0-4 come from the first load, 5-7 from the second. The
    // second load ends at byte 24, so nothing past the eighth pixel is read.
    const __m128i rgLo = _mm_setr_epi8(1, 2, 4, 5, 7, 8, 10, 11, 13, 14, -1, -1, -1, -1, -1, -1);
    const __m128i rgHi = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 8, 9, 11, 12, 14, 15);
    const __m128i bLo = _mm_setr_epi8(0, -1, 3, -1, 6, -1, 9, -1, 12, -1, -1, -1, -1, -1, -1, -1);
    const __m128i bHi = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 7, -1, 10, -1, 13, -1);
    const __m128i red = _mm_set1_epi16(short(0xF800));
    const __m128i green = _mm_set1_epi16(0x00FC);
    long x = 0;
    for (; x + 8 <= width; x += 8, src += 24) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8));
        const __m128i rg = _mm_or_si128(_mm_shuffle_epi8(a, rgLo), _mm_shuffle_epi8(b, rgHi));
        const __m128i bl = _mm_or_si128(_mm_shuffle_epi8(a, bLo), _mm_shuffle_epi8(b, bHi));
        const __m128i px = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(rg, red), _mm_slli_epi16(_mm_and_si128(rg, green), 3)),
            _mm_srli_epi16(bl, 3));
        Sse2Lanes::Store(dst + x, px);
    }
    return x;
}

}  // namespace

void Fill16(const Rows& r, WORD c)
{
    for (long j = 0; j < r.h; ++j) Fill16Row(DstRow(r, j), r.w, c);
}

void Fill8(const Rows& r, BYTE c)
{
    for (long j = 0; j < r.h; ++j) Fill8Row(r.dst + j * r.dstPitch, r.w, c);
}

void Copy(const Rows& r)
{
    if (r.w <= 0 || r.h <= 0 || MovedOverlapping(r)) return;
    for (long j = 0; j < r.h; ++j) CopyRow(DstRow(r, j), SrcRow(r, j), r.w);
}

void CopyKey(const Rows& r)
{
    for (long j = 0; j < r.h; ++j) CopyKeyRow(DstRow(r, j), SrcRow(r, j), r.w);
}

void BlendConst(const Rows& r, BYTE a) { BlendConstRows<Sse2Lanes>(r, a); }
void BlendConstKey(const Rows& r, BYTE a) { BlendConstKeyRows<Sse2Lanes>(r, a); }
void BlendMask(const Rows& r) { BlendMaskRows<Sse2Lanes>(r); }
void BlendColourMask(const Rows& r, WORD c) { BlendColourMaskRows<Sse2Lanes>(r, c); }
void Additive(const Rows& r, BYTE v) { AdditiveRows<Sse2Lanes>(r, v); }

// Starts the accumulators at the first visible column and row directly
// (column i samples floor(i * sw / w)) instead of walking up to them. Sizes
// are 32-bit values (the device checks), so the products fit in 64 bits.
void Zoom(const ZoomJob& z)
{
    if (z.w <= 0 || z.h <= 0 || z.i0 >= z.i1 || z.j0 >= z.j1) return;
    const long qx = z.sw / z.w, rx = z.sw % z.w;
    const long qy = z.sh / z.h, ry = z.sh % z.h;
    const long ox0 = z.i0 * qx + (z.i0 * rx) / z.w, ex0 = (z.i0 * rx) % z.w;
    long oy = z.j0 * qy + (z.j0 * ry) / z.h, ey = (z.j0 * ry) % z.h;
    const long n = z.i1 - z.i0;
    for (long j = z.j0; j < z.j1; ++j) {
        const WORD* srow = reinterpret_cast<const WORD*>(z.src->lpRows[z.sy + oy]) + z.sx;
        WORD* drow = reinterpret_cast<WORD*>(z.dst->lpRows[z.y + j]) + z.x + z.i0;
        long ox = ox0, ex = ex0;
        if (z.key) {
            for (long i = 0; i < n; ++i) {
                const WORD s = srow[ox];
                if (s != 0) drow[i] = s;
                ex += rx;
                if (ex >= z.w) { ex -= z.w; ++ox; }
                ox += qx;
            }
        } else {
            for (long i = 0; i < n; ++i) {
                drow[i] = srow[ox];
                ex += rx;
                if (ex >= z.w) { ex -= z.w; ++ox; }
                ox += qx;
            }
        }
        ey += ry;
        if (ey >= z.h) { ey -= z.h; ++oy; }
        oy += qy;
    }
}

// Processors without SSSE3 pack every pixel through the reference formula,
// as do the last one to seven pixels of a row.
void PackBgr565(WORD* dst, const BYTE* src, long width)
{
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    const long done = ssse3 ? PackBgr565Ssse3(dst, src, width) : 0;
    ref::PackBgr565(dst + done, src + size_t(done) * 3, width - done);
}

}  // namespace fast
}  // namespace kblit
