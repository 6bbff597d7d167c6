// Message crackers: the signed client coordinates packed into a mouse
// message's LPARAM (LOWORD and HIWORD would lose the sign of a point left of
// or above the window).
#pragma once

#include <windows.h>

#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
