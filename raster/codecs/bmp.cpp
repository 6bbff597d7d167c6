// The BMP codec.
//
// File layout: an optional 14-byte file header ("BM", file size, two reserved
// words, offset of the pixels), an info header (12-byte core form with WORD
// sizes, 40-byte form, 64-byte form, or a longer form whose bytes 40..51 hold
// the red, green and blue masks), the palette (3-byte entries after a core
// header, 4-byte ones otherwise) or the bit-field masks, then the rows,
// bottom-up unless the height is negative.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "rasterbmp.h"
#include "rasterbytes.h"
#include "rastercodecs.h"
#include "rasterlimits.h"

namespace {

constexpr WORD kBmpTag = 0x4D42;  // "BM"
constexpr size_t kFileHeaderSize = 14;
static_assert(sizeof(BITMAPFILEHEADER) == kFileHeaderSize, "BITMAPFILEHEADER is 14 bytes");
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kMaskBytes = 12;  // three DWORD masks
const char kBitCount[] = "BMP bit count not supported";
const char kShortBlock[] = "DIB block shorter than its header says";

using rasterlimits::BytesLeft;
using rasterlimits::RowBytes;

// Moves n bytes forward; false when the data ends before that.
bool _skip(RasterFile* f, uint64_t n)
{
    if (n == 0)
        return true;
    long long left = BytesLeft(f);
    if ((left >= 0 && n > (uint64_t)left) || n > (uint64_t)LONG_MAX)
        return false;
    return f->Seek((long)n, SEEK_CUR);
}

// Reads n bytes into dst; what the stream does not have reads as zero.
void _readorzero(RasterFile* f, BYTE* dst, size_t n)
{
    size_t got = n != 0 ? f->Read(dst, 1, n) : 0;
    if (got < n)
        memset(dst + got, 0, n - got);
}

// Single bytes from a stream, read 4096 at a time, for the run-length decoders.
class StreamBytes {
public:
    explicit StreamBytes(RasterFile* f) : m_file(f) {}

    bool next(BYTE& b)
    {
        if (m_pos == m_len) {
            m_len = m_file->Read(m_buf, 1, sizeof(m_buf));
            m_pos = 0;
            if (m_len == 0)
                return false;
        }
        b = m_buf[m_pos++];
        return true;
    }

private:
    RasterFile* m_file;
    BYTE m_buf[4096];
    size_t m_pos = 0;
    size_t m_len = 0;
};

// Run-length writes go through a cursor that drops anything outside the
// pixel rows. A run past the right edge continues into the next row in memory.
class RleCursor {
public:
    RleCursor(BYTE* bits, DWORD effwidth, DWORD height)
        : m_bits(bits), m_eff(effwidth), m_height(height), m_total((uint64_t)effwidth * height)
    {
    }

    void endLine()
    {
        col = 0;
        row++;
    }
    bool done() const { return row >= m_height; }
    // The byte for byte column `bytecol`, or null outside the pixel rows.
    BYTE* at(uint64_t bytecol) const
    {
        uint64_t off = row * m_eff + bytecol;
        return off < m_total ? m_bits + off : NULL;
    }

