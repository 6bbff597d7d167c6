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

// Rows [top, bottom), covered by `count` spans of its region's list from
// `first` on.
struct Band {
    LONG top, bottom;
    size_t first, count;
};

// The bands top to bottom and their spans, left to right within each band,
// in one list: a region of many rows (a frame's changed lines) is two
// blocks, not one a row.
struct Region {
    std::vector<Band> bands;
    std::vector<Span> spans;

    const Span* SpansOf(const Band& b) const { return spans.data() + b.first; }
    void Clear()
    {
        bands.clear();
        spans.clear();
    }
    bool SameSpans(const Band& b, const Span* s, size_t n) const
    {
        return b.count == n && std::equal(s, s + n, SpansOf(b));
    }
    // A band of n spans below the others; the last band grows down to it
    // instead when it touches and holds the same spans.
    void AddBand(LONG top, LONG bottom, const Span* s, size_t n)
    {
        if (n == 0)
            return;
        if (!bands.empty() && bands.back().bottom == top && SameSpans(bands.back(), s, n)) {
            bands.back().bottom = bottom;
            return;
        }
        bands.push_back(Band{top, bottom, spans.size(), n});
        spans.insert(spans.end(), s, s + n);
    }
    // The last band joined to the one above when they touch and hold the
    // same spans.
    void MergeLast()
    {
        const size_t n = bands.size();
        if (n < 2)
            return;
        Band& above = bands[n - 2];
        const Band& last = bands[n - 1];
        if (above.bottom == last.top && SameSpans(above, SpansOf(last), last.count)) {
            above.bottom = last.bottom;
            spans.resize(last.first);
            bands.pop_back();
        }
    }
};

using Table = std::map<uintptr_t, std::unique_ptr<Region>>;
using Node = Table::node_type;

// Deleted regions kept, with the room their lists had, for the next ones
// made: a region made and deleted every frame then allocates nothing. Only
// a few, and none that grew large.
constexpr size_t kSpareRegions = 8;
constexpr size_t kSpareRoom = 1024;

struct Registry {
    std::mutex mutex;
    Table regions;
    std::vector<Node> spare;
    uint64_t serial = 0;

    Registry() { spare.reserve(kSpareRegions); }
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

// A registry node holding an empty region: a deleted one when there is one.
Node Fresh()
{
    Registry& r = Regions();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        if (!r.spare.empty()) {
            Node node = std::move(r.spare.back());
            r.spare.pop_back();
            node.mapped()->Clear();
            return node;
        }
    }
    Table one;
    one.emplace(0, std::unique_ptr<Region>(new Region));
    return one.extract(one.begin());
}

HRGN Register(Node node)
{
    Registry& r = Regions();
    std::lock_guard<std::mutex> lock(r.mutex);
    const uintptr_t handle = kRegionHandleBase + ++r.serial * 16;
    node.key() = handle;
    r.regions.insert(std::move(node));
    return reinterpret_cast<HRGN>(handle);
}

