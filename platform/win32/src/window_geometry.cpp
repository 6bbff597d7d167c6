// Window and client rectangles, moving and resizing, and the frame sizes.
#include "desktop_internal.h"

using namespace desktop::detail;

namespace {

// Places the window at (x, y) with the given outer size and resizes its
// surface to the new client area, keeping the pixels that overlap. Nothing
// changes when the surface cannot be made.
//
// Win32 also sends WM_WINDOWPOSCHANGING/CHANGED, WM_MOVE and WM_SIZE here;
// those come with the message queue. Until then a move is silent.
BOOL _placeWindow(HWND hwnd, int x, int y, int width, int height)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return FALSE;
    const RECT window = WindowRectAt(x, y, width, height);
    const RECT client = ClientOfWindow(w->style, window);
    const int64_t cw = int64_t(client.right) - client.left;
    const int64_t ch = int64_t(client.bottom) - client.top;
    if (cw > kMaxSurfaceSide || ch > kMaxSurfaceSide || !w->surface.Resize(int(cw), int(ch)))
        return FALSE;
    w->window = window;
    w->client = client;
    return TRUE;
}

// The window rectangle around a client rectangle. The desktop draws no menu
// bar and no extended-style edges, so only the caption frame counts.
BOOL _widenByFrame(LPRECT rect, DWORD style)
{
    if (rect == nullptr)
        return FALSE;
    if ((style & WS_CAPTION) == WS_CAPTION) {
        rect->left = LONG(int64_t(rect->left) - kFrameSide);
        rect->top = LONG(int64_t(rect->top) - kFrameTop);
        rect->right = LONG(int64_t(rect->right) + kFrameSide);
        rect->bottom = LONG(int64_t(rect->bottom) + kFrameSide);
    }
    return TRUE;
}

}  // namespace

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect)
{
    if (ShouldFail("GetClientRect"))
        return FALSE;
    if (rect == nullptr)
        return FALSE;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return FALSE;
    rect->left = 0;
    rect->top = 0;
    rect->right = w->client.right - w->client.left;
    rect->bottom = w->client.bottom - w->client.top;
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect)
{
    if (ShouldFail("GetWindowRect"))
        return FALSE;
    if (rect == nullptr)
        return FALSE;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return FALSE;
    *rect = w->window;
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL)
{
    if (ShouldFail("MoveWindow"))
        return FALSE;
    return _placeWindow(hwnd, x, y, width, height);
}

// Z-order, activation and showing are not modelled yet: only the position
// and size flags are honoured.
BOOL WINAPI SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags)
{
    if (ShouldFail("SetWindowPos"))
        return FALSE;
    RECT now;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        const Window* w = d.FindWindow(hwnd);
        if (w == nullptr)
            return FALSE;
        now = w->window;
    }
    if (flags & SWP_NOMOVE) {
        x = now.left;
        y = now.top;
    }
    if (flags & SWP_NOSIZE) {
        cx = now.right - now.left;
        cy = now.bottom - now.top;
    }
    return _placeWindow(hwnd, x, y, cx, cy);
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD)
{
    if (ShouldFail("AdjustWindowRectEx"))
        return FALSE;
    return _widenByFrame(rect, style);
}

BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL)
{
    if (ShouldFail("AdjustWindowRect"))
        return FALSE;
    return _widenByFrame(rect, style);
}
