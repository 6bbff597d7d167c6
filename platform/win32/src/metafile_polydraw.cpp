// Drawing that carries on from the current position: PolyDraw's mixed
// figures, ArcTo and AngleArc. Outside a path each figure is stroked whole,
// so a wide pen joins its pieces as one line; inside one the points join
// the path's open figure.
#include "metafile_more_records.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace win32metafile {

namespace {

// Point types, as in files.
constexpr BYTE kCloseFigure = 0x01;
constexpr BYTE kLineTo = 0x02;
constexpr BYTE kBezierTo = 0x04;
constexpr BYTE kMoveTo = 0x06;

constexpr double kTwoPi = 2 * M_PI;

long Whole(double v)
{
    if (!std::isfinite(v))
        return 0;
    return (long)std::floor(std::max(-2e9, std::min(2e9, v)) + 0.5);
}

// Whether the types make figures GDI draws: moves, lines, and curves of
// three points in a row, closing only after a line or a curve's last point.
bool ValidTypes(const std::vector<BYTE>& types)
{
    for (size_t i = 0; i < types.size(); i++) {
        const BYTE kind = types[i] & ~kCloseFigure;
        if (types[i] == kMoveTo || kind == kLineTo)
            continue;
        if (kind != kBezierTo || i + 2 >= types.size())
            return false;
        if ((types[i] & kCloseFigure) || (types[i + 1] & ~kCloseFigure) != kBezierTo ||
            (types[i + 1] & kCloseFigure) || (types[i + 2] & ~kCloseFigure) != kBezierTo)
            return false;
        i += 2;
    }
    return true;
}

}  // namespace

bool Player::PolyDraw(const std::vector<POINT>& points, const std::vector<BYTE>& types)
{
    if (points.size() != types.size() || !ValidTypes(types))
        return false;
    if (m_inPath) {
        for (size_t i = 0; i < points.size(); i++) {
            const BYTE kind = types[i] & ~kCloseFigure;
            if (types[i] == kMoveTo) {
                MoveTo(points[i].x, points[i].y);
                continue;
            }
            if (kind == kLineTo) {
                LineTo(points[i].x, points[i].y);
            } else {
                PolyBezierTo({points[i], points[i + 1], points[i + 2]});
                i += 2;
            }
            if (types[i] & kCloseFigure)
                CloseFigure();
        }
        return true;
    }
    POINT start = m_state.position;
    Figure figure = {_map(start.x, start.y)};
    auto finish = [&](bool closed) {
        if (figure.size() > 1)
            _stroke(figure, closed, closed);
    };
    for (size_t i = 0; i < points.size(); i++) {
        const POINT& pt = points[i];
        const BYTE kind = types[i] & ~kCloseFigure;
        if (types[i] == kMoveTo) {
            finish(false);
            start = m_state.position = pt;
            figure = {_map(pt.x, pt.y)};
            continue;
        }
        if (kind == kLineTo) {
            figure.push_back(_map(pt.x, pt.y));
        } else {
            BezierPoints(figure.back(), _map(pt.x, pt.y), _map(points[i + 1].x, points[i + 1].y),
                         _map(points[i + 2].x, points[i + 2].y), figure);
            i += 2;
        }
        m_state.position = points[i];
        if (types[i] & kCloseFigure) {
            // The closing line runs back to the figure's start, which is
            // where the position ends and the next figure begins.
            finish(true);
            m_state.position = start;
            figure = {_map(start.x, start.y)};
        }
    }
    finish(false);
    return true;
}

// A figure of logical points times `k` (curves flattened at the canvas's
// resolution, as _curveScale gives it) drawn on from the current position.
void Player::_figureFromPosition(Figure f, double k)
{
    if (f.empty())
        return;
    const PointD end = {f.back().x / k, f.back().y / k};
    _mapScaled(f, k);
    const POINT from = m_state.position;
    f.insert(f.begin(), _map(from.x, from.y));
    m_state.position = {(LONG)Whole(end.x), (LONG)Whole(end.y)};
    _drawOnFromPosition(f, true);
}

void Player::ArcTo(long l, long t, long r, long b, long xs, long ys, long xe, long ye)
{
    // Made in logical units, where the arc direction is meant, as many
    // points as it spans on the canvas.
    const double k = _curveScale();
    _figureFromPosition(_logicalArc(l, t, r, b, xs, ys, xe, ye, k), k);
}

bool Player::AngleArc(long x, long y, long radius, double start, double sweep)
{
    if (radius < 0 || !std::isfinite(start) || !std::isfinite(sweep))
        return false;
    // Past a whole turn the circle is only drawn over itself.
    sweep = std::max(-360.0, std::min(360.0, sweep));
    const double k = _curveScale();
    Figure f;
    ArcPoints(x * k, y * k, radius * k, radius * k, std::fmod(start, 360.0) * M_PI / 180,
              sweep * M_PI / 180, f);
    _figureFromPosition(std::move(f), k);
    return true;
}

bool PlayPolyDrawRecord(DWORD type, const RecordBytes& r, Player& player)
{
    switch (type) {
    case kEmrArcTo:
        // The box, then the start and end points.
        player.ArcTo(r.L(8), r.L(12), r.L(16), r.L(20), r.L(24), r.L(28), r.L(32), r.L(36));
        return true;
    case kEmrAngleArc:
        // The centre, the radius, then the angles as floats.
        return player.AngleArc(r.L(8), r.L(12), r.L(16), FloatOfBits(r.D(20)), FloatOfBits(r.D(24)));
    default: {
        // Bounds, the count, the points (32 or 16 bits), then a type byte each.
        const bool small = type == kEmrPolyDraw16;
        DWORD count = 0;
        r.U32(24, count);
        const size_t each = small ? 4 : 8;
        if ((uint64_t)count * (each + 1) > r.Size() - 28)
            return false;
        std::vector<POINT> points(count);
        std::vector<BYTE> types(count);
        for (size_t i = 0; i < count; i++) {
            const size_t at = 28 + i * each;
            long x = 0, y = 0;
            if (small)
                r.S16(at, x), r.S16(at + 2, y);
            else
                r.S32(at, x), r.S32(at + 4, y);
            points[i] = {(LONG)x, (LONG)y};
            types[i] = r.Data()[28 + count * each + i];
        }
        return player.PolyDraw(points, types);
    }
    }
}

}  // namespace win32metafile
