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
// Positions are 64-bit: a caller's point or advances near the ends of the
// int range must not wrap text around to the other side.
struct Placed {
    UINT code = 0;
    int64_t x = 0;
};

LONG ClampLong(int64_t v)
{
    return LONG(std::min<int64_t>(std::max<int64_t>(v, INT_MIN), INT_MAX));
}

// A rectangle from 64-bit edges, each held to the int range.
RECT Box(int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    return RECT{ClampLong(left), ClampLong(top), ClampLong(right), ClampLong(bottom)};
}

// Splits bytes into characters (double-byte pairs of code page 936 kept
// whole) placed by the font's advances or, when dx is given, by the
// caller's: one entry a byte, a double-byte character taking the sum of its
// two. The run's width goes to `width`.
std::vector<Placed> PlaceRun(TextFont& font, const char* text, size_t count, const INT* dx,
                             int64_t& width)
{
    std::vector<Placed> out;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    int64_t pen = 0;
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

// Writes a stored value at pixel x of a row: the common depths in line,
// the rest through the GDI's own writer.
inline void Store(const gdi::PixelFormat& f, BYTE* row, int x, DWORD value)
{
    if (f.bpp == 32) {
        BYTE* p = row + size_t(x) * 4;
        p[0] = BYTE(value), p[1] = BYTE(value >> 8), p[2] = BYTE(value >> 16);
        p[3] = BYTE(value >> 24);
    } else if (f.bpp == 24) {
        BYTE* p = row + size_t(x) * 3;
        p[0] = BYTE(value), p[1] = BYTE(value >> 8), p[2] = BYTE(value >> 16);
    } else {
        gdi::WritePixel(f, row, x, value);
    }
}

// The coverage of pixel x of a glyph's row, 0 to 64.
inline int CoverageAt(const BYTE* row, bool gray, unsigned x)
{
    if (gray)
        return row[x];
    return (row[x >> 3] >> (7 - (x & 7))) & 1 ? 64 : 0;
}

// The painter of one call: holds the context for drawing and clips to a
// rectangle (the whole plane when none is set) on top of the context's clip.
// It writes the surface's rows itself, row by row within the drawable
// rectangles, as the context's own span filler would pixel by pixel.
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
        const gdi::Surface& s = m_access.surface();
        if (s.base == nullptr || r.left >= r.right || r.top >= r.bottom)
            return;
        m_access.Touch(r.left, r.top, r.right, r.bottom);
        const DWORD value = gdi::EncodeColor(*s.format, color);
        for (const RECT& band : m_access.visible()) {
            const LONG top = std::max(r.top, band.top), bottom = std::min(r.bottom, band.bottom);
            const LONG from = std::max(r.left, band.left), to = std::min(r.right, band.right);
            for (LONG y = top; y < bottom; ++y) {
                BYTE* row = s.Row(y);
                for (LONG x = from; x < to; ++x)
                    Store(*s.format, row, x, value);
            }
        }
    }

    // A glyph whose pen position is (penX, baseline): covered pixels take
    // the colour, partly covered ones the colour mixed over what is there.
    void Glyph(const GlyphImage& g, int64_t penX, int64_t baseline, COLORREF color)
    {
        const gdi::Surface& s = m_access.surface();
        if (!g.ok() || g.glyph->bits.empty() || s.base == nullptr)
            return;
        const GLYPHMETRICS& gm = g.gm();
        const int64_t left = penX + gm.gmptGlyphOrigin.x;
        const int64_t top = baseline - gm.gmptGlyphOrigin.y;
        // The glyph's box within the clip rectangle.
        const int64_t x0 = std::max<int64_t>(left, m_clip.left);
        const int64_t x1 = std::min<int64_t>(left + gm.gmBlackBoxX, m_clip.right);
        const int64_t y0 = std::max<int64_t>(top, m_clip.top);
        const int64_t y1 = std::min<int64_t>(top + gm.gmBlackBoxY, m_clip.bottom);
        if (x0 >= x1 || y0 >= y1)
            return;
        const size_t pitch = size_t(gdi::DibStride(gm.gmBlackBoxX, g.gray ? 8 : 1));
        const BYTE* bits = g.glyph->bits.data();
        if (m_access.window() != nullptr)
            _touchInk(bits, pitch, g.gray, left, top, x0, x1, y0, y1);
        const DWORD value = gdi::EncodeColor(*s.format, color);
        for (const RECT& band : m_access.visible()) {
            const int64_t top2 = std::max<int64_t>(y0, band.top);
            const int64_t bottom2 = std::min<int64_t>(y1, band.bottom);
            const int64_t from = std::max<int64_t>(x0, band.left);
            const int64_t to = std::min<int64_t>(x1, band.right);
            for (int64_t y = top2; y < bottom2; ++y) {
                const BYTE* src = bits + size_t(y - top) * pitch;
                BYTE* row = s.Row(int(y));
                for (int64_t x = from; x < to; ++x) {
                    const int a = CoverageAt(src, g.gray, unsigned(x - left));
                    if (a == 64)
                        Store(*s.format, row, int(x), value);
                    else if (a > 0)
                        Store(*s.format, row, int(x), _blend(row, int(x), color, a));
                }
            }
        }
    }

