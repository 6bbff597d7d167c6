// KWndButton: state pictures, caption, hover sound and click notifications.
// Its state follows the mouse messages its parent's router posts to it.
#include "kwndbutton.h"

#include "keyedhit.h"
#include "loadflags.h"

#include <doit.h>
#include <kbase.h>

#include <cstring>
#include <new>

KWND_BEGIN_MESSAGES(KWndButton, KestrelWnd)
    KWND_MESSAGE(WM_LBUTTONDOWN, KWndButton::OnLButtonDown)
    KWND_MESSAGE(WM_LBUTTONUP, KWndButton::OnLButtonUp)
    KWND_MESSAGE(WM_RBUTTONDOWN, KWndButton::OnRButtonDown)
    KWND_MESSAGE(WM_RBUTTONUP, KWndButton::OnRButtonUp)
    KWND_MESSAGE(WM_LBUTTONDBLCLK, KWndButton::OnLButtonDblClk)
    KWND_MESSAGE(WM_MOUSEMOVE, KWndButton::OnMouseMove)
    KWND_MESSAGE(KWM_MOUSELEAVE, KWndButton::OnMouseLeave)
    KWND_MESSAGE(WM_TIMER, KWndButton::OnTimer)
    KWND_MESSAGE(WM_DESTROY, KWndButton::OnDestroy)
    KWND_MESSAGE(WM_SETTEXT, KWndButton::OnSetText)
KWND_END_MESSAGES()

KWndButton::KWndButton()
    : m_Sprite{}, m_dwTextColor(0), m_dwMsg(WM_COMMAND), m_szSound(NULL), m_szCaption{},
      m_nCaptionWidth(0), m_pCaptionFont(NULL), m_bCaptionStale(true)
{
}

KWndButton::~KWndButton()
{
    Release();
}

void KWndButton::_releasepictures()
{
    for (KSprite*& spr : m_Sprite) {
        delete spr;  // a view gives its pixels back through its own engine
        spr = NULL;
    }
}

void KWndButton::Release()
{
    delete[] m_szSound;
    m_szSound = NULL;
    _releasepictures();
    // The window outlives this object's binding: its timer must not go on.
    if (m_hWnd != NULL)
        KillTimer(m_hWnd, KWNDBUTTON_TIMER_HOVER);
    KestrelWnd::Release();
}

long KWndButton::Create(const char* title, DWORD style, int x, int y, int w, int h,
                        KestrelWnd* parent, UINT id)
{
    const long r = _createcontrol(title, style, x, y, w, h, parent, id);
    if (r != 0)
        return r;
    SetTimer(m_hWnd, KWNDBUTTON_TIMER_HOVER, KWNDBUTTON_HOVER_PERIOD, NULL);
    return 0;
}

long KWndButton::Create(const char* title, DWORD style, int x, int y, int w, int h, HWND parent,
                        UINT id)
{
    const long r = _createcontrol(title, style, x, y, w, h, parent, id);
    if (r != 0)
        return r;
    SetTimer(m_hWnd, KWNDBUTTON_TIMER_HOVER, KWNDBUTTON_HOVER_PERIOD, NULL);
    return 0;
}

long KWndButton::CreateEx(KGraph* pGraph, const char* szFileName, POINT pt,
                          KestrelWnd& wndParent, DWORD dwMainMsgID, DWORD dwAssistMsgID,
                          int colorKey, CUnPackFile* pack, DWORD style)
{
    KASSERT(pGraph != NULL);
    KASSERT(szFileName != NULL);
    KASSERT(wndParent.GetHandle() != NULL);
    KASSERT(dwMainMsgID > WM_USER);
    if (pGraph == NULL || szFileName == NULL)
        return E_FAIL;
    KSprite* picture = pGraph->Load(szFileName, KWndPictureFlags(colorKey), pack);
    if (picture == NULL)
        return E_FAIL;
    SetGraph(pGraph);
    const long w = picture->GetWidth() / 4, h = picture->GetHeight();
    for (int i = 0; i < PICTURE_COUNT; i++) {
        RECT column = {LONG(w * i), 0, LONG(w * (i + 1)), LONG(h)};
        SetSprite(picture, i, column, colorKey != 0);
    }
    pGraph->ReleaseKSprite(picture);  // the views keep its pixels
    SetMessage(dwMainMsgID);
    wndParent.AddChild(this);
    return Create(szFileName, style, pt.x, pt.y, int(w), int(h), &wndParent, dwAssistMsgID);
}

