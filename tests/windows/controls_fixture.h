// Shared fixture of the control tests: a main window with a device on the
// desktop, a scratch folder for pictures and tables, and a record of the
// notifications that reach the main window.
#pragma once
#include "kwnd_fixture.h"

#include <test_files.h>
#include <wndback.h>
#include <wndctl.h>

#include <functional>
#include <string>

// A notification the main window heard: message, WPARAM, LPARAM.
struct Note {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Note& o) const
    {
        return msg == o.msg && wParam == o.wParam && lParam == o.lParam;
    }
};
inline void PrintTo(const Note& n, std::ostream* os)
{
    *os << "(" << std::hex << n.msg << ", " << n.wParam << ", " << n.lParam << ")";
}

// The button tests' own notification message.
#define TEST_BUTTON_MSG (WM_USER + 10)

class NotedMain : public KestrelMainWnd {
    KWND_DECLARE_MESSAGES()
public:
    int OnCommand(WPARAM w, LPARAM l) { return Keep(WM_COMMAND, w, l); }
    int OnButton(WPARAM w, LPARAM l) { return Keep(TEST_BUTTON_MSG, w, l); }
    int OnVScroll(WPARAM w, LPARAM l) { return Keep(WM_VSCROLL, w, l); }
    int OnHScroll(WPARAM w, LPARAM l) { return Keep(WM_HSCROLL, w, l); }
    std::vector<Note> notes;
    std::function<void(const Note&)> onNote;  // runs as the note arrives

private:
    int Keep(UINT msg, WPARAM w, LPARAM l)
    {
        notes.push_back({msg, w, LPARAM(DWORD(l))});
        if (onNote)
            onNote(notes.back());
        return 0;
    }
};

class ControlTest : public WndTest {
protected:
    ControlTest() : m_tmp("kestrel_controls_") {}
    // The main window: client w x h at (x, y) on the screen, framed when
    // `caption` (so its client origin differs from its window's corner).
    void OpenMain(int w, int h, int x = 0, int y = 0, bool caption = false);
    void TearDown() override;
    // Clears the back screen, renders the window tree and presents it.
    void Frame()
    {
        m_graph->ClearBackScreen(0);
        ASSERT_EQ(m_main.Render(NULL), 0);
    }
    WORD At(int x, int y) { return Presented(m_hwnd, x, y); }
    void Mouse(UINT msg, int x, int y)
    {
        ASSERT_TRUE(desktop::InjectMouse(m_hwnd, msg, x, y));
        Pump();
    }
    void Type(const std::string& bytes);
    void TypeCode(UINT code)
    {
        ASSERT_TRUE(desktop::InjectChar(m_hwnd, code));
        Pump();
    }
    void Key(UINT vk)
    {
        desktop::InjectKey(m_hwnd, WM_KEYDOWN, vk);
        desktop::InjectKey(m_hwnd, WM_KEYUP, vk);
        Pump();
    }
    // A 24-bit BMP of w x h whose pixel (x, y) has the R5G6B5 value
    // colour(x, y), written so that it loads back exactly.
    std::string Bmp(const std::string& name, int w, int h,
                    const std::function<WORD(int, int)>& colour);
    std::string Text(const std::string& name, const std::string& text);
    std::string Path(const std::string& name) const { return m_tmp.Path(name); }

    NotedMain m_main;
    HWND m_hwnd = nullptr;
    TempDir m_tmp;
};

// "中" and "文" in code page 936, and as the single codes the input method
// delivers.
extern const std::string kZhong;
extern const std::string kWen;
const UINT kZhongCode = 0xD6D0;
const UINT kWenCode = 0xCEC4;
