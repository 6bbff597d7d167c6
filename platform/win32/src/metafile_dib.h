// Device-independent bitmaps inside metafile records: the header read field
// by field and every pixel read against the bytes the record holds.
#pragma once

#include "metafile_player.h"

#include <vector>

namespace win32metafile {

class DibReader {
public:
    // False when the header is not one the player reads (BITMAPCOREHEADER or
    // a BITMAPINFOHEADER or longer; 1, 4, 8, 16, 24 or 32 bits, BI_RGB or
    // BI_BITFIELDS) or the bits are shorter than the picture needs.
    bool Open(const DibRef& dib);
    long Width() const { return m_width; }
    long Height() const { return m_height; }
    bool TopDown() const { return m_topDown; }
    // Whether the bits hold row y (from the top): all rows but those outside
    // the scan lines a partial bitmap carries.
    bool HasRow(long y) const
    {
        const long stored = m_topDown ? y : m_height - 1 - y;
        return stored >= m_firstScan && stored < m_firstScan + m_scans;
    }
    // The colour of pixel (x, y), y counted from the top of the picture, on
    // a row the bits hold.
    COLORREF At(long x, long y) const;
    // The alpha byte of pixel (x, y) of a 32-bit bitmap (its top byte).
    BYTE Alpha(long x, long y) const;
    // The colour-table index of pixel (x, y) of a bitmap of 8 bits or fewer.
    int Index(long x, long y) const;
    int Bits() const { return m_bits; }

private:
    long m_width = 0, m_height = 0;
    bool m_topDown = false;
    int m_bits = 0;
    size_t m_stride = 0;
    const BYTE* m_data = nullptr;  // the first scan line held
    long m_firstScan = 0, m_scans = 0;
    std::vector<COLORREF> m_table;
    DWORD m_masks[3] = {0, 0, 0};
};

}  // namespace win32metafile
