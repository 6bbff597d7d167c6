// The one transfer every blit goes through: source pixels converted to the
// destination's format (monochrome by the text and background colours),
// sampled nearest-neighbour, combined with the destination and the brush by
// a ternary raster operation, and written within the drawable area.
//
// Plain copies between 24- and 32-bit rows of whole-byte channels (the
// pictures a game draws and the surfaces it draws on), and of 5-6-5 rows
// into 8-8-8 ones (a frame presented), take a fast path of row loops beside
// the general one; KESTREL_BLIT=ref, or SetFastTransfers(false), sends them
// through the general path instead.
#include "gdi_internal.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Byte shuffles where the processor has them (asked at run time: the build
// assumes no more than SSE2).
#if defined(__GNUC__) && defined(__x86_64__)
#include <tmmintrin.h>
#define KESTREL_GDI_SHUFFLE 1
#endif

namespace gdi {

namespace {

std::atomic<bool>& FastTransfersFlag()
{
    static std::atomic<bool> flag(!(std::getenv("KESTREL_BLIT") != nullptr &&
                                    std::strcmp(std::getenv("KESTREL_BLIT"), "ref") == 0));
    return flag;
}

}  // namespace

bool FastTransfers()
{
    return FastTransfersFlag().load(std::memory_order_relaxed);
}

void SetFastTransfers(bool fast)
{
    FastTransfersFlag().store(fast, std::memory_order_relaxed);
}

DWORD ApplyRop(BYTE code, DWORD p, DWORD s, DWORD d)
{
    switch (code) {
    case 0x00: return 0;
    case 0x11: return ~(s | d);
    case 0x33: return ~s;
    case 0x44: return s & ~d;
    case 0x55: return ~d;
    case 0x5A: return p ^ d;
    case 0x66: return s ^ d;
    case 0x88: return s & d;
    case 0xAA: return d;
    case 0xBB: return ~s | d;
    case 0xC0: return p & s;
    case 0xCC: return s;
    case 0xEE: return s | d;
    case 0xF0: return p;
    case 0xFB: return p | ~s | d;
    case 0xFF: return ~DWORD(0);
    default: break;
    }
    // Every other code from its truth table: the union of the minterms it
    // sets.
    DWORD out = 0;
    for (int i = 0; i < 8; ++i) {
        if (!(code & (1 << i)))
            continue;
        out |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return out;
}

// A code reads an input when flipping that input can change some result.
bool RopUsesSource(BYTE code)
{
    return ((code >> 2) ^ code) & 0x33;
}

bool RopUsesDest(BYTE code)
{
    return ((code >> 1) ^ code) & 0x55;
}

bool RopUsesPattern(BYTE code)
{
    return ((code >> 4) ^ code) & 0x0F;
}

namespace {

bool SameFormat(const PixelFormat& a, const PixelFormat& b)
{
    if (a.bpp != b.bpp)
        return false;
    if (a.bpp >= 16)
        return a.bpp == 24 || (a.red.mask == b.red.mask && a.green.mask == b.green.mask &&
                               a.blue.mask == b.blue.mask);
    if (a.colors.size() != b.colors.size())
        return false;
    for (size_t i = 0; i < a.colors.size(); ++i) {
        const RGBQUAD& x = a.colors[i];
        const RGBQUAD& y = b.colors[i];
        if (x.rgbRed != y.rgbRed || x.rgbGreen != y.rgbGreen || x.rgbBlue != y.rgbBlue)
            return false;
    }
    return true;
}

// The colour value bits of a format: a 32-bit value's spare byte is not
// colour.
DWORD ColorBits(const PixelFormat& f)
{
    if (f.bpp >= 16 && f.bpp != 24)
        return f.red.mask | f.green.mask | f.blue.mask;
    return f.bpp == 32 ? 0xFFFFFFFF : (DWORD(1) << f.bpp) - 1;
}

bool Is565(const PixelFormat& f)
{
    return f.bpp == 16 && f.red.mask == 0xF800 && f.green.mask == 0x07E0 && f.blue.mask == 0x001F;
}

// Formats whose channels are whole bytes, blue, green, red from the lowest:
// 24-bit rows and 32-bit rows with the usual masks. Between two of them a
// plain copy moves each pixel's three colour bytes as they are, which is
// what the converter's tables work out one pixel at a time.
bool ByteChannels(const PixelFormat& f)
{
    return f.bpp == 24 || (f.bpp == 32 && f.red.mask == 0xFF0000 && f.green.mask == 0x00FF00 &&
                           f.blue.mask == 0x0000FF);
}

// 5-6-5 pixels to 8-8-8 ones with a zero fourth byte, each channel's bits
// repeated from the top down as DecodeChannel repeats them: eight a step,
// the last few one at a time. Presenting a frame reckons them rather than
// looking them up: the 256 KB table of every value crowds out of the caches
// the rows the frame needs.
void Expand565To888(const BYTE* s, BYTE* d, int n)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i low5 = _mm_set1_epi16(0x1F), low6 = _mm_set1_epi16(0x3F);
    for (; i + 8 <= n; i += 8, s += 16, d += 32) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i r = _mm_srli_epi16(v, 11);
        const __m128i g = _mm_and_si128(_mm_srli_epi16(v, 5), low6);
        const __m128i b = _mm_and_si128(v, low5);
        const __m128i r8 = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
        const __m128i g8 = _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4));
        const __m128i b8 = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
        const __m128i gb = _mm_or_si128(b8, _mm_slli_epi16(g8, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi16(gb, r8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_unpackhi_epi16(gb, r8));
    }
#endif
    for (; i < n; ++i, s += 2, d += 4) {
        const DWORD v = DWORD(s[0]) | DWORD(s[1]) << 8;
        const DWORD r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
        d[0] = BYTE(b << 3 | b >> 2);
        d[1] = BYTE(g << 2 | g >> 4);
        d[2] = BYTE(r << 3 | r >> 2);
        d[3] = 0;
    }
}

// Source values to destination values, by tables made once per transfer.
class Converter {
public:
    Converter(const Source& src, const Surface& dest, const Dc& destDc)
        : m_dest(*dest.format)
    {
        const PixelFormat& from = *src.format;
        if (src.mono && !dest.mono) {
            // Monochrome to colour: 0 is the text colour, 1 the background.
            m_kind = Kind::Table;
            m_table[0] = EncodeColor(m_dest, destDc.textColor);
            m_table[1] = EncodeColor(m_dest, destDc.bkColor);
            return;
        }
        if (dest.mono && !src.mono) {
            // Colour to monochrome: the source's background colour is 1 (white),
            // every other colour 0.
            m_kind = Kind::MatchBackground;
            m_colorBits = ColorBits(from);
            m_background = EncodeColor(from, src.bkColor) & m_colorBits;
            return;
        }
        if (SameFormat(from, m_dest) || (src.mono && dest.mono)) {
            m_kind = Kind::Same;
            // A window's spare byte stays 0 whatever the source keeps there.
            m_colorBits = dest.window && !src.window ? ColorBits(m_dest) : 0xFFFFFFFF;
            return;
        }
        if (from.bpp <= 8) {
            m_kind = Kind::Table;
            for (DWORD i = 0; i < (DWORD(1) << from.bpp); ++i)
                m_table[i] = EncodeColor(m_dest, DecodeColor(from, i));
            return;
        }
        m_kind = m_dest.bpp >= 16 ? Kind::Channels : Kind::Nearest;
        if (m_kind == Kind::Channels && from.bpp == 16 && m_dest.bpp == 32) {
            // Every value's result is in the kept table; the channel tables
            // are made only when it must be filled again.
            m_table16 = _table16(from);
            m_565To888 = FastTransfers() && Is565(from) && ByteChannels(m_dest);
            return;
        }
        _channelTables(from);
    }

