// The codes the platform's glyph calls take from inside the platform: code
// page 936 codes (a single byte, or lead x 256 + trail), and beyond their
// 16 bits a Unicode character or a glyph number of the face a font matched,
// for text no code page holds. Needs nothing but <windows.h>. Not
// installed: the Win32 calls themselves take code page 936 codes only.
#pragma once

#include <windows.h>

namespace win32font {

constexpr UINT kUnicodeCode = 0x01000000;     // | a Unicode scalar value
constexpr UINT kGlyphIndexCode = 0x02000000;  // | a glyph number of the font's first face
constexpr UINT kCodeValue = 0x00FFFFFF;

inline UINT UnicodeCode(char32_t ch)
{
    return kUnicodeCode | (UINT(ch) & kCodeValue);
}
inline UINT GlyphIndexCode(UINT index)
{
    return kGlyphIndexCode | (index & 0xFFFF);
}

// The character a code stands for: a code page 936 code or a Unicode one;
// false for a glyph number or a code that maps to nothing.
bool CharOfCode(UINT code, char32_t& ch);

}  // namespace win32font
