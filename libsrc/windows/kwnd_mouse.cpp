// KestrelWnd: the mouse routers. Every window's rectangle is in the top
// window's client coordinates, so a message is posted on to the child hit
// with its coordinates unchanged; the child's own handlers act on it later,
// from the same thread's loop.
#include "kwnd.h"
#include <windowsx.h>

// A child with children of its own is hit inside its client area; any other
// by its own test.
bool KestrelWnd::_hitone(KestrelWnd* child, long x, long y)
{
    if (child->HasChild() && child->IsInClient(x, y))
        return true;
    return child->IsIn(x, y);
}

// Top child, then focus child (neither tested for hiding), then the list in
// order without those two and without hidden children.
KestrelWnd* KestrelWnd::_hitchild(long x, long y)
{
    if (m_pTopChild != NULL && _hitone(m_pTopChild, x, y))
        return m_pTopChild;
    if (m_pFocusChild != NULL && _hitone(m_pFocusChild, x, y))
        return m_pFocusChild;
    KestrelWnd* child = NULL;
    KWndChildList::Node* cursor = NULL;
    do {
        m_pChildList->GetNext(child, cursor);
        if (child == NULL || child == m_pFocusChild || child == m_pTopChild || child->IsHide())
            continue;
        if (_hitone(child, x, y))
            return child;
    } while (cursor != NULL);
    return NULL;
}

// Posts to the child's window. A child whose window was never made takes the
// message and drops it: posted to no window it would become a message of
// the thread instead.
BOOL KestrelWnd::_postto(KestrelWnd* child, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (child->m_hWnd == NULL)
        return FALSE;
    return PostMessageA(child->m_hWnd, msg, wParam, lParam);
}

int KestrelWnd::_routeclick(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return -1;
    if (m_pChildList == NULL)
        return -1;
    KestrelWnd* hit = _hitchild(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    if (hit == NULL || hit->m_hWnd == NULL)
        return -1;
    return _postto(hit, msg, wParam, lParam);
}

int KestrelWnd::OnLButtonUp(WPARAM wParam, LPARAM lParam)
{
    return _routeclick(WM_LBUTTONUP, wParam, lParam);
}

int KestrelWnd::OnLButtonDown(WPARAM wParam, LPARAM lParam)
{
    return _routeclick(WM_LBUTTONDOWN, wParam, lParam);
}

int KestrelWnd::OnLButtonDblClk(WPARAM wParam, LPARAM lParam)
{
    return _routeclick(WM_LBUTTONDBLCLK, wParam, lParam);
}

int KestrelWnd::OnRButtonUp(WPARAM wParam, LPARAM lParam)
{
    return _routeclick(WM_RBUTTONUP, wParam, lParam);
}

int KestrelWnd::OnRButtonDown(WPARAM wParam, LPARAM lParam)
{
    return _routeclick(WM_RBUTTONDOWN, wParam, lParam);
}

int KestrelWnd::OnRButtonDblClk(WPARAM wParam, LPARAM lParam)
{
    return _routeclick(WM_RBUTTONDBLCLK, wParam, lParam);
}

// The hover child keeps its role when the mouse hits nothing, so it hears
// KWM_MOUSELEAVE again with each move that misses it.
int KestrelWnd::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return -1;
    if (m_pCatchChild != NULL) {
        _postto(m_pCatchChild, WM_MOUSEMOVE, wParam, lParam);
        return -1;
    }
    m_ptMouse.x = GET_X_LPARAM(lParam);
    m_ptMouse.y = GET_Y_LPARAM(lParam);
    if (m_pHoverChild != NULL && !m_pHoverChild->IsIn(m_ptMouse.x, m_ptMouse.y))
        _postto(m_pHoverChild, KWM_MOUSELEAVE, wParam, lParam);
    if (m_pChildList == NULL)
        return -1;
    KestrelWnd* hit = _hitchild(m_ptMouse.x, m_ptMouse.y);
    if (hit != NULL) {
        _postto(hit, WM_MOUSEMOVE, wParam, lParam);
        m_pHoverChild = hit;
    }
    return -1;
}

void KestrelWnd::MouseLeave()
{
    if (m_pHoverChild != NULL)
        _postto(m_pHoverChild, KWM_MOUSELEAVE, 0, 0);
}
