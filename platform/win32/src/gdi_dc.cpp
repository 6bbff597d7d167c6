// GDI device contexts: the registry of contexts and bitmaps, access to a
// context's pixels for drawing, and the context's attributes (colours,
// background mode, selected objects, device capabilities).
#include "gdi_internal.h"
#include "font_internal.h"
#include "desktop_internal.h"

#include <algorithm>

namespace gdi {

Registry& Gdi()
{
    // Never destroyed: static objects may still free GDI objects at exit.
    static Registry* registry = new Registry;
    return *registry;
}

Dc* Registry::FindDc(HDC dc)
{
    const uintptr_t key = reinterpret_cast<uintptr_t>(dc);
    auto it = dcs.find(key);
    if (it != dcs.end())
        return &it->second;
    // A context the desktop made for a window or the screen.
    desktop::detail::Desktop& d = desktop::detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    auto known = d.dcs.find(key);
    if (known == d.dcs.end())
        return nullptr;
    Dc entry;
    entry.kind = known->second.kind == desktop::detail::DcKind::Window ? DcKind::Window
                                                                        : DcKind::Screen;
    entry.hwnd = known->second.hwnd;
    return &(dcs[key] = entry);
}

Bitmap* Registry::FindBitmap(HGDIOBJ handle)
{
    auto it = bitmaps.find(reinterpret_cast<uintptr_t>(handle));
    return it == bitmaps.end() ? nullptr : it->second.get();
}

HBITMAP Registry::AddBitmap(std::unique_ptr<Bitmap> bitmap)
{
    const uintptr_t handle = kBitmapHandleBase + ++bitmapSerial * 16;
    bitmaps[handle] = std::move(bitmap);
    return reinterpret_cast<HBITMAP>(handle);
}

HBITMAP Registry::StockBitmap()
{
    if (stockBitmap == nullptr) {
        PixelFormat f;
        f.bpp = 1;
        f.colors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
        std::unique_ptr<Bitmap> b = NewBitmap(1, 1, f);
        b->stock = true;
        stockBitmap = AddBitmap(std::move(b));
    }
    return stockBitmap;
}

std::vector<RECT> VisibleRects(const Dc& dc, int width, int height)
{
    std::vector<RECT> out;
    if (!dc.hasClip) {
        if (width > 0 && height > 0)
            out.push_back(RECT{0, 0, width, height});
        return out;
    }
    for (const RECT& rc : dc.clip) {
        const RECT cut = {std::max<LONG>(rc.left, 0), std::max<LONG>(rc.top, 0),
                          std::min<LONG>(rc.right, width), std::min<LONG>(rc.bottom, height)};
        if (cut.left < cut.right && cut.top < cut.bottom)
            out.push_back(cut);
    }
    return out;
}

DcAccess::DcAccess(HDC hdc) : m_lock(Gdi().mutex)
{
    Registry& r = Gdi();
    Dc* dc = r.FindDc(hdc);
    if (dc == nullptr)
        return;
    static const PixelFormat windowFormat = [] {
        PixelFormat f;
        f.bpp = 32;
        SetDefaultMasks(f);
        return f;
    }();
    if (dc->kind == DcKind::Memory) {
        Bitmap* b = r.FindBitmap(dc->bitmap);
        if (b == nullptr)
            return;
        m_surface.width = b->width;
        m_surface.height = b->height;
        m_surface.format = &b->format;
        m_surface.base = b->Row(0);
        m_surface.stride = b->topDown ? b->stride : -b->stride;
    } else {
        desktop::detail::Desktop& d = desktop::detail::State();
        m_desktopLock = std::unique_lock<std::mutex>(d.mutex);
        m_surface.format = &windowFormat;
        if (dc->kind == DcKind::Screen) {
            m_surface.width = int(d.display.width);
            m_surface.height = int(d.display.height);
        } else {
            desktop::detail::Window* w = d.FindWindow(dc->hwnd);
            if (w == nullptr)
                return;  // the window is gone
            m_window = w;
            m_surface.width = w->surface.width;
            m_surface.height = w->surface.height;
            m_surface.base = reinterpret_cast<BYTE*>(w->surface.pixels.data());
            m_surface.stride = int64_t(w->surface.width) * 4;
            if (m_surface.base == nullptr)
                m_surface.width = m_surface.height = 0;  // a child or empty window keeps nothing
        }
    }
    m_dc = dc;
    m_visible = VisibleRects(*dc, m_surface.width, m_surface.height);
}

DcAccess::~DcAccess() = default;

void DcAccess::PutPixel(int x, int y, COLORREF color)
{
    FillSpan(x, x + 1, y, color);
}

void DcAccess::FillSpan(int x0, int x1, int y, COLORREF color)
{
    if (m_dc == nullptr || m_surface.base == nullptr)
        return;
    const DWORD value = EncodeColor(*m_surface.format, color);
    BYTE* row = nullptr;
    for (const RECT& rc : m_visible) {
        if (y < rc.top || y >= rc.bottom)
            continue;
        const int from = std::max<int>(x0, rc.left), to = std::min<int>(x1, rc.right);
        if (from >= to)
            continue;
        if (row == nullptr)
            row = m_surface.Row(y);
        for (int x = from; x < to; ++x)
            WritePixel(*m_surface.format, row, x, value);
    }
}

void ForgetDc(HDC dc)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.dcs.erase(reinterpret_cast<uintptr_t>(dc));
}

