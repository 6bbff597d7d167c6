// Logical palettes in the metafile player. The canvas holds true colours,
// so a palette only names colours: a COLORREF of the PALETTEINDEX form
// (0x01 in its top byte) stands for an entry of the selected palette, and a
// bitmap of DIB_PAL_COLORS holds entry numbers in its colour table. A
// context starts with the default palette, the twenty static colours.
// Entries are kept as PALETTEENTRY (red, green, blue, flags), the order in
// which the system writes them into both formats.
#include "metafile_palette.h"

#include <algorithm>

namespace win32metafile {

namespace {

constexpr DWORD kDefaultPaletteStock = 15;
constexpr BYTE kPaletteIndexFlag = 0x01;

// The most entries a logical palette holds (its count is 16 bits).
constexpr size_t kMaxEntries = 0xFFFF;

const std::vector<PALETTEENTRY>& DefaultPalette()
{
    static const std::vector<PALETTEENTRY> kDefault = {
        {0x00, 0x00, 0x00, 0}, {0x80, 0x00, 0x00, 0}, {0x00, 0x80, 0x00, 0},
        {0x80, 0x80, 0x00, 0}, {0x00, 0x00, 0x80, 0}, {0x80, 0x00, 0x80, 0},
        {0x00, 0x80, 0x80, 0}, {0xC0, 0xC0, 0xC0, 0}, {0xC0, 0xDC, 0xC0, 0},
        {0xA6, 0xCA, 0xF0, 0}, {0xFF, 0xFB, 0xF0, 0}, {0xA0, 0xA0, 0xA4, 0},
        {0x80, 0x80, 0x80, 0}, {0xFF, 0x00, 0x00, 0}, {0x00, 0xFF, 0x00, 0},
        {0xFF, 0xFF, 0x00, 0}, {0x00, 0x00, 0xFF, 0}, {0xFF, 0x00, 0xFF, 0},
        {0x00, 0xFF, 0xFF, 0}, {0xFF, 0xFF, 0xFF, 0},
    };
    return kDefault;
}

// `count` entries of four bytes from byte `at`, as many as the record holds.
std::vector<PALETTEENTRY> ReadEntries(const RecordBytes& r, size_t at, size_t count)
{
    std::vector<PALETTEENTRY> out;
    const BYTE* p = r.Data();
    for (size_t i = 0; i < count && r.Has(at + 4 * i, 4); i++) {
        const BYTE* e = p + at + 4 * i;
        out.push_back({e[0], e[1], e[2], e[3]});
    }
    return out;
}

// Entries from `start` on replaced by `entries`, as far as the palette
// reaches; with `animate` only those the palette marks reserved. False when
// none lies inside it.
bool SetEntries(std::vector<PALETTEENTRY>& palette, size_t start,
                const std::vector<PALETTEENTRY>& entries, bool animate)
{
    if (start >= palette.size() || entries.empty())
        return false;
    for (size_t i = 0; i < entries.size() && start + i < palette.size(); i++) {
        PALETTEENTRY& e = palette[start + i];
        if (animate && !(e.peFlags & PC_RESERVED))
            continue;
        e = entries[i];
    }
    return true;
}

// A new palette's size: grown entries are black.
bool Resize(std::vector<PALETTEENTRY>* palette, DWORD entries)
{
    if (palette == nullptr || entries == 0 || entries > kMaxEntries)
        return false;
    palette->resize(entries, PALETTEENTRY{0, 0, 0, 0});
    return true;
}

Object PaletteObject(std::vector<PALETTEENTRY> entries)
{
    Object o;
    o.kind = Object::kPalette;
    o.palette = std::make_shared<std::vector<PALETTEENTRY>>(std::move(entries));
    return o;
}

}  // namespace

COLORREF Player::Colour(DWORD ref) const
{
    if ((ref >> 24) != kPaletteIndexFlag)
        return ref & 0xFFFFFF;
    return EntryColour(PaletteEntries(), ref & 0xFFFF);
}

const std::vector<PALETTEENTRY>& Player::PaletteEntries() const
{
    const std::vector<PALETTEENTRY>* p = m_state.palette.get();
    return p != nullptr && !p->empty() ? *p : DefaultPalette();
}

bool Player::SelectPalette(size_t slot)
{
    if (slot >= m_objects.size() || m_objects[slot].kind != Object::kPalette)
        return false;
    m_state.palette = m_objects[slot].palette;
    return true;
}

std::vector<PALETTEENTRY>* Player::PaletteAt(size_t slot)
{
    if (slot >= m_objects.size() || m_objects[slot].kind != Object::kPalette)
        return nullptr;
    return m_objects[slot].palette.get();
}

COLORREF EntryColour(const std::vector<PALETTEENTRY>& palette, size_t i)
{
    if (palette.empty())
        return 0;
    const PALETTEENTRY& e = palette[i < palette.size() ? i : 0];
    return RGB(e.peRed, e.peGreen, e.peBlue);
}

void UsePaletteIndexes(DWORD usage, const Player& player, DibRef& dib)
{
    dib.palette = usage == DIB_PAL_COLORS ? &player.PaletteEntries() : nullptr;
}

bool PlayEnhancedPalette(DWORD type, const RecordBytes& r, Player& player)
{
    DWORD slot = 0, a = 0, b = 0;
    r.U32(8, slot);
    switch (type) {
    case kEmrCreatePalette: {
        // Slot, then LOGPALETTE: version, a 16-bit count, the entries.
        WORD count = 0;
        r.U16(14, count);
        return player.Put(slot, PaletteObject(ReadEntries(r, 16, count)));
    }
    case kEmrSelectPalette:
        if (slot == (kStockFlag | kDefaultPaletteStock)) {
            player.SelectDefaultPalette();
            return true;
        }
        return player.SelectPalette(slot);
    case kEmrSetPaletteEntries: {
        // Slot, first entry, count, the entries.
        std::vector<PALETTEENTRY>* palette = player.PaletteAt(slot);
        r.U32(12, a);
        r.U32(16, b);
        return palette != nullptr &&
               SetEntries(*palette, a, ReadEntries(r, 20, std::min<DWORD>(b, kMaxEntries)), false);
    }
    case kEmrResizePalette:
        r.U32(12, a);
        return Resize(player.PaletteAt(slot), a);
    case kEmrRealizePalette:
        return true;  // the canvas has no hardware palette to map
    default:
        return false;
    }
}

bool PlayWindowsPalette(WORD function, const RecordBytes& r, Player& player)
{
    const WindowsParams p(r);
    switch (function) {
    case kWmfCreatePalette: {
        // The palette takes the first free slot; even a damaged one, so
        // that the slots after it stay right.
        const size_t slot = player.FreeSlot();
        return player.Put(slot, PaletteObject(ReadEntries(r, 10, (WORD)p.W(1))));
    }
    case kWmfSelectPalette:
        return player.SelectPalette((WORD)p.W(0));
    case kWmfSetPalEntries:
    case kWmfAnimatePalette: {
        // The selected palette: first entry, count, the entries.
        std::vector<PALETTEENTRY>* palette = player.SelectedPalette();
        return palette != nullptr &&
               SetEntries(*palette, (WORD)p.W(0), ReadEntries(r, 10, (WORD)p.W(1)),
                          function == kWmfAnimatePalette);
    }
    case kWmfResizePalette:
        return Resize(player.SelectedPalette(), (WORD)p.W(0));
    case kWmfRealizePalette:
        return true;
    default:
        return false;
    }
}

}  // namespace win32metafile
