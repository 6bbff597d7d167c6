// The demo host: a small game screen built from Kestrel on the headless
// desktop. It registers the framework's window class, makes its main window
// (a KestrelMainWnd with a message table of its own) and the graph device,
// runs the scenes, ends in the framework's game loop, and writes screenshots
// as PNG into the folder named on the command line.
#include "demo.h"
#include <desktop/desktop.h>
#include <screen/screen.h>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

const int kClientW = 640;
const int kClientH = 480;

// The host's module: on the headless desktop it carries its icon resource
// the way a Windows executable would.
HINSTANCE DemoModule()
{
    return reinterpret_cast<HINSTANCE>(uintptr_t(0x400000));
}

// The game's main window: the framework's main window with a message table
// of its own. Controls notify it with WM_COMMAND; S saves a screenshot,
// Escape ends the game loop. Each idle frame renders the window tree and
// paces itself to 50 frames a second.
class DemoMainWnd : public KestrelMainWnd {
    KWND_DECLARE_MESSAGES()
public:
    DemoContext* m_ctx = nullptr;
    KestrelFPS m_fps;
    int m_frames = 0;
    int m_presented = 0;
    int m_shots = 0;

    DemoMainWnd() { m_fps.SetFPS(50); }

    int OnIdle() override
    {
        m_fps.Wait();
        const int before = desktop::PresentCount(m_hWnd);
        m_ctx->graph->m_ops = 0;
        Render(NULL);
        m_frames++;
        if (desktop::PresentCount(m_hWnd) != before) {
            m_presented++;
            std::printf("demo: idle frame %3d at %5u ms: %3ld drawing operations replayed, "
                        "presented\n",
                        m_frames, timeGetTime(), m_ctx->graph->m_ops);
        }
        // A safety net: the script ends with Escape; a user ends it by
        // closing the window.
        return m_frames >= 1000 && !m_ctx->interactive ? 1 : 0;
    }
    // Closing the window ends the game loop; main destroys the window.
    int OnClose(WPARAM, LPARAM)
    {
        PostQuitMessage(0);
        return -1;
    }
    int OnCommand(WPARAM id, LPARAM code)
    {
        std::printf("demo: control %u: %s at %u ms\n", unsigned(id), DemoNotification(DWORD(code)),
                    timeGetTime());
        return 0;
    }
    int OnKeyDown(WPARAM key, LPARAM)
    {
        if (key == 'S') {
            const std::string name = "windows-" + std::to_string(++m_shots);
            DemoScreenshot(*m_ctx, name.c_str());
        } else if (key == VK_ESCAPE) {
            PostQuitMessage(0);
        }
        return 0;
    }
};

// A test pattern written straight into the back screen through Lock: a
// gradient in every channel, then a checker of the primaries along the top.
void FillPattern(KSprite* back)
{
    void* bits = nullptr;
    DWORD pitch = 0;
    long w = 0, h = 0;
    back->Lock(&bits, pitch, w, h);
    for (long y = 0; y < h; y++) {
        WORD* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + y * pitch);
        for (long x = 0; x < w; x++)
            row[x] = WORD(rgb(BYTE(x * 255 / w), BYTE(y * 255 / h), BYTE(128)));
    }
    const WORD primaries[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    for (long y = 0; y < 32 && y < h; y++) {
        WORD* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + y * pitch);
        for (long x = 0; x < w; x++)
            row[x] = primaries[(x / 32 + y / 16) % 4];
    }
    back->Unlock();
}

void DrawLines(KSprite* back)
{
    back->_rect(40, 60, kClientW - 40, kClientH - 40, 0xFFFF);
    for (int i = 0; i <= 16; i++) {
        long x = 40 + i * (kClientW - 80) / 16;
        back->_line(kClientW / 2, kClientH - 41, x, 61, WORD(rgb(255, BYTE(i * 15), 0)));
    }
    back->_line(-50, kClientH / 2, kClientW + 50, kClientH / 2, 0);  // clamped to the edges
}

// The library's reports and debug lines stay in its log unless KESTREL_LOG
// asks for them; the demo says how many there were.
void SummariseLog()
{
    int counts[4] = {0, 0, 0, 0};
    for (const kbase::LogEntry& e : kbase::TakeLog())
        counts[e.kind]++;
    std::printf("demo: the library logged %d reports, %d debug lines, %d log lines and %d "
                "failed assertions (KESTREL_LOG=stderr shows them)\n",
                counts[kbase::LogEntry::Report], counts[kbase::LogEntry::DebugLine],
                counts[kbase::LogEntry::Log], counts[kbase::LogEntry::Assert]);
}

}  // namespace

