// GDI device contexts: the registry of contexts and bitmaps, access to a
// context's pixels for drawing, and the context's attributes (colours,
// background mode, stretch mode, selected objects).
#include "gdi_internal.h"
#include "font_internal.h"
#include "desktop_internal.h"

#include <desktop/backend.h>

#include <algorithm>

namespace gdi {

namespace {

// Released contexts kept for reuse: enough for the contexts a frame holds at
// once. A kept list of rectangles longer than kKeptRects (a context that had
// an intricate clip region) gives its storage back.
constexpr size_t kKeptDcs = 8;
constexpr size_t kKeptRects = 64;

void EmptyKeepingStorage(std::vector<RECT>& rects)
{
    if (rects.capacity() > kKeptRects)
        std::vector<RECT>().swap(rects);
    rects.clear();
}

}  // namespace

Registry& Gdi()
{
    // Never destroyed: static objects may still free GDI objects at exit.
    static Registry* registry = new Registry(kKeptDcs);
    return *registry;
}

Dc& Registry::EnterDc(uintptr_t handle, const Dc& entry)
{
    auto it = dcs.find(handle);
    if (it != dcs.end())
        return it->second = entry;
    std::map<uintptr_t, Dc>::node_type node = keptDcs.Take();
    if (node.empty())
        return dcs.emplace(handle, entry).first->second;
    node.key() = handle;
    // The entry's attributes, in the kept lists' storage.
    Dc& dc = node.mapped();
    std::vector<RECT> clip = std::move(dc.clip), visible = std::move(dc.visibleCache);
    dc = entry;
    clip.assign(entry.clip.begin(), entry.clip.end());
    visible.assign(entry.visibleCache.begin(), entry.visibleCache.end());
    dc.clip = std::move(clip);
    dc.visibleCache = std::move(visible);
    return dcs.insert(std::move(node)).position->second;
}

void Registry::DropDc(std::map<uintptr_t, Dc>::iterator it)
{
    EmptyKeepingStorage(it->second.clip);
    EmptyKeepingStorage(it->second.visibleCache);
    keptDcs.Erase(dcs, it);
}

Dc* Registry::FindDc(HDC dc, bool desktopLocked)
{
    const uintptr_t key = reinterpret_cast<uintptr_t>(dc);
    auto it = dcs.find(key);
    if (it != dcs.end())
        return &it->second;
    // A context the desktop made for a window or the screen.
    desktop::detail::Desktop& d = desktop::detail::State();
    std::unique_lock<std::mutex> lock(d.mutex, std::defer_lock);
    if (!desktopLocked)
        lock.lock();
    auto known = d.dcs.find(key);
    if (known == d.dcs.end())
        return nullptr;
    Dc entry;
    entry.kind = known->second.kind == desktop::detail::DcKind::Window ? DcKind::Window
                                                                        : DcKind::Screen;
    entry.hwnd = known->second.hwnd;
    return &EnterDc(key, entry);
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

void VisibleRects(const Dc& dc, const RECT& bounds, std::vector<RECT>& out)
{
    out.clear();
    if (!dc.hasClip) {
        if (bounds.left < bounds.right && bounds.top < bounds.bottom)
            out.push_back(bounds);
        return;
    }
    for (const RECT& rc : dc.clip) {
        const RECT cut = {std::max(rc.left, bounds.left), std::max(rc.top, bounds.top),
                          std::min(rc.right, bounds.right), std::min(rc.bottom, bounds.bottom)};
        if (cut.left < cut.right && cut.top < cut.bottom)
            out.push_back(cut);
    }
}

DcAccess::DcAccess(HDC hdc) : m_lock(Gdi().mutex)
{
    _open(hdc, false);
}

DcAccess::DcAccess(HDC hdc, DcAccess& held)
{
    _open(hdc, held.m_desktopLock.owns_lock());
}

void DcAccess::_open(HDC hdc, bool desktopHeld)
{
    Registry& r = Gdi();
    Dc* dc = r.FindDc(hdc, desktopHeld);
    if (dc == nullptr)
        return;
    // Where the surface has pixels, in the context's coordinates.
    RECT bounds = {0, 0, 0, 0};
    bool boundsSet = false;
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
        m_surface.mono = !b->dibSection && b->format.bpp == 1;
        // The stock bitmap is shared by every new context: drawing there
        // would reach them all, so it keeps nothing, as the screen does.
        if (b->stock)
            m_surface.base = nullptr;
    } else {
        desktop::detail::Desktop& d = desktop::detail::State();
        if (!desktopHeld)
            m_desktopLock = std::unique_lock<std::mutex>(d.mutex);
        m_surface.format = &windowFormat;
        m_surface.window = true;
        if (dc->kind == DcKind::Screen) {
            m_surface.width = int(d.display.width);
            m_surface.height = int(d.display.height);
        } else {
            desktop::detail::Window* w = d.FindWindow(dc->hwnd);
            // A child window draws into its top-level window's surface.
            desktop::detail::Window* top = w;
            while (top != nullptr && top->child)
                top = d.FindWindow(top->parent);
            if (w == nullptr || top == nullptr)
                return;  // the window is gone
            m_window = top;
            const int topWidth = top->surface.width, topHeight = top->surface.height;
            BYTE* pixels = reinterpret_cast<BYTE*>(top->surface.pixels.data());
            if (pixels == nullptr) {
                m_dc = dc;  // an empty surface keeps nothing
                _cacheVisible(RECT{0, 0, 0, 0});
                return;
            }
            const POINT at = d.ClientOrigin(*w), topAt = d.ClientOrigin(*top);
            const int64_t ox = int64_t(at.x) - topAt.x, oy = int64_t(at.y) - topAt.y;
            m_surface.width = int(w->client.right - w->client.left);
            m_surface.height = int(w->client.bottom - w->client.top);
            m_surface.stride = int64_t(topWidth) * 4;
            m_surface.base = pixels + oy * m_surface.stride + ox * 4;
            // Only the part of the client area that lies on the surface.
            boundsSet = true;
            bounds = RECT{LONG(std::max<int64_t>(0, -ox)), LONG(std::max<int64_t>(0, -oy)),
                          LONG(std::min<int64_t>(m_surface.width, topWidth - ox)),
                          LONG(std::min<int64_t>(m_surface.height, topHeight - oy))};
        }
    }
    m_dc = dc;
    if (!boundsSet)
        bounds = RECT{0, 0, m_surface.width, m_surface.height};
    _cacheVisible(bounds);
}

void DcAccess::_cacheVisible(const RECT& bounds)
{
    m_bounds = bounds;
    Dc& dc = *m_dc;
    const RECT& c = dc.cachedBounds;
    if (dc.cachedValid && c.left == bounds.left && c.top == bounds.top && c.right == bounds.right &&
        c.bottom == bounds.bottom)
        return;
    VisibleRects(dc, bounds, dc.visibleCache);
    dc.cachedBounds = bounds;
    dc.cachedValid = true;
}

DcAccess::~DcAccess()
{
    if (m_window != nullptr && m_touched.left < m_touched.right && m_touched.top < m_touched.bottom)
        _showOnScreen();
}

void DcAccess::Touch(int left, int top, int right, int bottom)
{
    if (m_window == nullptr || left >= right || top >= bottom)
        return;
    if (m_touched.left >= m_touched.right) {
        m_touched = RECT{left, top, right, bottom};
        return;
    }
    m_touched.left = std::min<LONG>(m_touched.left, left);
    m_touched.top = std::min<LONG>(m_touched.top, top);
    m_touched.right = std::max<LONG>(m_touched.right, right);
    m_touched.bottom = std::max<LONG>(m_touched.bottom, bottom);
}

// A screen shows what was drawn on a top-level window's surface: the drawn
// rectangle of the window's own context, or the whole surface when the
// context is a child's, placed within it.
void DcAccess::_showOnScreen()
{
    desktop::Backend* b = desktop::CurrentBackend();
    auto& top = *static_cast<desktop::detail::Window*>(m_window);
    const DWORD* pixels = top.surface.pixels.data();
    if (b == nullptr || pixels == nullptr)
        return;
    const bool own = m_surface.base == reinterpret_cast<const BYTE*>(pixels);
    const RECT in = own ? m_bounds : RECT{0, 0, top.surface.width, top.surface.height};
    RECT changed = own ? m_touched : in;
    changed.left = std::max(changed.left, in.left);
    changed.top = std::max(changed.top, in.top);
    changed.right = std::min(changed.right, in.right);
    changed.bottom = std::min(changed.bottom, in.bottom);
    if (changed.left < changed.right && changed.top < changed.bottom)
        b->Present(top.hwnd, pixels, top.surface.width, top.surface.height, changed);
}

void DcAccess::Refresh()
{
    m_dc->cachedValid = false;
    _cacheVisible(m_bounds);
}

void DcAccess::PutPixel(int x, int y, COLORREF color)
{
    FillSpan(x, x + 1, y, color);
}

void DcAccess::FillSpan(int x0, int x1, int y, COLORREF color)
{
    if (m_dc == nullptr || m_surface.base == nullptr)
        return;
    const DWORD value = EncodeColor(*m_surface.format, color);
    Touch(x0, y, x1, y + 1);
    BYTE* row = nullptr;
    for (const RECT& rc : visible()) {
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
    auto it = r.dcs.find(reinterpret_cast<uintptr_t>(dc));
    if (it != r.dcs.end())
        r.DropDc(it);
}

bool AddMemoryDc(HDC dc)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    Dc entry;
    entry.kind = DcKind::Memory;
    entry.bitmap = r.StockBitmap();
    r.EnterDc(reinterpret_cast<uintptr_t>(dc), entry);
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
    r.DropDc(it);
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

namespace {

// Sets one attribute of a context and gives the one it replaces; `invalid`
// for an unknown context.
template <typename T>
T SwapAttribute(HDC hdc, T Dc::*field, T value, T invalid)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    Dc* dc = r.FindDc(hdc);
    if (dc == nullptr)
        return invalid;
    const T previous = dc->*field;
    dc->*field = value;
    return previous;
}

template <typename T>
T ReadAttribute(HDC hdc, T Dc::*field, T invalid)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Dc* dc = r.FindDc(hdc);
    return dc == nullptr ? invalid : dc->*field;
}

}  // namespace

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF value)
{
    return SwapAttribute(hdc, &Dc::textColor, value, COLORREF(CLR_INVALID));
}

COLORREF WINAPI GetTextColor(HDC hdc)
{
    return ReadAttribute(hdc, &Dc::textColor, COLORREF(CLR_INVALID));
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF value)
{
    return SwapAttribute(hdc, &Dc::bkColor, value, COLORREF(CLR_INVALID));
}

COLORREF WINAPI GetBkColor(HDC hdc)
{
    return ReadAttribute(hdc, &Dc::bkColor, COLORREF(CLR_INVALID));
}

int WINAPI SetBkMode(HDC hdc, int value)
{
    if (value != TRANSPARENT && value != OPAQUE)
        return 0;
    return SwapAttribute(hdc, &Dc::bkMode, value, 0);
}

int WINAPI GetBkMode(HDC hdc)
{
    return ReadAttribute(hdc, &Dc::bkMode, 0);
}

int WINAPI SetStretchBltMode(HDC hdc, int value)
{
    if (value < BLACKONWHITE || value > HALFTONE)
        return 0;
    return SwapAttribute(hdc, &Dc::stretchMode, value, 0);
}

int WINAPI GetStretchBltMode(HDC hdc)
{
    return ReadAttribute(hdc, &Dc::stretchMode, 0);
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
