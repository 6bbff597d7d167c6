// What the picture loaders and writers share: a checked little-endian byte
// reader over a memory block or a file, the size limit for anything a file
// asks for, and the row packers.
#pragma once
#include <windows.h>
#include <kbase.h>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include "kspritedata.h"
#include "raster/rasterbytes.h"

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define KLOADERS_SSSE3 1
#endif

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

// The fast path of the commonest case, R5G6B5 from 3-byte pixels (blue,
// green, red): the decoded JPEG and BMP rows. Eight pixels at a time with
// SSSE3 byte shuffles where the processor has them; the rest, and processors
// without them, through the reference loop in PackBgrRow. The two agree bit
// for bit (tests/graph/jpeg_test.cpp checks it on random rows).
#ifdef KLOADERS_SSSE3
__attribute__((target("ssse3"))) inline long PackBgr565Ssse3(WORD* dst, const BYTE* src,
                                                              long width)
{
    // From 24 bytes (8 pixels) taken as two overlapping 16-byte loads, at
    // 0 and at 8: per pixel a 16-bit lane of green | red << 8 and one of
    // blue. Pixels 0-4 come from the first load, 5-7 from the second.
    const __m128i rgLo = _mm_setr_epi8(1, 2, 4, 5, 7, 8, 10, 11, 13, 14, -1, -1, -1, -1, -1, -1);
    const __m128i rgHi = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 8, 9, 11, 12, 14, 15);
    const __m128i bLo = _mm_setr_epi8(0, -1, 3, -1, 6, -1, 9, -1, 12, -1, -1, -1, -1, -1, -1, -1);
    const __m128i bHi = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 7, -1, 10, -1, 13, -1);
    const __m128i red = _mm_set1_epi16(short(0xF800));
    const __m128i green = _mm_set1_epi16(0x00FC);
    long x = 0;
    for (; x + 8 <= width; x += 8, src += 24) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8));
        const __m128i rg = _mm_or_si128(_mm_shuffle_epi8(a, rgLo), _mm_shuffle_epi8(b, rgHi));
        const __m128i bl = _mm_or_si128(_mm_shuffle_epi8(a, bLo), _mm_shuffle_epi8(b, bHi));
        const __m128i px = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(rg, red), _mm_slli_epi16(_mm_and_si128(rg, green), 3)),
            _mm_srli_epi16(bl, 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), px);
    }
    return x;
}
#endif

inline void PackBgr565Row(WORD* dst, const BYTE* src, long width)
{
    long x = 0;
#ifdef KLOADERS_SSSE3
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) {
        x = PackBgr565Ssse3(dst, src, width);
        src += size_t(x) * 3;
    }
#endif
    for (; x < width; x++, src += 3)
        dst[x] = Pack565(src[2], src[1], src[0]);
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
