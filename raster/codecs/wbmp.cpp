// The WBMP codec (format id 9): wireless bitmaps of type 0.
//
// File layout: the type, a fixed header byte, the width and the height, each
// number a multi-byte integer (7 bits a byte, most significant first, bit 7
// set on every byte but the last); then the rows, top first, one bit a pixel
// from bit 7 down, each row padded to a whole byte; 1 is white, 0 black.
#include <new>
#include <vector>

#include "rastercodecs.h"
#include "rasteriterator.h"

namespace {

// Sides up to 2^28 - 1: four bytes of 7 bits.
constexpr int kMaxIntBytes = 4;
// The encoder keeps to the pictures small devices show.
constexpr DWORD kMaxSavedSide = 255;
// Rows a file may leave out (they decode black): a picture larger than this
// must be backed by its rows, so a few bytes never make a large allocation.
constexpr unsigned long long kUnbackedBytes = 64 * 1024;

// Reads one multi-byte integer; -1 when the data ends, -2 when it is longer
// than kMaxIntBytes.
long _readint(RasterFile* f)
{
    long value = 0;
    for (int i = 0; i < kMaxIntBytes; i++) {
        const long b = f->GetC();
        if (b < 0)
            return -1;
        value = (value << 7) | (b & 0x7F);
        if ((b & 0x80) == 0)
            return value;
    }
    return -2;
}

void _putint(std::vector<BYTE>& out, DWORD v)
{
    BYTE tmp[kMaxIntBytes + 1];
    int n = 0;
    do {
        tmp[n++] = (BYTE)(v & 0x7F);
        v >>= 7;
    } while (v != 0 && n < kMaxIntBytes + 1);
    while (n > 1)
        out.push_back((BYTE)(tmp[--n] | 0x80));
    out.push_back(tmp[0]);
}

class RasterImageWBMP : public RasterImage {
public:
    RasterImageWBMP() : RasterImage(RASTER_FORMAT_WBMP) {}

    bool Decode(RasterFile* stream);
    bool Encode(RasterFile* stream);
};

bool RasterImageWBMP::Decode(RasterFile* stream)
{
    if (stream == NULL)
        return false;
    const long type = _readint(stream);
    const long fixed = stream->GetC();
    const long width = type == -1 || fixed < 0 ? -1 : _readint(stream);
    const long height = width == -1 ? -1 : _readint(stream);
    if (type == -1 || fixed < 0 || width == -1 || height == -1)
        return _fail("Not a WBMP");
    if (type != 0)
        return _fail("Unsupported WBMP type");
    if (width <= 0 || height <= 0)
        return _fail("Corrupted WBMP");

    // A large picture must be backed by the rows the file holds.
    const size_t rowBytes = ((size_t)width + 7) >> 3;
    const unsigned long long bytes = (unsigned long long)rowBytes * (unsigned long long)height;
    const long size = stream->Size(), pos = stream->Tell();
    if (bytes > kUnbackedBytes && (size < 0 || pos < 0 || (unsigned long long)(size - pos) < bytes))
        return _fail("Corrupted WBMP");

    if (Create((DWORD)width, (DWORD)height, 1, RASTER_FORMAT_WBMP) == NULL || !IsValid())
        return _fail("WBMP Create failed");
    SetGrayPalette();

    RasterIterator iter(this);
    iter.MoveToTop();
    for (long y = 0; y < height; y++) {
        if (stream->Read(iter.GetRow(), rowBytes, 1) != 1) {
            // The rows that are missing stay black; the picture is kept.
            _seterror("WBMP data ends early");
            break;
        }
        iter.PrevRow();
    }
    return true;
}

bool RasterImageWBMP::Encode(RasterFile* stream)
{
    if (EncodeSafeCheck(stream))
        return false;
    if (GetWidth() > kMaxSavedSide || GetHeight() > kMaxSavedSide || GetBpp() != 1)
        return _fail("Can't save this image as WBMP");
    std::vector<BYTE> out;
    out.push_back(0);  // type 0
    out.push_back(0);  // fixed header
    _putint(out, GetWidth());
    _putint(out, GetHeight());
    const size_t rowBytes = (GetWidth() + 7) >> 3;
    RasterIterator iter(this);
    iter.MoveToTop();
    for (DWORD y = 0; y < GetHeight(); y++) {
        const BYTE* row = iter.GetRow();
        out.insert(out.end(), row, row + rowBytes);
        iter.PrevRow();
    }
    // A picture that did not reach the stream is not saved.
    if (stream->Write(out.data(), out.size(), 1) != 1)
        return _fail("WBMP write failed");
    return true;
}

}  // namespace

const RasterCodec g_RasterCodecWBMP = {
    RASTER_FORMAT_WBMP, RASTER_FORMAT_WBMP, false, RasterCodecMake<RasterImageWBMP>,
    RasterCodecDecode<RasterImageWBMP>,
    RasterCodecEncode<RasterImageWBMP>, NULL,
};
