// A graph device whose protected primitives tests may call directly.
#pragma once
#include <doit.h>

class TestGraph : public KGraphGDI {
public:
    using KGraph::IAmInit;
    using KGraph::IAmRelease;
    using KGraph::IsInited;
    using KGraphGDI::_beginrender;
    using KGraphGDI::_bltsprite;
    using KGraphGDI::_bltsprite_additive;
    using KGraphGDI::_bltsprite_alpha;
    using KGraphGDI::_bltsprite_alpha_ck;
    using KGraphGDI::_bltsprite_ck;
    using KGraphGDI::_bltsprite_zoom;
    using KGraphGDI::_bltsprite_zoom_alpha;
    using KGraphGDI::_bltsprite_zoom_ck;
    using KGraphGDI::_clearsprite;
    using KGraphGDI::_createsprite;
    using KGraphGDI::_endrender;
    using KGraphGDI::_line;
    using KGraphGDI::_locksprite;
    using KGraphGDI::_locksprite_r;
    using KGraphGDI::_printanything;
    using KGraphGDI::_releasesprite;
    using KGraphGDI::_render;
    using KGraphGDI::_renderrects;
    using KGraphGDI::_setcolorkey;
    using KGraphGDI::_unlocksprite;
};

// Pixel access for tests.
inline WORD Px16(SPRITE_DATA* spr, long x, long y) { return *SpritePixel16(spr, x, y); }
inline BYTE Px8(SPRITE_DATA* spr, long x, long y) { return spr->lpRows[y][x]; }
