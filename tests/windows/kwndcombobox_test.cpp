// The combo box driven as a player drives it: its list shown by the host, a
// click on a line of the list at the main window, the chosen line in the
// field and the list gone, all read back from the presented pixels.
#include "controls_fixture.h"

namespace {

// A field 100 x 18 at (30, 40) over a list 100 x 65 below it (5 rows of 13,
// client area from (36, 58)).
const WORD kField = 0x0200, kLines = 0x0100;

class ComboTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        desktop::UseManualClock(1000);
        OpenMain(240, 200, 0, 0, false);
    }
    void Make(KWndComboBox& combo, int y = 40, bool above = false)
    {
        combo.SetGraph(m_graph);
        ASSERT_EQ(combo.Create("combo", WS_CHILD | WS_VISIBLE, 30, y, 100, 18, &m_main, 12, 100,
                               65, above),
                  0);
        combo.setColor(kField);
        combo.GetList()->SetColor(kLines, 0x0841);
        m_main.AddChild(&combo);
    }
    // The character box at (x, y) in colour `base`, or 0.
    char Box(int x, int y, WORD base)
    {
        const WORD c = At(x, y);
        return c > base && c < base + 0x80 ? char(c - base) : 0;
    }
};

TEST_F(ComboTest, ListStandsBelowOrAboveAndStartsHidden)
{
    KWndComboBox below, above;
    Make(below);
    Make(above, 200, true);
    KWndListBox_Simple* list = below.GetList();
    EXPECT_EQ(*list->GetRect(), (RECT{30, 58, 130, 123}));
    EXPECT_EQ(*above.GetList()->GetRect(), (RECT{30, 135, 130, 200}));
    EXPECT_TRUE(list->IsHide());
    EXPECT_EQ(list->GetID(), UINT(KWND_LIST_ID));
    EXPECT_EQ(GetParent(list->GetHandle()), below.GetHandle());
    char title[16] = {};
    GetWindowTextA(list->GetHandle(), title, sizeof(title));
    EXPECT_STREQ(title, "List");
    EXPECT_FALSE(below.IsListShown());
    EXPECT_FALSE(below.IsIn(60, 70));  // the hidden list's area is not the combo box's
    EXPECT_TRUE(below.IsIn(60, 45));
}

TEST_F(ComboTest, AddedStringsGoInAtTheDefaultSlot)
{
    KWndComboBox combo;
    Make(combo);
    combo.CreateList(4, 16);
    combo.AddString("a");
    combo.AddString("b");
    KWndListBox_Simple* list = combo.GetList();
    EXPECT_STREQ(list->GetString(0), "b");
    EXPECT_STREQ(list->GetString(1), "a");
    EXPECT_STREQ(combo.GetString(), "b");
    combo.SetDefaultIndex(2);
    combo.AddString("c");
    EXPECT_STREQ(list->GetString(2), "c");
    combo.DelString("a");
    EXPECT_STREQ(list->GetString(1), "");
    EXPECT_STREQ(combo.GetString(), "c");
    const std::string longText(300, 'x');
    combo.AddString(longText.c_str());
    EXPECT_EQ(std::string(combo.GetString()), longText.substr(0, 255));
}

