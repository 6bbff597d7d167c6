// Win32 icons made from bitmaps: a colour bitmap and an AND mask. A
// monochrome icon has no colour bitmap; its mask is twice the icon's height,
// the AND mask above the XOR image.
#pragma once

#include "win32_types.h"

typedef struct _ICONINFO {
    BOOL fIcon;         // TRUE: an icon; FALSE: a cursor
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;   // null for a monochrome icon
} ICONINFO, *PICONINFO;

// An icon holding copies of the mask and (if any) colour bitmap; the caller
// keeps and frees its own. Null without a mask or on failure. Freed with
// DestroyIcon.
HICON WINAPI CreateIconIndirect(PICONINFO info);
// New copies of the icon's bitmaps, which the caller frees with
// DeleteObject. FALSE for an unknown icon.
BOOL WINAPI GetIconInfo(HICON icon, PICONINFO info);
// Frees an icon of CreateIconIndirect. FALSE for an unknown icon; TRUE, with
// nothing freed, for a shared icon of LoadIconA.
BOOL WINAPI DestroyIcon(HICON icon);
