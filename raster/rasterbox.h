// Shrinking a 24-bit image both ways by box averaging in fixed point (scale
// 1000): every source pixel adds its share to the one to four destination
// pixels it covers. The fast form and the pixel-by-pixel reference it is
// tested against give the same bytes.
#pragma once
#include "rasterimage.h"

namespace rasterbox {

// Reports source row of rows; true when the caller asks to stop.
using Progress = bool (*)(RasterImage& src, long row, long rows);

// src (24 bits, wider and taller than out) averaged into out, whose size
// gives the factors kx = width / new width and ky = height / new height.
void Shrink(RasterImage& src, RasterImage& out, float kx, float ky, Progress progress);
void ShrinkReference(RasterImage& src, RasterImage& out, float kx, float ky, Progress progress);

}  // namespace rasterbox
