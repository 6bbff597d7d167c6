// One piece of a composed back (a window's frame pieces, a skin's nine
// pieces) as the composing loops see it: a view with its rectangle in its
// source picture. A missing piece, or one without area, takes no room and is
// not drawn: stepping by its width or height would never end.
#pragma once

#include <ksprite.h>

struct BackPiece {
    KSprite* spr = nullptr;
    RECT rc = {0, 0, 0, 0};
    long w = 0;
    long h = 0;
    bool ok = false;
};

inline BackPiece MakeBackPiece(KSprite* spr)
{
    BackPiece p;
    if (spr == nullptr || !spr->IsInited())
        return p;
    const RECT rc = spr->GetRect();
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return p;
    p.spr = spr;
    p.rc = rc;
    p.w = rc.right - rc.left;
    p.h = rc.bottom - rc.top;
    p.ok = true;
    return p;
}