const char* DemoNotification(DWORD code)
{
    switch (code) {
    case KWNDEDIT_NOTIFY_ENTER: return "Enter pressed in a field";
    case KWND_NOTIFY_SELECT: return "a line or picture chosen";
    case KWND_NOTIFY_BOTHDOWN: return "both buttons pressed";
    case KWND_NOTIFY_DBLCLK: return "a double click";
    case KWND_NOTIFY_LCLICK: return "clicked";
    case KWND_NOTIFY_RCLICK: return "right-clicked";
    default: return "an unknown notification";
    }
}

namespace {

// What each screenshot shows, in words, for the closing note on the contact
// sheet; the screenshots taken so far, in order.
const char* ShotInWords(const std::string& name)
{
    static const std::map<std::string, const char*> kWords = {
        {"frame-pattern", "the test pattern"},
        {"frames-moving", "moving sprites over tiles"},
        {"pictures", "pictures of every format, from disk and from a zip"},
        {"scene-text", "text, recorded and immediate"},
        {"scene-text-2", "the text's next frame"},
        {"anim-players-1", "animation players"},
        {"anim-players-2", "the players later"},
        {"anim-loader", "the background loader's pictures"},
        {"gifpng", "GIF and PNG sprites"},
        {"controls-1", "the sign-in dialog"},
        {"controls-2", "the dialog filled in"},
        {"controls-lists-open", "the open combo box"},
        {"controls-lists", "the log, combo box and volume bar played"},
        {"boxes-1", "the news dialog"},
        {"boxes-2", "the dialog clicked and dragged"},
        {"windows-1", "the window tree, a tile hovered"},
        {"windows-2", "the tree after three clicks"},
        {"windows-3", "the tree after a minimised pause"},
    };
    auto it = kWords.find(name);
    return it == kWords.end() ? name.c_str() : it->second;
}

std::vector<std::string>& ShotsTaken()
{
    static std::vector<std::string> shots;
    return shots;
}

}  // namespace

