// Wide lines as runs of pixels, row by row.
//
// A wide line is the union of convex pieces: a quadrilateral along each
// segment, a wedge at each gentle bend, a disc at each end and sharper
// corner. A convex piece covers one run of each row it crosses, so the line
// is the union of those runs; each row is written once, however many pieces
// cover it. A curve of a thousand points under a pen wider than the picture
// was a thousand discs and a fill of four thousand edges over every row; here
// most of its pieces find their rows already full.
//
// The pixels are the ones WideLineByFill gives, to the last one: the pieces
// are built with the same arithmetic, each piece's crossings on a row come
// from the fill's own formula, and the winding fill of pieces that all turn
// one way draws exactly the union of their runs. A piece whose crossings do
// not make one such run (a segment far shorter than a pixel can come out
// twisted) ends the runs before anything is drawn, and the fill draws the
// line instead.
#include "metafile_raster.h"

#include "metafile_scan.h"

#include <algorithm>
#include <cmath>

namespace win32metafile {

namespace {

using scan::Clamp;
using scan::Finite;
using scan::kFar;
using scan::PixelAtOrRight;

// The runs of a line, gathered before any is drawn. A row covered from side
// to side is marked full and gathers nothing more; the rest are merged now
// and then, so that a thousand discs over the same rows keep a few runs a
// row, not a thousand. Rows are marked full only within [rowLo, rowHi), the
// rows the line can reach, so a short line on a tall canvas costs no more
// than its own rows.
class RowRuns {
public:
    RowRuns(long width, long height, long rowLo, long rowHi)
        : m_width(width), m_height(height), m_rowLo(rowLo), m_full(std::max(rowHi - rowLo, 0L), 0)
    {
    }

    long Width() const { return m_width; }
    long Height() const { return m_height; }
    bool Full(long y) const
    {
        return y >= m_rowLo && y - m_rowLo < (long)m_full.size() && m_full[y - m_rowLo] != 0;
    }

    // Pixels x0 .. x1 - 1 of row y, both within the canvas.
    void Add(long y, long x0, long x1)
    {
        if (Full(y))
            return;
        if (x0 == 0 && x1 == m_width && _markFull(y))
            return;
        m_runs.push_back({y, x0, x1});
        if (m_runs.size() >= m_mergeAt) {
            _merge();
            m_mergeAt = std::max(kFirstMerge, 2 * m_runs.size());
        }
    }

    // Each row once: the full ones whole, the others run by merged run.
    void Draw(Raster& raster, COLORREF colour)
    {
        _merge();
        for (size_t i = 0; i < m_full.size(); i++) {
            if (m_full[i] != 0)
                raster.Span((int)(m_rowLo + (long)i), 0, (int)m_width, colour);
        }
        for (const Run& r : m_runs)
            raster.Span((int)r.y, (int)r.x0, (int)r.x1, colour);
    }

private:
    static constexpr size_t kFirstMerge = 4096;

    struct Run {
        long y, x0, x1;
    };

    // Orders the runs by row and start and joins those that overlap or
    // touch; rows that have filled meanwhile lose theirs. The rows are
    // counted out rather than compared, so a merge costs little more than
    // a pass over the runs.
    void _merge()
    {
        _orderByRow();
        size_t kept = 0;
        for (size_t i = 0; i < m_runs.size();) {
            size_t end = i + 1;
            while (end < m_runs.size() && m_runs[end].y == m_runs[i].y)
                end++;
            std::sort(m_runs.begin() + i, m_runs.begin() + end,
                      [](const Run& a, const Run& b) { return a.x0 < b.x0; });
            while (i < end) {
                Run r = m_runs[i];
                for (i++; i < end && m_runs[i].x0 <= r.x1; i++)
                    r.x1 = std::max(r.x1, m_runs[i].x1);
                if (Full(r.y))
                    continue;
                if (r.x0 != 0 || r.x1 != m_width || !_markFull(r.y))
                    m_runs[kept++] = r;
            }
        }
        m_runs.resize(kept);
    }

    // A counting sort of the runs by row, keeping their order within a row.
    void _orderByRow()
    {
        if (m_runs.empty())
            return;
        long lo = m_runs[0].y, hi = m_runs[0].y;
        for (const Run& r : m_runs) {
            lo = std::min(lo, r.y);
            hi = std::max(hi, r.y);
        }
        std::vector<size_t> next((size_t)(hi - lo) + 2, 0);  // where each row's runs go
        for (const Run& r : m_runs)
            next[(size_t)(r.y - lo) + 1]++;
        for (size_t k = 1; k < next.size(); k++)
            next[k] += next[k - 1];
        m_scratch.resize(m_runs.size());
        for (const Run& r : m_runs)
            m_scratch[next[(size_t)(r.y - lo)]++] = r;
        m_runs.swap(m_scratch);
    }

    // Marks row y full, or false for a row outside those marked.
    bool _markFull(long y)
    {
        if (y < m_rowLo || y - m_rowLo >= (long)m_full.size())
            return false;
        m_full[y - m_rowLo] = 1;
        return true;
    }

