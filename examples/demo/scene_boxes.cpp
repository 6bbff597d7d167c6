// The boxes scene: a movable dialog carrying a stretched, clickable picture
// with a link and an animation box. A script hovers the picture (the hand
// cursor), clicks it (the dialog hears the notification, the link is
// requested), drags the dialog by its title bar with both boxes, and lets the
// animation run on the manual clock; screenshots before and after.
#include "demo.h"
#include <desktop/desktop.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const RECT kDialog = {140, 110, 500, 350};  // where the dialog starts
const long kTitle = 28;                     // the title bar's height
const int kAniFrames = 8;
const long kAniCell = 64;
const char kLink[] = "https://kestrel.example/news/latest";

// A dialog that hears its controls' notifications.
class NoticeDlg : public KWndDlg {
    KWND_DECLARE_MESSAGES()
public:
    int OnCommand(WPARAM wParam, LPARAM lParam)
    {
        std::printf("demo: boxes: the dialog heard control %u: %s\n", unsigned(wParam),
                    DemoNotification(DWORD(lParam)));
        m_notes++;
        return 0;
    }
    int m_notes = 0;
};

KWND_BEGIN_MESSAGES(NoticeDlg, KWndDlg)
    KWND_MESSAGE(WM_COMMAND, NoticeDlg::OnCommand)
KWND_END_MESSAGES()

// Paints every pixel of a new w x h sprite through Lock.
template <typename Painter>
KSprite* Painted(KGraph* g, long w, long h, Painter paint)
{
    KSprite* s = g->CreateSprite(w, h, KCM_R5G6B5, 0);
    if (s == NULL)
        return NULL;
    void* bits = nullptr;
    DWORD pitch = 0;
    long sw = 0, sh = 0;
    s->Lock(&bits, pitch, sw, sh);
    for (long y = 0; y < sh; y++) {
        WORD* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + y * pitch);
        for (long x = 0; x < sw; x++)
            row[x] = paint(x, y);
    }
    s->Unlock();
    return s;
}

// The dialog's back: a raised panel with a title bar.
WORD PanelPixel(long x, long y, long w, long h)
{
    if (x < 2 || y < 2 || x >= w - 2 || y >= h - 2)
        return (x < 2 || y < 2) ? WORD(rgb(200, 210, 230)) : WORD(rgb(40, 44, 60));
    if (y < kTitle)
        return WORD(rgb(40, 70 + int(y) * 3, 150 + int(y) * 2));
    return WORD(rgb(96, 104, 124));
}

// A small landscape, shown stretched: sky, sun, two hills.
WORD LandscapePixel(long x, long y)
{
    const double hill1 = 20 + 5 * std::sin(x / 7.0), hill2 = 25 + 3 * std::cos(x / 5.0 + 1);
    const double sx = x - 36, sy = y - 8;
    if (sx * sx + sy * sy < 25)
        return WORD(rgb(255, 220, 80));
    if (y > hill2)
        return WORD(rgb(40, 120 - int(y), 50));
    if (y > hill1)
        return WORD(rgb(90, 160, 70));
    return WORD(rgb(120 + int(y) * 3, 170 + int(y) * 2, 240));
}

// A ring of dots, one of them lit, turning a step each frame; 0 (the key)
// around.
WORD PulsePixel(long x, long y)
{
    const int f = int(x / kAniCell);
    const double cx = double(x % kAniCell) - kAniCell / 2 + 0.5, cy = double(y) - kAniCell / 2 + 0.5;
    for (int d = 0; d < kAniFrames; d++) {
        const double a = d * 2 * 3.14159265358979 / kAniFrames;
        const double dx = cx - 22 * std::cos(a), dy = cy - 22 * std::sin(a);
        if (dx * dx + dy * dy < 36)
            return d == f ? WORD(rgb(255, 240, 120)) : WORD(rgb(90, 90, 140));
    }
    return 0;
}

