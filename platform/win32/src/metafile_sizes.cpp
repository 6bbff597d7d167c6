// The record size tables. Sizes count the whole record: an enhanced record's
// type and size (8 bytes) and a Windows record's size and function (6 bytes)
// included. Counts are multiplied in 64 bits, so no count wraps a check.
#include "metafile_sizes.h"

#include "metafile_readers.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace win32metafile {

namespace {

// Text options that change a text record's layout.
constexpr DWORD kTextOpaque = 0x0002;
constexpr DWORD kTextClipped = 0x0004;
constexpr DWORD kTextNoRect = 0x0100;      // a small text record without its rectangle
constexpr DWORD kTextSmallChars = 0x0200;  // a small text record of 8-bit characters
constexpr DWORD kTextPdy = 0x2000;         // spacing in pairs, across and down

// What a record's counts and offsets ask beyond its fixed part.
enum class Extra {
    kNone,
    kCount,      // `count` items of `each` bytes from `data`; the count at `at`
    kPolyPoly,   // figure count at 24, point count at 28, the counts, then points of `each`
    kBitmap,     // offset and size of the info, then of the bits, from `at`
    kBitmaps,    // two such bitmaps: the source's from `at`, the mask's from `data`
    kText,       // the text block at `at`, characters of `each` bytes
    kPolyText,   // a count at 36 of text blocks from 40, characters of `each` bytes
    kSmallText,  // the small text record's own layout
    kPackedDib,  // a packed bitmap from byte `at` to the record's end, its colour use at `each`
    kScanDib,    // the same holding as many scan lines as the 16-bit count at `data`
    kWinText,    // a character count at 6, the string, then two words
    kWinExtText,
    kGradient,  // vertices of 16 bytes from 36 (count at 24), then shapes (count at 28)
};

struct Rule {
    uint32_t type;
    uint32_t min;  // bytes
    Extra extra;
    uint32_t at;
    uint32_t each;
    uint32_t data;
    uint8_t countBytes;
};

// Enhanced records. The text block (ptlReference, nChars, offString, options,
// rcl, offDx) is 40 bytes.
constexpr Rule kEnhanced[] = {
    {2, 28, Extra::kCount, 24, 8, 28, 4},       // POLYBEZIER
    {3, 28, Extra::kCount, 24, 8, 28, 4},       // POLYGON
    {4, 28, Extra::kCount, 24, 8, 28, 4},       // POLYLINE
    {5, 28, Extra::kCount, 24, 8, 28, 4},       // POLYBEZIERTO
    {6, 28, Extra::kCount, 24, 8, 28, 4},       // POLYLINETO
    {7, 32, Extra::kPolyPoly, 0, 8, 0, 0},      // POLYPOLYLINE
    {8, 32, Extra::kPolyPoly, 0, 8, 0, 0},      // POLYPOLYGON
    {9, 16, Extra::kNone, 0, 0, 0, 0},          // SETWINDOWEXTEX
    {10, 16, Extra::kNone, 0, 0, 0, 0},         // SETWINDOWORGEX
    {11, 16, Extra::kNone, 0, 0, 0, 0},         // SETVIEWPORTEXTEX
    {12, 16, Extra::kNone, 0, 0, 0, 0},         // SETVIEWPORTORGEX
    {13, 16, Extra::kNone, 0, 0, 0, 0},         // SETBRUSHORGEX
    {15, 20, Extra::kNone, 0, 0, 0, 0},         // SETPIXELV
    {16, 12, Extra::kNone, 0, 0, 0, 0},         // SETMAPPERFLAGS
    {17, 12, Extra::kNone, 0, 0, 0, 0},         // SETMAPMODE
    {18, 12, Extra::kNone, 0, 0, 0, 0},         // SETBKMODE
    {19, 12, Extra::kNone, 0, 0, 0, 0},         // SETPOLYFILLMODE
    {20, 12, Extra::kNone, 0, 0, 0, 0},         // SETROP2
    {21, 12, Extra::kNone, 0, 0, 0, 0},         // SETSTRETCHBLTMODE
    {22, 12, Extra::kNone, 0, 0, 0, 0},         // SETTEXTALIGN
    {23, 32, Extra::kNone, 0, 0, 0, 0},         // SETCOLORADJUSTMENT
    {24, 12, Extra::kNone, 0, 0, 0, 0},         // SETTEXTCOLOR
    {25, 12, Extra::kNone, 0, 0, 0, 0},         // SETBKCOLOR
    {26, 16, Extra::kNone, 0, 0, 0, 0},         // OFFSETCLIPRGN
    {27, 16, Extra::kNone, 0, 0, 0, 0},         // MOVETOEX
    {28, 8, Extra::kNone, 0, 0, 0, 0},          // SETMETARGN
    {29, 24, Extra::kNone, 0, 0, 0, 0},         // EXCLUDECLIPRECT
    {30, 24, Extra::kNone, 0, 0, 0, 0},         // INTERSECTCLIPRECT
    {31, 24, Extra::kNone, 0, 0, 0, 0},         // SCALEVIEWPORTEXTEX
    {32, 24, Extra::kNone, 0, 0, 0, 0},         // SCALEWINDOWEXTEX
    {33, 8, Extra::kNone, 0, 0, 0, 0},          // SAVEDC
    {34, 12, Extra::kNone, 0, 0, 0, 0},         // RESTOREDC
    {35, 32, Extra::kNone, 0, 0, 0, 0},         // SETWORLDTRANSFORM: a 24-byte transform
    {36, 36, Extra::kNone, 0, 0, 0, 0},         // MODIFYWORLDTRANSFORM: and its mode
    {37, 12, Extra::kNone, 0, 0, 0, 0},         // SELECTOBJECT
    {38, 28, Extra::kNone, 0, 0, 0, 0},         // CREATEPEN
    {39, 24, Extra::kNone, 0, 0, 0, 0},         // CREATEBRUSHINDIRECT
    {40, 12, Extra::kNone, 0, 0, 0, 0},         // DELETEOBJECT
    {41, 28, Extra::kNone, 0, 0, 0, 0},         // ANGLEARC
    {42, 24, Extra::kNone, 0, 0, 0, 0},         // ELLIPSE
    {43, 24, Extra::kNone, 0, 0, 0, 0},         // RECTANGLE
    {44, 32, Extra::kNone, 0, 0, 0, 0},         // ROUNDRECT
    {45, 40, Extra::kNone, 0, 0, 0, 0},         // ARC
    {46, 40, Extra::kNone, 0, 0, 0, 0},         // CHORD
    {47, 40, Extra::kNone, 0, 0, 0, 0},         // PIE
    {48, 12, Extra::kNone, 0, 0, 0, 0},         // SELECTPALETTE
    {49, 16, Extra::kCount, 14, 4, 16, 2},      // CREATEPALETTE: 16-bit entry count
    {50, 20, Extra::kCount, 16, 4, 20, 4},      // SETPALETTEENTRIES
    {51, 16, Extra::kNone, 0, 0, 0, 0},         // RESIZEPALETTE
    {52, 8, Extra::kNone, 0, 0, 0, 0},          // REALIZEPALETTE
    {53, 24, Extra::kNone, 0, 0, 0, 0},         // EXTFLOODFILL
    {54, 16, Extra::kNone, 0, 0, 0, 0},         // LINETO
    {55, 40, Extra::kNone, 0, 0, 0, 0},         // ARCTO
    {56, 28, Extra::kCount, 24, 9, 28, 4},      // POLYDRAW: a point and a type byte each
    {57, 12, Extra::kNone, 0, 0, 0, 0},         // SETARCDIRECTION
    {58, 12, Extra::kNone, 0, 0, 0, 0},         // SETMITERLIMIT
    {59, 8, Extra::kNone, 0, 0, 0, 0},          // BEGINPATH
    {60, 8, Extra::kNone, 0, 0, 0, 0},          // ENDPATH
    {61, 8, Extra::kNone, 0, 0, 0, 0},          // CLOSEFIGURE
    {62, 24, Extra::kNone, 0, 0, 0, 0},         // FILLPATH: bounds
    {63, 24, Extra::kNone, 0, 0, 0, 0},         // STROKEANDFILLPATH
    {64, 24, Extra::kNone, 0, 0, 0, 0},         // STROKEPATH
    {65, 8, Extra::kNone, 0, 0, 0, 0},          // FLATTENPATH
    {66, 8, Extra::kNone, 0, 0, 0, 0},          // WIDENPATH
    {67, 12, Extra::kNone, 0, 0, 0, 0},         // SELECTCLIPPATH
    {68, 8, Extra::kNone, 0, 0, 0, 0},          // ABORTPATH
    {70, 12, Extra::kCount, 8, 1, 12, 4},       // GDICOMMENT
    {71, 32, Extra::kCount, 24, 1, 32, 4},      // FILLRGN
    {72, 40, Extra::kCount, 24, 1, 40, 4},      // FRAMERGN
    {73, 28, Extra::kCount, 24, 1, 28, 4},      // INVERTRGN
    {74, 28, Extra::kCount, 24, 1, 28, 4},      // PAINTRGN
    {75, 16, Extra::kCount, 8, 1, 16, 4},       // EXTSELECTCLIPRGN
    {76, 100, Extra::kBitmap, 84, 0, 0, 0},     // BITBLT
    {77, 108, Extra::kBitmap, 84, 0, 0, 0},     // STRETCHBLT
    {78, 128, Extra::kBitmaps, 84, 0, 112, 0},  // MASKBLT
    {79, 140, Extra::kBitmaps, 96, 0, 124, 0},  // PLGBLT
    {80, 76, Extra::kBitmap, 48, 0, 0, 0},      // SETDIBITSTODEVICE
    {81, 80, Extra::kBitmap, 48, 0, 0, 0},      // STRETCHDIBITS
    {82, 104, Extra::kNone, 0, 0, 0, 0},        // EXTCREATEFONTINDIRECTW: slot, LOGFONTW
    {83, 76, Extra::kText, 36, 1, 0, 0},        // EXTTEXTOUTA
    {84, 76, Extra::kText, 36, 2, 0, 0},        // EXTTEXTOUTW
    {85, 28, Extra::kCount, 24, 4, 28, 4},      // POLYBEZIER16
    {86, 28, Extra::kCount, 24, 4, 28, 4},      // POLYGON16
    {87, 28, Extra::kCount, 24, 4, 28, 4},      // POLYLINE16
    {88, 28, Extra::kCount, 24, 4, 28, 4},      // POLYBEZIERTO16
    {89, 28, Extra::kCount, 24, 4, 28, 4},      // POLYLINETO16
    {90, 32, Extra::kPolyPoly, 0, 4, 0, 0},     // POLYPOLYLINE16
    {91, 32, Extra::kPolyPoly, 0, 4, 0, 0},     // POLYPOLYGON16
    {92, 28, Extra::kCount, 24, 5, 28, 4},      // POLYDRAW16
    {93, 32, Extra::kBitmap, 16, 0, 0, 0},      // CREATEMONOBRUSH
    {94, 32, Extra::kBitmap, 16, 0, 0, 0},      // CREATEDIBPATTERNBRUSHPT
    {95, 52, Extra::kCount, 48, 4, 52, 4},      // EXTCREATEPEN: its style entries
    {96, 40, Extra::kPolyText, 0, 1, 0, 0},     // POLYTEXTOUTA
    {97, 40, Extra::kPolyText, 0, 2, 0, 0},     // POLYTEXTOUTW
    {98, 12, Extra::kNone, 0, 0, 0, 0},         // SETICMMODE
    {99, 340, Extra::kNone, 0, 0, 0, 0},        // CREATECOLORSPACE: slot, LOGCOLORSPACEA
    {100, 12, Extra::kNone, 0, 0, 0, 0},        // SETCOLORSPACE
    {101, 12, Extra::kNone, 0, 0, 0, 0},        // DELETECOLORSPACE
    {102, 12, Extra::kCount, 8, 1, 12, 4},      // GLSRECORD: its data
    {103, 28, Extra::kCount, 24, 1, 28, 4},     // GLSBOUNDEDRECORD: bounds, its data
    {104, 48, Extra::kNone, 0, 0, 0, 0},        // PIXELFORMAT: the 40-byte descriptor
    {105, 16, Extra::kCount, 12, 1, 16, 4},     // DRAWESCAPE: function, its data
    {106, 16, Extra::kCount, 12, 1, 16, 4},     // EXTESCAPE
    {108, 36, Extra::kSmallText, 0, 0, 0, 0},   // SMALLTEXTOUT
    {109, 16, Extra::kNone, 0, 0, 0, 0},        // FORCEUFIMAPPING: one font identifier
    {110, 20, Extra::kCount, 12, 1, 20, 4},     // NAMEDESCAPE: function, driver name, data
    {111, 24, Extra::kNone, 0, 0, 0, 0},        // COLORCORRECTPALETTE
    {112, 20, Extra::kCount, 12, 1, 20, 4},     // SETICMPROFILEA: flags, name, data
    {113, 20, Extra::kCount, 12, 1, 20, 4},     // SETICMPROFILEW
    {114, 108, Extra::kBitmap, 84, 0, 0, 0},    // ALPHABLEND
    {115, 12, Extra::kNone, 0, 0, 0, 0},        // SETLAYOUT
    {116, 108, Extra::kBitmap, 84, 0, 0, 0},    // TRANSPARENTBLT
    {118, 36, Extra::kGradient, 0, 0, 0, 0},    // GRADIENTFILL: its vertices and shapes
    {119, 20, Extra::kCount, 8, 8, 20, 4},      // SETLINKEDUFIS: identifiers and 8 reserved bytes
    {120, 16, Extra::kNone, 0, 0, 0, 0},        // SETTEXTJUSTIFICATION
    {121, 24, Extra::kCount, 16, 1, 24, 4},     // COLORMATCHTOTARGETW: action, flags, name
    {122, 608, Extra::kCount, 604, 1, 608, 4},  // CREATECOLORSPACEW: slot, LOGCOLORSPACEW, data
};

// Windows records; parameters start at byte 6.
constexpr Rule kWindows[] = {
    {0x001E, 6, Extra::kNone, 0, 0, 0, 0},         // SAVEDC
    {0x0035, 6, Extra::kNone, 0, 0, 0, 0},         // REALIZEPALETTE
    {0x0037, 10, Extra::kCount, 8, 4, 10, 2},      // SETPALENTRIES: start, count, entries
    {0x00F7, 10, Extra::kCount, 8, 4, 10, 2},      // CREATEPALETTE: version, count, entries
    {0x0102, 8, Extra::kNone, 0, 0, 0, 0},         // SETBKMODE
    {0x0103, 8, Extra::kNone, 0, 0, 0, 0},         // SETMAPMODE
    {0x0104, 8, Extra::kNone, 0, 0, 0, 0},         // SETROP2
    {0x0105, 8, Extra::kNone, 0, 0, 0, 0},         // SETRELABS
    {0x0106, 8, Extra::kNone, 0, 0, 0, 0},         // SETPOLYFILLMODE
    {0x0107, 8, Extra::kNone, 0, 0, 0, 0},         // SETSTRETCHBLTMODE
    {0x0108, 8, Extra::kNone, 0, 0, 0, 0},         // SETTEXTCHAREXTRA
    {0x0127, 8, Extra::kNone, 0, 0, 0, 0},         // RESTOREDC
    {0x012A, 8, Extra::kNone, 0, 0, 0, 0},         // INVERTREGION
    {0x012B, 8, Extra::kNone, 0, 0, 0, 0},         // PAINTREGION
    {0x012C, 8, Extra::kNone, 0, 0, 0, 0},         // SELECTCLIPREGION
    {0x012D, 8, Extra::kNone, 0, 0, 0, 0},         // SELECTOBJECT
    {0x012E, 8, Extra::kNone, 0, 0, 0, 0},         // SETTEXTALIGN
    {0x0139, 8, Extra::kNone, 0, 0, 0, 0},         // RESIZEPALETTE
    {0x0142, 10, Extra::kPackedDib, 10, 8, 0, 0},  // DIBCREATEPATTERNBRUSH: style, use, bitmap
    {0x0149, 10, Extra::kNone, 0, 0, 0, 0},        // SETLAYOUT
    {0x01F0, 8, Extra::kNone, 0, 0, 0, 0},         // DELETEOBJECT
    {0x01F9, 38, Extra::kNone, 0, 0, 0, 0},        // CREATEPATTERNBRUSH: bitmap header, reserved
    {0x0201, 10, Extra::kNone, 0, 0, 0, 0},        // SETBKCOLOR
    {0x0209, 10, Extra::kNone, 0, 0, 0, 0},        // SETTEXTCOLOR
    {0x020A, 10, Extra::kNone, 0, 0, 0, 0},        // SETTEXTJUSTIFICATION
    {0x020B, 10, Extra::kNone, 0, 0, 0, 0},        // SETWINDOWORG
    {0x020C, 10, Extra::kNone, 0, 0, 0, 0},        // SETWINDOWEXT
    {0x020D, 10, Extra::kNone, 0, 0, 0, 0},        // SETVIEWPORTORG
    {0x020E, 10, Extra::kNone, 0, 0, 0, 0},        // SETVIEWPORTEXT
    {0x020F, 10, Extra::kNone, 0, 0, 0, 0},        // OFFSETWINDOWORG
    {0x0211, 10, Extra::kNone, 0, 0, 0, 0},        // OFFSETVIEWPORTORG
    {0x0213, 10, Extra::kNone, 0, 0, 0, 0},        // LINETO
    {0x0214, 10, Extra::kNone, 0, 0, 0, 0},        // MOVETO
    {0x0220, 10, Extra::kNone, 0, 0, 0, 0},        // OFFSETCLIPRGN
    {0x0228, 10, Extra::kNone, 0, 0, 0, 0},        // FILLREGION
    {0x0231, 10, Extra::kNone, 0, 0, 0, 0},        // SETMAPPERFLAGS
    {0x0234, 8, Extra::kNone, 0, 0, 0, 0},         // SELECTPALETTE
    {0x02FA, 16, Extra::kNone, 0, 0, 0, 0},        // CREATEPENINDIRECT: style, width (2), colour
    {0x02FB, 24, Extra::kNone, 0, 0, 0, 0},        // CREATEFONTINDIRECT: the font up to its face
    {0x02FC, 14, Extra::kNone, 0, 0, 0, 0},        // CREATEBRUSHINDIRECT: style, colour, hatch
    {0x0324, 8, Extra::kCount, 6, 4, 8, 2},        // POLYGON
    {0x0325, 8, Extra::kCount, 6, 4, 8, 2},        // POLYLINE
    {0x0410, 14, Extra::kNone, 0, 0, 0, 0},        // SCALEWINDOWEXT
    {0x0412, 14, Extra::kNone, 0, 0, 0, 0},        // SCALEVIEWPORTEXT
    {0x0415, 14, Extra::kNone, 0, 0, 0, 0},        // EXCLUDECLIPRECT
    {0x0416, 14, Extra::kNone, 0, 0, 0, 0},        // INTERSECTCLIPRECT
    {0x0418, 14, Extra::kNone, 0, 0, 0, 0},        // ELLIPSE
    {0x0419, 14, Extra::kNone, 0, 0, 0, 0},        // FLOODFILL
    {0x041B, 14, Extra::kNone, 0, 0, 0, 0},        // RECTANGLE
    {0x041F, 14, Extra::kNone, 0, 0, 0, 0},        // SETPIXEL
    {0x0429, 14, Extra::kNone, 0, 0, 0, 0},        // FRAMEREGION
    {0x0436, 10, Extra::kCount, 8, 4, 10, 2},      // ANIMATEPALETTE
    {0x0521, 12, Extra::kWinText, 0, 0, 0, 0},     // TEXTOUT
    {0x0538, 8, Extra::kPolyPoly, 0, 0, 0, 0},     // POLYPOLYGON
    {0x0548, 16, Extra::kNone, 0, 0, 0, 0},        // EXTFLOODFILL
    {0x061C, 18, Extra::kNone, 0, 0, 0, 0},        // ROUNDRECT
    {0x061D, 18, Extra::kNone, 0, 0, 0, 0},        // PATBLT
    {0x0626, 10, Extra::kCount, 8, 1, 10, 2},      // ESCAPE: function, byte count, data
    {0x06FF, 28, Extra::kNone, 0, 0, 0, 0},        // CREATEREGION: the region's header
    {0x0817, 22, Extra::kNone, 0, 0, 0, 0},        // ARC
    {0x081A, 22, Extra::kNone, 0, 0, 0, 0},        // PIE
    {0x0830, 22, Extra::kNone, 0, 0, 0, 0},        // CHORD
    {0x0922, 24, Extra::kNone, 0, 0, 0, 0},        // BITBLT (without a bitmap at its shortest)
    {0x0940, 20, Extra::kNone, 0, 0, 0, 0},        // DIBBITBLT (without a bitmap at its shortest)
    {0x0A32, 14, Extra::kWinExtText, 0, 0, 0, 0},  // EXTTEXTOUT
    {0x0B23, 28, Extra::kNone, 0, 0, 0, 0},        // STRETCHBLT (without a bitmap at its shortest)
    {0x0B41, 26, Extra::kNone, 0, 0, 0, 0},        // DIBSTRETCHBLT
    {0x0D33, 24, Extra::kScanDib, 24, 6, 8, 0},    // SETDIBTODEV: its scan lines only
    {0x0F43, 28, Extra::kPackedDib, 28, 10, 0, 0},  // STRETCHDIB
};

// The tables are searched by halves: each must stay sorted by type.
template <size_t N>
constexpr bool Sorted(const Rule (&rules)[N])
{
    for (size_t i = 1; i < N; i++) {
        if (rules[i - 1].type >= rules[i].type)
            return false;
    }
    return true;
}
static_assert(Sorted(kEnhanced), "enhanced record sizes out of order");
static_assert(Sorted(kWindows), "Windows record sizes out of order");

const Rule* Find(const Rule* begin, const Rule* end, uint32_t type)
{
    const Rule* r = std::lower_bound(begin, end, type,
                                     [](const Rule& rule, uint32_t t) { return rule.type < t; });
    return r != end && r->type == type ? r : nullptr;
}

DWORD Count(const RecordBytes& r, size_t at, int bytes)
{
    if (bytes == 2) {
        WORD w = 0;
        return r.U16(at, w) ? w : 0;
    }
    DWORD d = 0;
    r.U32(at, d);
    return d;
}

// Whether `count` items of `each` bytes fit from `at`.
bool Holds(const RecordBytes& r, uint64_t at, uint64_t count, uint64_t each)
{
    const uint64_t bytes = count * each;  // both below 2^32: no wrap
    return at <= r.Size() && bytes <= r.Size() - at;
}

// A text block at `at`: its string (nChars characters at offString) and, when
// it names one, its spacing array (a value a character, two with kTextPdy).
bool TextFits(const RecordBytes& r, size_t at, uint32_t charBytes)
{
    DWORD chars = 0, offString = 0, options = 0, offDx = 0;
    if (!r.U32(at + 8, chars) || !r.U32(at + 12, offString) || !r.U32(at + 16, options) ||
        !r.U32(at + 36, offDx))
        return false;
    if (chars == 0)
        return true;
    if (!Holds(r, offString, chars, charBytes))
        return false;
    return offDx == 0 || Holds(r, offDx, chars, (options & kTextPdy) ? 8 : 4);
}

bool SmallTextFits(const RecordBytes& r)
{
    DWORD chars = 0, options = 0;
    r.U32(16, chars);
    r.U32(20, options);
    const size_t text = (options & kTextNoRect) ? 36 : 52;
    return Holds(r, text, chars, (options & kTextSmallChars) ? 1 : 2);
}

// A packed bitmap from `at` to the end: its header and colour table, and
// for an uncompressed one every row its size implies.
// `scans`: the most rows the bits must hold (the bitmap's own height when
// it is less).
bool PackedDibFits(const RecordBytes& r, size_t at, size_t usageAt, uint64_t scans = UINT64_MAX)
{
    DibRef dib;
    WORD usage = DIB_RGB_COLORS;
    r.U16(usageAt, usage);
    if (at > r.Size() || !SplitPackedDib(r.Data() + at, r.Size() - at, dib, usage))
        return false;
    const RecordBytes info(dib.info, dib.infoSize);
    DWORD header = 0, compression = 0;
    long width = 0, height = 0;
    WORD bits = 0;
    info.U32(0, header);
    if (header == 12) {
        long w = 0, h = 0;
        info.S16(4, w);
        info.S16(6, h);
        width = w;
        height = h;
        info.U16(10, bits);
    } else {
        info.S32(4, width);
        info.S32(8, height);
        info.U16(14, bits);
        info.U32(16, compression);
    }
    if (compression != BI_RGB && compression != BI_BITFIELDS)
        return true;  // compressed: the decoder reads as far as the data goes
    const uint64_t stride = ((uint64_t)std::labs(width) * bits + 31) / 32 * 4;
    const uint64_t rows = std::min<uint64_t>((uint64_t)std::labs(height), scans);
    return rows == 0 || stride <= dib.bitsSize / rows;
}

// A bitmap named by the offsets and sizes of its info and bits from `at`;
// either may be absent (size 0).
bool BitmapFits(const RecordBytes& r, size_t at)
{
    const DWORD offInfo = Count(r, at, 4), info = Count(r, at + 4, 4);
    const DWORD offBits = Count(r, at + 8, 4), bits = Count(r, at + 12, 4);
    return (info == 0 || Holds(r, offInfo, info, 1)) && (bits == 0 || Holds(r, offBits, bits, 1));
}

bool ExtraFits(const Rule& rule, const RecordBytes& r, bool windows)
{
    switch (rule.extra) {
    case Extra::kNone: return true;
    case Extra::kCount: return Holds(r, rule.data, Count(r, rule.at, rule.countBytes), rule.each);
    case Extra::kPolyPoly: {
        if (windows) {
            // A polygon count, a point count a polygon, then the points.
            const DWORD polys = Count(r, 6, 2);
            if (!Holds(r, 8, polys, 2))
                return false;
            uint64_t points = 0;
            for (DWORD i = 0; i < polys; i++)
                points += Count(r, 8 + 2 * (size_t)i, 2);
            return Holds(r, 8 + 2 * (uint64_t)polys, points, 4);
        }
        const DWORD figures = Count(r, 24, 4), points = Count(r, 28, 4);
        return Holds(r, 32, figures, 4) && Holds(r, 32 + 4 * (uint64_t)figures, points, rule.each);
    }
    case Extra::kBitmap: return BitmapFits(r, rule.at);
    case Extra::kBitmaps: return BitmapFits(r, rule.at) && BitmapFits(r, rule.data);
    case Extra::kText: return TextFits(r, rule.at, rule.each);
    case Extra::kPolyText: {
        const DWORD strings = Count(r, 36, 4);
        if (!Holds(r, 40, strings, 40))
            return false;
        for (DWORD i = 0; i < strings; i++) {
            if (!TextFits(r, 40 + 40 * (size_t)i, rule.each))
                return false;
        }
        return true;
    }
    case Extra::kSmallText: return SmallTextFits(r);
    case Extra::kPackedDib: return PackedDibFits(r, rule.at, rule.each);
    case Extra::kScanDib: return PackedDibFits(r, rule.at, rule.each, Count(r, rule.data, 2));
    case Extra::kGradient: {
        // Two indices a rectangle, three a triangle (mode 2).
        const DWORD vertices = Count(r, 24, 4), shapes = Count(r, 28, 4);
        const uint64_t each = Count(r, 32, 4) == 2 ? 12 : 8;
        return Holds(r, 36, vertices, 16) && Holds(r, 36 + 16 * (uint64_t)vertices, shapes, each);
    }
    case Extra::kWinText: {
        // The count, the string padded to whole words, then y and x.
        const DWORD chars = Count(r, 6, 2);
        return Holds(r, 8, (chars + 1) / 2 + 2, 2);
    }
    case Extra::kWinExtText: {
        // y, x, count, options, the rectangle when the options use one, then
        // the string padded to whole words, or a word a glyph number (a
        // spacing array may follow).
        const DWORD chars = Count(r, 10, 2), options = Count(r, 12, 2);
        const size_t text = (options & (kTextOpaque | kTextClipped)) ? 22 : 14;
        return Holds(r, text, (options & kTextGlyphIndex) ? chars : (chars + 1) / 2, 2);
    }
    }
    return true;
}

}  // namespace

bool EnhancedRecordFits(DWORD type, const RecordBytes& record)
{
    const Rule* rule = Find(std::begin(kEnhanced), std::end(kEnhanced), type);
    return rule == nullptr || (record.Size() >= rule->min && ExtraFits(*rule, record, false));
}

bool WindowsRecordFits(WORD function, const RecordBytes& record)
{
    const Rule* rule = Find(std::begin(kWindows), std::end(kWindows), function);
    return rule == nullptr || (record.Size() >= rule->min && ExtraFits(*rule, record, true));
}

}  // namespace win32metafile
