// Resizing: nearest neighbour, bicubic B-spline, box averaging in fixed point
// and bilinear interpolation. Each path computes its sampling positions and
// weights in single precision exactly as the formulas are written (built
// without fused multiply-add), so every compiler gives the same pixels.
// Per-column values are computed once per row or once per image; that only
// reorders when a product is formed, never how.
#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "rasterimage.h"
#include "rasterbox.h"
#include "rasternearest.h"

float RasterImage::b3spline(float x)
{
    // P(t) = t^3 for t > 0, else 0.
    const float a = x + 2.0f, b = x + 1.0f, d = x - 1.0f;
    const float pa = a > 0.0f ? a * a * a : 0.0f;
    const float pb = b > 0.0f ? b * b * b : 0.0f;
    const float pc = x > 0.0f ? x * x * x : 0.0f;
    const float pd = d > 0.0f ? d * d * d : 0.0f;
    return (pa - 4.0f * pb + 6.0f * pc - 4.0f * pd) * 0.16666667f;
}

namespace {

long ClampTo(long v, long last)
{
    return v < 0 ? 0 : v > last ? last : v;
}

// The source column of each new column for nearest-neighbour sampling:
// (long)(x * k) with the product formed in single precision.
std::vector<long> NearestPositions(long count, float k)
{
    std::vector<long> at((size_t)count);
    for (long i = 0; i < count; i++)
        at[(size_t)i] = (long)((float)i * k);
    return at;
}

}  // namespace

namespace {

// Mode 1. 24-bit pixels move as bytes; palette pixels keep the colour through
// the working copy's nearest index, worked out once per palette entry (the
// copy has the same palette, so the search gives the same answer for every
// pixel of an entry).
void ResampleNearest(RasterImage& src, RasterImage& out, float kx, float ky,
                     bool (*progress)(RasterImage&, long, long))
{
    const long width = (long)src.GetWidth(), height = (long)src.GetHeight();
    const long nw = (long)out.GetWidth(), nh = (long)out.GetHeight();
    const std::vector<long> cols = NearestPositions(nw, kx);
    const RGBQUAD outside = src.GetPixelColor(-1, -1, true);
    if (src.GetBpp() == 24) {
        for (long y = 0; y < nh; y++) {
            if (progress(src, y, nh))
                break;
            const long sy = (long)((float)y * ky);
            const BYTE* row =
                (unsigned long)sy < (unsigned long)height ? src.GetBits((DWORD)sy) : NULL;
            BYTE* d = out.GetBits((DWORD)y);
            long x = 0;
            if (row != NULL) {
                // Four bytes at a time where both sides have a byte to spare
                // after the pixel: the next pixel overwrites the fourth.
                for (; x + 1 < nw && cols[(size_t)x] + 1 < width; x++, d += 3) {
                    uint32_t v;
                    memcpy(&v, row + 3 * cols[(size_t)x], 4);
                    memcpy(d, &v, 4);
                }
            }
            for (; x < nw; x++, d += 3) {
                const long sx = cols[(size_t)x];
                if (row != NULL && (unsigned long)sx < (unsigned long)width) {
                    const BYTE* p = row + 3 * sx;
                    d[0] = p[0];
                    d[1] = p[1];
                    d[2] = p[2];
                } else {
                    d[0] = outside.rgbBlue;
                    d[1] = outside.rgbGreen;
                    d[2] = outside.rgbRed;
                }
            }
        }
        return;
    }
    BYTE lut[256];
    for (DWORD i = 0; i < 256; i++)
        lut[i] = i < src.GetNumColors() ? out.GetNearestIndex(src.GetPaletteColor((BYTE)i)) : 0;
    const BYTE outsideIndex = out.GetNearestIndex(outside);
    for (long y = 0; y < nh; y++) {
        if (progress(src, y, nh))
            break;
        const long sy = (long)((float)y * ky);
        for (long x = 0; x < nw; x++) {
            const long sx = cols[(size_t)x];
            out.SetPixelIndex(x, y,
                              src.IsInside(sx, sy) ? lut[src.GetPixelIndex(sx, sy)] : outsideIndex);
        }
    }
}

// Mode 2: sixteen samples weighted by the cubic B-spline, positions clamped
// to the image.
// A 24-bit pixel's bytes as four floats (blue, green, red, and whatever
// follows, which no result uses); the fourth byte is read only where the
// row has one after the pixel.
inline __m128 PixelFloats(const BYTE* p, bool fourth)
{
    uint32_t v = 0;
    if (fourth)
        memcpy(&v, p, 4);
    else
        v = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16);
    const __m128i zero = _mm_setzero_si128();
    return _mm_cvtepi32_ps(
        _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128((int)v), zero), zero));
}

