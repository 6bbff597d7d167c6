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
// the whole screen, the compared frame only what changed). Reported:
// medians of the frame times, their ratio, and heap allocations in a steady
// frame.
#include <benchmark/benchmark.h>
#include <kestrel.h>
#include <desktop/desktop.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

std::atomic<long> g_allocations{0};

}  // namespace

// Counts every allocation made through new.
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
const int kButtons = 24;
const int kEdits = 16;

HINSTANCE BenchModule()
{
    return reinterpret_cast<HINSTANCE>(uintptr_t(0x500000));
}

// Presents only when asked to.
class UiGraph : public KGraphGDI {
public:
    bool m_present = false;

protected:
    long _render(SPRITE_DATA* s, RECT& w, RECT& c) override
    {
        return m_present ? KGraphGDI::_render(s, w, c) : 0;
    }
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

struct Screen {
    UiGraph graph;
    KestrelMainWnd main;
    HFONT hfont = NULL;
    KFont* font = NULL;
    KWndBack_Ex2* backdrop = NULL;
    KWndBack_Ex* dialog = NULL;
    KSprite* strip = NULL;
    KWndButton buttons[kButtons];
    KWndEdit edits[kEdits];

    Screen(const Assets& a, bool cut, bool present)
    {
        graph.m_present = present;
        graph.Init(false, kW, kH, KCM_R5G6B5, false);
        main.Create(KestrelWnd::m_ClassName, "ui", WS_POPUP | WS_VISIBLE, 0, 0, kW, kH,
                    (HWND)NULL, 0);
        graph.SetHWND(main.GetHandle());
        graph.ReSizeBackScreen(kW, kH, KCM_R5G6B5, false);
        if (!cut)
            graph.SetCutMode(false);
        hfont = CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0,
                            "SimSun");
        font = graph.CreateFontA(hfont);
        graph.SetDefaultFont(font);
        main.SetGraph(&graph);
        main.SetRect(0, 0, kW, kH);

        backdrop = new KWndBack_Ex2(&graph, (a.dir + "/tile.txt").c_str(), NULL, NULL);
        backdrop->Create(kW, kH, KCM_R5G6B5, 0);
        backdrop->Update(kW, kH);
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
        delete backdrop;
        delete dialog;
        graph.ReleaseKSprite(strip);
        main.Release();
        graph.ReleaseKFont(font);
        DeleteObject(hfont);
    }

    // One frame: the input waiting is dispatched, the skins and the window
    // tree are drawn and the device builds and replays the frame.
    void Frame()
    {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
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
    std::string label = c == kNothing ? "nothing changed (target ratio <= 0.05)"
                                      : "one character typed (target ratio <= 0.10)";
    state.SetLabel(label + (present ? ", presented" : ", not presented"));
}

}  // namespace

BENCHMARK(BM_Ui)
    ->ArgsProduct({{kNothing, kTyped}, {0, 1}})
    ->ArgNames({"case", "present"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

int main(int argc, char** argv)
{
    kbase::SetEcho(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
