// Real input through the X server's test extension (xdotool): the messages
// a window receives equal, in order, those the desktop's injection makes for
// the same actions; typed text, Chinese too, reaches an edit field.
#include "screen_fixture.h"

#include <SDL.h>

#include <sstream>

namespace {

std::vector<MSG> g_seen;

// Records the input messages it hears.
LRESULT CALLBACK Recorder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const bool input = (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) ||
                       (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || msg == WM_CLOSE;
    if (input) {
        MSG m = {};
        m.hwnd = hwnd;
        m.message = msg;
        m.wParam = wParam;
        m.lParam = lParam;
        g_seen.push_back(m);
    }
    return msg == WM_CLOSE ? 0 : DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeRecorder(int x, int y)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Recorder;
    wc.lpszClassName = "screen-recorder";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "screen-recorder", "input", WS_POPUP | WS_VISIBLE, x, y, 200, 150,
                           nullptr, nullptr, nullptr, nullptr);
}

std::string Describe(const std::vector<MSG>& list)
{
    std::ostringstream out;
    for (const MSG& m : list)
        out << std::hex << m.message << "(" << m.wParam << "," << m.lParam << ") ";
    return out.str();
}

// One action, by the X server and by the desktop. Coordinates are the
// window's client coordinates; the window stands at (100, 80).
struct Action {
    const char* xdotool;
    UINT msg;
    int x, y;  // or the virtual key in x; for the wheel, the sign of y its way
};

const Action kActions[] = {
    {"mousemove 130 100", WM_MOUSEMOVE, 30, 20},
    {"mousedown 1", WM_LBUTTONDOWN, 30, 20},
    {"mouseup 1", WM_LBUTTONUP, 30, 20},
    {"mousemove 160 140", WM_MOUSEMOVE, 60, 60},
    {"click 3", WM_RBUTTONDOWN, 60, 60},
    {nullptr, WM_RBUTTONUP, 60, 60},
    {"click 4", WM_MOUSEWHEEL, 60, 60},   // a notch away from the user
    {"click 5", WM_MOUSEWHEEL, 60, -60},  // and back: y carries the sign
    {"key a", WM_KEYDOWN, 'A', 0},
    {nullptr, WM_KEYUP, 'A', 0},
    {"key Return", WM_KEYDOWN, VK_RETURN, 0},
    {nullptr, WM_KEYUP, VK_RETURN, 0},
    {"keydown shift", WM_KEYDOWN, VK_SHIFT, 0},
    {"key b", WM_KEYDOWN, 'B', 0},
    {nullptr, WM_KEYUP, 'B', 0},
    {"keyup shift", WM_KEYUP, VK_SHIFT, 0},
};

using ScreenInputTest = ScreenTest;

TEST_F(ScreenInputTest, XTestInputArrivesAsTheDesktopsInjectionInOrder)
{
    if (!HaveTool("xdotool"))
        GTEST_SKIP() << "xdotool is not installed";
    // The desktop's messages for the actions, on a headless window.
    desktop::Backend* shown = desktop::CurrentBackend();
    desktop::UseBackend(nullptr);
    const HWND headless = MakeRecorder(100, 80);
    for (const Action& a : kActions) {
        if (a.msg == WM_MOUSEWHEEL)
            desktop::InjectWheel(headless, a.x, 60, a.y > 0 ? WHEEL_DELTA : -WHEEL_DELTA);
        else if (a.msg >= WM_MOUSEFIRST)
            desktop::InjectMouse(headless, a.msg, a.x, a.y);
        else
            desktop::InjectKey(headless, a.msg, UINT(a.x));
        Pump(0);
    }
    Pump(10);
    std::vector<MSG> expected = g_seen;
    DestroyWindow(headless);
    desktop::UseBackend(shown);

    g_seen.clear();
    const HWND hwnd = MakeRecorder(100, 80);
    Pump(200);
    g_seen.clear();
    std::string script = "xdotool";
    for (const Action& a : kActions)
        if (a.xdotool != nullptr)
            script += std::string(" ") + a.xdotool + " sleep 0.05";
    ASSERT_TRUE(RunPumping(script, 200));
    for (MSG& m : expected)
        m.hwnd = hwnd;
    // Only the first move into the window and the moves the actions made
    // count: the pointer may pass through points on its way.
    std::vector<MSG> seen;
    for (const MSG& m : g_seen)
        if (m.message != WM_MOUSEMOVE || seen.empty() || seen.back().message != WM_MOUSEMOVE)
            seen.push_back(m);
        else
            seen.back() = m;
    ASSERT_EQ(Describe(seen), Describe(expected));
    POINT pt;
    ASSERT_TRUE(GetCursorPos(&pt));
    EXPECT_EQ(pt.x, 160);
    EXPECT_EQ(pt.y, 140);
    DestroyWindow(hwnd);
}

