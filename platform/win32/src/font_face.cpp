// Matching a logical font to installed faces (fontconfig), opening and sizing
// them (FreeType), and the Win32 text metrics of the result.
//
// Heights follow Win32: a negative height is the em size in pixels, a
// positive one the cell height (ascent + descent), both taken from the
// face's Windows ascent and descent when it has them.
#include "font_internal.h"

#include <fontconfig/fontconfig.h>
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace win32font {

namespace {

// The engine lays text out fixed-pitch: a single-byte character advances half
// the font's height, a double-byte one the whole height. So a font gets a
// monospace face unless the host names a proportional one: the default, a
// fixed-pitch request and the fixed-pitch faces games name all map to faces
// whose glyphs fit those advances.
const char kLatinFixed[] = "DejaVu Sans Mono";
const char kChineseFixed[] = "WenQuanYi Micro Hei Mono";
const char kLatinProportional[] = "DejaVu Sans";
const char kChineseProportional[] = "WenQuanYi Micro Hei";
// The cell height of a font whose height is 0.
const int64_t kDefaultCellHeight = 16;
// Larger fonts are refused: a glyph of one would take hundreds of megabytes.
const int64_t kMaxHeight = 4096;

// Windows faces a game names, and what stands in for them here. A family of
// null is the fixed-pitch default for the font's character set: the names
// that stand for "the system's font" rather than for a design.
struct Alias {
    const char* name;
    const char* family;
};
const Alias kAliases[] = {
    {"Arial", kLatinProportional},
    {"Tahoma", kLatinProportional},
    {"Verdana", kLatinProportional},
    {"Times New Roman", kLatinProportional},
    {"MS Sans Serif", kLatinProportional},
    {"Microsoft Sans Serif", kLatinProportional},
    {"System", nullptr},
    {"MS Shell Dlg", nullptr},
    {"MS Shell Dlg 2", nullptr},
    {"Courier New", kLatinFixed},
    {"Courier", kLatinFixed},
    {"Lucida Console", kLatinFixed},
    {"Consolas", kLatinFixed},
    {"Fixedsys", kLatinFixed},
    {"Terminal", kLatinFixed},
    {"SimSun", kChineseFixed},
    {"NSimSun", kChineseFixed},
    {"SimHei", kChineseFixed},
    {"KaiTi", kChineseFixed},
    {"FangSong", kChineseFixed},
    {"KaiTi_GB2312", kChineseFixed},
    {"FangSong_GB2312", kChineseFixed},
    {"Microsoft YaHei", kChineseProportional},
    {"\xE5\xAE\x8B\xE4\xBD\x93", kChineseFixed},              // SimSun's own name
    {"\xE6\x96\xB0\xE5\xAE\x8B\xE4\xBD\x93", kChineseFixed},  // NSimSun's
    {"\xE9\xBB\x91\xE4\xBD\x93", kChineseFixed},              // SimHei's
    {"\xE6\xA5\xB7\xE4\xBD\x93", kChineseFixed},              // KaiTi's
    {"\xE4\xBB\xBF\xE5\xAE\x8B", kChineseFixed},              // FangSong's
    {"\xE6\xA5\xB7\xE4\xBD\x93_GB2312", kChineseFixed},       // KaiTi_GB2312's
    {"\xE4\xBB\xBF\xE5\xAE\x8B_GB2312", kChineseFixed},       // FangSong_GB2312's
    {"\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91", kChineseProportional},  // YaHei's
};

bool IsChineseCharset(BYTE charSet)
{
    return charSet == GB2312_CHARSET || charSet == CHINESEBIG5_CHARSET;
}

int64_t RoundDiv(int64_t a, int64_t b)
{
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

struct Match {
    std::string file;
    int index = 0;
};

bool FcInitialised()
{
    // fontconfig loads its configuration once per process, and keeps it.
    static bool ok = FcInit() == FcTrue;
    return ok;
}

// The installed face closest to the request. With mustBeFamily, a face of
// another family (fontconfig's own substitute) does not count.
bool MatchFace(const std::string& family, const char* lang, int weight, bool italic,
               bool mustBeFamily, Match& out)
{
    if (!FcInitialised())
        return false;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return false;
    if (!family.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    if (lang != nullptr)
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return false;

    bool ok = true;
    if (mustBeFamily) {
        ok = false;
        FcChar8* name = nullptr;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
            if (strcasecmp(reinterpret_cast<const char*>(name), family.c_str()) == 0) {
                ok = true;
                break;
            }
        }
    }
    FcChar8* file = nullptr;
    if (ok && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        out.file = reinterpret_cast<const char*>(file);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch)
            out.index = index;
    } else {
        ok = false;
    }
    FcPatternDestroy(match);
    return ok;
}

// True when the request asks for equal advances: FIXED_PITCH, or the modern
// family, whose faces are fixed-pitch.
bool WantsFixedPitch(const LOGFONTA& lf)
{
    return (lf.lfPitchAndFamily & 0x03) == FIXED_PITCH ||
           (lf.lfPitchAndFamily & 0xF0) == FF_MODERN;
}

const char* FixedFamilyFor(const LOGFONTA& lf)
{
    return IsChineseCharset(lf.lfCharSet) ? kChineseFixed : kLatinFixed;
}

// The family to ask for. A fixed-pitch request gets a fixed-pitch face
// whatever it names; otherwise a known alias, or the name itself when a face
// of that family is installed; anything else (no name, a face that is not
// here) the fixed-pitch face for the font's character set.
std::string FamilyFor(const LOGFONTA& lf, int weight, bool italic)
{
    const std::string name = FaceNameToUtf8(lf.lfFaceName);
    for (const Alias& alias : kAliases) {
        if (strcasecmp(alias.name, name.c_str()) != 0)
            continue;
        if (alias.family == nullptr || WantsFixedPitch(lf))
            return FixedFamilyFor(lf);
        if (alias.family == kLatinFixed && IsChineseCharset(lf.lfCharSet))
            return kChineseFixed;
        return alias.family;
    }
    if (WantsFixedPitch(lf))
        return FixedFamilyFor(lf);
    Match probe;
    if (!name.empty() && MatchFace(name, nullptr, weight, italic, true, probe))
        return name;
    return FixedFamilyFor(lf);
}

bool OpenFace(Registry& r, const Match& m, int weight, bool italic, FT_F26Dot6 em64, Face& face)
{
    if (r.library == nullptr && FT_Init_FreeType(&r.library) != 0) {
        r.library = nullptr;
        return false;
    }
    FT_Face ft = nullptr;
    if (FT_New_Face(r.library, m.file.c_str(), m.index, &ft) != 0)
        return false;
    if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0 ||
        (em64 != 0 && FT_Set_Char_Size(ft, 0, em64, 72, 72) != 0)) {
        FT_Done_Face(ft);
        return false;
    }
    face.face = ft;
    face.file = m.file;
    face.index = m.index;
    // What the installed face lacks is drawn: bold from semi-bold up, a
    // slant for italic. The face's own tables say what it has (fontconfig
    // reports the weight it was asked for when it would embolden).
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    const int faceWeight = os2 != nullptr && os2->version != 0xFFFF && os2->usWeightClass != 0
                               ? int(os2->usWeightClass)
                               : ((ft->style_flags & FT_STYLE_FLAG_BOLD) ? FW_BOLD : FW_NORMAL);
    face.syntheticBold = weight >= FW_SEMIBOLD && faceWeight < FW_SEMIBOLD;
    face.syntheticItalic = italic && (ft->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
    return true;
}

// The face's ascent and descent as Windows measures them, in font units.
void WinAscentDescent(FT_Face face, int64_t& ascent, int64_t& descent)
{
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    } else {
        ascent = face->ascender;
        descent = -face->descender;
    }
    if (ascent + descent <= 0) {
        ascent = face->units_per_EM * 4 / 5;
        descent = face->units_per_EM - ascent;
    }
}

// Sizes from the height's sign rule; false for a height that is refused.
bool SizeFor(FT_Face face, LONG lfHeight, FT_F26Dot6& em64, TEXTMETRICA& tm)
{
    int64_t height = lfHeight == 0 ? kDefaultCellHeight : int64_t(lfHeight);
    if (height < -kMaxHeight || height > kMaxHeight)
        return false;
    int64_t winAscent, winDescent;
    WinAscentDescent(face, winAscent, winDescent);
    const int64_t upem = face->units_per_EM;
    const int64_t cell = winAscent + winDescent;
    if (height < 0) {
        const int64_t em = -height;
        em64 = FT_F26Dot6(em * 64);
        tm.tmAscent = LONG(RoundDiv(winAscent * em, upem));
        tm.tmDescent = LONG(RoundDiv(winDescent * em, upem));
    } else {
        em64 = FT_F26Dot6(RoundDiv(height * 64 * upem, cell));
        tm.tmAscent = LONG(RoundDiv(winAscent * height, cell));
        tm.tmDescent = LONG(height - tm.tmAscent);
    }
    if (em64 < 64)
        em64 = 64;  // FreeType's smallest size
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = LONG(tm.tmHeight - RoundDiv(em64, 64));
    return true;
}

// The rest of the metrics, scaled from font units.
void FillMetrics(FT_Face face, const LOGFONTA& lf, FT_F26Dot6 em64, bool fixedPitch,
                 TEXTMETRICA& tm)
{
    const int64_t upem64 = int64_t(face->units_per_EM) * 64;
    auto scale = [&](int64_t units) { return LONG(RoundDiv(units * em64, upem64)); };
    int64_t winAscent, winDescent;
    WinAscentDescent(face, winAscent, winDescent);
    const TT_HoriHeader* hhea =
        static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    int64_t gap = 0;
    if (hhea != nullptr)
        gap = hhea->Line_Gap - ((winAscent + winDescent) - (hhea->Ascender - hhea->Descender));
    tm.tmExternalLeading = gap > 0 ? scale(gap) : 0;
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->xAvgCharWidth > 0)
        tm.tmAveCharWidth = scale(os2->xAvgCharWidth);
    else
        tm.tmAveCharWidth = scale(face->max_advance_width / 2);
    tm.tmMaxCharWidth = scale(face->bbox.xMax - face->bbox.xMin);
    tm.tmWeight = lf.lfWeight == 0 ? FW_NORMAL : lf.lfWeight;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = lf.lfItalic ? 1 : 0;
    tm.tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    tm.tmPitchAndFamily = BYTE(TMPF_VECTOR | TMPF_TRUETYPE |
                               (fixedPitch ? 0 : TMPF_FIXED_PITCH) |
                               (lf.lfPitchAndFamily & 0xF0));
    tm.tmCharSet = lf.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.lfCharSet;
}

