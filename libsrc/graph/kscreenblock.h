// Memory for a device's own back screen. A screen is read and written whole
// every frame while other screens (the window's, a game's pictures) take
// turns with it; on 4 KB pages its rows alone need hundreds of page-table
// entries, so a large one goes on large pages. Pictures never come here: each
// would be rounded up to a large page.
#pragma once
#include <windows.h>
#include <cstddef>

namespace kscreenblock {

// Blocks from this size up are asked for on large pages.
const size_t kLargeFrom = size_t(512) << 10;
// Every block starts on this boundary (the blitters' wide loads).
const size_t kAlign = 32;

// How a large block is asked for: VirtualAlloc's signature.
typedef LPVOID(WINAPI* PageAllocator)(LPVOID, SIZE_T, DWORD, DWORD);

// bytes on kAlign, or null. paged tells whether the block came from the
// page allocator (large pages asked for, the block rounded up to whole
// ones) or from the heap (a smaller block, or large pages refused); the
// heap's block is aligned operator new's, so it may be given back as any
// other aligned block of the heap. Free must be told the same.
void* Allocate(size_t bytes, bool& paged) noexcept;
void Free(void* block, bool paged) noexcept;

// Puts alloc in VirtualAlloc's place (null: VirtualAlloc) and returns the
// one it replaces: how a test sees the heap taken when large pages are
// refused.
PageAllocator SetPageAllocator(PageAllocator alloc) noexcept;

}  // namespace kscreenblock
