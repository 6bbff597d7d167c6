// Win32 GDI bitmaps: device-dependent and DIB-section bitmaps, their records,
// and the transfers between them and device-independent rows.
#pragma once

#include "win32_types.h"
#include "win32_gdi.h"

// What GetObjectA tells of a bitmap. bmBits is the DIB section's pixels, null
// for other bitmaps.
typedef struct tagBITMAP {
    LONG bmType;        // 0
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;  // bytes a row, padded to 2 (device-dependent) or 4 (DIB section)
    WORD bmPlanes;      // 1
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;

// What GetObjectA tells of a DIB section with a buffer this large. dsBmih's
// height is positive also for a top-down section.
typedef struct tagDIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];  // red, green, blue masks of 16- and 32-bit sections
    HANDLE dshSection;     // always null: sections are never file mappings here
    DWORD dsOffset;
} DIBSECTION, *LPDIBSECTION, *PDIBSECTION;

// CreateDIBitmap: initialise the bitmap from the rows given.
#define CBM_INIT 0x04L

// A DIB section of the format of bmi (1, 4, 8, 16, 24 or 32 bits; BI_RGB, or
// BI_BITFIELDS at 16 and 32 bits), zeroed, bottom-up for a positive biHeight
// and top-down for a negative one. *bits receives its pixels, which live as
// long as the bitmap. The colour table of a depth up to 8 bits comes from bmi
// (biClrUsed entries, or all of them when 0). DIB_PAL_COLORS, a file mapping
// and an offset are not supported. Null on failure. Freed with DeleteObject.
HBITMAP WINAPI CreateDIBSection(HDC dc, const BITMAPINFO* bmi, UINT usage, void** bits,
                                HANDLE section, DWORD offset);
// A bitmap of the depth of the context's surface: 32 bits for the screen and
// windows, the selected bitmap's depth for a memory context (so a new
// memory context, holding the 1 x 1 monochrome stock bitmap, makes monochrome
// bitmaps, as Win32 does). A width or height of 0 gives a 1 x 1 monochrome
// bitmap. Zeroed. Null on failure.
HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height);
// A device-dependent bitmap of 1 plane and 1, 4, 8, 16, 24 or 32 bits, its
// rows (padded to 2 bytes, top-down) copied from bits when that is not null,
// else zeroed. Colour depths up to 8 bits use the default 16-colour and
// 256-colour palettes. Null on failure.
HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                            const void* bits);
// A bitmap compatible with the context (as CreateCompatibleBitmap) of the
// header's size; with CBM_INIT its pixels are set from bits in the format of
// bmi, as SetDIBits would. Null on failure.
HBITMAP WINAPI CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init,
                              const void* bits, const BITMAPINFO* bmi, UINT usage);
// Scan lines startScan .. startScan + cLines - 1 of the bitmap in the format
// bmi asks for (1, 4, 8, 16, 24 or 32 bits; BI_RGB or BI_BITFIELDS). Scan
// lines count from the bitmap's bottom row for either sign of biHeight; the
// sign only orders the rows written: a positive one puts the band's bottom
// row first, a negative one its top row.
// With bits null and biBitCount 0: fills the header with the bitmap's own
// format and returns non-zero. With bits null otherwise: fills biSizeImage
// and the colour table. With bits: writes the rows and the colour table and
// returns the number of rows written. 0 on failure (the bitmap may not be
// selected into a context other than dc).
int WINAPI GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT cLines, void* bits,
                     BITMAPINFO* bmi, UINT usage);
// Sets rows of a bitmap from device-independent rows (as SetDIBitsToDevice
// at one to one would). The number of rows set, 0 on failure.
int WINAPI SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT cLines, const void* bits,
                     const BITMAPINFO* bmi, UINT usage);

// Fills buffer with the object's record: BITMAP (or DIBSECTION when the buffer
// is that large and the bitmap is a DIB section) for a bitmap, LOGFONTA for
// a font, a WORD entry count for a palette. With buffer null: the size of the
// record, a BITMAP's for any bitmap. The bytes written, 0 for an unknown
// object or a buffer too small. A DIB section's dsBmih.biHeight is positive
// whichever way its rows run, as in Windows.
int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID buffer);
