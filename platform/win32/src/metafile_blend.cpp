// Blits that blend or leave out their source's pixels instead of combining
// them by a raster operation: AlphaBlend and TransparentBlt. Both stretch
// their source as the other blits do (the source pixel under each
// destination pixel's centre) and, unlike them, refuse extents that run
// backwards and source rectangles that leave their bitmap.
#include "metafile_dib.h"
#include "metafile_more_records.h"

namespace win32metafile {

namespace {

constexpr BYTE kBlendOver = 0;       // AC_SRC_OVER, the one blend operation
constexpr BYTE kSourceAlpha = 0x01;  // AC_SRC_ALPHA: per-pixel, premultiplied

// One channel of the blend: the source, which is premultiplied, scaled by
// the constant alpha, over the canvas scaled by what the source leaves of
// it. Worked in whole numbers over 255 * 255 and rounded to the nearest.
BYTE Blend(unsigned source, unsigned dest, unsigned constant, unsigned alpha)
{
    const unsigned whole = 255 * 255;
    return (BYTE)((source * constant * 255 + dest * (whole - alpha * constant) + whole / 2) /
                  whole);
}

class AlphaMix : public BlitMix {
public:
    AlphaMix(BYTE constant, bool perPixel) : m_constant(constant), m_perPixel(perPixel) {}
    bool Mix(const DibReader& source, long x, long y, COLORREF dest, COLORREF& out) const override
    {
        const COLORREF s = source.At(x, y);
        // Without per-pixel alpha the source counts as opaque.
        const unsigned a = m_perPixel ? source.Alpha(x, y) : 255;
        out = RGB(Blend(GetRValue(s), GetRValue(dest), m_constant, a),
                  Blend(GetGValue(s), GetGValue(dest), m_constant, a),
                  Blend(GetBValue(s), GetBValue(dest), m_constant, a));
        return true;
    }

private:
    unsigned m_constant;
    bool m_perPixel;
};

class KeyMix : public BlitMix {
public:
    explicit KeyMix(COLORREF key) : m_key(key & 0xFFFFFF) {}
    bool Mix(const DibReader& source, long x, long y, COLORREF, COLORREF& out) const override
    {
        out = source.At(x, y);
        return out != m_key;
    }

private:
    COLORREF m_key;
};

// The source rectangle lies inside the bitmap and no extent runs back.
bool Forward(const DibReader& reader, long w, long h, long sx, long sy, long sw, long sh)
{
    return w >= 0 && h >= 0 && sw >= 0 && sh >= 0 && sx >= 0 && sy >= 0 &&
           sw <= reader.Width() - sx && sh <= reader.Height() - sy;
}

}  // namespace

bool Player::AlphaBlend(long x, long y, long w, long h, const DibRef& dib, long sx, long sy,
                        long sw, long sh, DWORD blend)
{
    // BLENDFUNCTION: operation, flags, constant alpha, alpha format.
    const BYTE op = (BYTE)blend, constant = (BYTE)(blend >> 16), format = (BYTE)(blend >> 24);
    DibReader reader;
    if (op != kBlendOver || !reader.Open(dib) || !Forward(reader, w, h, sx, sy, sw, sh))
        return false;
    const bool perPixel = (format & kSourceAlpha) != 0;
    if (perPixel && reader.Bits() != 32)
        return false;
    const AlphaMix mix(constant, perPixel);
    return _blit(x, y, w, h, &reader, sx, sy, sw, sh, (BYTE)(kRopSrcCopy >> 16), nullptr, &mix);
}

bool Player::TransparentBlit(long x, long y, long w, long h, const DibRef& dib, long sx, long sy,
                             long sw, long sh, COLORREF key)
{
    DibReader reader;
    if (!reader.Open(dib) || !Forward(reader, w, h, sx, sy, sw, sh))
        return false;
    const KeyMix mix(Colour(key));  // a PALETTEINDEX key is its palette entry
    return _blit(x, y, w, h, &reader, sx, sy, sw, sh, (BYTE)(kRopSrcCopy >> 16), nullptr, &mix);
}

bool PlayBlendRecord(DWORD type, const RecordBytes& r, Player& player)
{
    // Bounds; destination x, y, w, h; the blend (or the key colour); source
    // x, y; the source's transform and background; usage; the bitmap's
    // offsets and sizes; source w, h.
    DibRef dib;
    if (!RecordBitmap(r, 84, dib))
        return false;
    if (type == kEmrAlphaBlend)
        return player.AlphaBlend(r.L(24), r.L(28), r.L(32), r.L(36), dib, r.L(44), r.L(48),
                                 r.L(100), r.L(104), r.D(40));
    return player.TransparentBlit(r.L(24), r.L(28), r.L(32), r.L(36), dib, r.L(44), r.L(48),
                                  r.L(100), r.L(104), r.D(40));
}

bool RecordBitmap(const RecordBytes& r, size_t at, DibRef& dib)
{
    DWORD oi = 0, ci = 0, ob = 0, cb = 0;
    if (!r.U32(at, oi) || !r.U32(at + 4, ci) || !r.U32(at + 8, ob) || !r.U32(at + 12, cb))
        return false;
    if (ci == 0 || !r.Has(oi, ci) || !r.Has(ob, cb))
        return false;
    dib.info = r.Data() + oi;
    dib.infoSize = ci;
    dib.bits = r.Data() + ob;
    dib.bitsSize = cb;
    return true;
}

}  // namespace win32metafile
