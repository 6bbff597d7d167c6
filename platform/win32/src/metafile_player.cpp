// The metafile player's device context and the drawing calls both record
// readers share.
//
// Shapes follow GDI's pixel rules: a rectangle from (l, t) to (r, b) fills the
// pixels l .. r - 1 and t .. b - 1 and its one-pixel outline runs along the
// outermost of them; a polygon's outline runs through the pixels of its
// corners; a line leaves out its last pixel. Wide pens are centred on the
// outline, with the pen's ends and joins (round unless it says otherwise).
#include "metafile_player.h"

#include <algorithm>
#include <cmath>

namespace win32metafile {

namespace {

// Pens this many canvas pixels wide or less draw one-pixel lines.
constexpr double kThinPen = 1.5;

// The most points a path holds (16 bytes each), and the work each costs.
constexpr size_t kMaxPathPoints = size_t(1) << 21;
constexpr uint64_t kPathPointWork = 16;

constexpr double kTwoPi = 2 * M_PI;

long RoundPixel(double v)
{
    if (!std::isfinite(v))
        return 0;
    v = std::floor(std::max(-1e9, std::min(1e9, v)) + 0.5);
    return (long)v;
}

// The rectangle's corners as a closed figure.
Figure Box(double x0, double y0, double x1, double y1)
{
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

// A rectangle with elliptic corners of radii rx, ry.
Figure RoundBox(double x0, double y0, double x1, double y1, double rx, double ry)
{
    Figure f;
    ArcPoints(x1 - rx, y0 + ry, rx, ry, 0, M_PI / 2, f);
    ArcPoints(x0 + rx, y0 + ry, rx, ry, M_PI / 2, M_PI / 2, f);
    ArcPoints(x0 + rx, y1 - ry, rx, ry, M_PI, M_PI / 2, f);
    ArcPoints(x1 - rx, y1 - ry, rx, ry, 3 * M_PI / 2, M_PI / 2, f);
    return f;
}

}  // namespace

Player::Player(Canvas& canvas, const Fit& fit, double pixelsPerMmX, double pixelsPerMmY,
               size_t slots)
    : m_raster(canvas), m_fit(fit), m_pxPerMmX(pixelsPerMmX), m_pxPerMmY(pixelsPerMmY),
      m_slots(slots)
{
    _remap();
}

// Mapping --------------------------------------------------------------------

void Player::_remap()
{
    double sx = 1, sy = 1;
    const DcState& s = m_state;
    // The fixed modes: millimetres a unit as a fraction (num / den, applied
    // in that order), y upwards.
    static const struct {
        int mode;
        double num, den;
    } kFixed[] = {
        {MM_LOMETRIC, 0.1, 1},    {MM_HIMETRIC, 0.01, 1},   {MM_LOENGLISH, 0.254, 1},
        {MM_HIENGLISH, 0.0254, 1}, {MM_TWIPS, 25.4, 1440},
    };
    for (const auto& f : kFixed) {
        if (f.mode == s.mapMode) {
            sx = m_pxPerMmX * f.num / f.den;
            sy = -m_pxPerMmY * f.num / f.den;
        }
    }
    switch (s.mapMode) {
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
        sx = (double)s.viewportExt.cx / s.windowExt.cx;
        sy = (double)s.viewportExt.cy / s.windowExt.cy;
        if (s.mapMode == MM_ISOTROPIC) {
            // Both axes take the smaller scale, each keeping its direction.
            const double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = sx < 0 ? -m : m;
            sy = sy < 0 ? -m : m;
        }
        break;
    default:
        break;
    }
    Affine page;
    page.m11 = m_fit.scaleX * sx;
    page.dx = m_fit.scaleX * (s.viewportOrg.x - s.windowOrg.x * sx) + m_fit.offsetX;
    page.m22 = m_fit.scaleY * sy;
    page.dy = m_fit.scaleY * (s.viewportOrg.y - s.windowOrg.y * sy) + m_fit.offsetY;
    if (s.layout & kLayoutRtl) {
        page.m11 = -page.m11;
        page.dx = m_raster.Width() - page.dx;
    }
    m_toCanvas = Then(s.world, page);
    m_skewed = !m_toCanvas.AxisAligned();
    if (!Invert(m_toCanvas, m_fromCanvas))
        m_fromCanvas = Affine();
    m_ax = m_toCanvas.m11;
    m_bx = m_toCanvas.dx;
    m_ay = m_toCanvas.m22;
    m_by = m_toCanvas.dy;
}

PointD Player::_map(long x, long y) const
{
    return _mapD(x, y);
}

PointD Player::_mapD(double x, double y) const
{
    PointD p;
    m_toCanvas.Apply(x, y, p.x, p.y);
    return p;
}

double Player::_curveScale() const
{
    const Affine& a = m_toCanvas;
    const double k = std::max(std::hypot(a.m11, a.m12), std::hypot(a.m21, a.m22));
    return std::isfinite(k) && k > 1e-9 ? k : 1;
}

void Player::_mapScaled(Figure& f, double k) const
{
    for (PointD& p : f)
        p = _mapD(p.x / k, p.y / k);
}

bool Player::SetWorldTransform(const Affine& a)
{
    return ModifyWorldTransform(a, kWorldSet);
}

bool Player::ModifyWorldTransform(const Affine& a, unsigned long change)
{
    if (!ChangeWorld(m_state.world, a, change))
        return false;
    _remap();
    return true;
}

void Player::SetMapMode(int mode)
{
    if (mode < MM_TEXT || mode > MM_ANISOTROPIC)
        return;
    m_state.mapMode = mode;
    _remap();
}

void Player::SetWindowOrg(long x, long y)
{
    m_state.windowOrg = {(LONG)x, (LONG)y};
    _remap();
}

void Player::SetViewportOrg(long x, long y)
{
    m_state.viewportOrg = {(LONG)x, (LONG)y};
    _remap();
}

void Player::OffsetWindowOrg(long dx, long dy)
{
    SetWindowOrg(m_state.windowOrg.x + dx, m_state.windowOrg.y + dy);
}

void Player::OffsetViewportOrg(long dx, long dy)
{
    SetViewportOrg(m_state.viewportOrg.x + dx, m_state.viewportOrg.y + dy);
}

// Extents count only in the two scalable modes, and never as 0.
void Player::SetWindowExt(long x, long y)
{
    if (x == 0 || y == 0 || m_state.mapMode < MM_ISOTROPIC)
        return;
    m_state.windowExt = {(LONG)x, (LONG)y};
    _remap();
}

void Player::SetViewportExt(long x, long y)
{
    if (x == 0 || y == 0 || m_state.mapMode < MM_ISOTROPIC)
        return;
    m_state.viewportExt = {(LONG)x, (LONG)y};
    _remap();
}

void Player::ScaleWindowExt(long xNum, long xDen, long yNum, long yDen)
{
    if (xDen == 0 || yDen == 0)
        return;
    SetWindowExt((long)((long long)m_state.windowExt.cx * xNum / xDen),
                 (long)((long long)m_state.windowExt.cy * yNum / yDen));
}

void Player::ScaleViewportExt(long xNum, long xDen, long yNum, long yDen)
{
    if (xDen == 0 || yDen == 0)
        return;
    SetViewportExt((long)((long long)m_state.viewportExt.cx * xNum / xDen),
                   (long)((long long)m_state.viewportExt.cy * yNum / yDen));
}

// Objects --------------------------------------------------------------------

// The table holds the slots up to the last one ever filled; those past it
// are empty. A header may ask for 65,535 slots and fill three.
size_t Player::FreeSlot() const
{
    for (size_t i = 0; i < m_objects.size(); i++) {
        if (m_objects[i].kind == Object::kEmpty)
            return i;
    }
    return std::min(m_objects.size(), m_slots);
}

bool Player::Put(size_t slot, const Object& object)
{
    if (slot >= m_slots)
        return false;
    if (slot >= m_objects.size())
        m_objects.resize(slot + 1);
    m_objects[slot] = object;
    return true;
}

bool Player::Select(size_t slot)
{
    if (slot >= m_objects.size())
        return false;  // past the table, or an empty slot past the last filled
    const Object& o = m_objects[slot];
    // A pen's or brush's colour may name an entry of the palette: it takes
    // the colour the palette selected now gives it.
    if (o.kind == Object::kPen) {
        m_state.pen = o.pen;
        m_state.pen.colour = Colour(o.pen.colour);
    } else if (o.kind == Object::kBrush) {
        m_state.brush = o.brush;
        m_state.brush.colour = Colour(o.brush.colour);
    }
    else if (o.kind == Object::kFont)
        m_state.font = o.font;
    else if (o.kind == Object::kRegion)
        CombineClip(Region(o.region, true).get(), kRegionCopy);  // selecting a region clips
    return o.kind != Object::kEmpty;
}

const Object* Player::At(size_t slot) const
{
    if (slot >= m_objects.size() || m_objects[slot].kind == Object::kEmpty)
        return nullptr;
    return &m_objects[slot];
}

bool Player::SelectStock(DWORD stock)
{
    static const COLORREF kBrushes[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    if (stock <= 5) {
        m_state.brush = Brush();
        m_state.brush.style = stock == 5 ? kBrushNull : kBrushSolid;
        m_state.brush.colour = stock == 5 ? 0 : kBrushes[stock];
    } else if (stock == 6 || stock == 7) {
        m_state.pen = Pen();
        m_state.pen.colour = stock == 6 ? 0xFFFFFFu : 0u;
    } else if (stock == 8) {
        m_state.pen = Pen();
        m_state.pen.style = kPenNull;
    } else if (stock < 10 || stock > 19) {
        return false;  // 9 and past 19 name no stock object
    } else if (stock <= 17 && stock != 15) {
        m_state.font = LogicalFont();  // a stock font: the platform's default
    }
    return true;  // the palette and the DC pen and brush change nothing drawn
}

bool Player::Delete(size_t slot)
{
    if (slot >= m_slots)
        return false;
    if (slot < m_objects.size())
        m_objects[slot] = Object();
    return true;
}

// Drawing helpers ------------------------------------------------------------

double Player::_penPixels() const
{
    if (m_state.pen.style == kPenNull)
        return 0;
    // A cosmetic pen is one device pixel, as is a pen of width 0; any other
    // width is logical units, mapped and transformed like the shapes.
    if (m_state.pen.cosmetic)
        return 1;
    // A geometric pen is as wide as the logical x unit is long on the canvas.
    const double w = std::fabs(m_state.pen.width) * std::hypot(m_toCanvas.m11, m_toCanvas.m12);
    return w <= kThinPen ? 1 : w;
}

bool Player::SetRop2(int mode)
{
    if (RopFromBinary(mode) < 0)
        return false;
    m_state.rop2 = mode;
    return true;
}

bool Player::SetMiterLimit(double limit)
{
    if (!(limit >= 1))
        return false;
    m_state.miterLimit = limit;
    return true;
}

void Player::_fill(const std::vector<Figure>& figures, bool winding)
{
    if (m_state.brush.style == kBrushNull)
        return;
    m_raster.SetPaint((BYTE)RopFromBinary(m_state.rop2), _brushPattern(m_state.brush));
    m_raster.Fill(figures, winding, m_state.brush.colour);
    m_raster.SetPaint(kRopPattern, nullptr);
}

void Player::_stroke(const Figure& points, bool closed, bool lastPixel)
{
    const double w = _penPixels();
    if (w <= 0)
        return;
    m_raster.SetPaint((BYTE)RopFromBinary(m_state.rop2), nullptr);
    m_raster.SetLineShape({m_state.pen.cap, m_state.pen.join, m_state.miterLimit});
    if (w <= 1) {
        m_raster.SetStyle(_styleRuns(), m_state.backgroundMode == kBackgroundOpaque
                                            ? m_state.background
                                            : kNoPixel);
        m_raster.ThinLine(points, closed, lastPixel, m_state.pen.colour);
        m_raster.SetStyle({}, kNoPixel);
    } else if (_geometricStyle()) {
        _dashedWide(points, closed, w);
    } else {
        m_raster.WideLine(points, closed, w, m_state.pen.colour);
    }
    m_raster.SetLineShape({});
    m_raster.SetPaint(kRopPattern, nullptr);
}

void Player::_addFigure(const Figure& points, bool closed)
{
    _countPath(points.size());
    m_path.push_back(points);
    m_pathClosed.push_back(closed);
    m_figureOpen = false;
}

// A closed shape: the area filled with the brush, then the outline stroked;
// inside a path only the outline is kept.
void Player::_shape(Figure area, const Figure& outline, bool closed)
{
    if (m_inPath) {
        _addFigure(outline, closed);
        return;
    }
    if (closed) {
        std::vector<Figure> figures;
        figures.push_back(std::move(area));  // a curve's thousand points, not copied
        _fill(figures, m_state.fillMode == kFillWinding);
    }
    _stroke(outline, closed, true);
}

// Drawing --------------------------------------------------------------------

void Player::MoveTo(long x, long y)
{
    m_state.position = {(LONG)x, (LONG)y};
    m_figureOpen = false;
}

void Player::LineTo(long x, long y)
{
    const PointD a = _map(m_state.position.x, m_state.position.y), b = _map(x, y);
    m_state.position = {(LONG)x, (LONG)y};
    if (m_inPath) {
        if (!m_figureOpen) {
            _addFigure({a}, false);
            m_figureOpen = true;
        }
        m_path.back().push_back(b);
        return;
    }
    _stroke({a, b}, false, false);
}

void Player::Rectangle(long l, long t, long r, long b)
{
    if (m_skewed) {
        const Figure f = {_map(l, t), _map(r, t), _map(r, b), _map(l, b)};
        _shape(f, f, true);
        return;
    }
    const PointD p = _map(l, t), q = _map(r, b);
    const double x0 = std::min(p.x, q.x), x1 = std::max(p.x, q.x);
    const double y0 = std::min(p.y, q.y), y1 = std::max(p.y, q.y);
    _shape(Box(x0, y0, x1, y1), Box(x0, y0, x1 - 1, y1 - 1), true);
}

void Player::Ellipse(long l, long t, long r, long b)
{
    if (m_skewed) {
        const double k = _curveScale();
        Figure f;
        ArcPoints((l + (double)r) / 2 * k, (t + (double)b) / 2 * k, std::fabs((double)r - l) / 2 * k,
                  std::fabs((double)b - t) / 2 * k, 0, kTwoPi, f);
        _mapScaled(f, k);
        _shape(f, f, true);
        return;
    }
    const PointD p = _map(l, t), q = _map(r, b);
    const double cx = (p.x + q.x) / 2, cy = (p.y + q.y) / 2;
    const double rx = std::fabs(q.x - p.x) / 2, ry = std::fabs(q.y - p.y) / 2;
    Figure area, outline;
    ArcPoints(cx, cy, rx, ry, 0, kTwoPi, area);
    ArcPoints(cx - 0.5, cy - 0.5, std::max(rx - 0.5, 0.0), std::max(ry - 0.5, 0.0), 0, kTwoPi,
              outline);
    _shape(std::move(area), outline, true);
}

void Player::RoundRect(long l, long t, long r, long b, long w, long h)
{
    if (m_skewed) {
        const double k = _curveScale();
        const double x0 = std::min(l, r) * k, x1 = std::max(l, r) * k;
        const double y0 = std::min(t, b) * k, y1 = std::max(t, b) * k;
        Figure f = RoundBox(x0, y0, x1, y1, std::min(std::fabs(w * k) / 2, (x1 - x0) / 2),
                            std::min(std::fabs(h * k) / 2, (y1 - y0) / 2));
        _mapScaled(f, k);
        _shape(f, f, true);
        return;
    }
    const PointD p = _map(l, t), q = _map(r, b);
    const double x0 = std::min(p.x, q.x), x1 = std::max(p.x, q.x);
    const double y0 = std::min(p.y, q.y), y1 = std::max(p.y, q.y);
    const double rx = std::min(std::fabs(w * m_ax) / 2, (x1 - x0) / 2);
    const double ry = std::min(std::fabs(h * m_ay) / 2, (y1 - y0) / 2);
    _shape(RoundBox(x0, y0, x1, y1, rx, ry),
           RoundBox(x0, y0, x1 - 1, y1 - 1, std::max(rx - 0.5, 0.0), std::max(ry - 0.5, 0.0)),
           true);
}

void Player::Arc(ArcKind kind, long l, long t, long r, long b, long xs, long ys, long xe, long ye)
{
    if (m_skewed) {
        _skewedArc(kind, l, t, r, b, xs, ys, xe, ye);
        return;
    }
    const PointD p = _map(l, t), q = _map(r, b), s = _map(xs, ys), e = _map(xe, ye);
    const double cx = (p.x + q.x) / 2, cy = (p.y + q.y) / 2;
    const double rx = std::fabs(q.x - p.x) / 2, ry = std::fabs(q.y - p.y) / 2;
    // The arc starts where the ray from the centre through the start point
    // meets the ellipse, and ends on the ray through the end point.
    const double a0 = std::atan2(-(s.y - cy) * rx, (s.x - cx) * ry);
    const double a1 = std::atan2(-(e.y - cy) * rx, (e.x - cx) * ry);
    // The direction is the logical one: a mapping that turns one axis over
    // turns it on the canvas.
    bool counter = m_state.arcDirection != kArcClockwise;
    if ((m_ax < 0) != (m_ay < 0))
        counter = !counter;
    double sweep = a1 - a0;
    if (counter && sweep <= 0)
        sweep += kTwoPi;
    else if (!counter && sweep >= 0)
        sweep -= kTwoPi;

    Figure area, outline;
    ArcPoints(cx, cy, rx, ry, a0, sweep, area);
    ArcPoints(cx - 0.5, cy - 0.5, std::max(rx - 0.5, 0.0), std::max(ry - 0.5, 0.0), a0, sweep,
              outline);
    if (kind == kPie) {
        area.push_back({cx, cy});
        outline.push_back({cx - 0.5, cy - 0.5});
    }
    if (kind == kArc) {
        if (m_inPath)
            _addFigure(outline, false);
        else
            _stroke(outline, false, true);
        return;
    }
    _shape(std::move(area), outline, true);
}

Figure Player::_logicalArc(long l, long t, long r, long b, long xs, long ys, long xe, long ye,
                           double k) const
{
    const double cx = (l + (double)r) / 2 * k, cy = (t + (double)b) / 2 * k;
    const double rx = std::fabs((double)r - l) / 2 * k, ry = std::fabs((double)b - t) / 2 * k;
    const double a0 = std::atan2(-(ys * k - cy) * rx, (xs * k - cx) * ry);
    const double a1 = std::atan2(-(ye * k - cy) * rx, (xe * k - cx) * ry);
    const bool counter = m_state.arcDirection != kArcClockwise;
    double sweep = a1 - a0;
    if (counter && sweep <= 0)
        sweep += kTwoPi;
    else if (!counter && sweep >= 0)
        sweep -= kTwoPi;
    Figure f;
    ArcPoints(cx, cy, rx, ry, a0, sweep, f);
    return f;
}

// Under a turn or shear the arc is made in logical units, where the arc
// direction is meant, and then mapped.
void Player::_skewedArc(ArcKind kind, long l, long t, long r, long b, long xs, long ys, long xe,
                        long ye)
{
    const double k = _curveScale();
    Figure f = _logicalArc(l, t, r, b, xs, ys, xe, ye, k);
    if (kind == kPie)
        f.push_back({(l + (double)r) / 2 * k, (t + (double)b) / 2 * k});
    _mapScaled(f, k);
    if (kind != kArc) {
        _shape(f, f, true);
        return;
    }
    if (m_inPath)
        _addFigure(f, false);
    else
        _stroke(f, false, true);
}

void Player::Polygon(const std::vector<POINT>& points)
{
    PolyPolygon({points});
}

void Player::PolyPolygon(const std::vector<std::vector<POINT>>& polygons)
{
    std::vector<Figure> figures;
    for (const auto& poly : polygons) {
        Figure f;
        for (const POINT& pt : poly)
            f.push_back(_map(pt.x, pt.y));
        if (!f.empty())
            figures.push_back(std::move(f));
    }
    if (m_inPath) {
        for (const Figure& f : figures)
            _addFigure(f, true);
        return;
    }
    _fill(figures, m_state.fillMode == kFillWinding);
    for (const Figure& f : figures)
        _stroke(f, true, true);
}

void Player::Polyline(const std::vector<POINT>& points)
{
    PolyPolyline({points});
}

void Player::PolyPolyline(const std::vector<std::vector<POINT>>& lines)
{
    for (const auto& line : lines) {
        Figure f;
        for (const POINT& pt : line)
            f.push_back(_map(pt.x, pt.y));
        if (f.empty())
            continue;
        if (m_inPath)
            _addFigure(f, false);
        else
            _stroke(f, false, false);
    }
}

void Player::PolylineTo(const std::vector<POINT>& points)
{
    for (const POINT& pt : points)
        LineTo(pt.x, pt.y);
}

// A few bytes of curve flatten into a thousand points. A curve whose points
// alone cost more than the allowance has left would not be drawn, nor a path
// past its cap be kept: either is flattened no further, and the allowance is
// spent as drawing or recording it would have spent it.
bool Player::_affordsCurve(size_t points)
{
    if (m_inPath && m_pathPoints + points > kMaxPathPoints) {
        m_raster.Charge(UINT64_MAX);
        return false;
    }
    const uint64_t each = m_inPath ? kPathPointWork : kLinePointWork;
    if (m_raster.Covers(points * each))
        return true;
    m_raster.Afford(UINT64_MAX);
    return false;
}

void Player::PolyBezier(const std::vector<POINT>& points)
{
    if (points.empty())
        return;
    Figure f = {_map(points[0].x, points[0].y)};
    for (size_t i = 1; i + 2 < points.size(); i += 3) {
        BezierPoints(f.back(), _map(points[i].x, points[i].y),
                     _map(points[i + 1].x, points[i + 1].y), _map(points[i + 2].x, points[i + 2].y), f);
        if (!_affordsCurve(f.size()))
            return;
    }
    if (m_inPath)
        _addFigure(f, false);
    else
        _stroke(f, false, true);
}

void Player::PolyBezierTo(const std::vector<POINT>& points)
{
    if (points.size() < 3)
        return;
    const POINT from = m_state.position;
    Figure f = {_map(from.x, from.y)};
    for (size_t i = 0; i + 2 < points.size(); i += 3) {
        BezierPoints(f.back(), _map(points[i].x, points[i].y),
                     _map(points[i + 1].x, points[i + 1].y), _map(points[i + 2].x, points[i + 2].y), f);
        m_state.position = points[i + 2];
        if (!_affordsCurve(f.size()))
            return;
    }
    _drawOnFromPosition(f, false);
}

void Player::_drawOnFromPosition(const Figure& f, bool lastPixel)
{
    if (m_inPath) {
        if (!m_figureOpen) {
            _addFigure({f[0]}, false);
            m_figureOpen = true;
        }
        _countPath(f.size() - 1);
        m_path.back().insert(m_path.back().end(), f.begin() + 1, f.end());
        return;
    }
    _stroke(f, false, lastPixel);
}

void Player::SetPixel(long x, long y, COLORREF colour)
{
    const PointD p = _map(x, y);
    const long px = RoundPixel(p.x), py = RoundPixel(p.y);
    if (px >= 0 && py >= 0 && px < m_raster.Width() && py < m_raster.Height())
        m_raster.Pixel((int)px, (int)py, colour);
}

// Paths ----------------------------------------------------------------------

// A path holds the flattened points of its curves: a few bytes of curve
// records can ask for many of them, so each is charged to the play, and a
// path past kMaxPathPoints spends the whole allowance.
void Player::_countPath(size_t points)
{
    m_pathPoints += points;
    m_raster.Charge(points * kPathPointWork);
    if (m_pathPoints > kMaxPathPoints)
        m_raster.Charge(UINT64_MAX);
}

void Player::BeginPath()
{
    m_inPath = true;
    m_pathPoints = 0;
    m_pathWinding = false;
    m_path.clear();
    m_pathClosed.clear();
    m_figureOpen = false;
}

void Player::EndPath()
{
    m_inPath = false;
    m_figureOpen = false;
}

void Player::AbortPath()
{
    BeginPath();
    m_inPath = false;
}

void Player::CloseFigure()
{
    if (m_inPath && m_figureOpen) {
        m_pathClosed.back() = true;
        m_figureOpen = false;
    }
}

void Player::FillPath()
{
    _fill(m_path, _pathByWinding());
    AbortPath();
}

void Player::StrokePath()
{
    for (size_t i = 0; i < m_path.size(); i++)
        _stroke(m_path[i], m_pathClosed[i], true);
    AbortPath();
}

void Player::StrokeAndFillPath()
{
    _fill(m_path, _pathByWinding());
    StrokePath();
}

// Clipping -------------------------------------------------------------------

// The canvas rectangle of a logical one: under a turn or shear, the box
// around its four corners.
RECT Player::_deviceRect(long l, long t, long r, long b) const
{
    const PointD c[4] = {_map(l, t), _map(r, t), _map(r, b), _map(l, b)};
    long x0 = RoundPixel(c[0].x), x1 = x0, y0 = RoundPixel(c[0].y), y1 = y0;
    for (const PointD& p : c) {
        x0 = std::min(x0, RoundPixel(p.x));
        x1 = std::max(x1, RoundPixel(p.x));
        y0 = std::min(y0, RoundPixel(p.y));
        y1 = std::max(y1, RoundPixel(p.y));
    }
    return {(LONG)x0, (LONG)y0, (LONG)x1, (LONG)y1};
}

// What is drawn is cut to both the clip and the meta region: the two are
// combined here, once a change, for the raster and every other use.
void Player::_useClip()
{
    if (m_state.meta && m_state.clip) {
        m_raster.Charge(m_state.meta->Size() + m_state.clip->Size());
        m_drawClip = CombineRegions(*m_state.meta, *m_state.clip, kRegionAnd);
    } else {
        m_drawClip = m_state.clip ? m_state.clip : m_state.meta;
    }
    m_raster.SetClip(m_drawClip);
}

void Player::SetLayout(DWORD layout)
{
    m_state.layout = layout;
    _remap();
}

void Player::SetMetaRegion()
{
    if (m_state.clip)
        m_state.meta = m_drawClip;
    m_state.clip = nullptr;
    _useClip();
}

// Each change makes a new region, charged to the play by the size of the one
// it came from, so a file cannot make the clip grow without paying for it.
void Player::_setClip(std::shared_ptr<const ClipRegion> clip)
{
    if (clip)
        m_raster.Charge(clip->Size() + 1);
    m_state.clip = std::move(clip);
    _useClip();
}

// What may be drawn: the clip within the meta region. Combining a region
// with it rather than with the clip alone comes to the same once the meta
// region cuts the result, whatever the mode.
std::shared_ptr<const ClipRegion> Player::_clipOrCanvas() const
{
    if (m_drawClip)
        return m_drawClip;
    return ClipRegion::FromRects({{0, 0, m_raster.Width(), m_raster.Height()}});
}

// A rectangle the world transform turns or shears clips by the pixels of
// the shape it becomes, as a filled polygon of its corners would cover
// them; an upright one by its rounded corners.
void Player::_clipRect(long l, long t, long r, long b, int mode)
{
    if (m_skewed) {
        const std::vector<Figure> turned = {{_map(l, t), _map(r, t), _map(r, b), _map(l, b)}};
        const std::shared_ptr<const ClipRegion> area = _areaRegion(turned, false);
        CombineClip(area.get(), mode);
        return;
    }
    m_raster.Charge(m_state.clip ? m_state.clip->Size() : 0);
    const RECT d = _deviceRect(l, t, r, b);
    _setClip(mode == kRegionAnd ? _clipOrCanvas()->Intersect(d) : _clipOrCanvas()->Exclude(d));
}

void Player::IntersectClip(long l, long t, long r, long b)
{
    _clipRect(l, t, r, b, kRegionAnd);
}

void Player::ExcludeClip(long l, long t, long r, long b)
{
    _clipRect(l, t, r, b, kRegionDiff);
}

// Saved states ---------------------------------------------------------------

void Player::Save()
{
    m_saved.push_back(m_state);
}

bool Player::Restore(long n)
{
    const long depth = (long)m_saved.size();
    long keep;
    if (n < 0 && -n <= depth)
        keep = depth + n;
    else if (n > 0 && n <= depth)
        keep = n - 1;
    else
        return false;
    m_state = m_saved[keep];
    m_saved.resize(keep);
    _remap();
    _useClip();
    return true;
}

}  // namespace win32metafile
