// Clipping of device contexts: the clip region (kept as its banded
// rectangles in device coordinates), combined with regions by the region
// code's own set operations, and what can be drawn.
#include "gdi_internal.h"
#include "region_internal.h"

#include <algorithm>
#include <cstring>

using namespace gdi;

namespace {

// A region holding the rectangles; null when it cannot be made.
HRGN RegionOf(const std::vector<RECT>& rects)
{
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    RGNDATAHEADER header = {};
    header.dwSize = sizeof(RGNDATAHEADER);
    header.iType = RDH_RECTANGLES;
    header.nCount = DWORD(rects.size());
    header.nRgnSize = DWORD(rects.size() * sizeof(RECT));
    std::memcpy(data.data(), &header, sizeof(header));
    if (!rects.empty())
        std::memcpy(data.data() + sizeof(header), rects.data(), rects.size() * sizeof(RECT));
    return ExtCreateRegion(nullptr, DWORD(data.size()), reinterpret_cast<const RGNDATA*>(data.data()));
}

// The region's banded rectangles; false for an unknown region.
bool RectsOf(HRGN region, std::vector<RECT>& rects)
{
    const DWORD bytes = GetRegionData(region, 0, nullptr);
    if (bytes < sizeof(RGNDATAHEADER))
        return false;
    // Kept from call to call: a region selected every frame allocates nothing.
    static thread_local std::vector<BYTE> data;
    data.resize(bytes);
    if (GetRegionData(region, bytes, reinterpret_cast<RGNDATA*>(data.data())) == 0)
        return false;
    RGNDATAHEADER header;
    std::memcpy(&header, data.data(), sizeof(header));
    rects.resize(header.nCount);
    if (header.nCount != 0)
        std::memcpy(rects.data(), data.data() + sizeof(header), header.nCount * sizeof(RECT));
    return true;
}

int TypeOfRects(const std::vector<RECT>& rects)
{
    return rects.empty() ? NULLREGION : rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT BoundsOf(const std::vector<RECT>& rects)
{
    RECT box = {0, 0, 0, 0};
    for (size_t i = 0; i < rects.size(); ++i) {
        const RECT& rc = rects[i];
        if (i == 0) {
            box = rc;
            continue;
        }
        box.left = std::min(box.left, rc.left);
        box.top = std::min(box.top, rc.top);
        box.right = std::max(box.right, rc.right);
        box.bottom = std::max(box.bottom, rc.bottom);
    }
    return box;
}

}  // namespace

int WINAPI ExtSelectClipRgn(HDC hdc, HRGN region, int mode)
{
    if (mode < RGN_AND || mode > RGN_COPY)
        return ERROR;
    DcAccess access(hdc);
    if (!access.ok())
        return ERROR;
    Dc& dc = access.dc();
    if (region == nullptr) {
        if (mode != RGN_COPY)
            return ERROR;
        dc.hasClip = false;
        dc.clip.clear();
        access.Refresh();
        return TypeOfRects(access.visible());
    }
    static thread_local std::vector<RECT> given;  // as RectsOf's bytes
    if (!RectsOf(region, given))
        return ERROR;
    if (mode == RGN_COPY) {
        dc.clip.assign(given.begin(), given.end());  // in the room the clip had
    } else {
        std::vector<RECT> result;
        // Without a clip region the whole surface is the current one.
        const std::vector<RECT> current = dc.hasClip ? dc.clip : std::vector<RECT>{access.bounds()};
        const HRGN a = RegionOf(current);
        const HRGN b = RegionOf(given);
        const bool done = a != nullptr && b != nullptr && CombineRgn(a, a, b, mode) != ERROR &&
                          RectsOf(a, result);
        win32region::DeleteRegion(a);
        win32region::DeleteRegion(b);
        if (!done)
            return ERROR;
        dc.clip = std::move(result);
    }
    dc.hasClip = true;
    access.Refresh();
    return TypeOfRects(access.visible());
}

int WINAPI SelectClipRgn(HDC dc, HRGN region)
{
    return ExtSelectClipRgn(dc, region, RGN_COPY);
}

int WINAPI GetClipBox(HDC hdc, LPRECT rect)
{
    if (rect == nullptr)
        return ERROR;
    DcAccess access(hdc);
    if (!access.ok())
        return ERROR;
    *rect = BoundsOf(access.visible());
    return TypeOfRects(access.visible());
}

BOOL WINAPI RectVisible(HDC hdc, const RECT* rect)
{
    if (rect == nullptr)
        return FALSE;
    const LONG l = std::min(rect->left, rect->right), r = std::max(rect->left, rect->right);
    const LONG t = std::min(rect->top, rect->bottom), b = std::max(rect->top, rect->bottom);
    DcAccess access(hdc);
    if (!access.ok())
        return FALSE;
    for (const RECT& rc : access.visible())
        if (rc.left < r && l < rc.right && rc.top < b && t < rc.bottom)
            return TRUE;
    return FALSE;
}
