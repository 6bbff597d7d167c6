// The list controls of the controls scene and the script that plays them.
#include "controls_lists.h"

#include <desktop/desktop.h>

#include <cstdio>
#include <string>

struct ListControls {
    KGraph* graph = NULL;
    KWndListBox log;
    KWndComboBox difficulty;
    KWndScroll volume;
    KSprite* barPicture = NULL;  // the log's bar pictures are views of it
    std::string widest;          // the log's widest line so far
};

namespace {

// Where they stand: the log in the strip left of the dialog, the combo box
// in the strip right of it, the volume bar under it.
// The log is wide enough for ten characters beside its bar ("lvl Normal").
const RECT kLog = {4, 100, 124, 380};
const RECT kCombo = {528, 100, 632, 122};
const RECT kVolume = {160, 400, 480, 418};

// A 12 x 50 picture holding the bar's four pieces one under the other:
// track (10 rows), thumb (8), up arrow (16), down arrow (16).
KSprite* MakeBarPicture(KGraph* g)
{
    KSprite* spr = g->CreateSprite(12, 50, KCM_R5G6B5, 0);
    if (spr == NULL)
        return NULL;
    spr->_clear(0, 0, 12, 10, color16b(200, 200, 190));
    spr->_clear(0, 10, 12, 8, color16b(60, 90, 160));
    spr->_clear(0, 18, 12, 32, color16b(120, 140, 180));
    // Arrow marks: a light triangle in each arrow, pointing up in the first
    // and down in the second.
    for (long i = 0; i < 5; i++) {
        spr->_clear(5 - i, 23 + i, 2 + 2 * i, 1, color16b(250, 250, 250));
        spr->_clear(5 - i, 44 - i, 2 + 2 * i, 1, color16b(250, 250, 250));
    }
    return spr;
}

// A plain back for a window, drawn under its item.
void GiveBack(KestrelWnd& wnd, long w, long h, WORD colour)
{
    wnd.CreateWndBackSpr(w, h, 0);
    if (wnd.GetBackSpr() == NULL)
        return;
    wnd.GetBackSpr()->_clear(colour);
    wnd.AddState(KWND_STATE_BACK);
}

void Log(ListControls* c, const std::string& line, bool say = true)
{
    c->log.AddString(line.c_str());
    KFont* font = c->log.GetKFont();
    if (font != NULL &&
        font->GetStringWidth(line.c_str()) > font->GetStringWidth(c->widest.c_str()))
        c->widest = line;
    if (say)
        std::printf("demo: controls: log \"%s\" (%d lines, first shown %d)\n", line.c_str(),
                    c->log.GetUsed(), c->log.GetTop());
}

}  // namespace

ListControls* MakeListControls(KGraph* g, KestrelMainWnd& mainWnd, KFont* font)
{
    ListControls* c = new ListControls;
    c->graph = g;
    const DWORD style = WS_CHILD | WS_VISIBLE;

    c->log.SetGraph(g);
    if (font != NULL)
        c->log.SetKFont(font);
    c->log.Create("log", style, kLog.left, kLog.top, kLog.right - kLog.left,
                  kLog.bottom - kLog.top, &mainWnd, 41);
    c->log.SetColor(color16b(240, 240, 230), color16b(70, 90, 140));
    c->log.CreateList(64, 40);
    c->log.AddState(KWNDLISTBOX_STATE_SELECT);
    c->barPicture = MakeBarPicture(g);
    if (c->barPicture != NULL) {
        RECT parts[4] = {{0, 0, 12, 10}, {0, 10, 12, 18}, {0, 18, 12, 34}, {0, 34, 12, 50}};
        const int index[4] = {KWND_SCROLL_BACK, KWND_SCROLL_BLOCK, KWND_SCROLL_SUBBLOCK,
                              KWND_SCROLL_ADDBLOCK};
        for (int i = 0; i < 4; i++)
            c->log.SetVScrollSprite(c->barPicture, index[i], parts[i], true);
    }
    mainWnd.AddChild(&c->log);

    // Three lines of the font the list draws with (its default).
    KFont* listFont = g->GetDefaultFont();
    const long listH = 3 * ((listFont != NULL ? listFont->GetHeight() : 16) + 1);
    c->difficulty.SetGraph(g);
    if (font != NULL)
        c->difficulty.SetKFont(font);
    c->difficulty.Create("difficulty", style, kCombo.left, kCombo.top,
                         kCombo.right - kCombo.left, kCombo.bottom - kCombo.top, &mainWnd, 42,
                         104, int(listH), false);
    c->difficulty.setColor(color16b(255, 255, 255));
    KWndListBox_Simple* list = c->difficulty.GetList();
    list->SetColor(color16b(20, 20, 40), color16b(180, 200, 240));
    GiveBack(c->difficulty, kCombo.right - kCombo.left, kCombo.bottom - kCombo.top,
             color16b(40, 60, 110));
    GiveBack(*list, 104, listH, color16b(235, 235, 225));
    list->AddState(KWNDLISTBOX_STATE_TRACK);
    c->difficulty.CreateList(3, 16);
    for (const char* s : {"Hard", "Normal", "Easy"})
        c->difficulty.AddString(s);
    mainWnd.AddChild(&c->difficulty);

    c->volume.SetGraph(g);
    c->volume.Create(NULL, style, kVolume.left, kVolume.top, kVolume.right - kVolume.left,
                     kVolume.bottom - kVolume.top, &mainWnd, 43);
    c->volume.SetDefault();
    c->volume.SetColor(color16b(40, 50, 70), color16b(230, 220, 160));
    c->volume.SetArea(100);
    c->volume.SetPos(0);
    mainWnd.AddChild(&c->volume);
    return c;
}

