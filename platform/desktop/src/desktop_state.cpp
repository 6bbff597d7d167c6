// The window table: lookups, handle numbering, surfaces and Reset.
#include "desktop_internal.h"

#include <desktop/backend.h>
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
    if (_stricmp(nameOrAtom, kEditClassName) == 0)
        return _registerEdit();
    return nullptr;
}

// The built-in class exists in every process without being registered.
WindowClass* Desktop::_registerEdit()
{
    const ATOM atom = NewAtom();
    if (atom == 0)
        return nullptr;
    WindowClass& c = classes[atom];
    c.atom = atom;
    c.name = kEditClassName;
    c.style = CS_DBLCLKS;
    c.proc = EditWindowProc;
    return &c;
}

Queue& Desktop::QueueOf(std::thread::id thread)
{
    std::unique_ptr<Queue>& q = queues[thread];
    if (!q)
        q = std::make_unique<Queue>();
    return *q;
}

Queue* Desktop::QueueOfWindow(HWND hwnd)
{
    const Window* w = FindWindow(hwnd);
    return w ? &QueueOf(w->thread) : nullptr;
}

POINT Desktop::ClientOrigin(const Window& w)
{
    POINT at = {w.client.left, w.client.top};
    for (const Window* p = w.child ? FindWindow(w.parent) : nullptr; p != nullptr;
         p = p->child ? FindWindow(p->parent) : nullptr) {
        at.x = LONG(int64_t(at.x) + p->client.left);
        at.y = LONG(int64_t(at.y) + p->client.top);
    }
    return at;
}

bool Desktop::IsShown(const Window& w)
{
    for (const Window* p = &w; p != nullptr; p = p->child ? FindWindow(p->parent) : nullptr)
        if (!(p->style & WS_VISIBLE))
            return false;
    return true;
}

bool Desktop::IsWithin(HWND hwnd, HWND ancestor)
{
    for (const Window* p = FindWindow(hwnd); p != nullptr; p = p->child ? FindWindow(p->parent) : nullptr)
        if (p->hwnd == ancestor)
            return true;
    return false;
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

void Invalidate(Window& w, const RECT* rc)
{
    RECT area = {0, 0, w.client.right - w.client.left, w.client.bottom - w.client.top};
    if (rc != nullptr) {
        RECT part;
        if (!IntersectRect(&part, rc, &area))
            return;
        area = part;
    }
    if (w.invalid)
        UnionRect(&w.invalidRect, &w.invalidRect, &area);
    else
        w.invalidRect = area;
    w.invalid = true;
    State().paintKnown = false;
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
    std::vector<HWND> tops;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        for (const auto& entry : d.windows)
            if (!entry.second->child)
                tops.push_back(entry.second->hwnd);
        d.windows.clear();
        d.classes.clear();
        d.dcs.clear();
        d.display = detail::DisplayMode();
        d.atomSerial = 0;
        // Queues are emptied, not dropped: another thread may still hold one.
        for (auto& entry : d.queues) {
            detail::Queue& q = *entry.second;
            q.posted.clear();
            q.input.clear();
            q.quit = false;
            q.quitCode = 0;
            q.threadTimers.clear();
            q.focus = nullptr;
            std::fill(std::begin(q.keys), std::end(q.keys), false);
        }
        d.active = nullptr;
        d.cursorPos = POINT{0, 0};
        d.cursor = nullptr;
        d.buttons = 0;
        std::fill(std::begin(d.keys), std::end(d.keys), false);
        d.scripted.clear();
        d.capture = nullptr;
        d.timersKnown = false;
        d.paintKnown = false;
        d.sounds.clear();
        d.shellRequests.clear();
        d.clipboard.clear();
    }
    // The screen lets its windows go too.
    if (Backend* b = CurrentBackend())
        for (HWND hwnd : tops)
            b->WindowDestroyed(hwnd);
    detail::ClearArmedFailures();
    detail::ClearMessageBoxes();
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