bool AddMemoryDc(HDC dc)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    Dc entry;
    entry.kind = DcKind::Memory;
    entry.bitmap = r.StockBitmap();
    r.dcs[reinterpret_cast<uintptr_t>(dc)] = entry;
    return true;
}

bool RemoveMemoryDc(HDC dc)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.dcs.find(reinterpret_cast<uintptr_t>(dc));
    if (it == r.dcs.end() || it->second.kind != DcKind::Memory)
        return false;
    if (Bitmap* b = r.FindBitmap(it->second.bitmap))
        if (!b->stock)
            b->selectedInto = nullptr;
    r.dcs.erase(it);
    return true;
}

// The palette side (gdi_palette.cpp): selects a palette into the context;
// null when the object is not a palette. Expects the mutex held.
HGDIOBJ SelectPaletteLocked(Registry& r, Dc& dc, HGDIOBJ object);

HGDIOBJ SelectNonFont(HDC hdc, HGDIOBJ object)
{
    // A region becomes the clip region; its type is the result.
    RECT box;
    if (GetRgnBox(static_cast<HRGN>(object), &box) != ERROR) {
        const int type = SelectClipRgn(hdc, static_cast<HRGN>(object));
        return type == ERROR ? nullptr : reinterpret_cast<HGDIOBJ>(uintptr_t(type));
    }
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    Dc* dc = r.FindDc(hdc);
    if (dc == nullptr)
        return nullptr;
    if (Bitmap* b = r.FindBitmap(object)) {
        // Only a memory context holds a bitmap, and a bitmap is held by one
        // context at a time (the stock bitmap by any number).
        if (dc->kind != DcKind::Memory)
            return nullptr;
        if (!b->stock && b->selectedInto != nullptr && b->selectedInto != hdc)
            return nullptr;
        const HBITMAP previous = dc->bitmap;
        if (Bitmap* old = r.FindBitmap(previous))
            if (!old->stock)
                old->selectedInto = nullptr;
        if (!b->stock)
            b->selectedInto = hdc;
        dc->bitmap = static_cast<HBITMAP>(object);
        // A clip region stays; nothing outside the new bitmap is drawn anyway.
        return previous;
    }
    return SelectPaletteLocked(r, *dc, object);
}

int DeleteGdiObject(HGDIOBJ object)
{
    if (const int palette = DeletePalette(object))
        return palette;
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.bitmaps.find(reinterpret_cast<uintptr_t>(object));
    if (it == r.bitmaps.end())
        return 0;
    if (it->second->stock)
        return 1;
    // A context still draws into it: freeing it now would leave the context
    // holding dead pixels.
    if (it->second->selectedInto != nullptr)
        return -1;
    r.bitmaps.erase(it);
    return 1;
}

HFONT SelectedFont(HDC dc)
{
    win32font::Registry& fonts = win32font::Fonts();
    std::lock_guard<std::mutex> lock(fonts.mutex);
    if (const win32font::MemoryDc* mem = fonts.FindDc(dc))
        return mem->font;
    return fonts.StockFont(SYSTEM_FONT);
}

}  // namespace gdi

using namespace gdi;

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF value)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    Dc* dc = r.FindDc(hdc);
    if (dc == nullptr)
        return CLR_INVALID;
    const COLORREF previous = dc->textColor;
    dc->textColor = value;
    return previous;
}