// One new 24-bit row of the bicubic mode. The lanes hold blue, green and red
// and take the same products and sums, in the same order, as the formula per
// channel.
void BicubicRow(RasterImage& src, const long rows[4], const float wy[4],
                const std::vector<int>& ixs, const std::vector<float>& wxs, BYTE* d, long nw)
{
    const long width = (long)src.GetWidth();
    const long rowBytes = (long)src.GetEffWidth();
    const BYTE* r[4];
    __m128 w1[4];
    for (int m = 0; m < 4; m++) {
        r[m] = src.GetBits((DWORD)rows[m]);
        w1[m] = _mm_set1_ps(wy[m]);
    }
    for (long x = 0; x < nw; x++, d += 3) {
        long offsets[4];
        bool fourth[4];
        __m128 wx[4];
        for (int n = 0; n < 4; n++) {
            offsets[n] = 3 * ClampTo(ixs[(size_t)x] + n - 1, width - 1);
            fourth[n] = offsets[n] + 4 <= rowBytes;
            wx[n] = _mm_set1_ps(wxs[(size_t)x * 4 + (size_t)n]);
        }
        __m128 sum = _mm_setzero_ps();
        for (int m = 0; m < 4; m++)
            for (int n = 0; n < 4; n++)
                sum = _mm_add_ps(sum, _mm_mul_ps(PixelFloats(r[m] + offsets[n], fourth[n]),
                                                 _mm_mul_ps(w1[m], wx[n])));
        // Truncated toward zero, the low byte of each kept.
        const __m128i v = _mm_cvttps_epi32(sum);
        d[0] = (BYTE)_mm_cvtsi128_si32(v);
        d[1] = (BYTE)_mm_cvtsi128_si32(_mm_srli_si128(v, 4));
        d[2] = (BYTE)_mm_cvtsi128_si32(_mm_srli_si128(v, 8));
    }
}

void ResampleBicubic(RasterImage& src, RasterImage& out, float kx, float ky,
                     bool (*progress)(RasterImage&, long, long))
{
    const long width = (long)src.GetWidth(), height = (long)src.GetHeight();
    const long nw = (long)out.GetWidth(), nh = (long)out.GetHeight();
    const bool palette = src.IsIndexed();
    // Palette pixels store the nearest entry of their colour.
    rasternearest::NearestIndexCache nearest(out);
    // Per column: the first sample column and the four horizontal weights.
    std::vector<int> ixs((size_t)nw);
    std::vector<float> wxs((size_t)nw * 4);
    for (long x = 0; x < nw; x++) {
        const float fx = (float)((float)x * kx - 0.5);
        const float ax = fx - floorf(fx);
        ixs[(size_t)x] = (int)floorf(fx);
        for (int n = -1; n <= 2; n++)
            wxs[(size_t)x * 4 + (size_t)(n + 1)] = RasterImage::b3spline(ax - (float)n);
    }
    for (long y = 0; y < nh; y++) {
        if (progress(src, y, nh))
            break;
        const float fy = (float)((float)y * ky - 0.5);
        const int iy = (int)floorf(fy);
        const float ay = fy - floorf(fy);
        float wy[4];
        long rows[4];
        for (int m = -1; m <= 2; m++) {
            wy[m + 1] = RasterImage::b3spline((float)m - ay);
            rows[m + 1] = ClampTo(iy + m, height - 1);
        }
        if (!palette) {
            BicubicRow(src, rows, wy, ixs, wxs, out.GetBits((DWORD)y), nw);
            continue;
        }
        for (long x = 0; x < nw; x++) {
            float sr = 0, sg = 0, sb = 0;
            const int ix = ixs[(size_t)x];
            const float* wx = &wxs[(size_t)x * 4];
            for (int m = 0; m < 4; m++) {
                const float w1 = wy[m];
                const BYTE* row = src.GetBits((DWORD)rows[m]);
                for (int n = 0; n < 4; n++) {
                    const float w = w1 * wx[n];
                    const long xx = ClampTo(ix + n - 1, width - 1);
                    BYTE b, g, r;
                    if (palette) {
                        const RGBQUAD c = src.GetPixelColor(xx, rows[m], true);
                        b = c.rgbBlue;
                        g = c.rgbGreen;
                        r = c.rgbRed;
                    } else {
                        b = row[3 * xx];
                        g = row[3 * xx + 1];
                        r = row[3 * xx + 2];
                    }
                    sr += r * w;
                    sg += g * w;
                    sb += b * w;
                }
            }
            const RGBQUAD c = {(BYTE)(long)sb, (BYTE)(long)sg, (BYTE)(long)sr, 0};
            out.SetPixelIndex(x, y, nearest.Find(c));
        }
    }
}

// Bilinear weights of one axis: the sample and its neighbour (clamped to the
// last pixel) and the fraction towards the neighbour.
struct LinearPosition {
    long i0, i1;
    float f;
};

