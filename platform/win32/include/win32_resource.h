// Win32 resources: data a module carries, found by type and name. On the
// headless desktop the host (or a test) registers the data for a module
// first; the Win32 calls then read that table.
#pragma once

#include "win32_types.h"

// Standard resource types, given as numbers.
#define RT_CURSOR MAKEINTRESOURCE(1)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_MENU MAKEINTRESOURCE(4)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_FONTDIR MAKEINTRESOURCE(7)
#define RT_FONT MAKEINTRESOURCE(8)
#define RT_ACCELERATOR MAKEINTRESOURCE(9)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_MESSAGETABLE MAKEINTRESOURCE(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCE(12)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)
#define RT_VERSION MAKEINTRESOURCE(16)

// The module of the program itself for a null name: one fixed handle, the
// usual load address of a program, under which the program registers its
// resources. The program loads no other module here, so any name gives null.
HMODULE WINAPI GetModuleHandleA(LPCSTR name);

// Type and name are strings (compared without regard to case) or numbers made
// with MAKEINTRESOURCE. Null when the module holds no such resource.
HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
// Bytes of the resource; 0 for a handle that names none.
DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);
// A handle to the resource's data; null for a handle that names none.
HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
// The first byte of the data (read-only); null for an unknown handle.
LPVOID WINAPI LockResource(HGLOBAL data);
// Resource data lives as long as its module: nothing to free (always FALSE).
BOOL WINAPI FreeResource(HGLOBAL data);

namespace desktop {

// Makes `data` (size bytes, copied) the resource of that type and name in the
// module, replacing one registered before under the same three keys (whose
// handles then no longer name anything). False for a null type or name or
// when memory runs out.
bool RegisterResource(HMODULE module, LPCSTR type, LPCSTR name, const void* data, DWORD size);
// Forgets every registered resource.
void ClearResources();

}  // namespace desktop
