// Scratch rows of a drawn image: the reference forms, one pixel at a time
// from the drawing rules, and the fast forms that must give the same bytes.
#include "rasterdrawrows.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rasterdraw {

namespace {

// What an index past the palette draws: black.
const BYTE kBlack[3] = {0, 0, 0};

// The palette index of pixel x of a row of 1, 4 or 8 bits.
inline BYTE PaletteIndex(const BYTE* row, long x, WORD bpp)
{
    if (bpp == 8)
        return row[x];
    if (bpp == 4)
        return (BYTE)((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
    return (BYTE)((row[x >> 3] >> (7 - (x & 7))) & 1);
}

std::atomic<bool>& FastFlag()
{
    static std::atomic<bool> flag(!(std::getenv("KESTREL_BLIT") != NULL &&
                                    strcmp(std::getenv("KESTREL_BLIT"), "ref") == 0));
    return flag;
}

// A pixel's three bytes as one value, blue lowest, and back.
inline DWORD Load24(const BYTE* p)
{
    return (DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16;
}

inline void Store24(BYTE* p, DWORD v)
{
    p[0] = (BYTE)v;
    p[1] = (BYTE)(v >> 8);
    p[2] = (BYTE)(v >> 16);
}

// (background x (255 - a) + colour x a) >> 8 in each channel, for a from 1
// to 254: blue and red side by side in 16-bit lanes (each sum is at most
// 255 x 255, so neither reaches into the other), green alone.
inline DWORD Mix(DWORD bg, DWORD col, DWORD a)
{
    const DWORD na = 255 - a;
    const DWORD rb = (((bg & 0xFF00FF) * na + (col & 0xFF00FF) * a) >> 8) & 0xFF00FF;
    const DWORD g = (((bg & 0x00FF00) * na + (col & 0x00FF00) * a) >> 8) & 0x00FF00;
    return rb | g;
}

// Writes colour col of alpha a over the pixel at d.
inline void Put(BYTE* d, DWORD col, DWORD a)
{
    if (a == 255)
        Store24(d, col);
    else if (a != 0)
        Store24(d, Mix(Load24(d), col, a));
}

}  // namespace

bool FastPaths()
{
    return FastFlag().load(std::memory_order_relaxed);
}

void SetFastPaths(bool fast)
{
    FastFlag().store(fast, std::memory_order_relaxed);
}

void SampleRowRef(const Picture& p, long sy, const long* sx, long w, BYTE* dst)
{
    const BYTE* src = p.bits + (size_t)sy * p.stride;
    BYTE* d = dst;
    for (long c = 0; c < w; c++, d += 3) {
        const BYTE* px = p.bpp == 24 ? src + 3 * (size_t)sx[c] : NULL;
        if (px == NULL) {
            const BYTE ci = PaletteIndex(src, sx[c], p.bpp);
            px = ci < p.colours ? reinterpret_cast<const BYTE*>(&p.palette[ci]) : kBlack;
        }
        d[0] = px[0];
        d[1] = px[1];
        d[2] = px[2];
    }
}

void BlendRowRef(const Picture& p, long sy, const long* sx, long w, BYTE* dst)
{
    const BYTE* src = p.bits + (size_t)sy * p.stride;
    const BYTE* alpharow = p.alpha != NULL ? p.alpha + (size_t)sy * (size_t)p.width : NULL;
    BYTE* d = dst;
    for (long c = 0; c < w; c++, d += 3) {
        const long s = sx[c];
        RGBQUAD col;
        int a = alpharow != NULL ? alpharow[s] : 255;
        a = (a * (p.alphaMax + 1)) >> 8;
        if (p.bpp == 24) {
            const BYTE* px = src + 3 * (size_t)s;
            col.rgbBlue = px[0];
            col.rgbGreen = px[1];
            col.rgbRed = px[2];
            col.rgbReserved = 0;
            if (p.transparent && memcmp(&col, &p.transColour, sizeof(col)) == 0)
                continue;
        } else {
            const BYTE ci = PaletteIndex(src, s, p.bpp);
            if (ci < p.colours) {
                col = p.palette[ci];
            } else {
                memset(&col, 0, sizeof(col));
            }
            if (p.alphaPalette)
                a = ((col.rgbReserved + 1) * a) >> 8;
            if (p.transparent && ci == p.transIndex)
                continue;
        }
        if (a == 255) {
            d[0] = col.rgbBlue;
            d[1] = col.rgbGreen;
            d[2] = col.rgbRed;
        } else if (a != 0) {
            d[0] = (BYTE)((d[0] * (255 - a) + col.rgbBlue * a) >> 8);
            d[1] = (BYTE)((d[1] * (255 - a) + col.rgbGreen * a) >> 8);
            d[2] = (BYTE)((d[2] * (255 - a) + col.rgbRed * a) >> 8);
        }
    }
}

FastRows::FastRows(const Picture& p, const long* sx, long w)
    : m_p(p), m_sx(sx), m_w(w), m_consecutive(true), m_widest(w > 0 ? sx[0] : 0)
{
    for (long c = 1; c < w; c++) {
        m_consecutive = m_consecutive && sx[c] == sx[0] + c;
        m_widest = sx[c] > m_widest ? sx[c] : m_widest;
    }
    if (p.bpp == 24 && 3 * (uint64_t)m_widest + 4 <= UINT32_MAX) {
        try {
            m_at.resize((size_t)w);
        } catch (const std::bad_alloc&) {
            m_at.clear();  // the columns themselves serve
        }
        for (size_t c = 0; c < m_at.size(); c++)
            m_at[c] = (uint32_t)(3 * sx[c]);
    }
    for (int v = 0; v < 256; v++)
        m_scaled[v] = (DWORD)((v * (p.alphaMax + 1)) >> 8);
    // Per index: the colour, and the weight that turns the scaled alpha into
    // the pixel's own: the palette's reserved byte + 1 when it counts, 256
    // (the alpha as it is) when not, 0 for the transparent index.
    for (int i = 0; i < 256; i++) {
        RGBQUAD q = {0, 0, 0, 0};
        if (p.palette != NULL && (DWORD)i < p.colours)
            q = p.palette[i];
        m_colour[i] = (DWORD)q.rgbBlue | (DWORD)q.rgbGreen << 8 | (DWORD)q.rgbRed << 16;
        m_weight[i] = p.alphaPalette ? q.rgbReserved + 1u : 256u;
        if (p.transparent && i == p.transIndex)
            m_weight[i] = 0;
    }
    // The key takes all four bytes: a reserved byte other than 0 matches no
    // pixel of a 24-bit image.
    const RGBQUAD k = p.transColour;
    m_key = p.transparent && k.rgbReserved == 0
                ? (DWORD)k.rgbBlue | (DWORD)k.rgbGreen << 8 | (DWORD)k.rgbRed << 16
                : 0xFFFFFFFF;
    // (a, 255 - a), except (0, 256) for a = 0 and (256, 0) for a = 255, which
    // give the background and the colour exactly. A 16-bit lane's sum of
    // products is then at most 255 x 256: nothing overflows.
    for (int a = 0; a < 256; a++) {
        const WORD wc = (WORD)(a == 255 ? 256 : a), wb = (WORD)(a == 0 ? 256 : 255 - a);
        for (int i = 0; i < 4; i++) {
            m_byAlpha[a].w[i] = wc;
            m_byAlpha[a].w[4 + i] = wb;
        }
    }
    for (int v = 0; v < 256; v++)
        m_byPlane[v] = m_byAlpha[m_scaled[v]];
}

template <int BPP>
inline DWORD FastRows::_colour(const BYTE* row, long s) const
{
    if (BPP == 24)
        return Load24(row + 3 * (size_t)s);
    if (BPP == 8)
        return m_colour[row[s]];
    if (BPP == 4)
        return m_colour[(row[s >> 1] >> ((s & 1) ? 0 : 4)) & 0x0F];
    return m_colour[(row[s >> 3] >> (7 - (s & 7))) & 1];
}

template <int BPP>
inline DWORD FastRows::_alpha(const BYTE* row, const BYTE* alpharow, long s, DWORD colour) const
{
    const DWORD a = m_scaled[alpharow != NULL ? alpharow[s] : 255];
    if (BPP == 24)
        return colour == m_key ? 0 : a;
    if (BPP == 8)
        return (m_weight[row[s]] * a) >> 8;
    if (BPP == 4)
        return (m_weight[(row[s >> 1] >> ((s & 1) ? 0 : 4)) & 0x0F] * a) >> 8;
    return (m_weight[(row[s >> 3] >> (7 - (s & 7))) & 1] * a) >> 8;
}

template <int BPP, int D>
void FastRows::_sample(const BYTE* row, const long* sx, long w, BYTE* dst) const
{
    for (long c = 0; c < w; c++, dst += D) {
        Store24(dst, _colour<BPP>(row, sx[c]));
        if (D == 4)
            dst[3] = 0;
    }
}

namespace {

// Row of 24-bit pixels sampled at sx[0 .. w) into dst, pixels read by
// pixel(s) (a word, or bytes, as the caller knows is safe).
template <int D, typename Column, typename Pixel>
void SampleWords(const Column* sx, long w, BYTE* dst, Pixel pixel)
{
    long c = 0;
    if (D == 4) {
        for (; c < w; c++, dst += 4) {
            const DWORD v = pixel(sx[c]);
            memcpy(dst, &v, 4);
        }
        return;
    }
    // Whole words out too, two pixels a word: what runs past a pixel is the
    // next pixel's, written over by it; the row's last pixel goes byte by
    // byte.
    for (; c + 3 < w; c += 2, dst += 6) {
        const uint64_t v = (uint64_t)pixel(sx[c]) | (uint64_t)pixel(sx[c + 1]) << 24;
        memcpy(dst, &v, 8);
    }
    for (; c + 1 < w; c++, dst += 3) {
        const DWORD v = pixel(sx[c]);
        memcpy(dst, &v, 4);
    }
    for (; c < w; c++, dst += 3)
        Store24(dst, pixel(sx[c]));
}

}  // namespace

// A 24-bit pixel read as a word with the byte after it, the fourth byte
// then dropped, where that byte is still inside the pixel block (whole:
// for every column of the row; otherwise the top row's last pixels come a
// byte at a time).
template <int D>
void FastRows::_sample24(const BYTE* row, bool whole, BYTE* dst) const
{
    if (whole && !m_at.empty()) {
        SampleWords<D>(m_at.data(), m_w, dst, [row](uint32_t at) {
            DWORD v;
            memcpy(&v, row + at, 4);
            return v & 0xFFFFFF;
        });
        return;
    }
    if (whole) {
        SampleWords<D>(m_sx, m_w, dst, [row](long s) {
            DWORD v;
            memcpy(&v, row + 3 * (size_t)s, 4);
            return v & 0xFFFFFF;
        });
        return;
    }
    const long last = m_p.width - 2;  // the last column read whole
    SampleWords<D>(m_sx, m_w, dst, [row, last](long s) {
        DWORD v;
        if (s <= last) {
            memcpy(&v, row + 3 * (size_t)s, 4);
            return v & 0xFFFFFF;
        }
        return Load24(row + 3 * (size_t)s);
    });
}

void FastRows::Sample(long sy, BYTE* dst, int bytes) const
{
    const BYTE* row = m_p.bits + (size_t)sy * m_p.stride;
    const long* sx = m_sx;
    const long w = m_w;
    // Below the top row the next row follows every pixel; in the top row a
    // word from the last pixel may run past the block unless padding follows.
    const bool whole = sy < m_p.height - 1 || 3 * (size_t)m_widest + 4 <= m_p.stride;
    switch (m_p.bpp * 8 + bytes) {
    case 24 * 8 + 4: _sample24<4>(row, whole, dst); break;
    case 24 * 8 + 3: _sample24<3>(row, whole, dst); break;
    case 8 * 8 + 4: _sample<8, 4>(row, sx, w, dst); break;
    case 8 * 8 + 3: _sample<8, 3>(row, sx, w, dst); break;
    case 4 * 8 + 4: _sample<4, 4>(row, sx, w, dst); break;
    case 4 * 8 + 3: _sample<4, 3>(row, sx, w, dst); break;
    case 1 * 8 + 4: _sample<1, 4>(row, sx, w, dst); break;
    default: _sample<1, 3>(row, sx, w, dst); break;
    }
}

#if defined(__SSE2__)
namespace {

// Four pixels (0x00RRGGBB lanes) over four background pixels, each with
// its weights (colour's four lanes, then the background's): each channel
// (background x wb + colour x wc) >> 8 in a 16-bit lane, the result's fourth
// bytes 0.
inline __m128i Mix4(__m128i bg, __m128i col, const WORD* w0, const WORD* w1, const WORD* w2,
                    const WORD* w3)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i e0 = _mm_load_si128(reinterpret_cast<const __m128i*>(w0));
    const __m128i e1 = _mm_load_si128(reinterpret_cast<const __m128i*>(w1));
    const __m128i e2 = _mm_load_si128(reinterpret_cast<const __m128i*>(w2));
    const __m128i e3 = _mm_load_si128(reinterpret_cast<const __m128i*>(w3));
    const __m128i lo = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(bg, zero), _mm_unpackhi_epi64(e0, e1)),
                      _mm_mullo_epi16(_mm_unpacklo_epi8(col, zero), _mm_unpacklo_epi64(e0, e1))),
        8);
    const __m128i hi = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(bg, zero), _mm_unpackhi_epi64(e2, e3)),
                      _mm_mullo_epi16(_mm_unpackhi_epi8(col, zero), _mm_unpacklo_epi64(e2, e3))),
        8);
    return _mm_and_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(0x00FFFFFF));
}

