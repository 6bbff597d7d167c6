// Logical palettes in played metafiles: the records that make, select and
// change them, and bitmaps whose colour tables index them.
#pragma once

#include "metafile_bytes.h"
#include "metafile_player.h"

namespace win32metafile {

// Enhanced metafile record types of palettes.
constexpr DWORD kEmrSelectPalette = 48;
constexpr DWORD kEmrCreatePalette = 49;
constexpr DWORD kEmrSetPaletteEntries = 50;
constexpr DWORD kEmrResizePalette = 51;
constexpr DWORD kEmrRealizePalette = 52;

// Windows metafile functions of palettes.
constexpr WORD kWmfRealizePalette = 0x0035;
constexpr WORD kWmfSetPalEntries = 0x0037;
constexpr WORD kWmfCreatePalette = 0x00F7;
constexpr WORD kWmfResizePalette = 0x0139;
constexpr WORD kWmfSelectPalette = 0x0234;
constexpr WORD kWmfAnimatePalette = 0x0436;

// The enhanced records CREATEPALETTE, SELECTPALETTE, SETPALETTEENTRIES,
// RESIZEPALETTE and REALIZEPALETTE; false for one that changes nothing
// (a slot holding no palette, say).
bool PlayEnhancedPalette(DWORD type, const RecordBytes& record, Player& player);
// The Windows records CREATEPALETTE, SELECTPALETTE, SETPALENTRIES,
// RESIZEPALETTE, ANIMATEPALETTE and REALIZEPALETTE.
bool PlayWindowsPalette(WORD function, const RecordBytes& record, Player& player);

// Entry `i` of a palette as a colour; an entry number past its end takes
// the first entry, and an empty palette gives black.
COLORREF EntryColour(const std::vector<PALETTEENTRY>& palette, size_t i);

// A bitmap's colour use: DIB_PAL_COLORS points its colour table at the
// selected palette's entries.
void UsePaletteIndexes(DWORD usage, const Player& player, DibRef& dib);

}  // namespace win32metafile
