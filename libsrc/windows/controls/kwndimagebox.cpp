// KWndImageBox: a picture, optionally stretched to the box, that can notify
// its parent on a click, open a link and show a hand cursor over it.
#include "kwndimagebox.h"

#include "keyedhit.h"
#include "loadflags.h"

#include <doit.h>
#include <kbase.h>

#include <cstring>
#include <new>

KWND_BEGIN_MESSAGES(KWndImageBox, KestrelWnd)
    KWND_MESSAGE(WM_LBUTTONDOWN, KWndImageBox::OnLButtonDown)
    KWND_MESSAGE(WM_MOUSEMOVE, KWndImageBox::OnMouseMove)
    KWND_MESSAGE(KWM_MOUSELEAVE, KWndImageBox::OnMouseLeave)
KWND_END_MESSAGES()

KWndImageBox::KWndImageBox() : m_sprData(NULL), m_sprSrc(NULL), m_szURL{}
{
}

KWndImageBox::~KWndImageBox()
{
    Release();
}

void KWndImageBox::_releasesprite(KSprite*& spr)
{
    delete spr;  // gives its pixels back through its own engine
    spr = NULL;
}

void KWndImageBox::Release()
{
    _releasesprite(m_sprData);
    _releasesprite(m_sprSrc);
    KestrelWnd::Release();
}

long KWndImageBox::Create(const char* title, DWORD style, int x, int y, int w, int h,
                          KestrelWnd* parent, UINT id)
{
    return _createcontrol(title, style, x, y, w, h, parent, id);
}

long KWndImageBox::Create(const char* title, DWORD style, int x, int y, int w, int h,
                          HWND parent, UINT id)
{
    return _createcontrol(title, style, x, y, w, h, parent, id);
}

void KWndImageBox::_setsource(KSprite* src, bool colorKey)
{
    _releasesprite(m_sprSrc);
    m_sprSrc = src;
    if (colorKey)
        m_dwState.Set(KWND_STATE_COLORKEY);
    // A copy zoomed from the old picture would go on showing it.
    if (m_sprData != NULL)
        _stretch(m_sprData->GetRectWidth(), m_sprData->GetRectHeight());
}

// A missing picture is a failure the caller hears of: the box would
// otherwise stay empty while the load looked successful.
long KWndImageBox::LoadBitmap(char* filename, bool colorKey)
{
    KASSERT(filename != NULL);
    KASSERT(m_Graph != NULL);
    KSprite* picture = NULL;
    if (filename != NULL && m_Graph != NULL)
        picture = m_Graph->Load(filename, KWndPictureFlags(colorKey), NULL);
    if (picture == NULL)
        return KRet(E_FAIL, "KWndImageBox::LoadBitmap(%s)", filename ? filename : "");
    _setsource(picture, colorKey);
    return 0;
}

void KWndImageBox::SetSprite(KSprite* src, RECT& rc, bool colorKey)
{
    KASSERT(m_Graph != NULL);
    KASSERT(src != NULL);
    if (src == NULL || !src->IsInited())
        return;
    KSprite* view = new (std::nothrow) KSprite(*src, rc);
    if (view == NULL)
        return;
    _setsource(view, colorKey);
}

void KWndImageBox::SetURL(const char* url)
{
    KASSERT(url != NULL);
    if (url == NULL)
        return;
    std::strncpy(m_szURL, url, sizeof(m_szURL) - 1);
    m_szURL[sizeof(m_szURL) - 1] = '\0';
}

long KWndImageBox::GetSprWidth()
{
    KSprite* shown = _shown();
    return shown != NULL ? long(shown->GetRectWidth()) : 0;
}

long KWndImageBox::GetSprHeight()
{
    KSprite* shown = _shown();
    return shown != NULL ? long(shown->GetRectHeight()) : 0;
}

