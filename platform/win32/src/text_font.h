// The font of a device context as text output needs it: metrics, advances
// and glyph images, read through the font calls before anything is drawn
// (drawing holds the GDI lock, under which no font call may be made). Not
// installed: nothing outside kplatform sees it.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

namespace win32text {

// One glyph as GetGlyphOutlineA gives it: 1-bit or 65-level rows, top-down,
// each padded to 4 bytes.
struct GlyphImage {
    GLYPHMETRICS gm = {};
    std::vector<BYTE> bits;
    bool gray = false;
    bool ok = false;  // false: the code has no glyph; it draws nothing and advances 0

    // Coverage of pixel (x, y) of the black box, 0 to 64.
    int Coverage(unsigned x, unsigned y) const;
};

class TextFont {
public:
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
    HDC m_dc = nullptr;
    TEXTMETRICA m_tm = {};
    bool m_smooth = false;
    std::map<UINT, int> m_advances;
    std::map<UINT, GlyphImage> m_glyphs;
};

}  // namespace win32text
