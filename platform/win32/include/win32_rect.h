// Win32 rectangle helpers. Right and bottom are exclusive; a rectangle whose
// right is not beyond its left, or whose bottom is not below its top, is
// empty. Calls that take a null rectangle fail (FALSE).
#pragma once

#include "win32_types.h"

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL WINAPI SetRectEmpty(LPRECT rect);
BOOL WINAPI CopyRect(LPRECT dest, const RECT* src);
BOOL WINAPI IsRectEmpty(const RECT* rect);  // TRUE for a null rectangle too
BOOL WINAPI EqualRect(const RECT* a, const RECT* b);
BOOL WINAPI PtInRect(const RECT* rect, POINT pt);
BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy);
BOOL WINAPI InflateRect(LPRECT rect, int dx, int dy);
// The overlap of a and b; when they do not overlap, dest is emptied to
// (0, 0, 0, 0) and the result is FALSE.
BOOL WINAPI IntersectRect(LPRECT dest, const RECT* a, const RECT* b);
// The smallest rectangle holding a and b; empty rectangles are left out. When
// both are empty, dest is emptied and the result is FALSE.
BOOL WINAPI UnionRect(LPRECT dest, const RECT* a, const RECT* b);
