// KestrelWnd: the child list and the four child roles, hiding, hit tests
// and movement.
#include "kwnd.h"

#include <kbase.h>

#include <new>

void KestrelWnd::AddChild(KestrelWnd* child)
{
    if (m_pChildList == NULL) {
        m_pChildList = new (std::nothrow) KWndChildList;
        if (m_pChildList == NULL) {
            KRet(KRET_NOMEMORY, "KestrelWnd::AddChild()");
            return;
        }
    }
    m_pChildList->Add(child);
}

// The roles are cleared whether or not the child is in the list: a role
// must never outlive the child it names.
void KestrelWnd::DelChild(KestrelWnd* child)
{
    if (m_pChildList != NULL)
        m_pChildList->Delete(child);
    if (m_pHoverChild == child)
        m_pHoverChild = NULL;
    if (m_pCatchChild == child)
        m_pCatchChild = NULL;
    if (m_pFocusChild == child)
        m_pFocusChild = NULL;
    if (m_pTopChild == child)
        m_pTopChild = NULL;
}

void KestrelWnd::AddToChild(KestrelWnd* parent)
{
    if (parent != NULL)
        parent->AddChild(this);
}

void KestrelWnd::DelToChild(KestrelWnd* parent)
{
    if (parent != NULL)
        parent->DelChild(this);
}

void KestrelWnd::SetTopWnd()
{
    if (m_pParent != NULL)
        m_pParent->SetTopChild(this);
}

void KestrelWnd::HideChild(KestrelWnd* child)
{
    if (m_pCatchChild == child)
        m_pCatchChild = NULL;
    if (m_pFocusChild == child)
        m_pFocusChild = NULL;
}

void KestrelWnd::HideWindow()
{
    m_dwState.Set(KWND_STATE_HIDE);
    if (m_pParent != NULL)
        m_pParent->HideChild(this);
}

bool KestrelWnd::IsIn(long x, long y)
{
    return x >= m_Rect.left && x < m_Rect.right && y >= m_Rect.top && y < m_Rect.bottom;
}

bool KestrelWnd::IsInClient(long x, long y)
{
    return x >= m_ClientArea.left && x < m_ClientArea.right && y >= m_ClientArea.top &&
           y < m_ClientArea.bottom;
}

bool KestrelWnd::IsInChild(long x, long y)
{
    if (m_pChildList == NULL)
        return false;
    KestrelWnd* child = NULL;
    KWndChildList::Node* cursor = NULL;
    do {
        m_pChildList->GetNext(child, cursor);
        if (child != NULL && !child->IsHide() && child->IsIn(x, y))
            return true;
    } while (cursor != NULL);
    return false;
}

void KestrelWnd::Move(long dx, long dy)
{
    OffsetRect(&m_Rect, int(dx), int(dy));
    OffsetRect(&m_ClientArea, int(dx), int(dy));
    if (m_pChildList == NULL)
        return;
    KestrelWnd* child = NULL;
    KWndChildList::Node* cursor = NULL;
    do {
        m_pChildList->GetNext(child, cursor);
        if (child != NULL)
            child->Move(dx, dy);
    } while (cursor != NULL);
}

void KestrelWnd::MoveTo(long x, long y)
{
    Move(x - m_Rect.left, y - m_Rect.top);
}
