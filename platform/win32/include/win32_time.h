// Win32 time: the millisecond clock and Sleep. Both run on the desktop's
// clock: the real (steady) clock by default, or a manual clock that a test
// sets and advances, which Sleep advances instead of waiting.
#pragma once

#include "win32_types.h"

// Milliseconds on the desktop's clock; wraps around after 2^32 ms.
DWORD WINAPI timeGetTime(void);
void WINAPI Sleep(DWORD milliseconds);
