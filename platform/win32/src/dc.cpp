// Device contexts bound to a window or to the screen.
#include "desktop_internal.h"
#include "font_internal.h"
#include "gdi_internal.h"

using namespace desktop::detail;

HDC WINAPI GetDC(HWND hwnd)
{
    if (ShouldFail("GetDC"))
        return nullptr;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    DeviceContext dc;
    if (hwnd != nullptr) {
        if (d.FindWindow(hwnd) == nullptr)
            return nullptr;
        dc.kind = DcKind::Window;
        dc.hwnd = hwnd;
    }
    const HDC hdc = d.NewDcHandle();
    d.dcs[reinterpret_cast<uintptr_t>(hdc)] = dc;
    return hdc;
}

// 1 when the context was released, 0 when it is unknown or belongs to
// another window. A context outlives its window until released.
int WINAPI ReleaseDC(HWND hwnd, HDC hdc)
{
    if (ShouldFail("ReleaseDC"))
        return 0;
    Desktop& d = State();
    std::unique_lock<std::mutex> lock(d.mutex);
    auto it = d.dcs.find(reinterpret_cast<uintptr_t>(hdc));
    if (it == d.dcs.end() || it->second.hwnd != hwnd)
        return 0;
    d.dcs.erase(it);
    lock.unlock();
    // Its attributes, clip region and font go with it.
    gdi::ForgetDc(hdc);
    win32font::ForgetFontDc(hdc);
    return 1;
}
