// Top-level windows on the display: made, placed, shown, titled and
// destroyed with the desktop's, and presenting: the rows SetDIBitsToDevice
// gives go into a shadow of the window in the texture's format, and the
// changed rectangle of it into the streaming texture, which is drawn whole.
#include "screen_backend.h"
#include "screen_keys.h"
#include "screen_pixels.h"

#include <algorithm>
#include <cstring>

namespace screen {
namespace {

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
    if (w.texture != nullptr)
        SDL_RenderCopy(w.renderer, w.texture, nullptr, nullptr);
    else
        SDL_RenderClear(w.renderer);
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

// A texture of the window's size in `format`, filled from the shadow, which
// is converted to the format first. False (the window keeps what it had)
// when the display refuses.
bool ScreenBackend::_setFormat(ScreenWindow& w, Uint32 format)
{
    const int bpp = SDL_BYTESPERPIXEL(format);
    const int pitch = w.width * bpp;
    std::vector<BYTE> shadow(size_t(pitch) * size_t(w.height), 0);
    if (w.format != SDL_PIXELFORMAT_UNKNOWN &&
        SDL_ConvertPixels(w.width, w.height, w.format, w.shadow.data(), w.pitch, format,
                          shadow.data(), pitch) != 0)
        std::fill(shadow.begin(), shadow.end(), 0);
    SDL_Texture* texture =
        SDL_CreateTexture(w.renderer, format, SDL_TEXTUREACCESS_STREAMING, w.width, w.height);
    if (texture == nullptr)
        return false;
    SDL_UpdateTexture(texture, nullptr, shadow.data(), pitch);
    if (w.texture != nullptr)
        SDL_DestroyTexture(w.texture);
    w.texture = texture;
    w.format = format;
    w.shadow.swap(shadow);
    w.pitch = pitch;
    return true;
}

// A new size keeps the pixels that overlap the old one; the rest is black.
bool ScreenBackend::_resize(ScreenWindow& w, int width, int height)
{
    if (width == w.width && height == w.height)
        return true;
    const Uint32 format = w.format;
    if (format == SDL_PIXELFORMAT_UNKNOWN) {
        w.width = width;
        w.height = height;
        return true;
    }
    const int bpp = SDL_BYTESPERPIXEL(format);
    std::vector<BYTE> old;
    old.swap(w.shadow);
    const int oldPitch = w.pitch, oldW = w.width, oldH = w.height;
    w.width = width;
    w.height = height;
    w.pitch = width * bpp;
    w.shadow.assign(size_t(w.pitch) * size_t(height), 0);
    for (int y = 0; y < std::min(oldH, height); ++y)
        std::memcpy(w.shadow.data() + size_t(y) * size_t(w.pitch),
                    old.data() + size_t(y) * size_t(oldPitch), size_t(std::min(oldW, width) * bpp));
    w.format = SDL_PIXELFORMAT_UNKNOWN;  // the shadow is already in it
    const bool made = _setFormat(w, format);
    w.format = format;
    return made;
}

void ScreenBackend::WindowCreated(HWND hwnd, const char* title, const RECT& client, bool visible,
                                  bool minimized)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ScreenWindow w;
    w.width = _widthOf(client);
    w.height = _heightOf(client);
    const std::string name = Cp936ToUtf8(title ? title : "");
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (minimized)
        flags |= SDL_WINDOW_MINIMIZED;
    w.window = SDL_CreateWindow(name.c_str(), int(client.left), int(client.top), w.width,
                                w.height, flags);
    if (w.window == nullptr)
        return;  // the window stays headless
    w.renderer = SDL_CreateRenderer(w.window, -1, 0);
    if (w.renderer == nullptr) {
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
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ScreenWindow* w = _find(hwnd);
    if (w == nullptr)
        return;
    int x = 0, y = 0;
    SDL_GetWindowPosition(w->window, &x, &y);
    if (x != client.left || y != client.top)
        SDL_SetWindowPosition(w->window, int(client.left), int(client.top));
    const int width = _widthOf(client), height = _heightOf(client);
    if (width != w->width || height != w->height) {
        SDL_SetWindowSize(w->window, width, height);
        _resize(*w, width, height);
        _show(*w);
    }
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

bool ScreenBackend::Present(HWND hwnd, const desktop::PresentRows& rows)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ScreenWindow* w = _find(hwnd);
    if (w == nullptr)
        return true;  // not on the screen: the desktop keeps the pixels
    Uint32 format = TextureFormatOf(rows);
    const bool convert = format == SDL_PIXELFORMAT_UNKNOWN;
    if (convert)
        format = SDL_PIXELFORMAT_RGB888;
    if (format != w->format && !_setFormat(*w, format))
        return true;
    // The desktop clipped the rows to its surface, which has the window's size.
    const RECT& r = rows.dest;
    if (r.left < 0 || r.top < 0 || r.right > w->width || r.bottom > w->height ||
        r.left >= r.right || r.top >= r.bottom)
        return false;
    const int bpp = SDL_BYTESPERPIXEL(format);
    BYTE* at = w->shadow.data() + size_t(r.top) * size_t(w->pitch) + size_t(r.left) * size_t(bpp);
    if (convert)
        ConvertRows(rows, at, w->pitch);
    else
        CopyRows(rows, at, w->pitch);
    const SDL_Rect changed = {int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
    SDL_UpdateTexture(w->texture, &changed, at, w->pitch);
    _show(*w);
    return false;
}

}  // namespace screen
