// KGraphGDI: the graph device over memory pixel blocks, presented into the
// host's window with SetDIBitsToDevice.
#pragma once
#include "kgraph.h"

class KESTREL_API KGraphGDI : public KGraph {
public:
    KGraphGDI();
    ~KGraphGDI() override;

    void Release() override;
    long Init(bool b1, DWORD w, DWORD h, KESTREL_COLOR_MODE cm, bool b2) override;
    KFont* CreateSmoothFont(HFONT font) override;
    KFont* CreateFontA(HFONT font) override;
    void ReSizeBackScreen(long w, long h, KESTREL_COLOR_MODE cm, bool b) override;

protected:
    long CreateSpriteManager() override;
    void _beginrender() override;
    void _endrender() override;
    long _render(SPRITE_DATA* spr, RECT& window, RECT& client) override;
    SPRITE_DATA* _createsprite(long w, long h, KESTREL_COLOR_MODE cm, DWORD flags) override;
    void _releasesprite(SPRITE_DATA*& spr) override;
    long _clearsprite(SPRITE_DATA* spr, long l, long t, long r, long b, DWORD colour) override;
    long _bltsprite(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                    long l, long t, long r, long b) override;
    long _bltsprite_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                       long l, long t, long r, long b) override;
    long _bltsprite_zoom(SPRITE_DATA* dst, long x, long y, long w, long h,
                         SPRITE_DATA* src, long sx, long sy, long sw, long sh) override;
    long _bltsprite_zoom_alpha(SPRITE_DATA* dst, long x, long y, long w, long h,
                               SPRITE_DATA* src, long sx, long sy, long sw, long sh,
                               BYTE alpha) override;
    long _bltsprite_zoom_ck(SPRITE_DATA* dst, long x, long y, long w, long h,
                            SPRITE_DATA* src, long sx, long sy, long sw, long sh) override;
    long _bltsprite_alpha(SPRITE_DATA* dst, long x, long y, DWORD colour,
                          long l, long t, long r, long b,
                          SPRITE_DATA* alpha, long ax, long ay) override;
    long _bltsprite_alpha(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                          long l, long t, long r, long b,
                          SPRITE_DATA* alpha, long ax, long ay) override;
    long _bltsprite_alpha(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                          long l, long t, long r, long b, BYTE alpha) override;
    long _bltsprite_alpha_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                             long l, long t, long r, long b, BYTE alpha) override;
    long _bltsprite_additive(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                             long l, long t, long r, long b, BYTE level) override;
    long _locksprite(SPRITE_DATA* spr, void** bits, DWORD& pitch, long& w, long& h) override;
    long _unlocksprite(SPRITE_DATA* spr) override;
    long _locksprite_r(SPRITE_DATA* spr, RECT* rc, void** bits, DWORD& pitch,
                       long& w, long& h) override;
    void _setcolorkey(void* spr) override;
    void _line(SPRITE_DATA* spr, long x1, long y1, long x2, long y2, DWORD colour) override;
    void _printanything() override;
    long _renderrects(SPRITE_DATA* spr, const RECT* rects, size_t count) override;

private:
    long _get_screen_colormode_gdi(KESTREL_COLOR_MODE& cm);
    SPRITE_DATA* _createbackscreen_gdi(long w, long h, KESTREL_COLOR_MODE cm, bool b);

    KESTREL_COLOR_MODE m_kcmScreen;
};
