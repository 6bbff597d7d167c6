// KRenderEngine: frame comparison and replay.
//
// While a cut sprite is set, this frame's commands on it are compared with
// the previous frame's: new and changed commands are drawn whole, unchanged
// ones only where they overlap the rectangle of a new, changed or vanished
// command (they are cut into bands so that only the overlapping part is
// drawn), and the rest of the cut sprite keeps what the last frame drew.
#include "krenderengine.h"
#include "kgraph.h"
#include "kfont_walk.h"
#include <kbase.h>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

// Cutting costs a walk of the work list for every dirty rectangle. Past
// this many, the dirty area is marked on a grid instead (or the frame drawn
// whole), which costs a walk of the frame in all.
const size_t kMaxDirtyRects = 48;

// The fewest commands a frame may miss while matching in step; past a
// quarter of the previous frame's, the frame is matched by a search.
const size_t kStepMisses = 16;
// The most misses in a row that matching in step takes as changes in place.
const long kStepRun = 8;

// How many previous commands past the last match the index holds. A command
// that moved further than this in the list counts as new, which is always
// safe; the bound keeps a frame where everything changed from hashing the
// whole previous frame.
const long kIndexWindow = 512;

// Cells of the finest dirty grid: 16 pixels; the others double it. Finer
// cells would redraw fewer pixels for more work in building the frame.
const int kFineShift = 4;
const int kGrids = 3;

// Once changes cover this share of the cut sprite's cells, the frame is
// drawn whole without matching the rest of it.
const double kMostlyDirty = 0.85;

// After this many commands, the changes seen so far are taken to go on at
// the same rate; when they would end up covering this share of the cut
// sprite's cells, the frame is drawn whole at once. Redrawing that much in
// pieces costs about what a full redraw does (measured with bench/frame),
// and the matching left would be thrown away.
const long kProjectAfter = 128;
const double kProjectedShare = 0.6;
// After this many commands, a frame of which three in four changed so far
// is taken as a new picture.
const long kNewPictureAfter = 64;

// What one clipped replay costs beyond its pixels (the call, clipping,
// setting up the rows), in pixels of a blit. Measured by bench/frame's
// BM_PieceCost: 280 - 330 pixels for a plain blit, 180 - 225 for a
// colour-keyed one (whose pixels cost more), so about 300 for a screen
// mostly of plain tiles.
const double kPieceCost = 300.0;

// What building a frame redrawn in the cells of a grid costs for each of
// its commands beyond its pieces, in the same pixels: marking, the grids
// and walking the commands over the cells. Measured by bench/frame with the
// grid forced on its 10 % case: 93 - 97 ns a command with its pieces (about
// 1.4 a command) at 500 and 2000 commands, against 0.17 - 0.25 ns a pixel,
// so 400 - 550 with the pieces and about 320 without them.
const double kCommandCost = 320.0;

// A frame whose dirty area would cost more than this share of a full redraw
// is drawn whole: the estimate knows nothing of where the pieces lie in
// memory, and reads low. Measured with bench/frame's 10 % case: estimates
// of 0.32 - 0.47 where the frame costs 0.62 - 0.65 of a full redraw (500
// commands), 0.81 where it costs 1.14 (2000 commands, the finest grid).
const double kWholeShare = 0.7;

// Changes whose cells fill at least this share of the cells under their
// bounds (rows of a list that all moved, a panel redrawn line by line) are
// redrawn as that one rectangle: the grid's cells would only stick out past
// it, in more pieces.
const double kBoxFill = 0.85;
// Fewer rectangles than this are cut one by one however they lie.
const size_t kBoxAfter = 8;

// Marks a previous-frame command that this frame has already matched; it
// lives only during BuildingFrame, whose last step empties that list.
const DWORD KRE_STATE_MATCHED = 0x80000000u;
// Marks a drawn-whole command whose rectangle has already been redrawn from
// the commands under and over it.
const DWORD KRE_STATE_SPREAD = 0x40000000u;

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

const KRE_TEXT_PARAM* TextParam(const KRenderEngine::rectlist_node* n)
{
    return reinterpret_cast<const KRE_TEXT_PARAM*>(n->param);
}

const KRE_ALPHA_PARAM* AlphaParam(const KRenderEngine::rectlist_node* n)
{
    return reinterpret_cast<const KRE_ALPHA_PARAM*>(n->param);
}

bool SameText(const KRE_TEXT_PARAM* a, const KRE_TEXT_PARAM* b, bool width)
{
    if (a->font != b->font || a->colour != b->colour)
        return false;
    if (width && a->width != b->width)
        return false;
    return std::strcmp(a->text, b->text) == 0;
}

bool IsText(const KRenderEngine::rectlist_node* n)
{
    return n->op == KRE_OP_PRINTF || n->op == KRE_OP_PRINTF_WIDTH;
}

// The scaled blits and diagonal lines cannot be cut into bands: a band of
// them is not the same drawing on fewer pixels. Nor can the blits through
// an alpha sprite, whose origin in it lies in their shared parameter block
// (they never match a previous command, so only a change hidden in part
// would cut them). Text can: a band of it is the text drawn on a window of
// the sprite (its source rectangle keeps where the whole text lies).
bool IsCuttable(const KRenderEngine::rectlist_node* n)
{
    const uint32_t uncuttable = 1u << KRE_OP_BLT_ZOOM | 1u << KRE_OP_BLT_ZOOM_ALPHA |
                                1u << KRE_OP_BLT_ZOOM_CK | 1u << KRE_OP_BLT_ALPHA_SPR |
                                1u << KRE_OP_FILL_ALPHA_SPR;
    if (n->op < 32 && (uncuttable >> n->op & 1u))
        return false;
    if (n->op == KRE_OP_LINE)
        return n->rcDst.right - n->rcDst.left <= 1 || n->rcDst.bottom - n->rcDst.top <= 1;
    return true;
}

// True when node paints every pixel of its rectangle on the sprite whatever
// lay under it: a fill, or a plain blit from another 16-bit sprite whose
// source rectangle lies inside it (a blit clipped by its source paints less
// than its rectangle).
bool PaintsOver(const KRenderEngine::rectlist_node* n)
{
    const RECT& d = n->rcDst;
    if (d.left >= d.right || d.top >= d.bottom)
        return false;
    if (n->op == KRE_OP_CLEAR)
        return true;
    if (n->op != KRE_OP_BLT || n->src == NULL || n->src == n->dst ||
        KcmBitsPerPixel(n->src->kcm) != 16 || KcmBitsPerPixel(n->dst->kcm) != 16)
        return false;
    const RECT& s = n->rcSrc;
    return s.left >= 0 && s.top >= 0 && s.right <= n->src->width && s.bottom <= n->src->height;
}

