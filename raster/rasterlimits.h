// Sizes, limits and failure texts every decoder shares, in the image library
// and in the engine's picture loaders: the row stride, the check that a
// file's data can back the pixels its header claims, the bytes left in a
// stream, and the texts of the failures these lead to.
//
// The rule they serve: the memory and the work a file can cause are bounded
// by what it holds. A header may claim any size; pixels the data cannot
// produce are allowed only up to the host's allowance
// (RasterSetUnbackedPixels), spent once per decode however many frames ask.
#pragma once

#include <cstdint>

#include "rasterdefs.h"
#include "rasterfile.h"

namespace rasterlimits {

// Bytes of one row of `bits`-bit pixels padded to a whole DWORD, as every
// bitmap block stores its rows.
inline uint64_t RowBytes(uint64_t bits, uint64_t width)
{
    return (bits * width + 31) / 32 * 4;
}

// The most pixels (or bytes) one byte of each kind of data can turn into.
// A valid file never claims more than its data times these; a file that does
// is cut short or made up, and only the allowance pays for the difference.
//
// LZW (GIF): a code of w bits stands for fewer than 2^w pixels, so at the
// widest, 12 bits, 4096 / 12 pixels a bit: 2731 a byte.
constexpr uint64_t kLzwPixelsPerByte = 2731;
// Deflate (PNG, zip): the longest match, 258 bytes, takes at least 2 bits,
// so 1032 bytes out for one byte in.
constexpr uint64_t kDeflateBytesPerByte = 1032;
// Run-length BMP: two bytes make a run of at most 255 pixels.
constexpr uint64_t kRlePixelsPerByte = 128;
// Huffman-coded JPEG: every 8 x 8 block of every component needs at least
// one bit, so a one-component picture gives at most 64 x 8 pixels a byte.
constexpr uint64_t kJpegPixelsPerByte = 512;

// Bytes after the stream's position, or -1 when the stream cannot tell.
inline long long BytesLeft(RasterFile* f)
{
    const long size = f->Size();
    const long pos = f->Tell();
    if (size < 0 || pos < 0)
        return -1;
    return size > pos ? size - pos : 0;
}

// Whether `pixels` may be made when the data can produce `backedPixels`.
// What the data cannot back is taken from `allowance`, the pixels one decode
// may still create unbacked (start it from RasterGetUnbackedPixels()); false,
// with the allowance untouched, when it does not cover them.
inline bool Covered(uint64_t pixels, uint64_t backedPixels, unsigned long long& allowance)
{
    if (pixels <= backedPixels)
        return true;
    if (pixels - backedPixels > allowance)
        return false;
    allowance -= pixels - backedPixels;
    return true;
}

// The same for `dataBytes` bytes (-1: the stream cannot tell, taken as none)
// that give at most `perByte` pixels each.
inline bool Backed(uint64_t pixels, long long dataBytes, uint64_t perByte,
                   unsigned long long& allowance)
{
    const uint64_t data = dataBytes > 0 ? (uint64_t)dataBytes : 0;
    const uint64_t backed = data > UINT64_MAX / perByte ? UINT64_MAX : data * perByte;
    return Covered(pixels, backed, allowance);
}

// Failure texts shared by the decoders and the loaders.
extern const char kTextNoMemory[];    // an allocation failed
extern const char kTextTooLarge[];    // above RASTER_MAX_MEMORY or the data's backing
extern const char kTextTruncated[];   // the data ends inside a header
extern const char kTextDamaged[];     // a decoder gave up without its own text

}  // namespace rasterlimits
