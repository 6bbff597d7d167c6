// Reports and log lines. Formats are printf formats and carry no line end:
// each call is one line.
#pragma once

// Reports the formatted message and returns `code` unchanged, so a failing
// call can end with `return KRet(code, ...)`.
long KRet(long code, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A diagnostic line.
void Debug(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A run-time event line.
void OutputLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
