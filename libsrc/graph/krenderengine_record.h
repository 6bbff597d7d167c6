// The recorders' inline side: the plain and colour-keyed blits, and every
// command without a parameter block, are filled in, matched against the
// previous frame's command at their place and appended without a call.
// Private to the library: the installed header only declares them.
#pragma once
#include "krenderengine.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace krecord {

typedef KRenderEngine::rectlist_node rectlist_node;
typedef KRenderEngine::Node Node;

// A record's last eight bytes: param in the low 48 bits, then the op code,
// then the state (krenderengine.h). The rectangles and sprites make the 48
// bytes before them.
const unsigned kOpShift = 48;
const unsigned kStateShift = 56;
const uint64_t kNoState = (uint64_t(1) << kStateShift) - 1;

inline uint64_t Tail(const rectlist_node* n)
{
    uint64_t w;
    std::memcpy(&w, reinterpret_cast<const char*>(n) + 48, sizeof w);
    return w;
}

// The last word of a command just recorded (state 0).
inline uint64_t MakeTail(uintptr_t param, DWORD op)
{
    return uint64_t(param) | uint64_t(op) << kOpShift;
}

// True when two commands' records are equal field for field (the state
// and the link aside). The recorders set every field, so equal records
// are equal commands; the converse does not hold for text and the blits
// through an alpha sprite, whose parameter blocks live in each frame's
// own buffers.
inline bool SameRecord(const rectlist_node* a, const rectlist_node* b)
{
    static_assert(sizeof(rectlist_node) == 56 && sizeof(Node) == 64,
                  "a command and its link in one cache line");
    static_assert(offsetof(rectlist_node, rcDst) == 0 &&
                      offsetof(rectlist_node, src) + sizeof(void*) == 48,
                  "rectangles and sprites make the first 48 bytes");
#ifdef __SSE2__
    const __m128i* pa = reinterpret_cast<const __m128i*>(a);
    const __m128i* pb = reinterpret_cast<const __m128i*>(b);
    __m128i d = _mm_xor_si128(_mm_loadu_si128(pa), _mm_loadu_si128(pb));
    d = _mm_or_si128(d, _mm_xor_si128(_mm_loadu_si128(pa + 1), _mm_loadu_si128(pb + 1)));
    d = _mm_or_si128(d, _mm_xor_si128(_mm_loadu_si128(pa + 2), _mm_loadu_si128(pb + 2)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(d, _mm_setzero_si128())) != 0xFFFF)
        return false;
    return ((Tail(a) ^ Tail(b)) & kNoState) == 0;
#else
    uint64_t wa[6], wb[6];
    std::memcpy(wa, a, sizeof wa);
    std::memcpy(wb, b, sizeof wb);
    uint64_t diff = (Tail(a) ^ Tail(b)) & kNoState;
    for (int i = 0; i < 6; i++)
        diff |= wa[i] ^ wb[i];
    return diff == 0;
#endif
}

// SameRecord for a record b just written field by field: loads of the
// fields' own sizes are served from the stores still under way, where a
// wider load would wait for them.
inline bool SameFields(const rectlist_node* a, const rectlist_node* b)
{
    const DWORD rects =
        DWORD(a->rcDst.left ^ b->rcDst.left) | DWORD(a->rcDst.top ^ b->rcDst.top) |
        DWORD(a->rcDst.right ^ b->rcDst.right) | DWORD(a->rcDst.bottom ^ b->rcDst.bottom) |
        DWORD(a->rcSrc.left ^ b->rcSrc.left) | DWORD(a->rcSrc.top ^ b->rcSrc.top) |
        DWORD(a->rcSrc.right ^ b->rcSrc.right) | DWORD(a->rcSrc.bottom ^ b->rcSrc.bottom) |
        (a->op ^ b->op);
    return rects == 0 && a->dst == b->dst && a->src == b->src && a->param == b->param;
}

// Both lists are walked in order as a frame is recorded, and their
// nodes lie mostly side by side: the node 32 places on is asked for at
// each step, so that it is at hand when reached. A frame of many
// thousand commands does not stay in the caches from one frame to the
// next once the game has drawn it, and comes from memory: a dozen places
// on was too close to hide that (bench/frame, 10,000 commands: about 12
// ns a command with none or a dozen, 8.5 to 10.5 with 32; 64 did no
// better). Always inline: left a call, the compiler takes a function
// that only prefetches for one without effect and drops its calls.
// Measure: bench_frame --benchmark_filter='commands:(2000|10000)/case:0'
// (rec_ns_cmd of the two)
inline __attribute__((always_inline)) void FetchAhead(const Node* node)
{
    __builtin_prefetch(
        reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(node) + 32 * sizeof(Node)));
}

#ifdef __SSE2__
inline __m128i AsVector(const void* p)
{
    return _mm_cvtsi64_si128(int64_t(reinterpret_cast<uintptr_t>(p)));
}

// Two 32-bit fields side by side, the first in the low half.
inline int64_t PackPair(long a, long b)
{
    return int64_t(uint64_t(uint32_t(b)) << 32 | uint32_t(a));
}

