// GIF and PNG loading through the image library: the picture is decoded into
// a RasterImage (from an archive entry or from the file) and read pixel by
// pixel into a sprite, top row first, since the image numbers its rows from
// the bottom. Only R5G6B5 sprites are filled; the picture's transparency is
// not carried over.
#include "kgraph.h"
#include "kloaders.h"
#include <rasterimage.h>
#include <new>
#include <string>

namespace {

// The decoded picture (the caller deletes it), or null. A missing archive
// entry sets `missing` and is not reported.
RasterImage* OpenPicture(const char* filename, CUnPackFile* pack, DWORD type, bool& missing)
{
    missing = false;
    if (pack != NULL) {
        int size = 0;
        BYTE* entry = pack->UnPack(filename, &size);
        if (entry == NULL) {
            missing = true;
            return NULL;
        }
        // The image has its own pixels once made: the entry goes back at once.
        RasterImage* img = new (std::nothrow) RasterImage(entry, DWORD(size), type);
        pack->ReleaseBuf(entry);
        return img;
    }
    // The image library opens the file with the C run time, which does not
    // take '\' for a separator as the engine's files do.
    std::string path(filename);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return new (std::nothrow) RasterImage(path.c_str(), type);
}

// Every pixel of the picture into locked R5G6B5 rows, a row at a time: the
// 24-bit rows through the shared packer, the palette ones through a table
// of the palette's 256 colours packed once.
void PackPicture(const RasterImage& img, BYTE* bits, DWORD pitch, long w, long h)
{
    const long bottom = long(img.GetHeight()) - 1;
    const WORD depth = img.GetBpp();
    if (img.GetBits(0) == NULL || w > long(img.GetWidth()) || h > long(img.GetHeight()))
        return;
    if (img.GetNumColors() == 0 && depth == 24) {
        for (long r = 0; r < h; r++)
            PackBgr565Row(reinterpret_cast<WORD*>(bits + size_t(r) * pitch), img.GetBits(DWORD(bottom - r)), w);
        return;
    }
    WORD table[256];
    for (int i = 0; i < 256; i++) {
        const RGBQUAD c = img.GetPaletteColor(BYTE(i));
        table[i] = Pack565(c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
    for (long r = 0; r < h; r++) {
        WORD* row = reinterpret_cast<WORD*>(bits + size_t(r) * pitch);
        const BYTE* src = img.GetBits(DWORD(bottom - r));
        for (long x = 0; x < w; x++) {
            BYTE index = 0;
            if (depth == 8)
                index = src[x];
            else if (depth == 4)
                index = BYTE((x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4));
            else if (depth == 1)
                index = BYTE((src[x >> 3] >> (7 - (x & 7))) & 1);
            row[x] = table[index];
        }
    }
}

// The device's primitives the loaders use, taken inside the loaders, where
// they are accessible; calls through them dispatch as usual.
struct SpriteOps {
    KGraph* graph;
    SPRITE_DATA* (KGraph::*create)(long, long, KESTREL_COLOR_MODE, DWORD);
    long (KGraph::*clear)(SPRITE_DATA*, long, long, long, long, DWORD);
    long (KGraph::*lock)(SPRITE_DATA*, void**, DWORD&, long&, long&);
    long (KGraph::*unlock)(SPRITE_DATA*);
};

// The one algorithm of both loaders; `name` is the loader's name in its messages.
SPRITE_DATA* LoadPicture(const SpriteOps& ops, const char* name, const char* filename,
                         KESTREL_COLOR_MODE mode, DWORD flags, CUnPackFile* pack, DWORD type)
{
    KASSERT(filename);
    if (filename == NULL)
        return NULL;
    bool missing = false;
    RasterImage* img = OpenPicture(filename, pack, type, missing);
    if (missing)
        return NULL;
    if (img == NULL || !img->IsValid()) {
        Debug("%s(%s,,) create fail", name, filename);
        delete img;
        return NULL;
    }
    KGraph* g = ops.graph;
    const long width = long(img->GetWidth()), height = long(img->GetHeight());
    SPRITE_DATA* spr = (g->*ops.create)(width, height, mode, flags);
    if (spr == NULL) {
        Debug("%s(%s,,) create fail %d X %d", name, filename, int(width), int(height));
        delete img;
        return NULL;
    }
    if (mode == KCM_R5G6B5) {
        void* bits = NULL;
        DWORD pitch = 0;
        long w = 0, h = 0;
        (g->*ops.lock)(spr, &bits, pitch, w, h);
        PackPicture(*img, static_cast<BYTE*>(bits), pitch, w, h);
        (g->*ops.unlock)(spr);
    } else {
        (g->*ops.clear)(spr, 0, 0, width, height, 0);
        Debug("%s() imperfection!", name);
    }
    img->Destroy();
    delete img;
    return spr;
}

}  // namespace

SPRITE_DATA* KGraph::_loadgif(SPRITE_DATA*&, const char* filename, KESTREL_COLOR_MODE mode,
                              DWORD flags, CUnPackFile* pack)
{
    const SpriteOps ops = {this, &KGraph::_createsprite, &KGraph::_clearsprite, &KGraph::_locksprite,
                           &KGraph::_unlocksprite};
    return LoadPicture(ops, "_loadgif", filename, mode, flags, pack, RASTER_FORMAT_GIF);
}

SPRITE_DATA* KGraph::_loadpng(SPRITE_DATA*&, const char* filename, KESTREL_COLOR_MODE mode,
                              DWORD flags, CUnPackFile* pack)
{
    const SpriteOps ops = {this, &KGraph::_createsprite, &KGraph::_clearsprite, &KGraph::_locksprite,
                           &KGraph::_unlocksprite};
    return LoadPicture(ops, "_loadpng", filename, mode, flags, pack, RASTER_FORMAT_PNG);
}