// Writes landscape.bmp, pulse.bmp and pulse.ani into dir.
bool MakeBoxAssets(KGraph* g, const std::string& dir)
{
    KSprite* land = Painted(g, 48, 32, LandscapePixel);
    KSprite* strip = Painted(g, kAniCell * kAniFrames, kAniCell, PulsePixel);
    if (land == NULL || strip == NULL)
        return false;
    land->SaveBmp((dir + "/landscape.bmp").c_str());
    strip->SaveBmp((dir + "/pulse.bmp").c_str());
    KAni made;
    made.Init(kAniFrames);
    for (int f = 0; f < kAniFrames; f++) {
        RECT rc = {LONG(f * kAniCell), 0, LONG((f + 1) * kAniCell), LONG(kAniCell)};
        made.SetFrame(DWORD(f), strip, rc, 120, 0);
    }
    made.UseColorKey(true);
    const long saved = made.Save((dir + "/pulse.ani").c_str(), 1, "pulse.bmp");
    made.Release();
    g->ReleaseKSprite(land);
    g->ReleaseKSprite(strip);
    return saved == 0;
}

const char* CursorName(HCURSOR c)
{
    if (c == NULL)
        return "none";
    if (c == LoadCursorA(NULL, IDC_HAND))
        return "hand";
    if (c == LoadCursorA(NULL, IDC_ARROW))
        return "arrow";
    return "other";
}

struct Scene {
    DemoContext& ctx;
    KestrelMainWnd& mainWnd;
    NoticeDlg& dlg;
    KFont* font;
    std::vector<std::string> shown;  // lines printed under the heading

    // Dispatches what is waiting, then draws a frame.
    void Frame()
    {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Draw();
    }
    // Only draws: on the live screen the hold's loop takes the messages and
    // so sees the user's Escape, which taken here would only be dispatched.
    void Draw()
    {
        KSprite* back = ctx.graph->GetBackScreen();
        back->Clear(WORD(rgb(30, 34, 44)));
        if (font != NULL) {
            back->Printf(font, 16, 12, 0xFFFF, "%s", "Image box, animation box and dialog");
            long y = 36;
            for (const std::string& line : shown) {
                back->Printf(font, 16, y, WORD(rgb(255, 230, 140)), "%s", line.c_str());
                y += 20;
            }
        }
        mainWnd.Render(NULL);
    }
    void Mouse(UINT msg, long x, long y)
    {
        desktop::InjectMouse(ctx.hwnd, msg, int(x), int(y));
        Frame();
    }
};

}  // namespace

