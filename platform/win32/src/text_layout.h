// Text layout as DrawTextA does it: lines broken at line breaks and, with
// DT_WORDBREAK, between words; '&' prefixes; expanded tabs; each line placed
// inside the formatting rectangle by the alignment flags.
//
// Pure: the width of each character comes from the caller, so the rules are
// tested without fonts and the drawing code only measures and paints. Not
// installed: nothing outside kplatform sees it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace win32text {

// The advance of one character in pixels: a byte, or a double-byte code of
// code page 936 (lead byte x 256 + trail byte).
typedef std::function<int(UINT code)> AdvanceFn;

// A piece of a line between tabs, drawn starting `x` pixels from the line's
// left edge.
struct TextRun {
    int x = 0;
    std::string text;
};

// A prefixed character's underline, relative to the line's left edge.
struct TextUnderline {
    int x = 0;
    int width = 0;
};

struct TextLine {
    std::vector<TextRun> runs;
    std::vector<TextUnderline> underlines;
    int width = 0;   // from the line's left edge to the end of its last character
    int x = 0;       // the line's left edge, from the rectangle's left
    int y = 0;       // the line's top, from the rectangle's top
};

struct TextLayout {
    std::vector<TextLine> lines;
    int width = 0;   // the widest line
    int height = 0;  // every line's height together
    int bottom = 0;  // the last line's bottom, from the rectangle's top
};

// What the layout needs of the font.
struct TextFontSize {
    int lineHeight = 0;        // tmHeight, plus tmExternalLeading with DT_EXTERNALLEADING
    int averageCharWidth = 0;  // tmAveCharWidth: tab stops are multiples of it
};

// Lays out `count` bytes of text for a rectangle of the given width and
// height under the DT_* format flags. DT_TABSTOP takes the tab size in
// characters from bits 8 to 15 of the format (8 when they are zero), as
// DrawTextA does.
TextLayout LayoutText(const char* text, size_t count, UINT format, int rectWidth, int rectHeight,
                      const TextFontSize& font, const AdvanceFn& advance);

// True for a byte that starts a double-byte character of code page 936 when
// followed by `next`.
bool IsDoubleByte(unsigned char lead, unsigned char next);

}  // namespace win32text