    DWORD operator()(DWORD v) const
    {
        switch (m_kind) {
        case Kind::Same: return v & m_colorBits;
        case Kind::Table: return m_table[v & 0xFF];
        case Kind::MatchBackground: return (v & m_colorBits) == m_background ? 1 : 0;
        case Kind::Channels: return m_table16 != nullptr ? m_table16[v & 0xFFFF] : _channels(v);
        case Kind::Nearest:
        default: {
            const COLORREF c = RGB(_decode(0, v), _decode(1, v), _decode(2, v));
            if (!m_cached || c != m_cachedColor) {
                m_cachedColor = c;
                m_cachedValue = EncodeColor(m_dest, c);
                m_cached = true;
            }
            return m_cachedValue;
        }
        }
    }

    // Converts n pixels from column sx of a source row to column dx of a
    // destination row (a plain copy), with loops of their own for the
    // conversions that present frames.
    void Run(const PixelFormat& from, const BYTE* src, int sx, BYTE* dst, int dx, int n,
             DWORD valueBits) const
    {
        if (m_kind == Kind::Same && from.bpp >= 8) {
            const int bytes = from.bpp / 8;
            std::memcpy(dst + int64_t(dx) * bytes, src + int64_t(sx) * bytes, size_t(n) * bytes);
            if (from.bpp == 32 && (m_colorBits & valueBits) != 0xFFFFFFFF)
                for (int i = 0; i < n; ++i)
                    dst[4 * int64_t(dx + i) + 3] = 0;
            return;
        }
        if (m_kind == Kind::Channels && m_dest.bpp == 32) {
            BYTE* out = dst + 4 * int64_t(dx);
            if (from.bpp == 16) {
                const BYTE* in = src + 2 * int64_t(sx);
                if (m_565To888 && (valueBits & 0xFFFFFF) == 0xFFFFFF) {
                    Expand565To888(in, out, n);
                    return;
                }
                for (int i = 0; i < n; ++i, in += 2, out += 4)
                    _store(out, m_table16[DWORD(in[0]) | DWORD(in[1]) << 8] & valueBits);
                return;
            }
            if (from.bpp == 24) {
                const BYTE* in = src + 3 * int64_t(sx);
                for (int i = 0; i < n; ++i, in += 3, out += 4)
                    _store(out, (m_encode[0][in[2]] | m_encode[1][in[1]] | m_encode[2][in[0]]) &
                                    valueBits);
                return;
            }
        }
        for (int i = 0; i < n; ++i)
            WritePixel(m_dest, dst, dx + i, (*this)(ReadPixel(from, src, sx + i)) & valueBits);
    }

