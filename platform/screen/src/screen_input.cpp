// The display's events as the desktop's input: the pointer, its buttons, its
// wheel and the keys become the messages the desktop's injection makes (in the order
// they happened), typed text that TranslateMessage would not make becomes
// WM_CHAR bytes of code page 936, closing a window posts WM_CLOSE, and a
// window the user moved tells its new place.
#include "screen_backend.h"
#include "screen_keys.h"

#include <desktop/desktop.h>

namespace screen {
namespace {

// WM_SYSKEYDOWN and WM_SYSKEYUP while Alt is held, as on Win32.
UINT _keyMessage(bool down, bool alt)
{
    if (alt)
        return down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    return down ? WM_KEYDOWN : WM_KEYUP;
}

// The window moved on the display: the desktop places it there (and the
// window hears WM_MOVE), keeping its size.
void _movedTo(HWND hwnd, int x, int y)
{
    RECT window;
    POINT origin = {0, 0};
    if (!GetWindowRect(hwnd, &window) || !ClientToScreen(hwnd, &origin))
        return;
    if (origin.x == x && origin.y == y)
        return;
    SetWindowPos(hwnd, nullptr, x - (origin.x - window.left), y - (origin.y - window.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void ScreenBackend::_handle(const SDL_Event& e)
{
    HWND hwnd = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        switch (e.type) {
        case SDL_WINDOWEVENT:
            hwnd = _hwndOf(e.window.windowID);
            break;
        case SDL_MOUSEMOTION:
            hwnd = _hwndOf(e.motion.windowID);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            hwnd = _hwndOf(e.button.windowID);
            break;
        case SDL_MOUSEWHEEL:
            hwnd = _hwndOf(e.wheel.windowID);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            hwnd = _hwndOf(e.key.windowID);
            break;
        case SDL_TEXTINPUT:
            hwnd = _hwndOf(e.text.windowID);
            break;
        default:
            return;  // wake-ups, quit requests and the rest
        }
    }
    if (hwnd == nullptr)
        return;
    switch (e.type) {
    case SDL_WINDOWEVENT:
        _handleWindowEvent(hwnd, e.window);
        break;
    case SDL_MOUSEMOTION:
        desktop::InjectMouse(hwnd, WM_MOUSEMOVE, e.motion.x, e.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        _handleButton(hwnd, e.button);
        break;
    case SDL_MOUSEWHEEL: {
        // A notch is 120; the display counts notches, away from the user
        // positive unless it says the direction is flipped.
        const int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        int x = 0, y = 0;
        SDL_GetMouseState(&x, &y);
        if (notches != 0)
            desktop::InjectWheel(hwnd, x, y, notches * WHEEL_DELTA);
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        _handleKey(hwnd, e.key);
        break;
    case SDL_TEXTINPUT:
        _handleText(hwnd, e.text.text);
        break;
    }
}

void ScreenBackend::_handleWindowEvent(HWND hwnd, const SDL_WindowEvent& e)
{
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_EXPOSED: {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (ScreenWindow* w = _find(hwnd))
            _show(*w);
        break;
    }
    case SDL_WINDOWEVENT_MOVED:
        _movedTo(hwnd, e.data1, e.data2);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        if (!IsIconic(hwnd))
            ShowWindow(hwnd, SW_MINIMIZE);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        if (IsIconic(hwnd))
            ShowWindow(hwnd, SW_RESTORE);
        break;
    default:
        break;
    }
}

void ScreenBackend::_handleButton(HWND hwnd, const SDL_MouseButtonEvent& e)
{
    const bool down = e.type == SDL_MOUSEBUTTONDOWN;
    // A second press in quick succession is a double click where the
    // window's class asks for them.
    const bool dbl = down && e.clicks == 2 && (GetClassLongA(hwnd, GCL_STYLE) & CS_DBLCLKS);
    UINT msg = 0;
    if (e.button == SDL_BUTTON_LEFT)
        msg = dbl ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    else if (e.button == SDL_BUTTON_RIGHT)
        msg = dbl ? WM_RBUTTONDBLCLK : down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    else
        return;  // the desktop has no other buttons
    desktop::InjectMouse(hwnd, msg, e.x, e.y);
}

void ScreenBackend::_handleKey(HWND hwnd, const SDL_KeyboardEvent& e)
{
    const UINT vk = VirtualKeyOf(e.keysym.sym);
    if (vk == 0)
        return;
    const bool down = e.type == SDL_KEYDOWN;
    const bool alt = (e.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
    if (down) {
        // TranslateMessage types nothing for a key pressed with Alt (AltGr
        // on many layouts): the display's text for it is all there is.
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_lastKey = alt ? 0 : vk;
    }
    desktop::InjectKey(hwnd, _keyMessage(down, alt), vk);
}

void ScreenBackend::_handleText(HWND hwnd, const char* text)
{
    const std::string bytes = Utf8ToCp936(text);
    UINT lastKey = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        lastKey = m_lastKey;
        m_lastKey = 0;  // one key types once
    }
    // One plain character of a key TranslateMessage types for: it comes
    // from there, so it is not sent twice.
    if (bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) < 0x80 && TranslateTypes(lastKey))
        return;
    for (unsigned char c : bytes)
        desktop::InjectChar(hwnd, c);
}

}  // namespace screen
