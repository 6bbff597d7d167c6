// Device-independent rows to and from bitmaps and contexts: StretchDIBits,
// GetDIBits, SetDIBits and CreateDIBitmap.
#include "gdi_internal.h"

using namespace gdi;

int WINAPI StretchDIBits(HDC, int, int, int, int, int, int, int, int, const void*,
                         const BITMAPINFO*, UINT, DWORD)
{
    return 0;
}

int WINAPI GetDIBits(HDC, HBITMAP, UINT, UINT, void*, BITMAPINFO*, UINT)
{
    return 0;
}

int WINAPI SetDIBits(HDC, HBITMAP, UINT, UINT, const void*, const BITMAPINFO*, UINT)
{
    return 0;
}

HBITMAP WINAPI CreateDIBitmap(HDC, const BITMAPINFOHEADER*, DWORD, const void*,
                              const BITMAPINFO*, UINT)
{
    return nullptr;
}
