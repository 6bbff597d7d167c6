// Text output of the Win32 GDI subset: ExtTextOutA draws a run of
// characters at a point, DrawTextA lays text out in a rectangle (text_layout)
// and draws it line by line, GetTextExtentPoint32A measures a run. Glyphs
// come from the context's font (text_font); pixels go through the context's
// clip into its bitmap or window surface.
#include "text_font.h"
#include "text_layout.h"

#include "desktop_internal.h"
#include "gdi_internal.h"

#include <algorithm>
#include <climits>
#include <cstring>

using namespace win32text;

namespace {

// A character of a run with its pen position from the run's start.
struct Placed {
    UINT code = 0;
    int x = 0;
};

// Splits bytes into characters (double-byte pairs of code page 936 kept
// whole) placed by the font's advances or, when dx is given, by the
// caller's: one entry a byte, a double-byte character taking the sum of its
// two. The run's width goes to `width`.
std::vector<Placed> PlaceRun(TextFont& font, const char* text, size_t count, const INT* dx,
                             int& width)
{
    std::vector<Placed> out;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    int pen = 0;
    size_t i = 0;
    while (i < count) {
        Placed p;
        p.x = pen;
        size_t len = 1;
        if (i + 1 < count && IsDoubleByte(s[i], s[i + 1])) {
            p.code = UINT(s[i]) << 8 | s[i + 1];
            len = 2;
        } else {
            p.code = s[i];
        }
        if (dx != nullptr) {
            for (size_t k = 0; k < len; ++k)
                pen += dx[i + k];
        } else {
            pen += font.Advance(p.code);
        }
        out.push_back(p);
        i += len;
    }
    width = pen;
    return out;
}

RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
    return r;
}

// Everything a call paints with, fixed before the GDI lock is taken.
struct Ink {
    COLORREF text = 0;
    COLORREF back = 0;
    bool opaque = false;  // background mode OPAQUE
};

// The painter of one call: holds the context for drawing and clips to a
// rectangle (the whole plane when none is set) on top of the context's clip.
class Painter {
public:
    explicit Painter(HDC dc) : m_access(dc) {}
    bool ok() { return m_access.ok(); }
    Ink ink()
    {
        Ink k;
        k.text = m_access.dc().textColor;
        k.back = m_access.dc().bkColor;
        k.opaque = m_access.dc().bkMode == OPAQUE;
        return k;
    }
    void ClipTo(const RECT& r) { m_clip = r; }
    void NoClip() { m_clip = {INT_MIN, INT_MIN, INT_MAX, INT_MAX}; }

    void Fill(const RECT& rect, COLORREF color)
    {
        const RECT r = Intersect(rect, m_clip);
        for (LONG y = r.top; y < r.bottom; ++y)
            m_access.FillSpan(r.left, r.right, y, color);
    }

    // A glyph whose pen position is (penX, baseline).
    void Glyph(const GlyphImage& g, int penX, int baseline, COLORREF color)
    {
        if (!g.ok())
            return;
        const GLYPHMETRICS& gm = g.gm();
        const int left = penX + gm.gmptGlyphOrigin.x;
        const int top = baseline - gm.gmptGlyphOrigin.y;
        for (unsigned gy = 0; gy < gm.gmBlackBoxY; ++gy) {
            const int y = top + int(gy);
            if (y < m_clip.top || y >= m_clip.bottom)
                continue;
            for (unsigned gx = 0; gx < gm.gmBlackBoxX; ++gx) {
                const int x = left + int(gx);
                if (x < m_clip.left || x >= m_clip.right)
                    continue;
                const int a = g.Coverage(gx, gy);
                if (a == 64)
                    m_access.PutPixel(x, y, color);
                else if (a > 0)
                    m_access.PutPixel(x, y, Blend(x, y, color, a));
            }
        }
    }

private:
    // The colour mixed over what the surface holds at (x, y) by a of 64.
    COLORREF Blend(int x, int y, COLORREF color, int a)
    {
        const gdi::Surface& s = m_access.surface();
        const RECT& b = m_access.bounds();  // where the surface has pixels
        COLORREF under = 0;
        if (s.base != nullptr && x >= b.left && y >= b.top && x < b.right && y < b.bottom)
            under = gdi::DecodeColor(*s.format, gdi::ReadPixel(*s.format, s.Row(y), x));
        auto mix = [a](int over, int below) { return (over * a + below * (64 - a) + 32) / 64; };
        return RGB(mix(GetRValue(color), GetRValue(under)), mix(GetGValue(color), GetGValue(under)),
                   mix(GetBValue(color), GetBValue(under)));
    }

    gdi::DcAccess m_access;
    RECT m_clip = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
};

// The lines a font's underline and strikeout take, from the cell's top.
struct Decoration {
    int underlineTop, strikeTop, thickness;
};

Decoration DecorationOf(const TEXTMETRICA& tm)
{
    Decoration d;
    d.thickness = std::max<int>(1, (tm.tmHeight + 10) / 20);
    d.underlineTop = std::min<int>(tm.tmAscent + 1, tm.tmHeight - d.thickness);
    d.strikeTop = tm.tmAscent - tm.tmAscent / 3;
    return d;
}

