// Top-level windows on the display: made, placed, shown, titled and
// destroyed with the desktop's, and presenting: the changed rectangle of the
// window's surface goes into a streaming texture of the surface's own format
// (no conversion), which is drawn whole once the frame's rectangles are in.
//
// The screen shows the surface rather than the rows SetDIBitsToDevice was
// given: the display's own widening of 5- and 6-bit channels truncates
// v * 255 / 31 where the surface repeats the bits, one step apart for many
// values, and the screen must show exactly what the headless desktop keeps.
#include "screen_backend.h"
#include "screen_keys.h"

#include <desktop/desktop.h>

#include <algorithm>

namespace screen {
namespace {

// 0x00RRGGBB in a 32-bit word, as the desktop's surfaces hold pixels.
constexpr Uint32 kSurfaceFormat = SDL_PIXELFORMAT_RGB888;

int _widthOf(const RECT& r)
{
    return std::max(1, int(r.right - r.left));
}

int _heightOf(const RECT& r)
{
    return std::max(1, int(r.bottom - r.top));
}

}  // namespace

ScreenWindow* ScreenBackend::_find(HWND hwnd)
{
    auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? nullptr : &it->second;
}

HWND ScreenBackend::_hwndOf(Uint32 windowId)
{
    SDL_Window* window = SDL_GetWindowFromID(windowId);
    for (auto& entry : m_windows)
        if (entry.second.window == window && window != nullptr)
            return entry.first;
    return nullptr;
}

// Draws the texture over the whole window and shows it.
void ScreenBackend::_show(ScreenWindow& w)
{
    SDL_RenderClear(w.renderer);
    if (w.texture != nullptr)
        SDL_RenderCopy(w.renderer, w.texture, nullptr, nullptr);
    SDL_RenderPresent(w.renderer);
}

void ScreenBackend::_destroy(ScreenWindow& w)
{
    if (w.texture != nullptr)
        SDL_DestroyTexture(w.texture);
    if (w.renderer != nullptr)
        SDL_DestroyRenderer(w.renderer);
    if (w.window != nullptr)
        SDL_DestroyWindow(w.window);
    w = ScreenWindow();
}

// A black texture of the size; false (the old one kept) when the display
// refuses.
bool ScreenBackend::_makeTexture(ScreenWindow& w, int width, int height)
{
    SDL_Texture* texture =
        SDL_CreateTexture(w.renderer, kSurfaceFormat, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (texture == nullptr)
        return false;
    void* bits = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture, nullptr, &bits, &pitch) == 0) {
        for (int y = 0; y < height; ++y)
            std::fill_n(static_cast<BYTE*>(bits) + size_t(y) * size_t(pitch), size_t(width) * 4, 0);
        SDL_UnlockTexture(texture);
    }
    if (w.texture != nullptr)
        SDL_DestroyTexture(w.texture);
    w.texture = texture;
    w.width = width;
    w.height = height;
    return true;
}

void ScreenBackend::WindowCreated(HWND hwnd, const char* title, const RECT& client, bool visible,
                                  bool minimized)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ScreenWindow w;
    const std::string name = Cp936ToUtf8(title ? title : "");
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (minimized)
        flags |= SDL_WINDOW_MINIMIZED;
    w.window = SDL_CreateWindow(name.c_str(), int(client.left), int(client.top), _widthOf(client),
                                _heightOf(client), flags);
    if (w.window == nullptr)
        return;  // the window stays headless
    w.renderer = SDL_CreateRenderer(w.window, -1, 0);
    if (w.renderer == nullptr || !_makeTexture(w, _widthOf(client), _heightOf(client))) {
        _destroy(w);
        return;
    }
    SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255);
    ScreenWindow& kept = m_windows[hwnd] = w;
    if (visible)
        SDL_ShowWindow(kept.window);
    _show(kept);
}

void ScreenBackend::WindowPlaced(HWND hwnd, const RECT& client)
{
    // The surface, already of the new size and keeping what overlaps the
    // old one, read before our lock is taken (Present takes the two locks
    // the other way round).
    const DWORD* pixels = desktop::SurfacePixels(hwnd);
    const int surfaceW = desktop::SurfaceWidth(hwnd), surfaceH = desktop::SurfaceHeight(hwnd);
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ScreenWindow* w = _find(hwnd);
    if (w == nullptr)
        return;
    int x = 0, y = 0;
    SDL_GetWindowPosition(w->window, &x, &y);
    if (x != client.left || y != client.top)
        SDL_SetWindowPosition(w->window, int(client.left), int(client.top));
    const int width = _widthOf(client), height = _heightOf(client);
    if (width == w->width && height == w->height)
        return;
    SDL_SetWindowSize(w->window, width, height);
    if (_makeTexture(*w, width, height) && pixels != nullptr && surfaceW == width &&
        surfaceH == height)
        SDL_UpdateTexture(w->texture, nullptr, pixels, width * 4);
    _show(*w);
}

void ScreenBackend::WindowShown(HWND hwnd, bool visible, bool minimized)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ScreenWindow* w = _find(hwnd);
    if (w == nullptr)
        return;
    const Uint32 flags = SDL_GetWindowFlags(w->window);
    if (!visible) {
        if (flags & SDL_WINDOW_SHOWN)
            SDL_HideWindow(w->window);
        return;
    }
    if (!(flags & SDL_WINDOW_SHOWN))
        SDL_ShowWindow(w->window);
    if (minimized && !(flags & SDL_WINDOW_MINIMIZED))
        SDL_MinimizeWindow(w->window);
    else if (!minimized && (flags & SDL_WINDOW_MINIMIZED))
        SDL_RestoreWindow(w->window);
    _show(*w);
}

void ScreenBackend::WindowTitle(HWND hwnd, const char* title)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (ScreenWindow* w = _find(hwnd))
        SDL_SetWindowTitle(w->window, Cp936ToUtf8(title ? title : "").c_str());
}

void ScreenBackend::WindowDestroyed(HWND hwnd)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_windows.find(hwnd);
    if (it == m_windows.end())
        return;
    _destroy(it->second);
    m_windows.erase(it);
}

void ScreenBackend::Present(HWND hwnd, const DWORD* pixels, int width, int height,
                            const RECT& changed)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ScreenWindow* w = _find(hwnd);
    if (w == nullptr || width != w->width || height != w->height)
        return;  // not on the screen, or a size the screen has not taken
    const RECT& r = changed;
    if (r.left < 0 || r.top < 0 || r.right > width || r.bottom > height || r.left >= r.right ||
        r.top >= r.bottom)
        return;
    const SDL_Rect rect = {int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
    SDL_UpdateTexture(w->texture, &rect, pixels + size_t(r.top) * size_t(width) + size_t(r.left),
                      width * 4);
    w->unshown = true;
}

// A frame may present several rectangles, one copy each: the texture takes
// each as it comes, and the window is shown once they are all in, when the
// display thread next looks for events.
void ScreenBackend::_showPresented()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (auto& entry : m_windows) {
        ScreenWindow& w = entry.second;
        if (!w.unshown)
            continue;
        w.unshown = false;
        _show(w);
    }
}

}  // namespace screen
