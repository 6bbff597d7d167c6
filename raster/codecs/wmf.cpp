// The WMF and EMF codec (format id 10).
//
// A placeable Windows metafile starts with a 22-byte header (key 0x9AC6CDD7,
// a handle word, the picture's box as four signed words, units per inch, a
// reserved DWORD and the XOR checksum of the ten words before it), followed by
// the Windows metafile itself: an 18-byte header (type 1 or 2, header size,
// version, the metafile's size in 16-bit words, object count, largest record,
// parameter count) and its records. An enhanced metafile starts with its
// header record, whose bounds (inclusive, in device pixels) size the picture.
//
// Either kind is handed to GDI as an enhanced-metafile handle, played into a
// screen-compatible bitmap filled with the window colour, and copied into the
// image. Everything is measured from where the metafile starts in the stream,
// which need not be its beginning.
#include "wmf.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "rastercodecs.h"

namespace {

constexpr DWORD kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableBytes = 22;
constexpr size_t kWindowsHeaderBytes = 18;
// An enhanced metafile's header record up to its signature, version and
// size in bytes.
constexpr size_t kEnhTagBytes = 52;
constexpr WORD kMaxUnitsPerInch = 2540;
constexpr long kMaxSide = 4000;
// The most a band of the picture's playing bitmap holds (at 4 bytes a pixel).
constexpr long long kBandBytes = 16ll << 20;
// The picture's extents are scaled up by tens while both stay below this,
// for precision in the conversion.
constexpr long kExtentScaleLimit = 6554;

const char kTextCorrupted[] = "corrupted WMF";
const char kTextEmpty[] = "empty WMF";
const char kTextCancelled[] = "Cancelled";

WORD Le16(const BYTE* p)
{
    return (WORD)(p[0] | (p[1] << 8));
}

DWORD Le32(const BYTE* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((DWORD)p[3] << 24);
}

// The placeable header field by field.
RasterPlaceableHeader ReadPlaceable(const BYTE* b)
{
    RasterPlaceableHeader h;
    h.key = Le32(b);
    h.handle = Le16(b + 4);
    h.left = (SHORT)Le16(b + 6);
    h.top = (SHORT)Le16(b + 8);
    h.right = (SHORT)Le16(b + 10);
    h.bottom = (SHORT)Le16(b + 12);
    h.unitsPerInch = Le16(b + 14);
    h.reserved = Le32(b + 16);
    h.checksum = Le16(b + 20);
    return h;
}

WORD Checksum(const RasterPlaceableHeader& h)
{
    // The ten words at offsets 0 to 18.
    const WORD words[10] = {(WORD)(h.key & 0xFFFF), (WORD)(h.key >> 16), h.handle,
                            (WORD)h.left, (WORD)h.top, (WORD)h.right, (WORD)h.bottom,
                            h.unitsPerInch, (WORD)(h.reserved & 0xFFFF), (WORD)(h.reserved >> 16)};
    WORD sum = 0;
    for (WORD w : words)
        sum ^= w;
    return sum;
}

// The screen's pixels per inch, across and down.
void ScreenResolution(long& x, long& y)
{
    HDC screen = GetDC(NULL);
    x = GetDeviceCaps(screen, LOGPIXELSX);
    y = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
}

// Bytes from `start` to the stream's end, or -1 when the stream cannot tell.
long long BytesFrom(RasterFile* stream, long start)
{
    const long size = stream->Size();
    if (size < 0 || start < 0 || size < start)
        return -1;
    return (long long)size - start;
}

// Rows a band: as many as kBandBytes holds, at least one, at most the
// picture's.
long BandRows(long width, long height)
{
    const long long rows = kBandBytes / ((long long)width * 4);
    return (long)std::max(1ll, std::min((long long)height, rows));
}

}  // namespace

