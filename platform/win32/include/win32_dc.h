// Win32 GDI: memory device contexts and the calls shared by every GDI object.
// A memory context made here holds a selected font (win32_font.h); it draws
// nothing itself.
#pragma once

#include "win32_types.h"

// Stock objects.
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

// A memory device context compatible with the screen (dc null) or with the
// given context. It starts with the stock SYSTEM_FONT selected. Null on
// failure. Freed with DeleteDC.
HDC WINAPI CreateCompatibleDC(HDC dc);
// Frees a context made by CreateCompatibleDC. FALSE for any other handle.
BOOL WINAPI DeleteDC(HDC dc);
// Selects a font into a memory context and returns the font it replaces;
// null (nothing changed) for an unknown context or object.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
// One of the stock objects above; null for any other number. Stock objects
// are never freed: DeleteObject of one succeeds and does nothing.
HGDIOBJ WINAPI GetStockObject(int object);
// Frees a GDI object. FALSE, with nothing freed, for an unknown object or one
// that is still selected into a context.
BOOL WINAPI DeleteObject(HGDIOBJ object);
