// The JPEG-2000 family codec (format ids 11 to 15): JP2 files, JPEG-2000
// codestreams (JPC), PGX, the portable anymaps (PNM) and Sun raster (RAS).
// Decoding recognises the format from the data; encoding writes the format
// the id names, grey images as one 8-bit component and the rest as 8-bit RGB.
// JP2 and JPC are written at a rate of nJpegQuality / 100 of the raw size
// (100 and above lossless).
#pragma once

#include "rasterimage.h"

class RasterImageJAS : public RasterImage {
public:
    RasterImageJAS();
    ~RasterImageJAS() override;

    // A probe (formatId 0) takes the id of the format it finds.
    bool Decode(RasterFile* stream, DWORD formatId);
    bool Encode(RasterFile* stream, DWORD formatId);
};
