// KGraph: device creation, the frame, and the members every device shares.
#include "kgraph.h"
#include "kgraph_gdi.h"
#include "krenderengine.h"
#include "kspritemanager.h"
#include "kfont_2.h"
#include <kbase.h>
#include <algorithm>
#include <new>
#include <vector>

KGraph::KGraph()
    : m_hWnd(NULL), m_hInstance(NULL), m_nScreenW(0), m_nScreenH(0),
      m_rcWindow{0, 0, 0, 0}, m_rcClient{0, 0, 0, 0}, m_bIs555(false),
      m_kcmDefault(KCM_R5G6B5), m_RenderEngine(NULL), m_pDefaultFont(NULL),
      m_sprManager(NULL)
{
}

KGraph::KGraph(HWND hwnd, HINSTANCE hinst) : KGraph()
{
    m_hWnd = hwnd;
    m_hInstance = hinst;
}

KGraph::~KGraph()
{
    m_dwState.SetState(0);
}

void KGraph::SetHWND(HWND hwnd)
{
    KASSERT(hwnd);
    m_hWnd = hwnd;
    if (m_RenderEngine != NULL)
        m_RenderEngine->ShowAll();  // a new window has seen nothing yet
}

void KGraph::SetInstance(HINSTANCE hinst)
{
    KASSERT(hinst);
    m_hInstance = hinst;
}

// Their results are ignored: a device without a window keeps what it had.
void KGraph::GetRenderRect()
{
    ::GetClientRect(m_hWnd, &m_rcClient);
    ::GetWindowRect(m_hWnd, &m_rcWindow);
    if (m_RenderEngine != NULL)
        m_RenderEngine->ShowAll();  // the client area may have grown
}

void KGraph::ReleaseBackScreen()
{
    m_sprBackScreen.Release();
}

void KGraph::ClearBackScreen(long l, long t, long r, long b, DWORD colour)
{
    RECT rc = {LONG(l), LONG(t), LONG(r), LONG(b)};
    m_sprBackScreen.Clear(rc, colour);
}

void KGraph::ClearBackScreen(DWORD colour)
{
    m_sprBackScreen.Clear(colour);
}

KSprite* KGraph::CreateSprite(long w, long h, KESTREL_COLOR_MODE cm, DWORD flags)
{
    SPRITE_DATA* data = _createsprite(w, h, cm, flags);
    if (data == NULL)
        return NULL;  // a handle without data would fail on first use
    KSprite* lps = new (std::nothrow) KSprite;
    if (lps == NULL) {
        _releasesprite(data);
        KRet(KRET_NOMEMORY, "KGraph::CreateSprite: out of memory");
        return NULL;
    }
    lps->m_lps = data;
    lps->m_RenderEngine = m_RenderEngine;
    lps->SetRect();
    return lps;
}

KSprite* KGraph::CreateSprite(SPRITE_DATA* data)
{
    KASSERT(data != NULL);
    if (data == NULL)
        return NULL;
    KSprite* lps = new (std::nothrow) KSprite;
    if (lps == NULL) {
        KRet(KRET_NOMEMORY, "KGraph::CreateSprite: out of memory");
        return NULL;
    }
    data->ref++;
    lps->m_lps = data;
    lps->m_RenderEngine = m_RenderEngine;
    lps->SetRect();
    return lps;
}

void KGraph::ReleaseKSprite(KSprite*& lps)
{
    KASSERT(lps);
    delete lps;
    lps = NULL;
}

WORD KGraph::R5G6B5_To_A1R5G5B5(WORD c) const
{
    if (c == 0)
        return 0;  // the colour key stays the key
    return WORD((c & 0x001F) | ((c & 0xFFC0) >> 1) | 0x8000);
}

void KGraph::SetDefaultFont(KFont* font)
{
    KASSERT(font != NULL);
    m_pDefaultFont = font;
}

void KGraph::ReleaseKFont(KFont*& font)
{
    if (font != NULL) {
        if (m_RenderEngine != NULL)
            m_RenderEngine->ForgetFont(font);  // its text must not be drawn again
        font->Release();
        delete font;
    }
    font = NULL;
}

long KGraph::CreateRenderEngine()
{
    if (m_RenderEngine == NULL) {
        m_RenderEngine = new (std::nothrow) KRenderEngine;
        if (m_RenderEngine == NULL)
            return KRet(KRET_NOMEMORY, "KGraph::CreateRenderEngine");
    }
    return m_RenderEngine->Init(this);
}

void KGraph::ReleaseRenderEngine()
{
    delete m_RenderEngine;
    m_RenderEngine = NULL;
}

void KGraph::Clear()
{
    KASSERT(m_RenderEngine);
    if (m_RenderEngine)
        m_RenderEngine->Clear();
}

void KGraph::SetCutMode(bool on)
{
    m_RenderEngine->SetCutMode(on);
}

