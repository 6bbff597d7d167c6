// The size each metafile record needs before it may act: one table a
// format, each record type's fixed fields, and the bytes its counts and
// offsets imply (points, strings, spacing arrays, bitmaps, region data). A
// record that falls short is skipped whole, never played with zeros for the
// fields it lacks.
#pragma once

#include "metafile_bytes.h"

namespace win32metafile {

// Whether an enhanced-metafile record of `type` (the whole record, its type
// and size fields included) holds everything its type reads. Types outside
// the table fit.
bool EnhancedRecordFits(DWORD type, const RecordBytes& record);

// The same for a Windows-metafile record of `function` (the whole record,
// its size and function fields included).
bool WindowsRecordFits(WORD function, const RecordBytes& record);

}  // namespace win32metafile
