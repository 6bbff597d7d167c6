// Mouse capture (one holder on the desktop) and the thread's key state.
#include "desktop_internal.h"

using namespace desktop::detail;

HWND WINAPI SetCapture(HWND hwnd)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const HWND old = d.capture;
    const Window* w = d.FindWindow(hwnd);
    if (w != nullptr && w->thread == std::this_thread::get_id())
        d.capture = hwnd;
    return old;
}

BOOL WINAPI ReleaseCapture(void)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.capture = nullptr;
    return TRUE;
}

HWND WINAPI GetCapture(void)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const Window* w = d.FindWindow(d.capture);
    return w != nullptr && w->thread == std::this_thread::get_id() ? d.capture : nullptr;
}

SHORT WINAPI GetKeyState(int vk)
{
    if (vk < 0 || vk > 255)
        return 0;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.MyQueue().keys[vk] ? SHORT(0x8000) : SHORT(0);
}
