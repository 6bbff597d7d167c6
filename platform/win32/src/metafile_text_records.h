// The text records of both metafile formats: fonts, alignment and text
// output.
#pragma once

#include "metafile_bytes.h"
#include "metafile_player.h"

namespace win32metafile {

// Enhanced metafile record types.
constexpr DWORD kEmrSetTextAlign = 22;
constexpr DWORD kEmrExtCreateFontIndirectW = 82;
constexpr DWORD kEmrExtTextOutA = 83;
constexpr DWORD kEmrExtTextOutW = 84;
constexpr DWORD kEmrPolyTextOutA = 96;
constexpr DWORD kEmrPolyTextOutW = 97;
constexpr DWORD kEmrSmallTextOut = 108;

// Windows metafile functions.
constexpr WORD kWmfSetTextAlign = 0x012E;
constexpr WORD kWmfSetTextCharExtra = 0x0108;
constexpr WORD kWmfTextOut = 0x0521;
constexpr WORD kWmfExtTextOut = 0x0A32;
constexpr WORD kWmfCreateFontIndirect = 0x02FB;

// Each plays one record (the whole record, its type and size first); false
// when the record is too short for what it says it holds or draws nothing
// the player can draw.
bool PlayEnhancedText(DWORD type, const RecordBytes& r, Player& player);
bool PlayWindowsText(WORD function, const RecordBytes& r, Player& player);

}  // namespace win32metafile
