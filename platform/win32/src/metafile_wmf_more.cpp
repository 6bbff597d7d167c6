// Windows metafile records beyond the shapes, regions and DIB blits. The
// parameters are 16-bit words from byte 6, most records listing the last
// coordinate first.
#include "metafile_more_records.h"

namespace win32metafile {

namespace {

// Parameter word i, signed.
long W(const RecordBytes& r, size_t i)
{
    long v = 0;
    r.S16(6 + 2 * i, v);
    return v;
}

// Parameter words i and i + 1 as one 32-bit value.
DWORD D(const RecordBytes& r, size_t i)
{
    DWORD v = 0;
    r.U32(6 + 2 * i, v);
    return v;
}

}  // namespace

bool PlayWindowsMore(WORD function, const RecordBytes& r, Player& player)
{
    switch (function) {
    case kWmfFloodFill:
        // The colour bounding the area, then y and x.
        return player.FloodFill(W(r, 3), W(r, 2), D(r, 0), false);
    case kWmfExtFloodFill: {
        // The mode (0 up to the colour, 1 the colour), the colour, y, x.
        const long mode = W(r, 0);
        return (mode == 0 || mode == 1) && player.FloodFill(W(r, 4), W(r, 3), D(r, 1), mode == 1);
    }
    case kWmfSetLayout:
        player.SetLayout((WORD)W(r, 0));  // the layout, then a reserved word
        return true;
    case kWmfSetRelAbs:
    case kWmfSetMapperFlags:
        // Relative coordinates were never implemented by the system, and the
        // font mapper's aspect preference changes no face the player picks.
        return true;
    case kWmfEscape:
        // Escapes speak to printer drivers; none of them draws on a screen.
        return true;
    default:
        return false;
    }
}

}  // namespace win32metafile
