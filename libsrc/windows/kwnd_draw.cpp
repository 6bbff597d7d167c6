// KestrelWnd: drawing the window tree onto the back screen, the back-sprite
// setters and ChangeSize.
#include "kwnd.h"

#include <doit.h>
#include <kbase.h>

#include <new>

void KestrelWnd::Draw(RECT* rect)
{
    if (m_dwState.Has(KWND_STATE_HIDE))
        return;
    DrawWndBack(rect);
    DrawWndItem(rect);
}

void KestrelWnd::DrawWndBack(RECT*)
{
    if (m_dwState.Has(KWND_STATE_HIDE) || !m_dwState.Has(KWND_STATE_BACK) || m_sprWndBack == NULL)
        return;
    const bool blend = m_dwState.Has(KWND_STATE_BACK_ALPHA);
    if (m_dwState.Has(KWND_STATE_BACK_COLORKEY)) {
        if (blend)
            m_sprWndBack->Draw_alpha_ck(m_Rect.left, m_Rect.top, 127);
        else
            m_sprWndBack->Draw_ck(m_Rect.left, m_Rect.top);
    } else {
        if (blend)
            m_sprWndBack->Draw_alpha(m_Rect.left, m_Rect.top, BYTE(127));
        else
            m_sprWndBack->Draw(m_Rect.left, m_Rect.top);
    }
}

// The list in order without the focus and top child, then the focus child,
// then the top child: what is drawn last lies on top.
void KestrelWnd::DrawWndItem(RECT*)
{
    if (m_dwState.Has(KWND_STATE_HIDE) || m_pChildList == NULL)
        return;
    KestrelWnd* child = NULL;
    KWndChildList::Node* cursor = NULL;
    do {
        m_pChildList->GetNext(child, cursor);
        if (child != NULL && child != m_pFocusChild && child != m_pTopChild)
            child->Draw(NULL);
    } while (cursor != NULL);
    if (m_pFocusChild != NULL)
        m_pFocusChild->Draw(NULL);
    if (m_pTopChild != NULL)
        m_pTopChild->Draw(NULL);
}

// The new view is made before the old one goes, so a view of the field's
// own sprite works too.
void KestrelWnd::_setview(KSprite*& field, KSprite* lps, RECT& rc, bool colorKey)
{
    KASSERT(lps != NULL);
    if (lps == NULL || !lps->IsInited())
        return;
    KSprite* view = new (std::nothrow) KSprite(*lps, rc);
    _releasesprite(field);
    field = view;  // null when the view could not be made
    if (colorKey)
        m_dwState.Set(KWND_STATE_BACK_COLORKEY);
}

void KestrelWnd::SetBackExSprite(KSprite* src, int index, RECT& rc, bool colorKey)
{
    KASSERT(index < KWND_SPR_NUMS && index >= 0);
    if (index < 0 || index >= KWND_SPR_NUMS)
        return;
    _setview(m_sprBackEx[index], src, rc, colorKey);
}

void KestrelWnd::SetBackEx2Sprite(KSprite* src, RECT& rc, bool colorKey)
{
    _setview(m_sprBackEx2, src, rc, colorKey);
}

void KestrelWnd::SetBackSprite(KSprite* src, RECT& rc, bool colorKey)
{
    _setview(m_sprWndBack, src, rc, colorKey);
}

void KestrelWnd::CreateWndBackSpr(long w, long h, DWORD flags)
{
    KASSERT(m_Graph);
    KASSERT(m_sprWndBack == NULL);
    if (m_Graph == NULL)
        return;
    _releasesprite(m_sprWndBack);
    m_sprWndBack = m_Graph->CreateSprite(w, h, m_Graph->GetDefaultColorMode(), flags);
    if (m_sprWndBack == NULL)
        KRet(KRET_NOMEMORY, "KestrelWnd::CreateWndBackSpr(%ld, %ld)", w, h);
}

// Only a back the window composes itself is cleared and composed: a back
// given with SetBackSprite is a view on pixels others may hold (a loaded
// picture shared through the sprite cache), and is left whole.
void KestrelWnd::ChangeSize(long w, long h)
{
    SetRect(m_Rect.left, m_Rect.top, int(w), int(h));
    if (m_sprWndBack == NULL || !m_dwState.Has(KWND_STATE_BACKEX | KWND_STATE_BACKEX2))
        return;
    if (w <= 0 || h <= 0)
        return;  // nothing to compose
    SPRITE_DATA* data = m_sprWndBack->GetData();
    if (data == NULL)
        return;
    if ((unsigned long)w > (unsigned long)data->width ||
        (unsigned long)h > (unsigned long)data->height) {
        const DWORD flags = data->flags;  // read while the block is still held
        _releasesprite(m_sprWndBack);
        CreateWndBackSpr(w, h, flags);
        if (m_sprWndBack == NULL)
            return;
    }
    m_sprWndBack->SetRect(0, 0, w, h);
    m_sprWndBack->_clear(0);
    if (m_dwState.Has(KWND_STATE_BACKEX))
        DrawBackEx();
    else
        DrawBackEx2();
    // The pixels changed under commands that may look the same as last
    // frame's: have them drawn again.
    m_sprWndBack->Updata();
}
