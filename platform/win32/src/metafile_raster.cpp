// The metafile player's rasteriser: scan-line polygon fill, one-pixel lines
// and wide lines, through the player's clip rectangles onto a canvas.
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

// Flattened curves keep within this many pixels of the true curve.
constexpr double kCurveTolerance = 0.05;

// Where a row crosses an edge, and what the crossing adds to the count:
// the edge's direction for the winding fill, one for the alternate fill.
struct Crossing {
    double x;
    int weight;
};

// Room for `extra` more points, growing as push_back would, so a figure made
// of many curves is not copied once a curve.
void Grow(Figure& out, size_t extra)
{
    if (out.capacity() - out.size() < extra)
        out.reserve(std::max(out.capacity() * 2, out.size() + extra));
}

}  // namespace

void ArcPoints(double cx, double cy, double rx, double ry, double start, double sweep, Figure& out)
{
    const double r = std::max(std::fabs(rx), std::fabs(ry));
    int n = 1;
    if (r > kCurveTolerance) {
        const double step = 2.0 * std::acos(std::max(-1.0, 1.0 - kCurveTolerance / r));
        const double want = std::ceil(std::fabs(sweep) / std::max(step, 1e-6));
        n = (int)Clamp(want, 1, kMaxCurvePoints - 1);
    }
    Grow(out, (size_t)n + 1);
    for (int i = 0; i <= n; i++) {
        const double a = start + sweep * i / n;
        out.push_back({cx + rx * std::cos(a), cy - ry * std::sin(a)});
    }
}

