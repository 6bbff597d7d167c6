// Flood fills: the area around a point, bounded by a colour or made of one,
// painted with the brush. The area is found a row run at a time from a
// stack of seeds, every pixel looked at charged to the play, so a fill of a
// canvas-sized area costs what painting the canvas costs and one that
// outruns the allowance stops with it.
#include "metafile_more_records.h"

#include <algorithm>
#include <cmath>

namespace win32metafile {

namespace {

// Work a pixel costs to test and mark, beyond the painting.
constexpr uint64_t kFloodPixelWork = 2;
// The marks of the pixels seen are one bit a canvas pixel, cleared for each
// fill: a fill of one pixel on a large canvas still costs this much a pixel.
constexpr uint64_t kMarkPixelsPerWork = 32;

// Whether pixel (x, y) lies in the region; `hint` as for BandAt.
bool Inside(const ClipRegion* region, long x, long y, size_t& hint)
{
    if (region == nullptr)
        return true;
    const ClipRegion::Band* band = region->BandAt(y, hint);
    if (band == nullptr)
        return false;
    // The first span ending right of x, found as the raster finds it: a
    // band may hold thousands of spans, and every pixel of the fill asks.
    const ClipRegion::Span* spans = region->Spans(*band);
    const ClipRegion::Span* end = spans + band->count;
    const ClipRegion::Span* s = std::upper_bound(
        spans, end, x, [](long v, const ClipRegion::Span& sp) { return v < sp.right; });
    return s != end && s->left <= x;
}

struct Seed {
    long x, y;
};

}  // namespace

bool Player::FloodFill(long lx, long ly, COLORREF colour, bool surface)
{
    const PointD p = _map(lx, ly);
    if (!std::isfinite(p.x + p.y))
        return false;
    const long w = m_raster.Width(), h = m_raster.Height();
    const double fx = std::floor(p.x + 0.5), fy = std::floor(p.y + 0.5);
    if (fx < 0 || fy < 0 || fx >= w || fy >= h)
        return false;
    // The clip drawn through: the clip and the meta region.
    const ClipRegion* clip = m_drawClip.get();
    size_t hint = 0;
    // A PALETTEINDEX colour is the selected palette's entry, as a brush's is.
    colour = Colour(colour);
    auto fillable = [&](long x, long y) {
        const bool same = (m_raster.Get((int)x, (int)y) & 0xFFFFFF) == colour;
        return same == surface && Inside(clip, x, y, hint);
    };
    const long sx = (long)fx, sy = (long)fy;
    if (!fillable(sx, sy))
        return false;
    if (m_state.brush.style == kBrushNull)
        return true;
    m_raster.Charge((uint64_t)w * (uint64_t)h / kMarkPixelsPerWork + 1);
    if (m_raster.Spent())
        return true;
    std::vector<bool> seen((size_t)w * (size_t)h, false);
    auto mark = [&](long x, long y) { return seen[(size_t)y * (size_t)w + (size_t)x]; };
    m_raster.SetPaint((BYTE)RopFromBinary(m_state.rop2), _brushPattern(m_state.brush));
    std::vector<Seed> stack = {{sx, sy}};
    while (!stack.empty() && !m_raster.Spent()) {
        const Seed s = stack.back();
        stack.pop_back();
        if (mark(s.x, s.y) || !fillable(s.x, s.y))
            continue;
        // The run of the seed's row, then the runs of the rows above and
        // below that touch it.
        long l = s.x, r = s.x + 1;
        while (l > 0 && !mark(l - 1, s.y) && fillable(l - 1, s.y))
            l--;
        while (r < w && !mark(r, s.y) && fillable(r, s.y))
            r++;
        m_raster.Charge((uint64_t)(r - l) * kFloodPixelWork);
        for (long x = l; x < r; x++)
            seen[(size_t)s.y * (size_t)w + (size_t)x] = true;
        m_raster.Span((int)s.y, (int)l, (int)r, m_state.brush.colour);
        for (long y : {s.y - 1, s.y + 1}) {
            if (y < 0 || y >= h)
                continue;
            m_raster.Charge((uint64_t)(r - l) * kFloodPixelWork);
            bool inRun = false;
            for (long x = l; x < r; x++) {
                const bool open = !mark(x, y) && fillable(x, y);
                if (open && !inRun)
                    stack.push_back({x, y});
                inRun = open;
            }
        }
    }
    m_raster.SetPaint(kRopPattern, nullptr);
    return true;
}

}  // namespace win32metafile
