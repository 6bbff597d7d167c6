// The rows of an image drawn into a device context: each row of the scratch
// bitmap made from the image's pixels, sampled plainly or blended over the
// background already in it. The reference forms take one pixel at a time
// straight from the drawing rules; the fast forms give the same bytes from
// tables made once a draw and integer arithmetic on whole pixels.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rasterimage.h"

namespace rasterdraw {

// What a draw reads of the image, taken once.
struct Picture {
    const BYTE* bits = nullptr;  // rows bottom first, `stride` bytes apart
    size_t stride = 0;
    WORD bpp = 24;  // 1, 4, 8 or 24
    long width = 0;
    long height = 0;
    const RGBQUAD* palette = nullptr;
    DWORD colours = 0;           // palette entries; an index past them is black
    const BYTE* alpha = nullptr;  // `width` bytes a row, bottom first; null: none
    int alphaMax = 255;
    bool transparent = false;  // nTransIndex is not -1
    long transIndex = -1;
    RGBQUAD transColour = {0, 0, 0, 0};
    bool alphaPalette = false;
};

// Row sy of the picture at columns sx[0 .. w) as w 24-bit pixels (blue,
// green, red) into dst.
void SampleRowRef(const Picture& p, long sy, const long* sx, long w, BYTE* dst);
// The same pixels blended over the 24-bit pixels dst already holds: kept
// where transparent or of alpha 0, replaced where of alpha 255, mixed
// channel by channel as (background x (255 - a) + colour x a) >> 8 between.
void BlendRowRef(const Picture& p, long sy, const long* sx, long w, BYTE* dst);

// The fast forms of both, with the tables of one draw, onto pixels of
// `bytes` bytes: 3 (a 24-bit row) or 4 (a 32-bit row, whose fourth byte
// becomes 0, as a 24-bit row copied onto it would leave it).
class FastRows {
public:
    // sx[0 .. w): the source column of each pixel of every row (kept, not
    // copied).
    FastRows(const Picture& p, const long* sx, long w);
    void Sample(long sy, BYTE* dst, int bytes) const;
    void Blend(long sy, BYTE* dst, int bytes) const;

private:
    template <int BPP, int D>
    void _sample(const BYTE* row, const long* sx, long w, BYTE* dst) const;
    template <int D>
    void _sample24(const BYTE* row, bool whole, BYTE* dst) const;
    template <int BPP, int D>
    void _blend(const BYTE* row, const BYTE* alpharow, const long* sx, long w, BYTE* dst) const;
    template <int D>
    void _blendSpan24(const BYTE* src, const BYTE* alpha, long w, BYTE* dst) const;
    // Pixel s of a row of BPP bits: its colour (blue in the low byte) and
    // its alpha, 0 where it is transparent.
    template <int BPP>
    DWORD _colour(const BYTE* row, long s) const;
    template <int BPP>
    DWORD _alpha(const BYTE* row, const BYTE* alpharow, long s, DWORD colour) const;

    Picture m_p;
    const long* m_sx;
    long m_w;
    bool m_consecutive;  // sx[c] = sx[0] + c: an unscaled draw
    long m_widest;       // the largest column
    // 24-bit pictures: each column's byte offset in a row, when they fit 32
    // bits (half the index a pixel reads); empty otherwise.
    std::vector<uint32_t> m_at;
    DWORD m_colour[256];  // palette images: each index's colour, blue in the low byte
    DWORD m_weight[256];  // each index's share of the alpha, of 256 (0: kept out)
    DWORD m_scaled[256];  // alpha-plane values scaled by nAlphaMax
    DWORD m_key;          // 24-bit images: the transparent colour; above 24 bits: none
    // The weights a mix of alpha a gives the colour and the background, each
    // in four 16-bit lanes (one a channel): by the pixel's final alpha, and
    // by the alpha plane's value before nAlphaMax scales it.
    struct alignas(16) Weights {
        WORD w[8];
    };
    Weights m_byAlpha[256];
    Weights m_byPlane[256];
};


// Whether drawing takes the fast rows and reads a DIB section's rows
// directly (the default), or the reference rows and the general path
// (KESTREL_BLIT=ref at start, or false here: tests compare the two).
bool FastPaths();
void SetFastPaths(bool fast);

}  // namespace rasterdraw
