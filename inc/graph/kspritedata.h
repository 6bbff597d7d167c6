// SPRITE_DATA: one heap block per pixel image, made and freed only by the
// graph device. Header, then one row pointer per row, then the rows.
#pragma once
#include <windows.h>
#include "kcolor.h"

// Create and load flags.
#define KSPR_COLORKEY 0x10  // pixel value 0 is transparent; true black is stored as 1

struct SPRITE_DATA {
    DWORD flags;            // create/load flags
    long width;             // pixels, as asked
    long height;
    long alignwidth;        // width rounded up to a multiple of 4
    long rows;              // equal to height
    DWORD pitch;            // bytes from one row to the next
    DWORD ref;              // reference count, 1 when made
    KESTREL_COLOR_MODE kcm;
    DWORD reserved[2];
    BYTE* lpRows[];         // row r starts at lpRows[r]; row 0 is the top row
};

// Pixel (x, y) of a 16-bit sprite.
inline WORD* SpritePixel16(SPRITE_DATA* spr, long x, long y)
{
    return reinterpret_cast<WORD*>(spr->lpRows[y]) + x;
}

// Moves each end of a line that lies outside the sprite to its edge: how
// the device draws lines, and how the recorder sizes them, alike.
inline void ClampLineEnds(const SPRITE_DATA* spr, long& x1, long& y1, long& x2, long& y2)
{
    auto clamp = [](long v, long hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    x1 = clamp(x1, spr->width - 1);
    x2 = clamp(x2, spr->width - 1);
    y1 = clamp(y1, spr->height - 1);
    y2 = clamp(y2, spr->height - 1);
}