// Draws placed characters with their cell's top-left at (x, y): the cells'
// background in opaque mode, the glyphs, and the font's underline and
// strikeout.
void PaintRun(Painter& painter, TextFont& font, const Ink& ink, const std::vector<Placed>& run,
              int width, int x, int y, bool glyphs)
{
    const TEXTMETRICA& tm = font.Metrics();
    if (ink.opaque)
        painter.Fill(RECT{x, y, x + width, y + tm.tmHeight}, ink.back);
    if (!glyphs)
        return;
    for (const Placed& p : run)
        painter.Glyph(font.Glyph(p.code), x + p.x, y + tm.tmAscent, ink.text);
    const Decoration d = DecorationOf(tm);
    if (tm.tmUnderlined)
        painter.Fill(RECT{x, y + d.underlineTop, x + width, y + d.underlineTop + d.thickness},
                     ink.text);
    if (tm.tmStruckOut)
        painter.Fill(RECT{x, y + d.strikeTop, x + width, y + d.strikeTop + d.thickness}, ink.text);
}

// Renders every glyph a run needs, so painting asks nothing of the fonts.
void Prepare(TextFont& font, const std::vector<Placed>& run)
{
    for (const Placed& p : run)
        font.Glyph(p.code);
}

}  // namespace

BOOL WINAPI ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text,
                        UINT count, const INT* dx)
{
    if (desktop::detail::ShouldFail("ExtTextOutA"))
        return FALSE;
    if (text == nullptr && count != 0)
        return FALSE;
    // Without text the call only paints the rectangle, which needs no font.
    TextFont font;
    if (count != 0 && !font.Load(dc))
        return FALSE;
    int width = 0;
    const std::vector<Placed> run = PlaceRun(font, text, count, dx, width);
    Prepare(font, run);

    Painter painter(dc);
    if (!painter.ok())
        return FALSE;
    const Ink ink = painter.ink();
    if (rect != nullptr && (options & ETO_OPAQUE))
        painter.Fill(*rect, ink.back);
    if (rect != nullptr && (options & ETO_CLIPPED))
        painter.ClipTo(*rect);
    if (count != 0)
        PaintRun(painter, font, ink, run, width, x, y, true);
    return TRUE;
}

int WINAPI DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format)
{
    if (desktop::detail::ShouldFail("DrawTextA"))
        return 0;
    if (text == nullptr || rect == nullptr)
        return 0;
    const size_t length = count < 0 ? std::strlen(text) : size_t(count);
    TextFont font;
    if (!font.Load(dc))
        return 0;
    // With DT_TABSTOP the second byte is the tab size, not flags.
    const UINT flags = (format & DT_TABSTOP) ? (format & ~0xFF00u) : format;
    const TEXTMETRICA& tm = font.Metrics();
    TextFontSize size;
    size.lineHeight = tm.tmHeight + ((flags & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
    size.averageCharWidth = tm.tmAveCharWidth;
    const TextLayout layout =
        LayoutText(text, length, format, rect->right - rect->left, rect->bottom - rect->top, size,
                   [&font](UINT code) { return font.Advance(code); });
    const bool single = (format & DT_SINGLELINE) != 0;
    const int result = single && (format & (DT_VCENTER | DT_BOTTOM)) ? layout.bottom : layout.height;
    if (flags & DT_CALCRECT) {
        rect->right = rect->left + layout.width;
        rect->bottom = rect->top + layout.height;
        return layout.height;
    }

    // Each run placed by the font, as ExtTextOutA would place it.
    std::vector<std::vector<std::vector<Placed>>> placed(layout.lines.size());
    std::vector<std::vector<int>> widths(layout.lines.size());
    for (size_t i = 0; i < layout.lines.size(); ++i) {
        for (const TextRun& r : layout.lines[i].runs) {
            int w = 0;
            placed[i].push_back(PlaceRun(font, r.text.data(), r.text.size(), nullptr, w));
            widths[i].push_back(w);
            Prepare(font, placed[i].back());
        }
    }

    Painter painter(dc);
    if (!painter.ok())
        return 0;
    const Ink ink = painter.ink();
    if (!(flags & DT_NOCLIP))
        painter.ClipTo(*rect);
    const bool glyphs = !(flags & DT_PREFIXONLY);
    const bool underlines = !(flags & DT_HIDEPREFIX);
    const Decoration d = DecorationOf(tm);
    for (size_t i = 0; i < layout.lines.size(); ++i) {
        const TextLine& line = layout.lines[i];
        const int x = rect->left + line.x, y = rect->top + line.y;
        // In opaque mode the gaps that tabs leave are background too.
        if (ink.opaque && glyphs)
            painter.Fill(RECT{x, y, x + line.width, y + tm.tmHeight}, ink.back);
        Ink runInk = ink;
        runInk.opaque = false;
        for (size_t k = 0; k < line.runs.size(); ++k)
            PaintRun(painter, font, runInk, placed[i][k], widths[i][k], x + line.runs[k].x, y,
                     glyphs);
        if (underlines)
            for (const TextUnderline& u : line.underlines)
                painter.Fill(RECT{x + u.x, y + d.underlineTop, x + u.x + u.width,
                                  y + d.underlineTop + d.thickness},
                             ink.text);
    }
    return result;
}

BOOL WINAPI GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, LPSIZE size)
{
    if (size == nullptr || count < 0 || (text == nullptr && count != 0))
        return FALSE;
    TextFont font;
    if (!font.Load(dc))
        return FALSE;
    int width = 0;
    PlaceRun(font, text, size_t(count), nullptr, width);
    size->cx = width;
    size->cy = font.Metrics().tmHeight;
    return TRUE;
}
