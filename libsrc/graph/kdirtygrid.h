// KDirtyGrid: where a frame has to be redrawn, as marked cells of a grid over
// the cut sprite, merged into a few disjoint rectangles.
//
// Many small changes spread over the screen make many overlapping dirty
// rectangles; cutting every command by each of them costs more than a full
// redraw. Marking them on a grid of cells instead bounds the work by the
// number of cells, and merging the marked cells into rectangles (runs of a
// row, joined with the same run of the rows below) gives disjoint pieces, so
// no pixel is drawn twice by one command. Coarser cells give fewer, larger
// pieces for more pixels: the render engine weighs the two.
#pragma once
#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <vector>

class KDirtyGrid {
public:
    // Cells of 1 << shift pixels over a w x h sprite; no cell marked.
    void Reset(long w, long h, int shift);
    // Makes this grid the grid of `fine` with cells twice as wide and high:
    // a cell is marked when any of the four under it is.
    void Coarsen(const KDirtyGrid& fine);
    // Marks every cell r touches (r clipped to the sprite).
    void Mark(const RECT& r);
    // True when a marked cell lies under r.
    bool Touches(const RECT& r) const;

    // Covers: for each row of a column of cells, the list position of the
    // last command that paints all of it whatever lies under it. A change
    // under covers drawn after it, which did not change, shows nowhere.
    // BeginCovers starts a frame of that many commands with no cover.
    void BeginCovers(long commands);
    // Takes the command at list position pos as the cover of the rows of r
    // in every column of cells wholly inside r (r clipped to the sprite).
    void Cover(const RECT& r, long pos);
    // Marks the cells r touches where covers after list position pos leave
    // a row of r shown; counts those it marks and those left hidden.
    void MarkUncovered(const RECT& r, long pos, long& shown, long& hidden);

    // Cells under r (r clipped to the sprite).
    long CellsUnder(const RECT& r) const
    {
        long x0, y0, x1, y1;
        return cellRange(r, x0, y0, x1, y1) ? (x1 - x0) * (y1 - y0) : 0;
    }
    // Marked cells under r, and cells under r in all.
    void CountUnder(const RECT& r, long& marked, long& cells) const;

    long MarkedCells() const { return m_marked; }
    long Cells() const { return m_cols * m_rows; }
    // Pixels of the sprite inside marked cells.
    long MarkedPixels() const;

    // Merges the marked cells into disjoint rectangles (clipped to the
    // sprite), which Rects then holds.
    void Merge();
    const std::vector<RECT>& Rects() const { return m_rects; }
    // Shrinks the merged rectangles to what the marking rectangles cover of
    // them: between BeginFit and EndFit, Fit is given every rectangle that
    // was marked, and each merged rectangle becomes the bounds of their
    // parts inside it. The rectangles stay disjoint and still hold every
    // marked pixel, with less of the cells' rounding around it.
    void BeginFit();
    void Fit(const RECT& r);
    void EndFit();
    // Calls f (index) once for each merged rectangle under r.
    template <class F>
    void ForEachRect(const RECT& r, F f);

private:
    // How many of the n marks from p are set.
    static long countMarks(const uint8_t* p, long n);
    // Marks the n cells from row, counting those newly marked.
    void markRun(uint8_t* row, long n);
    // The cells r covers, clipped to the grid; false when none.
    bool cellRange(const RECT& r, long& x0, long& y0, long& x1, long& y1) const
    {
        const long l = r.left > 0 ? r.left : 0, t = r.top > 0 ? r.top : 0;
        const long rr = r.right < m_w ? r.right : m_w, b = r.bottom < m_h ? r.bottom : m_h;
        if (l >= rr || t >= b)
            return false;
        x0 = l >> m_shift;
        y0 = t >> m_shift;
        x1 = ((rr - 1) >> m_shift) + 1;
        y1 = ((b - 1) >> m_shift) + 1;
        return true;
    }

    long m_w = 0, m_h = 0;
    long m_cols = 0, m_rows = 0;
    int m_shift = 0;
    long m_marked = 0;
    // The cells Mark marked last: marks are only ever set until Reset, so a
    // rectangle within them (a line's old text after its new one) is marked.
    long m_lastX0 = 0, m_lastY0 = 0, m_lastX1 = 0, m_lastY1 = 0;
    std::vector<uint8_t> m_marks;   // one per cell, row by row
    // Per column of cells, one per row: m_coverBase + 1 + the position of
    // the cover, and at most m_coverBase where this frame has none.
    std::vector<int32_t> m_covers;
    std::vector<int32_t> m_lastCover;  // per cell, the same for the last cover over any row
    int32_t m_coverBase = 0, m_coverEnd = 0;
    std::vector<int> m_owner;       // the merged rectangle of each marked cell
    std::vector<RECT> m_rects;
    std::vector<RECT> m_fit;        // per rectangle: the bounds fitted so far
    std::vector<uint32_t> m_seen;   // per rectangle: the last visit that reported it
    uint32_t m_visit = 0;
    struct Run {
        long x0, x1;
        int rect;
    };
    std::vector<Run> m_runs, m_above;  // Merge's runs of this row and the last
};

template <class F>
void KDirtyGrid::ForEachRect(const RECT& r, F f)
{
    long x0, y0, x1, y1;
    if (!cellRange(r, x0, y0, x1, y1))
        return;
    // A large command meets fewer rectangles than it covers cells.
    if (size_t((x1 - x0) * (y1 - y0)) > m_rects.size()) {
        for (size_t id = 0; id < m_rects.size(); id++) {
            const RECT& d = m_rects[id];
            if (d.left < r.right && r.left < d.right && d.top < r.bottom && r.top < d.bottom)
                f(int(id));
        }
        return;
    }
    if (++m_visit == 0) {  // wrapped: forget every earlier visit
        std::fill(m_seen.begin(), m_seen.end(), 0u);
        m_visit = 1;
    }
    for (long y = y0; y < y1; y++) {
        const long row = y * m_cols;
        for (long x = x0; x < x1; x++) {
            if (!m_marks[size_t(row + x)])
                continue;
            const int id = m_owner[size_t(row + x)];
            if (m_seen[size_t(id)] == m_visit)
                continue;
            m_seen[size_t(id)] = m_visit;
            f(id);
        }
    }
}
