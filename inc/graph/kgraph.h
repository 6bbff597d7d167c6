// KGraph: the graph device. It owns the back screen, the render engine and
// the sprite cache; its pixel work is done by the primitives below, which
// KGraphGDI implements.
#pragma once
#include <windows.h>
#include <kexport.h>
#include "kcolor.h"
#include "kstate.h"
#include "kspritedata.h"
#include "ksprite.h"

class KRenderEngine;
class KSpriteManager;
class KFont;
class CUnPackFile;

enum KESTREL_RENDER_MODE : int {
    KRM_GDI = 1,
};

#define KGRAPH_STATE_INIT 1

class KESTREL_API KGraph {
public:
    KGraph();
    KGraph(HWND hwnd, HINSTANCE hinst);
    virtual ~KGraph();
    // A device owns its back screen, engine and cache: it is never copied.
    KGraph(const KGraph&) = delete;
    KGraph& operator=(const KGraph&) = delete;

    // Slots 1 to 5.
    virtual void Release() = 0;
    virtual long Init(bool b1, DWORD w, DWORD h, KESTREL_COLOR_MODE cm, bool b2) = 0;
    virtual KFont* CreateSmoothFont(HFONT font) = 0;
    virtual KFont* CreateFontA(HFONT font) = 0;
    virtual void ReSizeBackScreen(long w, long h, KESTREL_COLOR_MODE cm, bool b) = 0;

    // Window and rectangles.
    void SetHWND(HWND hwnd);
    HWND GetHWND() const { return m_hWnd; }
    void SetInstance(HINSTANCE hinst);
    HINSTANCE GetInstance() const { return m_hInstance; }
    void GetRenderRect();
    RECT* GetScreenRect() { return &m_rcWindow; }
    const RECT& GetClientRect() const { return m_rcClient; }
    long GetScreenW() const { return m_nScreenW; }
    long GetScreenH() const { return m_nScreenH; }

    // Back screen and sprites.
    KSprite* GetBackScreen() { return &m_sprBackScreen; }
    SPRITE_DATA* GetBackScreenData() { return m_sprBackScreen.GetData(); }
    void ReleaseBackScreen();
    // A recorded fill of the back screen: of (l, t, r, b), right and bottom
    // exclusive, or of its whole rectangle. Drawn with the frame's commands.
    void ClearBackScreen(long l, long t, long r, long b, DWORD colour);
    void ClearBackScreen(DWORD colour);
    KSprite* CreateSprite(long w, long h, KESTREL_COLOR_MODE cm, DWORD flags);
    KSprite* CreateSprite(SPRITE_DATA* data);
    void ReleaseKSprite(KSprite*& lps);
    KESTREL_COLOR_MODE GetDefaultColorMode() const { return m_kcmDefault; }
    WORD R5G6B5_To_A1R5G5B5(WORD c) const;

    // Fonts.
    void SetDefaultFont(KFont* font);
    KFont* GetDefaultFont() const { return m_pDefaultFont; }
    void ReleaseKFont(KFont*& font);

    // Render engine.
    long CreateRenderEngine();
    void ReleaseRenderEngine();
    KRenderEngine* GetRenderEngine() const { return m_RenderEngine; }
    KSpriteManager* GetSpriteManager() const { return m_sprManager; }
    void Clear();
    void SetCutMode(bool on);
    void SetCutSpr(SPRITE_DATA* spr);
    void Redraw();
    long Render();
    long Render(RECT& rc);
    void RenderToBack();
    void RenderToScreen(RECT& rc);

protected:
    friend class KRenderEngine;
    friend class KSprite;
    friend class KFont;
    friend class KVectorFont;
    friend class KSmoothVectorFont;

