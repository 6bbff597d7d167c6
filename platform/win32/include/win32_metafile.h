// Win32 GDI metafiles: Windows metafiles (taken in through SetWinMetaFileBits)
// and enhanced metafiles, held as handles and played into a device context.
// The player draws a subset of the records (mapping modes, pens and solid
// brushes, lines, shapes, polygons, Bezier curves, paths, clip rectangles, DIB
// blits, saved states); every other record is skipped.
#pragma once

#include "win32_dc.h"
#include "win32_types.h"

// Mapping modes.
#define MM_TEXT 1
#define MM_LOMETRIC 2
#define MM_HIMETRIC 3
#define MM_LOENGLISH 4
#define MM_HIENGLISH 5
#define MM_TWIPS 6
#define MM_ISOTROPIC 7
#define MM_ANISOTROPIC 8

// Pen and brush styles and polygon fill modes, as metafile records give them.
#define PS_SOLID 0
#define PS_NULL 5
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HATCHED 2
#define ALTERNATE 1
#define WINDING 2

// Enhanced-metafile record types of the two records every file has.
#define EMR_HEADER 1
#define EMR_EOF 14
// The signature in an enhanced metafile's header: " EMF".
#define ENHMETA_SIGNATURE 0x464D4520
#ifndef GDI_ERROR
#define GDI_ERROR 0xFFFFFFFFL
#endif

typedef struct _RECTL {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECTL, *PRECTL, *LPRECTL;
static_assert(sizeof(RECTL) == 16, "RECTL is 16 bytes");

typedef SIZE SIZEL;
typedef SIZE* PSIZEL;

// How a Windows metafile's picture is sized: a mapping mode and, for
// MM_ISOTROPIC and MM_ANISOTROPIC, the picture's extents.
typedef struct tagMETAFILEPICT {
    LONG mm;
    LONG xExt;
    LONG yExt;
    HMETAFILE hMF;
} METAFILEPICT, *LPMETAFILEPICT;

// The header record of an enhanced metafile as GetEnhMetaFileHeader gives it.
// Files hold it little-endian; it is read field by field.
typedef struct tagENHMETAHEADER {
    DWORD iType;           // EMR_HEADER
    DWORD nSize;           // bytes of the header record
    RECTL rclBounds;       // what is drawn, inclusive, in device units
    RECTL rclFrame;        // the picture's frame, inclusive, in 0.01 mm
    DWORD dSignature;      // ENHMETA_SIGNATURE
    DWORD nVersion;
    DWORD nBytes;          // bytes of the whole metafile
    DWORD nRecords;
    WORD nHandles;         // size of the object table, slot 0 included
    WORD sReserved;
    DWORD nDescription;    // characters of the description
    DWORD offDescription;
    DWORD nPalEntries;     // entries of the palette in the end-of-file record
    SIZEL szlDevice;       // reference device in pixels
    SIZEL szlMillimeters;  // and in millimetres
    DWORD cbPixelFormat;
    DWORD offPixelFormat;
    DWORD bOpenGL;
    SIZEL szlMicrometers;
} ENHMETAHEADER, *PENHMETAHEADER, *LPENHMETAHEADER;
static_assert(sizeof(ENHMETAHEADER) == 108, "ENHMETAHEADER is 108 bytes");

// An enhanced-metafile handle over a copy of a Windows metafile's bytes (the
// records after any placeable header: the 18-byte metafile header first).
// `picture` sizes the picture; null takes MM_ANISOTROPIC with no extents.
// Null when the bytes are not a Windows metafile.
HENHMETAFILE WINAPI SetWinMetaFileBits(UINT size, const BYTE* bits, HDC refDC,
                                       const METAFILEPICT* picture);
// An enhanced-metafile handle over a copy of an enhanced metafile's bytes.
// Null when they do not start with a valid header record.
HENHMETAFILE WINAPI SetEnhMetaFileBits(UINT size, const BYTE* bits);
// Copies min(size, 108) bytes of the header into `header`, or with a null
// header returns the size it would copy. 0 for an unknown handle.
UINT WINAPI GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, LPENHMETAHEADER header);
// The palette stored in the metafile's end-of-file record: with a null
// `entries` its number of entries, otherwise up to `count` entries copied.
// 0 when there is none, GDI_ERROR for an unknown handle.
UINT WINAPI GetEnhMetaFilePaletteEntries(HENHMETAFILE metafile, UINT count,
                                         LPPALETTEENTRY entries);
// Frees a metafile handle. FALSE for an unknown handle.
BOOL WINAPI DeleteEnhMetaFile(HENHMETAFILE metafile);
// Plays the metafile into the context's selected bitmap with its picture
// fitted to `rect` (device coordinates). FALSE when the handle or context is
// unknown, or when a damaged record ended the play early (what was drawn
// before it stays).
BOOL WINAPI PlayEnhMetaFile(HDC dc, HENHMETAFILE metafile, const RECT* rect);
