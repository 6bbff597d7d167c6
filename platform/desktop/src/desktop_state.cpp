// The window table: lookups, handle numbering, surfaces and Reset.
#include "desktop_internal.h"

#include <desktop/desktop.h>

#include <algorithm>
#include <new>

namespace desktop {
namespace detail {

Desktop& State()
{
    static Desktop state;
    return state;
}

bool Surface::Resize(int w, int h)
{
    if (w < 0 || h < 0 || w > kMaxSurfaceSide || h > kMaxSurfaceSide)
        return false;
    if (w == width && h == height)
        return true;
    std::vector<DWORD> next;
    try {
        next.assign(size_t(w) * size_t(h), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int keepW = std::min(w, width);
    const int keepH = std::min(h, height);
    for (int y = 0; y < keepH; ++y)
        std::copy_n(pixels.begin() + ptrdiff_t(y) * width, keepW, next.begin() + ptrdiff_t(y) * w);
    pixels.swap(next);
    width = w;
    height = h;
    return true;
}

Window* Desktop::FindWindow(HWND hwnd)
{
    auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == windows.end() ? nullptr : it->second.get();
}

WindowClass* Desktop::FindClass(LPCSTR nameOrAtom)
{
    if (nameOrAtom == nullptr)
        return nullptr;
    if (IS_INTRESOURCE(nameOrAtom)) {
        auto it = classes.find(ATOM(reinterpret_cast<uintptr_t>(nameOrAtom)));
        return it == classes.end() ? nullptr : &it->second;
    }
    for (auto& entry : classes)
        if (_stricmp(entry.second.name.c_str(), nameOrAtom) == 0)
            return &entry.second;
    return nullptr;
}

HWND Desktop::NewWindowHandle()
{
    ++windowSerial;
    return reinterpret_cast<HWND>(kWindowHandleBase + windowSerial * 16);
}

HDC Desktop::NewDcHandle()
{
    ++dcSerial;
    return reinterpret_cast<HDC>(kDcHandleBase + dcSerial * 16);
}

ATOM Desktop::NewAtom()
{
    const unsigned range = 0x10000u - kFirstAtom;
    for (unsigned tries = 0; tries < range; ++tries) {
        const ATOM atom = ATOM(kFirstAtom + (atomSerial++ % range));
        if (classes.find(atom) == classes.end())
            return atom;
    }
    return 0;
}

RECT WindowRectAt(int x, int y, int width, int height)
{
    const int64_t right = int64_t(x) + (width > 0 ? width : 0);
    const int64_t bottom = int64_t(y) + (height > 0 ? height : 0);
    RECT rc;
    rc.left = x;
    rc.top = y;
    rc.right = LONG(std::min<int64_t>(right, INT32_MAX));
    rc.bottom = LONG(std::min<int64_t>(bottom, INT32_MAX));
    return rc;
}

RECT ClientOfWindow(DWORD style, const RECT& window)
{
    int64_t left = window.left, top = window.top, right = window.right, bottom = window.bottom;
    if ((style & WS_CAPTION) == WS_CAPTION) {
        left += kFrameSide;
        top += kFrameTop;
        right -= kFrameSide;
        bottom -= kFrameSide;
    }
    // A window smaller than its frame has an empty client area.
    right = std::max(right, left);
    bottom = std::max(bottom, top);
    auto clamp = [](int64_t v) { return LONG(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX)); };
    RECT client;
    client.left = clamp(left);
    client.top = clamp(top);
    client.right = clamp(right);
    client.bottom = clamp(bottom);
    return client;
}

LRESULT CallProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = nullptr;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        if (Window* w = d.FindWindow(hwnd))
            proc = w->proc;
    }
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

}  // namespace detail

void Reset()
{
    detail::Desktop& d = detail::State();
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        d.windows.clear();
        d.classes.clear();
        d.dcs.clear();
        d.display = detail::DisplayMode();
        d.atomSerial = 0;
    }
    detail::ClearArmedFailures();
    detail::ResetClock();
}

void SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel)
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.display.width = width;
    d.display.height = height;
    d.display.bitsPerPixel = bitsPerPixel;
}

}  // namespace desktop
