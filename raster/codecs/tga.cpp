// The TGA codec (format id 7).
//
// File layout (little-endian): an 18-byte header (identification length,
// colour-map type, image type, first colour-map entry, colour-map length,
// colour-map entry size in bits, x and y origin, width, height, pixel depth,
// descriptor), the identification, the colour map (entries of 15/16, 24 or
// 32 bits, the first one at index `first`), then the pixels: 8-bit indices
// or grey levels, 15/16-bit words (blue in bits 0-4, green 5-9, red 10-14),
// or blue, green, red (and alpha) bytes. Types 1, 2 and 3 are colour-mapped,
// true-colour and grey; 9, 10 and 11 are the same run-length coded in packets
// that may cross row ends: a header byte below 0x80 starts (header + 1) raw
// pixels, above it (header & 0x7F) + 1 copies of one pixel. Descriptor bit 4
// means right-to-left rows, bit 5 that the first row is the top one.
#include <cstring>
#include <new>
#include <vector>

#include "rasterbytes.h"
#include "codecdata.h"
#include "rastercodecs.h"

namespace {

constexpr size_t kHeaderSize = 18;
constexpr DWORD kMaxSide = 65535;

const char kNotTga[] = "Not a TGA";
const char kUnknownType[] = "Unknown TGA image type";
const char kBadHeader[] = "bad TGA header";
const char kCorrupted[] = "corrupted TGA";
const char kCancelled[] = "Cancelled";

struct TgaHeader {
    BYTE idLength;
    BYTE mapType;
    BYTE imageType;
    WORD mapFirst;
    WORD mapLength;
    BYTE mapEntryBits;
    WORD xOrigin;
    WORD yOrigin;
    WORD width;
    WORD height;
    BYTE depth;
    BYTE descriptor;
};

bool _readheader(const BYTE* p, TgaHeader& h)
{
    rasterbytes::ByteReader r(p, kHeaderSize);
    return r.u8(h.idLength) && r.u8(h.mapType) && r.u8(h.imageType) && r.u16(h.mapFirst) &&
           r.u16(h.mapLength) && r.u8(h.mapEntryBits) && r.u16(h.xOrigin) && r.u16(h.yOrigin) &&
           r.u16(h.width) && r.u16(h.height) && r.u8(h.depth) && r.u8(h.descriptor);
}

// Bytes of one pixel or map entry of `bits` bits.
size_t _bytesfor(int bits)
{
    return (size_t)(bits + 7) / 8;
}

// Grey pictures of 16 bits are a grey byte and an alpha byte (the alpha
// bits of the descriptor say whether the second byte is used), not colour
// words.
bool GreyWithAlpha(const TgaHeader& h)
{
    return (h.imageType == 3 || h.imageType == 11) && h.depth == 16;
}

// A 15/16-bit word widened to blue, green, red (bit 15 is not a colour).
void _expand16(const BYTE* p, BYTE* bgr)
{
    const WORD w = (WORD)(p[0] | (p[1] << 8));
    bgr[0] = (BYTE)((w & 0x1F) << 3);
    bgr[1] = (BYTE)(((w >> 5) & 0x1F) << 3);
    bgr[2] = (BYTE)(((w >> 10) & 0x1F) << 3);
}

// Run-length packets unpacked into `out` (pixels x pixelBytes bytes, in
// file order); packets may cross row ends but never write past the picture.
// False when the data ends first.
bool _unpackrle(const BYTE* p, size_t n, size_t pixelBytes, std::vector<BYTE>& out)
{
    const BYTE* end = p + n;
    BYTE* dst = out.data();
    BYTE* const last = dst + out.size();
    while (dst < last) {
        if (p == end)
            return false;
        const BYTE h = *p++;
        size_t count = (size_t)(h & 0x7F) + 1;
        const size_t room = (size_t)(last - dst) / pixelBytes;
        if (count > room)
            count = room;
        if (h & 0x80) {
            if ((size_t)(end - p) < pixelBytes)
                return false;
            for (size_t i = 0; i < count; i++, dst += pixelBytes)
                memcpy(dst, p, pixelBytes);
            p += pixelBytes;
        } else {
            const size_t bytes = count * pixelBytes;
            if ((size_t)(end - p) < bytes)
                return false;
            memcpy(dst, p, bytes);
            dst += bytes;
            p += bytes;
        }
    }
    return true;
}

class RasterImageTGA : public RasterImage {
public:
    RasterImageTGA() : RasterImage(RASTER_FORMAT_TGA) {}