private:
    // Marks the box of a glyph's inked pixels within [x0, x1) x [y0, y1) as
    // drawn, drawable or not, as drawing them one by one would.
    void _touchInk(const BYTE* bits, size_t pitch, bool gray, int64_t left, int64_t top,
                   int64_t x0, int64_t x1, int64_t y0, int64_t y1)
    {
        int64_t minX = x1, maxX = x0, minY = y1, maxY = y0;
        for (int64_t y = y0; y < y1; ++y) {
            const BYTE* src = bits + size_t(y - top) * pitch;
            for (int64_t x = x0; x < x1; ++x) {
                if (CoverageAt(src, gray, unsigned(x - left)) == 0)
                    continue;
                minX = std::min(minX, x), maxX = std::max(maxX, x + 1);
                minY = std::min(minY, y), maxY = std::max(maxY, y + 1);
            }
        }
        if (minX < maxX)
            m_access.Touch(int(minX), int(minY), int(maxX), int(maxY));
    }

    // The stored value of the colour mixed over pixel x of a row by a of 64.
    DWORD _blend(const BYTE* row, int x, COLORREF color, int a)
    {
        const gdi::PixelFormat& f = *m_access.surface().format;
        const COLORREF under = gdi::DecodeColor(f, gdi::ReadPixel(f, row, x));
        auto mix = [a](int over, int below) { return (over * a + below * (64 - a) + 32) / 64; };
        return gdi::EncodeColor(f, RGB(mix(GetRValue(color), GetRValue(under)),
                                       mix(GetGValue(color), GetGValue(under)),
                                       mix(GetBValue(color), GetBValue(under))));
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
              int64_t width, int64_t x, int64_t y, bool glyphs)
{
    const TEXTMETRICA& tm = font.Metrics();
    if (ink.opaque)
        painter.Fill(Box(x, y, x + width, y + tm.tmHeight), ink.back);
    if (!glyphs)
        return;
    for (const Placed& p : run)
        painter.Glyph(font.Glyph(p.code), x + p.x, y + tm.tmAscent, ink.text);
    const Decoration d = DecorationOf(tm);
    if (tm.tmUnderlined)
        painter.Fill(Box(x, y + d.underlineTop, x + width, y + d.underlineTop + d.thickness),
                     ink.text);
    if (tm.tmStruckOut)
        painter.Fill(Box(x, y + d.strikeTop, x + width, y + d.strikeTop + d.thickness), ink.text);
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
    int64_t width = 0;
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
    // A rectangle wider or taller than the int range lays out as the widest
    // one; the floor keeps the layout's own sums in range.
    auto extent = [](LONG from, LONG to) {
        return int(std::max<int64_t>(INT_MIN / 2, ClampLong(int64_t(to) - from)));
    };
    const TextLayout layout =
        LayoutText(text, length, format, extent(rect->left, rect->right),
                   extent(rect->top, rect->bottom), size,
                   [&font](UINT code) { return font.Advance(code); });
    const bool single = (format & DT_SINGLELINE) != 0;
    const int result = single && (format & (DT_VCENTER | DT_BOTTOM)) ? layout.bottom : layout.height;
    if (flags & DT_CALCRECT) {
        rect->right = ClampLong(int64_t(rect->left) + layout.width);
        rect->bottom = ClampLong(int64_t(rect->top) + layout.height);
        return layout.height;
    }

    // Each run placed by the font, as ExtTextOutA would place it.
    std::vector<std::vector<std::vector<Placed>>> placed(layout.lines.size());
    std::vector<std::vector<int64_t>> widths(layout.lines.size());
    for (size_t i = 0; i < layout.lines.size(); ++i) {
        for (const TextRun& r : layout.lines[i].runs) {
            int64_t w = 0;
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
        const int64_t x = int64_t(rect->left) + line.x, y = int64_t(rect->top) + line.y;
        // In opaque mode the gaps that tabs leave are background too.
        if (ink.opaque && glyphs)
            painter.Fill(Box(x, y, x + line.width, y + tm.tmHeight), ink.back);
        Ink runInk = ink;
        runInk.opaque = false;
        for (size_t k = 0; k < line.runs.size(); ++k)
            PaintRun(painter, font, runInk, placed[i][k], widths[i][k], x + line.runs[k].x, y,
                     glyphs);
        if (underlines)
            for (const TextUnderline& u : line.underlines)
                painter.Fill(Box(x + u.x, y + d.underlineTop, x + u.x + u.width,
                                 y + d.underlineTop + d.thickness),
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
    int64_t width = 0;
    PlaceRun(font, text, size_t(count), nullptr, width);
    size->cx = ClampLong(width);
    size->cy = font.Metrics().tmHeight;
    return TRUE;
}
