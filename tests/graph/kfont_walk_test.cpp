// The text walks every font shares: drawing, wrapping, formatting and
// measuring double-byte text.
#include <string>
#include <vector>
#include "graph_fixture.h"

namespace {

// A fixed-pitch font that records what it is asked to draw.
class RecordingFont : public KFont {
public:
    struct Call {
        long x, y;
        unsigned code;
    };
    explicit RecordingFont(int height) { SetHeight(height); }
    void Release() override {}
    int GetWidth(unsigned code) override { return int(code >= 160 ? m_nHeight : m_nHeight / 2); }
    int DrawChar(void*, long x, long y, DWORD, unsigned code) override
    {
        calls.push_back({x, y, code});
        return GetWidth(code);
    }
    std::vector<Call> calls;
};

// Any non-null destination: the recording font never writes to it.
int g_dst;

class FontWalk : public DesktopTest {
protected:
    RecordingFont font{16};
};

TEST_F(FontWalk, DrawStringAdvancesHalfCellsAndFullCellsForDoubleByteCodes)
{
    EXPECT_EQ(font.DrawString(&g_dst, 10, 20, 0xFFFF, "a b\xB0\xA1" "c"), 0);
    ASSERT_EQ(font.calls.size(), 4u);
    EXPECT_EQ(font.calls[0].x, 10);
    EXPECT_EQ(font.calls[0].code, unsigned('a'));
    EXPECT_EQ(font.calls[1].x, 26);  // a, then the space: 8 + 8
    EXPECT_EQ(font.calls[1].code, unsigned('b'));
    EXPECT_EQ(font.calls[2].x, 34);
    EXPECT_EQ(font.calls[2].code, 0xB0A1u);
    EXPECT_EQ(font.calls[3].x, 50);
    EXPECT_EQ(font.calls[3].y, 20);
}

TEST_F(FontWalk, DrawingTakesBytesFrom0x81AsLeadBytesMeasuringFrom0xA0)
{
    font.DrawString(&g_dst, 0, 0, 1, "\x81\x40");
    ASSERT_EQ(font.calls.size(), 1u);
    EXPECT_EQ(font.calls[0].code, 0x8140u);
    EXPECT_EQ(font.GetStringWidth("\x81\x40"), 16);  // two single-byte characters of 8
    font.calls.clear();
    font.DrawString(&g_dst, 0, 0, 1, "\x80");
    ASSERT_EQ(font.calls.size(), 1u);
    EXPECT_EQ(font.calls[0].code, 0x80u);
}

TEST_F(FontWalk, LeadByteAtTheEndStopsDrawingAndMeasuring)
{
    font.DrawString(&g_dst, 0, 0, 1, "ab\xB0");
    EXPECT_EQ(font.calls.size(), 2u);
    EXPECT_EQ(font.GetStringWidth("ab\xB0"), 16);
    EXPECT_EQ(font.GetStringWidth("ab\xB0", 3), 16);
    EXPECT_EQ(font.GetStringEnd("ab\xB0", 100), 2);
}

TEST_F(FontWalk, WidthLimitStopsOrWrapsBeforeTheCharacterThatPassesIt)
{
    font.DrawString(&g_dst, 5, 7, 1, "abcd", 20, false);
    ASSERT_EQ(font.calls.size(), 2u);
    EXPECT_EQ(font.calls[1].x, 13);

    font.calls.clear();
    font.DrawString(&g_dst, 5, 7, 1, "abcd", 20, true);
    ASSERT_EQ(font.calls.size(), 4u);
    EXPECT_EQ(font.calls[2].x, 5);
    EXPECT_EQ(font.calls[2].y, 7 + 17);
    EXPECT_EQ(font.calls[3].x, 13);
    EXPECT_EQ(font.calls[3].y, 7 + 17);
}

TEST_F(FontWalk, SpacesAreNeverTestedAgainstTheWidthLimit)
{
    font.DrawString(&g_dst, 0, 0, 1, "a    b", 20, false);
    ASSERT_EQ(font.calls.size(), 1u);  // b would start at 40
    font.calls.clear();
    font.DrawString(&g_dst, 0, 0, 1, "ab  ", 16, false);
    EXPECT_EQ(font.calls.size(), 2u);
}

TEST_F(FontWalk, PrintfFormatsAndDraws)
{
    EXPECT_EQ(font.Printf(&g_dst, 1, 2, 1, "%d%s", 42, "x"), 0);
    ASSERT_EQ(font.calls.size(), 3u);
    EXPECT_EQ(font.calls[0].code, unsigned('4'));
    EXPECT_EQ(font.calls[2].code, unsigned('x'));
}

TEST_F(FontWalk, PrintfCutsTextAtItsBufferWithoutOverrunningIt)
{
    const std::string longText(30000, 'a');
    font.Printf(&g_dst, 0, 0, 1, "%s", longText.c_str());
    EXPECT_EQ(font.calls.size(), 10239u);  // the buffer keeps its terminator
}

TEST_F(FontWalk, NullTextOrDestinationAssertsAndDrawsNothing)
{
    EXPECT_EQ(font.DrawString(&g_dst, 0, 0, 1, nullptr), 0);
    EXPECT_TRUE(Asserted("s != NULL"));
    EXPECT_EQ(font.DrawString(nullptr, 0, 0, 1, "a"), 0);
    EXPECT_TRUE(Asserted("dst != NULL"));
    EXPECT_EQ(font.GetStringWidth(nullptr), 0);
    EXPECT_TRUE(font.calls.empty());
}

// Measuring, on the fixed-box font and on both glyph fonts of height 16.
class Measuring : public GraphTest<>, public ::testing::WithParamInterface<int> {
protected:
    Measuring() : GraphTest(32, 32) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(GraphTest::SetUp());
        hfont = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
        switch (GetParam()) {
        case 0: font = new RecordingFont(16); break;
        case 1: font = g.CreateFontA(hfont); break;
        default: font = g.CreateSmoothFont(hfont); break;
        }
        ASSERT_NE(font, nullptr);
        ASSERT_EQ(font->GetHeight(), 16);
    }
    void TearDown() override
    {
        g.ReleaseKFont(font);
        DeleteObject(hfont);
        GraphTest::TearDown();
    }
    HFONT hfont = nullptr;
    KFont* font = nullptr;
};

