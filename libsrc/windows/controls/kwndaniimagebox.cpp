// KWndAniImageBox: an image box that draws a frame animation. The box either
// made its animation (LoadAni, KWNDANI_STATE_OWNANI set) and deletes it, or
// borrows one the host keeps (SetAni).
#include "kwndimagebox.h"

#include <doit.h>
#include <kbase.h>

#include <new>

KWndAniImageBox::KWndAniImageBox() : m_aniData(NULL)
{
}

KWndAniImageBox::~KWndAniImageBox()
{
    Release();
}

void KWndAniImageBox::_dropani()
{
    if (m_aniData != NULL && m_dwState.Has(KWNDANI_STATE_OWNANI))
        delete m_aniData;
    m_aniData = NULL;
    m_dwState.Clr(KWNDANI_STATE_OWNANI);
}

void KWndAniImageBox::Release()
{
    _dropani();
    KWndImageBox::Release();
}

long KWndAniImageBox::LoadAni(char* filename)
{
    KASSERT(m_Graph != NULL);
    KASSERT(filename != NULL);
    if (m_Graph == NULL || filename == NULL)
        return KRET_ERROR;
    _dropani();  // an animation held before would otherwise be lost
    KAni* ani = new (std::nothrow) KAni;
    if (ani == NULL)
        return KRet(KRET_NOMEMORY, "KWndAniImageBox::LoadAni(%s)", filename);
    m_aniData = ani;
    m_dwState.Set(KWNDANI_STATE_OWNANI);
    return ani->Load(filename, m_Graph);
}

// A borrowed animation is the host's: the box must not delete it, so the own
// bit goes with the animation it described.
void KWndAniImageBox::SetAni(KAni* pAni)
{
    KASSERT(pAni != NULL);
    if (pAni == m_aniData)
        return;
    _dropani();
    m_aniData = pAni;
}

long KWndAniImageBox::GetSprWidth()
{
    return m_aniData != NULL ? m_aniData->GetWidth() : 0;
}

long KWndAniImageBox::GetSprHeight()
{
    return m_aniData != NULL ? m_aniData->GetHeight() : 0;
}

void KWndAniImageBox::DrawWndItem(RECT*)
{
    if (m_dwState.Has(KWND_STATE_HIDE) || m_aniData == NULL)
        return;
    m_aniData->Draw(m_Rect.left, m_Rect.top);
}

bool KWndAniImageBox::IsIn(long x, long y)
{
    return KestrelWnd::IsIn(x, y);
}
