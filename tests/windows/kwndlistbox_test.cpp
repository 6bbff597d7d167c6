// The list boxes driven as a player drives them: clicks and double clicks at
// the main window, the bar's presses coming back to the list inside the
// press, the notifications the main window hears and the lines presented
// (the box font draws each character as a box of colour + code).
#include "controls_fixture.h"

#include <ktextlist.h>

namespace {

// A list 120 x 100 at (20, 20) in the 12-pixel box font: line height 13,
// 7 rows, client area (26, 24) to (127, 120).
const int kLeft = 20, kTop = 20, kW = 120, kH = 100;
const long kRowTop = 24, kTextX = 26, kLh = 13;
const WORD kText = 0x0100, kSel = 0x0841;

long RowY(int row)
{
    return kRowTop + kLh * row;
}

// A text list box that notes the scroll messages reaching it, then lets the
// list handle them.
class HeardList : public KWndListBox {
    KWND_DECLARE_MESSAGES()
public:
    int OnVScrollHeard(WPARAM w, LPARAM l)
    {
        heard.push_back({WM_VSCROLL, w, l});
        return 0;
    }
    std::vector<Note> heard;
};

KWND_BEGIN_MESSAGES(HeardList, _KWndListBox)
    KWND_MESSAGE(WM_VSCROLL, HeardList::OnVScrollHeard)
KWND_END_MESSAGES()

class ListTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        desktop::UseManualClock(1000);
        OpenMain(240, 200, 10, 10, true);
    }
    void Make(_KWndListBox& list, UINT id = 9)
    {
        list.SetGraph(m_graph);
        ASSERT_EQ(list.Create("list", WS_CHILD | WS_VISIBLE, kLeft, kTop, kW, kH, &m_main, id),
                  0);
        list.SetColor(kText, kSel);
        m_main.AddChild(&list);
    }
    // Lines "A", "B", ... (the first letter tells them apart on screen).
    static std::string Name(int i) { return std::string(1, char('A' + i)) + "line"; }
    void Fill(KWndListBox& list, int from, int to)
    {
        for (int i = from; i < to; i++)
            list.AddString(Name(i).c_str());
    }
    // The first letter drawn on row `row` (0 when the row shows no line).
    char Shown(int row)
    {
        const WORD c = At(int(kTextX), int(RowY(row) + 1));
        return c > kText && c < kText + 0x80 ? char(c - kText) : 0;
    }
    std::vector<Note> Take()
    {
        std::vector<Note> out = m_main.notes;
        m_main.notes.clear();
        return out;
    }
};

TEST_F(ListTest, LayoutFollowsTheFont)
{
    KWndListBox list;
    Make(list);
    EXPECT_EQ(list.GetLineHeight(), kLh);
    EXPECT_EQ(list.GetLines(), 7);
    EXPECT_EQ(*list.GetClientArea(), (RECT{26, 24, 127, 120}));
    ASSERT_NE(list.GetVScroll(), nullptr);
    EXPECT_EQ(*list.GetVScroll()->GetRect(), (RECT{131, 20, 143, 120}));
    EXPECT_NE(list.GetVScroll()->GetState() & KWNDSCROLL_STATE_VERTICAL, 0u);
    EXPECT_EQ(GetParent(list.GetVScroll()->GetHandle()), list.GetHandle());
    EXPECT_EQ(list.GetState() & 0xFFFF,
              DWORD(KWNDLISTBOX_STATE_DEFAULT | KWNDLISTBOX_STATE_VSCROLL));
    EXPECT_EQ(list.SetHeight(100), 91);
    EXPECT_EQ(list.GetHeight(), kH);  // SetHeight only rounds
    list.CreateHScroll(10);
    ASSERT_NE(list.GetHScroll(), nullptr);
    EXPECT_EQ(*list.GetHScroll()->GetRect(), (RECT{20, 119, 140, 129}));
    list.ChangeSize(kW, 60);
    EXPECT_EQ(list.GetLines(), 4);  // 60 = 4 x 13 + 8
    EXPECT_EQ(*list.GetClientArea(), (RECT{26, 24, 127, 80}));
    EXPECT_EQ(*list.GetVScroll()->GetRect(), (RECT{131, 20, 143, 80}));
}

