// The window scene: a window tree on the main window, run by the framework's
// idle-driven game loop on the manual clock. The main window's back is a
// frame composed from nine pieces; a panel with a tiled back holds two
// tiles; more tiles overlap to show the drawing order (the list, then the
// focus child, then the top child). A script of mouse and key input, played
// through the desktop, hovers, clicks (routed by the windows to the tile
// hit), minimises the window for a while (the loop waits instead of
// drawing), takes screenshots and ends the loop.
#include "demo.h"
#include <desktop/desktop.h>
#include <cstdio>

namespace {

const WORD kFrameDark = 0x2945;
const WORD kFrameLight = 0x6B6D;
const WORD kCentre = 0x18E3;
const WORD kHover = 0xFFE0;

// A 48 x 48 skin: nine 16 x 16 pieces in a 3 x 3 grid, drawn at once. The
// corners and edges have a light outer line; the centre is plain.
KSprite* MakeSkin(KGraph* g)
{
    KSprite* skin = g->CreateSprite(48, 48, KCM_R5G6B5, KSPR_COLORKEY);
    skin->_clear(kCentre);
    for (int row = 0; row < 3; row++)
        for (int col = 0; col < 3; col++) {
            if (row == 1 && col == 1)
                continue;
            skin->_clear(col * 16, row * 16, 16, 16, kFrameDark);
            if (row == 0)
                skin->_clear(col * 16, 0, 16, 3, kFrameLight);
            if (row == 2)
                skin->_clear(col * 16, 45, 16, 3, kFrameLight);
            if (col == 0)
                skin->_clear(0, row * 16, 3, 16, kFrameLight);
            if (col == 2)
                skin->_clear(45, row * 16, 3, 16, kFrameLight);
        }
    return skin;
}

// The place of each frame piece (clockwise from the top-left corner) in the skin.
RECT PieceOf(int i)
{
    static const int kCol[KWND_SPR_NUMS] = {0, 1, 2, 2, 2, 1, 0, 0, 1};
    static const int kRow[KWND_SPR_NUMS] = {0, 0, 0, 1, 2, 2, 2, 1, 1};
    return RECT{kCol[i] * 16, kRow[i] * 16, kCol[i] * 16 + 16, kRow[i] * 16 + 16};
}

// A checker tile for the panel's tiled back.
KSprite* MakeChecker(KGraph* g)
{
    KSprite* s = g->CreateSprite(16, 16, KCM_R5G6B5, 0);
    s->_clear(0x3186);
    s->_clear(0, 0, 8, 8, 0x4208);
    s->_clear(8, 8, 8, 8, 0x4208);
    return s;
}

// A clickable tile: a coloured back that turns to its second colour with
// each left click, a yellow outline while the mouse is over it, and a
// WM_COMMAND to the main window for each click. A tile may minimise the main
// window for a while instead.
class DemoTile : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    HWND m_notify = NULL;
    WORD m_colours[2] = {0, 0};
    bool m_on = false;
    bool m_hover = false;
    bool m_minimises = false;
    KFont* m_font = NULL;  // the label's font
    const char* m_label = "";
    POINT m_labelAt = {0, 0};  // where the label stands, in the main window

