// A picture encoded by the image library's own writer, as bytes.
#pragma once
#include <raster.h>
#include <cstdlib>
#include "test_files.h"

// Empty when the writer refuses the image.
inline Bytes EncodedBytes(RasterImage& img, DWORD format)
{
    BYTE* buf = nullptr;
    long size = 0;
    if (!img.Encode(buf, size, format))
        return Bytes();
    Bytes out(buf, buf + size);
    std::free(buf);
    return out;
}
