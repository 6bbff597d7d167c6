// KRenderEngine: set-up, the recorders, parameter buffers and the device
// gateway. Building a frame is in krenderengine_cut.cpp (its map at the
// top), the replay in krenderengine_replay.cpp.
#include "krenderengine_state.h"
#include "krenderengine_record.h"
#include "kgraph.h"
#include "kformat.h"
#include <kbase.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <queue>
#include <utility>
#include <vector>

namespace {

// The size of the blocks the command lists grow by.
const size_t kNodeBlock = 16 * sizeof(KRenderEngine::Node);

// Blocks of command nodes carved from large pages. A frame of thousands of
// commands walks its two lists node by node while the game's own drawing
// and other screens push them out of the caches; on pages of a few
// kilobytes each step onto a new page waits for its translation as well as
// its data (bench_frame --benchmark_filter=BM_RecordScale). Freed blocks
// are kept for the next list that grows, lowest address first, so that a
// list grows forwards through memory as the fetching ahead expects; the
// pages are never given back.
struct NodePages {
    std::mutex mutex;
    std::vector<std::pair<uintptr_t, uintptr_t>> chunks;  // [first, end) of each
    std::priority_queue<uintptr_t, std::vector<uintptr_t>, std::greater<uintptr_t>> free;
    uintptr_t next = 0, end = 0;  // what is left of the newest chunk
};

NodePages& Pages()
{
    static NodePages* pages = new NodePages;  // blocks may outlive statics
    return *pages;
}

}  // namespace