// Clicks at rows of a five-line list: what becomes current, what the main
// window hears.
TEST_F(ListTest, ClickSelectsAndDoubleClickNotifies)
{
    struct Case {
        const char* what;
        UINT msg;
        long y;
        int cur;
        LPARAM note;  // 0: none
    };
    const LPARAM sel = LPARAM(KWND_NOTIFY_SELECT), dbl = LPARAM(KWND_NOTIFY_DBLCLK);
    const Case cases[] = {
        {"row 2", WM_LBUTTONDOWN, RowY(2) + 5, 2, sel},
        {"row 0's first pixel", WM_LBUTTONDOWN, RowY(0), 0, sel},
        {"double click on row 3", WM_LBUTTONDBLCLK, RowY(3) + 12, 3, dbl},
        {"below the last line", WM_LBUTTONDOWN, RowY(5) + 2, -1, 0},
        {"row 4", WM_LBUTTONDOWN, RowY(4) + 1, 4, sel},
        {"above the client band keeps row 4", WM_LBUTTONDOWN, kTop + 1, 4, sel},
        {"double click below the lines", WM_LBUTTONDBLCLK, RowY(6) + 1, -1, 0},
    };
    KWndListBox list;
    Make(list);
    list.CreateList(32, 16);
    Fill(list, 0, 5);
    list.AddState(KWNDLISTBOX_STATE_SELECT);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mouse(c.msg, 60, int(c.y));
        Mouse(WM_LBUTTONUP, 60, int(c.y));
        EXPECT_EQ(list.GetCur(), c.cur);
        std::vector<Note> want;
        if (c.note != 0)
            want.push_back({WM_COMMAND, 9, c.note});
        EXPECT_EQ(Take(), want);
    }
    list.SetState(list.GetState() | KWND_STATE_DISABLE);
    Mouse(WM_LBUTTONDOWN, 60, int(RowY(1) + 1));
    EXPECT_EQ(list.GetCur(), -1);
    EXPECT_EQ(Take(), std::vector<Note>{});
}

TEST_F(ListTest, TrackingFollowsTheMouseAndAClickNotifies)
{
    KWndListBox list;
    Make(list);
    list.CreateList(32, 16);
    Fill(list, 0, 5);
    list.AddState(KWNDLISTBOX_STATE_TRACK);
    Mouse(WM_MOUSEMOVE, 60, int(RowY(3) + 4));
    EXPECT_EQ(list.GetCur(), 3);
    EXPECT_STREQ(list.GetCurString(), "Dline");
    EXPECT_EQ(Take(), std::vector<Note>{});
    Mouse(WM_LBUTTONDOWN, 60, int(RowY(1) + 4));  // a click does not select here
    EXPECT_EQ(list.GetCur(), 3);
    EXPECT_EQ(Take(), (std::vector<Note>{{WM_COMMAND, 9, LPARAM(KWND_NOTIFY_SELECT)}}));
}

TEST_F(ListTest, HighlightAndLinesArePresented)
{
    KWndListBox list;
    Make(list);
    list.CreateList(32, 40);
    Fill(list, 0, 3);
    list.AddString("%d%s%n");  // text, never a format
    list.AddState(KWNDLISTBOX_STATE_SELECT);
    Mouse(WM_LBUTTONDOWN, 60, int(RowY(1) + 2));
    Frame();
    EXPECT_EQ(Shown(0), 'A');
    EXPECT_EQ(Shown(1), 'B');
    EXPECT_EQ(Shown(2), 'C');
    EXPECT_EQ(Shown(4), 0);
    // The row's band: from the client's left to its right edge.
    EXPECT_EQ(At(100, int(RowY(1) + 2)), kSel);
    EXPECT_EQ(At(126, int(RowY(1))), kSel);
    EXPECT_EQ(At(127, int(RowY(1))), 0);
    EXPECT_EQ(At(25, int(RowY(1))), 0);
    EXPECT_EQ(At(100, int(RowY(2))), 0);
    const char text[] = "%d%s%n";
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(At(int(kTextX) + 6 * i + 2, int(RowY(3) + 3)), WORD(kText + text[i])) << i;
}

