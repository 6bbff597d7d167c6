// GDI regions kept in banded form (see win32_region.h): creation from a
// rectangle or a rectangle list, the four set operations and copy, the
// bounding box and the rectangle list.
#include "region_internal.h"
#include "desktop_internal.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// A handle is this base plus a serial number, apart from every other kind.
constexpr uintptr_t kRegionHandleBase = uintptr_t(0x52) << 32;

struct Span {
    LONG left, right;  // [left, right)
    bool operator==(const Span& o) const { return left == o.left && right == o.right; }
};

struct Band {
    LONG top, bottom;  // [top, bottom)
    std::vector<Span> spans;
};

using Region = std::vector<Band>;

struct Registry {
    std::mutex mutex;
    std::map<uintptr_t, std::unique_ptr<Region>> regions;
    uint64_t serial = 0;

    Region* Find(HRGN handle)
    {
        auto it = regions.find(reinterpret_cast<uintptr_t>(handle));
        return it == regions.end() ? nullptr : it->second.get();
    }
};

Registry& Regions()
{
    // Never destroyed: static objects may still free regions at exit.
    static Registry* registry = new Registry;
    return *registry;
}

// The spans of one band after a set operation: every elementary interval
// between two boundaries is kept when op says so, and neighbours that touch
// are merged, so spans never touch.
std::vector<Span> CombineSpans(const std::vector<Span>& a, const std::vector<Span>& b, int mode)
{
    std::vector<LONG> xs;
    for (const Span& s : a) {
        xs.push_back(s.left);
        xs.push_back(s.right);
    }
    for (const Span& s : b) {
        xs.push_back(s.left);
        xs.push_back(s.right);
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::vector<Span> out;
    size_t ia = 0, ib = 0;
    for (size_t i = 0; i + 1 < xs.size(); i++) {
        const LONG x0 = xs[i], x1 = xs[i + 1];
        while (ia < a.size() && a[ia].right <= x0)
            ia++;
        while (ib < b.size() && b[ib].right <= x0)
            ib++;
        const bool inA = ia < a.size() && a[ia].left <= x0;
        const bool inB = ib < b.size() && b[ib].left <= x0;
        bool keep = false;
        switch (mode) {
        case RGN_AND: keep = inA && inB; break;
        case RGN_OR: keep = inA || inB; break;
        case RGN_XOR: keep = inA != inB; break;
        case RGN_DIFF: keep = inA && !inB; break;
        default: break;
        }
        if (!keep)
            continue;
        if (!out.empty() && out.back().right == x0)
            out.back().right = x1;
        else
            out.push_back(Span{x0, x1});
    }
    return out;
}

// The spans of the band of r that covers row y, or none.
const std::vector<Span>& SpansAt(const Region& r, size_t& cursor, LONG y)
{
    static const std::vector<Span> none;
    while (cursor < r.size() && r[cursor].bottom <= y)
        cursor++;
    if (cursor < r.size() && r[cursor].top <= y)
        return r[cursor].spans;
    return none;
}

// a op b, band by band over every horizontal boundary of either; bands that
// touch and hold the same spans are merged.
Region Combine(const Region& a, const Region& b, int mode)
{
    std::vector<LONG> ys;
    for (const Band& band : a) {
        ys.push_back(band.top);
        ys.push_back(band.bottom);
    }
    for (const Band& band : b) {
        ys.push_back(band.top);
        ys.push_back(band.bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    Region out;
    size_t ca = 0, cb = 0;
    for (size_t i = 0; i + 1 < ys.size(); i++) {
        const LONG y0 = ys[i], y1 = ys[i + 1];
        std::vector<Span> spans = CombineSpans(SpansAt(a, ca, y0), SpansAt(b, cb, y0), mode);
        if (spans.empty())
            continue;
        if (!out.empty() && out.back().bottom == y0 && out.back().spans == spans)
            out.back().bottom = y1;
        else
            out.push_back(Band{y0, y1, std::move(spans)});
    }
    return out;
}

size_t RectCount(const Region& r)
{
    size_t n = 0;
    for (const Band& band : r)
        n += band.spans.size();
    return n;
}

int TypeOf(const Region& r)
{
    size_t n = RectCount(r);
    return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT BoundsOf(const Region& r)
{
    RECT box = {0, 0, 0, 0};
    if (r.empty())
        return box;
    box.top = r.front().top;
    box.bottom = r.back().bottom;
    box.left = r.front().spans.front().left;
    box.right = r.front().spans.back().right;
    for (const Band& band : r) {
        box.left = std::min(box.left, band.spans.front().left);
        box.right = std::max(box.right, band.spans.back().right);
    }
    return box;
}

// The union of many rectangles, merged in pairs level by level so that the
// work stays near n log n whatever their order.
Region UnionOf(std::vector<Region> parts)
{
    if (parts.empty())
        return Region();
    while (parts.size() > 1) {
        std::vector<Region> next;
        for (size_t i = 0; i + 1 < parts.size(); i += 2)
            next.push_back(Combine(parts[i], parts[i + 1], RGN_OR));
        if (parts.size() % 2 == 1)
            next.push_back(std::move(parts.back()));
        parts = std::move(next);
    }
    return std::move(parts.front());
}

// The rectangles as they are when they already form a region's bands: each
// band's rectangles share its top and bottom and follow each other left to
// right, and the bands follow each other downwards (a presentation's list
// of changed rows is such a list). Touching spans and touching bands with
// the same spans are merged, as Combine leaves them. False when the list
// is in any other form.
bool BandsOf(const RGNDATA* data, DWORD count, Region& out)
{
    out.clear();
    for (DWORD i = 0; i < count; i++) {
        RECT rc;
        memcpy(&rc, data->Buffer + (size_t)i * sizeof(RECT), sizeof(rc));
        if (rc.left >= rc.right || rc.top >= rc.bottom)
            return false;
        if (!out.empty() && out.back().top == rc.top && out.back().bottom == rc.bottom) {
            Span& last = out.back().spans.back();
            if (rc.left < last.right)
                return false;
            if (rc.left == last.right)
                last.right = rc.right;
            else
                out.back().spans.push_back(Span{rc.left, rc.right});
            continue;
        }
        if (!out.empty() && rc.top < out.back().bottom)
            return false;
        if (out.size() >= 2) {  // the band before the last is complete
            Band& before = out[out.size() - 2];
            if (before.bottom == out.back().top && before.spans == out.back().spans) {
                before.bottom = out.back().bottom;
                out.pop_back();
            }
        }
        out.push_back(Band{rc.top, rc.bottom, {Span{rc.left, rc.right}}});
    }
    if (out.size() >= 2) {
        Band& before = out[out.size() - 2];
        if (before.bottom == out.back().top && before.spans == out.back().spans) {
            before.bottom = out.back().bottom;
            out.pop_back();
        }
    }
    return true;
}

HRGN Register(std::unique_ptr<Region> region)
{
    Registry& r = Regions();
    std::lock_guard<std::mutex> lock(r.mutex);
    const uintptr_t handle = kRegionHandleBase + ++r.serial * 16;
    r.regions[handle] = std::move(region);
    return reinterpret_cast<HRGN>(handle);
}

}  // namespace

namespace win32region {

bool DeleteRegion(HGDIOBJ handle)
{
    Registry& r = Regions();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.regions.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
}

}  // namespace win32region

HRGN WINAPI CreateRectRgn(int left, int top, int right, int bottom)
{
    if (desktop::detail::ShouldFail("CreateRectRgn"))
        return nullptr;
    std::unique_ptr<Region> region(new Region);
    const LONG l = std::min(left, right), rt = std::max(left, right);
    const LONG t = std::min(top, bottom), b = std::max(top, bottom);
    if (l < rt && t < b)
        region->push_back(Band{t, b, {Span{l, rt}}});
    return Register(std::move(region));
}

HRGN WINAPI ExtCreateRegion(const XFORM* transform, DWORD bytes, const RGNDATA* data)
{
    if (transform != nullptr || data == nullptr || bytes < sizeof(RGNDATAHEADER))
        return nullptr;
    RGNDATAHEADER header;
    memcpy(&header, &data->rdh, sizeof(header));
    if (header.iType != RDH_RECTANGLES ||
        (uint64_t)header.nCount * sizeof(RECT) > bytes - sizeof(RGNDATAHEADER))
        return nullptr;
    std::unique_ptr<Region> banded(new Region);
    if (BandsOf(data, header.nCount, *banded))
        return Register(std::move(banded));
    std::vector<Region> parts;
    parts.reserve(header.nCount);
    for (DWORD i = 0; i < header.nCount; i++) {
        RECT rc;
        memcpy(&rc, data->Buffer + (size_t)i * sizeof(RECT), sizeof(rc));
        const LONG l = std::min(rc.left, rc.right), rt = std::max(rc.left, rc.right);
        const LONG t = std::min(rc.top, rc.bottom), b = std::max(rc.top, rc.bottom);
        if (l < rt && t < b)
            parts.push_back(Region{Band{t, b, {Span{l, rt}}}});
    }
    return Register(std::unique_ptr<Region>(new Region(UnionOf(std::move(parts)))));
}

HRGN WINAPI CreateRectRgnIndirect(const RECT* rect)
{
    if (rect == nullptr)
        return nullptr;
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int WINAPI CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode)
{
    Registry& r = Regions();
    std::lock_guard<std::mutex> lock(r.mutex);
    Region* d = r.Find(dest);
    Region* a = r.Find(src1);
    if (d == nullptr || a == nullptr || mode < RGN_AND || mode > RGN_COPY)
        return ERROR;
    if (mode == RGN_COPY) {
        *d = *a;
        return TypeOf(*d);
    }
    Region* b = r.Find(src2);
    if (b == nullptr)
        return ERROR;
    Region result = Combine(*a, *b, mode);
    *d = std::move(result);
    return TypeOf(*d);
}

DWORD WINAPI GetRegionData(HRGN region, DWORD count, LPRGNDATA data)
{
    Registry& r = Regions();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Region* rgn = r.Find(region);
    if (rgn == nullptr)
        return 0;
    const size_t n = RectCount(*rgn);
    const uint64_t needed = sizeof(RGNDATAHEADER) + (uint64_t)n * sizeof(RECT);
    if (needed > UINT32_MAX)
        return 0;
    if (data == nullptr)
        return (DWORD)needed;
    if (count < needed)
        return 0;
    RGNDATAHEADER header;
    header.dwSize = sizeof(RGNDATAHEADER);
    header.iType = RDH_RECTANGLES;
    header.nCount = (DWORD)n;
    header.nRgnSize = (DWORD)(n * sizeof(RECT));
    header.rcBound = BoundsOf(*rgn);
    memcpy(&data->rdh, &header, sizeof(header));
    char* out = data->Buffer;
    for (const Band& band : *rgn) {
        for (const Span& s : band.spans) {
            const RECT rc = {s.left, band.top, s.right, band.bottom};
            memcpy(out, &rc, sizeof(rc));
            out += sizeof(rc);
        }
    }
    // The bytes written, however large the buffer was.
    return (DWORD)needed;
}

int WINAPI GetRgnBox(HRGN region, LPRECT rect)
{
    Registry& r = Regions();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Region* rgn = r.Find(region);
    if (rgn == nullptr || rect == nullptr)
        return ERROR;
    *rect = BoundsOf(*rgn);
    return TypeOf(*rgn);
}

BOOL WINAPI PtInRegion(HRGN region, int x, int y)
{
    Registry& r = Regions();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Region* rgn = r.Find(region);
    if (rgn == nullptr)
        return FALSE;
    for (const Band& band : *rgn) {
        if (y < band.top || y >= band.bottom)
            continue;
        for (const Span& s : band.spans) {
            if (s.left <= x && x < s.right)
                return TRUE;
        }
    }
    return FALSE;
}
