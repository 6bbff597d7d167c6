// The reference blitters: one pixel at a time, straight from the formulas.
// Slow on purpose and kept obviously right; tests and benchmarks measure the
// fast kernels against these.
//
// They are built without vectorisation, so that "n times the reference"
// means n times a pixel-at-a-time loop, whatever the compiler would make of
// these loops on its own. (GCC takes the pragma; other compilers build the
// file as it stands.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-vectorize")
#endif
#include "blit.h"

namespace kblit {
namespace ref {

namespace {

WORD* DstRow(const Rows& r, long j) { return reinterpret_cast<WORD*>(r.dst + j * r.dstPitch); }
const WORD* SrcRow(const Rows& r, long j) { return reinterpret_cast<const WORD*>(r.src + j * r.srcPitch); }
const BYTE* LevRow(const Rows& r, long j) { return r.lev + j * r.levPitch; }

}  // namespace

void Fill16(const Rows& r, WORD c)
{
    for (long j = 0; j < r.h; ++j)
        for (long i = 0; i < r.w; ++i) DstRow(r, j)[i] = c;
}

void Fill8(const Rows& r, BYTE c)
{
    for (long j = 0; j < r.h; ++j)
        for (long i = 0; i < r.w; ++i) r.dst[j * r.dstPitch + i] = c;
}

void Copy(const Rows& r)
{
    for (long j = 0; j < r.h; ++j)
        for (long i = 0; i < r.w; ++i) DstRow(r, j)[i] = SrcRow(r, j)[i];
}

void CopyKey(const Rows& r)
{
    for (long j = 0; j < r.h; ++j)
        for (long i = 0; i < r.w; ++i)
            if (SrcRow(r, j)[i] != 0) DstRow(r, j)[i] = SrcRow(r, j)[i];
}

void BlendConst(const Rows& r, BYTE a)
{
    for (long j = 0; j < r.h; ++j)
        for (long i = 0; i < r.w; ++i) DstRow(r, j)[i] = BlendPixel(SrcRow(r, j)[i], DstRow(r, j)[i], a);
}

void BlendConstKey(const Rows& r, BYTE a)
{
    for (long j = 0; j < r.h; ++j)
        for (long i = 0; i < r.w; ++i)
            if (SrcRow(r, j)[i] != 0) DstRow(r, j)[i] = BlendPixel(SrcRow(r, j)[i], DstRow(r, j)[i], a);
}

void BlendMask(const Rows& r)
{
    for (long j = 0; j < r.h; ++j)
        for (long i = 0; i < r.w; ++i) DstRow(r, j)[i] = BlendPixel(SrcRow(r, j)[i], DstRow(r, j)[i], LevRow(r, j)[i]);
}

void BlendColourMask(const Rows& r, WORD c)
{
    for (long j = 0; j < r.h; ++j)
        for (long i = 0; i < r.w; ++i) DstRow(r, j)[i] = BlendPixel(c, DstRow(r, j)[i], LevRow(r, j)[i]);
}

void Additive(const Rows& r, BYTE v)
{
    const WORD k = AdditiveKey(v);
    for (long j = 0; j < r.h; ++j)
        for (long i = 0; i < r.w; ++i) DstRow(r, j)[i] = AdditivePixel(SrcRow(r, j)[i], DstRow(r, j)[i], k);
}

// The error-accumulator walk, step by step over the whole rectangle; only
// the pixels inside the clipped window are written.
void Zoom(const ZoomJob& z)
{
    if (z.w <= 0 || z.h <= 0) return;
    const long qx = z.sw / z.w, rx = z.sw % z.w;
    const long qy = z.sh / z.h, ry = z.sh % z.h;
    long oy = 0, ey = 0;
    for (long j = 0; j < z.h; ++j) {
        long ox = 0, ex = 0;
        for (long i = 0; i < z.w; ++i) {
            if (i >= z.i0 && i < z.i1 && j >= z.j0 && j < z.j1) {
                const WORD s = *SpritePixel16(const_cast<SPRITE_DATA*>(z.src), z.sx + ox, z.sy + oy);
                if (!z.key || s != 0) *SpritePixel16(z.dst, z.x + i, z.y + j) = s;
            }
            ex += rx;
            if (ex >= z.w) { ex -= z.w; ++ox; }
            ox += qx;
            if (ox >= z.sw) ox = z.sw - 1;
        }
        ey += ry;
        if (ey >= z.h) { ey -= z.h; ++oy; }
        oy += qy;
        if (oy >= z.sh) oy = z.sh - 1;
    }
}

// Each channel keeps its top bits, as color16b_565 packs them.
void PackBgr565(WORD* dst, const BYTE* src, long width)
{
    for (long x = 0; x < width; ++x, src += 3)
        dst[x] = WORD(((src[2] << 8) & 0xF800) | ((src[1] << 3) & 0x07E0) | (src[0] >> 3));
}

}  // namespace ref
}  // namespace kblit
