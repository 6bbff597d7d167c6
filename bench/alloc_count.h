// Counts every allocation made through new, the library's only heap use in a
// frame: a benchmark reads g_allocations before and after the work it
// measures. Include from exactly one file of a benchmark program (it
// replaces the global operator new). The replacements pair malloc with free,
// which the compiler cannot see.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

static std::atomic<long> g_allocations{0};

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