bool DemoScreenshot(DemoContext& ctx, const char* name)
{
    const std::string path = ctx.outDir + "/" + name + ".png";
    if (!desktop::SaveSurfacePng(ctx.hwnd, path.c_str())) {
        std::fprintf(stderr, "demo: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("demo: wrote %s\n", path.c_str());
    KeepForContactSheet(ctx.hwnd);
    ShotsTaken().push_back(name);
    return true;
}

bool DemoEndsScreen(DemoContext& ctx, const MSG& msg)
{
    if (msg.message == WM_CLOSE && msg.hwnd == ctx.hwnd) {
        ctx.closed = true;
        return true;
    }
    return msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE;
}

void DemoHold(DemoContext& ctx, const char* what)
{
    DemoHoldLive(ctx, what, nullptr, true);
}

void DemoHoldLive(DemoContext& ctx, const char* what, const std::function<void(DWORD)>& frame,
                  bool clickMovesOn)
{
    if (!ctx.interactive || ctx.closed)
        return;
    std::printf("demo: on the screen: %s; Escape%s for the next screen\n", what,
                clickMovesOn ? " or a click" : "");
    if (!frame) {
        // A still picture: sleep until something comes.
        MSG msg;
        while (GetMessageA(&msg, NULL, 0, 0) > 0) {
            if (DemoEndsScreen(ctx, msg) || msg.message == WM_LBUTTONDOWN)
                return;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return;
    }
    // A scene that goes on: a frame every 20 ms, on the real clock; at the
    // end it says how many frames changed the window.
    desktop::UseRealClock();
    KestrelFPS fps;
    fps.SetFPS(50);
    const DWORD start = timeGetTime();
    const int presentedBefore = desktop::PresentCount(ctx.hwnd);
    bool goOn = true;
    while (goOn) {
        MSG msg;
        while (goOn && PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (DemoEndsScreen(ctx, msg) || (clickMovesOn && msg.message == WM_LBUTTONDOWN) ||
                msg.message == WM_QUIT) {
                goOn = false;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (!goOn)
            break;
        frame(timeGetTime() - start);
        fps.Wait();
    }
    std::printf("demo: on the screen for %u ms, %d frames presented\n",
                unsigned(timeGetTime() - start), desktop::PresentCount(ctx.hwnd) - presentedBefore);
}

KWND_BEGIN_MESSAGES(DemoMainWnd, KestrelMainWnd)
    KWND_MESSAGE(WM_COMMAND, DemoMainWnd::OnCommand)
    KWND_MESSAGE(WM_KEYDOWN, DemoMainWnd::OnKeyDown)
    KWND_MESSAGE(WM_CLOSE, DemoMainWnd::OnClose)
KWND_END_MESSAGES()

int main(int argc, char** argv)
{
    // Line by line, so that with KESTREL_LOG=stderr the library's log lines
    // fall between ours.
    std::setvbuf(stdout, NULL, _IOLBF, 0);
    // demo [--window] [output folder]
    bool onScreen = false;
    std::string outDir = ".";
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--window") == 0)
            onScreen = true;
        else
            outDir = argv[i];
    }
    std::error_code made;
    std::filesystem::create_directories(outDir, made);
    desktop::Reset();
    if (onScreen && !screen::Use()) {
        // The scenes and screenshots need no display: the demo goes on
        // without one.
        std::fprintf(stderr, "demo: %s; running headless\n", screen::LastError());
        onScreen = false;
    }

    // Start-up in the framework's order: the window class, then the main window.
    static const BYTE kIcon[6] = {0, 0, 1, 0, 1, 0};
    desktop::RegisterResource(DemoModule(), RT_GROUP_ICON, "APP_ICON", kIcon, sizeof(kIcon));
    KestrelWnd::Init(DemoModule());
    DemoMainWnd mainWnd;
    RECT frame = {0, 0, kClientW, kClientH};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    AdjustWindowRect(&frame, style, FALSE);
    if (mainWnd.Create(KestrelWnd::m_ClassName, "Kestrel demo", style, 40, 40,
                       frame.right - frame.left, frame.bottom - frame.top, (HWND)NULL, 0) != 0) {
        std::fprintf(stderr, "demo: cannot create the main window\n");
        return 1;
    }
    HWND hwnd = mainWnd.GetHandle();
    // The main window's own rectangle is the client area it draws into.
    mainWnd.SetRect(0, 0, kClientW, kClientH);
    mainWnd.SetClientArea(0, 0, kClientW, kClientH);
    // The host's own device class: the GDI device, counting what it replays.
    CountingGraph* graph = new CountingGraph;
    if (graph->Init(false, kClientW, kClientH, KCM_R5G6B5, false) != 0) {
        std::fprintf(stderr, "demo: cannot create the graph device\n");
        delete graph;
        return 1;
    }
    graph->SetHWND(hwnd);
    mainWnd.SetGraph(graph);
    RECT client;
    GetClientRect(hwnd, &client);
    graph->ReSizeBackScreen(client.right, client.bottom, KCM_R5G6B5, false);
    std::printf("demo: window %dx%d, back screen %ldx%ld\n", int(client.right),
                int(client.bottom), graph->GetScreenW(), graph->GetScreenH());

    KSprite* back = graph->GetBackScreen();
    FillPattern(back);
    DrawLines(back);
    std::printf("demo: filled the back screen through Lock and drew %d lines\n", 4 + 17 + 1);

    RECT all = client;
    long result = graph->Render(all);
    std::printf("demo: presented the client area (result %ld, presentations %d)\n", result,
                desktop::PresentCount(hwnd));

    DemoContext ctx{hwnd, graph, outDir, kClientW, kClientH, onScreen};
    mainWnd.m_ctx = &ctx;
    if (!DemoScreenshot(ctx, "frame-pattern")) {
        delete graph;
        return 1;
    }
    DemoHold(ctx, "the test pattern");
    SceneFrames(ctx);  // holds on a screen itself, its balls moving
    ScenePictures(ctx);
    DemoHold(ctx, "pictures of every format");
    SceneText(ctx);
    DemoHold(ctx, "text");
    SceneAnim(ctx);  // holds on a screen itself, twice: the players, the loader
    SceneGifPng(ctx);
    DemoHold(ctx, "GIF and PNG pictures");
    const int controls = SceneControls(ctx, mainWnd);
    const int boxes = SceneBoxes(ctx, mainWnd);  // holds on a screen itself, its dialog live
    const int windows = SceneWindows(ctx, mainWnd);
    std::printf("demo: the game loop ran %d idle frames, %d of them presented\n",
                mainWnd.m_frames, mainWnd.m_presented);

    // The windows give their sprites back while the device still exists.
    mainWnd.KestrelWnd::Release();
    delete graph;
    DestroyWindow(hwnd);

    const std::string sheet = outDir + "/contact-sheet.png";
    if (onScreen)
        screen::Leave();
    if (WriteContactSheet(sheet)) {
        std::string words;
        for (const std::string& shot : ShotsTaken())
            words += (words.empty() ? "" : "; ") + std::string(ShotInWords(shot));
        std::printf("demo: wrote %s, every screenshot in the order taken: %s\n", sheet.c_str(),
                    words.c_str());
    } else
        std::fprintf(stderr, "demo: cannot write %s\n", sheet.c_str());
    SummariseLog();
    return result == 0 && windows == 0 && controls == 0 && boxes == 0 ? 0 : 1;
}
