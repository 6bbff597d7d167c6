// A screen host built against the installed library through
// kestrel-screen.pc: it asks for the screen and, where no display can be
// opened (the install test runs it with none), goes on headless as the
// README says, drawing one frame into a window of the desktop.
#include <kestrel.h>
#include <desktop/desktop.h>
#include <screen/screen.h>
#include <cstdio>
#include <cstring>

static LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int main()
{
    kbase::SetEcho(false);
    const bool onScreen = screen::Use();
    if (!onScreen && std::strlen(screen::LastError()) == 0) {
        std::fprintf(stderr, "screen host: no screen and no reason given\n");
        return 1;
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = "ScreenHost";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "ScreenHost", "screen host", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48,
                                NULL, NULL, NULL, NULL);
    KGraph* graph = CreateKGraph(KRM_GDI, false, 64, 48, KCM_R5G6B5, false, false);
    if (hwnd == NULL || graph == NULL) {
        std::fprintf(stderr, "screen host: no window or device\n");
        return 1;
    }
    graph->SetHWND(hwnd);
    graph->ReSizeBackScreen(64, 48, KCM_R5G6B5, false);
    graph->GetBackScreen()->Clear(0x07E0);
    graph->Render();
    const DWORD pixel = desktop::Pixel(hwnd, 10, 10);
    ReleaseKGraph(graph);
    DestroyWindow(hwnd);
    if (onScreen)
        screen::Leave();
    if (pixel != 0x0000FF00) {
        std::fprintf(stderr, "screen host: pixel %06x\n", unsigned(pixel));
        return 1;
    }
    std::printf("screen host: %s\n", onScreen ? "on the screen" : screen::LastError());
    return 0;
}