long KWndButton::LoadBitmap(char* name, bool colorKey, long x, long y)
{
    KASSERT(m_Graph != NULL);
    KSprite* picture = NULL;
    if (m_Graph != NULL && name != NULL) {
        if (colorKey)
            m_dwState.Set(KWND_STATE_COLORKEY);
        picture = m_Graph->Load(name, KWndPictureFlags(colorKey), NULL);
    }
    if (picture == NULL)
        return KRet(E_FAIL, "KWndButton::LoadBitmap(%s)", name ? name : "");
    if (colorKey)
        picture->SetColorKey(x, y);
    const long w = picture->GetWidth(), hb = picture->GetHeight() / 4;
    for (int i = 0; i < PICTURE_COUNT; i++) {
        RECT band = {0, LONG(hb * i), LONG(w), LONG(hb * (i + 1))};
        delete m_Sprite[i];
        m_Sprite[i] = new (std::nothrow) KSprite(*picture, band);
    }
    m_dwState.Set(KWNDBUTTON_STATE_SPRITE);
    m_Graph->ReleaseKSprite(picture);
    return 0;
}

void KWndButton::SetSprite(KSprite* src, int index, RECT& rc, bool colorKey)
{
    KASSERT(index < 4 && index >= 0);
    KASSERT(src);
    if (index < 0 || index >= PICTURE_COUNT || src == NULL || !src->IsInited())
        return;
    // Made before the old view goes, so a view of the old picture works too.
    KSprite* view = new (std::nothrow) KSprite(*src, rc);
    delete m_Sprite[index];
    m_Sprite[index] = view;
    m_dwState.Set(KWNDBUTTON_STATE_SPRITE);
    if (colorKey)
        m_dwState.Set(KWND_STATE_COLORKEY);
}

void KWndButton::Load(const char*)
{
    m_dwState.Set(KWNDBUTTON_STATE_SPRITE);
}

void KWndButton::SetBtnFocusSound(const char* pSoundFile)
{
    KASSERT(pSoundFile != NULL);
    if (pSoundFile == NULL)
        return;
    char* copy = new (std::nothrow) char[std::strlen(pSoundFile) + 1];
    if (copy == NULL)
        return;
    std::strcpy(copy, pSoundFile);
    delete[] m_szSound;
    m_szSound = copy;
}

long KWndButton::GetWidth()
{
    if (m_Sprite[0] != NULL)
        return long(m_Sprite[0]->GetRectWidth());
    return m_Rect.right - m_Rect.left;
}

long KWndButton::GetHeight()
{
    if (m_Sprite[0] != NULL)
        return long(m_Sprite[0]->GetRectHeight());
    return m_Rect.bottom - m_Rect.top;
}

KSprite* KWndButton::_current()
{
    if (m_dwState.Has(KWND_STATE_DISABLE))
        return m_Sprite[PICTURE_DISABLED];
    if (m_dwState.Has(KWNDBUTTON_STATE_PRESSED))
        return m_Sprite[PICTURE_PRESSED];
    if (m_dwState.Has(KWNDBUTTON_STATE_HOVER))
        return m_Sprite[PICTURE_HOVER];
    return m_Sprite[PICTURE_NORMAL];
}

void KWndButton::_notify(DWORD code)
{
    PostMessageA(GetParent(m_hWnd), m_dwMsg, WPARAM(m_ID), LPARAM(code));
}

bool KWndButton::IsIn(long x, long y)
{
    if (x < m_Rect.left || x >= m_Rect.right || y < m_Rect.top || y >= m_Rect.bottom)
        return false;
    if (!m_dwState.Has(KWND_STATE_COLORKEY))
        return true;
    KSprite* picture = _current();
    if (picture == NULL || !picture->IsInited())
        return true;  // nothing to look at: the rectangle decides
    return KeyedPictureHit(*picture, x - m_Rect.left, y - m_Rect.top);
}

void KWndButton::DrawWndItem(RECT*)
{
    if (m_dwState.Has(KWND_STATE_HIDE))
        return;
    const long left = m_Rect.left, top = m_Rect.top;
    if (m_dwState.Has(KWNDBUTTON_STATE_SPRITE)) {
        KSprite* picture = _current();
        if (picture != NULL && picture->IsInited()) {
            if (!m_dwState.Has(KWND_STATE_COLORKEY))
                picture->Draw(left, top);
            else if (picture->GetAlphaData() != NULL)
                picture->Draw_alpha(left, top);
            else
                picture->Draw_ck(left, top);
        }
    }
    if (m_dwState.Has(KWNDBUTTON_STATE_TEXT) && m_Graph != NULL && m_Font != NULL) {
        _refreshcaption();
        long dx = (GetWidth() - m_nCaptionWidth) >> 1;
        long dy = (GetHeight() - m_Font->GetHeight()) >> 1;
        if (m_dwState.Has(KWNDBUTTON_STATE_PRESSED)) {
            dx++;
            dy++;
        }
        // The caption is text, never a format: "100%" draws as written.
        m_Graph->GetBackScreen()->Printf(m_Font, left + dx, top + dy, m_dwTextColor, "%s",
                                         m_szCaption);
    }
}

