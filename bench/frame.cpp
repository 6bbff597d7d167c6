// Frame comparison against a full redraw of the same frame.
//
// A scripted game screen (background, tile layers, sprites, text, lines) of
// 500, 2000 or 10,000 commands is drawn frame after frame on an 800 x 600
// back screen in five cases: static, one sprite moving, 10 % of the commands
// changed, all changed, and cut mode off (every command drawn: the same work
// as the baseline, a check on the measurement itself).
//
// Five scenes of the same screen run side by side: ours (frame comparison
// on), the full redraw (cut mode off), ours without replay (what building
// costs), and a control pair of two more full redraws. Every frame runs all
// five in an order shuffled afresh, so no scene gains from going first or
// last or from following one that leaves the caches lighter (the one that
// only builds), and each figure is the median over the frames.
// Where a scene's memory lies decides its speed by a percent or two (the
// caches map its pages as they happen to fall), so the five scenes swap
// roles in turn: each plays every role for a fifth of the frames.
// The control pair's ratio shows how far the run can be trusted: a reading
// outside 0.95 - 1.05 is flagged.
//
// `ratio` is what the game pays against a full redraw, recording included;
// `engine_ratio` leaves recording out of both sides.
//
// BM_RecordScale measures recording at 2,000 and 10,000 commands in one run
// (`rec_ratio`: per command, the larger over the smaller), and BM_Alongside
// the static 2,000-command screen while another, busier screen runs in the
// same frames.
#include <benchmark/benchmark.h>
#include <kestrel.h>
#include <desktop/desktop.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "alloc_count.h"

namespace {

const long kW = 800;
const long kH = 600;
// Measured frames of each case, a fifth in each turn of roles; odd, so the
// median is one of them.
const long kFrames = 405;

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
    // On a boundary of its own: its row loop is a good part of a full
    // redraw, and where the linker happens to place it moved that by
    // several percent from one build of the engine to the next.
    __attribute__((aligned(64))) int DrawChar(void* dst, long x, long y, DWORD colour,
                                              unsigned) override
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
const char* kCaseNames[] = {"static", "one_moving", "ten_percent", "all_changed", "cut_off"};

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
    long scroll = 0;

    // The screen of a tile-map game: a background, layers of 32 x 32 tiles
    // on the map's grid (one screen holds 475), sprites at free positions
    // over them, lines of the status display and text in it. Of every 20
    // commands 14 are tiles, 4 sprites, 1 text, 1 line.
    Scene(int commands, bool cut)
    {
        graph.Init(false, kW, kH, KCM_R5G6B5, false);
        font.m_graph = &graph;
        graph.ReSizeBackScreen(kW, kH, KCM_R5G6B5, false);
        Play(cut, false);
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
    // Takes up a role: frame comparison on the back screen or off, drawing
    // or only building. The next frame is drawn whole.
    void Play(bool cut, bool skip)
    {
        graph.SetCutMode(cut);
        if (cut)
            graph.SetCutSpr(graph.GetBackScreenData());
        graph.Redraw();
        graph.m_skip = skip;
    }
    ~Scene()
    {
        graph.ReleaseKSprite(bg);
        graph.ReleaseKSprite(tile);
        graph.ReleaseKSprite(sprite);
    }

    // What moves: sprites (tiles stay on their grid, text and lines belong
    // to the status display); with 10 % changed some tiles change too, and
    // with all changed the whole map scrolls.
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
        if (c == kAllChanged)
            scroll = (scroll + 1) % 32;
        if (c == kTenPercent)
            for (size_t i = size_t(frame % 10); i < n; i += 10)
                if (items[i].kind == 0)
                    items[i].y ^= 1;
    }

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

// The five scenes of one case.
enum Role { kOurs, kFull, kBuilding, kControlA, kControlB, kRoles };

struct FrameTimes {
    double record = 0, render = 0;  // microseconds
};

FrameTimes RunFrame(Scene& s)
{
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    s.Record();
    const auto t1 = clock::now();
    s.graph.Render();
    const auto t2 = clock::now();
    FrameTimes t;
    t.record = std::chrono::duration<double, std::micro>(t1 - t0).count();
    t.render = std::chrono::duration<double, std::micro>(t2 - t1).count();
    return t;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}

std::vector<std::string> g_warnings;

bool Cuts(int role, Case c)
{
    return (role == kOurs || role == kBuilding) && c != kCutOff;
}

// The five scenes of one case, the roles they play in turn and what their
// measured frames gave.
struct Harness {
    int commands;
    Case c;
    std::unique_ptr<Scene> scenes[kRoles];
    Scene* cast[kRoles] = {};  // the scene playing each role this turn
    std::vector<double> record, render, total, build, full, fullRender, ctlA, ctlB;
    long replayed = 0, pixels = 0, allocations = 0;
    long frame = 0;
    int order[kRoles] = {kOurs, kFull, kBuilding, kControlA, kControlB};
    std::mt19937 shuffle{7};

