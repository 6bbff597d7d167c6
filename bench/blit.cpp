// The software blitters against their baselines, measured in the same run:
//   plain blit     memcpy per row
//   fill           memset per row (same bytes)
//   colour key     the scalar reference kernel (built without vectorising)
//   constant alpha pixman OVER, r5g6b5 source, at its fastest of a solid, a
//                  repeated 1 x 1 and a whole a8 mask (named in the label);
//                  levels 0 and 255, which blend nothing, apart as
//                  const_alpha_edge (255 against pixman's SRC copy)
//   alpha sprite   pixman OVER, r5g6b5 source, a8 mask
//   colour + alpha pixman OVER, solid colour, a8 mask (the glyph case)
//   additive       the scalar reference kernel (built without vectorising)
//   avx2_vs_sse2   the AVX2 blends and additive blit against the SSE2 kernels
//                  they replace, where the processor has AVX2
// onto an 800 x 600 destination, from 32 x 32, 128 x 128 and full-screen
// sources at an even and an odd x. Each case times a batch of baseline calls
// and a batch of ours in every iteration, taking turns at going first, and
// reports both in Mpixel/s and their ratio (ours over the baseline; above 1
// is faster). pixman rounds
// differently from us: only speed is compared.
#include <benchmark/benchmark.h>
#include "bench_util.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <desktop/desktop.h>
#include <doit.h>
#include <kbase.h>

#include "blit.h"

#ifdef KESTREL_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

class BenchGraph : public KGraphGDI {
public:
    using KGraphGDI::_bltsprite;
    using KGraphGDI::_bltsprite_additive;
    using KGraphGDI::_bltsprite_alpha;
    using KGraphGDI::_bltsprite_ck;
    using KGraphGDI::_clearsprite;
    using KGraphGDI::_createsprite;
    using KGraphGDI::_releasesprite;
};

constexpr long kScreenW = 800, kScreenH = 600;

BenchGraph* g_graph = nullptr;
SPRITE_DATA* g_screen = nullptr;
std::vector<SPRITE_DATA*> g_sprites;   // released by main after the run

SPRITE_DATA* Keep(SPRITE_DATA* s)
{
    g_sprites.push_back(s);
    return s;
}

WORD* Row16(SPRITE_DATA* s, long y) { return reinterpret_cast<WORD*>(s->lpRows[y]); }

// Colour pixels, never the key 0, with about `keyed` of them 0 in runs the
// way transparent areas of sprites come.
SPRITE_DATA* MakeSource(long w, long h, double keyed, unsigned seed)
{
    std::mt19937 rng(seed);
    SPRITE_DATA* s = Keep(g_graph->_createsprite(w, h, KCM_R5G6B5, KSPR_COLORKEY));
    for (long y = 0; y < h; ++y) {
        WORD* row = Row16(s, y);
        for (long x = 0; x < w;) {
            // Key runs average 6.5 pixels; the others are sized to give `keyed`.
            const long keyRun = 1 + long(rng() % 12);
            const double opaqueMean = keyed > 0 ? 6.5 * (1 - keyed) / keyed : 1e9;
            const long opaqueRun = keyed >= 1 ? 0 : 1 + long(rng() % std::max(1L, long(2 * opaqueMean)));
            for (long i = 0; i < opaqueRun && x < w; ++i, ++x) row[x] = WORD(1 + rng() % 0xFFFF);
            if (keyed > 0)
                for (long i = 0; i < keyRun && x < w; ++i, ++x) row[x] = 0;
        }
    }
    return s;
}

// A blob: about 60 % opaque, 30 % clear, 10 % anti-aliased edge per row,
// its centre wandering a little from row to row.
SPRITE_DATA* MakeAlpha(long w, long h)
{
    SPRITE_DATA* a = Keep(g_graph->_createsprite(w, h, KCM_GRAY, 0));
    for (long y = 0; y < h; ++y) {
        const double centre = 0.5 + 0.02 * std::sin(double(y) * 0.37);
        for (long x = 0; x < w; ++x) {
            const double dist = std::fabs((double(x) + 0.5) / double(w) - centre);
            double level = 0;
            if (dist < 0.30) level = 255;
            else if (dist < 0.35) level = 255 * (0.35 - dist) / 0.05;
            a->lpRows[y][x] = BYTE(std::lround(level));
        }
    }
    return a;
}