bool RasterImageWMF::IsPlaceableHeader(const RasterPlaceableHeader& header)
{
    return header.key == kPlaceableKey && Checksum(header) == header.checksum &&
           header.unitsPerInch >= 1 && header.unitsPerInch <= kMaxUnitsPerInch;
}

void RasterImageWMF::LimitMetafileSize(long& width, long& height)
{
    if (width > kMaxSide) {
        height = height * kMaxSide / width;
        width = kMaxSide;
    }
    if (height > kMaxSide) {
        width = width * kMaxSide / height;
        height = kMaxSide;
    }
    // A very thin picture keeps one pixel rather than vanishing.
    if (width == 0)
        width = 1;
    if (height == 0)
        height = 1;
}

HENHMETAFILE RasterImageWMF::LoadPlaceableMetafile(RasterFile* stream, long start,
                                                   RasterPlaceableHeader& header)
{
    const long long total = BytesFrom(stream, start);
    BYTE head[kPlaceableBytes];
    if (total < 0 || stream->Read(head, 1, kPlaceableBytes) != kPlaceableBytes)
        return NULL;
    header = ReadPlaceable(head);
    if (!IsPlaceableHeader(header))
        return NULL;

    BYTE meta[kWindowsHeaderBytes];
    if (stream->Read(meta, 1, kWindowsHeaderBytes) != kWindowsHeaderBytes)
        return NULL;
    const WORD type = Le16(meta);
    if (type != 1 && type != 2)
        return NULL;
    // The size in words, doubled in 64 bits; at least its own header, and
    // no more than the stream holds after the placeable header.
    const uint64_t size = (uint64_t)Le32(meta + 6) * 2;
    if (size < kWindowsHeaderBytes || size > (uint64_t)(total - (long long)kPlaceableBytes) ||
        size > UINT_MAX)
        return NULL;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[(size_t)size]);
    if (!buffer || !stream->Seek(start + (long)kPlaceableBytes, SEEK_SET) ||
        stream->Read(buffer.get(), 1, (size_t)size) != (size_t)size)
        return NULL;

    // The picture in MM_ANISOTROPIC, its extents in screen pixels scaled up
    // by tens while both are small. Extents of 0 or less (an empty or
    // turned-over box) are left alone: scaling them would never end.
    long ppx, ppy;
    ScreenResolution(ppx, ppy);
    METAFILEPICT picture = {};
    picture.mm = MM_ANISOTROPIC;
    picture.xExt = (LONG)((long)(header.right - header.left) * ppx / header.unitsPerInch);
    picture.yExt = (LONG)((long)(header.bottom - header.top) * ppy / header.unitsPerInch);
    while (picture.xExt > 0 && picture.yExt > 0 && picture.xExt < kExtentScaleLimit &&
           picture.yExt < kExtentScaleLimit) {
        picture.xExt *= 10;
        picture.yExt *= 10;
    }
    HDC screen = GetDC(NULL);
    HENHMETAFILE handle = SetWinMetaFileBits((UINT)size, buffer.get(), screen, &picture);
    ReleaseDC(NULL, screen);
    return handle;
}

HENHMETAFILE RasterImageWMF::LoadEnhancedMetafile(RasterFile* stream, long start,
                                                  ENHMETAHEADER& header)
{
    long long size = BytesFrom(stream, start);
    if (size < (long long)kEnhTagBytes || (unsigned long long)size > UINT_MAX)
        return NULL;
    // The record type and signature first, so that a stream of something
    // else is not read whole only to be refused.
    BYTE tag[kEnhTagBytes];
    if (stream->Read(tag, 1, kEnhTagBytes) != kEnhTagBytes || Le32(tag) != EMR_HEADER ||
        Le32(tag + 40) != ENHMETA_SIGNATURE || !stream->Seek(start, SEEK_SET))
        return NULL;
    // The metafile is as long as its header says: bytes after it (a stream
    // padded, or holding more) are not part of it.
    const DWORD bytes = Le32(tag + 48);
    if (bytes >= kEnhTagBytes && (long long)bytes < size)
        size = bytes;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[(size_t)size]);
    if (!buffer || stream->Read(buffer.get(), 1, (size_t)size) != (size_t)size)
        return NULL;
    HENHMETAFILE handle = SetEnhMetaFileBits((UINT)size, buffer.get());
    if (handle == NULL)
        return NULL;
    if (GetEnhMetaFileHeader(handle, sizeof(ENHMETAHEADER), &header) == 0) {
        DeleteEnhMetaFile(handle);
        return NULL;
    }
    return handle;
}

