// The animation scene: three KAni files (a bouncing ball, a spinning star, a
// turning coin), each made from a strip of eight pictures, saved, read back
// and played by two players at different phases on the desktop's manual
// clock, with every frame of every strip shown below them; then a batch of
// pictures loaded by the background loader, drawn as they came (keyed ones
// keyed) beside the TGA, which the loader does not read.
#include "demo.h"
#include <assets.h>
#include <desktop/desktop.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

const long kCell = 72;
const int kFrames = 8;
const DWORD kDelay = 100;
const WORD kGround = 0x2945;
const double kPi = 3.14159265358979;

// The colour of a pixel of a frame, at (x, y) from the cell's centre; 0 (the
// colour key) where the frame is see-through.
using FramePainter = std::function<WORD(int frame, double x, double y)>;

WORD Shade(int r, int g, int b, double light)
{
    auto c = [light](int v) { return BYTE(std::max(0.0, std::min(255.0, v * light))); };
    const WORD w = WORD(rgb(c(r), c(g), c(b)));
    return w == 0 ? 1 : w;  // never the key
}

// A ball that falls, squashes on the ground and rises again, with a shadow.
WORD BallPixel(int f, double x, double y)
{
    const double t = double(f) / kFrames;
    const double lift = std::fabs(std::sin(kPi * t));            // 0 on the ground
    const double squash = f == 0 ? 0.75 : 1.0;
    const double rx = 16 / squash, ry = 16 * squash;
    const double cy = 34 - ry - lift * 36;                        // the ground is y = 34
    const double sx = x / (10 + 8 * (1 - lift)), sy = (y - 32) / 3;
    const double dx = x / rx, dy = (y - cy) / ry;
    if (dx * dx + dy * dy <= 1) {
        const double light = 1.25 - 0.5 * ((dx + 0.4) * (dx + 0.4) + (dy + 0.4) * (dy + 0.4));
        return Shade(230, 60, 50, light);
    }
    if (sx * sx + sy * sy <= 1)
        return Shade(20, 20, 24, 1);
    return 0;
}

// A five-pointed star turning by a tenth of its symmetry each frame.
WORD StarPixel(int f, double x, double y)
{
    const double angle = std::atan2(y, x) - f * (2 * kPi / 5) / kFrames;
    const double r = std::sqrt(x * x + y * y);
    // The outline's radius at this angle: between the points it dips to the
    // inner radius along straight edges.
    const double sector = 2 * kPi / 5;
    double a = std::fmod(angle + kPi / 2, sector);
    if (a < 0)
        a += sector;
    const double u = std::fabs(a - sector / 2) / (sector / 2);  // 0 at a point, 1 between
    const double edge = 32 * (1 - u) + 13 * u;
    if (r > edge)
        return 0;
    return r > edge - 3 ? Shade(200, 90, 20, 1) : Shade(255, 220, 60, 1.1 - r / 80);
}

// A coin turning about its upright axis: its width follows the cosine, the
// face shows a ring, the edge shows when it is nearly side-on.
WORD CoinPixel(int f, double x, double y)
{
    const double wf = std::fabs(std::cos(kPi * f / kFrames));
    const double rx = 4 + 26 * wf, ry = 30;
    const double d = (x / rx) * (x / rx) + (y / ry) * (y / ry);
    if (d > 1)
        return 0;
    if (wf < 0.3)
        return Shade(170, 130, 30, 1);
    if (d > 0.8 || (d > 0.45 && d < 0.55))
        return Shade(200, 150, 30, 1);
    return Shade(250, 210, 70, 1.15 - 0.3 * (x / rx + y / ry));
}

struct AniKind {
    const char* name;  // the .ani file; its strip is the .bmp of the same name
    FramePainter paint;
};

// A strip of kFrames cells painted through Lock, black (the key) around.
KSprite* MakeStrip(KGraph* g, const FramePainter& paint)
{
    KSprite* s = g->CreateSprite(kCell * kFrames, kCell, KCM_R5G6B5, 0);
    void* bits = nullptr;
    DWORD pitch = 0;
    long w = 0, h = 0;
    s->Lock(&bits, pitch, w, h);
    for (long y = 0; y < h; y++) {
        WORD* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + y * pitch);
        for (long x = 0; x < w; x++) {
            const int f = int(x / kCell);
            row[x] = paint(f, double(x % kCell) - kCell / 2 + 0.5, double(y) - kCell / 2 + 0.5);
        }
    }
    s->Unlock();
    return s;
}

// Writes <name>.bmp and <name>.ani into dir; false when either cannot be made.
bool MakeAnimationFiles(KGraph* g, const std::string& dir, const AniKind& kind)
{
    KSprite* strip = MakeStrip(g, kind.paint);
    const std::string bmp = std::string(kind.name) + ".bmp";
    strip->SaveBmp((dir + "/" + bmp).c_str());
    KAni made;
    made.Init(kFrames);
    for (int f = 0; f < kFrames; f++) {
        RECT rc = {LONG(f * kCell), 0, LONG((f + 1) * kCell), LONG(kCell)};
        made.SetFrame(DWORD(f), strip, rc, kDelay, 0);
    }
    made.UseColorKey(true);
    const long saved = made.Save((dir + "/" + kind.name + ".ani").c_str(), 1, bmp.c_str());
    made.Release();
    g->ReleaseKSprite(strip);
    return saved == 0;
}

