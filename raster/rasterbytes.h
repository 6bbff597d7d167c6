// Little-endian reading and writing of file records, field by field. Every
// length taken from a file is checked against what is left before it is used.
// The one checked reader of the image library and of the engine's picture
// loaders (libsrc/graph/kloaders.h reads files through it too).
#pragma once

#include <cstring>

#include <windows.h>

namespace rasterbytes {

// Reads that fail instead of running past the end of the span.
class ByteReader {
public:
    ByteReader(const BYTE* p, size_t n) : m_p(p), m_left(n) {}

    bool u8(BYTE& v)
    {
        if (m_left < 1)
            return false;
        v = m_p[0];
        _advance(1);
        return true;
    }
    bool u16(WORD& v)
    {
        if (m_left < 2)
            return false;
        v = (WORD)(m_p[0] | (m_p[1] << 8));
        _advance(2);
        return true;
    }
    bool u32(DWORD& v)
    {
        if (m_left < 4)
            return false;
        v = (DWORD)m_p[0] | ((DWORD)m_p[1] << 8) | ((DWORD)m_p[2] << 16) | ((DWORD)m_p[3] << 24);
        _advance(4);
        return true;
    }
    bool i32(LONG& v)
    {
        DWORD u;
        if (!u32(u))
            return false;
        v = (LONG)u;
        return true;
    }
    bool bytes(void* dst, size_t n)  // all or nothing
    {
        if (m_left < n)
            return false;
        if (n != 0)
            memcpy(dst, m_p, n);
        _advance(n);
        return true;
    }
    bool skip(size_t n)
    {
        if (m_left < n)
            return false;
        _advance(n);
        return true;
    }
    size_t left() const { return m_left; }
    // The unread bytes in place.
    const BYTE* here() const { return m_p; }

private:
    void _advance(size_t n)
    {
        m_p += n;
        m_left -= n;
    }

    const BYTE* m_p;
    size_t m_left;
};

// Little-endian stores into a buffer the caller sized.
inline BYTE* put16(BYTE* p, WORD v)
{
    p[0] = (BYTE)v;
    p[1] = (BYTE)(v >> 8);
    return p + 2;
}

inline BYTE* put32(BYTE* p, DWORD v)
{
    p[0] = (BYTE)v;
    p[1] = (BYTE)(v >> 8);
    p[2] = (BYTE)(v >> 16);
    p[3] = (BYTE)(v >> 24);
    return p + 4;
}

inline WORD get16(const BYTE* p)
{
    return (WORD)(p[0] | (p[1] << 8));
}

inline DWORD get32(const BYTE* p)
{
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// The 40-byte BITMAPINFOHEADER as it lies in a file or at the head of a DIB block.
constexpr size_t kInfoHeaderSize = 40;
static_assert(sizeof(BITMAPINFOHEADER) == kInfoHeaderSize, "BITMAPINFOHEADER is 40 bytes");

inline void storeInfoHeader(BYTE* p, const BITMAPINFOHEADER& h)
{
    p = put32(p, h.biSize);
    p = put32(p, (DWORD)h.biWidth);
    p = put32(p, (DWORD)h.biHeight);
    p = put16(p, h.biPlanes);
    p = put16(p, h.biBitCount);
    p = put32(p, h.biCompression);
    p = put32(p, h.biSizeImage);
    p = put32(p, (DWORD)h.biXPelsPerMeter);
    p = put32(p, (DWORD)h.biYPelsPerMeter);
    p = put32(p, h.biClrUsed);
    put32(p, h.biClrImportant);
}

// Reads the 36 bytes that follow biSize; false when r holds fewer.
inline bool loadInfoHeaderBody(ByteReader& r, BITMAPINFOHEADER& h)
{
    return r.i32(h.biWidth) && r.i32(h.biHeight) && r.u16(h.biPlanes) && r.u16(h.biBitCount) &&
           r.u32(h.biCompression) && r.u32(h.biSizeImage) && r.i32(h.biXPelsPerMeter) &&
           r.i32(h.biYPelsPerMeter) && r.u32(h.biClrUsed) && r.u32(h.biClrImportant);
}

}  // namespace rasterbytes