void* KRenderEngine::_nodeblock(size_t size) noexcept
{
    if (size == kNodeBlock) {
        NodePages& pages = Pages();
        std::lock_guard<std::mutex> lock(pages.mutex);
        if (!pages.free.empty()) {
            void* block = reinterpret_cast<void*>(pages.free.top());
            pages.free.pop();
            return block;
        }
        if (pages.end - pages.next < kNodeBlock && pages.chunks.size() < pages.chunks.max_size()) {
            const SIZE_T large = GetLargePageMinimum();
            const SIZE_T chunk = large >= kNodeBlock ? large : SIZE_T(2) << 20;
            void* p = large != 0
                          ? VirtualAlloc(NULL, chunk, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES,
                                         PAGE_READWRITE)
                          : NULL;
            if (p == NULL)
                p = VirtualAlloc(NULL, chunk, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
            if (p != NULL) {
                const uintptr_t first = reinterpret_cast<uintptr_t>(p);
                try {
                    pages.chunks.emplace_back(first, first + chunk);
                    pages.next = first;
                    pages.end = first + chunk;
                } catch (const std::bad_alloc&) {
                    VirtualFree(p, 0, MEM_RELEASE);
                }
            }
        }
        if (pages.end - pages.next >= kNodeBlock) {
            void* block = reinterpret_cast<void*>(pages.next);
            pages.next += kNodeBlock;
            return block;
        }
    }
    return ::operator new[](size, std::nothrow);
}

void KRenderEngine::_freenodeblock(void* block) noexcept
{
    if (block == NULL)
        return;
    NodePages& pages = Pages();
    {
        std::lock_guard<std::mutex> lock(pages.mutex);
        const uintptr_t at = reinterpret_cast<uintptr_t>(block);
        for (const auto& chunk : pages.chunks) {
            if (at >= chunk.first && at < chunk.second) {
                try {
                    pages.free.push(at);
                } catch (const std::bad_alloc&) {
                    // kept out of use: no worse than a block never freed
                }
                return;
            }
        }
    }
    ::operator delete[](block);
}

KRenderEngine::KRenderEngine()
    : m_dwNotDraw(KRE_STATE_NOTDRAW), m_dwNotProcess(KRE_STATE_NOTPROCESS), m_Graph(NULL),
      m_pRecord(NULL), m_pPrev(NULL), m_pDraw(NULL), m_pWork(NULL), m_bCutMode(false),
      m_sprCut(NULL), m_bStep(false), m_stepPrev(NULL), m_nStepLeft(0), m_nStepPos(0),
      m_nOffCut(0), m_frame(new FrameState)
{
    Init(NULL);
}

KRenderEngine::~KRenderEngine()
{
    Release();
    delete m_frame;
}

KRenderEngine::rectlist* KRenderEngine::NewList()
{
    rectlist* list = new (std::nothrow) rectlist;
    if (list == NULL)
        return NULL;
    if (list->list.End() == NULL) {  // its first block could not be made
        delete list;
        return NULL;
    }
    list->first = list->current = CreateParamBuff();
    list->capacity = list->first != NULL ? KRE_PARAMBUFF_SIZE : 0;
    return list;
}

// The first call makes the lists; later calls only change the device, so
// the cut settings survive the device's own Init.
long KRenderEngine::Init(KGraph* graph)
{
    m_Graph = graph;
    if (m_pRecord != NULL)
        return 0;
    m_pRecord = NewList();
    m_pPrev = NewList();
    m_pDraw = NewList();
    m_pWork = NewList();
    if (!m_pRecord || !m_pPrev || !m_pDraw || !m_pWork) {
        Release();
        return KRet(KRET_NOMEMORY, "KRenderEngine::Init()");
    }
    SetCutMode(true);
    SetCutSpr(graph != NULL ? graph->GetBackScreenData() : NULL);
    _stepreset();
    return 0;
}

void KRenderEngine::Release()
{
    rectlist** slots[4] = {&m_pRecord, &m_pPrev, &m_pDraw, &m_pWork};
    for (rectlist** slot : slots) {
        if (*slot == NULL)
            continue;
        ReleaseParamBuff(*slot);
        delete *slot;
        *slot = NULL;
    }
}

// What was matched in step so far was matched for the old settings.
void KRenderEngine::SetCutMode(bool on)
{
    m_bCutMode = on;
    if (!on)
        m_sprCut = NULL;
    m_bStep = false;
    _countoffcut();
    ShowAll();
}

void KRenderEngine::SetCutSpr(SPRITE_DATA* spr)
{
    m_sprCut = spr;
    m_bStep = false;
    _countoffcut();
    ShowAll();
}

// The commands recorded so far, counted again for a new cut sprite.
void KRenderEngine::_countoffcut()
{
    m_nOffCut = 0;
    if (m_pRecord == NULL)
        return;
    Node* n = m_pRecord->list.GetHead();
    for (DWORD i = 0, count = m_pRecord->list.GetCount(); i < count; i++, n = n->m_pNext)
        m_nOffCut += n->dst != m_sprCut;
}

void KRenderEngine::EmptyList(rectlist* list)
{
    list->list.Clear();
    ClearParamBuff(list);
}

void KRenderEngine::Clear()
{
    if (m_pRecord)
        EmptyList(m_pRecord);
    _stepreset();
}

void KRenderEngine::Redraw()
{
    if (!m_pPrev)
        return;
    EmptyList(m_pPrev);
    EmptyList(m_pDraw);
    EmptyList(m_pWork);
    m_bStep = false;  // what was matched in step is gone
    ShowAll();
}

// Forgets the previous commands that read spr, so the next frame draws
// every command using it again.
// The previous commands that read spr no longer match anything, so each
// command using spr counts as new next frame; they still count as vanished,
// so where they drew is repainted even when nothing draws there again.
void KRenderEngine::Update(SPRITE_DATA* spr, long, long, long, long)
{
    if (!m_pPrev)
        return;
    _markstale(m_pPrev, [spr](const rectlist_node* n) {
        return n->Source() == spr;
    });
}

// Frames are compared by sprite and font address. Once a block or a font is
// gone, a new one may get its address: no previous command that names the
// old one may match again (its area is repainted next frame), and no
// recorded one may be drawn from freed memory.
void KRenderEngine::ForgetSprite(SPRITE_DATA* spr)
{
    if (m_pPrev == NULL || spr == NULL)
        return;
    auto uses = [spr](const rectlist_node* n) {
        if (n->dst == spr || n->Source() == spr)
            return true;
        return (n->op == KRE_OP_BLT_ALPHA_SPR || n->op == KRE_OP_FILL_ALPHA_SPR) &&
               n->Alpha()->alpha == spr;
    };
    _markstale(m_pPrev, uses);
    _dropif(m_pRecord, uses);
}

void KRenderEngine::ForgetFont(KFont* font)
{
    if (m_pPrev == NULL || font == NULL)
        return;
    auto uses = [font](const rectlist_node* n) {
        return (n->op == KRE_OP_PRINTF || n->op == KRE_OP_PRINTF_WIDTH) &&
               n->Text()->font == font;
    };
    _markstale(m_pPrev, uses);
    _dropif(m_pRecord, uses);
}

// A stale command the recording has not reached yet is seen as such when
// it is reached; one it has passed may have been matched already.
template <class Pred>
void KRenderEngine::_markstale(rectlist* list, Pred pred)
{
    Node* node = list->list.GetHead();
    for (DWORD i = 0, n = list->list.GetCount(); i < n; i++, node = node->m_pNext)
        if (pred(node)) {
            node->state |= KRE_STATE_STALE;
            if (long(i) < m_nStepPos)
                m_bStep = false;
        }
}

template <class Pred>
void KRenderEngine::_dropif(rectlist* list, Pred pred)
{
    Node* prev = NULL;
    Node* node = list->list.GetHead();
    for (DWORD i = 0, n = list->list.GetCount(); i < n; i++) {
        Node* next = node->m_pNext;
        if (pred(node)) {
            if (list == m_pRecord)
                m_nOffCut -= node->dst != m_sprCut;
            list->list.DeleteNext(prev);
            m_bStep = false;  // the places of the recorded commands moved
        } else
            prev = node;
        node = next;
    }
}

// ---- parameter buffers ----------------------------------------------------

KRE_PARAMBUFF* KRenderEngine::CreateParamBuff()
{
    KRE_PARAMBUFF* buf = new (std::nothrow) KRE_PARAMBUFF;
    if (buf == NULL)
        return NULL;
    buf->used = 0;
    buf->next = NULL;
    buf->data = new (std::nothrow) BYTE[KRE_PARAMBUFF_SIZE];
    // A command keeps a block's address in 48 bits: a buffer above that
    // (which no 64-bit system hands out today) counts as one not made.
    const uint64_t end = uint64_t(reinterpret_cast<uintptr_t>(buf->data)) + KRE_PARAMBUFF_SIZE;
    if (buf->data == NULL || end >> 48 != 0) {
        delete[] buf->data;
        delete buf;
        return NULL;
    }
    return buf;
}

// RequestParamSize when the current buffer is full.
BYTE* KRenderEngine::_requestparam(rectlist* list, DWORD size)
{
    if (size > KRE_PARAMBUFF_SIZE) {
        KRet(KRET_ERROR, "KRenderEngine::RequestParamSize(%u): larger than a buffer",
             unsigned(size));
        return NULL;  // no buffer could hold it: the command is dropped
    }
    size = AlignedSize(size);
    if (list->current == NULL)
        return NULL;
    while (list->current->used + size >= KRE_PARAMBUFF_SIZE + 1) {
        if (list->current->next == NULL) {
            KRE_PARAMBUFF* buf = CreateParamBuff();
            if (buf == NULL) {
                KRet(KRET_NOMEMORY, "KRenderEngine::RequestParamSize()");
                return NULL;
            }
            list->current->next = buf;
            list->capacity += KRE_PARAMBUFF_SIZE;
            OutputLog("list %x 's ParamBuff size is %d", (unsigned)(uintptr_t)list,
                      (int)list->capacity);
        }
        list->current = list->current->next;
    }
    list->write = list->current->data + list->current->used;
    return list->write;
}

// Stores size bytes at the write pointer; the caller has requested the room.
void KRenderEngine::SaveParam(rectlist* list, const void* data, DWORD size)
{
    std::memcpy(list->write, data, size);
    size = AlignedSize(size);
    list->write += size;
    list->current->used += size;
}

void KRenderEngine::ClearParamBuff(rectlist* list)
{
    for (KRE_PARAMBUFF* b = list->first; b != NULL; b = b->next)
        b->used = 0;
    list->current = list->first;
    list->write = list->first != NULL ? list->first->data : NULL;
}

void KRenderEngine::ReleaseParamBuff(rectlist* list)
{
    KRE_PARAMBUFF* b = list->first;
    while (b != NULL) {
        KRE_PARAMBUFF* next = b->next;
        delete[] b->data;
        delete b;
        b = next;
    }
    list->first = list->current = NULL;
    list->write = NULL;
}

// ---- recorders -------------------------------------------------------------

namespace {

void SetDstRect(KRenderEngine::rectlist_node* n, long l, long t, long r, long b)
{
    n->rcDst = {LONG(l), LONG(t), LONG(r), LONG(b)};
}

void SetSrcRect(KRenderEngine::rectlist_node* n, long l, long t, long r, long b)
{
    n->rcSrc = {LONG(l), LONG(t), LONG(r), LONG(b)};
}

// The blits that take a source rectangle l, t, r, b and draw it at (x, y).
void FillBlit(KRenderEngine::rectlist_node* n, SPRITE_DATA* dst, DWORD op, long x, long y,
              SPRITE_DATA* src, long l, long t, long r, long b, uintptr_t param)
{
    n->dst = dst;
    n->op = op;
    n->state = 0;
    SetDstRect(n, x, y, x + r - l, y + b - t);
    SetSrcRect(n, l, t, r, b);
    n->src = src;
    n->param = param;
}

}  // namespace

void KRenderEngine::Blt_zoom(SPRITE_DATA* dst, long x, long y, long w, long h,
                             SPRITE_DATA* src, long l, long t, long sw, long sh)
{
    // A scaled blit cannot be cut into bands.
    _recordfields(dst, KRE_OP_BLT_ZOOM, x, y, x + w, y + h, src, l, t, l + sw, t + sh, 0, false);
}

void KRenderEngine::Blt_zoom_alpha(SPRITE_DATA* dst, long x, long y, long w, long h,
                                   SPRITE_DATA* src, long l, long t, long sw, long sh,
                                   BYTE alpha)
{
    // A scaled blit cannot be cut into bands.
    _recordfields(dst, KRE_OP_BLT_ZOOM_ALPHA, x, y, x + w, y + h, src, l, t, l + sw, t + sh,
                  alpha, false);
}

void KRenderEngine::Blt_zoom_ck(SPRITE_DATA* dst, long x, long y, long w, long h,
                                SPRITE_DATA* src, long l, long t, long sw, long sh)
{
    // A scaled blit cannot be cut into bands.
    _recordfields(dst, KRE_OP_BLT_ZOOM_CK, x, y, x + w, y + h, src, l, t, l + sw, t + sh, 0,
                  false);
}

void KRenderEngine::Blt_additive(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                 long l, long t, long r, long b, BYTE level)
{
    _recordblit(dst, KRE_OP_BLT_ADDITIVE, x, y, src, l, t, r, b, level);
}

void KRenderEngine::Blt_alpha(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                              long l, long t, long r, long b, BYTE alpha)
{
    _recordblit(dst, KRE_OP_BLT_ALPHA, x, y, src, l, t, r, b, alpha);
}

void KRenderEngine::Blt_alpha_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                 long l, long t, long r, long b, BYTE alpha)
{
    _recordblit(dst, KRE_OP_BLT_ALPHA_CK, x, y, src, l, t, r, b, alpha);
}