    void Make(KGraph* g, KestrelWnd& parent, HWND notify, UINT id, RECT rc, WORD off, WORD on)
    {
        SetGraph(g);
        Create(KestrelWnd::m_ClassName, "tile", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, &parent, id);
        SetRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        SetClientArea(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        parent.AddChild(this);
        m_notify = notify;
        m_colours[0] = off;
        m_colours[1] = on;
        CreateWndBackSpr(rc.right - rc.left, rc.bottom - rc.top, 0);
        AddState(KWND_STATE_BACK);
        Paint();
    }
    // The back's pixels change at once; the frame draws them again.
    void Paint()
    {
        GetBackSpr()->_clear(m_colours[m_on ? 1 : 0]);
        GetBackSpr()->Updata();
    }
    // Names the tile where it shows: what it is and how the tree draws it.
    void Label(KFont* font, const char* text, long x, long y)
    {
        m_font = font;
        m_label = text;
        m_labelAt = POINT{LONG(x), LONG(y)};
    }
    void DrawWndItem(RECT*) override
    {
        if (m_font != NULL && !IsHide())
            m_Graph->GetBackScreen()->Printf(m_font, m_labelAt.x, m_labelAt.y, 0xFFFF, "%s",
                                             m_label);
        if (m_hover && !IsHide())
            m_Graph->GetBackScreen()->Rect(m_Rect.left, m_Rect.top, m_Rect.right, m_Rect.bottom,
                                           kHover);
    }
    int OnLButtonDown(WPARAM, LPARAM)
    {
        if (m_minimises) {
            std::printf("demo: minimised at %u ms\n", timeGetTime());
            ::ShowWindow(m_notify, SW_MINIMIZE);
            SetTimer(m_hWnd, 1, 400, NULL);
            return 0;
        }
        m_on = !m_on;
        Paint();
        PostMessageA(m_notify, WM_COMMAND, m_ID, KWND_NOTIFY_LCLICK);
        return 0;
    }
    int OnMouseMove(WPARAM, LPARAM)
    {
        m_hover = true;
        return 0;
    }
    int OnMouseLeave(WPARAM, LPARAM)
    {
        m_hover = false;
        return 0;
    }
    int OnTimer(WPARAM id, LPARAM)
    {
        KillTimer(m_hWnd, id);
        std::printf("demo: restored at %u ms\n", timeGetTime());
        ::ShowWindow(m_notify, SW_RESTORE);
        return 0;
    }
};

}  // namespace

KWND_BEGIN_MESSAGES(DemoTile, KestrelWnd)
    KWND_MESSAGE(WM_LBUTTONDOWN, DemoTile::OnLButtonDown)
    KWND_MESSAGE(WM_MOUSEMOVE, DemoTile::OnMouseMove)
    KWND_MESSAGE(KWM_MOUSELEAVE, DemoTile::OnMouseLeave)
    KWND_MESSAGE(WM_TIMER, DemoTile::OnTimer)
KWND_END_MESSAGES()

