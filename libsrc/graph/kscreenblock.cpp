// Memory for a device's own back screen: large pages for a large one, the
// heap otherwise or when the system refuses them.
#include "kscreenblock.h"

#include <atomic>
#include <new>

namespace kscreenblock {

namespace {

std::atomic<PageAllocator> g_alloc{&VirtualAlloc};

}  // namespace

PageAllocator SetPageAllocator(PageAllocator alloc) noexcept
{
    return g_alloc.exchange(alloc != NULL ? alloc : &VirtualAlloc);
}

void* Allocate(size_t bytes, bool& paged) noexcept
{
    paged = false;
    const PageAllocator alloc = g_alloc.load();
    if (bytes == 0)
        return NULL;
    const SIZE_T large = GetLargePageMinimum();
    if (bytes >= kLargeFrom && large != 0 && bytes <= ~SIZE_T(0) - large) {
        const SIZE_T size = (bytes + large - 1) / large * large;
        void* p = alloc(NULL, size, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES, PAGE_READWRITE);
        if (p != NULL) {
            paged = true;
            return p;
        }
    }
    return ::operator new(bytes, std::align_val_t(kAlign), std::nothrow);
}

void Free(void* block, bool paged) noexcept
{
    if (block == NULL)
        return;
    if (paged)
        VirtualFree(block, 0, MEM_RELEASE);
    else
        ::operator delete(block, std::align_val_t(kAlign));
}

}  // namespace kscreenblock
