// Counts the bytes the process allocates through malloc, calloc and realloc
// (operator new goes through malloc) while a counter is alive, so that a test
// can say a small file never costs much memory without timing anything.
// Under the sanitizers, whose runtime owns the allocator, nothing is counted
// and Available() is false.
#pragma once
#include <cstddef>

class AllocCounter {
public:
    AllocCounter();
    ~AllocCounter();
    AllocCounter(const AllocCounter&) = delete;
    AllocCounter& operator=(const AllocCounter&) = delete;

    static bool Available();
    // Bytes allocated since the counter was made, all together.
    size_t Total() const;
    // The most bytes held at once since then, above what was held before.
    size_t Peak() const;
};
