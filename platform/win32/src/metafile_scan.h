// What the metafile rasteriser's scan-line code shares: the clamp on far
// coordinates, the rule that picks a pixel by its centre, and the one
// formula for where an edge crosses a row. The winding fill and the wide
// lines' runs both use these, so the two agree to the last bit.
#pragma once

#include "metafile_raster.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace win32metafile {
namespace scan {

// Coordinates further out than this are as good as infinitely far for a
// picture; clamping them keeps every later sum finite and exact enough.
constexpr double kFar = 1e7;

inline double Clamp(double v, double lo, double hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

inline bool Finite(PointD p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// A polygon edge that crosses rows, its ends ordered downwards.
struct Edge {
    double x0, y0, x1, y1;  // y0 < y1
    int dir;                // +1 downwards as given, -1 upwards
};

// The edge from a to b (finite points, clamped here) for the scan, or false for an edge
// that crosses no row of a canvas `height` rows high: level, or wholly above
// or below it.
inline bool MakeEdge(PointD a, PointD b, double height, Edge& e)
{
    a = {Clamp(a.x, -kFar, kFar), Clamp(a.y, -kFar, kFar)};
    b = {Clamp(b.x, -kFar, kFar), Clamp(b.y, -kFar, kFar)};
    if (a.y == b.y || std::max(a.y, b.y) < 0 || std::min(a.y, b.y) > height)
        return false;
    if (a.y < b.y)
        e = {a.x, a.y, b.x, b.y, 1};
    else
        e = {b.x, b.y, a.x, a.y, -1};
    return true;
}

// Whether the edge crosses the row whose centre line is sy: its top end on
// or above the line, its bottom end below it.
inline bool Crosses(const Edge& e, double sy)
{
    return e.y0 <= sy && e.y1 > sy;
}

// Where the edge crosses the line y = sy.
inline double CrossingX(const Edge& e, double sy)
{
    return e.x0 + (sy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
}

// Twice the signed area of the polygon of n points (negative for the turn
// of the wide lines' quadrilaterals).
inline double Area(const PointD* f, size_t n)
{
    double sum = 0;
    for (size_t i = 0; i < n; i++) {
        const PointD& p = f[i];
        const PointD& q = f[(i + 1) % n];
        sum += p.x * q.y - q.x * p.y;
    }
    return sum;
}

// The first pixel whose centre lies at or right of x, as a clamped integer.
inline long PixelAtOrRight(double x, long limit)
{
    const double v = std::ceil(x - 0.5);
    if (v < 0)
        return 0;
    if (v > (double)limit)
        return limit;
    return (long)v;
}

// Whether the n points lie wholly beside a canvas width x height: a shape
// of them changes no count inside it, whatever it adds on a row it takes
// away again.
inline bool Beside(const PointD* p, size_t n, double width, double height)
{
    double x0 = kFar, x1 = -kFar, y0 = kFar, y1 = -kFar;
    for (size_t k = 0; k < n; k++) {
        x0 = std::min(x0, p[k].x);
        x1 = std::max(x1, p[k].x);
        y0 = std::min(y0, p[k].y);
        y1 = std::max(y1, p[k].y);
    }
    return x1 < 0 || x0 > width || y1 < 0 || y0 > height;
}

// The pixels of row y that a disc of radius r about (cx, cy) covers on a
// canvas `width` wide: [x0, x1), empty when x0 >= x1. Its rows are those
// from PixelAtOrRight(cy - r) up to PixelAtOrRight(cy + r).
inline void DiscChord(double cx, double cy, double r, long y, long width, long& x0, long& x1)
{
    const double dy = y + 0.5 - cy;
    const double half = std::sqrt(std::max(0.0, r * r - dy * dy));
    x0 = PixelAtOrRight(cx - half, width);
    x1 = PixelAtOrRight(cx + half, width);
}

// The points of a wide line as the pen's centre passes them: false when
// one is not finite (the line draws nothing). Far points are clamped.
inline bool WideCentres(const Figure& points, Figure& centres)
{
    centres.clear();
    centres.reserve(points.size());
    for (const PointD& p : points) {
        if (!Finite(p))
            return false;
        centres.push_back({Clamp(p.x, -kFar, kFar) + 0.5, Clamp(p.y, -kFar, kFar) + 0.5});
    }
    return true;
}

// The pieces of a wide line through `centres` under a pen reaching `half`
// to either side, in order: each segment's quadrilateral, all turning the
// same way so that one winding fill draws their union; and where the next
// segment turns so little that a straight cut across the bend stays within
// a tenth of a pixel of a round join (as flattened curves turn), the wedges
// between the quadrilaterals on either side, turned the way they turn.
// joined marks the points such wedges close (the others get a round join or
// end). skip(a, b) passes a segment over; piece(points, count) takes each
// piece and returns false to stop, and then so does this.
template <class Skip, class Piece>
bool WidePieces(const Figure& centres, bool closed, double half, std::vector<bool>& joined,
                Skip skip, Piece piece)
{
    const size_t n = centres.size();
    const size_t segments = closed ? n : n - 1;
    joined.assign(n, false);
    for (size_t i = 0; i < segments; i++) {
        const PointD a = centres[i], b = centres[(i + 1) % n];
        if (skip(a, b))
            continue;
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        if (len < 1e-9)
            continue;
        const double nx = -(b.y - a.y) / len * half, ny = (b.x - a.x) / len * half;
        const PointD quad[4] = {
            {a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}};
        if (!piece(quad, size_t(4)))
            return false;
        const size_t j = (i + 1) % n;
        if (!closed && j == n - 1)
            continue;
        const PointD c = centres[(i + 2) % n];
        const double next = std::hypot(c.x - b.x, c.y - b.y);
        if (next < 1e-9)
            continue;
        const double cosTurn = ((b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y)) / (len * next);
        const double gap = half * (1 - std::sqrt(std::max(0.0, (1 + cosTurn) / 2)));
        if (gap >= 0.1)
            continue;
        const double mx = -(c.y - b.y) / next * half, my = (c.x - b.x) / next * half;
        for (int side : {1, -1}) {
            PointD wedge[3] = {b, {b.x + side * nx, b.y + side * ny}, {b.x + side * mx, b.y + side * my}};
            if (Area(wedge, 3) > 0)
                std::swap(wedge[1], wedge[2]);
            if (!piece(wedge, size_t(3)))
                return false;
        }
        joined[j] = true;
    }
    return true;
}

}  // namespace scan
}  // namespace win32metafile
