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
    if (pen.style >= 1 && pen.style <= 4) {
        for (long r : kStyles[pen.style - 1])
            runs.push_back(r * kStyleUnit);
    } else if (pen.style == 8) {
        runs = {1, 1};  // PS_ALTERNATE: every other pixel
    } else if (pen.style == kPenUserStyle) {
        // Cosmetic runs are pixels; geometric ones logical units.
        const double scale = pen.geometric ? std::fabs(m_ax) : 1.0;
        for (size_t i = 0; i < pen.user.size() && i < kMaxUserRuns; i++) {
            const double v = std::round((double)pen.user[i] * scale);
            runs.push_back(std::isfinite(v) ? (long)std::max(0.0, std::min(v, 1e6)) : 0);
        }
    }
    // An odd count alternates the other way round on its second pass.
    if (runs.size() % 2 == 1)
        runs.insert(runs.end(), runs.begin(), runs.end());
    return runs;
}

namespace {

// Where a pen's style stands along its line: the run it is in and what is
// left of it.
struct StylePhase {
    const std::vector<long>* runs;
    uint64_t total;
    size_t run = 0;
    double left = 0;

    bool On() const { return run % 2 == 0; }
    void Next()
    {
        run = (run + 1) % runs->size();
        left = (double)(*runs)[run];
    }
    // Steps d along the line at once: a whole cycle of the (even) runs
    // comes back to the same run.
    void Skip(double d)
    {
        if (d < left) {
            left -= d;
            return;
        }
        d = std::fmod(d - left, (double)total);
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

// A wide pen's user style: the outline cut into its dashes by length along
// the line, each dash drawn as a wide line of its own. The style steps over
// what lies off the canvas at once, so a line far longer than the picture
// costs no more than one across it.
void Player::_dashedWide(const Figure& points, bool closed, double width,
                         const std::vector<long>& runs)
{
    uint64_t total = 0;
    for (long r : runs)
        total += (uint64_t)r;
    if (total == 0 || points.size() < 2) {
        m_raster.WideLine(points, closed, width, m_state.pen.colour);
        return;
    }
    Figure path = points;
    if (closed)
        path.push_back(points[0]);
    StylePhase phase{&runs, total};
    phase.left = (double)runs[0];
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
        const double full = std::hypot(b.x - a0.x, b.y - a0.y);
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