void KRenderEngine::Blt_alpha(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                              long l, long t, long r, long b, SPRITE_DATA* alpha,
                              long ax, long ay)
{
    Node* tmp = TakeSpare(m_pRecord);
    KASSERT(tmp != NULL);
    KRE_ALPHA_PARAM block = {alpha, ax, ay};
    BYTE* at = RequestParamSize(m_pRecord, sizeof(block));
    if (tmp == NULL || at == NULL)
        return;  // no room for the block: the command is dropped
    SaveParam(m_pRecord, &block, sizeof(block));
    FillBlit(tmp, dst, KRE_OP_BLT_ALPHA_SPR, x, y, src, l, t, r, b, uintptr_t(at));
    if (m_bStep)
        _steprecord(tmp, false);  // never equal: drawn whole every frame
    _appendrecord();
}

void KRenderEngine::Blt_alpha(SPRITE_DATA* dst, long x, long y, DWORD colour,
                              long l, long t, long r, long b, SPRITE_DATA* alpha,
                              long ax, long ay)
{
    Node* tmp = TakeSpare(m_pRecord);
    KASSERT(tmp != NULL);
    KRE_ALPHA_PARAM block = {alpha, ax, ay};
    BYTE* at = RequestParamSize(m_pRecord, sizeof(block));
    if (tmp == NULL || at == NULL)
        return;
    SaveParam(m_pRecord, &block, sizeof(block));
    // The colour rides in the source field.
    FillBlit(tmp, dst, KRE_OP_FILL_ALPHA_SPR, x, y,
             reinterpret_cast<SPRITE_DATA*>(uintptr_t(colour)), l, t, r, b, uintptr_t(at));
    if (m_bStep)
        _steprecord(tmp, false);
    _appendrecord();
}

