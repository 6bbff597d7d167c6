// The default window procedure: what windows rely on when their own
// procedure passes a message on, and nothing more.
#include "desktop_internal.h"

using namespace desktop::detail;

namespace {

void _validate(HWND hwnd)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    if (Window* w = d.FindWindow(hwnd))
        w->invalid = false;
}

// A double-byte code arrives as one WM_IME_CHAR; a window that reads bytes
// gets the lead byte first, then the trail byte.
void _imeCharToChars(HWND hwnd, WPARAM code, LPARAM lParam)
{
    const WPARAM lead = (code >> 8) & 0xFF;
    if (lead != 0)
        SendMessageA(hwnd, WM_CHAR, lead, lParam);
    SendMessageA(hwnd, WM_CHAR, code & 0xFF, lParam);
}

}  // namespace

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NCCREATE:
        return TRUE;  // let creation go on
    case WM_PAINT:
        _validate(hwnd);  // or WM_PAINT would come back for ever
        return 0;
    case WM_IME_CHAR:
        _imeCharToChars(hwnd, wParam, lParam);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0)
            SetFocus(hwnd);
        return 0;
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        return DefTextMessage(hwnd, msg, wParam, lParam);
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    default:
        return 0;
    }
}
