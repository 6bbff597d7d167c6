// Win32 global memory: blocks handed across the clipboard-style interfaces.
// A handle names a block; GlobalLock gives its address.
#pragma once

#include "win32_types.h"

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GMEM_MODIFY 0x0080
#define GMEM_DISCARDABLE 0x0100
#define GMEM_SHARE 0x2000
#define GMEM_DDESHARE GMEM_SHARE
#define GMEM_INVALID_HANDLE 0x8000
#define GMEM_LOCKCOUNT 0x00FF
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

// A block of `bytes` (zeroed with GMEM_ZEROINIT). With GMEM_FIXED the handle
// is the block's address, as on Win32; with GMEM_MOVEABLE it is a handle that
// GlobalLock turns into the address. Null on failure or for unknown flags.
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
// The block's address (counting the lock of a movable block); null for an
// unknown handle.
LPVOID WINAPI GlobalLock(HGLOBAL mem);
// FALSE once a movable block's lock count is back at 0 (or for a fixed
// block); TRUE while still locked.
BOOL WINAPI GlobalUnlock(HGLOBAL mem);
// The size asked of GlobalAlloc or GlobalReAlloc; 0 for an unknown handle.
SIZE_T WINAPI GlobalSize(HGLOBAL mem);
// The handle of the block at this address (the address of a locked block or
// a fixed handle); null when none.
HGLOBAL WINAPI GlobalHandle(LPCVOID address);
// Frees the block: null on success, the handle when it is unknown.
HGLOBAL WINAPI GlobalFree(HGLOBAL mem);

// Win32 virtual memory: whole pages, reserved and committed at once.
#define MEM_COMMIT 0x00001000
#define MEM_RESERVE 0x00002000
#define MEM_RELEASE 0x00008000
#define MEM_LARGE_PAGES 0x20000000
#define PAGE_READWRITE 0x04

// A zeroed block of pages at an address of the system's choosing (address
// must be null; type MEM_RESERVE | MEM_COMMIT, with MEM_LARGE_PAGES for a
// size that is a multiple of GetLargePageMinimum; protect PAGE_READWRITE).
// Large pages here are the system's transparent huge pages: asked for, not
// guaranteed, and needing no privilege. Null on failure.
LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect);
// Frees a whole block VirtualAlloc made (size 0, MEM_RELEASE); FALSE for
// anything else.
BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD type);
// The size of a large page.
SIZE_T WINAPI GetLargePageMinimum(void);
