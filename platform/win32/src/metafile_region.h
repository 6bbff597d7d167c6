// Regions in the metafile player: the boolean combinations of two banded
// regions, a region moved, and the region data records carry.
#pragma once

#include "metafile_clip.h"

#include <cstddef>

namespace win32metafile {

// The combination modes, as in files: RGN_AND .. RGN_COPY.
constexpr int kRegionAnd = 1;
constexpr int kRegionOr = 2;
constexpr int kRegionXor = 3;
constexpr int kRegionDiff = 4;
constexpr int kRegionCopy = 5;

// a combined with b by the mode (RGN_COPY gives b); null for another mode.
std::shared_ptr<const ClipRegion> CombineRegions(const ClipRegion& a, const ClipRegion& b,
                                                 int mode);
// The region moved by (dx, dy).
std::shared_ptr<const ClipRegion> OffsetRegion(const ClipRegion& r, long dx, long dy);

// The rectangles of a region data block (a 32-byte header: its size, type,
// rectangle count, data size and bounds; then the rectangles) of n bytes;
// false when the header is not one or the count runs past the block.
bool ReadRegionData(const BYTE* p, size_t n, std::vector<RECT>& out);

}  // namespace win32metafile