void BezierPoints(PointD p0, PointD p1, PointD p2, PointD p3, Figure& out)
{
    const double len = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                       std::hypot(p3.x - p2.x, p3.y - p2.y);
    const int n = (int)Clamp(std::ceil(std::sqrt(std::isfinite(len) ? len : 0) * 2), 1,
                             kMaxCurvePoints - 1);
    Grow(out, (size_t)n);
    for (int i = 1; i <= n; i++) {
        const double t = (double)i / n, u = 1 - t;
        const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        out.push_back({a * p0.x + b * p1.x + c * p2.x + d * p3.x,
                       a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
}

void BufferCanvas::Span(int y, int x0, int x1, COLORREF colour)
{
    if (y < 0 || y >= m_height)
        return;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, m_width);
    const uint32_t px = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    uint32_t* row = m_pixels + (size_t)y * m_stride;
    for (int x = x0; x < x1; x++)
        row[x] = px;
}

COLORREF BufferCanvas::Get(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    const uint32_t px = m_pixels[(size_t)y * m_stride + x];
    return ((px & 0xFF) << 16) | (px & 0xFF00) | ((px >> 16) & 0xFF);
}

Raster::Raster(Canvas& canvas)
    : m_canvas(canvas), m_width(canvas.Width()), m_height(canvas.Height())
{
}

void Raster::SetClip(std::shared_ptr<const ClipRegion> region)
{
    m_clip = std::move(region);
    m_band = 0;
}

void Raster::SetClip(const std::vector<RECT>* rects)
{
    SetClip(rects != nullptr ? ClipRegion::FromRects(*rects) : nullptr);
}

void Raster::Span(int y, int x0, int x1, COLORREF colour)
{
    _clipped(y, x0, x1, colour, m_rop != kRopPattern || m_pattern != nullptr);
}

void Raster::Put(int y, int x0, int x1, COLORREF colour)
{
    _clipped(y, x0, x1, colour, false);
}

void Raster::_clipped(int y, int x0, int x1, COLORREF colour, bool paint)
{
    Charge(1);
    if (y < 0 || y >= Height() || Spent())
        return;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, Width());
    if (x0 >= x1)
        return;
    if (!m_clip) {
        Charge((uint64_t)(x1 - x0));
        if (paint)
            _paintRun(y, x0, x1, colour);
        else
            m_canvas.Span(y, x0, x1, colour);
        return;
    }
    const ClipRegion::Band* band = m_clip->BandAt(y, m_band);
    if (band == nullptr)
        return;
    // The first span of the band ending right of x0, then on while they start
    // left of x1.
    const ClipRegion::Span* spans = m_clip->Spans(*band);
    const ClipRegion::Span* end = spans + band->count;
    const ClipRegion::Span* s = std::upper_bound(
        spans, end, (long)x0, [](long v, const ClipRegion::Span& sp) { return v < sp.right; });
    for (; s != end && s->left < x1; s++) {
        const int a = (int)std::max<long>(x0, s->left), b = (int)std::min<long>(x1, s->right);
        Charge((uint64_t)(b - a) + 1);
        if (paint)
            _paintRun(y, a, b, colour);
        else
            m_canvas.Span(y, a, b, colour);
    }
}

void Raster::Pixel(int x, int y, COLORREF colour)
{
    Span(y, x, x + 1, colour);
}

void Raster::Fill(const std::vector<Figure>& figures, bool winding, COLORREF colour)
{
    // An edge wholly left of the canvas only adds to the count of every pixel
    // of the rows it crosses, and one wholly right of it only ends the last
    // run of those rows: a crossing of either lands more than half a pixel
    // beside the canvas however it rounds, so no pixel lies between two such
    // crossings. Both kinds are summed row by row and stand on each row as one
    // crossing before its first pixel and one past its last, instead of being
    // crossed and sorted one by one. (The sums are made at the first such
    // edge: a shape inside the canvas needs none.)
    std::vector<int> leftDiff, rightDiff;  // per row, as the change from the row above
    std::vector<scan::Edge> edges;
    double top = kFar, bottom = -kFar;
    bool any = false;
    for (const Figure& f : figures) {
        Charge(f.size() * kFigurePointWork);
        if (scan::Beside(f.data(), f.size(), Width(), Height()))
            continue;
        for (size_t i = 0; i < f.size(); i++) {
            const PointD a = f[i], b = f[(i + 1) % f.size()];
            scan::Edge e;
            if (!Finite(a) || !Finite(b) || !scan::MakeEdge(a, b, Height(), e))
                continue;
            any = true;
            top = std::min(top, e.y0);
            bottom = std::max(bottom, e.y1);
            const bool isLeft = std::max(e.x0, e.x1) < -1;
            if (!isLeft && std::min(e.x0, e.x1) <= Width() + 1) {
                edges.push_back(e);
                continue;
            }
            // The rows whose centres the edge crosses.
            const long first = PixelAtOrRight(e.y0, Height());
            const long end = PixelAtOrRight(e.y1, Height());
            if (leftDiff.empty()) {
                leftDiff.assign((size_t)Height() + 1, 0);
                rightDiff.assign((size_t)Height() + 1, 0);
            }
            if (isLeft) {
                leftDiff[first] += winding ? e.dir : 1;
                leftDiff[end] -= winding ? e.dir : 1;
            } else {
                rightDiff[first]++;
                rightDiff[end]--;
            }
        }
    }
    if (!any)
        return;
    std::sort(edges.begin(), edges.end(),
              [](const scan::Edge& a, const scan::Edge& b) { return a.y0 < b.y0; });

    // Rows whose centres lie within [top, bottom), cut to the canvas.
    const long firstRow = PixelAtOrRight(top, Height());
    const long endRow = PixelAtOrRight(bottom, Height());
    const bool sides = !leftDiff.empty();
    int left = 0, right = 0;  // the sums on the row
    for (long y = 0; sides && y < firstRow; y++) {
        left += leftDiff[y];
        right += rightDiff[y];
    }
    std::vector<const scan::Edge*> active;
    std::vector<Crossing> crossings;
    size_t next = 0;
    for (long y = firstRow; y < endRow && !Spent(); y++) {
        const double sy = y + 0.5;
        while (next < edges.size() && edges[next].y0 <= sy)
            active.push_back(&edges[next++]);
        active.erase(std::remove_if(active.begin(), active.end(),
                                    [sy](const scan::Edge* e) { return e->y1 <= sy; }),
                     active.end());
        if (sides) {
            left += leftDiff[y];
            right += rightDiff[y];
        }
        Charge(active.size() + 1);
        crossings.clear();
        crossings.push_back({-HUGE_VAL, left});
        for (const scan::Edge* e : active) {
            if (scan::Crosses(*e, sy))
                crossings.push_back({scan::CrossingX(*e, sy), winding ? e->dir : 1});
        }
        std::sort(crossings.begin() + 1, crossings.end(),
                  [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
        if (right > 0)
            crossings.push_back({HUGE_VAL, 1});
        int count = 0;
        for (size_t i = 0; i + 1 < crossings.size(); i++) {
            count += crossings[i].weight;
            const bool inside = winding ? count != 0 : (count & 1) != 0;
            if (!inside)
                continue;
            const long x0 = PixelAtOrRight(crossings[i].x, Width());
            const long x1 = PixelAtOrRight(crossings[i + 1].x, Width());
            if (x0 < x1)
                Span((int)y, (int)x0, (int)x1, colour);
        }
    }
}

// A disc row by row: each row's centre cuts a chord whose pixels it fills.
void Raster::_disc(double cx, double cy, double r, COLORREF colour)
{
    const long firstRow = PixelAtOrRight(cy - r, Height());
    const long endRow = PixelAtOrRight(cy + r, Height());
    for (long y = firstRow; y < endRow; y++) {
        long x0 = 0, x1 = 0;
        scan::DiscChord(cx, cy, r, y, Width(), x0, x1);
        if (x0 < x1)
            Span((int)y, (int)x0, (int)x1, colour);
    }
}

void Raster::_segment(long x0, long y0, long x1, long y1, bool last, COLORREF colour)
{
    // A styled line steps its style once a pixel along the major axis, cut
    // away or not, and the next segment goes on from where this one ends.
    const uint64_t styleStart = m_stylePos;
    m_stylePos += (uint64_t)std::max(std::labs(x1 - x0), std::labs(y1 - y0));
    const long ox = x0, oy = y0;
    // Cut the segment to just outside the canvas first, so a line to a point
    // far away costs no more than one across the picture.
    double t0 = 0, t1 = 1;
    const double dx = (double)x1 - x0, dy = (double)y1 - y0;
    const double lo[2] = {-1, -1}, hi[2] = {(double)Width(), (double)Height()};
    const double p0[2] = {(double)x0, (double)y0}, d[2] = {dx, dy};
    for (int k = 0; k < 2; k++) {
        if (d[k] == 0) {
            if (p0[k] < lo[k] || p0[k] > hi[k])
                return;
            continue;
        }
        double a = (lo[k] - p0[k]) / d[k], b = (hi[k] - p0[k]) / d[k];
        if (a > b)
            std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
        if (t0 > t1)
            return;
    }
    if (t1 < 1) {
        last = true;  // the real end lies outside: draw up to the cut
        x1 = std::lround(x0 + dx * t1);
        y1 = std::lround(y0 + dy * t1);
    }
    if (t0 > 0) {
        const long nx = std::lround(x0 + dx * t0), ny = std::lround(y0 + dy * t0);
        x0 = nx;
        y0 = ny;
    }
    uint64_t style = styleStart + (uint64_t)std::max(std::labs(x0 - ox), std::labs(y0 - oy));
    // Bresenham's line, major axis by major axis.
    const long ax = std::labs(x1 - x0), ay = std::labs(y1 - y0);
    const long sx = x1 > x0 ? 1 : -1, sy = y1 > y0 ? 1 : -1;
    long x = x0, y = y0;
    long err = (ax > ay ? ax : -ay) / 2;
    for (;;) {
        const bool end = x == x1 && y == y1;
        if (end && !last)
            break;
        Charge(kLinePixelWork);
        _styledPixel((int)x, (int)y, style++, colour);
        if (end)
            break;
        const long e2 = err;
        if (e2 > -ax) {
            err -= ay;
            x += sx;
        }
        if (e2 < ay) {
            err += ax;
            y += sy;
        }
    }
}

void Raster::ThinLine(const Figure& points, bool closed, bool lastPixel, COLORREF colour)
{
    if (!Afford(points.size() * kLinePointWork))
        return;
    std::vector<POINT> px;
    for (const PointD& p : points) {
        if (!Finite(p))
            return;
        px.push_back({(LONG)std::floor(Clamp(p.x, -kFar, kFar) + 1e-9),
                      (LONG)std::floor(Clamp(p.y, -kFar, kFar) + 1e-9)});
    }
    if (px.empty())
        return;
    m_stylePos = 0;
    if (px.size() == 1) {
        if (lastPixel || closed)
            _styledPixel(px[0].x, px[0].y, 0, colour);
        return;
    }
    // Each segment stays on the canvas, and once the allowance is spent no
    // further one is walked.
    for (size_t i = 0; i + 1 < px.size() && !Spent(); i++)
        _segment(px[i].x, px[i].y, px[i + 1].x, px[i + 1].y, false, colour);
    if (closed)
        _segment(px.back().x, px.back().y, px[0].x, px[0].y, false, colour);
    else if (lastPixel)
        _styledPixel(px.back().x, px.back().y, m_stylePos, colour);
}

void Raster::SetStyle(std::vector<long> runs, COLORREF gap)
{
    m_styleRuns = std::move(runs);
    m_styleLength = 0;
    for (long r : m_styleRuns)
        m_styleLength += (uint64_t)std::max(r, 0L);
    m_styleGap = gap;
}

// A pixel of a one-pixel line at `step` along its style: a dash in the
// colour, a gap in the gap colour or not at all.
void Raster::_styledPixel(int x, int y, uint64_t step, COLORREF colour)
{
    if (m_styleLength == 0) {
        Pixel(x, y, colour);
        return;
    }
    uint64_t at = step % m_styleLength;
    size_t i = 0;
    while (at >= (uint64_t)std::max(m_styleRuns[i], 0L)) {
        at -= (uint64_t)std::max(m_styleRuns[i], 0L);
        i++;
    }
    if (i % 2 == 0)
        Pixel(x, y, colour);
    else if (m_styleGap != kNoPixel)
        Pixel(x, y, m_styleGap);
}

void Raster::WideLineByFill(const Figure& points, bool closed, double width, COLORREF colour)
{
    Figure centres;
    if (points.empty() || !std::isfinite(width) || !scan::WideCentres(points, centres))
        return;
    const double half = std::min(width, kFar) / 2;
    std::vector<Figure> pieces;
    std::vector<bool> joined;
    scan::WidePieces(
        centres, closed, half, m_shape, joined, [](PointD, PointD) { return false; },
        [&](const PointD* p, size_t count) {
            pieces.emplace_back(p, p + count);
            return true;
        });
    Fill(pieces, true, colour);
    // Round ends and the remaining joins.
    for (size_t i = 0; i < centres.size(); i++) {
        if (!joined[i])
            _disc(centres[i].x, centres[i].y, half, colour);
    }
}

}  // namespace win32metafile