int PlayListControls(ListControls* c, DemoContext& ctx, const std::function<void()>& frame)
{
    const HWND top = ctx.hwnd;
    auto mouse = [&](UINT msg, long x, long y) { desktop::InjectMouse(top, msg, int(x), int(y)); };
    auto click = [&](long x, long y) {
        mouse(WM_MOUSEMOVE, x, y);
        mouse(WM_LBUTTONDOWN, x, y);
        mouse(WM_LBUTTONUP, x, y);
        frame();
    };
    auto volume = [&]() { return long(c->volume.GetPos()) * 100 / c->volume.GetRange(); };

    for (int i = 1; i <= 18; i++)
        Log(c, "turn " + std::to_string(i), false);
    std::printf("demo: controls: log \"turn 1\" to \"turn 18\" (%d lines, first shown %d)\n",
                c->log.GetUsed(), c->log.GetTop());
    frame();

    // The combo box: the host opens its list on a click on the field; a
    // click on a line chooses it and the list hides itself.
    c->difficulty.GetList()->ShowWindow();
    c->difficulty.SetListShown(true);
    const long row1 = c->difficulty.GetList()->GetClientArea()->top +
                      c->difficulty.GetList()->GetLineHeight() + 4;
    mouse(WM_MOUSEMOVE, kCombo.left + 20, row1);
    frame();
    DemoScreenshot(ctx, "controls-lists-open");
    click(kCombo.left + 20, row1);
    Log(c, std::string("lvl ") + c->difficulty.GetString());

    // The volume bar: a press on the track, then the thumb dragged past
    // the bar's end and let go there.
    const long mid = (kVolume.top + kVolume.bottom) / 2;
    click(kVolume.left + 120, mid);
    Log(c, "vol " + std::to_string(volume()));
    const long thumb = kVolume.left + 18 + c->volume.GetPos() + 4;
    // One event a frame: the bar takes the mouse when the press reaches it.
    mouse(WM_LBUTTONDOWN, thumb, mid);
    frame();
    mouse(WM_MOUSEMOVE, thumb + 60, mid + 30);
    frame();
    mouse(WM_MOUSEMOVE, kVolume.right + 40, mid + 40);
    frame();
    mouse(WM_LBUTTONUP, kVolume.right + 40, mid + 40);
    frame();
    Log(c, "vol " + std::to_string(volume()));

    // The log: back two lines with its bar's up arrow, then a line chosen.
    click(kLog.right - 4, kLog.top + 4);
    click(kLog.right - 4, kLog.top + 4);
    click(kLog.left + 30, kLog.top + 20);
    frame();
    const char* chosen = c->log.GetCurString();
    std::printf("demo: controls: the log shows from line %d; chosen \"%s\"\n", c->log.GetTop(),
                chosen != NULL ? chosen : "");
    DemoScreenshot(ctx, "controls-lists");

    const bool ok = std::string(c->difficulty.GetString()) == "Normal" &&
                    c->difficulty.GetList()->IsHide() && volume() == 100 && chosen != NULL;
    return ok ? 0 : 1;
}

bool ListTextsFit(ListControls* c, std::string* why)
{
    KFont* font = c->log.GetKFont();
    const RECT* area = c->log.GetClientArea();
    const long room = area->right - area->left;
    if (font == NULL || font->GetStringWidth(c->widest.c_str()) <= room)
        return true;
    *why = "the log's line \"" + c->widest + "\" is wider than its " + std::to_string(room) +
           " pixels";
    return false;
}

void ReleaseListControls(ListControls* c)
{
    if (c == NULL)
        return;
    c->volume.Release();
    c->log.Release();
    c->difficulty.Release();
    if (c->barPicture != NULL)
        c->graph->ReleaseKSprite(c->barPicture);
    delete c;
}
