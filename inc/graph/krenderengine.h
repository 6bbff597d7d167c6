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
#include <new>
#include <vector>
#include "klink.h"
#include "kspritedata.h"
#include "kfont_2.h"

class KGraph;
class KDirtyGrid;

// The bits of a command's state. A recorder leaves it 0.
enum : DWORD {
    KRE_STATE_NOTDRAW = 1,     // the command is not drawn
    KRE_STATE_NOTPROCESS = 2,  // drawn whole; its whole rectangle counts as changed
    // A previous-frame command that may no longer match: what it read
    // changed or is gone. It still counts as vanished.
    KRE_STATE_STALE = 0x20u,
    // A drawn-whole command of the work list whose rectangle has already
    // been redrawn from the commands under and over it.
    KRE_STATE_SPREAD = 0x40u,
    // A previous-frame command this frame has already matched; set only
    // while a frame is built, whose last step empties that list.
    KRE_STATE_MATCHED = 0x80u,
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
        // Byte, colour, or the address of a parameter block, with the op
        // code and the KRE_STATE_* bits above it in one word: a command and
        // its link then take one 64-byte cache line, and a frame's lists
        // stream through as little memory as they can. Parameter blocks
        // lie below 2^48 (their buffers are checked when made).
        uint64_t param : 48;
        uint64_t op : 8;
        uint64_t state : 8;
        rectlist_node()
            : rcDst{0, 0, 0, 0}, dst(NULL), rcSrc{0, 0, 0, 0}, src(NULL), param(0), op(0), state(0)
        {
        }
        // The lists' blocks of commands share large pages (_nodeblock).
        static void* operator new[](size_t size, const std::nothrow_t&) noexcept
        {
            return _nodeblock(size);
        }
        static void operator delete[](void* p) noexcept { _freenodeblock(p); }
        static void operator delete[](void* p, const std::nothrow_t&) noexcept
        {
            _freenodeblock(p);
        }
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
    // What the last Render changed of the back screen: the rectangles it
    // redrew (count of them, none when it drew nothing there), or null when
    // the back screen is to be shown whole. ShowAll makes the next frame
    // that draws anything show it whole (the window was made or resized).
    const RECT* Shown(size_t& count) const;
    void ShowAll();
    // Drops every recorded and previous command that names a sprite block
    // or font about to be freed.
    void ForgetSprite(SPRITE_DATA* spr);
    void ForgetFont(KFont* font);

