// The scroll bar driven as a player drives it: presses, drags and releases
// at the main window, the queue pumped, the scroll messages the parent hears
// (at once, inside the press's own dispatch) and the pixels presented.
#include "controls_fixture.h"

namespace {

// A vertical bar 16 x 100 at (100, 20) and a horizontal one 100 x 16 at
// (20, 130): after SetDefault each has buttons of 16, a thumb of 8 and a
// range of 60.
const RECT kVertical = {100, 20, 116, 120};
const RECT kHorizontal = {20, 130, 120, 146};

// One picture holding the four the bar draws, one colour each, 16 wide:
// track rows 0-9, thumb 10-17, up arrow 18-33, down arrow 34-49.
const WORD kTrack = 0x07E0, kThumb = 0xF81F, kUp = 0x001F, kDown = 0xFFE0;

class ScrollTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        desktop::UseManualClock(1000);
        OpenMain(200, 160, 30, 40, true);
    }
    void Make(KWndScroll& bar, bool vertical, UINT id = 5)
    {
        const RECT& r = vertical ? kVertical : kHorizontal;
        bar.SetGraph(m_graph);
        ASSERT_EQ(bar.Create(NULL, WS_CHILD | WS_VISIBLE, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, &m_main, id),
                  0);
        if (vertical)
            bar.AddState(KWNDSCROLL_STATE_VERTICAL);
        m_main.AddChild(&bar);
    }
    // The four pictures, as views the bar owns: buttons 16, thumb 8, so a
    // 100-pixel bar has a range of 60 as with SetDefault.
    void GivePictures(KWndScroll& bar)
    {
        const std::string path = Bmp("scroll.bmp", 16, 50, [](int, int y) {
            return y < 10 ? kTrack : y < 18 ? kThumb : y < 34 ? kUp : kDown;
        });
        KSprite* src = m_graph->Load(path.c_str(), 17, NULL);
        ASSERT_NE(src, nullptr);
        RECT parts[4] = {{0, 0, 16, 10}, {0, 10, 16, 18}, {0, 18, 16, 34}, {0, 34, 16, 50}};
        const int index[4] = {KWND_SCROLL_BACK, KWND_SCROLL_BLOCK, KWND_SCROLL_SUBBLOCK,
                              KWND_SCROLL_ADDBLOCK};
        for (int i = 0; i < 4; i++)
            bar.SetSprite(src, index[i], parts[i], true);
        m_graph->ReleaseKSprite(src);  // the views keep the pixels
    }
    // The point `p` pixels along the bar from its start, on its middle line.
    static POINT Along(bool vertical, LONG p)
    {
        return vertical ? POINT{kVertical.left + 8, kVertical.top + p}
                        : POINT{kHorizontal.left + p, kHorizontal.top + 8};
    }
    // Injects a press and dispatches one message at a time: what the main
    // window has heard when the bar's own WM_LBUTTONDOWN has been handled.
    // Nothing may arrive after it (the bar sends, it never posts).
    std::vector<Note> Press(KestrelWnd& bar, POINT at)
    {
        m_main.notes.clear();
        EXPECT_TRUE(desktop::InjectMouse(m_hwnd, WM_LBUTTONDOWN, int(at.x), int(at.y)));
        std::vector<Note> heard;
        bool seen = false;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            if (!seen && msg.hwnd == bar.GetHandle() && msg.message == WM_LBUTTONDOWN) {
                heard = m_main.notes;
                seen = true;
            }
        }
        EXPECT_TRUE(seen);
        EXPECT_EQ(heard, m_main.notes);
        m_main.notes.clear();
        return heard;
    }
    std::vector<Note> Take()
    {
        std::vector<Note> out = m_main.notes;
        m_main.notes.clear();
        return out;
    }
};

