// How the metafile player's pixels meet the canvas: the raster operation of
// the context (a binary one for pens and brushes, a ternary one for blits,
// both as the ternary code's truth table) and the brush's pattern, tiled
// from the brush origin.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

namespace win32metafile {

// The ternary code that leaves the pattern as it is: plain drawing.
constexpr BYTE kRopPattern = 0xF0;
// The binary mode of a fresh context (draw in the pen or brush colour).
constexpr int kRop2CopyPen = 13;

// A pattern pixel that is not drawn (the gaps of a hatch on a transparent
// background).
constexpr COLORREF kNoPixel = 0xFF000000;

// A brush's pixels, w x h, repeated over the canvas with pixel (0, 0) at the
// canvas pixel (ox, oy), the brush origin.
struct Pattern {
    int w = 0, h = 0;
    std::vector<COLORREF> px;  // rows top first; kNoPixel where nothing is drawn
    long ox = 0, oy = 0;
    COLORREF At(long x, long y) const
    {
        const long dx = (x % w) - (ox % w), dy = (y % h) - (oy % h);
        const long i = ((dx % w) + w) % w, j = ((dy % h) + h) % h;
        return px[(size_t)j * w + i];
    }
};

// The ternary code of a binary mode (R2_BLACK 1 .. R2_WHITE 16), the pen or
// brush standing as the pattern; -1 for a mode outside them.
int RopFromBinary(int mode);
// The colour a ternary code gives for pattern, source and destination.
COLORREF RopColour(BYTE code, COLORREF p, COLORREF s, COLORREF d);
// Whether the code reads the source, the destination, the pattern.
bool RopReadsSource(BYTE code);
bool RopReadsDest(BYTE code);
bool RopReadsPattern(BYTE code);

}  // namespace win32metafile
