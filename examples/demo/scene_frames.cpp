// Frames through recorded commands: a background, tiles, sprites moving
// over it and lines, drawn for many frames. Only what changed is replayed,
// and a frame in which nothing changed is not presented at all.
#include "demo.h"
#include <desktop/desktop.h>
#include <algorithm>
#include <cstdio>

namespace {

const long kBall = 48;

// Tile and sprite art drawn with the immediate operations.
KSprite* MakeTile(KGraph* g, WORD a, WORD b)
{
    KSprite* s = g->CreateSprite(32, 32, KCM_R5G6B5, 0);
    s->_clear(a);
    s->_clear(4, 4, 24, 24, b);
    s->_rect(0, 0, 32, 32, 0xFFFF);
    return s;
}

// A shaded ball on black, the colour key.
KSprite* MakeBall(KGraph* g, BYTE r, BYTE gr, BYTE b)
{
    const long n = kBall;
    KSprite* s = g->CreateSprite(n, n, KCM_R5G6B5, KSPR_COLORKEY);
    s->_clear(0);
    for (long y = 0; y < n; y++)
        for (long x = 0; x < n; x++) {
            const long dx = 2 * x - n + 1, dy = 2 * y - n + 1;  // twice the offset from the centre
            if (dx * dx + dy * dy >= (n - 2) * (n - 2))
                continue;
            // Lit from the top left: brighter towards (-n/3, -n/3).
            const long lx = dx + n * 2 / 3, ly = dy + n * 2 / 3;
            const long light = 255 - std::min(200L, (lx * lx + ly * ly) * 200 / (n * n * 4));
            auto ch = [light](BYTE c) { return BYTE(std::max(8L, long(c) * light / 255)); };
            s->_clear(x, y, 1, 1, WORD(rgb(ch(r), ch(gr), ch(b))));
        }
    return s;
}

}  // namespace

void SceneFrames(DemoContext& ctx)
{
    CountingGraph* g = ctx.graph;
    KSprite* back = g->GetBackScreen();
    KSprite* tileA = MakeTile(g, WORD(rgb(40, 90, 40)), WORD(rgb(60, 130, 60)));
    KSprite* tileB = MakeTile(g, WORD(rgb(40, 40, 90)), WORD(rgb(60, 60, 140)));
    KSprite* ball = MakeBall(g, 250, 80, 60);
    KSprite* ball2 = MakeBall(g, 90, 170, 250);

    // One frame with the balls at t (hundredths of a step; a step moves the
    // first ball 40 right and 20 down, the second 30 left); the commands
    // recorded.
    auto draw = [&](long t) {
        int recorded = 0;
        back->Clear(WORD(rgb(20, 20, 30)));
        recorded++;
        for (long ty = 2; ty < ctx.clientH / 32 - 1; ty++)
            for (long tx = 1; tx < ctx.clientW / 32 - 1; tx++) {
                ((tx + ty) % 2 ? tileA : tileB)->Draw(tx * 32, ty * 32);
                recorded++;
            }
        const long x1 = 60 + t * 40 / 100, y1 = 100 + t * 20 / 100;
        ball->Draw_ck(x1, y1);
        ball2->Draw_ck(500 - t * 30 / 100, 300);
        back->Line(32, 60, ctx.clientW - 33, 60, 0xFFFF);
        back->Line(x1 + kBall / 2, 60, x1 + kBall / 2, y1, 0xFFE0);
        recorded += 4;
        return recorded;
    };
    const int frames = 12;
    for (int frame = 0; frame < frames; frame++) {
        // Two balls move in frames 0 to 5; from then on the screen stands still.
        const int recorded = draw(frame < 6 ? frame * 100 : 500);
        const int before = desktop::PresentCount(ctx.hwnd);
        ctx.graph->m_ops = 0;
        g->Render();
        // Immediate drawing of the frame's art counts too, so count from here.
        const bool presented = desktop::PresentCount(ctx.hwnd) != before;
        std::printf("demo: frame %2d: %3d commands recorded, %3ld drawing operations replayed, "
                    "window %s\n", frame, recorded, ctx.graph->m_ops,
                    presented ? "presented" : "not touched (nothing changed)");
        if (frame == 5)
            DemoScreenshot(ctx, "frames-moving");
    }
    // On a screen the balls go on moving, there and back every four seconds.
    DemoHoldLive(ctx, "frames of moving sprites", [&](DWORD ms) {
        const long phase = long(ms % 4000);
        draw(phase < 2000 ? phase * 500 / 2000 : (4000 - phase) * 500 / 2000);
        g->Render();
    });
    g->ReleaseKSprite(tileA);
    g->ReleaseKSprite(tileB);
    g->ReleaseKSprite(ball);
    g->ReleaseKSprite(ball2);
}
