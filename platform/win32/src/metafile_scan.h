// What the metafile rasteriser's scan-line code shares: the clamp on far
// coordinates, the rule that picks a pixel by its centre, and the one
// formula for where an edge crosses a row. The winding fill and the wide
// lines' runs both use these, so the two agree to the last bit.
#pragma once

#include "metafile_raster.h"

#include <algorithm>
#include <cmath>

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

}  // namespace scan
}  // namespace win32metafile