// A checker behind keyed pictures, so what is see-through shows: recorded
// into the frame, or drawn at once (immediate).
void DrawChecker(KSprite* back, long x, long y, long w, long h, bool immediate = false)
{
    auto fill = [back, immediate](long l, long t, long cw, long ch, DWORD c) {
        if (immediate)
            back->_clear(l, t, cw, ch, c);
        else
            back->Clear(l, t, cw, ch, c);
    };
    fill(x, y, w, h, rgb(60, 64, 72));
    for (long cy = 0; cy < h; cy += 12)
        for (long cx = (cy / 12) % 2 * 12; cx < w; cx += 24)
            fill(x + cx, y + cy, std::min(12L, w - cx), std::min(12L, h - cy),
                 rgb(84, 88, 100));
}

void PlayAnimations(DemoContext& ctx, const std::string& dir)
{
    CountingGraph* g = ctx.graph;
    const AniKind kinds[] = {{"ball", BallPixel}, {"star", StarPixel}, {"coin", CoinPixel}};
    const int kKinds = 3;
    KAni anis[kKinds];
    KSprite* strips[kKinds] = {};
    for (int k = 0; k < kKinds; k++) {
        if (!MakeAnimationFiles(g, dir, kinds[k])) {
            std::fprintf(stderr, "demo: anim: cannot write %s.ani\n", kinds[k].name);
            return;
        }
        // '\' separates the folder, as a game names its files.
        const long loaded = anis[k].Load((dir + "\\" + kinds[k].name + ".ani").c_str(), g);
        strips[k] = g->Load((dir + "/" + kinds[k].name + ".bmp").c_str(), 0, NULL);
        std::printf("demo: anim: %s.ani loaded (result %ld), %u frames of %ldx%ld\n",
                    kinds[k].name, loaded, unsigned(anis[k].GetMaxFrames()), anis[k].GetWidth(),
                    anis[k].GetHeight());
        if (loaded != 0 || strips[k] == NULL)
            return;
    }
    HFONT face = CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                             FIXED_PITCH, "");
    KFont* font = g->CreateSmoothFont(face);

    // Two players per animation, the second half a cycle behind.
    KAniPlayer players[kKinds * 2];
    for (int i = 0; i < kKinds * 2; i++) {
        players[i].m_Data = &anis[i / 2];
        players[i].m_x = 24 + i * 102;
        players[i].m_y = 44;
    }
    KSprite* back = g->GetBackScreen();
    desktop::UseManualClock(10000);
    // One frame: the players (the second of each pair once it has started)
    // over the ground, and every frame of every strip below them.
    auto draw = [&](const char* clock, unsigned t, bool secondsToo) {
        back->Clear(kGround);
        back->Printf(font, 16, 8, 0xFFFF, "KAni players on the %s clock: t = %4u ms", clock, t);
        back->Clear(0, 118, ctx.clientW, 6, rgb(90, 70, 40));
        for (int i = 0; i < kKinds * 2; i++)
            if (i % 2 == 0 || secondsToo)
                players[i].Draw();
        // Every frame of every strip, keyed over a checker.
        for (int k = 0; k < kKinds; k++) {
            const long y = 150 + k * 108;
            back->Printf(font, 16, y, 0xFFE0, "%s.ani: %d frames of %ldx%ld, %u ms each",
                         kinds[k].name, kFrames, kCell, kCell, unsigned(kDelay));
            DrawChecker(back, 16, y + 20, kFrames * (kCell + 4), kCell);
            for (int f = 0; f < kFrames; f++) {
                strips[k]->SetRect(f * kCell, 0, (f + 1) * kCell, kCell);
                strips[k]->Draw(16 + f * (kCell + 4), y + 20, 1);
            }
        }
        g->Render();
    };
    for (int step = 0; step < 24; step++) {
        // The second player of each pair starts four frames later.
        draw("manual", unsigned(timeGetTime() - 10000), step >= 4);
        if (step % 4 == 3)
            std::printf("demo: anim: t=%5u ms  players at frames %u %u %u %u %u %u\n",
                        unsigned(timeGetTime() - 10000), unsigned(players[0].m_dwCurFrame),
                        unsigned(players[1].m_dwCurFrame), unsigned(players[2].m_dwCurFrame),
                        unsigned(players[3].m_dwCurFrame), unsigned(players[4].m_dwCurFrame),
                        unsigned(players[5].m_dwCurFrame));
        if (step == 9)
            DemoScreenshot(ctx, "anim-players-1");
        desktop::AdvanceClock(kDelay / 2);
    }
    DemoScreenshot(ctx, "anim-players-2");
    // On a screen the players go on, on the real clock.
    DemoHoldLive(ctx, "animations", [&](DWORD ms) { draw("real", unsigned(ms), true); });
    desktop::UseRealClock();
    g->ReleaseKFont(font);
    DeleteObject(face);
    for (int k = 0; k < kKinds; k++) {
        g->ReleaseKSprite(strips[k]);
        anis[k].Release();
    }
}