    uint64_t row = 0;
    uint64_t col = 0;  // bytes for RLE8, pixels for RLE4

private:
    BYTE* m_bits;
    uint64_t m_eff;
    uint64_t m_height;
    uint64_t m_total;
};

void _setnibble(BYTE* p, uint64_t pixel, BYTE value)
{
    if (p == NULL)
        return;
    if (pixel & 1)
        *p = (BYTE)((*p & 0xF0) | (value & 0x0F));
    else
        *p = (BYTE)((*p & 0x0F) | (value << 4));
}

// Whether the data after the headers can back the image the header claims:
// raw rows give 8 / bits pixels a byte, run-length codes at most
// kRlePixelsPerByte. What it cannot back comes out of the host's allowance.
bool _backed(RasterFile* f, const BITMAPINFOHEADER& bi, DWORD width, DWORD height)
{
    const long long left = BytesLeft(f);
    const uint64_t data = left > 0 ? (uint64_t)left : 0;
    const uint64_t pixels = (uint64_t)width * height;
    unsigned long long allowance = RasterGetUnbackedPixels();
    if (bi.biCompression == BI_RLE8 || bi.biCompression == BI_RLE4)
        return rasterlimits::Backed(pixels, left, rasterlimits::kRlePixelsPerByte, allowance);
    return rasterlimits::Covered(pixels, data / bi.biBitCount * 8, allowance);
}

// The bit counts the codec reads.
bool _readable(WORD bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// One channel of a 32-bit pixel under its bit-field mask, scaled to 8 bits
// by keeping its top bits.
struct Channel32 {
    explicit Channel32(DWORD mask) : mask(mask)
    {
        if (mask != 0) {
            shift = __builtin_ctz(mask);
            width = __builtin_popcount(mask);
        }
    }
    BYTE operator()(DWORD v) const
    {
        DWORD c = (v & mask) >> shift;
        return (BYTE)(width >= 8 ? c >> (width - 8) : c << (8 - width));
    }

    DWORD mask;
    int shift = 0;
    int width = 8;
};

// The run-length walk both depths share. A pair with a non-zero count is a
// run (run(count, value)); a zero count is an escape: 0 ends the line, 1 the
// picture, 2 moves the cursor by the next two bytes, and any other is a
// literal of that many pixels (literal(count), false when the stream ends).
template <typename Run, typename Literal>
void WalkRle(StreamBytes& in, RleCursor& at, Run run, Literal literal)
{
    BYTE b, c;
    while (!at.done() && in.next(b) && in.next(c)) {
        if (b != 0) {
            run(b, c);
        } else if (c == 0) {
            at.endLine();
        } else if (c == 1) {
            return;
        } else if (c == 2) {
            BYTE dx, dy;
            if (!in.next(dx) || !in.next(dy))
                return;
            at.col += dx;
            at.row += dy;
        } else if (!literal(c)) {
            return;
        }
    }
}

}  // namespace

bool RasterImageBMP::ReadInfoHeader(RasterFile* stream, BITMAPINFOHEADER* bih)
{
    DWORD masks[3];
    bool hasMasks;
    return _readinfoheader(stream, bih, masks, &hasMasks);
}

bool RasterImageBMP::_readinfoheader(RasterFile* f, BITMAPINFOHEADER* h, DWORD masks[3], bool* hasMasks)
{
    *hasMasks = false;
    masks[0] = masks[1] = masks[2] = 0;
    if (f == NULL || h == NULL)
        return false;
    memset(h, 0, sizeof(*h));

    // The header's own size comes first and says how much follows, so that a
    // small core-form file is not asked for 40 bytes it does not have.
    BYTE buf[rasterbytes::kInfoHeaderSize];
    if (f->Read(buf, 1, 4) != 4)
        return false;
    h->biSize = rasterbytes::get32(buf);

    if (h->biSize == kCoreHeaderSize) {
        if (f->Read(buf, 1, 8) != 8)
            return false;
        rasterbytes::ByteReader r(buf, 8);
        WORD width, height;
        r.u16(width);
        r.u16(height);
        r.u16(h->biPlanes);
        r.u16(h->biBitCount);
        h->biWidth = width;
        h->biHeight = height;
    } else if (h->biSize >= rasterbytes::kInfoHeaderSize) {
        if (f->Read(buf, 1, 36) != 36)
            return false;
        rasterbytes::ByteReader r(buf, 36);
        rasterbytes::loadInfoHeaderBody(r, *h);
        uint64_t extra = h->biSize - rasterbytes::kInfoHeaderSize;
        if (h->biSize == 52 || h->biSize == 56 || h->biSize == 108 || h->biSize == 124) {
            // The versions that follow the 40-byte form start with the masks.
            BYTE m[kMaskBytes];
            if (f->Read(m, 1, kMaskBytes) != kMaskBytes)
                return false;
            for (int i = 0; i < 3; i++)
                masks[i] = rasterbytes::get32(m + 4 * i);
            *hasMasks = true;
            extra -= kMaskBytes;
        } else if (h->biSize != 40 && h->biSize != 64) {
            // Any other long form only for plain uncompressed pixels of exact size.
            uint64_t expect = RowBytes(h->biBitCount, (uint64_t)(int64_t)h->biWidth) *
                              (uint64_t)(int64_t)h->biHeight;
            if (h->biSizeImage != (DWORD)expect || h->biPlanes != 1 || h->biCompression != BI_RGB ||
                h->biClrUsed != 0)
                return false;
        }
        if (!_skip(f, extra))
            return false;
    } else {
        return false;
    }

    if (h->biSizeImage == 0) {
        uint64_t bits = ((uint64_t)h->biBitCount * (uint64_t)(int64_t)h->biWidth + 31) & ~(uint64_t)31;
        h->biSizeImage = (DWORD)(bits / 8 * (uint64_t)(int64_t)h->biHeight);
    }
    if (h->biClrUsed == 0 && h->biBitCount <= 8)
        h->biClrUsed = 1u << h->biBitCount;
    return true;
}

bool RasterImageBMP::_readpalette(RasterFile* f, DWORD entries, bool core, bool skipRest)
{
    RGBQUAD* pal = GetPalette();
    DWORD n = entries < header.biClrUsed ? entries : header.biClrUsed;
    size_t size = core ? 3 : 4;
    BYTE buf[256 * 4];
    if (n != 0 && f->Read(buf, size, n) != n)
        return false;
    for (DWORD i = 0; i < n; i++) {
        pal[i].rgbBlue = buf[i * size];
        pal[i].rgbGreen = buf[i * size + 1];
        pal[i].rgbRed = buf[i * size + 2];
        pal[i].rgbReserved = 0;
    }
    // Entries past the image's palette are not kept; when the pixels follow
    // the palette directly they still have to be passed over.
    return !skipRest || _skip(f, (uint64_t)(entries - n) * size);
}

void RasterImageBMP::_readrle8(RasterFile* f)
{
    StreamBytes in(f);
    RleCursor at(info.pBits, info.dwEffWidth, GetHeight());
    auto run = [&at](BYTE count, BYTE c) {  // count copies of c
        for (int i = 0; i < count; i++, at.col++) {
            if (BYTE* p = at.at(at.col))
                *p = c;
        }
    };
    auto literal = [&in, &at](BYTE count) {  // count bytes, padded to a whole word
        for (int i = 0; i < count; i++, at.col++) {
            BYTE v;
            if (!in.next(v))
                return false;
            if (BYTE* p = at.at(at.col))
                *p = v;
        }
        BYTE pad;
        return !(count & 1) || in.next(pad);
    };
    WalkRle(in, at, run, literal);
}

// RLE4 counts its cursor in pixels: even pixels go into the high nibble, so a
// run or a literal that starts on an odd column still lands pixel by pixel.
void RasterImageBMP::_readrle4(RasterFile* f)
{
    StreamBytes in(f);
    RleCursor at(info.pBits, info.dwEffWidth, GetHeight());
    auto run = [&at](BYTE count, BYTE c) {  // count pixels alternating c's high and low nibble
        for (int i = 0; i < count; i++, at.col++)
            _setnibble(at.at(at.col >> 1), at.col, (i & 1) ? (BYTE)(c & 0x0F) : (BYTE)(c >> 4));
    };
    auto literal = [&in, &at](BYTE count) {  // count pixels, two a byte, padded to a whole word
        BYTE v = 0;
        for (int i = 0; i < count; i++, at.col++) {
            if (!(i & 1) && !in.next(v))
                return false;
            _setnibble(at.at(at.col >> 1), at.col, (i & 1) ? (BYTE)(v & 0x0F) : (BYTE)(v >> 4));
        }
        BYTE pad;
        return !(((count + 1) / 2) & 1) || in.next(pad);
    };
    WalkRle(in, at, run, literal);
}

bool RasterImageBMP::_readpixels(RasterFile* f, const BITMAPINFOHEADER& bi, const DWORD masks[3])
{
    DWORD compression = bi.biCompression;
    DWORD width = GetWidth(), height = GetHeight();
    switch (bi.biBitCount) {
    case 1:
    case 4:
    case 8:
        if (compression == BI_RGB) {
            _readorzero(f, info.pBits, header.biSizeImage);
        } else if (compression == BI_RLE8 || compression == BI_RLE4) {
            // Pixels the codes skip keep index 0 from the zeroed block.
            if (compression == BI_RLE8)
                _readrle8(f);
            else
                _readrle4(f);
        } else {
            return _fail("compression type not supported");
        }
        return true;
    case 16:
        // The 16-bit rows fit in the 24-bit block and expand in place.
        _readorzero(f, info.pBits, (size_t)RowBytes(16, width) * height);
        Bitfield2RGB(info.pBits, (WORD)masks[0], (WORD)masks[1], (WORD)masks[2], 16);
        return true;
    case 24:
        if (compression != BI_RGB)
            return _fail("unknown compression");
        _readorzero(f, info.pBits, header.biSizeImage);
        return true;
    case 32:
        if (compression != BI_RGB && compression != BI_BITFIELDS)
            return _fail("unknown compression");
        return _read32(f, masks);
    default:
        return _fail(kBitCount);
    }
}

// 32-bit rows, one at a time, each pixel's channels taken by the masks.
bool RasterImageBMP::_read32(RasterFile* f, const DWORD masks[3])
{
    const DWORD width = GetWidth(), height = GetHeight();
    // No rows, or rows of nothing: no row buffer either, however wide.
    if (width == 0 || height == 0)
        return true;
    const size_t rowBytes = (size_t)width * 4;
    std::unique_ptr<BYTE[]> row(new (std::nothrow) BYTE[rowBytes == 0 ? 1 : rowBytes]);
    if (!row)
        return _fail(rasterlimits::kTextNoMemory);
    const Channel32 red(masks[0]), green(masks[1]), blue(masks[2]);
    for (DWORD y = 0; y < height; y++) {
        _readorzero(f, row.get(), rowBytes);
        BYTE* d = info.pBits + (size_t)y * info.dwEffWidth;
        for (DWORD x = 0; x < width; x++, d += 3) {
            const DWORD v = rasterbytes::get32(row.get() + 4 * (size_t)x);
            d[0] = blue(v);
            d[1] = green(v);
            d[2] = red(v);
        }
    }
    return true;
}

bool RasterImageBMP::Decode(RasterFile* f)
{
    if (f == NULL)
        return false;
    long start = f->Tell();

    BYTE fh[kFileHeaderSize];
    if (f->Read(fh, 1, kFileHeaderSize) != kFileHeaderSize)
        return _fail("Not a BMP");
    // Only the tag and the pixel offset matter for reading.
    WORD tag = (WORD)(fh[0] | (fh[1] << 8));
    DWORD offbits = rasterbytes::get32(fh + 10);
    if (tag != kBmpTag) {  // a bare DIB starts with its info header
        offbits = 0;
        f->Seek(start, SEEK_SET);
    }
    return _decodedib(f, start, offbits, false);
}

bool RasterImageBMP::DecodeDIB(RasterFile* f)
{
    if (f == NULL)
        return false;
    return _decodedib(f, f->Tell(), 0, true);
}

namespace {

// Where the pixels of a packed DIB start, counted from its header: after the
// header, the masks a 40-byte header leaves to follow it, and the colour
// table of biClrUsed entries (the full table below 9 bits).
uint64_t _packedoffset(const BITMAPINFOHEADER& bi, bool headerMasks)
{
    uint64_t off = bi.biSize;
    if (bi.biCompression == BI_BITFIELDS && !headerMasks && (bi.biBitCount == 16 || bi.biBitCount == 32))
        off += kMaskBytes;
    return off + (uint64_t)bi.biClrUsed * (bi.biSize == kCoreHeaderSize ? 3 : 4);
}

// The bytes of pixel data the header promises: whole rows when they are not
// run-length coded. Run-length data ends where its codes say.
uint64_t _promisedbytes(const BITMAPINFOHEADER& bi, DWORD width, DWORD height)
{
    if (bi.biCompression == BI_RLE8 || bi.biCompression == BI_RLE4)
        return 0;
    return RowBytes(bi.biBitCount, width) * height;
}

}  // namespace

bool RasterImageBMP::_decodedib(RasterFile* f, long start, DWORD offbits, bool packed)
{
    BITMAPINFOHEADER bi;
    DWORD masks[3];
    bool headerMasks;
    if (!_readinfoheader(f, &bi, masks, &headerMasks) || bi.biWidth < 0 || bi.biHeight == INT32_MIN)
        return _fail("Error reading BMP info");
    bool core = bi.biSize == kCoreHeaderSize;
    bool topdown = bi.biHeight < 0;
    DWORD width = (DWORD)bi.biWidth;
    DWORD height = (DWORD)(topdown ? -bi.biHeight : bi.biHeight);

    if (info.nEscape == -1) {  // the caller asks for the size only
        header.biWidth = (LONG)width;
        header.biHeight = (LONG)height;
        _seterror("output dimensions returned");
        return true;
    }

    if (!_readable(bi.biBitCount))
        return _fail(kBitCount);
    if (packed) {
        // A block is all there is: the pixels follow the colour table, and a
        // block that stops short of what its header promises is refused.
        const uint64_t at = _packedoffset(bi, headerMasks);
        const long size = f->Size();
        if (size < start || at > (uint64_t)(size - start) ||
            _promisedbytes(bi, width, height) > (uint64_t)(size - start) - at)
            return _fail(kShortBlock);
        offbits = (DWORD)at;
    }
    if (!_backed(f, bi, width, height))
        return _fail(rasterlimits::kTextTooLarge);
    if (Create(width, height, bi.biBitCount, RASTER_FORMAT_BMP) == NULL)
        return _fail("Can't allocate memory");
    header.biXPelsPerMeter = bi.biXPelsPerMeter;
    header.biYPelsPerMeter = bi.biYPelsPerMeter;
    info.nXDPI = (long)floor(bi.biXPelsPerMeter * 254.0 / 10000.0 + 0.5);
    info.nYDPI = (long)floor(bi.biYPelsPerMeter * 254.0 / 10000.0 + 0.5);
    if (info.nEscape != 0)
        return _fail("Cancelled");

    if (GetPalette() != NULL && !_readpalette(f, bi.biClrUsed, core, offbits == 0))
        return _fail("Error reading BMP info");
    if (info.nEscape != 0)
        return _fail("Cancelled");

    if (bi.biBitCount == 16 || bi.biBitCount == 32) {
        if (bi.biCompression == BI_BITFIELDS && !headerMasks) {
            BYTE m[kMaskBytes];
            if (f->Read(m, 1, kMaskBytes) != kMaskBytes)
                return _fail("Error reading BMP info");
            for (int i = 0; i < 3; i++)
                masks[i] = rasterbytes::get32(m + 4 * i);
        }
        // Without bit fields, or with none set, the usual layouts: 5-5-5
        // and 8-8-8 from the top.
        if (bi.biCompression != BI_BITFIELDS || (masks[0] | masks[1] | masks[2]) == 0) {
            const bool wide = bi.biBitCount == 32;
            masks[0] = wide ? 0x00FF0000 : 0x7C00;
            masks[1] = wide ? 0x0000FF00 : 0x03E0;
            masks[2] = wide ? 0x000000FF : 0x001F;
        }
    }
    if (offbits != 0) {
        long size = f->Size();
        if ((size >= 0 && (long long)start + offbits > size) ||
            !f->Seek(start + (long)offbits, SEEK_SET))
            return _fail("Error reading BMP info");
    }
    if (!_readpixels(f, bi, masks))
        return false;

    if (topdown && !Flip())
        return _fail("Can't allocate memory");
    return true;
}

bool RasterImageBMP::Encode(RasterFile* f)
{
    if (EncodeSafeCheck(f))
        return false;
    BYTE fh[kFileHeaderSize];
    BYTE* p = rasterbytes::put16(fh, kBmpTag);
    p = rasterbytes::put32(p, (DWORD)GetSize() + (DWORD)kFileHeaderSize);
    p = rasterbytes::put16(p, 0);
    p = rasterbytes::put16(p, 0);
    rasterbytes::put32(p, header.biSize + GetPaletteSize() + (DWORD)kFileHeaderSize);
    // The block's header takes the image's current one (resolution, sizes).
    rasterbytes::storeInfoHeader(static_cast<BYTE*>(pDib), header);
    if (f->Write(fh, 1, kFileHeaderSize) != kFileHeaderSize || f->Write(pDib, (size_t)GetSize(), 1) != 1)
        return _fail("Write Error in BMP file");
    return true;
}

const RasterCodec g_RasterCodecBMP = {
    RASTER_FORMAT_BMP, RASTER_FORMAT_BMP, false, RasterCodecMake<RasterImageBMP>,
    RasterCodecDecode<RasterImageBMP>,
    RasterCodecEncode<RasterImageBMP>, NULL,
};
