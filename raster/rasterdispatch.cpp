// Loading and saving by format id: the decoder and encoder dispatch over the
// codec table, and the adapters from paths, FILE*, buffers and resources to
// streams.
#include <cstring>
#include <memory>

#include <windows.h>

#include "rastercodecs.h"
#include "rasterimage.h"
#include "rasterlimits.h"

namespace {

const char kNullStream[] = "null file handler";
const char kCantOpen[] = "can't open file";

}  // namespace

RasterImage::RasterImage(const char* filename, DWORD imagetype)
{
    Startup(imagetype);
    Load(filename, imagetype);
}

RasterImage::RasterImage(FILE* stream, DWORD imagetype)
{
    Startup(imagetype);
    Decode(stream, imagetype);
}

RasterImage::RasterImage(RasterFile* stream, DWORD imagetype)
{
    Startup(imagetype);
    Decode(stream, imagetype);
}

RasterImage::RasterImage(BYTE* buffer, DWORD size, DWORD imagetype)
{
    Startup(imagetype);
    Decode(buffer, size, imagetype);
}

// Runs one codec's decoder in a codec object that starts from this image's
// settings; on success the result replaces this image whole. A probe drops the
// codec's text; a typed decode keeps it.
bool RasterImage::_decodewith(const RasterCodec& codec, RasterFile* stream, DWORD imagetype,
                              bool probing)
{
    std::unique_ptr<RasterImage> decoder(codec.pfnMake());
    if (!decoder) {
        if (!probing)
            _seterror(rasterlimits::kTextNoMemory);
        return false;
    }
    decoder->CopyInfo(*this);
    if (codec.pfnDecode(decoder.get(), stream, imagetype))
        return Transfer(*decoder);
    if (!probing) {
        if (codec.bReportsFrames)
            info.nNumFrames = decoder->info.nNumFrames;
        // Every failure says why, even where a decoder gave up without a word.
        _seterror(decoder->info.szLastError[0] != 0 ? decoder->info.szLastError
                                                    : rasterlimits::kTextDamaged);
    }
    return false;
}

bool RasterImage::Decode(RasterFile* stream, DWORD imagetype)
{
    if (stream == NULL) {
        _seterror(kNullStream);
        return false;
    }
    if (imagetype == RASTER_FORMAT_UNKNOWN) {
        long start = stream->Tell();
        size_t n;
        const RasterCodec* const* codecs = RasterCodecTable(&n);
        for (size_t i = 0; i < n; i++) {
            if (codecs[i]->pfnDecode == NULL)
                continue;
            if (_decodewith(*codecs[i], stream, RASTER_FORMAT_UNKNOWN, true))
                return true;
            stream->Seek(start, SEEK_SET);
        }
    } else {
        const RasterCodec* codec = RasterFindCodec(imagetype);
        if (codec != NULL && codec->pfnDecode != NULL)
            return _decodewith(*codec, stream, imagetype, false);
    }
    _seterror("Decode: Unknown or wrong format");
    return false;
}

bool RasterImage::Decode(FILE* stream, DWORD imagetype)
{
    if (stream == NULL) {
        _seterror(kNullStream);
        return false;
    }
    RasterIOFile file(stream);
    return Decode(&file, imagetype);
}

bool RasterImage::Decode(BYTE* buffer, DWORD size, DWORD imagetype)
{
    if (buffer == NULL) {
        _seterror(kNullStream);
        return false;
    }
    RasterMemFile file(buffer, size);
    return Decode(&file, imagetype);
}

bool RasterImage::Load(const char* filename, DWORD imagetype)
{
    if (filename == NULL) {
        _seterror(kNullStream);
        return false;
    }
    // A load asked for one format is that format's decoder alone: another
    // decoder that happens to accept the bytes would hand back a picture the
    // caller did not ask for. Other ids probe, and a failed probe leaves the
    // text from before the call.
    const bool typed = imagetype >= 1 && imagetype < RASTER_FORMAT_LIMIT;
    char kept[sizeof(info.szLastError)];
    memcpy(kept, info.szLastError, sizeof(kept));

    FILE* fp = fopen(filename, "rb");
    if (fp == NULL) {
        _seterror(kCantOpen);
        return false;
    }
    bool ok = Decode(fp, typed ? imagetype : RASTER_FORMAT_UNKNOWN);
    fclose(fp);
    if (!ok && !typed && imagetype != RASTER_FORMAT_UNKNOWN)
        memcpy(info.szLastError, kept, sizeof(kept));
    return ok;
}

