// KGraphGDI: pixel blocks in memory, start-up and shut-down, the back
// screen, locking, lines and presentation into the host's window.
#include "kgraph_gdi.h"
#include "krenderengine.h"
#include "kspritemanager.h"
#include "kfont_2.h"
#include "kbands.h"
#include <kbase.h>
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

// The largest block a sprite may take: what the 32-bit fields of the format
// (pitch, sizes) can describe, and far more than any game screen needs.
const uint64_t kMaxSpriteBlock = 0x7FFFFFFFu;
// Pixel rows start on this boundary so the blitters may use wide loads.
const size_t kPixelAlign = 32;

size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

}  // namespace

KGraphGDI::KGraphGDI() : m_kcmScreen(KCM_R5G6B5) {}

KGraphGDI::~KGraphGDI()
{
    Release();
}

void KGraphGDI::Release()
{
    if (!IsInited())
        return;
    ReleaseBackScreen();  // goes through the engine to _releasesprite, which needs the cache
    delete m_sprManager;
    m_sprManager = NULL;
    ReleaseRenderEngine();
    IAmRelease();
}

long KGraphGDI::Init(bool, DWORD w, DWORD h, KESTREL_COLOR_MODE cm, bool b2)
{
    CreateRenderEngine();
    CreateSpriteManager();
    m_kcmDefault = KCM_R5G6B5;
    _get_screen_colormode_gdi(cm);  // a failure is reported; start-up goes on

    SPRITE_DATA* back = _createbackscreen_gdi(long(w), long(h), cm, b2);
    if (back == NULL) {
        // Nothing else will free what this start-up made: Release only acts
        // on an initialised device.
        delete m_sprManager;
        m_sprManager = NULL;
        ReleaseRenderEngine();
        return KRet(KRET_ERROR, "_init_gdi:_createbackscreen");
    }
    m_sprBackScreen.m_lps = back;
    m_nScreenW = long(w);
    m_nScreenH = long(h);
    m_sprBackScreen.m_RenderEngine = m_RenderEngine;
    m_sprBackScreen.SetRect();
    GetRenderRect();
    IAmInit();
    return 0;
}

KFont* KGraphGDI::CreateSmoothFont(HFONT font)
{
    // A font that could not be made has reported why; the caller gets null.
    KSmoothVectorFont* f = new (std::nothrow) KSmoothVectorFont(this, font, 512, 512);
    if (f == NULL) {
        KRet(KRET_NOMEMORY, "CreateSmoothFont: out of memory");
        return NULL;
    }
    if (!f->IsInited()) {
        delete f;
        return NULL;
    }
    return f;
}

KFont* KGraphGDI::CreateFontA(HFONT font)
{
    KVectorFont* f = new (std::nothrow) KVectorFont(this, font, 1024);
    if (f == NULL) {
        KRet(KRET_NOMEMORY, "CreateFontA: out of memory");
        return NULL;
    }
    if (!f->IsInited()) {
        delete f;
        return NULL;
    }
    return f;
}

void KGraphGDI::ReSizeBackScreen(long w, long h, KESTREL_COLOR_MODE cm, bool b)
{
    SPRITE_DATA* back = m_sprBackScreen.GetData();
    if (back != NULL && ((unsigned long)w > (unsigned long)back->width ||
                         (unsigned long)h > (unsigned long)back->height))
        ReleaseBackScreen();

    if (m_sprBackScreen.GetData() == NULL) {
        back = _createbackscreen_gdi(w, h, cm, b);
        if (back == NULL) {
            KRet(KRET_ERROR, "ReSizeBackScreen:_createbackscreen");
            return;
        }
        m_sprBackScreen.m_lps = back;
        // A new block: nothing drawn on the old one is known to be in it.
        if (m_RenderEngine != NULL) {
            Clear();
            Redraw();
        }
    }
    m_nScreenW = w;
    m_nScreenH = h;
    m_sprBackScreen.m_RenderEngine = m_RenderEngine;
    GetRenderRect();
    m_sprBackScreen.SetRect(0, 0, w, h);
    SetCutSpr(m_sprBackScreen.GetData());
}

