// A font for tests whose glyphs are solid boxes: a single-byte character is
// half the height wide, a double-byte one the full height, and every pixel
// of a glyph is colour + code, so text on screen is exact and easy to check.
#pragma once
#include <doit.h>

class BoxFont : public KFont {
public:
    explicit BoxFont(int height) { m_nHeight = height; }
    void Release() override { m_released = true; }
    int GetWidth(unsigned code) override { return code > 0xFF ? int(m_nHeight) : int(m_nHeight / 2); }
    int DrawChar(void* dst, long x, long y, DWORD colour, unsigned code) override
    {
        SPRITE_DATA* spr = static_cast<SPRITE_DATA*>(dst);
        const int w = GetWidth(code);
        for (long py = y; py < y + m_nHeight; py++)
            for (long px = x; px < x + w; px++)
                if (px >= 0 && py >= 0 && px < spr->width && py < spr->height)
                    *SpritePixel16(spr, px, py) = WORD(colour + code);
        return w;
    }
    bool m_released = false;
};
