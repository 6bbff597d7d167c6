// Virtual memory blocks over mmap. Large pages are the kernel's transparent
// huge pages, asked for on a block aligned to their size.
#include <windows.h>

#include <sys/mman.h>

#include <cstdint>
#include <map>
#include <mutex>

namespace {

const SIZE_T kLargePage = SIZE_T(2) << 20;

struct Mappings {
    std::mutex mutex;
    std::map<uintptr_t, SIZE_T> sizes;  // block address -> bytes mapped
};

Mappings& Blocks()
{
    static Mappings* m = new Mappings;  // never destroyed: blocks may outlive statics
    return *m;
}

// size bytes aligned to align (a multiple of the page size), or null.
void* MapAligned(SIZE_T size, SIZE_T align)
{
    const SIZE_T extra = align > 4096 ? align : 0;
    void* p = mmap(NULL, size + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return NULL;
    const uintptr_t base = reinterpret_cast<uintptr_t>(p);
    const uintptr_t start = extra != 0 ? (base + align - 1) / align * align : base;
    if (start > base)
        munmap(p, start - base);
    if (base + extra > start)
        munmap(reinterpret_cast<void*>(start + size), base + extra - start);
    return reinterpret_cast<void*>(start);
}

}  // namespace

LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect)
{
    const DWORD commit = MEM_RESERVE | MEM_COMMIT;
    const bool large = (type & MEM_LARGE_PAGES) != 0;
    if (address != NULL || size == 0 || (type & ~DWORD(MEM_LARGE_PAGES)) != commit ||
        protect != PAGE_READWRITE || (large && size % kLargePage != 0) || size > (SIZE_T(1) << 46))
        return NULL;
    void* p = MapAligned(size, large ? kLargePage : 4096);
    if (p == NULL)
        return NULL;
    if (large)
        madvise(p, size, MADV_HUGEPAGE);  // a hint: plain pages when refused
    Mappings& m = Blocks();
    std::lock_guard<std::mutex> lock(m.mutex);
    m.sizes[reinterpret_cast<uintptr_t>(p)] = size;
    return p;
}

BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD type)
{
    if (address == NULL || size != 0 || type != MEM_RELEASE)
        return FALSE;
    Mappings& m = Blocks();
    std::lock_guard<std::mutex> lock(m.mutex);
    auto it = m.sizes.find(reinterpret_cast<uintptr_t>(address));
    if (it == m.sizes.end())
        return FALSE;
    munmap(address, it->second);
    m.sizes.erase(it);
    return TRUE;
}

SIZE_T WINAPI GetLargePageMinimum(void)
{
    return kLargePage;
}