TEST_F(ListTest, WideLinesAreCutOrTakeMoreRows)
{
    KWndListBox list;
    Make(list);
    list.CreateList(32, 64);
    const std::string wide(40, 'W');  // 240 pixels in a 101-pixel client area
    list.AddString(wide.c_str());
    list.AddString("Next");
    Frame();
    EXPECT_EQ(Shown(1), 'N');
    EXPECT_EQ(At(117, int(RowY(0) + 1)), WORD(kText + 'W'));
    EXPECT_EQ(At(127, int(RowY(0) + 1)), 0);  // cut at the client's edge
    list.AddState(KWNDLISTBOX_STATE_MULTILINE);
    Frame();
    EXPECT_EQ(Shown(1), 0);
    EXPECT_EQ(Shown(3), 'N');  // 240 / 101 + 1 = 3 rows

    // Narrower than its bar's strip: no room for text, none drawn.
    list.ChangeSize(15, kH);
    EXPECT_LT(list.GetClientArea()->right, list.GetClientArea()->left);
    Frame();
    EXPECT_EQ(Shown(0), 0);
}

// Every scroll code on a list of 20 lines (the last start is 13) and on one
// of 3 lines, fewer than its 7 rows.
TEST_F(ListTest, ScrollCodesKeepTheFirstLineInsideTheList)
{
    struct Case {
        int used, top;
        WPARAM code;
        LONG value;
        int after;
    };
    const Case cases[] = {
        {20, 0, SB_LINEUP, 1, 0},           {20, 5, SB_LINEUP, 1, 4},
        {20, 12, SB_LINEDOWN, 1, 13},       {20, 13, SB_LINEDOWN, 1, 13},
        {20, 0, SB_THUMBPOSITION, 5, 5},    {20, 0, SB_THUMBPOSITION, 99, 13},
        {20, 7, SB_THUMBPOSITION, -3, 0},   {20, 0, SB_BOTTOM, 0, 13},
        {20, 6, SB_PAGEDOWN, 0, 6},         {20, 6, 8, 0, 6},
        {3, 0, SB_BOTTOM, 0, 0},            {3, 0, SB_THUMBPOSITION, 5, 0},
        {3, 0, SB_LINEDOWN, 1, 0},
    };
    for (const Case& c : cases) {
        KWndListBox list;
        Make(list);
        list.CreateList(32, 16);
        list.SubState(KWNDLISTBOX_STATE_VSCROLL);  // lines added without following
        Fill(list, 0, c.used);
        SendMessageA(list.GetHandle(), WM_VSCROLL, SB_THUMBPOSITION, c.top);
        ASSERT_EQ(list.GetTop(), std::min(c.top, std::max(0, c.used - 7)));
        SendMessageA(list.GetHandle(), WM_VSCROLL, c.code, LPARAM(c.value));
        EXPECT_EQ(list.GetTop(), c.after) << c.used << " " << c.top << " " << c.code;
        Frame();  // never draws from before the first line
        EXPECT_EQ(Shown(0), char('A' + c.after));
        m_main.DelChild(&list);
    }
}

