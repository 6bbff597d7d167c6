// The PCX codec (format id 8).
//
// File layout (little-endian): a 128-byte header (manufacturer 0x0A,
// version, encoding 1, bits per pixel per plane, x min, y min, x max, y max,
// horizontal and vertical resolution, a 16-entry colour map of red, green,
// blue, a reserved byte, planes, bytes per line of one plane, palette
// information, filler), then the rows, top first, each holding its planes
// one after another, bytes per line each, coded in runs: a byte of 0xC0 or
// more is a count (its low 6 bits) and the next byte is repeated that often;
// any other byte stands for itself. After the data of an 8-bit single-plane
// picture comes the byte 0x0C and 256 entries of red, green, blue. In a
// 1-bit plane pixel x is bit (7 - x mod 8) of byte x / 8.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "rasterbytes.h"
#include "codecdata.h"
#include "rastercodecs.h"

namespace {

constexpr size_t kHeaderSize = 128;
constexpr BYTE kManufacturer = 0x0A;
constexpr BYTE kPaletteTag = 0x0C;
constexpr size_t kMapOffset = 16;
constexpr int kMaxRun = 63;
constexpr DWORD kMaxSide = 65536;

const char kCorrupted[] = "corrupted PCX";
const char kCancelled[] = "Cancelled";

struct PcxHeader {
    BYTE manufacturer;
    BYTE version;
    BYTE encoding;
    BYTE bitsPerPixel;
    WORD xMin, yMin, xMax, yMax;
    WORD hRes, vRes;
    BYTE map[48];
    BYTE reserved;
    BYTE planes;
    WORD bytesPerLine;
    WORD paletteInfo;
};

bool _readheader(const BYTE* p, PcxHeader& h)
{
    rasterbytes::ByteReader r(p, kHeaderSize);
    return r.u8(h.manufacturer) && r.u8(h.version) && r.u8(h.encoding) && r.u8(h.bitsPerPixel) &&
           r.u16(h.xMin) && r.u16(h.yMin) && r.u16(h.xMax) && r.u16(h.yMax) && r.u16(h.hRes) &&
           r.u16(h.vRes) && r.bytes(h.map, sizeof(h.map)) && r.u8(h.reserved) && r.u8(h.planes) &&
           r.u16(h.bytesPerLine) && r.u16(h.paletteInfo);
}

// The run coder of the encoder: equal bytes gather into runs of up to 63; a
// single byte below 0xC0 goes out as itself, anything else as a count and
// the byte.
class RunWriter {
public:
    explicit RunWriter(std::vector<BYTE>& out) : m_out(out) {}

    void add(BYTE value)
    {
        if (m_count > 0 && (value != m_value || m_count == kMaxRun))
            flush();
        m_value = value;
        m_count++;
    }
    void flush()
    {
        if (m_count == 0)
            return;
        if (m_count == 1 && m_value < 0xC0) {
            m_out.push_back(m_value);
        } else {
            m_out.push_back((BYTE)(0xC0 | m_count));
            m_out.push_back(m_value);
        }
        m_count = 0;
    }

private:
    std::vector<BYTE>& m_out;
    BYTE m_value = 0;
    int m_count = 0;
};

class RasterImagePCX : public RasterImage {
public:
    RasterImagePCX() : RasterImage(RASTER_FORMAT_PCX) {}