void KRenderEngine::Clear(SPRITE_DATA* dst, long l, long t, long r, long b, DWORD colour)
{
    _recordfields(dst, KRE_OP_CLEAR, l, t, r, b, NULL, 0, 0, 0, 0, colour, true);
}

// The destination rectangle is the line's bounding box, so that comparing
// and cutting see the pixels it covers. A diagonal running down to the left
// is marked in the (otherwise unused) source rectangle, and replay draws it
// from its real endpoints.
void KRenderEngine::Line(SPRITE_DATA* dst, long x1, long y1, long x2, long y2, DWORD colour)
{
    // The device moves endpoints outside the sprite to its edge: record the
    // line as it will be drawn, so that its rectangle holds its pixels.
    if (dst != NULL)
        ClampLineEnds(dst, x1, y1, x2, y2);
    if (y2 < y1) {
        long tx = x1, ty = y1;
        x1 = x2;
        y1 = y2;
        x2 = tx;
        y2 = ty;
    }
    // A diagonal cannot be cut: it is drawn whole when it meets a change.
    const bool downLeft = x2 < x1 && y2 > y1;
    _recordfields(dst, KRE_OP_LINE, x1 < x2 ? x1 : x2, y1, (x1 < x2 ? x2 : x1) + 1, y2 + 1, NULL,
                  downLeft ? KRE_LINE_DOWNLEFT : 0, 0, 0, 0, colour, x1 == x2 || y1 == y2);
}

