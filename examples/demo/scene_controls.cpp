// The controls scene: a dialog-like screen built from skins and controls. A
// tiled backdrop and a nine-piece dialog frame are composed from skin tables
// made by the asset tool; on the frame stand two edit fields (a name, and a
// password drawn as stars) and two captioned buttons that ask for a sound
// when the mouse enters them; beside it an event log, a difficulty combo box
// and a volume bar (controls_lists.cpp). A script of clicks and typing,
// English and Chinese, plays through the desktop; screenshots are taken
// before and after.
#include "demo.h"
#include "assets.h"
#include "controls_lists.h"
#include <desktop/desktop.h>
#include <iconv.h>
#include <cerrno>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Where the dialog stands, in the main window's client coordinates.
const RECT kDialog = {128, 100, 520, 380};

struct Fonts {
    HFONT gdi = NULL;
    KFont* font = NULL;
    HFONT labelGdi = NULL;
    KFont* label = NULL;  // the title and the fields' labels
};

// Where the fields stand, and the sunken wells the screen draws around them
// (an empty field draws nothing of its own), a few pixels out so the text
// keeps clear of the wells' borders. The name field takes 16 bytes, as its
// label says.
const long kFieldX = kDialog.left + 100, kFieldY = kDialog.top + 46, kFieldStep = 50;
const long kFieldW = 200, kFieldH = 20;
const int kNameLimit = 16;
const RECT kFieldWells[2] = {
    {kFieldX - 6, kFieldY - 3, kFieldX + kFieldW + 6, kFieldY + kFieldH + 3},
    {kFieldX - 6, kFieldY + kFieldStep - 3, kFieldX + kFieldW + 6,
     kFieldY + kFieldStep + kFieldH + 3}};
const char* const kFieldLabels[2] = {"Name (16 bytes at most)", "Password"};

// The screen's own drawing under the window tree: backdrop, dialog frame,
// its title, and the fields' wells and labels.
void DrawScreen(DemoContext& ctx, KWndBack& backdrop, KWndBack& dialog, KFont* label)
{
    if (backdrop.GetData() != NULL)
        backdrop.GetData()->Draw(0, 0);
    if (dialog.GetData() != NULL)
        dialog.GetData()->Draw_ck(kDialog.left, kDialog.top);
    KSprite* back = ctx.graph->GetBackScreen();
    if (label != NULL)
        back->Printf(label, kDialog.left + 8, kDialog.top + 1, color16b(255, 255, 255), "%s",
                     "Sign in");
    for (int i = 0; i < 2; i++) {
        const RECT& r = kFieldWells[i];
        ctx.graph->ClearBackScreen(r.left, r.top, r.right, r.bottom, color16b(90, 90, 90));
        ctx.graph->ClearBackScreen(r.left + 1, r.top + 1, r.right, r.bottom,
                                   color16b(230, 230, 230));
        ctx.graph->ClearBackScreen(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1,
                                   color16b(250, 250, 240));
        if (label != NULL)
            back->Printf(label, r.left, r.top - 18, color16b(220, 225, 240), "%s", kFieldLabels[i]);
    }
}