TEST_F(ComboTest, ChoosingALineShowsItAndHidesTheList)
{
    KWndComboBox combo;
    Make(combo);
    combo.CreateList(5, 16);
    for (const char* s : {"Cherry", "Banana", "Apple"})
        combo.AddString(s);
    KWndListBox_Simple* list = combo.GetList();
    list->AddState(KWNDLISTBOX_STATE_SELECT);
    Frame();
    EXPECT_EQ(Box(33, 43, kField), 'A');
    EXPECT_EQ(Box(36, 59, kLines), 0);  // the list is not drawn while hidden

    // The host opens the list.
    list->ShowWindow();
    combo.SetListShown(true);
    Frame();
    EXPECT_EQ(Box(36, 59, kLines), 'A');
    EXPECT_EQ(Box(36, 72, kLines), 'B');
    EXPECT_EQ(Box(36, 85, kLines), 'C');

    Mouse(WM_MOUSEMOVE, 60, 75);
    Mouse(WM_LBUTTONDOWN, 60, 75);
    Mouse(WM_LBUTTONUP, 60, 75);
    EXPECT_STREQ(combo.GetString(), "Banana");
    EXPECT_TRUE(list->IsHide());
    EXPECT_FALSE(combo.IsListShown());
    EXPECT_EQ(m_main.notes, std::vector<Note>{});  // the combo box keeps its list's news
    Frame();
    EXPECT_EQ(Box(33, 43, kField), 'B');
    EXPECT_EQ(Box(36, 59, kLines), 0);
    EXPECT_EQ(Box(36, 72, kLines), 0);

    // The list's area is the combo box's no more: a click there reaches
    // nothing, and the text stays.
    EXPECT_FALSE(combo.IsIn(60, 88));
    Mouse(WM_LBUTTONDOWN, 60, 88);
    Mouse(WM_LBUTTONUP, 60, 88);
    EXPECT_STREQ(combo.GetString(), "Banana");
}

TEST_F(ComboTest, OnlyItsListsSelectionChangesTheText)
{
    KWndComboBox combo;
    Make(combo);
    combo.CreateList(3, 16);
    combo.AddString("one");
    SendMessageA(combo.GetHandle(), WM_COMMAND, 7, LPARAM(KWND_NOTIFY_SELECT));
    SendMessageA(combo.GetHandle(), WM_COMMAND, KWND_LIST_ID, LPARAM(KWND_NOTIFY_DBLCLK));
    EXPECT_STREQ(combo.GetString(), "one");
    combo.AddState(KWND_STATE_DISABLE);
    combo.GetList()->ShowWindow();
    combo.SetListShown(true);
    combo.GetList()->AddState(KWNDLISTBOX_STATE_SELECT);
    Mouse(WM_LBUTTONDOWN, 60, 60);  // a disabled combo box passes no click on
    EXPECT_FALSE(combo.GetList()->IsHide());
}

TEST_F(ComboTest, TextIsDrawnAsWritten)
{
    KWndComboBox combo;
    Make(combo);
    combo.CreateList(3, 16);
    combo.AddString("%s%n%d");
    Frame();
    const char text[] = "%s%n%d";
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(Box(33 + 6 * i + 1, 45, kField), text[i]) << i;
}

TEST_F(ComboTest, ReleasedOnceAndAgainWithoutHarm)
{
    auto* combo = new KWndComboBox;
    Make(*combo);
    combo->CreateList(8, 32);
    combo->AddString("kept");
    combo->Release();
    EXPECT_EQ(combo->GetList()->GetString(0), nullptr);
    combo->Release();
    delete combo;  // the destructor releases the list a third time
    Frame();
}

// The messages each list control's table handles, in order, each table
// chained straight to the window base's.
TEST(ListControlTables, RowsAndBase)
{
    struct Case {
        const KMessageFunc* table;
        std::vector<UINT_PTR> rows;
    };
    const Case cases[] = {
        {KWndScroll::messageEntries,
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_TIMER, KWM_MOUSELEAVE}},
        {_KWndListBox::messageEntries,
         {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDBLCLK, WM_VSCROLL, WM_HSCROLL}},
        {KWndComboBox::messageEntries, {WM_LBUTTONDOWN, WM_COMMAND}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KMessageTableBase(c.table), KestrelWnd::messageEntries);
        std::vector<UINT_PTR> rows;
        for (const KMessageFunc* row = c.table + 1; row->pfnHandler != nullptr; row++)
            rows.push_back(row->nMessage);
        EXPECT_EQ(rows, c.rows);
    }
    KWndListBox text;
    KWndListBox_Simple simple;
    EXPECT_EQ(static_cast<KestrelWnd&>(text).GetMessageEntries(), _KWndListBox::messageEntries);
    EXPECT_EQ(static_cast<KestrelWnd&>(simple).GetMessageEntries(), _KWndListBox::messageEntries);
}

}  // namespace
