// The animation scene: a KAni file made and read back, played by two
// players at different phases and places on the desktop's manual clock; then
// a batch of pictures loaded by the background loader, with the messages it
// posts to the main window as they arrive.
#include "demo.h"
#include <assets.h>
#include <desktop/desktop.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

const long kCell = 32;
const int kFrames = 6;
const DWORD kDelay = 100;
const WORD kGround = 0x2945;

// A strip of kFrames cells: a ball that bounces inside its cell, a little
// lower and redder each frame, on black (the colour key once loaded keyed).
KSprite* MakeStrip(KGraph* g)
{
    KSprite* s = g->CreateSprite(kCell * kFrames, kCell, KCM_R5G6B5, 0);
    s->_clear(0);
    for (int f = 0; f < kFrames; f++) {
        const long cy = 8 + (f < kFrames / 2 ? f : kFrames - 1 - f) * 6;
        for (long y = 0; y < kCell; y++)
            for (long x = 0; x < kCell; x++) {
                const long dx = x - kCell / 2, dy = y - cy;
                if (dx * dx + dy * dy < 49)
                    s->_clear(f * kCell + x, y, 1, 1,
                              WORD(rgb(BYTE(120 + f * 25), BYTE(200 - f * 20), 60)));
            }
    }
    return s;
}

// Writes strip.bmp and walk.ani into dir; false when either cannot be made.
bool MakeAnimationFiles(KGraph* g, const std::string& dir)
{
    KSprite* strip = MakeStrip(g);
    strip->SaveBmp((dir + "/strip.bmp").c_str());
    KAni made;
    made.Init(kFrames);
    for (int f = 0; f < kFrames; f++) {
        RECT rc = {LONG(f * kCell), 0, LONG((f + 1) * kCell), LONG(kCell)};
        made.SetFrame(DWORD(f), strip, rc, kDelay, 0);
    }
    made.UseColorKey(true);
    const long saved = made.Save((dir + "/walk.ani").c_str(), 1, "strip.bmp");
    made.Release();
    g->ReleaseKSprite(strip);
    return saved == 0;
}

void PlayAnimation(DemoContext& ctx, const std::string& dir)
{
    CountingGraph* g = ctx.graph;
    KAni ani;
    // '\' separates the folder, as a game names its files.
    const long loaded = ani.Load((dir + "\\walk.ani").c_str(), g);
    std::printf("demo: anim: walk.ani loaded (result %ld), %u frames of %ldx%ld\n", loaded,
                unsigned(ani.GetMaxFrames()), ani.GetWidth(), ani.GetHeight());
    if (loaded != 0)
        return;

    KAniPlayer left, right;
    left.m_Data = right.m_Data = &ani;
    left.m_x = ctx.clientW / 3 - kCell / 2;
    right.m_x = 2 * ctx.clientW / 3 - kCell / 2;
    left.m_y = right.m_y = ctx.clientH / 2;
    KSprite* back = g->GetBackScreen();
    desktop::UseManualClock(10000);
    for (int frame = 0; frame < 16; frame++) {
        back->Clear(kGround);
        long rl = left.Draw();
        // The right player starts three frames later: half a cycle behind.
        long rr = frame >= 3 ? right.Draw() : 0;
        g->m_ops = 0;
        g->Render();
        std::printf("demo: anim: t=%5u ms  left frame %u (%#lx)  right frame %u (%#lx)  "
                    "replayed %ld\n",
                    unsigned(timeGetTime() - 10000), unsigned(left.m_dwCurFrame),
                    static_cast<unsigned long>(rl), unsigned(right.m_dwCurFrame),
                    static_cast<unsigned long>(rr), g->m_ops);
        desktop::AdvanceClock(kDelay / 2);
    }
    DemoScreenshot(ctx, "anim-players");
    desktop::UseRealClock();
}

const char* MessageName(UINT msg)
{
    switch (msg) {
    case WM_SPRLOAD_IDLE:
        return "WM_USER+9  (no request left: idle)";
    case WM_SPRLOAD_NODATA:
        return "WM_USER+10 (a request ended without a picture)";
    case WM_SPRLOAD_BATCH:
        return "WM_USER+11 (the whole batch is finished)";
    default:
        return "?";
    }
}

void LoadInBackground(DemoContext& ctx, const std::string& dir)
{
    std::string error;
    if (!MakePictureAssets(ctx.graph, dir, &error)) {
        std::fprintf(stderr, "demo: anim: %s\n", error.c_str());
        return;
    }
    std::vector<std::string> names = kAssetPictures;
    names.push_back("absent.bmp");  // skipped: no such file
    sprLoad loader(ctx.graph, ctx.hwnd, DWORD(names.size()));
    for (size_t i = 0; i < names.size(); i++)
        loader.Load((dir + "/" + names[i]).c_str(), DWORD(i), 0, 0, 0);
    if (loader.Init() != 0)
        return;
    loader.Start();

    // The main window's queue, polled until the loader goes idle.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool idle = false;
    while (!idle && std::chrono::steady_clock::now() < deadline) {
        MSG m;
        if (PeekMessageA(&m, ctx.hwnd, WM_SPRLOAD_IDLE, WM_SPRLOAD_BATCH, PM_REMOVE)) {
            std::printf("demo: loader: %s\n", MessageName(m.message));
            idle = m.message == WM_SPRLOAD_IDLE;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    KSprite* back = ctx.graph->GetBackScreen();
    back->_clear(kGround);
    long x = 16;
    for (size_t i = 0; i < names.size(); i++) {
        SPRLOAD_REQUEST* r = loader.Find((dir + "/" + names[i]).c_str(), DWORD(i), 0);
        if (r == NULL || r->data == NULL) {
            std::printf("demo: loader: %-10s %s\n", names[i].c_str(),
                        r != NULL && r->done ? "no picture" : "skipped");
            continue;
        }
        std::printf("demo: loader: %-10s %ldx%ld\n", names[i].c_str(), r->data->width,
                    r->data->height);
        KSprite* pic = ctx.graph->CreateSprite(r->data);
        back->_blt(x, 120, pic, 0, 0, pic->GetWidth(), pic->GetHeight());
        x += pic->GetWidth() + 8;
        ctx.graph->ReleaseKSprite(pic);
    }
    RECT all = {0, 0, ctx.clientW, ctx.clientH};
    ctx.graph->Render(all);
    DemoScreenshot(ctx, "anim-loader");
    loader.Stop();
}

}  // namespace

void SceneAnim(DemoContext& ctx)
{
    const std::string dir = ctx.outDir + "/anim";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!MakeAnimationFiles(ctx.graph, dir)) {
        std::fprintf(stderr, "demo: anim: cannot write the animation files\n");
        return;
    }
    PlayAnimation(ctx, dir);
    LoadInBackground(ctx, dir);
}
