// The button driven as a player drives it: mouse input at the main window,
// the router and the queue, the notifications the main window hears and the
// pictures presented.
#include "controls_fixture.h"

namespace {

// Four 10 x 10 state pictures side by side, each one colour.
const WORD kState[4] = {0x001F, 0x07E0, 0xF800, 0xFFE0};

class ButtonTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        desktop::UseManualClock(1000);
        // Framed and away from the screen's corner: the client origin is not
        // the window's corner.
        OpenMain(120, 80, 100, 50, true);
        m_strip = Bmp("states.bmp", 40, 10, [](int x, int) { return kState[x / 10]; });
    }
    void Make(KWndButton& b, POINT at = {20, 20}, UINT id = 7)
    {
        ASSERT_EQ(b.CreateEx(m_graph, m_strip.c_str(), at, m_main, TEST_BUTTON_MSG, id, 0, NULL,
                             WS_CHILD | WS_VISIBLE),
                  0);
    }
    WORD Shown()
    {
        Frame();
        return At(25, 25);
    }
    std::vector<LPARAM> Codes()
    {
        std::vector<LPARAM> out;
        for (const Note& n : m_main.notes)
            out.push_back(n.lParam);
        m_main.notes.clear();
        return out;
    }
    std::string m_strip;
};

TEST_F(ButtonTest, CreateExCutsOnePictureIntoTheFourStates)
{
    KWndButton b;
    Make(b);
    EXPECT_EQ(b.GetWidth(), 10);
    EXPECT_EQ(b.GetHeight(), 10);
    EXPECT_EQ(b.GetID(), 7u);
    char title[64];
    GetWindowTextA(b.GetHandle(), title, sizeof(title));
    EXPECT_EQ(std::string(title), m_strip);
    EXPECT_EQ(Shown(), kState[0]);
    Mouse(WM_MOUSEMOVE, 25, 25);
    EXPECT_EQ(Shown(), kState[1]);
    Mouse(WM_LBUTTONDOWN, 25, 25);
    EXPECT_EQ(Shown(), kState[2]);
    Mouse(WM_LBUTTONUP, 25, 25);
    b.Disable();
    EXPECT_EQ(Shown(), kState[3]);
    Mouse(WM_LBUTTONDOWN, 25, 25);  // a disabled button ignores clicks
    Mouse(WM_LBUTTONUP, 25, 25);
    EXPECT_EQ(Codes(), (std::vector<LPARAM>{LPARAM(KWND_NOTIFY_LCLICK)}));
    b.Enable();
    b.AddState(KWND_STATE_HIDE);
    EXPECT_EQ(Shown(), 0);  // a hidden button is not drawn
    KWndButton missing;
    EXPECT_EQ(missing.CreateEx(m_graph, Path("none.bmp").c_str(), POINT{0, 0}, m_main,
                               TEST_BUTTON_MSG, 1, 0, NULL, WS_CHILD),
              E_FAIL);
}

TEST_F(ButtonTest, PressLeaveReturnReleaseClicksOnce)
{
    KWndButton b;
    Make(b);
    Mouse(WM_MOUSEMOVE, 25, 25);
    Mouse(WM_LBUTTONDOWN, 25, 25);
    Mouse(WM_MOUSEMOVE, 90, 60);  // out: the leave message clears the press
    EXPECT_EQ(Shown(), kState[0]);
    Mouse(WM_MOUSEMOVE, 26, 26);  // back in with the button held
    EXPECT_EQ(Shown(), kState[2]);
    Mouse(WM_LBUTTONUP, 26, 26);
    EXPECT_EQ(m_main.notes, (std::vector<Note>{{TEST_BUTTON_MSG, 7, LPARAM(0x80000010)}}));
}

TEST_F(ButtonTest, BothButtonsDownThenUpInEitherOrder)
{
    KWndButton b;
    Make(b);
    Mouse(WM_LBUTTONDOWN, 25, 25);
    Mouse(WM_RBUTTONDOWN, 25, 25);
    Mouse(WM_RBUTTONUP, 25, 25);
    Mouse(WM_LBUTTONUP, 25, 25);
    EXPECT_EQ(Codes(), (std::vector<LPARAM>{LPARAM(0x80000003), LPARAM(0x80000020),
                                            LPARAM(0x80000010)}));
    Mouse(WM_RBUTTONDOWN, 25, 25);
    Mouse(WM_LBUTTONDOWN, 25, 25);
    EXPECT_EQ(Codes(), (std::vector<LPARAM>{LPARAM(0x80000003)}));
}

TEST_F(ButtonTest, HoverSoundOncePerEntry)
{
    KWndButton b;
    Make(b);
    b.SetBtnFocusSound("sound\\hover.wav");
    b.SetBtnFocusSound("sound\\focus.wav");  // the second replaces the first
    Mouse(WM_MOUSEMOVE, 25, 25);
    Mouse(WM_MOUSEMOVE, 27, 27);
    Mouse(WM_MOUSEMOVE, 90, 60);
    Mouse(WM_MOUSEMOVE, 25, 25);
    const std::vector<desktop::SoundRequest> s = desktop::TakeSounds();
    ASSERT_EQ(s.size(), 2u);
    for (const desktop::SoundRequest& r : s) {
        EXPECT_EQ(r.name, "sound\\focus.wav");
        EXPECT_EQ(r.flags, DWORD(SND_ASYNC | SND_NOWAIT));
    }
}

