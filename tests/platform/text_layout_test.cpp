// DrawTextA's layout against Win32's documented results, with character
// widths chosen by the test: line breaks, word breaking, prefixes, tabs,
// alignment and the sizes DT_CALCRECT reports.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text_layout.h"

using namespace win32text;

namespace {

// Every single-byte character 10 pixels wide but 'i' (4) and space (5);
// double-byte characters 20.
int Advance(UINT code)
{
    if (code > 0xFF)
        return 20;
    if (code == 'i')
        return 4;
    if (code == ' ')
        return 5;
    return 10;
}

const TextFontSize kFont = {16, 7};

TextLayout Lay(const std::string& text, UINT format, int width, int height = 100)
{
    return LayoutText(text.data(), text.size(), format, width, height, kFont, Advance);
}

std::string TextOf(const TextLine& line)
{
    std::string s;
    for (const TextRun& run : line.runs)
        s += run.text;
    return s;
}

// The lines joined by '|'.
std::string Lines(const TextLayout& layout)
{
    std::string s;
    for (size_t i = 0; i < layout.lines.size(); ++i)
        s += (i ? "|" : "") + TextOf(layout.lines[i]);
    return s;
}

struct LinesCase {
    const char* text;
    UINT format;
    int width;
    const char* lines;
};

TEST(TextLayout, BreaksLinesAsDrawTextDoes)
{
    const LinesCase cases[] = {
        {"one line", 0, 1000, "one line"},
        {"", 0, 1000, ""},
        {"a\r\nb", 0, 1000, "a|b"},
        {"a\rb\nc", 0, 1000, "a|b|c"},
        {"a\n\rb", 0, 1000, "a||b"},
        {"a\r\n", 0, 1000, "a|"},
        {"a\r\nb", DT_SINGLELINE, 1000, "a\r\nb"},
        // Without DT_WORDBREAK nothing wraps, however narrow the rectangle.
        {"abc def", 0, 10, "abc def"},
        // Breaks fall at spaces; the spaces at a break belong to no line.
        {"abc def", DT_WORDBREAK, 40, "abc|def"},
        {"abc   def ghi", DT_WORDBREAK, 74, "abc|def ghi"},
        {"abc   def ghi", DT_WORDBREAK, 75, "abc   def|ghi"},
        {"abc def ghi", DT_WORDBREAK, 1000, "abc def ghi"},
        {"abc def", DT_WORDBREAK, 65, "abc def"},
        {"abc def", DT_WORDBREAK, 64, "abc|def"},
        // A word wider than the line stays whole...
        {"abcdefgh xy", DT_WORDBREAK, 30, "abcdefgh|xy"},
        // ...unless the rectangle is an edit control's: then it is cut.
        {"abcdefgh xy", DT_WORDBREAK | DT_EDITCONTROL, 30, "abc|def|gh|xy"},
        {"abcdefgh", DT_WORDBREAK | DT_EDITCONTROL, 0, "a|b|c|d|e|f|g|h"},
        {"ab", DT_WORDBREAK | DT_EDITCONTROL, 5, "a|b"},
        // Leading spaces of a paragraph are kept, trailing ones too.
        {"  ab cd  ", DT_WORDBREAK, 1000, "  ab cd  "},
        {"ab\r\ncd ef", DT_WORDBREAK, 25, "ab|cd|ef"},
        {"ab cd", DT_WORDBREAK | DT_SINGLELINE, 10, "ab cd"},
        // Double-byte characters: never split, and a break may fall between
        // two of them.
        {"\xD6\xD0\xCE\xC4\xD6\xD0", DT_WORDBREAK, 45, "\xD6\xD0\xCE\xC4|\xD6\xD0"},
        {"ab\xD6\xD0", DT_WORDBREAK, 25, "ab|\xD6\xD0"},
        {"\xD6\xD0\xCE\xC4", DT_WORDBREAK | DT_EDITCONTROL, 10, "\xD6\xD0|\xCE\xC4"},
        // A lead byte at the end, or before a byte that cannot trail, stands alone.
        {"a\xD6", 0, 1000, "a\xD6"},
        {"\xD6\x0A" "b", 0, 1000, "\xD6|b"},
        // Prefixes.
        {"&File", 0, 1000, "File"},
        {"a&&b", 0, 1000, "a&b"},
        {"a&", 0, 1000, "a"},
        {"&&&x", 0, 1000, "&x"},
        {"a&\r\nb", 0, 1000, "a|b"},
        {"&File", DT_NOPREFIX, 1000, "&File"},
        {"a&&b", DT_NOPREFIX, 1000, "a&&b"},
        {"&File", DT_HIDEPREFIX, 1000, "File"},
    };
    for (const LinesCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Lines(Lay(c.text, c.format, c.width)), c.lines);
    }
}

