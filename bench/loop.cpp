// Message dispatch through the framework's table walk against a plain
// switch-based window procedure, measured in the same run.
//
// Ours: a window of a class three tables deep (Leaf -> Mid -> KestrelWnd),
// served by KestrelWnd's procedure, which walks the tables from the most
// derived one. Baseline: a window of its own class whose procedure finds the
// same kind of object in its user data and switches on the message to
// handlers doing the same work. Both end in DefWindowProcA.
//
// Messages: one a Leaf handler takes, one a Mid handler takes, one only the
// root table has (WM_SIZE), one nobody handles, and a mix of the four. Paths:
// DispatchMessageA of a ready MSG; the class procedure called directly (the
// walk with the least around it); and the whole queue trip, PostMessageA then
// PeekMessageA then DispatchMessageA. Each case reports millions of messages
// a second for both and the ratio of our time to the baseline's.
#include <benchmark/benchmark.h>
#include "bench_util.h"
#include <desktop/desktop.h>
#include <kestrel.h>
#include <windowsx.h>

#include <chrono>
#include <cstdio>

namespace {

// The work every handler does, the same in both procedures.
struct Work {
    long leaf = 0;
    long mid = 0;
};

class Mid : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    Work m_work;
    int OnMidA(WPARAM w, LPARAM) { m_work.mid += long(w); return 0; }
    int OnMidB(WPARAM, LPARAM) { return 0; }
    int OnMidC(WPARAM, LPARAM) { return 0; }
};

class Leaf : public Mid {
    KWND_DECLARE_MESSAGES()
public:
    int OnLeafA(WPARAM w, LPARAM) { m_work.leaf += long(w); return 0; }
    int OnLeafB(WPARAM, LPARAM) { return 0; }
    int OnLeafC(WPARAM, LPARAM) { return 0; }
    int OnLeafD(WPARAM, LPARAM) { return 0; }
};

const UINT kLeafMsg = WM_USER + 1;
const UINT kMidMsg = WM_USER + 2;
const UINT kRootMsg = WM_SIZE;
const UINT kNobodyMsg = WM_USER + 50;

}  // namespace

KWND_BEGIN_MESSAGES(Mid, KestrelWnd)
    KWND_MESSAGE(WM_USER + 20, Mid::OnMidB)
    KWND_MESSAGE(WM_USER + 21, Mid::OnMidC)
    KWND_MESSAGE(kMidMsg, Mid::OnMidA)
KWND_END_MESSAGES()

KWND_BEGIN_MESSAGES(Leaf, Mid)
    KWND_MESSAGE(WM_USER + 10, Leaf::OnLeafB)
    KWND_MESSAGE(WM_USER + 11, Leaf::OnLeafC)
    KWND_MESSAGE(WM_USER + 12, Leaf::OnLeafD)
    KWND_MESSAGE(kLeafMsg, Leaf::OnLeafA)
KWND_END_MESSAGES()

namespace {

// The baseline's object and procedure: the same lookups and the same work.
struct SwitchWnd {
    Work m_work;
    RECT m_Rect = {0, 0, 0, 0};
    void OnLeafA(WPARAM w) { m_work.leaf += long(w); }
    void OnMidA(WPARAM w) { m_work.mid += long(w); }
    void OnSize(LPARAM l)
    {
        m_Rect.right = m_Rect.left + GET_X_LPARAM(l);
        m_Rect.bottom = m_Rect.top + GET_Y_LPARAM(l);
    }
};

LRESULT CALLBACK SwitchProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    SwitchWnd* obj = reinterpret_cast<SwitchWnd*>(GetWindowLongA(hwnd, GWL_USERDATA));
    if (obj == nullptr)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (msg) {
    case kLeafMsg:
        obj->OnLeafA(wParam);
        break;
    case kMidMsg:
        obj->OnMidA(wParam);
        break;
    case kRootMsg:
        obj->OnSize(lParam);
        break;
    case WM_USER + 10:
    case WM_USER + 11:
    case WM_USER + 12:
    case WM_USER + 20:
    case WM_USER + 21:
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

enum Path { kDispatch, kDirect, kQueue };
enum Kind { kLeaf, kMid, kRoot, kNobody, kMix };
const char* kPathNames[] = {"DispatchMessageA", "procedure called directly",
                            "PostMessageA+PeekMessageA+DispatchMessageA"};
const char* kKindNames[] = {"leaf", "mid", "root", "unhandled", "mix"};

UINT MessageOf(Kind kind, int i)
{
    static const UINT all[4] = {kLeafMsg, kMidMsg, kRootMsg, kNobodyMsg};
    return kind == kMix ? all[i & 3] : all[kind];
}

constexpr int kBatch = 4096;

// Seconds to deliver one batch to hwnd by the path.
double Batch(HWND hwnd, WNDPROC proc, Path path, Kind kind)
{
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    MSG msg = {};
    msg.hwnd = hwnd;
    for (int i = 0; i < kBatch; i++) {
        const UINT m = MessageOf(kind, i);
        const LPARAM l = MAKELPARAM(100 + (i & 7), 50);
        switch (path) {
        case kDispatch:
            msg.message = m;
            msg.wParam = 1;
            msg.lParam = l;
            DispatchMessageA(&msg);
            break;
        case kDirect:
            proc(hwnd, m, 1, l);
            break;
        case kQueue:
            PostMessageA(hwnd, m, 1, l);
            PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE);
            DispatchMessageA(&msg);
            break;
        }
    }
    return std::chrono::duration<double>(clock::now() - t0).count();
}

struct Windows {
    Leaf leaf;
    SwitchWnd plain;
    HWND ours = nullptr;
    HWND theirs = nullptr;
    WNDPROC ourProc = nullptr;

