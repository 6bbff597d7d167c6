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

// How far a wide line's pieces reach from its points, in half pens: a
// square end's corners lie a half pen along and a half pen across, a
// miter's tip up to the limit's worth of half pens out.
inline double PieceReach(const LineShape& shape)
{
    const double square = shape.cap == kCapSquare ? std::sqrt(2.0) : 1.0;
    const double miter = shape.join == kJoinMiter ? shape.miterLimit : 1.0;
    return std::max(square, std::isfinite(miter) ? miter : 1.0);
}

// Hands a convex piece to `piece` turned as the quadrilaterals turn, the
// one way a winding fill of their union needs; a piece of no area is left
// out.
template <class Piece>
bool TurnedPiece(PointD* p, size_t count, Piece& piece)
{
    const double area = Area(p, count);
    if (!(std::fabs(area) > 1e-12))
        return true;
    if (area > 0)
        std::reverse(p + 1, p + count);
    return piece(static_cast<const PointD*>(p), count);
}

// The corner at b between a segment along d and the next along e (unit
// directions) under a bevelled or mitred join: the wedge that fills the
// outside of the bend, or the miter to where the outer edges meet when the
// miter (inner to outer corner) is at most the limit times the width.
template <class Piece>
bool SharpJoin(PointD b, PointD d, PointD e, double half, const LineShape& shape, Piece& piece)
{
    const double cross = d.x * e.y - d.y * e.x;
    const double side = cross > 0 ? -1 : 1;  // the outside of the bend
    const PointD n = {-d.y * half * side, d.x * half * side};
    const PointD m = {-e.y * half * side, e.x * half * side};
    const double cosHalf = std::sqrt(std::max(0.0, (1 + d.x * e.x + d.y * e.y) / 2));
    if (shape.join == kJoinMiter && cosHalf > 0 && 1 / cosHalf <= shape.miterLimit) {
        const double k = 1 / (2 * cosHalf * cosHalf);
        PointD miter[4] = {b,
                           {b.x + n.x, b.y + n.y},
                           {b.x + (n.x + m.x) * k, b.y + (n.y + m.y) * k},
                           {b.x + m.x, b.y + m.y}};
        return TurnedPiece(miter, 4, piece);
    }
    PointD wedge[3] = {b, {b.x + n.x, b.y + n.y}, {b.x + m.x, b.y + m.y}};
    return TurnedPiece(wedge, 3, piece);
}

// A square end at p of a line leaving along the unit direction d: the
// half-pen square beyond it.
template <class Piece>
bool SquareEnd(PointD p, PointD d, double half, Piece& piece)
{
    const double nx = -d.y * half, ny = d.x * half;
    const double fx = d.x * half, fy = d.y * half;
    PointD square[4] = {{p.x + nx, p.y + ny},
                        {p.x + nx + fx, p.y + ny + fy},
                        {p.x - nx + fx, p.y - ny + fy},
                        {p.x - nx, p.y - ny}};
    return TurnedPiece(square, 4, piece);
}

// The unit direction from a to b, false when they are one point.
inline bool Direction(PointD a, PointD b, PointD& d)
{
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    if (!(len >= 1e-9))
        return false;
    d = {(b.x - a.x) / len, (b.y - a.y) / len};
    return true;
}

// The pieces of a wide line through `centres` under a pen reaching `half`
// to either side, in order: each segment's quadrilateral, all turning the
// same way so that one winding fill draws their union. Round joins: where
// the next segment turns so little that a straight cut across the bend
// stays within a tenth of a pixel of a round join (as flattened curves
// turn), the wedges between the quadrilaterals on either side, turned the
// way they turn. Bevelled and mitred joins: the wedge or miter outside each
// bend. Square ends: a half-pen square beyond each end of an open line.
// joined marks the points that need no disc (the others get a round join or
// end). skip(a, b) passes a segment over; piece(points, count) takes each
// piece and returns false to stop, and then so does this.
template <class Skip, class Piece>
bool WidePieces(const Figure& centres, bool closed, double half, const LineShape& shape,
                std::vector<bool>& joined, Skip skip, Piece piece)
{
    const size_t n = centres.size();
    const size_t segments = closed ? n : n - 1;
    const bool roundJoins = shape.join != kJoinBevel && shape.join != kJoinMiter;
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
        if (!roundJoins) {
            // The next segment that goes somewhere: repeated points are
            // not corners.
            PointD d = {}, e = {};
            bool found = false;
            for (size_t k = 1; k < n && !found && (closed || j + k < n); k++)
                found = Direction(b, centres[(j + k) % n], e);
            if (found && Direction(a, b, d) && !SharpJoin(b, d, e, half, shape, piece))
                return false;
            continue;
        }
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
    if (!roundJoins) {
        for (size_t i = closed ? 0 : 1; i + (closed ? 0 : 1) < n; i++)
            joined[i] = true;
    }
    if (closed || n == 0 || shape.cap == kCapRound ||
        (shape.cap != kCapSquare && shape.cap != kCapFlat))
        return true;
    // The ends of an open line, along its first and last segments that go
    // somewhere; a line that goes nowhere has no ends to draw.
    joined[0] = joined[n - 1] = true;
    if (shape.cap == kCapFlat)
        return true;
    PointD first = {}, last = {};
    bool found = false;
    for (size_t k = 1; k < n && !found; k++)
        found = Direction(centres[k], centres[0], first);
    for (size_t k = n - 1; k-- > 0 && found;) {
        if (Direction(centres[k], centres[n - 1], last))
            break;
    }
    if (!found)
        return true;
    return SquareEnd(centres[0], first, half, piece) &&
           SquareEnd(centres[n - 1], last, half, piece);
}

}  // namespace scan
}  // namespace win32metafile