// The bar's presses reach the list inside the press; a click then selects
// the line under the mouse, not the row's number.
TEST_F(ListTest, AfterScrollingAClickSelectsTheLineUnderIt)
{
    KWndListBox list;
    Make(list);
    // Bar pictures: arrows 16, thumb 8, so the bar's range is 60.
    const std::string path = Bmp("bar.bmp", 12, 50, [](int, int y) {
        return WORD(y < 10 ? 0x07E0 : y < 18 ? 0xF81F : y < 34 ? 0x001F : 0xFFE0);
    });
    KSprite* src = m_graph->Load(path.c_str(), 17, NULL);
    ASSERT_NE(src, nullptr);
    RECT parts[4] = {{0, 0, 12, 10}, {0, 10, 12, 18}, {0, 18, 12, 34}, {0, 34, 12, 50}};
    const int index[4] = {KWND_SCROLL_BACK, KWND_SCROLL_BLOCK, KWND_SCROLL_SUBBLOCK,
                          KWND_SCROLL_ADDBLOCK};
    for (int i = 0; i < 4; i++)
        list.SetVScrollSprite(src, index[i], parts[i], true);
    m_graph->ReleaseKSprite(src);
    list.CreateList(32, 16);
    list.AddState(KWNDLISTBOX_STATE_SELECT);
    Fill(list, 0, 20);
    EXPECT_EQ(list.GetTop(), 13);  // following the newest line
    KWndScroll* bar = list.GetVScroll();
    EXPECT_EQ(bar->GetPos(), 60);

    // The up arrow: one line back.
    Mouse(WM_LBUTTONDOWN, 137, kTop + 4);
    Mouse(WM_LBUTTONUP, 137, kTop + 4);
    EXPECT_EQ(list.GetTop(), 12);
    // The track near its start: position 10 of 60 over 13 lines.
    Mouse(WM_LBUTTONDOWN, 137, kTop + 26);
    Mouse(WM_LBUTTONUP, 137, kTop + 26);
    EXPECT_EQ(list.GetTop(), 2);
    EXPECT_EQ(Take(), std::vector<Note>{});  // pressing the bar chooses nothing
    Mouse(WM_LBUTTONDOWN, 60, int(RowY(1) + 3));
    EXPECT_EQ(list.GetCur(), 1);
    EXPECT_EQ(list.GetCurItem(), 3);
    EXPECT_STREQ(list.GetCurString(), "Dline");
    Frame();
    EXPECT_EQ(Shown(0), 'C');
    EXPECT_EQ(At(100, int(RowY(1) + 1)), kSel);
}

// AddString steps the list's own bar, which sends WM_VSCROLL back to the
// list before AddString returns: nothing is pumped in between.
TEST_F(ListTest, AddingStepsTheBarInsideTheCall)
{
    HeardList list;
    Make(list);
    list.CreateList(32, 16);
    Fill(list, 0, 7);
    list.heard.clear();
    list.AddString("Hline");
    EXPECT_EQ(list.heard, (std::vector<Note>{{WM_VSCROLL, SB_LINEDOWN, 1}}));
    EXPECT_EQ(list.GetTop(), 1);
}

TEST_F(ListTest, FullListDropsItsOldestEighthAndFollows)
{
    KWndListBox list;
    Make(list);
    list.CreateList(16, 16);
    Fill(list, 0, 16);
    KTextList* lines = static_cast<KTextList*>(list.GetList());
    ASSERT_TRUE(lines->IsFull());
    EXPECT_EQ(list.GetTop(), 9);
    Fill(list, 16, 17);
    EXPECT_EQ(list.GetUsed(), 15);
    EXPECT_STREQ(lines->GetData(0), "Cline");  // A and B went
    EXPECT_STREQ(lines->GetData(14), "Qline");
    EXPECT_EQ(list.GetTop(), 8);
    Frame();
    EXPECT_EQ(Shown(0), 'K');
    EXPECT_EQ(Shown(6), 'Q');  // the newest line on the last row
    Fill(list, 17, 20);
    Frame();
    EXPECT_EQ(Shown(6), 'T');

    // A list smaller than eight lines still drops one to take one.
    KWndListBox small;
    small.SetGraph(m_graph);
    ASSERT_EQ(small.Create("small", WS_CHILD | WS_VISIBLE, 150, 20, 80, 60, &m_main, 3), 0);
    small.CreateList(4, 8);
    for (int i = 0; i < 6; i++)
        small.AddString(Name(i).c_str());
    EXPECT_EQ(small.GetUsed(), 4);
    EXPECT_STREQ(static_cast<KTextList*>(small.GetList())->GetData(3), "Fline");
}

