// The enhanced metafile's world-transform records.
#pragma once

#include "metafile_bytes.h"
#include "metafile_player.h"

namespace win32metafile {

constexpr DWORD kEmrSetWorldTransform = 35;
constexpr DWORD kEmrModifyWorldTransform = 36;

// Plays one of the two records; false when it is too short or GDI would
// refuse the transform (the one set stays).
bool PlayWorldRecord(DWORD type, const RecordBytes& r, Player& player);

}  // namespace win32metafile
