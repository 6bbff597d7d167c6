// The BMP codec (format id 1): Windows bitmap files with or without the file
// header, 12-, 40-, 64-byte and the longer info headers, uncompressed 1, 4, 8
// and 24 bits, RLE8 and RLE4, and 16 and 32 bits through bit fields.
#pragma once

#include "rasterimage.h"

class RasterImageBMP : public RasterImage {
public:
    RasterImageBMP() : RasterImage(RASTER_FORMAT_BMP) {}

    bool Decode(RasterFile* stream);
    bool Encode(RasterFile* stream);
    // Reads an info header of any supported form into the 40-byte form and
    // leaves the stream right after it.
    bool ReadInfoHeader(RasterFile* stream, BITMAPINFOHEADER* header);
    // Decodes a packed DIB (info header, colour table or masks, rows) from
    // the stream's position to its end, as a clipboard or global block holds
    // one; fails when the rows it promises are not all there.
    bool DecodeDIB(RasterFile* stream);

protected:
    // ReadInfoHeader that also hands back the colour masks that the longer
    // header forms carry (red, green, blue; hasMasks false when there are none).
    bool _readinfoheader(RasterFile* stream, BITMAPINFOHEADER* header, DWORD masks[3],
                         bool* hasMasks);
    // Decodes from the info header on. offbits: where the pixels start,
    // counted from `start`, or 0 when they follow the colour table; packed:
    // the stream holds a packed DIB that must back all of its rows.
    bool _decodedib(RasterFile* stream, long start, DWORD offbits, bool packed);
    bool _readpalette(RasterFile* stream, DWORD entries, bool core, bool skipRest);
    bool _readpixels(RasterFile* stream, const BITMAPINFOHEADER& file, const DWORD masks[3]);
    void _readrle8(RasterFile* stream);
    void _readrle4(RasterFile* stream);
    bool _read32(RasterFile* stream, const DWORD masks[3]);
};
