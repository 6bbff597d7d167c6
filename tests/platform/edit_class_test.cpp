// The built-in "EDIT" class, driven through its messages as the edit fields
// drive it: text, byte selection, limit, typing (GBK kept whole), caret
// keys and the clipboard.
#include "platform_fixture.h"

#include <cstring>
#include <vector>

namespace {

class EditClassTest : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        m_top = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 50);
        m_edit = CreateWindowExA(0, "EDIT", nullptr, 0x508010C4, 0, 0, 1, 1, m_top,
                                 reinterpret_cast<HMENU>(UINT_PTR(5)), nullptr, nullptr);
        ASSERT_NE(m_edit, nullptr);
    }
    std::string Text()
    {
        char buf[512];
        GetWindowTextA(m_edit, buf, sizeof(buf));
        return buf;
    }
    std::pair<DWORD, DWORD> Sel()
    {
        DWORD a = 99, b = 99;
        SendMessageA(m_edit, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        return {a, b};
    }
    void Type(const std::string& bytes)
    {
        for (unsigned char c : bytes)
            SendMessageA(m_edit, WM_CHAR, c, 1);
    }
    void Key(UINT vk) { SendMessageA(m_edit, WM_KEYDOWN, vk, 1); }
    void SetSel(LONG_PTR a, LONG_PTR b) { SendMessageA(m_edit, EM_SETSEL, WPARAM(a), LPARAM(b)); }

    HWND m_top = nullptr;
    HWND m_edit = nullptr;
};

// "中文" in code page 936.
const std::string kZhong = "\xD6\xD0";
const std::string kWen = "\xCE\xC4";

TEST_F(EditClassTest, TypingReplacesTheSelectionWithinTheLimit)
{
    struct Case {
        const char* start;
        LONG_PTR a, b;
        size_t limit;
        std::string typed;
        std::string text;
        DWORD caret;
    };
    const Case cases[] = {
        {"", 0, 0, 0, "abc", "abc", 3},
        {"hello", 1, 4, 0, "X", "hXo", 2},
        {"hello", 4, 1, 0, "X", "hXo", 2},          // a reversed selection is the same
        {"hello", 0, -1, 0, "Z", "Z", 1},           // -1: to the end
        {"abc", 0, 0, 5, "12345", "12abc", 2},      // stops at the limit
        {"abc", 0, 99, 3, "xy", "xy", 2},           // the selection makes room
        {"ab", 2, 2, 3, kZhong, "ab", 2},           // a pair that does not fit stays out
        {"ab", 2, 2, 4, kZhong + "c", "ab" + kZhong, 4},
        {"", 0, 0, 0, std::string("\x01\x1f", 2) + "a", "a", 1},  // control bytes are no text
    };
    for (const Case& c : cases) {
        SetWindowTextA(m_edit, c.start);
        SendMessageA(m_edit, EM_LIMITTEXT, c.limit, 0);
        SetSel(c.a, c.b);
        Type(c.typed);
        EXPECT_EQ(Text(), c.text) << c.start << " typed " << c.typed;
        EXPECT_EQ(Sel(), std::make_pair(c.caret, c.caret)) << c.start;
    }
}

TEST_F(EditClassTest, SetTextIgnoresTheLimitAndClearsTheSelection)
{
    SendMessageA(m_edit, EM_LIMITTEXT, 2, 0);
    SetWindowTextA(m_edit, "abcdef");
    SetSel(2, 4);
    SetWindowTextA(m_edit, "longer than two");
    EXPECT_EQ(Text(), "longer than two");
    EXPECT_EQ(Sel(), std::make_pair(DWORD(0), DWORD(0)));
    EXPECT_EQ(GetWindowTextLengthA(m_edit), 15);
}