std::vector<LinearPosition> LinearPositions(long count, float k, long last)
{
    std::vector<LinearPosition> at((size_t)count);
    for (long i = 0; i < count; i++) {
        const float fi = (float)i * k;
        const long i0 = (long)fi;
        at[(size_t)i].f = fi - (float)i0;
        at[(size_t)i].i0 = i0 < last ? i0 : last;
        at[(size_t)i].i1 = i0 + 1 < last ? i0 + 1 : last;
    }
    return at;
}

// The across mix of one new column: where its two vertical mixes start and
// their weights 1 - dx and dx in every lane.
struct ColumnMix {
    __m128 w0, w1;
    long o0, o1;
};

std::vector<ColumnMix> ColumnMixes(const std::vector<LinearPosition>& cols)
{
    std::vector<ColumnMix> mixes(cols.size());
    for (size_t i = 0; i < cols.size(); i++) {
        mixes[i].w0 = _mm_set1_ps(1 - cols[i].f);
        mixes[i].w1 = _mm_set1_ps(cols[i].f);
        mixes[i].o0 = 3 * cols[i].i0;
        mixes[i].o1 = 3 * cols[i].i1;
    }
    return mixes;
}

// One new 24-bit row. The vertical mix of each source column,
// c(row0) x (1 - dy) + c(row1) x dy, is the same for every new pixel that
// reads the column, so it is made once per row for all columns (the very
// products and sums of the formula); each new pixel then mixes two of them
// across, four lanes holding blue, green and red side by side.
void BilinearRow(const BYTE* row0, const BYTE* row1, long width, float dy,
                 const std::vector<ColumnMix>& mixes, std::vector<float>& vertical, BYTE* dst,
                 long nw)
{
    const long bytes = 3 * width;
    float* v = vertical.data();
    const __m128 vdy = _mm_set1_ps(dy), vdy1 = _mm_set1_ps(1.0f - dy);
    const __m128i zero = _mm_setzero_si128();
    long i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row0 + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row1 + i));
        const __m128i a16[2] = {_mm_unpacklo_epi8(a, zero), _mm_unpackhi_epi8(a, zero)};
        const __m128i b16[2] = {_mm_unpacklo_epi8(b, zero), _mm_unpackhi_epi8(b, zero)};
        for (int h = 0; h < 2; h++) {
            const __m128 fa0 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(a16[h], zero));
            const __m128 fa1 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(a16[h], zero));
            const __m128 fb0 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(b16[h], zero));
            const __m128 fb1 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(b16[h], zero));
            _mm_storeu_ps(v + i + 8 * h, _mm_add_ps(_mm_mul_ps(fa0, vdy1), _mm_mul_ps(fb0, vdy)));
            _mm_storeu_ps(v + i + 8 * h + 4,
                          _mm_add_ps(_mm_mul_ps(fa1, vdy1), _mm_mul_ps(fb1, vdy)));
        }
    }
    for (; i + 4 <= bytes; i += 4) {
        uint32_t a, b;
        memcpy(&a, row0 + i, 4);
        memcpy(&b, row1 + i, 4);
        const __m128 fa = _mm_cvtepi32_ps(
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128((int)a), zero), zero));
        const __m128 fb = _mm_cvtepi32_ps(
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128((int)b), zero), zero));
        _mm_storeu_ps(v + i, _mm_add_ps(_mm_mul_ps(fa, vdy1), _mm_mul_ps(fb, vdy)));
    }
    for (; i < bytes; i++)
        v[i] = row0[i] * (1 - dy) + row1[i] * dy;
    long x = 0;
    // Two new pixels a step; the eight bytes stored hold both, and the two
    // past them belong to the next pixel, written after.
    for (; x + 2 < nw; x += 2, dst += 6) {
        const ColumnMix& a = mixes[(size_t)x];
        const ColumnMix& b = mixes[(size_t)x + 1];
        const __m128 va = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(v + a.o0), a.w0),
                                     _mm_mul_ps(_mm_loadu_ps(v + a.o1), a.w1));
        const __m128 vb = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(v + b.o0), b.w0),
                                     _mm_mul_ps(_mm_loadu_ps(v + b.o1), b.w1));
        // Truncated to whole numbers, then the low byte of each (0..255 here).
        const __m128i packed =
            _mm_packus_epi16(_mm_packs_epi32(_mm_cvttps_epi32(va), _mm_cvttps_epi32(vb)), zero);
        const uint64_t two = (uint64_t)_mm_cvtsi128_si64(packed);
        const uint64_t six = (two & 0xFFFFFFu) | (((two >> 32) & 0xFFFFFFu) << 24);
        memcpy(dst, &six, 8);
    }
    for (; x < nw; x++, dst += 3) {
        const ColumnMix& a = mixes[(size_t)x];
        const __m128 va = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(v + a.o0), a.w0),
                                     _mm_mul_ps(_mm_loadu_ps(v + a.o1), a.w1));
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(_mm_cvttps_epi32(va), zero), zero);
        const uint32_t px = (uint32_t)_mm_cvtsi128_si32(packed);
        dst[0] = (BYTE)px;
        dst[1] = (BYTE)(px >> 8);
        dst[2] = (BYTE)(px >> 16);
    }
}