// piece = node drawn only inside r, a rectangle within its destination.
void ClipCopy(const KRenderEngine::rectlist_node* node, const RECT& r,
              KRenderEngine::rectlist_node* piece)
{
    *piece = *node;
    if (node->op == KRE_OP_CLEAR || node->op == KRE_OP_LINE || IsText(node)) {
        // No source; a line's source rectangle holds its direction, a
        // text's the place of the whole text.
        piece->rcDst = r;
        return;
    }
    const RECT& d = node->rcDst;
    piece->rcSrc.left += r.left - d.left;
    piece->rcSrc.top += r.top - d.top;
    piece->rcSrc.right -= d.right - r.right;
    piece->rcSrc.bottom -= d.bottom - r.bottom;
    piece->rcDst = r;
}

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
        return SameText(TextParam(a), TextParam(b), false);
    case KRE_OP_PRINTF_WIDTH:
        return SameText(TextParam(a), TextParam(b), true);
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
    const long first = m_nMatchedOrder + 1;
    if (!m_bIndexed) {
        m_bIndexed = true;
        m_prevIndex.clear();
        size_t buckets = 64;  // by the whole list, so the table keeps one size
        while (buckets < 2 * size_t(count))
            buckets *= 2;
        m_prevBuckets.assign(buckets, -1);
        m_prevTails.assign(buckets, -1);
        m_nIndexEnd = first;
        m_indexNext = m_prevNext;
    }
    if (m_nIndexEnd < first) {  // matching went past what was indexed
        m_nIndexEnd = first;
        m_indexNext = m_prevNext;
    }
    const size_t mask = m_prevBuckets.size() - 1;
    const long end = std::min(count, first + kIndexWindow);
    for (; m_nIndexEnd < end; m_nIndexEnd++, m_indexNext = m_indexNext->m_pNext) {
        const uint64_t h = CommandHash(m_indexNext);
        const int k = int(m_prevIndex.size());
        m_prevIndex.push_back(PrevKey{h, m_indexNext, -1, m_nIndexEnd});
        int& tail = m_prevTails[h & mask];
        if (tail < 0)
            m_prevBuckets[h & mask] = k;
        else
            m_prevIndex[size_t(tail)].next = k;
        tail = k;
    }
}

// Takes the previous command at list position i as this frame's match.
void KRenderEngine::_matchprevious(Node* prev, long i)
{
    if (m_prevNext != prev)
        _vanishupto(prev);
    prev->state |= KRE_STATE_MATCHED;
    m_nKept++;
    _matchedat(i, prev->m_pNext);
}

// The command at m_nBuildPos matched the previous one at list position
// order, which next follows.
void KRenderEngine::_matchedat(long order, Node* next)
{
    m_nMatchedOrder = order;
    m_prevNext = next;
    m_nMatchedAt = m_nBuildPos;
    m_placeNode = next;
    m_nPlacePos = order + 1;
}

// The previous command as far past the last match as the command being
// matched is, when that lies past the look-ahead: a run of commands that
// changed in place (an animation drawn before a still screen) leaves the
// rest in step at that distance, however long the run.
KRenderEngine::Node* KRenderEngine::_inplace()
{
    const long at = m_nMatchedOrder + (m_nBuildPos - m_nMatchedAt);
    if (at < m_nMatchedOrder + 1 + kLookAhead || at >= long(m_pPrev->list.GetCount()))
        return NULL;
    for (; m_nPlacePos < at; m_nPlacePos++)
        m_placeNode = m_placeNode->m_pNext;
    return m_placeNode;
}