TEST_P(Measuring, StringWidthCountsHalfCellsAndFullCells)
{
    EXPECT_EQ(font->GetStringWidth("ab cd"), 40);
    EXPECT_EQ(font->GetStringWidth("ab cd\xB0\xA1"), 56);
    EXPECT_EQ(font->GetStringWidth(""), 0);
    EXPECT_EQ(font->GetStringWidth("a b", 2), 16);
    EXPECT_EQ(font->GetStringWidth("\xB0\xA1x", 1), 16);  // the pair starts within the count
    EXPECT_EQ(font->GetStringWidth("\xB0\xA1x", 2), 16);
    EXPECT_EQ(font->GetStringWidth("\xB0\xA1x", 3), 24);
}

TEST_P(Measuring, StringEndIsTheBytesBeforeTheCharacterThatReachesTheWidth)
{
    EXPECT_EQ(font->GetStringEnd("abcd", 24), 2);
    EXPECT_EQ(font->GetStringEnd("abcd", 25), 3);
    EXPECT_EQ(font->GetStringEnd("abcd", 100), 4);
    EXPECT_EQ(font->GetStringEnd("a\xB0\xA1" "b", 24), 1);
    EXPECT_EQ(font->GetStringEnd("a\xB0\xA1" "b", 25), 3);
}

TEST_P(Measuring, StringBeginIsWhereTheLongestFittingTailStarts)
{
    EXPECT_EQ(font->GetStringBegin("abcd", 24), 2);
    EXPECT_EQ(font->GetStringBegin("abcd", 100), 0);
    EXPECT_EQ(font->GetStringBegin("ab\xB0\xA1", 24), 2);
    EXPECT_EQ(font->GetStringBegin("ab\xB0\xA1", 16), 4);
    EXPECT_EQ(font->GetStringBegin("", 10), 0);
}

TEST_P(Measuring, StringBeginTakesAHighByteAtTheStartOnItsOwn)
{
    // 0xA1 at index 0 has no lead byte before it: nothing before the text
    // is read, and it measures as one character.
    const char text[] = "\xA1" "ab";
    EXPECT_EQ(font->GetStringBegin(text, 100), 0);
    EXPECT_EQ(font->GetStringBegin(text, 33), 0);  // 8 + 8 + 16 stays below 33
    EXPECT_EQ(font->GetStringBegin(text, 32), 1);
    EXPECT_EQ(font->GetStringBegin(text, 16), 2);
    EXPECT_EQ(font->GetStringBegin("\xA1", 100), 0);
}

std::string FontName(const ::testing::TestParamInfo<int>& info)
{
    static const char* const names[] = {"FixedBoxes", "Bitmap", "Smooth"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Fonts, Measuring, ::testing::Values(0, 1, 2), FontName);

}  // namespace
