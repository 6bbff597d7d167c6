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

// A wide pen's user style: the outline cut into its dashes by length along
// the line, each dash drawn as a wide line of its own.
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
    size_t run = 0;
    double left = (double)runs[0];  // of the current run
    Figure dash = {path[0]};
    for (size_t i = 0; i + 1 < path.size() && !m_raster.Spent(); i++) {
        PointD a = path[i];
        const PointD b = path[i + 1];
        double length = std::hypot(b.x - a.x, b.y - a.y);
        if (!std::isfinite(length))
            return;
        while (length > left && !m_raster.Spent()) {
            const double t = left / length;
            const PointD cut = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            if (run % 2 == 0) {
                dash.push_back(cut);
                m_raster.WideLine(dash, false, width, m_state.pen.colour);
            }
            dash = {cut};
            length -= left;
            a = cut;
            run = (run + 1) % runs.size();
            left = (double)runs[run];
        }
        left -= length;
        dash.push_back(b);
    }
    if (run % 2 == 0 && dash.size() > 1)
        m_raster.WideLine(dash, false, width, m_state.pen.colour);
}

}  // namespace win32metafile
