// The screen backend's state: a real window, renderer and texture for each
// top-level window of the desktop, the events read but not yet handled, the
// cursors and the sound device.
#pragma once

#include <desktop/backend.h>

#include <SDL.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace screen {

// One top-level window on the display: a streaming texture of the size of
// its client area, in the desktop surface's format, drawn whole.
struct ScreenWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int width = 0;
    int height = 0;
    bool unshown = false;  // presented on since the window was last shown
};

class ScreenBackend : public desktop::Backend {
public:
    ScreenBackend();
    ~ScreenBackend() override;

    void WindowCreated(HWND hwnd, const char* title, const RECT& client, bool visible,
                       bool minimized) override;
    void WindowPlaced(HWND hwnd, const RECT& client) override;
    void WindowShown(HWND hwnd, bool visible, bool minimized) override;
    void WindowTitle(HWND hwnd, const char* title) override;
    void WindowDestroyed(HWND hwnd) override;
    void Present(HWND hwnd, const DWORD* pixels, int width, int height,
                 const RECT& changed) override;
    bool OnDisplayThread() override;
    void Pump() override;
    void Wait(DWORD timeoutMs) override;
    void Wake() override;
    void ShowCursor(UINT standardId) override;
    bool CursorPos(POINT& pt) override;
    BOOL PlayWave(const char* file, DWORD flags) override;
    INT_PTR OpenLink(const char* target) override;

    // Closes every window and the sound device (screen_backend.cpp).
    void CloseAll();

private:
    // screen_window.cpp
    ScreenWindow* _find(HWND hwnd);
    HWND _hwndOf(Uint32 windowId);
    bool _makeTexture(ScreenWindow& w, int width, int height);
    void _show(ScreenWindow& w);
    void _showPresented();
    void _destroy(ScreenWindow& w);
    // screen_input.cpp
    void _handle(const SDL_Event& e);
    void _handleWindowEvent(HWND hwnd, const SDL_WindowEvent& e);
    void _handleButton(HWND hwnd, const SDL_MouseButtonEvent& e);
    void _handleKey(HWND hwnd, const SDL_KeyboardEvent& e);
    void _handleText(HWND hwnd, const char* text);
    // screen_sound.cpp
    void _closeSound();
    bool _startsound();
    bool _nosound(const char* why);

    std::recursive_mutex m_mutex;  // the members below; never held while calling Win32
    std::map<HWND, ScreenWindow> m_windows;
    std::deque<SDL_Event> m_pending;  // taken by Wait, handled by the next Pump
    Uint32 m_wakeEvent = 0;
    std::thread::id m_thread;  // the display's: the one that called Use
    UINT m_lastKey = 0;  // the virtual key of the last key pressed (0 with Alt)
    std::map<UINT, SDL_Cursor*> m_cursors;
    UINT m_shownCursor = 32512;  // the display starts with the arrow
    SDL_AudioDeviceID m_audio = 0;
    SDL_AudioSpec m_deviceFormat = {};
    bool m_noSound = false;  // no sound device could be had: sounds fail at once
};

}  // namespace screen
