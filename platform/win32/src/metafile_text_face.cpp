// The face a metafile's font is drawn with: the one it names when the
// machine has it, otherwise one of the same kind, so a serif text stays
// serif and a table set in a fixed-pitch face keeps its columns.
#include "metafile_text.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>

namespace win32metafile {

namespace {

// The stand-ins of each kind, best first: faces as wide as the ones other
// systems lay text out with, so a line keeps its length, then the faces
// the platform always has.
const char* const kSerif[] = {"Nimbus Roman", "DejaVu Serif"};
const char* const kSans[] = {"Nimbus Sans", "DejaVu Sans"};
const char* const kFixed[] = {"Nimbus Mono PS", "DejaVu Sans Mono"};
const char* const kChinese[] = {"WenQuanYi Micro Hei"};
const char* const kChineseFixed[] = {"WenQuanYi Micro Hei Mono"};

constexpr BYTE kFixedPitch = 1;
constexpr BYTE kFamilyRoman = 0x10;
constexpr BYTE kFamilyModern = 0x30;

// Faces of other systems by kind, lower case; a name that starts with one
// of these is of its kind.
const char* const kSerifNames[] = {
    "times",   "georgia",    "garamond",    "cambria",  "book antiqua", "palatino", "century",
    "bookman", "constantia", "baskerville", "ms serif", "tms rmn",      "bodoni",   "minion",
    "batang",  "mincho",     "ms mincho",   "simsun",   "nsimsun",      "songti"};
const char* const kFixedNames[] = {
    "courier", "consolas",  "lucida console", "lucida sans typewriter",
    "monaco",  "fixedsys",  "terminal",       "andale mono",
    "menlo",   "ms gothic", "letter gothic",  "ocr"};

bool StartsWithAny(const std::string& name, const char* const* list, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        if (name.compare(0, strlen(list[i]), list[i]) == 0)
            return true;
    }
    return false;
}

std::string Utf8(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Whether fontconfig lists a face of the family, asked once a name.
bool Installed(const std::string& family)
{
    static std::mutex mutex;
    static std::map<std::string, bool> known;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = known.find(family);
    if (it != known.end())
        return it->second;
    bool found = false;
    if (FcInit() == FcTrue) {
        FcPattern* pattern = FcPatternCreate();
        FcObjectSet* set = FcObjectSetBuild(FC_FAMILY, nullptr);
        if (pattern != nullptr && set != nullptr) {
            FcPatternAddString(pattern, FC_FAMILY,
                               reinterpret_cast<const FcChar8*>(family.c_str()));
            FcFontSet* fonts = FcFontList(nullptr, pattern, set);
            found = fonts != nullptr && fonts->nfont > 0;
            if (fonts != nullptr)
                FcFontSetDestroy(fonts);
        }
        if (set != nullptr)
            FcObjectSetDestroy(set);
        if (pattern != nullptr)
            FcPatternDestroy(pattern);
    }
    if (known.size() < 256)
        known[family] = found;
    return found;
}

bool ChineseCharset(BYTE c)
{
    // Simplified and traditional Chinese, Japanese and the Korean sets: all
    // drawn with the machine's CJK face.
    return c == 134 || c == 136 || c == 128 || c == 129 || c == 130;
}

template <size_t N>
std::string FirstInstalled(const char* const (&faces)[N])
{
    for (size_t i = 0; i + 1 < N; i++) {
        if (Installed(faces[i]))
            return faces[i];
    }
    return faces[N - 1];
}

// The family the font is drawn in: kept when installed and nameable in a
// LOGFONTA, else the stand-in of its kind.
std::string FamilyOf(const LogicalFont& font)
{
    const std::string name = Utf8(font.face);
    bool ascii = true;
    for (char16_t c : font.face)
        ascii = ascii && c < 0x80;
    if (ascii && !name.empty() && name.size() < LF_FACESIZE && Installed(name))
        return name;
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return (char)std::tolower((unsigned char)c); });
    const bool fixed = (font.pitchAndFamily & 0x03) == kFixedPitch ||
                       (font.pitchAndFamily & 0xF0) == kFamilyModern ||
                       StartsWithAny(lower, kFixedNames, sizeof kFixedNames / sizeof *kFixedNames);
    if (ChineseCharset(font.charSet) || !ascii)
        return fixed ? FirstInstalled(kChineseFixed) : FirstInstalled(kChinese);
    if (fixed)
        return FirstInstalled(kFixed);
    if ((font.pitchAndFamily & 0xF0) == kFamilyRoman ||
        StartsWithAny(lower, kSerifNames, sizeof kSerifNames / sizeof *kSerifNames))
        return FirstInstalled(kSerif);
    return FirstInstalled(kSans);
}

}  // namespace

LOGFONTA PlatformFont(const LogicalFont& font, long pixels)
{
    LOGFONTA lf = {};
    lf.lfHeight = (LONG)pixels;
    lf.lfWeight = (LONG)std::max(0L, std::min(font.weight, 1000L));
    lf.lfItalic = font.italic;
    lf.lfUnderline = font.underline;
    lf.lfStrikeOut = font.strikeOut;
    lf.lfCharSet = font.charSet;
    lf.lfPitchAndFamily = font.pitchAndFamily;
    if (font.stock)
        return lf;  // the platform's own default face
    const std::string family = FamilyOf(font);
    std::memcpy(lf.lfFaceName, family.data(), std::min(family.size(), size_t(LF_FACESIZE - 1)));
    return lf;
}

}  // namespace win32metafile
