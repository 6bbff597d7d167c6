// Shared fixture of the window framework tests: a fresh desktop, the window
// class registered for a test module, a device on demand, and windows that
// record what reaches them.
#pragma once
#include <box_font.h>
#include <desktop_fixture.h>
#include <doit.h>
#include <kwnd.h>

#include <ostream>
#include <vector>

inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const RECT& r, std::ostream* os)
{
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

// The module handle the tests play the host with. It carries an "APP_ICON".
HINSTANCE TestModule();

class WndTest : public DesktopTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Dispatches every message waiting now (posted, input, painting, due
    // timers) and returns how many; stops at WM_QUIT, which it leaves.
    int Pump();
    // A device with a w x h back screen presenting into hwnd, the box font
    // its default font. Released by TearDown.
    KGraph* MakeGraph(HWND hwnd, int w, int h);
    // The R5G6B5 value presented at (x, y) of the window.
    static WORD Presented(HWND hwnd, int x, int y) { return SurfaceTo565(desktop::Pixel(hwnd, x, y)); }

    KGraph* m_graph = nullptr;
    BoxFont m_font{12};
};

// What a recording window heard.
struct Heard {
    const KestrelWnd* wnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Heard& o) const
    {
        return wnd == o.wnd && msg == o.msg && wParam == o.wParam && lParam == o.lParam;
    }
};
extern std::vector<Heard> g_heard;

// A window that routes with KestrelWnd's own table; its accessors read the
// roles and fields the routers keep.
class Probe : public KestrelWnd {
public:
    KestrelWnd* Hover() const { return m_pHoverChild; }
    KestrelWnd* Catch() const { return m_pCatchChild; }
    KestrelWnd* Focus() const { return m_pFocusChild; }
    KestrelWnd* Top() const { return m_pTopChild; }
    KestrelWnd* Parent() const { return m_pParent; }
    POINT LastMouse() const { return m_ptMouse; }
    KSprite* Piece(int i) const { return m_sprBackEx[i]; }
    KSprite* Tile() const { return m_sprBackEx2; }
};

// A window whose table records the mouse messages that reach it and ends
// the walk there (-1), as a control that handles them would.
class Recorder : public Probe {
    KWND_DECLARE_MESSAGES()
public:
    int OnLDown(WPARAM w, LPARAM l) { return Note(WM_LBUTTONDOWN, w, l); }
    int OnLUp(WPARAM w, LPARAM l) { return Note(WM_LBUTTONUP, w, l); }
    int OnLDbl(WPARAM w, LPARAM l) { return Note(WM_LBUTTONDBLCLK, w, l); }
    int OnRDown(WPARAM w, LPARAM l) { return Note(WM_RBUTTONDOWN, w, l); }
    int OnRUp(WPARAM w, LPARAM l) { return Note(WM_RBUTTONUP, w, l); }
    int OnRDbl(WPARAM w, LPARAM l) { return Note(WM_RBUTTONDBLCLK, w, l); }
    int OnMoved(WPARAM w, LPARAM l) { return Note(WM_MOUSEMOVE, w, l); }
    int OnLeave(WPARAM w, LPARAM l) { return Note(KWM_MOUSELEAVE, w, l); }

private:
    int Note(UINT msg, WPARAM w, LPARAM l)
    {
        g_heard.push_back({this, msg, w, l});
        return -1;
    }
};

// Makes `wnd` a control of `parent`: a real 1 x 1 child window at (0, 0)
// whose logical rectangle is (x, y, w, h), joined to the parent's children.
void MakeControl(KestrelWnd& wnd, KestrelWnd& parent, int x, int y, int w, int h, UINT id = 1);
// A colour-filled w x h back sprite for wnd, drawn with KWND_STATE_BACK.
void GiveBack(KestrelWnd& wnd, int w, int h, WORD colour);