    // The values are the source's own, unconverted.
    bool Same() const { return m_kind == Kind::Same; }

private:
    enum class Kind { Same, Table, MatchBackground, Channels, Nearest };

    DWORD _channels(DWORD v) const
    {
        return m_encode[0][_decode(0, v)] | m_encode[1][_decode(1, v)] | m_encode[2][_decode(2, v)];
    }

    // Every 16-bit value's 32-bit value, for presenting 16-bit frames. The
    // last table made is kept (one format pair at a time is the common
    // case); every transfer runs under the GDI's mutex, which guards it.
    const DWORD* _table16(const PixelFormat& from)
    {
        struct Table {
            DWORD key[6] = {};
            std::vector<DWORD> values;
        };
        static Table* kept = new Table;  // never freed: lives for the process
        const DWORD key[6] = {from.red.mask, from.green.mask, from.blue.mask,
                              m_dest.red.mask, m_dest.green.mask, m_dest.blue.mask};
        if (kept->values.empty() || std::memcmp(kept->key, key, sizeof(key)) != 0) {
            _channelTables(from);
            kept->values.resize(65536);
            for (DWORD v = 0; v < 65536; ++v)
                kept->values[v] = _channels(v);
            std::memcpy(kept->key, key, sizeof(key));
        }
        return kept->values.data();
    }

