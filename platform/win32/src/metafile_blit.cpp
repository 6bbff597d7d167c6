// The metafile player's blits: a bitmap from the record, the brush and the
// canvas combined by the record's ternary raster operation.
//
// A destination extent that runs back from its origin covers the origin's
// pixel and those before it, as the GDI's blits do, and a source extent the
// same; one of them reversed mirrors the picture. Every destination pixel
// takes the source pixel under its centre.
#include "metafile_dib.h"
#include "metafile_player.h"

#include <algorithm>
#include <cmath>

namespace win32metafile {

namespace {

// One axis of a blit on the canvas: pixels [first, end) and, for each, how
// far its centre lies from the origin's side as a fraction of the extent.
struct Axis {
    long first = 0, end = 0;
    double origin = 0, length = 0;  // signed: negative runs back
    double Fraction(long i) const { return (i + 0.5 - origin) / length; }
};

Axis CanvasAxis(double a, double b, int limit)
{
    Axis out;
    double lo = a, hi = b;
    if (b < a) {
        lo = b + 1;
        hi = a + 1;
    }
    out.origin = b < a ? a + 1 : a;
    out.length = b - a;
    auto pixel = [limit](double v) {
        return (long)std::max(0.0, std::min(std::ceil(v - 0.5), (double)limit));
    };
    out.first = pixel(lo);
    out.end = pixel(hi);
    return out;
}

// The source index at a fraction of a source extent from `origin`.
long SourceAt(long origin, long extent, double fraction)
{
    const double k = std::floor(fraction * std::fabs((double)extent));
    return extent < 0 ? origin - (long)k : origin + (long)k;
}

}  // namespace

bool Player::Blit(long x, long y, long w, long h, const DibRef* dib, long sx, long sy, long sw,
                  long sh, DWORD rop)
{
    const BYTE code = (BYTE)(rop >> 16);
    DibReader reader;
    if (RopReadsSource(code)) {
        if (dib == nullptr || !reader.Open(*dib))
            return false;
        return _blit(x, y, w, h, &reader, sx, sy, sw, sh, code);
    }
    return _blit(x, y, w, h, nullptr, 0, 0, 0, 0, code);
}

bool Player::StretchDibits(long x, long y, long w, long h, const DibRef& dib, long sx, long sy,
                           long sw, long sh, DWORD rop)
{
    // A source extent turned over fails the call.
    const BYTE code = (BYTE)(rop >> 16);
    if (sw < 0 || sh < 0)
        return false;
    if (!RopReadsSource(code))
        return _blit(x, y, w, h, nullptr, 0, 0, 0, 0, code);
    DibReader reader;
    if (!reader.Open(dib))
        return false;
    // Rows counted from the bottom, upwards, however the bitmap stores
    // them: the rectangle's top row is the height less its bottom and size.
    const long top = reader.Height() - sy - sh;
    return _blit(x, y, w, h, &reader, sx, top, sw, sh, code);
}

bool Player::MaskBlit(long x, long y, long w, long h, const DibRef* dib, long sx, long sy,
                      const DibRef* mask, long mx, long my, DWORD rop)
{
    const BYTE fore = (BYTE)(rop >> 16), back = (BYTE)(rop >> 24);
    DibReader maskReader;
    if (mask == nullptr)
        return Blit(x, y, w, h, dib, sx, sy, w, h, rop);
    if (!maskReader.Open(*mask) || maskReader.Bits() != 1)
        return false;
    DibReader reader;
    const bool needSource = RopReadsSource(fore) || RopReadsSource(back);
    if (needSource && (dib == nullptr || !reader.Open(*dib)))
        return false;
    const BlitMask m = {&maskReader, mx, my, back};
    return _blit(x, y, w, h, needSource ? &reader : nullptr, sx, sy, w, h, fore, &m);
}

bool Player::SetDibits(long x, long y, long w, long h, const DibRef& dib, long sx, long sy)
{
    DibReader reader;
    if (!reader.Open(dib))
        return false;
    // A bottom-up bitmap counts its rows, and the source corner, from the
    // bottom: the rectangle's top row lies h rows above it.
    const long top = reader.TopDown() ? sy : reader.Height() - sy - h;
    return _blit(x, y, w, h, &reader, sx, top, w, h, (BYTE)(kRopSrcCopy >> 16));
}

bool Player::_blit(long x, long y, long w, long h, const DibReader* source, long sx, long sy,
                   long sw, long sh, BYTE code, const BlitMask* mask)
{
    const PointD p = _map(x, y), q = _map(x + w, y + h);
    if (p.x == q.x || p.y == q.y || !std::isfinite(p.x + p.y + q.x + q.y))
        return true;
    const bool readPattern = RopReadsPattern(code) || (mask && RopReadsPattern(mask->background));
    if (readPattern && m_state.brush.style == kBrushNull)
        return true;  // a hollow brush paints nothing
    const bool readDest = RopReadsDest(code) || (mask && RopReadsDest(mask->background));
    const std::shared_ptr<const Pattern> pattern =
        readPattern ? _brushPattern(m_state.brush) : nullptr;
    const Axis ax = CanvasAxis(p.x, q.x, m_raster.Width());
    const Axis ay = CanvasAxis(p.y, q.y, m_raster.Height());
    if (ax.first >= ax.end || ay.first >= ay.end)
        return true;
    m_raster.Charge((uint64_t)(ax.end - ax.first) * (uint64_t)(ay.end - ay.first) * kBlitPixelWork);
    for (long j = ay.first; j < ay.end && !m_raster.Spent(); j++) {
        long srcY = 0, maskY = 0;
        if (source != nullptr) {
            srcY = SourceAt(sy, sh, ay.Fraction(j));
            if (srcY < 0 || srcY >= source->Height() || !source->HasRow(srcY))
                continue;
        }
        if (mask != nullptr) {
            maskY = SourceAt(mask->y, h, ay.Fraction(j));
            if (maskY < 0 || maskY >= mask->reader->Height())
                continue;  // outside the mask: not drawn
        }
        long runStart = -1;
        COLORREF runColour = 0;
        for (long i = ax.first; i <= ax.end; i++) {
            bool have = i < ax.end;
            COLORREF c = 0;
            if (have) {
                COLORREF s = 0, pat = m_state.brush.colour;
                if (source != nullptr) {
                    const long srcX = SourceAt(sx, sw, ax.Fraction(i));
                    have = srcX >= 0 && srcX < source->Width();
                    if (have)
                        s = source->At(srcX, srcY);
                }
                if (have && pattern)
                    pat = pattern->At(i, j);
                have = have && pat != kNoPixel;
                BYTE pixelCode = code;
                if (have && mask != nullptr) {
                    const long maskX = SourceAt(mask->x, w, ax.Fraction(i));
                    have = maskX >= 0 && maskX < mask->reader->Width();
                    if (have && mask->reader->Index(maskX, maskY) == 0)
                        pixelCode = mask->background;
                }
                if (have) {
                    c = RopColour(pixelCode, pat, s, readDest ? m_raster.Get((int)i, (int)j) : 0);
                }
            }
            if (runStart >= 0 && (!have || c != runColour)) {
                m_raster.Put((int)j, (int)runStart, (int)i, runColour);
                runStart = -1;
            }
            if (have && runStart < 0) {
                runStart = i;
                runColour = c;
            }
        }
    }
    return true;
}

}  // namespace win32metafile
