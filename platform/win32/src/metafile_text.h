// Text in metafiles: the logical font a record creates, a run of text as a
// text-output record gives it, and the character codes the platform's font
// code draws (single bytes and code page 936 pairs) made from the record's
// bytes or UTF-16 units.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace win32metafile {

// Text-alignment flags as the records carry them.
constexpr unsigned kAlignUpdateCp = 0x01;
constexpr unsigned kAlignRight = 0x02;
constexpr unsigned kAlignCenter = 0x06;
constexpr unsigned kAlignHorizontal = 0x06;
constexpr unsigned kAlignBottom = 0x08;
constexpr unsigned kAlignBaseline = 0x18;
constexpr unsigned kAlignVertical = 0x18;

// Text-output options the player reads.
constexpr unsigned kTextOpaque = 0x0002;
constexpr unsigned kTextClipped = 0x0004;
constexpr unsigned kTextGlyphIndex = 0x0010;
constexpr unsigned kTextNoRect = 0x0100;
constexpr unsigned kTextSmallChars = 0x0200;
constexpr unsigned kTextPdy = 0x2000;

// A font as created by a record; heights in logical units.
struct LogicalFont {
    long height = 0;  // negative: the em size; positive: the cell height
    long width = 0;
    long escapement = 0;  // tenths of a degree, counter-clockwise
    long weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    BYTE charSet = 1;  // DEFAULT_CHARSET
    BYTE quality = 0;
    BYTE pitchAndFamily = 0;
    std::u16string face;
    bool stock = true;  // the context's own font: none was selected
};

// One text-output record's text: character codes, advances in logical
// units (one a code; empty for the font's own), and where it goes.
struct TextRun {
    long x = 0, y = 0;
    std::vector<UINT> codes;
    std::vector<long> dx;
    unsigned options = 0;
    bool hasRect = false;
    RECT rect = {0, 0, 0, 0};  // logical: the opaque and clipping rectangle
};

// The codes of `count` bytes of text in the font's character set. A
// double-byte pair of code page 936 gives one code; `byteOf` (when not null)
// gets, for each code, the index of its first byte, so spacing arrays given
// a byte at a time can be summed.
std::vector<UINT> CodesFromBytes(const BYTE* text, size_t count, BYTE charSet,
                                 std::vector<size_t>* byteOf);
// The codes of `count` UTF-16 units (read little-endian); a surrogate pair
// gives one code, its first unit's index in `unitOf`.
std::vector<UINT> CodesFromUtf16(const BYTE* text, size_t count, std::vector<size_t>* unitOf);
// The code that draws a Unicode character: its code page 936 code, or its
// Unicode one when it has none (drawn from whichever face holds it, else as
// the face's missing-glyph box).
UINT CodeOfChar(char32_t ch);
// Codes of `count` glyph numbers of `unit` bytes each (1 or 2, read
// little-endian), drawn from the face the platform matched; each is its own
// unit in `unitOf`.
std::vector<UINT> GlyphCodes(const BYTE* text, size_t count, size_t unit,
                             std::vector<size_t>* unitOf);

// The LOGFONTA the platform's font code is asked for: the face by name when
// installed, otherwise a face of the same kind (serif, sans-serif, fixed
// pitch, Chinese), and `pixels` as the height.
LOGFONTA PlatformFont(const LogicalFont& font, long pixels);

}  // namespace win32metafile
