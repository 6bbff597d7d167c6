// A device context's font for text output: metrics, advances and glyphs,
// read from the font's glyph cache once per text call.
#include "text_font.h"

#include "font_internal.h"
#include "gdi_internal.h"

namespace win32text {

namespace {

// LOGFONTA quality that asks for ClearType; drawn here as plain antialiasing.
const BYTE kClearTypeQuality = 5;

}  // namespace

int GlyphImage::Coverage(unsigned x, unsigned y) const
{
    if (!ok() || glyph->bits.empty() || x >= gm().gmBlackBoxX || y >= gm().gmBlackBoxY)
        return 0;
    const std::vector<BYTE>& bits = glyph->bits;
    if (gray) {
        const size_t pitch = size_t(gdi::DibStride(gm().gmBlackBoxX, 8));
        return bits[y * pitch + x];
    }
    const size_t pitch = size_t(gdi::DibStride(gm().gmBlackBoxX, 1));
    return (bits[y * pitch + x / 8] >> (7 - x % 8)) & 1 ? 64 : 0;
}

TextFont::~TextFont()
{
    if (!m_face)
        return;
    // The last reference frees the faces, which only the lock's holder may.
    win32font::Registry& r = win32font::Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    m_face.reset();
}

bool TextFont::Load(HDC dc)
{
    const bool desktopDc = win32font::IsDesktopDc(dc);  // the desktop's lock comes first
    win32font::Registry& r = win32font::Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    win32font::Font* font = win32font::RealizedFontOf(r, dc, desktopDc);
    if (font == nullptr)
        return false;
    m_face = font->realized;
    m_tm = m_face->tm;
    const BYTE quality = font->lf.lfQuality;
    m_smooth = quality == ANTIALIASED_QUALITY || quality == kClearTypeQuality;
    return true;
}

win32font::GlyphPtr TextFont::_read(UINT code, bool mono)
{
    win32font::Registry& r = win32font::Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    return win32font::GlyphOf(r, *m_face, code, mono);
}

int TextFont::Advance(UINT code)
{
    auto it = m_advances.find(code);
    if (it != m_advances.end())
        return it->second;
    // As GGO_METRICS measures: the grey glyph's advance.
    const win32font::GlyphPtr g = _read(code, false);
    const int advance = g->ok ? g->gm.gmCellIncX : 0;
    m_advances[code] = advance;
    return advance;
}

const GlyphImage& TextFont::Glyph(UINT code)
{
    auto it = m_glyphs.find(code);
    if (it != m_glyphs.end())
        return it->second;
    GlyphImage& g = m_glyphs[code];
    g.gray = m_smooth;
    g.glyph = _read(code, !m_smooth);
    return g;
}

}  // namespace win32text
