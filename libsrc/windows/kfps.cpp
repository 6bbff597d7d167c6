// KestrelFPS: sleeps away what is left of each frame's interval. Tick
// differences are taken in unsigned 32-bit arithmetic, so pacing keeps
// working across the 49.7-day wrap of timeGetTime.
#include "kwnd.h"

KestrelFPS::KestrelFPS() : m_dwInterval(0), m_dwLastTime(0), m_dwRest(0), m_bStarted(false) {}

void KestrelFPS::SetFPS(int fps)
{
    if (fps > 0)
        m_dwInterval = DWORD(1000 / fps);
}

void KestrelFPS::Wait()
{
    if (m_bStarted) {
        m_dwRest = m_dwInterval - (timeGetTime() - m_dwLastTime);
        if (int32_t(m_dwRest) > 0)
            Sleep(m_dwRest);
    }
    m_dwLastTime = timeGetTime();
    m_bStarted = true;
}

bool KestrelFPS::CheckRender()
{
    if (!m_bStarted)
        return false;
    m_dwRest = timeGetTime() - m_dwLastTime;
    return int64_t(int32_t(m_dwRest)) < int64_t(m_dwInterval);
}