long KGraphGDI::CreateSpriteManager()
{
    m_sprManager = new (std::nothrow) KSpriteManager(this);
    KASSERT(m_sprManager != NULL);
    return m_sprManager != NULL ? 0 : 3;
}

void KGraphGDI::_beginrender() {}
void KGraphGDI::_endrender() {}

namespace {

// Copies rc of spr (inside it) to the same place in the window of dc, as
// 16-bit top-down rows; false when the copy failed.
bool CopyRows(HDC dc, SPRITE_DATA* spr, const RECT& rc)
{
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } bmi = {};
    const LONG rows = rc.bottom - rc.top;
    bmi.header.biSize = sizeof(BITMAPINFOHEADER);
    bmi.header.biWidth = LONG(spr->pitch / 2);
    bmi.header.biHeight = -rows;  // top-down
    bmi.header.biPlanes = 1;
    bmi.header.biBitCount = 16;
    bmi.header.biCompression = BI_BITFIELDS;
    bmi.masks[0] = 0xF800;
    bmi.masks[1] = 0x07E0;
    bmi.masks[2] = 0x001F;
    return ::SetDIBitsToDevice(dc, rc.left, rc.top, DWORD(rc.right - rc.left), DWORD(rows), rc.left,
                               0, 0, UINT(rows), spr->lpRows[rc.top],
                               reinterpret_cast<BITMAPINFO*>(&bmi), DIB_RGB_COLORS) != 0;
}

// rc clipped to spr; false when nothing is left.
bool ClipToSprite(RECT& rc, const SPRITE_DATA* spr)
{
    if (rc.left < 0)
        rc.left = 0;
    if (rc.top < 0)
        rc.top = 0;
    if (rc.right > spr->width)
        rc.right = LONG(spr->width);
    if (rc.bottom > spr->height)
        rc.bottom = LONG(spr->height);
    return rc.left < rc.right && rc.top < rc.bottom;
}

// The rectangles the copy under way is clipped to: set by _renderrects for
// the one _render it makes (which a device deriving from this one sees and
// may intercept as any copy), none otherwise.
struct ClipList {
    const RECT* rects = NULL;
    size_t count = 0;
};
thread_local ClipList t_clip;

// Copies rc of spr through a clip region of the rectangles (in band order):
// one transfer for all of them. Without a region (it could not be made or
// selected), each rectangle is copied on its own.
bool CopyClipped(HDC dc, SPRITE_DATA* spr, const RECT& rc, const ClipList& clip)
{
    // The region's data, kept from frame to frame.
    static thread_local std::vector<BYTE> data;
    data.resize(sizeof(RGNDATAHEADER) + clip.count * sizeof(RECT));
    RGNDATA* rgnData = reinterpret_cast<RGNDATA*>(data.data());
    rgnData->rdh.dwSize = sizeof(RGNDATAHEADER);
    rgnData->rdh.iType = RDH_RECTANGLES;
    rgnData->rdh.nCount = DWORD(clip.count);
    rgnData->rdh.nRgnSize = DWORD(clip.count * sizeof(RECT));
    rgnData->rdh.rcBound = rc;
    std::memcpy(rgnData->Buffer, clip.rects, clip.count * sizeof(RECT));
    HRGN region = ::ExtCreateRegion(NULL, DWORD(data.size()), rgnData);
    if (region != NULL && ::SelectClipRgn(dc, region) != ERROR) {
        const bool copied = CopyRows(dc, spr, rc);
        ::SelectClipRgn(dc, NULL);
        ::DeleteObject(region);
        return copied;
    }
    if (region != NULL)
        ::DeleteObject(region);
    bool copied = true;
    for (size_t i = 0; i < clip.count; i++) {
        RECT r = clip.rects[i];
        if (IntersectRect(&r, &r, &rc))
            copied = CopyRows(dc, spr, r) && copied;
    }
    return copied;
}

}  // namespace

