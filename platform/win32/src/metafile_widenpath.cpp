// WidenPath: the path replaced by the area its stroke would cover, so that
// filling it, or clipping to it, paints the pen's pixels. The area is the
// wide line's own pieces (a quadrilateral a segment, the joins and square
// ends, turning one way) and a disc for each round end and join, turned the
// same way: their winding fill is the stroke.
#include "metafile_player.h"
#include "metafile_scan.h"

#include <algorithm>
#include <cmath>

namespace win32metafile {

namespace {

// The most points a widened path may hold, as many as a path may: a path
// of sharp corners under a wide round pen asks a disc of many points at
// each corner, and past this the play's allowance is spent instead.
constexpr size_t kMaxWidenedPoints = size_t(1) << 21;

}  // namespace

bool Player::WidenPath()
{
    const Pen& pen = m_state.pen;
    const double width = _penPixels();
    if (m_inPath || m_path.empty() || width <= 0 || (width <= 1 && !pen.geometric))
        return false;
    const double half = std::min(width, scan::kFar) / 2;
    const LineShape shape = {pen.cap, pen.join, m_state.miterLimit};
    std::vector<Figure> area;
    double turn = 0;
    size_t points = 0;
    auto room = [&](size_t more) {
        points += more;
        return points <= kMaxWidenedPoints;
    };
    for (size_t f = 0; f < m_path.size() && points <= kMaxWidenedPoints; f++) {
        Figure centres;
        // The path's points are pixel corners; the pen's centre runs through
        // the pixels' centres, as a stroke of the path would.
        if (!scan::WideCentres(m_path[f], centres))
            continue;
        std::vector<bool> joined;
        scan::WidePieces(
            centres, m_pathClosed[f], half, shape, joined, [](PointD, PointD) { return false; },
            [&](const PointD* p, size_t count) {
                if (!room(count))
                    return false;
                if (turn == 0)
                    turn = scan::Area(p, count);
                area.emplace_back(p, p + count);
                return true;
            });
        for (size_t i = 0; i < centres.size() && i < joined.size(); i++) {
            if (joined[i])
                continue;
            Figure disc;
            ArcPoints(centres[i].x, centres[i].y, half, half, 0, 2 * M_PI, disc);
            if (!room(disc.size()))
                break;
            area.push_back(std::move(disc));
        }
    }
    if (points > kMaxWidenedPoints) {
        AbortPath();
        m_raster.Charge(UINT64_MAX);
        return true;
    }
    // Discs turned the way the pieces turn, so none cancels another.
    if (turn == 0 && !area.empty())
        turn = scan::Area(area[0].data(), area[0].size());
    for (Figure& f : area) {
        if ((scan::Area(f.data(), f.size()) < 0) != (turn < 0))
            std::reverse(f.begin(), f.end());
    }
    AbortPath();
    for (const Figure& f : area)
        _addFigure(f, true);
    m_pathWinding = true;
    return true;
}

}  // namespace win32metafile
