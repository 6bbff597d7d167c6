// Win32 GDI device contexts: memory contexts, the calls shared by every GDI
// object, the context's drawing attributes, the device's capabilities and
// palettes. Contexts of windows and of the screen come from GetDC and
// BeginPaint (win32_user.h); a memory context draws into the bitmap selected
// into it.
#pragma once

#include "win32_types.h"

// Stock objects.
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define SYSTEM_FONT 13
#define DEFAULT_PALETTE 15
#define DEFAULT_GUI_FONT 17

// A memory device context compatible with the screen (dc null) or with the
// given context. It starts with the stock SYSTEM_FONT and a 1 x 1 monochrome
// bitmap selected. Null on failure. Freed with DeleteDC.
HDC WINAPI CreateCompatibleDC(HDC dc);
// Frees a context made by CreateCompatibleDC; the bitmap selected into it is
// free to be selected elsewhere or deleted. FALSE for any other handle.
BOOL WINAPI DeleteDC(HDC dc);
// Selects a font or bitmap into a context (a bitmap only into a memory
// context, and into one context at a time) and returns the object it
// replaces; a region becomes the clip region (SelectClipRgn) and the region's
// type is returned. Null (nothing changed) for an unknown context or object.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
// The object of the kind (OBJ_BITMAP, OBJ_FONT, OBJ_PAL) selected into the
// context; null for an unknown context or kind.
#define OBJ_BRUSH 2
#define OBJ_PAL 5
#define OBJ_FONT 6
#define OBJ_BITMAP 7
HGDIOBJ WINAPI GetCurrentObject(HDC dc, UINT type);
// One of the stock objects above; null for any other number. Stock objects
// are never freed: DeleteObject of one succeeds and does nothing.
HGDIOBJ WINAPI GetStockObject(int object);
// Frees a GDI object. FALSE, with nothing freed, for an unknown object or one
// that is still selected into a context.
BOOL WINAPI DeleteObject(HGDIOBJ object);

// Text and background colours and the background mode: what text and
// monochrome bitmaps are drawn with. Each setter returns the previous value,
// CLR_INVALID (0 for the mode) for an unknown context. A new context has
// black text on white, opaque.
#define CLR_INVALID 0xFFFFFFFF
#define TRANSPARENT 1
#define OPAQUE 2
COLORREF WINAPI SetTextColor(HDC dc, COLORREF color);
COLORREF WINAPI GetTextColor(HDC dc);
COLORREF WINAPI SetBkColor(HDC dc, COLORREF color);
COLORREF WINAPI GetBkColor(HDC dc);
int WINAPI SetBkMode(HDC dc, int mode);
int WINAPI GetBkMode(HDC dc);

// Device capabilities: the desktop's display (96 dots an inch, 32 bits a
// pixel, its size in pixels) for every context; a memory context reports the
// display too, as on Win32. 0 for an unknown index or context.
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define RASTERCAPS 38
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define SIZEPALETTE 104
#define NUMRESERVED 106
#define COLORRES 108
#define RC_BITBLT 0x0001
#define RC_BITMAP64 0x0008
#define RC_DI_BITMAP 0x0080
#define RC_PALETTE 0x0100
#define RC_DIBTODEV 0x0200
#define RC_STRETCHBLT 0x0800
#define RC_STRETCHDIB 0x2000
int WINAPI GetDeviceCaps(HDC dc, int index);

// System colours of the basic scheme: window white, window text black, the
// button face and 3-D shades grey, the highlight dark blue. 0 for an unknown
// index.
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_ACTIVECAPTION 2
#define COLOR_INACTIVECAPTION 3
#define COLOR_MENU 4
#define COLOR_WINDOW 5
#define COLOR_WINDOWFRAME 6
#define COLOR_MENUTEXT 7
#define COLOR_WINDOWTEXT 8
#define COLOR_CAPTIONTEXT 9
#define COLOR_ACTIVEBORDER 10
#define COLOR_INACTIVEBORDER 11
#define COLOR_APPWORKSPACE 12
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_INACTIVECAPTIONTEXT 19
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22
#define COLOR_INFOTEXT 23
#define COLOR_INFOBK 24
#define COLOR_DESKTOP COLOR_BACKGROUND
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_3DSHADOW COLOR_BTNSHADOW
#define COLOR_3DHIGHLIGHT COLOR_BTNHIGHLIGHT
DWORD WINAPI GetSysColor(int index);

// Logical palettes. Every surface here is true-colour or carries its own
// colour table, so selecting and realising a palette changes no pixel.
typedef struct tagPALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
} PALETTEENTRY, *PPALETTEENTRY, *LPPALETTEENTRY;
static_assert(sizeof(PALETTEENTRY) == 4, "PALETTEENTRY is 4 bytes");

typedef struct tagLOGPALETTE {
    WORD palVersion;  // 0x300
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
} LOGPALETTE, *PLOGPALETTE, *LPLOGPALETTE;

#define PC_RESERVED 0x01
#define PC_EXPLICIT 0x02
#define PC_NOCOLLAPSE 0x04

// A palette of the record's entries (1 to 65535 of them, version 0x300).
// Null on failure. Freed with DeleteObject.
HPALETTE WINAPI CreatePalette(const LOGPALETTE* palette);
// Entries start .. start + count - 1 copied out; with entries null the
// number of entries. The entries copied, 0 for an unknown palette.
UINT WINAPI GetPaletteEntries(HPALETTE palette, UINT start, UINT count, LPPALETTEENTRY entries);
// Selects the palette into the context and returns the previous one (the
// stock DEFAULT_PALETTE at first); null for an unknown context or palette.
HPALETTE WINAPI SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
// The number of entries that changed in the system palette: always 0 on a
// true-colour display. GDI_ERROR for an unknown context.
UINT WINAPI RealizePalette(HDC dc);