int SceneWindows(DemoContext& ctx, KestrelMainWnd& mainWnd)
{
    KGraph* g = ctx.graph;
    const HWND top = ctx.hwnd;
    const DWORD t0 = 10000;
    // The script plays on the manual clock, on a screen too, so that its
    // screenshots are the same there; then, on a screen, the user plays.
    desktop::UseManualClock(t0);

    // The main window's back: the nine-piece frame composed at its size.
    KSprite* skin = MakeSkin(g);
    mainWnd.CreateWndBackSpr(16, 16, 0);
    for (int i = 0; i < KWND_SPR_NUMS; i++) {
        RECT rc = PieceOf(i);
        mainWnd.SetBackExSprite(skin, i, rc, false);
    }
    g->ReleaseKSprite(skin);  // the pieces keep its pixels
    mainWnd.AddState(KWND_STATE_BACK | KWND_STATE_BACKEX);
    mainWnd.ChangeSize(ctx.clientW, ctx.clientH);

    // A panel with a tiled back holding two tiles; clicks reach them through it.
    KestrelWnd panel;
    panel.SetGraph(g);
    panel.Create(KestrelWnd::m_ClassName, "panel", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, &mainWnd, 10);
    panel.SetRect(360, 60, 240, 160);
    panel.SetClientArea(360, 60, 240, 160);
    mainWnd.AddChild(&panel);
    KSprite* checker = MakeChecker(g);
    RECT whole = {0, 0, 16, 16};
    panel.CreateWndBackSpr(16, 16, 0);
    panel.SetBackEx2Sprite(checker, whole, false);
    g->ReleaseKSprite(checker);
    panel.AddState(KWND_STATE_BACK | KWND_STATE_BACKEX2);
    panel.ChangeSize(240, 160);

    DemoTile tiles[7];
    tiles[0].Make(g, panel, top, 11, RECT{380, 80, 470, 200}, 0x8010, 0xF81F);
    tiles[1].Make(g, panel, top, 12, RECT{490, 80, 580, 200}, 0x0410, 0x07FF);
    // Three overlapping tiles: list order, then focus, then top.
    tiles[2].Make(g, mainWnd, top, 1, RECT{60, 60, 220, 220}, 0x8000, 0xF800);
    tiles[3].Make(g, mainWnd, top, 2, RECT{140, 140, 300, 300}, 0x0400, 0x07E0);
    tiles[4].Make(g, mainWnd, top, 3, RECT{100, 260, 260, 420}, 0x0010, 0x001F);
    mainWnd.FocusChild(&tiles[2]);  // drawn after the list, under the top child
    mainWnd.SetTopChild(&tiles[4]);  // drawn last, over both
    // One tile minimises the window for 400 ms; one is hidden and never drawn.
    tiles[5].Make(g, mainWnd, top, 4, RECT{360, 300, 600, 420}, 0x4208, 0x8410);
    tiles[5].m_minimises = true;
    tiles[6].Make(g, mainWnd, top, 5, RECT{40, 40, 600, 440}, 0xFFFF, 0xFFFF);
    tiles[6].HideWindow();
    // Each tile says what it is, where it shows (a covered corner hides a
    // label).
    HFONT face =
        CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH, "");
    KFont* font = g->CreateSmoothFont(face);
    tiles[0].Label(font, "panel's 1st", 386, 86);
    tiles[1].Label(font, "panel's 2nd", 496, 86);
    tiles[2].Label(font, "focus child", 66, 66);
    tiles[3].Label(font, "listed", 226, 146);
    tiles[4].Label(font, "top child", 106, 396);
    tiles[5].Label(font, "click: minimise", 366, 306);

    // The session, in client coordinates of the main window.
    struct Step {
        DWORD at;
        UINT msg;
        int x, y;
    };
    const Step steps[] = {
        {100, WM_MOUSEMOVE, 200, 200},   // over the focus tile: hover outline
        {120, WM_MOUSEMOVE, 210, 230},   // onto the green tile: the focus tile hears it left
        {300, WM_KEYDOWN, 'S', 0},       // windows-1: the green tile outlined
        {400, WM_LBUTTONDOWN, 200, 280}, // the top tile takes the click where they overlap
        {420, WM_LBUTTONUP, 200, 280},
        {500, WM_LBUTTONDOWN, 400, 100}, // through the panel to its first tile
        {520, WM_LBUTTONUP, 400, 100},
        {600, WM_LBUTTONDOWN, 100, 100}, // the focus tile
        {620, WM_LBUTTONUP, 100, 100},
        {700, WM_MOUSEMOVE, 330, 450},   // over nothing: the hover tile hears it left
        {800, WM_KEYDOWN, 'S', 0},       // windows-2: three clicks shown
        {900, WM_LBUTTONDOWN, 450, 350}, // minimises for 400 ms
        {920, WM_LBUTTONUP, 450, 350},
        {1500, WM_KEYDOWN, 'S', 0},      // windows-3: restored, drawing again
        {1600, WM_KEYDOWN, VK_ESCAPE, 0},
    };
    for (const Step& s : steps) {
        if (s.msg == WM_KEYDOWN)
            desktop::ScriptKey(t0 + s.at, top, WM_KEYDOWN, UINT(s.x));
        else
            desktop::ScriptMouse(t0 + s.at, top, s.msg, s.x, s.y);
    }
    std::printf("demo: window scene: %zu scripted input events, screenshots windows-1 (hover), "
                "windows-2 (after three clicks), windows-3 (after a minimised pause)\n",
                sizeof(steps) / sizeof(steps[0]));

    ::ShowWindow(top, SW_SHOW);  // activation: the loop draws while active
    long result = mainWnd.MessageRunIdle();
    std::printf("demo: game loop ended at %u ms with %ld; tiles on: %d %d %d %d %d\n",
                timeGetTime(), result, tiles[0].m_on, tiles[1].m_on, tiles[2].m_on,
                tiles[3].m_on, tiles[4].m_on);
    const size_t unplayed = desktop::PendingInput();
    // A window closed during the script (input left unplayed) ends the demo.
    if (ctx.interactive && !ctx.closed && result == 0 && unplayed == 0) {
        // The user's turn, in the same game loop on the real clock.
        desktop::UseRealClock();
        std::printf("demo: on the screen: hover and click the tiles (one minimises the window "
                    "for a while); Escape or closing the window ends the demo\n");
        result = mainWnd.MessageRunIdle();
        std::printf("demo: the user's game loop ended with %ld\n", result);
    }

    for (DemoTile& t : tiles)
        t.Release();
    panel.Release();
    if (font != NULL)
        g->ReleaseKFont(font);
    DeleteObject(face);
    desktop::UseRealClock();
    return result == 0 && (unplayed == 0 || ctx.interactive) ? 0 : 1;
}
