// A screen of 40 controls against a full redraw of the same screen.
//
// The screen: a tiled backdrop and a nine-piece dialog frame composed from
// skin tables, 24 captioned buttons and 16 edit fields with backs and text,
// 800 x 600. Two copies are built: one whose device compares each frame with
// the last (cut mode, as a game runs) and one that draws every command (the
// baseline: a full redraw). Two cases: a frame in which nothing changed, and
// a frame in which one character was typed into the focused field (typing
// and erasing in turn, so the text stays the same length). Each frame is the
// input dispatched, the window tree drawn and the device's frame built and
// replayed, with presentation left out (the engine's and the controls' own
// cost) or included (what the player waits for: the full redraw presents
// the whole screen, the compared frame only the rectangles it redrew).
// Reported: medians of the frame times, their ratio, and heap allocations in
// a steady frame; presented, the copies to the window a frame and the share
// of a full redraw's pixels they hold.
//
// A second screen holds a list box of 1000 lines over the backdrop, scrolled
// one line a frame (down to the end, then back up). It is timed against two
// full redraws: of the whole screen, and of a screen the size of the list's
// area holding only the list (the target: a compared frame costs at most
// that). Its lines are a log's: "turn 0412: the party moves on", whose rows
// change only in their numbers as the list scrolls, or (varied) sayings of
// different lengths, whose rows' texts change whole. The same scroll is
// also timed against the list's area redrawn whole and presented in place
// on a screen of the same size (in_place_ratio): the smaller screen's rows
// lie one after another in memory, which a part of a larger screen's never
// do. The target is the log's. When every row's text is new, the frame must
// redraw and present all of the list's rows whatever it compares, and the
// smaller screen is ahead by its memory layout alone (a pixel of the same
// blits and conversions costs it a fifth to two fifths less): that case
// shows what the frame costs when nothing can be saved, against both
// measures. The compared frames' heap allocations are counted. A third case
// adds 1,000 and 10,000 lines to a full list (the oldest eighth dropped each
// time it fills) and reports the cost per line of each: equal costs mean
// the adding stays linear.
#include <benchmark/benchmark.h>
#include <kestrel.h>
#include <desktop/desktop.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include <unistd.h>

#include "alloc_count.h"

namespace {

const long kW = 800;
const long kH = 600;
const int kButtons = 24;
const int kEdits = 16;

HINSTANCE BenchModule()
{
    return reinterpret_cast<HINSTANCE>(uintptr_t(0x500000));
}

// Presents only when asked to, counting the calls that copy to the window
// and their pixels.
class UiGraph : public KGraphGDI {
public:
    bool m_present = false;
    long m_copies = 0;
    double m_pixels = 0;

protected:
    long _render(SPRITE_DATA* s, RECT& w, RECT& c) override
    {
        if (!m_present)
            return 0;
        if (!m_inRects) {  // counted by _renderrects
            m_copies++;
            m_pixels += double(c.right - c.left) * double(c.bottom - c.top);
        }
        return KGraphGDI::_render(s, w, c);
    }
    // Several rectangles at once: one copy (or one each, should the device
    // copy them so), their pixels.
    long _renderrects(SPRITE_DATA* s, const RECT* rects, size_t count) override
    {
        if (!m_present)
            return 0;
        m_copies++;
        for (size_t i = 0; i < count; i++)
            m_pixels +=
                double(rects[i].right - rects[i].left) * double(rects[i].bottom - rects[i].top);
        m_inRects = true;
        const long result = KGraphGDI::_renderrects(s, rects, count);
        m_inRects = false;
        return result;
    }

private:
    bool m_inRects = false;
};

// Skin pictures and tables in a scratch folder, made once.
struct Assets {
    std::string dir;
    Assets()
    {
        char tmpl[] = "/tmp/kestrel_bench_ui_XXXXXX";
        dir = mkdtemp(tmpl) ? tmpl : "/tmp";
        UiGraph g;
        g.Init(false, 16, 16, KCM_R5G6B5, false);
        KSprite* frame = g.CreateSprite(48, 48, KCM_R5G6B5, 0);
        frame->_clear(0x39E7);
        frame->_clear(4, 16, 40, 28, 0x2104);
        frame->SaveBmp((dir + "/frame.bmp").c_str());
        g.ReleaseKSprite(frame);
        KSprite* tile = g.CreateSprite(16, 16, KCM_R5G6B5, 0);
        tile->_clear(0x18C3);
        tile->_clear(0, 0, 8, 8, 0x2124);
        tile->SaveBmp((dir + "/tile.bmp").c_str());
        g.ReleaseKSprite(tile);
        std::ofstream nine(dir + "/frame.txt");
        for (int i = 0; i < 9; i++)
            nine << dir << "/frame.bmp\t" << 16 * (i % 3) << "\t" << 16 * (i / 3) << "\t"
                 << 16 * (i % 3) + 16 << "\t" << 16 * (i / 3) + 16 << "\r\n";
        std::ofstream(dir + "/tile.txt") << dir << "/tile.bmp\t0\t0\t16\t16\r\n";
    }
    ~Assets()
    {
        for (const char* f : {"frame.bmp", "tile.bmp", "frame.txt", "tile.txt"})
            std::remove((dir + "/" + f).c_str());
        rmdir(dir.c_str());
    }
};

// What every screen here has: a graph device over a main window of w x h
// with the default font, and a tiled backdrop drawn first in each frame.
struct Stage {
    UiGraph graph;
    KestrelMainWnd main;
    HFONT hfont = NULL;
    KFont* font = NULL;
    KWndBack_Ex2* backdrop = NULL;

