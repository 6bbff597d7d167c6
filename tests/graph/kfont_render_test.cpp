// Text recorded through the render engine and replayed in a frame shows the
// same pixels as the same text drawn at once, with both glyph fonts.
#include <string>
#include "graph_fixture.h"

namespace {

const long kW = 160;
const long kH = 64;
const WORD kBack = 0x2104;

class RecordedText : public GraphTest<>, public ::testing::WithParamInterface<bool> {
protected:
    RecordedText() : GraphTest(kW, kH) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(GraphTest::SetUp());
        hwnd = PresentInWindow();
        hfont = CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0,
                            "\xCB\xCE\xCC\xE5");  // SimSun, by its own name
        font = GetParam() ? g.CreateSmoothFont(hfont) : g.CreateFontA(hfont);
        ASSERT_NE(font, nullptr);
        immediate = g.CreateSprite(kW, kH, KCM_R5G6B5, 0);
    }
    void TearDown() override
    {
        g.ReleaseKSprite(immediate);
        g.ReleaseKFont(font);
        DeleteObject(hfont);
        GraphTest::TearDown();
    }
    void ExpectWindowEqualsImmediate()
    {
        for (long y = 0; y < kH; y++)
            for (long x = 0; x < kW; x++)
                ASSERT_EQ(SurfaceTo565(desktop::Pixel(hwnd, int(x), int(y))),
                          Px16(immediate->GetData(), x, y))
                    << "at " << x << "," << y;
    }

    HWND hwnd = nullptr;
    HFONT hfont = nullptr;
    KFont* font = nullptr;
    KSprite* immediate = nullptr;
};

TEST_P(RecordedText, ReplayedTextEqualsImmediateText)
{
    const char* english = "Score: 1200";
    const char* chinese = "\xB7\xD6\xCA\xFD\xA3\xBA\xD2\xBB\xC7\xA7";  // 分数：一千
    KSprite* back = g.GetBackScreen();
    back->Clear(kBack);
    back->Printf(font, 4, 2, 0xFFE0, "%s", english);
    back->Printf(font, 4, 22, 0xF800, "%s", chinese);
    back->Printf(font, 4, 42, 0x07FF, 60, "%s %s", english, chinese);
    ASSERT_EQ(g.Render(), 0);

    immediate->_clear(kBack);
    font->DrawString(immediate->GetData(), 4, 2, 0xFFE0, english);
    font->DrawString(immediate->GetData(), 4, 22, 0xF800, chinese);
    font->DrawString(immediate->GetData(), 4, 42, 0x07FF,
                     (std::string(english) + " " + chinese).c_str(), 60, false);
    ExpectWindowEqualsImmediate();
    int inked = 0;
    for (long y = 0; y < kH; y++)
        for (long x = 0; x < kW; x++)
            inked += Px16(immediate->GetData(), x, y) != kBack;
    EXPECT_GT(inked, 300);  // the text is there, not only the background

    // The next frame moves the Chinese line; only it changes on screen.
    back->Clear(kBack);
    back->Printf(font, 4, 2, 0xFFE0, "%s", english);
    back->Printf(font, 30, 24, 0xF800, "%s", chinese);
    back->Printf(font, 4, 42, 0x07FF, 60, "%s %s", english, chinese);
    ASSERT_EQ(g.Render(), 0);
    immediate->_clear(kBack);
    font->DrawString(immediate->GetData(), 4, 2, 0xFFE0, english);
    font->DrawString(immediate->GetData(), 30, 24, 0xF800, chinese);
    font->DrawString(immediate->GetData(), 4, 42, 0x07FF,
                     (std::string(english) + " " + chinese).c_str(), 60, false);
    ExpectWindowEqualsImmediate();
}

// Glyphs such as W and % reach a pixel past their step: a text that ended
// in one and then changes, shortens or moves leaves none of its ink behind.
TEST_P(RecordedText, ChangedTextLeavesNoInkOfTheOldOne)
{
    const char* const frames[][2] = {{"Score: 12W%", "tally 9"}, {"Score: 12", "tally 9W"},
                                     {"Score: 12W", "tally@"}, {"S", "W"}};
    for (int f = 0; f < 4; f++) {
        KSprite* back = g.GetBackScreen();
        back->Clear(kBack);
        back->Printf(font, 4 + f % 2, 2, 0xFFE0, "%s", frames[f][0]);
        back->Printf(font, 40, 24, 0xF800, KFONT_ALIGN_RIGHT, "%s", frames[f][1]);
        ASSERT_EQ(g.Render(), 0);
        immediate->_clear(kBack);
        font->DrawString(immediate->GetData(), 4 + f % 2, 2, 0xFFE0, frames[f][0]);
        font->DrawString(immediate->GetData(), 40 - font->GetStringWidth(frames[f][1]), 24,
                         0xF800, frames[f][1]);
        SCOPED_TRACE(testing::Message() << "frame " << f);
        ASSERT_NO_FATAL_FAILURE(ExpectWindowEqualsImmediate());
    }
}

TEST_P(RecordedText, ImmediatePrintfOfASpriteDrawsAtOnce)
{
    immediate->_clear(kBack);
    EXPECT_EQ(immediate->_printf(font, 3, 3, 0xFFFF, "%d", 7), 0);
    bool drawn = false;
    for (long y = 0; y < kH && !drawn; y++)
        for (long x = 0; x < kW && !drawn; x++)
            drawn = Px16(immediate->GetData(), x, y) != kBack;
    EXPECT_TRUE(drawn);
}

std::string FontKind(const ::testing::TestParamInfo<bool>& info)
{
    return info.param ? "Smooth" : "Bitmap";
}

INSTANTIATE_TEST_SUITE_P(Fonts, RecordedText, ::testing::Values(false, true), FontKind);

}  // namespace