// ---- text ----------------------------------------------------------------

namespace {

long AlignedLeft(long x, long w, KFONT_ALIGN_TYPE align)
{
    if (align == KFONT_ALIGN_RIGHT)
        return x - w;
    if (align == KFONT_ALIGN_CENTER)
        return x - w / 2;
    return x;
}

// A text command whose characters step w by h from (left, y), drawing the
// block at param. Its glyphs may reach a little past that to either side:
// what it draws lies in the destination rectangle, widened by that much.
void FillText(KRenderEngine::rectlist_node* n, SPRITE_DATA* dst, DWORD op, long left, long y,
              long w, long h, uintptr_t param)
{
    n->dst = dst;
    n->op = op;
    n->state = 0;
    const long reach = KRenderEngine::TextReach(h);
    SetDstRect(n, left - reach, y, left + w + reach, y + h);
    SetSrcRect(n, left, y, left + w, y + h);  // where the characters step
    n->src = NULL;
    n->param = param;
}

}  // namespace

void KRenderEngine::Printf(SPRITE_DATA* dst, KFont* font, long x, long y, DWORD colour,
                           const char* text)
{
    Printf(dst, font, x, y, colour, KFONT_ALIGN_LEFT, text);
}

void KRenderEngine::Printf(SPRITE_DATA* dst, int height, long x, long y, DWORD colour,
                           const char* text)
{
    Printf(dst, height, x, y, colour, KFONT_ALIGN_LEFT, text);
}

