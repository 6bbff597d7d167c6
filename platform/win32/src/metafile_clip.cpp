// The banded clip region: built from rectangles by a sweep down the rows,
// cut by one rectangle at a time in a single pass over its bands.
#include "metafile_clip.h"

#include <algorithm>

namespace win32metafile {

namespace {

bool SameSpans(const ClipRegion::Span* a, const ClipRegion::Span* b, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        if (a[i].left != b[i].left || a[i].right != b[i].right)
            return false;
    }
    return true;
}

// The spans cut to columns [l, r).
void Inside(const ClipRegion::Span* s, size_t n, long l, long r, std::vector<ClipRegion::Span>& out)
{
    out.clear();
    for (size_t i = 0; i < n; i++) {
        const long a = std::max(s[i].left, l), b = std::min(s[i].right, r);
        if (a < b)
            out.push_back({a, b});
    }
}

// The spans with columns [l, r) taken out.
void Outside(const ClipRegion::Span* s, size_t n, long l, long r,
             std::vector<ClipRegion::Span>& out)
{
    out.clear();
    for (size_t i = 0; i < n; i++) {
        if (s[i].right <= l || s[i].left >= r || l >= r) {
            out.push_back(s[i]);
            continue;
        }
        if (s[i].left < l)
            out.push_back({s[i].left, l});
        if (r < s[i].right)
            out.push_back({r, s[i].right});
    }
}

}  // namespace

void ClipRegion::_push(long top, long bottom, const std::vector<Span>& spans)
{
    if (top >= bottom || spans.empty())
        return;
    if (!m_bands.empty()) {
        Band& last = m_bands.back();
        if (last.bottom == top && last.count == spans.size() &&
            SameSpans(Spans(last), spans.data(), spans.size())) {
            last.bottom = bottom;
            return;
        }
    }
    m_bands.push_back({top, bottom, m_spans.size(), spans.size()});
    m_spans.insert(m_spans.end(), spans.begin(), spans.end());
}

std::shared_ptr<const ClipRegion> ClipRegion::FromRects(const std::vector<RECT>& rects)
{
    std::vector<RECT> live;
    std::vector<long> rows;
    for (const RECT& r : rects) {
        if (r.left >= r.right || r.top >= r.bottom)
            continue;
        live.push_back(r);
        rows.push_back(r.top);
        rows.push_back(r.bottom);
    }
    std::sort(live.begin(), live.end(), [](const RECT& a, const RECT& b) { return a.top < b.top; });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    auto region = std::make_shared<ClipRegion>();
    std::vector<const RECT*> active;
    std::vector<Span> spans, merged;
    size_t next = 0;
    for (size_t i = 0; i + 1 < rows.size(); i++) {
        const long top = rows[i], bottom = rows[i + 1];
        while (next < live.size() && live[next].top <= top)
            active.push_back(&live[next++]);
        active.erase(std::remove_if(active.begin(), active.end(),
                                    [top](const RECT* r) { return r->bottom <= top; }),
                     active.end());
        spans.clear();
        for (const RECT* r : active)
            spans.push_back({r->left, r->right});
        std::sort(spans.begin(), spans.end(),
                  [](const Span& a, const Span& b) { return a.left < b.left; });
        merged.clear();
        for (const Span& s : spans) {
            if (!merged.empty() && s.left <= merged.back().right)
                merged.back().right = std::max(merged.back().right, s.right);
            else
                merged.push_back(s);
        }
        region->_push(top, bottom, merged);
    }
    return region;
}

std::shared_ptr<const ClipRegion> ClipRegion::Intersect(const RECT& r) const
{
    auto region = std::make_shared<ClipRegion>();
    std::vector<Span> spans;
    for (const Band& b : m_bands) {
        const long top = std::max<long>(b.top, r.top), bottom = std::min<long>(b.bottom, r.bottom);
        if (top >= bottom)
            continue;
        Inside(Spans(b), b.count, r.left, r.right, spans);
        region->_push(top, bottom, spans);
    }
    return region;
}

std::shared_ptr<const ClipRegion> ClipRegion::Exclude(const RECT& r) const
{
    auto region = std::make_shared<ClipRegion>();
    std::vector<Span> whole, cut;
    for (const Band& b : m_bands) {
        whole.assign(Spans(b), Spans(b) + b.count);
        const long cutTop = std::max<long>(b.top, r.top);
        const long cutBottom = std::min<long>(b.bottom, r.bottom);
        if (cutTop >= cutBottom) {
            region->_push(b.top, b.bottom, whole);
            continue;
        }
        Outside(Spans(b), b.count, r.left, r.right, cut);
        region->_push(b.top, cutTop, whole);
        region->_push(cutTop, cutBottom, cut);
        region->_push(cutBottom, b.bottom, whole);
    }
    return region;
}

const ClipRegion::Band* ClipRegion::BandAt(long y, size_t& hint) const
{
    for (size_t i = hint; i < m_bands.size() && i < hint + 2; i++) {
        if (m_bands[i].top <= y && y < m_bands[i].bottom) {
            hint = i;
            return &m_bands[i];
        }
    }
    auto it = std::upper_bound(m_bands.begin(), m_bands.end(), y,
                               [](long v, const Band& b) { return v < b.bottom; });
    if (it == m_bands.end() || it->top > y)
        return nullptr;
    hint = (size_t)(it - m_bands.begin());
    return &*it;
}

}  // namespace win32metafile
