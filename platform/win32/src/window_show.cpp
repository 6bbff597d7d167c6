// Showing, minimising and activating windows: ShowWindow and the
// WM_ACTIVATE messages that activation sends.
#include "desktop_internal.h"

#include <desktop/backend.h>

using namespace desktop::detail;

namespace {

enum class Activation { Keep, Activate, Deactivate };

// What a ShowWindow command does to a top-level window.
struct ShowPlan {
    bool visible = true;
    int minimized = -1;  // -1: keep as it is
    Activation activation = Activation::Keep;
};

bool _plan(int cmd, ShowPlan& p)
{
    switch (cmd) {
    case SW_HIDE:
        p.visible = false;
        p.activation = Activation::Deactivate;
        return true;
    case SW_SHOWNORMAL:
    case SW_SHOWMAXIMIZED:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
        p.minimized = 0;
        p.activation = Activation::Activate;
        return true;
    case SW_SHOW:
        p.activation = Activation::Activate;
        return true;
    case SW_SHOWMINIMIZED:
        p.minimized = 1;
        p.activation = Activation::Activate;
        return true;
    case SW_SHOWNOACTIVATE:
        p.minimized = 0;
        return true;
    case SW_SHOWNA:
        return true;
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        p.minimized = 1;
        p.activation = Activation::Deactivate;
        return true;
    default:
        return false;
    }
}

// The window stops being active: it hears WM_ACTIVATE (WA_INACTIVE) and the
// focus inside it is dropped.
void _deactivate(HWND hwnd)
{
    bool minimized = false;
    bool focusInside = false;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        const Window* w = d.FindWindow(hwnd);
        if (w == nullptr || d.active != hwnd)
            return;
        d.active = nullptr;
        minimized = w->minimized;
        const Queue& q = d.QueueOf(w->thread);
        focusInside = q.focus != nullptr && d.IsWithin(q.focus, hwnd);
    }
    SendMessageA(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, minimized ? 1 : 0), 0);
    if (focusInside)
        SetFocus(nullptr);
}

}  // namespace

namespace desktop {
namespace detail {

void Activate(HWND hwnd)
{
    HWND old = nullptr;
    bool oldMinimized = false;
    bool minimized = false;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        const Window* w = d.FindWindow(hwnd);
        if (w == nullptr)
            return;
        old = d.active;
        if (const Window* o = d.FindWindow(old))
            oldMinimized = o->minimized;
        else
            old = nullptr;
        d.active = hwnd;
        minimized = w->minimized;
    }
    if (old != nullptr && old != hwnd)
        SendMessageA(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, oldMinimized ? 1 : 0),
                     reinterpret_cast<LPARAM>(hwnd));
    SendMessageA(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, minimized ? 1 : 0),
                 reinterpret_cast<LPARAM>(old == hwnd ? nullptr : old));
}

}  // namespace detail
}  // namespace desktop

BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow)
{
    if (ShouldFail("ShowWindow"))
        return FALSE;
    ShowPlan plan;
    if (!_plan(cmdShow, plan))
        return FALSE;
    bool wasVisible = false;
    bool wasActive = false;
    bool minimizedChanged = false;
    bool minimized = false;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        Window* w = d.FindWindow(hwnd);
        if (w == nullptr)
            return FALSE;
        wasVisible = (w->style & WS_VISIBLE) != 0;
        if (plan.visible)
            w->style |= WS_VISIBLE;
        else
            w->style &= ~DWORD(WS_VISIBLE);
        if (w->child) {
            if (plan.visible && !wasVisible)
                Invalidate(*w, nullptr);
            return wasVisible ? TRUE : FALSE;
        }
        if (plan.minimized >= 0 && bool(plan.minimized) != w->minimized) {
            w->minimized = plan.minimized != 0;
            if (w->minimized)
                w->style |= WS_MINIMIZE;
            else
                w->style &= ~DWORD(WS_MINIMIZE);
            minimizedChanged = true;
        }
        if ((plan.visible && !wasVisible) || (minimizedChanged && !w->minimized))
            Invalidate(*w, nullptr);
        wasActive = d.active == hwnd;
        minimized = w->minimized;
    }
    if (desktop::Backend* b = desktop::CurrentBackend())
        b->WindowShown(hwnd, plan.visible, minimized);
    if (plan.activation == Activation::Activate && (!wasActive || minimizedChanged))
        Activate(hwnd);
    else if (plan.activation == Activation::Deactivate && wasActive)
        _deactivate(hwnd);
    return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hwnd)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const Window* w = d.FindWindow(hwnd);
    return w != nullptr && d.IsShown(*w) ? TRUE : FALSE;
}

BOOL WINAPI IsIconic(HWND hwnd)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const Window* w = d.FindWindow(hwnd);
    return w != nullptr && w->minimized ? TRUE : FALSE;
}

HWND WINAPI GetActiveWindow(void)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.active;
}