void ResampleBilinear(RasterImage& src, RasterImage& out, float kx, float ky,
                      bool (*progress)(RasterImage&, long, long))
{
    const long nw = (long)out.GetWidth(), nh = (long)out.GetHeight();
    const std::vector<LinearPosition> cols = LinearPositions(nw, kx, (long)src.GetWidth() - 1);
    const std::vector<LinearPosition> rows = LinearPositions(nh, ky, (long)src.GetHeight() - 1);
    const bool palette = src.IsIndexed();
    const long srcWidth = (long)src.GetWidth();
    // One row of vertical mixes, three floats a pixel, and room for the
    // fourth lane read past the last pixel.
    std::vector<float> vertical(palette ? 0 : (size_t)srcWidth * 3 + 4, 0.0f);
    const std::vector<ColumnMix> mixes = palette ? std::vector<ColumnMix>() : ColumnMixes(cols);
    rasternearest::NearestIndexCache nearest(out);
    for (long y = 0; y < nh; y++) {
        if (progress(src, y, nh))
            break;
        const LinearPosition& ry = rows[(size_t)y];
        const float dy = ry.f;
        if (!palette) {
            BilinearRow(src.GetBits((DWORD)ry.i0), src.GetBits((DWORD)ry.i1), srcWidth, dy, mixes,
                        vertical, out.GetBits((DWORD)y), nw);
            continue;
        }
        for (long x = 0; x < nw; x++) {
            const LinearPosition& cx = cols[(size_t)x];
            const float dx = cx.f;
            const RGBQUAD q1 = src.GetPaletteColor(src.GetPixelIndex(cx.i0, ry.i0));
            const RGBQUAD q2 = src.GetPaletteColor(src.GetPixelIndex(cx.i1, ry.i0));
            const RGBQUAD q3 = src.GetPaletteColor(src.GetPixelIndex(cx.i0, ry.i1));
            const RGBQUAD q4 = src.GetPaletteColor(src.GetPixelIndex(cx.i1, ry.i1));
            const BYTE* c1 = &q1.rgbBlue;
            const BYTE* c2 = &q2.rgbBlue;
            const BYTE* c3 = &q3.rgbBlue;
            const BYTE* c4 = &q4.rgbBlue;
            BYTE v[3];
            for (int i = 0; i < 3; i++) {
                const float left = c1[i] * (1 - dy) + c3[i] * dy;
                const float right = c2[i] * (1 - dy) + c4[i] * dy;
                v[i] = (BYTE)(long)(left * (1 - dx) + right * dx);
            }
            const RGBQUAD c = {v[0], v[1], v[2], 0};
            out.SetPixelIndex(x, y, nearest.Find(c));
        }
    }
}

}  // namespace

bool RasterImage::Resample(long newWidth, long newHeight, int mode, RasterImage* target)
{
    if (pDib == NULL || newWidth <= 0 || newHeight <= 0)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    if (newWidth == width && newHeight == height) {
        // Resampling into this very image would otherwise copy it onto itself.
        if (target != NULL && target != this)
            target->Copy(*this, true, true, true);
        return true;
    }
    const float kx = (float)width / newWidth, ky = (float)height / newHeight;
    RasterImage out;
    if (!_workingcopy(out, (DWORD)newWidth, (DWORD)newHeight, GetBpp()))
        return false;
    auto progress = [](RasterImage& image, long row, long rows) {
        return image._rowprogress(row, rows);
    };
    // Only an empty source gets here without a pixel to sample.
    if (width > 0 && height > 0) {
        if (mode == 1)
            ResampleNearest(*this, out, kx, ky, progress);
        else if (mode == 2)
            ResampleBicubic(*this, out, kx, ky, progress);
        else if (width > newWidth && height > newHeight && GetBpp() == 24)
            rasterbox::Shrink(*this, out, kx, ky, progress);
        else
            ResampleBilinear(*this, out, kx, ky, progress);
    }
    if (pAlpha != NULL) {
        out.AlphaCreate();
        const std::vector<long> cols = NearestPositions(newWidth, kx);
        for (long y = 0; y < newHeight; y++) {
            const long sy = (long)((float)y * ky);
            for (long x = 0; x < newWidth; x++)
                out.AlphaSet(x, y, AlphaGet(cols[(size_t)x], sy));
        }
    }
    _handover(out, target);
    return true;
}
