// The AVX2 copies and blends: the lane loops of blit_lanes.h on sixteen
// pixels a step, then eight (SSE2) for what is left of a row, then pixel by
// pixel. The table takes them on processors that have AVX2
// (blit_table.cpp); its fills stay the SSE2 ones, whose byte fills the C
// library already does at its widest.
// Before the switch below, so that their inline functions stay plain
// x86-64 wherever else they are used.
#include "blit.h"

#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <immintrin.h>

// Everything from here on may use AVX2. It has internal linkage (the lane
// header's unnamed namespace) or is reached only through the table, which
// offers it only where the processor has AVX2.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "blit_lanes.h"

namespace kblit {

namespace {

struct Avx2Lanes {
    using V = __m256i;
    static constexpr long kLanes = 16;
    static V Load(const WORD* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(WORD* p, V v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static void StoreAligned(WORD* p, V v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }
    static V Set(int c) { return _mm256_set1_epi16(static_cast<short>(c)); }
    static V Zero() { return _mm256_setzero_si256(); }
    static V And(V a, V b) { return _mm256_and_si256(a, b); }
    static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }  // ~a & b
    static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static V Add(V a, V b) { return _mm256_add_epi16(a, b); }
    static V Sub(V a, V b) { return _mm256_sub_epi16(a, b); }
    static V Mul(V a, V b) { return _mm256_mullo_epi16(a, b); }
    static V MulHigh(V a, V b) { return _mm256_mulhi_epu16(a, b); }  // (a * b) >> 16, unsigned
    static V AddSat(V a, V b) { return _mm256_adds_epu16(a, b); }
    static V SubSat(V a, V b) { return _mm256_subs_epu16(a, b); }
    static V Equal(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
    template <int N> static V ShiftRight(V v) { return _mm256_srli_epi16(v, N); }
    template <int N> static V ShiftLeft(V v) { return _mm256_slli_epi16(v, N); }
    template <int N> static V ShiftRightSigned(V v) { return _mm256_srai_epi16(v, N); }
    static bool AllSet(V mask) { return _mm256_movemask_epi8(mask) == -1; }
    // Sixteen levels widened to lanes.
    static V Levels(const BYTE* m)
    {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(m)));
    }
    // Whether sixteen levels are all `level` (0 or 255).
    static bool LevelsAll(const BYTE* m, BYTE level)
    {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(char(level)))) == 0xFFFF;
    }
};

// Rows of sixteen pixels or more go sixteen at a time, rows of eight to
// fifteen eight at a time, shorter ones pixel by pixel.
void CopyRow(WORD* d, const WORD* s, long n)
{
    if (n >= Avx2Lanes::kLanes)
        CopyRowLanes<Avx2Lanes>(d, s, n);
    else if (n >= Sse2Lanes::kLanes)
        CopyRowLanes<Sse2Lanes>(d, s, n);
    else
        CopyShortRow(d, s, n);
}

void CopyKeyRow(WORD* d, const WORD* s, long n)
{
    if (n >= Avx2Lanes::kLanes)
        CopyKeyRowLanes<Avx2Lanes>(d, s, n);
    else if (n >= Sse2Lanes::kLanes)
        CopyKeyRowLanes<Sse2Lanes>(d, s, n);
    else
        CopyKeyShortRow(d, s, n);
}

}  // namespace

namespace avx2 {

void Copy(const Rows& r)
{
    if (r.w <= 0 || r.h <= 0 || MovedOverlapping(r)) return;
    for (long j = 0; j < r.h; ++j) CopyRow(DstRow(r, j), SrcRow(r, j), r.w);
}

void CopyKey(const Rows& r)
{
    for (long j = 0; j < r.h; ++j) CopyKeyRow(DstRow(r, j), SrcRow(r, j), r.w);
}

void BlendConst(const Rows& r, BYTE a) { BlendConstRows<Avx2Lanes, Sse2Lanes>(r, a); }
void BlendConstKey(const Rows& r, BYTE a) { BlendConstKeyRows<Avx2Lanes, Sse2Lanes>(r, a); }
void BlendMask(const Rows& r) { BlendMaskRows<Avx2Lanes, Sse2Lanes>(r); }
void BlendColourMask(const Rows& r, WORD c) { BlendColourMaskRows<Avx2Lanes, Sse2Lanes>(r, c); }
void Additive(const Rows& r, BYTE v) { AdditiveRows<Avx2Lanes, Sse2Lanes>(r, v); }

}  // namespace avx2
}  // namespace kblit

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
