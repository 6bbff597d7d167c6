// The built-in "EDIT" class, driven through its messages as the edit fields
// drive it: text, byte selection, limit, typing (GBK kept whole), caret
// keys and the clipboard.
#include "platform_fixture.h"

#include <cstring>

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

TEST_F(EditClassTest, TheClassIsThereAgainAfterReset)
{
    desktop::Reset();
    HWND top = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    EXPECT_NE(CreateWindowExA(0, "EDIT", "x", WS_CHILD, 0, 0, 1, 1, top, nullptr, nullptr,
                              nullptr),
              nullptr);
}

}  // namespace
