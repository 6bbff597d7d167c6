// The GDI device's drawing primitives: the fill and the ten blits. Each slot
// checks its sprites, clips the rectangle and hands the rows to the fast
// kernels (blit_fast.cpp); no slot reads or writes outside its sprites.
#include "kgraph_gdi.h"

#include <cstdint>
#include <kbase.h>

#include "blit.h"

namespace {

// The clipped rectangle of a blit.
struct BlitRect {
    long x, y;      // where it lands in the destination
    long l, t;      // where it is read in the source (for the colour blend: in the alpha sprite's frame)
    long w, h;
};

// Win32 coordinates are 32-bit. A value outside that range is no rectangle
// a caller can mean; refusing it keeps every sum below far from overflow.
bool Fits32(long v) { return v >= INT32_MIN && v <= INT32_MAX; }
template <class... V> bool AllFit32(V... v) { return (Fits32(v) && ...); }

// The blits move 2-byte pixels; a grey (1-byte) sprite would be overrun.
bool Is16(const SPRITE_DATA* spr) { return spr && KcmBitsPerPixel(spr->kcm) == 16; }
bool IsGray(const SPRITE_DATA* spr) { return spr && spr->kcm == KCM_GRAY; }

// The family's clip, on signed values and in this order: the destination's
// left and top (moving the source alike), the source's right and bottom
// (tested on r and b as given), then the destination's right and bottom.
// Callers keep the source's left and top inside the source; should one not,
// its columns and rows before the source are dropped the same way, so
// nothing outside it is read. Returns false when nothing is left.
bool ClipBlit(BlitRect& rc, long r, long b, const SPRITE_DATA* dst, long srcW, long srcH,
              bool clipSourceOrigin)
{
    if (rc.y < 0) { rc.h += rc.y; rc.t -= rc.y; rc.y = 0; }
    if (rc.x < 0) { rc.w += rc.x; rc.l -= rc.x; rc.x = 0; }
    if (r > srcW) rc.w = srcW - rc.l;
    if (b > srcH) rc.h = srcH - rc.t;
    if (clipSourceOrigin) {
        if (rc.t < 0) { rc.h += rc.t; rc.y -= rc.t; rc.t = 0; }
        if (rc.l < 0) { rc.w += rc.l; rc.x -= rc.l; rc.l = 0; }
    }
    if (rc.x + rc.w > dst->width) rc.w = dst->width - rc.x;
    if (rc.y + rc.h > dst->height) rc.h = dst->height - rc.y;
    return rc.w >= 1 && rc.h >= 1;
}

// The alpha sprite is read from (ax, ay) onward, already moved by what the
// clip took off the left and top. Columns and rows that would fall before or
// past the alpha sprite are dropped from the whole rectangle, so a smaller
// alpha sprite (or a view into one) is never read past its end.
bool ClipAlpha(BlitRect& rc, long& ax, long& ay, const SPRITE_DATA* alpha)
{
    if (ax < 0) { rc.w += ax; rc.x -= ax; rc.l -= ax; ax = 0; }
    if (ay < 0) { rc.h += ay; rc.y -= ay; rc.t -= ay; ay = 0; }
    if (ax + rc.w > alpha->width) rc.w = alpha->width - ax;
    if (ay + rc.h > alpha->height) rc.h = alpha->height - ay;
    return rc.w >= 1 && rc.h >= 1;
}

// The clipped rectangle as the kernels take it.
kblit::Rows RowsOf(SPRITE_DATA* dst, SPRITE_DATA* src, const BlitRect& rc)
{
    kblit::Rows rows{};
    rows.dst = dst->lpRows[rc.y] + rc.x * 2;
    rows.dstPitch = long(dst->pitch);
    if (src) {
        rows.src = src->lpRows[rc.t] + rc.l * 2;
        rows.srcPitch = long(src->pitch);
    }
    rows.w = rc.w;
    rows.h = rc.h;
    return rows;
}

// The same with the levels of an alpha sprite read from (ax, ay).
kblit::Rows RowsOf(SPRITE_DATA* dst, SPRITE_DATA* src, const BlitRect& rc,
                   const SPRITE_DATA* alpha, long ax, long ay)
{
    kblit::Rows rows = RowsOf(dst, src, rc);
    rows.lev = alpha->lpRows[ay] + ax;
    rows.levPitch = long(alpha->pitch);
    return rows;
}

// The checks and clip that slots 13, 14 and 19 to 22 share: true when
// something is left to draw; otherwise the caller returns its failure result.
bool ClipPlain(SPRITE_DATA* dst, SPRITE_DATA* src, long x, long y, long l, long t, long r, long b,
               BlitRect& rc)
{
    if (!Is16(dst) || !Is16(src) || !AllFit32(x, y, l, t, r, b)) return false;
    rc = BlitRect{x, y, l, t, r - l, b - t};
    return ClipBlit(rc, r, b, dst, src->width, src->height, true);
}

// Whether a rectangle of w x h at (x, y) lands wholly outside the
// destination, as a sprite that moved off the screen does. Nothing is
// drawn and the blends return 2 as for any other empty clip, but drawing
// nothing where nothing shows is no failure worth a report.
bool OffDestination(const SPRITE_DATA* dst, long x, long y, long w, long h)
{
    return x >= dst->width || y >= dst->height || x + w <= 0 || y + h <= 0;
}

// The checks and clip of the blending slots: true with rc ready to draw;
// false with the slot's result in `result` (0 for an empty rectangle, 2 for
// one off the destination, otherwise the bad-argument failure reported in
// the slot's name).
inline bool ClipBlend(const char* slot, SPRITE_DATA* dst, SPRITE_DATA* src, long x, long y, long l,
               long t, long r, long b, BlitRect& rc, long& result)
{
    if (!AllFit32(x, y, l, t, r, b)) {
        result = KRet(KRET_BADARG, "%s", slot);
        return false;
    }
    if (r - l <= 0 || b - t <= 0) {
        result = 0;
        return false;
    }
    if (Is16(dst) && Is16(src) && OffDestination(dst, x, y, r - l, b - t)) {
        result = KRET_BADARG;
        return false;
    }
    if (!ClipPlain(dst, src, x, y, l, t, r, b, rc)) {
        result = KRet(KRET_BADARG, "%s", slot);
        return false;
    }
    return true;
}

// Moves the alpha sprite's origin (ax, ay) by what the clip took off the
// rectangle (l, t), then clips to the alpha sprite.
bool ClipAlphaFrom(BlitRect& rc, long l, long t, long& ax, long& ay, const SPRITE_DATA* alpha)
{
    ax += rc.l - l;
    ay += rc.t - t;
    return ClipAlpha(rc, ax, ay, alpha);
}

// A source blended with one level, its key colour skipped when `key` is set.
// Levels 252 to 255 give the source's pixels and 0 to 3 the destination's
// (the formula's own results), so those are a copy and nothing.
inline long BlendLevel(const char* slot, SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src, long l,
                long t, long r, long b, BYTE alpha, bool key)
{
    BlitRect rc;
    long result;
    if (!ClipBlend(slot, dst, src, x, y, l, t, r, b, rc, result)) return result;
    if (alpha < 4) return 0;
    const kblit::Rows rows = RowsOf(dst, src, rc);
    if (alpha >= 252) {
        if (key) kblit::Kernels().CopyKey(rows);
        else kblit::Kernels().Copy(rows);
    } else {
        if (key) kblit::Kernels().BlendConstKey(rows, alpha);
        else kblit::Kernels().BlendConst(rows, alpha);
    }
    return 0;
}

// Slots 15 and 17. The destination rectangle is clipped to the destination
// (the pixels that remain sample the source as they would unclipped); a
// source rectangle that leaves the source is refused.
long ZoomBlit(SPRITE_DATA* dst, long x, long y, long w, long h,
              SPRITE_DATA* src, long sx, long sy, long sw, long sh, bool key)
{
    if (!AllFit32(x, y, w, h, sx, sy, sw, sh)) return E_FAIL;
    if (w <= 0 || h <= 0) return 0;
    if (!Is16(dst) || !Is16(src)) return KRET_BADARG;
    if (sx < 0 || sy < 0 || sw < 1 || sh < 1 || sx + sw > src->width || sy + sh > src->height)
        return E_FAIL;
    kblit::ZoomJob job{dst, x, y, w, h, src, sx, sy, sw, sh, 0, w, 0, h, key};
    if (x < 0) job.i0 = -x;
    if (y < 0) job.j0 = -y;
    if (x + w > dst->width) job.i1 = dst->width - x;
    if (y + h > dst->height) job.j1 = dst->height - y;
    if (job.i0 >= job.i1 || job.j0 >= job.j1) return KRET_BADARG;
    kblit::Kernels().Zoom(job);
    return 0;
}

}  // namespace

