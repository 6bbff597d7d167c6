// KRenderEngine: building a frame of the cut sprite, and cutting commands
// into bands.
//
// How a frame flows, once Render calls BuildingFrame:
//  1. Matching (krenderengine_match.cpp): each command on the cut sprite is
//     matched against the previous frame's, in step while it was recorded or
//     by a search here. A match is unchanged; a miss is new or changed and
//     is drawn whole (NotProcess); a previous command left over vanished.
//  2. Damage (krenderengine_damage.cpp): every new, changed or vanished
//     rectangle is a change; past a budget of rectangles, only where no
//     later command covers it. The cost model then picks how the frame is
//     built: exactly by each rectangle, by their bounds (box), by the cells
//     of a dirty grid, or whole. A frame whose changes soon cover most of the
//     sprite is taken whole without matching the rest.
//  3. Cutting (here): _finishbuild fills the work list: the new commands
//     whole and the unchanged ones that meet a change, cut into bands
//     (PreFrame, ThisFrame) or clipped to the grid's rectangles, so that
//     each draws only inside what changed.
//  4. Replay (krenderengine_replay.cpp): Render rotates the lists and hands
//     the work and draw lists' commands to the device.
#include "krenderengine_state.h"
#include "krenderengine_record.h"
#include "krenderengine_frame.h"
#include "kdirtygrid.h"
#include <algorithm>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace kframe;

