// The message loop calls: posting, retrieving, waiting, translating and
// dispatching. The queue itself is the desktop's (desktop/src/queue.cpp).
#include "desktop_internal.h"

#include <desktop/backend.h>

using namespace desktop::detail;

namespace {

// The character a key types, or 0: letters (upper case with Shift, control
// codes 1 to 26 with Ctrl), digits, the space and the control keys that have
// a character.
WPARAM _charOfKey(WPARAM vk, bool shift, bool control)
{
    if (vk >= 'A' && vk <= 'Z' && control)
        return vk - 'A' + 1;
    if (vk >= 'A' && vk <= 'Z')
        return shift ? vk : vk - 'A' + 'a';
    if (vk >= '0' && vk <= '9')
        return vk;
    switch (vk) {
    case VK_SPACE:
        return ' ';
    case VK_RETURN:
        return '\r';
    case VK_BACK:
        return '\b';
    case VK_TAB:
        return '\t';
    case VK_ESCAPE:
        return 0x1B;
    default:
        return 0;
    }
}

// Only a procedure of a live timer is ever called: a posted WM_TIMER cannot
// make DispatchMessageA jump to an address of its choosing.
TIMERPROC _timerProcOf(const MSG& m)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const TIMERPROC proc = reinterpret_cast<TIMERPROC>(m.lParam);
    const std::map<UINT_PTR, Timer>* timers = nullptr;
    if (m.hwnd != nullptr) {
        const Window* w = d.FindWindow(m.hwnd);
        if (w == nullptr)
            return nullptr;
        timers = &w->timers;
    } else {
        timers = &d.MyQueue().threadTimers;
    }
    auto it = timers->find(m.wParam);
    return it != timers->end() && it->second.proc == proc ? proc : nullptr;
}

// The screen's events that have come join the queues before a look at them.
void _pumpScreen()
{
    if (desktop::Backend* b = desktop::CurrentBackend(); b != nullptr && b->OnDisplayThread())
        b->Pump();
}

}  // namespace

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (ShouldFail("PostMessageA"))
        return FALSE;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    Queue* q = hwnd == nullptr ? &d.MyQueue() : d.QueueOfWindow(hwnd);
    if (q == nullptr)
        return FALSE;
    q->posted.push_back(MakeMessage(hwnd, msg, wParam, lParam, ClockNow(), d.cursorPos));
    q->wake.notify_all();
    // A thread waiting on the screen's events hears of it too.
    if (q != &d.MyQueue())
        if (desktop::Backend* b = desktop::CurrentBackend())
            b->Wake();
    return TRUE;
}

VOID WINAPI PostQuitMessage(int exitCode)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    Queue& q = d.MyQueue();
    q.quit = true;
    q.quitCode = exitCode;
    q.wake.notify_all();
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT msgFilterMin, UINT msgFilterMax)
{
    if (msg == nullptr)
        return -1;
    _pumpScreen();
    Desktop& d = State();
    std::unique_lock<std::mutex> lock(d.mutex);
    if (hwnd != nullptr && hwnd != reinterpret_cast<HWND>(-1) && d.FindWindow(hwnd) == nullptr)
        return -1;
    for (;;) {
        DeliverDueInput(d);
        if (Retrieve(d, msg, hwnd, msgFilterMin, msgFilterMax, true))
            return msg->message == WM_QUIT ? 0 : 1;
        WaitForMessage(d, lock, hwnd, msgFilterMin, msgFilterMax, "GetMessageA");
    }
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT msgFilterMin, UINT msgFilterMax,
                         UINT removeMsg)
{
    if (msg == nullptr)
        return FALSE;
    _pumpScreen();
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    DeliverDueInput(d);
    return Retrieve(d, msg, hwnd, msgFilterMin, msgFilterMax, (removeMsg & PM_REMOVE) != 0)
               ? TRUE
               : FALSE;
}

BOOL WINAPI WaitMessage(void)
{
    _pumpScreen();
    Desktop& d = State();
    std::unique_lock<std::mutex> lock(d.mutex);
    WaitForMessage(d, lock, nullptr, 0, 0, "WaitMessage");
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg)
{
    if (msg == nullptr)
        return FALSE;
    switch (msg->message) {
    case WM_KEYDOWN: {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        Queue& q = d.MyQueue();
        const WPARAM c = _charOfKey(msg->wParam, q.keys[VK_SHIFT], q.keys[VK_CONTROL]);
        if (c != 0) {
            // The character is the next message the thread retrieves.
            MSG m = *msg;
            m.message = WM_CHAR;
            m.wParam = c;
            q.posted.push_front(m);
        }
        return TRUE;
    }
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT WINAPI DispatchMessageA(const MSG* msg)
{
    if (msg == nullptr)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        if (TIMERPROC proc = _timerProcOf(*msg))
            proc(msg->hwnd, WM_TIMER, msg->wParam, ClockNow());
        return 0;
    }
    if (msg->hwnd == nullptr)
        return 0;  // a thread message has no procedure
    return CallProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