    Harness(int n, Case k) : commands(n), c(k)
    {
        for (int r = 0; r < kRoles; r++)
            scenes[r].reset(new Scene(commands, Cuts(kOurs, c)));
    }

    // Warm-up, every scene as ours: the first frames grow the lists and
    // parameter buffers, until the moving sprites have crossed every kind
    // of place once.
    void Warm()
    {
        const long warm = commands >= 10000 ? 100 : 300;
        for (long f = 0; f < warm; f++, frame++)
            for (int k = 0; k < kRoles; k++) {
                Scene& s = *scenes[(frame + k) % kRoles];
                s.Change(c, frame);
                RunFrame(s);
            }
    }

    void Cast(int turn)
    {
        for (int r = 0; r < kRoles; r++) {
            cast[r] = scenes[(r + turn) % kRoles].get();
            cast[r]->Play(Cuts(r, c), r == kBuilding);
        }
    }

    // One frame of every role, in an order shuffled afresh; another scene,
    // when given, takes a place of its own in that order.
    void Frame(bool measured, Scene* alongside = nullptr, Case alongsideCase = kStatic)
    {
        FrameTimes t[kRoles];
        std::shuffle(order, order + kRoles, shuffle);
        const int other = alongside != nullptr ? int(shuffle() % (kRoles + 1)) : -1;
        for (int k = 0; k <= kRoles; k++) {
            if (k == other) {
                alongside->Change(alongsideCase, frame);
                RunFrame(*alongside);
            }
            if (k == kRoles)
                break;
            const int r = order[k];
            Scene& s = *cast[r];
            s.Change(c, frame);
            s.graph.m_pixels = 0;
            s.graph.m_commands = 0;
            const long before = g_allocations.load();
            t[r] = RunFrame(s);
            if (r == kOurs && measured) {
                allocations += g_allocations.load() - before;
                replayed += s.graph.m_commands;
                pixels += s.graph.m_pixels;
            }
        }
        frame++;
        if (!measured)
            return;
        record.push_back(t[kOurs].record);
        render.push_back(t[kOurs].render);
        total.push_back(t[kOurs].record + t[kOurs].render);
        build.push_back(t[kBuilding].render);
        full.push_back(t[kFull].record + t[kFull].render);
        fullRender.push_back(t[kFull].render);
        ctlA.push_back(t[kControlA].record + t[kControlA].render);
        ctlB.push_back(t[kControlB].record + t[kControlB].render);
    }

    double RecordNs() const { return Median(record) * 1000.0 / commands; }
    double Ratio() const { return Median(total) / Median(full); }

