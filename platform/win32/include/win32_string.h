// Win32 memory and text helpers, as thin layers over the C library.
#pragma once

#include "win32_types.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#define ZeroMemory(dest, len) memset((dest), 0, (len))
#define CopyMemory(dest, src, len) memcpy((dest), (src), (len))
#define MoveMemory(dest, src, len) memmove((dest), (src), (len))
#define FillMemory(dest, len, fill) memset((dest), (fill), (len))

// Whether c begins a two-byte character in the ANSI code page, which is
// 936 (GBK) here: bytes 0x81 to 0xFE. The byte after it is the character's
// second byte, whatever its value (callers also check that it is not the
// terminating NUL).
BOOL WINAPI IsDBCSLeadByte(BYTE c);

// Length of a text in bytes; 0 for a null pointer.
int WINAPI lstrlenA(LPCSTR text);

// Lower-cases the letters A-Z in place and returns `text`, as the C library
// does in its default locale; bytes from 0x80 up are left alone.
char* _strlwr(char* text);

// Compare without regard to ASCII case, as unsigned bytes; a null pointer
// sorts before any text.
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t count);

// Formats at most count bytes into buffer. Returns the length of the text, or
// -1 when it did not fit: count - 1 bytes have then been written. Unlike
// Win32, the buffer is always NUL-terminated when count > 0, so a text that
// fits only without its NUL counts as cut (-1); callers must not rely on a
// NUL in either direction.
inline int _vsnprintf(char* buffer, size_t count, const char* format, va_list args)
{
    const int n = vsnprintf(buffer, count, format, args);
    if (n < 0)
        return -1;
    if (n > 0 && size_t(n) >= count)
        return -1;
    return n;
}

__attribute__((format(printf, 3, 4))) inline int _snprintf(char* buffer, size_t count,
                                                           const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = _vsnprintf(buffer, count, format, args);
    va_end(args);
    return n;
}

// Win32 limits wsprintfA to 1024 characters (plus the NUL); the caller's
// buffer must hold that much. Returns the number of characters stored.
__attribute__((format(printf, 2, 3))) inline int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = vsnprintf(buffer, 1025, format, args);
    va_end(args);
    if (n < 0)
        return n;
    return n > 1024 ? 1024 : n;
}
