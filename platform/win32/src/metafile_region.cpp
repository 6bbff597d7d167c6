// Region combinations, band by band: the rows between two consecutive band
// edges of either region hold the same spans in each, so each such run of
// rows is one combination of two span lists.
#include "metafile_region.h"

#include <algorithm>

namespace win32metafile {

namespace {

bool Keep(int mode, bool inA, bool inB)
{
    switch (mode) {
    case kRegionAnd: return inA && inB;
    case kRegionOr: return inA || inB;
    case kRegionXor: return inA != inB;
    case kRegionDiff: return inA && !inB;
    default: return inB;
    }
}

struct SpanList {
    const ClipRegion::Span* s = nullptr;
    size_t n = 0;
};

SpanList SpansAt(const ClipRegion& r, long y, size_t& hint)
{
    const ClipRegion::Band* band = r.BandAt(y, hint);
    if (band == nullptr)
        return {};
    return {r.Spans(*band), band->count};
}

// The columns of one run of rows where the mode keeps them, as rectangles.
void CombineRow(SpanList a, SpanList b, int mode, long top, long bottom, std::vector<RECT>& out)
{
    std::vector<long> xs;
    xs.reserve(2 * (a.n + b.n));
    for (size_t i = 0; i < a.n; i++) {
        xs.push_back(a.s[i].left);
        xs.push_back(a.s[i].right);
    }
    for (size_t i = 0; i < b.n; i++) {
        xs.push_back(b.s[i].left);
        xs.push_back(b.s[i].right);
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    size_t ia = 0, ib = 0;
    long runStart = 0;
    bool inRun = false;
    for (size_t k = 0; k + 1 < xs.size(); k++) {
        const long x = xs[k];
        while (ia < a.n && a.s[ia].right <= x)
            ia++;
        while (ib < b.n && b.s[ib].right <= x)
            ib++;
        const bool inA = ia < a.n && a.s[ia].left <= x;
        const bool inB = ib < b.n && b.s[ib].left <= x;
        const bool keep = Keep(mode, inA, inB);
        if (keep && !inRun) {
            runStart = x;
            inRun = true;
        } else if (!keep && inRun) {
            out.push_back({(LONG)runStart, (LONG)top, (LONG)x, (LONG)bottom});
            inRun = false;
        }
    }
    if (inRun)
        out.push_back({(LONG)runStart, (LONG)top, (LONG)xs.back(), (LONG)bottom});
}

}  // namespace

std::shared_ptr<const ClipRegion> CombineRegions(const ClipRegion& a, const ClipRegion& b, int mode)
{
    if (mode < kRegionAnd || mode > kRegionCopy)
        return nullptr;
    std::vector<long> ys;
    for (const ClipRegion* r : {&a, &b}) {
        for (const ClipRegion::Band& band : r->Bands()) {
            ys.push_back(band.top);
            ys.push_back(band.bottom);
        }
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    std::vector<RECT> out;
    size_t ha = 0, hb = 0;
    for (size_t k = 0; k + 1 < ys.size(); k++)
        CombineRow(SpansAt(a, ys[k], ha), SpansAt(b, ys[k], hb), mode, ys[k], ys[k + 1], out);
    return ClipRegion::FromRects(out);
}

std::shared_ptr<const ClipRegion> OffsetRegion(const ClipRegion& r, long dx, long dy)
{
    std::vector<RECT> out;
    for (const ClipRegion::Band& band : r.Bands()) {
        const ClipRegion::Span* s = r.Spans(band);
        for (size_t i = 0; i < band.count; i++)
            out.push_back({(LONG)(s[i].left + dx), (LONG)(band.top + dy), (LONG)(s[i].right + dx),
                           (LONG)(band.bottom + dy)});
    }
    return ClipRegion::FromRects(out);
}

bool ReadRegionData(const BYTE* p, size_t n, std::vector<RECT>& out)
{
    auto le32 = [p](size_t at) {
        return (LONG)(p[at] | (p[at + 1] << 8) | (p[at + 2] << 16) | ((DWORD)p[at + 3] << 24));
    };
    constexpr size_t kHeader = 32;
    if (n < kHeader || (DWORD)le32(0) < kHeader)
        return false;
    const DWORD headerSize = (DWORD)le32(0), count = (DWORD)le32(8);
    if (headerSize > n || count > (n - headerSize) / 16)
        return false;
    out.clear();
    out.reserve(count);
    for (DWORD i = 0; i < count; i++) {
        const size_t at = headerSize + (size_t)i * 16;
        out.push_back({le32(at), le32(at + 4), le32(at + 8), le32(at + 12)});
    }
    return true;
}

}  // namespace win32metafile