TEST_F(ScrollTest, DefaultGeometryAreaAndStep)
{
    KWndScroll bar;
    Make(bar, true);
    bar.SetDefault();
    EXPECT_EQ(bar.GetState() & 0xFFFF, DWORD(KWNDSCROLL_STATE_VERTICAL | 0x16));
    EXPECT_EQ(bar.GetBlockSize(), 16u);
    EXPECT_EQ(bar.GetThumbSize(), 8u);
    EXPECT_EQ(bar.GetRange(), 60);
    bar.SetArea(0);  // ignored
    EXPECT_EQ(bar.GetArea(), 0);
    EXPECT_EQ(bar.GetPos(), 0);
    bar.SetArea(5);  // a larger area moves the position back one
    EXPECT_EQ(bar.GetPos(), -1);
    EXPECT_EQ(bar.GetStep(), 12);
    bar.SetPos(30);
    bar.SetArea(10);
    EXPECT_EQ(bar.GetPos(), 29);
    EXPECT_EQ(bar.GetStep(), 6);
    bar.SetArea(4);  // smaller: the position stays
    EXPECT_EQ(bar.GetPos(), 29);
    bar.SetArea(200);
    EXPECT_EQ(bar.GetStep(), 1);
    bar.SetPos(61);  // past the range: refused
    EXPECT_EQ(bar.GetPos(), 28);

    KWndScroll across;
    Make(across, false);
    across.SetDefault();
    EXPECT_EQ(across.GetState() & 0xFFFF, 0x16u);
    EXPECT_EQ(across.GetBlockSize(), 16u);
    EXPECT_EQ(across.GetRange(), 60);
}

// Every kind of press on both bars: the code and value the parent hears at
// once, the position after and the bits the press leaves set.
TEST_F(ScrollTest, PressesSendTheirCodesAtOnce)
{
    struct Case {
        const char* what;
        long pos, p;
        WPARAM code;  // ~0: nothing sent
        LONG value;
        long after;
        DWORD bits;
    };
    const WPARAM none = ~WPARAM(0);
    const Case cases[] = {
        {"first arrow steps back", 30, 5, SB_LINEUP, 1, 29, KWNDSCROLL_STATE_SUBDOWN},
        {"first arrow at 0 sends nothing", 0, 0, none, 0, 0, KWNDSCROLL_STATE_SUBDOWN},
        {"second arrow steps on", 30, 95, SB_LINEDOWN, 1, 31, KWNDSCROLL_STATE_ADDDOWN},
        {"second arrow at the range", 60, 99, none, 0, 60, KWNDSCROLL_STATE_ADDDOWN},
        {"second arrow's first pixel", 30, 85, SB_LINEDOWN, 1, 31, KWNDSCROLL_STATE_ADDDOWN},
        {"track before the thumb", 30, 26, SB_THUMBPOSITION, 33, 10, 0},
        {"thumb's first row jumps", 30, 46, SB_THUMBPOSITION, 100, 30, 0},
        {"inside the thumb drags", 30, 50, none, 0, 30, KWNDSCROLL_STATE_DRAG},
        {"track after the thumb", 30, 70, SB_THUMBPOSITION, 180, 54, 0},
        {"last thumb length", 30, 76, SB_BOTTOM, 0, 60, 0},
        {"track's last pixel", 30, 84, SB_BOTTOM, 0, 60, 0},
    };
    // Two-colour bars both ways, and a vertical bar of pictures.
    const char* kinds[] = {" (vertical)", " (horizontal)", " (pictures)"};
    for (int kind = 0; kind < 3; kind++) {
        const bool vertical = kind != 1;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + kinds[kind]);
            KWndScroll bar;
            Make(bar, vertical);
            if (kind == 2)
                GivePictures(bar);
            else
                bar.SetDefault();
            ASSERT_EQ(bar.GetRange(), 60);
            bar.SetArea(200);
            bar.SetPos(c.pos);
            const std::vector<Note> heard = Press(bar, Along(vertical, c.p));
            std::vector<Note> want;
            if (c.code != none)
                want.push_back({UINT(vertical ? WM_VSCROLL : WM_HSCROLL), c.code, LPARAM(c.value)});
            EXPECT_EQ(heard, want);
            EXPECT_EQ(bar.GetPos(), c.after);
            EXPECT_EQ(bar.GetState() & 0xE0, c.bits);
            const POINT at = Along(vertical, c.p);
            Mouse(WM_LBUTTONUP, int(at.x), int(at.y));
            EXPECT_EQ(bar.GetState() & 0xE0, 0u);  // the release lets go of everything
            EXPECT_EQ(Take(), std::vector<Note>{});
        }
    }
}