    // The control pair: outside 0.95 - 1.05, the run is not to be trusted.
    void CheckControl(benchmark::State& state, const char* what) const
    {
        const double control = Median(ctlA) / Median(ctlB);
        if (control >= 0.95 && control <= 1.05)
            return;
        char text[200];
        std::snprintf(text, sizeof text,
                      "%s, commands %d case %s: control pair reads %.3f, outside 0.95 - 1.05: "
                      "this case's figures are not to be trusted",
                      what, commands, kCaseNames[c], control);
        state.SetLabel("CONTROL OUT OF RANGE");
        g_warnings.push_back(text);
    }
};

// A scene taking up a new role draws its first frames whole: those few are
// not measured.
const long kRewarm = 8;

void BM_Frame(benchmark::State& state)
{
    const int commands = int(state.range(0));
    const Case c = Case(state.range(1));
    desktop::Reset();
    Harness h(commands, c);
    const long perTurn = kFrames / kRoles;
    for (auto _ : state) {
        h.Warm();
        for (int turn = 0; turn < kRoles; turn++) {
            h.Cast(turn);
            for (long f = 0; f < kRewarm + perTurn; f++)
                h.Frame(f >= kRewarm);
        }
    }
    const double n = double(h.total.size());
    const double fullMed = Median(h.full), buildMed = Median(h.build);
    const double recMed = Median(h.record);
    state.counters["ratio"] = h.Ratio();
    state.counters["engine_ratio"] = Median(h.render) / Median(h.fullRender);
    state.counters["control"] = Median(h.ctlA) / Median(h.ctlB);
    state.counters["frame_us"] = Median(h.total);
    state.counters["full_us"] = fullMed;
    state.counters["record_us"] = recMed;
    state.counters["build_us"] = buildMed;
    state.counters["replay_us"] = std::max(0.0, Median(h.render) - buildMed);
    state.counters["rec_ns_cmd"] = h.RecordNs();
    state.counters["build_ns_cmd"] = buildMed * 1000.0 / commands;
    state.counters["cmds_replayed"] = double(h.replayed) / n;
    state.counters["px_replayed"] = double(h.pixels) / n;
    state.counters["allocs"] = double(h.allocations) / n;
    h.CheckControl(state, "frame");
}

void Args(benchmark::internal::Benchmark* b)
{
    for (int commands : {500, 2000, 10000})
        for (int c = kStatic; c <= kCutOff; c++)
            b->Args({commands, c});
    b->ArgNames({"commands", "case"});
}

BENCHMARK(BM_Frame)->Apply(Args)->Unit(benchmark::kMillisecond)->Iterations(1);

// Recording stays linear: the static screen of 2,000 and of 10,000
// commands, each with its five scenes as above, measured in one run.
// They take turns in blocks of frames (a block lets a screen's scenes
// settle as they do in a run of their own), the two orders alternating;
// `rec_ratio` is the cost of recording a command at 10,000 over that at
// 2,000, medians over each size's frames.
void BM_RecordScale(benchmark::State& state)
{
    desktop::Reset();
    Harness small(2000, kStatic), large(10000, kStatic);
    const long block = 9;  // measured frames of one size in a row
    const long rounds = kFrames / kRoles / block;
    for (auto _ : state) {
        small.Warm();
        large.Warm();
        for (int turn = 0; turn < kRoles; turn++) {
            small.Cast(turn);
            large.Cast(turn);
            for (long round = 0; round < rounds; round++) {
                Harness* first = round % 2 ? &small : &large;
                Harness* second = round % 2 ? &large : &small;
                for (Harness* h : {first, second})
                    for (long f = 0; f < kRewarm + block; f++)
                        h->Frame(f >= kRewarm);
            }
        }
    }
    state.counters["ns_2000"] = small.RecordNs();
    state.counters["ns_10000"] = large.RecordNs();
    state.counters["rec_ratio"] = large.RecordNs() / small.RecordNs();
    state.counters["ratio_2000"] = small.Ratio();
    state.counters["ratio_10000"] = large.Ratio();
    small.CheckControl(state, "record scale");
    large.CheckControl(state, "record scale");
}

BENCHMARK(BM_RecordScale)->Unit(benchmark::kMillisecond)->Iterations(1);

// The static screen of 2,000 commands while another game screen runs in
// the same process (10,000 commands, a tenth of them changing each
// frame, compared as ours is): that screen's frame takes a place of its
// own in every frame's shuffled order, and leaves the caches as a second
// window or a busy host would. `ratio` as in BM_Frame.
void BM_Alongside(benchmark::State& state)
{
    desktop::Reset();
    Harness h(2000, kStatic);
    const Case otherCase = kTenPercent;
    Scene other(10000, true);
    const long perTurn = kFrames / kRoles;
    for (auto _ : state) {
        h.Warm();
        for (long f = 0; f < 100; f++) {
            other.Change(otherCase, f);
            RunFrame(other);
        }
        for (int turn = 0; turn < kRoles; turn++) {
            h.Cast(turn);
            for (long f = 0; f < kRewarm + perTurn; f++)
                h.Frame(f >= kRewarm, &other, otherCase);
        }
    }
    state.counters["ratio"] = h.Ratio();
    state.counters["frame_us"] = Median(h.total);
    state.counters["full_us"] = Median(h.full);
    state.counters["rec_ns_cmd"] = h.RecordNs();
    state.counters["control"] = Median(h.ctlA) / Median(h.ctlB);
    h.CheckControl(state, "alongside");
}

BENCHMARK(BM_Alongside)->Unit(benchmark::kMillisecond)->Iterations(1);

// What a clipped replay costs beyond its pixels, in pixels: the screen's
// grid of 32 x 32 tiles drawn whole, and again as four 16 x 16 pieces each
// (the same pixels), in turn, medians of many rounds. The extra time per
// piece over the time per pixel is the piece cost the engine's choice
// between a grid of cells and a full redraw weighs (kPieceCost).
class PieceGraph : public KGraphGDI {
public:
    long Blt(SPRITE_DATA* d, long x, long y, SPRITE_DATA* s, long l, long t, long r, long b,
             bool key)
    {
        return key ? _bltsprite_ck(d, x, y, s, l, t, r, b) : _bltsprite(d, x, y, s, l, t, r, b);
    }
};

void BM_PieceCost(benchmark::State& state)
{
    const bool key = state.range(0) != 0;
    desktop::Reset();
    PieceGraph g;
    g.Init(false, kW, kH, KCM_R5G6B5, false);
    g.ReSizeBackScreen(kW, kH, KCM_R5G6B5, false);
    KSprite* tile = g.CreateSprite(32, 32, KCM_R5G6B5, key ? KSPR_COLORKEY : 0);
    tile->_clear(0x07E1);
    SPRITE_DATA* back = g.GetBackScreenData();
    SPRITE_DATA* src = tile->GetData();
    const long tiles = (kW / 32) * (kH / 32);
    using clock = std::chrono::steady_clock;
    auto run = [&](bool pieces) {
        const auto t0 = clock::now();
        for (long y = 0; y + 32 <= kH; y += 32)
            for (long x = 0; x + 32 <= kW; x += 32) {
                if (!pieces) {
                    g.Blt(back, x, y, src, 0, 0, 32, 32, key);
                    continue;
                }
                for (long py = 0; py < 32; py += 16)
                    for (long px = 0; px < 32; px += 16)
                        g.Blt(back, x + px, y + py, src, px, py, px + 16, py + 16, key);
            }
        return std::chrono::duration<double, std::nano>(clock::now() - t0).count();
    };
    std::vector<double> whole, split;
    for (auto _ : state) {
        for (int round = 0; round < 401; round++) {
            if (round % 2) {
                whole.push_back(run(false));
                split.push_back(run(true));
            } else {
                split.push_back(run(true));
                whole.push_back(run(false));
            }
        }
    }
    const double perPixel = Median(whole) / double(tiles * 32 * 32);
    const double perPiece = (Median(split) - Median(whole)) / double(3 * tiles);
    state.counters["ns_per_pixel"] = perPixel;
    state.counters["ns_per_piece"] = perPiece;
    state.counters["piece_in_pixels"] = perPiece / perPixel;
    g.ReleaseKSprite(tile);
}

BENCHMARK(BM_PieceCost)->Arg(0)->Arg(1)->ArgName("colour_key")->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// `--profile COMMANDS CASE FRAMES` runs only our scene, for a profiler
// (instruction counts do not depend on the machine's load).
int Profile(int commands, Case c, long frames)
{
    desktop::Reset();
    Scene s(commands, c != kCutOff);
    for (long frame = 0; frame < frames; frame++) {
        s.Change(c, frame);
        RunFrame(s);
    }
    return 0;
}

// `--area COMMANDS` prints how much of the screen the 10 % case changes:
// the pixels under the old and new rectangles of what changed, the part of
// them not hidden under a tile drawn later that stayed in place (the least
// a frame must redraw), then with the status texts that touch them (a text
// is redrawn whole), then as the
// engine's 16-pixel cells cover them; and the share of a full redraw's
// pixels that lies in those areas. No redraw of the changed area can cost
// less than drawing its pixels.
int Area(int commands)
{
    desktop::Reset();
    Scene s(commands, true);
    const long frames = 20;
    double changed = 0, shown = 0, withText = 0, cells = 0, depthShare = 0;
    for (long frame = 0; frame < frames; frame++) {
        std::vector<Scene::Item> before = s.items;
        s.Change(kTenPercent, frame);
        std::vector<char> dirty(size_t(kW * kH), 0);
        auto rectOf = [](const Scene::Item& it) {
            switch (it.kind) {
            case 0: return RECT{LONG(it.x), LONG(it.y), LONG(it.x + 32), LONG(it.y + 32)};
            case 1: return RECT{LONG(it.x), LONG(it.y), LONG(it.x + 48), LONG(it.y + 48)};
            case 2: return RECT{LONG(it.x), LONG(it.y), LONG(it.x + 80), LONG(it.y + 16)};
            default: return RECT{LONG(it.x), LONG(it.y), LONG(it.x + 31), LONG(it.y + 1)};
            }
        };
        auto mark = [&](const RECT& r) {
            for (long y = std::max(0L, long(r.top)); y < std::min(kH, long(r.bottom)); y++)
                for (long x = std::max(0L, long(r.left)); x < std::min(kW, long(r.right)); x++)
                    dirty[size_t(y * kW + x)] = 1;
        };
        auto count = [&]() {
            long n = 0;
            for (char c : dirty)
                n += c;
            return double(n) / double(kW * kH);
        };
        // The last tile that stayed in place over each pixel: a change under
        // it, drawn before it, shows nowhere.
        std::vector<long> cover(size_t(kW * kH), -1);
        for (size_t i = 0; i < s.items.size(); i++) {
            const RECT r = rectOf(s.items[i]);
            if (s.items[i].kind != 0 || before[i].x != s.items[i].x || before[i].y != s.items[i].y)
                continue;
            for (long y = std::max(0L, long(r.top)); y < std::min(kH, long(r.bottom)); y++)
                for (long x = std::max(0L, long(r.left)); x < std::min(kW, long(r.right)); x++)
                    cover[size_t(y * kW + x)] = long(i);
        }
        std::vector<char> showingPx(size_t(kW * kH), 0);
        long showing = 0;
        for (size_t i = 0; i < s.items.size(); i++) {
            if (before[i].x == s.items[i].x && before[i].y == s.items[i].y)
                continue;
            for (const RECT& r : {rectOf(before[i]), rectOf(s.items[i])}) {
                mark(r);
                const long x0 = std::max(0L, long(r.left)), x1 = std::min(kW, long(r.right));
                for (long y = std::max(0L, long(r.top)); y < std::min(kH, long(r.bottom)); y++)
                    for (long x = x0; x < x1; x++) {
                        const size_t at = size_t(y * kW + x);
                        if (cover[at] < long(i) && !showingPx[at]) {
                            showingPx[at] = 1;
                            showing++;
                        }
                    }
            }
        }
        shown += double(showing) / double(kW * kH);
        changed += count();
        for (const Scene::Item& it : s.items) {
            if (it.kind != 2)
                continue;
            const RECT r = rectOf(it);
            bool touches = false;
            for (long y = r.top; y < r.bottom && !touches; y++)
                for (long x = r.left; x < r.right && !touches; x++)
                    touches = dirty[size_t(y * kW + x)] != 0;
            if (touches)
                mark(r);
        }
        withText += count();
        // Pixels of all commands inside the dirty area, over all of them.
        double inside = double(kW * kH) * count(), all = double(kW * kH);
        for (const Scene::Item& it : s.items) {
            const RECT r = rectOf(it);
            for (long y = std::max(0L, long(r.top)); y < std::min(kH, long(r.bottom)); y++)
                for (long x = std::max(0L, long(r.left)); x < std::min(kW, long(r.right)); x++) {
                    all += 1;
                    inside += dirty[size_t(y * kW + x)];
                }
        }
        depthShare += inside / all;
        long marked = 0, total = 0;
        for (long cy = 0; cy < kH; cy += 16)
            for (long cx = 0; cx < kW; cx += 16) {
                bool any = false;
                for (long y = cy; y < std::min(kH, cy + 16) && !any; y++)
                    for (long x = cx; x < std::min(kW, cx + 16) && !any; x++)
                        any = dirty[size_t(y * kW + x)] != 0;
                marked += any;
                total++;
            }
        cells += double(marked) / double(total);
    }
    std::printf("commands %d, 10 %% changed, mean of %ld frames:\n", commands, frames);
    std::printf("  screen under changed rectangles      %.3f\n", changed / frames);
    std::printf("  of it not under a later unmoved tile %.3f\n", shown / frames);
    std::printf("  with the status texts touching them  %.3f\n", withText / frames);
    std::printf("  in 16-pixel cells                    %.3f\n", cells / frames);
    std::printf("  share of a full redraw's pixels in the changed area  %.3f\n",
                depthShare / frames);
    return 0;
}

// `--frame=STRATEGY` measures one way of building frames: exact, box, grid,
// whole or search, as KESTREL_FRAME forces it (the engine reads it once, at
// its first frame). Each tuning constant of the frame builder names the
// runs of this that measure it.
bool TakeFrameStrategy(int& argc, char** argv, std::string& strategy)
{
    static const char* const kStrategies[] = {"exact", "box", "grid", "whole", "search"};
    const std::string flag = "--frame=";
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg.compare(0, flag.size(), flag) != 0)
            continue;
        strategy = arg.substr(flag.size());
        if (std::find(std::begin(kStrategies), std::end(kStrategies), strategy) ==
            std::end(kStrategies)) {
            std::fprintf(stderr, "bench_frame: --frame= takes exact, box, grid, whole or search\n");
            return false;
        }
        setenv("KESTREL_FRAME", strategy.c_str(), 1);
        for (int j = i; j + 1 < argc; j++)
            argv[j] = argv[j + 1];
        argc--;
        i--;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    kbase::SetEcho(false);
    std::string strategy;
    if (!TakeFrameStrategy(argc, argv, strategy))
        return 2;
    if (strategy.empty() && std::getenv("KESTREL_FRAME") != nullptr)
        strategy = std::getenv("KESTREL_FRAME");
    if (argc == 5 && std::string(argv[1]) == "--profile")
        return Profile(std::atoi(argv[2]), Case(std::atoi(argv[3])), std::atol(argv[4]));
    if (argc == 3 && std::string(argv[1]) == "--area")
        return Area(std::atoi(argv[2]));
    std::printf("cases: 0 %s, 1 %s, 2 %s, 3 %s, 4 %s; medians of %ld frames\n", kCaseNames[0],
                kCaseNames[1], kCaseNames[2], kCaseNames[3], kCaseNames[4], kFrames);
    std::printf("frame strategy: %s\n", strategy.empty() ? "the engine's choice" : strategy.c_str());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const std::string& w : g_warnings)
        std::printf("WARNING: %s\n", w.c_str());
    if (g_warnings.empty())
        std::printf("control pair within 0.95 - 1.05 in every case\n");
    return 0;
}