// 24-bit pixel k of a register's low twelve bytes moved up k bytes into
// 32-bit lane k, the rest of each lane cleared; and back.
inline __m128i Spread(__m128i x)
{
    const __m128i lane0 = _mm_set_epi32(0, 0, 0, 0xFFFFFF);
    const __m128i lane1 = _mm_set_epi32(0, 0, 0xFFFFFF, 0);
    const __m128i lane2 = _mm_set_epi32(0, 0xFFFFFF, 0, 0);
    const __m128i lane3 = _mm_set_epi32(0xFFFFFF, 0, 0, 0);
    return _mm_or_si128(
        _mm_or_si128(_mm_and_si128(x, lane0), _mm_and_si128(_mm_slli_si128(x, 1), lane1)),
        _mm_or_si128(_mm_and_si128(_mm_slli_si128(x, 2), lane2), _mm_and_si128(_mm_slli_si128(x, 3), lane3)));
}

inline __m128i Gather(__m128i x)
{
    const __m128i lane0 = _mm_set_epi32(0, 0, 0, 0xFFFFFF);
    const __m128i lane1 = _mm_set_epi32(0, 0, 0xFFFFFF, 0);
    const __m128i lane2 = _mm_set_epi32(0, 0xFFFFFF, 0, 0);
    const __m128i lane3 = _mm_set_epi32(0xFFFFFF, 0, 0, 0);
    return _mm_or_si128(
        _mm_or_si128(_mm_and_si128(x, lane0), _mm_srli_si128(_mm_and_si128(x, lane1), 1)),
        _mm_or_si128(_mm_srli_si128(_mm_and_si128(x, lane2), 2), _mm_srli_si128(_mm_and_si128(x, lane3), 3)));
}

