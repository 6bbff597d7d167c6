// Colours for the image library's tests.
#pragma once
#include <windows.h>

inline RGBQUAD Quad(BYTE r, BYTE g, BYTE b, BYTE a = 0)
{
    RGBQUAD q;
    q.rgbRed = r;
    q.rgbGreen = g;
    q.rgbBlue = b;
    q.rgbReserved = a;
    return q;
}