    // Recorders.
    // The plain and colour-keyed blits are most of a frame's commands: they
    // record inline, without a call, matching the previous frame's command
    // at their place as they go (defined in the library's own
    // krenderengine_record.h). A sprite's own rectangle is passed as it lies
    // in the sprite, and read in one load.
    inline void Blt(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src, long l, long t, long r,
                    long b);
    inline void Blt(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src, const RECT& rc);
    inline void Blt_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src, long l, long t, long r,
                       long b);
    inline void Blt_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src, const RECT& rc);
    inline void _recordblit(SPRITE_DATA* dst, DWORD op, long x, long y, SPRITE_DATA* src, long l,
                            long t, long r, long b, uintptr_t param);
    inline void _recordblit(SPRITE_DATA* dst, DWORD op, long x, long y, SPRITE_DATA* src,
                            const RECT& rc, uintptr_t param);
    // The same with the record made in 16-byte vectors, where there are any.
    template <class V>
    inline void _recordvec(SPRITE_DATA* dst, DWORD op, long x, long y, SPRITE_DATA* src, V rc,
                           uintptr_t param);
    template <class V>
    inline void _commit(Node* n, SPRITE_DATA* dst, V v0, V v1, V v2, uint64_t tail, bool cuttable);
    inline void _recordfields(SPRITE_DATA* dst, DWORD op, long l, long t, long r, long b,
                              SPRITE_DATA* src, long sl, long st, long sr, long sb,
                              uintptr_t param, bool cuttable);
    // A recorded command that missed the previous command p at its place:
    // noted, then appended. Out of line, so that a command that repeats the
    // previous frame's makes no call.
    __attribute__((noinline)) void _missed(Node* n, Node* p);
    // The previous command at the place of the command being recorded.
    inline Node* _stepnext();
    inline Node* _stepnext(const Node* spare);
    inline void _step(Node* n);
    // Any other command: equal is whether it matched p, the previous
    // command at its place.
    void _stepother(Node* n, Node* p, bool equal);
    // Any other command whose records compare: canMatch false for those
    // that never equal a previous one.
    void _steprecord(Node* n, bool canMatch);
    // A frame matched in step is built from its misses alone.
    bool _buildinstep();
    __attribute__((noinline)) void _stepmiss(Node* n, Node* p);
    void _stepreset();    void Blt_zoom(SPRITE_DATA* dst, long x, long y, long w, long h, SPRITE_DATA* src,
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

    // What a frame shows (krenderengine_shown.cpp).
    void _noteshown(bool cutIsBack);
    void _showreplayed(const rectlist_node* n);

    // Building a frame: how it flows is mapped at the top of
    // krenderengine_cut.cpp.
    // Matching (krenderengine_match.cpp).
    bool EquNode(const rectlist_node* a, const rectlist_node* b) const;
    bool IsInList(rectlist* list, rectlist_node* node);
    void _indexprevious();
    void _matchprevious(Node* prev, long i);
    Node* _inplace();
    bool _canmatch(const Node* prev, const rectlist_node* node) const;
    void _fillahead(long next, long count);
    void _matchedat(long order, Node* next);
    void _vanishupto(Node* stop);
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

    // Damage (krenderengine_damage.cpp).
    // A rectangle to redraw (krenderengine_state.h).
    struct Change;
    void _adddirty(const RECT& r, long pos, Node* fresh = NULL);
    void _gatherdirty();
    bool _findcovers(long first);
    bool _hidechanges();
    void _addshown(const Change& c);
    bool _mostlydirty(long fresh, long seen, long total);
    void _markpending();
    size_t _spreaduncut(size_t most);
    KDirtyGrid* _choosegrid(bool forced = false);
    bool _cutstats();
    double _estimate(const RECT& r) const;
    bool _boxpays(bool forced = false);
    RECT _dirtybounds() const;
    bool _touchesdirty(const rectlist_node* node) const;

    // Cutting (krenderengine_cut.cpp).
    void BuildingFrame();
    void _finishbuild(bool whole, bool changed);
    void AddToList(rectlist* list, const rectlist_node* node, bool draw);
    bool RectInNode(const rectlist_node* node, RECT& rect) const;
    int CutNode(rectlist_node* node, RECT& rect, rectlist_node* piece);
    void CutList(rectlist* list, RECT& rect);
    void PreFrame(rectlist* list, RECT& rect);
    void ThisFrame(rectlist* list, void* cursor, RECT& rect);
    void _cut(rectlist* list, RECT& rect, void* cursor, DWORD filter, DWORD clearAfter);
    bool _insidevanished(const RECT& r) const;
    void _buildfromgrid(KDirtyGrid& grid);
    void _buildexact();
    void _cutdirty();

    // Replay (krenderengine_replay.cpp; Render and RenderCut above).
    void Replay(const rectlist_node* node);
    void _replaytext(const rectlist_node* node);
    SPRITE_DATA* _window(SPRITE_DATA* spr, const RECT& r);

    // The lists and the text recorders (krenderengine.cpp).
    // Blocks of command nodes: those of a list's usual block size come from
    // large pages shared by every engine, so that the lists a frame walks
    // cost few address translations; others from the heap.
    static void* _nodeblock(size_t size) noexcept;
    static void _freenodeblock(void* block) noexcept;
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

    // Matching in step with the recording, which the inline recorders read.
    bool m_bStep;        // this frame is still matched in step
    Node* m_stepPrev;    // the previous command at the next place
    long m_nStepLeft;    // previous commands from there on
    long m_nStepPos;     // commands recorded this frame
    long m_nOffCut;      // commands recorded onto other sprites

    // The state of matching, damage and the frame modes between and within
    // frames: private to the library (krenderengine_state.h). Owned.
    struct FrameState;
    FrameState* m_frame;
};
