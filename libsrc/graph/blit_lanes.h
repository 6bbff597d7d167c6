// The blend and additive formulas on a vector of 16-bit pixel lanes, and the
// row loops around them, written once for every instruction set the fast
// kernels use. `O` names the vector type and its operations: Sse2Lanes below,
// eight lanes; Avx2Lanes in blit_avx2.cpp, sixteen. Every formula is the
// scalar one of blit.h, lane by lane: the products and sums stay below 65536
// (see BlendPixel), so 16-bit lanes with logical shifts give exactly the
// scalar result.
//
// Each file that includes this compiles its own copy for its own instruction
// set, hence the unnamed namespace: one shared copy could be the one built
// for AVX2 and run on a processor without it.
#pragma once

#include "blit.h"

#include <cstdint>
#include <cstring>
#include <emmintrin.h>

namespace kblit {
namespace {

struct Sse2Lanes {
    using V = __m128i;
    static constexpr long kLanes = 8;
    static V Load(const WORD* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(WORD* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static void StoreAligned(WORD* p, V v) { _mm_store_si128(reinterpret_cast<__m128i*>(p), v); }
    static V Set(int c) { return _mm_set1_epi16(static_cast<short>(c)); }
    static V Zero() { return _mm_setzero_si128(); }
    static V And(V a, V b) { return _mm_and_si128(a, b); }
    static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }  // ~a & b
    static V Or(V a, V b) { return _mm_or_si128(a, b); }
    static V Add(V a, V b) { return _mm_add_epi16(a, b); }
    static V Sub(V a, V b) { return _mm_sub_epi16(a, b); }
    static V Mul(V a, V b) { return _mm_mullo_epi16(a, b); }
    static V MulHigh(V a, V b) { return _mm_mulhi_epu16(a, b); }  // (a * b) >> 16, unsigned
    static V AddSat(V a, V b) { return _mm_adds_epu16(a, b); }
    static V SubSat(V a, V b) { return _mm_subs_epu16(a, b); }
    static V Equal(V a, V b) { return _mm_cmpeq_epi16(a, b); }
    template <int N> static V ShiftRight(V v) { return _mm_srli_epi16(v, N); }
    template <int N> static V ShiftLeft(V v) { return _mm_slli_epi16(v, N); }
    template <int N> static V ShiftRightSigned(V v) { return _mm_srai_epi16(v, N); }
    static bool AllSet(V mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }
    // Eight levels widened to lanes.
    static V Levels(const BYTE* m)
    {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m)), _mm_setzero_si128());
    }
    // Whether eight levels are all `level` (0 or 255).
    static bool LevelsAll(const BYTE* m, BYTE level)
    {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(m));
        return (_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(char(level)))) & 0xFF) == 0xFF;
    }
};

// The first vector boundary after p: at most one vector's pixels on.
template <class O>
WORD* AlignedAfter(WORD* p)
{
    constexpr uintptr_t bytes = uintptr_t(O::kLanes) * 2;
    return reinterpret_cast<WORD*>((reinterpret_cast<uintptr_t>(p) + bytes) & ~(bytes - 1));
}

// A row of at least one vector: unaligned first and last vectors, aligned
// stores in between, so no store splits a cache line; stores go in address
// order. The few vectors after the wide loop are all loaded before any is
// stored: short rows are mostly these.
template <class O>
void CopyRowLanes(WORD* d, const WORD* s, long n)
{
    using V = typename O::V;
    constexpr long L = O::kLanes;
    WORD* const end = d + n;
    const V last = O::Load(s + n - L);
    O::Store(d, O::Load(s));
    WORD* p = AlignedAfter<O>(d);
    const WORD* q = s + (p - d);
    for (; p + 4 * L <= end; p += 4 * L, q += 4 * L) {
        const V v0 = O::Load(q), v1 = O::Load(q + L), v2 = O::Load(q + 2 * L), v3 = O::Load(q + 3 * L);
        O::StoreAligned(p, v0);
        O::StoreAligned(p + L, v1);
        O::StoreAligned(p + 2 * L, v2);
        O::StoreAligned(p + 3 * L, v3);
    }
    const long left = (end - p) / L;  // 0 to 3 whole vectors
    const V r0 = left > 0 ? O::Load(q) : O::Zero();
    const V r1 = left > 1 ? O::Load(q + L) : O::Zero();
    const V r2 = left > 2 ? O::Load(q + 2 * L) : O::Zero();
    if (left > 0) O::StoreAligned(p, r0);
    if (left > 1) O::StoreAligned(p + L, r1);
    if (left > 2) O::StoreAligned(p + 2 * L, r2);
    O::Store(end - L, last);
}

