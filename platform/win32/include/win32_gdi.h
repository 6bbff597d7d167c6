// Win32 GDI: device-independent bitmap records, display modes and the call
// that presents device-independent rows.
#pragma once

#include "win32_types.h"

// Bitmap records. These are the in-memory forms; files are read and written
// field by field, little-endian, never as raw structs.
typedef struct tagBITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} __attribute__((packed)) BITMAPFILEHEADER, *LPBITMAPFILEHEADER, *PBITMAPFILEHEADER;
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER is 14 bytes");

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: rows run top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER, *PBITMAPINFOHEADER;
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD, *LPRGBQUAD;
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD is 4 bytes");

typedef struct tagRGBTRIPLE {
    BYTE rgbtBlue;
    BYTE rgbtGreen;
    BYTE rgbtRed;
} RGBTRIPLE;
static_assert(sizeof(RGBTRIPLE) == 3, "RGBTRIPLE is 3 bytes");

// The header is followed by the colour table, or by the three colour masks
// (red, green, blue DWORDs) of a BI_BITFIELDS bitmap.
typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO, *PBITMAPINFO;

#define BI_RGB 0L
#define BI_RLE8 1L
#define BI_RLE4 2L
#define BI_BITFIELDS 3L
#define BI_JPEG 4L
#define BI_PNG 5L

#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

// Display modes.
#define CCHDEVICENAME 32
#define CCHFORMNAME 32
#define DM_SPECVERSION 0x0401

#define DM_ORIENTATION 0x00000001L
#define DM_POSITION 0x00000020L
#define DM_BITSPERPEL 0x00040000L
#define DM_PELSWIDTH 0x00080000L
#define DM_PELSHEIGHT 0x00100000L
#define DM_DISPLAYFLAGS 0x00200000L
#define DM_DISPLAYFREQUENCY 0x00400000L

#define ENUM_CURRENT_SETTINGS ((DWORD)-1)
#define ENUM_REGISTRY_SETTINGS ((DWORD)-2)

typedef struct _devicemodeA {
    BYTE dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    // Printers and displays read these 16 bytes differently.
    union {
        __extension__ struct {
            SHORT dmOrientation;
            SHORT dmPaperSize;
            SHORT dmPaperLength;
            SHORT dmPaperWidth;
            SHORT dmScale;
            SHORT dmCopies;
            SHORT dmDefaultSource;
            SHORT dmPrintQuality;
        };
        __extension__ struct {
            POINTL dmPosition;
            DWORD dmDisplayOrientation;
            DWORD dmDisplayFixedOutput;
        };
    };
    SHORT dmColor;
    SHORT dmDuplex;
    SHORT dmYResolution;
    SHORT dmTTOption;
    SHORT dmCollate;
    BYTE dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    union {
        DWORD dmDisplayFlags;
        DWORD dmNup;
    };
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
} DEVMODEA, *PDEVMODEA, *LPDEVMODEA;
static_assert(sizeof(DEVMODEA) == 156, "DEVMODEA is 156 bytes");
static_assert(offsetof(DEVMODEA, dmFields) == 40, "DEVMODEA layout");
static_assert(offsetof(DEVMODEA, dmColor) == 60, "DEVMODEA layout");
static_assert(offsetof(DEVMODEA, dmLogPixels) == 102, "DEVMODEA layout");
static_assert(offsetof(DEVMODEA, dmBitsPerPel) == 104, "DEVMODEA layout");
static_assert(offsetof(DEVMODEA, dmDisplayFrequency) == 120, "DEVMODEA layout");

// Fills the display's current mode (ENUM_CURRENT_SETTINGS or
// ENUM_REGISTRY_SETTINGS) or, by number, the modes it offers: the desktop has
// one, number 0. The device name is ignored: the desktop has one display.
BOOL WINAPI EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNum, DEVMODEA* devMode);

// Copies a rectangle of a device-independent bitmap to (xDest, yDest) of the
// device, within its clip region. `bits` holds scan lines startScan ..
// startScan + cLines - 1; for a bottom-up bitmap (positive biHeight) scan
// lines and ySrc count from the bottom, for a top-down one from the top.
// Formats: 1, 4 and 8 bits with a colour table (DIB_RGB_COLORS), 16 bits
// BI_RGB (5-5-5) or BI_BITFIELDS, 24 bits, 32 bits BI_RGB or BI_BITFIELDS.
// Returns the number of scan lines that reached the device, 0 when none did
// or on failure.
int WINAPI SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                             UINT startScan, UINT cLines, const void* bits, const BITMAPINFO* bmi,
                             UINT colorUse);
