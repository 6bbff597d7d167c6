// The WMF and EMF codec (format id 10): placeable Windows metafiles and
// enhanced metafiles, played by GDI into a memory bitmap that becomes the
// image. It reads only. Not exported: the format dispatch makes it.
#pragma once

#include "rasterimage.h"

// The 22-byte header in front of a placeable Windows metafile, as read.
struct RasterPlaceableHeader {
    DWORD key;
    WORD handle;
    SHORT left, top, right, bottom;  // the picture's box, in its units
    WORD unitsPerInch;
    DWORD reserved;
    WORD checksum;  // XOR of the ten words before it
};

class RasterImageWMF : public RasterImage {
public:
    RasterImageWMF() : RasterImage(RASTER_FORMAT_WMF) {}

    // A non-zero forced width or height replaces the one the file gives.
    bool Decode(RasterFile* stream, long forcedWidth = 0, long forcedHeight = 0);
    // Saving metafiles is not supported: always false.
    bool Encode(RasterFile* stream);

    // The key, the checksum and units per inch from 1 to 2540.
    static bool IsPlaceableHeader(const RasterPlaceableHeader& header);
    // Pictures are kept within 4000 pixels a side, their shape kept.
    static void LimitMetafileSize(long& width, long& height);

private:
    HENHMETAFILE LoadPlaceableMetafile(RasterFile* stream, long start,
                                       RasterPlaceableHeader& header);
    HENHMETAFILE LoadEnhancedMetafile(RasterFile* stream, long start, ENHMETAHEADER& header);
    // Plays the rows top .. top + rows - 1 of the picture into `bitmap`
    // (selected into `memory`, `rows` high) and copies them into the image.
    bool _playBand(HDC memory, HBITMAP bitmap, HGDIOBJ previous, HENHMETAFILE handle, long width,
                   long height, long top, long rows, BITMAPINFO* asked);
};