void KGraph::SetCutSpr(SPRITE_DATA* spr)
{
    m_RenderEngine->SetCutSpr(spr);
}

void KGraph::Redraw()
{
    m_RenderEngine->Redraw();
}

// One frame: replay what was recorded and, when anything was drawn, copy
// what changed of the back screen into the window: the frame's changed
// rectangles (handed to the device together, which may copy them at once),
// or the whole client rectangle when the frame was drawn whole (or not
// compared with the last one). The result is the first failed copy's, 0
// when every copy succeeded.
long KGraph::Render()
{
    long n = m_RenderEngine->Render();
    if (n == 0)
        return 0;
    size_t count = 0;
    const RECT* rects = m_RenderEngine->Shown(count);
    if (rects == NULL)
        return _render(m_sprBackScreen.GetData(), m_rcWindow, m_rcClient);
    // Kept from frame to frame: a steady frame allocates nothing here.
    static thread_local std::vector<RECT> inside;
    inside.clear();
    for (size_t i = 0; i < count; i++) {
        RECT r = rects[i];
        r.left = std::max(r.left, m_rcClient.left);
        r.top = std::max(r.top, m_rcClient.top);
        r.right = std::min(r.right, m_rcClient.right);
        r.bottom = std::min(r.bottom, m_rcClient.bottom);
        if (r.left < r.right && r.top < r.bottom)  // else outside the window
            inside.push_back(r);
    }
    if (inside.empty())
        return 0;
    if (inside.size() == 1)
        return _present(inside[0]);
    return _renderrects(m_sprBackScreen.GetData(), inside.data(), inside.size());
}

long KGraph::_renderrects(SPRITE_DATA* spr, const RECT* rects, size_t count)
{
    long result = 0;
    for (size_t i = 0; i < count; i++) {
        RECT r = rects[i];
        RECT moved = r;
        ::OffsetRect(&moved, m_rcWindow.left, m_rcWindow.top);
        const long copied = _render(spr, moved, r);
        if (result == 0)
            result = copied;
    }
    return result;
}

long KGraph::Render(RECT& rc)
{
    m_RenderEngine->Render();
    return _present(rc);
}

// Copies rc of the back screen to the same place in the window, whether or
// not anything was drawn.
long KGraph::_present(RECT& rc)
{
    RECT moved = rc;
    ::OffsetRect(&moved, m_rcWindow.left, m_rcWindow.top);
    return _render(m_sprBackScreen.GetData(), moved, rc);
}

void KGraph::RenderToBack()
{
    m_RenderEngine->Render();
}

void KGraph::RenderToScreen(RECT& rc)
{
    _present(rc);
}

void KGraph::IAmInit()
{
    KASSERT(!IsInited());
    m_dwState.Set(KGRAPH_STATE_INIT);
}

void KGraph::IAmRelease()
{
    KASSERT(IsInited());
    m_dwState.Clr(KGRAPH_STATE_INIT);
}

KGraph* CreateKGraph(KESTREL_RENDER_MODE mode, bool b1, DWORD w, DWORD h,
                     KESTREL_COLOR_MODE cm, bool b2, bool fallback)
{
    KGraph* pGraph = NULL;
    if (mode == KRM_GDI)
        pGraph = new (std::nothrow) KGraphGDI;
    KASSERT(pGraph != NULL);
    if (pGraph == NULL)
        return NULL;
    if (pGraph->Init(b1, w, h, cm, b2) == 0)
        return pGraph;
    ReleaseKGraph(pGraph);
    if (fallback && (long)mode > 0)
        return CreateKGraph(KESTREL_RENDER_MODE(mode - 1), b1, w, h, cm, b2, fallback);
    return NULL;
}

void ReleaseKGraph(KGraph*& pGraph)
{
    KASSERT(pGraph != NULL);
    delete pGraph;
}

// ---- Pictures: Load through the sprite cache.
KSprite* KGraph::Load(const char* filename, DWORD flags, CUnPackFile* pack)
{
    KASSERT(m_sprManager != NULL);
    KASSERT(filename != NULL);
    if (m_sprManager == NULL || filename == NULL)
        return NULL;
    SPRITE_DATA* alpha = NULL;
    SPRITE_DATA* data = m_sprManager->Load(alpha, filename, GetDefaultColorMode(), flags, pack);
    if (data == NULL)
        return NULL;  // the cache has reported it
    KSprite* lps = new (std::nothrow) KSprite;
    KASSERT(lps != NULL);
    if (lps == NULL) {
        _releasesprite(alpha);
        _releasesprite(data);
        return NULL;
    }
    lps->m_lps = data;
    lps->m_lpsAlpha = alpha;
    lps->m_RenderEngine = m_RenderEngine;
    lps->SetRect();
    return lps;
}
// ---- end of pictures
