// The world transform of the metafile player: an affine map of logical
// points, x' = x * m11 + y * m21 + dx and y' = x * m12 + y * m22 + dy, as the
// enhanced metafile's world-transform records give it.
#pragma once

namespace win32metafile {

struct Affine {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

    void Apply(double x, double y, double& ox, double& oy) const
    {
        ox = x * m11 + y * m21 + dx;
        oy = x * m12 + y * m22 + dy;
    }
    double Determinant() const { return m11 * m22 - m12 * m21; }
    // Whether the map keeps the axes (no turn, no shear).
    bool AxisAligned() const { return m12 == 0 && m21 == 0; }
    bool Identity() const { return AxisAligned() && m11 == 1 && m22 == 1 && dx == 0 && dy == 0; }
};

// `first` then `second`: the point goes through `first` before `second`.
Affine Then(const Affine& first, const Affine& second);

// The inverse map; false (leaving `out` alone) for a map that folds the
// plane onto a line or holds a value that is not finite.
bool Invert(const Affine& a, Affine& out);

// Whether a transform may be set: finite, and not folding the plane flat (GDI
// refuses such a transform and keeps the one it has).
bool Usable(const Affine& a);

// How a world-transform change combines with the transform already set.
enum WorldChange { kWorldIdentity = 1, kWorldLeft = 2, kWorldRight = 3, kWorldSet = 4 };

// The transform after `change` with `given` on `current`; false for a change
// GDI refuses (an unknown mode, or a result that is not usable), leaving
// `current` as it was.
bool ChangeWorld(Affine& current, const Affine& given, unsigned long change);

}  // namespace win32metafile
