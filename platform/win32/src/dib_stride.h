// The row length of a device-independent bitmap, written once for every
// bitmap, glyph and transfer of the platform.
#pragma once

#include <cstdint>

namespace gdi {

// The bytes of one row of `width` pixels of `bpp` bits, padded to a whole
// number of 32-bit words as every device-independent bitmap's rows are.
constexpr int64_t DibStride(int64_t width, int bpp)
{
    return (width * bpp + 31) / 32 * 4;
}

static_assert(DibStride(1, 1) == 4 && DibStride(33, 1) == 8, "1-bit rows pad to words");
static_assert(DibStride(5, 24) == 16 && DibStride(4, 24) == 12, "24-bit rows pad to words");

}  // namespace gdi