TEST_F(ScrollTest, DragFollowsTheMouseBeyondTheBarUntilRelease)
{
    for (bool vertical : {true, false}) {
        SCOPED_TRACE(vertical ? "vertical" : "horizontal");
        const UINT msg = vertical ? WM_VSCROLL : WM_HSCROLL;
        KWndScroll bar;
        Make(bar, vertical);
        bar.SetDefault();
        bar.SetArea(200);
        bar.SetPos(30);
        EXPECT_EQ(Press(bar, Along(vertical, 50)), std::vector<Note>{});
        EXPECT_EQ(GetCapture(), bar.GetHandle());
        // Along the track, then before the bar's start and past its end, far
        // to the side: the thumb follows, held at 0 and at the range.
        const POINT mid = Along(vertical, 36), before = Along(vertical, -15),
                    after = Along(vertical, 130);
        Mouse(WM_MOUSEMOVE, int(mid.x), int(mid.y));
        EXPECT_EQ(bar.GetPos(), 20);
        Mouse(WM_MOUSEMOVE, vertical ? 10 : int(before.x), vertical ? int(before.y) : 10);
        EXPECT_EQ(bar.GetPos(), 0);
        Mouse(WM_MOUSEMOVE, vertical ? 190 : int(after.x), vertical ? int(after.y) : 155);
        EXPECT_EQ(bar.GetPos(), 60);
        EXPECT_EQ(Take(), (std::vector<Note>{{msg, SB_THUMBPOSITION, 66},
                                             {msg, SB_THUMBPOSITION, 0},
                                             {msg, SB_THUMBPOSITION, 200}}));
        // Released away from the bar: the drag is over, the mouse let go.
        Mouse(WM_LBUTTONUP, 190, 155);
        EXPECT_EQ(bar.GetState() & KWNDSCROLL_STATE_DRAG, 0u);
        EXPECT_EQ(GetCapture(), HWND(NULL));
        Mouse(WM_MOUSEMOVE, int(mid.x), int(mid.y));
        EXPECT_EQ(Take(), std::vector<Note>{});
        m_main.DelChild(&bar);
    }
}

TEST_F(ScrollTest, MoveWithoutTheButtonEndsADrag)
{
    KWndScroll bar;
    Make(bar, true);
    bar.SetDefault();
    bar.SetArea(200);
    bar.SetPos(30);
    Press(bar, Along(true, 50));
    ASSERT_NE(bar.GetState() & KWNDSCROLL_STATE_DRAG, 0u);
    // The button came up where nothing told the bar: the next move says so.
    SendMessageA(bar.GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(108, 40));
    EXPECT_EQ(bar.GetState() & KWNDSCROLL_STATE_DRAG, 0u);
    EXPECT_EQ(GetCapture(), HWND(NULL));
    EXPECT_EQ(bar.GetPos(), 30);
    EXPECT_EQ(Take(), std::vector<Note>{});
}

TEST_F(ScrollTest, BarWithoutRangeReportsPositionZero)
{
    KWndScroll bar;  // no SetDefault, no pictures: range 0
    Make(bar, true);
    bar.SetArea(200);
    EXPECT_EQ(Press(bar, Along(true, 40)),
              (std::vector<Note>{{WM_VSCROLL, SB_THUMBPOSITION, 0}}));
    Mouse(WM_LBUTTONUP, 108, 60);
}

TEST_F(ScrollTest, DisabledOrHiddenBarIgnoresPresses)
{
    KWndScroll bar;
    Make(bar, true);
    bar.SetDefault();
    bar.SetPos(30);
    for (DWORD state : {DWORD(KWND_STATE_DISABLE), DWORD(KWND_STATE_HIDE)}) {
        bar.AddState(state);
        SendMessageA(bar.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(108, 25));
        EXPECT_EQ(bar.GetPos(), 30);
        EXPECT_EQ(bar.GetState() & 0xE0, 0u);
        bar.SubState(state);
    }
    EXPECT_EQ(Take(), std::vector<Note>{});
}

