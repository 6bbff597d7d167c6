// The codecs that exist, one line each, in the order a probe (format id 0)
// tries them. A new codec adds its file and one line here, in its place in
// the probe order.
#include "rastercodecs.h"

namespace {

const RasterCodec* const kCodecs[] = {
    &g_RasterCodecBMP,
    &g_RasterCodecJPG,
    &g_RasterCodecICO,
    &g_RasterCodecGIF,
    &g_RasterCodecPNG,
    &g_RasterCodecTIF,
    &g_RasterCodecTGA,
    &g_RasterCodecPCX,
    &g_RasterCodecWBMP,
    &g_RasterCodecWMF,
    &g_RasterCodecJAS,
};

}  // namespace

const RasterCodec* const* RasterCodecTable(size_t* count)
{
    *count = sizeof(kCodecs) / sizeof(kCodecs[0]);
    return kCodecs;
}

const RasterCodec* RasterFindCodec(DWORD imagetype)
{
    size_t n;
    const RasterCodec* const* codecs = RasterCodecTable(&n);
    for (size_t i = 0; i < n; i++) {
        if (codecs[i]->dwFirstId <= imagetype && imagetype <= codecs[i]->dwLastId)
            return codecs[i];
    }
    return NULL;
}