    bool Decode(RasterFile* stream);
    bool Encode(RasterFile* stream);

private:
    bool _checkheader(const TgaHeader& h, bool& packed);
    bool _readmap(const TgaHeader& h, const std::vector<BYTE>& data, size_t& at);
    bool _readpixels(const TgaHeader& h, const BYTE* p, size_t n, bool packed);
};

bool RasterImageTGA::_checkheader(const TgaHeader& h, bool& packed)
{
    switch (h.imageType) {
    case 1: case 2: case 3: packed = false; break;
    case 9: case 10: case 11: packed = true; break;
    default: return _fail(kUnknownType);
    }
    if (h.width == 0 || h.height == 0 || h.depth == 0 || h.mapLength > 256)
        return _fail(kBadHeader);
    if (h.depth != 8 && h.depth != 15 && h.depth != 16 && h.depth != 24 && h.depth != 32)
        return _fail(kBadHeader);
    // Colour-mapped pixels are indices into at most 256 entries.
    const bool mapped = h.imageType == 1 || h.imageType == 9;
    if (mapped && h.depth != 8)
        return _fail(kBadHeader);
    if (h.mapType != 0 && h.mapLength != 0) {
        const BYTE e = h.mapEntryBits;
        if (e != 15 && e != 16 && e != 24 && e != 32)
            return _fail(kBadHeader);
        if (mapped && (DWORD)h.mapFirst + h.mapLength > 256)
            return _fail(kBadHeader);
    }
    return true;
}

// The colour map: entries by their own size, from their first index.
bool RasterImageTGA::_readmap(const TgaHeader& h, const std::vector<BYTE>& data, size_t& at)
{
    if (h.mapType == 0 || h.mapLength == 0)
        return true;
    const size_t entry = _bytesfor(h.mapEntryBits);
    const size_t bytes = entry * h.mapLength;
    if (data.size() - at < bytes)
        return _fail(kCorrupted);
    const bool mapped = h.imageType == 1 || h.imageType == 9;
    for (size_t i = 0; mapped && i < h.mapLength; i++) {
        const BYTE* p = &data[at + i * entry];
        BYTE bgr[3];
        if (entry == 2)
            _expand16(p, bgr);
        else
            memcpy(bgr, p, 3);
        SetPaletteColor((BYTE)(h.mapFirst + i), bgr[2], bgr[1], bgr[0], 0);
    }
    at += bytes;
    return true;
}

bool RasterImageTGA::_readpixels(const TgaHeader& h, const BYTE* p, size_t n, bool packed)
{
    const size_t pixelBytes = _bytesfor(h.depth);
    const bool mirrored = (h.descriptor & 0x10) != 0;
    const bool topFirst = (h.descriptor & 0x20) != 0;
    const long width = h.width, height = h.height;
    const size_t rowBytes = (size_t)width * pixelBytes;
    // Packed pixels are unpacked first, so that both kinds convert alike.
    std::vector<BYTE> unpacked;
    if (packed) {
        try {
            unpacked.resize(rowBytes * (size_t)height);
        } catch (const std::bad_alloc&) {
            return _fail("RasterImage::Create can't allocate memory");
        }
        if (!_unpackrle(p, n, pixelBytes, unpacked))
            return _fail(kCorrupted);
        p = unpacked.data();
        n = unpacked.size();
    }
    if (n / rowBytes < (size_t)height)
        return _fail(kCorrupted);
    for (long r = 0; r < height; r++) {
        if (info.nEscape != 0)
            return _fail(kCancelled);
        // The image's rows count from the bottom of the picture.
        const long row = topFirst ? height - 1 - r : r;
        BYTE* dest = GetBits((DWORD)row);
        const BYTE* src = p + rowBytes * (size_t)r;
        if (!mirrored && (h.depth == 8 || h.depth == 24)) {
            memcpy(dest, src, rowBytes);
            continue;
        }
        for (long i = 0; i < width; i++, src += pixelBytes) {
            const long x = mirrored ? width - 1 - i : i;
            if (GreyWithAlpha(h)) {
                dest[x] = src[0];
                if (AlphaIsValid())
                    AlphaSet(x, row, src[1]);
                continue;
            }
            switch (h.depth) {
            case 8: dest[x] = src[0]; break;
            case 15:
            case 16: _expand16(src, dest + 3 * x); break;
            case 24: memcpy(dest + 3 * x, src, 3); break;
            default:
                memcpy(dest + 3 * x, src, 3);
                AlphaSet(x, row, src[3]);
                break;
            }
        }
    }
    return true;
}

bool RasterImageTGA::Decode(RasterFile* stream)
{
    if (stream == NULL)
        return false;
    BYTE raw[kHeaderSize];
    TgaHeader h;
    if (stream->Read(raw, kHeaderSize, 1) != 1 || !_readheader(raw, h))
        return _fail(kNotTga);
    bool packed = false;
    if (!_checkheader(h, packed))
        return false;

    // No more data is read than the picture can take: its pixels raw, or
    // every pixel in a packet of its own.
    const uint64_t pixels = (uint64_t)h.width * h.height;
    const size_t pixelBytes = _bytesfor(h.depth);
    const uint64_t mapBytes = h.mapType != 0 ? (uint64_t)_bytesfor(h.mapEntryBits) * h.mapLength : 0;
    const uint64_t most = h.idLength + mapBytes + pixels * (pixelBytes + (packed ? 1 : 0));
    std::vector<BYTE> data;
    if (!RasterReadRest(stream, most, data))
        return _fail("RasterImage::Create can't allocate memory");
    size_t at = h.idLength;
    if (data.size() < at)
        return _fail(kCorrupted);
    // The data must back the picture before its pixels are allocated.
    const uint64_t least = packed ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
    if (data.size() < at + mapBytes + least)
        return _fail(kCorrupted);

    if (Create(h.width, h.height, GreyWithAlpha(h) ? 8 : h.depth, RASTER_FORMAT_TGA) == NULL)
        return _fail("TGA Create failed");
    if (h.depth == 32 || (GreyWithAlpha(h) && (h.descriptor & 0x0F) != 0))
        AlphaCreate();
    if (info.nEscape != 0)
        return _fail(kCancelled);
    if (!_readmap(h, data, at))
        return false;
    // Grey pictures are grey whatever map they carry.
    if (h.imageType == 3 || h.imageType == 11)
        SetGrayPalette();
    return _readpixels(h, data.data() + at, data.size() - at, packed);
}

bool RasterImageTGA::Encode(RasterFile* stream)
{
    if (EncodeSafeCheck(stream))
        return false;
    if (GetBpp() < 8)
        return _fail("Bit depth must be 8 or 24");
    if (GetWidth() > kMaxSide || GetHeight() > kMaxSide)
        return _fail("TGA sides are at most 65535 pixels");

    const bool eight = GetBpp() == 8;
    const bool alpha = !eight && AlphaIsValid();
    BYTE head[kHeaderSize] = {};
    head[1] = eight ? 1 : 0;
    head[2] = eight ? 1 : 2;
    rasterbytes::put16(head + 5, eight ? 256 : 0);
    head[7] = eight ? 24 : 0;
    rasterbytes::put16(head + 12, (WORD)GetWidth());
    rasterbytes::put16(head + 14, (WORD)GetHeight());
    head[16] = eight ? 8 : alpha ? 32 : 24;
    // Readers learn from the descriptor that the fourth byte is alpha.
    head[17] = alpha ? 8 : 0;
    bool ok = stream->Write(head, kHeaderSize, 1) == 1;

    if (eight) {
        BYTE map[256 * 3] = {};
        RGBQUAD* pal = GetPalette();
        for (DWORD i = 0; i < 256 && i < GetNumColors(); i++) {
            map[3 * i] = pal[i].rgbBlue;
            map[3 * i + 1] = pal[i].rgbGreen;
            map[3 * i + 2] = pal[i].rgbRed;
        }
        ok = ok && stream->Write(map, sizeof(map), 1) == 1;
    }
    const long width = (long)GetWidth(), height = (long)GetHeight();
    if (!alpha) {
        const size_t rowBytes = (size_t)width * GetBpp() / 8;
        for (long y = 0; y < height && ok; y++)
            ok = stream->Write(GetBits((DWORD)y), rowBytes, 1) == 1;
    } else {
        std::vector<BYTE> row((size_t)width * 4);
        for (long y = 0; y < height && ok; y++) {
            const BYTE* src = GetBits((DWORD)y);
            for (long x = 0; x < width; x++) {
                memcpy(&row[(size_t)x * 4], src + 3 * x, 3);
                row[(size_t)x * 4 + 3] = (BYTE)(AlphaGet(x, y) * info.nAlphaMax / 255);
            }
            ok = stream->Write(row.data(), row.size(), 1) == 1;
        }
    }
    // A picture that did not reach the stream is not saved.
    if (!ok)
        return _fail("TGA write failed");
    return true;
}

}  // namespace

const RasterCodec g_RasterCodecTGA = {
    RASTER_FORMAT_TGA, RASTER_FORMAT_TGA, false, RasterCodecMake<RasterImageTGA>,
    RasterCodecDecode<RasterImageTGA>,
    RasterCodecEncode<RasterImageTGA>, NULL,
};
