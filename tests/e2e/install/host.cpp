// A host built against the installed library: one header, one device, one
// frame presented into a window of the headless desktop, an image and a
// camera record read by the image library.
#include <kestrel.h>
#include <desktop/desktop.h>
#include <cstdio>

static LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int main()
{
    kbase::SetEcho(false);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = "InstalledHost";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "InstalledHost", "host", WS_POPUP, 0, 0, 64, 48, NULL, NULL,
                                NULL, NULL);
    KGraph* graph = CreateKGraph(KRM_GDI, false, 64, 48, KCM_R5G6B5, false, false);
    if (hwnd == NULL || graph == NULL) {
        std::fprintf(stderr, "host: no window or device\n");
        return 1;
    }
    graph->SetHWND(hwnd);
    graph->ReSizeBackScreen(64, 48, KCM_R5G6B5, false);
    graph->GetBackScreen()->Clear(0xF800);
    graph->Render();
    const DWORD pixel = desktop::Pixel(hwnd, 10, 10);
    ReleaseKGraph(graph);
    RasterImage image;
    const bool made = image.Create(4, 4, 24, 0) != NULL;
    // An EXIF block of one directory: orientation 6, little-endian.
    BYTE exif[] = {'E',  'x',  'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                   0x12, 0x01, 3,   0,   1, 0, 0,   0,   6,  0, 0, 0, 0, 0, 0, 0};
    RasterExifInfo reader;
    const bool read = reader.ReadExifSection(exif, sizeof(exif) + 2);
    const int orientation = reader.GetRecord()->nOrientation;
    if (pixel != 0x00FF0000 || !made || !read || orientation != 6) {
        std::fprintf(stderr, "host: pixel %06x, image %d, exif %d orientation %d\n",
                     unsigned(pixel), int(made), int(read), orientation);
        return 1;
    }
    return 0;
}
