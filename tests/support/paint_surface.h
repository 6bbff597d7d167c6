// Puts pixels on a window's surface the way a program does, through
// SetDIBitsToDevice. Header-only: the platform suite, which does not link the
// test support library, uses it too.
#pragma once
#include <windows.h>

// Draws w x h 32-bit pixels (rows from the top) at the surface's corner and
// returns the number of scan lines SetDIBitsToDevice reports.
inline int PaintSurface(HWND hwnd, int w, int h, const void* pixels)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -h;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    HDC dc = GetDC(hwnd);
    const int n = SetDIBitsToDevice(dc, 0, 0, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), pixels, &bmi,
                                    DIB_RGB_COLORS);
    ReleaseDC(hwnd, dc);
    return n;
}
