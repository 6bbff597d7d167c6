// The window procedure of the class "KestrelWindow", the table walk, the
// root message table and KestrelWnd's own non-mouse handlers.
#include "kwnd.h"
#include <windowsx.h>

// The root table: row 0 names no base.
const KMessageFunc KestrelWnd::messageEntries[] = {
    {0, 0, nullptr},
    KWND_MESSAGE(WM_DESTROY, KestrelWnd::OnDestroy)
    KWND_MESSAGE(WM_SIZE, KestrelWnd::OnSize)
    KWND_MESSAGE(WM_LBUTTONUP, KestrelWnd::OnLButtonUp)
    KWND_MESSAGE(WM_LBUTTONDOWN, KestrelWnd::OnLButtonDown)
    KWND_MESSAGE(WM_LBUTTONDBLCLK, KestrelWnd::OnLButtonDblClk)
    KWND_MESSAGE(WM_RBUTTONUP, KestrelWnd::OnRButtonUp)
    KWND_MESSAGE(WM_RBUTTONDOWN, KestrelWnd::OnRButtonDown)
    KWND_MESSAGE(WM_RBUTTONDBLCLK, KestrelWnd::OnRButtonDblClk)
    KWND_MESSAGE(WM_MOUSEMOVE, KestrelWnd::OnMouseMove)
    KWND_MESSAGE(WM_ACTIVATE, KestrelWnd::OnActive)
    KWND_MESSAGE(WM_MOVE, KestrelWnd::OnMove)
KWND_END_MESSAGES()

const KMessageFunc* KestrelWnd::GetMessageEntries()
{
    return messageEntries;
}

// Most derived table first. In each table the first row for the message
// runs; -1 ends everything at once, any other result goes on to the base
// table. The default procedure always has the last word, and its result is
// the procedure's: a handler's result never reaches the caller.
LRESULT CALLBACK KestrelWnd::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    KestrelWnd* obj = reinterpret_cast<KestrelWnd*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (obj == NULL)
        return DefWindowProcA(hWnd, msg, wParam, lParam);
    for (const KMessageFunc* table = obj->GetMessageEntries(); table != NULL;
         table = KMessageTableBase(table)) {
        for (const KMessageFunc* row = table + 1; row->pfnHandler != nullptr; ++row) {
            if (row->nMessage != msg)
                continue;
            if ((obj->*(row->pfnHandler))(wParam, lParam) == -1)
                return DefWindowProcA(hWnd, msg, wParam, lParam);
            break;
        }
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

int KestrelWnd::OnDestroy(WPARAM, LPARAM)
{
    PostQuitMessage(0);
    return 0;
}

// Both halves of lParam are signed 16-bit values.
int KestrelWnd::OnSize(WPARAM, LPARAM lParam)
{
    m_Rect.right = m_Rect.left + GET_X_LPARAM(lParam);
    m_Rect.bottom = m_Rect.top + GET_Y_LPARAM(lParam);
    return 0;
}

int KestrelWnd::OnMove(WPARAM, LPARAM lParam)
{
    const LONG x = GET_X_LPARAM(lParam);
    const LONG y = GET_Y_LPARAM(lParam);
    m_Rect.right += x - m_Rect.left;
    m_Rect.bottom += y - m_Rect.top;
    m_Rect.left = x;
    m_Rect.top = y;
    return 0;
}

// HIWORD(wParam) is WM_ACTIVATE's minimised flag.
int KestrelWnd::OnActive(WPARAM wParam, LPARAM)
{
    if (HIWORD(wParam) == 0)
        m_dwState.Set(KWND_STATE_ACTIVE);
    else
        m_dwState.Clr(KWND_STATE_ACTIVE);
    return -1;
}

int KestrelWnd::OnPaint(WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    EndPaint(m_hWnd, &ps);
    Draw(NULL);
    return -1;
}
