// The rest of a stream read into memory for the codecs that decode from a
// span: at most `cap` bytes, so a header's claim never makes us read (or
// allocate) more than the picture it describes can need.
#pragma once

#include <cstdint>
#include <vector>

#include "rasterfile.h"

// Reads from the stream's position until its end or `cap` bytes; false only
// when memory for the bytes cannot be had.
bool RasterReadRest(RasterFile* stream, uint64_t cap, std::vector<BYTE>& out);