    // Slots 6 to 28.
    virtual long CreateSpriteManager() = 0;
    virtual void _beginrender() = 0;
    virtual void _endrender() = 0;
    virtual long _render(SPRITE_DATA* spr, RECT& window, RECT& client) = 0;
    virtual SPRITE_DATA* _createsprite(long w, long h, KESTREL_COLOR_MODE cm, DWORD flags) = 0;
    virtual void _releasesprite(SPRITE_DATA*& spr) = 0;
    virtual long _clearsprite(SPRITE_DATA* spr, long l, long t, long r, long b, DWORD colour) = 0;
    virtual long _bltsprite(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                            long l, long t, long r, long b) = 0;
    virtual long _bltsprite_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                               long l, long t, long r, long b) = 0;
    virtual long _bltsprite_zoom(SPRITE_DATA* dst, long x, long y, long w, long h,
                                 SPRITE_DATA* src, long sx, long sy, long sw, long sh) = 0;
    virtual long _bltsprite_zoom_alpha(SPRITE_DATA* dst, long x, long y, long w, long h,
                                       SPRITE_DATA* src, long sx, long sy, long sw, long sh,
                                       BYTE alpha) = 0;
    virtual long _bltsprite_zoom_ck(SPRITE_DATA* dst, long x, long y, long w, long h,
                                    SPRITE_DATA* src, long sx, long sy, long sw, long sh) = 0;
    virtual long _bltsprite_alpha(SPRITE_DATA* dst, long x, long y, DWORD colour,
                                  long l, long t, long r, long b,
                                  SPRITE_DATA* alpha, long ax, long ay) = 0;
    virtual long _bltsprite_alpha(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                  long l, long t, long r, long b,
                                  SPRITE_DATA* alpha, long ax, long ay) = 0;
    virtual long _bltsprite_alpha(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                  long l, long t, long r, long b, BYTE alpha) = 0;
    virtual long _bltsprite_alpha_ck(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                     long l, long t, long r, long b, BYTE alpha) = 0;
    virtual long _bltsprite_additive(SPRITE_DATA* dst, long x, long y, SPRITE_DATA* src,
                                     long l, long t, long r, long b, BYTE level) = 0;
    virtual long _locksprite(SPRITE_DATA* spr, void** bits, DWORD& pitch, long& w, long& h) = 0;
    virtual long _unlocksprite(SPRITE_DATA* spr) = 0;
    virtual long _locksprite_r(SPRITE_DATA* spr, RECT* rc, void** bits, DWORD& pitch,
                               long& w, long& h) = 0;
    virtual void _setcolorkey(void* spr) = 0;
    virtual void _line(SPRITE_DATA* spr, long x1, long y1, long x2, long y2, DWORD colour) = 0;
    virtual void _printanything() = 0;
    // Presents several rectangles of spr (in client coordinates, inside the
    // client area, disjoint) at once; by default one _render each.
    virtual long _renderrects(SPRITE_DATA* spr, const RECT* rects, size_t count);

    long _present(RECT& rc);
    bool IsInited() const { return m_dwState.Has(KGRAPH_STATE_INIT); }
    void IAmInit();
    void IAmRelease();

    HWND m_hWnd;
    HINSTANCE m_hInstance;
    long m_nScreenW;
    long m_nScreenH;
    RECT m_rcWindow;        // screen coordinates, as GetRenderRect read them last
    RECT m_rcClient;        // presentation copies exactly this rectangle
    KSprite m_sprBackScreen;
    bool m_bIs555;
    KESTREL_COLOR_MODE m_kcmDefault;
    KRenderEngine* m_RenderEngine;   // owned
    KFont* m_pDefaultFont;           // not owned
    KSpriteManager* m_sprManager;    // owned
    KState<DWORD> m_dwState;

    // ---- Pictures: loading through the cache (kgraph.cpp, kspritemanager.cpp),
    // ---- the loaders and writers (kpc.cpp, bmp.cpp, tga.cpp, jpeg.cpp).
public:
    // A new handle on the picture `filename`, read from `pack` or, with pack
    // null, from disk; shared through the sprite cache. The caller releases
    // it with ReleaseKSprite. Null when the picture cannot be loaded.
    KSprite* Load(const char* filename, DWORD flags, CUnPackFile* pack);
    // True when the file opens and starts with 0x89 'P' 'N' 'G'.
    bool IsPNG(const char* filename);

protected:
    friend class KSpriteManager;

    // Each loader returns a new block (count 1) or null after reporting why;
    // only _loadtga writes `alpha`.
    SPRITE_DATA* _loadkpc(SPRITE_DATA*& alpha, const char* filename, KESTREL_COLOR_MODE mode,
                          DWORD flags, CUnPackFile* pack);
    SPRITE_DATA* _loadbmp(SPRITE_DATA*& alpha, const char* filename, KESTREL_COLOR_MODE mode,
                          DWORD flags);
    SPRITE_DATA* _loadtga(SPRITE_DATA*& alpha, const char* filename, KESTREL_COLOR_MODE mode,
                          DWORD flags, CUnPackFile* pack);
    SPRITE_DATA* _loadjpg(SPRITE_DATA*& alpha, const char* filename, KESTREL_COLOR_MODE mode,
                          DWORD flags, CUnPackFile* pack);
    // Decodes a whole JPEG stream held in memory.
    SPRITE_DATA* _loadjpg(void* data, DWORD size, KESTREL_COLOR_MODE mode, DWORD flags);
    SPRITE_DATA* _loadgif(SPRITE_DATA*& alpha, const char* filename, KESTREL_COLOR_MODE mode,
                          DWORD flags, CUnPackFile* pack);
    SPRITE_DATA* _loadpng(SPRITE_DATA*& alpha, const char* filename, KESTREL_COLOR_MODE mode,
                          DWORD flags, CUnPackFile* pack);

    // Writers: 0 on success.
    void _savebmp(const char* filename, SPRITE_DATA* lps);
    // A kpc whose payload is the JPEG file `jpgfile` (made elsewhere from the
    // same picture), with a transparency mask when lps is colour-keyed.
    long _savekpc(const char* filename, const char* jpgfile, SPRITE_DATA* lps);
    // A kpc of lps's raw R5G6B5 rows; `format` & 15 must be 0 (no compression).
    long _savekpc(const char* filename, DWORD format, SPRITE_DATA* lps);

    // The kpc transparency mask: a u32 row width, then run bytes (below 128:
    // that many transparent pixels; from 128: b - 128 opaque pixels).
    long _set_spritecolorkey_maskrle(SPRITE_DATA* lps, BYTE* data, DWORD len);
    // A malloc'd mask of lps (the caller frees it); its length in len.
    BYTE* _get_spritecolorkey_maskrle(SPRITE_DATA* lps, DWORD& len);
};

// Turns width x height pixels (b0, b1, b2, a) into (b2, b1, b0) times a / 256
// and a: red and blue swap places and colour is premultiplied by alpha.
void _swaprb_premultiply(BYTE* data, long width, long height);
// ---- end of pictures

KESTREL_API KGraph* CreateKGraph(KESTREL_RENDER_MODE mode, bool b1, DWORD w, DWORD h,
                     KESTREL_COLOR_MODE cm, bool b2, bool fallback);
KESTREL_API void ReleaseKGraph(KGraph*& graph);
