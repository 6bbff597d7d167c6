// Win32 GDI fonts: logical fonts, text metrics and glyph bitmaps.
//
// A font handle names a face, a height, a weight and an italic flag. The face
// is looked up among the installed fonts when the font is first used; common
// Windows faces and faces that are not installed fall back to installed ones,
// so text always renders. Character codes above 255 are double-byte codes of
// code page 936 (GBK): lead byte x 256 + trail byte.
#pragma once

#include "win32_types.h"
#include "win32_dc.h"

#define LF_FACESIZE 32

// Weights.
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900

// Character sets.
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136

// Precision, quality and pitch arguments (kept, not used for matching).
#define OUT_DEFAULT_PRECIS 0
#define OUT_TT_PRECIS 4
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30

// tmPitchAndFamily bits (TMPF_FIXED_PITCH set means variable pitch).
#define TMPF_FIXED_PITCH 0x01
#define TMPF_VECTOR 0x02
#define TMPF_TRUETYPE 0x04

typedef struct tagLOGFONTA {
    LONG lfHeight;  // < 0: character (em) height; > 0: cell height; 0: a default
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];  // code page 936; need not end with NUL
} LOGFONTA, *PLOGFONTA, *LPLOGFONTA;
static_assert(sizeof(LOGFONTA) == 60, "LOGFONTA is 60 bytes");

typedef struct tagTEXTMETRICA {
    LONG tmHeight;  // tmAscent + tmDescent
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICA, *PTEXTMETRICA, *LPTEXTMETRICA;
static_assert(sizeof(TEXTMETRICA) == 56, "TEXTMETRICA is 56 bytes");
static_assert(offsetof(TEXTMETRICA, tmFirstChar) == 44, "TEXTMETRICA layout");

// A glyph's black box (the smallest rectangle around its pixels), the box's
// top-left relative to the pen position on the baseline (y up), and the
// distance to the next pen position.
typedef struct _GLYPHMETRICS {
    UINT gmBlackBoxX;
    UINT gmBlackBoxY;
    POINT gmptGlyphOrigin;
    SHORT gmCellIncX;
    SHORT gmCellIncY;
} GLYPHMETRICS, *LPGLYPHMETRICS;
static_assert(sizeof(GLYPHMETRICS) == 20, "GLYPHMETRICS is 20 bytes");

// 16.16 fixed point.
typedef struct _FIXED {
    WORD fract;
    SHORT value;
} FIXED;
static_assert(sizeof(FIXED) == 4, "FIXED is 4 bytes");

typedef struct _MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
} MAT2, *LPMAT2;
static_assert(sizeof(MAT2) == 16, "MAT2 is 16 bytes");

// GetGlyphOutlineA formats.
#define GGO_METRICS 0
#define GGO_BITMAP 1        // 1 bit a pixel, most significant bit first
#define GGO_NATIVE 2
#define GGO_BEZIER 3
#define GGO_GRAY2_BITMAP 4
#define GGO_GRAY4_BITMAP 5
#define GGO_GRAY8_BITMAP 6  // one byte a pixel, levels 0 to 64
#define GGO_GLYPH_INDEX 0x0080

#define GDI_ERROR (0xFFFFFFFFL)

// A logical font. Never fails for a sound record; the face is resolved when
// the font is first used. Freed with DeleteObject.
HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lf);
HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                         DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                         DWORD pitchAndFamily, LPCSTR faceName);

// The metrics of the font selected into a memory context. FALSE when the
// context is unknown or no installed face can be opened.
BOOL WINAPI GetTextMetricsA(HDC dc, LPTEXTMETRICA tm);

// One glyph of the font selected into a memory context, with the identity
// matrix (no other matrix is supported). GGO_METRICS fills gm only and
// returns 0; GGO_BITMAP and GGO_GRAY8_BITMAP fill gm and return the size of
// the bitmap (rows top-down, each padded to 4 bytes), writing it to buffer
// when buffer is not null and size is not 0. A glyph without pixels (a space)
// has a 1 x 1 black box and a size of 0. GDI_ERROR for an unknown context, a
// code that code page 936 does not map, another format or matrix, or a
// buffer smaller than the bitmap.
DWORD WINAPI GetGlyphOutlineA(HDC dc, UINT code, UINT format, LPGLYPHMETRICS gm, DWORD size,
                              LPVOID buffer, const MAT2* matrix);