// Copies the part of the back screen under the client rectangle to the same
// place in the window. A client rectangle larger than the back screen is
// clipped to it: nothing outside the block is ever read.
long KGraphGDI::_render(SPRITE_DATA* spr, RECT&, RECT& client)
{
    const ClipList clip = t_clip;
    t_clip = ClipList();
    if (spr == NULL)
        return E_FAIL;
    RECT rc = client;
    if (!ClipToSprite(rc, spr))
        return 0;  // nothing of the back screen lies under the client area
    HDC dc = ::GetDC(m_hWnd);
    const bool copied = clip.count != 0 ? CopyClipped(dc, spr, rc, clip) : CopyRows(dc, spr, rc);
    ::ReleaseDC(m_hWnd, dc);
    return copied ? 0 : E_FAIL;
}

// Rows of changes (a list whose lines all changed) in one copy: their
// bounds, clipped by a region of the rectangles themselves, so the window
// gets exactly their pixels for one transfer's setting up. Rectangles in
// any other order are copied one by one.
long KGraphGDI::_renderrects(SPRITE_DATA* spr, const RECT* rects, size_t count)
{
    if (count < 2 || !kbands::InBandOrder(rects, count))
        return KGraph::_renderrects(spr, rects, count);
    RECT box = rects[0];
    for (size_t i = 1; i < count; i++) {
        box.left = std::min(box.left, rects[i].left);
        box.right = std::max(box.right, rects[i].right);
        box.bottom = std::max(box.bottom, rects[i].bottom);
    }
    RECT moved = box;
    ::OffsetRect(&moved, m_rcWindow.left, m_rcWindow.top);
    t_clip.rects = rects;
    t_clip.count = count;
    const long result = _render(spr, moved, box);
    t_clip = ClipList();  // should a deriving device not have copied
    return result;
}

SPRITE_DATA* KGraphGDI::_createsprite(long w, long h, KESTREL_COLOR_MODE cm, DWORD flags)
{
    if (cm != KCM_R5G6B5 && cm != KCM_GRAY)
        return NULL;
    if (w <= 0 || h <= 0) {
        KRet(KRET_ERROR, "_createsprite: bad size %ld x %ld", w, h);
        return NULL;
    }
    const uint64_t alignwidth = (uint64_t(w) + 3) & ~uint64_t(3);
    const uint64_t pitch = cm == KCM_R5G6B5 ? alignwidth * 2 : alignwidth;
    const uint64_t table = offsetof(SPRITE_DATA, lpRows) + uint64_t(h) * sizeof(BYTE*);
    const uint64_t pixels = pitch * uint64_t(h);
    if (pitch > kMaxSpriteBlock || uint64_t(h) > kMaxSpriteBlock ||
        pixels > kMaxSpriteBlock || table + kPixelAlign + pixels > kMaxSpriteBlock) {
        KRet(KRET_NOMEMORY, "_createsprite: %ld x %ld is too large", w, h);
        return NULL;
    }
    const size_t header = RoundUp(size_t(table), kPixelAlign);
    const size_t total = RoundUp(header + size_t(pixels), kPixelAlign);
    // Aligned operator new rather than aligned_alloc, which not every C
    // library offers; _releasesprite gives the block back the same way.
    void* tmp = ::operator new(total, std::align_val_t(kPixelAlign), std::nothrow);
    KASSERT(tmp != NULL);
    if (tmp == NULL)
        return NULL;

    SPRITE_DATA* spr = static_cast<SPRITE_DATA*>(tmp);
    spr->flags = flags;
    spr->width = w;
    spr->height = h;
    spr->alignwidth = long(alignwidth);
    spr->rows = h;
    spr->pitch = DWORD(pitch);
    spr->ref = 1;
    spr->kcm = cm;
    spr->reserved[0] = 0;
    spr->reserved[1] = 0;
    BYTE* row = static_cast<BYTE*>(tmp) + header;
    for (long r = 0; r < h; r++, row += pitch)
        spr->lpRows[r] = row;
    return spr;
}

