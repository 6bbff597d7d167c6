// Frames through recorded commands: a background, tiles, sprites moving
// over it and lines, drawn for many frames. Only what changed is replayed,
// and a frame in which nothing changed is not presented at all.
#include "demo.h"
#include <desktop/desktop.h>
#include <cstdio>

namespace {

// Tile and sprite art drawn with the immediate operations.
KSprite* MakeTile(KGraph* g, WORD a, WORD b)
{
    KSprite* s = g->CreateSprite(32, 32, KCM_R5G6B5, 0);
    s->_clear(a);
    s->_clear(4, 4, 24, 24, b);
    s->_rect(0, 0, 32, 32, 0xFFFF);
    return s;
}

KSprite* MakeBall(KGraph* g)
{
    KSprite* s = g->CreateSprite(24, 24, KCM_R5G6B5, KSPR_COLORKEY);
    s->_clear(0);
    for (long y = 0; y < 24; y++)
        for (long x = 0; x < 24; x++) {
            const long dx = x - 12, dy = y - 12;
            if (dx * dx + dy * dy < 120)
                s->_clear(x, y, 1, 1, WORD(rgb(255, BYTE(120 + 5 * y), BYTE(10 * x))));
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
    KSprite* ball = MakeBall(g);

    const int frames = 12;
    for (int frame = 0; frame < frames; frame++) {
        int recorded = 0;
        back->Clear(WORD(rgb(20, 20, 30)));
        recorded++;
        for (long ty = 2; ty < ctx.clientH / 32 - 1; ty++)
            for (long tx = 1; tx < ctx.clientW / 32 - 1; tx++) {
                ((tx + ty) % 2 ? tileA : tileB)->Draw(tx * 32, ty * 32);
                recorded++;
            }
        // Two balls move in frames 0 to 5; from then on the screen stands still.
        const int t = frame < 6 ? frame : 5;
        ball->Draw_ck(60 + t * 40, 100 + t * 20);
        ball->Draw_ck(500 - t * 30, 300);
        back->Line(32, 60, ctx.clientW - 33, 60, 0xFFFF);
        back->Line(60 + t * 40 + 12, 70, 60 + t * 40 + 12, 100 + t * 20, 0xFFE0);
        recorded += 4;

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
    g->ReleaseKSprite(tileA);
    g->ReleaseKSprite(tileB);
    g->ReleaseKSprite(ball);
}
