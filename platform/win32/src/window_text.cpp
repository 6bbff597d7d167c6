// Window text: the calls that send WM_SETTEXT and WM_GETTEXT, and the
// default handling of those messages on the window's own text.
#include "desktop_internal.h"

#include <desktop/backend.h>

#include <algorithm>
#include <cstring>

using namespace desktop::detail;

namespace desktop {
namespace detail {

// What the default procedure does with the three text messages.
LRESULT DefTextMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Desktop& d = State();
    std::unique_lock<std::mutex> lock(d.mutex);
    Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return 0;
    switch (msg) {
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        w->text = text ? text : "";
        // A top-level window's text is its title on the screen.
        const std::string title = w->text;
        const bool top = !w->child;
        lock.unlock();
        if (desktop::Backend* b = desktop::CurrentBackend(); b != nullptr && top)
            b->WindowTitle(hwnd, title.c_str());
        return TRUE;
    }
    case WM_GETTEXT:
        return LRESULT(CopyText(w->text, reinterpret_cast<char*>(lParam), wParam));
    default:  // WM_GETTEXTLENGTH
        return LRESULT(w->text.size());
    }
}

size_t CopyText(const std::string& text, char* buffer, WPARAM size)
{
    if (buffer == nullptr || size == 0)
        return 0;
    const size_t n = std::min<size_t>(text.size(), size_t(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

}  // namespace detail
}  // namespace desktop

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text)
{
    if (ShouldFail("SetWindowTextA") || !IsWindow(hwnd))
        return FALSE;
    return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int size)
{
    if (buffer != nullptr && size > 0)
        buffer[0] = '\0';
    if (buffer == nullptr || size <= 0 || !IsWindow(hwnd))
        return 0;
    return int(SendMessageA(hwnd, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthA(HWND hwnd)
{
    return int(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}