TEST(TextLayout, UnderlinesThePrefixedCharacter)
{
    struct Case {
        const char* text;
        std::vector<TextUnderline> underlines;
    } cases[] = {
        {"&File", {{0, 10}}},
        {"F&ile", {{10, 4}}},
        {"a&&b", {}},
        {"&a&b", {{0, 10}, {10, 10}}},
        {"x&\xD6\xD0", {{10, 20}}},
        {"& x", {{0, 5}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const TextLayout layout = Lay(c.text, 0, 1000);
        ASSERT_EQ(layout.lines.size(), 1u);
        const auto& got = layout.lines[0].underlines;
        ASSERT_EQ(got.size(), c.underlines.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].x, c.underlines[i].x);
            EXPECT_EQ(got[i].width, c.underlines[i].width);
        }
    }
    EXPECT_TRUE(Lay("&File", DT_NOPREFIX, 1000).lines[0].underlines.empty());
}

TEST(TextLayout, AlignsEachLineInsideTheRectangle)
{
    struct Case {
        UINT format;
        int x0, x1;  // the two lines' left edges: "abc" (30) and "ab" (20)
        int y0;
    } cases[] = {
        {DT_LEFT, 0, 0, 0},
        {DT_CENTER, 35, 40, 0},
        {DT_RIGHT, 70, 80, 0},
        // Vertical alignment applies to single lines only.
        {DT_VCENTER, 0, 0, 0},
        {DT_BOTTOM, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const TextLayout layout = Lay("abc\nab", c.format, 100, 50);
        ASSERT_EQ(layout.lines.size(), 2u);
        EXPECT_EQ(layout.lines[0].x, c.x0);
        EXPECT_EQ(layout.lines[1].x, c.x1);
        EXPECT_EQ(layout.lines[0].y, c.y0);
        EXPECT_EQ(layout.lines[1].y, c.y0 + 16);
    }
    struct Single {
        UINT format;
        int x, y;
    } singles[] = {
        {DT_SINGLELINE, 0, 0},
        {DT_SINGLELINE | DT_VCENTER, 0, 17},
        {DT_SINGLELINE | DT_BOTTOM, 0, 34},
        {DT_SINGLELINE | DT_BOTTOM | DT_RIGHT, 70, 34},
        {DT_SINGLELINE | DT_VCENTER | DT_CENTER, 35, 17},
    };
    for (const Single& c : singles) {
        SCOPED_TRACE(c.format);
        const TextLayout layout = Lay("abc", c.format, 100, 50);
        EXPECT_EQ(layout.lines[0].x, c.x);
        EXPECT_EQ(layout.lines[0].y, c.y);
        EXPECT_EQ(layout.bottom, c.y + 16);
    }
    // A line wider than the rectangle overhangs both sides when centred.
    EXPECT_EQ(Lay("abcd", DT_CENTER, 20).lines[0].x, -10);
}

TEST(TextLayout, MeasuresTheWidestLineAndEveryLinesHeight)
{
    struct Case {
        const char* text;
        UINT format;
        int width;
        int expectWidth, expectHeight;
    } cases[] = {
        {"abc", DT_SINGLELINE, 0, 30, 16},
        {"abc de", DT_SINGLELINE, 0, 55, 16},
        {"abc\nabcde\nab", 0, 0, 50, 48},
        {"", 0, 0, 0, 16},
        // Word breaking from an empty rectangle: one word a line, as wide as the widest.
        {"ab abcd a", DT_WORDBREAK, 0, 40, 48},
        // Narrower than asked when the text allows.
        {"ab cd ef", DT_WORDBREAK, 60, 45, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const TextLayout layout = Lay(c.text, c.format, c.width);
        EXPECT_EQ(layout.width, c.expectWidth);
        EXPECT_EQ(layout.height, c.expectHeight);
    }
}

TEST(TextLayout, ExpandsTabsToStopsOfAverageCharacterWidths)
{
    // Tab stops every 8 x 7 = 56 pixels by default.
    TextLayout layout = Lay("ab\tc\td", DT_EXPANDTABS, 1000);
    ASSERT_EQ(layout.lines[0].runs.size(), 3u);
    EXPECT_EQ(layout.lines[0].runs[0].x, 0);
    EXPECT_EQ(layout.lines[0].runs[1].x, 56);
    EXPECT_EQ(layout.lines[0].runs[2].x, 112);
    EXPECT_EQ(layout.lines[0].width, 122);
    // DT_TABSTOP takes the tab size in characters from the format's second byte.
    layout = Lay("a\tb", DT_EXPANDTABS | DT_TABSTOP | (2 << 8), 1000);
    EXPECT_EQ(layout.lines[0].runs[1].x, 14);
    // Those bits are not flags then: 0x0800 would otherwise be DT_NOPREFIX.
    layout = Lay("&a\tb", DT_EXPANDTABS | DT_TABSTOP | (8 << 8), 1000);
    EXPECT_EQ(TextOf(layout.lines[0]), "ab");
    // A tab in a run of tabs moves to the next stop each time.
    layout = Lay("\t\tx", DT_EXPANDTABS, 1000);
    EXPECT_EQ(layout.lines[0].runs[0].x, 112);
    // Without DT_EXPANDTABS a tab is a character like any other.
    layout = Lay("a\tb", 0, 1000);
    EXPECT_EQ(TextOf(layout.lines[0]), "a\tb");
    EXPECT_EQ(layout.lines[0].width, 30);
    // A tab counts as a gap where lines break.
    EXPECT_EQ(Lines(Lay("abc\tdef", DT_EXPANDTABS | DT_WORDBREAK, 60)), "abc|def");
}

// Random texts of words, spaces, line breaks and double-byte characters:
// every wrapped line fits unless it holds a single word, no character is
// lost or split, and only the gaps at breaks disappear.
TEST(TextLayout, WrappedLinesFitAndKeepEveryCharacter)
{
    std::mt19937 rng(23);
    const char* pieces[] = {"a", "i", "word", "x", " ", " ", "  ", "\xD6\xD0", "\xB0\xA1", "\n"};
    for (int round = 0; round < 500; ++round) {
        std::string text;
        const int n = int(rng() % 20);
        for (int k = 0; k < n; ++k)
            text += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
        const int width = int(rng() % 80);
        const bool cut = rng() % 2 == 0;
        const UINT format = DT_WORDBREAK | (cut ? DT_EDITCONTROL : 0);
        SCOPED_TRACE(text + " @" + std::to_string(width) + (cut ? " cut" : ""));
        const TextLayout layout = Lay(text, format, width);

        std::string joined, expect;
        for (char c : text)
            if (c != ' ' && c != '\n')
                expect += c;
        for (const TextLine& line : layout.lines) {
            const std::string s = TextOf(line);
            for (char c : s)
                if (c != ' ')
                    joined += c;
            // Whole double-byte characters only.
            for (size_t i = 0; i < s.size(); ++i) {
                const unsigned char b = (unsigned char)s[i];
                if (b >= 0x81) {
                    ASSERT_LT(i + 1, s.size());
                    ++i;
                }
            }
            // Spaces around the words may overhang: they are not broken at.
            const size_t first = s.find_first_not_of(' ');
            const std::string core =
                first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(' ') + 1 - first);
            const bool wide = !core.empty() && (unsigned char)core[0] >= 0x81;
            const bool oneWord = core.find(' ') == std::string::npos && (!wide || core.size() == 2);
            const size_t trailing = first == std::string::npos ? 0 : s.size() - 1 - s.find_last_not_of(' ');
            if (line.width - 5 * int(trailing) > width) {
                if (cut) {
                    EXPECT_LE(core.size(), 2u) << "only one character may overhang";
                }
                EXPECT_TRUE(oneWord) << s;
            }
        }
        EXPECT_EQ(joined, expect);
    }
}

}  // namespace
