// Text of metafile records as the character codes the platform's font code
// draws: single bytes below 0x80 and code page 936 pairs (lead x 256 +
// trail). Text in other character sets goes through Unicode; a character
// that code page 936 lacks is drawn by its Unicode code, and glyph numbers
// as glyph numbers of the matched face.
#include "metafile_text.h"

#include "font_codes.h"
#include "font_gbk.h"

#include <unordered_map>

namespace win32metafile {

namespace {

constexpr BYTE kSymbolCharset = 2;
constexpr BYTE kGb2312Charset = 134;
constexpr BYTE kDefaultCharset = 1;

// Code page 1252 from 0x80 to 0x9F (0 where it has no character); from 0xA0
// on it is Latin-1.
const char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The symbol face's Greek letters, 0x41 to 0x5A and 0x61 to 0x7A: the
// letters its formulas use, as Unicode (0 where the slot is not a letter).
const char16_t kSymbolUpper[26] = {0x391, 0x392, 0x3A7, 0x394, 0x395, 0x3A6, 0x393, 0x397, 0x399,
                                   0x3D1, 0x39A, 0x39B, 0x39C, 0x39D, 0x39F, 0x3A0, 0x398, 0x3A1,
                                   0x3A3, 0x3A4, 0x3A5, 0x3C2, 0x3A9, 0x39E, 0x3A8, 0x396};
const char16_t kSymbolLower[26] = {0x3B1, 0x3B2, 0x3C7, 0x3B4, 0x3B5, 0x3C6, 0x3B3, 0x3B7, 0x3B9,
                                   0x3D5, 0x3BA, 0x3BB, 0x3BC, 0x3BD, 0x3BF, 0x3C0, 0x3B8, 0x3C1,
                                   0x3C3, 0x3C4, 0x3C5, 0x3D6, 0x3C9, 0x3BE, 0x3C8, 0x3B6};

// Unicode to code page 936, made once from the platform's own table.
const std::unordered_map<char32_t, UINT>& ReverseGbk()
{
    static const std::unordered_map<char32_t, UINT>* table = [] {
        auto* t = new std::unordered_map<char32_t, UINT>;
        for (UINT lead = 0x81; lead <= 0xFE; lead++) {
            for (UINT trail = 0x40; trail <= 0xFE; trail++) {
                if (trail == 0x7F)
                    continue;
                char32_t ch = 0;
                const UINT code = lead << 8 | trail;
                if (win32font::GbkToUnicode(code, ch) && ch >= 0x80)
                    t->emplace(ch, code);
            }
        }
        return t;
    }();
    return *table;
}

char32_t SingleByteChar(BYTE b, BYTE charSet)
{
    if (charSet == kSymbolCharset) {
        if (b >= 0x41 && b <= 0x5A)
            return kSymbolUpper[b - 0x41];
        if (b >= 0x61 && b <= 0x7A)
            return kSymbolLower[b - 0x61];
        return b < 0x80 ? b : 0;
    }
    if (b < 0x80)
        return b;
    if (b < 0xA0)
        return kCp1252High[b - 0x80];
    return b;
}

}  // namespace

UINT CodeOfChar(char32_t ch)
{
    if (ch < 0x80)
        return ch;
    const auto& table = ReverseGbk();
    auto it = table.find(ch);
    return it != table.end() ? it->second : win32font::UnicodeCode(ch);
}

std::vector<UINT> GlyphCodes(const BYTE* text, size_t count, size_t unit,
                             std::vector<size_t>* unitOf)
{
    std::vector<UINT> codes;
    for (size_t i = 0; i < count; i++) {
        const BYTE* p = text + i * unit;
        codes.push_back(win32font::GlyphIndexCode(unit == 2 ? UINT(p[0] | p[1] << 8) : p[0]));
        if (unitOf != nullptr)
            unitOf->push_back(i);
    }
    return codes;
}

std::vector<UINT> CodesFromBytes(const BYTE* text, size_t count, BYTE charSet,
                                 std::vector<size_t>* byteOf)
{
    std::vector<UINT> codes;
    const bool gbk = charSet == kGb2312Charset || charSet == kDefaultCharset;
    for (size_t i = 0; i < count;) {
        if (byteOf != nullptr)
            byteOf->push_back(i);
        const BYTE b = text[i];
        char32_t check = 0;
        if (gbk && b >= 0x81 && b <= 0xFE && i + 1 < count &&
            win32font::GbkToUnicode(UINT(b) << 8 | text[i + 1], check)) {
            codes.push_back(UINT(b) << 8 | text[i + 1]);
            i += 2;
            continue;
        }
        const char32_t ch = gbk && b >= 0x80 ? 0 : SingleByteChar(b, charSet);
        codes.push_back(ch == 0 && b != 0 ? UINT('?') : CodeOfChar(ch));
        i++;
    }
    return codes;
}

std::vector<UINT> CodesFromUtf16(const BYTE* text, size_t count, std::vector<size_t>* unitOf)
{
    std::vector<UINT> codes;
    auto unit = [text](size_t i) { return char32_t(text[2 * i] | text[2 * i + 1] << 8); };
    for (size_t i = 0; i < count;) {
        if (unitOf != nullptr)
            unitOf->push_back(i);
        char32_t ch = unit(i);
        size_t len = 1;
        if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < count && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) < 0xE000) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            len = 2;
        } else if (ch >= 0xD800 && ch < 0xE000) {
            ch = '?';  // a lone half of a pair
        }
        codes.push_back(CodeOfChar(ch));
        i += len;
    }
    return codes;
}

}  // namespace win32metafile