// True when the record at p is v0 to v2 and the last word tail, that
// word compared only in the bits of mask.
inline bool SameVectors(const rectlist_node* n, __m128i v0, __m128i v1, __m128i v2, uint64_t tail,
                        uint64_t mask)
{
    const __m128i* p = reinterpret_cast<const __m128i*>(n);
    __m128i d = _mm_xor_si128(_mm_loadu_si128(p), v0);
    d = _mm_or_si128(d, _mm_xor_si128(_mm_loadu_si128(p + 1), v1));
    d = _mm_or_si128(d, _mm_xor_si128(_mm_loadu_si128(p + 2), v2));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(d, _mm_setzero_si128())) == 0xFFFF &&
           ((Tail(n) ^ tail) & mask) == 0;
}

// True when the previous command p's record is v0 to v2 and tail, and p
// is not stale: of the state, only the stale bit is compared (with
// tail's 0).
inline bool SameBlit(const rectlist_node* p, __m128i v0, __m128i v1, __m128i v2, uint64_t tail)
{
    return SameVectors(p, v0, v1, v2, tail, kNoState | uint64_t(KRE_STATE_STALE) << kStateShift);
}
#endif

}  // namespace krecord

inline __attribute__((always_inline)) void KRenderEngine::Blt(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                        long l, long t, long r, long b)
{
    _recordblit(dst, KRE_OP_BLT, x, y, src, l, t, r, b, 0);
}

inline __attribute__((always_inline)) void KRenderEngine::Blt(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                        const RECT& rc)
{
    _recordblit(dst, KRE_OP_BLT, x, y, src, rc, 0);
}

inline __attribute__((always_inline)) void KRenderEngine::Blt_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                           long l, long t, long r, long b)
{
    _recordblit(dst, KRE_OP_BLT_CK, x, y, src, l, t, r, b, 0);
}

inline __attribute__((always_inline)) void KRenderEngine::Blt_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                           const RECT& rc)
{
    _recordblit(dst, KRE_OP_BLT_CK, x, y, src, rc, 0);
}

#ifdef __SSE2__
inline __attribute__((always_inline)) void KRenderEngine::_recordblit(SPRITE_DATA* dst, DWORD op, long x, long y,
                                                SPRITE_DATA* src, long l, long t, long r,
                                                long b, uintptr_t param)
{
    _recordvec(dst, op, x, y, src, _mm_set_epi32(int(b), int(r), int(t), int(l)), param);
}

inline __attribute__((always_inline)) void KRenderEngine::_recordblit(SPRITE_DATA* dst, DWORD op, long x, long y,
                                                SPRITE_DATA* src, const RECT& rc,
                                                uintptr_t param)
{
    static_assert(sizeof(RECT) == 16, "a rectangle is four 32-bit values");
    _recordvec(dst, op, x, y, src, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&rc)),
                param);
}

// Fills the spare node with a blit of the source rectangle rc (left,
// top, right, bottom) to (x, y) and appends it; every field is set, so
// that equal commands have equal records. Always inline, and with no
// call on the way of a command that repeats the previous frame's: a
// call would cost as much again.
//
// The record is made in three registers and a word, stored whole and
// compared from the registers: reading it back from the node just written
// would wait until the stores are done, since a load that spans two
// stores is not served from them.
template <class V>
inline __attribute__((always_inline)) void KRenderEngine::_recordvec(SPRITE_DATA* dst, DWORD op, long x, long y,
                                                SPRITE_DATA* src, V rc,
                                                uintptr_t param)
{
    static_assert(offsetof(rectlist_node, rcSrc) == 24 && sizeof(rectlist_node) == 56,
                  "the record's three 16-byte parts and its last word");
    Node* n = m_pRecord->list.End();
    // x, y, x + r - l, y + b - t: the position plus (0, 0, r - l, b - t).
    const __m128i xy = _mm_set_epi32(int(y), int(x), int(y), int(x));
    const __m128i lt = _mm_shuffle_epi32(rc, _MM_SHUFFLE(1, 0, 1, 0));
    const __m128i v0 = _mm_add_epi32(xy, _mm_sub_epi32(rc, lt));
    const __m128i v1 = _mm_unpacklo_epi64(krecord::AsVector(dst), rc);  // dst, l, t
    const __m128i rb = _mm_unpackhi_epi64(rc, rc);
    const __m128i v2 = _mm_unpacklo_epi64(rb, krecord::AsVector(src));  // r, b, src
    _commit(n, dst, v0, v1, v2, krecord::MakeTail(param, op), true);
}