    Stage(const Assets& a, bool cut, bool present, long w, long h, const char* title)
    {
        graph.m_present = present;
        graph.Init(false, w, h, KCM_R5G6B5, false);
        main.Create(KestrelWnd::m_ClassName, title, WS_POPUP | WS_VISIBLE, 0, 0, int(w), int(h),
                    (HWND)NULL, 0);
        graph.SetHWND(main.GetHandle());
        graph.ReSizeBackScreen(w, h, KCM_R5G6B5, false);
        if (!cut)
            graph.SetCutMode(false);
        hfont = CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0,
                            "SimSun");
        font = graph.CreateFontA(hfont);
        graph.SetDefaultFont(font);
        main.SetGraph(&graph);
        main.SetRect(0, 0, int(w), int(h));
        backdrop = new KWndBack_Ex2(&graph, (a.dir + "/tile.txt").c_str(), NULL, NULL);
        backdrop->Create(w, h, KCM_R5G6B5, 0);
        backdrop->Update(w, h);
    }
    // The screen's own controls are released first, by its destructor.
    ~Stage()
    {
        delete backdrop;
        main.Release();
        graph.ReleaseKFont(font);
        DeleteObject(hfont);
    }
    // Dispatches the input waiting, as a game's frame starts.
    static void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
};

struct Screen : Stage {
    KWndBack_Ex* dialog = NULL;
    KSprite* strip = NULL;
    KWndButton buttons[kButtons];
    KWndEdit edits[kEdits];

    Screen(const Assets& a, bool cut, bool present) : Stage(a, cut, present, kW, kH, "ui")
    {
        dialog = new KWndBack_Ex(&graph, (a.dir + "/frame.txt").c_str(), NULL, NULL);
        dialog->Create(kW - 80, kH - 80, KCM_R5G6B5, KSPR_COLORKEY);
        dialog->Update(kW - 80, kH - 80);

        strip = graph.CreateSprite(4 * 120, 28, KCM_R5G6B5, 0);
        for (int s = 0; s < 4; s++)
            strip->_clear(120 * s, 0, 120, 28, WORD(0x2945 + 0x0841 * s));
        for (int i = 0; i < kButtons; i++) {
            KWndButton& b = buttons[i];
            b.SetGraph(&graph);
            for (int s = 0; s < 4; s++) {
                RECT rc = {120 * s, 0, 120 * s + 120, 28};
                b.SetSprite(strip, s, rc, false);
            }
            const char caption[] = {'B', 'u', 't', 't', 'o', 'n', ' ', char('A' + i), 0};
            b.Create(caption, WS_CHILD | WS_VISIBLE, 60 + 170 * (i % 4), 80 + 40 * (i / 4), 120,
                     28, &main, UINT(100 + i));
            b.AddState(KWNDBUTTON_STATE_TEXT);
            b.SetTextColor(0xFFFF);
            main.AddChild(&b);
        }
        for (int i = 0; i < kEdits; i++) {
            KWndEdit& e = edits[i];
            e.SetGraph(&graph);
            e.Create("player text", WS_CHILD | WS_VISIBLE, 60 + 340 * (i % 2),
                     340 + 28 * (i / 2), 300, 20, &main, UINT(200 + i));
            KSprite* back = graph.CreateSprite(300, 20, KCM_R5G6B5, 0);
            back->_clear(0xEF7D);
            e.SetSprite(back);
            e.SetColor(0xFFFFFFFF, 0x0000, 0x841F, 0);
            main.AddChild(&e);
        }
    }
    ~Screen()
    {
        for (KWndButton& b : buttons)
            b.Release();
        for (KWndEdit& e : edits)
            e.Release();
        delete dialog;
        graph.ReleaseKSprite(strip);
    }

