// Little-endian fields of a metafile record, read against the record's own
// length: a field past the end reads as absent, never from beyond it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace win32metafile {

// A 32-bit float from the bits a record stores it as.
inline float FloatOfBits(DWORD bits)
{
    float f;
    static_assert(sizeof f == sizeof bits, "a 32-bit float");
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

class RecordBytes {
public:
    RecordBytes(const BYTE* p, size_t n) : m_p(p), m_n(n) {}

    size_t Size() const { return m_n; }
    const BYTE* Data() const { return m_p; }
    bool Has(size_t offset, size_t bytes) const { return offset <= m_n && bytes <= m_n - offset; }

    // Each returns false, leaving `v` alone, when the field runs past the end.
    bool U16(size_t offset, WORD& v) const
    {
        if (!Has(offset, 2))
            return false;
        v = (WORD)(m_p[offset] | (m_p[offset + 1] << 8));
        return true;
    }
    bool S16(size_t offset, long& v) const
    {
        WORD w;
        if (!U16(offset, w))
            return false;
        v = (SHORT)w;
        return true;
    }
    bool U32(size_t offset, DWORD& v) const
    {
        if (!Has(offset, 4))
            return false;
        v = m_p[offset] | (m_p[offset + 1] << 8) | (m_p[offset + 2] << 16) |
            ((DWORD)m_p[offset + 3] << 24);
        return true;
    }
    bool S32(size_t offset, long& v) const
    {
        DWORD d;
        if (!U32(offset, d))
            return false;
        v = (LONG)d;
        return true;
    }

    // The 32-bit field at `offset`, or 0 when it runs past the end.
    long L(size_t offset) const
    {
        long v = 0;
        S32(offset, v);
        return v;
    }
    DWORD D(size_t offset) const
    {
        DWORD v = 0;
        U32(offset, v);
        return v;
    }

private:
    const BYTE* m_p;
    size_t m_n;
};

// The parameters of a Windows metafile record, 16-bit words after its size
// and function (6 bytes): word i of them, signed, or a 32-bit value over
// words i and i + 1.
class WindowsParams {
public:
    explicit WindowsParams(RecordBytes r) : m_r(r) {}
    size_t Count() const { return (m_r.Size() - 6) / 2; }
    long W(size_t i) const
    {
        long v = 0;
        m_r.S16(6 + 2 * i, v);
        return v;
    }
    DWORD D(size_t i) const
    {
        DWORD v = 0;
        m_r.U32(6 + 2 * i, v);
        return v;
    }
    const BYTE* At(size_t i) const { return m_r.Data() + 6 + 2 * i; }
    const RecordBytes& Bytes() const { return m_r; }
    size_t BytesFrom(size_t i) const
    {
        return 2 * i <= m_r.Size() - 6 ? m_r.Size() - 6 - 2 * i : 0;
    }

private:
    RecordBytes m_r;
};

}  // namespace win32metafile
