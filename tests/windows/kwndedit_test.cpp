// Edit fields driven as a player drives them: clicks and typing at the main
// window, through the router, the focus and the shared "EDIT" window; what
// the fields hold and what is presented.
#include "controls_fixture.h"

namespace {

// Opens the field's scroll position to the test.
class EditProbe : public KWndEdit {
public:
    long First() const { return m_nFirst; }
};

const DWORD kInk = 0x0100;     // text colour: a glyph pixel is kInk + code
const DWORD kSel = 0x07E0;     // selection colour

class EditTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        desktop::UseManualClock(1000);
        OpenMain(200, 80);
        KWndEdit::_editWnd = NULL;
        KWndEdit::_focusWnd = NULL;
        Make(m_a, 10, 10, 100, 14, 1);
        Make(m_b, 10, 30, 100, 14, 2);
    }
    void Make(KWndEdit& e, int x, int y, int w, int h, UINT id, const char* text = "")
    {
        e.SetGraph(m_graph);
        ASSERT_EQ(e.Create(text, WS_CHILD | WS_VISIBLE, x, y, w, h, &m_main, id), 0);
        e.SetColor(0xFFFFFFFF, kInk, kSel, 0);
        m_main.AddChild(&e);
    }
    // A click just right of the field's left edge: the caret goes to 0.
    void Click(KWndEdit& e, int dx = 1) { Mouse(WM_LBUTTONDOWN, e.GetRect()->left + dx, e.GetRect()->top + 2); Mouse(WM_LBUTTONUP, e.GetRect()->left + dx, e.GetRect()->top + 2); }
    // The characters drawn on the field's text row, read off the box font.
    std::string Drawn(KWndEdit& e, int count)
    {
        std::string out;
        for (int i = 0; i < count; i++)
            out += char(At(e.GetRect()->left + 6 * i + 2, e.GetRect()->top + 3) - kInk);
        return out;
    }
    EditProbe m_a, m_b;
};

TEST_F(EditTest, TypingGoesToTheClickedFieldUpToItsLimit)
{
    m_a.LimitText(10);
    Click(m_a);
    EXPECT_EQ(SendMessageA(KWndEdit::_editWnd, EM_GETLIMITTEXT, 0, 0), 9);
    Type("abcdefghijkl");
    EXPECT_STREQ(m_a.GetText(), "abcdefghi");
    EXPECT_STREQ(m_b.GetText(), "");
    Frame();
    EXPECT_EQ(Drawn(m_a, 9), "abcdefghi");
}

TEST_F(EditTest, NoLimitStillStopsAtWhatTheFieldHolds)
{
    // 0 and 1 give the shared window no limit of its own; 1000 more than
    // the field holds.
    for (int n : {0, 1, 1000}) {
        m_a.ClearText();
        m_a.LimitText(n);
        Click(m_b);
        Click(m_a);
        // The shared window holds no more than the field, whatever its own
        // default.
        EXPECT_EQ(SendMessageA(KWndEdit::_editWnd, EM_GETLIMITTEXT, 0, 0), 255) << n;
        Type(std::string(254, 'a'));
        TypeCode(kZhongCode);  // would end at byte 256
        Type("bc");
        EXPECT_EQ(std::string(m_a.GetText()), std::string(254, 'a') + "b") << n;
    }
}

TEST_F(EditTest, NothingTypedIsLostWhenTheFocusMovesBeforeAFrame)
{
    Click(m_a);
    Type("abc");
    Click(m_b);
    Type("xy");
    EXPECT_STREQ(m_a.GetText(), "abc");
    EXPECT_STREQ(m_b.GetText(), "xy");
    Click(m_a, 13);  // after "ab" (two 6-pixel characters)
    Type("Q");
    EXPECT_STREQ(m_a.GetText(), "abQc");
    EXPECT_STREQ(m_b.GetText(), "xy");
}

TEST_F(EditTest, TabAndEnterNotifyTheParentAndReachNoText)
{
    m_a.SetDstWndID(9);
    std::string atEnter;
    m_main.onNote = [&](const Note& n) {
        if (n.lParam == KWNDEDIT_NOTIFY_ENTER)
            atEnter = m_a.GetText();  // read as the notification arrives
    };
    Click(m_a);
    Type("hi");
    Key(VK_TAB);
    Key(VK_RETURN);
    EXPECT_EQ(m_main.notes, (std::vector<Note>{{WM_COMMAND, 1, 1}, {WM_COMMAND, 9, 0}}));
    EXPECT_EQ(atEnter, "hi");
    EXPECT_STREQ(m_a.GetText(), "hi");
}

TEST_F(EditTest, ReadOnlyTakesTheFocusButNoTypingAndShowsNoCaret)
{
    m_a.SetText("keep");
    m_a.AddState(KWNDEDIT_STATE_READONLY);
    Click(m_a);
    EXPECT_EQ(GetFocus(), m_a.GetHandle());
    Type("x\b");
    Key(VK_DELETE);
    EXPECT_STREQ(m_a.GetText(), "keep");
    desktop::AdvanceClock(300);  // the caret's "on" phase
    Pump();
    Frame();
    EXPECT_EQ(At(9, 11), 0);
}

