// The nearest palette entry of many colours at once, for the loops that
// store colour after colour into a palette image.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "rasterimage.h"

namespace rasternearest {

// The nearest palette index of many colours: the lowest index at the least
// squared distance among the entries GetNearestIndex searches (the first
// biClrImportant ones when set). The entries are sorted by green, and the
// search walks outwards from the colour's green until the green difference
// alone exceeds the best distance; answers are remembered per colour. Both
// only change how fast the same answer is found.
class NearestIndexCache {
public:
    explicit NearestIndexCache(const RasterImage& image) : m_keys(4096, 0), m_values(4096, 0)
    {
        DWORD n = image.GetClrImportant() != 0 ? image.GetClrImportant() : image.GetNumColors();
        n = n < image.GetNumColors() ? n : image.GetNumColors();
        for (DWORD i = 0; i < n; i++) {
            const RGBQUAD c = image.GetPaletteColor((BYTE)i);
            m_entries.push_back(Entry{c.rgbGreen, c.rgbRed, c.rgbBlue, (int)i});
        }
        std::stable_sort(m_entries.begin(), m_entries.end(),
                         [](const Entry& a, const Entry& b) { return a.g < b.g; });
    }
    BYTE Find(RGBQUAD c)
    {
        const uint32_t rgb =
            (uint32_t)c.rgbBlue | ((uint32_t)c.rgbGreen << 8) | ((uint32_t)c.rgbRed << 16);
        const uint32_t key = rgb | 0x1000000u;  // the top bit tells a used slot
        const size_t slot = (size_t)((rgb * 2654435761u) >> 20);
        if (m_keys[slot] != key) {
            m_keys[slot] = key;
            m_values[slot] = Search(c.rgbRed, c.rgbGreen, c.rgbBlue);
        }
        return m_values[slot];
    }

private:
    struct Entry {
        int g, r, b, index;
    };

    BYTE Search(int r, int g, int b) const
    {
        const long count = (long)m_entries.size();
        long hi = std::lower_bound(m_entries.begin(), m_entries.end(), g,
                                   [](const Entry& e, int v) { return e.g < v; }) -
                  m_entries.begin();
        long lo = hi - 1;
        int best = 1 << 30, bestIndex = 0;
        auto consider = [&](const Entry& e) {
            const int d = (e.g - g) * (e.g - g) + (e.r - r) * (e.r - r) + (e.b - b) * (e.b - b);
            if (d < best || (d == best && e.index < bestIndex)) {
                best = d;
                bestIndex = e.index;
            }
        };
        for (; hi < count && (m_entries[hi].g - g) * (m_entries[hi].g - g) <= best; hi++)
            consider(m_entries[hi]);
        for (; lo >= 0 && (m_entries[lo].g - g) * (m_entries[lo].g - g) <= best; lo--)
            consider(m_entries[lo]);
        return (BYTE)bestIndex;
    }

    std::vector<Entry> m_entries;
    std::vector<uint32_t> m_keys;
    std::vector<BYTE> m_values;
};

}  // namespace rasternearest
