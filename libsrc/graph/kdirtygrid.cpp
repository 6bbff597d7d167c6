// KDirtyGrid: marked cells of a grid merged into disjoint rectangles.
#include "kdirtygrid.h"
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>

namespace {

// Eight cells' marks (each 0 or 1) in one word, all set.
const uint64_t kAllMarked = 0x0101010101010101ull;

// How many of the eight marks in w are set: their sum gathers in the top
// byte of the product.
inline long MarksIn(uint64_t w)
{
    return long((w * kAllMarked) >> 56);
}

// Four rows at a time: a tile's cover is a few dozen rows of each column.
void FillRows(int32_t* p, long n, int32_t v)
{
    const __m128i w = _mm_set1_epi32(v);
    long i = 0;
    for (; i + 4 <= n; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), w);
    for (; i < n; i++)
        p[i] = v;
}

// True when each of the n covers from p lies after `after`.
bool AllAfter(const int32_t* p, long n, int32_t after)
{
    const __m128i a = _mm_set1_epi32(after);
    long i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(_mm_cmpgt_epi32(v, a)) != 0xFFFF)
            return false;
    }
    for (; i < n; i++)
        if (p[i] <= after)
            return false;
    return true;
}

}  // namespace

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
    m_lastX0 = m_lastY0 = m_lastX1 = m_lastY1 = 0;
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
    if (x0 >= m_lastX0 && y0 >= m_lastY0 && x1 <= m_lastX1 && y1 <= m_lastY1)
        return;  // marked already
    for (long y = y0; y < y1; y++)
        markRun(&m_marks[size_t(y * m_cols + x0)], x1 - x0);
    m_lastX0 = x0;
    m_lastY0 = y0;
    m_lastX1 = x1;
    m_lastY1 = y1;
}

void KDirtyGrid::markRun(uint8_t* row, long n)
{
    if (n < 8) {  // most changes span a few cells: no calls for those
        for (long x = 0; x < n; x++) {
            m_marked += 1 - row[x];
            row[x] = 1;
        }
        return;
    }
    // Eight marks a word, without a call: a line of text spans a few dozen
    // cells. The last word, which may overlap the one before it, is read
    // before any is written, and its overlap is shifted out so that no
    // mark counts twice.
    uint64_t last;
    std::memcpy(&last, row + n - 8, sizeof last);
    long set = 0, x = 0;
    for (; x + 8 <= n; x += 8) {
        uint64_t w;
        std::memcpy(&w, row + x, sizeof w);
        set += MarksIn(w);
        std::memcpy(row + x, &kAllMarked, sizeof kAllMarked);
    }
    if (x < n) {
        set += MarksIn(last >> 8 * (8 - (n - x)));
        std::memcpy(row + n - 8, &kAllMarked, sizeof kAllMarked);
    }
    m_marked += n - set;
}

// A frame's covers count from where the last frame's ended, so older ones
// read as no cover without clearing them; only when the count would wrap
// (or the grid's size changed) are they cleared.
void KDirtyGrid::BeginCovers(long commands)
{
    const size_t size = size_t(m_cols * m_h);
    const int64_t count = std::min<int64_t>(commands, INT32_MAX / 2);
    if (m_covers.size() != size || m_lastCover.size() != m_marks.size() ||
        int64_t(m_coverEnd) + count + 1 > INT32_MAX) {
        m_covers.assign(size, 0);
        m_lastCover.assign(m_marks.size(), 0);
        m_coverEnd = 0;
    }
    m_coverBase = m_coverEnd;
    m_coverEnd = int32_t(m_coverBase + count + 1);
}

// Covers are kept for each row of each column of cells, a column's rows
// side by side: a command that paints a column's full width over some rows
// covers those rows, whichever cell they fall in, so covers that do not
// line up with the cells (a tile a pixel off the grid, two half tiles)
// still hide what lies under them.
void KDirtyGrid::Cover(const RECT& r, long pos)
{
    // A column cut short by the sprite's edge counts whole when r reaches
    // the edge.
    const long cell = 1L << m_shift;
    const long t = std::max(long(r.top), 0L), b = std::min(long(r.bottom), m_h);
    if (t >= b)
        return;
    const long x0 = (std::max(long(r.left), 0L) + cell - 1) >> m_shift;
    const long x1 = r.right >= m_w ? m_cols : std::max(long(r.right), 0L) >> m_shift;
    if (x0 >= x1)
        return;
    const int32_t value = m_coverBase + int32_t(pos) + 1;
    for (long x = x0; x < x1; x++)
        FillRows(&m_covers[size_t(x * m_h + t)], b - t, value);
    for (long y = t >> m_shift, last = (b - 1) >> m_shift; y <= last; y++)
        FillRows(&m_lastCover[size_t(y * m_cols + x0)], x1 - x0, value);
}

void KDirtyGrid::MarkUncovered(const RECT& r, long pos, long& shown, long& hidden)
{
    shown = hidden = 0;
    long x0, y0, x1, y1;
    if (!cellRange(r, x0, y0, x1, y1))
        return;
    const long cell = 1L << m_shift;
    const int32_t after = m_coverBase + int32_t(pos) + 1;
    for (long y = y0; y < y1; y++) {
        // Only the rows of r in this cell need hiding.
        const long t = std::max(long(r.top), y * cell);
        const long b = std::min({long(r.bottom), (y + 1) * cell, m_h});
        uint8_t* row = &m_marks[size_t(y * m_cols)];
        const int32_t* last = &m_lastCover[size_t(y * m_cols)];
        for (long x = x0; x < x1;) {
            // Cells no cover after pos touches at all are shown, in runs.
            long end = x;
            while (end < x1 && last[end] <= after)
                end++;
            if (end > x) {
                markRun(row + x, end - x);
                shown += end - x;
                x = end;
                continue;
            }
            if (AllAfter(&m_covers[size_t(x * m_h + t)], b - t, after)) {
                hidden++;
            } else {
                shown++;
                markRun(row + x, 1);
            }
            x++;
        }
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
        count += MarksIn(w);
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
