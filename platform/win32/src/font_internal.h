// The font side of the Win32 GDI subset: logical fonts, memory device
// contexts that hold a selected font, and the faces behind them. Not
// installed: nothing outside kplatform sees it.
#pragma once

#include <windows.h>

#include "font_cache.h"
#include "font_codes.h"
#include "font_gbk.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace win32font {

// Font handles lie in their own range above 4 GiB, so a handle cut to 32
// bits, or a handle of another kind, is never taken for a font.
constexpr uintptr_t kFontHandleBase = uintptr_t(0x46) << 32;

// One opened face with what must be drawn on top of it because the installed
// face lacks the asked weight or slant.
struct Face {
    FT_Face face = nullptr;
    bool syntheticBold = false;
    bool syntheticItalic = false;
    std::string file;
    int index = 0;
};

// A font once it has been matched to installed faces and sized, with the
// glyphs rendered from it. Fonts made with the same LOGFONTA share one.
struct Realized {
    Face primary;
    Face fallback;               // double-byte text the primary face lacks
    bool fallbackTried = false;
    bool fixedPitch = false;     // the fallback is then fixed-pitch too
    FT_F26Dot6 em64 = 0;         // the em size in 1/64 pixels
    TEXTMETRICA tm = {};
    GlyphCache glyphs;
    uint64_t lastUse = 0;        // the registry's clock when a font last took or left it
    ~Realized();
};

struct Font {
    LOGFONTA lf = {};
    bool stock = false;
    int selected = 0;            // memory contexts holding it
    bool realizeFailed = false;
    std::shared_ptr<Realized> realized;
};

struct MemoryDc {
    HFONT font = nullptr;
};

// Everything the font calls share; one mutex guards all of it (FreeType
// objects are not safe to share across threads).
struct Registry {
    std::mutex mutex;
    std::map<uintptr_t, std::unique_ptr<Font>> fonts;
    std::map<uintptr_t, MemoryDc> dcs;
    uint64_t fontSerial = 0;
    // Matched faces by the LOGFONTA they were made for. A face no font
    // holds stays for the next font made alike (a caller that makes a font
    // for every text it draws), the few most recently used of them only.
    std::map<std::string, std::shared_ptr<Realized>> faces;
    uint64_t faceClock = 0;
    HFONT stockSystem = nullptr;
    HFONT stockGui = nullptr;
    FT_Library library = nullptr;  // made on first use, kept for the process

    // All of these expect the mutex held.
    Font* FindFont(HGDIOBJ handle);
    MemoryDc* FindDc(HDC dc);
    HFONT AddFont(const LOGFONTA& lf, bool stock);
    HFONT StockFont(int object);    // null for a number that is not a stock font
    // Drops the least recently used faces no font holds beyond the few kept,
    // or all of them.
    void TrimFaces(bool all = false);
};

// Kept for the life of the process, so no face outlives its library.
Registry& Fonts();

// The font selected into a context, matched and sized; null when the
// context is unknown or no face could be opened. A window or screen context
// (desktopDc) that never had a font selected has the system font. Expects
// the mutex held.
Font* RealizedFontOf(Registry& r, HDC dc, bool desktopDc);

// Whether the desktop made the context for a window or the screen. Asked
// before the registry's mutex is taken (the desktop's comes first).
bool IsDesktopDc(HDC dc);

// Forgets the font selected into a window or screen context that was
// released.
void ForgetFontDc(HDC dc);

// Matches the font to installed faces and sizes them; false when nothing can
// be opened. Expects the mutex held.
bool Realize(Registry& r, Font& font);
// The glyph of a code in 1-bit (mono) or grey rows, from the font's cache or
// rendered into it; never null (a glyph that is not ok stands for a code
// without one). Expects the mutex held.
GlyphPtr GlyphOf(Registry& r, Realized& font, UINT code, bool mono);
// The face that holds the character (the primary one, else the fallback for
// double-byte text, else the primary face's missing-glyph box) and the glyph
// index in it. Expects the mutex held.
Face& FaceForChar(Registry& r, Realized& font, char32_t ch, FT_UInt& index);
// The face and glyph index of any code of font_codes.h: a character's as
// FaceForChar finds them, a glyph number's in the primary face. Null for a
// code that names nothing. Expects the mutex held.
Face* FaceForCode(Registry& r, Realized& font, UINT code, FT_UInt& index);

}  // namespace win32font
