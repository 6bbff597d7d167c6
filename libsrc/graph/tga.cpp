// TGA: the loader of uncompressed 32-bit Targa pictures, into a colour sprite
// and an 8-bit alpha sprite of the same size.
//
// The 18-byte header, little-endian: id length (0), colour-map type (0),
// image type (2, uncompressed true colour), colour-map fields, origin, u16
// width at 12, u16 height at 14, pixel depth (32) at 16, descriptor (8: eight
// alpha bits, bottom-left origin) at 17. Then width x height pixels of blue,
// green, red, alpha, bottom row first, no padding.
#include "kgraph.h"
#include "kloaders.h"
#include <cstdlib>

namespace {

const size_t kTgaHeaderBytes = 18;

bool AcceptedHeader(const BYTE* h)
{
    return h[0] == 0 && h[1] == 0 && h[2] == 2 && h[16] == 32 && h[17] == 8;
}

}  // namespace

SPRITE_DATA* KGraph::_loadtga(SPRITE_DATA*& alpha, const char* filename, KESTREL_COLOR_MODE mode,
                              DWORD flags, CUnPackFile* pack)
{
    KASSERT(filename);
    if (filename == NULL)
        return NULL;
    KFile file;
    BYTE* entry = NULL;
    int entrySize = 0;
    if (pack != NULL) {
        entry = pack->UnPack(filename, &entrySize);
        if (entry == NULL) {
            Debug("KGraph::_loadtga(%s) can't find file in pack file!", filename);
            return NULL;
        }
    }
    const bool opened = entry != NULL || file.Open(filename, 1) == 0;
    ByteReader in = entry != NULL ? ByteReader(entry, size_t(entrySize)) : ByteReader(&file);

    SPRITE_DATA* spr = NULL;
    SPRITE_DATA* a = NULL;
    BYTE* buffer = NULL;  // the pixels read from a file; an entry is read in place
    bool ok = false;
    do {
        BYTE header[kTgaHeaderBytes];
        if (!opened || !in.bytes(header, sizeof(header)) || !AcceptedHeader(header))
            break;
        const long width = long(header[12] | (header[13] << 8));
        const long height = long(header[14] | (header[15] << 8));
        // The pixels must all be there before anything is made for them.
        const uint64_t need = uint64_t(width) * uint64_t(height) * 4;
        if (need > in.left())
            break;
        spr = _createsprite(width, height, mode, flags);
        if (spr == NULL)
            break;
        const BYTE* pixels = in.here();
        if (entry == NULL) {
            buffer = static_cast<BYTE*>(std::malloc(size_t(need)));
            if (buffer == NULL || !in.bytes(buffer, size_t(need)))
                break;
            pixels = buffer;
        }
        a = _createsprite(width, height, KCM_GRAY, flags);
        if (a == NULL)
            break;

        void* cbits = NULL;
        void* abits = NULL;
        DWORD cpitch = 0, apitch = 0;
        long w = 0, h = 0;
        _locksprite(spr, &cbits, cpitch, w, h);
        _locksprite(a, &abits, apitch, w, h);
        const bool colour = spr->kcm == KCM_R5G6B5;
        // The file's first row is the picture's bottom row.
        for (long i = 0; i < h; i++) {
            const BYTE* src = pixels + size_t(i) * size_t(w) * 4;
            WORD* crow = reinterpret_cast<WORD*>(static_cast<BYTE*>(cbits) + size_t(h - 1 - i) * cpitch);
            BYTE* arow = static_cast<BYTE*>(abits) + size_t(h - 1 - i) * apitch;
            for (long x = 0; x < w; x++, src += 4) {
                if (colour)
                    crow[x] = Pack565(src[2], src[1], src[0]);  // not premultiplied
                arow[x] = src[3];
            }
        }
        _unlocksprite(a);
        _unlocksprite(spr);
        if (!colour) {
            _clearsprite(spr, 0, 0, w, h, 0);
            Debug("_loadtga() imperfection!");
        }
        ok = true;
    } while (false);

    std::free(buffer);
    file.Close();
    if (entry != NULL)
        pack->ReleaseBuf(entry);
    if (!ok) {
        _releasesprite(a);
        _releasesprite(spr);
        // The text is written as it stands: it holds no format.
        Debug("%s", "KGraph::_loadtga(%) fail!");
        return NULL;
    }
    if (flags & KSPR_COLORKEY)
        _setcolorkey(spr);
    alpha = a;
    return spr;
}
