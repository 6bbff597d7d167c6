// KRenderEngine: what a frame changed of the back screen, for the device to
// present. A frame compared with the last one redraws only some rectangles
// of the back screen; presenting just those keeps a small change as cheap
// on the window as it was to draw. They are the rectangles the frame was
// cut by (the dirty rectangles or the grid's merged cells), or for a frame
// redrawn in the bounds of its changes the changes themselves; a frame
// drawn whole, a frame not compared, and the first frame after the window
// or the back screen changed are shown whole.
#include "krenderengine_state.h"
#include "kbands.h"
#include <algorithm>
#include <cstddef>

namespace {

// More rectangles than this are shown as they are, without merging.
const size_t kMergeUpTo = 64;
// A frame redrawn in the bounds of its changes shows the changes themselves
// (the rest of the bounds is redrawn as it was), up to this many; past it,
// the bounds. Measure: bench_ui --benchmark_filter='ListScroll.*varied:1'
const size_t kShowChangesUpTo = 256;

long Area(const RECT& r)
{
    return long(r.right - r.left) * long(r.bottom - r.top);
}

bool Inside(const RECT& in, const RECT& out)
{
    return in.left >= out.left && in.top >= out.top && in.right <= out.right &&
           in.bottom <= out.bottom;
}

RECT Bounds(const RECT& a, const RECT& b)
{
    RECT u = {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
    return u;
}

// r clipped to a w x h sprite; false when nothing is left.
inline bool ClipTo(RECT& r, long w, long h)
{
    r.left = std::max<LONG>(r.left, 0);
    r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, LONG(w));
    r.bottom = std::min<LONG>(r.bottom, LONG(h));
    return r.left < r.right && r.top < r.bottom;
}

// Drops the rectangles inside another and joins two whose bounds hold no
// more pixels than the two do apart: each rectangle is one copy to the
// window, and overlapping ones would copy their common pixels twice.
void MergeShown(std::vector<RECT>& rects)
{
    if (rects.size() > kMergeUpTo)
        return;
    bool again = true;
    while (again) {
        again = false;
        for (size_t i = 0; i < rects.size(); i++) {
            for (size_t j = i + 1; j < rects.size();) {
                const RECT u = Bounds(rects[i], rects[j]);
                if (Area(u) <= Area(rects[i]) + Area(rects[j])) {
                    rects[i] = u;
                    rects[j] = rects.back();
                    rects.pop_back();
                    again = true;
                } else {
                    j++;
                }
            }
        }
    }
}

bool RowOrder(const RECT& a, const RECT& b)
{
    if (a.top != b.top)
        return a.top < b.top;
    if (a.bottom != b.bottom)
        return a.bottom < b.bottom;
    return a.left < b.left;
}

// Sorts the rectangles by rows, top to bottom and each row left to right,
// and joins those of one row (the same top and bottom) that overlap or
// touch: a list's old and new line of text in one place become one.
void JoinRows(std::vector<RECT>& rects)
{
    // Changes found in recording order mostly come sorted already.
    if (!std::is_sorted(rects.begin(), rects.end(), RowOrder))
        std::sort(rects.begin(), rects.end(), RowOrder);
    size_t kept = 0;
    for (const RECT& r : rects) {
        if (kept > 0) {
            RECT& last = rects[kept - 1];
            if (last.top == r.top && last.bottom == r.bottom && r.left <= last.right) {
                last.right = std::max(last.right, r.right);
                continue;
            }
        }
        rects[kept++] = r;
    }
    rects.resize(kept);
}

}  // namespace

const RECT* KRenderEngine::Shown(size_t& count) const
{
    count = m_frame->m_shown.size();
    return m_frame->m_bShownAll ? NULL : m_frame->m_shown.data();
}

void KRenderEngine::ShowAll()
{
    m_frame->m_bShowAllNext = true;
}

// Once a frame is built: where it will redraw the back screen.
void KRenderEngine::_noteshown(bool cutIsBack)
{
    FrameState& f = *m_frame;
    f.m_shown.clear();
    f.m_shownBox = RECT{0, 0, 0, 0};
    f.m_bShownAll = !m_bCutMode || !cutIsBack || f.m_bWhole || f.m_bShowAllNext;
    if (f.m_bShownAll)
        return;
    if (f.m_lastMode == FrameState::kFrameGrid && f.m_chosenGrid != NULL)
        f.m_shown = f.m_chosenGrid->Rects();
    else if (f.m_lastMode == FrameState::kFrameBox && f.m_boxed.size() <= kShowChangesUpTo)
        f.m_shown = f.m_boxed;
    else if (f.m_lastMode == FrameState::kFrameExact || f.m_lastMode == FrameState::kFrameBox)
        f.m_shown = f.m_dirty;
    size_t kept = 0;
    for (RECT r : f.m_shown)
        if (ClipTo(r, m_sprCut->width, m_sprCut->height))
            f.m_shown[kept++] = r;
    f.m_shown.resize(kept);
    // Rows first (cheap, and what a list's changes mostly are); rows that
    // do not overlap are copied once each as they are, and a device may
    // take them as a region. Others are merged, and put in rows again.
    JoinRows(f.m_shown);
    if (!kbands::InBandOrder(f.m_shown.data(), f.m_shown.size())) {
        MergeShown(f.m_shown);
        std::sort(f.m_shown.begin(), f.m_shown.end(), RowOrder);
    }
    for (size_t i = 0; i < f.m_shown.size(); i++)
        f.m_shownBox = i == 0 ? f.m_shown[0] : Bounds(f.m_shownBox, f.m_shown[i]);
}

// A command replayed on the back screen: each one lies in the rectangles
// the frame was cut by. Should one reach past all of them, it is shown too
// rather than left off the window.
void KRenderEngine::_showreplayed(const rectlist_node* n)
{
    FrameState& f = *m_frame;
    if (f.m_bShownAll || n->dst != m_sprCut)
        return;
    // Nearly every command was cut to lie inside: the bounds, which lie in
    // the sprite, answer without clipping.
    if (Inside(n->rcDst, f.m_shownBox))
        return;
    RECT r = n->rcDst;
    if (!ClipTo(r, m_sprCut->width, m_sprCut->height) || Inside(r, f.m_shownBox))
        return;
    f.m_shown.push_back(r);
    f.m_shownBox = f.m_shown.size() == 1 ? r : Bounds(f.m_shownBox, r);
}