const char* MessageName(UINT msg)
{
    switch (msg) {
    case WM_SPRLOAD_IDLE: return "no request left, idle";
    case WM_SPRLOAD_NODATA: return "a request ended without a picture";
    case WM_SPRLOAD_BATCH: return "the whole batch is finished";
    default:
        return "?";
    }
}

// Runs one walk of the loader over its requests and waits until it goes
// idle, saying what it posts when `say`.
bool RunLoader(DemoContext& ctx, sprLoad& loader, bool say)
{
    loader.Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        MSG m;
        if (PeekMessageA(&m, ctx.hwnd, WM_SPRLOAD_IDLE, WM_SPRLOAD_BATCH, PM_REMOVE)) {
            if (say)
                std::printf("demo: loader: %s\n", MessageName(m.message));
            if (m.message == WM_SPRLOAD_IDLE)
                return true;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return false;
}

// The loader's screen with the first `shown` of the requests' pictures as
// they came (keyed ones keyed), then the TGA through the sprite cache, and
// presents it whole.
void DrawLoaded(DemoContext& ctx, sprLoad& loader, const std::string& dir,
                const std::vector<std::string>& names, KFont* font, KSprite* tga, size_t shown,
                bool say)
{
    KSprite* back = ctx.graph->GetBackScreen();
    back->_clear(kGround);
    DrawChecker(back, 0, 100, ctx.clientW, 140, true);
    back->_printf(font, 16, 40, 0xFFFF, "Pictures read by the background loader (sprLoad),");
    back->_printf(font, 16, 60, 0xFFFF, "drawn as they came: keyed ones keyed, the TGA through its alpha");
    long x = 16;
    for (size_t i = 0; i < names.size() && i < shown; i++) {
        SPRLOAD_REQUEST* r = loader.Find((dir + "/" + names[i]).c_str(), DWORD(i), 0);
        if (r == NULL || r->data == NULL) {
            if (say)
                std::printf("demo: loader: %-10s %s\n", names[i].c_str(),
                            r != NULL && r->done ? "not a format the loader reads" : "skipped");
            continue;
        }
        if (say)
            std::printf("demo: loader: %-10s %ldx%ld%s\n", names[i].c_str(), r->data->width,
                        r->data->height, (r->data->flags & KSPR_COLORKEY) ? " keyed" : "");
        KSprite* pic = ctx.graph->CreateSprite(r->data);
        DrawLoadedPicture(ctx, pic, x, 120);
        back->_printf(font, x, 250, 0xFFE0, "%s", names[i].c_str());
        x += pic->GetWidth() + 8;
        ctx.graph->ReleaseKSprite(pic);
    }
    // The loader reads BMP, JPEG and kpc; the TGA comes through the sprite
    // cache, as a game loads it.
    if (tga != NULL && shown > names.size()) {
        DrawLoadedPicture(ctx, tga, x, 120);
        back->_printf(font, x, 250, 0xFFE0, "glow.tga");
        if (say)
            std::printf("demo: loader: glow.tga   %ldx%ld with alpha, through the sprite cache\n",
                        tga->GetWidth(), tga->GetHeight());
    }
    RECT all = {0, 0, ctx.clientW, ctx.clientH};
    ctx.graph->Render(all);
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
    RunLoader(ctx, loader, true);

    HFONT face =
        CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH, "");
    KFont* font = ctx.graph->CreateSmoothFont(face);
    KSprite* tga = ctx.graph->Load((dir + "/glow.tga").c_str(), 0, NULL);
    const size_t all = names.size() + 1;
    DrawLoaded(ctx, loader, dir, names, font, tga, all, true);
    DemoScreenshot(ctx, "anim-loader");
    // On a screen the loader reads the pictures again every four seconds,
    // and they come up one by one, a third of a second apart.
    DWORD last = 0;
    DemoHoldLive(ctx, "the background loader's pictures", [&](DWORD ms) {
        const DWORD cycle = ms % 4000;
        if (cycle < last) {  // a new round: the pictures given back and read again
            loader.Stop();
            if (loader.Init() == 0)
                RunLoader(ctx, loader, false);
        }
        last = cycle;
        DrawLoaded(ctx, loader, dir, names, font, tga, size_t(cycle / 333), false);
    });
    if (tga != NULL)
        ctx.graph->ReleaseKSprite(tga);
    ctx.graph->ReleaseKFont(font);
    DeleteObject(face);
    loader.Stop();
}

}  // namespace

void SceneAnim(DemoContext& ctx)
{
    const std::string dir = ctx.outDir + "/anim";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    PlayAnimations(ctx, dir);
    LoadInBackground(ctx, dir);
}