void KRenderEngine::Printf(SPRITE_DATA* dst, int height, long x, long y, DWORD colour,
                           KFONT_ALIGN_TYPE align, const char* text)
{
    _text(dst, GetDefaultFont(), height, x, y, colour, align, text, false, 0);
}

void KRenderEngine::Printf(SPRITE_DATA* dst, KFont* font, long x, long y, DWORD colour,
                           KFONT_ALIGN_TYPE align, const char* text)
{
    _text(dst, font, font != NULL ? font->GetHeight() : 0, x, y, colour, align, text, false, 0);
}

void KRenderEngine::Printf(SPRITE_DATA* dst, int height, long x, long y, DWORD colour,
                           const char* text, long width)
{
    _text(dst, GetDefaultFont(), height, x, y, colour, KFONT_ALIGN_LEFT, text, true, width);
}

void KRenderEngine::Printf(SPRITE_DATA* dst, KFont* font, long x, long y, DWORD colour,
                           const char* text, long width)
{
    _text(dst, font, font != NULL ? font->GetHeight() : 0, x, y, colour, KFONT_ALIGN_LEFT, text,
          true, width);
}

namespace {

// True when the previous command p drew this text with this font, colour
// and width limit.
bool DrewSameText(const KRenderEngine::rectlist_node* p, KFont* font, DWORD colour,
                  const char* text, bool withWidth, long width)
{
    const KRE_TEXT_PARAM* q = p->Text();
    return q->font == font && q->colour == colour && (!withWidth || q->width == width) &&
           std::strcmp(q->text, text) == 0;
}

// Reads the arguments of format into out when every conversion is one
// whose output depends on its value alone (%d %i %u %x %X %c, with an
// optional l, and %%) and there are at most KRE_TEXT_ARGS_MAX; len is then
// the format's length. False for any other format.
bool ReadWholeArgs(const char* format, va_list args, KRE_TEXT_ARGS& out, size_t& len)
{
    out.format = NULL;
    out.count = 0;
    out.longs = 0;
    if (format == NULL)
        return false;
    const char* f = format;
    for (; *f != 0; f++) {
        if (*f != '%')
            continue;
        f++;
        const bool isLong = *f == 'l';
        if (isLong)
            f++;
        switch (*f) {
        case '%':
            if (isLong)
                return false;
            continue;
        case 'd': case 'i': case 'u': case 'x': case 'X':
            break;
        case 'c':
            if (isLong)
                return false;  // a wide character
            break;
        default:
            return false;
        }
        if (out.count == KRE_TEXT_ARGS_MAX)
            return false;
        out.longs |= DWORD(isLong) << out.count;
        out.values[out.count++] =
            isLong ? uint64_t(va_arg(args, unsigned long)) : uint64_t(va_arg(args, unsigned));
    }
    out.format = format;
    len = size_t(f - format);
    return true;
}

// True when format and the values in args are those the previous text
// command q was made from. The format is compared first: once it is the
// same, the values are read as they were read for q.
bool MadeFromSameArgs(const KRE_TEXT_PARAM* q, const char* format, va_list args)
{
    if (q->args.format == NULL || format == NULL || std::strcmp(q->args.format, format) != 0)
        return false;
    for (int i = 0; i < q->args.count; i++) {
        const uint64_t v = (q->args.longs >> i & 1) ? uint64_t(va_arg(args, unsigned long))
                                                     : uint64_t(va_arg(args, unsigned));
        if (v != q->args.values[i])
            return false;
    }
    return true;
}

}  // namespace

