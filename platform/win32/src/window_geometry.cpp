// Window and client rectangles, moving and resizing, and the frame sizes.
#include "desktop_internal.h"

#include <desktop/backend.h>

using namespace desktop::detail;

namespace {

// What a placement changed, for the messages it sends.
struct Placed {
    bool moved = false;
    bool resized = false;
    bool top = false;     // a top-level window: the screen follows
    RECT screen = {};     // its client area in screen coordinates
    RECT client = {};  // the new client area, in the window's own coordinates
};

// Places the window at (x, y) (a child: in its parent's client coordinates)
// with the given outer size and resizes a top-level window's surface to the
// new client area, keeping the pixels that overlap. Nothing changes when the
// surface cannot be made. A new size makes the window need painting.
BOOL _placeWindow(HWND hwnd, int x, int y, int width, int height, Placed& placed)
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
    if (cw > kMaxSurfaceSide || ch > kMaxSurfaceSide)
        return FALSE;
    if (!w->child && !w->surface.Resize(int(cw), int(ch)))
        return FALSE;
    placed.moved = client.left != w->client.left || client.top != w->client.top;
    placed.resized = client.right - client.left != w->client.right - w->client.left ||
                     client.bottom - client.top != w->client.bottom - w->client.top;
    placed.client = client;
    placed.top = !w->child;
    placed.screen = client;
    w->window = window;
    w->client = client;
    if (placed.resized)
        Invalidate(*w, nullptr);
    return TRUE;
}

// WM_MOVE with the client area's new top-left, WM_SIZE with its new size;
// each coordinate a signed 16-bit half of lParam.
void _tellPlacement(HWND hwnd, const Placed& placed)
{
    const RECT& c = placed.client;
    if (placed.moved)
        SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(WORD(c.left), WORD(c.top)));
    if (placed.resized)
        SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED,
                     MAKELPARAM(WORD(c.right - c.left), WORD(c.bottom - c.top)));
}

BOOL _move(HWND hwnd, int x, int y, int width, int height)
{
    Placed placed;
    if (!_placeWindow(hwnd, x, y, width, height, placed))
        return FALSE;
    if (desktop::Backend* b = desktop::CurrentBackend(); b != nullptr && placed.top)
        b->WindowPlaced(hwnd, placed.screen);
    _tellPlacement(hwnd, placed);
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

// Calls read(desktop, window) under the desktop lock; FALSE, without calling
// it, when there is no such window.
template <typename Read>
BOOL _readWindow(HWND hwnd, Read read)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return FALSE;
    read(d, *w);
    return TRUE;
}

}  // namespace

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect)
{
    if (ShouldFail("GetClientRect"))
        return FALSE;
    if (rect == nullptr)
        return FALSE;
    return _readWindow(hwnd, [rect](Desktop&, const Window& w) {
        rect->left = 0;
        rect->top = 0;
        rect->right = w.client.right - w.client.left;
        rect->bottom = w.client.bottom - w.client.top;
    });
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect)
{
    if (ShouldFail("GetWindowRect"))
        return FALSE;
    if (rect == nullptr)
        return FALSE;
    return _readWindow(hwnd, [rect](Desktop& d, const Window& w) {
        *rect = w.window;
        if (w.child) {
            // Stored in the parent's client coordinates; asked for on the screen.
            const Window* parent = d.FindWindow(w.parent);
            if (parent != nullptr) {
                const POINT origin = d.ClientOrigin(*parent);
                OffsetRect(rect, origin.x, origin.y);
            }
        }
    });
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL)
{
    if (ShouldFail("MoveWindow"))
        return FALSE;
    return _move(hwnd, x, y, width, height);
}

// Only the position and size flags are honoured: there is no z-order, and
// showing and activation go through ShowWindow.
BOOL WINAPI SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags)
{
    if (ShouldFail("SetWindowPos"))
        return FALSE;
    RECT now;
    if (!_readWindow(hwnd, [&now](Desktop&, const Window& w) { now = w.window; }))
        return FALSE;
    if (flags & SWP_NOMOVE) {
        x = now.left;
        y = now.top;
    }
    if (flags & SWP_NOSIZE) {
        cx = now.right - now.left;
        cy = now.bottom - now.top;
    }
    return _move(hwnd, x, y, cx, cy);
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

namespace {

// Adds (sign 1) or takes away (sign -1) the window's client origin.
BOOL _shiftByOrigin(HWND hwnd, LPPOINT point, int sign)
{
    if (point == nullptr)
        return FALSE;
    return _readWindow(hwnd, [point, sign](Desktop& d, const Window& w) {
        const POINT origin = d.ClientOrigin(w);
        point->x = LONG(int64_t(point->x) + sign * int64_t(origin.x));
        point->y = LONG(int64_t(point->y) + sign * int64_t(origin.y));
    });
}

}  // namespace

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point)
{
    return _shiftByOrigin(hwnd, point, 1);
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point)
{
    return _shiftByOrigin(hwnd, point, -1);
}
