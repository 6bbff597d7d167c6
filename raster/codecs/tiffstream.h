// The TIFF codec's stream layer inside the library: libtiff handles over a
// RasterFile whose messages also land in an image's last-error text.
#pragma once

#include <tiffio.h>

#include "rasterfile.h"

// A handle over stream from its current position (the position counts as the
// start of the TIFF data), or null. libtiff's warnings and errors are shown in
// a message box and, when errorText (256 bytes) is given, copied into it;
// errorText must outlive the handle. maxAlloc > 0 caps any single allocation
// libtiff makes for the handle.
TIFF* RasterTiffOpen(RasterFile* stream, const char* name, const char* mode, char* errorText,
                     tmsize_t maxAlloc);