// Dispatches what is waiting, then draws a frame: the screen's own drawing
// under the window tree. False once the user ends the screen (on a real
// screen).
bool Frame(DemoContext& ctx, KestrelMainWnd& mainWnd, KWndBack& backdrop, KWndBack& dialog,
           KFont* label)
{
    MSG msg;
    bool goOn = true;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (ctx.interactive && DemoEndsScreen(ctx, msg)) {
            goOn = false;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DrawScreen(ctx, backdrop, dialog, label);
    mainWnd.Render(NULL);
    return goOn;
}

// The buttons' hover sound: a short falling tick, 16-bit mono at 22050 Hz,
// written as a WAV file.
bool WriteHoverSound(const std::string& path)
{
    const int rate = 22050, count = rate / 20;
    std::vector<unsigned char> bytes;
    auto u32 = [&](unsigned v) {
        for (int i = 0; i < 4; i++)
            bytes.push_back((unsigned char)(v >> (8 * i)));
    };
    auto u16 = [&](unsigned v) {
        bytes.push_back((unsigned char)v);
        bytes.push_back((unsigned char)(v >> 8));
    };
    auto tag = [&](const char* t) { bytes.insert(bytes.end(), t, t + 4); };
    tag("RIFF");
    u32(36 + count * 2);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    tag("data");
    u32(count * 2);
    for (int i = 0; i < count; i++) {
        const double t = double(i) / rate, fade = 1.0 - double(i) / count;
        u16(unsigned(short(8000 * fade * std::sin(2 * 3.14159265 * (1400 - 6000 * t) * t))));
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == NULL)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// The field's text for the log, which is UTF-8: the field holds code page
// 936, converted by iconv; bytes iconv cannot take are shown as \xNN.
std::string Utf8Text(const char* text)
{
    std::string out;
    iconv_t cd = iconv_open("UTF-8", "GBK");
    const char* in = text;
    size_t left = std::strlen(text);
    while (left > 0) {
        char buf[64];
        char* inp = const_cast<char*>(in);
        char* outp = buf;
        size_t room = sizeof(buf);
        const size_t done = cd == iconv_t(-1) ? size_t(-1) : iconv(cd, &inp, &left, &outp, &room);
        out.append(buf, size_t(outp - buf));
        in = inp;
        if (done == size_t(-1) && errno != E2BIG && left > 0) {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02X", unsigned(static_cast<unsigned char>(*in)));
            out += hex;
            in++;
            left--;
        }
    }
    if (cd != iconv_t(-1))
        iconv_close(cd);
    return out;
}

// The screen's own check of its layout: each caption fits its button with
// 4 pixels to spare at both ends, each label its field's well, each log
// line its list. A skin or layout that cuts or overhangs its text fails the
// demo, and says where.
bool LayoutFits(KWndButton* const (&buttons)[2], KFont* font, KFont* label, ListControls* lists)
{
    std::string why;
    for (KWndButton* b : buttons) {
        char caption[32] = {};
        GetWindowTextA(b->GetHandle(), caption, sizeof(caption));
        if (font != NULL && font->GetStringWidth(caption) + 8 > b->GetWidth())
            why = std::string("the caption \"") + caption + "\" overhangs its button";
    }
    for (int i = 0; i < 2; i++)
        if (label != NULL &&
            label->GetStringWidth(kFieldLabels[i]) > kFieldWells[i].right - kFieldWells[i].left)
            why = std::string("the label \"") + kFieldLabels[i] + "\" is wider than its field";
    if (why.empty())
        ListTextsFit(lists, &why);
    if (!why.empty())
        std::fprintf(stderr, "demo: controls: %s\n", why.c_str());
    return why.empty();
}

void Caption(KWndButton& b, KFont* font, const char* text)
{
    SetWindowTextA(b.GetHandle(), text);
    b.AddState(KWNDBUTTON_STATE_TEXT);
    b.SetTextColor(color16b(255, 255, 255));
    if (font != NULL)
        b.SetKFont(font);
}

}  // namespace

int SceneControls(DemoContext& ctx, KestrelMainWnd& mainWnd)
{
    KGraph* g = ctx.graph;
    const std::string dir = ctx.outDir + "/skins";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::string error;
    if (!MakeSkinAssets(g, dir, &error)) {
        std::fprintf(stderr, "demo: controls: %s\n", error.c_str());
        return 1;
    }
    desktop::UseManualClock(5000);

    Fonts fonts;
    fonts.gdi = CreateFontA(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "SimSun");
    fonts.font = g->CreateFontA(fonts.gdi);
    fonts.labelGdi =
        CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH, "");
    fonts.label = g->CreateSmoothFont(fonts.labelGdi);
    KFont* oldDefault = g->GetDefaultFont();
    if (fonts.font != NULL)
        g->SetDefaultFont(fonts.font);

    // The skins, composed at their sizes.
    KWndBack_Ex2 backdrop(g, (dir + "/backdrop.txt").c_str(), NULL, NULL);
    backdrop.Create(ctx.clientW, ctx.clientH, KCM_R5G6B5, 0);
    backdrop.Update(ctx.clientW, ctx.clientH);
    KWndBack_Ex dialog(g, (dir + "/dialog.txt").c_str(), NULL, NULL);
    dialog.Create(kDialog.right - kDialog.left, kDialog.bottom - kDialog.top, KCM_R5G6B5,
                  KSPR_COLORKEY);
    dialog.Update(kDialog.right - kDialog.left, kDialog.bottom - kDialog.top);
    std::printf("demo: controls: dialog frame %ldx%ld, title %ld, borders %ld/%ld/%ld\n",
                long(kDialog.right - kDialog.left), long(kDialog.bottom - kDialog.top),
                dialog.GetTitleHeight(), dialog.GetLBorderWidth(), dialog.GetRBorderWidth(),
                dialog.GetDBorderHeight());

    // Two fields with a sunken back each; the second shows stars.
    const long fx = kFieldX, fy = kFieldY;
    KWndEdit name, password;
    for (KWndEdit* e : {&name, &password}) {
        e->SetGraph(g);
        const bool second = e == &password;
        e->Create("", WS_CHILD | WS_VISIBLE, int(fx), int(fy + (second ? kFieldStep : 0)),
                  int(kFieldW), int(kFieldH), &mainWnd, second ? 22 : 21);
        e->LoadBitmap(const_cast<char*>((dir + "/edit.bmp").c_str()), false, 0, 0);
        e->SetColor(0xFFFFFFFF, color16b(10, 10, 40), color16b(150, 190, 255), 0);
        e->LimitText(kNameLimit + 1);
        e->SetDstWndID(31);
        mainWnd.AddChild(e);
    }
    password.AddState(KWNDEDIT_STATE_PASSWORD);

    // Two buttons cut from one four-state strip, keyed at their corners.
    KWndButton ok, cancel;
    const std::string strip = dir + "/button.bmp";
    ok.CreateEx(g, strip.c_str(), POINT{kDialog.left + 56, kDialog.top + 200}, mainWnd,
                WM_USER + 20, 31, 1, NULL, WS_CHILD | WS_VISIBLE);
    cancel.CreateEx(g, strip.c_str(), POINT{kDialog.left + 216, kDialog.top + 200}, mainWnd,
                    WM_USER + 20, 32, 1, NULL, WS_CHILD | WS_VISIBLE);
    const std::string sound = ctx.outDir + "/sound/button_hover.wav";
    std::filesystem::create_directories(ctx.outDir + "/sound", ec);
    if (!WriteHoverSound(sound))
        std::fprintf(stderr, "demo: cannot write %s\n", sound.c_str());
    for (KWndButton* b : {&ok, &cancel}) {
        b->SetMessage(WM_COMMAND);  // the main window hears them as commands
        b->SetBtnFocusSound(sound.c_str());
    }
    Caption(ok, fonts.font, "OK");
    Caption(cancel, fonts.font, "Cancel 100%");
    ListControls* lists = MakeListControls(g, mainWnd, fonts.font);

    Frame(ctx, mainWnd, backdrop, dialog, fonts.label);
    DemoScreenshot(ctx, "controls-1");

    // The player's session, in client coordinates of the main window.
    const HWND top = ctx.hwnd;
    auto click = [&](long x, long y) {
        desktop::InjectMouse(top, WM_MOUSEMOVE, int(x), int(y));
        desktop::InjectMouse(top, WM_LBUTTONDOWN, int(x), int(y));
        desktop::InjectMouse(top, WM_LBUTTONUP, int(x), int(y));
        Frame(ctx, mainWnd, backdrop, dialog, fonts.label);
    };
    auto type = [&](const char* text) {
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; p++)
            desktop::InjectChar(top, *p);
        Frame(ctx, mainWnd, backdrop, dialog, fonts.label);
    };
    click(fx + 5, fy + 5);
    type("Player ");
    desktop::InjectChar(top, 0xC4E3);  // "你好" by the input method, one code each
    desktop::InjectChar(top, 0xBAC3);
    Frame(ctx, mainWnd, backdrop, dialog, fonts.label);
    click(fx + 5, fy + 55);
    type("secret");
    desktop::InjectChar(top, 0xD6D0);  // "中"
    desktop::InjectKey(top, WM_KEYDOWN, VK_RETURN);  // Enter: the password's notification
    desktop::InjectKey(top, WM_KEYUP, VK_RETURN);
    Frame(ctx, mainWnd, backdrop, dialog, fonts.label);
    click(kDialog.left + 100, kDialog.top + 210);  // OK
    desktop::InjectMouse(top, WM_MOUSEMOVE, kDialog.left + 280, kDialog.top + 212);  // over Cancel
    Frame(ctx, mainWnd, backdrop, dialog, fonts.label);
    desktop::AdvanceClock(300);  // the carets blink on
    Frame(ctx, mainWnd, backdrop, dialog, fonts.label);
    DemoScreenshot(ctx, "controls-2");
    const int listsPlayed =
        PlayListControls(lists, ctx, [&]() { Frame(ctx, mainWnd, backdrop, dialog, fonts.label); });
    KWndButton* const buttons[2] = {&ok, &cancel};
    const bool fits = LayoutFits(buttons, fonts.font, fonts.label, lists);

    const std::vector<desktop::SoundRequest> sounds = desktop::TakeSounds();
    std::printf("demo: controls: name \"%s\" (%zu bytes), password %zu bytes, %zu hover "
                "sounds requested\n",
                Utf8Text(name.GetText()).c_str(), std::strlen(name.GetText()),
                std::strlen(password.GetText()), sounds.size());
    for (const desktop::SoundRequest& s : sounds)
        std::printf("demo: controls: sound %s%s%s\n", s.name.c_str(),
                    (s.flags & SND_ASYNC) ? ", played without waiting" : "",
                    (s.flags & SND_NOWAIT) ? ", skipped when the device is busy" : "");

    if (ctx.interactive && !ctx.closed) {
        // The user's turn: type, click and hover until Escape.
        desktop::UseRealClock();
        std::printf("demo: on the screen: the dialog's fields and buttons are yours; Escape "
                    "for the next screen\n");
        KestrelFPS fps;
        fps.SetFPS(50);
        while (Frame(ctx, mainWnd, backdrop, dialog, fonts.label))
            fps.Wait();
    }

    ReleaseListControls(lists);
    ok.Release();
    cancel.Release();
    name.Release();
    password.Release();
    if (oldDefault != NULL)
        g->SetDefaultFont(oldDefault);
    mainWnd.SetGraph(g);
    if (fonts.font != NULL)
        g->ReleaseKFont(fonts.font);
    if (fonts.label != NULL)
        g->ReleaseKFont(fonts.label);
    DeleteObject(fonts.gdi);
    DeleteObject(fonts.labelGdi);
    desktop::UseRealClock();
    const bool typed = std::strlen(name.GetText()) > 0;
    return typed && sounds.size() >= 2 && listsPlayed == 0 && fits ? 0 : 1;
}
