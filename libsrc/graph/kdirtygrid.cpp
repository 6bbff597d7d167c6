// KDirtyGrid: marked cells of a grid merged into disjoint rectangles.
#include "kdirtygrid.h"
#include <algorithm>
#include <cstring>

void KDirtyGrid::Reset(long w, long h, int shift)
{
    m_w = w > 0 ? w : 0;
    m_h = h > 0 ? h : 0;
    m_shift = shift;
    const long cell = 1L << shift;
    m_cols = (m_w + cell - 1) >> shift;
    m_rows = (m_h + cell - 1) >> shift;
    // assign keeps the storage: a steady frame allocates nothing.
    const size_t cells = size_t(m_cols * m_rows);
    m_marks.assign(cells, 0);
    m_marked = 0;
    m_rects.clear();
    // No more rectangles than cells, nor runs than columns: reserved once
    // for the sprite's size, merging allocates nothing in later frames.
    m_rects.reserve(cells);
    m_seen.reserve(cells);
    m_owner.reserve(cells);
    m_fit.reserve(cells);
    m_runs.reserve(size_t(m_cols));
    m_above.reserve(size_t(m_cols));
}

void KDirtyGrid::Coarsen(const KDirtyGrid& fine)
{
    Reset(fine.m_w, fine.m_h, fine.m_shift + 1);
    for (long y = 0; y < fine.m_rows; y++) {
        const uint8_t* src = &fine.m_marks[size_t(y * fine.m_cols)];
        uint8_t* dst = &m_marks[size_t((y >> 1) * m_cols)];
        for (long x = 0; x < fine.m_cols; x++) {
            if (src[x] && !dst[x >> 1]) {
                dst[x >> 1] = 1;
                m_marked++;
            }
        }
    }
}

void KDirtyGrid::Mark(const RECT& r)
{
    long x0, y0, x1, y1;
    if (!cellRange(r, x0, y0, x1, y1))
        return;
    const long n = x1 - x0;
    for (long y = y0; y < y1; y++) {
        uint8_t* row = &m_marks[size_t(y * m_cols + x0)];
        if (n <= 8) {  // most changes span a few cells: no calls for those
            for (long x = 0; x < n; x++) {
                m_marked += 1 - row[x];
                row[x] = 1;
            }
            continue;
        }
        m_marked += n - countMarks(row, n);
        std::memset(row, 1, size_t(n));
    }
}

// Marks are bytes of 0 or 1, so the sum of eight of them is the top byte
// of their word times 0x0101010101010101 (no byte's sum passes 8).
long KDirtyGrid::countMarks(const uint8_t* p, long n)
{
    long count = 0, i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, sizeof w);
        count += long((w * 0x0101010101010101ull) >> 56);
    }
    for (; i < n; i++)
        count += p[i];
    return count;
}

bool KDirtyGrid::Touches(const RECT& r) const
{
    long x0, y0, x1, y1;
    if (m_marked == 0 || !cellRange(r, x0, y0, x1, y1))
        return false;
    for (long y = y0; y < y1; y++) {
        const uint8_t* row = &m_marks[size_t(y * m_cols)];
        for (long x = x0; x < x1; x++)
            if (row[x])
                return true;
    }
    return false;
}

void KDirtyGrid::CountUnder(const RECT& r, long& marked, long& cells) const
{
    marked = cells = 0;
    long x0, y0, x1, y1;
    if (!cellRange(r, x0, y0, x1, y1))
        return;
    cells = (x1 - x0) * (y1 - y0);
    for (long y = y0; y < y1; y++)
        marked += countMarks(&m_marks[size_t(y * m_cols + x0)], x1 - x0);
}

long KDirtyGrid::MarkedPixels() const
{
    // Only the last column and row can be cut short by the sprite's edge.
    const long cell = 1L << m_shift;
    const long lastW = m_w - (m_cols - 1) * cell, lastH = m_h - (m_rows - 1) * cell;
    long px = 0;
    for (long y = 0; y < m_rows; y++) {
        const long h = y + 1 == m_rows ? lastH : cell;
        const uint8_t* row = &m_marks[size_t(y * m_cols)];
        for (long x = 0; x < m_cols; x++)
            if (row[x])
                px += h * (x + 1 == m_cols ? lastW : cell);
    }
    return px;
}

void KDirtyGrid::Merge()
{
    m_rects.clear();
    m_owner.resize(m_marks.size());
    m_above.clear();
    const long cell = 1L << m_shift;
    for (long y = 0; y < m_rows; y++) {
        const uint8_t* row = &m_marks[size_t(y * m_cols)];
        m_runs.clear();
        size_t a = 0;  // the first run of the row above not yet passed
        for (long x = 0; x < m_cols;) {
            if (!row[x]) {
                x++;
                continue;
            }
            const long x0 = x;
            while (x < m_cols && row[x])
                x++;
            // A run exactly under one of the row above continues its rectangle.
            while (a < m_above.size() && m_above[a].x1 <= x0)
                a++;
            int id;
            if (a < m_above.size() && m_above[a].x0 == x0 && m_above[a].x1 == x) {
                id = m_above[a].rect;
                m_rects[size_t(id)].bottom = LONG(std::min((y + 1) * cell, m_h));
            } else {
                id = int(m_rects.size());
                m_rects.push_back(RECT{LONG(x0 * cell), LONG(y * cell),
                                       LONG(std::min(x * cell, m_w)),
                                       LONG(std::min((y + 1) * cell, m_h))});
            }
            m_runs.push_back(Run{x0, x, id});
            for (long i = x0; i < x; i++)
                m_owner[size_t(y * m_cols + i)] = id;
        }
        m_above.swap(m_runs);
    }
    m_seen.assign(m_rects.size(), 0u);
    m_visit = 0;
}

void KDirtyGrid::BeginFit()
{
    m_fit.assign(m_rects.size(), RECT{0, 0, 0, 0});
}

void KDirtyGrid::Fit(const RECT& r)
{
    ForEachRect(r, [&](int id) {
        const RECT& m = m_rects[size_t(id)];
        const RECT part{std::max(m.left, r.left), std::max(m.top, r.top),
                        std::min(m.right, r.right), std::min(m.bottom, r.bottom)};
        if (part.left >= part.right || part.top >= part.bottom)
            return;
        RECT& f = m_fit[size_t(id)];
        if (f.left >= f.right) {
            f = part;
            return;
        }
        f.left = std::min(f.left, part.left);
        f.top = std::min(f.top, part.top);
        f.right = std::max(f.right, part.right);
        f.bottom = std::max(f.bottom, part.bottom);
    });
}

void KDirtyGrid::EndFit()
{
    // Every merged rectangle holds a marked cell, and every marked cell a
    // part of a fitted rectangle; one fitted with nothing is kept whole.
    for (size_t id = 0; id < m_rects.size(); id++)
        if (m_fit[id].left < m_fit[id].right)
            m_rects[id] = m_fit[id];
}
