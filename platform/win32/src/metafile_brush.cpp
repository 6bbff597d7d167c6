// The metafile player's brushes as pixels: hatches and bitmap patterns,
// tiled from the brush origin.
#include "metafile_dib.h"
#include "metafile_player.h"

#include <algorithm>
#include <cmath>

namespace win32metafile {

namespace {

// The six hatches as 8 x 8 masks, a byte a row from the top, the leftmost
// pixel in the top bit: horizontal, vertical, falling diagonal (top left to
// bottom right), rising diagonal, cross, diagonal cross.
constexpr BYTE kHatches[6][8] = {
    {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00},
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},
    {0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08, 0x08},
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},
};

constexpr int kHatchCount = 6;

// The largest bitmap brush kept, in pixels (4 MB as colours): a one-bit
// bitmap grows 32-fold when its pixels become colours, so a few megabytes of
// file could otherwise ask for hundreds. Real brushes are far smaller.
constexpr size_t kMaxPatternPixels = size_t(1) << 20;

}  // namespace

bool Player::PatternBrush(const DibRef& dib, bool mono, Brush& out)
{
    DibReader reader;
    if (!reader.Open(dib))
        return false;
    auto pattern = std::make_shared<Pattern>();
    pattern->w = (int)reader.Width();
    pattern->h = (int)reader.Height();
    const size_t count = (size_t)pattern->w * (size_t)pattern->h;
    m_raster.Charge(count);
    if (m_raster.Spent() || count > kMaxPatternPixels)
        return false;
    pattern->px.resize(count);
    mono = mono && reader.Bits() <= 8;
    for (int y = 0; y < pattern->h; y++) {
        for (int x = 0; x < pattern->w; x++) {
            pattern->px[(size_t)y * pattern->w + x] =
                mono ? (reader.Index(x, y) == 0 ? 0 : 1) : reader.At(x, y);
        }
    }
    out = Brush();
    out.style = kBrushPattern;
    out.pattern = std::move(pattern);
    out.mono = mono;
    return true;
}

bool Player::MonoBrush(const BYTE* bits, size_t bytes, long w, long h, size_t stride, Brush& out)
{
    if (w <= 0 || h <= 0 || stride < ((size_t)w + 7) / 8 ||
        (uint64_t)w * (uint64_t)h > kMaxPatternPixels || stride * (size_t)h > bytes)
        return false;
    auto pattern = std::make_shared<Pattern>();
    pattern->w = (int)w;
    pattern->h = (int)h;
    m_raster.Charge((uint64_t)w * (uint64_t)h);
    pattern->px.resize((size_t)w * (size_t)h);
    for (long y = 0; y < h; y++) {
        const BYTE* row = bits + (size_t)y * stride;
        for (long x = 0; x < w; x++)
            pattern->px[(size_t)y * w + x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    out = Brush();
    out.style = kBrushPattern;
    out.pattern = std::move(pattern);
    out.mono = true;
    return true;
}

std::shared_ptr<const Pattern> Player::_brushPattern(const Brush& b)
{
    std::shared_ptr<const Pattern> p = _alignedPattern(b);
    if (!p)
        return p;
    // The brush origin, in canvas pixels: the patterns keep their size on
    // the canvas, so only the origin is fitted. Left at the canvas origin
    // it is where the pattern already starts.
    const double x = std::round(std::max(-1e9, std::min(1e9, m_state.brushOrg.x * m_fit.scaleX)));
    const double y = std::round(std::max(-1e9, std::min(1e9, m_state.brushOrg.y * m_fit.scaleY)));
    const long ox = std::isfinite(x) ? (long)x : 0, oy = std::isfinite(y) ? (long)y : 0;
    if (ox == p->ox && oy == p->oy)
        return p;
    auto moved = std::make_shared<Pattern>(*p);
    m_raster.Charge(moved->px.size());
    moved->ox = ox;
    moved->oy = oy;
    return moved;
}

std::shared_ptr<const Pattern> Player::_alignedPattern(const Brush& b)
{
    const COLORREF back =
        m_state.backgroundMode == kBackgroundOpaque ? m_state.background : kNoPixel;
    if (b.style == kBrushHatched && b.hatch >= 0 && b.hatch < kHatchCount) {
        auto p = std::make_shared<Pattern>();
        p->w = p->h = 8;
        p->px.resize(64);
        for (int y = 0; y < 8; y++) {
            for (int x = 0; x < 8; x++)
                p->px[(size_t)y * 8 + x] = (kHatches[b.hatch][y] >> (7 - x)) & 1 ? b.colour : back;
        }
        return p;
    }
    if (b.style != kBrushPattern || !b.pattern)
        return nullptr;
    if (!b.mono)
        return b.pattern;
    auto p = std::make_shared<Pattern>(*b.pattern);
    m_raster.Charge(p->px.size());
    for (COLORREF& c : p->px)
        c = c == 0 ? m_state.text : m_state.background;
    return p;
}

}  // namespace win32metafile