    // One frame: the input waiting is dispatched, the skins and the window
    // tree are drawn and the device builds and replays the frame.
    void Frame()
    {
        Pump();
        backdrop->GetData()->Draw(0, 0);
        dialog->GetData()->Draw_ck(40, 40);
        main.Render(NULL);
    }
};

enum Case { kNothing, kTyped };

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_Ui(benchmark::State& state)
{
    const Case c = Case(state.range(0));
    const bool present = state.range(1) != 0;
    desktop::Reset();
    desktop::UseManualClock(1000);  // no caret blinks or hover polls in between
    KestrelWnd::m_hInst = NULL;
    KestrelWnd::Init(BenchModule());
    KWndEdit::_editWnd = NULL;
    KWndEdit::_focusWnd = NULL;
    static Assets assets;
    Screen ours(assets, true, present), full(assets, false, present);
    Screen* screens[2] = {&ours, &full};
    long frame = 0;
    // Types into the screen's focused field: one character, then its erasure.
    auto input = [&](Screen& s) {
        if (c != kTyped)
            return;
        desktop::InjectChar(s.main.GetHandle(), frame % 2 ? '\b' : 'x');
    };
    auto focus = [&](Screen& s) {
        if (c == kTyped)
            s.edits[3].Active(s.edits[3].GetRect()->right);
    };
    for (int i = 0; i < 50; i++) {
        for (Screen* s : screens) {
            focus(*s);
            input(*s);
            s->Frame();
        }
        frame++;
    }

    std::vector<double> tOurs, tFull;
    long allocations = 0, frames = 0;
    ours.graph.m_copies = full.graph.m_copies = 0;
    ours.graph.m_pixels = full.graph.m_pixels = 0;
    using clock = std::chrono::steady_clock;
    for (auto _ : state) {
        // The order alternates, so neither side always runs on a warm cache.
        for (int k = 0; k < 2; k++) {
            Screen* s = screens[(k + frame) % 2];
            focus(*s);
            input(*s);
            const long before = g_allocations.load();
            const auto t0 = clock::now();
            s->Frame();
            const auto t1 = clock::now();
            const double us = std::chrono::duration<double, std::micro>(t1 - t0).count();
            if (s == &ours) {
                allocations += g_allocations.load() - before;
                tOurs.push_back(us);
            } else {
                tFull.push_back(us);
            }
        }
        frame++;
        frames++;
    }
    const double mo = Median(tOurs), mf = Median(tFull);
    state.counters["frame_us"] = mo;
    state.counters["full_us"] = mf;
    state.counters["ratio"] = mf > 0 ? mo / mf : 0;
    state.counters["allocs"] = double(allocations) / double(frames);
    if (present) {  // what a compared frame copies to the window, against a full redraw
        state.counters["copies"] = double(ours.graph.m_copies) / double(frames);
        state.counters["shown_share"] =
            full.graph.m_pixels > 0 ? ours.graph.m_pixels / full.graph.m_pixels : 0;
    }
    std::string label = c == kNothing ? "nothing changed (target ratio <= 0.05)"
                                      : "one character typed (target ratio <= 0.10)";
    state.SetLabel(label + (present ? ", presented" : ", not presented"));
}

// A screen w x h: the tiled backdrop and a 1000-line list box at (lx, ly).
struct ListScreen : Stage {
    KWndListBox list;
    int direction = SB_LINEDOWN;

