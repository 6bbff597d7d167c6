// The display backend: the few places where a real screen differs from the
// headless desktop. The desktop keeps the window table, the message queues,
// the clock and the input rules for every backend; a backend is told what
// happens to top-level windows, shows presented pixels, turns its own events
// into desktop input (InjectMouse, InjectKey, InjectChar, PostMessageA) and
// waits for them. The window surfaces stay the desktop's, so what a screen
// shows is what the headless desktop keeps. With no backend set the headless
// desktop runs alone: it keeps pixels and records sounds and shell requests.
//
// The desktop calls a backend from the thread that makes the Win32 call,
// never with its own lock held, except Present (lock held, so the backend
// must not call back into Win32 from it).
#pragma once

#include <windows.h>

namespace desktop {

class Backend {
public:
    virtual ~Backend() = default;

    // A top-level window was made (after WM_CREATE), placed, shown or hidden,
    // minimised or restored, retitled, or destroyed. `client` is the client
    // area in screen coordinates.
    virtual void WindowCreated(HWND hwnd, const char* title, const RECT& client, bool visible,
                               bool minimized) = 0;
    virtual void WindowPlaced(HWND hwnd, const RECT& client) = 0;
    virtual void WindowShown(HWND hwnd, bool visible, bool minimized) = 0;
    virtual void WindowTitle(HWND hwnd, const char* title) = 0;
    virtual void WindowDestroyed(HWND hwnd) = 0;

    // Shows the `changed` rectangle of the window's surface (32-bit pixels
    // 0x00RRGGBB, `width` a row, the client area's size), which was just
    // presented on.
    virtual void Present(HWND hwnd, const DWORD* pixels, int width, int height,
                         const RECT& changed) = 0;

    // True on the thread that shows the windows (the one that chose the
    // backend): only there does the desktop pump and wait through it; other
    // threads wait on their queues as on the headless desktop.
    virtual bool OnDisplayThread() = 0;
    // Turns the events that have come into desktop input and messages.
    virtual void Pump() = 0;
    // Blocks until an event may have come or `timeoutMs` has passed
    // (INFINITE: no limit), without spinning.
    virtual void Wait(DWORD timeoutMs) = 0;
    // Ends a Wait under way on another thread: a message was posted.
    virtual void Wake() = 0;

    // The cursor SetCursor shows: a standard cursor id (32512 IDC_ARROW and
    // so on), 0 to hide it.
    virtual void ShowCursor(UINT standardId) = 0;
    // The pointer on the screen; false to keep the desktop's own idea of it.
    virtual bool CursorPos(POINT& pt) = 0;

    // PlaySoundA's request, once the desktop has recorded it; the result is
    // PlaySoundA's.
    virtual BOOL PlayWave(const char* file, DWORD flags) = 0;
    // ShellExecuteA's "open" of a file or link; Win32's result: above 32 on
    // success, else an error code.
    virtual INT_PTR OpenLink(const char* target) = 0;
};

// Makes `backend` show every top-level window made from now on (null: back
// to the headless desktop alone). The caller keeps it alive while it is set.
void UseBackend(Backend* backend);
Backend* CurrentBackend();

}  // namespace desktop
