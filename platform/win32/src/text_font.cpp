// A device context's font for text output: metrics, advances and glyphs,
// each asked of the font calls once per text call.
#include "text_font.h"

#include "font_internal.h"
#include "gdi_internal.h"

namespace win32text {

namespace {

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
// LOGFONTA quality that asks for ClearType; drawn here as plain antialiasing.
const BYTE kClearTypeQuality = 5;

// The quality the selected font was made with.
BYTE QualityOf(HDC dc)
{
    const HFONT handle = gdi::SelectedFont(dc);
    win32font::Registry& r = win32font::Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    const win32font::Font* font = r.FindFont(handle);
    return font != nullptr ? font->lf.lfQuality : BYTE(DEFAULT_QUALITY);
}

}  // namespace

int GlyphImage::Coverage(unsigned x, unsigned y) const
{
    if (!ok || bits.empty() || x >= gm.gmBlackBoxX || y >= gm.gmBlackBoxY)
        return 0;
    if (gray) {
        const size_t pitch = (size_t(gm.gmBlackBoxX) + 3) / 4 * 4;
        return bits[y * pitch + x];
    }
    const size_t pitch = (size_t(gm.gmBlackBoxX) + 31) / 32 * 4;
    return (bits[y * pitch + x / 8] >> (7 - x % 8)) & 1 ? 64 : 0;
}

bool TextFont::Load(HDC dc)
{
    if (!GetTextMetricsA(dc, &m_tm))
        return false;
    m_dc = dc;
    const BYTE quality = QualityOf(dc);
    m_smooth = quality == ANTIALIASED_QUALITY || quality == kClearTypeQuality;
    return true;
}

int TextFont::Advance(UINT code)
{
    auto it = m_advances.find(code);
    if (it != m_advances.end())
        return it->second;
    GLYPHMETRICS gm = {};
    const DWORD got = GetGlyphOutlineA(m_dc, code, GGO_METRICS, &gm, 0, nullptr, &kIdentity);
    const int advance = got == GDI_ERROR ? 0 : gm.gmCellIncX;
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
    const UINT format = m_smooth ? GGO_GRAY8_BITMAP : GGO_BITMAP;
    const DWORD size = GetGlyphOutlineA(m_dc, code, format, &g.gm, 0, nullptr, &kIdentity);
    if (size == GDI_ERROR)
        return g;
    g.bits.resize(size);
    if (size != 0 &&
        GetGlyphOutlineA(m_dc, code, format, &g.gm, size, g.bits.data(), &kIdentity) != size)
        return g;
    g.ok = true;
    return g;
}

}  // namespace win32text
