// The window timer service: one thread per KThreadSystem checks its timers
// against the desktop clock and posts WM_TIMER when one is due.
#include "ktimer.h"
#include "kret.h"

#include <algorithm>
#include <chrono>

struct _kwndTimer {
    KThreadSystem* system;
    HWND hwnd;
    DWORD id;
    DWORD period;
    DWORD due;  // timeGetTime value of the next post (wraps around)
};

namespace {

// How often the thread looks at the clock: often enough that a test that
// advances the manual clock sees its timer within a few milliseconds.
const auto kPoll = std::chrono::milliseconds(1);

// True once now has reached due, across the clock's wrap-around.
bool IsDue(DWORD now, DWORD due)
{
    return DWORD(now - due) < 0x80000000u;
}

}  // namespace

KThreadSystem::KThreadSystem() : m_Thread([this] { _run(); }) {}

KThreadSystem::~KThreadSystem()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bStop = true;
    }
    m_Wake.notify_all();
    m_Thread.join();
    for (_kwndTimer* t : m_Timers)
        delete t;
}

void KThreadSystem::_run()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    while (!m_bStop) {
        const DWORD now = timeGetTime();
        for (_kwndTimer* t : m_Timers) {
            if (!IsDue(now, t->due))
                continue;
            t->due = now + t->period;
            PostMessageA(t->hwnd, WM_TIMER, WPARAM(t->id), 0);
        }
        m_Wake.wait_for(lock, kPoll);
    }
}

void KThreadSystem::_add(_kwndTimer* timer)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Timers.push_back(timer);
}

void KThreadSystem::_remove(_kwndTimer* timer)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Timers.erase(std::remove(m_Timers.begin(), m_Timers.end(), timer), m_Timers.end());
}

_kwndTimer* setKTimer(KThreadSystem* system, HWND hwnd, DWORD id, DWORD period)
{
    if (system == NULL || hwnd == NULL || period == 0) {
        KRet(-1, "setKTimer: no timer service, window or period");
        return NULL;
    }
    _kwndTimer* timer = new _kwndTimer{system, hwnd, id, period, timeGetTime() + period};
    system->_add(timer);
    return timer;
}

void killKTimer(_kwndTimer*& timer)
{
    if (timer == NULL)
        return;
    timer->system->_remove(timer);
    delete timer;
    timer = NULL;
}