struct Placement {
    long x, y, w, h;   // where the blit lands and its size once clipped
};

Placement Place(long size, bool odd)
{
    if (size >= kScreenW) return {odd ? 1 : 0, 0, odd ? kScreenW - 1 : kScreenW, kScreenH};
    return {100 + (odd ? 1 : 0), 100, size, size};
}

// The reference kernels' view of a blit of src's top-left corner to p.
kblit::Rows RowsAt(SPRITE_DATA* src, const Placement& p)
{
    kblit::Rows r{};
    r.dst = g_screen->lpRows[p.y] + p.x * 2;
    r.dstPitch = long(g_screen->pitch);
    r.src = src->lpRows[0];
    r.srcPitch = long(src->pitch);
    r.w = p.w;
    r.h = p.h;
    return r;
}

// Times a batch of baseline calls and a batch of ours in each iteration.
void Compare(benchmark::State& state, long pixels, const std::function<void()>& ours,
             const std::function<void()>& base)
{
    using Clock = std::chrono::steady_clock;
    const long batch = std::max(1L, 300000 / pixels);
    double tOurs = 0, tBase = 0;
    // The two take turns going first: the second of a pair finds the
    // destination in the cache the first left it in.
    auto time = [&](const std::function<void()>& fn) {
        const auto t0 = Clock::now();
        for (long i = 0; i < batch; ++i) fn();
        benchmark::ClobberMemory();
        return std::chrono::duration<double>(Clock::now() - t0).count();
    };
    long turn = 0;
    for (auto _ : state) {
        if (turn++ % 2 == 0) {
            tBase += time(base);
            tOurs += time(ours);
        } else {
            tOurs += time(ours);
            tBase += time(base);
        }
    }
    const double px = double(pixels) * double(batch) * double(state.iterations());
    state.counters["ours_Mpx_s"] = px / tOurs / 1e6;
    state.counters["base_Mpx_s"] = px / tBase / 1e6;
    state.counters["ratio"] = tBase / tOurs;
}

std::string Name(const char* what, long size, bool odd, const std::string& extra = "")
{
    std::string n = std::string(what) + "/" + (size >= kScreenW ? std::string("screen") : std::to_string(size)) +
                    (odd ? "/odd" : "/even");
    return extra.empty() ? n : n + "/" + extra;
}

void Register(const std::string& name, std::function<void(benchmark::State&)> fn)
{
    BenchMinTime(benchmark::RegisterBenchmark(name.c_str(), [fn](benchmark::State& st) { fn(st); }),
                 0.2)
        ->Unit(benchmark::kMicrosecond);
}

#ifdef KESTREL_HAVE_PIXMAN
std::vector<pixman_image_t*> g_images;   // unreferenced by main after the run

pixman_image_t* KeepImage(pixman_image_t* img)
{
    g_images.push_back(img);
    return img;
}

// A pixman image over a sprite's own pixels (the sprite keeps them).
pixman_image_t* Wrap(SPRITE_DATA* s)
{
    const pixman_format_code_t f = s->kcm == KCM_GRAY ? PIXMAN_a8 : PIXMAN_r5g6b5;
    return KeepImage(pixman_image_create_bits(f, int(s->width), int(s->height),
                                              reinterpret_cast<uint32_t*>(s->lpRows[0]), int(s->pitch)));
}

pixman_color_t Colour565(WORD c, unsigned alpha)
{
    const unsigned r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    pixman_color_t pc;
    pc.red = uint16_t(((r << 3) | (r >> 2)) * 257);
    pc.green = uint16_t(((g << 2) | (g >> 4)) * 257);
    pc.blue = uint16_t(((b << 3) | (b >> 2)) * 257);
    pc.alpha = uint16_t(alpha * 257);
    return pc;
}
#endif