// A keyed row of at least one vector, a vector of source pixels at a time: a
// group wholly 0 (transparent areas) is skipped; any other is merged with
// the destination without further branches, which stay unpredictable on
// ragged edges. The last group is done again from the row's end: a keyed
// copy gives the same pixels when repeated.
template <class O>
void CopyKeyRowLanes(WORD* d, const WORD* s, long n)
{
    using V = typename O::V;
    auto group = [&](long i) {
        const V sv = O::Load(s + i);
        const V key = O::Equal(sv, O::Zero());
        if (O::AllSet(key)) return;
        O::Store(d + i, O::Or(O::And(key, O::Load(d + i)), sv));
    };
    long i = 0;
    for (; i + O::kLanes <= n; i += O::kLanes) group(i);
    if (i < n) group(n - O::kLanes);
}

// Rows shorter than a vector.
inline void CopyShortRow(WORD* d, const WORD* s, long n)
{
    for (long i = 0; i < n; ++i) d[i] = s[i];
}

inline void CopyKeyShortRow(WORD* d, const WORD* s, long n)
{
    for (long i = 0; i < n; ++i)
        if (s[i] != 0) d[i] = s[i];
}

// A sprite blitted onto itself may overlap its own rows: each row then goes
// through memmove, top row first. True when that was done.
inline bool MovedOverlapping(const Rows& r)
{
    const uintptr_t d0 = reinterpret_cast<uintptr_t>(r.dst), s0 = reinterpret_cast<uintptr_t>(r.src);
    const uintptr_t bytes = uintptr_t(r.w) * 2;
    const uintptr_t d1 = d0 + uintptr_t(r.h - 1) * uintptr_t(r.dstPitch) + bytes;
    const uintptr_t s1 = s0 + uintptr_t(r.h - 1) * uintptr_t(r.srcPitch) + bytes;
    if (!(d0 < s1 && s0 < d1))
        return false;
    for (long j = 0; j < r.h; ++j)
        std::memmove(r.dst + j * r.dstPitch, r.src + j * r.srcPitch, bytes);
    return true;
}

// blend() with a6 = A >> 2 and a5 = A >> 3 per lane, ia6 = 63 - a6 and
// ia5 = 31 - a5.
template <class O>
typename O::V BlendLanes(typename O::V s, typename O::V d, typename O::V a6, typename O::V ia6,
                         typename O::V a5, typename O::V ia5)
{
    using V = typename O::V;
    const V c03f0 = O::Set(0x03F0), c07e0 = O::Set(0x07E0), c001f = O::Set(0x001F);

    // The scalar formula's (x + (x >> 6)) >> 5 is floor(65 x / 2048), and
    // (y + (y >> 5)) >> 5 is floor(33 y / 1024): one high multiply each,
    // exact for every x and y below 65536, where three shifts and adds
    // were the kernel's bottleneck.
    V x = O::Add(O::Mul(O::And(O::template ShiftRight<1>(s), c03f0), a6),
                 O::Mul(O::And(O::template ShiftRight<1>(d), c03f0), ia6));
    x = O::Add(x, O::Set(0x0200));
    const V green = O::And(O::MulHigh(x, O::Set(65 << 5)), c07e0);

    V y = O::Add(O::Mul(O::And(s, c001f), a5), O::Mul(O::And(d, c001f), ia5));
    y = O::Add(y, O::Set(16));
    const V blue = O::MulHigh(y, O::Set(33 << 6));

    V z = O::Add(O::Mul(O::template ShiftRight<11>(s), a5), O::Mul(O::template ShiftRight<11>(d), ia5));
    z = O::Add(z, O::Set(16));
    const V red = O::template ShiftLeft<11>(O::MulHigh(z, O::Set(33 << 6)));

    return O::Or(O::Or(red, green), blue);
}

// Blend through per-pixel levels.
template <class O>
typename O::V BlendLevelsLanes(typename O::V s, typename O::V d, typename O::V level)
{
    const typename O::V a6 = O::template ShiftRight<2>(level), a5 = O::template ShiftRight<3>(level);
    return BlendLanes<O>(s, d, a6, O::Sub(O::Set(63), a6), a5, O::Sub(O::Set(31), a5));
}

