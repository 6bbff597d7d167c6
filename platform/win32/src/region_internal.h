// Regions shared with DeleteObject, which frees every kind of GDI object.
#pragma once

#include "win32_types.h"

namespace win32region {

// Frees the region behind handle; false when handle is not a region.
bool DeleteRegion(HGDIOBJ handle);

}  // namespace win32region