namespace {

// Fewer dirty rectangles than this are cut one by one however they lie
// (see kBoxFill). Measure: bench_frame --frame=box, against --frame=exact,
// --benchmark_filter='case:[12]'
const size_t kBoxAfter = 8;

bool IsText(const KRenderEngine::rectlist_node* n)
{
    return n->op == KRE_OP_PRINTF || n->op == KRE_OP_PRINTF_WIDTH;
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

void KRenderEngine::BuildingFrame()
{
    m_frame->m_dirty.clear();
    m_frame->m_boxed.clear();
    m_frame->m_vanished.clear();
    m_frame->m_changes.clear();
    m_frame->m_nMarkedRects = 0;
    m_frame->m_markBound = 0;
    m_frame->m_nHidden = 0;
    m_frame->m_nBuildPos = 0;
    m_frame->m_nMisses = 0;
    m_frame->m_nLastMissAt = -2;
    m_frame->m_bIndexed = false;
    m_frame->m_nMatchedOrder = -1;
    m_frame->m_nAheadAt = -1;
    m_frame->m_nMatchedAt = -1;
    m_frame->m_nKept = 0;
    m_frame->m_bWhole = false;
    m_frame->m_lastMode = FrameState::kFrameUnchanged;
    m_frame->m_nCutCommands = 0;
    m_frame->m_cutArea = 0;
    const long prevCount = long(m_pPrev->list.GetCount());
    m_frame->m_prevNext = prevCount != 0 ? m_pPrev->list.GetHead() : NULL;
    m_frame->m_placeNode = m_frame->m_prevNext;
    m_frame->m_nPlacePos = 0;
    // Room for the most this frame can need, kept from frame to frame: a
    // frame no larger than those before it allocates nothing.
    const size_t most = size_t(prevCount) + m_pRecord->list.GetCount();
    m_frame->m_dirty.reserve(most);
    m_frame->m_boxed.reserve(most);
    m_frame->m_changes.reserve(most);
    m_frame->m_vanished.reserve(most);
    m_frame->m_uncut.reserve(most);
    m_frame->m_uncutMarked.reserve(most);
    m_frame->m_prevIndex.reserve(size_t(prevCount));
    const bool haveCut = m_sprCut != NULL;
    if (haveCut) {
        m_frame->m_grids[0].Reset(m_sprCut->width, m_sprCut->height, kFineShift);
        m_frame->m_nMostlyCells = long(kMostlyDirty * double(m_frame->m_grids[0].Cells()));
    }
    if (haveCut && m_bStep && m_nStepPos == long(m_pRecord->list.GetCount())) {
        if (_buildinstep()) {
            EmptyList(m_pPrev);
            return;
        }
    }
    m_frame->m_uncut.clear();  // matching in step gathered them; the search does again

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
            Node* p = m_frame->m_prevNext;
            long order = m_frame->m_nMatchedOrder;
            while (i < count && order + 1 < prevCount && node->dst == m_sprCut &&
                   (p->state & KRE_STATE_STALE) == 0 && krecord::SameRecord(p, node)) {
                p->state |= KRE_STATE_MATCHED;
                if (!IsCuttable(node))  // drawn whole if it meets a change
                    m_frame->m_uncut.push_back(node);
                p = p->m_pNext;
                order++;
                kept = node;
                node = node->m_pNext;
                i++;
            }
            if (order != m_frame->m_nMatchedOrder) {
                m_frame->m_nKept += order - m_frame->m_nMatchedOrder;
                m_frame->m_nBuildPos = long(i) - 1 - moved;
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
            m_frame->m_nBuildPos = long(i) - moved;
            if (!whole) {
                if (IsInList(m_pPrev, node)) {
                    if (!IsCuttable(node))
                        m_frame->m_uncut.push_back(node);
                } else if (node->op == KRE_OP_PRINTF && _matchedit(node)) {
                    edited++;
                    whole = _mostlydirty(fresh, long(i) + 1, long(count));
                } else {
                    SetStateNotProcess(node);
                    fresh++;
                    _adddirty(node->rcDst, m_frame->m_nBuildPos, node);
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
        m_frame->m_nBuildPos = long(count) - moved;
        _vanishupto(NULL);  // the previous commands after the last match
        _gatherdirty();
        whole = _mostlydirty(0, 1, 1);
    }
    _finishbuild(whole, haveCut && (whole || fresh + edited + prevCount - m_frame->m_nKept > 0));

    // 4. What is left of the previous frame has vanished, and is already
    // noted as such (or the frame is drawn whole): the list and its index
    // are done with until this frame becomes the previous one.
    EmptyList(m_pPrev);
    m_frame->m_prevIndex.clear();
}

// The rest of building a frame, once its dirty rectangles are gathered:
// nothing to draw, exactly the rectangles, the cells of a grid, or all.
void KRenderEngine::_finishbuild(bool whole, bool changed)
{
    const Strategy forced = ForcedStrategy();
    whole = whole || (changed && forced == Strategy::kWhole);
    if (changed && !whole)
        _markpending();
    m_frame->m_nMarkedDirty = m_frame->m_dirty.size();
    if (changed) {
        KDirtyGrid* grid = NULL;
        bool exact = false, box = false;
        if (!whole && forced == Strategy::kExact) {
            exact = true;
            _spreaduncut(SIZE_MAX);
        } else if (!whole && forced == Strategy::kBox) {
            box = exact = _boxpays(true);
        } else if (!whole && forced == Strategy::kGrid) {
            grid = _choosegrid(true);
            whole = grid == NULL;  // nothing to weigh: no commands, no area
        } else if (!whole) {
            // Rectangles that nearly fill their bounds are cut as one even
            // when they are few: each costs a walk of the work list.
            box = m_frame->m_dirty.size() > kBoxAfter && _boxpays();
            exact = box || (m_frame->m_dirty.size() <= kMaxDirtyRects &&
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
        const DWORD most = DWORD(m_frame->m_nMostWork);
        const DWORD nodes = m_pWork->list.GetNodeCount();
        if (nodes - m_pWork->list.GetCount() < 2 * most)
            m_pWork->list.Reserve(std::max(3 * most, 2 * nodes));
        if (whole) {
            // Drawn whole: while the cut sprite is the back screen, Render
            // replays the recorded commands themselves; another cut sprite
            // gets them in its work list.
            m_frame->m_bWhole = true;
            m_frame->m_lastMode = FrameState::kFrameWhole;
            if (m_sprCut != GetBackScreenData()) {
                Node* node = m_pRecord->list.GetHead();
                for (DWORD i = 0, n = m_pRecord->list.GetCount(); i < n; i++, node = node->m_pNext)
                    AddToList(m_pWork, node, true);
            }
        } else if (exact) {
            m_frame->m_lastMode = box ? FrameState::kFrameBox : FrameState::kFrameExact;
            _buildexact();
        } else {
            m_frame->m_lastMode = FrameState::kFrameGrid;
            m_frame->m_chosenGrid = grid;
            _buildfromgrid(*grid);
        }
        m_frame->m_nMostWork = std::max(m_frame->m_nMostWork, size_t(m_pWork->list.GetCount()));
    }
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
    m_frame->m_dirtyBox = _dirtybounds();
    const RECT box = m_frame->m_dirtyBox;
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
    for (const RECT& v : m_frame->m_vanished)
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
    for (RECT rc : m_frame->m_vanished)
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

namespace kframe {

Strategy ParseStrategy(const char* setting)
{
    static const struct {
        const char* name;
        Strategy strategy;
    } kNames[] = {{"exact", Strategy::kExact}, {"box", Strategy::kBox},
                  {"grid", Strategy::kGrid},   {"whole", Strategy::kWhole},
                  {"search", Strategy::kSearch}};
    if (setting != NULL)
        for (const auto& n : kNames)
            if (std::strcmp(setting, n.name) == 0)
                return n.strategy;
    return Strategy::kChosen;
}

Strategy ForcedStrategy()
{
    // Read once: a strategy that changed between frames would leave the
    // state of the last one to the next.
    static const Strategy forced = ParseStrategy(std::getenv("KESTREL_FRAME"));
    return forced;
}

}  // namespace kframe
