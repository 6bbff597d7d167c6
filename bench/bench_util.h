// What the baseline comparisons share: the synthetic photo they code and the
// timing of one baseline run against one of ours per iteration.
#pragma once
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>

// The test command sets KESTREL_BENCH_ONCE to run every benchmark for one
// iteration, which catches a benchmark that no longer runs without the time
// a measurement takes. Otherwise a benchmark runs for its minimum time, or
// its fixed number of iterations.
inline bool BenchOnce()
{
    const char* v = std::getenv("KESTREL_BENCH_ONCE");
    return v != nullptr && *v != '\0' && *v != '0';
}
inline benchmark::internal::Benchmark* BenchMinTime(benchmark::internal::Benchmark* b, double seconds)
{
    return BenchOnce() ? b->Iterations(1) : b->MinTime(seconds);
}
inline benchmark::internal::Benchmark* BenchIterations(benchmark::internal::Benchmark* b, int n)
{
    return b->Iterations(BenchOnce() ? 1 : n);
}

// Smooth colour with a little noise: a photo's share of detail for the coder.
inline void PhotoPixel(long x, long y, long w, long h, unsigned char* rgb)
{
    static unsigned seed = 12345;
    seed = seed * 1103515245u + 12345u;
    const int noise = int((seed >> 16) & 15) - 8;
    const double fx = double(x) / double(w), fy = double(y) / double(h);
    const double c[3] = {127 + 120 * std::sin(7 * fx + 3 * fy), 127 + 120 * std::sin(5 * fy + 1),
                         127 + 120 * std::cos(9 * (fx - fy))};
    for (int i = 0; i < 3; i++) {
        const int v = int(c[i]) + noise;
        rgb[i] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

// Each iteration times base() and ours() on a w x h picture, the two in turn
// going first so that neither always runs on the other's warm caches; the counters
// give both in milliseconds per megapixel, `ratio` (baseline over ours) and
// `time_x` (ours over the baseline). A run that fails ends the benchmark with
// the text failure(baseOk).
template <typename Base, typename Ours, typename Failure>
void CompareWithBaseline(benchmark::State& state, long w, long h, Base base, Ours ours,
                         Failure failure)
{
    double tBase = 0, tOurs = 0;
    bool baseFirst = true;
    for (auto _ : state) {
        bool baseOk = true, oursOk = true;
        const auto t0 = std::chrono::steady_clock::now();
        if (baseFirst)
            baseOk = base();
        else
            oursOk = ours();
        const auto t1 = std::chrono::steady_clock::now();
        if (baseFirst)
            oursOk = ours();
        else
            baseOk = base();
        const auto t2 = std::chrono::steady_clock::now();
        if (!baseOk || !oursOk) {
            state.SkipWithError(std::string(failure(baseOk)).c_str());
            return;
        }
        const double first = std::chrono::duration<double>(t1 - t0).count();
        const double second = std::chrono::duration<double>(t2 - t1).count();
        tBase += baseFirst ? first : second;
        tOurs += baseFirst ? second : first;
        baseFirst = !baseFirst;
    }
    const double mp = double(w) * double(h) / 1e6 * double(state.iterations());
    state.counters["ours_ms_per_MP"] = tOurs * 1e3 / mp;
    state.counters["base_ms_per_MP"] = tBase * 1e3 / mp;
    state.counters["ratio"] = tBase / tOurs;
    state.counters["time_x"] = tOurs / tBase;
}
