// Cursors and icons (standard ones and a module's icon resources), the
// pointer position, and class data read and written through GetClassLongA
// and SetClassLongA.
#include "desktop_internal.h"

#include "win32_resource.h"

#include <desktop/backend.h>

#include <algorithm>

using namespace desktop::detail;

namespace {

// Cursor and icon handles lie in their own ranges above 4 GiB.
constexpr uintptr_t kCursorHandleBase = uintptr_t(3) << 32;
constexpr uintptr_t kIconHandleBase = uintptr_t(4) << 32;

bool _isStandardCursor(UINT_PTR id)
{
    return (id >= 32512 && id <= 32516) || (id >= 32642 && id <= 32646) ||
           (id >= 32648 && id <= 32650);
}

bool _isStandardIcon(UINT_PTR id)
{
    return id >= 32512 && id <= 32516;
}

// The standard cursor a handle of LoadCursorA names; 0 for none.
UINT _standardIdOf(HCURSOR cursor)
{
    const uintptr_t h = reinterpret_cast<uintptr_t>(cursor);
    if (h < kCursorHandleBase || (h - kCursorHandleBase) % 16 != 0)
        return 0;
    const UINT_PTR id = (h - kCursorHandleBase) / 16;
    return _isStandardCursor(id) ? UINT(id) : 0;
}

}  // namespace

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    if (ShouldFail("LoadCursorA"))
        return nullptr;
    // Only the standard cursors exist; a module has none of its own here.
    if (instance != nullptr || name == nullptr || !IS_INTRESOURCE(name))
        return nullptr;
    const UINT_PTR id = reinterpret_cast<UINT_PTR>(name);
    if (!_isStandardCursor(id))
        return nullptr;
    return reinterpret_cast<HCURSOR>(kCursorHandleBase + id * 16);
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name)
{
    if (ShouldFail("LoadIconA") || name == nullptr)
        return nullptr;
    if (instance == nullptr) {
        const UINT_PTR id = reinterpret_cast<UINT_PTR>(name);
        if (!IS_INTRESOURCE(name) || !_isStandardIcon(id))
            return nullptr;
        return reinterpret_cast<HICON>(kIconHandleBase + id * 16);
    }
    // The module's icon resource: its handle number is stable and never
    // reused, so the same icon always gets the same handle.
    HRSRC res = FindResourceA(instance, name, RT_GROUP_ICON);
    if (res == nullptr)
        return nullptr;
    return reinterpret_cast<HICON>(kIconHandleBase + reinterpret_cast<uintptr_t>(res) * 16);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor)
{
    HCURSOR old = nullptr;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        old = d.cursor;
        d.cursor = cursor;
    }
    // A null cursor hides it, as on Win32; an unknown handle shows the arrow.
    if (desktop::Backend* b = desktop::CurrentBackend())
        b->ShowCursor(cursor == nullptr ? 0 : std::max<UINT>(_standardIdOf(cursor), 32512));
    return old;
}

HCURSOR WINAPI GetCursor(void)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.cursor;
}

BOOL WINAPI GetCursorPos(LPPOINT point)
{
    if (ShouldFail("GetCursorPos") || point == nullptr)
        return FALSE;
    if (desktop::Backend* b = desktop::CurrentBackend())
        if (b->CursorPos(*point))
            return TRUE;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    *point = d.cursorPos;
    return TRUE;
}

namespace {

WindowClass* _classOf(Desktop& d, HWND hwnd)
{
    const Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return nullptr;
    auto it = d.classes.find(w->atom);
    return it == d.classes.end() ? nullptr : &it->second;
}

ULONG_PTR _getClassLong(HWND hwnd, int index)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const WindowClass* c = _classOf(d, hwnd);
    if (c == nullptr)
        return 0;
    switch (index) {
    case GCL_HCURSOR:
        return reinterpret_cast<ULONG_PTR>(c->cursor);
    case GCL_HICON:
        return reinterpret_cast<ULONG_PTR>(c->icon);
    case GCL_HBRBACKGROUND:
        return reinterpret_cast<ULONG_PTR>(c->background);
    case GCL_HMODULE:
        return reinterpret_cast<ULONG_PTR>(c->instance);
    case GCL_WNDPROC:
        return reinterpret_cast<ULONG_PTR>(c->proc);
    case GCL_STYLE:
        return c->style;
    case GCL_CBWNDEXTRA:
        return ULONG_PTR(c->wndExtra);
    case GCL_CBCLSEXTRA:
        return ULONG_PTR(c->clsExtra);
    case GCW_ATOM:
        return c->atom;
    default:
        return 0;
    }
}

// Returns the previous value. A new procedure serves windows made afterwards.
ULONG_PTR _setClassLong(HWND hwnd, int index, LONG_PTR value)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    WindowClass* c = _classOf(d, hwnd);
    if (c == nullptr)
        return 0;
    ULONG_PTR old = 0;
    switch (index) {
    case GCL_HCURSOR:
        old = reinterpret_cast<ULONG_PTR>(c->cursor);
        c->cursor = reinterpret_cast<HCURSOR>(value);
        break;
    case GCL_HICON:
        old = reinterpret_cast<ULONG_PTR>(c->icon);
        c->icon = reinterpret_cast<HICON>(value);
        break;
    case GCL_HBRBACKGROUND:
        old = reinterpret_cast<ULONG_PTR>(c->background);
        c->background = reinterpret_cast<HBRUSH>(value);
        break;
    case GCL_WNDPROC:
        old = reinterpret_cast<ULONG_PTR>(c->proc);
        c->proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GCL_STYLE:
        old = c->style;
        c->style = UINT(value);
        break;
    default:
        return 0;
    }
    return old;
}

}  // namespace

ULONG_PTR WINAPI GetClassLongA(HWND hwnd, int index)
{
    return _getClassLong(hwnd, index);
}

ULONG_PTR WINAPI SetClassLongA(HWND hwnd, int index, LONG_PTR value)
{
    if (ShouldFail("SetClassLongA"))
        return 0;
    return _setClassLong(hwnd, index, value);
}

ULONG_PTR WINAPI GetClassLongPtrA(HWND hwnd, int index)
{
    return _getClassLong(hwnd, index);
}

ULONG_PTR WINAPI SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value)
{
    if (ShouldFail("SetClassLongPtrA"))
        return 0;
    return _setClassLong(hwnd, index, value);
}