// A step larger than one (area 10 of a range of 60: step 6) goes the whole
// step, and the last one stops at the end exactly, whichever arrow.
TEST_F(ScrollTest, ArrowsStepWholeStepsAndStopAtTheEnds)
{
    struct Case {
        const char* what;
        long pos, p;
        WPARAM code;
        long after;
    };
    const Case cases[] = {
        {"second arrow, a whole step", 30, 95, SB_LINEDOWN, 36},
        {"second arrow, the step reaching the range", 54, 95, SB_LINEDOWN, 60},
        {"second arrow, a step past the range", 56, 95, SB_LINEDOWN, 60},
        {"second arrow, one short of the range", 59, 95, SB_LINEDOWN, 60},
        {"first arrow, a whole step", 30, 5, SB_LINEUP, 24},
        {"first arrow, a step past 0", 4, 5, SB_LINEUP, 0},
        {"first arrow, one from 0", 1, 5, SB_LINEUP, 0},
    };
    for (bool vertical : {true, false})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (vertical ? " (vertical)" : " (horizontal)"));
            KWndScroll bar;
            Make(bar, vertical);
            bar.SetDefault();
            bar.SetArea(10);
            ASSERT_EQ(bar.GetStep(), 6);
            bar.SetPos(c.pos);
            const UINT msg = vertical ? WM_VSCROLL : WM_HSCROLL;
            EXPECT_EQ(Press(bar, Along(vertical, c.p)), (std::vector<Note>{{msg, c.code, 1}}));
            EXPECT_EQ(bar.GetPos(), c.after);
            const POINT at = Along(vertical, c.p);
            Mouse(WM_LBUTTONUP, int(at.x), int(at.y));
            Take();
        }
}

TEST_F(ScrollTest, DownStepsAndAlwaysSaysVertical)
{
    KWndScroll bar;
    Make(bar, false);
    bar.SetDefault();
    bar.SetArea(10);  // step 6
    bar.SetPos(56);
    bar.Down();
    EXPECT_EQ(bar.GetPos(), 60);  // held at the range
    bar.Down();                   // at the range: nothing
    EXPECT_EQ(Take(), (std::vector<Note>{{WM_VSCROLL, SB_LINEDOWN, 1}}));
}

TEST_F(ScrollTest, RepeatTimerStepsWhileAnArrowIsHeld)
{
    KWndScroll bar;
    Make(bar, true);
    bar.SetDefault();
    bar.SetArea(200);
    bar.SetPos(30);
    Press(bar, Along(true, 95));
    SetTimer(bar.GetHandle(), KWNDSCROLL_TIMER_REPEAT, 50, NULL);
    Take();
    Sleep(60);
    Pump();
    Sleep(60);
    Pump();
    EXPECT_EQ(bar.GetPos(), 33);
    EXPECT_EQ(Take(), (std::vector<Note>{{WM_VSCROLL, SB_LINEDOWN, 1},
                                         {WM_VSCROLL, SB_LINEDOWN, 1}}));
    Mouse(WM_LBUTTONUP, 108, 115);
    Sleep(60);
    Pump();
    EXPECT_EQ(bar.GetPos(), 33);  // released: the timer finds no arrow held
    bar.Release();
}

TEST_F(ScrollTest, TwoColourDrawing)
{
    const WORD back = 0x1234, line = 0xF800;
    KWndScroll bar;
    Make(bar, true);
    bar.SetDefault();
    bar.SetColor(back, line);
    bar.SetPos(30);
    Frame();
    // Outline, the two arrow boxes' inner lines, the thumb's frame at
    // 20 + 16 + 30 = 66 (8 high), the fill between.
    struct Px {
        int x, y;
        WORD c;
    };
    const Px vertical[] = {
        {100, 20, line}, {115, 119, line}, {105, 36, line}, {105, 103, line},
        {105, 66, line}, {105, 73, line},  {105, 70, back}, {105, 50, back},
        {105, 90, back}, {99, 50, 0},      {116, 50, 0},
        // The arrows (q 4, m 8): bases and the tips' lines.
        {106, 32, line}, {108, 24, line}, {106, 108, line}, {104, 108, line},
        {102, 30, back},
    };
    for (const Px& p : vertical)
        EXPECT_EQ(At(p.x, p.y), p.c) << p.x << "," << p.y;
    Press(bar, Along(true, 70));  // the thumb jumps to 54
    Mouse(WM_LBUTTONUP, 108, 90);
    Frame();
    EXPECT_EQ(At(105, 66), back);
    EXPECT_EQ(At(105, 90), line);
    m_main.DelChild(&bar);
    bar.SetState(KWND_STATE_HIDE);

    KWndScroll across;
    Make(across, false);
    across.SetDefault();
    across.SetColor(back, line);
    across.SetPos(10);
    Frame();
    // Lines down at 20 + 16 and 120 - 16 - 1; the thumb from 46 to 53; no
    // arrow glyphs on a horizontal bar.
    const Px horizontal[] = {
        {20, 130, line}, {36, 137, line}, {103, 137, line}, {46, 137, line},
        {53, 137, line}, {50, 137, back}, {28, 137, back},  {111, 137, back},
    };
    for (const Px& p : horizontal)
        EXPECT_EQ(At(p.x, p.y), p.c) << p.x << "," << p.y;
}