int WeightOf(const LOGFONTA& lf)
{
    if (lf.lfWeight <= 0)
        return FW_NORMAL;
    return lf.lfWeight > 1000 ? 1000 : int(lf.lfWeight);
}

// What makes two logical fonts alike: every field, the face name up to its
// end (a full one needs no terminating zero).
std::string FaceKey(const LOGFONTA& lf)
{
    std::string key;
    auto put32 = [&key](LONG v) {
        for (int i = 0; i < 4; ++i)
            key += char((uint32_t(v) >> (8 * i)) & 0xFF);
    };
    put32(lf.lfHeight);
    put32(lf.lfWidth);
    put32(lf.lfEscapement);
    put32(lf.lfOrientation);
    put32(lf.lfWeight);
    const BYTE bytes[] = {lf.lfItalic,       lf.lfUnderline,    lf.lfStrikeOut,
                          lf.lfCharSet,      lf.lfOutPrecision, lf.lfClipPrecision,
                          lf.lfQuality,      lf.lfPitchAndFamily};
    key.append(reinterpret_cast<const char*>(bytes), sizeof(bytes));
    key.append(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    return key;
}

// Matches and sizes a new face for the font; null when nothing can be
// opened.
std::shared_ptr<Realized> MakeRealized(Registry& r, const LOGFONTA& lf)
{
    const int weight = WeightOf(lf);
    const bool italic = lf.lfItalic != 0;
    const std::string family = FamilyFor(lf, weight, italic);
    Match m;
    // The family by name when installed, else whatever face is closest, so
    // text renders even without the expected fonts.
    if (!MatchFace(family, nullptr, weight, italic, true, m) &&
        !MatchFace(family, nullptr, weight, italic, false, m))
        return nullptr;

    std::shared_ptr<Realized> realized(new Realized);
    if (!OpenFace(r, m, weight, italic, 0, realized->primary))
        return nullptr;
    FT_Face face = realized->primary.face;
    if (!SizeFor(face, lf.lfHeight, realized->em64, realized->tm) ||
        FT_Set_Char_Size(face, 0, realized->em64, 72, 72) != 0)
        return nullptr;
    // The Chinese monospace face is not fixed-width to FreeType (its
    // characters take two letters' width), but it is what Win32 calls fixed
    // pitch.
    realized->fixedPitch = FT_IS_FIXED_WIDTH(face) || family == kLatinFixed ||
                           family == kChineseFixed;
    FillMetrics(face, lf, realized->em64, realized->fixedPitch, realized->tm);
    return realized;
}

}  // namespace

