// Whether a point of a control lies on its colour-keyed picture: the key
// colour shows what lies behind, and so does the room beside a picture that
// is smaller than the control's rectangle (the sprite itself answers "not
// key" there, having nothing to test). (px, py) count from the picture's
// top-left corner.
#pragma once

#include <ksprite.h>

inline bool KeyedPictureHit(KSprite& picture, long px, long py)
{
    if (px < 0 || py < 0 || px >= long(picture.GetRectWidth()) ||
        py >= long(picture.GetRectHeight()))
        return false;
    return !picture.IsColorKey(px, py);
}
