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

}  // namespace win32metafile
