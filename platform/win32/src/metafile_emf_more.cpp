// Enhanced metafile records beyond the shapes, paths, regions and plain
// blits: what each reads, then the player call that draws it. Offsets count
// from the record's start (type and size, 8 bytes, first).
#include "metafile_more_records.h"

namespace win32metafile {

bool PlayEnhancedMore(DWORD type, const RecordBytes& r, Player& player)
{
    switch (type) {
    case kEmrSetMapperFlags:
    case kEmrSetColorAdjustment:
    case kEmrSetIcmMode:
    case kEmrSetColorSpace:
    case kEmrGlsRecord:
    case kEmrGlsBoundedRecord:
    case kEmrPixelFormat:
    case kEmrDrawEscape:
    case kEmrExtEscape:
    case kEmrForceUfiMapping:
    case kEmrNamedEscape:
    case kEmrSetIcmProfileA:
    case kEmrSetIcmProfileW:
    case kEmrSetLinkedUfis:
    case kEmrColorMatchToTargetW:
        // Font mapping preferences, colour management, escapes to printer
        // drivers and OpenGL records: nothing a picture on a screen shows.
        return true;
    case kEmrCreateColorSpace:
    case kEmrCreateColorSpaceW:
        // A colour space takes its slot of the object table, so an object
        // made there later replaces it as GDI's table would.
        return player.Put(r.D(8), OtherObject());
    case kEmrDeleteColorSpace: return player.Delete(r.D(8));
    case kEmrExtFloodFill:
        // The start point, the colour, then the mode: 0 fills up to the
        // colour, 1 fills the colour.
        return r.D(20) <= 1 && player.FloodFill(r.L(8), r.L(12), r.D(16), r.D(20) == 1);
    case kEmrSetTextJustification:
        // The extra, then the number of breaks it is spread over.
        player.State().breakExtra = r.L(8);
        player.State().breakCount = r.L(12);
        return true;
    case kEmrWidenPath: return player.WidenPath();
    case kEmrSetLayout: player.SetLayout(r.D(8)); return true;
    case kEmrSetMetaRgn: player.SetMetaRegion(); return true;
    case kEmrGradientFill: return PlayGradientRecord(r, player);
    case kEmrAlphaBlend:
    case kEmrTransparentBlt: return PlayBlendRecord(type, r, player);
    case kEmrPlgBlt: return PlayPlgBltRecord(r, player);
    case kEmrArcTo:
    case kEmrAngleArc:
    case kEmrPolyDraw:
    case kEmrPolyDraw16: return PlayPolyDrawRecord(type, r, player);
    default: return false;
    }
}

}  // namespace win32metafile
