// KRenderEngine: what a frame must redraw and what redrawing it costs.
//
// Matching hands over changes: the rectangles of new, changed and vanished
// commands. Few are redrawn as they are; past a budget, the parts of them
// that later unchanged commands cover are left out, and they are marked on
// dirty grids of three cell sizes. The cost model (pixels, plus a price
// for each clipped replay and each command walked) then weighs the
// rectangles, their bounds, each grid and a full redraw against each other.
#include "krenderengine_state.h"
#include "krenderengine_frame.h"
#include "kdirtygrid.h"
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

using namespace kframe;

namespace {

// After this many commands, the changes seen so far are taken to go on at
// the same rate; when they would end up covering this share of the cut
// sprite's cells, the frame is drawn whole at once. Redrawing that much in
// pieces costs about what a full redraw does (measured with bench/frame),
// and the matching left would be thrown away.
const long kProjectAfter = 128;
const double kProjectedShare = 0.6;
// After this many commands, a frame of which three in four changed so far
// is taken as a new picture.
// These three, measured against a frame built whole:
//   bench_frame --benchmark_filter='case:[23]'
//   bench_frame --frame=whole --benchmark_filter='case:[23]'
const long kNewPictureAfter = 64;

// What one clipped replay costs beyond its pixels (the call, clipping,
// setting up the rows), in pixels of a blit. Measured by bench/frame's
// BM_PieceCost: 280 - 330 pixels for a plain blit, 180 - 225 for a
// colour-keyed one (whose pixels cost more), so about 300 for a screen
// mostly of plain tiles. Measure: bench_frame --benchmark_filter=BM_PieceCost
const double kPieceCost = 300.0;

// What building a frame redrawn in the cells of a grid costs for each of
// its commands beyond its pieces, in the same pixels: marking, the grids
// and walking the commands over the cells. Measured by bench/frame with the
// grid forced on its 10 % case: 93 - 97 ns a command with its pieces (about
// 1.4 a command) at 500 and 2000 commands, against 0.17 - 0.25 ns a pixel,
// so 400 - 550 with the pieces and about 320 without them. Measure:
//   bench_frame --frame=grid --benchmark_filter='commands:(500|2000)/case:2'
const double kCommandCost = 320.0;

// A frame whose dirty area would cost more than this share of a full redraw
// is drawn whole: the estimate knows nothing of where the pieces lie in
// memory, and reads low. Measured with bench/frame's 10 % case: estimates
// of 0.32 - 0.47 where the frame costs 0.62 - 0.65 of a full redraw (500
// commands), 0.81 where it costs 1.14 (2000 commands, the finest grid).
// Measure: bench_frame --frame=grid --benchmark_filter='case:2', against
//   bench_frame --frame=whole --benchmark_filter='case:2'
const double kWholeShare = 0.7;

// Changes whose cells fill at least this share of the cells under their
// bounds (rows of a list that all moved, a panel redrawn line by line) are
// redrawn as that one rectangle: the grid's cells would only stick out past
// it, in more pieces. Measure: bench_frame --frame=box, against
// --frame=grid and --frame=exact, --benchmark_filter='case:[12]'
const double kBoxFill = 0.85;

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

}  // namespace

// An uncuttable unchanged command that touches a dirty rectangle is drawn
// whole, and what lies under and over it is redrawn: its rectangle is dirty
// too, and so on for the ones it touches. Stops once there are more than
// `most` rectangles; returns how many there are.
size_t KRenderEngine::_spreaduncut(size_t most)
{
    for (size_t d = 0; d < m_frame->m_dirty.size() && m_frame->m_dirty.size() <= most; d++) {
        for (Node*& u : m_frame->m_uncut) {
            RECT r = m_frame->m_dirty[d];
            if (u != NULL && RectInNode(u, r)) {
                m_frame->m_dirty.push_back(u->rcDst);
                u = NULL;
            }
        }
    }
    return m_frame->m_dirty.size();
}

