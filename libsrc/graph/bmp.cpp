// BMP: the loader of uncompressed 24-bit bitmaps and the writer of 16-bit
// sprites as 24-bit bitmaps.
//
// As read: "BM", then a 28-byte record: u32 file size, u32 reserved, u32
// offset of the pixels, u32 header size, i32 width, i32 height, u16 planes,
// u16 bit count (24). The pixels: height rows, bottom row first, each width x
// 3 bytes (blue, green, red) padded to a multiple of 4.
#include "kgraph.h"
#include "kloaders.h"
#include "rasterlimits.h"
#include <cstdlib>

namespace {

const WORD kBmpMagic = 0x4D42;  // "BM"
const DWORD kBmpHeaderBytes = 54;  // 14-byte file header + 40-byte information header

// 24-bit rows, padded to whole DWORDs.
uint64_t BmpRowBytes(uint64_t width)
{
    return rasterlimits::RowBytes(24, width);
}

BYTE* Put16(BYTE* p, WORD v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
    return p + 2;
}

BYTE* Put32(BYTE* p, DWORD v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
    p[2] = BYTE(v >> 16);
    p[3] = BYTE(v >> 24);
    return p + 4;
}

// Blue, green and red of a 16-bit pixel, each channel's bits at the top.
void Unpack(WORD c, KESTREL_COLOR_MODE kcm, BYTE* bgr)
{
    if (kcm == KCM_R5G6B5) {
        bgr[2] = BYTE((c >> 11) << 3);
        bgr[1] = BYTE(((c >> 5) & 0x3F) << 2);
    } else {
        bgr[2] = BYTE(((c >> 10) & 0x1F) << 3);
        bgr[1] = BYTE(((c >> 5) & 0x1F) << 3);
    }
    bgr[0] = BYTE((c & 0x1F) << 3);
}

}  // namespace

SPRITE_DATA* KGraph::_loadbmp(SPRITE_DATA*&, const char* filename, KESTREL_COLOR_MODE mode,
                              DWORD flags)
{
    KASSERT(filename);
    if (filename == NULL)
        return NULL;
    KFile file;
    if (file.Open(filename, 1) != 0) {
        KRet(KRET_CANTOPEN, "_loadbmp(%s,,)", filename);
        return NULL;
    }
    ByteReader in(&file);
    WORD magic = 0, planes = 0, bits = 0;
    DWORD size = 0, reserved = 0, offbits = 0, headerSize = 0, w = 0, h = 0;
    const bool whole = in.u16(magic) && in.u32(size) && in.u32(reserved) && in.u32(offbits) &&
                       in.u32(headerSize) && in.u32(w) && in.u32(h) && in.u16(planes) &&
                       in.u16(bits);
    if (!whole || magic != kBmpMagic || bits != 24) {
        KRet(KRET_ERROR, "_loadbmp(%s,,):This Bmp File is not 24bits", filename);
        return NULL;
    }
    // Top-down rows (a negative height) and empty pictures are not read.
    const int32_t width = int32_t(w);
    const int32_t height = int32_t(h);
    if (width <= 0 || height <= 0) {
        KRet(KRET_ERROR, "_loadbmp(%s,,):_createsprite(%d,%d)", filename, width, height);
        return NULL;
    }
    // The pixel area (file size - offset) must hold every row, as the header
    // states it and as the file really is.
    const uint64_t rowBytes = BmpRowBytes(uint64_t(width));
    const uint64_t need = rowBytes * uint64_t(height);
    const uint64_t fileBytes = file.GetSize();
    if (uint64_t(offbits) + need > uint64_t(size) || uint64_t(offbits) + need > fileBytes) {
        KRet(KRET_ERROR, "_loadbmp(%s,,):This Bmp File is not 24bits", filename);
        return NULL;
    }

    SPRITE_DATA* spr = _createsprite(width, height, mode, flags);
    if (spr == NULL) {
        KRet(KRET_ERROR, "_loadbmp(%s,,):_createsprite(%d,%d)", filename, width, height);
        return NULL;
    }
    BYTE* buffer = need <= kMaxPictureBytes ? static_cast<BYTE*>(std::malloc(size_t(need))) : NULL;
    if (buffer == NULL) {
        _releasesprite(spr);
        KRet(KRET_NOMEMORY, "_loadbmp(%s,,):alloc buff(%d)", filename,
             int(need <= kMaxPictureBytes ? need : kMaxPictureBytes));
        return NULL;
    }
    if (file.Seek(long(offbits), KFILE_SEEK_BEGIN) < 0 || file.Read(buffer, DWORD(need)) != need) {
        std::free(buffer);
        _releasesprite(spr);
        KRet(KRET_ERROR, "_loadbmp(%s,,):This Bmp File is not 24bits", filename);
        return NULL;
    }
    file.Close();

    void* pixels = NULL;
    DWORD pitch = 0;
    long sw = 0, sh = 0;
    _locksprite(spr, &pixels, pitch, sw, sh);
    const bool keyed = (flags & KSPR_COLORKEY) != 0;
    bool packed = true;
    // The file's first row is the picture's bottom row.
    for (long i = 0; i < sh && packed; i++) {
        WORD* dst = reinterpret_cast<WORD*>(static_cast<BYTE*>(pixels) + size_t(sh - 1 - i) * pitch);
        packed = PackBgrRow(dst, buffer + size_t(i) * rowBytes, sw, 3, spr->kcm, keyed);
    }
    _unlocksprite(spr);
    if (!packed) {
        _clearsprite(spr, 0, 0, sw, sh, 0);
        Debug("_loadbmp() imperfection!");
    }
    std::free(buffer);
    if (flags & KSPR_COLORKEY)
        _setcolorkey(spr);
    return spr;
}

