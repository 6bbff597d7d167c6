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

}  // namespace

bool PlayWindowsMore(WORD function, const RecordBytes& /*r*/, Player& player)
{
    (void)player;
    switch (function) {
    case kWmfSetRelAbs:
    case kWmfSetMapperFlags:
        // Relative coordinates were never implemented by the system, and the
        // font mapper's aspect preference changes no face the player picks.
        return true;
    case kWmfEscape:
        // Escapes speak to printer drivers; none of them draws on a screen.
        return true;
    default:
        (void)W;
        return false;
    }
}

}  // namespace win32metafile
