// What the picture loaders and writers share: a checked little-endian byte
// reader over a memory block or a file, the size limit for anything a file
// asks for, and the row packers.
#pragma once
#include <windows.h>
#include <kbase.h>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include "blit.h"
#include "kspritedata.h"
#include "rasterbytes.h"

// Nothing a file describes may need a buffer above this: the same bound the
// device puts on a sprite block.
const uint64_t kMaxPictureBytes = 0x7FFFFFFFu;

// Little-endian reads that fail instead of running past the end: the image
// library's checked reader over a memory block, and over a file the same
// reads bounded by the file's size, so that no length read from the file can
// ask for more than the file holds. Over a memory block the unread bytes stay
// in place (here()).
class ByteReader {
public:
    ByteReader(const BYTE* p, size_t n) : m_mem(p, n), m_file(NULL), m_fileLeft(0) {}
    // The file's read position must be 0.
    explicit ByteReader(KFile* file) : m_mem(NULL, 0), m_file(file), m_fileLeft(file->GetSize()) {}

    bool u8(BYTE& v) { return bytes(&v, 1); }
    bool u16(WORD& v)
    {
        BYTE b[2];
        if (!bytes(b, 2))
            return false;
        v = rasterbytes::get16(b);
        return true;
    }
    bool u32(DWORD& v)
    {
        BYTE b[4];
        if (!bytes(b, 4))
            return false;
        v = rasterbytes::get32(b);
        return true;
    }
    // All or nothing.
    bool bytes(void* dst, size_t n)
    {
        if (m_file == NULL)
            return m_mem.bytes(dst, n);
        if (n > m_fileLeft)
            return false;
        if (m_file->Read(dst, DWORD(n)) != n) {
            m_fileLeft = 0;  // the file changed under us: read nothing more
            return false;
        }
        m_fileLeft -= n;
        return true;
    }
    bool skip(size_t n)
    {
        if (m_file == NULL)
            return m_mem.skip(n);
        if (n > m_fileLeft)
            return false;
        if (m_file->Seek(long(n), KFILE_SEEK_CURRENT) < 0) {
            m_fileLeft = 0;
            return false;
        }
        m_fileLeft -= n;
        return true;
    }
    size_t left() const { return m_file != NULL ? m_fileLeft : m_mem.left(); }
    // The unread bytes in place; null over a file.
    const BYTE* here() const { return m_file != NULL ? NULL : m_mem.here(); }

private:
    rasterbytes::ByteReader m_mem;
    KFile* m_file;
    size_t m_fileLeft;
};

// Red, green and blue to a 16-bit pixel, as color16b_565 and color16b_555 do
// it (each channel keeps its top bits); inline for the loaders' row loops.
inline WORD Pack565(BYTE r, BYTE g, BYTE b)
{
    return WORD(((r << 8) & 0xF800) | ((g << 3) & 0x07E0) | (b >> 3));
}
inline WORD Pack555(BYTE r, BYTE g, BYTE b)
{
    return WORD(((r << 7) & 0x7C00) | ((g << 2) & 0x03E0) | (b >> 3));
}

// The commonest case, R5G6B5 from 3-byte pixels (blue, green, red): the
// decoded JPEG and BMP rows, through the kernel table (SSSE3 shuffles where
// the processor has them).
inline void PackBgr565Row(WORD* dst, const BYTE* src, long width)
{
    kblit::Kernels().PackBgr565(dst, src, width);
}

// Packs one row of `width` pixels whose blue, green and red bytes sit at +0,
// +1, +2 of every `step` bytes, into the sprite's colour mode. In
// KCM_A1R5G5B5, bit 15 marks visible pixels: all of them, or with `keyed`
// only those whose colour is not 0 (black stays the key). False for a mode
// that has no packing here.
inline bool PackBgrRow(WORD* dst, const BYTE* src, long width, int step,
                       KESTREL_COLOR_MODE kcm, bool keyed)
{
    switch (kcm) {
    case KCM_R5G6B5:
        if (step == 3) {
            PackBgr565Row(dst, src, width);
            return true;
        }
        for (long x = 0; x < width; x++, src += step)
            dst[x] = Pack565(src[2], src[1], src[0]);
        return true;
    case KCM_X1R5G5B5:
        for (long x = 0; x < width; x++, src += step)
            dst[x] = Pack555(src[2], src[1], src[0]);
        return true;
    case KCM_A1R5G5B5:
        for (long x = 0; x < width; x++, src += step) {
            const WORD c = Pack555(src[2], src[1], src[0]);
            dst[x] = (keyed && c == 0) ? 0 : WORD(c | 0x8000);
        }
        return true;
    default:
        return false;
    }
}
