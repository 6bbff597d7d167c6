// The generic names of Win32 (no A or W suffix), mapped as an ANSI build maps
// them: every function and record this layer offers in its A form is also
// reachable by its plain name, so ordinary Win32 code compiles unchanged.
// This layer has no wide-character forms, so the mapping does not depend on
// UNICODE. The plain names are macros, as in Win32, so a member function
// named after one (KGraph::CreateFontA) answers to the plain name too.
#pragma once

// Text characters of an ANSI build.
typedef char TCHAR;
typedef TCHAR* LPTSTR;
typedef const TCHAR* LPCTSTR;
#ifndef TEXT
#define TEXT(quote) quote
#endif

// Records.
typedef WNDCLASSA WNDCLASS;
typedef PWNDCLASSA PWNDCLASS;
typedef LPWNDCLASSA LPWNDCLASS;
typedef CREATESTRUCTA CREATESTRUCT;
typedef LPCREATESTRUCTA LPCREATESTRUCT;
typedef LOGFONTA LOGFONT;
typedef PLOGFONTA PLOGFONT;
typedef LPLOGFONTA LPLOGFONT;
typedef TEXTMETRICA TEXTMETRIC;
typedef PTEXTMETRICA PTEXTMETRIC;
typedef LPTEXTMETRICA LPTEXTMETRIC;
typedef DEVMODEA DEVMODE;
typedef PDEVMODEA PDEVMODE;
typedef LPDEVMODEA LPDEVMODE;

// Classes and windows.
#define RegisterClass RegisterClassA
#define UnregisterClass UnregisterClassA
#define CreateWindowA(className, windowName, style, x, y, width, height, parent, menu, \
                      instance, param)                                               \
    CreateWindowExA(0L, className, windowName, style, x, y, width, height, parent, menu,  \
                    instance, param)
#define CreateWindow CreateWindowA
#define CreateWindowEx CreateWindowExA
#define DefWindowProc DefWindowProcA
#define GetWindowLong GetWindowLongA
#define SetWindowLong SetWindowLongA
#define GetWindowLongPtr GetWindowLongPtrA
#define SetWindowLongPtr SetWindowLongPtrA
#define GetClassLong GetClassLongA
#define SetClassLong SetClassLongA
#define GetClassLongPtr GetClassLongPtrA
#define SetClassLongPtr SetClassLongPtrA
#define LoadCursor LoadCursorA
#define LoadIcon LoadIconA
#define MessageBox MessageBoxA
#define GetWindowText GetWindowTextA
#define GetWindowTextLength GetWindowTextLengthA
#define SetWindowText SetWindowTextA

// The message loop and messages.
#define GetMessage GetMessageA
#define PeekMessage PeekMessageA
#define DispatchMessage DispatchMessageA
#define PostMessage PostMessageA
#define SendMessage SendMessageA

// Fonts, display modes, resources, sounds and strings.
#define CreateFont CreateFontA
#define CreateFontIndirect CreateFontIndirectA
#define GetTextMetrics GetTextMetricsA
#define GetGlyphOutline GetGlyphOutlineA
#define GetObject GetObjectA
#define DrawText DrawTextA
#define ExtTextOut ExtTextOutA
#define GetTextExtentPoint32 GetTextExtentPoint32A
#define EnumDisplaySettings EnumDisplaySettingsA
#define FindResource FindResourceA
#define GetModuleHandle GetModuleHandleA
#define PlaySound PlaySoundA
#define ShellExecute ShellExecuteA
#define lstrlen lstrlenA
#define wsprintf wsprintfA