#ifdef KESTREL_HAVE_PIXMAN
// One way of asking pixman for an operation, with its name.
struct PixmanWay {
    std::string name;
    std::function<void()> run;
};

// Median seconds of a few runs of fn: enough to rank ways that differ by
// their path through pixman, not by noise.
double Seconds(const std::function<void()>& fn)
{
    std::vector<double> t;
    for (int i = 0; i < 15; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        fn();
        t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

// The source over the destination at a constant level, three ways: a solid
// mask, a repeated 1 x 1 a8 mask, a whole a8 mask of the level. pixman picks
// a different path for each; the fastest one is returned.
PixmanWay FastestConstAlpha(pixman_image_t* srcImg, pixman_image_t* dstImg, const Placement& p,
                            unsigned level)
{
    const pixman_color_t c = Colour565(0, level);
    pixman_image_t* solid = KeepImage(pixman_image_create_solid_fill(&c));
    pixman_image_t* one = KeepImage(pixman_image_create_bits(PIXMAN_a8, 1, 1, nullptr, 4));
    reinterpret_cast<BYTE*>(pixman_image_get_data(one))[0] = BYTE(level);
    pixman_image_set_repeat(one, PIXMAN_REPEAT_NORMAL);
    pixman_image_t* whole = KeepImage(pixman_image_create_bits(PIXMAN_a8, int(p.w), int(p.h), nullptr, 0));
    std::memset(pixman_image_get_data(whole), int(level), size_t(pixman_image_get_stride(whole)) * size_t(p.h));
    std::vector<PixmanWay> ways;
    for (auto mask : {std::make_pair("solid mask", solid), std::make_pair("1x1 repeat mask", one),
                      std::make_pair("a8 mask", whole)}) {
        pixman_image_t* m = mask.second;
        ways.push_back({mask.first, [=] {
                            pixman_image_composite32(PIXMAN_OP_OVER, srcImg, m, dstImg, 0, 0, 0, 0,
                                                     int(p.x), int(p.y), int(p.w), int(p.h));
                        }});
    }
    size_t best = 0;
    double bestTime = 1e30;
    for (size_t i = 0; i < ways.size(); ++i) {
        const double t = Seconds(ways[i].run);
        if (t < bestTime) {
            bestTime = t;
            best = i;
        }
    }
    return ways[best];
}
#endif

const long kSizes[] = {32, 128, kScreenW};

// The AVX2 blends against the SSE2 ones they replace, kernel against
// kernel on the same rows: what the wider lanes gain.
void RegisterWideBlends(SPRITE_DATA* src, const Placement& p, long srcW, long srcH, long size, bool odd)
{
    const kblit::KernelTable& wide = kblit::Avx2Kernels();
    const kblit::KernelTable& sse2 = kblit::FastKernels();
    SPRITE_DATA* keyed = MakeSource(srcW, srcH, 0.3, 90);
    SPRITE_DATA* alpha = MakeAlpha(srcW, srcH);
    const long px = p.w * p.h;
    auto masked = [=](SPRITE_DATA* from) {
        kblit::Rows r = RowsAt(from, p);
        r.lev = alpha->lpRows[0];
        r.levPitch = long(alpha->pitch);
        return r;
    };
    struct Case {
        const char* name;
        std::function<void(const kblit::KernelTable&)> run;
    };
    const Case cases[] = {
        {"const_alpha/128", [=](const kblit::KernelTable& t) { t.BlendConst(RowsAt(src, p), 128); }},
        {"const_alpha_key/128", [=](const kblit::KernelTable& t) { t.BlendConstKey(RowsAt(keyed, p), 128); }},
        {"alpha_sprite", [=](const kblit::KernelTable& t) { t.BlendMask(masked(src)); }},
        {"colour_alpha", [=](const kblit::KernelTable& t) { t.BlendColourMask(masked(src), 0xFFE0); }},
        {"additive/64", [=](const kblit::KernelTable& t) { t.Additive(RowsAt(src, p), 64); }},
    };
    for (const Case& c : cases) {
        auto run = c.run;
        Register(Name("avx2_vs_sse2", size, odd, c.name), [=, &wide, &sse2](benchmark::State& st) {
            st.SetLabel("SSE2 kernel");
            Compare(st, px, [=, &wide] { run(wide); }, [=, &sse2] { run(sse2); });
        });
    }
}

void RegisterAll()
{
    for (long size : kSizes) {
        const long srcW = size >= kScreenW ? kScreenW : size, srcH = size >= kScreenW ? kScreenH : size;
        SPRITE_DATA* src = MakeSource(srcW, srcH, 0.0, 1);
        for (bool odd : {false, true}) {
            const Placement p = Place(size, odd);
            const long px = p.w * p.h;

            Register(Name("copy", size, odd), [=](benchmark::State& st) {
                Compare(st, px,
                        [=] { g_graph->_bltsprite(g_screen, p.x, p.y, src, 0, 0, srcW, srcH); },
                        [=] {
                            for (long j = 0; j < p.h; ++j)
                                std::memcpy(Row16(g_screen, p.y + j) + p.x, Row16(src, j), size_t(p.w) * 2);
                        });
            });

            // A small sprite onto another of its size, as a game composes
            // its pieces: the rows' own bytes are few, so what a call costs
            // beyond them (checks, clipping, dispatch) shows.
            if (size < kScreenW && !odd) {
                SPRITE_DATA* piece = Keep(g_graph->_createsprite(size, size, KCM_R5G6B5, 0));
                Register(Name("copy_piece", size, odd), [=](benchmark::State& st) {
                    Compare(st, px, [=] { g_graph->_bltsprite(piece, 0, 0, src, 0, 0, size, size); },
                            [=] {
                                for (long j = 0; j < size; ++j)
                                    std::memcpy(Row16(piece, j), Row16(src, j), size_t(size) * 2);
                            });
                });
            }

            for (WORD colour : {WORD(0), WORD(0x1234)}) {
                char extra[16];
                std::snprintf(extra, sizeof extra, "0x%04x", colour);
                Register(Name("clear", size, odd, extra), [=](benchmark::State& st) {
                    Compare(st, px,
                            [=] { g_graph->_clearsprite(g_screen, p.x, p.y, p.x + p.w, p.y + p.h, colour); },
                            [=] {
                                for (long j = 0; j < p.h; ++j)
                                    std::memset(Row16(g_screen, p.y + j) + p.x, colour & 0xFF, size_t(p.w) * 2);
                            });
                });
            }

            for (int density : {0, 30, 100}) {
                SPRITE_DATA* keyed = MakeSource(srcW, srcH, density / 100.0, 2 + unsigned(density));
                Register(Name("colorkey", size, odd, std::to_string(density) + "%"), [=](benchmark::State& st) {
                    Compare(st, px,
                            [=] { g_graph->_bltsprite_ck(g_screen, p.x, p.y, keyed, 0, 0, srcW, srcH); },
                            [=] { kblit::ref::CopyKey(RowsAt(keyed, p)); });
                });
            }

            Register(Name("additive", size, odd, "level64"), [=](benchmark::State& st) {
                Compare(st, px,
                        [=] { g_graph->_bltsprite_additive(g_screen, p.x, p.y, src, 0, 0, srcW, srcH, 64); },
                        [=] { kblit::ref::Additive(RowsAt(src, p), 64); });
            });

            if (kblit::HasAvx2())
                RegisterWideBlends(src, p, srcW, srcH, size, odd);

#ifdef KESTREL_HAVE_PIXMAN
            pixman_image_t* dstImg = Wrap(g_screen);
            pixman_image_t* srcImg = Wrap(src);
            // Real blends. pixman has more than one way to say "this source
            // at a constant level": each is timed once and the fastest is
            // the baseline, named in the label.
            for (int level : {64, 128, 192}) {
                const PixmanWay way = FastestConstAlpha(srcImg, dstImg, p, unsigned(level));
                Register(Name("const_alpha", size, odd, std::to_string(level)), [=](benchmark::State& st) {
                    st.SetLabel(std::string("pixman ") + way.name);
                    Compare(st, px,
                            [=] { g_graph->_bltsprite_alpha(g_screen, p.x, p.y, src, 0, 0, srcW, srcH, BYTE(level)); },
                            way.run);
                });
            }
            // Levels 0 and 255 are no blend at all (nothing drawn, a plain
            // copy): reported apart, against pixman doing the same at its
            // fastest (its OVER with a clear mask, its SRC copy).
            {
                const PixmanWay none = FastestConstAlpha(srcImg, dstImg, p, 0);
                Register(Name("const_alpha_edge", size, odd, "0"), [=](benchmark::State& st) {
                    st.SetLabel(std::string("pixman ") + none.name);
                    Compare(st, px,
                            [=] { g_graph->_bltsprite_alpha(g_screen, p.x, p.y, src, 0, 0, srcW, srcH, BYTE(0)); },
                            none.run);
                });
                Register(Name("const_alpha_edge", size, odd, "255"), [=](benchmark::State& st) {
                    st.SetLabel("pixman SRC");
                    Compare(st, px,
                            [=] { g_graph->_bltsprite_alpha(g_screen, p.x, p.y, src, 0, 0, srcW, srcH, BYTE(255)); },
                            [=] {
                                pixman_image_composite32(PIXMAN_OP_SRC, srcImg, nullptr, dstImg, 0, 0, 0, 0,
                                                         int(p.x), int(p.y), int(p.w), int(p.h));
                            });
                });
            }

            SPRITE_DATA* alpha = MakeAlpha(srcW, srcH);
            pixman_image_t* maskImg = Wrap(alpha);
            Register(Name("alpha_sprite", size, odd), [=](benchmark::State& st) {
                Compare(st, px,
                        [=] { g_graph->_bltsprite_alpha(g_screen, p.x, p.y, src, 0, 0, srcW, srcH, alpha, 0, 0); },
                        [=] {
                            pixman_image_composite32(PIXMAN_OP_OVER, srcImg, maskImg, dstImg, 0, 0, 0, 0,
                                                     int(p.x), int(p.y), int(p.w), int(p.h));
                        });
            });

            const WORD glyph = 0xFFE0;
            const pixman_color_t glyphColour = Colour565(glyph, 255);
            pixman_image_t* solidSrc = KeepImage(pixman_image_create_solid_fill(&glyphColour));
            Register(Name("colour_alpha", size, odd), [=](benchmark::State& st) {
                Compare(st, px,
                        [=] { g_graph->_bltsprite_alpha(g_screen, p.x, p.y, DWORD(glyph), 0, 0, srcW, srcH, alpha, 0, 0); },
                        [=] {
                            pixman_image_composite32(PIXMAN_OP_OVER, solidSrc, maskImg, dstImg, 0, 0, 0, 0,
                                                     int(p.x), int(p.y), int(p.w), int(p.h));
                        });
            });
#endif
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    desktop::Reset();
    kbase::SetEcho(false);
    BenchGraph graph;
    g_graph = &graph;
    if (graph.Init(false, kScreenW, kScreenH, KCM_R5G6B5, false) != 0) return 1;
    g_screen = Keep(graph._createsprite(kScreenW, kScreenH, KCM_R5G6B5, 0));
    graph._clearsprite(g_screen, 0, 0, kScreenW, kScreenH, 0x4208);
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
#ifdef KESTREL_HAVE_PIXMAN
    for (pixman_image_t* img : g_images) pixman_image_unref(img);
#endif
    for (SPRITE_DATA*& s : g_sprites) graph._releasesprite(s);
    return 0;
}
