// Timers: SetTimer and KillTimer. Due timers become WM_TIMER messages when the
// queue is read (desktop/src/queue.cpp).
#include "desktop_internal.h"

using namespace desktop::detail;

namespace {

UINT _period(UINT elapse)
{
    if (elapse < USER_TIMER_MINIMUM)
        return USER_TIMER_MINIMUM;
    if (elapse > USER_TIMER_MAXIMUM)
        return USER_TIMER_MAXIMUM;
    return elapse;
}

// A fresh id for a timer without a window: never 0, never one in use.
UINT_PTR _newThreadTimerId(Desktop& d, Queue& q)
{
    do {
        ++d.threadTimerSerial;
    } while (d.threadTimerSerial == 0 || q.threadTimers.count(d.threadTimerSerial) != 0);
    return d.threadTimerSerial;
}

}  // namespace

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (ShouldFail("SetTimer"))
        return 0;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    Timer t;
    t.elapse = _period(elapse);
    t.due = ClockNow() + t.elapse;
    t.proc = proc;
    d.timersKnown = false;
    if (hwnd != nullptr) {
        Window* w = d.FindWindow(hwnd);
        if (w == nullptr)
            return 0;
        w->timers[id] = t;
        d.QueueOf(w->thread).wake.notify_all();  // a waiting loop has a new moment to wait for
        return id != 0 ? id : 1;
    }
    Queue& q = d.MyQueue();
    if (id == 0 || q.threadTimers.count(id) == 0)
        id = _newThreadTimerId(d, q);
    q.threadTimers[id] = t;
    q.wake.notify_all();
    return id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id)
{
    if (ShouldFail("KillTimer"))
        return FALSE;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    if (hwnd != nullptr) {
        Window* w = d.FindWindow(hwnd);
        return w != nullptr && w->timers.erase(id) != 0 ? TRUE : FALSE;
    }
    return d.MyQueue().threadTimers.erase(id) != 0 ? TRUE : FALSE;
}