long KGraphGDI::_clearsprite(SPRITE_DATA* lps, long l, long t, long r, long b, DWORD colour)
{
    KASSERT(lps);
    if (!lps || !AllFit32(l, t, r, b)) return E_FAIL;
    if (r < 0 || b < 0) return E_FAIL;
    if (l < 0) l = 0;
    if (t < 0) t = 0;
    long w = r - l, h = b - t;
    if (r > lps->width) w = lps->width - l;
    if (b > lps->height) h = lps->height - t;
    if (w < 1 || h < 1) return KRet(KRET_BADARG, "_clearsprite_gdi");

    switch (KcmBitsPerPixel(lps->kcm)) {
    case 16:
        kblit::Kernels().Fill16(RowsOf(lps, nullptr, BlitRect{l, t, 0, 0, w, h}), WORD(colour));
        return 0;
    case 8: {
        // Grey levels are one byte: fill byte-wise with the low byte.
        kblit::Rows rows{};
        rows.dst = lps->lpRows[t] + l;
        rows.dstPitch = long(lps->pitch);
        rows.w = w;
        rows.h = h;
        kblit::Kernels().Fill8(rows, BYTE(colour));
        return 0;
    }
    default:
        return E_FAIL;   // no other pixel size is ever made
    }
}

long KGraphGDI::_bltsprite(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                           long l, long t, long r, long b)
{
    KASSERT(dst);
    KASSERT(src);
    BlitRect rc;
    if (!ClipPlain(dst, src, x, y, l, t, r, b, rc)) return KRET_BADARG;
    kblit::Kernels().Copy(RowsOf(dst, src, rc));
    return 0;
}

