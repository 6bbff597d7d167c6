// Device-independent bitmaps inside metafile records.
#include "metafile_dib.h"

#include "metafile_palette.h"

#include <cstdint>

namespace win32metafile {

namespace {

// Largest picture a record's bitmap may describe: far beyond any real clip
// art, small enough that its row arithmetic stays exact.
constexpr long kMaxSide = 1 << 16;

DWORD Le32(const BYTE* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((DWORD)p[3] << 24);
}

WORD Le16(const BYTE* p)
{
    return (WORD)(p[0] | (p[1] << 8));
}

// A colour channel out of a bit-field mask, widened to 8 bits.
BYTE Channel(DWORD pixel, DWORD mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        shift++;
    const DWORD top = mask >> shift;
    const DWORD v = (pixel & mask) >> shift;
    return (BYTE)((uint64_t)v * 255 / top);
}

}  // namespace

bool DibReader::Open(const DibRef& dib)
{
    if (dib.info == nullptr || dib.infoSize < 12)
        return false;
    const DWORD headerSize = Le32(dib.info);
    DWORD compression = BI_RGB, used = 0;
    size_t entrySize = 4;
    long width, height;
    if (headerSize == 12) {
        width = Le16(dib.info + 4);
        height = (SHORT)Le16(dib.info + 6);
        m_bits = Le16(dib.info + 10);
        entrySize = 3;
    } else if (headerSize >= 40 && headerSize <= dib.infoSize) {
        width = (LONG)Le32(dib.info + 4);
        height = (LONG)Le32(dib.info + 8);
        m_bits = Le16(dib.info + 14);
        compression = Le32(dib.info + 16);
        used = Le32(dib.info + 32);
    } else {
        return false;
    }
    if (width <= 0 || height == 0 || width > kMaxSide || height > kMaxSide || height < -kMaxSide)
        return false;
    m_topDown = height < 0;
    m_width = width;
    m_height = height < 0 ? -height : height;

    // The colour table or masks follow the header within the info block.
    const BYTE* table = dib.info + headerSize;
    const size_t tableRoom = dib.infoSize - headerSize;
    m_table.clear();
    if (m_bits == 1 || m_bits == 4 || m_bits == 8) {
        if (compression != BI_RGB)
            return false;
        const size_t most = (size_t)1 << m_bits;
        size_t n = used == 0 || used > most ? most : used;
        if (dib.palette != nullptr)
            entrySize = 2;  // entry numbers of the selected palette
        if (n * entrySize > tableRoom)
            n = tableRoom / entrySize;  // a short table: the rest is black
        m_table.assign(most, 0);
        for (size_t i = 0; i < n; i++) {
            const BYTE* e = table + i * entrySize;
            m_table[i] = dib.palette != nullptr ? EntryColour(*dib.palette, Le16(e))
                                                : RGB(e[2], e[1], e[0]);
        }
    } else if (m_bits == 16 || m_bits == 32) {
        if (compression == BI_BITFIELDS) {
            // The masks sit in the longer headers themselves, or after a
            // 40-byte one.
            const BYTE* masks = headerSize >= 52 ? dib.info + 40 : table;
            const size_t room = headerSize >= 52 ? 12 : tableRoom;
            if (room < 12)
                return false;
            for (int i = 0; i < 3; i++)
                m_masks[i] = Le32(masks + 4 * i);
        } else if (compression == BI_RGB) {
            if (m_bits == 16) {
                m_masks[0] = 0x7C00;
                m_masks[1] = 0x03E0;
                m_masks[2] = 0x001F;
            } else {
                m_masks[0] = 0xFF0000;
                m_masks[1] = 0x00FF00;
                m_masks[2] = 0x0000FF;
            }
        } else {
            return false;
        }
    } else if (m_bits != 24 || compression != BI_RGB) {
        return false;
    }

    m_stride = (((size_t)m_width * m_bits + 31) / 32) * 4;
    m_firstScan = 0;
    m_scans = m_height;
    if (dib.scans >= 0) {
        // A band of the picture: its scan lines past the picture are left out.
        if (dib.startScan < 0 || dib.startScan >= m_height)
            return false;
        m_firstScan = dib.startScan;
        m_scans = dib.scans < m_height - m_firstScan ? dib.scans : m_height - m_firstScan;
    }
    const uint64_t need = (uint64_t)m_stride * (uint64_t)m_scans;
    if (dib.bits == nullptr || need > dib.bitsSize)
        return false;
    m_data = dib.bits;
    return true;
}

int DibReader::Index(long x, long y) const
{
    const long row = (m_topDown ? y : m_height - 1 - y) - m_firstScan;
    const BYTE* p = m_data + (size_t)row * m_stride;
    switch (m_bits) {
    case 1:
        return (p[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (p[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    case 8:
        return p[x];
    default:
        return 0;
    }
}

COLORREF DibReader::At(long x, long y) const
{
    const long row = (m_topDown ? y : m_height - 1 - y) - m_firstScan;
    const BYTE* p = m_data + (size_t)row * m_stride;
    switch (m_bits) {
    case 1:
        return m_table[(p[x >> 3] >> (7 - (x & 7))) & 1];
    case 4:
        return m_table[(p[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
    case 8:
        return m_table[p[x]];
    case 16: {
        const DWORD v = Le16(p + 2 * x);
        return RGB(Channel(v, m_masks[0]), Channel(v, m_masks[1]), Channel(v, m_masks[2]));
    }
    case 24:
        return RGB(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
    default: {
        const DWORD v = Le32(p + 4 * x);
        return RGB(Channel(v, m_masks[0]), Channel(v, m_masks[1]), Channel(v, m_masks[2]));
    }
    }
}

BYTE DibReader::Alpha(long x, long y) const
{
    const long row = (m_topDown ? y : m_height - 1 - y) - m_firstScan;
    return m_bits == 32 ? m_data[(size_t)row * m_stride + 4 * (size_t)x + 3] : 0xFF;
}

}  // namespace win32metafile
