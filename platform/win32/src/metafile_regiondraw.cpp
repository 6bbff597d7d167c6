// The metafile player's regions: made from record rectangles or from the
// path, combined into the clip, and filled, framed and inverted.
#include "metafile_player.h"

#include <algorithm>
#include <cmath>

namespace win32metafile {

namespace {

constexpr BYTE kRopInvert = 0x55;  // the destination inverted

long RoundPixel(double v)
{
    if (!std::isfinite(v))
        return 0;
    return (long)std::floor(std::max(-1e9, std::min(1e9, v)) + 0.5);
}

// A canvas that keeps the spans drawn on it as rectangles one row high: a
// filled path becomes the region of its pixels.
class SpanCanvas : public Canvas {
public:
    SpanCanvas(int width, int height) : m_width(width), m_height(height) {}
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    void Span(int y, int x0, int x1, COLORREF) override { m_rects.push_back({x0, y, x1, y + 1}); }
    COLORREF Get(int, int) const override { return 0; }
    const std::vector<RECT>& Rects() const { return m_rects; }

private:
    int m_width, m_height;
    std::vector<RECT> m_rects;
};

}  // namespace

std::shared_ptr<const ClipRegion> Player::Region(const std::vector<RECT>& rects, bool logical) const
{
    const long w = m_raster.Width(), h = m_raster.Height();
    std::vector<RECT> pieces;
    pieces.reserve(rects.size());
    for (const RECT& d : rects) {
        RECT c;
        if (logical) {
            c = _deviceRect(d.left, d.top, d.right, d.bottom);
        } else {
            long x0 = RoundPixel(d.left * m_fit.scaleX + m_fit.offsetX);
            long x1 = RoundPixel(d.right * m_fit.scaleX + m_fit.offsetX);
            if (m_state.layout & kLayoutRtl) {
                // Device units too are mirrored by a right-to-left layout:
                // Windows mirrors a region selected as the clip of such a
                // context, and the regions it fills, frames and inverts,
                // as it mirrors everything drawn there.
                x0 = w - x0;
                x1 = w - x1;
            }
            const long y0 = RoundPixel(d.top * m_fit.scaleY + m_fit.offsetY);
            const long y1 = RoundPixel(d.bottom * m_fit.scaleY + m_fit.offsetY);
            c = {(LONG)std::min(x0, x1), (LONG)std::min(y0, y1), (LONG)std::max(x0, x1),
                 (LONG)std::max(y0, y1)};
        }
        // Cut to just beyond the canvas, so a frame's edge outside it stays
        // outside.
        pieces.push_back({(LONG)std::max<long>(c.left, -1), (LONG)std::max<long>(c.top, -1),
                          (LONG)std::min<long>(c.right, w + 1),
                          (LONG)std::min<long>(c.bottom, h + 1)});
    }
    return ClipRegion::FromRects(pieces);
}

bool Player::CombineClip(const ClipRegion* region, int mode)
{
    if (mode == kRegionCopy && region == nullptr) {
        _setClip(nullptr);
        return true;
    }
    if (region == nullptr || mode < kRegionAnd || mode > kRegionCopy)
        return false;
    const std::shared_ptr<const ClipRegion> current = _clipOrCanvas();
    m_raster.Charge(current->Size() + region->Size());
    // Cut to the canvas: without a clip the whole canvas is drawable.
    const std::shared_ptr<const ClipRegion> canvas =
        ClipRegion::FromRects({{0, 0, m_raster.Width(), m_raster.Height()}});
    const std::shared_ptr<const ClipRegion> combined = CombineRegions(*current, *region, mode);
    _setClip(CombineRegions(*canvas, *combined, kRegionAnd));
    return true;
}

void Player::OffsetClip(long dx, long dy)
{
    if (!m_state.clip)
        return;
    // The logical offset is a vector through the whole transform: under a
    // turn it moves the clip along the turned axes, as the logical shapes
    // the clip was cut to have moved.
    const PointD a = _map(0, 0), b = _map(dx, dy);
    m_raster.Charge(m_state.clip->Size());
    const std::shared_ptr<const ClipRegion> moved =
        OffsetRegion(*m_state.clip, RoundPixel(b.x - a.x), RoundPixel(b.y - a.y));
    const std::shared_ptr<const ClipRegion> canvas =
        ClipRegion::FromRects({{0, 0, m_raster.Width(), m_raster.Height()}});
    _setClip(CombineRegions(*canvas, *moved, kRegionAnd));
}

std::shared_ptr<const ClipRegion> Player::_areaRegion(const std::vector<Figure>& figures,
                                                      bool winding)
{
    SpanCanvas spans(m_raster.Width(), m_raster.Height());
    Raster raster(spans);
    raster.Fill(figures, winding, 0);
    m_raster.Charge(raster.Work());
    return ClipRegion::FromRects(spans.Rects());
}

bool Player::SelectClipPath(int mode)
{
    if (m_inPath || m_path.empty() || mode < kRegionAnd || mode > kRegionCopy) {
        AbortPath();
        return false;
    }
    const std::shared_ptr<const ClipRegion> area = _areaRegion(m_path, _pathByWinding());
    AbortPath();
    return CombineClip(area.get(), mode);
}

void Player::FillRegion(const ClipRegion& region, const Brush& brush)
{
    if (brush.style == kBrushNull)
        return;
    _paintRegion(region, (BYTE)RopFromBinary(m_state.rop2), _brushPattern(brush), brush.colour);
}

void Player::FrameRegion(const ClipRegion& region, const Brush& brush, long w, long h)
{
    // The frame is what lies within dx pixels across or dy down of the
    // region's outside: the region less the region shrunk by those. The
    // region stays upright on the device whatever the world transform, so
    // the logical w x h box is carried through the whole transform and its
    // extents on the canvas taken: a quarter turn swaps the two, a shear or
    // a slant widens them, and without a turn it is w and h times the
    // scales of the axes.
    const Affine& t = m_toCanvas;
    const double wx = std::fabs(w * t.m11) + std::fabs(h * t.m21);
    const double hy = std::fabs(w * t.m12) + std::fabs(h * t.m22);
    const long dx = std::max(1L, RoundPixel(wx));
    const long dy = std::max(1L, RoundPixel(hy));
    m_raster.Charge(4 * region.Size());
    std::shared_ptr<const ClipRegion> inner = OffsetRegion(region, dx, 0);
    inner = CombineRegions(*inner, *OffsetRegion(region, -dx, 0), kRegionAnd);
    inner = CombineRegions(*inner, *OffsetRegion(region, 0, dy), kRegionAnd);
    inner = CombineRegions(*inner, *OffsetRegion(region, 0, -dy), kRegionAnd);
    inner = CombineRegions(*inner, region, kRegionAnd);
    FillRegion(*CombineRegions(region, *inner, kRegionDiff), brush);
}

void Player::InvertRegion(const ClipRegion& region)
{
    _paintRegion(region, kRopInvert, nullptr, Brush().colour);
}

// Every span of the region's bands on the canvas, painted by the ternary
// code with the pattern (or the colour without one).
void Player::_paintRegion(const ClipRegion& region, BYTE code,
                          std::shared_ptr<const Pattern> pattern, COLORREF colour)
{
    m_raster.SetPaint(code, std::move(pattern));
    for (const ClipRegion::Band& band : region.Bands()) {
        const ClipRegion::Span* s = region.Spans(band);
        const long top = std::max(band.top, 0L),
                   bottom = std::min<long>(band.bottom, m_raster.Height());
        for (long y = top; y < bottom && !m_raster.Spent(); y++) {
            for (size_t i = 0; i < band.count; i++)
                m_raster.Span((int)y, (int)s[i].left, (int)s[i].right, colour);
        }
    }
    m_raster.SetPaint(kRopPattern, nullptr);
}

bool Player::BrushOf(DWORD index, Brush& out) const
{
    static const COLORREF kStock[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    if (index & kStockFlag) {
        const DWORD stock = index & ~kStockFlag;
        if (stock > 5)
            return false;
        out = Brush();
        out.style = stock == 5 ? kBrushNull : kBrushSolid;
        out.colour = stock == 5 ? 0 : kStock[stock];
        return true;
    }
    if (index >= m_objects.size() || m_objects[index].kind != Object::kBrush)
        return false;
    out = m_objects[index].brush;
    out.colour = Colour(out.colour);
    return true;
}

}  // namespace win32metafile
