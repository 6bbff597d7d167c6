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
// Under a right-to-left layout the canvas pixel i stands for pixel
// sign * i + shift of the picture as it would be unmirrored.
struct Axis {
    long first = 0, end = 0;
    double origin = 0, length = 0;  // signed: negative runs back
    long sign = 1;
    double shift = 0;  // whole, but beyond a long where the blit reaches far off the canvas
    double Fraction(long i) const { return (sign * i + shift + 0.5 - origin) / length; }
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

// The axis of a blit between canvas x = a and b under a right-to-left
// layout on a canvas `width` wide: the blit lands where the unmirrored one
// would, mirrored pixel for pixel; its picture turned over with it, or
// (`preserve`) left the way round it was.
Axis MirroredAxis(double a, double b, int width, bool preserve)
{
    Axis out = CanvasAxis(width - a, width - b, width);
    const long first = out.first, end = out.end;
    out.first = width - end;
    out.end = width - first;
    if (preserve) {
        // The unmirrored blit's pixels [f, e), before the canvas cut them,
        // land on [width - e, width - f) in the same order.
        const double ua = width - a, ub = width - b;
        const double lo = ub < ua ? ub + 1 : ua, hi = ub < ua ? ua + 1 : ub;
        out.shift = std::ceil(lo - 0.5) + std::ceil(hi - 0.5) - width;
    } else {
        out.sign = -1;
        out.shift = width - 1;
    }
    return out;
}

// The source index at a fraction of a source extent from `origin`. A pixel
// drawn lies inside its blit, so the fraction is below 1; one that rounds
// up to 1 (a blit stretched beyond what a double resolves) takes the last
// index, not one past the rectangle.
long SourceAt(long origin, long extent, double fraction)
{
    const double n = std::fabs((double)extent);
    const double k = std::min(std::floor(fraction * n), std::max(n - 1, 0.0));
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
                   long sw, long sh, BYTE code, const BlitMask* mask, const BlitMix* mix)
{
    // The canvas pixels the rectangle may cover, and where each pixel's
    // centre falls in it, as fractions u, v of its extents (inside when both
    // lie in [0, 1)). Under a turn or shear every pixel of the box around the
    // mapped corners is mapped back to logical units.
    Axis ax, ay;
    long i0, i1, j0, j1;
    if (!m_skewed) {
        const PointD p = _map(x, y), q = _map(x + w, y + h);
        if (p.x == q.x || p.y == q.y || !std::isfinite(p.x + p.y + q.x + q.y))
            return true;
        if (m_state.layout & kLayoutRtl)
            ax = MirroredAxis(p.x, q.x, m_raster.Width(), m_state.layout & kLayoutKeepBitmaps);
        else
            ax = CanvasAxis(p.x, q.x, m_raster.Width());
        ay = CanvasAxis(p.y, q.y, m_raster.Height());
        i0 = ax.first, i1 = ax.end, j0 = ay.first, j1 = ay.end;
    } else {
        if (w == 0 || h == 0)
            return true;
        const PointD c[4] = {_map(x, y), _map(x + w, y), _map(x + w, y + h), _map(x, y + h)};
        double x0 = c[0].x, x1 = x0, y0 = c[0].y, y1 = y0;
        for (const PointD& q : c) {
            x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
            y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
        }
        if (!std::isfinite(x0 + x1 + y0 + y1))
            return true;
        auto clampTo = [](double v, int limit) {
            return (long)std::max(0.0, std::min(v, (double)limit));
        };
        i0 = clampTo(std::floor(x0), m_raster.Width()), i1 = clampTo(std::ceil(x1), m_raster.Width());
        j0 = clampTo(std::floor(y0), m_raster.Height()), j1 = clampTo(std::ceil(y1), m_raster.Height());
    }
    if (i0 >= i1 || j0 >= j1)
        return true;
    auto fractions = [&](long i, long j, double& u, double& v) {
        if (!m_skewed) {
            u = ax.Fraction(i), v = ay.Fraction(j);
            return true;
        }
        double lx, ly;
        m_fromCanvas.Apply(i + 0.5, j + 0.5, lx, ly);
        u = (lx - x) / w, v = (ly - y) / h;
        return u >= 0 && u < 1 && v >= 0 && v < 1;
    };
    // A turned or sheared blit under a right-to-left layout is mirrored by
    // the map; one whose layout keeps bitmaps the way round reads its source
    // and mask turned back, right to left within their rectangles, so that
    // the two reflections cancel and the picture sits where the mirror puts
    // it but reads as drawn. (Upright blits do this in MirroredAxis.)
    const bool turnBack =
        m_skewed && (m_state.layout & kLayoutRtl) && (m_state.layout & kLayoutKeepBitmaps);
    auto across = [turnBack](long origin, long extent, double u) {
        const long at = SourceAt(origin, extent, u);
        if (!turnBack)
            return at;
        // As far from the rectangle's last column as `at` is from its first.
        const long last = origin + (extent < 0 ? -1 : 1) * (std::labs(extent) - 1);
        return origin + last - at;
    };
    const bool readPattern =
        mix == nullptr && (RopReadsPattern(code) || (mask && RopReadsPattern(mask->background)));
    if (readPattern && m_state.brush.style == kBrushNull)
        return true;  // a hollow brush paints nothing
    const bool readDest =
        mix != nullptr || RopReadsDest(code) || (mask && RopReadsDest(mask->background));
    const std::shared_ptr<const Pattern> pattern =
        readPattern ? _brushPattern(m_state.brush) : nullptr;
    m_raster.Charge((uint64_t)(i1 - i0) * (uint64_t)(j1 - j0) * kBlitPixelWork);
    for (long j = j0; j < j1 && !m_raster.Spent(); j++) {
        long runStart = -1;
        COLORREF runColour = 0;
        for (long i = i0; i <= i1; i++) {
            double u = 0, v = 0;
            bool have = i < i1 && fractions(i, j, u, v);
            COLORREF c = 0;
            if (have) {
                COLORREF s = 0, pat = m_state.brush.colour;
                long srcX = 0, srcY = 0;
                if (source != nullptr) {
                    srcX = across(sx, sw, u), srcY = SourceAt(sy, sh, v);
                    have = srcX >= 0 && srcX < source->Width() && srcY >= 0 &&
                           srcY < source->Height() && source->HasRow(srcY);
                    if (have)
                        s = source->At(srcX, srcY);
                }
                if (have && pattern)
                    pat = pattern->At(i, j);
                have = have && pat != kNoPixel;
                BYTE pixelCode = code;
                if (have && mask != nullptr) {
                    // Outside the mask nothing is drawn.
                    const long maskX = across(mask->x, w, u), maskY = SourceAt(mask->y, h, v);
                    have = maskX >= 0 && maskX < mask->reader->Width() && maskY >= 0 &&
                           maskY < mask->reader->Height();
                    if (have && mask->reader->Index(maskX, maskY) == 0)
                        pixelCode = mask->background;
                }
                if (have && mix != nullptr && pixelCode == code)
                    have = mix->Mix(*source, srcX, srcY, m_raster.Get((int)i, (int)j), c);
                else if (have)
                    c = RopColour(pixelCode, pat, s, readDest ? m_raster.Get((int)i, (int)j) : 0);
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