    static void _store(BYTE* out, DWORD v)
    {
        out[0] = BYTE(v);
        out[1] = BYTE(v >> 8);
        out[2] = BYTE(v >> 16);
        out[3] = BYTE(v >> 24);
    }

    void _channelTables(const PixelFormat& from)
    {
        static const Channel bytes[3] = {Channel{0xFF0000, 16, 8}, Channel{0x00FF00, 8, 8},
                                         Channel{0x0000FF, 0, 8}};
        const Channel* in[3] = {&from.red, &from.green, &from.blue};
        if (from.bpp == 24)
            in[0] = &bytes[0], in[1] = &bytes[1], in[2] = &bytes[2];
        for (int c = 0; c < 3; ++c) {
            // Index by the channel's top eight bits (all of them when fewer).
            const int kept = std::min(in[c]->bits, 8);
            m_mask[c] = in[c]->mask;
            m_shift[c] = in[c]->shift + (in[c]->bits - kept);
            const Channel top{kept ? (DWORD(1) << kept) - 1 : 0, 0, kept};
            for (DWORD v = 0; v < (DWORD(1) << kept); ++v)
                m_decode[c][v] = DecodeChannel(top, v);
        }
        if (m_dest.bpp >= 16) {
            const Channel* out[3] = {&m_dest.red, &m_dest.green, &m_dest.blue};
            if (m_dest.bpp == 24)
                out[0] = &bytes[0], out[1] = &bytes[1], out[2] = &bytes[2];
            for (int c = 0; c < 3; ++c)
                for (DWORD v = 0; v < 256; ++v)
                    m_encode[c][v] = EncodeChannel(*out[c], BYTE(v));
        }
    }

    BYTE _decode(int c, DWORD v) const { return m_decode[c][((v & m_mask[c]) >> m_shift[c]) & 0xFF]; }

