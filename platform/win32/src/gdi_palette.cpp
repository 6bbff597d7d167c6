// Logical palettes. Every surface here is true-colour or carries its own
// colour table, so a palette is kept and handed back but changes no pixel.
#include "gdi_internal.h"
#include "desktop_internal.h"

#include <algorithm>
#include <cstring>

using namespace gdi;

namespace gdi {

HPALETTE Registry::StockPalette()
{
    if (stockPalette == nullptr) {
        // The 20 reserved colours of the system palette.
        static const BYTE colors[20][3] = {
            {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
            {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
            {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
            {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
        std::vector<PALETTEENTRY> entries;
        for (const auto& c : colors)
            entries.push_back(PALETTEENTRY{c[0], c[1], c[2], 0});
        const uintptr_t handle = kPaletteHandleBase + ++paletteSerial * 16;
        palettes[handle] = std::move(entries);
        stockPalette = reinterpret_cast<HPALETTE>(handle);
    }
    return stockPalette;
}

HGDIOBJ SelectPaletteLocked(Registry& r, Dc& dc, HGDIOBJ object)
{
    if (r.palettes.count(reinterpret_cast<uintptr_t>(object)) == 0)
        return nullptr;
    const HPALETTE previous = dc.palette != nullptr ? dc.palette : r.StockPalette();
    dc.palette = static_cast<HPALETTE>(object);
    return previous;
}

int PaletteObject(HGDIOBJ object, int size, LPVOID buffer)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.palettes.find(reinterpret_cast<uintptr_t>(object));
    if (it == r.palettes.end())
        return 0;
    if (buffer == nullptr)
        return sizeof(WORD);
    if (size < int(sizeof(WORD)))
        return 0;
    const WORD count = WORD(it->second.size());
    std::memcpy(buffer, &count, sizeof(count));
    return sizeof(WORD);
}

// 1 freed (or stock), 0 not a palette, -1 still selected.
int DeletePalette(HGDIOBJ object)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    const uintptr_t key = reinterpret_cast<uintptr_t>(object);
    if (r.palettes.count(key) == 0)
        return 0;
    if (object == r.stockPalette)
        return 1;
    for (const auto& dc : r.dcs)
        if (dc.second.palette == object)
            return -1;
    r.palettes.erase(key);
    return 1;
}

}  // namespace gdi

HPALETTE WINAPI CreatePalette(const LOGPALETTE* palette)
{
    if (desktop::detail::ShouldFail("CreatePalette") || palette == nullptr ||
        palette->palVersion != 0x300 || palette->palNumEntries == 0)
        return nullptr;
    std::vector<PALETTEENTRY> entries(palette->palPalEntry,
                                      palette->palPalEntry + palette->palNumEntries);
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    const uintptr_t handle = kPaletteHandleBase + ++r.paletteSerial * 16;
    r.palettes[handle] = std::move(entries);
    return reinterpret_cast<HPALETTE>(handle);
}

UINT WINAPI GetPaletteEntries(HPALETTE palette, UINT start, UINT count, LPPALETTEENTRY entries)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.palettes.find(reinterpret_cast<uintptr_t>(palette));
    if (it == r.palettes.end())
        return 0;
    const std::vector<PALETTEENTRY>& all = it->second;
    if (entries == nullptr)
        return UINT(all.size());
    if (start >= all.size())
        return 0;
    const UINT n = std::min<UINT>(count, UINT(all.size()) - start);
    std::copy(all.begin() + start, all.begin() + start + n, entries);
    return n;
}

HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE palette, BOOL)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    Dc* dc = r.FindDc(hdc);
    if (dc == nullptr)
        return nullptr;
    return static_cast<HPALETTE>(SelectPaletteLocked(r, *dc, palette));
}

UINT WINAPI RealizePalette(HDC hdc)
{
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.FindDc(hdc) == nullptr ? UINT(GDI_ERROR) : 0;
}
