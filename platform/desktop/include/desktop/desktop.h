// The headless desktop that backs the Win32 windows: the harness for tests,
// tools and the demo. Library code never includes this header.
#pragma once

#include <windows.h>

namespace desktop {

// Destroys every window (without sending it messages: its procedure may
// belong to a test that has ended), every class and device context, clears
// the presentation counters and armed failures, restores the default display
// mode (1024 x 768, 32 bits, 60 Hz) and switches back to the real clock.
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
// still until AdvanceClock or Sleep moves it; AdvanceClock does nothing on the
// real clock.
void UseManualClock(DWORD startMs);
void UseRealClock();
void AdvanceClock(DWORD ms);
bool IsManualClock();

// The display mode EnumDisplaySettingsA reports (frequency 60 Hz).
void SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel);

}  // namespace desktop
