// Text output of the metafile player. Glyphs come from the platform's font
// code (the faces it matches and the 1-bit glyphs GetGlyphOutlineA gives),
// so upright text lands on the same pixels as ExtTextOutA with the same
// font at the same place. Each glyph is laid along the baseline as the
// mapping, the world transform and the font's escapement turn it: every
// canvas pixel whose centre falls on an inked glyph pixel takes the text
// colour.
//
// The font registry's lock is taken on its own while the glyphs are read:
// the player may hold the drawing lock, under which the font calls, which
// ask the desktop first, must not be made.
#include "metafile_player.h"

#include "font_internal.h"
#include "metafile_text_path.h"

#include <algorithm>
#include <cmath>

namespace win32metafile {

namespace {

// Fonts taller than this many pixels are drawn at it: a glyph of the
// platform's largest size takes tens of megabytes.
// The pixels one play may render glyphs of and draw them over, in all: a
// few pages of ordinary text, where a small hostile file asking for
// thousands of huge glyphs would take minutes. Text past it is not drawn.
// Under the fuzzer, whose canvases are a few hundred pixels, glyphs of a
// few times their height, a few of the largest or hundreds of small ones:
// the same code, in milliseconds.
#ifdef KESTREL_FUZZ_LIMITS
constexpr long kMaxTextPixels = 96;
constexpr double kTextWork = 1 << 17;
#else
constexpr long kMaxTextPixels = 1024;
constexpr double kTextWork = 64e6;
#endif
// What a point of a glyph outline added to a path counts against the
// allowance: a path of a million points is as much as a play may build.
constexpr double kPathPointWork = 64;
// Up to this cell height the advances are the grey glyphs' (as ExtTextOutA
// measures, where hinting may differ by a pixel); above it the 1-bit
// glyphs' own, so a large glyph is rendered once.
constexpr long kGreyAdvanceHeight = 48;

struct Vec {
    double x, y;
};

Vec Add(Vec a, Vec b, double k)
{
    return {a.x + b.x * k, a.y + b.y * k};
}

// The glyphs and metrics of a run, read under the font registry's lock.
// The glyphs' bits are the 1-bit glyphs'; each glyph not in the face's
// cache yet costs its cell's area from `work`, and once that is spent the
// rest of the run is left out.
bool ReadGlyphs(const LOGFONTA& lf, const std::vector<UINT>& codes, TEXTMETRICA& tm,
                std::vector<win32font::GlyphPtr>& glyphs, std::vector<int>& advances, double& work)
{
    win32font::Registry& r = win32font::Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    win32font::Font font;  // not in the registry: no handle names it
    font.lf = lf;
    if (!win32font::Realize(r, font))
        return false;
    tm = font.realized->tm;
    const bool grey = tm.tmHeight <= kGreyAdvanceHeight;
    const double cell = (double)tm.tmHeight * tm.tmHeight;
    win32font::GlyphCache& cache = font.realized->glyphs;
    for (UINT code : codes) {
        const bool cached = cache.Find(code, true) && (!grey || cache.Find(code, false));
        if (!cached) {
            work += grey ? 2 * cell : cell;
            if (work > kTextWork)
                break;
        }
        const win32font::GlyphPtr mono = win32font::GlyphOf(r, *font.realized, code, true);
        const win32font::GlyphPtr measured =
            grey ? win32font::GlyphOf(r, *font.realized, code, false) : mono;
        advances.push_back(measured->ok ? measured->gm.gmCellIncX : 0);
        glyphs.push_back(mono);
    }
    return true;  // the face is let go here, under the lock
}

}  // namespace

void Player::_textBox(const PointD corners[4], COLORREF colour)
{
    std::vector<Figure> f = {Figure(corners, corners + 4)};
    m_raster.Fill(f, true, colour);
}

bool Player::Text(const TextRun& run)
{
    const LogicalFont& font = m_state.font;
    // Under a right-to-left layout the string is laid out through the map
    // without the layout's mirror, and its box mirrored afterwards.
    const bool rtl = (m_state.layout & kLayoutRtl) != 0;
    const double canvasWidth = m_raster.Width();
    Affine a = m_toCanvas;
    if (rtl) {
        a.m11 = -a.m11;
        a.m21 = -a.m21;
        a.dx = canvasWidth - a.dx;
    }
    // Canvas pixels a logical unit along each axis.
    const double sx = std::hypot(a.m11, a.m12), sy = std::hypot(a.m21, a.m22);
    if (!(sx > 0) || !(sy > 0) || !std::isfinite(sx) || !std::isfinite(sy))
        return true;
    long pixels = 0;
    if (!font.stock && font.height != 0) {
        const double h = std::min(std::fabs((double)font.height) * sy, (double)kMaxTextPixels);
        pixels = std::max(1L, (long)std::floor(h + 0.5));
        if (font.height < 0)
            pixels = -pixels;
    }
    TEXTMETRICA tm = {};
    std::vector<win32font::GlyphPtr> glyphs;
    std::vector<int> advances;
    const LOGFONTA lf = PlatformFont(font, pixels);
    if (!ReadGlyphs(lf, run.codes, tm, glyphs, advances, m_textWork))
        return false;

    // The baseline's direction and the glyphs' downward one on the canvas.
    // A mapping that turns y upwards still draws text upright.
    Vec along = {a.m11 / sx, a.m12 / sx}, down = {a.m21 / sy, a.m22 / sy};
    if (along.x * down.y - along.y * down.x < 0)
        down = {-down.x, -down.y};
    if (font.escapement % 3600 != 0) {
        const double t = font.escapement / 10.0 * M_PI / 180;
        const Vec b = {std::cos(t) * along.x - std::sin(t) * down.x,
                       std::cos(t) * along.y - std::sin(t) * down.y};
        const Vec d = {std::sin(t) * along.x + std::cos(t) * down.x,
                       std::sin(t) * along.y + std::cos(t) * down.y};
        along = b;
        down = d;
    }
    const bool upright = along.x == 1 && along.y == 0 && down.x == 0 && down.y == 1;
    // A font of a given width has its glyphs stretched so that the average
    // character is that wide.
    double stretch = 1;
    if (font.width != 0 && tm.tmAveCharWidth > 0)
        stretch =
            std::max(0.05, std::min(20.0, std::fabs((double)font.width) * sx / tm.tmAveCharWidth));
    Vec wide = {along.x * stretch, along.y * stretch};

    // Pen positions in pixels along the baseline: the record's spacing, or
    // the font's advances and the context's character extra.
    // Justification spreads its extra evenly over the spaces, the first
    // ones taking a unit each of what does not divide.
    std::vector<double> pen(glyphs.size() + 1, 0);
    const long breaks = m_state.breakCount > 0 ? m_state.breakCount : 0;
    long breaksSeen = 0;
    for (size_t i = 0; i < glyphs.size(); i++) {
        double step = advances[i] * stretch + m_state.charExtra * sx;
        if (i < run.dx.size())
            step = run.dx[i] * sx;
        else if (breaks > 0 && i < run.codes.size() && run.codes[i] == ' ') {
            const long extra =
                m_state.breakExtra / breaks + (breaksSeen < std::labs(m_state.breakExtra % breaks)
                                                   ? (m_state.breakExtra < 0 ? -1 : 1)
                                                   : 0);
            step += extra * sx;
            breaksSeen++;
        }
        pen[i + 1] = pen[i] + step;
    }
    const double width = pen.back();

    // Where the run starts: its reference point moved by the alignment.
    const bool useCp = (m_state.textAlign & kAlignUpdateCp) != 0;
    Vec ref;
    if (useCp)
        a.Apply(m_state.position.x, m_state.position.y, ref.x, ref.y);
    else
        a.Apply(run.x, run.y, ref.x, ref.y);
    const unsigned horizontal = m_state.textAlign & kAlignHorizontal;
    const double shift = horizontal == kAlignRight    ? -width
                         : horizontal == kAlignCenter ? -width / 2
                                                      : 0;
    Vec start = Add(ref, along, shift);
    const unsigned vertical = m_state.textAlign & kAlignVertical;
    const double drop = vertical == kAlignBaseline ? 0
                        : vertical == kAlignBottom ? -(double)tm.tmDescent
                                                   : (double)tm.tmAscent;
    if (useCp) {
        Vec next = horizontal == kAlignRight    ? Add(ref, along, -width)
                   : horizontal == kAlignCenter ? ref
                                                : Add(ref, along, width);
        if (rtl)
            next.x = canvasWidth - next.x;
        double lx, ly;
        m_fromCanvas.Apply(next.x, next.y, lx, ly);
        if (std::isfinite(lx) && std::isfinite(ly))
            m_state.position = {(LONG)std::floor(std::max(-1e9, std::min(1e9, lx)) + 0.5),
                                (LONG)std::floor(std::max(-1e9, std::min(1e9, ly)) + 0.5)};
    }

    if (rtl) {
        // Windows mirrors a right-to-left context's text as a whole: the
        // string's box lands where the mirror puts it, so the reference point
        // of TA_LEFT is the box's right edge on the device and that of
        // TA_RIGHT its left edge (left and right read from the layout's
        // side), while the glyphs keep their shapes and their order, the
        // first one leftmost. Only TA_RTLREADING with a Hebrew or Arabic
        // face would reverse the reading order, and no face the player
        // draws from is one.
        const Vec end = Add(start, along, width);
        start = {canvasWidth - end.x, end.y};
        along = {along.x, -along.y};
        down = {-down.x, down.y};
        wide = {along.x * stretch, along.y * stretch};
    }
    Vec base = Add(start, down, drop);
    if (upright) {
        // Whole pixels, as ExtTextOutA places text.
        base = {std::floor(base.x + 0.5), std::floor(base.y + 0.5)};
    }

    if (m_inPath) {
        // Inside a path only the glyphs' outlines are kept, closed figures
        // for the path to fill or stroke.
        std::vector<std::vector<Figure>> outlines;
        const std::vector<UINT> drawn(run.codes.begin(), run.codes.begin() + glyphs.size());
        if (!GlyphOutlines(lf, drawn, outlines))
            return false;
        for (size_t i = 0; i < outlines.size(); i++) {
            const Vec penAt = Add(base, along, pen[i]);
            for (const Figure& f : outlines[i])
                m_textWork += kPathPointWork * (double)f.size();
            if (m_textWork > kTextWork)
                break;
            for (Figure& f : outlines[i]) {
                for (PointD& p : f) {
                    const Vec q = Add(Add(penAt, wide, p.x), down, p.y);
                    p = {q.x, q.y};
                }
                _addFigure(f, true);
            }
        }
        return true;
    }
    if (run.hasRect && (run.options & kTextOpaque)) {
        const PointD c[4] = {_map(run.rect.left, run.rect.top), _map(run.rect.right, run.rect.top),
                             _map(run.rect.right, run.rect.bottom),
                             _map(run.rect.left, run.rect.bottom)};
        _textBox(c, m_state.background);
    }
    const bool clipped = run.hasRect && (run.options & kTextClipped);
    if (clipped) {
        const RECT r = _deviceRect(run.rect.left, run.rect.top, run.rect.right, run.rect.bottom);
        m_raster.Charge(m_state.clip ? m_state.clip->Size() : 0);
        m_raster.SetClip(_clipOrCanvas()->Intersect(r));
    }
    // The cells' background in opaque mode: from the top of the cell.
    const Vec top = Add(base, down, -(double)tm.tmAscent);
    auto band = [&](double from, double to, double y0, double y1, COLORREF colour) {
        const Vec p = Add(top, along, from), q = Add(top, along, to);
        const PointD c[4] = {{Add(p, down, y0).x, Add(p, down, y0).y},
                             {Add(q, down, y0).x, Add(q, down, y0).y},
                             {Add(q, down, y1).x, Add(q, down, y1).y},
                             {Add(p, down, y1).x, Add(p, down, y1).y}};
        _textBox(c, colour);
    };
    if (m_state.backgroundMode == 2 && width != 0)
        band(std::min(0.0, width), std::max(0.0, width), 0, tm.tmHeight, m_state.background);

    // Each glyph: canvas pixels mapped back into its black box.
    const double det = wide.x * down.y - wide.y * down.x;
    for (size_t i = 0; i < glyphs.size(); i++) {
        const win32font::CachedGlyph& g = *glyphs[i];
        if (!g.ok || g.bits.empty())
            continue;
        const GLYPHMETRICS& gm = g.gm;
        const Vec penAt = Add(base, along, upright ? std::floor(pen[i] + 0.5) : pen[i]);
        // The black box's corner, and its corners on the canvas.
        const Vec corner = Add(Add(penAt, wide, gm.gmptGlyphOrigin.x), down, -gm.gmptGlyphOrigin.y);
        double x0 = 1e18, x1 = -1e18, y0 = 1e18, y1 = -1e18;
        for (int k = 0; k < 4; k++) {
            const Vec c = Add(Add(corner, wide, (k & 1) ? gm.gmBlackBoxX : 0), down,
                              (k & 2) ? gm.gmBlackBoxY : 0);
            x0 = std::min(x0, c.x), x1 = std::max(x1, c.x);
            y0 = std::min(y0, c.y), y1 = std::max(y1, c.y);
        }
        const double cw = m_raster.Width(), ch = m_raster.Height();
        const long i0 = (long)std::min(cw, std::max(0.0, std::floor(x0))),
                   i1 = (long)std::max(0.0, std::min(cw, std::ceil(x1)));
        const long j0 = (long)std::min(ch, std::max(0.0, std::floor(y0))),
                   j1 = (long)std::max(0.0, std::min(ch, std::ceil(y1)));
        if (i0 < i1 && j0 < j1) {
            m_textWork += (double)(i1 - i0) * (j1 - j0);
            if (m_textWork > kTextWork)
                break;
        }
        const size_t pitch = (size_t(gm.gmBlackBoxX) + 31) / 32 * 4;
        for (long y = j0; y < j1; y++) {
            long runFrom = -1;
            for (long x = i0; x <= i1; x++) {
                bool ink = false;
                if (x < i1) {
                    const double px = x + 0.5 - corner.x, py = y + 0.5 - corner.y;
                    const double u = (px * down.y - py * down.x) / det;
                    const double v = (wide.x * py - wide.y * px) / det;
                    if (u >= 0 && v >= 0 && u < gm.gmBlackBoxX && v < gm.gmBlackBoxY) {
                        const size_t gx = (size_t)u, gy = (size_t)v;
                        ink = (g.bits[gy * pitch + gx / 8] >> (7 - gx % 8)) & 1;
                    }
                }
                if (ink && runFrom < 0)
                    runFrom = x;
                if (!ink && runFrom >= 0) {
                    m_raster.Span((int)y, (int)runFrom, (int)x, m_state.text);
                    runFrom = -1;
                }
            }
        }
    }
    // Underline and strike-out, as the platform draws them.
    const int thickness = std::max<int>(1, (tm.tmHeight + 10) / 20);
    if (tm.tmUnderlined) {
        const int at = std::min<int>(tm.tmAscent + 1, tm.tmHeight - thickness);
        band(std::min(0.0, width), std::max(0.0, width), at, at + thickness, m_state.text);
    }
    if (tm.tmStruckOut) {
        const int at = tm.tmAscent - tm.tmAscent / 3;
        band(std::min(0.0, width), std::max(0.0, width), at, at + thickness, m_state.text);
    }
    if (clipped)
        m_raster.SetClip(m_drawClip);  // the context's own clip, already combined
    return true;
}

}  // namespace win32metafile
