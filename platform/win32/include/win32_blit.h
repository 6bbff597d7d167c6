// Win32 GDI transfers between device contexts and from device-independent
// rows: BitBlt, StretchBlt, StretchDIBits, PatBlt and the raster operations.
#pragma once

#include "win32_types.h"
#include "win32_gdi.h"

// Ternary raster operations: bit i of the code's third byte is the result
// for the bits P, S, D where i = P << 2 | S << 1 | D (P the brush, S the
// source, D the destination); the low 16 bits are the old encoding, ignored.
#define SRCCOPY ((DWORD)0x00CC0020)
#define SRCPAINT ((DWORD)0x00EE0086)
#define SRCAND ((DWORD)0x008800C6)
#define SRCINVERT ((DWORD)0x00660046)
#define SRCERASE ((DWORD)0x00440328)
#define NOTSRCCOPY ((DWORD)0x00330008)
#define NOTSRCERASE ((DWORD)0x001100A6)
#define MERGECOPY ((DWORD)0x00C000CA)
#define MERGEPAINT ((DWORD)0x00BB0226)
#define PATCOPY ((DWORD)0x00F00021)
#define PATPAINT ((DWORD)0x00FB0A09)
#define PATINVERT ((DWORD)0x005A0049)
#define DSTINVERT ((DWORD)0x00550009)
#define BLACKNESS ((DWORD)0x00000042)
#define WHITENESS ((DWORD)0x00FF0062)
#define NOMIRRORBITMAP ((DWORD)0x80000000)
#define CAPTUREBLT ((DWORD)0x40000000)

// Stretch modes. Every mode samples the nearest source pixel here.
#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4
#define STRETCH_ANDSCANS BLACKONWHITE
#define STRETCH_ORSCANS WHITEONBLACK
#define STRETCH_DELETESCANS COLORONCOLOR
#define STRETCH_HALFTONE HALFTONE
// The previous mode, 0 for an unknown context or mode.
int WINAPI SetStretchBltMode(HDC dc, int mode);
int WINAPI GetStretchBltMode(HDC dc);

// Copies w x h pixels from (xSrc, ySrc) of src to (x, y) of dest through the
// raster operation, clipped by dest's clip region. Colour to monochrome: a
// source pixel of src's background colour gives 1 (white), every other 0.
// Monochrome to colour: 0 gives dest's text colour, 1 its background colour.
// src may be null when the operation does not read the source.
BOOL WINAPI BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, DWORD rop);
// As BitBlt, scaled from wSrc x hSrc to w x h by the nearest source pixel. A
// negative width or height runs back from its origin's pixel, which it
// includes (origin 1 and width -2 cover pixels 0 and 1); when the signs of
// the two sides differ the picture is mirrored.
BOOL WINAPI StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int xSrc, int ySrc,
                       int wSrc, int hSrc, DWORD rop);
// Fills the rectangle with the context's brush through a raster operation
// that reads no source. A negative size fills between the two corners.
BOOL WINAPI PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop);
// As StretchBlt from a device-independent bitmap (bits in the format of bmi).
// ySrc counts from the picture's bottom row for either row order, so the
// source rectangle's top row is the biHeight - ySrc - hSrc-th from the top. A
// negative destination extent mirrors; a negative source extent draws
// nothing and returns 0. Otherwise the number of scan lines the bitmap holds
// (|biHeight|), however many of them reached the device; 0 on failure or
// for an empty extent.
int WINAPI StretchDIBits(HDC dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc,
                         int wSrc, int hSrc, const void* bits, const BITMAPINFO* bmi, UINT usage,
                         DWORD rop);

// PATCOPY and the other pattern operations read the colour of the brush
// selected into the context: white (the stock white brush) for a new one.

// One pixel: its colour (CLR_INVALID outside the surface or the clip); the
// colour actually set (the nearest the surface holds), or -1.
COLORREF WINAPI GetPixel(HDC dc, int x, int y);
COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF color);