bool KRenderEngine::_touchesdirty(const rectlist_node* node) const
{
    const RECT& n = node->rcDst;
    if (n.right <= m_frame->m_dirtyBox.left || n.bottom <= m_frame->m_dirtyBox.top || n.left >= m_frame->m_dirtyBox.right ||
        n.top >= m_frame->m_dirtyBox.bottom)
        return false;  // nowhere near any dirty rectangle
    for (const RECT& d : m_frame->m_dirty) {
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
    m_frame->m_markBound += m_frame->m_grids[0].CellsUnder(r);  // marked once that could decide something
    // Field by field: a record built whole on the stack is copied with a
    // wide load spanning two narrower stores, which cannot be served from
    // them, so every change waited for its own stores to land.
    m_frame->m_changes.emplace_back();
    Change& c = m_frame->m_changes.back();
    c.rect = r;
    c.pos = pos;
    c.fresh = fresh;
}

// Marks the changes not marked yet on the finest grid.
void KRenderEngine::_markpending()
{
    KDirtyGrid& grid = m_frame->m_grids[0];
    for (; m_frame->m_nMarkedRects < m_frame->m_changes.size(); m_frame->m_nMarkedRects++)
        grid.Mark(m_frame->m_changes[m_frame->m_nMarkedRects].rect);
    m_frame->m_markBound = grid.MarkedCells();
}

// Once matching is done (and the frame is not drawn whole), its changes
// become the rectangles to redraw; past the budget, only where no later
// cover hides them.
void KRenderEngine::_gatherdirty()
{
    if (m_frame->m_changes.size() > kMaxDirtyRects && _hidechanges())
        return;
    for (const Change& c : m_frame->m_changes) {
        m_frame->m_dirty.push_back(c.rect);
        if (c.fresh == NULL)
            m_frame->m_vanished.push_back(c.rect);
    }
}

// Every command of this frame that did not change and paints over what
// lies under it is the cover of the rows it fills; first is the list
// position of the first change. False when none is found.
bool KRenderEngine::_findcovers(long first)
{
    KDirtyGrid& grid = m_frame->m_grids[0];
    const long count = long(m_pRecord->list.GetCount());
    grid.BeginCovers(count);
    // What comes before the first change hides none.
    bool any = false;
    Node* node = m_pRecord->list.GetHead();
    for (long i = 0; i < count; i++, node = node->m_pNext)
        if (i > first && !IsNotProcessNode(node) && node->dst == m_sprCut && PaintsOver(node)) {
            grid.Cover(node->rcDst, i);
            any = true;
        }
    return any;
}

// Changes past the dirty-rectangle budget, about to be redrawn in the cells
// of a grid or whole: those under covers drawn after them are seen
// nowhere, so they are marked again, only where they show. False, with
// nothing changed, when no cover comes after the first change: every
// change then shows whole, as below the budget (a list whose rows all
// changed text, over a back nothing paints after them), and what matching
// marked on the grid stays marked.
bool KRenderEngine::_hidechanges()
{
    long first = long(m_pRecord->list.GetCount());
    for (const Change& c : m_frame->m_changes)
        first = std::min(first, c.pos);
    if (!_findcovers(first))
        return false;
    KDirtyGrid& grid = m_frame->m_grids[0];
    grid.Reset(m_sprCut->width, m_sprCut->height, kFineShift);
    m_frame->m_dirty.clear();
    m_frame->m_vanished.clear();
    for (const Change& c : m_frame->m_changes)
        _addshown(c);
    m_frame->m_nMarkedRects = m_frame->m_changes.size();  // _addshown marked them
    m_frame->m_markBound = grid.MarkedCells();
    return true;
}

// One change, once covers are known: only its cells that a later cover
// leaves shown are marked. A new command hidden in part is no longer drawn
// whole (it would paint over the covers, which are not redrawn there) but
// like an unchanged one, only where the frame is dirty; a rectangle hidden
// in part is redrawn, where it shows, from everything under and over it.
void KRenderEngine::_addshown(const Change& c)
{
    KDirtyGrid& grid = m_frame->m_grids[0];
    if (c.fresh != NULL && !IsCuttable(c.fresh)) {  // drawn whole whatever covers it
        m_frame->m_dirty.push_back(c.rect);
        grid.Mark(c.rect);
        return;
    }
    long shown = 0, hidden = 0;
    grid.MarkUncovered(c.rect, c.pos, shown, hidden);
    if (hidden == 0 && c.fresh != NULL) {
        m_frame->m_dirty.push_back(c.rect);
        return;
    }
    if (hidden > 0) {
        m_frame->m_nHidden++;
        if (c.fresh != NULL)
            ClrStateNotProcess(c.fresh);
    }
    if (shown > 0) {
        m_frame->m_dirty.push_back(c.rect);
        m_frame->m_vanished.push_back(c.rect);
    }
}

// True once the changes cover so much of the cut sprite that drawing the
// frame whole is as cheap as anything, or when after `seen` of `total`
// commands they would, going on at the same rate. (Deciding wrongly only
// redraws more.)
bool KRenderEngine::_mostlydirty(long fresh, long seen, long total)
{
    const Strategy forced = ForcedStrategy();
    if (forced == Strategy::kExact || forced == Strategy::kBox || forced == Strategy::kGrid)
        return false;  // every change is to be matched and built so
    if (seen >= kNewPictureAfter && 4 * fresh > 3 * seen)
        return true;
    if (seen < kProjectAfter && m_frame->m_markBound <= m_frame->m_nMostlyCells)
        return false;  // the common answer, without the arithmetic below
    double share = kMostlyDirty;
    if (seen >= kProjectAfter)
        share = std::min(share, kProjectedShare * double(seen) / double(total));
    const double most = share * double(m_frame->m_grids[0].Cells());
    // The rectangles not marked yet add at most their cells: they need
    // marking only when that could decide.
    if (double(m_frame->m_markBound) <= most)
        return false;
    _markpending();
    return double(m_frame->m_grids[0].MarkedCells()) > most;
}

// The bounds of every dirty rectangle.
RECT KRenderEngine::_dirtybounds() const
{
    RECT box = {0, 0, 0, 0};
    if (!m_frame->m_dirty.empty()) {
        box = m_frame->m_dirty[0];
        for (const RECT& d : m_frame->m_dirty) {
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
    m_frame->m_nCutCommands = long(m_pRecord->list.GetCount());
    m_frame->m_cutArea = 0;
    Node* node = m_pRecord->list.GetHead();
    for (long i = 0; i < m_frame->m_nCutCommands; i++, node = node->m_pNext)
        m_frame->m_cutArea += double(node->rcDst.right - node->rcDst.left) *
                     double(node->rcDst.bottom - node->rcDst.top);
    const double area = double(m_sprCut->width) * double(m_sprCut->height);
    return area > 0 && m_frame->m_nCutCommands > 0 && m_frame->m_cutArea > 0;
}

// What redrawing the rectangle r costs, in pixels of a blit. Commands are
// taken as squares of the mean area spread evenly over the sprite: r then
// meets about n (w + c)(h + c) / area of them, each a clipped replay, and
// redraws depth pixels for each of its own.
double KRenderEngine::_estimate(const RECT& r) const
{
    const double area = double(m_sprCut->width) * double(m_sprCut->height);
    const double n = double(m_frame->m_nCutCommands);
    const double depth = m_frame->m_cutArea / area;
    const double c = std::sqrt(m_frame->m_cutArea / n);
    const double w = r.right - r.left, h = r.bottom - r.top;
    return depth * w * h + kPieceCost * n * (w + c) * (h + c) / area;
}

// True when the changes nearly fill their bounds and redrawing those is
// cheaper than a full redraw (or when forced): the bounds are then the one
// dirty rectangle (everything vanished or changed lies inside them).
bool KRenderEngine::_boxpays(bool forced)
{
    const RECT box = _dirtybounds();
    if (!forced) {
        long marked = 0, cells = 0;
        m_frame->m_grids[0].CountUnder(box, marked, cells);
        if (cells == 0 || double(marked) < kBoxFill * double(cells) || !_cutstats())
            return false;
        const double full = m_frame->m_cutArea + kPieceCost * double(m_frame->m_nCutCommands);
        if (_estimate(box) >= kWholeShare * full)
            return false;
    }
    // What changed inside the box is what the window is shown of it: the
    // rest of the box is redrawn as it was.
    m_frame->m_boxed.swap(m_frame->m_dirty);
    m_frame->m_dirty.assign(1, box);
    m_frame->m_vanished.assign(1, box);
    _spreaduncut(SIZE_MAX);
    return true;
}

// Many dirty rectangles: marked on grids of three cell sizes, each merged
// into disjoint rectangles. Returns the grid whose redraw is cheapest by
// estimate, or null when a full redraw is cheaper still (unless forced: then
// null only when there is nothing to weigh).
//
// An uncuttable unchanged command that touches a grid's marked cells is
// drawn whole, so its cells are marked too; a coarser grid touches more of
// them, which its estimate pays for.
KDirtyGrid* KRenderEngine::_choosegrid(bool forced)
{
    if (m_frame->m_nCutCommands == 0)  // unless _boxpays counted them
        _cutstats();
    const double area = double(m_sprCut->width) * double(m_sprCut->height);
    if (area <= 0 || m_frame->m_nCutCommands == 0 || m_frame->m_cutArea <= 0)
        return NULL;
    const double n = double(m_frame->m_nCutCommands);
    const double depth = m_frame->m_cutArea / area;
    const double full = m_frame->m_cutArea + kPieceCost * n;
    // Building the pieces walks every command and the cells under it.
    const double build = kCommandCost * n;
    KDirtyGrid* best = NULL;
    double bestCost = forced ? HUGE_VAL : kWholeShare * full;
    // No grid redraws less than the finest one's cells as marked so far,
    // nor builds for less, nor meets fewer commands than those cells hold
    // (a rectangle's estimate below counts at least n w h / area pieces):
    // when even that is too dear, the grids need not be made.
    const double marked = double(m_frame->m_grids[0].MarkedPixels());
    if (!forced && build + depth * marked + kPieceCost * n * marked / area >= bestCost)
        return NULL;
    m_frame->m_uncutMarked.assign(m_frame->m_uncut.size(), 0);
    for (int g = 0; g < kGrids; g++) {
        KDirtyGrid& grid = m_frame->m_grids[g];
        if (g > 0) {
            grid.Coarsen(m_frame->m_grids[g - 1]);
        } else {
            // What matching marked is there; add what _spreaduncut
            // added, if it ran.
            for (size_t d = m_frame->m_nMarkedDirty; d < m_frame->m_dirty.size(); d++)
                grid.Mark(m_frame->m_dirty[d]);
        }
        // The cascade: what a coarser grid marks stays marked, so a command
        // marked on a finer grid is marked on every coarser one too.
        bool again = true;
        while (again) {
            again = false;
            for (size_t u = 0; u < m_frame->m_uncut.size(); u++) {
                if (m_frame->m_uncut[u] == NULL || m_frame->m_uncutMarked[u] || !grid.Touches(m_frame->m_uncut[u]->rcDst))
                    continue;
                grid.Mark(m_frame->m_uncut[u]->rcDst);
                m_frame->m_uncutMarked[u] = 1;
                again = true;
            }
        }
        grid.Merge();
        // The rectangles shrink to the changes inside them.
        grid.BeginFit();
        for (const RECT& d : m_frame->m_dirty)
            grid.Fit(d);
        for (size_t u = 0; u < m_frame->m_uncut.size(); u++)
            if (m_frame->m_uncutMarked[u])
                grid.Fit(m_frame->m_uncut[u]->rcDst);
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
