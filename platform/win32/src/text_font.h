// The font of a device context as text output needs it: metrics, advances
// and glyph images, read through the font calls before anything is drawn
// (drawing holds the GDI lock, under which no font call may be made). Not
// installed: nothing outside kplatform sees it.
#pragma once

#include <windows.h>

#include "font_cache.h"

#include <map>
#include <memory>

namespace win32font {
struct Realized;
}

namespace win32text {

// One glyph as GetGlyphOutlineA gives it: 1-bit or 65-level rows, top-down,
// each padded to 4 bytes; the font's cache holds the rows.
struct GlyphImage {
    win32font::GlyphPtr glyph;
    bool gray = false;

    // false: the code has no glyph; it draws nothing and advances 0.
    bool ok() const { return glyph && glyph->ok; }
    const GLYPHMETRICS& gm() const { return glyph->gm; }
    // Coverage of pixel (x, y) of the black box, 0 to 64.
    int Coverage(unsigned x, unsigned y) const;
};

class TextFont {
public:
    TextFont() = default;
    TextFont(const TextFont&) = delete;
    TextFont& operator=(const TextFont&) = delete;
    ~TextFont();

    // Reads the metrics of the font selected into dc; false when the
    // context is unknown or no face can be opened.
    bool Load(HDC dc);

    const TEXTMETRICA& Metrics() const { return m_tm; }
    // Whether glyphs are drawn with soft edges: only for a font made with
    // antialiased or ClearType quality, as a game drawing into a colour-keyed
    // surface needs hard edges by default.
    bool Smooth() const { return m_smooth; }
    // The advance of a character (a byte or a double-byte code).
    int Advance(UINT code);
    const GlyphImage& Glyph(UINT code);

private:
    win32font::GlyphPtr _read(UINT code, bool mono);

    // The matched font, held for the call: a font deleted meanwhile leaves
    // it whole. Used and released under the font registry's lock only.
    std::shared_ptr<win32font::Realized> m_face;
    TEXTMETRICA m_tm = {};
    bool m_smooth = false;
    std::map<UINT, int> m_advances;
    std::map<UINT, GlyphImage> m_glyphs;
};

}  // namespace win32text
