// JPEG loading through the JPEG decoding service (a file or archive entry,
// and a stream in memory, which the kpc reader uses too) and the four-channel
// rearrangement. GIF and PNG loading is in gifpng.cpp.
#include "kgraph.h"
#include "kloaders.h"
#include "jpeglayout.h"
#include "rasterlimits.h"
#include <new>

void _swaprb_premultiply(BYTE* data, long width, long height)
{
    const size_t n = size_t(width) * size_t(height);
    for (size_t i = 0; i < n; i++, data += 4) {
        const unsigned a = data[3];
        const BYTE b0 = data[0];
        data[0] = BYTE((data[2] * a + 1) >> 8);
        data[1] = BYTE((data[1] * a + 1) >> 8);
        data[2] = BYTE((b0 * a + 1) >> 8);
    }
}

// The decode buffer holds the picture as the service delivers it: rows top
// first, each width x channels bytes padded to a multiple of 4; blue, green,
// red for grey and colour pictures, red, green, blue, alpha for four-channel
// ones (then rearranged and premultiplied).
SPRITE_DATA* KGraph::_loadjpg(void* data, DWORD size, KESTREL_COLOR_MODE mode, DWORD flags)
{
    JPEG_CORE_PROPERTIES jcp;
    std::memset(&jcp, 0, sizeof(jcp));
    if (ijlInit(&jcp) != IJL_OK) {
        KRet(E_FAIL, "KGraph::_loadjpeg(dat) ijl init fail");
        ijlFree(&jcp);
        return NULL;
    }
    jcp.JPGFile = NULL;
    jcp.JPGBytes = static_cast<const uint8_t*>(data);
    jcp.JPGSizeBytes = size;
    if (ijlRead(&jcp, IJL_JBUFF_READPARAMS) != IJL_OK) {
        KRet(E_FAIL, "KGraph::_loadjpeg(dat) ijl read file head fail");
        ijlFree(&jcp);
        return NULL;
    }
    const long channels = JpegLayout(jcp, jcp.JPGChannels);
    if (channels == 0) {
        // No layout is defined for other channel counts: refuse the picture.
        KRet(E_FAIL, "KGraph::_loadjpeg(dat) read jpeg data fail");
        ijlFree(&jcp);
        return NULL;
    }
    const long width = long(jcp.JPGWidth);
    const long height = long(jcp.JPGHeight);
    // The header's size waits for the data to confirm it: pixels the stream
    // cannot code come out of the host's allowance before anything is made.
    unsigned long long allowance = RasterGetUnbackedPixels();
    if (!rasterlimits::Backed(uint64_t(width) * uint64_t(height), (long long)size,
                              rasterlimits::kJpegPixelsPerByte, allowance)) {
        KRet(E_FAIL, "KGraph::_loadjpeg(dat) %ld x %ld picture larger than its data", width, height);
        ijlFree(&jcp);
        return NULL;
    }
    const uint64_t pixelBytes = uint64_t(width) * uint64_t(channels);
    const uint64_t stride = rasterlimits::RowBytes(8 * uint64_t(channels), uint64_t(width));
    const uint64_t total = stride * uint64_t(height);
    BYTE* buffer = (total != 0 && total <= kMaxPictureBytes)
                       ? new (std::nothrow) BYTE[size_t(total)] : NULL;
    if (buffer == NULL) {
        KRet(E_FAIL, "KGraph::_loadjpeg(dat) alloc imagebuff fail");
        ijlFree(&jcp);
        return NULL;
    }
    jcp.DIBWidth = DWORD(width);
    jcp.DIBHeight = DWORD(height);
    jcp.DIBChannels = DWORD(channels);
    jcp.DIBPadBytes = DWORD(stride - pixelBytes);
    jcp.DIBBytes = buffer;
    if (ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE) != IJL_OK) {
        KRet(E_FAIL, "KGraph::_loadjpeg(dat) read jpeg data fail");
        ijlFree(&jcp);
        delete[] buffer;
        return NULL;
    }
    if (ijlFree(&jcp) != IJL_OK) {
        KRet(E_FAIL, "KGraph::_loadjpeg(dat) ijl free fail");
        delete[] buffer;
        return NULL;
    }
    if (jcp.DIBColor == IJL_RGBA_FPX)
        _swaprb_premultiply(buffer, width, height);

    SPRITE_DATA* spr = _createsprite(width, height, mode, flags);
    if (spr == NULL) {
        KRet(E_FAIL, "KGraph::_loadjpeg(dat) create spr fail");
        delete[] buffer;
        return NULL;
    }
    void* bits = NULL;
    DWORD pitch = 0;
    long w = 0, h = 0;
    _locksprite(spr, &bits, pitch, w, h);
    const bool keyed = (flags & KSPR_COLORKEY) != 0;
    bool packed = true;
    for (long y = 0; y < h && packed; y++) {
        WORD* dst = reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + size_t(y) * pitch);
        packed = PackBgrRow(dst, buffer + size_t(y) * stride, w, int(channels), spr->kcm, keyed);
    }
    _unlocksprite(spr);
    if (!packed) {
        _clearsprite(spr, 0, 0, w, h, 0);
        Debug("_loadbmp() imperfection!");
    }
    delete[] buffer;
    return spr;
}

SPRITE_DATA* KGraph::_loadjpg(SPRITE_DATA*&, const char* filename, KESTREL_COLOR_MODE mode,
                              DWORD flags, CUnPackFile* pack)
{
    KASSERT(filename);
    if (filename == NULL)
        return NULL;
    if (pack != NULL) {
        int size = 0;
        BYTE* entry = pack->UnPack(filename, &size);
        if (entry == NULL)
            return NULL;  // a missing entry is not reported
        SPRITE_DATA* spr = _loadjpg(entry, DWORD(size), mode, flags);
        pack->ReleaseBuf(entry);
        return spr;
    }
    KFile file;
    if (file.Open(filename, 1) != 0) {
        KRet(E_FAIL, "KGraph::_loadjpeg(%s) open fail", filename);
        return NULL;
    }
    const DWORD size = file.GetSize();
    BYTE* buffer = size <= kMaxPictureBytes ? new (std::nothrow) BYTE[size ? size : 1] : NULL;
    if (buffer == NULL) {
        KRet(E_FAIL, "KGraph::_loadjpeg(%s) alloc memory fail", filename);
        return NULL;
    }
    if (file.Read(buffer, size) != size) {
        delete[] buffer;
        KRet(E_FAIL, "KGraph::_loadjpeg(%s) read file fail(%d)", filename, int(size));
        return NULL;
    }
    file.Close();
    SPRITE_DATA* spr = _loadjpg(buffer, size, mode, flags);
    delete[] buffer;
    return spr;
}

bool KGraph::IsPNG(const char* filename)
{
    KFile file;
    if (filename == NULL || file.Open(filename, 1) != 0)
        return false;
    BYTE sig[4];
    if (file.Read(sig, 4) != 4)
        return false;
    ByteReader in(sig, 4);
    DWORD v = 0;
    in.u32(v);
    return v == 0x474E5089;  // 0x89 'P' 'N' 'G'
}
