// The ICO codec (format id 5): Windows icons and cursors.
//
// File layout (little-endian): a 6-byte header (reserved 0, type 1 icon or
// 2 cursor, image count), a directory of 16-byte entries (width, height,
// colour count, reserved, planes, bits per pixel, bytes of the image data,
// offset of the image data; a width or height of 0 means 256), then each
// image: either a PNG file, or a 40-byte bitmap information header whose
// height counts the colour bitmap and the mask together, the palette, the
// colour (XOR) bitmap with rows padded to 4 bytes, bottom-up, and the AND
// mask, 1 bit a pixel, rows padded to 4 bytes, bottom-up; a set mask bit
// marks a transparent pixel.
#include <cstring>
#include <new>
#include <vector>

#include "rasterbytes.h"
#include "codecdata.h"
#include "rastercodecs.h"

namespace {

constexpr size_t kHeaderSize = 6;
constexpr size_t kEntrySize = 16;
constexpr DWORD kMaxSide = 256;
const BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct IconEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    DWORD offset;
};

bool _readentry(rasterbytes::ByteReader& r, IconEntry& e)
{
    return r.u8(e.width) && r.u8(e.height) && r.u8(e.colours) && r.u8(e.reserved) && r.u16(e.planes) &&
           r.u16(e.bitCount) && r.u32(e.bytes) && r.u32(e.offset);
}

// A side as the directory stores it: 0 stands for 256.
DWORD _side(BYTE b)
{
    return b == 0 ? 256 : b;
}

size_t _maskrow(DWORD width)
{
    return ((width + 31) / 32) * 4;
}

class RasterImageICO : public RasterImage {
public:
    RasterImageICO() : RasterImage(RASTER_FORMAT_ICO) {}

    bool Decode(RasterFile* stream);
    bool Encode(RasterFile* stream);

private:
    bool _decodepng(const BYTE* p, size_t n);
    bool _decodebitmap(const IconEntry& e, const BYTE* p, size_t n);
    void _applymask(const BYTE* mask, WORD bpp, DWORD colours);
    bool _masked(long x, long y, RGBQUAD trans, bool palAlpha) const;
    bool _alphaused() const;
};

bool RasterImageICO::_decodepng(const BYTE* p, size_t n)
{
    const long frame = info.nFrame, frames = info.nNumFrames;
    RasterImage png;
    if (!png.Decode(const_cast<BYTE*>(p), (DWORD)n, RASTER_FORMAT_PNG))
        return false;
    if (!Transfer(png))
        return false;
    info.nFrame = frame;
    info.nNumFrames = frames;
    info.dwType = RASTER_FORMAT_ICO;
    return true;
}

bool RasterImageICO::_decodebitmap(const IconEntry& e, const BYTE* p, size_t n)
{
    rasterbytes::ByteReader r(p, n);
    DWORD infoSize;
    BITMAPINFOHEADER bi;
    if (!r.u32(infoSize) || infoSize < rasterbytes::kInfoHeaderSize || !rasterbytes::loadInfoHeaderBody(r, bi) ||
        !r.skip(infoSize - rasterbytes::kInfoHeaderSize))
        return false;
    const WORD bpp = bi.biBitCount;
    if ((bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) || bi.biCompression != BI_RGB)
        return false;
    const DWORD width = _side(e.width), height = _side(e.height);
    if (Create(width, height, bpp, RASTER_FORMAT_ICO) == NULL)
        return false;

    // The palette holds the colours the header names, 2^bpp when it names none.
    DWORD colours = GetNumColors();
    if (bi.biClrUsed != 0 && bi.biClrUsed < colours)
        colours = bi.biClrUsed;
    for (DWORD i = 0; i < colours; i++) {
        BYTE q[4];
        if (!r.bytes(q, 4))
            return false;
        SetPaletteColor((BYTE)i, q[2], q[1], q[0], q[3]);
    }

    if (bpp <= 24) {
        if (!r.bytes(info.pBits, header.biSizeImage))
            return false;
    } else {
        if (r.left() / 4 / width < height)
            return false;
        AlphaCreate();
        for (DWORD y = 0; y < height; y++) {
            BYTE* row = GetBits(y);
            for (DWORD x = 0; x < width; x++) {
                BYTE px[4];
                r.bytes(px, 4);
                memcpy(row + 3 * x, px, 3);
                AlphaSet((long)x, (long)y, px[3]);
            }
        }
    }

    // The mask is optional: an icon without one is opaque.
    std::vector<BYTE> mask(_maskrow(width) * height);
    if (r.bytes(mask.data(), mask.size()))
        _applymask(mask.data(), bpp, colours);
    return true;
}

