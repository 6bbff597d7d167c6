// PlgBlt: a bitmap's rectangle onto a parallelogram. The parallelogram is
// the source rectangle under an affine map (its corners to the three given
// points), so the blit runs as an ordinary one of the source rectangle with
// that map put before the world transform: turned and sheared blits
// already sample their source pixel by pixel.
#include "metafile_dib.h"
#include "metafile_more_records.h"

namespace win32metafile {

namespace {

constexpr BYTE kRopSource = 0xCC;  // the source as it is
constexpr BYTE kRopDest = 0xAA;    // the canvas left alone

}  // namespace

bool Player::PlgBlit(const POINT corners[3], const DibRef& dib, long sx, long sy, long sw, long sh,
                     const DibRef* mask, long mx, long my)
{
    DibReader reader, maskReader;
    if (sw <= 0 || sh <= 0 || !reader.Open(dib))
        return false;
    if (mask != nullptr && (!maskReader.Open(*mask) || maskReader.Bits() != 1))
        return false;
    // Source-rectangle units to logical ones: (u, v) lands on
    // corner 0 + u / sw * (corner 1 - corner 0) + v / sh * (corner 2 - corner 0).
    Affine map;
    map.m11 = ((double)corners[1].x - corners[0].x) / sw;
    map.m12 = ((double)corners[1].y - corners[0].y) / sw;
    map.m21 = ((double)corners[2].x - corners[0].x) / sh;
    map.m22 = ((double)corners[2].y - corners[0].y) / sh;
    map.dx = corners[0].x;
    map.dy = corners[0].y;
    if (!Usable(map))
        return true;  // a flat parallelogram covers no pixel
    const Affine world = m_state.world;
    m_state.world = Then(map, world);
    _remap();
    // Each pixel whose centre lies in the parallelogram, as for any turned
    // blit: corners turned over mirror the source but move no pixel, unlike
    // a blit's extents running back from its origin.
    m_skewed = true;
    const BlitMask m = {&maskReader, mx, my, kRopDest};
    const bool done =
        _blit(0, 0, sw, sh, &reader, sx, sy, sw, sh, kRopSource, mask != nullptr ? &m : nullptr);
    m_state.world = world;
    _remap();
    return done;
}

bool PlayPlgBltRecord(const RecordBytes& r, Player& player)
{
    // Bounds; the three corners; source x, y, w, h; the source's transform,
    // background and usage; its bitmap; the mask's corner and usage, then
    // its bitmap (absent when its sizes are 0).
    POINT corners[3];
    for (int i = 0; i < 3; i++)
        corners[i] = {(LONG)r.L(24 + 8 * i), (LONG)r.L(28 + 8 * i)};
    DibRef dib, mask;
    if (!RecordBitmap(r, 96, dib))
        return false;
    const bool hasMask = r.D(128) != 0;
    if (hasMask && !RecordBitmap(r, 124, mask))
        return false;
    return player.PlgBlit(corners, dib, r.L(48), r.L(52), r.L(56), r.L(60),
                          hasMask ? &mask : nullptr, r.L(112), r.L(116));
}

}  // namespace win32metafile
