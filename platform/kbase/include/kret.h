// Reports and log lines. Formats are printf formats and carry no line end:
// each call is one line.
#pragma once

// Result codes of the engine's operations, as KRet returns them. 0 is
// success; E_FAIL (0x80004005, from windows.h) keeps its Win32 name.
constexpr long KRET_OK = 0;
constexpr long KRET_ERROR = -1;      // the call cannot be done as asked
constexpr long KRET_BADARG = 2;      // nothing to draw: clipped away, or a sprite of the wrong kind
constexpr long KRET_NOMEMORY = 3;    // an allocation failed
constexpr long KRET_CANTOPEN = 7;    // a file cannot be opened (or written)
constexpr long KRET_MALFORMED = 8;   // a file's contents are not what its format says

// Reports the formatted message and returns `code` unchanged, so a failing
// call can end with `return KRet(code, ...)`.
long KRet(long code, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A diagnostic line.
void Debug(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A run-time event line.
void OutputLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
