// The two record readers: each walks its metafile's records from the first
// after the header and plays them on a player.
#pragma once

#include "metafile_player.h"

namespace win32metafile {

// Texts a damaged record stops a play with.
extern const char kStopPastEnd[];
extern const char kStopTooShort[];
extern const char kStopWorkSpent[];

// Plays the records of a Windows metafile (its 18-byte header first).
void PlayWindowsRecords(const Metafile& metafile, Player& player, PlayStats& stats);
// Plays the records of an enhanced metafile (its header record first).
void PlayEnhancedRecords(const Metafile& metafile, Player& player, PlayStats& stats);

// Splits a packed DIB (BITMAPINFO, then the bits) that fills `n` bytes; its
// colour table of 16-bit entry numbers under DIB_PAL_COLORS.
bool SplitPackedDib(const BYTE* p, size_t n, DibRef& dib, DWORD usage = DIB_RGB_COLORS);

}  // namespace win32metafile