void KWndButton::_refreshcaption()
{
    if (!m_bCaptionStale && m_pCaptionFont == m_Font)
        return;
    GetWindowTextA(m_hWnd, m_szCaption, sizeof(m_szCaption));
    m_nCaptionWidth = m_Font->GetStringWidth(m_szCaption);
    m_pCaptionFont = m_Font;
    m_bCaptionStale = false;
}

int KWndButton::OnSetText(WPARAM, LPARAM)
{
    m_bCaptionStale = true;
    return 0;  // the default procedure keeps the text
}

int KWndButton::OnLButtonDown(WPARAM, LPARAM)
{
    if (m_dwState.Has(KWND_STATE_DISABLE))
        return -1;
    m_dwState.Set(KWNDBUTTON_STATE_LDOWN);
    if (m_dwState.Has(KWNDBUTTON_STATE_RDOWN))
        _notify(KWND_NOTIFY_BOTHDOWN);
    if (!m_dwState.Has(KWND_STATE_HIDE) && !m_dwState.Has(KWNDBUTTON_STATE_PRESSED))
        m_dwState.Set(KWNDBUTTON_STATE_PRESSED);
    return -1;
}

int KWndButton::OnLButtonUp(WPARAM, LPARAM)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return -1;
    if (m_dwState.Has(KWNDBUTTON_STATE_LDOWN))
        _notify(KWND_NOTIFY_LCLICK);
    m_dwState.Clr(KWNDBUTTON_STATE_PRESSED | KWNDBUTTON_STATE_LDOWN);
    return -1;
}

int KWndButton::OnLButtonDblClk(WPARAM, LPARAM)
{
    if (!m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE | KWNDBUTTON_STATE_PRESSED))
        m_dwState.Set(KWNDBUTTON_STATE_PRESSED);
    return -1;
}

int KWndButton::OnRButtonDown(WPARAM, LPARAM)
{
    if (m_dwState.Has(KWND_STATE_DISABLE))
        return -1;
    m_dwState.Set(KWNDBUTTON_STATE_RDOWN);
    if (m_dwState.Has(KWNDBUTTON_STATE_LDOWN))
        _notify(KWND_NOTIFY_BOTHDOWN);
    return -1;
}

int KWndButton::OnRButtonUp(WPARAM, LPARAM)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return -1;
    m_dwState.Clr(KWNDBUTTON_STATE_RDOWN);
    _notify(KWND_NOTIFY_RCLICK);
    return -1;
}

int KWndButton::OnMouseMove(WPARAM wParam, LPARAM)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return -1;
    if (m_szSound != NULL && !m_dwState.Has(KWNDBUTTON_STATE_HOVER))
        PlaySoundA(m_szSound, NULL, SND_ASYNC | SND_NOWAIT);
    m_dwState.Set(KWNDBUTTON_STATE_HOVER);
    if (wParam & MK_LBUTTON)
        m_dwState.Set(KWNDBUTTON_STATE_PRESSED);
    return -1;
}

int KWndButton::OnMouseLeave(WPARAM, LPARAM)
{
    m_dwState.Clr(KWNDBUTTON_STATE_HOVER | KWNDBUTTON_STATE_PRESSED);
    return -1;
}

// The cursor is read in the client coordinates of the device's window,
// where the button's rectangle lies.
int KWndButton::OnTimer(WPARAM wParam, LPARAM)
{
    if (wParam != KWNDBUTTON_TIMER_HOVER)
        return 0;
    POINT cursor;
    if (!GetCursorPos(&cursor))
        return 0;
    HWND frame = m_Graph != NULL ? m_Graph->GetHWND() : GetParent(m_hWnd);
    ScreenToClient(frame, &cursor);
    if (!IsIn(cursor.x, cursor.y) && m_dwState.Has(KWNDBUTTON_STATE_HOVER))
        m_dwState.Clr(KWNDBUTTON_STATE_HOVER);
    return 0;
}

int KWndButton::OnDestroy(WPARAM, LPARAM)
{
    KillTimer(m_hWnd, KWNDBUTTON_TIMER_HOVER);
    return 0;
}
