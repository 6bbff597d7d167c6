// Recorded text: a text printed through "%s" is recorded exactly as the
// formatter would have made it.
#include "desktop_fixture.h"
#include "engine_access.h"
#include "test_graph.h"

#include <box_font.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

using RecordedFormat = DesktopTest;

std::string LastText(KGraph* g)
{
    const auto cmds = KRenderEngineAccess::Recorded(g->GetRenderEngine());
    if (cmds.empty())
        return "<none>";
    return reinterpret_cast<const KRE_TEXT_PARAM*>(cmds.back().param)->text;
}

TEST_F(RecordedFormat, PlainTextMatchesTheFormatter)
{
    KGraph* g = CreateKGraph(KRM_GDI, false, 64, 32, KCM_R5G6B5, false, false);
    ASSERT_NE(g, nullptr);
    g->ReSizeBackScreen(64, 32, KCM_R5G6B5, false);
    BoxFont font(12);
    KSprite* back = g->GetBackScreen();
    const std::string longText(300, 'x');
    const char* volatile null = nullptr;  // not known to the compiler as null
    for (const std::string& text : {std::string("100%"), std::string("%d%s"), std::string(""),
                                    longText, std::string("\xD6\xD0")}) {
        char expected[256];
        std::snprintf(expected, sizeof(expected), "%s", text.c_str());
        back->Printf(&font, 0, 0, 1, "%s", text.c_str());
        EXPECT_EQ(LastText(g), expected) << text;
        back->Printf(&font, 0, 0, 1, 40, "%s", text.c_str());
        EXPECT_EQ(LastText(g), expected) << text;
    }
    back->Printf(&font, 0, 0, 1, "%s", null);
    EXPECT_EQ(LastText(g), "(null)");
    back->Printf(&font, 0, 0, 1, "%s!", "a");  // any other format goes to the formatter
    EXPECT_EQ(LastText(g), "a!");
    ReleaseKGraph(g);
}

// Text whose format and whole-number values repeat the previous frame's at
// the same place is taken from that frame without formatting: what is
// recorded is still, byte for byte, what the C library formats, when the
// values change, when the game rewrites a format in the same buffer, and for
// every alignment and width form; a frame that repeats draws nothing.
TEST_F(RecordedFormat, RepeatedFormatsRecordTheFormattersText)
{
    KGraph* g = CreateKGraph(KRM_GDI, false, 200, 40, KCM_R5G6B5, false, false);
    ASSERT_NE(g, nullptr);
    g->ReSizeBackScreen(200, 40, KCM_R5G6B5, false);
    BoxFont font(12);
    KSprite* back = g->GetBackScreen();
    std::mt19937 rng(21);
    char format[32] = "a%d";
    for (int frame = 0; frame < 400; frame++) {
        const int v = int(rng() % 3) - 1, w = int(rng() % 2);
        const long big = rng() % 2 ? 1234567L : -1L;
        if (rng() % 8 == 0)  // rewritten in place: the same address
            std::snprintf(format, sizeof format, "%s", rng() % 2 ? "a%d" : "b%d%%");
        char expected[4][64];
        std::snprintf(expected[0], 64, format, v);
        std::snprintf(expected[1], 64, "%ld:%x", big, unsigned(w));
        std::snprintf(expected[2], 64, "%c%u", 'p' + w, unsigned(v + 1));
        std::snprintf(expected[3], 64, "%d %d %d %d %d", v, w, v, w, v);  // too many to keep
        back->Printf(&font, 0, 0, 1, format, v);
        back->Printf(&font, 0, 12, 1, 40, "%ld:%x", big, unsigned(w));
        back->Printf(&font, 100, 24, 1, KFONT_ALIGN_RIGHT, "%c%u", 'p' + w, unsigned(v + 1));
        back->Printf(&font, 100, 0, 1, "%d %d %d %d %d", v, w, v, w, v);
        const auto cmds = KRenderEngineAccess::Recorded(g->GetRenderEngine());
        ASSERT_EQ(cmds.size(), 4u);
        for (int i = 0; i < 4; i++)
            ASSERT_STREQ(reinterpret_cast<const KRE_TEXT_PARAM*>(cmds[i].param)->text,
                         expected[i])
                << "frame " << frame << " text " << i;
        EXPECT_EQ(cmds[2].rcSrc.right, 100);  // measured or kept, the width is the text's
        g->Render();
    }
    for (int i = 0; i < 2; i++) {  // the same frame twice: nothing to draw the second time
        back->Printf(&font, 0, 0, 1, format, 7);
        back->Printf(&font, 0, 12, 1, 40, "%ld:%x", 5L, 6u);
        EXPECT_EQ(KRenderEngineAccess::Render(g->GetRenderEngine()) == 0, i == 1);
    }
    ReleaseKGraph(g);
}

}  // namespace