// The spans of one band after a set operation, into out: every elementary
// interval between two boundaries is kept when op says so, and neighbours
// that touch are merged, so spans never touch. xs is room for the
// boundaries.
void CombineSpans(const Span* a, size_t na, const Span* b, size_t nb, int mode,
                  std::vector<LONG>& xs, std::vector<Span>& out)
{
    xs.clear();
    out.clear();
    for (size_t i = 0; i < na; i++) {
        xs.push_back(a[i].left);
        xs.push_back(a[i].right);
    }
    for (size_t i = 0; i < nb; i++) {
        xs.push_back(b[i].left);
        xs.push_back(b[i].right);
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    size_t ia = 0, ib = 0;
    for (size_t i = 0; i + 1 < xs.size(); i++) {
        const LONG x0 = xs[i], x1 = xs[i + 1];
        while (ia < na && a[ia].right <= x0)
            ia++;
        while (ib < nb && b[ib].right <= x0)
            ib++;
        const bool inA = ia < na && a[ia].left <= x0;
        const bool inB = ib < nb && b[ib].left <= x0;
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
}

// The band of r that covers row y, or null.
const Band* BandAt(const Region& r, size_t& cursor, LONG y)
{
    while (cursor < r.bands.size() && r.bands[cursor].bottom <= y)
        cursor++;
    if (cursor < r.bands.size() && r.bands[cursor].top <= y)
        return &r.bands[cursor];
    return nullptr;
}

// a op b, band by band over every horizontal boundary of either; bands that
// touch and hold the same spans are merged.
Region Combine(const Region& a, const Region& b, int mode)
{
    std::vector<LONG> ys;
    for (const Band& band : a.bands) {
        ys.push_back(band.top);
        ys.push_back(band.bottom);
    }
    for (const Band& band : b.bands) {
        ys.push_back(band.top);
        ys.push_back(band.bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    Region out;
    std::vector<LONG> xs;
    std::vector<Span> spans;
    size_t ca = 0, cb = 0;
    for (size_t i = 0; i + 1 < ys.size(); i++) {
        const LONG y0 = ys[i], y1 = ys[i + 1];
        const Band* ba = BandAt(a, ca, y0);
        const Band* bb = BandAt(b, cb, y0);
        CombineSpans(ba ? a.SpansOf(*ba) : nullptr, ba ? ba->count : 0,
                     bb ? b.SpansOf(*bb) : nullptr, bb ? bb->count : 0, mode, xs, spans);
        out.AddBand(y0, y1, spans.data(), spans.size());
    }
    return out;
}

int TypeOf(const Region& r)
{
    const size_t n = r.spans.size();
    return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT BoundsOf(const Region& r)
{
    RECT box = {0, 0, 0, 0};
    if (r.bands.empty())
        return box;
    box.top = r.bands.front().top;
    box.bottom = r.bands.back().bottom;
    box.left = r.SpansOf(r.bands.front())[0].left;
    box.right = r.SpansOf(r.bands.front())[r.bands.front().count - 1].right;
    for (const Band& band : r.bands) {
        box.left = std::min(box.left, r.SpansOf(band)[0].left);
        box.right = std::max(box.right, r.SpansOf(band)[band.count - 1].right);
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
    out.Clear();
    out.bands.reserve(count);
    out.spans.reserve(count);
    for (DWORD i = 0; i < count; i++) {
        RECT rc;
        memcpy(&rc, data->Buffer + (size_t)i * sizeof(RECT), sizeof(rc));
        if (rc.left >= rc.right || rc.top >= rc.bottom)
            return false;
        if (!out.bands.empty() && out.bands.back().top == rc.top &&
            out.bands.back().bottom == rc.bottom) {
            Span& last = out.spans.back();
            if (rc.left < last.right)
                return false;
            if (rc.left == last.right) {
                last.right = rc.right;
            } else {
                out.spans.push_back(Span{rc.left, rc.right});
                out.bands.back().count++;
            }
            continue;
        }
        if (!out.bands.empty() && rc.top < out.bands.back().bottom)
            return false;
        out.MergeLast();  // the band before this one is complete
        out.bands.push_back(Band{rc.top, rc.bottom, out.spans.size(), 1});
        out.spans.push_back(Span{rc.left, rc.right});
    }
    out.MergeLast();
    return true;
}

}  // namespace

namespace win32region {

bool DeleteRegion(HGDIOBJ handle)
{
    Registry& r = Regions();
    std::lock_guard<std::mutex> lock(r.mutex);
    Node node = r.regions.extract(reinterpret_cast<uintptr_t>(handle));
    if (node.empty())
        return false;
    const Region& region = *node.mapped();
    if (r.spare.size() < kSpareRegions && region.bands.capacity() <= kSpareRoom &&
        region.spans.capacity() <= kSpareRoom)
        r.spare.push_back(std::move(node));
    return true;
}

}  // namespace win32region

HRGN WINAPI CreateRectRgn(int left, int top, int right, int bottom)
{
    if (desktop::detail::ShouldFail("CreateRectRgn"))
        return nullptr;
    Node node = Fresh();
    const LONG l = std::min(left, right), rt = std::max(left, right);
    const LONG t = std::min(top, bottom), b = std::max(top, bottom);
    const Span span = {l, rt};
    if (l < rt && t < b)
        node.mapped()->AddBand(t, b, &span, 1);
    return Register(std::move(node));
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
    Node node = Fresh();
    if (BandsOf(data, header.nCount, *node.mapped()))
        return Register(std::move(node));
    std::vector<Region> parts;
    parts.reserve(header.nCount);
    for (DWORD i = 0; i < header.nCount; i++) {
        RECT rc;
        memcpy(&rc, data->Buffer + (size_t)i * sizeof(RECT), sizeof(rc));
        const LONG l = std::min(rc.left, rc.right), rt = std::max(rc.left, rc.right);
        const LONG t = std::min(rc.top, rc.bottom), b = std::max(rc.top, rc.bottom);
        if (l < rt && t < b) {
            const Span span = {l, rt};
            parts.emplace_back();
            parts.back().AddBand(t, b, &span, 1);
        }
    }
    *node.mapped() = UnionOf(std::move(parts));
    return Register(std::move(node));
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
    const size_t n = rgn->spans.size();
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
    for (const Band& band : rgn->bands) {
        const Span* spans = rgn->SpansOf(band);
        for (size_t i = 0; i < band.count; i++) {
            const RECT rc = {spans[i].left, band.top, spans[i].right, band.bottom};
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
    for (const Band& band : rgn->bands) {
        if (y < band.top || y >= band.bottom)
            continue;
        const Span* spans = rgn->SpansOf(band);
        for (size_t i = 0; i < band.count; i++) {
            if (spans[i].left <= x && x < spans[i].right)
                return TRUE;
        }
    }
    return FALSE;
}
