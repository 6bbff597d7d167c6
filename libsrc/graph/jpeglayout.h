// How a JPEG picture is asked of the decoding service, by the number of
// components its stream codes: grey and colour pictures come out as blue,
// green, red; four-component ones as red, green, blue, alpha.
#pragma once
#include <windows.h>
#include <ijl.h>

// Sets the stream's and the buffer's colour spaces in `jcp` for a picture of
// `components` components; the bytes per pixel of the buffer, or 0 (and
// `jcp` untouched) when no layout is defined for that many components.
inline long JpegLayout(JPEG_CORE_PROPERTIES& jcp, DWORD components)
{
    switch (components) {
    case 1:
        jcp.JPGColor = IJL_G;
        jcp.DIBColor = IJL_BGR;
        return 3;
    case 3:
        jcp.JPGColor = IJL_YCBCR;
        jcp.DIBColor = IJL_BGR;
        return 3;
    case 4:
        jcp.JPGColor = IJL_YCBCRA_FPX;
        jcp.DIBColor = IJL_RGBA_FPX;
        return 4;
    default:
        return 0;
    }
}
