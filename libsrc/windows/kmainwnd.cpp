// KestrelMainWnd: the host's top-level window, its message loops and the
// frame it renders when no message waits.
#include "kwnd.h"

#include <doit.h>
#include <kbase.h>

KWND_BEGIN_MESSAGES(KestrelMainWnd, KestrelWnd)
    KWND_MESSAGE(WM_PAINT, KestrelMainWnd::OnPaint)
    KWND_MESSAGE(WM_MOVE, KestrelMainWnd::OnMove)
    KWND_MESSAGE(WM_ACTIVATE, KestrelMainWnd::OnActivate)
KWND_END_MESSAGES()

// The loop renders from the start: a window shown without a WM_ACTIVATE
// reaching its object (one made visible at creation) still gets frames.
KestrelMainWnd::KestrelMainWnd() : m_dwMainReserved(0), m_bActive(1) {}

KestrelMainWnd::~KestrelMainWnd()
{
    Release();
}

void KestrelMainWnd::Release() {}

long KestrelMainWnd::MessageRun()
{
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

long KestrelMainWnd::MessageRunIdle()
{
    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, NULL, 0, 0))
                return 0;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (m_bActive) {
            if (OnIdle() != 0) {
                KestrelMainWnd::Release();
                return 0;
            }
        } else {
            WaitMessage();
        }
    }
}

int KestrelMainWnd::OnIdle()
{
    Render(NULL);
    return 0;
}

long KestrelMainWnd::Render(RECT*)
{
    KASSERT(m_Graph);
    if (m_Graph == NULL)
        return E_FAIL;
    Draw(NULL);
    return m_Graph->Render();
}

// What Windows asks to be painted (a part uncovered, the window shown or
// restored) gets the back screen's pixels at once: a frame that changes
// nothing presents nothing, and that part would stay stale until it did.
int KestrelMainWnd::OnPaint(WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    if (m_Graph != NULL && !IsRectEmpty(&ps.rcPaint))
        m_Graph->RenderToScreen(ps.rcPaint);
    EndPaint(m_hWnd, &ps);
    Draw(NULL);  // recorded; the next Render presents what changed
    return -1;
}

int KestrelMainWnd::OnMove(WPARAM, LPARAM)
{
    if (m_Graph != NULL)
        m_Graph->GetRenderRect();
    return 0;
}

int KestrelMainWnd::OnActivate(WPARAM wParam, LPARAM)
{
    m_bActive = HIWORD(wParam) == 0 ? 1 : 0;
    return 0;
}
