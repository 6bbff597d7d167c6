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
