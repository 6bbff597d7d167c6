// KRenderEngine: the graph device's recorder of each frame's drawing.
//
// Every recorded drawing call of a KSprite becomes one command in the
// recording list. Once a frame, Render compares the commands drawn on the
// cut sprite with the previous frame's and hands only what changed to the
// device. Created and owned by the device; the host never makes one.
#pragma once
#include <windows.h>
#include <kexport.h>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include "kdirtygrid.h"
#include "klink.h"
#include "kspritedata.h"
#include "kfont_2.h"

class KGraph;

// The bits of a command's state word. A recorder leaves it 0.
enum : DWORD {
    KRE_STATE_NOTDRAW = 1,     // the command is not drawn
    KRE_STATE_NOTPROCESS = 2,  // drawn whole; its whole rectangle counts as changed
    // A previous-frame command that may no longer match: what it read
    // changed or is gone. It still counts as vanished.
    KRE_STATE_STALE = 0x20000000u,
    // A drawn-whole command of the work list whose rectangle has already
    // been redrawn from the commands under and over it.
    KRE_STATE_SPREAD = 0x40000000u,
    // A previous-frame command this frame has already matched; set only
    // while a frame is built, whose last step empties that list.
    KRE_STATE_MATCHED = 0x80000000u,
};

// Operation codes of a command. 3, 11 and 14 are never recorded.
enum {
    KRE_OP_BLT = 1,
    KRE_OP_CLEAR = 2,
    KRE_OP_RESERVED = 3,  // no recorder makes it; it never compares equal and draws nothing
    KRE_OP_BLT_CK = 4,
    KRE_OP_PRINTF = 5,
    KRE_OP_LINE = 6,
    KRE_OP_BLT_ZOOM = 7,
    KRE_OP_BLT_ALPHA = 8,
    KRE_OP_PRINTF_WIDTH = 9,
    KRE_OP_BLT_ADDITIVE = 10,
    KRE_OP_BLT_ALPHA_CK = 12,
    KRE_OP_BLT_ALPHA_SPR = 13,
    KRE_OP_FILL_ALPHA_SPR = 15,
    KRE_OP_BLT_ZOOM_ALPHA = 16,
    KRE_OP_BLT_ZOOM_CK = 17,
};

#define KRE_PARAMBUFF_SIZE 102400

// A line command's source rectangle left: the line runs from its top-right
// to its bottom-left pixel.
#define KRE_LINE_DOWNLEFT 1

// One parameter buffer of a command list.
struct KRE_PARAMBUFF {
    DWORD used;           // bytes written
    BYTE* data;           // KRE_PARAMBUFF_SIZE bytes
    KRE_PARAMBUFF* next;  // null at the end of the chain
};

// Parameter blocks, kept in the recording list's buffers; a command's param
// holds the block's address.
// The unformatted arguments of a text whose format converts only whole
// numbers and characters: such a text depends on the format and these
// values alone, so a text that repeats is known without formatting it.
#define KRE_TEXT_ARGS_MAX 4
struct KRE_TEXT_ARGS {
    const char* format;  // the copy stored with the text; null when not so made
    int count;
    DWORD longs;         // bit i set: value i was passed as a long
    uint64_t values[KRE_TEXT_ARGS_MAX];
};

struct KRE_TEXT_PARAM {
    KFont* font;
    DWORD colour;
    const char* text;  // the copy stored just before the block
    long width;        // only for the width-limited form
    KRE_TEXT_ARGS args;
};

struct KRE_ALPHA_PARAM {
    SPRITE_DATA* alpha;  // KCM_GRAY
    long ax, ay;         // the alpha pixel under the source's top-left
};

class KESTREL_API KRenderEngine {
public:
    KRenderEngine();
    ~KRenderEngine();
    KRenderEngine(const KRenderEngine&) = delete;
    KRenderEngine& operator=(const KRenderEngine&) = delete;

    KGraph* GetGraph() const { return m_Graph; }

    // How far past its advance a glyph of a font of this height may reach
    // (a letter wider than its step, a bearing below zero): a text's
    // rectangle holds that much on either side of where its characters step.
    static long TextReach(long height) { return height > 0 ? height / 2 : 0; }

