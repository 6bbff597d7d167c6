// Window creation and destruction, and SendMessageA, which runs a window
// procedure at once.
#include "desktop_internal.h"

#include <desktop/backend.h>

#include <vector>

using namespace desktop::detail;

namespace {

// The default size the desktop gives a window that asks for CW_USEDEFAULT.
constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 600;

// Makes the window object and puts it in the table. Null when the class is
// unknown, the parent is not a window or the surface cannot be made. A child
// window gets no surface: it is drawn, if at all, on its top-level window.
HWND _insertWindow(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                   int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                   RECT& placed)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    WindowClass* c = d.FindClass(className);
    if (c == nullptr)
        return nullptr;
    if (parent != nullptr && d.FindWindow(parent) == nullptr)
        return nullptr;

    if (x == CW_USEDEFAULT) {
        x = 0;
        y = 0;
    }
    if (width == CW_USEDEFAULT) {
        width = kDefaultWidth;
        height = kDefaultHeight;
    }
    auto w = std::make_unique<Window>();
    w->atom = c->atom;
    w->proc = c->proc;
    w->text = windowName ? windowName : "";
    w->style = style;
    w->exStyle = exStyle;
    w->parent = parent;
    w->child = (style & WS_CHILD) && parent != nullptr;
    w->minimized = (style & WS_MINIMIZE) != 0;
    w->id = reinterpret_cast<UINT_PTR>(menu);
    w->instance = instance;
    w->thread = std::this_thread::get_id();
    w->window = WindowRectAt(x, y, width, height);
    w->client = ClientOfWindow(style, w->window);
    if (!w->child) {
        const int64_t cw = int64_t(w->client.right) - w->client.left;
        const int64_t ch = int64_t(w->client.bottom) - w->client.top;
        if (cw > kMaxSurfaceSide || ch > kMaxSurfaceSide || !w->surface.Resize(int(cw), int(ch)))
            return nullptr;
    }

    const HWND hwnd = d.NewWindowHandle();
    w->hwnd = hwnd;
    placed = w->window;
    d.windows[reinterpret_cast<uintptr_t>(hwnd)] = std::move(w);
    ++c->windows;
    return hwnd;
}

// Takes the window out of the table; its class may then be unregistered.
// A top-level window leaves the screen too.
void _eraseWindow(HWND hwnd)
{
    bool top = false;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        auto it = d.windows.find(reinterpret_cast<uintptr_t>(hwnd));
        if (it == d.windows.end())
            return;
        top = !it->second->child;
        auto c = d.classes.find(it->second->atom);
        if (c != d.classes.end() && c->second.windows > 0)
            --c->second.windows;
        ForgetWindow(d, hwnd);
        d.windows.erase(it);
    }
    if (desktop::Backend* b = desktop::CurrentBackend(); b != nullptr && top)
        b->WindowDestroyed(hwnd);
}

// The top-level windows `hwnd` owns, or its child windows, in table order.
std::vector<HWND> _windowsBelow(HWND hwnd, bool children)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    std::vector<HWND> found;
    for (const auto& entry : d.windows)
        if (entry.second->parent == hwnd && entry.second->child == children)
            found.push_back(entry.second->hwnd);
    return found;
}

// Marks the window as going; false when it is no window or already going
// (DestroyWindow called again from its own WM_DESTROY).
bool _startDestroying(HWND hwnd, bool& already)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return false;
    already = w->destroying;
    w->destroying = true;
    return true;
}

// WM_DESTROY to the window, then to each child with its own children after
// it; then WM_NCDESTROY from the deepest child up, each window leaving the
// table as it hears its end.
void _destroyTree(HWND hwnd)
{
    CallProcedure(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : _windowsBelow(hwnd, true)) {
        bool already = false;
        if (_startDestroying(child, already) && !already)
            _destroyTree(child);
    }
    CallProcedure(hwnd, WM_NCDESTROY, 0, 0);
    _eraseWindow(hwnd);
}

// Destroys the windows it owns first, as Win32 does, then the window and its
// children. False when it is no window.
bool _destroyWindow(HWND hwnd)
{
    bool already = false;
    if (!_startDestroying(hwnd, already))
        return false;
    if (already)
        return true;
    for (HWND owned : _windowsBelow(hwnd, false))
        _destroyWindow(owned);
    _destroyTree(hwnd);
    return true;
}

// A window made visible needs painting at once. A top-level window goes on
// the screen as it stands after WM_CREATE.
void _afterCreation(HWND hwnd)
{
    std::string title;
    RECT client = {};
    bool visible = false, minimized = false, top = false;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        Window* w = d.FindWindow(hwnd);
        if (w == nullptr)
            return;
        if (w->style & WS_VISIBLE)
            Invalidate(*w, nullptr);
        top = !w->child;
        title = w->text;
        client = w->client;
        visible = (w->style & WS_VISIBLE) != 0;
        minimized = w->minimized;
    }
    if (desktop::Backend* b = desktop::CurrentBackend(); b != nullptr && top)
        b->WindowCreated(hwnd, title.c_str(), client, visible, minimized);
}

}  // namespace

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param)
{
    if (ShouldFail("CreateWindowExA"))
        return nullptr;
    RECT rc = {};
    const HWND hwnd = _insertWindow(exStyle, className, windowName, style, x, y, width, height,
                                    parent, menu, instance, rc);
    if (hwnd == nullptr)
        return nullptr;

    // Both creation messages carry the window's settled rectangle.
    CREATESTRUCTA cs = {};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = rc.right - rc.left;
    cs.cy = rc.bottom - rc.top;
    cs.x = rc.left;
    cs.y = rc.top;
    cs.style = LONG(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;

    if (!CallProcedure(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        // Refused before creation: the window only hears its non-client end.
        CallProcedure(hwnd, WM_NCDESTROY, 0, 0);
        _eraseWindow(hwnd);
        return nullptr;
    }
    if (CallProcedure(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        _destroyWindow(hwnd);
        return nullptr;
    }
    // The procedure may have destroyed the window while it was being made.
    if (!IsWindow(hwnd))
        return nullptr;
    _afterCreation(hwnd);
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd)
{
    if (ShouldFail("DestroyWindow"))
        return FALSE;
    return _destroyWindow(hwnd) ? TRUE : FALSE;
}

BOOL WINAPI IsWindow(HWND hwnd)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.FindWindow(hwnd) != nullptr ? TRUE : FALSE;
}

HWND WINAPI GetParent(HWND hwnd)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const Window* w = d.FindWindow(hwnd);
    return w ? w->parent : nullptr;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Sent messages run at once on the calling thread.
    return CallProcedure(hwnd, msg, wParam, lParam);
}