int SceneBoxes(DemoContext& ctx, KestrelMainWnd& mainWnd)
{
    KGraph* g = ctx.graph;
    const std::string dir = ctx.outDir + "/boxes";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!MakeBoxAssets(g, dir)) {
        std::fprintf(stderr, "demo: boxes: cannot write the pictures\n");
        return 1;
    }
    desktop::UseManualClock(20000);

    const long dw = kDialog.right - kDialog.left, dh = kDialog.bottom - kDialog.top;
    NoticeDlg dlg;
    dlg.SetGraph(g);
    dlg.Create("boxes", WS_CHILD | WS_VISIBLE, kDialog.left, kDialog.top, dw, dh, &mainWnd, 40);
    mainWnd.AddChild(&dlg);
    HFONT face =
        CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH, "");
    KFont* font = g->CreateSmoothFont(face);
    KSprite* panel = Painted(g, dw, dh, [dw, dh](long x, long y) { return PanelPixel(x, y, dw, dh); });
    RECT whole = {0, 0, LONG(dw), LONG(dh)};
    if (panel != NULL) {
        if (font != NULL)  // the title, on the bar that drags the dialog
            panel->_printf(font, 10, (kTitle - font->GetHeight()) / 2, 0xFFFF, "%s",
                           "News - drag me by this bar");
        dlg.SetSprite(panel, whole, false);
        g->ReleaseKSprite(panel);  // the view keeps the pixels
    }
    dlg.AddState(KWNDDLG_STATE_MOVABLE);

    // A 48 x 32 picture stretched to 192 x 128, clickable, with a link.
    KWndImageBox picture;
    picture.SetGraph(g);
    picture.Create("picture", WS_CHILD | WS_VISIBLE, kDialog.left + 20, kDialog.top + kTitle + 20,
                   48, 32, &dlg, 41);
    dlg.AddChild(&picture);
    std::string land = dir + "/landscape.bmp";
    const long loaded = picture.LoadBitmap(const_cast<char*>(land.c_str()), false);
    picture.AddState(KWNDIMAGEBOX_STATE_STRETCH | KWNDIMAGEBOX_STATE_CLICK);
    picture.ChangeSize(192, 128);
    // On a screen a link opens the user's browser: only the user's own click
    // may do that, so the scripted click meets a picture without its link.
    if (!ctx.interactive)
        picture.SetURL(kLink);
    std::string missing = dir + "/no-such-picture.bmp";
    KWndImageBox spare;
    spare.SetGraph(g);
    const long failed = spare.LoadBitmap(const_cast<char*>(missing.c_str()), false);
    std::printf("demo: boxes: picture loaded (result %ld), shown %ldx%ld; a missing one gives "
                "%s\n",
                loaded, picture.GetSprWidth(), picture.GetSprHeight(),
                failed == E_FAIL ? "E_FAIL" : failed == 0 ? "no failure" : "another failure");

    // The animation, read from its file ('\' separates the folder).
    KWndAniImageBox pulse;
    pulse.SetGraph(g);
    pulse.Create("pulse", WS_CHILD | WS_VISIBLE, kDialog.left + 250, kDialog.top + kTitle + 52,
                 kAniCell, kAniCell, &dlg, 42);
    dlg.AddChild(&pulse);
    const long aniLoaded = pulse.LoadAni(const_cast<char*>((dir + "\\pulse.ani").c_str()));
    std::printf("demo: boxes: animation loaded (result %ld), frames of %ldx%ld\n", aniLoaded,
                pulse.GetSprWidth(), pulse.GetSprHeight());

    Scene s{ctx, mainWnd, dlg, font, {}};
    s.shown.push_back("Hover and click the picture; drag the dialog by its title.");
    s.Frame();
    DemoScreenshot(ctx, "boxes-1");

    // Hover, then click the picture.
    const long px = kDialog.left + 100, py = kDialog.top + kTitle + 70;
    s.Mouse(WM_MOUSEMOVE, px, py);
    const char* hover = CursorName(desktop::CurrentCursor());
    s.Mouse(WM_LBUTTONDOWN, px, py);
    s.Mouse(WM_LBUTTONUP, px, py);
    const std::vector<desktop::ShellRequest> links = desktop::TakeShellRequests();
    s.shown.push_back(std::string("cursor over the picture: ") + hover + "; after the click: " +
                      CursorName(desktop::CurrentCursor()));
    for (const desktop::ShellRequest& r : links) {
        std::printf("demo: boxes: link requested: %s \"%s\" (show %d)\n", r.operation.c_str(),
                    r.file.c_str(), r.show);
        s.shown.push_back("link requested: " + r.operation + " " + r.file);
    }
    if (ctx.interactive) {
        picture.SetURL(kLink);
        s.shown.push_back(std::string("a click of yours opens ") + kLink);
    }

    // Drag the dialog by its title bar, 120 right and 60 down, in steps.
    const long tx = kDialog.left + 60, ty = kDialog.top + 10;
    s.Mouse(WM_MOUSEMOVE, tx, ty);
    s.Mouse(WM_LBUTTONDOWN, tx, ty);
    for (int i = 1; i <= 6; i++) {
        desktop::AdvanceClock(60);  // the animation moves on meanwhile
        s.Mouse(WM_MOUSEMOVE, tx + 20 * i, ty + 10 * i);
    }
    s.Mouse(WM_LBUTTONUP, tx + 120, ty + 60);
    const RECT moved = *dlg.GetRect();
    const RECT pic = *picture.GetRect();
    char line[160];
    std::snprintf(line, sizeof(line),
                  "dialog dragged to (%ld, %ld); the picture went along to (%ld, %ld)",
                  long(moved.left), long(moved.top), long(pic.left), long(pic.top));
    std::printf("demo: boxes: %s\n", line);
    s.shown.push_back(line);
    desktop::AdvanceClock(120);
    s.Frame();
    DemoScreenshot(ctx, "boxes-2");

    const bool ok = loaded == 0 && failed != 0 && aniLoaded == 0 &&
                    links.size() == (ctx.interactive ? 0u : 1u) && dlg.m_notes == 1 &&
                    moved.left == kDialog.left + 120 && pic.left == kDialog.left + 140;
    // The script is judged above. On a screen the dialog then stays live: its
    // picture answers the mouse and opens its link when clicked, the title
    // bar drags it, the animation plays on the real clock.
    DemoHoldLive(
        ctx, "hover and click the picture (it opens its link), drag the dialog by its title",
        [&](DWORD) { s.Draw(); }, false);
    pulse.Release();
    picture.Release();
    dlg.Release();
    if (s.font != NULL)
        g->ReleaseKFont(s.font);
    DeleteObject(face);
    desktop::UseRealClock();
    return ok ? 0 : 1;
}
