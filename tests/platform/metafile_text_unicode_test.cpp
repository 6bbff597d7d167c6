// Wide text outside code page 936 and text given as glyph numbers. Windows
// draws a wide record's characters by Unicode from the realized font, a
// character no face holds as the face's missing-glyph box (glyph 0), and
// with ETO_GLYPH_INDEX takes the record's 16-bit values as glyph numbers of
// the realized font. Here each character is checked against its glyph
// rendered straight from the face the platform's font code matched, and
// glyph-number text against the same glyphs drawn by character.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "font_internal.h"
#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"
#include "metafile_text.h"

using namespace win32metafile;

namespace {

constexpr int kW = 160, kH = 48;
constexpr uint32_t kInk = 0x0000C8;  // canvas order of RGB(0, 0, 200)
constexpr unsigned kGlyphIndex = 0x10;

LogicalFont Font()
{
    LogicalFont f;
    f.stock = false;
    f.height = -24;
    f.charSet = 0;
    f.face = u"DejaVu Sans";
    return f;
}

// EMR_EXTCREATEFONTINDIRECTW into slot 1, selected, then blue transparent
// text.
EmfBuilder TextFile()
{
    EmfBuilder e(0, 0, kW - 1, kH - 1);
    e.SetBkMode(1);
    e.SetTextColor(RGB(0, 0, 200));
    const LogicalFont f = Font();
    e.SelectFont(1, int32_t(f.height), f.face);
    return e;
}

// EMR_EXTTEXTOUTW (or A) at (x, y) of 16-bit units.
void ExtText(EmfBuilder& e, uint32_t type, int x, int y, const std::vector<uint16_t>& units,
             unsigned options)
{
    e.ExtTextRecord(type, x, y, units.size(),
                    Utf16Bytes(std::u16string(units.begin(), units.end())), options);
}

std::vector<uint16_t> Units(const std::u16string& s)
{
    return std::vector<uint16_t>(s.begin(), s.end());
}

// The glyph numbers of the characters in the face the platform matched, and
// (`draw`) each glyph rendered from that face as the 1-bit glyphs are,
// inked into `px` with its origin at (x, baseline y + ascent), one after
// another by their advances.
std::vector<uint16_t> FromTheFace(const std::u32string& chars, int x, int y,
                                  std::vector<uint32_t>* px)
{
    win32font::Registry& r = win32font::Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    win32font::Font font;
    font.lf = PlatformFont(Font(), -24);
    std::vector<uint16_t> indices;
    if (!win32font::Realize(r, font)) {
        ADD_FAILURE() << "no face";
        return indices;
    }
    FT_Face face = font.realized->primary.face;
    int pen = x;
    for (char32_t ch : chars) {
        const FT_UInt index = FT_Get_Char_Index(face, ch);
        indices.push_back(uint16_t(index));
        if (px == nullptr)
            continue;
        EXPECT_EQ(FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO), 0);
        EXPECT_EQ(FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO), 0);
        const FT_Bitmap& bm = face->glyph->bitmap;
        const int left = pen + face->glyph->bitmap_left;
        const int top = y + font.realized->tm.tmAscent - face->glyph->bitmap_top;
        for (unsigned j = 0; j < bm.rows; j++) {
            for (unsigned i = 0; i < bm.width; i++) {
                const unsigned char* row = bm.buffer + size_t(j) * unsigned(bm.pitch);
                const int cx = left + int(i), cy = top + int(j);
                if ((row[i >> 3] >> (7 - (i & 7))) & 1 && cx >= 0 && cx < kW && cy >= 0 && cy < kH)
                    (*px)[size_t(cy) * kW + cx] = kInk;
            }
        }
        pen += int((face->glyph->advance.x + 32) >> 6);
    }
    return indices;
}

