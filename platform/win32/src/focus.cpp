// Keyboard focus, one per thread: SetFocus and GetFocus.
#include "desktop_internal.h"

using namespace desktop::detail;

HWND WINAPI SetFocus(HWND hwnd)
{
    if (ShouldFail("SetFocus"))
        return nullptr;
    HWND old = nullptr;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        if (hwnd != nullptr) {
            const Window* w = d.FindWindow(hwnd);
            if (w == nullptr || w->thread != std::this_thread::get_id())
                return nullptr;
        }
        Queue& q = d.MyQueue();
        old = d.FindWindow(q.focus) != nullptr ? q.focus : nullptr;
        if (old == hwnd)
            return old;
        q.focus = hwnd;
    }
    // Both messages are sent before SetFocus returns: the old window first.
    if (old != nullptr)
        SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd != nullptr)
        SendMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND WINAPI GetFocus(void)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.MyQueue().focus;
}
