// Windows metafile records beyond the shapes, regions and DIB blits. The
// parameters are 16-bit words from byte 6, most records listing the last
// coordinate first.
#include "metafile_more_records.h"

#include <vector>

namespace win32metafile {

namespace {

// BitBlt and StretchBlt of an old device bitmap. Without a bitmap the
// record is three words longer than its function's top byte says, and a
// reserved word stands where the bitmap's parameters end.
bool OldBlit(WORD function, const RecordBytes& r, Player& player)
{
    const WindowsParams p(r);
    const bool stretch = function == kWmfStretchBlt;
    const size_t params = p.Count();
    const DWORD rop = p.D(0);
    const size_t plain = stretch ? 11 : 9;  // the parameters without a bitmap
    if (params == plain) {
        const size_t at = plain - 4;
        return player.Blit(p.W(at + 3), p.W(at + 2), p.W(at + 1), p.W(at), nullptr, 0, 0, 0, 0,
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
    if (!Bitmap16Dib(p.At(bitmap), p.BytesFrom(bitmap), s.text, s.background, store, dib))
        return false;
    const long w = p.W(at + 1), h = p.W(at);
    const long sw = stretch ? p.W(3) : w, sh = stretch ? p.W(2) : h;
    const size_t src = stretch ? 4 : 2;
    return player.Blit(p.W(at + 3), p.W(at + 2), w, h, &dib, p.W(src + 1), p.W(src), sw, sh, rop);
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
    const WindowsParams p(r);
    switch (function) {
    case kWmfFloodFill:
        // The colour bounding the area, then y and x.
        return player.FloodFill(p.W(3), p.W(2), p.D(0), false);
    case kWmfExtFloodFill: {
        // The mode (0 up to the colour, 1 the colour), the colour, y, x.
        const long mode = p.W(0);
        return (mode == 0 || mode == 1) && player.FloodFill(p.W(4), p.W(3), p.D(1), mode == 1);
    }
    case kWmfBitBlt:
    case kWmfStretchBlt: return OldBlit(function, r, player);
    case kWmfSetTextJustification:
        // The number of breaks, then the extra spread over them.
        player.State().breakCount = p.W(0);
        player.State().breakExtra = p.W(1);
        return true;
    case kWmfSetLayout:
        player.SetLayout((WORD)p.W(0));  // the layout, then a reserved word
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