    bool Decode(RasterFile* stream);
    bool Encode(RasterFile* stream);

protected:
    // One row of indices from planes of 1-bit pixels: bit i of pixel x comes
    // from plane i.
    static void UnpackPlanarPixels(BYTE* pixels, const BYTE* planeBytes, int bytesPerLine, int planes);
    // One row of indices from a single plane of 1, 2, 4 or 8-bit pixels.
    static void UnpackPackedPixels(BYTE* pixels, const BYTE* packedBytes, int bytesPerLine, int bitsPerPixel);
    // Bit `plane` of each index packed eight pixels a byte, bit 7 first.
    static void SplitPixelPlane(const BYTE* indices, int width, BYTE* out, int plane);

private:
    bool _unpack(const std::vector<BYTE>& data, size_t& at, std::vector<BYTE>& out);
    bool _palette(const PcxHeader& h, const std::vector<BYTE>& data, size_t at, bool extended);
    bool _rows(const PcxHeader& h, const std::vector<BYTE>& plain);
};

void RasterImagePCX::UnpackPlanarPixels(BYTE* pixels, const BYTE* planeBytes, int bytesPerLine, int planes)
{
    memset(pixels, 0, (size_t)bytesPerLine * 8);
    for (int i = 0; i < planes; i++) {
        BYTE* px = pixels;
        const BYTE* p = planeBytes + (size_t)i * bytesPerLine;
        for (int b = 0; b < bytesPerLine; b++) {
            const BYTE bits = p[b];
            for (int k = 7; k >= 0; k--)
                *px++ |= (BYTE)(((bits >> k) & 1) << i);
        }
    }
}

void RasterImagePCX::UnpackPackedPixels(BYTE* pixels, const BYTE* packedBytes, int bytesPerLine, int bitsPerPixel)
{
    const int perByte = 8 / bitsPerPixel;
    const BYTE mask = (BYTE)((1 << bitsPerPixel) - 1);
    if (bitsPerPixel == 8) {
        memcpy(pixels, packedBytes, (size_t)bytesPerLine);
        return;
    }
    for (int b = 0; b < bytesPerLine; b++)
        for (int k = perByte - 1; k >= 0; k--)
            *pixels++ = (BYTE)((packedBytes[b] >> (k * bitsPerPixel)) & mask);
}

void RasterImagePCX::SplitPixelPlane(const BYTE* indices, int width, BYTE* out, int plane)
{
    for (int x = 0; x < width; x++) {
        if ((x & 7) == 0)
            out[x >> 3] = 0;
        out[x >> 3] |= (BYTE)(((indices[x] >> plane) & 1) << (7 - (x & 7)));
    }
}

// Decodes the runs into `out` (already sized); at moves past what was used.
bool RasterImagePCX::_unpack(const std::vector<BYTE>& data, size_t& at, std::vector<BYTE>& out)
{
    size_t filled = 0;
    const size_t total = out.size();
    while (filled < total) {
        if (at >= data.size())
            return _fail(kCorrupted);
        BYTE b = data[at++];
        if ((b & 0xC0) != 0xC0) {
            out[filled++] = b;
            continue;
        }
        size_t count = 1;
        {
            count = b & 0x3F;
            if (at >= data.size())
                return _fail(kCorrupted);
            b = data[at++];
            if (count > total - filled)
                return _fail("repeat count spans end of image");
        }
        memset(&out[filled], b, count);
        filled += count;
    }
    return true;
}

bool RasterImagePCX::_palette(const PcxHeader& h, const std::vector<BYTE>& data, size_t at, bool extended)
{
    BYTE table[256 * 3] = {};
    memcpy(table, h.map, sizeof(h.map));
    if (extended) {
        if (at >= data.size() || data[at] != kPaletteTag)
            return _fail("bad color map signature");
        if (data.size() - at - 1 < sizeof(table))
            return _fail(kCorrupted);
        memcpy(table, &data[at + 1], sizeof(table));
    } else if (h.planes == 1 && h.bitsPerPixel == 1) {
        table[3] = table[4] = table[5] = 255;  // entry 0 black, entry 1 white
        table[0] = table[1] = table[2] = 0;
    }
    for (DWORD i = 0; i < GetNumColors(); i++)
        SetPaletteColor((BYTE)i, table[3 * i], table[3 * i + 1], table[3 * i + 2], 0);
    return true;
}

bool RasterImagePCX::_rows(const PcxHeader& h, const std::vector<BYTE>& plain)
{
    const long width = (long)GetWidth(), height = (long)GetHeight();
    const size_t bpl = h.bytesPerLine;
    const size_t rowBytes = bpl * h.planes;
    std::vector<BYTE> pixels(bpl * 8 + (size_t)width);
    const bool trueColour = h.bitsPerPixel == 8 && h.planes >= 3;
    for (long y = 0; y < height; y++) {
        if (info.nEscape != 0)
            return _fail(kCancelled);
        const long row = height - 1 - y;
        const BYTE* src = &plain[rowBytes * (size_t)y];
        BYTE* dest = GetBits((DWORD)row);
        if (trueColour) {
            for (long x = 0; x < width; x++) {
                dest[3 * x] = src[2 * bpl + x];
                dest[3 * x + 1] = src[bpl + x];
                dest[3 * x + 2] = src[x];
            }
            if (h.planes == 4)
                for (long x = 0; x < width; x++)
                    AlphaSet(x, row, src[3 * bpl + x]);
            continue;
        }
        if (h.planes == 1)
            UnpackPackedPixels(pixels.data(), src, (int)bpl, h.bitsPerPixel);
        else
            UnpackPlanarPixels(pixels.data(), src, (int)bpl, h.planes);
        if (GetBpp() == 8)
            memcpy(dest, pixels.data(), (size_t)width);
        else
            for (long x = 0; x < width; x++)
                SetPixelIndex(x, row, pixels[(size_t)x]);
    }
    return true;
}

bool RasterImagePCX::Decode(RasterFile* stream)
{
    if (stream == NULL)
        return false;
    BYTE raw[kHeaderSize];
    PcxHeader h;
    if (stream->Read(raw, kHeaderSize, 1) != 1 || !_readheader(raw, h))
        return _fail("Can't read PCX image");
    if (h.manufacturer != kManufacturer)
        return _fail("Error: Not a PCX file");
    if (h.encoding != 1)
        return _fail("PCX file has unknown encoding scheme");
    if (h.xMax < h.xMin || h.yMax < h.yMin || h.planes == 0)
        return _fail(kCorrupted);
    const DWORD width = (DWORD)h.xMax - h.xMin + 1, height = (DWORD)h.yMax - h.yMin + 1;
    if (h.planes > 4)
        return _fail("Can't handle image with more than 4 planes");
    // Planes hold 1-bit pixels, or 8-bit red, green, blue (and alpha); a
    // single plane holds 1, 2, 4 or 8-bit pixels.
    const BYTE bits = h.bitsPerPixel;
    const bool trueColour = bits == 8 && h.planes >= 3;
    if (h.planes > 1 && bits != 1 && !trueColour)
        return _fail("Can't handle more than 1 bit per pixel");
    if (h.planes == 1 && bits != 1 && bits != 2 && bits != 4 && bits != 8)
        return _fail("Can't handle more than 1 bit per pixel");
    // Rows shorter than the width would leave pixels without data.
    if ((uint64_t)h.bytesPerLine * 8 < (uint64_t)width * bits)
        return _fail("PCX bytes per line too small for the width");

    const uint64_t total = (uint64_t)h.bytesPerLine * h.planes * height;
    const bool extended = bits == 8 && h.planes == 1;
    // A count byte gives at most 63 bytes, so the data must hold at least
    // total / 63 bytes; and no more than two bytes a decoded byte are read.
    std::vector<BYTE> data;
    if (!RasterReadRest(stream, total * 2 + 1 + 768, data))
        return _fail("RasterImage::Create can't allocate memory");
    if (data.size() < total / kMaxRun)
        return _fail(kCorrupted);

    const DWORD depth = trueColour ? 24 : h.planes > 1 ? 4 : bits;
    if (Create(width, height, depth, RASTER_FORMAT_PCX) == NULL)
        return false;
    info.nXDPI = h.hRes;
    info.nYDPI = h.vRes;
    if (trueColour && h.planes == 4)
        AlphaCreate();
    if (info.nEscape != 0)
        return _fail(kCancelled);

    std::vector<BYTE> plain;
    try {
        plain.resize((size_t)total);
    } catch (const std::bad_alloc&) {
        return _fail("RasterImage::Create can't allocate memory");
    }
    size_t at = 0;
    if (!_unpack(data, at, plain))
        return false;
    if (!trueColour && !_palette(h, data, at, extended))
        return false;
    return _rows(h, plain);
}

bool RasterImagePCX::Encode(RasterFile* stream)
{
    if (EncodeSafeCheck(stream))
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    if ((DWORD)width > kMaxSide || (DWORD)height > kMaxSide)
        return _fail("PCX sides are at most 65536 pixels");
    const WORD bpp = GetBpp();
    const bool deep = bpp >= 8;
    const bool trueColour = GetNumColors() == 0;
    const int planes = deep ? (trueColour ? (AlphaIsValid() ? 4 : 3) : 1) : (GetNumColors() == 16 ? 4 : 1);
    int bpl = deep ? width : (width + 7) / 8;
    bpl += bpl & 1;  // even, as readers expect

    BYTE head[kHeaderSize] = {};
    head[0] = kManufacturer;
    head[1] = 5;
    head[2] = 1;
    head[3] = deep ? 8 : 1;
    rasterbytes::put16(head + 8, (WORD)(width - 1));
    rasterbytes::put16(head + 10, (WORD)(height - 1));
    rasterbytes::put16(head + 12, (WORD)info.nXDPI);
    rasterbytes::put16(head + 14, (WORD)info.nYDPI);
    if (!deep && planes == 1) {
        memset(head + kMapOffset + 3, 255, 3);
    } else if (!deep) {
        for (int i = 0; i < 16; i++) {
            RGBQUAD c = GetPaletteColor((BYTE)i);
            head[kMapOffset + 3 * i] = c.rgbRed;
            head[kMapOffset + 3 * i + 1] = c.rgbGreen;
            head[kMapOffset + 3 * i + 2] = c.rgbBlue;
        }
    }
    head[65] = (BYTE)planes;
    rasterbytes::put16(head + 66, (WORD)bpl);
    rasterbytes::put16(head + 68, trueColour ? 1 : 0);
    if (stream->Write(head, kHeaderSize, 1) != 1)
        return _fail("cannot write PCX header");

    std::vector<BYTE> out;
    RunWriter runs(out);
    std::vector<BYTE> indices((size_t)width), plane((size_t)bpl);
    // 1-bit pictures go out with their 1 bits as the brighter colour.
    RGBQUAD c0 = GetPaletteColor(0), c1 = GetPaletteColor(1);
    const bool flip = bpp == 1 && CompareColors(&c0, &c1) > 0;
    for (long y = height - 1; y >= 0; y--) {
        const BYTE* src = GetBits((DWORD)y);
        if (deep && trueColour) {
            for (int p = 0; p < planes; p++) {
                for (long x = 0; x < width; x++)
                    runs.add(p == 3 ? AlphaGet(x, y) : src[3 * x + 2 - p]);
                if (width & 1)
                    runs.add(0);
                runs.flush();
            }
        } else if (deep) {
            for (long x = 0; x < width; x++)
                runs.add(src[x]);
            if (width & 1)
                runs.add(0);
            runs.flush();
        } else {
            for (long x = 0; x < width; x++)
                indices[(size_t)x] = flip ? (BYTE)(1 - GetPixelIndex(x, y)) : GetPixelIndex(x, y);
            for (int p = 0; p < planes; p++) {
                std::fill(plane.begin(), plane.end(), 0);
                SplitPixelPlane(indices.data(), (int)width, plane.data(), p);
                for (BYTE b : plane)
                    runs.add(b);
                runs.flush();
            }
        }
    }
    if (deep && !trueColour) {
        out.push_back(kPaletteTag);
        for (int i = 0; i < 256; i++) {
            RGBQUAD c = (DWORD)i < GetNumColors() ? GetPaletteColor((BYTE)i) : RGBQUAD{0, 0, 0, 0};
            out.push_back(c.rgbRed);
            out.push_back(c.rgbGreen);
            out.push_back(c.rgbBlue);
        }
    }
    // A picture that did not reach the stream is not saved.
    if (stream->Write(out.data(), out.size(), 1) != 1)
        return _fail("cannot write PCX data");
    return true;
}

}  // namespace

const RasterCodec g_RasterCodecPCX = {
    RASTER_FORMAT_PCX, RASTER_FORMAT_PCX, false, RasterCodecMake<RasterImagePCX>,
    RasterCodecDecode<RasterImagePCX>,
    RasterCodecEncode<RasterImagePCX>, NULL,
};
