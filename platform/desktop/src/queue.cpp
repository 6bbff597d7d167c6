// The message queue of each thread: retrieval in Win32's order, waiting
// (on the manual clock: moving the clock to the next thing that will come),
// and forgetting a window's messages when it goes.
#include "desktop_internal.h"

#include <desktop/backend.h>
#include <desktop/desktop.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace desktop {
namespace detail {
namespace {

// On the manual clock only another thread can still post once no timer and
// no scripted input is left; it gets this much real time to do so.
constexpr auto kStallGrace = std::chrono::milliseconds(1000);

bool _matches(const MSG& m, HWND filter, UINT min, UINT max)
{
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd != nullptr)
            return false;
    } else if (filter != nullptr && m.hwnd != filter) {
        return false;
    }
    return (min == 0 && max == 0) || (m.message >= min && m.message <= max);
}


bool _takeFrom(std::deque<MSG>& queue, MSG* out, HWND filter, UINT min, UINT max, bool remove)
{
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (_matches(*it, filter, min, max)) {
            *out = *it;
            if (remove)
                queue.erase(it);
            return true;
        }
    }
    return false;
}

// A window is painted while it and its parents are shown and its top-level
// window is not minimised.
bool _paintable(Desktop& d, const Window& w)
{
    if (!d.IsShown(w))
        return false;
    const Window* top = &w;
    while (top->child) {
        const Window* p = d.FindWindow(top->parent);
        if (p == nullptr)
            break;
        top = p;
    }
    return !top->minimized;
}

bool _takePaint(Desktop& d, std::thread::id me, MSG* out, HWND filter, UINT min, UINT max,
                DWORD now)
{
    if (d.paintKnown && !d.anyInvalid)
        return false;  // no window of any thread needs painting
    bool any = false;
    for (auto& entry : d.windows) {
        const Window& w = *entry.second;
        if (!w.invalid || !_paintable(d, w))
            continue;
        any = true;
        if (w.thread != me)
            continue;
        const MSG m = MakeMessage(w.hwnd, WM_PAINT, 0, 0, now, d.cursorPos);
        if (_matches(m, filter, min, max)) {
            *out = m;  // stays until the window is validated
            return true;
        }
    }
    // Windows are validated elsewhere without a word: "none" holds until
    // the next Invalidate (which showing or restoring a window does, and
    // so does a new style), "some" only until the next look.
    d.paintKnown = !any;
    d.anyInvalid = any;
    return false;
}

// The due timer that came due first; ties go to the earlier window.
bool _takeTimer(Desktop& d, Queue& q, std::thread::id me, MSG* out, HWND filter, UINT min,
                UINT max, bool remove, DWORD now)
{
    if (d.timersKnown && (!d.anyTimer || !TimeReached(now, d.firstDue)))
        return false;  // no timer of any thread is due yet
    Timer* best = nullptr;
    MSG bestMsg = {};
    bool any = false;
    DWORD first = 0;
    auto note = [&](const Timer& t) {
        if (!any || int32_t(t.due - first) < 0)
            first = t.due;
        any = true;
    };
    auto consider = [&](HWND hwnd, UINT_PTR id, Timer& t) {
        if (!TimeReached(now, t.due))
            return;
        const MSG m = MakeMessage(hwnd, WM_TIMER, id, reinterpret_cast<LPARAM>(t.proc), now,
                               d.cursorPos);
        if (!_matches(m, filter, min, max))
            return;
        if (best == nullptr || int32_t(t.due - best->due) < 0) {
            best = &t;
            bestMsg = m;
        }
    };
    for (auto& entry : d.windows) {
        Window& w = *entry.second;
        for (auto& t : w.timers) {
            note(t.second);
            if (w.thread == me)
                consider(w.hwnd, t.first, t.second);
        }
    }
    for (auto& entry : d.queues)
        for (auto& t : entry.second->threadTimers) {
            note(t.second);
            if (entry.second.get() == &q)
                consider(nullptr, t.first, t.second);
        }
    // Known until a timer is set again or this one moves on.
    d.timersKnown = !(best != nullptr && remove);
    d.anyTimer = any;
    d.firstDue = first;
    if (best == nullptr)
        return false;
    *out = bestMsg;
    if (remove)
        best->due = now + best->elapse;
    return true;
}

