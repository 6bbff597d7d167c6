// KRenderEngine: matching this frame's commands against the previous
// frame's. Most commands are matched in step with the recording, each
// against the previous command at its place (the recorders' side is in
// krenderengine_record.h); a frame that goes out of step is matched by a
// search when it is built: the command after the last match, a look-ahead
// of a few places, the place as far past the last match, then an index of
// the previous commands by hash. A text drawn where the previous one was,
// with a few characters changed, matches it as an edit.
#include "krenderengine_state.h"
#include "krenderengine_record.h"
#include "krenderengine_frame.h"
#include "kfont_2.h"
#include "kfont_walk.h"
#include <algorithm>
#include <cstdint>
#include <cstring>

using namespace kframe;

namespace {

// The fewest commands a frame may miss while matching in step; past a
// quarter of the previous frame's, the frame is matched by a search.
const size_t kStepMisses = 16;
// The most misses in a row that matching in step takes as changes in place.
// Both measured against the search alone:
//   bench_frame --benchmark_filter='case:[12]'
//   bench_frame --frame=search --benchmark_filter='case:[12]'
const long kStepRun = 8;

// How many previous commands past the last match the index holds. A command
// that moved further than this in the list counts as new, which is always
// safe; the bound keeps a frame where everything changed from hashing the
// whole previous frame. Measure (the index serves the search):
//   bench_frame --frame=search --benchmark_filter='case:[23]'
const long kIndexWindow = 512;

// Folds v into h so that every bit of both reaches the low bits, which
// pick the bucket (a 64-bit finaliser).
uint64_t MixIntoHash(uint64_t h, uint64_t v)
{
    h ^= v;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

// What every two equal commands share: op, destination and its rectangle.
// One multiply per word and one final mix: cheap enough to index a few
// hundred commands in a frame where much changed.
uint64_t CommandHash(const KRenderEngine::rectlist_node* n)
{
    uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(n->dst)) ^ n->op;
    h ^= (uint64_t(uint32_t(n->rcDst.left)) << 32 | uint32_t(n->rcDst.top)) * 0x9E3779B97F4A7C15ull;
    h ^= (uint64_t(uint32_t(n->rcDst.right)) << 32 | uint32_t(n->rcDst.bottom)) *
         0xC2B2AE3D27D4EB4Full;
    return MixIntoHash(0, h);
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameText(const KRE_TEXT_PARAM* a, const KRE_TEXT_PARAM* b, bool width)
{
    if (a->font != b->font || a->colour != b->colour)
        return false;
    if (width && a->width != b->width)
        return false;
    return std::strcmp(a->text, b->text) == 0;
}


// The most characters of two texts' differing rest that are compared from
// their ends; a longer rest is not taken as an edit.
const int kMostChars = 256;

// Reads a text a character at a time, as the recorder measured it.
struct CodeReader {
    const char* s;
    size_t i;

    // 1: the next character is in code; 0: the text ended; -1: a byte that
    // drawing takes as a lead byte and measuring does not, so where the
    // characters after it lie is not known.
    int Next(unsigned& code)
    {
        const unsigned char b = kfontwalk::ByteAt(s, i);
        if (b == 0)
            return 0;
        if (b >= kfontwalk::kDrawLead && b < kfontwalk::kMeasureLead)
            return -1;
        if (b < kfontwalk::kMeasureLead) {
            code = b;
            i++;
            return 1;
        }
        const unsigned char trail = kfontwalk::ByteAt(s, i + 1);
        if (trail == 0)  // a lead byte without its trail ends the text
            return 0;
        code = unsigned(b) * 256 + trail;
        i += 2;
        return 1;
    }
    // The characters from here to the end, after first (when has): false
    // at a byte Next cannot place, or when they are more than out holds
    // (their end could not be compared).
    bool Rest(bool has, unsigned first, unsigned* out, int& count)
    {
        count = 0;
        if (has)
            out[count++] = first;
        unsigned code = 0;
        int got = 1;
        while (got > 0) {
            got = Next(code);
            if (got > 0) {
                if (count == kMostChars)
                    return false;
                out[count++] = code;
            }
        }
        return got == 0;
    }
};

}  // namespace

bool KRenderEngine::EquNode(const rectlist_node* a, const rectlist_node* b) const
{
    if (a->op != b->op || a->dst != b->dst || !SameRect(a->rcDst, b->rcDst))
        return false;
    switch (a->op) {
    case KRE_OP_BLT:
    case KRE_OP_BLT_CK:
    case KRE_OP_BLT_ZOOM:
    case KRE_OP_BLT_ZOOM_CK:
        return a->src == b->src && SameRect(a->rcSrc, b->rcSrc);
    case KRE_OP_BLT_ZOOM_ALPHA:
        return a->src == b->src && SameRect(a->rcSrc, b->rcSrc) && a->param == b->param;
    case KRE_OP_CLEAR:
        return a->param == b->param;
    case KRE_OP_LINE:  // the source rectangle holds the direction
        return a->param == b->param && a->rcSrc.left == b->rcSrc.left;
    case KRE_OP_RESERVED:
        return false;
    case KRE_OP_PRINTF:
        return SameText(a->Text(), b->Text(), false);
    case KRE_OP_PRINTF_WIDTH:
        return SameText(a->Text(), b->Text(), true);
    case KRE_OP_BLT_ALPHA:
    case KRE_OP_BLT_ADDITIVE:
    case KRE_OP_BLT_ALPHA_CK:
        return a->src == b->src && SameRect(a->rcSrc, b->rcSrc) && a->param == b->param;
    case KRE_OP_BLT_ALPHA_SPR:
    case KRE_OP_FILL_ALPHA_SPR:
        return false;  // their parameter blocks live in two different lists
    default:
        return true;
    }
}

// Indexes the previous frame's commands by hash, each bucket's chain in
// list order, up to kIndexWindow commands past the last match. Built only
// when a command does not simply repeat one just after the last match, so an
// unchanged frame never hashes at all; afterwards only extended, so no
// previous command is hashed twice in a frame.
void KRenderEngine::_indexprevious()
{
    const long count = long(m_pPrev->list.GetCount());
    const long first = m_frame->m_nMatchedOrder + 1;
    if (!m_frame->m_bIndexed) {
        m_frame->m_bIndexed = true;
        m_frame->m_prevIndex.clear();
        size_t buckets = 64;  // by the whole list, so the table keeps one size
        while (buckets < 2 * size_t(count))
            buckets *= 2;
        m_frame->m_prevBuckets.assign(buckets, -1);
        m_frame->m_prevTails.assign(buckets, -1);
        m_frame->m_nIndexEnd = first;
        m_frame->m_indexNext = m_frame->m_prevNext;
    }
    if (m_frame->m_nIndexEnd < first) {  // matching went past what was indexed
        m_frame->m_nIndexEnd = first;
        m_frame->m_indexNext = m_frame->m_prevNext;
    }
    const size_t mask = m_frame->m_prevBuckets.size() - 1;
    const long end = std::min(count, first + kIndexWindow);
    for (; m_frame->m_nIndexEnd < end; m_frame->m_nIndexEnd++, m_frame->m_indexNext = m_frame->m_indexNext->m_pNext) {
        const uint64_t h = CommandHash(m_frame->m_indexNext);
        const int k = int(m_frame->m_prevIndex.size());
        m_frame->m_prevIndex.push_back(FrameState::PrevKey{h, m_frame->m_indexNext, -1, m_frame->m_nIndexEnd});
        int& tail = m_frame->m_prevTails[h & mask];
        if (tail < 0)
            m_frame->m_prevBuckets[h & mask] = k;
        else
            m_frame->m_prevIndex[size_t(tail)].next = k;
        tail = k;
    }
}

// Takes the previous command at list position i as this frame's match.
void KRenderEngine::_matchprevious(Node* prev, long i)
{
    if (m_frame->m_prevNext != prev)
        _vanishupto(prev);
    prev->state |= KRE_STATE_MATCHED;
    m_frame->m_nKept++;
    _matchedat(i, prev->m_pNext);
}

// The command at m_nBuildPos matched the previous one at list position
// order, which next follows.
void KRenderEngine::_matchedat(long order, Node* next)
{
    m_frame->m_nMatchedOrder = order;
    m_frame->m_prevNext = next;
    m_frame->m_nMatchedAt = m_frame->m_nBuildPos;
    m_frame->m_placeNode = next;
    m_frame->m_nPlacePos = order + 1;
}

// The previous command as far past the last match as the command being
// matched is, when that lies past the look-ahead: a run of commands that
// changed in place (an animation drawn before a still screen) leaves the
// rest in step at that distance, however long the run.
KRenderEngine::Node* KRenderEngine::_inplace()
{
    const long at = m_frame->m_nMatchedOrder + (m_frame->m_nBuildPos - m_frame->m_nMatchedAt);
    if (at < m_frame->m_nMatchedOrder + 1 + FrameState::kLookAhead || at >= long(m_pPrev->list.GetCount()))
        return NULL;
    for (; m_frame->m_nPlacePos < at; m_frame->m_nPlacePos++)
        m_frame->m_placeNode = m_frame->m_placeNode->m_pNext;
    return m_frame->m_placeNode;
}

// The places and codes of the previous commands from list position next
// on, as far as the look-ahead goes: consecutive misses look at the same
// ones, and reading them from the list's nodes waits on each link in turn.
void KRenderEngine::_fillahead(long next, long count)
{
    m_frame->m_nAheadAt = next;
    m_frame->m_nAheadLen = std::min<long>(FrameState::kLookAhead, count - next);
    Node* ahead = m_frame->m_prevNext;
    for (long k = 0; k < m_frame->m_nAheadLen; k++, ahead = ahead->m_pNext) {
        m_frame->m_ahead[k].rect = ahead->rcDst;
        m_frame->m_ahead[k].op = ahead->op;
    }
}

// True when prev, a previous command, can still be node's match: equal to
// it, not matched yet, and not naming a sprite or font that went.
bool KRenderEngine::_canmatch(const Node* prev, const rectlist_node* node) const
{
    return (prev->state & (KRE_STATE_MATCHED | KRE_STATE_STALE)) == 0 && EquNode(prev, node);
}

// True when list holds a command equal to node; the first one in list order
// is then taken out (for the previous-frame list: marked as matched).
//
// Matches keep the previous frame's order: a command that moved in front of
// one already matched changes what is on top where they overlap, so it only
// matches an equal command further on; with none it counts as changed (and
// the one it left as vanished).
bool KRenderEngine::IsInList(rectlist* list, rectlist_node* node)
{
    if (list == m_pPrev) {
        const long count = long(m_pPrev->list.GetCount());
        const long next = m_frame->m_nMatchedOrder + 1;
        // Once the index is built it finds the first equal command past the
        // last match as the look ahead would, for the price of one hash.
        const bool indexed =
            m_frame->m_bIndexed && (m_frame->m_nIndexEnd >= count || next <= m_frame->m_nIndexEnd - kIndexWindow / 2);
        if (!indexed) {
            // Most commands repeat the one after the last match, or one a
            // little further when a few before it went. Most that differ
            // differ in place, which the window of places ahead shows
            // without walking the list.
            if (m_frame->m_nAheadAt != next)
                _fillahead(next, count);
            for (long k = 0; k < m_frame->m_nAheadLen; k++) {
                if (!SameRect(m_frame->m_ahead[k].rect, node->rcDst) || m_frame->m_ahead[k].op != node->op)
                    continue;
                Node* ahead = m_frame->m_prevNext;
                for (long j = 0; j < k; j++)
                    ahead = ahead->m_pNext;
                if (_canmatch(ahead, node)) {
                    _matchprevious(ahead, next + k);
                    return true;
                }
            }
            if (next + FrameState::kLookAhead >= count)
                return false;  // nothing else is left after the last match
            Node* placed = _inplace();
            if (placed != NULL && _canmatch(placed, node)) {
                _matchprevious(placed, m_frame->m_nPlacePos);
                return true;
            }
            // A command that is not nearby is taken as new without a search
            // unless the one before it missed too: single changes, however
            // many, then cost no index; two misses in a row mean the lists
            // went out of step (a block of commands went or came). Matching
            // fewer commands is always safe, it only redraws more.
            m_frame->m_nMisses++;
            if (!m_frame->m_bIndexed && m_frame->m_nLastMissAt != m_frame->m_nMatchedOrder) {
                m_frame->m_nLastMissAt = m_frame->m_nMatchedOrder;
                return false;
            }
            // Nor is an index built for a frame that so far changed more
            // than it kept: it is likely a new picture, and indexing the
            // previous one would be work thrown away.
            if (!m_frame->m_bIndexed && m_frame->m_nKept < m_frame->m_nMisses)
                return false;
            // The index covers a window past the last match; once matching
            // has moved half way through it, it is extended.
            _indexprevious();
        }
        const uint64_t h = CommandHash(node);
        for (int k = m_frame->m_prevBuckets[h & (m_frame->m_prevBuckets.size() - 1)]; k >= 0;
             k = m_frame->m_prevIndex[k].next) {
            const FrameState::PrevKey& e = m_frame->m_prevIndex[k];
            if (e.pos < m_frame->m_nMatchedOrder || e.hash != h || !_canmatch(e.node, node))
                continue;
            _matchprevious(e.node, e.pos);
            return true;
        }
        return false;
    }
    Node* prev = NULL;
    for (Node* a = list->list.GetHead(); a != NULL && a != list->list.GetEnd(); a = a->m_pNext) {
        if (EquNode(a, node)) {
            list->list.DeleteNext(prev);
            return true;
        }
        prev = a;
    }
    return false;
}

// The previous commands from m_prevNext up to (not including) stop found
// no match and never will, since matches keep list order: they vanished.
void KRenderEngine::_vanishupto(Node* stop)
{
    const long count = long(m_pPrev->list.GetCount());
    for (long i = m_frame->m_nMatchedOrder + 1; i < count && m_frame->m_prevNext != stop;
         i++, m_frame->m_prevNext = m_frame->m_prevNext->m_pNext) {
        if (m_frame->m_prevNext->dst == m_sprCut)  // under all that is matched from here on
            _adddirty(m_frame->m_prevNext->rcDst, m_frame->m_nBuildPos - 1);
    }
}

// Building a frame matched in step with its recording: only the commands
// that missed are looked at. Each drew something new where it is now, and
// the previous command at its place drew something that is gone. False
// when so much changed that the frame is better built by the search.
bool KRenderEngine::_buildinstep()
{
    long fresh = 0;
    const long count = long(m_pRecord->list.GetCount());
    for (const FrameState::StepMiss& m : m_frame->m_stepMisses) {
        m_frame->m_nBuildPos = m.pos;
        if (m.edit && _textedit(m.prev, m.node))
            continue;  // only its changed characters are dirty
        SetStateNotProcess(m.node);
        fresh++;
        _adddirty(m.node->rcDst, m.pos, m.node);
        if (m.prev != NULL && m.prev->dst == m_sprCut)
            _adddirty(m.prev->rcDst, m.pos);
    }
    // The previous commands past the last place recorded are gone.
    Node* p = m_stepPrev;
    for (long i = 0; i < m_nStepLeft; i++, p = p->m_pNext)
        if (p->dst == m_sprCut)
            _adddirty(p->rcDst, count);
    _gatherdirty();
    const bool changed = !m_frame->m_stepMisses.empty() || m_nStepLeft > 0;
    const bool whole = changed && _mostlydirty(fresh, count, count);
    _finishbuild(whole, changed);
    return true;
}

// A command other than the inline blits: equal is whether it matched p,
// the previous command at its place.
void KRenderEngine::_stepother(Node* n, Node* p, bool equal)
{
    if (!equal) {
        _stepmiss(n, p);
        return;
    }
    if (n->dst != m_sprCut) {
        m_bStep = false;  // the draw list is the search's
        return;
    }
    if (!IsCuttable(n)) {  // drawn whole if it meets a change
        if (m_frame->m_uncut.size() == m_frame->m_uncut.capacity()) {
            m_bStep = false;  // no allocation while recording
            return;
        }
        m_frame->m_uncut.push_back(n);
    }
}

void KRenderEngine::_steprecord(Node* n, bool canMatch)
{
    Node* p = _stepnext();
    _stepother(n, p,
               canMatch && p != NULL && (p->state & KRE_STATE_STALE) == 0 && krecord::SameFields(p, n));
}

void KRenderEngine::_stepmiss(Node* n, Node* p)
{
    // A few misses in a row are commands that changed where they stand (a
    // sprite drawn in parts, with its shadow, that moved); more mean that
    // commands came or went, and the rest is out of step: the search finds
    // where they went.
    const long at = m_nStepPos - 1;
    m_frame->m_nStepRun = at == m_frame->m_nStepLastMiss + 1 ? m_frame->m_nStepRun + 1 : 1;
    if (n->dst != m_sprCut || m_frame->m_stepMisses.size() >= m_frame->m_nStepMaxMisses ||
        m_frame->m_nStepRun > kStepRun) {
        m_bStep = false;
        return;
    }
    m_frame->m_nStepLastMiss = at;
    m_frame->m_stepMisses.push_back(FrameState::StepMiss{n, p, at, false});
}

// A new frame starts matching in step with the previous one from its head,
// its recording list empty. The room is made here, between frames: a frame
// no larger than those before it allocates nothing.
void KRenderEngine::_stepreset()
{
    m_nOffCut = 0;
    m_nStepPos = 0;
    m_frame->m_nStepLastMiss = -2;
    m_frame->m_stepMisses.clear();
    m_frame->m_uncut.clear();
    m_nStepLeft = m_pPrev != NULL ? long(m_pPrev->list.GetCount()) : 0;
    m_stepPrev = m_nStepLeft != 0 ? m_pPrev->list.GetHead() : NULL;
    m_bStep = m_bCutMode && m_sprCut != NULL && m_pPrev != NULL &&
              ForcedStrategy() != Strategy::kSearch;
    m_frame->m_nStepMaxMisses = std::max<size_t>(kStepMisses, size_t(m_nStepLeft) / 4);
    if (m_frame->m_stepMisses.capacity() < m_frame->m_nStepMaxMisses)
        m_frame->m_stepMisses.reserve(2 * m_frame->m_nStepMaxMisses);
    if (m_frame->m_uncut.capacity() < size_t(m_nStepLeft) + kStepMisses)
        m_frame->m_uncut.reserve(2 * (size_t(m_nStepLeft) + kStepMisses));
}

// ---- text edits ------------------------------------------------------------

// A score, a clock or a line of a list scrolled by one is drawn at the same
// place with the same font and colour as the frame before, and most of its
// characters stay where they were. Such a command is taken as the previous
// one edited: only the stretch around the characters that differ is dirty,
// and the text is redrawn there alone, cut like any unchanged command.

bool KRenderEngine::EditableText(const Node* p, const Node* n)
{
    if (n->op != KRE_OP_PRINTF || p->op != KRE_OP_PRINTF || p->dst != n->dst ||
        (p->state & KRE_STATE_STALE) != 0 || !SameTextPlace(p, n))
        return false;
    const KRE_TEXT_PARAM* a = p->Text();
    const KRE_TEXT_PARAM* b = n->Text();
    return a->font == b->font && a->colour == b->colour;
}

// The characters alike at the start of both texts stay where they were; so
// do those alike at the end when both texts are equally wide. Whatever lies
// between may differ, and the glyphs there may reach TextReach past their
// steps: the dirty stretch reaches that far to either side. When that is
// about the whole text, the text is left a changed one (false): drawn
// whole, it costs less than cut.
bool KRenderEngine::_textedit(const Node* p, const Node* n)
{
    KFont& font = *n->Text()->font;
    CodeReader ra{p->Text()->text, 0}, rb{n->Text()->text, 0};
    unsigned ca = 0, cb = 0;
    int ga = 0, gb = 0;
    long head = 0;
    for (;;) {
        ga = ra.Next(ca);
        gb = rb.Next(cb);
        if (ga < 0 || gb < 0)
            return false;
        if (ga == 0 || gb == 0 || ca != cb)
            break;
        head += kfontwalk::Step(font, ca);
    }
    const long wa = p->rcSrc.right - p->rcSrc.left, wb = n->rcSrc.right - n->rcSrc.left;
    const long width = std::max(wa, wb);
    const long reach = TextReach(n->rcSrc.bottom - n->rcSrc.top);
    long tail = 0;
    if (wa != wb) {
        if (head <= reach)
            return false;  // the whole text may differ: it is drawn whole
    } else {
        // Texts whose last bytes differ end in different characters, so
        // nothing alike at either end: a wholly new text is told without
        // reading both whole.
        const char* ta = p->Text()->text;
        const char* tb = n->Text()->text;
        const size_t la = std::strlen(ta), lb = std::strlen(tb);
        if (head <= reach && la > 0 && lb > 0 && ta[la - 1] != tb[lb - 1])
            return false;
        unsigned a[kMostChars], b[kMostChars];
        int na = 0, nb = 0;
        if (!ra.Rest(ga > 0, ca, a, na) || !rb.Rest(gb > 0, cb, b, nb))
            return false;
        for (int i = na, j = nb; i > 0 && j > 0 && a[i - 1] == b[j - 1]; i--, j--)
            tail += kfontwalk::Step(font, a[i - 1]);
        if (head >= width - tail)
            return true;  // the same characters in the same places
        if (head <= reach && tail <= reach)
            return false;
    }
    RECT span = n->rcDst;
    span.left = n->rcSrc.left + head - reach;
    span.right = n->rcSrc.left + width - tail + reach;
    _adddirty(span, m_frame->m_nBuildPos);
    return true;
}

// While matching in step: n is p edited. It does not put the lists out of
// step the way a miss does, since nothing came or went; nor does it count
// toward the misses that hand a frame to the search, which would only
// match it with the same previous command (_matchedit) after looking up
// the index for it first: a list whose every row's text changed stays in
// step. Only the room reserved for misses, in which no allocation is made
// while recording, bounds the edits.
void KRenderEngine::_stepedit(Node* n, Node* p)
{
    if (m_frame->m_stepMisses.size() == m_frame->m_stepMisses.capacity()) {
        m_bStep = false;
        return;
    }
    m_frame->m_stepMisses.push_back(FrameState::StepMiss{n, p, m_nStepPos - 1, true});
}

// While searching: when the previous command after the last match is a
// text that node edits, it is node's match and the edit is dirty.
bool KRenderEngine::_matchedit(Node* node)
{
    Node* p = m_frame->m_prevNext;
    const long at = m_frame->m_nMatchedOrder + 1;
    if (p == NULL || at >= long(m_pPrev->list.GetCount()) || !EditableText(p, node) ||
        !_textedit(p, node))
        return false;
    _matchprevious(p, at);
    return true;
}

// ---- matching in step: what the recorders hand over ---------------------

void KRenderEngine::_missed(Node* n, Node* p)
{
    _stepmiss(n, p);
    _appendrecord();
}
