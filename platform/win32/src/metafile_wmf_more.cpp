// Windows metafile records beyond the shapes, regions and DIB blits. The
// parameters are 16-bit words from byte 6, most records listing the last
// coordinate first.
#include "metafile_more_records.h"

#include <vector>

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

// BitBlt and StretchBlt of an old device bitmap. Without a bitmap the
// record is three words longer than its function's top byte says, and a
// reserved word stands where the bitmap's parameters end.
bool OldBlit(WORD function, const RecordBytes& r, Player& player)
{
    const bool stretch = function == kWmfStretchBlt;
    const size_t params = (r.Size() - 6) / 2;
    const DWORD rop = D(r, 0);
    const size_t plain = stretch ? 11 : 9;  // the parameters without a bitmap
    if (r.Size() == ((size_t)(function >> 8) + 3) * 2 && params == plain) {
        const size_t at = plain - 4;
        return player.Blit(W(r, at + 3), W(r, at + 2), W(r, at + 1), W(r, at), nullptr, 0, 0, 0, 0,
                           rop);
    }
    // rop, [source h, w,] source y, x, then h, w, y, x; then the bitmap.
    const size_t at = stretch ? 6 : 4;
    const size_t bitmap = at + 4;
    if (params < bitmap)
        return false;
    std::vector<BYTE> store;
    DibRef dib;
    const DcState& s = player.State();
    if (!Bitmap16Dib(r.Data() + 6 + 2 * bitmap, r.Size() - 6 - 2 * bitmap, s.text, s.background,
                     store, dib))
        return false;
    const long w = W(r, at + 1), h = W(r, at);
    const long sw = stretch ? W(r, 3) : w, sh = stretch ? W(r, 2) : h;
    const size_t src = stretch ? 4 : 2;
    return player.Blit(W(r, at + 3), W(r, at + 2), w, h, &dib, W(r, src + 1), W(r, src), sw, sh,
                       rop);
}

}  // namespace

bool OldColourBrush(const RecordBytes& r, Player& player, Brush& out)
{
    // The header from byte 6, the rows 22 bytes after it.
    constexpr size_t kHeader = 6, kHeaderBytes = 10, kRows = kHeader + kHeaderBytes + 22;
    if (r.Size() < kRows)
        return false;
    std::vector<BYTE> bitmap(r.Data() + kHeader, r.Data() + kHeader + kHeaderBytes);
    bitmap.insert(bitmap.end(), r.Data() + kRows, r.Data() + r.Size());
    std::vector<BYTE> store;
    DibRef dib;
    const DcState& s = player.State();
    return Bitmap16Dib(bitmap.data(), bitmap.size(), s.text, s.background, store, dib) &&
           player.PatternBrush(dib, false, out);
}

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
    case kWmfBitBlt:
    case kWmfStretchBlt: return OldBlit(function, r, player);
    case kWmfSetTextJustification:
        // The number of breaks, then the extra spread over them.
        player.State().breakCount = W(r, 0);
        player.State().breakExtra = W(r, 1);
        return true;
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
    default: return false;
    }
}

}  // namespace win32metafile