long KGraphGDI::_bltsprite_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                              long l, long t, long r, long b)
{
    KASSERT(dst);
    KASSERT(src);
    BlitRect rc;
    if (!ClipPlain(dst, src, x, y, l, t, r, b, rc)) return KRET_BADARG;
    kblit::Kernels().CopyKey(RowsOf(dst, src, rc));
    return 0;
}

long KGraphGDI::_bltsprite_zoom(SPRITE_DATA* dst, long x, long y, long w, long h,
                                SPRITE_DATA* src, long sx, long sy, long sw, long sh)
{
    return ZoomBlit(dst, x, y, w, h, src, sx, sy, sw, sh, false);
}

// This device has no scaled blend: it draws nothing and succeeds.
long KGraphGDI::_bltsprite_zoom_alpha(SPRITE_DATA*, long, long, long, long,
                                      SPRITE_DATA*, long, long, long, long, BYTE)
{
    return 0;
}

long KGraphGDI::_bltsprite_zoom_ck(SPRITE_DATA* dst, long x, long y, long w, long h,
                                   SPRITE_DATA* src, long sx, long sy, long sw, long sh)
{
    return ZoomBlit(dst, x, y, w, h, src, sx, sy, sw, sh, true);
}

// One colour through an alpha sprite (the smooth font's glyphs). The
// rectangle is clipped with the alpha sprite in the source's place.
long KGraphGDI::_bltsprite_alpha(SPRITE_DATA* dst, long x, long y, DWORD colour,
                                 long l, long t, long r, long b,
                                 SPRITE_DATA* alpha, long ax, long ay)
{
    KASSERT(dst != NULL && alpha != NULL);
    if (dst && alpha) {
        KASSERT(alpha->kcm == KCM_GRAY);
        KASSERT(dst->kcm == KCM_R5G6B5);
    }
    if (!AllFit32(x, y, l, t, r, b, ax, ay)) return KRet(KRET_BADARG, "_bltsprite_alpha");
    if (r - l <= 0 || b - t <= 0) return 0;
    if (!Is16(dst) || !IsGray(alpha)) return KRet(KRET_BADARG, "_bltsprite_alpha");
    if (OffDestination(dst, x, y, r - l, b - t)) return KRET_BADARG;

    BlitRect rc{x, y, l, t, r - l, b - t};
    if (!ClipBlit(rc, r, b, dst, alpha->width, alpha->height, false))
        return KRet(KRET_BADARG, "_bltsprite_alpha");
    if (!ClipAlphaFrom(rc, l, t, ax, ay, alpha)) return KRet(KRET_BADARG, "_bltsprite_alpha");

    kblit::Kernels().BlendColourMask(RowsOf(dst, nullptr, rc, alpha, ax, ay), WORD(colour));
    return 0;
}

// A source blended through an alpha sprite, which stays in register with it.
long KGraphGDI::_bltsprite_alpha(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                 long l, long t, long r, long b,
                                 SPRITE_DATA* alpha, long ax, long ay)
{
    KASSERT(dst != NULL && src != NULL && alpha != NULL);
    if (alpha) KASSERT(alpha->kcm == KCM_GRAY);
    if (!AllFit32(ax, ay)) return KRet(KRET_BADARG, "_bltsprite_alpha");
    BlitRect rc;
    long result;
    if (!ClipBlend("_bltsprite_alpha", dst, src, x, y, l, t, r, b, rc, result)) return result;
    if (!IsGray(alpha) || !ClipAlphaFrom(rc, l, t, ax, ay, alpha))
        return KRet(KRET_BADARG, "_bltsprite_alpha");

    kblit::Kernels().BlendMask(RowsOf(dst, src, rc, alpha, ax, ay));
    return 0;
}

// A source blended with one level.
long KGraphGDI::_bltsprite_alpha(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                 long l, long t, long r, long b, BYTE alpha)
{
    return BlendLevel("_bltsprite_alpha", dst, x, y, src, l, t, r, b, alpha, false);
}

long KGraphGDI::_bltsprite_alpha_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                    long l, long t, long r, long b, BYTE alpha)
{
    return BlendLevel("_bltsprite_alpha_ck", dst, x, y, src, l, t, r, b, alpha, true);
}

long KGraphGDI::_bltsprite_additive(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                    long l, long t, long r, long b, BYTE level)
{
    BlitRect rc;
    long result;
    if (!ClipBlend("_bltsprite_additive", dst, src, x, y, l, t, r, b, rc, result)) return result;
    kblit::Kernels().Additive(RowsOf(dst, src, rc), level);
    return 0;
}