    // One command.
    struct rectlist_node {
        RECT rcDst;          // destination pixels, right and bottom exclusive
        SPRITE_DATA* dst;
        RECT rcSrc;          // source pixels, where the command has a source
        SPRITE_DATA* src;    // for KRE_OP_FILL_ALPHA_SPR: the fill colour (see Source)
        DWORD op;
        DWORD state;         // KRE_STATE_* bits
        uintptr_t param;     // byte, colour, or the address of a parameter block
        // (state before param: no padding, so a command and its link take
        // 72 bytes, and a frame's lists stream through less memory)
        rectlist_node() : rcDst{0, 0, 0, 0}, dst(NULL), rcSrc{0, 0, 0, 0}, src(NULL), op(0),
                          state(0), param(0) {}
        // The sprite the command reads pixels from, or null: a colour fill
        // keeps its colour in the source field, so no sprite may match it.
        SPRITE_DATA* Source() const { return op == KRE_OP_FILL_ALPHA_SPR ? NULL : src; }
        // A colour fill's colour.
        DWORD FillColour() const { return DWORD(reinterpret_cast<uintptr_t>(src)); }
        // The parameter block of a text command (KRE_OP_PRINTF, _WIDTH).
        const KRE_TEXT_PARAM* Text() const
        {
            return reinterpret_cast<const KRE_TEXT_PARAM*>(param);
        }
        // The parameter block of a blit through an alpha sprite
        // (KRE_OP_BLT_ALPHA_SPR, KRE_OP_FILL_ALPHA_SPR).
        const KRE_ALPHA_PARAM* Alpha() const
        {
            return reinterpret_cast<const KRE_ALPHA_PARAM*>(param);
        }
    };

    // The pooled command list, with an append for the recorders that is
    // inline whenever a spare node follows.
    class CommandList : public KLink<rectlist_node, 16, 16> {
        typedef KLinkPool<Node, 16, 16> Pool;

    public:
        // GetEnd for the recorders, without its check: the engine is not
        // made when its lists cannot be.
        Node* End() const { return this->Pool::m_End; }
        // Add, for a node filled by a recorder.
        __attribute__((always_inline)) void AddFilled()
        {
            Node* end = this->Pool::m_End;
            Node* next = end->m_pNext;
            if (next == NULL) {
                Add();  // a new block: out of line
                return;
            }
            this->Pool::m_End = next;
            ++this->Pool::m_uUsed;
        }
    };

    // One command list with its chain of parameter buffers.
    struct rectlist {
        typedef CommandList List;
        typedef List::Node Node;
        List list;
        KRE_PARAMBUFF* first = NULL;
        KRE_PARAMBUFF* current = NULL;  // the buffer being written
        BYTE* write = NULL;             // next free byte of current
        DWORD capacity = 0;             // bytes of all buffers
    };
    typedef rectlist::Node Node;

private:
    friend class KGraph;
    friend class KGraphGDI;
    friend class KSprite;
    friend struct KRenderEngineAccess;  // tests

    long Init(KGraph* graph);
    void Release();

    // Frame control.
    void SetCutMode(bool on);
    void SetCutSpr(SPRITE_DATA* spr);
    bool GetCutMode() const { return m_bCutMode; }
    SPRITE_DATA* GetCutSpr() const { return m_sprCut; }
    void Clear();
    void Redraw();
    void Update(SPRITE_DATA* spr, long l, long t, long r, long b);
    int Render();
    int RenderCut();
    // Drops every recorded and previous command that names a sprite block
    // or font about to be freed.
    void ForgetSprite(SPRITE_DATA* spr);
    void ForgetFont(KFont* font);

    // Recorders.
    // The plain and colour-keyed blits are most of a frame's commands: they
    // record inline, without a call. A sprite's own rectangle is passed as
    // it lies in the sprite, and read in one load.
    __attribute__((always_inline)) void Blt(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                            long l, long t, long r, long b)
    {
        _recordblit(dst, KRE_OP_BLT, x, y, src, l, t, r, b, 0);
    }
    __attribute__((always_inline)) void Blt(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                            const RECT& rc)
    {
        _recordblit(dst, KRE_OP_BLT, x, y, src, rc, 0);
    }
    __attribute__((always_inline)) void Blt_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                               long l, long t, long r, long b)
    {
        _recordblit(dst, KRE_OP_BLT_CK, x, y, src, l, t, r, b, 0);
    }
    __attribute__((always_inline)) void Blt_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                               const RECT& rc)
    {
        _recordblit(dst, KRE_OP_BLT_CK, x, y, src, rc, 0);
    }