bool Realize(Registry& r, Font& font)
{
    if (font.realized)
        return true;
    if (font.realizeFailed)
        return false;
    // A font made like one before takes its face, glyphs and all.
    const std::string key = FaceKey(font.lf);
    auto it = r.faces.find(key);
    if (it != r.faces.end()) {
        font.realized = it->second;
    } else {
        font.realized = MakeRealized(r, font.lf);
        if (!font.realized) {
            font.realizeFailed = true;
            return false;
        }
        r.faces[key] = font.realized;
        r.TrimFaces();
    }
    font.realized->lastUse = ++r.faceClock;
    return true;
}

Face& FaceForChar(Registry& r, Realized& font, char32_t ch, FT_UInt& index)
{
    index = FT_Get_Char_Index(font.primary.face, ch);
    if (index != 0 || ch < 0x80)
        return font.primary;
    if (!font.fallbackTried) {
        font.fallbackTried = true;
        const int weight = font.tm.tmWeight;
        const bool italic = font.tm.tmItalic != 0;
        Match m;
        const char* family = font.fixedPitch ? kChineseFixed : kChineseProportional;
        if ((MatchFace(family, nullptr, weight, italic, true, m) ||
             MatchFace("", "zh-cn", weight, italic, false, m)) &&
            !(m.file == font.primary.file && m.index == font.primary.index))
            OpenFace(r, m, weight, italic, font.em64, font.fallback);
    }
    if (font.fallback.face != nullptr) {
        const FT_UInt other = FT_Get_Char_Index(font.fallback.face, ch);
        if (other != 0) {
            index = other;
            return font.fallback;
        }
    }
    return font.primary;  // index 0: the face's missing-glyph box
}

}  // namespace win32font

// GCC names an address-sanitized build by a macro, clang by a feature.
#if defined(__SANITIZE_ADDRESS__)
#define KESTREL_FONT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTREL_FONT_ASAN 1
#endif
#endif

#if defined(KESTREL_FONT_ASAN)
// fontconfig loses a few bytes while it parses its configuration files, once
// per process; the leak checker is told so, and nothing else is hidden.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
#endif