    const PixelFormat& m_dest;
    Kind m_kind = Kind::Same;
    DWORD m_colorBits = 0xFFFFFFFF;
    DWORD m_background = 0;
    DWORD m_table[256] = {};
    DWORD m_mask[3] = {};
    int m_shift[3] = {};
    BYTE m_decode[3][256] = {};
    DWORD m_encode[3][256] = {};
    const DWORD* m_table16 = nullptr;
    bool m_565To888 = false;
    mutable bool m_cached = false;
    mutable COLORREF m_cachedColor = 0;
    mutable DWORD m_cachedValue = 0;
};

// Normalised geometry: positive sizes and the mirroring they implied.
struct Span1D {
    int64_t dest, size;     // [dest, dest + size)
    int64_t src, srcSize;   // [src, src + srcSize)
    bool mirror;
};

// The first pixel of an extent from `origin`: a negative one runs back from
// the origin's pixel, which it includes, so (1, -2) covers pixels 0 and 1.
int64_t FirstPixel(int64_t origin, int64_t n)
{
    return n < 0 ? origin + n + 1 : origin;
}

Span1D Normalise(int64_t d, int64_t n, int64_t s, int64_t sn)
{
    Span1D out;
    out.mirror = (n < 0) != (sn < 0);
    out.dest = FirstPixel(d, n);
    out.size = n < 0 ? -n : n;
    out.src = FirstPixel(s, sn);
    out.srcSize = sn < 0 ? -sn : sn;
    return out;
}

// The source index of destination index i of the span: the source pixel
// under the destination pixel's centre.
int64_t SourceIndex(const Span1D& a, int64_t i)
{
    const int64_t k = a.mirror ? a.size - 1 - i : i;
    return a.src + (2 * k + 1) * a.srcSize / (2 * a.size);
}

DWORD Load32(const BYTE* p)
{
    DWORD v;
    std::memcpy(&v, p, 4);
    return v;
}

// Combines a row of 32-bit destination pixels with 32-bit source values
// (those of columns whose `cols` entry is negative are skipped; cols null:
// none).
template <typename Op>
void CombineRow32(BYTE* row, int64_t x0, int n, const BYTE* s, const int* cols, DWORD mask, Op op)
{
    BYTE* px = row + 4 * x0;
    for (int i = 0; i < n; ++i, px += 4, s += 4) {
        if (cols != nullptr && cols[i] < 0)
            continue;
        const DWORD v = op(Load32(s), Load32(px)) & mask;
        std::memcpy(px, &v, 4);
    }
}

// The operations of masks and sprites get loops of their own; the rest go
// through the truth table.
void RopRow32(BYTE code, DWORD p, BYTE* row, int64_t x0, int n, const BYTE* s, const int* cols,
              DWORD mask)
{
    switch (code) {
    case 0xCC: CombineRow32(row, x0, n, s, cols, mask, [](DWORD sv, DWORD) { return sv; }); break;
    case 0x88: CombineRow32(row, x0, n, s, cols, mask, [](DWORD sv, DWORD d) { return sv & d; }); break;
    case 0xEE: CombineRow32(row, x0, n, s, cols, mask, [](DWORD sv, DWORD d) { return sv | d; }); break;
    case 0x66: CombineRow32(row, x0, n, s, cols, mask, [](DWORD sv, DWORD d) { return sv ^ d; }); break;
    case 0x44: CombineRow32(row, x0, n, s, cols, mask, [](DWORD sv, DWORD d) { return sv & ~d; }); break;
    case 0x33: CombineRow32(row, x0, n, s, cols, mask, [](DWORD sv, DWORD) { return ~sv; }); break;
    case 0xBB: CombineRow32(row, x0, n, s, cols, mask, [](DWORD sv, DWORD d) { return ~sv | d; }); break;
    default:
        CombineRow32(row, x0, n, s, cols, mask,
                     [code, p](DWORD sv, DWORD d) { return ApplyRop(code, p, sv, d); });
        break;
    }
}

// Pixel words as stored (little-endian on every target this runs on, as the
// 32-bit paths above already read them).
inline DWORD LoadLE32(const BYTE* p)
{
    DWORD v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void StoreLE32(BYTE* p, DWORD v)
{
    std::memcpy(p, &v, 4);
}

#if !defined(__SSE2__)
inline uint64_t Load64(const BYTE* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void Store64(BYTE* p, uint64_t v)
{
    std::memcpy(p, &v, 8);
}
#endif

#if defined(KESTREL_GDI_SHUFFLE)
bool HasShuffle()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

// Four pixels a step, each one shuffle of a 16-byte load (so six must be
// left to read); the rest as Expand24To32 does them.
__attribute__((target("ssse3"))) int Expand24To32Shuffled(const BYTE* s, BYTE* d, int n)
{
    const __m128i order = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int i = 0;
    for (; i + 10 <= n; i += 8, s += 24, d += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(a, order));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_shuffle_epi8(b, order));
    }
    for (; i + 6 <= n; i += 4, s += 12, d += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(a, order));
    }
    return i;
}
#endif

// n 24-bit pixels to 32-bit ones with a zero fourth byte.
void Expand24To32(const BYTE* s, BYTE* d, int n)
{
    int i = 0;
#if defined(KESTREL_GDI_SHUFFLE)
    if (HasShuffle()) {
        i = Expand24To32Shuffled(s, d, n);
        s += 3 * int64_t(i);
        d += 4 * int64_t(i);
    }
#endif
#if defined(__SSE2__)
    // Four pixels from one 16-byte load (so six must be left to read): pixel
    // k's three bytes move up k bytes into lane k, and the rest of each lane
    // is masked off. Two such groups a step.
    const __m128i lane0 = _mm_set_epi32(0, 0, 0, 0xFFFFFF);
    const __m128i lane1 = _mm_set_epi32(0, 0, 0xFFFFFF, 0);
    const __m128i lane2 = _mm_set_epi32(0, 0xFFFFFF, 0, 0);
    const __m128i lane3 = _mm_set_epi32(0xFFFFFF, 0, 0, 0);
    const auto spread = [&](const BYTE* from, BYTE* to) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i v = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(x, lane0), _mm_and_si128(_mm_slli_si128(x, 1), lane1)),
            _mm_or_si128(_mm_and_si128(_mm_slli_si128(x, 2), lane2),
                         _mm_and_si128(_mm_slli_si128(x, 3), lane3)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), v);
    };
    for (; i + 10 <= n; i += 8, s += 24, d += 32) {
        spread(s, d);
        spread(s + 12, d + 16);
    }
    for (; i + 6 <= n; i += 4, s += 12, d += 16)
        spread(s, d);
