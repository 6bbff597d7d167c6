// Frame comparison against a full redraw of the same frame.
//
// A scripted game screen (background, tile layers, sprites, text, lines) of
// 50, 500
// or 2000 commands is drawn frame after frame on an 800 x 600 back screen in
// five cases: static, one sprite moving, 10 % of the commands changed, all
// changed, and cut mode off (every command drawn: the baseline). Each case
// reports microseconds per frame split into recording, building and replay,
// the commands and pixels replayed, heap allocations in a steady frame, and
// the ratio of its frame time to the full redraw of the same frame, measured
// in the same run.
#include <benchmark/benchmark.h>
#include <kestrel.h>
#include <desktop/desktop.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<long> g_allocations{0};

}  // namespace

// Counts every allocation made through new, the library's only heap use in a
// frame. The replacements pair malloc with free, which the compiler cannot see.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

const long kW = 800;
const long kH = 600;

// The GDI device, counting what it is asked to draw; with m_skip set it draws
// nothing, which times building the frame without its replay.
class BenchGraph : public KGraphGDI {
public:
    bool m_skip = false;
    long m_pixels = 0;
    long m_commands = 0;

protected:
    // Presentation is not what is measured here.
    long _render(SPRITE_DATA*, RECT&, RECT&) override { return 0; }
    long _bltsprite(SPRITE_DATA* d, long x, long y, SPRITE_DATA* s, long l, long t, long r,
                    long b) override
    {
        m_commands++;
        m_pixels += (r - l) * (b - t);
        return m_skip ? 0 : KGraphGDI::_bltsprite(d, x, y, s, l, t, r, b);
    }
    long _bltsprite_ck(SPRITE_DATA* d, long x, long y, SPRITE_DATA* s, long l, long t, long r,
                       long b) override
    {
        m_commands++;
        m_pixels += (r - l) * (b - t);
        return m_skip ? 0 : KGraphGDI::_bltsprite_ck(d, x, y, s, l, t, r, b);
    }
    void _line(SPRITE_DATA* s, long x1, long y1, long x2, long y2, DWORD c) override
    {
        m_commands++;
        m_pixels += std::labs(x2 - x1) + std::labs(y2 - y1) + 1;
        if (!m_skip)
            KGraphGDI::_line(s, x1, y1, x2, y2, c);
    }
};

// Text with solid 8 x 16 glyphs, cheap enough not to hide the engine's cost.
class BarFont : public KFont {
public:
    BarFont() { m_nHeight = 16; }
    BenchGraph* m_graph = nullptr;
    void Release() override {}
    int GetWidth(unsigned) override { return 8; }
    int DrawChar(void* dst, long x, long y, DWORD colour, unsigned) override
    {
        if (m_graph != nullptr && m_graph->m_skip)
            return 8;
        SPRITE_DATA* s = static_cast<SPRITE_DATA*>(dst);
        for (long py = y; py < y + 16 && py < s->height; py++)
            for (long px = x; px < x + 8 && px < s->width; px++)
                if (px >= 0 && py >= 0)
                    *SpritePixel16(s, px, py) = WORD(colour);
        return 8;
    }
};

enum Case { kStatic, kOneMoving, kTenPercent, kAllChanged, kCutOff };

struct Scene {
    BenchGraph graph;
    KSprite* bg = nullptr;
    KSprite* tile = nullptr;
    KSprite* sprite = nullptr;
    BarFont font;
    struct Item {
        int kind;  // 0 tile, 1 sprite, 2 text, 3 line
        long x, y;
    };
    std::vector<Item> items;

    // The screen of a tile-map game: a background, up to three layers of
    // 32 x 32 tiles on the map's grid (the upper ones colour-keyed), sprites
    // at free positions over them, lines of the status display and text in
    // it. Of every 20 commands 14 are tiles, 4 sprites, 1 text, 1 line.
    Scene(int commands, bool cut)
    {
        graph.Init(false, kW, kH, KCM_R5G6B5, false);
        font.m_graph = &graph;
        graph.ReSizeBackScreen(kW, kH, KCM_R5G6B5, false);
        if (!cut)
            graph.SetCutMode(false);
        bg = graph.CreateSprite(kW, kH, KCM_R5G6B5, 0);
        bg->_clear(0x0010);
        tile = graph.CreateSprite(32, 32, KCM_R5G6B5, 0);
        tile->_clear(0x07E0);
        sprite = graph.CreateSprite(48, 48, KCM_R5G6B5, KSPR_COLORKEY);
        sprite->_clear(0xF800);
        std::srand(7);
        const long cols = kW / 32, rows = kH / 32;
        long cell = 0, text = 0, line = 0;
        for (int i = 1; i < commands; i++) {
            const int r = i % 20;
            if (r < 14) {  // the next free cell of the map, layer after layer
                const long c = cell++ % (cols * rows);
                items.push_back({0, (c % cols) * 32, (c / cols) * 32});
            } else if (r < 18) {
                items.push_back({1, std::rand() % (kW - 48), 40 + std::rand() % (kH - 88)});
            } else if (r < 19) {  // the status display along the top
                const long t = text++;
                items.push_back({2, 8 + (t % 8) * 96, 2 + (t / 8 % 2) * 18});
            } else {
                const long l = line++;
                items.push_back({3, (l * 37) % (kW - 40), kH - 4 - (l % 4)});
            }
        }
    }
    ~Scene()
    {
        graph.ReleaseKSprite(bg);
        graph.ReleaseKSprite(tile);
        graph.ReleaseKSprite(sprite);
    }

