// Device contexts bound to a window or to the screen.
#include "desktop_internal.h"
#include "font_internal.h"
#include "gdi_internal.h"

#include <map>
#include <vector>

using namespace desktop::detail;

namespace {

using DcNode = std::map<uintptr_t, DeviceContext>::node_type;

// A game takes and releases a window's context every frame to present it:
// the map nodes of released contexts are kept here and given the next
// context's handle, so that cycle never reaches the heap. A few are enough
// for the contexts a frame holds at once. Guarded by the desktop's mutex;
// never destroyed, as static objects may still release contexts at exit.
constexpr size_t kSpareDcNodes = 8;

std::vector<DcNode>& SpareDcNodes()
{
    static std::vector<DcNode>* spare = [] {
        auto* nodes = new std::vector<DcNode>;
        nodes->reserve(kSpareDcNodes);
        return nodes;
    }();
    return *spare;
}

// Enters a context under a new handle, in a kept node when there is one.
// Expects the desktop's mutex held.
HDC EnterDc(Desktop& d, const DeviceContext& dc)
{
    const HDC hdc = d.NewDcHandle();
    const uintptr_t key = reinterpret_cast<uintptr_t>(hdc);
    std::vector<DcNode>& spare = SpareDcNodes();
    if (spare.empty()) {
        d.dcs[key] = dc;
        return hdc;
    }
    DcNode node = std::move(spare.back());
    spare.pop_back();
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
    DcNode node = d.dcs.extract(it);
    std::vector<DcNode>& spare = SpareDcNodes();
    if (spare.size() < kSpareDcNodes)
        spare.push_back(std::move(node));
    lock.unlock();
    // Its attributes, clip region and font go with it.
    gdi::ForgetDc(hdc);
    win32font::ForgetFontDc(hdc);
    return 1;
}
