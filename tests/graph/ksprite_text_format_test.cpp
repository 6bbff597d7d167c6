// Recorded text: a text printed through "%s" is recorded exactly as the
// formatter would have made it.
#include "desktop_fixture.h"
#include "engine_access.h"
#include "test_graph.h"

#include <box_font.h>

#include <cstdio>
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

}  // namespace