TEST_F(ListTest, ClearStartsOverAndBorrowedListsStay)
{
    KTextList mine(8, 16);
    mine.Add("Xmine");
    {
        KWndListBox list;
        Make(list);
        list.CreateList(32, 16);  // made here, freed when replaced
        list.SetList(&mine);
        EXPECT_EQ(list.GetState() & KWNDLISTBOX_STATE_LIST, 0u);
        EXPECT_EQ(list.GetUsed(), 1);
        list.SetList(NULL);
        EXPECT_EQ(list.GetCurString(), nullptr);
        list.AddString("ignored");  // no list: nothing happens
        list.CreateList(32, 16);
        list.AddState(KWNDLISTBOX_STATE_SELECT);
        Fill(list, 0, 20);
        Mouse(WM_LBUTTONDOWN, 60, int(RowY(2) + 3));
        EXPECT_STREQ(list.GetCurString(), "Pline");
        list.Clear();
        EXPECT_EQ(list.GetTop(), 0);
        EXPECT_EQ(list.GetCur(), -1);
        Fill(list, 0, 2);
        Frame();
        EXPECT_EQ(Shown(0), 'A');
        EXPECT_EQ(Shown(1), 'B');
        list.Release();
        list.Release();
    }
    EXPECT_STREQ(mine.GetData(0), "Xmine");  // the host's list is untouched
}

TEST_F(ListTest, SimpleSlots)
{
    KWndListBox_Simple list;
    Make(list);
    list.CreateList(3, 8);
    auto slots = [&]() {
        return std::vector<std::string>{list.GetString(0), list.GetString(1), list.GetString(2)};
    };
    list.AddString(0, "A", false, false);
    list.AddString(2, "C", false, false);
    EXPECT_EQ(slots(), (std::vector<std::string>{"A", "", "C"}));
    list.AddString(0, "X", false, true);  // insert: the empty slot is skipped over
    EXPECT_EQ(slots(), (std::vector<std::string>{"X", "A", "C"}));
    list.AddString(1, "Y", false, false);  // full, no flags: unchanged
    EXPECT_EQ(slots(), (std::vector<std::string>{"X", "A", "C"}));
    list.AddString(1, "Y", true, false);
    EXPECT_EQ(slots(), (std::vector<std::string>{"X", "Y", "C"}));
    list.AddString(0, "Z", false, true);  // the last slot's string drops out
    EXPECT_EQ(slots(), (std::vector<std::string>{"Z", "X", "Y"}));
    EXPECT_EQ(list.GetUsed(), 3);
    list.AddString(2, "longer than eight", true, false);
    EXPECT_EQ(list.GetString(2), std::string("longer "));
    list.AddString(2, "abcde\xD6\xD0\xD6\xD0", true, false);  // never half a pair
    EXPECT_EQ(list.GetString(2), std::string("abcde\xD6\xD0"));
    list.DelString("X");
    list.DelString(0);
    EXPECT_EQ(slots(), (std::vector<std::string>{"", "", "abcde\xD6\xD0"}));
    EXPECT_EQ(list.GetUsed(), 1);
    list.AddState(KWNDLISTBOX_STATE_SELECT);
    Frame();
    EXPECT_EQ(Shown(0), 0);  // empty slots are blank rows
    EXPECT_EQ(Shown(2), 'a');
    Mouse(WM_LBUTTONDOWN, 60, int(RowY(0) + 1));
    EXPECT_EQ(list.GetCur(), 0);  // row 0 counts: one line is used
    EXPECT_STREQ(list.GetCurString(), "");
    list.Clear();
    EXPECT_EQ(list.GetUsed(), 0);
    list.Release();
    EXPECT_EQ(list.GetString(0), nullptr);
}

// Only whole lines are drawn: the third line of a list two lines high does
// not spill below it.
TEST_F(ListTest, SimpleListDrawsOnlyWholeLines)
{
    KWndListBox_Simple list;
    list.SetGraph(m_graph);
    ASSERT_EQ(list.Create("short", WS_CHILD | WS_VISIBLE, kLeft, kTop, kW, 30, &m_main, 4), 0);
    list.SetColor(kText, kSel);
    m_main.AddChild(&list);
    list.CreateList(4, 8);
    for (int i = 0; i < 4; i++)
        list.AddString(i, Name(i).c_str(), false, false);
    EXPECT_EQ(*list.GetClientArea(), (RECT{26, 22, 127, 50}));
    Frame();
    EXPECT_EQ(At(int(kTextX), 23), WORD(kText + 'A'));
    EXPECT_EQ(At(int(kTextX), 36), WORD(kText + 'B'));
    for (int y = 48; y < 60; y++)
        EXPECT_EQ(At(int(kTextX), y), 0) << y;
}

}  // namespace
