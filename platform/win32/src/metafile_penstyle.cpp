// Styled pens in the metafile player: the runs of pixels on and off that a
// one-pixel line steps through, one a pixel along its major axis.
#include "metafile_player.h"

#include <cmath>

namespace win32metafile {

namespace {

// The display's cosmetic styles: a style unit is three pixels, and the
// dash, dot, dash-dot and dash-dot-dot styles are 6 on 2 off, 1 on 1 off,
// 3 2 1 2, and 3 1 1 1 1 1 units.
constexpr long kStyleUnit = 3;
const std::vector<long> kStyles[] = {
    {6, 2},
    {1, 1},
    {3, 2, 1, 2},
    {3, 1, 1, 1, 1, 1},
};

// The most runs a user style keeps, as the GDI allows.
constexpr size_t kMaxUserRuns = 16;

}  // namespace

std::vector<long> Player::_styleRuns() const
{
    const Pen& pen = m_state.pen;
    std::vector<long> runs;
    if (_geometricStyle()) {
        // A geometric pen drawn one pixel wide: its runs are the pen's own
        // (multiples of a width of one pixel for the predefined styles,
        // logical units for a user style) as long as they come out on the
        // canvas, measured by the length of the logical x unit.
        const double scale = pen.style == kPenUserStyle ? _unitPixels() : 1.0;
        for (double r : _geometricRuns(1.0)) {
            const double v = std::round(r * scale);
            runs.push_back(std::isfinite(v) ? (long)std::max(0.0, std::min(v, 1e6)) : 0);
        }
        return runs;
    }
    if (pen.style >= 1 && pen.style <= 4) {
        for (long r : kStyles[pen.style - 1])
            runs.push_back(r * kStyleUnit);
    } else if (pen.style == 8) {
        runs = {1, 1};  // PS_ALTERNATE: every other pixel
    } else if (pen.style == kPenUserStyle) {
        for (size_t i = 0; i < pen.user.size() && i < kMaxUserRuns; i++)
            runs.push_back(std::max(pen.user[i], 0L));
    }
    // An odd count alternates the other way round on its second pass.
    if (runs.size() % 2 == 1)
        runs.insert(runs.end(), runs.begin(), runs.end());
    return runs;
}

bool Player::_geometricStyle() const
{
    const Pen& pen = m_state.pen;
    const bool styled = (pen.style >= 1 && pen.style <= 4) || pen.style == kPenUserStyle;
    // CreatePen makes a pen wider than one unit geometric; its user style is
    // refused before it gets here.
    return styled && !pen.cosmetic && (pen.geometric || pen.width > 1);
}

double Player::_unitPixels() const
{
    const double k = std::hypot(m_toCanvas.m11, m_toCanvas.m12);
    return std::isfinite(k) ? k : 0;
}

std::vector<double> Player::_geometricRuns(double width) const
{
    const Pen& pen = m_state.pen;
    std::vector<double> runs;
    if (pen.style >= 1 && pen.style <= 4) {
        // Dash 3 on 1 off, dot 1 1, dash-dot 3 1 1 1, dash-dot-dot
        // 3 1 1 1 1 1, each a multiple of the pen's width.
        static const std::vector<int> kGeometric[] = {
            {3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
        for (int r : kGeometric[pen.style - 1])
            runs.push_back(r * width);
    } else if (pen.style == kPenUserStyle) {
        for (size_t i = 0; i < pen.user.size() && i < kMaxUserRuns; i++)
            runs.push_back((double)std::max(pen.user[i], 0L));
    }
    if (runs.size() % 2 == 1)
        runs.insert(runs.end(), runs.begin(), runs.end());
    return runs;
}

namespace {

// Where a pen's style stands along its line: the run it is in and what is
// left of it.
struct StylePhase {
    const std::vector<double>* runs;
    double total;
    size_t run = 0;
    double left = 0;

    bool On() const { return run % 2 == 0; }
    void Next()
    {
        run = (run + 1) % runs->size();
        left = (*runs)[run];
    }
    // Steps d along the line at once: a whole cycle of the (even) runs
    // comes back to the same run.
    void Skip(double d)
    {
        if (d < left) {
            left -= d;
            return;
        }
        d = std::fmod(d - left, total);
        Next();
        while (d >= left) {
            d -= left;
            Next();
        }
        left -= d;
    }
};

// The part [t0, t1] of the segment a-b inside the box; false when none.
bool InsideBox(PointD a, PointD b, double x0, double y0, double x1, double y1, double& t0,
               double& t1)
{
    t0 = 0;
    t1 = 1;
    const double p[2] = {a.x, a.y}, d[2] = {b.x - a.x, b.y - a.y};
    const double lo[2] = {x0, y0}, hi[2] = {x1, y1};
    for (int k = 0; k < 2; k++) {
        if (d[k] == 0) {
            if (p[k] < lo[k] || p[k] > hi[k])
                return false;
            continue;
        }
        double u = (lo[k] - p[k]) / d[k], v = (hi[k] - p[k]) / d[k];
        if (u > v)
            std::swap(u, v);
        t0 = std::max(t0, u);
        t1 = std::min(t1, v);
    }
    return t0 <= t1;
}

}  // namespace

// A wide geometric pen's style: the outline cut into its dashes by length
// along the line, each dash drawn as a wide line of its own with the pen's
// ends. The runs are logical units measured along the line before the
// mapping and the world transform, so a dash keeps its share of the line
// however the transform turns, shears or stretches it: the canvas length of
// each segment is taken back through the inverse transform. The style steps
// over what lies off the canvas at once, so a line far longer than the
// picture costs no more than one across it.
void Player::_dashedWide(const Figure& points, bool closed, double width)
{
    const std::vector<double> runs = _geometricRuns(std::fabs(m_state.pen.width));
    double total = 0;
    for (double r : runs)
        total += r;
    // A cycle shorter than a pixel on the canvas draws as the solid line its
    // dashes would blur into.
    const Affine& back = m_fromCanvas;
    const double pixelsPerUnit = 1 / std::max(std::hypot(back.m11, back.m21), std::hypot(back.m12, back.m22));
    if (!(total * pixelsPerUnit >= 1) || points.size() < 2) {
        m_raster.WideLine(points, closed, width, m_state.pen.colour);
        return;
    }
    Figure path = points;
    if (closed)
        path.push_back(points[0]);
    StylePhase phase{&runs, total};
    phase.left = runs[0];
    const double margin = width + 2;
    const double bx0 = -margin, by0 = -margin;
    const double bx1 = m_raster.Width() + margin, by1 = m_raster.Height() + margin;
    Figure dash = {path[0]};
    auto flush = [&]() {
        if (phase.On() && dash.size() > 1)
            m_raster.WideLine(dash, false, width, m_state.pen.colour);
    };
    for (size_t i = 0; i + 1 < path.size() && !m_raster.Spent(); i++) {
        const PointD a0 = path[i], b = path[i + 1];
        const double ex = b.x - a0.x, ey = b.y - a0.y;
        const double full = std::hypot(ex * back.m11 + ey * back.m21, ex * back.m12 + ey * back.m22);
        if (!std::isfinite(full))
            return;
        double t0 = 0, t1 = 0;
        if (!InsideBox(a0, b, bx0, by0, bx1, by1, t0, t1)) {
            flush();
            phase.Skip(full);
            dash = {b};
            continue;
        }
        PointD a = a0;
        if (t0 > 0) {
            flush();
            phase.Skip(full * t0);
            a = {a0.x + (b.x - a0.x) * t0, a0.y + (b.y - a0.y) * t0};
            dash = {a};
        }
        const PointD e = {a0.x + (b.x - a0.x) * t1, a0.y + (b.y - a0.y) * t1};
        double length = full * (t1 - t0);
        while (length > phase.left && !m_raster.Spent()) {
            const double t = phase.left / length;
            const PointD cut = {a.x + (e.x - a.x) * t, a.y + (e.y - a.y) * t};
            if (phase.On()) {
                dash.push_back(cut);
                m_raster.WideLine(dash, false, width, m_state.pen.colour);
            }
            dash = {cut};
            length -= phase.left;
            a = cut;
            phase.Next();
        }
        phase.left -= length;
        dash.push_back(e);
        if (t1 < 1) {
            flush();
            phase.Skip(full * (1 - t1));
            dash = {b};
        }
    }
    flush();
}

}  // namespace win32metafile