// Four pixels of D bytes in and out as 0x00RRGGBB lanes; twelve bytes of
// 24-bit pixels as a word of eight and one of four, never more.
template <int D>
inline __m128i Load4(const BYTE* p)
{
    if (D == 4)
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    DWORD last;
    memcpy(&last, p + 8, 4);
    return Spread(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                     _mm_cvtsi32_si128((int)last)));
}

template <int D>
inline void Store4(BYTE* p, __m128i x)
{
    if (D == 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
        return;
    }
    const __m128i packed = Gather(x);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), packed);
    const DWORD last = (DWORD)_mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
    memcpy(p + 8, &last, 4);
}

}  // namespace
#endif

template <int BPP, int D>
void FastRows::_blend(const BYTE* row, const BYTE* alpharow, const long* sx, long w, BYTE* dst) const
{
    long c = 0;
#if defined(__SSE2__)
    // Four pixels a step: their colours and alphas gathered, then mixed
    // together.
    for (; c + 4 <= w; c += 4, dst += 4 * D) {
        DWORD col[4], a[4];
        for (int i = 0; i < 4; i++) {
            col[i] = _colour<BPP>(row, sx[c + i]);
            a[i] = _alpha<BPP>(row, alpharow, sx[c + i], col[i]);
        }
        if (D == 3 && (a[0] | a[1] | a[2] | a[3]) == 0)
            continue;  // all four keep the background
        const __m128i cols = _mm_set_epi32((int)col[3], (int)col[2], (int)col[1], (int)col[0]);
        Store4<D>(dst, Mix4(Load4<D>(dst), cols, m_byAlpha[a[0]].w, m_byAlpha[a[1]].w,
                            m_byAlpha[a[2]].w, m_byAlpha[a[3]].w));
    }
#endif
    for (; c < w; c++, dst += D) {
        const DWORD col = _colour<BPP>(row, sx[c]);
        Put(dst, col, _alpha<BPP>(row, alpharow, sx[c], col));
        if (D == 4)
            dst[3] = 0;
    }
}

