// Window data: user data, style, id and procedure, read and written through
// GetWindowLongA/SetWindowLongA. The values are pointer-sized on 64-bit, so an
// address stored as user data comes back whole.
#include "desktop_internal.h"

using namespace desktop::detail;

namespace {

// Styles are 32-bit flags: they come back zero-extended, so a value compares
// equal to the WS_* constants it was made of.
LONG_PTR _getLong(HWND hwnd, int index)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return 0;
    switch (index) {
    case GWL_USERDATA:
        return w->userData;
    case GWL_STYLE:
        return LONG_PTR(w->style);
    case GWL_EXSTYLE:
        return LONG_PTR(w->exStyle);
    case GWL_ID:
        return LONG_PTR(w->id);
    case GWL_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent);
    default:
        return 0;  // window extra bytes are not kept
    }
}

// Returns the previous value, 0 for an unknown window or index. A changed
// style takes effect on the frame at the next move or resize.
LONG_PTR _setLong(HWND hwnd, int index, LONG_PTR value)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return 0;
    LONG_PTR old = 0;
    switch (index) {
    case GWL_USERDATA:
        old = w->userData;
        w->userData = value;
        break;
    case GWL_STYLE:
        old = LONG_PTR(w->style);
        w->style = DWORD(value);
        d.paintKnown = false;  // a window shown this way may need painting
        break;
    case GWL_EXSTYLE:
        old = LONG_PTR(w->exStyle);
        w->exStyle = DWORD(value);
        break;
    case GWL_ID:
        old = LONG_PTR(w->id);
        w->id = UINT_PTR(value);
        break;
    case GWL_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GWL_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        break;
    default:
        return 0;
    }
    return old;
}

}  // namespace

LONG_PTR WINAPI GetWindowLongA(HWND hwnd, int index)
{
    if (ShouldFail("GetWindowLongA"))
        return 0;
    return _getLong(hwnd, index);
}

LONG_PTR WINAPI SetWindowLongA(HWND hwnd, int index, LONG_PTR value)
{
    if (ShouldFail("SetWindowLongA"))
        return 0;
    return _setLong(hwnd, index, value);
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index)
{
    if (ShouldFail("GetWindowLongPtrA"))
        return 0;
    return _getLong(hwnd, index);
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value)
{
    if (ShouldFail("SetWindowLongPtrA"))
        return 0;
    return _setLong(hwnd, index, value);
}