    long m_width, m_height;
    long m_rowLo;
    std::vector<char> m_full;  // rows from m_rowLo
    std::vector<Run> m_runs;
    std::vector<Run> m_scratch;  // the merge's second buffer
    size_t m_mergeAt = kFirstMerge;
};

// The runs of one convex piece (three or four corners), as the winding fill
// would count it: skipped whole when it lies beside the canvas, clamped, its
// crossings on each row from the fill's formula. False when on some row the
// piece does not give one run entered downwards on its left.
bool AddPiece(const PointD* corners, size_t n, RowRuns& runs)
{
    if (scan::Beside(corners, n, runs.Width(), runs.Height()))
        return true;
    scan::Edge edges[4];
    size_t m = 0;
    double top = kFar, bottom = -kFar;
    for (size_t k = 0; k < n; k++) {
        const PointD a = corners[k], b = corners[(k + 1) % n];
        if (!Finite(a) || !Finite(b) || !scan::MakeEdge(a, b, (double)runs.Height(), edges[m]))
            continue;
        top = std::min(top, edges[m].y0);
        bottom = std::max(bottom, edges[m].y1);
        m++;
    }
    if (m == 0)
        return true;
    const long firstRow = PixelAtOrRight(top, runs.Height());
    const long endRow = PixelAtOrRight(bottom, runs.Height());
    for (long y = firstRow; y < endRow; y++) {
        const double sy = y + 0.5;
        double x[2];
        int dir[2];
        size_t count = 0;
        for (size_t k = 0; k < m; k++) {
            if (!scan::Crosses(edges[k], sy))
                continue;
            if (count == 2)
                return false;
            x[count] = scan::CrossingX(edges[k], sy);
            dir[count] = edges[k].dir;
            count++;
        }
        if (count == 0)
            continue;
        if (count != 2 || dir[0] + dir[1] != 0)
            return false;
        const size_t left = x[0] <= x[1] ? 0 : 1;
        const long from = PixelAtOrRight(x[left], runs.Width());
        const long to = PixelAtOrRight(x[1 - left], runs.Width());
        if (from == to)
            continue;  // no pixel centre between the crossings, either way round
        if (dir[left] != 1)
            return false;
        runs.Add(y, from, to);
    }
    return true;
}

// Whether both points lie beyond one side of the canvas by more than
// `reach`. A segment's pieces keep within PieceReach half pens of its ends,
// so with `reach` a pixel more than that none of them comes near the canvas.
bool BeyondOneSide(PointD a, PointD b, double reach, double width, double height)
{
    return (a.x < -reach && b.x < -reach) || (a.x > width + reach && b.x > width + reach) ||
           (a.y < -reach && b.y < -reach) || (a.y > height + reach && b.y > height + reach);
}

// A disc row by row, as Raster::_disc draws it. A disc well beside the
// canvas reaches none of its pixels; a full row needs no chord.
void AddDisc(double cx, double cy, double r, RowRuns& runs)
{
    if (cx + r < -1 || cx - r > runs.Width() + 1)
        return;
    const long firstRow = PixelAtOrRight(cy - r, runs.Height());
    const long endRow = PixelAtOrRight(cy + r, runs.Height());
    for (long y = firstRow; y < endRow; y++) {
        if (runs.Full(y))
            continue;
        long x0 = 0, x1 = 0;
        scan::DiscChord(cx, cy, r, y, runs.Width(), x0, x1);
        if (x0 < x1)
            runs.Add(y, x0, x1);
    }
}

}  // namespace

void Raster::WideLine(const Figure& points, bool closed, double width, COLORREF colour)
{
    // Each segment's pieces are visited on every row they reach: a line of
    // more work than the allowance has left is not drawn (a curve of a few
    // bytes may have thousands of points).
    uint64_t work = points.size() * kPieceWork;
    for (size_t i = 0; i + 1 < points.size(); i++) {
        const double rows = std::fabs(points[i + 1].y - points[i].y) + width + 1;
        // No more rows than the canvas has (nor for a point not finite).
        const double reached = rows < Height() + 1.0 ? rows : Height() + 1.0;
        work += (uint64_t)reached * kPieceRowWork;
    }
    if (!Afford(work))
        return;
    if (!WideLineByRuns(points, closed, width, colour))
        WideLineByFill(points, closed, width, colour);
}

bool Raster::WideLineByRuns(const Figure& points, bool closed, double width, COLORREF colour)
{
    Figure centres;
    if (points.empty() || !std::isfinite(width) || !scan::WideCentres(points, centres))
        return true;
    const double half = std::min(width, kFar) / 2;
    // The rows the line can reach: its pieces keep within half the pen of
    // the points.
    double top = kFar, bottom = -kFar;
    for (const PointD& c : centres) {
        top = std::min(top, c.y);
        bottom = std::max(bottom, c.y);
    }
    const double reach = std::fabs(half) * scan::PieceReach(m_shape) + 1;
    RowRuns runs(Width(), Height(), PixelAtOrRight(top - reach, Height()),
                 PixelAtOrRight(bottom + reach, Height()));
    // The pieces as WideLineByFill makes them, but for those of segments
    // far beside the canvas: the fill would pass them over, and the disc
    // each leaves at its end draws nothing there.
    std::vector<bool> joined;
    const bool drawn = scan::WidePieces(
        centres, closed, half, m_shape, joined,
        [&](PointD a, PointD b) { return BeyondOneSide(a, b, reach, Width(), Height()); },
        [&](const PointD* p, size_t count) { return AddPiece(p, count, runs); });
    if (!drawn)
        return false;
    for (size_t i = 0; i < centres.size(); i++) {
        if (!joined[i])
            AddDisc(centres[i].x, centres[i].y, half, runs);
    }
    runs.Draw(*this, colour);
    return true;
}

}  // namespace win32metafile