    // varied: the lines say different things, so a row's text changes
    // whole when the list scrolls, not only in its number.
    ListScreen(const Assets& a, bool cut, bool present, long w, long h, long lx, long ly,
               bool varied = false)
        : Stage(a, cut, present, w, h, "list")
    {
        static const char* const kSayings[] = {
            "the party moves on", "a wolf howls far off", "Mira finds 12 gold",
            "rain; the road is slow", "the bridge holds", "an old map, torn"};
        list.SetGraph(&graph);
        list.Create("list", WS_CHILD | WS_VISIBLE, int(lx), int(ly), kListW, kListH, &main, 1);
        list.SetColor(0xFFFF, 0x841F);
        list.CreateList(1000, 64);
        char line[64];
        for (int i = 0; i < 1000; i++) {
            if (varied)
                std::snprintf(line, sizeof(line), "%s, turn %d", kSayings[i % 6], i);
            else
                std::snprintf(line, sizeof(line), "turn %04d: %s", i, kSayings[0]);
            list.AddString(line);
        }
        SendMessageA(list.GetHandle(), WM_VSCROLL, SB_THUMBPOSITION, 0);
        main.AddChild(&list);
    }
    ~ListScreen() { list.Release(); }
    // One line on, turning round at either end.
    void Scroll()
    {
        const int last = list.GetUsed() - list.GetLines();
        if (list.GetTop() >= last)
            direction = SB_LINEUP;
        else if (list.GetTop() <= 0)
            direction = SB_LINEDOWN;
        SendMessageA(list.GetHandle(), WM_VSCROLL, WPARAM(direction), 1);
    }
    void Frame()
    {
        Pump();
        backdrop->GetData()->Draw(0, 0);
        main.Render(NULL);
    }
    // The list's area of this screen redrawn whole in place: the backdrop
    // under it and the list, replayed without comparing, and only that area
    // presented.
    void FrameInPlace(long lx, long ly)
    {
        Pump();
        graph.GetBackScreen()->Blt(lx, ly, backdrop->GetData(), lx, ly, lx + kListW, ly + kListH);
        main.Draw(NULL);
        graph.RenderToBack();
        RECT area = {LONG(lx), LONG(ly), LONG(lx + kListW), LONG(ly + kListH)};
        graph.RenderToScreen(area);
    }
    static const int kListW = 300;
    static const int kListH = 480;
};

void StartDesktop()
{
    desktop::Reset();
    desktop::UseManualClock(1000);
    KestrelWnd::m_hInst = NULL;
    KestrelWnd::Init(BenchModule());
}

