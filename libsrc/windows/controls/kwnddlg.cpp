// KWndDlg: a panel of controls with a picture back, hit through its colour
// key, that takes its parent's focus when clicked and, when movable, is
// dragged with the left button together with its children.
#include "kwnddlg.h"

#include "keyedhit.h"
#include "loadflags.h"

#include <doit.h>
#include <kbase.h>
#include <windowsx.h>

#include <new>

KWND_BEGIN_MESSAGES(KWndDlg, KestrelWnd)
    KWND_MESSAGE(WM_LBUTTONDOWN, KWndDlg::OnLButtonDown)
    KWND_MESSAGE(WM_LBUTTONUP, KWndDlg::OnLButtonUp)
    KWND_MESSAGE(WM_MOUSEMOVE, KWndDlg::OnMouseMove)
    KWND_MESSAGE(KWM_MOUSELEAVE, KWndDlg::OnMouseLeave)
KWND_END_MESSAGES()

KWndDlg::KWndDlg() : m_nDragX(0), m_nDragY(0)
{
}

KWndDlg::~KWndDlg()
{
    Release();
}

void KWndDlg::Release()
{
    KestrelWnd::Release();
}

// The parent hits a window with children inside its client area before
// asking its own test. The real window's 1 x 1 client area would make one
// stray pixel at the parent's corner the dialog's; an empty one leaves the
// whole decision to IsIn, which knows the colour key.
long KWndDlg::Create(const char* title, DWORD style, int x, int y, int w, int h,
                     KestrelWnd* parent, UINT id)
{
    const long r = _createcontrol(title, style, x, y, w, h, parent, id);
    if (r != 0)
        return r;
    m_ClientArea = RECT{x, y, x, y};
    return 0;
}

long KWndDlg::LoadBitmap(char* name, bool colorKey, long x, long y)
{
    KASSERT(m_Graph != NULL);
    KSprite* picture = NULL;
    if (m_Graph != NULL && name != NULL)
        picture = m_Graph->Load(name, KWndPictureFlags(colorKey), NULL);
    if (picture == NULL)
        return KRet(E_FAIL, "KWndDlg::LoadBitmap(%s)", name ? name : "");
    delete m_sprWndBack;  // a back loaded before is replaced, not lost
    m_sprWndBack = picture;
    if (colorKey) {
        picture->SetColorKey(x, y);
        m_dwState.Set(KWND_STATE_COLORKEY | KWND_STATE_BACK_COLORKEY);
    }
    m_dwState.Set(KWND_STATE_BACK);
    return 0;
}

void KWndDlg::SetSprite(KSprite* src, RECT& rc, bool colorKey)
{
    SetBackSprite(src, rc, colorKey);
    m_dwState.Set(KWND_STATE_BACK);
}

long KWndDlg::GetWidth() const
{
    if (m_sprWndBack != NULL)
        return long(m_sprWndBack->GetRectWidth());
    return m_Rect.right - m_Rect.left;
}

long KWndDlg::GetHeight() const
{
    if (m_sprWndBack != NULL)
        return long(m_sprWndBack->GetRectHeight());
    return m_Rect.bottom - m_Rect.top;
}

void KWndDlg::Active(bool)
{
}

void KWndDlg::DrawWndItem(RECT* rect)
{
    if (m_dwState.Has(KWND_STATE_HIDE))
        return;
    KestrelWnd::DrawWndItem(rect);
}

bool KWndDlg::IsIn(long x, long y)
{
    if (x < m_Rect.left || x >= m_Rect.right || y < m_Rect.top || y >= m_Rect.bottom)
        return false;
    if (!m_dwState.Has(KWND_STATE_COLORKEY) || m_sprWndBack == NULL ||
        !m_sprWndBack->IsInited())
        return true;
    return KeyedPictureHit(*m_sprWndBack, x - m_Rect.left, y - m_Rect.top);
}

// A dialog made with a window handle for a parent has no parent object to
// hold the capture.
void KWndDlg::_enddrag()
{
    m_dwState.Clr(KWNDDLG_STATE_DRAG);
    if (m_pParent != NULL)
        m_pParent->CatchChild(NULL);
}

// Returns 0 in every case, so the base router then passes the click on to
// the child hit.
int KWndDlg::OnLButtonDown(WPARAM, LPARAM lParam)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return 0;
    const long x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    if (m_pChildList != NULL) {
        KestrelWnd* child = NULL;
        KWndChildList::Node* cursor = NULL;
        do {
            m_pChildList->GetNext(child, cursor);
            if (child != NULL && child->IsIn(x, y)) {
                if (m_pParent != NULL)
                    m_pParent->FocusChild(this);
                return 0;
            }
        } while (cursor != NULL);
    }
    if (!IsIn(x, y))
        return 0;
    const bool movable = m_dwState.Has(KWNDDLG_STATE_MOVABLE);
    if (m_pParent != NULL) {
        if (movable)
            m_pParent->CatchChild(this);
        m_pParent->FocusChild(this);
    }
    if (movable) {
        m_dwState.Set(KWNDDLG_STATE_DRAG);
        m_nDragX = x;
        m_nDragY = y;
    }
    return 0;
}

// While the dialog holds the capture its parent sends it every move and no
// leave message, so a button released where the dialog does not hear it
// would leave it dragging for good: a move without the left button ends it.
int KWndDlg::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE) ||
        !m_dwState.Has(KWNDDLG_STATE_MOVABLE) || !m_dwState.Has(KWNDDLG_STATE_DRAG))
        return 0;
    if (!(wParam & MK_LBUTTON)) {
        _enddrag();
        return 0;
    }
    const long x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    Move(x - m_nDragX, y - m_nDragY);
    m_nDragX = x;
    m_nDragY = y;
    return 0;
}

int KWndDlg::OnLButtonUp(WPARAM, LPARAM)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE) ||
        !m_dwState.Has(KWNDDLG_STATE_MOVABLE))
        return 0;
    _enddrag();
    return 0;
}

int KWndDlg::OnMouseLeave(WPARAM wParam, LPARAM lParam)
{
    if (m_dwState.Has(KWND_STATE_HIDE))
        return 0;
    if (m_dwState.Has(KWNDDLG_STATE_MOVABLE))
        _enddrag();
    if (m_pHoverChild != NULL && m_pHoverChild->GetHandle() != NULL)
        PostMessageA(m_pHoverChild->GetHandle(), KWM_MOUSELEAVE, wParam, lParam);
    return -1;
}