    Windows()
    {
        desktop::Reset();
        KestrelWnd::m_hInst = NULL;
        KestrelWnd::Init(reinterpret_cast<HINSTANCE>(uintptr_t(0x400000)));
        leaf.Create(KestrelWnd::m_ClassName, "leaf", WS_POPUP, 0, 0, 64, 64, (HWND)NULL, 0);
        ours = leaf.GetHandle();
        ourProc = reinterpret_cast<WNDPROC>(GetWindowLongA(ours, GWL_WNDPROC));
        WNDCLASSA wc = {};
        wc.lpfnWndProc = SwitchProc;
        wc.lpszClassName = "SwitchWindow";
        RegisterClassA(&wc);
        theirs = CreateWindowExA(0, "SwitchWindow", "plain", WS_POPUP, 0, 0, 64, 64, NULL, NULL,
                                 NULL, NULL);
        SetWindowLongA(theirs, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&plain));
    }
    ~Windows()
    {
        leaf.Release();
        desktop::Reset();
    }
};

void BM_Loop(benchmark::State& state)
{
    const Path path = Path(state.range(0));
    const Kind kind = Kind(state.range(1));
    Windows w;
    if (w.ours == nullptr || w.theirs == nullptr || w.ourProc == nullptr) {
        state.SkipWithError("windows could not be made");
        return;
    }
    for (int i = 0; i < 20; i++) {  // warm up both
        Batch(w.ours, w.ourProc, path, kind);
        Batch(w.theirs, SwitchProc, path, kind);
    }
    double ours = 0, theirs = 0;
    long batches = 0;
    for (auto _ : state) {
        // Interleaved, so both see the same machine.
        ours += Batch(w.ours, w.ourProc, path, kind);
        theirs += Batch(w.theirs, SwitchProc, path, kind);
        batches++;
    }
    if (w.leaf.m_work.leaf + w.leaf.m_work.mid != w.plain.m_work.leaf + w.plain.m_work.mid)
        state.SkipWithError("the two procedures did different work");
    const double messages = double(batches) * kBatch;
    state.counters["ours_Mmsg_s"] = messages / ours / 1e6;
    state.counters["switch_Mmsg_s"] = messages / theirs / 1e6;
    state.counters["ours_ns"] = ours / messages * 1e9;
    state.counters["switch_ns"] = theirs / messages * 1e9;
    state.counters["ratio"] = ours / theirs;  // our time over the baseline's
}

void Args(benchmark::internal::Benchmark* b)
{
    for (int path = kDispatch; path <= kQueue; path++)
        for (int kind = kLeaf; kind <= kMix; kind++)
            b->Args({path, kind});
    b->ArgNames({"path", "msg"});
}

}  // namespace

BENCHMARK(BM_Loop)->Apply(Args)->Unit(benchmark::kMillisecond)->Apply([](benchmark::internal::Benchmark* b) {
    BenchMinTime(b, 0.3);
});

int main(int argc, char** argv)
{
    kbase::SetEcho(false);
    std::printf("paths: 0 %s, 1 %s, 2 %s\n", kPathNames[0], kPathNames[1], kPathNames[2]);
    std::printf("msgs: 0 %s, 1 %s, 2 %s, 3 %s, 4 %s (tables: Leaf -> Mid -> KestrelWnd)\n",
                kKindNames[0], kKindNames[1], kKindNames[2], kKindNames[3], kKindNames[4]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