// The earliest moment still to come at which a timer of this thread falls
// due or scripted input for one of its windows arrives.
bool _nextEvent(Desktop& d, Queue& q, std::thread::id me, DWORD now, DWORD& next)
{
    bool found = false;
    auto consider = [&](DWORD t) {
        if (TimeReached(now, t))
            return;  // already here: not something to wait for
        if (!found || int32_t(t - now) < int32_t(next - now))
            next = t;
        found = true;
    };
    for (auto& entry : d.windows)
        if (entry.second->thread == me)
            for (auto& t : entry.second->timers)
                consider(t.second.due);
    for (auto& t : q.threadTimers)
        consider(t.second.due);
    for (const ScriptedInput& e : d.scripted) {
        const Window* top = d.FindWindow(e.top);
        if (top != nullptr && top->thread == me)
            consider(e.time);
    }
    return found;
}

[[noreturn]] void _stall(const char* caller)
{
    std::fprintf(stderr,
                 "desktop: %s would wait for ever: the manual clock is in use and no message, "
                 "timer or scripted input can still come to this thread\n",
                 caller);
    std::fflush(stderr);
    std::abort();
}

}  // namespace

MSG MakeMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD time, POINT pt)
{
    MSG m = {};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = time;
    m.pt = pt;
    return m;
}

bool Retrieve(Desktop& d, MSG* out, HWND filter, UINT min, UINT max, bool remove)
{
    const std::thread::id me = std::this_thread::get_id();
    Queue& q = d.QueueOf(me);
    const DWORD now = ClockNow();
    if (_takeFrom(q.posted, out, filter, min, max, remove))
        return true;
    if (q.quit) {
        // WM_QUIT passes every number filter, as on Win32.
        *out = MakeMessage(nullptr, WM_QUIT, WPARAM(q.quitCode), 0, now, d.cursorPos);
        if (remove)
            q.quit = false;
        return true;
    }
    if (_takeFrom(q.input, out, filter, min, max, remove)) {
        if (remove && (out->message == WM_KEYDOWN || out->message == WM_SYSKEYDOWN))
            q.keys[out->wParam & 0xFF] = true;
        else if (remove && (out->message == WM_KEYUP || out->message == WM_SYSKEYUP))
            q.keys[out->wParam & 0xFF] = false;
        return true;
    }
    if (_takePaint(d, me, out, filter, min, max, now))
        return true;
    return _takeTimer(d, q, me, out, filter, min, max, remove, now);
}

void WaitForMessage(Desktop& d, std::unique_lock<std::mutex>& lock, HWND filter, UINT min,
                    UINT max, const char* caller)
{
    const std::thread::id me = std::this_thread::get_id();
    Queue& q = d.QueueOf(me);
    for (;;) {
        DeliverDueInput(d);
        MSG m;
        if (Retrieve(d, &m, filter, min, max, false))
            return;
        const DWORD now = ClockNow();
        DWORD next = 0;
        const bool coming = _nextEvent(d, q, me, now, next);
        if (IsManualClock()) {
            if (coming) {
                ClockJumpTo(next);
                continue;
            }
            const auto deadline = std::chrono::steady_clock::now() + kStallGrace;
            bool arrived = false;
            while (!arrived) {
                if (q.wake.wait_until(lock, deadline) == std::cv_status::timeout) {
                    DeliverDueInput(d);
                    if (Retrieve(d, &m, filter, min, max, false))
                        return;
                    DWORD later = 0;
                    if (!_nextEvent(d, q, me, ClockNow(), later))
                        _stall(caller);
                    break;
                }
                arrived = true;  // something changed: look again
            }
            continue;
        }
        const DWORD timeout = coming ? DWORD(std::max<int32_t>(1, int32_t(next - now))) : INFINITE;
        if (Backend* b = CurrentBackend(); b != nullptr && b->OnDisplayThread()) {
            // The screen's events come through the backend: wait there with
            // the table free, then let them in.
            lock.unlock();
            b->Wait(timeout);
            b->Pump();
            lock.lock();
            continue;
        }
        if (coming)
            q.wake.wait_for(lock, std::chrono::milliseconds(timeout));
        else
            q.wake.wait(lock);
    }
}

void ForgetWindow(Desktop& d, HWND hwnd)
{
    for (auto& entry : d.queues) {
        Queue& q = *entry.second;
        auto mine = [hwnd](const MSG& m) { return m.hwnd == hwnd; };
        q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(), mine), q.posted.end());
        q.input.erase(std::remove_if(q.input.begin(), q.input.end(), mine), q.input.end());
        if (q.focus == hwnd)
            q.focus = nullptr;
    }
    if (d.active == hwnd)
        d.active = nullptr;
    if (d.capture == hwnd)
        d.capture = nullptr;
    d.scripted.erase(std::remove_if(d.scripted.begin(), d.scripted.end(),
                                    [hwnd](const ScriptedInput& e) { return e.top == hwnd; }),
                     d.scripted.end());
}

}  // namespace detail
}  // namespace desktop
