// Win32 GDI regions: a set of pixels kept as y-x banded rectangles. Each band
// is a run of rows [top, bottom) whose rectangles share that top and bottom;
// bands are sorted from top to bottom and never overlap, the rectangles of a
// band are sorted from left to right and neither overlap nor touch, and two
// bands that touch vertically always differ in their rectangles (equal ones
// are merged into one band). GetRegionData hands out exactly this list.
#pragma once

#include "win32_types.h"

// Region types, the results of CombineRgn and GetRgnBox.
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3

// CombineRgn modes.
#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5

#define RDH_RECTANGLES 1

typedef struct _RGNDATAHEADER {
    DWORD dwSize;   // sizeof(RGNDATAHEADER)
    DWORD iType;    // RDH_RECTANGLES
    DWORD nCount;   // rectangles that follow the header
    DWORD nRgnSize; // bytes of those rectangles
    RECT rcBound;
} RGNDATAHEADER, *PRGNDATAHEADER;
static_assert(sizeof(RGNDATAHEADER) == 32, "RGNDATAHEADER is 32 bytes");

typedef struct _RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];  // nCount RECTs
} RGNDATA, *PRGNDATA, *LPRGNDATA;

// The region of the rectangle [left, right) x [top, bottom), the corners put
// in order first; an empty rectangle gives an empty region. Null on failure.
// Freed with DeleteObject.
HRGN WINAPI CreateRectRgn(int left, int top, int right, int bottom);
HRGN WINAPI CreateRectRgnIndirect(const RECT* rect);
// The union of the rectangles of a region list (an RGNDATAHEADER and its
// nCount rectangles, which may overlap and come in any order); bytes is the
// size of data. Only a null transform is supported. Null on failure.
typedef struct tagXFORM XFORM;
HRGN WINAPI ExtCreateRegion(const XFORM* transform, DWORD bytes, const RGNDATA* data);
// dest = src1 op src2 (src2 is not read for RGN_COPY); dest may be either
// source. The type of the result, or ERROR for an unknown handle or mode
// (dest is then unchanged).
int WINAPI CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
// The region's rectangles after an RGNDATAHEADER. With data null: the bytes
// needed. With count at least that: fills data and returns the bytes it
// wrote (the bytes needed, however large count is). Otherwise (too small,
// unknown region) 0.
DWORD WINAPI GetRegionData(HRGN region, DWORD count, LPRGNDATA data);
// The bounding rectangle (all 0 for an empty region) and the region's type;
// ERROR for an unknown handle or a null rect.
int WINAPI GetRgnBox(HRGN region, LPRECT rect);
// Whether the pixel (x, y) belongs to the region.
BOOL WINAPI PtInRegion(HRGN region, int x, int y);

// Clipping. A context's clip region is kept in device coordinates; drawing
// reaches only the pixels inside it (and inside the surface). A new context
// has none: the whole surface is drawable.

// The clip region becomes region `mode` the current one (RGN_COPY: a copy of
// region). A null region with RGN_COPY removes the clip region. The type of
// the new clip region, ERROR on failure (the clip region unchanged).
int WINAPI ExtSelectClipRgn(HDC dc, HRGN region, int mode);
// ExtSelectClipRgn(dc, region, RGN_COPY).
int WINAPI SelectClipRgn(HDC dc, HRGN region);
// The smallest rectangle around what can be drawn (the clip region within the
// surface) and its type; ERROR for an unknown context.
int WINAPI GetClipBox(HDC dc, LPRECT rect);
// Whether any pixel of the rectangle can be drawn.
BOOL WINAPI RectVisible(HDC dc, const RECT* rect);