// The previous command's text, format and block lie side by side in that
// order (see _text): one copy makes this command's, and only the block's
// pointers to the other two are set anew.
inline void KRenderEngine::_reprint(Node* p, SPRITE_DATA* dst, long h, long x, long y,
                             KFONT_ALIGN_TYPE align)
{
    if (m_Graph->GetScreenH() - h < y || m_Graph->GetScreenW() < x)
        return;  // wholly below or right of the back screen
    const KRE_TEXT_PARAM* q = p->Text();
    const BYTE* from = reinterpret_cast<const BYTE*>(q->text);
    const DWORD blockAt = DWORD(reinterpret_cast<const BYTE*>(q) - from);
    const DWORD size = blockAt + DWORD(sizeof(KRE_TEXT_PARAM));
    Node* node = TakeSpare(m_pRecord);
    BYTE* at = RequestParamSize(m_pRecord, size);
    if (node == NULL || at == NULL) {
        m_bStep = false;  // the command is dropped: the places moved
        return;
    }
    std::memcpy(at, from, size);
    KRE_TEXT_PARAM* block = reinterpret_cast<KRE_TEXT_PARAM*>(at + blockAt);
    block->text = reinterpret_cast<const char*>(at);
    block->args.format = reinterpret_cast<const char*>(at) + (q->args.format - q->text);
    m_pRecord->write += size;
    m_pRecord->current->used += size;

    _stepnext();  // p
    const long w = p->rcSrc.right - p->rcSrc.left;
    const long left = AlignedLeft(x, w, align);
    FillText(node, dst, p->op, left, y, w, h, uintptr_t(block));
    _stepother(node, p, SameTextPlace(p, node));
    _appendrecord();
}

void KRenderEngine::_printf(SPRITE_DATA* dst, KFont* font, int height, long x, long y,
                            DWORD colour, KFONT_ALIGN_TYPE align, bool withWidth, long width,
                            const char* format, va_list args)
{
    const long h = font != NULL ? font->GetHeight() : height;
    if (font == NULL)
        font = GetDefaultFont();
    // The previous command at this place drew this format with these
    // values: its text is this one, and formatting is saved.
    if (m_bStep && m_nStepLeft != 0 && font != NULL) {
        Node* p = m_stepPrev;
        const DWORD op = withWidth ? KRE_OP_PRINTF_WIDTH : KRE_OP_PRINTF;
        if (p->op == op && p->dst == dst && (p->state & KRE_STATE_STALE) == 0) {
            const KRE_TEXT_PARAM* q = p->Text();
            if (q->font == font && q->colour == colour && (!withWidth || q->width == width)) {
                va_list scan;
                va_copy(scan, args);
                const bool same = MadeFromSameArgs(q, format, scan);
                va_end(scan);
                if (same) {
                    _reprint(p, dst, h, x, y, align);
                    return;
                }
            }
        }
    }
    KRE_TEXT_ARGS a;
    size_t len = 0;
    va_list scan;
    va_copy(scan, args);
    const bool whole = ReadWholeArgs(format, scan, a, len);
    va_end(scan);
    char text[256];  // longer text is cut at 255 bytes
    KFormatPrint(text, sizeof text, format, args);
    _text(dst, font, h, x, y, colour, align, text, withWidth, width, whole ? &a : NULL, len);
}


