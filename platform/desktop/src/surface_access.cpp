// Reading a window's surface and presentation count.
#include "desktop_internal.h"

#include <desktop/desktop.h>

namespace desktop {

DWORD Pixel(HWND hwnd, int x, int y)
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const detail::Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return 0;
    const detail::Surface& s = w->surface;
    if (x < 0 || y < 0 || x >= s.width || y >= s.height)
        return 0;
    return s.pixels[size_t(y) * size_t(s.width) + size_t(x)];
}

int SurfaceWidth(HWND hwnd)
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const detail::Window* w = d.FindWindow(hwnd);
    return w ? w->surface.width : 0;
}

int SurfaceHeight(HWND hwnd)
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const detail::Window* w = d.FindWindow(hwnd);
    return w ? w->surface.height : 0;
}

const DWORD* SurfacePixels(HWND hwnd)
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const detail::Window* w = d.FindWindow(hwnd);
    if (w == nullptr || w->surface.pixels.empty())
        return nullptr;
    return w->surface.pixels.data();
}

int PresentCount(HWND hwnd)
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const detail::Window* w = d.FindWindow(hwnd);
    return w ? w->presents : 0;
}

}  // namespace desktop
