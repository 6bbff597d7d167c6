// The demo host: a small game screen built from Kestrel on the headless
// desktop. It makes the main window and the graph device, draws, presents,
// and writes screenshots as PNG into the folder named on the command line.
#include "demo.h"
#include <desktop/desktop.h>
#include <cstdio>
#include <string>

namespace {

const int kClientW = 640;
const int kClientH = 480;

LRESULT CALLBACK DemoWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND CreateMainWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DemoWndProc;
    wc.lpszClassName = "KestrelDemo";
    if (!RegisterClassA(&wc))
        return NULL;
    RECT rc = {0, 0, kClientW, kClientH};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    AdjustWindowRect(&rc, style, FALSE);
    return CreateWindowExA(0, "KestrelDemo", "Kestrel demo", style, 40, 40, rc.right - rc.left,
                           rc.bottom - rc.top, NULL, NULL, NULL, NULL);
}

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
            row[x] = WORD(rgb_565(BYTE(x * 255 / w), BYTE(y * 255 / h), BYTE(128)));
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
        back->_line(kClientW / 2, kClientH - 41, x, 61, WORD(rgb_565(255, BYTE(i * 15), 0)));
    }
    back->_line(-50, kClientH / 2, kClientW + 50, kClientH / 2, 0);  // clamped to the edges
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
    return true;
}

int main(int argc, char** argv)
{
    const std::string outDir = argc > 1 ? argv[1] : ".";
    desktop::Reset();

    HWND hwnd = CreateMainWindow();
    if (hwnd == NULL) {
        std::fprintf(stderr, "demo: cannot create the main window\n");
        return 1;
    }
    // The host's own device class: the GDI device, counting what it replays.
    CountingGraph* graph = new CountingGraph;
    if (graph->Init(false, kClientW, kClientH, KCM_R5G6B5, false) != 0) {
        std::fprintf(stderr, "demo: cannot create the graph device\n");
        delete graph;
        return 1;
    }
    graph->SetHWND(hwnd);
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

    DemoContext ctx{hwnd, graph, outDir, kClientW, kClientH};
    if (!DemoScreenshot(ctx, "frame-pattern")) {
        delete graph;
        return 1;
    }
    SceneFrames(ctx);
    ScenePictures(ctx);
    SceneText(ctx);

    delete graph;
    DestroyWindow(hwnd);
    return result == 0 ? 0 : 1;
}