// Characters code page 936 lacks, one at a time: Latin letters with
// strokes and accents the face holds, and one no installed face holds,
// drawn as the face's missing-glyph box.
TEST(MetafileTextUnicode, CharactersOutsideTheCodePageDrawFromTheFace)
{
    struct Case {
        const char* name;
        char32_t ch;
        std::u16string utf16;
        bool inFace;
    } cases[] = {
        {"D with stroke", 0x0110, u"\u0110", true},
        {"L with stroke", 0x0141, u"\u0141", true},
        {"O with double acute", 0x0150, u"\u0150", true},
        {"a Ugaritic letter", 0x10380, u"\U00010380", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_GT(CodeOfChar(c.ch), 0xFFFFu);  // not in code page 936
        std::vector<uint32_t> want(size_t(kW) * kH, kWhite);
        const std::vector<uint16_t> index = FromTheFace({c.ch}, 20, 8, &want);
        EXPECT_EQ(index[0] != 0, c.inFace);
        EmfBuilder e = TextFile();
        ExtText(e, 84, 20, 8, Units(c.utf16), 0);
        const std::vector<uint32_t> got = PlayOnWhite(e.Bytes(), kW, kH, false);
        EXPECT_GT(Ink(want), 20u);
        EXPECT_EQ(Differences(got, want), 0u);
    }
}

// Glyph numbers in EMR_EXTTEXTOUTW, EMR_EXTTEXTOUTA (16 bits a glyph there
// too) and EMR_SMALLTEXTOUT draw the pixels the same glyphs give drawn by
// character; a number past the face's glyphs draws the missing-glyph box.
TEST(MetafileTextUnicode, GlyphNumbersDrawTheFacesGlyphs)
{
    const std::u16string text = u"Glyph \u0110k";
    const std::u32string chars(text.begin(), text.end());
    const std::vector<uint16_t> indices = FromTheFace(chars, 0, 0, nullptr);
    EmfBuilder byChar = TextFile();
    ExtText(byChar, 84, 6, 8, Units(text), 0);
    const std::vector<uint32_t> want = PlayOnWhite(byChar.Bytes(), kW, kH, false);
    ASSERT_GT(Ink(want), 100u);
    struct Case {
        const char* name;
        std::function<void(EmfBuilder&)> record;
    } cases[] = {
        {"wide", [&](EmfBuilder& e) { ExtText(e, 84, 6, 8, indices, kGlyphIndex); }},
        {"narrow", [&](EmfBuilder& e) { ExtText(e, 83, 6, 8, indices, kGlyphIndex); }},
        {"small",
         [&](EmfBuilder& e) {
             std::vector<uint8_t> tail;
             for (uint16_t g : indices)
                 Put16(tail, g);
             e.Record(108, {6, 8, int32_t(indices.size()), int32_t(kGlyphIndex | 0x100), 1, 0, 0},
                      tail);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder e = TextFile();
        c.record(e);
        EXPECT_EQ(Differences(PlayOnWhite(e.Bytes(), kW, kH, false), want), 0u);
    }
    // Glyph 0 and a number past the face's last glyph draw the same box.
    EmfBuilder zero = TextFile(), past = TextFile();
    ExtText(zero, 84, 6, 8, {0}, kGlyphIndex);
    ExtText(past, 84, 6, 8, {0xFFFF}, kGlyphIndex);
    const std::vector<uint32_t> box = PlayOnWhite(zero.Bytes(), kW, kH, false);
    EXPECT_GT(Ink(box), 20u);
    EXPECT_EQ(Differences(PlayOnWhite(past.Bytes(), kW, kH, false), box), 0u);
}

// The Windows metafile's META_EXTTEXTOUT with ETO_GLYPH_INDEX holds its
// count of 16-bit glyph numbers where the characters would be, a spacing
// word a glyph after them: the glyphs draw the pixels the characters do.
TEST(MetafileTextUnicode, WindowsMetafileGlyphNumbers)
{
    const std::string text = "Glyph ok";
    const std::vector<uint16_t> indices =
        FromTheFace(std::u32string(text.begin(), text.end()), 0, 0, nullptr);
    const std::vector<int> dx = {15, 13, 11, 14, 12, 9, 13, 12};
    auto file = [&](bool glyphs, bool spaced) {
        WmfBuilder b;
        b.SetMapMode(MM_TEXT);
        b.SetBkMode(1);
        b.SetTextColor(RGB(0, 0, 200));
        b.Select(b.CreateLogFont(-24));
        std::vector<uint8_t> tail;
        if (glyphs) {
            for (uint16_t g : indices)
                Put16(tail, g);
        } else {
            tail.assign(text.begin(), text.end());
        }
        if (spaced) {
            for (int d : dx)
                Put16(tail, uint16_t(d));
        }
        b.Record(0x0A32, {8, 6, int(text.size()), glyphs ? int(kGlyphIndex) : 0}, tail);
        return b.Bytes();
    };
    for (bool spaced : {false, true}) {
        SCOPED_TRACE(spaced ? "spaced" : "the font's advances");
        PlayStats stats;
        const std::vector<uint32_t> want = PlayOnWhite(file(false, spaced), kW, kH, true);
        const std::vector<uint32_t> got = PlayOnWhite(file(true, spaced), kW, kH, true, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_GT(Ink(want), 100u);
        EXPECT_EQ(Differences(got, want), 0u);
    }
}

}  // namespace
