// Shell requests. ShellExecuteA records each request
// (desktop::TakeShellRequests reads them). The headless desktop launches
// nothing and answers as a launch that succeeded; a screen backend hands an
// "open" to the desktop's opener and refuses other verbs (SE_ERR_NOASSOC).
#pragma once

#include "win32_types.h"

// ShellExecuteA's failures (results of 32 and below).
#define SE_ERR_FNF 2
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

// Opens `file` with `operation` ("open", "print", ...; null means the
// default verb). A result above 32 means success, as on Win32; the
// desktop's successful answer is 42. A null or empty file fails with
// ERROR_FILE_NOT_FOUND's value, 2, and records nothing.
HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCmd);
