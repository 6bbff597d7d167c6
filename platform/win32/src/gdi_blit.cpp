// Transfers between device contexts: BitBlt, StretchBlt and PatBlt through
// the ternary raster operations, and single pixels.
#include "gdi_internal.h"

using namespace gdi;

BOOL WINAPI BitBlt(HDC, int, int, int, int, HDC, int, int, DWORD)
{
    return FALSE;
}

BOOL WINAPI StretchBlt(HDC, int, int, int, int, HDC, int, int, int, int, DWORD)
{
    return FALSE;
}

BOOL WINAPI PatBlt(HDC, int, int, int, int, DWORD)
{
    return FALSE;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y)
{
    DcAccess access(hdc);
    if (!access.ok() || access.surface().base == nullptr)
        return CLR_INVALID;
    for (const RECT& rc : access.visible()) {
        if (x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom) {
            const Surface& s = access.surface();
            return DecodeColor(*s.format, ReadPixel(*s.format, s.Row(y), x));
        }
    }
    return CLR_INVALID;
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    DcAccess access(hdc);
    if (!access.ok())
        return CLR_INVALID;
    const Surface& s = access.surface();
    for (const RECT& rc : access.visible()) {
        if (x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom) {
            const DWORD value = EncodeColor(*s.format, color & 0xFFFFFF);
            if (s.base != nullptr)
                WritePixel(*s.format, s.Row(y), x, value);
            return DecodeColor(*s.format, value);
        }
    }
    return CLR_INVALID;
}
