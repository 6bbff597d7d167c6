// Codes of the platform's glyph calls as characters and as the face and
// glyph that draw them.
#include "font_codes.h"

#include "font_internal.h"

namespace win32font {

bool CharOfCode(UINT code, char32_t& ch)
{
    if ((code & ~kCodeValue) == kUnicodeCode) {
        ch = code & kCodeValue;
        return ch <= 0x10FFFF;
    }
    return GbkToUnicode(code, ch);
}

Face* FaceForCode(Registry& r, Realized& font, UINT code, FT_UInt& index)
{
    if ((code & ~kCodeValue) == kGlyphIndexCode) {
        // A glyph number the face does not have draws its missing-glyph
        // box, glyph 0.
        index = code & 0xFFFF;
        if (font.primary.face == nullptr)
            return nullptr;
        if ((FT_Long)index >= font.primary.face->num_glyphs)
            index = 0;
        return &font.primary;
    }
    char32_t ch = 0;
    if (!CharOfCode(code, ch))
        return nullptr;
    return &FaceForChar(r, font, ch, index);
}

}  // namespace win32font