// Lanes where the source pixel is 0 keep the destination.
template <class O>
typename O::V KeepWhereZero(typename O::V s, typename O::V d, typename O::V r)
{
    const typename O::V zero = O::Equal(s, O::Zero());
    return O::Or(O::And(zero, d), O::AndNot(zero, r));
}

// A condition "when bit b of v is set" as a lane mask: bit b shifted to the
// top and spread with an arithmetic shift.
template <int Bit, class O>
typename O::V BitMask(typename O::V v)
{
    return O::template ShiftRightSigned<15>(O::template ShiftLeft<15 - Bit>(v));
}

// additive() with the level's grey pixel k in every lane.
template <class O>
typename O::V AdditiveLanes(typename O::V s, typename O::V d, typename O::V k)
{
    using V = typename O::V;
    const V f7df = O::Set(0xF7DF);

    const V s1 = O::And(s, f7df);
    V a = O::Sub(s1, k);
    // s1 >= k (unsigned) exactly when k - s1 saturates to 0; below it, a
    // keeps only the bits of 0x08FF.
    const V notBelow = O::Equal(O::SubSat(k, s1), O::Zero());
    a = O::AndNot(O::AndNot(notBelow, O::Set(0xF700)), a);
    a = O::AndNot(O::And(BitMask<11, O>(a), O::Set(0x0FC0)), a);  // & 0xF03F
    a = O::AndNot(O::And(BitMask<5, O>(a), O::Set(0x003F)), a);   // & 0xFFC0

    const V d1 = O::And(d, f7df);
    // Where the 16-bit sum wraps, the saturated sum is 0xFFFF and sets the
    // red field; elsewhere it equals the sum and adds nothing.
    V e = O::Add(d1, a);
    e = O::Or(e, O::And(O::AddSat(d1, a), O::Set(0xF800)));
    e = O::Or(e, O::And(BitMask<11, O>(e), O::Set(0x07E0)));
    return O::Or(e, O::And(BitMask<5, O>(e), O::Set(0x001F)));
}

// The row loops: each runs whole vectors from pixel i and returns where it
// stopped, so that a wide form can hand the rest to a narrower one and the
// last few pixels go through the scalar formulas.
//
// The constant-alpha loops are flattened: left to itself, the compiler
// calls BlendLanes once per vector in their AVX2 build, and the call with
// its constants made afresh cost nearly half the kernel's time. (Forced
// on the blends through levels as well, it made those a few percent
// slower.)
template <class O>
__attribute__((flatten)) long BlendConstSteps(WORD* d, const WORD* s, long i, long n, BYTE a)
{
    using V = typename O::V;
    const V a6 = O::Set(a >> 2), ia6 = O::Set(63 - (a >> 2));
    const V a5 = O::Set(a >> 3), ia5 = O::Set(31 - (a >> 3));
    for (; i + O::kLanes <= n; i += O::kLanes)
        O::Store(d + i, BlendLanes<O>(O::Load(s + i), O::Load(d + i), a6, ia6, a5, ia5));
    return i;
}

template <class O>
__attribute__((flatten)) long BlendConstKeySteps(WORD* d, const WORD* s, long i, long n, BYTE a)
{
    using V = typename O::V;
    const V a6 = O::Set(a >> 2), ia6 = O::Set(63 - (a >> 2));
    const V a5 = O::Set(a >> 3), ia5 = O::Set(31 - (a >> 3));
    for (; i + O::kLanes <= n; i += O::kLanes) {
        const V sv = O::Load(s + i);
        if (O::AllSet(O::Equal(sv, O::Zero())))
            continue;
        const V dv = O::Load(d + i);
        O::Store(d + i, KeepWhereZero<O>(sv, dv, BlendLanes<O>(sv, dv, a6, ia6, a5, ia5)));
    }
    return i;
}

// Groups whose levels are all 255 are copied and all 0 skipped: blend()
// gives exactly those pixels, so the shortcut changes nothing but time.
template <class O>
long BlendMaskSteps(WORD* d, const WORD* s, const BYTE* m, long i, long n)
{
    for (; i + O::kLanes <= n; i += O::kLanes) {
        if (O::LevelsAll(m + i, 0))
            continue;
        if (O::LevelsAll(m + i, 255))
            O::Store(d + i, O::Load(s + i));
        else
            O::Store(d + i, BlendLevelsLanes<O>(O::Load(s + i), O::Load(d + i), O::Levels(m + i)));
    }
    return i;
}

