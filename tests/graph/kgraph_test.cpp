// Creating and releasing the graph device, its start-up reports, fonts and
// the render engine it owns.
#include "desktop_fixture.h"
#include "engine_access.h"
#include "test_graph.h"

using GraphDevice = DesktopTest;

TEST_F(GraphDevice, CreateKGraphBuildsOnlyTheGdiDevice)
{
    KGraph* none = CreateKGraph(KESTREL_RENDER_MODE(2), false, 64, 48, KCM_R5G6B5, false, true);
    EXPECT_EQ(none, nullptr);
    EXPECT_TRUE(Asserted("pGraph != NULL"));
    EXPECT_EQ(CreateKGraph(KESTREL_RENDER_MODE(0), false, 64, 48, KCM_R5G6B5, false, false), nullptr);

    KGraph* g = CreateKGraph(KRM_GDI, false, 64, 48, KCM_R5G6B5, false, false);
    ASSERT_NE(g, nullptr);
    EXPECT_NE(dynamic_cast<KGraphGDI*>(g), nullptr);
    EXPECT_EQ(g->GetScreenW(), 64);
    EXPECT_EQ(g->GetBackScreenData()->height, 48);
    KGraph* kept = g;
    ReleaseKGraph(g);
    EXPECT_EQ(g, kept);  // the caller's pointer keeps its value
}

TEST_F(GraphDevice, BackScreenThatCannotBeMadeFailsWithOrWithoutFallback)
{
    for (bool fallback : {false, true}) {
        Log();
        EXPECT_EQ(CreateKGraph(KRM_GDI, false, 64, 48, KCM_X1R5G5B5, false, fallback), nullptr);
        EXPECT_TRUE(Logged("_createbackscreen_gdi:_createsprite"));
        EXPECT_TRUE(Logged("_init_gdi:_createbackscreen"));
        EXPECT_EQ(CreateKGraph(KRM_GDI, false, 0, 48, KCM_R5G6B5, false, fallback), nullptr);
    }
}

TEST_F(GraphDevice, FailedInitFreesWhatItMade)
{
    TestGraph g;
    EXPECT_EQ(g.Init(false, 0, 0, KCM_R5G6B5, false), -1);
    EXPECT_FALSE(g.IsInited());
    EXPECT_EQ(g.GetRenderEngine(), nullptr);
    EXPECT_EQ(g.GetSpriteManager(), nullptr);
}

TEST_F(GraphDevice, FailedDisplayQueryIsReportedAndStartUpGoesOn)
{
    desktop::FailOnce("EnumDisplaySettingsA");
    KGraph* g = CreateKGraph(KRM_GDI, false, 32, 32, KCM_R5G6B5, false, false);
    ASSERT_NE(g, nullptr);
    bool found = false;
    for (auto& e : Log())
        if (e.kind == kbase::LogEntry::Report &&
            e.text == "_get_screen_colormode_gdi:EnumDisplaySettings") {
            EXPECT_EQ(e.code, long(E_FAIL));
            found = true;
        }
    EXPECT_TRUE(found);
    ReleaseKGraph(g);
}

TEST_F(GraphDevice, ResizeMakesTheBackScreenTheCutSprite)
{
    KGraph* g = CreateKGraph(KRM_GDI, false, 64, 48, KCM_R5G6B5, false, false);
    ASSERT_NE(g, nullptr);
    KRenderEngine* e = g->GetRenderEngine();
    EXPECT_TRUE(KRenderEngineAccess::CutMode(e));
    EXPECT_EQ(KRenderEngineAccess::CutSpr(e), nullptr);  // start-up sets none

    g->ReSizeBackScreen(32, 32, KCM_R5G6B5, false);
    EXPECT_EQ(KRenderEngineAccess::CutSpr(e), g->GetBackScreenData());
    g->ReSizeBackScreen(128, 32, KCM_R5G6B5, false);
    EXPECT_EQ(KRenderEngineAccess::CutSpr(e), g->GetBackScreenData());
    EXPECT_EQ(g->GetBackScreenData()->width, 128);

    g->SetCutMode(false);
    EXPECT_EQ(KRenderEngineAccess::CutSpr(e), nullptr);
    g->SetCutSpr(g->GetBackScreenData());
    EXPECT_EQ(KRenderEngineAccess::CutSpr(e), g->GetBackScreenData());

    EXPECT_EQ(g->CreateRenderEngine(), 0);  // a second call keeps the engine and its settings
    EXPECT_EQ(g->GetRenderEngine(), e);
    EXPECT_EQ(KRenderEngineAccess::CutSpr(e), g->GetBackScreenData());
    ReleaseKGraph(g);
}

TEST_F(GraphDevice, WindowAndInstanceAreStoredAndAsserted)
{
    TestGraph g;
    EXPECT_EQ(g.GetHWND(), nullptr);
    g.SetHWND(NULL);
    EXPECT_TRUE(Asserted("hwnd"));
    g.SetInstance(NULL);
    EXPECT_TRUE(Asserted("hinst"));
    HWND hwnd = MakeWindow(20, 10, 5, 7);
    g.SetHWND(hwnd);
    EXPECT_EQ(g.GetHWND(), hwnd);
    g.GetRenderRect();
    EXPECT_EQ(g.GetScreenRect()->left, 5);
    EXPECT_EQ(g.GetScreenRect()->bottom, 17);
    EXPECT_EQ(g.GetClientRect().left, 0);
    EXPECT_EQ(g.GetClientRect().right, 20);
}

// A font that counts what the device does to it.
class CountingFont : public KFont {
public:
    explicit CountingFont(int* released, int* deleted) : m_released(released), m_deleted(deleted) {}
    ~CountingFont() override { ++*m_deleted; }
    void Release() override { ++*m_released; }
    int GetWidth(unsigned) override { return 8; }
    int DrawChar(void*, long, long, DWORD, unsigned) override { return 8; }

private:
    int* m_released;
    int* m_deleted;
};

TEST_F(GraphDevice, ReleaseKFontReleasesDeletesAndNulls)
{
    TestGraph g;
    int released = 0, deleted = 0;
    KFont* font = new CountingFont(&released, &deleted);
    g.SetDefaultFont(font);
    EXPECT_EQ(g.GetDefaultFont(), font);
    g.ReleaseKFont(font);
    EXPECT_EQ(font, nullptr);
    EXPECT_EQ(released, 1);
    EXPECT_EQ(deleted, 1);
    g.ReleaseKFont(font);  // null: nothing happens
    EXPECT_EQ(font, nullptr);
    EXPECT_EQ(deleted, 1);
    g.SetDefaultFont(nullptr);
    EXPECT_TRUE(Asserted("font != NULL"));
}

TEST_F(GraphDevice, ClearWithoutEngineIsAsserted)
{
    TestGraph g;
    g.Clear();
    EXPECT_TRUE(Asserted("m_RenderEngine"));
}