TEST_F(ButtonTest, TheHoverPollClearsHoverOnceTheCursorHasLeft)
{
    KWndButton b;
    Make(b);
    Mouse(WM_MOUSEMOVE, 25, 25);
    desktop::AdvanceClock(300);
    Pump();
    // Still over it: read in the client area's coordinates, not the frame's.
    EXPECT_EQ(Shown(), kState[1]);
    desktop::SetCursorPos(5, 5);  // gone, and no message says so
    desktop::AdvanceClock(299);
    Pump();
    EXPECT_EQ(Shown(), kState[1]);
    desktop::AdvanceClock(1);
    Pump();
    EXPECT_EQ(Shown(), kState[0]);
}

// Release unbinds the object from a window that goes on existing until its
// posted WM_DESTROY is handled: the hover poll must stop with the object, or
// its WM_TIMER would keep arriving at a window nothing answers for.
TEST_F(ButtonTest, ReleaseStopsTheHoverPoll)
{
    KWndButton b;
    Make(b);
    Mouse(WM_MOUSEMOVE, 25, 25);  // hovered: the poll runs
    const HWND h = b.GetHandle();
    b.Release();
    desktop::AdvanceClock(1000);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, h, WM_TIMER, WM_TIMER, PM_REMOVE));
    // Windows answers FALSE to killing a timer that does not exist.
    EXPECT_FALSE(KillTimer(h, KWNDBUTTON_TIMER_HOVER));
}

TEST_F(ButtonTest, KeyedPixelsAndTheRoomBesideThePictureAreNotTheButton)
{
    // Bands one above the other: the left half of each is the key colour.
    const std::string bands =
        Bmp("bands.bmp", 10, 40, [](int x, int y) { return x < 5 ? WORD(0x1234) : kState[y / 10]; });
    KWndButton b;
    b.SetGraph(m_graph);
    ASSERT_EQ(b.LoadBitmap(const_cast<char*>(bands.c_str()), true, 0, 0), 0);
    ASSERT_EQ(b.Create("", WS_CHILD | WS_VISIBLE, 20, 20, 30, 10, &m_main, 3), 0);
    m_main.AddChild(&b);
    b.SetMessage(TEST_BUTTON_MSG);
    for (int x : {22, 35, 49, 26}) {  // key, beside the picture (twice), picture
        Mouse(WM_LBUTTONDOWN, x, 25);
        Mouse(WM_LBUTTONUP, x, 25);
    }
    EXPECT_EQ(m_main.notes, (std::vector<Note>{{TEST_BUTTON_MSG, 3, LPARAM(KWND_NOTIFY_LCLICK)}}));
    EXPECT_EQ(b.GetWidth(), 10);
    EXPECT_EQ(b.GetHeight(), 10);
    EXPECT_FALSE(b.IsIn(35, 25));
    EXPECT_TRUE(b.IsIn(27, 25));
    // Without pictures the rectangle decides.
    KWndButton bare;
    bare.AddState(KWND_STATE_COLORKEY);
    bare.SetRect(0, 0, 10, 10);
    EXPECT_TRUE(bare.IsIn(9, 9));
    EXPECT_FALSE(bare.IsIn(10, 9));
}

TEST_F(ButtonTest, CaptionsAreDrawnAsWrittenCentredAndShiftedWhenPressed)
{
    KWndButton b;
    b.SetGraph(m_graph);
    ASSERT_EQ(b.Create("5%d", WS_CHILD | WS_VISIBLE, 20, 20, 40, 20, &m_main, 4), 0);
    m_main.AddChild(&b);
    b.AddState(KWNDBUTTON_STATE_TEXT);
    b.SetTextColor(0x0100);
    // The box font: 6 pixels a character, 12 high, each pixel colour + code.
    const int dx = (40 - 18) >> 1, dy = (20 - 12) >> 1;
    auto glyphsAt = [&](int x0, int y0) {
        Frame();
        std::string seen;
        for (int i = 0; i < 3; i++)
            seen += char(At(x0 + 6 * i + 2, y0 + 2) - 0x0100);
        return seen;
    };
    EXPECT_EQ(glyphsAt(20 + dx, 20 + dy), "5%d");
    Mouse(WM_LBUTTONDOWN, 30, 30);
    EXPECT_EQ(glyphsAt(21 + dx, 21 + dy), "5%d");
    Mouse(WM_LBUTTONUP, 30, 30);
    // Wider than the button: it starts left of it.
    SetWindowTextA(b.GetHandle(), "0123456789");
    Frame();
    EXPECT_EQ(At(20 + ((40 - 60) >> 1) + 1, 26), 0x0100 + '0');
}

TEST_F(ButtonTest, CreateReportsAWindowThatWasNotMade)
{
    KWndButton b;
    desktop::FailOnce("CreateWindowExA");
    EXPECT_NE(b.Create("x", WS_CHILD, 0, 0, 10, 10, &m_main, 1), 0);
    EXPECT_EQ(b.GetHandle(), nullptr);
}

}  // namespace