TEST_F(EditTest, PasswordsDrawAsStarsWithTheCaretAfterThem)
{
    m_a.AddState(KWNDEDIT_STATE_PASSWORD);
    Click(m_a);
    Type("ab");
    TypeCode(kZhongCode);
    EXPECT_EQ(m_a.GetText(), "ab" + kZhong);
    desktop::AdvanceClock(300);
    Pump();
    Frame();
    EXPECT_EQ(Drawn(m_a, 3), "***");
    EXPECT_EQ(At(10 + 18 + 2, 13), 0);  // three stars, no fourth
    EXPECT_EQ(At(10 + 18 - 1, 11), kInk);  // the caret closes the third star
}

TEST_F(EditTest, DoubleByteTextIsNeverSplit)
{
    m_a.LimitText(5);  // four bytes
    Click(m_a);
    Type("a");
    TypeCode(kZhongCode);
    TypeCode(kWenCode);  // would make five bytes: stays out whole
    EXPECT_EQ(std::string(m_a.GetText()), "a" + kZhong);
    Type("b");
    EXPECT_EQ(std::string(m_a.GetText()), "a" + kZhong + "b");
    Key(VK_LEFT);
    Key(VK_LEFT);  // over the pair in one step
    Type("\b");
    EXPECT_EQ(std::string(m_a.GetText()), kZhong + "b");
    Key(VK_RIGHT);
    Type("\b");  // the whole pair
    EXPECT_EQ(std::string(m_a.GetText()), "b");
    // A click inside a double-byte character puts the caret before it,
    // one past it after it.
    m_b.SetText(("x" + kZhong + "y").c_str());
    Click(m_b, 6 + 7);  // into the 12-pixel character
    Type("!");
    EXPECT_EQ(std::string(m_b.GetText()), "x!" + kZhong + "y");
    Click(m_b, 6 + 6 + 12 + 2);
    Type("?");
    EXPECT_EQ(std::string(m_b.GetText()), "x!" + kZhong + "?y");
}

TEST_F(EditTest, AClickInAScrolledFieldCountsFromTheFirstVisibleCharacter)
{
    EditProbe narrow;
    Make(narrow, 10, 48, 30, 12, 3, "abcdefghijklmnop");
    Click(narrow);
    Key(VK_END);
    Frame();  // scrolls to the caret
    const long first = narrow.First();
    ASSERT_GT(first, 0);
    EXPECT_EQ(char(At(12, 51) - kInk), "abcdefghijklmnop"[first]);
    EXPECT_EQ(At(10 + 30 + 2, 51), 0);  // cut at the field's width
    Click(narrow, 1);
    Type("Z");
    std::string expect = "abcdefghijklmnop";
    expect.insert(size_t(first), "Z");
    EXPECT_EQ(std::string(narrow.GetText()), expect);
}

TEST_F(EditTest, SelectionBarCaretAndAnUnfocusedFieldShowingNone)
{
    m_a.SetText("hello");
    m_b.SetText("world");
    Click(m_a);
    Mouse(WM_LBUTTONDBLCLK, 12, 12);  // selects all of m_a
    Mouse(WM_LBUTTONUP, 12, 12);
    Frame();
    EXPECT_EQ(At(12, 10), kSel);           // the bar's top row, above the text
    EXPECT_EQ(At(10 + 30 + 1, 10), 0);     // ends with the text
    EXPECT_EQ(At(12, 30), 0);              // the other field shows none
    EXPECT_EQ(Drawn(m_b, 5), "world");
    // A drag from 'e' to 'l' selects them.
    Mouse(WM_LBUTTONDOWN, 10 + 7, 12);
    Mouse(WM_MOUSEMOVE, 10 + 19, 12);
    Mouse(WM_LBUTTONUP, 10 + 19, 12);
    Type("X");
    EXPECT_STREQ(m_a.GetText(), "hXlo");
    // An empty focused field shows only its caret, at left - 1.
    m_b.ClearText();
    Click(m_b);
    desktop::AdvanceClock(300);
    Pump();
    Frame();
    EXPECT_EQ(At(9, 35), kInk);
    EXPECT_EQ(At(11, 35), 0);
}

TEST_F(EditTest, CreateCutsLongTextAtACharacterAndReportsFailures)
{
    std::string text(254, 'a');
    text += kZhong + "tail";  // the pair would straddle byte 255
    EditProbe e;
    Make(e, 0, 0, 10, 10, 4, text.c_str());
    EXPECT_EQ(std::string(e.GetText()), std::string(254, 'a'));
    EditProbe f;
    desktop::FailOnce("CreateWindowExA");
    EXPECT_NE(f.Create("x", WS_CHILD, 0, 0, 10, 10, &m_main, 5), 0);
    EXPECT_EQ(f.GetHandle(), nullptr);
    // The shared window, once gone with its parent, is made again.
    DestroyWindow(KWndEdit::_editWnd);
    EditProbe g;
    Make(g, 120, 0, 50, 10, 6);
    EXPECT_TRUE(IsWindow(KWndEdit::_editWnd));
    Click(g, 2);
    Type("ok");
    EXPECT_STREQ(g.GetText(), "ok");
}

TEST_F(EditTest, ActiveTakesAnAbsolutePosition)
{
    m_b.SetText("abcdef");
    m_b.Active(10 + 13);  // after "ab"
    EXPECT_EQ(GetFocus(), m_b.GetHandle());
    Type("-");
    EXPECT_STREQ(m_b.GetText(), "ab-cdef");
}

}  // namespace
