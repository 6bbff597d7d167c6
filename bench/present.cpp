// Presenting on the screen: an 800 x 600 R5G6B5 frame put on a real window
// through SetDIBitsToDevice (the screen backend), whole and as one changed
// rectangle, against SDL's own streaming-texture update of the same pixels
// on a window of its own, measured in the same run. Needs a display (run it
// under scripts/with-xvfb); without one it says so and succeeds.
#include "bench_util.h"

#include <windows.h>

#include <desktop/desktop.h>
#include <screen/screen.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const int kW = 800, kH = 600;
// The changed rectangle of the second case: a sprite's worth.
const RECT kChanged = {320, 240, 448, 336};

struct Frame {
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info = {};
    std::vector<WORD> pixels;
    int serial = 0;

    Frame()
    {
        info.h.biSize = sizeof(BITMAPINFOHEADER);
        info.h.biWidth = kW;
        info.h.biHeight = -kH;  // top-down, as the engine's back screen
        info.h.biPlanes = 1;
        info.h.biBitCount = 16;
        info.h.biCompression = BI_BITFIELDS;
        info.masks[0] = 0xF800;
        info.masks[1] = 0x07E0;
        info.masks[2] = 0x001F;
        pixels.resize(size_t(kW) * kH);
        Next();
    }
    // New pixels each time, so nothing can skip a frame as unchanged.
    void Next()
    {
        ++serial;
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = WORD(i * 31 + size_t(serial) * 977);
    }
};

struct Scene {
    HWND hwnd = nullptr;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    Frame frame;
};

Scene* g_scene = nullptr;

void BM_Present(benchmark::State& state)
{
    Scene& s = *g_scene;
    const bool whole = state.range(0) == 0;
    const RECT r = whole ? RECT{0, 0, kW, kH} : kChanged;
    const SDL_Rect sr = {int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
    HDC dc = GetDC(s.hwnd);
    const BITMAPINFO* bmi = reinterpret_cast<const BITMAPINFO*>(&s.frame.info);
    auto base = [&] {
        s.frame.Next();
        const WORD* first = s.frame.pixels.data() + size_t(r.top) * kW + r.left;
        SDL_UpdateTexture(s.texture, &sr, first, kW * 2);
        SDL_RenderCopy(s.renderer, s.texture, nullptr, nullptr);
        SDL_RenderPresent(s.renderer);
        return true;
    };
    auto ours = [&] {
        s.frame.Next();
        return SetDIBitsToDevice(dc, r.left, r.top, DWORD(r.right - r.left),
                                 DWORD(r.bottom - r.top), r.left, r.top, 0, kH,
                                 s.frame.pixels.data(), bmi, DIB_RGB_COLORS) > 0;
    };
    CompareWithBaseline(state, sr.w, sr.h, base, ours, [](bool baseOk) {
        return baseOk ? "SetDIBitsToDevice failed" : "SDL failed";
    });
    ReleaseDC(s.hwnd, dc);
    state.SetLabel(whole ? "whole 800x600 frame" : "one 128x96 rectangle");
}

bool Open(Scene& s)
{
    desktop::Reset();
    if (std::getenv("DISPLAY") == nullptr || !screen::Use())
        return false;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "bench-present";
    RegisterClassA(&wc);
    s.hwnd = CreateWindowExA(0, "bench-present", "ours", WS_POPUP | WS_VISIBLE, 0, 0, kW, kH,
                             nullptr, nullptr, nullptr, nullptr);
    s.window = SDL_CreateWindow("baseline", 100, 100, kW, kH, SDL_WINDOW_SHOWN);
    s.renderer = s.window ? SDL_CreateRenderer(s.window, -1, 0) : nullptr;
    s.texture = s.renderer ? SDL_CreateTexture(s.renderer, SDL_PIXELFORMAT_RGB565,
                                               SDL_TEXTUREACCESS_STREAMING, kW, kH)
                           : nullptr;
    return s.hwnd != nullptr && s.texture != nullptr;
}

}  // namespace

BENCHMARK(BM_Present)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Apply([](benchmark::internal::Benchmark* b) { BenchMinTime(b, 1.0); });

int main(int argc, char** argv)
{
    Scene scene;
    if (!Open(scene)) {
        std::printf("present: no display (%s); nothing measured\n",
                    std::getenv("DISPLAY") ? screen::LastError() : "DISPLAY is not set");
        return 0;
    }
    SDL_RendererInfo info = {};
    SDL_GetRendererInfo(scene.renderer, &info);
    std::printf("present: renderer %s; ratio = SDL's own update over ours (above 1: ours faster)\n",
                info.name);
    g_scene = &scene;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SDL_DestroyTexture(scene.texture);
    SDL_DestroyRenderer(scene.renderer);
    SDL_DestroyWindow(scene.window);
    desktop::Reset();
    screen::Leave();
    return 0;
}
