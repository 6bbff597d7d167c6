// KAniPlayer: playback of a shared KAni on the player's own cursor.
#include "aniplayer.h"
#include "ani.h"
#include <kbase.h>

KAniPlayer::KAniPlayer() : m_Data(NULL), m_dwCurFrame(0), m_dwLastTime(0), m_x(0), m_y(0) {}

KAniPlayer::~KAniPlayer()
{
    Release();
}

void KAniPlayer::Release()
{
    m_Data = NULL;
    m_dwCurFrame = 0;
    m_dwLastTime = 0;
}

long KAniPlayer::GetWidth()
{
    KASSERT(m_Data != NULL);
    return m_Data != NULL ? m_Data->GetWidth() : 0;
}

long KAniPlayer::GetHeight()
{
    KASSERT(m_Data != NULL);
    return m_Data != NULL ? m_Data->GetHeight() : 0;
}

DWORD KAniPlayer::GetMaxFrames()
{
    KASSERT(m_Data != NULL);
    return m_Data != NULL ? m_Data->GetMaxFrames() : 0;
}

KSprite* KAniPlayer::GetCurSprite()
{
    KASSERT(m_Data != NULL);
    return m_Data != NULL ? m_Data->GetCurSprite() : NULL;
}

long KAniPlayer::NextFrame()
{
    KASSERT(m_Data != NULL);
    return m_Data != NULL ? m_Data->_nextframe(m_dwCurFrame) : 0;
}

long KAniPlayer::Action()
{
    KASSERT(m_Data != NULL);
    return m_Data != NULL ? m_Data->_action(m_dwCurFrame, m_dwLastTime) : 0;
}

long KAniPlayer::Draw()
{
    KASSERT(m_Data != NULL);
    return m_Data != NULL ? m_Data->_draw(m_dwCurFrame, m_dwLastTime, m_x, m_y) : 0;
}
