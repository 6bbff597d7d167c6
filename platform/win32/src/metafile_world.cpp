// The world-transform records: an XFORM (six 32-bit floats: eM11, eM12,
// eM21, eM22, eDx, eDy) after the record's type and size, and for the
// modifying record the way it combines.
#include "metafile_world.h"

#include <cstring>

namespace win32metafile {

namespace {

constexpr size_t kXformAt = 8;
constexpr size_t kXformBytes = 24;
constexpr size_t kModeAt = kXformAt + kXformBytes;

bool ReadFloat(const RecordBytes& r, size_t at, double& out)
{
    DWORD bits = 0;
    if (!r.U32(at, bits))
        return false;
    out = FloatOfBits(bits);
    return true;
}

bool ReadXform(const RecordBytes& r, Affine& a)
{
    double* fields[] = {&a.m11, &a.m12, &a.m21, &a.m22, &a.dx, &a.dy};
    for (size_t i = 0; i < 6; i++) {
        if (!ReadFloat(r, kXformAt + 4 * i, *fields[i]))
            return false;
    }
    return true;
}

}  // namespace

bool PlayWorldRecord(DWORD type, const RecordBytes& r, Player& player)
{
    Affine a;
    if (!ReadXform(r, a))
        return false;
    if (type == kEmrSetWorldTransform)
        return player.SetWorldTransform(a);
    DWORD mode = 0;
    if (!r.U32(kModeAt, mode))
        return false;
    return player.ModifyWorldTransform(a, mode);
}

}  // namespace win32metafile
