// The counting allocator: malloc and its kin replaced for the whole test
// process, each forwarding to the C library's own allocator and adding what
// it hands out to the counts while a counter is alive.
#include "alloc_counter.h"

#include <atomic>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KESTREL_ALLOC_COUNTER 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define KESTREL_ALLOC_COUNTER 0
#endif
#endif
#ifndef KESTREL_ALLOC_COUNTER
#define KESTREL_ALLOC_COUNTER 1
#endif

namespace {

std::atomic<int> g_counters{0};
std::atomic<long long> g_held{0};
std::atomic<long long> g_peak{0};
std::atomic<unsigned long long> g_total{0};

}  // namespace

#if KESTREL_ALLOC_COUNTER
#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {

void Gained(void* p)
{
    if (p == nullptr || g_counters.load(std::memory_order_relaxed) == 0)
        return;
    const long long n = (long long)malloc_usable_size(p);
    g_total += (unsigned long long)n;
    const long long held = g_held += n;
    long long peak = g_peak.load();
    while (held > peak && !g_peak.compare_exchange_weak(peak, held)) {
    }
}

void Lost(void* p)
{
    if (p != nullptr && g_counters.load(std::memory_order_relaxed) != 0)
        g_held -= (long long)malloc_usable_size(p);
}

}  // namespace

extern "C" void* malloc(size_t n)
{
    void* p = __libc_malloc(n);
    Gained(p);
    return p;
}

extern "C" void* calloc(size_t n, size_t size)
{
    void* p = __libc_calloc(n, size);
    Gained(p);
    return p;
}

extern "C" void* realloc(void* old, size_t n)
{
    Lost(old);
    void* p = __libc_realloc(old, n);
    // A failed realloc keeps the old block.
    Gained(p != nullptr ? p : (n != 0 ? old : nullptr));
    return p;
}

extern "C" void free(void* p)
{
    Lost(p);
    __libc_free(p);
}
#endif

AllocCounter::AllocCounter()
{
    if (g_counters++ == 0) {
        g_held = 0;
        g_peak = 0;
        g_total = 0;
    }
}

AllocCounter::~AllocCounter()
{
    g_counters--;
}

bool AllocCounter::Available()
{
    return KESTREL_ALLOC_COUNTER != 0;
}

size_t AllocCounter::Total() const
{
    return (size_t)g_total.load();
}

size_t AllocCounter::Peak() const
{
    return (size_t)g_peak.load();
}