COLORREF WINAPI GetTextColor(HDC hdc)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Dc* dc = r.FindDc(hdc);
    return dc == nullptr ? CLR_INVALID : dc->textColor;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF value)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    Dc* dc = r.FindDc(hdc);
    if (dc == nullptr)
        return CLR_INVALID;
    const COLORREF previous = dc->bkColor;
    dc->bkColor = value;
    return previous;
}

COLORREF WINAPI GetBkColor(HDC hdc)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Dc* dc = r.FindDc(hdc);
    return dc == nullptr ? CLR_INVALID : dc->bkColor;
}

int WINAPI SetBkMode(HDC hdc, int value)
{
    if (value != TRANSPARENT && value != OPAQUE)
        return 0;
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    Dc* dc = r.FindDc(hdc);
    if (dc == nullptr)
        return 0;
    const int previous = dc->bkMode;
    dc->bkMode = value;
    return previous;
}

int WINAPI GetBkMode(HDC hdc)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Dc* dc = r.FindDc(hdc);
    return dc == nullptr ? 0 : dc->bkMode;
}

int WINAPI SetStretchBltMode(HDC hdc, int value)
{
    if (value < BLACKONWHITE || value > HALFTONE)
        return 0;
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    Dc* dc = r.FindDc(hdc);
    if (dc == nullptr)
        return 0;
    const int previous = dc->stretchMode;
    dc->stretchMode = value;
    return previous;
}

int WINAPI GetStretchBltMode(HDC hdc)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Dc* dc = r.FindDc(hdc);
    return dc == nullptr ? 0 : dc->stretchMode;
}

HGDIOBJ WINAPI GetCurrentObject(HDC dc, UINT type)
{
    if (type == OBJ_FONT) {
        {
            Registry& r = Gdi();
            std::lock_guard<std::mutex> lock(r.mutex);
            if (r.FindDc(dc) == nullptr)
                return nullptr;
        }
        return SelectedFont(dc);
    }
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Dc* c = r.FindDc(dc);
    if (c == nullptr)
        return nullptr;
    if (type == OBJ_BITMAP)
        return c->kind == DcKind::Memory ? c->bitmap : nullptr;
    if (type == OBJ_PAL)
        return c->palette != nullptr ? c->palette : r.StockPalette();
    return nullptr;
}

int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    {
        Registry& r = Gdi();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.FindDc(hdc) == nullptr)
            return 0;
    }
    desktop::detail::Desktop& d = desktop::detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const int width = int(d.display.width), height = int(d.display.height);
    switch (index) {
    case HORZRES: return width;
    case VERTRES: return height;
    case HORZSIZE: return width * 254 / 960;  // millimetres at 96 dots an inch
    case VERTSIZE: return height * 254 / 960;
    case BITSPIXEL: return int(d.display.bitsPerPixel);
    case PLANES: return 1;
    case NUMCOLORS: return -1;  // more than 8 bits a pixel
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE:
    case NUMRESERVED: return 0;
    case COLORRES: return 24;
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT |
               RC_STRETCHDIB;
    default: return 0;
    }
}

DWORD WINAPI GetSysColor(int index)
{
    switch (index) {
    case COLOR_WINDOW:
    case COLOR_MENU:
    case COLOR_HIGHLIGHTTEXT:
    case COLOR_BTNHIGHLIGHT:
    case COLOR_CAPTIONTEXT: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_MENUTEXT:
    case COLOR_BTNTEXT:
    case COLOR_WINDOWFRAME:
    case COLOR_3DDKSHADOW:
    case COLOR_INFOTEXT: return RGB(0, 0, 0);
    case COLOR_SCROLLBAR:
    case COLOR_ACTIVEBORDER:
    case COLOR_INACTIVEBORDER:
    case COLOR_BTNFACE:
    case COLOR_3DLIGHT:
    case COLOR_INACTIVECAPTIONTEXT: return RGB(192, 192, 192);
    case COLOR_BTNSHADOW:
    case COLOR_GRAYTEXT:
    case COLOR_INACTIVECAPTION:
    case COLOR_APPWORKSPACE: return RGB(128, 128, 128);
    case COLOR_BACKGROUND: return RGB(0, 128, 128);
    case COLOR_ACTIVECAPTION:
    case COLOR_HIGHLIGHT: return RGB(0, 0, 128);
    case COLOR_INFOBK: return RGB(255, 255, 225);
    default: return 0;
    }
}
