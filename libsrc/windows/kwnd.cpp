// KestrelWnd: the object's life, class registration, creation and release,
// and the small setters.
#include "kwnd.h"

#include <doit.h>
#include <kbase.h>

HINSTANCE KestrelWnd::m_hInst = NULL;
char KestrelWnd::m_ClassName[32] = "KestrelWindow";

KestrelWnd::KestrelWnd()
    : m_pParent(NULL), m_hWnd(NULL), m_ID(0), m_Graph(NULL), m_Rect{0, 0, 0, 0},
      m_ClientArea{0, 0, 0, 0}, m_Font(NULL), m_pChildList(NULL), m_pHoverChild(NULL),
      m_pCatchChild(NULL), m_pFocusChild(NULL), m_pTopChild(NULL), m_ptMouse{0, 0},
      m_sprBackEx{}, m_sprBackEx2(NULL), m_sprWndBack(NULL), m_dwReserved(0)
{
}

KestrelWnd::~KestrelWnd()
{
    Release();
}

void KestrelWnd::Init(HINSTANCE hInst)
{
    if (m_hInst != NULL)
        return;
    m_hInst = hInst;
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = m_hInst;
    wc.hIcon = LoadIconA(hInst, "APP_ICON");
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(LONG_PTR(5));
    wc.lpszClassName = m_ClassName;
    // A failure shows when the first window cannot be made.
    RegisterClassA(&wc);
}

long KestrelWnd::_create(DWORD exStyle, const char* className, const char* title, DWORD style,
                         int x, int y, int w, int h, HWND parent, UINT id, const char* failText)
{
    KASSERT(m_hWnd == 0);
    if (m_hWnd != NULL) {
        // A window left behind must not reach this object any more: when the
        // object goes, nothing else would unbind it.
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
        m_hWnd = NULL;
    }
    HWND hwnd = CreateWindowExA(exStyle, className, title, style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(UINT_PTR(id)), m_hInst, NULL);
    if (hwnd == NULL)
        return KRet(E_FAIL, "%s", failText);
    m_hWnd = hwnd;
    m_ID = id;
    SetRect(x, y, w, h);
    SetClientArea(x, y, w, h);
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return 0;
}

void KestrelWnd::_linkparent(KestrelWnd* parent)
{
    if (parent == m_pParent)
        return;
    _unlinkparent();
    m_pParent = parent;
    parent->m_Dependents.push_back(this);
}

void KestrelWnd::_unlinkparent()
{
    if (m_pParent == NULL)
        return;
    std::vector<KestrelWnd*>& list = m_pParent->m_Dependents;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == this) {
            list.erase(it);
            break;
        }
    }
    m_pParent = NULL;
}

long KestrelWnd::Create(const char* className, const char* title, DWORD style, int x, int y,
                        int w, int h, KestrelWnd* parent, UINT id)
{
    if (parent != NULL)
        _linkparent(parent);
    return _create(0, className, title, style, x, y, w, h, parent ? parent->m_hWnd : NULL, id,
                   "KestrelWnd::Create fail");
}

long KestrelWnd::Create(const char* className, const char* title, DWORD style, int x, int y,
                        int w, int h, HWND parent, UINT id)
{
    return _create(0, className, title, style, x, y, w, h, parent, id, "KestrelWnd::Create fail");
}

long KestrelWnd::_createcontrol(const char* title, DWORD style, int x, int y, int w, int h,
                                KestrelWnd* parent, UINT id)
{
    const long r = Create(m_ClassName, title, style, 0, 0, 1, 1, parent, id);
    if (r == 0)
        SetRect(x, y, w, h);
    return r;
}

long KestrelWnd::_createcontrol(const char* title, DWORD style, int x, int y, int w, int h,
                                HWND parent, UINT id)
{
    const long r = Create(m_ClassName, title, style, 0, 0, 1, 1, parent, id);
    if (r == 0)
        SetRect(x, y, w, h);
    return r;
}

long KestrelWnd::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style,
                          int x, int y, int w, int h, KestrelWnd* parent, UINT id)
{
    return _create(exStyle, className, title, style, x, y, w, h, parent ? parent->m_hWnd : NULL,
                   id, "KestrelWnd::CreateEx fail");
}

long KestrelWnd::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style,
                          int x, int y, int w, int h, HWND parent, UINT id)
{
    return _create(exStyle, className, title, style, x, y, w, h, parent, id,
                   "KestrelWnd::CreateEx fail");
}

void KestrelWnd::_releasesprite(KSprite*& spr)
{
    if (spr == NULL)
        return;
    // A sprite gives its pixels back through its own render engine: the
    // device is not needed here (a window may never have been given one).
    delete spr;
    spr = NULL;
}

void KestrelWnd::Release()
{
    for (int i = 0; i < KWND_SPR_NUMS; i++)
        _releasesprite(m_sprBackEx[i]);
    _releasesprite(m_sprBackEx2);
    _releasesprite(m_sprWndBack);
    delete m_pChildList;  // the children themselves are not the list's
    m_pChildList = NULL;
    m_pHoverChild = m_pCatchChild = m_pFocusChild = m_pTopChild = NULL;
    // Windows that outlive this one must not reach back into it.
    for (KestrelWnd* child : m_Dependents)
        child->m_pParent = NULL;
    m_Dependents.clear();
    if (m_pParent != NULL) {
        m_pParent->DelChild(this);
        _unlinkparent();
    }
    if (m_hWnd != NULL) {
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
        PostMessageA(m_hWnd, WM_DESTROY, 0, 0);
        m_hWnd = NULL;
    }
}

void KestrelWnd::SetGraph(KGraph* graph)
{
    KASSERT(graph != NULL);
    if (graph == NULL)
        return;
    m_Graph = graph;
    m_Font = graph->GetDefaultFont();
}

void KestrelWnd::SetKFont(KFont* kfont)
{
    KASSERT(kfont != NULL);
    m_Font = kfont;
}

_kwndTimer* KestrelWnd::SetKTimer(KThreadSystem* system, DWORD id, DWORD period)
{
    return setKTimer(system, m_hWnd, id, period);
}

void KestrelWnd::KillKTimer(_kwndTimer*& timer)
{
    killKTimer(timer);
}

void KestrelWnd::SetRect(int x, int y, int w, int h)
{
    ::SetRect(&m_Rect, x, y, x + w, y + h);
    KASSERT(w > 0 && h > 0);
}

void KestrelWnd::SetClientArea(int x, int y, int w, int h)
{
    ::SetRect(&m_ClientArea, x, y, x + w, y + h);
    KASSERT(w > 0 && h > 0);
}