TEST_F(ScrollTest, PictureDrawing)
{
    auto column = [&](int x) {
        std::vector<WORD> out;
        for (int y = 20; y < 120; y++)
            out.push_back(At(x, y));
        return out;
    };

    KWndScroll bar;
    Make(bar, true);
    GivePictures(bar);
    EXPECT_EQ(bar.GetBlockSize(), 16u);
    EXPECT_EQ(bar.GetThumbSize(), 8u);
    EXPECT_EQ(bar.GetRange(), 60);
    EXPECT_NE(bar.GetState() & KWNDSCROLL_STATE_OWNSPRITE, 0u);
    bar.SetArea(200);
    bar.SetPos(30);
    Frame();
    // Up arrow 20-35, six track tiles 36-95 and the top 8 rows of a
    // seventh, the down arrow from the last track row on, the thumb at 66.
    std::vector<WORD> want;
    for (int y = 20; y < 120; y++) {
        WORD c = y < 36 ? kUp : y < 103 ? kTrack : y < 119 ? kDown : 0;
        if (y >= 66 && y < 74)
            c = kThumb;
        want.push_back(c);
    }
    EXPECT_EQ(column(108), want);
    // A press on the track moves the picture thumb too.
    EXPECT_EQ(Press(bar, Along(true, 26)),
              (std::vector<Note>{{WM_VSCROLL, SB_THUMBPOSITION, 33}}));
    Mouse(WM_LBUTTONUP, 108, 46);
    Frame();
    EXPECT_EQ(At(108, 46), kThumb);
    EXPECT_EQ(At(108, 70), kTrack);

    // Not keyed: the track picture alone, once, at the corner.
    bar.SubState(KWND_STATE_COLORKEY);
    Frame();
    std::vector<WORD> plain(100, 0);
    for (int y = 0; y < 10; y++)
        plain[size_t(y)] = kTrack;
    EXPECT_EQ(column(108), plain);

    // A track picture without height tiles nothing (and ends).
    RECT flat = {0, 0, 16, 0};
    bar.SetSprite(bar.GetSprite(KWND_SCROLL_BACK), KWND_SCROLL_BACK, flat, true);
    Frame();
    EXPECT_EQ(At(108, 80), 0);
    EXPECT_EQ(At(108, 25), kUp);
    GivePictures(bar);

    // Shorter than its two arrows: no track at all.
    bar.AddState(KWND_STATE_COLORKEY);
    bar.SetRect(100, 20, 16, 30);
    Frame();
    for (WORD c : column(108))
        EXPECT_NE(c, kTrack);
}

TEST_F(ScrollTest, BorrowedPicturesStayWithTheirOwner)
{
    const std::string path = Bmp("thumb.bmp", 16, 8, [](int, int) { return kThumb; });
    KSprite* thumb = m_graph->Load(path.c_str(), 17, NULL);
    ASSERT_NE(thumb, nullptr);
    const std::string strip = Bmp("arrow.bmp", 16, 16, [](int, int) { return kUp; });
    KSprite* arrow = m_graph->Load(strip.c_str(), 17, NULL);
    ASSERT_NE(arrow, nullptr);
    {
        KWndScroll bar;
        Make(bar, true);
        bar.SetSprite(thumb, KWND_SCROLL_BLOCK, true);  // borrowed
        RECT all = {0, 0, 16, 16};
        bar.SetSprite(arrow, KWND_SCROLL_SUBBLOCK, all, true);  // a view the bar owns
        bar.SetSprite(arrow, KWND_SCROLL_SUBBLOCK, all, true);  // replaced: the old view goes
        EXPECT_EQ(bar.GetSprite(KWND_SCROLL_BLOCK), thumb);
        EXPECT_EQ(bar.GetRange(), 100 - 32 - 8);
        bar.Release();
        EXPECT_EQ(bar.GetSprite(KWND_SCROLL_SUBBLOCK), nullptr);
    }
    // The borrowed picture is whole after the bar is gone.
    EXPECT_TRUE(thumb->IsInited());
    EXPECT_EQ(thumb->GetRectHeight(), 8u);
    m_graph->ReleaseKSprite(thumb);
    m_graph->ReleaseKSprite(arrow);
}

}  // namespace
