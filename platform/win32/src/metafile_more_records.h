// The records of both formats that shade, blend, flood, widen and mirror:
// gradients, alpha and colour-key blits, parallelogram blits, the drawing
// records that move the current position along arcs and mixed figures, flood
// fills, the meta region, the layout, text justification, and the records
// that change nothing a screen shows.
#pragma once

#include "metafile_bytes.h"
#include "metafile_player.h"

namespace win32metafile {

// Enhanced metafile record types.
constexpr DWORD kEmrSetMapperFlags = 16;
constexpr DWORD kEmrSetColorAdjustment = 23;
constexpr DWORD kEmrSetMetaRgn = 28;
constexpr DWORD kEmrAngleArc = 41;
constexpr DWORD kEmrExtFloodFill = 53;
constexpr DWORD kEmrArcTo = 55;
constexpr DWORD kEmrPolyDraw = 56;
constexpr DWORD kEmrWidenPath = 66;
constexpr DWORD kEmrPlgBlt = 79;
constexpr DWORD kEmrPolyDraw16 = 92;
constexpr DWORD kEmrSetIcmMode = 98;
constexpr DWORD kEmrCreateColorSpace = 99;
constexpr DWORD kEmrSetColorSpace = 100;
constexpr DWORD kEmrDeleteColorSpace = 101;
constexpr DWORD kEmrGlsRecord = 102;
constexpr DWORD kEmrGlsBoundedRecord = 103;
constexpr DWORD kEmrPixelFormat = 104;
constexpr DWORD kEmrDrawEscape = 105;
constexpr DWORD kEmrExtEscape = 106;
constexpr DWORD kEmrForceUfiMapping = 109;
constexpr DWORD kEmrNamedEscape = 110;
constexpr DWORD kEmrSetIcmProfileA = 112;
constexpr DWORD kEmrSetIcmProfileW = 113;
constexpr DWORD kEmrAlphaBlend = 114;
constexpr DWORD kEmrSetLayout = 115;
constexpr DWORD kEmrTransparentBlt = 116;
constexpr DWORD kEmrGradientFill = 118;
constexpr DWORD kEmrSetLinkedUfis = 119;
constexpr DWORD kEmrSetTextJustification = 120;
constexpr DWORD kEmrColorMatchToTargetW = 121;
constexpr DWORD kEmrCreateColorSpaceW = 122;

// Windows metafile functions.
constexpr WORD kWmfSetRelAbs = 0x0105;
constexpr WORD kWmfSetLayout = 0x0149;
constexpr WORD kWmfSetTextJustification = 0x020A;
constexpr WORD kWmfSetMapperFlags = 0x0231;
constexpr WORD kWmfFloodFill = 0x0419;
constexpr WORD kWmfExtFloodFill = 0x0548;
constexpr WORD kWmfEscape = 0x0626;
constexpr WORD kWmfBitBlt = 0x0922;
constexpr WORD kWmfStretchBlt = 0x0B23;

// Each plays one record (the whole record, its type and size first, its
// size already checked against the size table); false when it draws nothing
// the player can draw or GDI would refuse it.
bool PlayEnhancedMore(DWORD type, const RecordBytes& r, Player& player);
bool PlayWindowsMore(WORD function, const RecordBytes& r, Player& player);

// The record readers of the families, each in its family's file.
bool PlayGradientRecord(const RecordBytes& r, Player& player);
bool PlayBlendRecord(DWORD type, const RecordBytes& r, Player& player);
bool PlayPlgBltRecord(const RecordBytes& r, Player& player);
bool PlayPolyDrawRecord(DWORD type, const RecordBytes& r, Player& player);

// An old device bitmap (Bitmap16) of `n` bytes as a DIB held in `store`;
// a monochrome one in the text and background colours. False for one the
// player cannot read or whose rows run past `n`.
bool Bitmap16Dib(const BYTE* p, size_t n, COLORREF text, COLORREF background,
                 std::vector<BYTE>& store, DibRef& dib);

// A pattern brush of colours from CREATEPATTERNBRUSH's device bitmap (its
// 10-byte header, a pointer and 18 reserved bytes, then the rows); false
// for one the player cannot read.
bool OldColourBrush(const RecordBytes& r, Player& player, Brush& out);

// The bitmap named by the four fields from `at` (offset and size of its
// header and colours, then of its bits); false when they leave the record.
bool RecordBitmap(const RecordBytes& r, size_t at, DibRef& dib);

}  // namespace win32metafile
