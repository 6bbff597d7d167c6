// The animation box: frames presented as the manual clock moves, animations
// it made or borrowed, and a stretched resize without a picture.
#include "controls_fixture.h"

#include <byte_builders.h>
#include <picture_bytes.h>

namespace {

// Three 10 x 8 frames side by side in one strip, each one colour.
const WORD kFrame[3] = {0xF800, 0x07E0, 0x001F};
const DWORD kDelay = 100;

// Reaches the own bit's meaning without restating it: whether the box would
// delete its animation.
class AniBox : public KWndAniImageBox {
public:
    bool Owns() const { return (GetState() & KWNDANI_STATE_OWNANI) != 0; }
    KAni* Ani() const { return m_aniData; }
};

class AniBoxTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        desktop::UseManualClock(1000);
        OpenMain(120, 80);
        Bmp("strip.bmp", 30, 8, [](int x, int) { return kFrame[x / 10]; });
        // The file names its picture relative to its own folder.
        Bytes file = {'K', 'A', 'n', 'i'};
        for (uint32_t v : {12u, 0u, 1u, 3u})
            Put32(file, v);
        Bytes name(64, 0);
        const std::string strip = "strip.bmp";
        std::copy(strip.begin(), strip.end(), name.begin());
        file.insert(file.end(), name.begin(), name.end());
        for (uint32_t i = 0; i < 3; i++)
            for (uint32_t v : {0u, kDelay, 10 * i, 0u, 10 * i + 10, 8u})
                Put32(file, v);
        m_file = Path("walk.ani");
        WriteFile(m_file, file);
        // Only '\' separates the folder in an animation's name, as a game
        // writes it.
        m_file[m_file.rfind('/')] = '\\';
    }
    void Make(KWndAniImageBox& b)
    {
        b.SetGraph(m_graph);
        ASSERT_EQ(b.Create("", WS_CHILD | WS_VISIBLE, 30, 20, 10, 8, &m_main, 6), 0);
        m_main.AddChild(&b);
    }
    char* File() { return const_cast<char*>(m_file.c_str()); }
    WORD Shown()
    {
        Frame();
        return At(35, 24);
    }
    std::string m_file;
};

TEST_F(AniBoxTest, FramesAdvanceWithTheClockAndWrap)
{
    AniBox b;
    Make(b);
    EXPECT_EQ(b.GetSprWidth(), 0);
    EXPECT_EQ(Shown(), 0);  // no animation: nothing drawn
    ASSERT_EQ(b.LoadAni(File()), 0);
    EXPECT_TRUE(b.Owns());
    EXPECT_EQ(b.GetSprWidth(), 10);
    EXPECT_EQ(b.GetSprHeight(), 8);
    // The first drawing starts the clock; each frame stays its delay.
    const struct {
        DWORD advance;
        WORD shown;
    } steps[] = {{0, kFrame[0]},  {kDelay - 1, kFrame[0]}, {1, kFrame[1]}, {kDelay / 2, kFrame[1]},
                 {kDelay / 2, kFrame[2]}, {kDelay, kFrame[0]}, {kDelay, kFrame[1]}};
    for (const auto& s : steps) {
        desktop::AdvanceClock(s.advance);
        EXPECT_EQ(Shown(), s.shown) << "at " << timeGetTime();
        // The whole frame, and nothing beside it.
        EXPECT_EQ(At(30, 20), s.shown);
        EXPECT_EQ(At(39, 27), s.shown);
        EXPECT_EQ(At(40, 24), 0);
    }
    b.AddState(KWND_STATE_HIDE);
    EXPECT_EQ(Shown(), 0);
}

// The box may be given an animation it did not make: it must neither delete
// it then nor keep one it made before.
TEST_F(AniBoxTest, ABorrowedAnimationIsLeftAloneAndAnOwnedOneIsFreedWhenReplaced)
{
    KAni borrowed;
    ASSERT_EQ(borrowed.Load(File(), m_graph), 0);
    {
        AniBox b;
        Make(b);
        ASSERT_EQ(b.LoadAni(File()), 0);
        ASSERT_TRUE(b.Owns());
        b.SetAni(&borrowed);  // the owned one is deleted here (the sanitizer build checks)
        EXPECT_FALSE(b.Owns());
        EXPECT_EQ(b.Ani(), &borrowed);
        b.SetAni(&borrowed);  // the same again changes nothing
        EXPECT_EQ(b.Ani(), &borrowed);
        EXPECT_EQ(Shown(), kFrame[0]);
        b.Release();
        EXPECT_EQ(b.Ani(), nullptr);
    }  // the destructor releases again
    EXPECT_EQ(borrowed.GetWidth(), 10);
    borrowed.NextFrame();
    EXPECT_EQ(borrowed.GetCurSprite()->GetRect().left, 10);
    // Loading over a borrowed animation leaves that one alone too.
    AniBox c;
    Make(c);
    c.SetAni(&borrowed);
    ASSERT_EQ(c.LoadAni(File()), 0);
    EXPECT_TRUE(c.Owns());
    EXPECT_NE(c.Ani(), &borrowed);
    EXPECT_EQ(borrowed.GetWidth(), 10);
}

// An animation box has no picture to zoom: a stretched resize only resizes.
TEST_F(AniBoxTest, AStretchedResizeWithoutAPictureOnlyResizes)
{
    AniBox b;
    Make(b);
    b.AddState(KWNDIMAGEBOX_STATE_STRETCH);
    b.ChangeSize(40, 30);
    EXPECT_EQ(b.GetWidth(), 40);
    EXPECT_EQ(b.GetHeight(), 30);
    ASSERT_EQ(b.LoadAni(File()), 0);
    b.ChangeSize(50, 30);
    EXPECT_EQ(Shown(), kFrame[0]);
    EXPECT_EQ(At(40, 24), 0);  // the frame is drawn at its own size
    // Hit tests are the rectangle's: the own bit is no colour key here.
    EXPECT_TRUE(b.IsIn(79, 49));
    EXPECT_FALSE(b.IsIn(80, 49));
}

}  // namespace
