// The metafile player's clip: a region kept in bands, as GDI keeps its
// regions. A band is a run of rows that all hold the same sorted, disjoint
// spans of columns; bands are sorted top to bottom, never overlap, and two
// neighbouring bands never hold the same spans (they would be one). A span
// of a row then walks only the spans of the one band that row lies in.
//
// Regions are never changed once made: each operation gives a new one, so
// saved states share their clip until one of them changes it.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

namespace win32metafile {

class ClipRegion {
public:
    struct Band {
        long top, bottom;  // rows top .. bottom - 1
        size_t first;      // index of its first span
        size_t count;
    };
    struct Span {
        long left, right;  // columns left .. right - 1
    };

    // The union of the rectangles (any order, overlapping or not; empty ones
    // are left out).
    static std::shared_ptr<const ClipRegion> FromRects(const std::vector<RECT>& rects);
    // The part of this region inside the rectangle, or outside it.
    std::shared_ptr<const ClipRegion> Intersect(const RECT& r) const;
    std::shared_ptr<const ClipRegion> Exclude(const RECT& r) const;

    bool Empty() const { return m_bands.empty(); }
    // Bands and spans held: what an operation on the region costs.
    size_t Size() const { return m_bands.size() + m_spans.size(); }
    const std::vector<Band>& Bands() const { return m_bands; }
    const Span* Spans(const Band& b) const { return m_spans.data() + b.first; }

    // The band holding row y, or null. `hint` is the index of the band a
    // caller found last (rows are mostly asked in order); it is updated.
    const Band* BandAt(long y, size_t& hint) const;

private:
    // Appends a band of the given spans, merging it with the band above
    // when that one ends where it starts and holds the same spans.
    void _push(long top, long bottom, const std::vector<Span>& spans);

    std::vector<Band> m_bands;
    std::vector<Span> m_spans;
};

}  // namespace win32metafile