void KWndImageBox::DrawWndItem(RECT*)
{
    if (m_dwState.Has(KWND_STATE_HIDE))
        return;
    KSprite* shown = _shown();
    if (shown == NULL || !shown->IsInited())
        return;
    if (m_dwState.Has(KWND_STATE_COLORKEY))
        shown->Draw_ck(m_Rect.left, m_Rect.top);
    else
        shown->Draw(m_Rect.left, m_Rect.top);
}

bool KWndImageBox::IsIn(long x, long y)
{
    if (x < m_Rect.left || x >= m_Rect.right || y < m_Rect.top || y >= m_Rect.bottom)
        return false;
    if (!m_dwState.Has(KWND_STATE_COLORKEY))
        return true;
    KSprite* shown = _shown();
    if (shown == NULL || !shown->IsInited())
        return true;
    return KeyedPictureHit(*shown, x - m_Rect.left, y - m_Rect.top);
}

// The copy is grown only when it is too small in either direction; a larger
// one keeps its pixel block and only narrows its rectangle. The picture's own
// rectangle is zoomed, so a view on part of a larger picture stretches only
// that part.
void KWndImageBox::_stretch(long w, long h)
{
    if (m_sprSrc == NULL || !m_sprSrc->IsInited() || m_Graph == NULL || w < 1 || h < 1)
        return;
    if (m_sprData != NULL &&
        (DWORD(w) > DWORD(m_sprData->GetWidth()) || DWORD(h) > DWORD(m_sprData->GetHeight())))
        m_Graph->ReleaseKSprite(m_sprData);
    if (m_sprData == NULL) {
        m_sprData = m_Graph->CreateSprite(w, h, m_Graph->GetDefaultColorMode(), KWND_PICTURE_PLAIN);
        if (m_sprData == NULL)
            return;
    }
    const RECT& rc = m_sprSrc->GetRect();
    m_sprData->_blt_zoom(0, 0, w, h, m_sprSrc, rc.left, rc.top, rc.right - rc.left,
                         rc.bottom - rc.top);
    m_sprData->SetRect(0, 0, w, h);
    m_sprData->Updata();  // frames that drew the old pixels draw it again
}

// Without a picture (an animation box has none) there is nothing to zoom.
void KWndImageBox::ChangeSize(long w, long h)
{
    if (w < 1 || h <= 0)
        return;
    KestrelWnd::ChangeSize(w, h);
    if (m_dwState.Has(KWNDIMAGEBOX_STATE_STRETCH))
        _stretch(w, h);
}

// The class cursor is shared by every window of the framework's class, so
// the hand shows over any of them until the box sets the arrow back. The
// pointer-sized form keeps the handle whole on 64-bit.
void KWndImageBox::_setcursor(LPCSTR id)
{
    HCURSOR cursor = LoadCursorA(NULL, id);
    SetClassLongPtrA(m_hWnd, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cursor));
    SetCursor(cursor);
}

// A disabled or hidden box takes no clicks and shows no hand, as every other
// control ignores input then: the parent's router still hits a disabled
// child, and a hidden one held as its top or focus child.
int KWndImageBox::OnLButtonDown(WPARAM, LPARAM)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return 0;
    if (m_dwState.Has(KWNDIMAGEBOX_STATE_CLICK)) {
        PostMessageA(GetParent(m_hWnd), WM_COMMAND, WPARAM(m_ID), LPARAM(KWND_NOTIFY_SELECT));
        OnMouseLeave(0, 0);
    }
    if (m_szURL[0] != '\0')
        ShellExecuteA(NULL, "open", m_szURL, NULL, NULL, SW_SHOWMAXIMIZED);
    return 0;
}

int KWndImageBox::OnMouseMove(WPARAM, LPARAM)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return 0;
    if (m_szURL[0] != '\0' || m_dwState.Has(KWNDIMAGEBOX_STATE_CLICK))
        _setcursor(IDC_HAND);
    return 0;
}

int KWndImageBox::OnMouseLeave(WPARAM, LPARAM)
{
    _setcursor(IDC_ARROW);
    return 0;
}