#else
    // Eight pixels a step from three 64-bit words into four.
    constexpr uint64_t k24 = 0xFFFFFF;
    for (; i + 8 <= n; i += 8, s += 24, d += 32) {
        const uint64_t a = Load64(s), b = Load64(s + 8), c = Load64(s + 16);
        Store64(d, (a & k24) | (a >> 24 & k24) << 32);
        Store64(d + 8, ((a >> 48 | b << 16) & k24) | (b >> 8 & k24) << 32);
        Store64(d + 16, (b >> 32 & k24) | ((b >> 56 | c << 8) & k24) << 32);
        Store64(d + 24, (c >> 16 & k24) | (c >> 40) << 32);
    }
#endif
    for (; i < n; ++i, s += 3, d += 4) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = 0;
    }
}

// n 32-bit pixels to 24-bit ones, the fourth bytes dropped; four at a time
// into three words.
void Pack32To24(const BYTE* s, BYTE* d, int n)
{
    int i = 0;
    for (; i + 4 <= n; i += 4, s += 16, d += 12) {
        const DWORD a = LoadLE32(s), b = LoadLE32(s + 4), c = LoadLE32(s + 8), e = LoadLE32(s + 12);
        StoreLE32(d, (a & 0xFFFFFF) | b << 24);
        StoreLE32(d + 4, (b >> 8 & 0xFFFF) | c << 16);
        StoreLE32(d + 8, (c >> 16 & 0xFF) | e << 8);
    }
    for (; i < n; ++i, s += 4, d += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    }
}

// The fourth bytes of n 32-bit pixels cleared (a window keeps 0 there).
void ClearFourthBytes(BYTE* d, int n)
{
    for (int i = 0; i < n; ++i)
        d[4 * i + 3] = 0;
}

// n pixels gathered through a column map (a negative column has no source
// and leaves its pixel alone), from S-byte to D-byte pixels. A 32-bit
// destination keeps a 32-bit source's fourth byte under `top`, and gets 0
// there from a 24-bit one.
template <int S, int D>
void GatherRow(const BYTE* s, BYTE* d, const int* cols, int n, BYTE top)
{
    const DWORD keep = DWORD(top) << 24 | 0xFFFFFF;
    for (int i = 0; i < n; ++i, d += D) {
        if (cols[i] < 0)
            continue;
        const BYTE* p = s + int64_t(S) * cols[i];
        if (S == 4 && D == 4) {
            StoreLE32(d, LoadLE32(p) & keep);
        } else if (D == 4) {
            StoreLE32(d, DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16);
        } else {
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
        }
    }
}

// SRCCOPY of n pixels of whole-byte channels: from source column sx on, or
// through the column map when cols is not null. `top` masks the fourth byte
// a 32-bit source gives a 32-bit destination.
void CopyByteRow(int sbpp, const BYTE* srcRow, int64_t sx, const int* cols, int dbpp, BYTE* row,
                 int64_t x0, int n, BYTE top)
{
    BYTE* d = row + int64_t(dbpp / 8) * x0;
    if (cols != nullptr) {
        if (sbpp == 24 && dbpp == 24) GatherRow<3, 3>(srcRow, d, cols, n, top);
        else if (sbpp == 24) GatherRow<3, 4>(srcRow, d, cols, n, top);
        else if (dbpp == 24) GatherRow<4, 3>(srcRow, d, cols, n, top);
        else GatherRow<4, 4>(srcRow, d, cols, n, top);
        return;
    }
    const BYTE* s = srcRow + int64_t(sbpp / 8) * sx;
    if (sbpp == dbpp) {
        std::memcpy(d, s, size_t(n) * size_t(dbpp / 8));
        if (dbpp == 32 && top != 0xFF)
            ClearFourthBytes(d, n);
    } else if (sbpp == 24) {
        Expand24To32(s, d, n);
    } else {
        Pack32To24(s, d, n);
    }
}