    // What moves: sprites only (tiles stay on their grid, text and lines
    // belong to the status display).
    void Change(Case c, long frame)
    {
        const size_t n = items.size();
        size_t nth = 0;
        for (size_t i = 0; i < n; i++) {
            if (items[i].kind != 1)
                continue;
            nth++;
            const bool moves = (c == kOneMoving && nth == 1) ||
                               (c == kTenPercent && i % 10 == size_t(frame % 10)) ||
                               c == kAllChanged;
            if (moves)
                items[i].x = (items[i].x + 3) % (kW - 48);
        }
        if (c == kAllChanged)  // and the whole map scrolls
            scroll = (scroll + 1) % 32;
        if (c == kTenPercent)  // and some of the map changes
            for (size_t i = size_t(frame % 10); i < n; i += 10)
                if (items[i].kind == 0)
                    items[i].y ^= 1;
    }
    long scroll = 0;

    void Record()
    {
        KSprite* back = graph.GetBackScreen();
        bg->Draw(0, 0);
        for (const Item& it : items) {
            switch (it.kind) {
            case 0: tile->Draw(it.x - scroll, it.y); break;
            case 1: sprite->Draw_ck(it.x, it.y); break;
            case 2: back->Printf(&font, it.x, it.y, 0xFFFF, "score %d", 1234); break;
            default: back->Line(it.x, it.y, it.x + 30, it.y, 0xFFFF); break;
            }
        }
    }
};

double Micros(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// One frame: returns recording and render microseconds and the replay count.
struct FrameTimes {
    double record = 0, render = 0;
    long replayed = 0;
};

FrameTimes RunFrame(Scene& s)
{
    using clock = std::chrono::steady_clock;
    FrameTimes t;
    auto t0 = clock::now();
    s.Record();
    auto t1 = clock::now();
    s.graph.m_commands = 0;
    s.graph.Render();
    auto t2 = clock::now();
    t.replayed = s.graph.m_commands;
    t.record = Micros(t1 - t0);
    t.render = Micros(t2 - t1);
    return t;
}

void BM_Frame(benchmark::State& state)
{
    const int commands = int(state.range(0));
    const Case c = Case(state.range(1));
    desktop::Reset();
    Scene ours(commands, c != kCutOff);
    Scene full(commands, false);
    Scene building(commands, c != kCutOff);
    building.graph.m_skip = true;
    // Warm up: the first frames grow the lists and parameter buffers, until
    // the moving sprites have crossed every kind of place once.
    for (long i = 0; i < 300; i++) {
        ours.Change(c, i);
        full.Change(c, i);
        building.Change(c, i);
        RunFrame(ours);
        RunFrame(full);
        RunFrame(building);
    }

    double record = 0, render = 0, fullTime = 0, fullRender = 0, build = 0;
    long replayed = 0, pixels = 0, allocations = 0, frames = 0;
    for (auto _ : state) {
        ours.Change(c, frames);
        full.Change(c, frames);
        building.Change(c, frames);
        ours.graph.m_pixels = 0;
        const long before = g_allocations.load();
        FrameTimes t = RunFrame(ours);
        allocations += g_allocations.load() - before;
        FrameTimes f = RunFrame(full);
        FrameTimes b = RunFrame(building);
        record += t.record;
        render += t.render;
        build += b.render;
        fullTime += f.record + f.render;
        fullRender += f.render;
        replayed += t.replayed;
        pixels += ours.graph.m_pixels;
        frames++;
    }
    const double n = double(frames);
    state.counters["record_us"] = record / n;
    state.counters["build_us"] = build / n;
    state.counters["replay_us"] = (render - build) / n > 0 ? (render - build) / n : 0;
    state.counters["frame_us"] = (record + render) / n;
    state.counters["full_us"] = fullTime / n;
    state.counters["ratio"] = (record + render) / fullTime;
    state.counters["engine_ratio"] = render / fullRender;  // recording left out
    state.counters["cmds_replayed"] = double(replayed) / n;
    state.counters["px_replayed"] = double(pixels) / n;
    state.counters["allocs"] = double(allocations) / n;
}

const char* kCaseNames[] = {"static", "one_moving", "ten_percent", "all_changed", "cut_off"};

void Args(benchmark::internal::Benchmark* b)
{
    for (int commands : {50, 500, 2000})
        for (int c = kStatic; c <= kCutOff; c++)
            b->Args({commands, c});
    b->ArgNames({"commands", "case"});
}

}  // namespace

BENCHMARK(BM_Frame)->Apply(Args)->Unit(benchmark::kMicrosecond)->Iterations(60);

int main(int argc, char** argv)
{
    kbase::SetEcho(false);
    std::printf("cases: 0 %s, 1 %s, 2 %s, 3 %s, 4 %s\n", kCaseNames[0], kCaseNames[1],
                kCaseNames[2], kCaseNames[3], kCaseNames[4]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
