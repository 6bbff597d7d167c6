// The metafile player's rasteriser: polygons filled by scan lines (both fill
// modes), one-pixel lines, wide lines as polygons, all through a set of clip
// rectangles onto a canvas.
//
// Coordinates are device pixels as doubles: pixel (i, j) covers [i, i + 1) x
// [j, j + 1). A filled polygon takes the pixels whose centres lie inside it,
// so a polygon with corners on whole numbers fills the pixels from its left
// and top edges up to, not including, its right and bottom ones. A
// one-pixel line runs through the pixels its end points lie in.
#pragma once

#include "metafile_clip.h"
#include "metafile_internal.h"
#include "metafile_paint.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace win32metafile {

struct PointD {
    double x;
    double y;
};
using Figure = std::vector<PointD>;

// Flattening: points along curves, at most kMaxCurvePoints a curve, so a huge
// radius costs no more than a fine one.
constexpr int kMaxCurvePoints = 1024;

// The points of an elliptic arc of the ellipse centred at (cx, cy) with radii
// rx, ry, from angle `start` sweeping `sweep` radians (positive turns from the
// x axis towards negative y: counter-clockwise on the screen). Both ends are
// included.
void ArcPoints(double cx, double cy, double rx, double ry, double start, double sweep, Figure& out);
// The points of a cubic Bezier curve from p0 to p3, p0 left out.
void BezierPoints(PointD p0, PointD p1, PointD p2, PointD p3, Figure& out);

// Work charged beyond the pixels written, so that a unit costs about the
// same whatever is drawn: a pixel of a one-pixel line (found one at a time)
// and a point of its outline, a point of a wide line and a row one of its
// segments reaches, a point of a filled figure, and a pixel a blit samples
// from its source.
constexpr uint64_t kLinePixelWork = 4;
constexpr uint64_t kLinePointWork = 16;
constexpr uint64_t kPieceWork = 16;
constexpr uint64_t kPieceRowWork = 8;
constexpr uint64_t kFigurePointWork = 16;
constexpr uint64_t kBlitPixelWork = 4;

// How a wide line ends and turns, numbered as a pen style's end cap and
// join fields: round, square or flat ends; round, bevelled or mitred joins,
// a miter longer than `miterLimit` times the width bevelled instead.
constexpr int kCapRound = 0;
constexpr int kCapSquare = 1;
constexpr int kCapFlat = 2;
constexpr int kJoinRound = 0;
constexpr int kJoinBevel = 1;
constexpr int kJoinMiter = 2;
constexpr double kDefaultMiterLimit = 10;

struct LineShape {
    int cap = kCapRound;
    int join = kJoinRound;
    double miterLimit = kDefaultMiterLimit;
};

class Raster {
public:
    explicit Raster(Canvas& canvas);

    // The clip: null lifts it; otherwise only pixels inside the region (or
    // one of the rectangles) are drawn.
    void SetClip(std::shared_ptr<const ClipRegion> region);
    void SetClip(const std::vector<RECT>* rects);

    // The work allowance, in units of a pixel written or a row or span
    // visited: once spent, nothing more is drawn. Unlimited until set.
    void SetAllowance(uint64_t units) { m_allowance = units; }
    // Counts work done outside the raster (a clip operation, say); the count
    // stops at its largest value rather than wrap.
    void Charge(uint64_t units)
    {
        m_work = units > UINT64_MAX - m_work ? UINT64_MAX : m_work + units;
    }
    // Charges work about to be done at once, when what is left of the
    // allowance covers it; otherwise spends the rest and answers false, and
    // the work is not to be done.
    bool Afford(uint64_t units)
    {
        if (Covers(units)) {
            m_work += units;
            return true;
        }
        if (m_work <= m_allowance)
            m_work = m_allowance + 1;
        return false;
    }
    // Whether what is left of the allowance covers so much work.
    bool Covers(uint64_t units) const
    {
        return m_work <= m_allowance && units <= m_allowance - m_work;
    }
    uint64_t Work() const { return m_work; }
    bool Spent() const { return m_work > m_allowance; }

    // Fills the figures as one polygon set: winding (non-zero) or alternate
    // (even-odd) fill. Each figure is closed.
    void Fill(const std::vector<Figure>& figures, bool winding, COLORREF colour);
    // A one-pixel polyline through the pixels of the points; `closed` joins
    // the last point to the first, `lastPixel` draws the end point of an open
    // one (lines leave it out otherwise).
    void ThinLine(const Figure& points, bool closed, bool lastPixel, COLORREF colour);
    // A line `width` pixels wide centred on the points (pixel centres are at
    // +0.5), with the ends and joins of SetLineShape: the union of a
    // quadrilateral along each segment, a wedge at each gentle bend and a
    // disc at each round end and sharper round corner, a wedge or a miter at
    // each other corner and a square past each square end. Drawn by WideLineByRuns, or by WideLineByFill when
    // that declines.
    void WideLine(const Figure& points, bool closed, double width, COLORREF colour);
    // The same line with the segments' pieces filled as one winding fill and
    // each disc drawn on its own: plain, and the pixels the runs must match.
    void WideLineByFill(const Figure& points, bool closed, double width, COLORREF colour);
    // The same line as runs of pixels, each row written once. Each piece is
    // convex, so it covers one run of a row; false, with nothing drawn, when
    // a degenerate piece cuts a row otherwise (then only the fill's own
    // counting gives the same pixels).
    bool WideLineByRuns(const Figure& points, bool closed, double width, COLORREF colour);
    // The style of one-pixel lines: runs of pixels on and off, from an on
    // run; the off ones in `gap` (kNoPixel: left alone). No runs: solid.
    void SetStyle(std::vector<long> runs, COLORREF gap);
    // The ends and joins of wide lines (round ones until set).
    void SetLineShape(const LineShape& shape) { m_shape = shape; }
    // One pixel.
    void Pixel(int x, int y, COLORREF colour);
    // Pixels x0 .. x1 - 1 of row y through the clip, the operation and the
    // pattern.
    void Span(int y, int x0, int x1, COLORREF colour);
    // The same in the colour as it is, whatever the operation.
    void Put(int y, int x0, int x1, COLORREF colour);
    // What the drawing calls above do with their colour: the ternary code
    // (the pattern being the colour, or the pattern given) and the pattern;
    // kRopPattern and none draw the colour as it is.
    void SetPaint(BYTE rop, std::shared_ptr<const Pattern> pattern);
    // The canvas pixel, for operations that read the destination.
    COLORREF Get(int x, int y) const { return m_canvas.Get(x, y); }

    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    void _disc(double cx, double cy, double r, COLORREF colour);
    void _segment(long x0, long y0, long x1, long y1, bool last, COLORREF colour);
    void _styledPixel(int x, int y, uint64_t step, COLORREF colour);
    void _clipped(int y, int x0, int x1, COLORREF colour, bool paint);
    void _paintRun(int y, int a, int b, COLORREF colour);

    Canvas& m_canvas;
    int m_width, m_height;  // the canvas's, asked once: a canvas keeps its size
    std::shared_ptr<const ClipRegion> m_clip;  // null: not clipped
    size_t m_band = 0;                         // the clip band found last
    uint64_t m_work = 0;
    uint64_t m_allowance = UINT64_MAX;
    std::vector<long> m_styleRuns;
    uint64_t m_styleLength = 0;  // 0: solid
    uint64_t m_stylePos = 0;     // the style step the next segment starts at
    COLORREF m_styleGap = kNoPixel;
    LineShape m_shape;
    BYTE m_rop = kRopPattern;
    std::shared_ptr<const Pattern> m_pattern;
};

}  // namespace win32metafile
