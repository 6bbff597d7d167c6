// Kernels of the software blitters and of the loaders' pixel packing, in two
// forms with one signature each:
//   kblit::ref   plain loops written straight from the pixel formulas; the
//                yardstick that tests and benchmarks measure the fast form by;
//   kblit::fast  SSE2 (SSSE3 for the packer where the processor has it),
//                eight 16-bit pixels a step;
//   kblit::avx2  the copies, the blends and the additive blit on sixteen
//                pixels a step, for processors that have AVX2 (the rest of
//                its table is the fast form).
// All forms give the same pixels for every input. The device and the
// loaders call them through one table, Kernels(), chosen when first asked
// for: the AVX2 table where the processor has it, else the fast one; the
// reference when the environment says KESTREL_BLIT=ref, so that every test
// can run on the obviously right path.
// The device's slots clip the rectangle and check the sprites, then hand it
// to a kernel. A kernel writes exactly the w x h pixels it is given and reads
// nothing outside the w x h source pixels and levels. Source and destination
// must not overlap, except for Copy (a sprite blitted onto itself).
#pragma once
#include <windows.h>
#include "kspritedata.h"

namespace kblit {

// blend(s, d, A): s over d with the level A (0 transparent .. 255 opaque).
// Green works on 6 bits with a6 = A >> 2, red and blue on 5 bits with
// a5 = A >> 3; every intermediate fits in 16 bits, so the fast form can run
// eight pixels in 16-bit lanes. A >= 252 gives s, A <= 3 gives d.
inline WORD BlendPixel(WORD s, WORD d, unsigned a)
{
    const unsigned a6 = (a & 0xFF) >> 2, a5 = (a & 0xFF) >> 3;
    const unsigned x = ((s >> 1) & 0x03F0u) * a6 + ((d >> 1) & 0x03F0u) * (63 - a6) + 0x0200;
    const unsigned green = ((x + (x >> 6)) >> 5) & 0x07E0u;
    const unsigned y = (s & 0x001Fu) * a5 + (d & 0x001Fu) * (31 - a5) + 16;
    const unsigned blue = (y + (y >> 5)) >> 5;
    const unsigned z = (unsigned(s) >> 11) * a5 + (unsigned(d) >> 11) * (31 - a5) + 16;
    const unsigned red = ((z + (z >> 5)) >> 5) << 11;
    return WORD(red | green | blue);
}

// The additive level V as a grey pixel with its lowest red and lowest green
// bits cleared: those two bits carry between the fields.
inline WORD AdditiveKey(unsigned v)
{
    v &= 0xFF;
    return WORD((((v >> 3) << 11) & 0xF000u) | (((v >> 2) << 5) & 0x07C0u) | ((v >> 3) & 0x001Fu));
}

// additive(s, d, V) with k = AdditiveKey(V): the source less the level, added
// to the destination; a field that overflows saturates (red overflow: white).
inline WORD AdditivePixel(WORD s, WORD d, WORD k)
{
    const unsigned s1 = s & 0xF7DFu;
    unsigned a = (s1 - k) & 0xFFFFu;
    if (s1 < k) a &= 0x08FFu;
    if (a & 0x0800u) a &= 0xF03Fu;
    if (a & 0x0020u) a &= 0xFFC0u;
    unsigned e = (d & 0xF7DFu) + a;
    if (e > 0xFFFFu) e = (e & 0xFFFFu) | 0xF800u;
    if (e & 0x0800u) e |= 0x07E0u;
    if (e & 0x0020u) e |= 0x001Fu;
    return WORD(e);
}

// One scaled copy: the destination rectangle (x, y, w, h) samples the source
// rectangle (sx, sy, sw, sh) by nearest pixel, column i taking source column
// floor(i * sw / w). Only the rectangle's columns i0..i1-1 and rows j0..j1-1
// are written: the device has clipped them to the destination and checked
// that the source rectangle lies inside the source.
struct ZoomJob {
    SPRITE_DATA* dst;
    long x, y, w, h;
    const SPRITE_DATA* src;
    long sx, sy, sw, sh;
    long i0, i1, j0, j1;
    bool key;               // leave the destination where the source pixel is 0
};

// The clipped rectangle of one blit as rows: the first pixel of each plane
// and the bytes from one row to the next. The kernels walk the rows
// themselves: a call per row costs as much as a short row's pixels.
struct Rows {
    BYTE* dst;                // 16-bit pixels (8-bit for Fill8)
    long dstPitch;
    const BYTE* src;          // 16-bit pixels; unused by fills and the colour blend
    long srcPitch;
    const BYTE* lev;          // 8-bit levels; alpha sprites only
    long levPitch;
    long w, h;
};

// The signatures both forms share, one table per form.
struct KernelTable {
    const char* name;   // "fast" or "ref"
    void (*Fill16)(const Rows& r, WORD c);
    void (*Fill8)(const Rows& r, BYTE c);
    void (*Copy)(const Rows& r);
    void (*CopyKey)(const Rows& r);
    void (*BlendConst)(const Rows& r, BYTE a);
    void (*BlendConstKey)(const Rows& r, BYTE a);
    void (*BlendMask)(const Rows& r);
    void (*BlendColourMask)(const Rows& r, WORD c);
    void (*Additive)(const Rows& r, BYTE v);
    void (*Zoom)(const ZoomJob& job);
    // One row of `width` 3-byte pixels (blue, green, red) to R5G6B5.
    void (*PackBgr565)(WORD* dst, const BYTE* src, long width);
};

// The table the library calls, chosen once (see above).
const KernelTable& Kernels();
// Each form's table, for the tests and benchmarks that compare them. The
// AVX2 table may be called only where HasAvx2().
const KernelTable& RefKernels();
const KernelTable& FastKernels();
const KernelTable& Avx2Kernels();
bool HasAvx2();
// What KESTREL_BLIT names: true for "ref"; anything else, or nothing, is
// the fast form.
bool WantsReference(const char* setting);

namespace ref {
void Fill16(const Rows& r, WORD c);
void Fill8(const Rows& r, BYTE c);
void Copy(const Rows& r);
void CopyKey(const Rows& r);
void BlendConst(const Rows& r, BYTE a);
void BlendConstKey(const Rows& r, BYTE a);
void BlendMask(const Rows& r);
void BlendColourMask(const Rows& r, WORD c);
void Additive(const Rows& r, BYTE v);
void Zoom(const ZoomJob& job);
void PackBgr565(WORD* dst, const BYTE* src, long width);
}  // namespace ref

namespace fast {
void Fill16(const Rows& r, WORD c);
void Fill8(const Rows& r, BYTE c);
void Copy(const Rows& r);     // tolerates a sprite copied onto itself
void CopyKey(const Rows& r);
void BlendConst(const Rows& r, BYTE a);
void BlendConstKey(const Rows& r, BYTE a);
void BlendMask(const Rows& r);
void BlendColourMask(const Rows& r, WORD c);
void Additive(const Rows& r, BYTE v);
void Zoom(const ZoomJob& job);
void PackBgr565(WORD* dst, const BYTE* src, long width);
}  // namespace fast

namespace avx2 {
void Copy(const Rows& r);     // tolerates a sprite copied onto itself
void CopyKey(const Rows& r);
void BlendConst(const Rows& r, BYTE a);
void BlendConstKey(const Rows& r, BYTE a);
void BlendMask(const Rows& r);
void BlendColourMask(const Rows& r, WORD c);
void Additive(const Rows& r, BYTE v);
}  // namespace avx2

}  // namespace kblit