// xdotool types a character missing from the keyboard map by binding it to
// a spare key for the one stroke and taking the binding back after; a client
// that reads the map late (a loaded machine) then finds no symbol on the key
// and the character is lost. Characters bound before the typing starts, and
// unbound when the test is done, leave nothing to race.
class SpareKeys {
public:
    SpareKeys(Display* display, const std::vector<KeySym>& symbols) : m_display(display)
    {
        int first = 0, last = 0, per = 0;
        XDisplayKeycodes(display, &first, &last);
        KeySym* map = XGetKeyboardMapping(display, KeyCode(first), last - first + 1, &per);
        if (map == nullptr)
            return;
        for (int code = last; code >= first && m_codes.size() < symbols.size(); --code) {
            bool empty = true;
            for (int i = 0; i < per; ++i)
                empty = empty && map[(code - first) * per + i] == NoSymbol;
            if (!empty)
                continue;
            KeySym symbol = symbols[m_codes.size()];
            XChangeKeyboardMapping(display, code, 1, &symbol, 1);
            m_codes.push_back(code);
        }
        XFree(map);
        XSync(display, False);
    }
    ~SpareKeys()
    {
        for (int code : m_codes) {
            KeySym none = NoSymbol;
            XChangeKeyboardMapping(m_display, code, 1, &none, 1);
        }
        XSync(m_display, False);
    }
    bool Bound(size_t count) const { return m_codes.size() == count; }

private:
    Display* m_display;
    std::vector<int> m_codes;
};

TEST_F(ScreenInputTest, TypedTextReachesAnEditFieldInCodePage936)
{
    if (!HaveTool("xdotool"))
        GTEST_SKIP() << "xdotool is not installed";
    const HWND top = MakeRecorder(100, 80);
    const HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 10, 10, 150, 20, top,
                                      nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    SetFocus(edit);
    // U+4E2D and U+6587 as X keysyms.
    const SpareKeys keys(m_display, {0x1004E2D, 0x1006587});
    ASSERT_TRUE(keys.Bound(2));
    Pump(200);
    ASSERT_TRUE(RunPumping("xdotool mousemove 150 120 sleep 0.05 type --delay 30 "
                           "'Hi 1.5 \xe4\xb8\xad\xe6\x96\x87'", 200));
    char text[64] = {};
    GetWindowTextA(edit, text, sizeof(text));
    // "中文" in code page 936.
    EXPECT_STREQ(text, "Hi 1.5 \xD6\xD0\xCE\xC4");
}

TEST_F(ScreenInputTest, ClosingTheWindowSendsWmClose)
{
    const HWND hwnd = MakeRecorder(10, 10);
    Pump(100);
    g_seen.clear();
    // What a window manager sends for the close button.
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    for (Uint32 id = 1; id < 64; ++id)
        if (SDL_GetWindowFromID(id) != nullptr)
            e.window.windowID = id;
    SDL_PushEvent(&e);
    Pump(50);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, UINT(WM_CLOSE));
    EXPECT_TRUE(IsWindow(hwnd));
}

}  // namespace
