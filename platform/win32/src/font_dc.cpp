// Memory device contexts for fonts: CreateCompatibleDC, DeleteDC,
// SelectObject and GetTextMetricsA.
#include "font_internal.h"
#include "desktop_internal.h"
#include "gdi_internal.h"

using namespace win32font;

namespace win32font {

Font* RealizedFontOf(Registry& r, HDC dc, bool desktopDc)
{
    MemoryDc* mem = r.FindDc(dc);
    if (mem == nullptr && !desktopDc)
        return nullptr;
    Font* font = r.FindFont(mem != nullptr ? mem->font : r.StockFont(SYSTEM_FONT));
    if (font == nullptr || !Realize(r, *font))
        return nullptr;
    return font;
}

bool IsDesktopDc(HDC dc)
{
    desktop::detail::Desktop& d = desktop::detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.dcs.count(reinterpret_cast<uintptr_t>(dc)) != 0;
}

}  // namespace win32font

namespace {

// Memory contexts take their numbers from the desktop's sequence, so no two
// contexts of any kind ever share a handle.
HDC NewDcHandle()
{
    desktop::detail::Desktop& d = desktop::detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.NewDcHandle();
}

}  // namespace

namespace {

// The font side of a new memory context: the stock system font selected.
void AddFontDc(Registry& r, HDC handle)
{
    MemoryDc mem;
    mem.font = r.StockFont(SYSTEM_FONT);
    r.FindFont(mem.font)->selected++;
    r.dcs[reinterpret_cast<uintptr_t>(handle)] = mem;
}

// Forgets the font side of a context; false when it had none.
bool RemoveFontDc(Registry& r, HDC dc)
{
    MemoryDc* mem = r.FindDc(dc);
    if (mem == nullptr)
        return false;
    if (Font* font = r.FindFont(mem->font))
        font->selected--;
    r.dcs.erase(reinterpret_cast<uintptr_t>(dc));
    return true;
}

// Whether the desktop made this context for a window or the screen.
bool DesktopDc(HDC dc)
{
    desktop::detail::Desktop& d = desktop::detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.dcs.count(reinterpret_cast<uintptr_t>(dc)) != 0;
}

}  // namespace

namespace win32font {

void ForgetFontDc(HDC dc)
{
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    RemoveFontDc(r, dc);
}

}  // namespace win32font

HDC WINAPI CreateCompatibleDC(HDC dc)
{
    if (desktop::detail::ShouldFail("CreateCompatibleDC"))
        return nullptr;
    // A context to be compatible with: none (the screen), one the desktop
    // made for a window or the screen, or a memory context. The desktop is
    // asked before the font registry is locked: the drawing code holds the
    // desktop's lock when it reads fonts, never the other way round.
    const bool desktopDc = dc != nullptr && DesktopDc(dc);
    const HDC handle = NewDcHandle();
    {
        Registry& r = Fonts();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (dc != nullptr && !desktopDc && r.FindDc(dc) == nullptr)
            return nullptr;
        AddFontDc(r, handle);
    }
    // The drawing side: attributes and the stock bitmap.
    gdi::AddMemoryDc(handle);
    return handle;
}

BOOL WINAPI DeleteDC(HDC dc)
{
    // Only memory contexts are deleted; those of windows are released.
    if (!gdi::RemoveMemoryDc(dc))
        return FALSE;
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    RemoveFontDc(r, dc);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object)
{
    if (desktop::detail::ShouldFail("SelectObject"))
        return nullptr;
    const bool desktopDc = DesktopDc(dc);  // asked before the font registry is locked
    Registry& r = Fonts();
    std::unique_lock<std::mutex> lock(r.mutex);
    Font* font = r.FindFont(object);
    if (font == nullptr) {
        // Bitmaps, palettes and regions belong to the drawing side.
        lock.unlock();
        return gdi::SelectNonFont(dc, object);
    }
    MemoryDc* mem = r.FindDc(dc);
    if (mem == nullptr && desktopDc) {
        // A window or screen context gets its font side on first use.
        AddFontDc(r, dc);
        mem = r.FindDc(dc);
    }
    if (mem == nullptr)
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
    const bool desktopDc = IsDesktopDc(dc);
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    Font* font = RealizedFontOf(r, dc, desktopDc);
    if (font == nullptr)
        return FALSE;
    *tm = font->realized->tm;
    return TRUE;
}
