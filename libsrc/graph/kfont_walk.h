// How text in a double-byte code page is walked a character at a time. A
// lead byte and its trail make one character whose code is lead x 256 +
// trail. Drawing takes every byte from 129 up as a lead byte; measuring
// only from 160 up (bytes 129 to 159 measure as single-byte characters), so
// text holding such a byte draws its characters where measuring does not
// put them. The fonts keep this split, and these limits of their own,
// on purpose: it is the font interface's defined behaviour, which callers
// that measure and draw the same text rely on. Everything else in the
// library asks the code page's lead-byte test, IsDBCSLeadByte.
#pragma once

#include <cstddef>

#include "kfont_2.h"

namespace kfontwalk {

const unsigned char kDrawLead = 129;
const unsigned char kMeasureLead = 160;

inline unsigned char ByteAt(const char* s, size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

// The drawing walk: calls step(code, index, bytes) for each character of s,
// a space included, until step returns false or a lead byte has no trail
// (that ends the text).
template <typename Step>
void DrawForward(const char* s, Step step)
{
    for (size_t i = 0; ByteAt(s, i) != 0;) {
        const unsigned char b = ByteAt(s, i);
        unsigned code = b;
        size_t n = 1;
        if (b >= kDrawLead) {
            const unsigned char trail = ByteAt(s, i + 1);
            if (trail == 0)
                return;
            code = unsigned(b) * 256 + trail;
            n = 2;
        }
        if (!step(code, i, n))
            return;
        i += n;
    }
}

// How far a character steps the pen as measuring counts it: a space half
// the font's height, anything else the font's width of it.
inline long Step(KFont& font, unsigned code)
{
    return code == ' ' ? font.GetHeight() / 2 : font.GetWidth(code);
}

}  // namespace kfontwalk
