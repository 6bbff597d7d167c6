// KAniPlayer: several players of one animation at their own phases and
// places on the manual clock.
#include <vector>
#include "graph_fixture.h"

namespace {

const WORD kRed = 0xF800;
const WORD kGreen = 0x07E0;
const WORD kBlue = 0x001F;
const WORD kGrey = 0x8410;

class AniPlayerTest : public GraphTest<> {
protected:
    void SetUp() override
    {
        GraphTest<>::SetUp();
        desktop::UseManualClock(1000);
        // Three 4 x 4 frames, red, green and blue, side by side in one picture.
        pic = g.CreateSprite(12, 4, KCM_R5G6B5, 0);
        pic->_clear(0, 0, 4, 4, kRed);
        pic->_clear(4, 0, 4, 4, kGreen);
        pic->_clear(8, 0, 4, 4, kBlue);
        ASSERT_EQ(ani.Init(3), 0);
        for (DWORD i = 0; i < 3; i++) {
            RECT rc = {LONG(i * 4), 0, LONG(i * 4 + 4), 4};
            ani.SetFrame(i, pic, rc, 100, 0);
        }
    }
    void TearDown() override
    {
        ani.Release();
        g.ReleaseKSprite(pic);
        GraphTest<>::TearDown();
    }
    WORD BackPx(long x, long y) { return Px16(g.GetBackScreenData(), x, y); }

    KSprite* pic = nullptr;
    KAni ani;
};

TEST_F(AniPlayerTest, TwoPlayersAdvanceOnTheirOwnClocks)
{
    KAniPlayer a, b;
    a.m_Data = &ani;
    b.m_Data = &ani;
    EXPECT_EQ(a.Action(), 0);  // a starts at 1000
    desktop::AdvanceClock(50);
    EXPECT_EQ(b.Action(), 0);  // b starts at 1050
    desktop::AdvanceClock(50);
    EXPECT_EQ(a.Action(), 2);
    EXPECT_EQ(b.Action(), 0);
    desktop::AdvanceClock(50);
    EXPECT_EQ(a.Action(), 0);
    EXPECT_EQ(b.Action(), 2);
    desktop::AdvanceClock(50);
    EXPECT_EQ(a.Action(), 3);
    EXPECT_EQ(a.m_dwCurFrame, 2u);
    EXPECT_EQ(b.m_dwCurFrame, 1u);
    desktop::AdvanceClock(100);
    EXPECT_EQ(a.Action(), long(0x80000000));
    EXPECT_EQ(a.m_dwCurFrame, 0u);
    // The animation's own cursor never moved; size and sprite are its own.
    EXPECT_EQ(a.GetCurSprite(), ani.GetSprite(0));
    EXPECT_EQ(b.GetCurSprite(), ani.GetSprite(0));
    EXPECT_EQ(a.GetMaxFrames(), 3u);
    EXPECT_EQ(a.GetWidth(), 4);
    EXPECT_EQ(b.GetHeight(), 4);
}

TEST_F(AniPlayerTest, EachPlayerDrawsItsFrameWhereItStands)
{
    KAniPlayer a, b;
    a.m_Data = b.m_Data = &ani;
    a.m_x = 0;
    a.m_y = 0;
    b.m_x = 10;
    b.m_y = 20;
    g.GetBackScreen()->_clear(kGrey);
    EXPECT_EQ(a.Draw(), 0);
    desktop::AdvanceClock(100);
    EXPECT_EQ(b.Draw(), 0);  // b's clock starts here
    EXPECT_EQ(a.Draw(), 2);
    g.RenderToBack();
    EXPECT_EQ(BackPx(0, 0), kGreen);   // a: frame 1 (drawn last over its frame 0)
    EXPECT_EQ(BackPx(3, 3), kGreen);
    EXPECT_EQ(BackPx(10, 20), kRed);   // b: frame 0
    EXPECT_EQ(BackPx(13, 23), kRed);
    EXPECT_EQ(BackPx(14, 20), kGrey);
}

TEST_F(AniPlayerTest, PlayersDrawColourKeyedWhenTheAnimationIs)
{
    pic->_clear(1, 1, 2, 2, 0);  // a hole of key pixels in frame 0
    ani.UseColorKey(true);
    KAniPlayer p;
    p.m_Data = &ani;
    p.m_x = 5;
    p.m_y = 5;
    g.GetBackScreen()->_clear(kGrey);
    p.Draw();
    g.RenderToBack();
    EXPECT_EQ(BackPx(5, 5), kRed);
    EXPECT_EQ(BackPx(6, 6), kGrey);
    EXPECT_EQ(BackPx(7, 7), kGrey);
    EXPECT_EQ(BackPx(8, 8), kRed);
}

TEST_F(AniPlayerTest, NextFrameWrapsOnTheAnimationsCount)
{
    KAniPlayer p;
    p.m_Data = &ani;
    EXPECT_EQ(p.NextFrame(), 2);
    EXPECT_EQ(p.NextFrame(), 3);
    EXPECT_EQ(p.NextFrame(), long(0x80000000));
    EXPECT_EQ(p.m_dwCurFrame, 0u);
    EXPECT_EQ(ani.NextFrame(), 2);  // the animation's own cursor is separate
    EXPECT_EQ(p.m_dwCurFrame, 0u);
}

TEST_F(AniPlayerTest, APlayerPastTheEndOfAShorterAnimationStartsOver)
{
    KAniPlayer p;
    p.m_Data = &ani;
    p.NextFrame();
    p.NextFrame();  // frame 2 of 3
    ani.Release();
    ASSERT_EQ(ani.Init(1), 0);
    RECT rc = {8, 0, 12, 4};
    ani.SetFrame(0, pic, rc, 100, 0);
    g.GetBackScreen()->_clear(kGrey);
    EXPECT_EQ(p.Draw(), 0);
    EXPECT_EQ(p.m_dwCurFrame, 0u);
    g.RenderToBack();
    EXPECT_EQ(BackPx(0, 0), kBlue);
}

TEST_F(AniPlayerTest, APlayerWithoutAnAnimationDoesNothing)
{
    KAniPlayer p;
    EXPECT_EQ(p.Action(), 0);
    EXPECT_EQ(p.Draw(), 0);
    EXPECT_EQ(p.NextFrame(), 0);
    EXPECT_EQ(p.GetCurSprite(), nullptr);
    EXPECT_EQ(p.GetWidth(), 0);
    EXPECT_TRUE(Asserted("m_Data != NULL"));
    p.m_Data = &ani;
    p.m_dwCurFrame = 1;
    p.m_dwLastTime = 5;
    p.Release();
    EXPECT_EQ(p.m_Data, nullptr);
    EXPECT_EQ(p.m_dwCurFrame, 0u);
    EXPECT_EQ(p.m_dwLastTime, 0u);
}

}  // namespace
