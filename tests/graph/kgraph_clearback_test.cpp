// ClearBackScreen records its fill like any other command: the frame
// comparison draws it again only when it changed.
#include "desktop_fixture.h"
#include "test_graph.h"

namespace {

class ClearBackScreenTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        m_hwnd = MakeWindow(40, 30);
        g = CreateKGraph(KRM_GDI, false, 40, 30, KCM_R5G6B5, false, false);
        ASSERT_NE(g, nullptr);
        g->SetHWND(m_hwnd);
        g->ReSizeBackScreen(40, 30, KCM_R5G6B5, false);
    }
    void TearDown() override
    {
        ReleaseKGraph(g);
        DesktopTest::TearDown();
    }
    WORD At(int x, int y) { return SurfaceTo565(desktop::Pixel(m_hwnd, x, y)); }
    WORD Back(int x, int y) { return *SpritePixel16(g->GetBackScreenData(), x, y); }
    void Frame(DWORD whole, long l, long t, long r, long b, DWORD part)
    {
        g->ClearBackScreen(whole);
        g->ClearBackScreen(l, t, r, b, part);
        ASSERT_EQ(g->Render(), 0);
    }
    HWND m_hwnd = nullptr;
    KGraph* g = nullptr;
};

TEST_F(ClearBackScreenTest, FillsAreRecordedAndRedrawnOnlyWhenTheyChange)
{
    Frame(0x001F, 10, 5, 20, 15, 0xF800);
    EXPECT_EQ(At(0, 0), 0x001F);
    EXPECT_EQ(At(39, 29), 0x001F);
    EXPECT_EQ(At(10, 5), 0xF800);
    EXPECT_EQ(At(19, 14), 0xF800);
    EXPECT_EQ(At(20, 14), 0x001F);  // right and bottom are exclusive
    EXPECT_EQ(At(19, 15), 0x001F);

    // Marks left on the back screen behind the engine's back show whether a
    // frame repainted them.
    g->GetBackScreen()->_clear(0, 0, 2, 2, 0x07E0);
    g->GetBackScreen()->_clear(30, 20, 2, 2, 0x07E0);
    Frame(0x001F, 10, 5, 20, 15, 0xF800);  // the same commands: nothing to draw
    EXPECT_EQ(Back(0, 0), 0x07E0);
    EXPECT_EQ(Back(30, 20), 0x07E0);

    Frame(0x001F, 25, 15, 35, 25, 0xF800);  // the small fill moved
    EXPECT_EQ(At(10, 5), 0x001F);           // its old place is cleared again
    EXPECT_EQ(At(25, 15), 0xF800);
    EXPECT_EQ(At(30, 20), 0xF800);
    EXPECT_EQ(Back(0, 0), 0x07E0);  // far from both: still not repainted
}

}  // namespace
