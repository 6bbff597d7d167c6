// The pixels of the quarter turns, apart from the working copy and its
// hand-over: a blocked transposition and the pixel-by-pixel reference it is
// tested against. dst is made by the caller with src's width and height
// swapped, the same depth and palette, and an alpha plane when src has one;
// every pixel (and alpha value) of dst is written.
#pragma once
#include "rasterimage.h"

namespace rasterquarter {

// Reports row of rows done on the source; the quarter turns cannot stop.
using Progress = bool (*)(RasterImage& src, long row, long rows);

// Turns src a quarter anticlockwise (left) or clockwise into dst.
void Turn(RasterImage& src, RasterImage& dst, bool left, Progress progress);
// The same through the pixel calls, one pixel at a time; dst starts cleared
// for 1-bit images.
void TurnReference(RasterImage& src, RasterImage& dst, bool left, Progress progress);

}  // namespace rasterquarter
