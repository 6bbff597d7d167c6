// Memory device contexts for fonts: CreateCompatibleDC, DeleteDC,
// SelectObject and GetTextMetricsA.
#include "font_internal.h"
#include "desktop_internal.h"

using namespace win32font;

namespace win32font {

Font* RealizedFontOf(Registry& r, HDC dc)
{
    MemoryDc* mem = r.FindDc(dc);
    if (mem == nullptr)
        return nullptr;
    Font* font = r.FindFont(mem->font);
    if (font == nullptr || !Realize(r, *font))
        return nullptr;
    return font;
}

}  // namespace win32font

namespace {

// A context to be compatible with: none (the screen), one of ours, or one
// the desktop made for a window or the screen.
bool KnownDc(Registry& r, HDC dc)
{
    if (dc == nullptr || r.FindDc(dc) != nullptr)
        return true;
    desktop::detail::Desktop& d = desktop::detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.dcs.count(reinterpret_cast<uintptr_t>(dc)) != 0;
}

// Memory contexts take their numbers from the desktop's sequence, so no two
// contexts of any kind ever share a handle.
HDC NewDcHandle()
{
    desktop::detail::Desktop& d = desktop::detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.NewDcHandle();
}

}  // namespace

HDC WINAPI CreateCompatibleDC(HDC dc)
{
    if (desktop::detail::ShouldFail("CreateCompatibleDC"))
        return nullptr;
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!KnownDc(r, dc))
        return nullptr;
    const HDC handle = NewDcHandle();
    MemoryDc mem;
    mem.font = r.StockFont(SYSTEM_FONT);
    r.FindFont(mem.font)->selected++;
    r.dcs[reinterpret_cast<uintptr_t>(handle)] = mem;
    return handle;
}

BOOL WINAPI DeleteDC(HDC dc)
{
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    MemoryDc* mem = r.FindDc(dc);
    if (mem == nullptr)
        return FALSE;
    if (Font* font = r.FindFont(mem->font))
        font->selected--;
    r.dcs.erase(reinterpret_cast<uintptr_t>(dc));
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object)
{
    if (desktop::detail::ShouldFail("SelectObject"))
        return nullptr;
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    MemoryDc* mem = r.FindDc(dc);
    Font* font = r.FindFont(object);
    if (mem == nullptr || font == nullptr)
        return nullptr;
    const HFONT previous = mem->font;
    if (Font* old = r.FindFont(previous))
        old->selected--;
    font->selected++;
    mem->font = reinterpret_cast<HFONT>(object);
    return previous;
}

BOOL WINAPI GetTextMetricsA(HDC dc, LPTEXTMETRICA tm)
{
    if (desktop::detail::ShouldFail("GetTextMetricsA") || tm == nullptr)
        return FALSE;
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    Font* font = RealizedFontOf(r, dc);
    if (font == nullptr)
        return FALSE;
    *tm = font->realized->tm;
    return TRUE;
}
