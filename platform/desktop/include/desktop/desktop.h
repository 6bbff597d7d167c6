// The headless desktop that backs the Win32 windows: the harness for tests,
// tools and the demo. Library code never includes this header.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace desktop {

// Destroys every window (without sending it messages: its procedure may
// belong to a test that has ended), every class and device context, empties
// every message queue and drops its timers, focus and quit request, forgets
// activation, scripted input, the buttons and keys held, the pointer position
// and cursor, clears the presentation counters and armed failures, restores
// the default display mode (1024 x 768, 32 bits, 60 Hz) and switches back to
// the real clock.
// Handles are never reused, so a handle kept from before Reset stays invalid.
void Reset();

// A top-level window's surface: 32-bit pixels 0x00RRGGBB of the client area,
// row-major, SurfaceWidth pixels a row. Pixel gives 0 outside the surface or
// for an unknown window; SurfacePixels gives null for an unknown window or an
// empty surface. The pointer stays valid until the window is resized or
// destroyed.
DWORD Pixel(HWND hwnd, int x, int y);
int SurfaceWidth(HWND hwnd);
int SurfaceHeight(HWND hwnd);
const DWORD* SurfacePixels(HWND hwnd);

// Writes the surface as an 8-bit RGB PNG. False for an unknown window, an
// empty surface or a file that cannot be written.
bool SaveSurfacePng(HWND hwnd, const char* path);

// The number of SetDIBitsToDevice calls that put scan lines on the window
// (0 for an unknown window).
int PresentCount(HWND hwnd);

// Makes the next call of the named Win32 function (for example
// "SetDIBitsToDevice", "GetDC", "CreateWindowExA") fail as Win32 would. Arming
// a name n times fails its next n calls.
void FailOnce(const char* win32Name);
void ClearFailures();

// The clock behind timeGetTime and Sleep. On the manual clock time stands
// still until AdvanceClock or Sleep moves it, or a wait for a message
// (GetMessageA, WaitMessage) moves it to the next timer or scripted input;
// a wait for which nothing can come, and Sleep(INFINITE), end the process
// with a report on standard error instead of hanging. AdvanceClock does
// nothing on the real clock.
void UseManualClock(DWORD startMs);
void UseRealClock();
void AdvanceClock(DWORD ms);
bool IsManualClock();

// Input at a top-level window, in its client coordinates. Mouse messages are
// WM_MOUSEMOVE and the left and right button messages (down, up, double
// click); the event lands on the deepest shown, enabled child window under
// the point (in that child's client coordinates) or on the window itself,
// moves the pointer (GetCursorPos), and carries in wParam the buttons held
// once it has happened (MK_LBUTTON, MK_RBUTTON) with MK_SHIFT and MK_CONTROL
// while those keys are down. Key messages are WM_KEYDOWN, WM_KEYUP,
// WM_SYSKEYDOWN and WM_SYSKEYUP with a virtual key; characters are WM_CHAR,
// or WM_IME_CHAR for a code above 0xFF (a double-byte code, lead byte high).
// Keys and characters go to the focus window when it lies in that window,
// else to the window. Each becomes an input message in the queue of the
// window's thread. False for a window that is not top-level or a message
// that is no such input.
bool InjectMouse(HWND top, UINT msg, int x, int y);
bool InjectKey(HWND top, UINT msg, UINT vk);
bool InjectChar(HWND top, UINT code);
// The wheel turned by `delta` (120 a notch, positive away from the user)
// with the pointer at (x, y): WM_MOUSEWHEEL for the focus window when it
// lies in that window, else the window, with the distance in the high word
// of wParam, the buttons and keys held in the low word and the pointer in
// screen coordinates in lParam. False for a distance of 0 or beyond 16 bits.
bool InjectWheel(HWND top, int x, int y, int delta);
// The same, scripted: the event happens when the clock reaches atMs (events
// of one moment in the order scripted). On the manual clock a wait for a
// message moves the clock to it.
bool ScriptMouse(DWORD atMs, HWND top, UINT msg, int x, int y);
bool ScriptKey(DWORD atMs, HWND top, UINT msg, UINT vk);
bool ScriptChar(DWORD atMs, HWND top, UINT code);
// Scripted events that have not happened yet.
size_t PendingInput();
// Places the pointer (screen coordinates) without sending anything.
void SetCursorPos(int x, int y);
// The cursor SetCursor showed last (null at start).
HCURSOR CurrentCursor();

// The sound requests PlaySoundA recorded since the last call (or Reset),
// oldest first, and forgets them.
struct SoundRequest {
    std::string name;  // empty for a null sound
    DWORD flags;
};
std::vector<SoundRequest> TakeSounds();

// The requests ShellExecuteA recorded since the last call (or Reset), oldest
// first, and forgets them. A null text is recorded empty.
struct ShellRequest {
    HWND hwnd;
    std::string operation;
    std::string file;
    std::string parameters;
    std::string directory;
    int show;
};
std::vector<ShellRequest> TakeShellRequests();

// Message boxes: nobody reads them on the headless desktop, so MessageBoxA
// records each one and answers at once with its default button, as a user
// pressing Enter would. TakeMessageBoxes gives the boxes shown so far, oldest
// first, and forgets them.
struct MessageBoxShown {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    int answer;
};
std::vector<MessageBoxShown> TakeMessageBoxes();

// The display mode EnumDisplaySettingsA reports (frequency 60 Hz).
void SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel);

// The window and screen device contexts GetDC has given out and ReleaseDC
// has not taken back: a test's way to see a context leak.
int OpenDcCount();

}  // namespace desktop
