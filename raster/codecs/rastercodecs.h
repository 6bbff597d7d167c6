// The codec table behind the format dispatch. Each codec file defines one
// RasterCodec; rastercodecs.cpp lists them in the order the probe tries them.
// A format whose codec is not in the table is a decoder that recognises
// nothing and an encoder that does not know the format.
#pragma once

#include <cstddef>
#include <new>

#include "rasterimage.h"

struct RasterCodec {
    DWORD dwFirstId;  // format ids the codec handles, dwFirstId..dwLastId
    DWORD dwLastId;
    // A typed decode that fails still reports the frame count it found
    // (multi-frame formats).
    bool bReportsFrames;
    // A new codec object (a complete image), or null when memory runs out.
    RasterImage* (*pfnMake)();
    // The codec's own decode and encode on an object pfnMake made. The id is
    // the requested one (0 while probing) for codecs that serve several ids.
    bool (*pfnDecode)(RasterImage* codec, RasterFile* stream, DWORD imagetype);
    bool (*pfnEncode)(RasterImage* codec, RasterFile* stream, DWORD imagetype);
    // Multipage encode, or null when the format has none.
    bool (*pfnEncodeMulti)(RasterImage* codec, RasterFile* stream, RasterImage** images, int count);
};

// The table entries of a codec class T whose Decode and Encode take the
// stream alone.
template <class T>
RasterImage* RasterCodecMake()
{
    return new (std::nothrow) T;
}
template <class T>
bool RasterCodecDecode(RasterImage* codec, RasterFile* stream, DWORD)
{
    return static_cast<T*>(codec)->Decode(stream);
}
template <class T>
bool RasterCodecEncode(RasterImage* codec, RasterFile* stream, DWORD)
{
    return static_cast<T*>(codec)->Encode(stream);
}

// The codecs in probe order, and how many there are.
const RasterCodec* const* RasterCodecTable(size_t* count);
// The codec for a format id, or null.
const RasterCodec* RasterFindCodec(DWORD imagetype);

// One entry per codec file.
extern const RasterCodec g_RasterCodecBMP;
extern const RasterCodec g_RasterCodecICO;
extern const RasterCodec g_RasterCodecGIF;
extern const RasterCodec g_RasterCodecJAS;
extern const RasterCodec g_RasterCodecJPG;
extern const RasterCodec g_RasterCodecPNG;
extern const RasterCodec g_RasterCodecTGA;
extern const RasterCodec g_RasterCodecPCX;
extern const RasterCodec g_RasterCodecWBMP;
extern const RasterCodec g_RasterCodecWMF;
extern const RasterCodec g_RasterCodecTIF;