bool RasterImageWMF::Decode(RasterFile* stream, long forcedWidth, long forcedHeight)
{
    if (stream == NULL)
        return false;
    const long start = stream->Tell();
    long width = 0, height = 0;

    RasterPlaceableHeader placeable;
    HENHMETAFILE handle = LoadPlaceableMetafile(stream, start, placeable);
    if (handle != NULL) {
        long ppx, ppy;
        ScreenResolution(ppx, ppy);
        width = (long)(placeable.right - placeable.left) * ppx / placeable.unitsPerInch;
        height = (long)(placeable.bottom - placeable.top) * ppy / placeable.unitsPerInch;
    } else {
        ENHMETAHEADER emf;
        stream->Seek(start, SEEK_SET);
        handle = LoadEnhancedMetafile(stream, start, emf);
        if (handle == NULL)
            return _fail(kTextCorrupted);
        // The bounds are inclusive: both edges are drawn.
        width = (long)((int64_t)emf.rclBounds.right - emf.rclBounds.left + 1);
        height = (long)((int64_t)emf.rclBounds.bottom - emf.rclBounds.top + 1);
    }
    if (info.nEscape != 0) {
        DeleteEnhMetaFile(handle);
        return _fail(kTextCancelled);
    }
    // A picture without area (or turned over) has nothing to show, whatever
    // size is asked of it; so has a size asked below one pixel.
    if (width <= 0 || height <= 0 || forcedWidth < 0 || forcedHeight < 0) {
        DeleteEnhMetaFile(handle);
        return _fail(kTextEmpty);
    }
    if (forcedWidth != 0)
        width = forcedWidth;
    if (forcedHeight != 0)
        height = forcedHeight;
    LimitMetafileSize(width, height);

    // The picture is played a band of rows at a time into a bitmap of no
    // more than kBandBytes, each band copied into the image: a large picture
    // costs its own pixels and one band, not a second copy of itself.
    const long bandRows = BandRows(width, height);
    HDC screen = GetDC(NULL);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, (int)width, (int)bandRows);
    HDC memory = CreateCompatibleDC(screen);
    ReleaseDC(NULL, screen);
    if (memory == NULL || bitmap == NULL) {
        if (bitmap != NULL)
            DeleteObject(bitmap);
        if (memory != NULL)
            DeleteDC(memory);
        DeleteEnhMetaFile(handle);
        return false;
    }

    const int bpp = GetDeviceCaps(memory, BITSPIXEL);
    HGDIOBJ previous = SelectObject(memory, bitmap);

    // The metafile's own palette, for screens that have one.
    HPALETTE palette = NULL, oldPalette = NULL;
    const UINT entries = GetEnhMetaFilePaletteEntries(handle, 0, NULL);
    if (entries > 0 && entries != GDI_ERROR && entries <= 0xFFFF) {
        LOGPALETTE* logical = (LOGPALETTE*)GlobalAlloc(GPTR, entries * sizeof(PALETTEENTRY) + 4);
        if (logical == NULL) {
            SelectObject(memory, previous);
            DeleteObject(bitmap);
            DeleteDC(memory);
            DeleteEnhMetaFile(handle);
            return _fail(kTextCancelled);
        }
        logical->palVersion = 0x300;
        logical->palNumEntries = (WORD)entries;
        GetEnhMetaFilePaletteEntries(handle, entries, logical->palPalEntry);
        palette = CreatePalette(logical);
        GlobalFree(logical);
        if (palette != NULL) {
            oldPalette = SelectPalette(memory, palette, FALSE);
            RealizePalette(memory);
        }
    }

    bool ok = Create((DWORD)width, (DWORD)height, (DWORD)bpp, RASTER_FORMAT_WMF) != NULL;
    // GetDIBits fills the header and, below 16 bits, the colour table after
    // it: room for both, then the table goes to the image's palette.
    std::vector<BYTE> bmi(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    BITMAPINFO* asked = reinterpret_cast<BITMAPINFO*>(bmi.data());
    for (long top = 0; ok && top < height; top += bandRows) {
        const long rows = std::min(bandRows, height - top);
        if (rows != bandRows) {
            // The last band, shorter: a bitmap of its own height, so its
            // rows are the bitmap's.
            HBITMAP last = CreateCompatibleBitmap(memory, (int)width, (int)rows);
            if (last == NULL) {
                ok = false;
                break;
            }
            SelectObject(memory, last);
            DeleteObject(bitmap);
            bitmap = last;
        }
        ok = _playBand(memory, bitmap, previous, handle, width, height, top, rows, asked);
        if (ok && info.nEscape != 0)
            break;
    }
    SelectObject(memory, previous);
    DeleteEnhMetaFile(handle);
    // The palette made here goes once the context no longer holds it.
    if (palette != NULL) {
        SelectPalette(memory, oldPalette, FALSE);
        DeleteObject(palette);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    if (info.nEscape != 0)
        return _fail(kTextCancelled);
    if (ok && GetBpp() <= 8)
        SetPalette(asked->bmiColors, 1u << GetBpp());
    return ok;
}

bool RasterImageWMF::_playBand(HDC memory, HBITMAP bitmap, HGDIOBJ previous, HENHMETAFILE handle,
                               long width, long height, long top, long rows, BITMAPINFO* asked)
{
    // The background: the window colour wherever the picture draws nothing.
    RECT band = {0, 0, (LONG)width, (LONG)rows};
    const COLORREF oldBack = SetBkColor(memory, GetSysColor(COLOR_WINDOW));
    ExtTextOutA(memory, 0, 0, ETO_OPAQUE, &band, NULL, 0, NULL);
    SetBkColor(memory, oldBack);
    // The whole picture's rectangle, moved up by the rows above the band.
    const RECT picture = {0, (LONG)-top, (LONG)width, (LONG)(height - top)};
    PlayEnhMetaFile(memory, handle, &picture);
    // The bitmap leaves the context while its rows are read, as GDI asks;
    // bottom-up rows put the band's last row at the image's row height - top
    // - rows.
    SelectObject(memory, previous);
    asked->bmiHeader = header;
    asked->bmiHeader.biHeight = rows;
    asked->bmiHeader.biSizeImage = 0;
    const int got = GetDIBits(memory, bitmap, 0, (UINT)rows, GetBits((DWORD)(height - top - rows)),
                              asked, DIB_RGB_COLORS);
    SelectObject(memory, bitmap);
    return got == (int)rows;
}

bool RasterImageWMF::Encode(RasterFile* stream)
{
    if (stream == NULL)
        return false;
    return _fail("Save WMF not supported");
}

namespace {

bool _wmfdecode(RasterImage* codec, RasterFile* stream, DWORD)
{
    return static_cast<RasterImageWMF*>(codec)->Decode(stream, 0, 0);
}

}  // namespace

const RasterCodec g_RasterCodecWMF = {
    RASTER_FORMAT_WMF, RASTER_FORMAT_WMF, false, RasterCodecMake<RasterImageWMF>,
    _wmfdecode,
    RasterCodecEncode<RasterImageWMF>, NULL,
};
