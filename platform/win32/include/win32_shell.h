// Shell requests. The desktop launches nothing: ShellExecuteA records each
// request (desktop::TakeShellRequests reads them) and answers as a launch
// that succeeded.
#pragma once

#include "win32_types.h"

// Opens `file` with `operation` ("open", "print", ...; null means the
// default verb). A result above 32 means success, as on Win32; the
// desktop's successful answer is 42. A null or empty file fails with
// ERROR_FILE_NOT_FOUND's value, 2, and records nothing.
HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCmd);
