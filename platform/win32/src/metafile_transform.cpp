// The world transform: composing, inverting and changing it.
#include "metafile_transform.h"

#include <cmath>

namespace win32metafile {

Affine Then(const Affine& a, const Affine& b)
{
    // Row vectors: [x y 1] * A * B.
    Affine r;
    r.m11 = a.m11 * b.m11 + a.m12 * b.m21;
    r.m12 = a.m11 * b.m12 + a.m12 * b.m22;
    r.m21 = a.m21 * b.m11 + a.m22 * b.m21;
    r.m22 = a.m21 * b.m12 + a.m22 * b.m22;
    r.dx = a.dx * b.m11 + a.dy * b.m21 + b.dx;
    r.dy = a.dx * b.m12 + a.dy * b.m22 + b.dy;
    return r;
}

bool Usable(const Affine& a)
{
    const double v[] = {a.m11, a.m12, a.m21, a.m22, a.dx, a.dy};
    for (double x : v) {
        if (!std::isfinite(x))
            return false;
    }
    const double det = a.Determinant();
    return std::isfinite(det) && det != 0;
}

bool Invert(const Affine& a, Affine& out)
{
    if (!Usable(a))
        return false;
    const double det = a.Determinant();
    Affine r;
    r.m11 = a.m22 / det;
    r.m12 = -a.m12 / det;
    r.m21 = -a.m21 / det;
    r.m22 = a.m11 / det;
    r.dx = -(a.dx * r.m11 + a.dy * r.m21);
    r.dy = -(a.dx * r.m12 + a.dy * r.m22);
    if (!Usable(r))
        return false;
    out = r;
    return true;
}

bool ChangeWorld(Affine& current, const Affine& given, unsigned long change)
{
    Affine next;
    switch (change) {
    case kWorldIdentity: current = Affine(); return true;
    case kWorldLeft: next = Then(given, current); break;
    case kWorldRight: next = Then(current, given); break;
    case kWorldSet: next = given; break;
    default: return false;
    }
    if (!Usable(given) || !Usable(next))
        return false;
    current = next;
    return true;
}

}  // namespace win32metafile
