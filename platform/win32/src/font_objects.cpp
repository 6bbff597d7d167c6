// Logical fonts and the GDI object calls: CreateFontA, CreateFontIndirectA,
// GetStockObject and DeleteObject.
#include "font_internal.h"
#include "desktop_internal.h"
#include "region_internal.h"
#include "gdi_internal.h"

#include <algorithm>
#include <cstring>

using namespace win32font;

namespace win32font {

Realized::~Realized()
{
    if (primary.face != nullptr)
        FT_Done_Face(primary.face);
    if (fallback.face != nullptr)
        FT_Done_Face(fallback.face);
}

Registry& Fonts()
{
    // Never destroyed: faces and contexts may be released by other static
    // objects' destructors at exit.
    static Registry* registry = new Registry;
    return *registry;
}

Font* Registry::FindFont(HGDIOBJ handle)
{
    auto it = fonts.find(reinterpret_cast<uintptr_t>(handle));
    return it == fonts.end() ? nullptr : it->second.get();
}

MemoryDc* Registry::FindDc(HDC dc)
{
    auto it = dcs.find(reinterpret_cast<uintptr_t>(dc));
    return it == dcs.end() ? nullptr : &it->second;
}

HFONT Registry::AddFont(const LOGFONTA& lf, bool stock)
{
    std::unique_ptr<Font> font(new Font);
    font->lf = lf;
    font->stock = stock;
    const uintptr_t handle = kFontHandleBase + ++fontSerial;
    fonts[handle] = std::move(font);
    return reinterpret_cast<HFONT>(handle);
}

namespace {

// Faces no font holds that are kept for fonts made alike later.
const size_t kIdleFaces = 8;

}  // namespace

void Registry::TrimFaces(bool all)
{
    std::vector<std::map<std::string, std::shared_ptr<Realized>>::iterator> idle;
    for (auto it = faces.begin(); it != faces.end(); ++it)
        if (it->second.use_count() == 1)  // the registry's own reference
            idle.push_back(it);
    const size_t keep = all ? 0 : kIdleFaces;
    if (idle.size() <= keep)
        return;
    std::sort(idle.begin(), idle.end(), [](const auto& a, const auto& b) {
        return a->second->lastUse < b->second->lastUse;
    });
    for (size_t i = 0; i + keep < idle.size(); ++i)
        faces.erase(idle[i]);
}

// The stock fonts: the system font a new context starts with, and the font
// of dialogs and controls.
HFONT Registry::StockFont(int object)
{
    if (object != SYSTEM_FONT && object != DEFAULT_GUI_FONT)
        return nullptr;
    HFONT& slot = object == SYSTEM_FONT ? stockSystem : stockGui;
    if (slot == nullptr) {
        LOGFONTA lf = {};
        if (object == SYSTEM_FONT) {
            lf.lfHeight = 16;
            lf.lfWeight = FW_BOLD;
            std::strcpy(lf.lfFaceName, "System");
        } else {
            lf.lfHeight = -11;
            lf.lfWeight = FW_NORMAL;
            std::strcpy(lf.lfFaceName, "MS Shell Dlg");
        }
        lf.lfCharSet = DEFAULT_CHARSET;
        slot = AddFont(lf, true);
    }
    return slot;
}

}  // namespace win32font

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lf)
{
    if (desktop::detail::ShouldFail("CreateFontIndirectA") || lf == nullptr)
        return nullptr;
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.AddFont(*lf, false);
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                         DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                         DWORD pitchAndFamily, LPCSTR faceName)
{
    if (desktop::detail::ShouldFail("CreateFontA"))
        return nullptr;
    LOGFONTA lf = {};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = BYTE(italic);
    lf.lfUnderline = BYTE(underline);
    lf.lfStrikeOut = BYTE(strikeOut);
    lf.lfCharSet = BYTE(charSet);
    lf.lfOutPrecision = BYTE(outPrecision);
    lf.lfClipPrecision = BYTE(clipPrecision);
    lf.lfQuality = BYTE(quality);
    lf.lfPitchAndFamily = BYTE(pitchAndFamily);
    if (faceName != nullptr)
        std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);  // cut, always terminated
    return CreateFontIndirectA(&lf);
}

HGDIOBJ WINAPI GetStockObject(int object)
{
    if (object == DEFAULT_PALETTE) {
        gdi::Registry& g = gdi::Gdi();
        std::lock_guard<std::mutex> lock(g.mutex);
        return g.StockPalette();
    }
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.StockFont(object);
}

BOOL WINAPI DeleteObject(HGDIOBJ object)
{
    if (win32region::DeleteRegion(object))
        return TRUE;
    if (const int done = gdi::DeleteGdiObject(object))
        return done > 0 ? TRUE : FALSE;
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    Font* font = r.FindFont(object);
    if (font == nullptr)
        return FALSE;
    if (font->stock)
        return TRUE;
    // A context still draws with it: freeing it now would leave the context
    // holding a dead font.
    if (font->selected > 0)
        return FALSE;
    // Its face, if no other font holds it, is now the most recently left.
    if (font->realized)
        font->realized->lastUse = ++r.faceClock;
    r.fonts.erase(reinterpret_cast<uintptr_t>(object));
    r.TrimFaces();
    return TRUE;
}

namespace {

const GlyphCache* CacheOf(Registry& r, HFONT handle)
{
    const Font* font = r.FindFont(handle);
    return font != nullptr && font->realized ? &font->realized->glyphs : nullptr;
}

}  // namespace

size_t win32font::CachedGlyphCount(HFONT handle)
{
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    const GlyphCache* cache = CacheOf(r, handle);
    return cache != nullptr ? cache->Count() : 0;
}

size_t win32font::CachedGlyphBytes(HFONT handle)
{
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    const GlyphCache* cache = CacheOf(r, handle);
    return cache != nullptr ? cache->Bytes() : 0;
}

void win32font::ForgetIdleFaces()
{
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.TrimFaces(true);
}