void RasterImageICO::_applymask(const BYTE* mask, WORD bpp, DWORD colours)
{
    const long width = (long)GetWidth(), height = (long)GetHeight();
    const size_t row = _maskrow((DWORD)width);
    // Every pixel's bit set (the row padding does not count): every pixel
    // is drawn by inverting what lies under it.
    bool allSet = true;
    for (long y = 0; y < height && allSet; y++)
        for (long x = 0; x < width && allSet; x++)
            allSet = (mask[(size_t)y * row + (size_t)x / 8] >> (7 - x % 8)) & 1;
    if (allSet) {
        // An entry with an alpha channel of its own is drawn through it; the
        // inverting mask is for entries without one.
        if (bpp == 32 && _alphaused())
            return;
        SetTransIndex(0);
        Negative();
        return;
    }
    const bool created = !AlphaIsValid();
    if (created)
        AlphaCreate();
    bool any = false, oneColour = true;
    RGBQUAD first = {};
    std::vector<bool> used(256, false);
    for (long y = 0; y < height; y++)
        for (long x = 0; x < width; x++) {
            const bool set = (mask[(size_t)y * row + (size_t)x / 8] >> (7 - x % 8)) & 1;
            if (bpp <= 8)
                used[GetPixelIndex(x, y)] = true;
            if (!set)
                continue;
            AlphaSet(x, y, 0);
            RGBQUAD c = GetPixelColor(x, y, false);
            if (!any)
                first = c;
            else if (memcmp(&c, &first, 3) != 0)
                oneColour = false;
            any = true;
        }
    if (!any && created)
        AlphaDelete();
    if (bpp == 24 && any && oneColour) {
        first.rgbReserved = 0;
        SetTransColor(first);
        info.nTransIndex = 0;
        AlphaDelete();
    } else if (bpp <= 8) {
        // The lowest index no pixel uses takes the masked pixels.
        DWORD spare = 0;
        while (spare < colours && used[spare])
            spare++;
        if (spare < colours) {
            for (long y = 0; any && y < height; y++)
                for (long x = 0; x < width; x++)
                    if ((mask[(size_t)y * row + (size_t)x / 8] >> (7 - x % 8)) & 1)
                        SetPixelIndex(x, y, (BYTE)spare);
            if (any)
                SetTransIndex((long)spare);
            AlphaDelete();
        }
    }
}

// Whether any pixel's alpha is above 0: a 32-bit entry whose alpha bytes
// are all 0 has no alpha channel in use.
bool RasterImageICO::_alphaused() const
{
    const long width = (long)GetWidth(), height = (long)GetHeight();
    for (long y = 0; y < height; y++)
        for (long x = 0; x < width; x++)
            if (AlphaGet(x, y) != 0)
                return true;
    return false;
}

bool RasterImageICO::Decode(RasterFile* stream)
{
    if (stream == NULL)
        return false;
    BYTE head[kHeaderSize];
    if (stream->Read(head, kHeaderSize, 1) != 1)
        return false;
    const WORD reserved = (WORD)(head[0] | (head[1] << 8)), type = (WORD)(head[2] | (head[3] << 8));
    const WORD count = (WORD)(head[4] | (head[5] << 8));
    if (reserved != 0 || (type != 1 && type != 2))
        return false;
    info.nNumFrames = count;

    // The whole file after the header: directory entries point into it.
    std::vector<BYTE> data;
    if (!RasterReadRest(stream, UINT32_MAX, data))
        return false;
    if (info.nFrame < 0 || info.nFrame >= count || data.size() / kEntrySize < count)
        return false;
    rasterbytes::ByteReader dir(data.data() + (size_t)info.nFrame * kEntrySize, kEntrySize);
    IconEntry e;
    if (!_readentry(dir, e))
        return false;
    // Offsets count from the start of the file, which the header began.
    const uint64_t at = (uint64_t)e.offset;
    if (at < kHeaderSize || at - kHeaderSize > data.size())
        return false;
    const BYTE* p = data.data() + (at - kHeaderSize);
    size_t n = data.size() - (size_t)(at - kHeaderSize);
    if (e.bytes < n)
        n = e.bytes;
    if (n >= sizeof(kPngSignature) && memcmp(p, kPngSignature, sizeof(kPngSignature)) == 0)
        return _decodepng(p, n);
    return _decodebitmap(e, p, n);
}