// Text is copied into the parameter buffer; the font is not, so it must live
// until the frame that recorded it has been replayed.
void KRenderEngine::_text(SPRITE_DATA* dst, KFont* font, long h, long x, long y, DWORD colour,
                          KFONT_ALIGN_TYPE align, const char* text, bool withWidth, long width,
                          const KRE_TEXT_ARGS* args, size_t formatLen)
{
    KASSERT(font != NULL);
    KASSERT(text != NULL);
    if (font == NULL || text == NULL)
        return;
    if (m_Graph->GetScreenH() - h < y || m_Graph->GetScreenW() < x)
        return;  // wholly below or right of the back screen
    const size_t n = std::strlen(text);
    // The text, the format it was made from (if kept) and the block go in
    // one request, the block on its boundary.
    const size_t fmtRoom = args != NULL ? formatLen + 1 : 0;
    const size_t room = AlignedSize(DWORD(std::min<size_t>(n + 1, KRE_PARAMBUFF_SIZE + 1))) +
                        AlignedSize(DWORD(std::min<size_t>(fmtRoom, KRE_PARAMBUFF_SIZE + 1))) +
                        sizeof(KRE_TEXT_PARAM);
    if (room > KRE_PARAMBUFF_SIZE) {
        KRet(KRET_ERROR, "KRenderEngine::Printf(): text of %lu bytes is larger than a buffer",
             static_cast<unsigned long>(n));
        return;
    }
    const DWORD op = withWidth ? KRE_OP_PRINTF_WIDTH : KRE_OP_PRINTF;
    // The previous command at this place: when it drew the same text with
    // the same font, its width is this text's, and measuring is saved.
    Node* prev = m_bStep ? _stepnext() : NULL;
    const bool same = prev != NULL && prev->op == op && prev->dst == dst &&
                      (prev->state & KRE_STATE_STALE) == 0 &&
                      (prev->Text()->text == text ||
                       DrewSameText(prev, font, colour, text, withWidth, width));
    const long w = same ? prev->rcSrc.right - prev->rcSrc.left
                        : font->GetStringWidth(text, unsigned(n));
    const long left = AlignedLeft(x, w, align);

    Node* node = TakeSpare(m_pRecord);
    BYTE* copy = RequestParamSize(m_pRecord, DWORD(room));
    if (node == NULL || copy == NULL) {
        m_bStep = false;  // the command is dropped: the places moved
        return;
    }
    SaveParam(m_pRecord, text, DWORD(n + 1));
    const char* format = NULL;
    if (args != NULL) {  // the format, after the text
        format = reinterpret_cast<const char*>(m_pRecord->write);
        SaveParam(m_pRecord, args->format, DWORD(fmtRoom));
    }
    // The block is written where it lies, as SaveParam would copy it.
    BYTE* at = m_pRecord->write;
    KRE_TEXT_PARAM* block = reinterpret_cast<KRE_TEXT_PARAM*>(at);
    block->font = font;
    block->colour = colour;
    block->text = reinterpret_cast<const char*>(copy);
    block->width = width;
    block->args.format = format;
    block->args.count = 0;
    block->args.longs = 0;
    if (args != NULL) {
        block->args.count = args->count;
        block->args.longs = args->longs;
        for (int i = 0; i < args->count; i++)
            block->args.values[i] = args->values[i];
    }
    m_pRecord->write += sizeof(KRE_TEXT_PARAM);
    m_pRecord->current->used += sizeof(KRE_TEXT_PARAM);

    FillText(node, dst, op, left, y, w, h, uintptr_t(at));
    if (m_bStep) {
        const bool equal = same && SameTextPlace(prev, node);
        if (!equal && prev != NULL && node->dst == m_sprCut && EditableText(prev, node))
            _stepedit(node, prev);
        else
            _stepother(node, prev, equal);
    }
    _appendrecord();
}

// ---- device gateway ------------------------------------------------------

SPRITE_DATA* KRenderEngine::_createsprite(long w, long h, KESTREL_COLOR_MODE cm, DWORD flags)
{
    return m_Graph->_createsprite(w, h, cm, flags);
}

void KRenderEngine::ReleaseSprite(SPRITE_DATA*& spr)
{
    m_Graph->_releasesprite(spr);
}

long KRenderEngine::_clearsprite(SPRITE_DATA* spr, long l, long t, long r, long b, DWORD colour)
{
    return m_Graph->_clearsprite(spr, l, t, r, b, colour);
}

long KRenderEngine::_locksprite(SPRITE_DATA* spr, void** bits, DWORD& pitch, long& w, long& h)
{
    return m_Graph->_locksprite(spr, bits, pitch, w, h);
}

long KRenderEngine::_unlocksprite(SPRITE_DATA* spr)
{
    return m_Graph->_unlocksprite(spr);
}

long KRenderEngine::_locksprite_r(SPRITE_DATA* spr, RECT* rc, void** bits, DWORD& pitch,
                                  long& w, long& h)
{
    return m_Graph->_locksprite_r(spr, rc, bits, pitch, w, h);
}

SPRITE_DATA* KRenderEngine::GetBackScreenData()
{
    return m_Graph->GetBackScreenData();
}

KFont* KRenderEngine::GetDefaultFont()
{
    return m_Graph->GetDefaultFont();
}