// Rows a converted copy asks for ahead of where it writes.
const int64_t kFetchAhead = 2;

// Asks for the cache lines of a destination row part a converted copy will
// write a few rows on. A part narrower than its surface starts a new run of
// memory every row, which the processor's own fetching is slow to foresee;
// the rows of a list presented into a window wait on their destination
// lines. Asking ahead takes about 2 % off a scrolled list's presented frame
// (bench_ui --benchmark_filter='ListScrollInPlace/varied:1'); asking for the
// source's lines as well made no difference.
void FetchAhead(const BYTE* dst, int64_t bytes)
{
    for (int64_t b = 0; b < bytes; b += 64)
        __builtin_prefetch(dst + b);
}

}  // namespace

bool Transfer(DcAccess& dest, const Source* src, const Geometry& g, DWORD rop)
{
    if (!TransferTo(dest.surface(), dest.visible(), dest.dc(), src, g, rop))
        return false;
    const auto clamp = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    const int64_t x = FirstPixel(g.x, g.w), y = FirstPixel(g.y, g.h);
    dest.Touch(clamp(x), clamp(y), clamp(x + std::abs(int64_t(g.w))),
               clamp(y + std::abs(int64_t(g.h))));
    return true;
}

bool TransferTo(Surface& s, const std::vector<RECT>& visible, const Dc& dc, const Source* src,
                const Geometry& g, DWORD rop)
{
    const BYTE code = BYTE(rop >> 16);
    const bool needSource = RopUsesSource(code);
    if (needSource && src == nullptr)
        return false;
    if (!needSource)
        src = nullptr;
    const Span1D hx = Normalise(g.x, g.w, g.sx, needSource ? g.sw : g.w);
    const Span1D hy = Normalise(g.y, g.h, g.sy, needSource ? g.sh : g.h);
    if (hx.size <= 0 || hy.size <= 0 || hx.srcSize <= 0 || hy.srcSize <= 0)
        return false;
    if (s.base == nullptr)
        return true;  // the screen keeps nothing
    const PixelFormat& df = *s.format;
    const DWORD valueBits = s.window ? 0x00FFFFFF : df.bpp == 32 ? 0xFFFFFFFF : (DWORD(1) << df.bpp) - 1;
    const DWORD pattern = EncodeColor(df, dc.brushColor & 0xFFFFFF);
    const bool needDest = RopUsesDest(code);
    // Columns map one to one (no scaling, no mirroring): runs convert whole.
    const bool straight = src && !hx.mirror && hx.size == hx.srcSize;
    const bool plainCopy = straight && code == 0xCC;
    // A copy between whole-byte formats: row loops, no tables, no raster
    // operation. The general path below gives the same bytes.
    const bool byteCopy = src && code == 0xCC && !src->mono && !s.mono && ByteChannels(*src->format) &&
                          ByteChannels(df) && FastTransfers();
    const BYTE top = BYTE(valueBits >> 24);
    std::optional<Converter> convert;
    if (src && !byteCopy)
        convert.emplace(*src, s, dc);
    // Source columns of a piece, or -1 where there is none; kept between
    // calls so that a steady stream of blits allocates nothing.
    static thread_local std::vector<int> columns;
    // Converted source values of a row, for 32-bit destinations.
    static thread_local std::vector<DWORD> values;
    const bool rows32 = src && df.bpp == 32;

    for (const RECT& vis : visible) {
        int64_t x0 = std::max<int64_t>(vis.left, hx.dest);
        int64_t x1 = std::min<int64_t>(vis.right, hx.dest + hx.size);
        const int64_t y0 = std::max<int64_t>(vis.top, hy.dest);
        const int64_t y1 = std::min<int64_t>(vis.bottom, hy.dest + hy.size);
        if (straight) {
            // Only the columns whose source lies inside the source.
            x0 = std::max<int64_t>(x0, hx.dest - hx.src);
            x1 = std::min<int64_t>(x1, hx.dest - hx.src + src->width);
        }
        if (x0 >= x1 || y0 >= y1)
            continue;
        if (src && !straight) {
            columns.resize(size_t(x1 - x0));
            for (int64_t x = x0; x < x1; ++x) {
                const int64_t sx = SourceIndex(hx, x - hx.dest);
                columns[size_t(x - x0)] = sx >= 0 && sx < src->width ? int(sx) : -1;
            }
        }
        for (int64_t y = y0; y < y1; ++y) {
            BYTE* row = s.Row(int(y));
            const BYTE* srcRow = nullptr;
            if (src) {
                const int64_t sy = SourceIndex(hy, y - hy.dest);
                if (sy < src->rowLo || sy >= src->rowHi || sy < 0 || sy >= src->height)
                    continue;
                srcRow = src->base + sy * src->stride;
            }
            if (byteCopy) {
                CopyByteRow(src->format->bpp, srcRow, x0 - hx.dest + hx.src,
                            straight ? nullptr : columns.data(), df.bpp, row, x0, int(x1 - x0), top);
                continue;
            }
            if (plainCopy) {
                if (x1 - x0 < s.width && y + kFetchAhead < y1)
                    FetchAhead(s.Row(int(y + kFetchAhead)) + int64_t(df.bpp / 8) * x0,
                               int64_t(df.bpp / 8) * (x1 - x0));
                convert->Run(*src->format, srcRow, int(x0 - hx.dest + hx.src), row, int(x0),
                             int(x1 - x0), valueBits);
                continue;
            }
            if (rows32) {
                // Gather the row's source values, then combine them.
                const int n = int(x1 - x0);
                values.resize(size_t(n));
                DWORD* vals = values.data();
                const int* cols = straight ? nullptr : columns.data();
                const int64_t shift = hx.src - hx.dest;
                if (convert->Same() && src->format->bpp == 32 && cols == nullptr) {
                    // The source row's own values, read in place.
                    RopRow32(code, pattern, row, x0, n, srcRow + 4 * (x0 + shift), nullptr, valueBits);
                    continue;
                }
                if (convert->Same() && src->format->bpp == 32) {
                    for (int i = 0; i < n; ++i)
                        if (cols[i] >= 0)
                            vals[i] = Load32(srcRow + 4 * int64_t(cols[i]));
                } else {
                    for (int i = 0; i < n; ++i) {
                        const int64_t sx = cols ? cols[i] : x0 + i + shift;
                        if (sx >= 0)
                            vals[i] = (*convert)(ReadPixel(*src->format, srcRow, int(sx)));
                    }
                }
                RopRow32(code, pattern, row, x0, n, reinterpret_cast<const BYTE*>(vals), cols,
                         valueBits);
                continue;
            }
            for (int64_t x = x0; x < x1; ++x) {
                DWORD sv = 0;
                if (src) {
                    const int64_t sx = straight ? x - hx.dest + hx.src : columns[size_t(x - x0)];
                    if (sx < 0)
                        continue;
                    sv = (*convert)(ReadPixel(*src->format, srcRow, int(sx)));
                }
                const DWORD dv = needDest ? ReadPixel(df, row, int(x)) : 0;
                WritePixel(df, row, int(x), ApplyRop(code, pattern, sv, dv) & valueBits);
            }
        }
    }
    return true;
}

}  // namespace gdi