// The places and codes of the previous commands from list position next
// on, as far as the look-ahead goes: consecutive misses look at the same
// ones, and reading them from the list's nodes waits on each link in turn.
void KRenderEngine::_fillahead(long next, long count)
{
    m_nAheadAt = next;
    m_nAheadLen = std::min<long>(kLookAhead, count - next);
    Node* ahead = m_prevNext;
    for (long k = 0; k < m_nAheadLen; k++, ahead = ahead->m_pNext) {
        m_ahead[k].rect = ahead->rcDst;
        m_ahead[k].op = ahead->op;
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
        const long next = m_nMatchedOrder + 1;
        // Once the index is built it finds the first equal command past the
        // last match as the look ahead would, for the price of one hash.
        const bool indexed =
            m_bIndexed && (m_nIndexEnd >= count || next <= m_nIndexEnd - kIndexWindow / 2);
        if (!indexed) {
            // Most commands repeat the one after the last match, or one a
            // little further when a few before it went. Most that differ
            // differ in place, which the window of places ahead shows
            // without walking the list.
            if (m_nAheadAt != next)
                _fillahead(next, count);
            for (long k = 0; k < m_nAheadLen; k++) {
                if (!SameRect(m_ahead[k].rect, node->rcDst) || m_ahead[k].op != node->op)
                    continue;
                Node* ahead = m_prevNext;
                for (long j = 0; j < k; j++)
                    ahead = ahead->m_pNext;
                if (_canmatch(ahead, node)) {
                    _matchprevious(ahead, next + k);
                    return true;
                }
            }
            if (next + kLookAhead >= count)
                return false;  // nothing else is left after the last match
            Node* placed = _inplace();
            if (placed != NULL && _canmatch(placed, node)) {
                _matchprevious(placed, m_nPlacePos);
                return true;
            }
            // A command that is not nearby is taken as new without a search
            // unless the one before it missed too: single changes, however
            // many, then cost no index; two misses in a row mean the lists
            // went out of step (a block of commands went or came). Matching
            // fewer commands is always safe, it only redraws more.
            m_nMisses++;
            if (!m_bIndexed && m_nLastMissAt != m_nMatchedOrder) {
                m_nLastMissAt = m_nMatchedOrder;
                return false;
            }
            // Nor is an index built for a frame that so far changed more
            // than it kept: it is likely a new picture, and indexing the
            // previous one would be work thrown away.
            if (!m_bIndexed && m_nKept < m_nMisses)
                return false;
            // The index covers a window past the last match; once matching
            // has moved half way through it, it is extended.
            _indexprevious();
        }
        const uint64_t h = CommandHash(node);
        for (int k = m_prevBuckets[h & (m_prevBuckets.size() - 1)]; k >= 0;
             k = m_prevIndex[k].next) {
            const PrevKey& e = m_prevIndex[k];
            if (e.pos < m_nMatchedOrder || e.hash != h || !_canmatch(e.node, node))
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

void KRenderEngine::AddToList(rectlist* list, const rectlist_node* node, bool draw)
{
    Node* n = TakeSpare(list);
    if (n == NULL)
        return;
    static_cast<rectlist_node&>(*n) = *node;
    if (draw)
        ClrStateNotDraw(n);
    else
        SetStateNotDraw(n);
    Append(list);
}

bool KRenderEngine::RectInNode(const rectlist_node* node, RECT& r) const
{
    const RECT& n = node->rcDst;
    if (r.right <= n.left || r.bottom <= n.top || r.left >= n.right || r.top >= n.bottom)
        return false;
    r.left = std::max(r.left, n.left);
    r.right = std::min(r.right, n.right);
    r.top = std::max(r.top, n.top);
    r.bottom = std::min(r.bottom, n.bottom);
    return true;
}

// Moves one band of node outside r (above, left, below, right, in that
// order) into piece. Text and scaled blits are not cut: they become drawn
// whole instead.
int KRenderEngine::CutNode(rectlist_node* node, RECT& r, rectlist_node* piece)
{
    RECT& d = node->rcDst;
    RECT& s = node->rcSrc;
    const LONG above = r.top - d.top, left = r.left - d.left;
    const LONG below = d.bottom - r.bottom, right = d.right - r.right;
    if (above <= 0 && left <= 0 && below <= 0 && right <= 0)
        return 0;
    if (!IsCuttable(node)) {
        SetStateNotProcess(node);
        return 0;
    }
    const RECT source = s;
    *piece = *node;
    if (above > 0) {
        piece->rcDst.bottom = r.top;
        piece->rcSrc.bottom = piece->rcSrc.top + above;
        d.top = r.top;
        s.top += above;
    } else if (left > 0) {
        piece->rcDst.right = r.left;
        piece->rcSrc.right = piece->rcSrc.left + left;
        d.left = r.left;
        s.left += left;
    } else if (below > 0) {
        piece->rcDst.top = r.bottom;
        piece->rcSrc.top = piece->rcSrc.bottom - below;
        d.bottom = r.bottom;
        s.bottom -= below;
    } else {
        piece->rcDst.left = r.right;
        piece->rcSrc.left = piece->rcSrc.right - right;
        d.right = r.right;
        s.right -= right;
    }
    if (IsText(node)) {  // both keep the place of the whole text
        s = source;
        piece->rcSrc = source;
    }
    return 1;
}

// Cuts the commands of list (from cursor, null = the head) that carry every
// bit of filter by rect: the part inside rect stays in the command, the bands
// around it become commands of their own right after it; then clears the
// bits clearAfter of each command that overlapped.
void KRenderEngine::_cut(rectlist* list, RECT& rect, void* start, DWORD filter, DWORD clearAfter)
{
    Node* node = NULL;
    Node* cursor = static_cast<Node*>(start);
    if (list->list.GetCount() == 0)
        return;
    do {
        list->list.GetNext(node, cursor);
        if (node == NULL || (node->state & filter) != filter)
            continue;
        RECT r = rect;
        if (!RectInNode(node, r))
            continue;
        for (;;) {
            Node* piece = TakeSpare(list);
            if (piece == NULL || CutNode(node, r, piece) != 1)
                break;
            list->list.AddAfter(node);  // the piece goes right after its command
        }
        node->state &= ~clearAfter;
    } while (cursor != NULL);
}

void KRenderEngine::CutList(rectlist* list, RECT& rect)
{
    _cut(list, rect, NULL, 0, 0);
}

// An uncuttable command touched here is drawn whole, so it keeps NotProcess:
// its whole rectangle is then redrawn under and over it like a new one's.
void KRenderEngine::PreFrame(rectlist* list, RECT& rect)
{
    _cut(list, rect, NULL, m_dwNotDraw, m_dwNotDraw);
}

void KRenderEngine::ThisFrame(rectlist* list, void* cursor, RECT& rect)
{
    _cut(list, rect, cursor, m_dwNotDraw, m_dwNotDraw);
}


// An uncuttable unchanged command that touches a dirty rectangle is drawn
// whole, and what lies under and over it is redrawn: its rectangle is dirty
// too, and so on for the ones it touches. Stops once there are more than
// `most` rectangles; returns how many there are.
size_t KRenderEngine::_spreaduncut(size_t most)
{
    for (size_t d = 0; d < m_dirty.size() && m_dirty.size() <= most; d++) {
        for (Node*& u : m_uncut) {
            RECT r = m_dirty[d];
            if (u != NULL && RectInNode(u, r)) {
                m_dirty.push_back(u->rcDst);
                u = NULL;
            }
        }
    }
    return m_dirty.size();
}

// The previous commands from m_prevNext up to (not including) stop found
// no match and never will, since matches keep list order: they vanished.
void KRenderEngine::_vanishupto(Node* stop)
{
    const long count = long(m_pPrev->list.GetCount());
    for (long i = m_nMatchedOrder + 1; i < count && m_prevNext != stop;
         i++, m_prevNext = m_prevNext->m_pNext) {
        if (m_prevNext->dst == m_sprCut)  // under all that is matched from here on
            _adddirty(m_prevNext->rcDst, m_nBuildPos - 1);
    }
}

bool KRenderEngine::_touchesdirty(const rectlist_node* node) const
{
    const RECT& n = node->rcDst;
    if (n.right <= m_dirtyBox.left || n.bottom <= m_dirtyBox.top || n.left >= m_dirtyBox.right ||
        n.top >= m_dirtyBox.bottom)
        return false;  // nowhere near any dirty rectangle
    for (const RECT& d : m_dirty) {
        RECT r = d;
        if (RectInNode(node, r))
            return true;
    }
    return false;
}

// A change found while matching: the rectangle of a new or changed command
// (fresh), or of a vanished one (whose area is redrawn from what lies under
// it) when fresh is null. Only covers after list position pos can hide it.
void KRenderEngine::_adddirty(const RECT& r, long pos, Node* fresh)
{
    m_markBound += m_grids[0].CellsUnder(r);  // marked once that could decide something
    // Field by field: a record built whole on the stack is copied with a
    // wide load spanning two narrower stores, which cannot be served from
    // them, so every change waited for its own stores to land.
    m_changes.emplace_back();
    Change& c = m_changes.back();
    c.rect = r;
    c.pos = pos;
    c.fresh = fresh;
}

// Marks the changes not marked yet on the finest grid.
void KRenderEngine::_markpending()
{
    KDirtyGrid& grid = m_grids[0];
    for (; m_nMarkedRects < m_changes.size(); m_nMarkedRects++)
        grid.Mark(m_changes[m_nMarkedRects].rect);
    m_markBound = grid.MarkedCells();
}

// Once matching is done (and the frame is not drawn whole), its changes
// become the rectangles to redraw; past the budget, only where no later
// cover hides them.
void KRenderEngine::_gatherdirty()
{
    if (m_changes.size() > kMaxDirtyRects) {
        _hidechanges();
        return;
    }
    for (const Change& c : m_changes) {
        m_dirty.push_back(c.rect);
        if (c.fresh == NULL)
            m_vanished.push_back(c.rect);
    }
}

// Every command of this frame that did not change and paints over what
// lies under it is the cover of the rows it fills; first is the list
// position of the first change.
void KRenderEngine::_findcovers(long first)
{
    KDirtyGrid& grid = m_grids[0];
    const long count = long(m_pRecord->list.GetCount());
    grid.BeginCovers(count);
    // What comes before the first change hides none.
    Node* node = m_pRecord->list.GetHead();
    for (long i = 0; i < count; i++, node = node->m_pNext)
        if (i > first && !IsNotProcessNode(node) && node->dst == m_sprCut && PaintsOver(node))
            grid.Cover(node->rcDst, i);
}

// Changes past the dirty-rectangle budget, about to be redrawn in the cells
// of a grid or whole: those under covers drawn after them are seen
// nowhere, so they are marked again, only where they show.
void KRenderEngine::_hidechanges()
{
    KDirtyGrid& grid = m_grids[0];
    grid.Reset(m_sprCut->width, m_sprCut->height, kFineShift);
    m_dirty.clear();
    m_vanished.clear();
    long first = long(m_pRecord->list.GetCount());
    for (const Change& c : m_changes)
        first = std::min(first, c.pos);
    _findcovers(first);
    for (const Change& c : m_changes)
        _addshown(c);
    m_nMarkedRects = m_changes.size();  // _addshown marked them
    m_markBound = grid.MarkedCells();
}

// One change, once covers are known: only its cells that a later cover
// leaves shown are marked. A new command hidden in part is no longer drawn
// whole (it would paint over the covers, which are not redrawn there) but
// like an unchanged one, only where the frame is dirty; a rectangle hidden
// in part is redrawn, where it shows, from everything under and over it.
void KRenderEngine::_addshown(const Change& c)
{
    KDirtyGrid& grid = m_grids[0];
    if (c.fresh != NULL && !IsCuttable(c.fresh)) {  // drawn whole whatever covers it
        m_dirty.push_back(c.rect);
        grid.Mark(c.rect);
        return;
    }
    long shown = 0, hidden = 0;
    grid.MarkUncovered(c.rect, c.pos, shown, hidden);
    if (hidden == 0 && c.fresh != NULL) {
        m_dirty.push_back(c.rect);
        return;
    }
    if (hidden > 0) {
        m_nHidden++;
        if (c.fresh != NULL)
            ClrStateNotProcess(c.fresh);
    }
    if (shown > 0) {
        m_dirty.push_back(c.rect);
        m_vanished.push_back(c.rect);
    }
}

// True once the changes cover so much of the cut sprite that drawing the
// frame whole is as cheap as anything, or when after `seen` of `total`
// commands they would, going on at the same rate. (Deciding wrongly only
// redraws more.)
bool KRenderEngine::_mostlydirty(long fresh, long seen, long total)
{
    if (seen >= kNewPictureAfter && 4 * fresh > 3 * seen)
        return true;
    if (seen < kProjectAfter && m_markBound <= m_nMostlyCells)
        return false;  // the common answer, without the arithmetic below
    double share = kMostlyDirty;
    if (seen >= kProjectAfter)
        share = std::min(share, kProjectedShare * double(seen) / double(total));
    const double most = share * double(m_grids[0].Cells());
    // The rectangles not marked yet add at most their cells: they need
    // marking only when that could decide.
    if (double(m_markBound) <= most)
        return false;
    _markpending();
    return double(m_grids[0].MarkedCells()) > most;
}

void KRenderEngine::BuildingFrame()
{
    m_dirty.clear();
    m_vanished.clear();
    m_changes.clear();
    m_nMarkedRects = 0;
    m_markBound = 0;
    m_nHidden = 0;
    m_nBuildPos = 0;
    m_nMisses = 0;
    m_nLastMissAt = -2;
    m_bIndexed = false;
    m_nMatchedOrder = -1;
    m_nAheadAt = -1;
    m_nMatchedAt = -1;
    m_nKept = 0;
    m_bWhole = false;
    m_lastMode = kFrameUnchanged;
    m_nCutCommands = 0;
    m_cutArea = 0;
    const long prevCount = long(m_pPrev->list.GetCount());
    m_prevNext = prevCount != 0 ? m_pPrev->list.GetHead() : NULL;
    m_placeNode = m_prevNext;
    m_nPlacePos = 0;
    // Room for the most this frame can need, kept from frame to frame: a
    // frame no larger than those before it allocates nothing.
    const size_t most = size_t(prevCount) + m_pRecord->list.GetCount();
    m_dirty.reserve(most);
    m_changes.reserve(most);
    m_vanished.reserve(most);
    m_uncut.reserve(most);
    m_uncutMarked.reserve(most);
    m_prevIndex.reserve(size_t(prevCount));
    const bool haveCut = m_sprCut != NULL;
    if (haveCut) {
        m_grids[0].Reset(m_sprCut->width, m_sprCut->height, kFineShift);
        m_nMostlyCells = long(kMostlyDirty * double(m_grids[0].Cells()));
    }
    if (haveCut && m_bStep && m_nStepPos == long(m_pRecord->list.GetCount())) {
        if (_buildinstep()) {
            EmptyList(m_pPrev);
            return;
        }
    }
    m_uncut.clear();  // matching in step gathered them; the search does again

    // 1. Sort this frame's commands: on the cut sprite into the work list
    // (unchanged ones not drawn, new ones drawn whole), others into the draw
    // list and out of the recording list. The work list is only made when
    // something changed: an unchanged frame draws nothing of the cut sprite.
    Node* kept = NULL;  // the last command left in the recording list
    long fresh = 0, edited = 0;
    long moved = 0;  // commands taken out of the recording list so far
    // Once the changes cover most of the cut sprite, the frame is drawn whole
    // and the rest need not be matched.
    bool whole = false;
    const DWORD count = m_pRecord->list.GetCount();
    Node* node = count != 0 ? m_pRecord->list.GetHead() : NULL;
    for (DWORD i = 0; i < count;) {
        // Most commands repeat the one after the last match: a compare of
        // two records, with nothing kept in memory but the match.
        if (haveCut && !whole) {
            Node* p = m_prevNext;
            long order = m_nMatchedOrder;
            while (i < count && order + 1 < prevCount && node->dst == m_sprCut &&
                   (p->state & KRE_STATE_STALE) == 0 && SameRecord(p, node)) {
                p->state |= KRE_STATE_MATCHED;
                if (!IsCuttable(node))  // drawn whole if it meets a change
                    m_uncut.push_back(node);
                p = p->m_pNext;
                order++;
                kept = node;
                node = node->m_pNext;
                i++;
            }
            if (order != m_nMatchedOrder) {
                m_nKept += order - m_nMatchedOrder;
                m_nBuildPos = long(i) - 1 - moved;
                _matchedat(order, p);
            }
            if (i == count)
                break;
        }
        if (whole) {  // nothing left to match: only other sprites' commands move
            if (moved == m_nOffCut)
                break;  // and none is left
            while (i < count && node->dst == m_sprCut) {
                kept = node;
                node = node->m_pNext;
                i++;
            }
            if (i == count)
                break;
        }
        Node* next = node->m_pNext;
        if (haveCut && node->dst == m_sprCut) {
            kept = node;
            m_nBuildPos = long(i) - moved;
            if (!whole) {
                if (IsInList(m_pPrev, node)) {
                    if (!IsCuttable(node))
                        m_uncut.push_back(node);
                } else if (node->op == KRE_OP_PRINTF && _matchedit(node)) {
                    edited++;
                    whole = _mostlydirty(fresh, long(i) + 1, long(count));
                } else {
                    SetStateNotProcess(node);
                    fresh++;
                    _adddirty(node->rcDst, m_nBuildPos, node);
                    whole = _mostlydirty(fresh, long(i) + 1, long(count));
                }
            }
        } else {
            AddToList(m_pDraw, node, true);
            m_pRecord->list.DeleteNext(kept);
            moved++;
        }
        node = next;
        i++;
    }
    if (haveCut && !whole) {
        m_nBuildPos = long(count) - moved;
        _vanishupto(NULL);  // the previous commands after the last match
        _gatherdirty();
        whole = _mostlydirty(0, 1, 1);
    }
    _finishbuild(whole, haveCut && (whole || fresh + edited + prevCount - m_nKept > 0));

    // 4. What is left of the previous frame has vanished, and is already
    // noted as such (or the frame is drawn whole): the list and its index
    // are done with until this frame becomes the previous one.
    EmptyList(m_pPrev);
    m_prevIndex.clear();
}

// The rest of building a frame, once its dirty rectangles are gathered:
// nothing to draw, exactly the rectangles, the cells of a grid, or all.
void KRenderEngine::_finishbuild(bool whole, bool changed)
{
    if (changed && !whole)
        _markpending();
    m_nMarkedDirty = m_dirty.size();
    if (changed) {
        KDirtyGrid* grid = NULL;
        bool exact = false, box = false;
        if (!whole) {
            // Rectangles that nearly fill their bounds are cut as one even
            // when they are few: each costs a walk of the work list.
            box = m_dirty.size() > kBoxAfter && _boxpays();
            exact = box || (m_dirty.size() <= kMaxDirtyRects &&
                            _spreaduncut(kMaxDirtyRects) <= kMaxDirtyRects);
            if (!exact) {
                grid = _choosegrid();
                whole = grid == NULL;
            }
        }
        // Room in the work list for twice the most any frame needed: once
        // that falls short, the list's nodes at least double, so it grows
        // seldom (a few times, however slowly the most creeps up as frames
        // meet new places) and a steady frame allocates nothing.
        const DWORD most = DWORD(m_nMostWork);
        const DWORD nodes = m_pWork->list.GetNodeCount();
        if (nodes - m_pWork->list.GetCount() < 2 * most)
            m_pWork->list.Reserve(std::max(3 * most, 2 * nodes));
        if (whole) {
            // Drawn whole: while the cut sprite is the back screen, Render
            // replays the recorded commands themselves; another cut sprite
            // gets them in its work list.
            m_bWhole = true;
            m_lastMode = kFrameWhole;
            if (m_sprCut != GetBackScreenData()) {
                Node* node = m_pRecord->list.GetHead();
                for (DWORD i = 0, n = m_pRecord->list.GetCount(); i < n; i++, node = node->m_pNext)
                    AddToList(m_pWork, node, true);
            }
        } else if (exact) {
            m_lastMode = box ? kFrameBox : kFrameExact;
            _buildexact();
        } else {
            m_lastMode = kFrameGrid;
            _buildfromgrid(*grid);
        }
        m_nMostWork = std::max(m_nMostWork, size_t(m_pWork->list.GetCount()));
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
    for (const StepMiss& m : m_stepMisses) {
        m_nBuildPos = m.pos;
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
    const bool changed = !m_stepMisses.empty() || m_nStepLeft > 0;
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
        if (m_uncut.size() == m_uncut.capacity()) {
            m_bStep = false;  // no allocation while recording
            return;
        }
        m_uncut.push_back(n);
    }
}

void KRenderEngine::_steprecord(Node* n, bool canMatch)
{
    Node* p = _stepnext();
    _stepother(n, p,
               canMatch && p != NULL && (p->state & KRE_STATE_STALE) == 0 && SameFields(p, n));
}

void KRenderEngine::_stepmiss(Node* n, Node* p)
{
    // A few misses in a row are commands that changed where they stand (a
    // sprite drawn in parts, with its shadow, that moved); more mean that
    // commands came or went, and the rest is out of step: the search finds
    // where they went.
    const long at = m_nStepPos - 1;
    m_nStepRun = at == m_nStepLastMiss + 1 ? m_nStepRun + 1 : 1;
    if (n->dst != m_sprCut || m_stepMisses.size() >= m_nStepMaxMisses ||
        m_nStepRun > kStepRun) {
        m_bStep = false;
        return;
    }
    m_nStepLastMiss = at;
    m_stepMisses.push_back(StepMiss{n, p, at, false});
}

// A new frame starts matching in step with the previous one from its head,
// its recording list empty. The room is made here, between frames: a frame
// no larger than those before it allocates nothing.
void KRenderEngine::_stepreset()
{
    m_nOffCut = 0;
    m_nStepPos = 0;
    m_nStepLastMiss = -2;
    m_stepMisses.clear();
    m_uncut.clear();
    m_nStepLeft = m_pPrev != NULL ? long(m_pPrev->list.GetCount()) : 0;
    m_stepPrev = m_nStepLeft != 0 ? m_pPrev->list.GetHead() : NULL;
    m_bStep = m_bCutMode && m_sprCut != NULL && m_pPrev != NULL;
    m_nStepMaxMisses = std::max<size_t>(kStepMisses, size_t(m_nStepLeft) / 4);
    if (m_stepMisses.capacity() < m_nStepMaxMisses)
        m_stepMisses.reserve(2 * m_nStepMaxMisses);
    if (m_uncut.capacity() < size_t(m_nStepLeft) + kStepMisses)
        m_uncut.reserve(2 * (size_t(m_nStepLeft) + kStepMisses));
}

// Few dirty rectangles: every unchanged command is cut by each of them, so
// exactly what changed is redrawn.
void KRenderEngine::_buildexact()
{
    // Unchanged commands that touch no dirty rectangle would never be
    // drawn: they are left out of the work list, which keeps its walks as
    // short as the change is small.
    // Most commands lie nowhere near the bounds of all dirty rectangles:
    // that test comes first, without a call.
    m_dirtyBox = _dirtybounds();
    const RECT box = m_dirtyBox;
    Node* node = m_pRecord->list.GetHead();
    for (DWORD i = 0, n = m_pRecord->list.GetCount(); i < n; i++, node = node->m_pNext) {
        if (IsNotProcessNode(node)) {
            AddToList(m_pWork, node, true);
            continue;
        }
        const RECT& r = node->rcDst;
        if (r.right <= box.left || r.bottom <= box.top || r.left >= box.right ||
            r.top >= box.bottom)
            continue;
        if (_touchesdirty(node))
            AddToList(m_pWork, node, false);
    }
    _cutdirty();
}

// The bounds of every dirty rectangle.
RECT KRenderEngine::_dirtybounds() const
{
    RECT box = {0, 0, 0, 0};
    if (!m_dirty.empty()) {
        box = m_dirty[0];
        for (const RECT& d : m_dirty) {
            box.left = std::min(box.left, d.left);
            box.top = std::min(box.top, d.top);
            box.right = std::max(box.right, d.right);
            box.bottom = std::max(box.bottom, d.bottom);
        }
    }
    return box;
}

// The commands on the cut sprite and the pixels they cover; false when
// there is nothing to weigh.
bool KRenderEngine::_cutstats()
{
    m_nCutCommands = long(m_pRecord->list.GetCount());
    m_cutArea = 0;
    Node* node = m_pRecord->list.GetHead();
    for (long i = 0; i < m_nCutCommands; i++, node = node->m_pNext)
        m_cutArea += double(node->rcDst.right - node->rcDst.left) *
                     double(node->rcDst.bottom - node->rcDst.top);
    const double area = double(m_sprCut->width) * double(m_sprCut->height);
    return area > 0 && m_nCutCommands > 0 && m_cutArea > 0;
}

// What redrawing the rectangle r costs, in pixels of a blit. Commands are
// taken as squares of the mean area spread evenly over the sprite: r then
// meets about n (w + c)(h + c) / area of them, each a clipped replay, and
// redraws depth pixels for each of its own.
double KRenderEngine::_estimate(const RECT& r) const
{
    const double area = double(m_sprCut->width) * double(m_sprCut->height);
    const double n = double(m_nCutCommands);
    const double depth = m_cutArea / area;
    const double c = std::sqrt(m_cutArea / n);
    const double w = r.right - r.left, h = r.bottom - r.top;
    return depth * w * h + kPieceCost * n * (w + c) * (h + c) / area;
}

// True when the changes nearly fill their bounds and redrawing those is
// cheaper than a full redraw: the bounds are then the one dirty rectangle
// (everything vanished or changed lies inside them).
bool KRenderEngine::_boxpays()
{
    const RECT box = _dirtybounds();
    long marked = 0, cells = 0;
    m_grids[0].CountUnder(box, marked, cells);
    if (cells == 0 || double(marked) < kBoxFill * double(cells) || !_cutstats())
        return false;
    const double full = m_cutArea + kPieceCost * double(m_nCutCommands);
    if (_estimate(box) >= kWholeShare * full)
        return false;
    m_dirty.assign(1, box);
    m_vanished.assign(1, box);
    _spreaduncut(SIZE_MAX);
    return true;
}

// Many dirty rectangles: marked on grids of three cell sizes, each merged
// into disjoint rectangles. Returns the grid whose redraw is cheapest by
// estimate, or null when a full redraw is cheaper still.
//
// An uncuttable unchanged command that touches a grid's marked cells is
// drawn whole, so its cells are marked too; a coarser grid touches more of
// them, which its estimate pays for.
KDirtyGrid* KRenderEngine::_choosegrid()
{
    if (m_nCutCommands == 0)  // unless _boxpays counted them
        _cutstats();
    const double area = double(m_sprCut->width) * double(m_sprCut->height);
    if (area <= 0 || m_nCutCommands == 0 || m_cutArea <= 0)
        return NULL;
    const double n = double(m_nCutCommands);
    const double depth = m_cutArea / area;
    const double full = m_cutArea + kPieceCost * n;
    // Building the pieces walks every command and the cells under it.
    const double build = kCommandCost * n;
    KDirtyGrid* best = NULL;
    double bestCost = kWholeShare * full;
    // No grid redraws less than the finest one's cells as marked so far,
    // nor builds for less, nor meets fewer commands than those cells hold
    // (a rectangle's estimate below counts at least n w h / area pieces):
    // when even that is too dear, the grids need not be made.
    const double marked = double(m_grids[0].MarkedPixels());
    if (build + depth * marked + kPieceCost * n * marked / area >= bestCost)
        return NULL;
    m_uncutMarked.assign(m_uncut.size(), 0);
    for (int g = 0; g < kGrids; g++) {
        KDirtyGrid& grid = m_grids[g];
        if (g > 0) {
            grid.Coarsen(m_grids[g - 1]);
        } else {
            // What matching marked is there; add what _spreaduncut
            // added, if it ran.
            for (size_t d = m_nMarkedDirty; d < m_dirty.size(); d++)
                grid.Mark(m_dirty[d]);
        }
        // The cascade: what a coarser grid marks stays marked, so a command
        // marked on a finer grid is marked on every coarser one too.
        bool again = true;
        while (again) {
            again = false;
            for (size_t u = 0; u < m_uncut.size(); u++) {
                if (m_uncut[u] == NULL || m_uncutMarked[u] || !grid.Touches(m_uncut[u]->rcDst))
                    continue;
                grid.Mark(m_uncut[u]->rcDst);
                m_uncutMarked[u] = 1;
                again = true;
            }
        }
        grid.Merge();
        // The rectangles shrink to the changes inside them.
        grid.BeginFit();
        for (const RECT& d : m_dirty)
            grid.Fit(d);
        for (size_t u = 0; u < m_uncut.size(); u++)
            if (m_uncutMarked[u])
                grid.Fit(m_uncut[u]->rcDst);
        grid.EndFit();
        double cost = build;
        for (const RECT& r : grid.Rects())
            cost += _estimate(r);
        if (cost < bestCost) {
            bestCost = cost;
            best = &grid;
        }
    }
    return best;
}

// The work list of a frame redrawn inside the grid's merged rectangles: new
// commands and the uncuttable ones that touch a marked cell whole, every
// other command once for each rectangle it meets, clipped to it, all in
// recording order. The rectangles are disjoint, so no command draws a pixel
// twice.
void KRenderEngine::_buildfromgrid(KDirtyGrid& grid)
{
    const std::vector<RECT>& rects = grid.Rects();
    Node* node = m_pRecord->list.GetHead();
    for (DWORD i = 0, n = m_pRecord->list.GetCount(); i < n; i++, node = node->m_pNext) {
        if (IsNotProcessNode(node)) {
            AddToList(m_pWork, node, true);
            continue;
        }
        if (!IsCuttable(node)) {
            if (grid.Touches(node->rcDst))
                AddToList(m_pWork, node, true);
            continue;
        }
        grid.ForEachRect(node->rcDst, [&](int id) {
            RECT r = rects[size_t(id)];
            if (!RectInNode(node, r))
                return;
            Node* piece = TakeSpare(m_pWork);
            if (piece == NULL)
                return;
            ClipCopy(node, r, piece);
            ClrStateNotDraw(piece);
            Append(m_pWork);
        });
    }
}

// True when r lies inside one rectangle that step 2 redrew: every
// unchanged command there is drawn already, and what cutting left undrawn
// lies outside it.
bool KRenderEngine::_insidevanished(const RECT& r) const
{
    for (const RECT& v : m_vanished)
        if (r.left >= v.left && r.top >= v.top && r.right <= v.right && r.bottom <= v.bottom)
            return true;
    return false;
}

// Steps 2 and 3 of a frame: the unchanged commands are drawn inside the
// rectangles of what vanished or changed, and of what is drawn whole.
void KRenderEngine::_cutdirty()
{
    Node* node = NULL;
    Node* cursor = NULL;
    // 2. What vanished or changed since the last frame is redrawn from the
    // unchanged commands under it.
    for (RECT rc : m_vanished)
        PreFrame(m_pWork, rc);

    // 3. So is what is drawn whole in this frame. Cutting by one rectangle
    // can turn an uncuttable command into a drawn-whole one anywhere in the
    // list, whose rectangle is then dirty too: repeat until none is left.
    bool again = m_pWork->list.GetCount() != 0;
    while (again) {
        again = false;
        cursor = NULL;
        do {
            m_pWork->list.GetNext(node, cursor);
            if (node != NULL && IsDrawNode(node) && node->dst == m_sprCut &&
                IsNotProcessNode(node) && (node->state & KRE_STATE_SPREAD) == 0) {
                node->state |= KRE_STATE_SPREAD;
                RECT rc = node->rcDst;
                if (_insidevanished(rc))
                    continue;  // step 2 redrew everything there already
                ThisFrame(m_pWork, NULL, rc);
                again = true;
            }
        } while (cursor != NULL);
    }
}

// A window onto the rectangle r of spr (r within spr): a sprite header
// whose rows start inside spr's rows. Kept from call to call; it grows only
// with the tallest window asked for.
SPRITE_DATA* KRenderEngine::_window(SPRITE_DATA* spr, const RECT& r)
{
    const long h = r.bottom - r.top;
    const size_t words = (sizeof(SPRITE_DATA) + sizeof(uintptr_t) - 1) / sizeof(uintptr_t) + size_t(h);
    if (m_window.size() < words)
        m_window.resize(words);
    SPRITE_DATA* w = reinterpret_cast<SPRITE_DATA*>(m_window.data());
    const long bytes = spr->kcm == KCM_GRAY ? 1 : 2;
    w->flags = spr->flags;
    w->width = r.right - r.left;
    w->height = h;
    w->alignwidth = (w->width + 3) & ~3L;
    w->rows = h;
    w->pitch = spr->pitch;
    w->ref = 1;
    w->kcm = spr->kcm;
    w->reserved[0] = w->reserved[1] = 0;
    for (long y = 0; y < h; y++)
        w->lpRows[y] = spr->lpRows[r.top + y] + r.left * bytes;
    return w;
}

namespace {

// The characters of text, stepping from x, whose glyphs can reach the
// columns [0, width) of a window: bytes [begin, end), the first stepping
// from pen. The walk is drawing's own, each step the font's width of the
// character.
struct VisibleRun {
    size_t begin = 0, end = 0;
    long pen = 0;
};

VisibleRun FindVisibleRun(KFont& font, const char* text, long x, long width, long reach)
{
    VisibleRun run;
    bool started = false;
    long cx = x;
    kfontwalk::DrawForward(text, [&](unsigned code, size_t i, size_t n) {
        const long step = kfontwalk::Step(font, code);
        if (!started && cx + step + reach > 0) {
            started = true;
            run.begin = i;
            run.pen = cx;
        }
        if (started) {
            if (cx - reach >= width)
                return false;
            run.end = i + n;
        }
        cx += step;
        return true;
    });
    return run;
}

}  // namespace

// A text command: its source rectangle is where its characters step; a
// piece of it (a smaller destination) draws the text on a window of the
// sprite over the piece alone, so exactly the piece's pixels change, and
// only the characters whose glyphs can reach the window are drawn.
void KRenderEngine::_replaytext(const rectlist_node* n)
{
    const KRE_TEXT_PARAM* p = TextParam(n);
    const RECT& d = n->rcDst;
    const RECT& s = n->rcSrc;
    SPRITE_DATA* target = n->dst;
    long x = s.left, y = s.top;
    const bool limited = n->op == KRE_OP_PRINTF_WIDTH;
    RECT r = d;  // only the part on the sprite counts
    r.left = std::max<LONG>(r.left, 0);
    r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, LONG(target->width));
    r.bottom = std::min<LONG>(r.bottom, LONG(target->height));
    if (r.left >= r.right || r.top >= r.bottom)
        return;
    target = _window(target, r);
    x -= r.left;
    y -= r.top;
    const long reach = TextReach(s.bottom - s.top);
    char part[256];
    const char* text = p->text;
    long pen = x;
    // A window that leaves out no character whole (it may cut off what the
    // first and last glyphs reach past the steps) draws the text as it is.
    if (r.left >= s.left + reach || r.right <= s.right - reach) {
        const VisibleRun run = FindVisibleRun(*p->font, text, x, r.right - r.left, reach);
        if (run.end <= run.begin)
            return;
        if (run.end - run.begin < sizeof part) {
            std::memcpy(part, text + run.begin, run.end - run.begin);
            part[run.end - run.begin] = 0;
            text = part;
            pen = run.pen;
        }
    }
    if (limited)  // the limit counts from where the whole text starts
        p->font->DrawString(target, pen, y, p->colour, text, p->width - (pen - x), false);
    else
        p->font->DrawString(target, pen, y, p->colour, text);
}

// Draws one command through the device primitive of its code.
void KRenderEngine::Replay(const rectlist_node* n)
{
    KGraph* g = m_Graph;
    const RECT& d = n->rcDst;
    const RECT& s = n->rcSrc;
    switch (n->op) {
    case KRE_OP_BLT:
        g->_bltsprite(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom);
        break;
    case KRE_OP_CLEAR:
        g->_clearsprite(n->dst, d.left, d.top, d.right, d.bottom, DWORD(n->param));
        break;
    case KRE_OP_BLT_CK:
        g->_bltsprite_ck(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom);
        break;
    case KRE_OP_PRINTF:
    case KRE_OP_PRINTF_WIDTH:
        _replaytext(n);
        break;
    case KRE_OP_LINE:
        if (n->rcSrc.left == KRE_LINE_DOWNLEFT)
            g->_line(n->dst, d.right - 1, d.top, d.left, d.bottom - 1, DWORD(n->param));
        else
            g->_line(n->dst, d.left, d.top, d.right - 1, d.bottom - 1, DWORD(n->param));
        break;
    case KRE_OP_BLT_ZOOM:
        g->_bltsprite_zoom(n->dst, d.left, d.top, d.right - d.left, d.bottom - d.top, n->src,
                           s.left, s.top, s.right - s.left, s.bottom - s.top);
        break;
    case KRE_OP_BLT_ALPHA:
        g->_bltsprite_alpha(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom,
                            BYTE(n->param));
        break;
    case KRE_OP_BLT_ADDITIVE:
        g->_bltsprite_additive(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom,
                               BYTE(n->param));
        break;
    case KRE_OP_BLT_ALPHA_CK:
        g->_bltsprite_alpha_ck(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom,
                               BYTE(n->param));
        break;
    case KRE_OP_BLT_ALPHA_SPR: {
        const KRE_ALPHA_PARAM* p = AlphaParam(n);
        g->_bltsprite_alpha(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom,
                            p->alpha, p->ax, p->ay);
        break;
    }
    case KRE_OP_FILL_ALPHA_SPR: {
        const KRE_ALPHA_PARAM* p = AlphaParam(n);
        g->_bltsprite_alpha(n->dst, d.left, d.top, n->FillColour(),
                            s.left, s.top, s.right, s.bottom, p->alpha, p->ax, p->ay);
        break;
    }
    case KRE_OP_BLT_ZOOM_ALPHA:
        g->_bltsprite_zoom_alpha(n->dst, d.left, d.top, d.right - d.left, d.bottom - d.top,
                                 n->src, s.left, s.top, s.right - s.left, s.bottom - s.top,
                                 BYTE(n->param));
        break;
    case KRE_OP_BLT_ZOOM_CK:
        g->_bltsprite_zoom_ck(n->dst, d.left, d.top, d.right - d.left, d.bottom - d.top, n->src,
                              s.left, s.top, s.right - s.left, s.bottom - s.top);
        break;
    default:
        break;  // no such code is recorded
    }
}

int KRenderEngine::RenderCut()
{
    int count = 0;
    Node* node = NULL;
    Node* cursor = NULL;
    if (m_pWork->list.GetCount() != 0) {
        do {
            m_pWork->list.GetNext(node, cursor);
            if (node != NULL && IsDrawNode(node)) {
                count++;
                Replay(node);
            }
        } while (cursor != NULL);
    }
    EmptyList(m_pWork);
    return count;
}

// One frame: build, rotate the lists, replay, empty. Returns how many
// commands were drawn.
int KRenderEngine::Render()
{
    if (m_pRecord == NULL || m_Graph == NULL)
        return 0;
    int count = 0;
    SPRITE_DATA* back = GetBackScreenData();
    const bool cutIsBack = m_sprCut != NULL && m_sprCut == back;
    if (m_bCutMode) {
        BuildingFrame();
        std::swap(m_pRecord, m_pPrev);
        if (cutIsBack)
            std::swap(m_pDraw, m_pWork);
    } else {
        std::swap(m_pRecord, m_pDraw);
    }

    // A frame drawn whole on the back screen replays its recorded commands
    // (now the previous-frame list) as they are: no copy is made of them.
    rectlist* replay = m_bCutMode && cutIsBack && m_bWhole ? m_pPrev : m_pDraw;
    m_Graph->_beginrender();
    Node* node = NULL;
    Node* cursor = NULL;
    if (replay->list.GetCount() != 0) {
        do {
            replay->list.GetNext(node, cursor);
            if (node == NULL || !IsDrawNode(node))
                continue;
            // A command that reads another cut sprite first brings it up to
            // date. It is counted itself too: it draws.
            if (!cutIsBack && m_sprCut != NULL && node->Source() == m_sprCut)
                count += RenderCut();
            count++;
            Replay(node);
        } while (cursor != NULL);
    }
    m_Graph->_endrender();

    EmptyList(m_pDraw);
    EmptyList(m_pRecord);
    EmptyList(m_pWork);
    _stepreset();
    return count;
}