template <class O>
long BlendColourMaskSteps(WORD* d, WORD c, const BYTE* m, long i, long n)
{
    const typename O::V cv = O::Set(c);
    for (; i + O::kLanes <= n; i += O::kLanes) {
        if (O::LevelsAll(m + i, 0))
            continue;
        if (O::LevelsAll(m + i, 255))
            O::Store(d + i, cv);
        else
            O::Store(d + i, BlendLevelsLanes<O>(cv, O::Load(d + i), O::Levels(m + i)));
    }
    return i;
}

template <class O>
long AdditiveSteps(WORD* d, const WORD* s, long i, long n, WORD k)
{
    const typename O::V kv = O::Set(k);
    for (; i + O::kLanes <= n; i += O::kLanes)
        O::Store(d + i, AdditiveLanes<O>(O::Load(s + i), O::Load(d + i), kv));
    return i;
}

// The scalar ends of the rows, after the vectors.
inline void BlendConstTail(WORD* d, const WORD* s, long i, long n, BYTE a)
{
    for (; i < n; ++i) d[i] = BlendPixel(s[i], d[i], a);
}

inline void BlendConstKeyTail(WORD* d, const WORD* s, long i, long n, BYTE a)
{
    for (; i < n; ++i)
        if (s[i] != 0) d[i] = BlendPixel(s[i], d[i], a);
}

inline void BlendMaskTail(WORD* d, const WORD* s, const BYTE* m, long i, long n)
{
    for (; i < n; ++i) d[i] = BlendPixel(s[i], d[i], m[i]);
}

inline void BlendColourMaskTail(WORD* d, WORD c, const BYTE* m, long i, long n)
{
    for (; i < n; ++i) d[i] = BlendPixel(c, d[i], m[i]);
}

inline void AdditiveTail(WORD* d, const WORD* s, long i, long n, WORD k)
{
    for (; i < n; ++i) d[i] = AdditivePixel(s[i], d[i], k);
}

inline WORD* DstRow(const Rows& r, long j) { return reinterpret_cast<WORD*>(r.dst + j * r.dstPitch); }
inline const WORD* SrcRow(const Rows& r, long j)
{
    return reinterpret_cast<const WORD*>(r.src + j * r.srcPitch);
}
inline const BYTE* LevRow(const Rows& r, long j) { return r.lev + j * r.levPitch; }

// The blend kernels over a whole rectangle: each row through the lane forms
// `Os`, widest first, each taking what the one before left, then the scalar
// formulas for the last pixels.
template <class... Os>
void BlendConstRows(const Rows& r, BYTE a)
{
    for (long j = 0; j < r.h; ++j) {
        WORD* d = DstRow(r, j);
        const WORD* s = SrcRow(r, j);
        long i = 0;
        ((i = BlendConstSteps<Os>(d, s, i, r.w, a)), ...);
        BlendConstTail(d, s, i, r.w, a);
    }
}

template <class... Os>
void BlendConstKeyRows(const Rows& r, BYTE a)
{
    for (long j = 0; j < r.h; ++j) {
        WORD* d = DstRow(r, j);
        const WORD* s = SrcRow(r, j);
        long i = 0;
        ((i = BlendConstKeySteps<Os>(d, s, i, r.w, a)), ...);
        BlendConstKeyTail(d, s, i, r.w, a);
    }
}

template <class... Os>
void BlendMaskRows(const Rows& r)
{
    for (long j = 0; j < r.h; ++j) {
        WORD* d = DstRow(r, j);
        const WORD* s = SrcRow(r, j);
        const BYTE* m = LevRow(r, j);
        long i = 0;
        ((i = BlendMaskSteps<Os>(d, s, m, i, r.w)), ...);
        BlendMaskTail(d, s, m, i, r.w);
    }
}

template <class... Os>
void BlendColourMaskRows(const Rows& r, WORD c)
{
    for (long j = 0; j < r.h; ++j) {
        WORD* d = DstRow(r, j);
        const BYTE* m = LevRow(r, j);
        long i = 0;
        ((i = BlendColourMaskSteps<Os>(d, c, m, i, r.w)), ...);
        BlendColourMaskTail(d, c, m, i, r.w);
    }
}

template <class... Os>
void AdditiveRows(const Rows& r, BYTE v)
{
    const WORD k = AdditiveKey(v);
    for (long j = 0; j < r.h; ++j) {
        WORD* d = DstRow(r, j);
        const WORD* s = SrcRow(r, j);
        long i = 0;
        ((i = AdditiveSteps<Os>(d, s, i, r.w, k)), ...);
        AdditiveTail(d, s, i, r.w, k);
    }
}

}  // namespace
}  // namespace kblit