TEST_F(EditClassTest, GetTextCopiesAtMostTheCallersSizeAndSelectionPointersMayBeNull)
{
    SetWindowTextA(m_edit, "abcdef");
    char buf[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetWindowTextA(m_edit, buf, 4), 3);
    EXPECT_STREQ(buf, "abc");
    SetSel(1, 3);
    DWORD end = 0;
    const LRESULT both = SendMessageA(m_edit, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(end, 3u);
    EXPECT_EQ(both, MAKELONG(1, 3));
    SendMessageA(m_edit, EM_GETSEL, 0, 0);  // nowhere to write: no harm
    SetSel(-5, 100);                        // clamped to the text
    EXPECT_EQ(Sel(), std::make_pair(DWORD(6), DWORD(6)));
}

TEST_F(EditClassTest, DoubleByteCharactersAreNeverSplit)
{
    const std::string text = "a" + kZhong + kWen + "b";  // offsets 0 1 3 5 6
    SetWindowTextA(m_edit, text.c_str());
    SetSel(2, 4);  // inside both characters: onto their first bytes
    EXPECT_EQ(Sel(), std::make_pair(DWORD(1), DWORD(3)));

    struct Step {
        UINT vk;
        DWORD caret;
    };
    SetSel(6, 6);
    const Step walk[] = {{VK_LEFT, 5}, {VK_LEFT, 3}, {VK_LEFT, 1}, {VK_LEFT, 0}, {VK_LEFT, 0},
                         {VK_RIGHT, 1}, {VK_RIGHT, 3}, {VK_END, 6}, {VK_HOME, 0}};
    for (const Step& s : walk) {
        Key(s.vk);
        EXPECT_EQ(Sel(), std::make_pair(s.caret, s.caret)) << s.vk;
    }
    SetSel(5, 5);
    Type("\b");  // the whole of the character before the caret
    EXPECT_EQ(Text(), "a" + kZhong + "b");
    SetSel(1, 1);
    Key(VK_DELETE);  // and after it
    EXPECT_EQ(Text(), "ab");
    // A lead byte followed by no trail byte is dropped.
    SetSel(1, 1);
    Type(std::string("\xD6", 1) + " ");
    EXPECT_EQ(Text(), "a b");
}

TEST_F(EditClassTest, ShiftExtendsTheSelectionAndArrowsCollapseIt)
{
    SetWindowTextA(m_edit, "abcdef");
    SetSel(2, 2);
    HWND top = m_top;
    desktop::InjectKey(top, WM_KEYDOWN, VK_SHIFT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        ;  // the thread's key state follows the messages it has taken
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    EXPECT_EQ(Sel(), std::make_pair(DWORD(2), DWORD(4)));
    Key(VK_HOME);
    EXPECT_EQ(Sel(), std::make_pair(DWORD(0), DWORD(2)));
    desktop::InjectKey(top, WM_KEYUP, VK_SHIFT);
    while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        ;
    Key(VK_RIGHT);  // collapses to the selection's right end
    EXPECT_EQ(Sel(), std::make_pair(DWORD(2), DWORD(2)));
}

TEST_F(EditClassTest, CopyCutAndPasteGoThroughTheClipboard)
{
    SetWindowTextA(m_edit, "hello world");
    SetSel(0, 5);
    Type("\x03");  // Ctrl-C
    SetSel(11, 11);
    Type("\x16");  // Ctrl-V
    EXPECT_EQ(Text(), "hello worldhello");
    SetSel(5, 11);
    Type("\x18");  // Ctrl-X
    EXPECT_EQ(Text(), "hellohello");
    SendMessageA(m_edit, EM_LIMITTEXT, 13, 0);
    SetSel(0, 0);
    Type("\x16");  // only what the limit allows
    EXPECT_EQ(Text(), " wohellohello");

    // A second EDIT window shares the clipboard; a pasted pair is kept whole.
    HWND other = CreateWindowExA(0, "edit", nullptr, WS_CHILD, 0, 0, 1, 1, m_top, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetWindowTextA(m_edit, ("x" + kZhong).c_str());
    SetSel(0, 3);
    Type("\x03");
    SendMessageA(other, EM_LIMITTEXT, 2, 0);
    SendMessageA(other, WM_CHAR, 0x16, 0);
    char buf[8];
    GetWindowTextA(other, buf, sizeof(buf));
    EXPECT_STREQ(buf, "x");
}

TEST_F(EditClassTest, ReadOnlyStyleTakesNoTyping)
{
    HWND ro = CreateWindowExA(0, "EDIT", "fixed", WS_CHILD | ES_READONLY, 0, 0, 1, 1, m_top,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(ro, nullptr);
    SendMessageA(ro, EM_SETSEL, 0, -1);
    for (WPARAM c : {WPARAM('a'), WPARAM('\b'), WPARAM(0x18)})
        SendMessageA(ro, WM_CHAR, c, 0);
    SendMessageA(ro, WM_KEYDOWN, VK_DELETE, 0);
    char buf[16];
    GetWindowTextA(ro, buf, sizeof(buf));
    EXPECT_STREQ(buf, "fixed");
}

TEST_F(EditClassTest, TheLimitIsWindowsDefaultUntilSetAndZeroLiftsIt)
{
    // Windows starts every edit field at 30,000 characters. EM_LIMITTEXT(0)
    // sets the greatest limit there is: 0x7FFFFFFE for a single-line field,
    // -1 for a multi-line one; a larger number is cut to that greatest.
    struct Case {
        DWORD style;
        bool set;
        WPARAM limit;
        DWORD got;
    };
    const Case cases[] = {
        {WS_CHILD, false, 0, 30000},
        {WS_CHILD | ES_MULTILINE, false, 0, 30000},
        {WS_CHILD, true, 0, 0x7FFFFFFE},
        {WS_CHILD | ES_MULTILINE, true, 0, 0xFFFFFFFF},
        {WS_CHILD, true, 255, 255},
        {WS_CHILD | ES_MULTILINE, true, 40000, 40000},
        {WS_CHILD, true, 0xFFFFFFFF, 0x7FFFFFFE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << std::hex << c.style << " limit " << c.limit);
        HWND edit = CreateWindowExA(0, "EDIT", nullptr, c.style, 0, 0, 1, 1, m_top, nullptr,
                                    nullptr, nullptr);
        ASSERT_NE(edit, nullptr);
        if (c.set)
            SendMessageA(edit, EM_LIMITTEXT, c.limit, 0);
        EXPECT_EQ(DWORD(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0)), c.got);
        DestroyWindow(edit);
    }
}

TEST_F(EditClassTest, TypingStopsAtTheDefaultLimit)
{
    SetWindowTextA(m_edit, std::string(29998, 'a').c_str());
    SetSel(-2, -2);  // the end
    Type("bcd");
    std::vector<char> all(30010);
    EXPECT_EQ(GetWindowTextA(m_edit, all.data(), int(all.size())), 30000);
    EXPECT_EQ(std::string(all.data() + 29996), "aabc");
}

TEST_F(EditClassTest, StartOfMinusOneTakesTheSelectionAway)
{
    // EM_SETSEL with a start of -1 deselects: nothing is selected, the caret
    // stays where it was and the end given is not looked at; typing then
    // inserts at the caret and replaces nothing.
    struct Case {
        LONG_PTR a, b;  // the selection before
        WPARAM start;   // -1, as a WPARAM or as a 32-bit int
        LPARAM end;
        DWORD caret;
        const char* typed;  // "X" typed afterwards
    };
    const Case cases[] = {
        {1, 4, WPARAM(-1), 0, 4, "abcdXef"},
        {4, 1, WPARAM(-1), 0, 1, "aXbcdef"},
        {0, -1, WPARAM(-1), 0, 6, "abcdefX"},
        {2, 2, WPARAM(-1), 5, 2, "abXcdef"},
        {1, 4, WPARAM(0xFFFFFFFFu), -1, 4, "abcdXef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.a << ", " << c.b << " end " << c.end);
        SetWindowTextA(m_edit, "abcdef");
        SetSel(c.a, c.b);
        SendMessageA(m_edit, EM_SETSEL, c.start, c.end);
        EXPECT_EQ(Sel(), std::make_pair(c.caret, c.caret));
        Type("X");
        EXPECT_EQ(Text(), c.typed);
    }
}

// What the field's text was as it heard WM_NCDESTROY, and after its class
// procedure had handled it.
WNDPROC g_editProc = nullptr;
int g_lengthBefore = -1;
int g_lengthAfter = -1;

LRESULT CALLBACK WatchEnd(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_NCDESTROY)
        return g_editProc(hwnd, msg, wParam, lParam);
    g_lengthBefore = int(g_editProc(hwnd, WM_GETTEXTLENGTH, 0, 0));
    const LRESULT r = g_editProc(hwnd, msg, wParam, lParam);
    g_lengthAfter = int(g_editProc(hwnd, WM_GETTEXTLENGTH, 0, 0));
    return r;
}

TEST_F(EditClassTest, TheTextIsFreedOnNcDestroy)
{
    // An edit field gives its text buffer back when it handles
    // WM_NCDESTROY, the last message a window hears.
    SetWindowTextA(m_edit, "some text");
    g_editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(m_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchEnd)));
    ASSERT_NE(g_editProc, nullptr);
    EXPECT_TRUE(DestroyWindow(m_edit));
    EXPECT_EQ(g_lengthBefore, 9);
    EXPECT_EQ(g_lengthAfter, 0);
    EXPECT_FALSE(IsWindow(m_edit));
}

TEST_F(EditClassTest, TheClassIsThereAgainAfterReset)
{
    desktop::Reset();
    HWND top = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    EXPECT_NE(CreateWindowExA(0, "EDIT", "x", WS_CHILD, 0, 0, 1, 1, top, nullptr, nullptr,
                              nullptr),
              nullptr);
}

}  // namespace