template <int D>
void FastRows::_blendSpan24(const BYTE* src, const BYTE* alpha, long w, BYTE* dst) const
{
    long c = 0;
#if defined(__SSE2__)
    // Consecutive pixels of a 24-bit image without a transparent colour:
    // four colours from one 16-byte load (so six pixels must be left to
    // read), each moved up into its lane, and their weights straight from
    // the alpha plane's values.
    const WORD* opaque = m_byPlane[255].w;
    for (; c + 6 <= w; c += 4, src += 12, dst += 4 * D) {
        const __m128i cols = Spread(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
        const __m128i bg = Load4<D>(dst);
        if (alpha != NULL)
            Store4<D>(dst, Mix4(bg, cols, m_byPlane[alpha[c]].w, m_byPlane[alpha[c + 1]].w,
                                m_byPlane[alpha[c + 2]].w, m_byPlane[alpha[c + 3]].w));
        else
            Store4<D>(dst, Mix4(bg, cols, opaque, opaque, opaque, opaque));
    }
#endif
    for (; c < w; c++, src += 3, dst += D) {
        Put(dst, Load24(src), m_scaled[alpha != NULL ? alpha[c] : 255]);
        if (D == 4)
            dst[3] = 0;
    }
}

void FastRows::Blend(long sy, BYTE* dst, int bytes) const
{
    const long* sx = m_sx;
    const long w = m_w;
    const BYTE* row = m_p.bits + (size_t)sy * m_p.stride;
    const BYTE* alpharow = m_p.alpha != NULL ? m_p.alpha + (size_t)sy * (size_t)m_p.width : NULL;
    if (m_consecutive && m_p.bpp == 24 && m_key > 0xFFFFFF && w > 0) {
        const long s = sx[0];
        const BYTE* alpha = alpharow != NULL ? alpharow + s : NULL;
        if (bytes == 4)
            _blendSpan24<4>(row + 3 * (size_t)s, alpha, w, dst);
        else
            _blendSpan24<3>(row + 3 * (size_t)s, alpha, w, dst);
        return;
    }
    switch (m_p.bpp * 8 + bytes) {
    case 24 * 8 + 4: _blend<24, 4>(row, alpharow, sx, w, dst); break;
    case 24 * 8 + 3: _blend<24, 3>(row, alpharow, sx, w, dst); break;
    case 8 * 8 + 4: _blend<8, 4>(row, alpharow, sx, w, dst); break;
    case 8 * 8 + 3: _blend<8, 3>(row, alpharow, sx, w, dst); break;
    case 4 * 8 + 4: _blend<4, 4>(row, alpharow, sx, w, dst); break;
    case 4 * 8 + 3: _blend<4, 3>(row, alpharow, sx, w, dst); break;
    case 1 * 8 + 4: _blend<1, 4>(row, alpharow, sx, w, dst); break;
    default: _blend<1, 3>(row, alpharow, sx, w, dst); break;
    }
}

}  // namespace rasterdraw