bool RasterImageICO::_masked(long x, long y, RGBQUAD trans, bool palAlpha) const
{
    if (pAlpha != NULL && AlphaGet(x, y) == 0)
        return true;
    if (palAlpha && GetPaletteColor(GetPixelIndex(x, y)).rgbReserved == 0)
        return true;
    if (info.nTransIndex != -1) {
        RGBQUAD c = GetPixelColor(x, y, false);
        return memcmp(&c, &trans, sizeof(RGBQUAD)) == 0;
    }
    return false;
}

bool RasterImageICO::Encode(RasterFile* stream)
{
    if (EncodeSafeCheck(stream))
        return false;
    const DWORD width = GetWidth(), height = GetHeight();
    if (width > kMaxSide || height > kMaxSide) {
        _seterror("Can't save this image as icon");
        return false;
    }
    const DWORD colours = GetNumColors();
    if (GetBpp() <= 8 && colours == 0)
        return false;
    const size_t maskRow = _maskrow(width), maskSize = maskRow * height;
    const bool as32 = AlphaIsValid() && colours == 0;
    const WORD bitCount = as32 ? 32 : GetBpp();
    const DWORD imageSize = as32 ? width * height * 4 : header.biSizeImage;

    std::vector<BYTE> out;
    out.resize(kHeaderSize + kEntrySize + rasterbytes::kInfoHeaderSize);
    BYTE* p = out.data();
    p = rasterbytes::put16(p, 0);
    p = rasterbytes::put16(p, 1);
    p = rasterbytes::put16(p, 1);
    // A side of 256 is stored as 0.
    *p++ = (BYTE)(width & 0xFF);
    *p++ = (BYTE)(height & 0xFF);
    *p++ = (BYTE)(colours & 0xFF);
    *p++ = 0;
    p = rasterbytes::put16(p, 0);
    p = rasterbytes::put16(p, bitCount);
    p = rasterbytes::put32(p, imageSize + 40 + colours * 4 + (DWORD)maskSize);
    p = rasterbytes::put32(p, (DWORD)(kHeaderSize + kEntrySize));
    BITMAPINFOHEADER bi = {};
    bi.biSize = 40;
    bi.biWidth = (LONG)width;
    bi.biHeight = (LONG)(height * 2);
    bi.biPlanes = 1;
    bi.biBitCount = bitCount;
    bi.biCompression = BI_RGB;
    bi.biSizeImage = imageSize;
    rasterbytes::storeInfoHeader(p, bi);
    for (DWORD i = 0; i < colours; i++) {
        RGBQUAD q = GetPaletteColor((BYTE)i);
        out.insert(out.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, q.rgbReserved});
    }
    if (!as32) {
        out.insert(out.end(), info.pBits, info.pBits + imageSize);
    } else {
        for (DWORD y = 0; y < height; y++) {
            const BYTE* row = GetBits(y);
            for (DWORD x = 0; x < width; x++)
                out.insert(out.end(), {row[3 * x], row[3 * x + 1], row[3 * x + 2], AlphaGet((long)x, (long)y)});
        }
    }
    const size_t maskAt = out.size();
    out.resize(maskAt + maskSize, 0);
    const RGBQUAD trans = GetTransColor();
    const bool palAlpha = AlphaPaletteIsValid();
    for (DWORD y = 0; y < height; y++)
        for (DWORD x = 0; x < width; x++)
            if (_masked((long)x, (long)y, trans, palAlpha))
                out[maskAt + y * maskRow + x / 8] |= (BYTE)(0x80 >> (x % 8));
    // An icon that did not reach the stream is not saved.
    if (stream->Write(out.data(), out.size(), 1) != 1) {
        _seterror("ICO write failed");
        return false;
    }
    return true;
}

}  // namespace

const RasterCodec g_RasterCodecICO = {
    RASTER_FORMAT_ICO, RASTER_FORMAT_ICO, true, RasterCodecMake<RasterImageICO>,
    RasterCodecDecode<RasterImageICO>,
    RasterCodecEncode<RasterImageICO>, NULL,
};