// Stores the record v0 to v2 and tail (the node's three 16-byte parts
// and its last word, state 0)
// of a command on dst in n, the spare node, matches it against the
// previous command at its place and appends it. cuttable: a command the
// frame building always cuts into bands where it meets a change (a blit
// without scaling, a fill, a straight line); any other is handed to
// _stepother when it matches, which notes it if it is drawn whole.
template <class V>
inline __attribute__((always_inline)) void
KRenderEngine::_commit(Node* n, SPRITE_DATA* dst, V v0, V v1, V v2, uint64_t tail, bool cuttable)
{
    // The spare node last held the command recorded at this place two
    // frames ago, which on a steady screen is this one: it is then left
    // as it is, and a frame that repeats the last writes no memory back.
    rectlist_node* r = n;
    if (!krecord::SameVectors(r, v0, v1, v2, tail, ~uint64_t(0))) {
        __m128i* w = reinterpret_cast<__m128i*>(r);
        _mm_storeu_si128(w, v0);
        _mm_storeu_si128(w + 1, v1);
        _mm_storeu_si128(w + 2, v2);
        std::memcpy(reinterpret_cast<char*>(r) + 48, &tail, sizeof tail);
    }
    if (m_bStep) {
        Node* p = _stepnext(n);
        if (p == NULL || dst != m_sprCut || !krecord::SameBlit(p, v0, v1, v2, tail)) {
            _missed(n, p);
            return;
        }
        if (!cuttable)
            _stepother(n, p, true);  // noted if the frame building cannot cut it
        m_pRecord->list.AddFilled();  // on the cut sprite: none to count
        return;
    }
    _appendrecord();
}
#else
inline __attribute__((always_inline)) void KRenderEngine::_recordblit(SPRITE_DATA* dst, DWORD op, long x, long y,
                                                SPRITE_DATA* src, const RECT& rc,
                                                uintptr_t param)
{
    _recordblit(dst, op, x, y, src, rc.left, rc.top, rc.right, rc.bottom, param);
}

inline __attribute__((always_inline)) void KRenderEngine::_recordblit(SPRITE_DATA* dst, DWORD op, long x, long y,
                                                SPRITE_DATA* src, long l, long t, long r,
                                                long b, uintptr_t param)
{
    Node* n = m_pRecord->list.End();
    n->rcDst = {LONG(x), LONG(y), LONG(x + r - l), LONG(y + b - t)};
    n->dst = dst;
    n->rcSrc = {LONG(l), LONG(t), LONG(r), LONG(b)};
    n->src = src;
    n->op = op;
    n->param = param;
    n->state = 0;
    if (m_bStep)
        _step(n);
    _appendrecord();
}
#endif

// Records a command without a parameter block from all its fields:
// destination rectangle l, t, r, b, source rectangle sl, st, sr, sb.
// cuttable as for _commit.
inline __attribute__((always_inline)) void KRenderEngine::_recordfields(SPRITE_DATA* dst, DWORD op, long l, long t,
                                                  long r, long b, SPRITE_DATA* src, long sl,
                                                  long st, long sr, long sb, uintptr_t param,
                                                  bool cuttable)
{
    Node* n = m_pRecord->list.End();
#ifdef __SSE2__
    _commit(n, dst, _mm_set_epi32(int(b), int(r), int(t), int(l)),
            _mm_set_epi64x(krecord::PackPair(sl, st), int64_t(reinterpret_cast<uintptr_t>(dst))),
            _mm_set_epi64x(int64_t(reinterpret_cast<uintptr_t>(src)), krecord::PackPair(sr, sb)),
            krecord::MakeTail(param, op), cuttable);
#else
    n->rcDst = {LONG(l), LONG(t), LONG(r), LONG(b)};
    n->dst = dst;
    n->rcSrc = {LONG(sl), LONG(st), LONG(sr), LONG(sb)};
    n->src = src;
    n->op = op;
    n->state = 0;
    n->param = param;
    if (m_bStep)
        _steprecord(n, true);  // which knows what can be cut
    _appendrecord();
#endif
}

// Matching as the frame is recorded: most commands repeat the previous
// frame's command at the same place in the list, so each is compared
// with that one while its fields are at hand, and building the frame
// then only looks at those that did not. Matches in step keep the
// previous frame's order, and a command whose place moved is only
// drawn again, which is always safe. A frame that goes out of step (a
// command inserted or removed, too many changes, a command on another
// sprite, more misses in a row than a sprite drawn in a few parts makes)
// is matched by BuildingFrame's own search instead.
inline __attribute__((always_inline)) KRenderEngine::Node* KRenderEngine::_stepnext()
{
    return _stepnext(m_pRecord->list.End());
}

// The same for the command filled in spare, the recording list's spare
// node.
inline __attribute__((always_inline)) KRenderEngine::Node*
KRenderEngine::_stepnext(const Node* spare)
{
    m_nStepPos++;
    if (m_nStepLeft == 0)
        return NULL;
    m_nStepLeft--;
    Node* p = m_stepPrev;
    m_stepPrev = p->m_pNext;
    krecord::FetchAhead(p);
    krecord::FetchAhead(spare);
    return p;
}

// A cuttable command without a parameter block, filled in and about to
// be appended.
inline __attribute__((always_inline)) void KRenderEngine::_step(Node* n)
{
    Node* p = _stepnext();
    if (p == NULL || n->dst != m_sprCut || (p->state & KRE_STATE_STALE) != 0 ||
        !krecord::SameFields(p, n))
        _stepmiss(n, p);
}