void KGraph::_savebmp(const char* filename, SPRITE_DATA* lps)
{
    KASSERT(lps);
    KASSERT(filename);
    if (lps == NULL || filename == NULL)
        return;
    KFile file;
    if (file.Open(filename, 2) != 0) {
        KRet(KRET_CANTOPEN, "_savebmp(%s)", filename);
        return;
    }
    const size_t width = size_t(lps->width);
    const size_t rowBytes = size_t(BmpRowBytes(width));
    BYTE header[kBmpHeaderBytes];
    BYTE* p = Put16(header, kBmpMagic);
    p = Put32(p, DWORD(rowBytes * size_t(lps->height) + kBmpHeaderBytes));
    p = Put16(p, 0);
    p = Put16(p, 0);
    p = Put32(p, kBmpHeaderBytes);
    p = Put32(p, 40);
    p = Put32(p, DWORD(lps->width));
    p = Put32(p, DWORD(lps->height));  // positive: bottom-up
    p = Put16(p, 1);
    p = Put16(p, 24);
    p = Put32(p, 0);   // no compression
    p = Put32(p, 0);   // image size
    p = Put32(p, 72);  // pixels per metre, both ways
    p = Put32(p, 72);
    p = Put32(p, 0);   // colours used
    Put32(p, 0);       // important colours
    file.Write(header, sizeof(header));

    const KESTREL_COLOR_MODE kcm = lps->kcm;
    if (kcm != KCM_R5G6B5 && kcm != KCM_X1R5G5B5 && kcm != KCM_A1R5G5B5) {
        Debug("_savebmp() imperfection!");
        return;
    }
    BYTE* row = static_cast<BYTE*>(std::malloc(rowBytes));
    if (row == NULL) {
        KRet(KRET_NOMEMORY, "_savebmp(%s)", filename);
        return;
    }
    void* bits = NULL;
    DWORD pitch = 0;
    long w = 0, h = 0;
    _locksprite(lps, &bits, pitch, w, h);
    for (long y = h - 1; y >= 0; y--) {
        const WORD* src = reinterpret_cast<const WORD*>(static_cast<BYTE*>(bits) + size_t(y) * pitch);
        for (size_t x = 0; x < width; x++)
            Unpack(src[x], kcm, row + x * 3);
        // The padding carries no meaning: it repeats the last pixel's bytes.
        for (size_t i = width * 3; i < rowBytes; i++)
            row[i] = row[(width - 1) * 3 + (i - width * 3)];
        file.Write(row, DWORD(rowBytes));
    }
    _unlocksprite(lps);
    std::free(row);
}