bool RasterImage::LoadResource(HRSRC resource, DWORD imagetype, HMODULE module)
{
    DWORD size = SizeofResource(module, resource);
    HGLOBAL handle = ::LoadResource(module, resource);
    if (handle == NULL) {
        _seterror("Unable to load resource!");
        return false;
    }
    BYTE* data = static_cast<BYTE*>(LockResource(handle));
    if (data == NULL)
        return false;
    // Decoders only read: the resource's memory is used in place.
    RasterMemFile file(data, size);
    return Decode(&file, imagetype);
}

bool RasterImage::Encode(RasterFile* stream, DWORD imagetype)
{
    const RasterCodec* codec = RasterFindCodec(imagetype);
    if (codec == NULL || codec->pfnEncode == NULL) {
        _seterror("Encode: Unknown format");
        return false;
    }
    std::unique_ptr<RasterImage> encoder(codec->pfnMake());
    if (!encoder) {
        _seterror(rasterlimits::kTextNoMemory);
        return false;
    }
    // The encoder works on this image's own block and planes through a ghost;
    // nothing of its information comes back but a failure's text.
    encoder->Ghost(this);
    if (codec->pfnEncode(encoder.get(), stream, imagetype))
        return true;
    _seterror(encoder->info.szLastError);
    return false;
}

bool RasterImage::Encode(FILE* stream, DWORD imagetype)
{
    // A null FILE* is a null stream to the encoder, which says so.
    RasterIOFile file(stream);
    return Encode(stream != NULL ? &file : NULL, imagetype);
}

bool RasterImage::Encode(BYTE*& buffer, long& size, DWORD imagetype)
{
    if (buffer != NULL)
        return false;
    RasterMemFile file;
    if (!file.Open()) {
        _seterror(rasterlimits::kTextNoMemory);
        return false;
    }
    if (!Encode(&file, imagetype))
        return false;  // the stream frees its block
    size = file.Size();
    buffer = file.GetBuffer(true);  // the caller frees it with free()
    return true;
}

bool RasterImage::Save(const char* filename, DWORD imagetype)
{
    if (filename == NULL)
        return false;
    FILE* fp = fopen(filename, "wb");
    if (fp == NULL)
        return false;
    bool ok = Encode(fp, imagetype);
    // Data that never reaches the file is a failed save.
    if (fclose(fp) != 0)
        ok = false;
    return ok;
}

bool RasterImage::Encode(RasterFile* stream, RasterImage** images, int count, DWORD imagetype)
{
    const RasterCodec* codec = NULL;
    if (imagetype == RASTER_FORMAT_TIF || imagetype == RASTER_FORMAT_GIF) {
        codec = RasterFindCodec(imagetype);
        if (codec == NULL || codec->pfnEncodeMulti == NULL) {
            _seterror("Encode: Unknown format");  // its codec is not built in
            return false;
        }
    }
    if (codec == NULL) {
        _seterror("Multipage Encode, Unsupported operation for this format");
        return false;
    }
    std::unique_ptr<RasterImage> encoder(codec->pfnMake());
    if (!encoder) {
        _seterror(rasterlimits::kTextNoMemory);
        return false;
    }
    encoder->Ghost(this);
    if (codec->pfnEncodeMulti(encoder.get(), stream, images, count))
        return true;
    _seterror(encoder->info.szLastError);
    return false;
}

bool RasterImage::Encode(FILE* stream, RasterImage** images, int count, DWORD imagetype)
{
    RasterIOFile file(stream);
    return Encode(stream != NULL ? &file : NULL, images, count, imagetype);
}

bool RasterImage::EncodeSafeCheck(RasterFile* stream)
{
    if (stream == NULL) {
        _seterror("null file handler");
        return true;
    }
    if (pDib == NULL) {
        _seterror("null image!!!");
        return true;
    }
    return false;
}