void KGraphGDI::_releasesprite(SPRITE_DATA*& spr)
{
    KASSERT(m_sprManager != NULL);
    if (spr == NULL)
        return;
    if (spr->ref < 2) {
        if (m_sprManager != NULL)
            m_sprManager->Release(spr);
        if (m_RenderEngine != NULL)
            m_RenderEngine->ForgetSprite(spr);
        ::operator delete(static_cast<void*>(spr), std::align_val_t(kPixelAlign));
        spr = NULL;
    } else {
        spr->ref--;
    }
}

long KGraphGDI::_locksprite(SPRITE_DATA* spr, void** bits, DWORD& pitch, long& w, long& h)
{
    w = spr->width;
    h = spr->height;
    pitch = spr->pitch;
    *bits = spr->lpRows[0];
    return 0;
}

long KGraphGDI::_unlocksprite(SPRITE_DATA*)
{
    return 0;
}

long KGraphGDI::_locksprite_r(SPRITE_DATA* spr, RECT* rc, void** bits, DWORD& pitch,
                              long& w, long& h)
{
    if (rc == NULL)
        return _locksprite(spr, bits, pitch, w, h);
    w = rc->right - rc->left;
    h = rc->bottom - rc->top;
    pitch = spr->pitch;
    const int bytesPerPixel = spr->kcm == KCM_GRAY ? 1 : 2;
    *bits = spr->lpRows[0] + size_t(rc->top) * spr->pitch + size_t(rc->left) * bytesPerPixel;
    return 0;
}

void KGraphGDI::_setcolorkey(void*) {}

// Endpoints outside the sprite are moved to its edge, not clipped.
void KGraphGDI::_line(SPRITE_DATA* spr, long x1, long y1, long x2, long y2, DWORD colour)
{
    KASSERT(spr);
    if (spr == NULL)
        return;
    void* bits;
    DWORD pitch;
    long w, h;
    _locksprite(spr, &bits, pitch, w, h);
    ClampLineEnds(spr, x1, y1, x2, y2);
    long dx = x2 - x1, dy = y2 - y1;
    const long xstep = dx > 0 ? 1 : (dx < 0 ? -1 : 0);
    const long ystep = dy > 0 ? 1 : (dy < 0 ? -1 : 0);
    dx = dx < 0 ? -dx : dx;
    dy = dy < 0 ? -dy : dy;
    const long n = dx > dy ? dx : dy;

    if (spr->kcm >= KCM_R5G6B5 && spr->kcm <= KCM_A4R4G4B4) {
        const WORD c = WORD(colour);
        long x = x1, y = y1, xsum = 0, ysum = 0;
        for (long i = 0; i <= n; i++) {
            *SpritePixel16(spr, x, y) = c;
            xsum += dx;
            ysum += dy;
            if (xsum >= n) {
                xsum -= n;
                x += xstep;
            }
            if (ysum >= n) {
                ysum -= n;
                y += ystep;
            }
        }
    } else {
        OutputLog("_line_ds7:没有定义的kcm!");
    }
    _unlocksprite(spr);
}

void KGraphGDI::_printanything()
{
    Debug("**********   printf everything for gdi   **********");
    Debug("bIs555=%s", m_bIs555 ? "true" : "false");
    Debug("****************    printf end.    ****************");
}

long KGraphGDI::_get_screen_colormode_gdi(KESTREL_COLOR_MODE&)
{
    m_kcmScreen = KCM_R5G6B5;
    RegisterColorFunc(KCM_R5G6B5);
    DEVMODEA mode = {};
    mode.dmSize = 156;
    if (!::EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &mode))
        return KRet(E_FAIL, "_get_screen_colormode_gdi:EnumDisplaySettings");
    return 0;
}

SPRITE_DATA* KGraphGDI::_createbackscreen_gdi(long w, long h, KESTREL_COLOR_MODE cm, bool)
{
    SPRITE_DATA* spr = _createsprite(w, h, cm, 0);
    if (spr == NULL)
        KRet(KRET_ERROR, "_createbackscreen_gdi:_createsprite");
    return spr;
}