#ifdef __SSE2__
    __attribute__((always_inline)) void _recordblit(SPRITE_DATA* dst, DWORD op, long x, long y,
                                                    SPRITE_DATA* src, long l, long t, long r,
                                                    long b, uintptr_t param)
    {
        _recordblit(dst, op, x, y, src, _mm_set_epi32(int(b), int(r), int(t), int(l)), param);
    }
    __attribute__((always_inline)) void _recordblit(SPRITE_DATA* dst, DWORD op, long x, long y,
                                                    SPRITE_DATA* src, const RECT& rc,
                                                    uintptr_t param)
    {
        static_assert(sizeof(RECT) == 16, "a rectangle is four 32-bit values");
        _recordblit(dst, op, x, y, src, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&rc)),
                    param);
    }
    // Fills the spare node with a blit of the source rectangle rc (left,
    // top, right, bottom) to (x, y) and appends it; every field is set, so
    // that equal commands have equal records. Always inline, and with no
    // call on the way of a command that repeats the previous frame's: a
    // call would cost as much again.
    //
    // The record is made in four registers, stored whole and compared from
    // the registers: reading it back from the node just written would wait
    // until the stores are done, since a load that spans two stores is not
    // served from them.
    __attribute__((always_inline)) void _recordblit(SPRITE_DATA* dst, DWORD op, long x, long y,
                                                    SPRITE_DATA* src, __m128i rc,
                                                    uintptr_t param)
    {
        static_assert(offsetof(rectlist_node, rcSrc) == 24 && offsetof(rectlist_node, op) == 48 &&
                          offsetof(rectlist_node, state) == 52 &&
                          offsetof(rectlist_node, param) == 56,
                      "the record's four 16-byte parts");
        Node* n = m_pRecord->list.End();
        // x, y, x + r - l, y + b - t: the position plus (0, 0, r - l, b - t).
        const __m128i xy = _mm_set_epi32(int(y), int(x), int(y), int(x));
        const __m128i lt = _mm_shuffle_epi32(rc, _MM_SHUFFLE(1, 0, 1, 0));
        const __m128i v0 = _mm_add_epi32(xy, _mm_sub_epi32(rc, lt));
        const __m128i v1 = _mm_unpacklo_epi64(AsVector(dst), rc);  // dst, l, t
        const __m128i rb = _mm_unpackhi_epi64(rc, rc);
        const __m128i v2 = _mm_unpacklo_epi64(rb, AsVector(src));  // r, b, src
        const __m128i v3 = _mm_set_epi64x(int64_t(param), int64_t(op));  // op, state 0, param
        _commit(n, dst, v0, v1, v2, v3, true);
    }
    // Stores the record v0 to v3 (the node's four 16-byte parts, state 0)
    // of a command on dst in n, the spare node, matches it against the
    // previous command at its place and appends it. cuttable: a command the
    // frame building always cuts into bands where it meets a change (a blit
    // without scaling, a fill, a straight line); any other is handed to
    // _stepother when it matches, which notes it if it is drawn whole.
    __attribute__((always_inline)) void _commit(Node* n, SPRITE_DATA* dst, __m128i v0, __m128i v1,
                                                __m128i v2, __m128i v3, bool cuttable)
    {
        // The spare node last held the command recorded at this place two
        // frames ago, which on a steady screen is this one: it is then left
        // as it is, and a frame that repeats the last writes no memory back.
        __m128i* w = reinterpret_cast<__m128i*>(static_cast<rectlist_node*>(n));
        if (!SameVectors(w, v0, v1, v2, v3, _mm_set1_epi32(-1))) {
            _mm_storeu_si128(w, v0);
            _mm_storeu_si128(w + 1, v1);
            _mm_storeu_si128(w + 2, v2);
            _mm_storeu_si128(w + 3, v3);
        }
        if (m_bStep) {
            Node* p = _stepnext();
            if (p == NULL || dst != m_sprCut || !SameBlit(p, v0, v1, v2, v3)) {
                _missed(n, p);
                return;
            }
            if (!cuttable)
                _stepother(n, p, true);  // noted if the frame building cannot cut it
        }
        _appendrecord();
    }
    static __m128i AsVector(const void* p)
    {
        return _mm_cvtsi64_si128(int64_t(reinterpret_cast<uintptr_t>(p)));
    }
    // Two 32-bit fields side by side, the first in the low half.
    static int64_t PackPair(long a, long b)
    {
        return int64_t(uint64_t(uint32_t(b)) << 32 | uint32_t(a));
    }
    // True when the previous command p's record is v0 to v3 and p is not
    // stale: of the state, only the stale bit is compared (with v3's 0).
    static bool SameBlit(const rectlist_node* p, __m128i v0, __m128i v1, __m128i v2, __m128i v3)
    {
        const __m128i stateMask = _mm_set_epi32(-1, -1, int(KRE_STATE_STALE), -1);
        return SameVectors(reinterpret_cast<const __m128i*>(p), v0, v1, v2, v3, stateMask);
    }
    // True when the 64 bytes at p are v0 to v3, the last 16 compared only
    // in the bits of mask3.
    static bool SameVectors(const __m128i* p, __m128i v0, __m128i v1, __m128i v2, __m128i v3,
                            __m128i mask3)
    {
        __m128i d = _mm_xor_si128(_mm_loadu_si128(p), v0);
        d = _mm_or_si128(d, _mm_xor_si128(_mm_loadu_si128(p + 1), v1));
        d = _mm_or_si128(d, _mm_xor_si128(_mm_loadu_si128(p + 2), v2));
        d = _mm_or_si128(d, _mm_and_si128(_mm_xor_si128(_mm_loadu_si128(p + 3), v3), mask3));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(d, _mm_setzero_si128())) == 0xFFFF;
    }
