// Painting: InvalidateRect marks what needs WM_PAINT; UpdateWindow paints
// at once what needs it; BeginPaint and EndPaint frame the painting and
// validate the window.
#include "desktop_internal.h"
#include "font_internal.h"
#include "gdi_internal.h"

#include <cstring>

using namespace desktop::detail;

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL)
{
    if (hwnd == nullptr)
        return FALSE;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return FALSE;
    Invalidate(*w, rect);
    d.QueueOf(w->thread).wake.notify_all();
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd)
{
    bool needsPaint = false;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        const Window* w = d.FindWindow(hwnd);
        if (w == nullptr)
            return FALSE;
        needsPaint = w->invalid;
    }
    // Sent, not posted, and outside the lock: the procedure paints now.
    if (needsPaint)
        SendMessageA(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint)
{
    if (ShouldFail("BeginPaint") || paint == nullptr)
        return nullptr;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return nullptr;
    std::memset(paint, 0, sizeof(PAINTSTRUCT));
    DeviceContext dc;
    dc.kind = DcKind::Window;
    dc.hwnd = hwnd;
    paint->hdc = d.NewDcHandle();
    d.dcs[reinterpret_cast<uintptr_t>(paint->hdc)] = dc;
    if (w->invalid)
        paint->rcPaint = w->invalidRect;
    w->invalid = false;
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* paint)
{
    if (paint == nullptr)
        return FALSE;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        auto it = d.dcs.find(reinterpret_cast<uintptr_t>(paint->hdc));
        if (it == d.dcs.end() || it->second.hwnd != hwnd)
            return TRUE;
        d.dcs.erase(it);
    }
    // Its attributes, clip region and font go with it.
    gdi::ForgetDc(paint->hdc);
    win32font::ForgetFontDc(paint->hdc);
    return TRUE;
}
