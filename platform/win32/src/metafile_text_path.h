// Glyph outlines for text drawn inside a path.
#pragma once

#include "metafile_raster.h"

#include <windows.h>

#include <vector>

namespace win32metafile {

// The outline figures of each code's glyph in the font, in pixels from the
// pen position on the baseline (y down); an empty list for a code without
// one. False when no face can be found.
bool GlyphOutlines(const LOGFONTA& lf, const std::vector<UINT>& codes,
                   std::vector<std::vector<Figure>>& glyphs);

}  // namespace win32metafile
