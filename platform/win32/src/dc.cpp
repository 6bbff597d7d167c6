// Device contexts bound to a window or to the screen.
#include "desktop_internal.h"
#include "font_internal.h"
#include "gdi_internal.h"

#include <map>

#include "kept_nodes.h"

using namespace desktop::detail;

namespace {

using DcMap = std::map<uintptr_t, DeviceContext>;

// A game takes and releases a window's context every frame to present it:
// released contexts' nodes are given to the next ones. A few are enough for
// the contexts a frame holds at once. Guarded by the desktop's mutex; never
// destroyed, as static objects may still release contexts at exit.
KeptNodes<DcMap>& KeptDcs()
{
    static KeptNodes<DcMap>* kept = new KeptNodes<DcMap>(8);
    return *kept;
}

// Enters a context under a new handle. Expects the desktop's mutex held.
HDC EnterDc(Desktop& d, const DeviceContext& dc)
{
    const HDC hdc = d.NewDcHandle();
    const uintptr_t key = reinterpret_cast<uintptr_t>(hdc);
    DcMap::node_type node = KeptDcs().Take();
    if (node.empty()) {
        d.dcs[key] = dc;
        return hdc;
    }
    node.key() = key;
    node.mapped() = dc;
    d.dcs.insert(std::move(node));
    return hdc;
}

}  // namespace

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
    return EnterDc(d, dc);
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
    KeptDcs().Erase(d.dcs, it);
    lock.unlock();
    // Its attributes, clip region and font go with it.
    gdi::ForgetDc(hdc);
    win32font::ForgetFontDc(hdc);
    return 1;
}
