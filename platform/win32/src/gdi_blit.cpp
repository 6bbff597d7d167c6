// Transfers between device contexts: BitBlt, StretchBlt and PatBlt through
// the ternary raster operations, and single pixels.
#include "gdi_internal.h"
#include "desktop_internal.h"

#include <cstring>
#include <vector>

using namespace gdi;

namespace {

// The source of a blit: the pixels of a context. A copy when the source is
// the destination's own surface, so that overlapping rectangles read the
// pixels as they were before the blit.
bool SourceOf(DcAccess& src, const Surface& dest, Source& out, std::vector<BYTE>& copy)
{
    const Surface& s = src.surface();
    if (s.base == nullptr)
        return false;  // the screen keeps nothing to read
    out.format = s.format;
    out.width = s.width;
    out.height = s.height;
    out.base = s.base;
    out.stride = s.stride;
    out.rowLo = 0;
    out.rowHi = s.height;
    out.mono = s.mono;
    out.window = s.window;
    out.bkColor = src.dc().bkColor;
    if (s.base == dest.base) {
        const int64_t rowBytes = s.stride < 0 ? -s.stride : s.stride;
        copy.resize(size_t(rowBytes * s.height));
        for (int y = 0; y < s.height; ++y)
            std::memcpy(copy.data() + y * rowBytes, s.Row(y), size_t(rowBytes));
        out.base = copy.data();
        out.stride = rowBytes;
    }
    return true;
}

BOOL Blit(HDC dest, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
          DWORD rop)
{
    DcAccess to(dest);
    if (!to.ok())
        return FALSE;
    Geometry g{x, y, w, h, xSrc, ySrc, wSrc, hSrc};
    if (!RopUsesSource(BYTE(rop >> 16)))
        return Transfer(to, nullptr, g, rop) ? TRUE : FALSE;
    if (src == nullptr)
        return FALSE;
    DcAccess from(src, to);
    if (!from.ok())
        return FALSE;
    Source source;
    std::vector<BYTE> copy;
    if (!SourceOf(from, to.surface(), source, copy))
        return TRUE;
    return Transfer(to, &source, g, rop) ? TRUE : FALSE;
}

}  // namespace

BOOL WINAPI StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int xSrc, int ySrc,
                       int wSrc, int hSrc, DWORD rop)
{
    if (desktop::detail::ShouldFail("StretchBlt"))
        return FALSE;
    return Blit(dest, x, y, w, h, src, xSrc, ySrc, wSrc, hSrc, rop);
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, DWORD rop)
{
    if (desktop::detail::ShouldFail("BitBlt"))
        return FALSE;
    return Blit(dest, x, y, w, h, src, xSrc, ySrc, w, h, rop);
}

BOOL WINAPI PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop)
{
    if (RopUsesSource(BYTE(rop >> 16)))
        return FALSE;
    DcAccess to(dc);
    if (!to.ok())
        return FALSE;
    // A negative size fills the rectangle between the two corners, as
    // rectangles do: one pixel further back than a blit's extent, which
    // includes its origin's pixel.
    if (w < 0 && x > INT32_MIN)
        --x;
    if (h < 0 && y > INT32_MIN)
        --y;
    return Transfer(to, nullptr, Geometry{x, y, w, h, x, y, w, h}, rop) ? TRUE : FALSE;
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