#else
    __attribute__((always_inline)) void _recordblit(SPRITE_DATA* dst, DWORD op, long x, long y,
                                                    SPRITE_DATA* src, const RECT& rc,
                                                    uintptr_t param)
    {
        _recordblit(dst, op, x, y, src, rc.left, rc.top, rc.right, rc.bottom, param);
    }
    __attribute__((always_inline)) void _recordblit(SPRITE_DATA* dst, DWORD op, long x, long y,
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
    __attribute__((always_inline)) void _recordfields(SPRITE_DATA* dst, DWORD op, long l, long t,
                                                      long r, long b, SPRITE_DATA* src, long sl,
                                                      long st, long sr, long sb, uintptr_t param,
                                                      bool cuttable)
    {
        Node* n = m_pRecord->list.End();
#ifdef __SSE2__
        _commit(n, dst, _mm_set_epi32(int(b), int(r), int(t), int(l)),
                _mm_set_epi64x(PackPair(sl, st), int64_t(reinterpret_cast<uintptr_t>(dst))),
                _mm_set_epi64x(int64_t(reinterpret_cast<uintptr_t>(src)), PackPair(sr, sb)),
                _mm_set_epi64x(int64_t(param), int64_t(op)), cuttable);
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
    // A recorded command that missed the previous command p at its place:
    // noted, then appended. Out of line, so that a command that repeats the
    // previous frame's makes no call.
    __attribute__((noinline)) void _missed(Node* n, Node* p);

    // True when two commands' records are equal field for field (the state
    // and the link aside). The recorders set every field, so equal records
    // are equal commands; the converse does not hold for text and the blits
    // through an alpha sprite, whose parameter blocks live in each frame's
    // own buffers.
    static bool SameRecord(const rectlist_node* a, const rectlist_node* b)
    {
        static_assert(sizeof(rectlist_node) == 64, "a command without padding");
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
        return ((a->op ^ b->op) | (a->param ^ b->param)) == 0;
#else
        uint64_t wa[6], wb[6];
        std::memcpy(wa, a, sizeof wa);
        std::memcpy(wb, b, sizeof wb);
        uint64_t diff = (a->op ^ b->op) | (a->param ^ b->param);
        for (int i = 0; i < 6; i++)
            diff |= wa[i] ^ wb[i];
        return diff == 0;
#endif
    }

    // SameRecord for a record b just written field by field: loads of the
    // fields' own sizes are served from the stores still under way, where a
    // wider load would wait for them.
    static bool SameFields(const rectlist_node* a, const rectlist_node* b)
    {
        const DWORD rects =
            DWORD(a->rcDst.left ^ b->rcDst.left) | DWORD(a->rcDst.top ^ b->rcDst.top) |
            DWORD(a->rcDst.right ^ b->rcDst.right) | DWORD(a->rcDst.bottom ^ b->rcDst.bottom) |
            DWORD(a->rcSrc.left ^ b->rcSrc.left) | DWORD(a->rcSrc.top ^ b->rcSrc.top) |
            DWORD(a->rcSrc.right ^ b->rcSrc.right) | DWORD(a->rcSrc.bottom ^ b->rcSrc.bottom) |
            (a->op ^ b->op);
        return rects == 0 && a->dst == b->dst && a->src == b->src && a->param == b->param;
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
    __attribute__((always_inline)) Node* _stepnext()
    {
        m_nStepPos++;
        if (m_nStepLeft == 0)
            return NULL;
        m_nStepLeft--;
        Node* p = m_stepPrev;
        m_stepPrev = p->m_pNext;
        FetchAhead(p);
        FetchAhead(m_pRecord->list.End());
        return p;
    }
    // Both lists are walked in order as a frame is recorded, and their
    // nodes lie mostly side by side: the node a dozen places on is asked for
    // at each step, so that it is at hand when reached. A frame of a few
    // thousand commands does not stay in the caches from one frame to the
    // next once the game has drawn it (measured with bench/frame: a sixth of
    // the recording's time at 10,000 commands; a dozen places did best).
    static void FetchAhead(const Node* node)
    {
        __builtin_prefetch(
            reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(node) + 12 * sizeof(Node)));
    }
    // A cuttable command without a parameter block, filled in and about to
    // be appended.
    __attribute__((always_inline)) void _step(Node* n)
    {
        Node* p = _stepnext();
        if (p == NULL || n->dst != m_sprCut || (p->state & KRE_STATE_STALE) != 0 ||
            !SameFields(p, n))
            _stepmiss(n, p);
    }
    // Any other command: equal is whether it matched p, the previous
    // command at its place.
    void _stepother(Node* n, Node* p, bool equal);
    // Any other command whose records compare: canMatch false for those
    // that never equal a previous one.
    void _steprecord(Node* n, bool canMatch);
    bool _buildinstep();
    void _finishbuild(bool whole, bool changed);
    __attribute__((noinline)) void _stepmiss(Node* n, Node* p);
    void _stepreset();
    void Blt_zoom(SPRITE_DATA* dst, long x, long y, long w, long h, SPRITE_DATA* src,
                  long l, long t, long sw, long sh);
    void Blt_zoom_alpha(SPRITE_DATA* dst, long x, long y, long w, long h, SPRITE_DATA* src,
                        long l, long t, long sw, long sh, BYTE alpha);
    void Blt_zoom_ck(SPRITE_DATA* dst, long x, long y, long w, long h, SPRITE_DATA* src,
                     long l, long t, long sw, long sh);
    void Blt_additive(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                      long l, long t, long r, long b, BYTE level);
    void Blt_alpha(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                   long l, long t, long r, long b, BYTE alpha);
    void Blt_alpha_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                      long l, long t, long r, long b, BYTE alpha);
    void Blt_alpha(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                   long l, long t, long r, long b, SPRITE_DATA* alpha, long ax, long ay);
    void Blt_alpha(SPRITE_DATA* dst, long x, long y, DWORD colour,
                   long l, long t, long r, long b, SPRITE_DATA* alpha, long ax, long ay);
    void Clear(SPRITE_DATA* dst, long l, long t, long r, long b, DWORD colour);
    void Line(SPRITE_DATA* dst, long x1, long y1, long x2, long y2, DWORD colour);
    void Printf(SPRITE_DATA* dst, KFont* font, long x, long y, DWORD colour, const char* text);
    void Printf(SPRITE_DATA* dst, int height, long x, long y, DWORD colour, const char* text);
    void Printf(SPRITE_DATA* dst, int height, long x, long y, DWORD colour, const char* text,
                long width);
    void Printf(SPRITE_DATA* dst, KFont* font, long x, long y, DWORD colour, const char* text,
                long width);
    void Printf(SPRITE_DATA* dst, int height, long x, long y, DWORD colour,
                KFONT_ALIGN_TYPE align, const char* text);
    void Printf(SPRITE_DATA* dst, KFont* font, long x, long y, DWORD colour,
                KFONT_ALIGN_TYPE align, const char* text);

    // Parameter buffers.
    // Every saved item starts on this boundary: parameter blocks hold
    // pointers.
    static DWORD AlignedSize(DWORD size)
    {
        const DWORD align = alignof(KRE_TEXT_PARAM);
        return (size + align - 1) / align * align;
    }
    // Returns where the next saved parameter lands, chaining a new buffer
    // when the current one cannot hold size more bytes; null when no room
    // can be made. Room in the current buffer is found inline.
    BYTE* RequestParamSize(rectlist* list, DWORD size)
    {
        KRE_PARAMBUFF* b = list->current;
        if (b != NULL && size <= KRE_PARAMBUFF_SIZE &&
            b->used + AlignedSize(size) <= KRE_PARAMBUFF_SIZE) {
            list->write = b->data + b->used;
            return list->write;
        }
        return _requestparam(list, size);
    }
    BYTE* _requestparam(rectlist* list, DWORD size);
    void SaveParam(rectlist* list, const void* data, DWORD size);
    KRE_PARAMBUFF* CreateParamBuff();
    void ClearParamBuff(rectlist* list);
    void ReleaseParamBuff(rectlist* list);

    // Device gateway for KSprite.
    SPRITE_DATA* _createsprite(long w, long h, KESTREL_COLOR_MODE cm, DWORD flags);
    void ReleaseSprite(SPRITE_DATA*& spr);
    long _clearsprite(SPRITE_DATA* spr, long l, long t, long r, long b, DWORD colour);
    long _locksprite(SPRITE_DATA* spr, void** bits, DWORD& pitch, long& w, long& h);
    long _unlocksprite(SPRITE_DATA* spr);
    long _locksprite_r(SPRITE_DATA* spr, RECT* rc, void** bits, DWORD& pitch, long& w, long& h);
    SPRITE_DATA* GetBackScreenData();
    KFont* GetDefaultFont();

    // Node state.
    void ClearState(rectlist_node* n) { n->state = 0; }
    void SetStateNotDraw(rectlist_node* n) { n->state |= m_dwNotDraw; }
    void ClrStateNotDraw(rectlist_node* n) { n->state &= ~m_dwNotDraw; }
    void SetStateNotProcess(rectlist_node* n) { n->state |= m_dwNotProcess; }
    void ClrStateNotProcess(rectlist_node* n) { n->state &= ~m_dwNotProcess; }
    bool IsDrawNode(const rectlist_node* n) const { return (n->state & m_dwNotDraw) == 0; }
    DWORD IsNotProcessNode(const rectlist_node* n) const { return n->state & m_dwNotProcess; }

    // Frame comparison (krenderengine_match.cpp, _damage.cpp, _cut.cpp,
    // _replay.cpp; the map is at the top of krenderengine_cut.cpp).
    void BuildingFrame();
    bool EquNode(const rectlist_node* a, const rectlist_node* b) const;
    bool IsInList(rectlist* list, rectlist_node* node);
    void AddToList(rectlist* list, const rectlist_node* node, bool draw);
    bool RectInNode(const rectlist_node* node, RECT& rect) const;
    int CutNode(rectlist_node* node, RECT& rect, rectlist_node* piece);
    void CutList(rectlist* list, RECT& rect);
    void PreFrame(rectlist* list, RECT& rect);
    void ThisFrame(rectlist* list, void* cursor, RECT& rect);
    void Replay(const rectlist_node* node);
    void _replaytext(const rectlist_node* node);
    // Texts starting at one place on one line (their widths may differ).
    static bool SameTextPlace(const Node* p, const Node* n)
    {
        return p->rcDst.left == n->rcDst.left && p->rcDst.top == n->rcDst.top &&
               p->rcDst.bottom == n->rcDst.bottom;
    }
    // Texts: n drawn where p was, with its font and colour, so that only
    // the characters that differ need redrawing.
    static bool EditableText(const Node* p, const Node* n);
    // Marks dirty what of p's and n's pixels may differ; false when the two
    // texts cannot be told apart character by character.
    bool _textedit(const Node* p, const Node* n);
    void _stepedit(Node* n, Node* p);
    bool _matchedit(Node* node);
    SPRITE_DATA* _window(SPRITE_DATA* spr, const RECT& r);

    rectlist* NewList();
    void EmptyList(rectlist* list);
    Node* TakeSpare(rectlist* list) { return list->list.GetEnd(); }
    void Append(rectlist* list) { list->list.AddFilled(); }
    // Appends the command just filled in to the recording list, counting
    // those on other sprites than the cut one: a frame drawn whole then
    // need not walk its commands to find them.
    __attribute__((always_inline)) void _appendrecord()
    {
        m_nOffCut += m_pRecord->list.End()->dst != m_sprCut;
        m_pRecord->list.AddFilled();
    }
    void _countoffcut();
    void _cut(rectlist* list, RECT& rect, void* cursor, DWORD filter, DWORD clearAfter);
    void _indexprevious();
    void _matchprevious(Node* prev, long i);
    Node* _inplace();
    bool _canmatch(const Node* prev, const rectlist_node* node) const;
    void _fillahead(long next, long count);
    void _matchedat(long order, Node* next);
    void _vanishupto(Node* stop);
    // A rectangle to redraw, kept as it was found: where its change lies in
    // the list decides which covers hide it.
    struct Change {
        RECT rect;
        long pos;     // hidden only by covers after this list position
        Node* fresh;  // the new command drawn there; null for what is gone
                      // (or an edited text's stretch), redrawn from all there
    };
    void _adddirty(const RECT& r, long pos, Node* fresh = NULL);
    void _gatherdirty();
    void _findcovers(long first);
    void _hidechanges();
    void _addshown(const Change& c);
    bool _mostlydirty(long fresh, long seen, long total);
    void _markpending();
    size_t _spreaduncut(size_t most);
    KDirtyGrid* _choosegrid();
    bool _cutstats();
    double _estimate(const RECT& r) const;
    bool _boxpays();
    RECT _dirtybounds() const;
    bool _insidevanished(const RECT& r) const;
    void _buildfromgrid(KDirtyGrid& grid);
    void _buildexact();
    bool _touchesdirty(const rectlist_node* node) const;
    void _cutdirty();
    template <class Pred>
    void _dropif(rectlist* list, Pred pred);
    template <class Pred>
    void _markstale(rectlist* list, Pred pred);
    // Where all six Printf forms end: font draws, h is the height used for
    // the visibility test and the destination rectangle.
    void _text(SPRITE_DATA* dst, KFont* font, long h, long x, long y, DWORD colour,
               KFONT_ALIGN_TYPE align, const char* text, bool withWidth, long width,
               const KRE_TEXT_ARGS* args = NULL, size_t formatLen = 0);
    // KSprite's formatted text: font null draws with the default font at
    // the given height.
    void _printf(SPRITE_DATA* dst, KFont* font, int height, long x, long y, DWORD colour,
                 KFONT_ALIGN_TYPE align, bool withWidth, long width, const char* format,
                 va_list args);
    // _printf's text when the previous command at this place, p, was made
    // from the same format and values: its text, format and block are
    // copied whole, and neither formatting nor measuring is done again.
    void _reprint(Node* p, SPRITE_DATA* dst, long h, long x, long y, KFONT_ALIGN_TYPE align);

    DWORD m_dwNotDraw;      // KRE_STATE_NOTDRAW
    DWORD m_dwNotProcess;   // KRE_STATE_NOTPROCESS
    KGraph* m_Graph;        // not owned
    rectlist* m_pRecord;    // this frame's commands
    rectlist* m_pPrev;      // the last replayed frame's cut-sprite commands
    rectlist* m_pDraw;      // what Render replays
    rectlist* m_pWork;      // this frame's cut-sprite commands and their states
    bool m_bCutMode;        // frame comparison on
    SPRITE_DATA* m_sprCut;  // null = no cut sprite

    // The previous frame's commands by a hash of what every two equal
    // commands share (op, destination and its rectangle): a table of chains,
    // each in list order, so a match is found without a walk of the list.
    // Its storage is kept from frame to frame.
    struct PrevKey {
        uint64_t hash;
        Node* node;
        int next;  // the next entry of the same bucket, -1 at the end
        long pos;  // the command's position in the previous-frame list
    };
    std::vector<PrevKey> m_prevIndex;  // in list order, from the first unmatched
    std::vector<int> m_prevBuckets;    // first entry of each bucket, -1 when empty
    std::vector<int> m_prevTails;      // last entry of each bucket, -1 when empty
    std::vector<uintptr_t> m_window;   // _window's sprite header and row pointers
    std::vector<RECT> m_dirty;         // the rectangles this frame redraws
    std::vector<RECT> m_vanished;      // of the commands that vanished, in list order
    std::vector<Change> m_changes;     // what matching found changed, in m_dirty after
    long m_nBuildPos = 0;              // list position of the command being matched
    long m_nHidden = 0;                // changes hidden in whole or part this frame
    RECT m_dirtyBox = {0, 0, 0, 0};    // the bounds of m_dirty
    std::vector<Node*> m_uncut;        // uncuttable unchanged commands (null once spread)
    long m_nMatchedOrder;  // list order of the last previous command matched
    Node* m_prevNext;      // the previous command after that one
    bool m_bIndexed;       // m_prevIndex holds this frame's previous list
    long m_nIndexEnd;      // list position past the last command indexed
    Node* m_indexNext;     // the previous command at that position
    int m_nMisses;         // commands this frame found nothing nearby for
    long m_nLastMissAt;    // m_nMatchedOrder when the last of them missed
    long m_nMatchedAt = -1;      // m_nBuildPos of the command that matched last
    // How far past the last match a command is looked for before the index,
    // and the places of those previous commands (_fillahead).
    static constexpr long kLookAhead = 8;
    struct Ahead {
        RECT rect;
        DWORD op;
    };
    Ahead m_ahead[kLookAhead];
    long m_nAheadAt = -1;        // the list position of m_ahead[0]
    long m_nAheadLen = 0;
    long m_nKept = 0;            // commands of this frame matched so far
    Node* m_placeNode = NULL;    // a previous command at or past m_prevNext
    long m_nPlacePos = 0;        // its list position
    size_t m_nMarkedDirty; // m_dirty's rectangles marked on the grid while matching
    size_t m_nMarkedRects = 0;  // of m_changes, those marked on the grid so far
    long m_markBound = 0;       // marked cells, and the cells of those not marked yet
    long m_nMostlyCells = 0;    // kMostlyDirty of the finest grid's cells
    size_t m_nMostWork;    // the most commands a work list has held

    // Where this frame must be redrawn, on grids of 16, 32 and 64 pixel
    // cells, used once changes are too many for cutting by each rectangle.
    KDirtyGrid m_grids[3];
    std::vector<char> m_uncutMarked;  // per m_uncut: marked on the grid already
    bool m_bWhole;         // this frame's cut-sprite commands are all drawn whole
    // How the last frame of the cut sprite was built.
    enum FrameMode { kFrameUnchanged, kFrameExact, kFrameBox, kFrameGrid, kFrameWhole };
    FrameMode m_lastMode;
    long m_nCutCommands;   // this frame's commands on the cut sprite
    double m_cutArea;      // and the pixels of their rectangles

    // Matching in step with the recording (_step).
    struct StepMiss {
        Node* node;  // the recorded command
        Node* prev;  // the previous command at its place, or null
        long pos;    // that place in both lists
        bool edit;   // node is prev's text edited (EditableText)
    };
    bool m_bStep;                     // this frame is still matched in step
    Node* m_stepPrev;                 // the previous command at the next place
    long m_nStepLeft;                 // previous commands from there on
    long m_nStepPos;                  // commands recorded this frame
    std::vector<StepMiss> m_stepMisses;
    size_t m_nStepMaxMisses;          // past this many, BuildingFrame searches
    long m_nStepLastMiss;             // the place of the last miss
    long m_nStepRun = 0;              // misses in a row up to it
    long m_nOffCut;                   // commands recorded onto other sprites
};