void BM_UiListScroll(benchmark::State& state)
{
    const bool present = state.range(0) != 0;
    const bool varied = state.range(1) != 0;
    StartDesktop();
    static Assets assets;
    ListScreen ours(assets, true, present, kW, kH, 100, 60, varied),
        full(assets, false, present, kW, kH, 100, 60, varied),
        area(assets, false, present, ListScreen::kListW, ListScreen::kListH, 0, 0, varied);
    ListScreen* screens[3] = {&ours, &full, &area};
    for (int i = 0; i < 50; i++)
        for (ListScreen* s : screens) {
            s->Scroll();
            s->Frame();
        }
    std::vector<double> t[3];
    long allocations = 0;  // the compared frames'
    using clock = std::chrono::steady_clock;
    long frame = 0;
    for (ListScreen* s : screens) {
        s->graph.m_copies = 0;
        s->graph.m_pixels = 0;
    }
    for (auto _ : state) {
        // The order rotates, so no side always runs first or last.
        for (int k = 0; k < 3; k++) {
            const int which = int((k + frame) % 3);
            ListScreen* s = screens[which];
            const long a0 = g_allocations.load();
            const auto t0 = clock::now();
            s->Scroll();
            s->Frame();
            const auto t1 = clock::now();
            if (which == 0)
                allocations += g_allocations.load() - a0;
            t[which].push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
        frame++;
    }
    const double mo = Median(t[0]), mf = Median(t[1]), ma = Median(t[2]);
    state.counters["frame_us"] = mo;
    state.counters["full_us"] = mf;
    state.counters["area_us"] = ma;
    state.counters["ratio"] = mf > 0 ? mo / mf : 0;
    state.counters["area_ratio"] = ma > 0 ? mo / ma : 0;
    state.counters["allocs"] = frame > 0 ? double(allocations) / double(frame) : 0;
    if (present && frame > 0) {  // copies a frame, and pixels against the list area's redraw
        state.counters["copies"] = double(ours.graph.m_copies) / double(frame);
        state.counters["shown_area"] =
            area.graph.m_pixels > 0 ? ours.graph.m_pixels / area.graph.m_pixels : 0;
    }
    state.SetLabel(std::string("1000-line list scrolled one line a frame") +
                   (varied ? " (nothing to save: see also BM_UiListScrollInPlace)"
                           : " (target area_ratio <= 1)") +
                   (present ? ", presented" : ", not presented") +
                   (varied ? ", every row's text new" : ", rows' numbers change"));
}

// The same scroll against the list's area redrawn whole and presented in
// place, on a screen of the same size: both sides then read and write rows
// of the same length and stride, so the ratio is the frame's own work and
// pixels against the area's, without a smaller screen's memory layout.
void BM_UiListScrollInPlace(benchmark::State& state)
{
    const bool varied = state.range(0) != 0;
    StartDesktop();
    static Assets assets;
    ListScreen ours(assets, true, true, kW, kH, 100, 60, varied),
        place(assets, false, true, kW, kH, 100, 60, varied);
    ListScreen* screens[2] = {&ours, &place};
    auto frame = [&](int which) {
        screens[which]->Scroll();
        if (which == 0)
            ours.Frame();
        else
            place.FrameInPlace(100, 60);
    };
    for (int i = 0; i < 50; i++)
        for (int which = 0; which < 2; which++)
            frame(which);
    std::vector<double> t[2];
    long round = 0;
    for (auto _ : state) {
        for (int k = 0; k < 2; k++) {  // the order alternates
            const int which = int((k + round) % 2);
            const auto t0 = std::chrono::steady_clock::now();
            frame(which);
            const auto t1 = std::chrono::steady_clock::now();
            t[which].push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
        round++;
    }
    const double mo = Median(t[0]), mp = Median(t[1]);
    state.counters["frame_us"] = mo;
    state.counters["in_place_us"] = mp;
    state.counters["in_place_ratio"] = mp > 0 ? mo / mp : 0;
    state.SetLabel(std::string("list scrolled, against its area redrawn in place, presented") +
                   (varied ? ", every row's text new" : ", rows' numbers change"));
}

// Adds n lines to a full list of 1000 lines; microseconds per line.
double AddLines(const Assets& a, int n)
{
    ListScreen s(a, true, false, 400, 300, 0, 0);
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < n; i++)
        s.list.AddString("a new line of the game's log, arriving late");
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(t1 - t0).count() / n;
}

void BM_UiListAdd(benchmark::State& state)
{
    StartDesktop();
    static Assets assets;
    std::vector<double> small, large;
    long round = 0;
    for (auto _ : state) {
        // Alternating which size goes first.
        if (round++ % 2 == 0) {
            small.push_back(AddLines(assets, 1000));
            large.push_back(AddLines(assets, 10000));
        } else {
            large.push_back(AddLines(assets, 10000));
            small.push_back(AddLines(assets, 1000));
        }
    }
    const double ms = Median(small), ml = Median(large);
    state.counters["per_line_1000_us"] = ms;
    state.counters["per_line_10000_us"] = ml;
    state.counters["ratio"] = ms > 0 ? ml / ms : 0;
    state.SetLabel("lines added to a full 1000-line list (linear: ratio near 1)");
}

BENCHMARK(BM_Ui)
    ->ArgsProduct({{kNothing, kTyped}, {0, 1}})
    ->ArgNames({"case", "present"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);
BENCHMARK(BM_UiListScroll)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"present", "varied"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);
BENCHMARK(BM_UiListScrollInPlace)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("varied")
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);
BENCHMARK(BM_UiListAdd)->Unit(benchmark::kMillisecond)->Iterations(5);

// `--profile-list FRAMES SCREEN [VARIED [PRESENT]]` scrolls only one list
// screen, for a profiler: SCREEN 1 with frame comparison, 0 redrawn whole, 2
// the list's area alone redrawn whole; VARIED 1 for lines that say different
// things; PRESENT 1 to present each frame.
int ProfileList(long frames, int screen, bool varied, bool present)
{
    StartDesktop();
    static Assets assets;
    ListScreen s(assets, screen == 1, present, screen == 2 ? ListScreen::kListW : kW,
                 screen == 2 ? ListScreen::kListH : kH, screen == 2 ? 0 : 100, screen == 2 ? 0 : 60,
                 varied);
    for (long i = 0; i < frames; i++) {
        s.Scroll();
        s.Frame();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    kbase::SetEcho(false);
    if (argc >= 4 && argc <= 6 && std::string(argv[1]) == "--profile-list")
        return ProfileList(std::atol(argv[2]), std::atoi(argv[3]), argc >= 5 && std::atoi(argv[4]),
                           argc == 6 && std::atoi(argv[5]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
