// The desktop's state, shared by the Win32 calls (platform/win32/src) and the
// harness (platform/desktop/src). Not installed: nothing outside kplatform
// sees it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace desktop {
namespace detail {

// The non-client frame of a window whose style has WS_CAPTION.
constexpr int kFrameSide = 3;     // left, right and bottom
constexpr int kFrameTop = 3 + 20; // border and caption bar
// Larger surfaces are refused rather than allocated (16384^2 pixels is 1 GiB).
constexpr int kMaxSurfaceSide = 16384;

// 32-bit pixels 0x00RRGGBB of a top-level window's client area.
struct Surface {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;

    // New size, keeping the pixels that overlap the old size; new pixels are 0.
    // False, with the surface unchanged, when the size is refused or memory
    // runs out.
    bool Resize(int w, int h);
};

struct WindowClass {
    ATOM atom = 0;
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    int windows = 0;            // live windows of the class
};

// One window object. Later additions (message queue, timers, children, focus)
// hang off this record and the table that owns it.
struct Window {
    HWND hwnd = nullptr;
    ATOM atom = 0;  // its class
    WNDPROC proc = nullptr;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    UINT_PTR id = 0;  // the HMENU argument of creation
    HINSTANCE instance = nullptr;
    RECT window = {};  // screen coordinates
    RECT client = {};  // the client area, screen coordinates
    LONG_PTR userData = 0;
    Surface surface;
    int presents = 0;
    bool destroying = false;  // DestroyWindow is under way
};

enum class DcKind { Window, Screen };

struct DeviceContext {
    DcKind kind = DcKind::Screen;
    HWND hwnd = nullptr;
};

struct DisplayMode {
    DWORD width = 1024;
    DWORD height = 768;
    DWORD bitsPerPixel = 32;
    DWORD frequency = 60;
};

// The window table. One mutex guards all of it; it is never held while a
// window procedure runs, because procedures call back into the table.
struct Desktop {
    std::mutex mutex;
    std::map<uintptr_t, std::unique_ptr<Window>> windows;
    std::map<ATOM, WindowClass> classes;
    std::map<uintptr_t, DeviceContext> dcs;
    DisplayMode display;
    // Handle numbers only grow, across Reset too, so a stale handle never
    // names a newer object.
    uint64_t windowSerial = 0;
    uint64_t dcSerial = 0;
    unsigned atomSerial = 0;

    // All of these expect the mutex held.
    Window* FindWindow(HWND hwnd);
    WindowClass* FindClass(LPCSTR nameOrAtom);
    HWND NewWindowHandle();
    HDC NewDcHandle();
    ATOM NewAtom();  // 0 when every atom is taken
};

Desktop& State();

// Window handles lie above 4 GiB, so a handle cut to 32 bits is caught.
constexpr uintptr_t kWindowHandleBase = uintptr_t(1) << 32;
constexpr uintptr_t kDcHandleBase = uintptr_t(2) << 32;
constexpr ATOM kFirstAtom = 0xC000;  // string atoms, as on Win32

// The window rectangle at (x, y) of the given outer size: a negative size
// counts as 0, and right and bottom stop at the largest LONG.
RECT WindowRectAt(int x, int y, int width, int height);

// The client rectangle (screen coordinates) of a window rectangle.
RECT ClientOfWindow(DWORD style, const RECT& window);

// Calls the window's current procedure, outside the lock. 0 when the window is
// gone or has no procedure.
LRESULT CallProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Failure injection: true when a failure of the named call was armed (and
// uses it up).
bool ShouldFail(const char* win32Name);
void ClearArmedFailures();

// The clock behind timeGetTime and Sleep.
DWORD ClockNow();
void ClockSleep(DWORD ms);
void ResetClock();

}  // namespace detail
}  // namespace desktop
