// The image object's life: construction, creation, copying, moving, sharing
// and destruction, and its simple queries.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "rasterbytes.h"
#include "rasterimage.h"
#include "rasterlimits.h"

namespace {

// Pixels per metre of a resolution in dots per inch, kept inside a LONG.
LONG _pelspermeter(long dpi)
{
    double ppm = floor((double)dpi * 10000.0 / 254.0 + 0.5);
    if (ppm > INT32_MAX)
        return INT32_MAX;
    if (ppm < INT32_MIN)
        return INT32_MIN;
    return (LONG)ppm;
}

// The supported depth at or above bpp.
DWORD _supporteddepth(DWORD bpp)
{
    if (bpp <= 1)
        return 1;
    if (bpp <= 4)
        return 4;
    if (bpp <= 8)
        return 8;
    return 24;
}

}  // namespace

void RasterImage::Startup(DWORD imagetype)
{
    pDib = NULL;
    pSelection = NULL;
    pAlpha = NULL;
    pLayers = NULL;
    memset(&header, 0, sizeof(header));
    memset(&info, 0, sizeof(info));
    info.dwType = imagetype;
    info.nJpegQuality = 90;
    info.nAlphaMax = 255;
    info.nTransIndex = -1;
    info.bEnabled = true;
    SetXDPI(96);
    SetYDPI(96);
}

RasterImage::RasterImage(DWORD imagetype)
{
    Startup(imagetype);
}

RasterImage::RasterImage(DWORD width, DWORD height, DWORD bpp, DWORD imagetype)
{
    Startup(imagetype);
    Create(width, height, bpp, imagetype);
}

RasterImage::RasterImage(const RasterImage& src, bool copypixels, bool copyselection, bool copyalpha)
{
    Startup(src.GetType());
    Copy(src, copypixels, copyselection, copyalpha);
}

RasterImage::~RasterImage()
{
    Destroy();
}

RasterImage& RasterImage::operator=(const RasterImage& src)
{
    if (this != &src)
        Copy(src, true, true, true);
    return *this;
}

void RasterImage::_seterror(const char* text)
{
    strncpy(info.szLastError, text, sizeof(info.szLastError) - 1);
    info.szLastError[sizeof(info.szLastError) - 1] = 0;
}

bool RasterImage::Destroy()
{
    if (info.pGhost != NULL)
        return false;
    _freeparts();
    free(pDib);
    pDib = NULL;
    info.pBits = NULL;  // never left pointing into freed memory
    return true;
}

void RasterImage::_freeparts()
{
    if (pLayers != NULL) {
        for (long i = 0; i < info.nNumLayers; i++)
            delete pLayers[i];
        free(pLayers);
        pLayers = NULL;
    }
    free(pSelection);
    pSelection = NULL;
    free(pAlpha);
    pAlpha = NULL;
}

void* RasterImage::Create(DWORD width, DWORD height, DWORD bpp, DWORD imagetype)
{
    return _createblock(width, height, bpp, imagetype, true);
}

void* RasterImage::_createuncleared(DWORD width, DWORD height, DWORD bpp, DWORD imagetype)
{
    return _createblock(width, height, bpp, imagetype, false);
}

void* RasterImage::_createblock(DWORD width, DWORD height, DWORD bpp, DWORD imagetype, bool cleared)
{
    if (info.pGhost != NULL)
        return NULL;
    bpp = _supporteddepth(bpp);

    // Every size is formed in 64 bits and must fit the 32-bit fields of the
    // bitmap headers (LONG width and height, DWORD image and file sizes).
    uint64_t pixels = (uint64_t)width * height;
    uint64_t effwidth = rasterlimits::RowBytes(bpp, width);
    uint64_t sizeimage = effwidth * height;
    DWORD colours = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
    uint64_t total = 40 + (uint64_t)colours * 4 + sizeimage;
    if (pixels > UINT64_MAX / bpp || pixels * bpp / 256 > RASTER_MAX_MEMORY || width > INT32_MAX ||
        height > INT32_MAX || sizeimage > UINT32_MAX || total + 14 > UINT32_MAX) {
        Destroy();
        _seterror(rasterlimits::kTextTooLarge);
        return NULL;
    }
    // A block of the same size is written over where it is; any other goes.
    void* block = NULL;
    if (!cleared && pDib != NULL && (uint64_t)GetSize() == total) {
        _freeparts();
        block = pDib;
        pDib = NULL;
        info.pBits = NULL;
    } else {
        Destroy();
    }

    _clearcolorcache();
    info.dwEffWidth = (DWORD)effwidth;
    info.dwType = imagetype;
    header.biSize = 40;
    header.biWidth = (LONG)width;
    header.biHeight = (LONG)height;
    header.biPlanes = 1;
    header.biBitCount = (WORD)bpp;
    header.biCompression = BI_RGB;
    header.biSizeImage = (DWORD)sizeimage;
    header.biClrUsed = colours;
    header.biClrImportant = 0;

    // A zeroed block: the palette starts black, and neither pixels nor row
    // padding that nobody writes can carry old heap contents into a file.
    // Uncleared, only the pixels are left as they are, for the caller to
    // write every one of them.
    if (block == NULL)
        block = cleared ? calloc(1, (size_t)total) : malloc((size_t)total);
    pDib = block;
    if (pDib == NULL) {
        info.pBits = NULL;
        _seterror(rasterlimits::kTextNoMemory);
        return NULL;
    }
    rasterbytes::storeInfoHeader(static_cast<BYTE*>(pDib), header);
    info.pBits = GetBits(0);
    if (!cleared) {
        memset(static_cast<BYTE*>(pDib) + 40, 0, (size_t)colours * 4);
        const size_t used = (size_t)(((uint64_t)bpp * width + 7) / 8);
        if (used < effwidth)
            for (DWORD y = 0; y < height; y++)
                memset(info.pBits + (size_t)y * effwidth + used, 0, (size_t)effwidth - used);
    }
    return pDib;
}

void RasterImage::Clear(BYTE value)
{
    if (pDib != NULL)
        memset(info.pBits, value, header.biSizeImage);
}

BYTE* RasterImage::GetBits(DWORD row) const
{
    if (pDib == NULL)
        return NULL;
    const BYTE* block = static_cast<const BYTE*>(pDib);
    BYTE* first = const_cast<BYTE*>(block) + rasterbytes::get32(block) + GetPaletteSize();
    if (row == 0)
        return first;
    if (row >= (DWORD)header.biHeight)
        return NULL;
    return first + (size_t)info.dwEffWidth * row;
}

long RasterImage::GetSize() const
{
    return (long)header.biSize + (long)header.biSizeImage + (long)GetPaletteSize();
}

bool RasterImage::IsInside(long x, long y) const
{
    return 0 <= x && x < (long)header.biWidth && 0 <= y && y < (long)header.biHeight;
}

namespace {

// Makes the image for CreateFromArray and CreateFromMatrix: 32 bits become 24
// with an alpha plane, lower depths get the grey palette.
bool _createforrows(RasterImage& image, DWORD width, DWORD height, DWORD bpp)
{
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return false;
    if (image.Create(width, height, bpp, 0) == NULL)
        return false;
    if (bpp < 24)
        image.SetGrayPalette();
    if (bpp == 32)
        image.AlphaCreate();
    return true;
}

// Copies one caller row into image row `row`: whole bytes below 32 bits,
// colour and alpha from four-byte pixels at 32 bits.
void _copyrow(RasterImage& image, const BYTE* src, DWORD row, DWORD bpp, DWORD bytesperline)
{
    BYTE* dst = image.GetBits(0) + (size_t)row * image.GetEffWidth();
    if (bpp != 32) {
        memcpy(dst, src, bytesperline < image.GetEffWidth() ? bytesperline : image.GetEffWidth());
        return;
    }
    for (DWORD x = 0; x < image.GetWidth(); x++, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        image.AlphaSet((long)x, (long)row, src[3]);
    }
}

}  // namespace

bool RasterImage::CreateFromArray(BYTE* array, DWORD width, DWORD height, DWORD bpp,
                                  DWORD bytesperline, bool flipimage)
{
    if (array == NULL || !_createforrows(*this, width, height, bpp))
        return false;
    for (DWORD y = 0; y < height; y++)
        _copyrow(*this, array + (size_t)y * bytesperline, flipimage ? height - 1 - y : y, bpp,
                 bytesperline);
    return true;
}

bool RasterImage::CreateFromMatrix(BYTE** matrix, DWORD width, DWORD height, DWORD bpp,
                                   DWORD bytesperline, bool flipimage)
{
    if (matrix == NULL || !_createforrows(*this, width, height, bpp))
        return false;
    for (DWORD y = 0; y < height; y++) {
        if (matrix[y] != NULL)  // a missing row stays as it was
            _copyrow(*this, matrix[y], flipimage ? height - 1 - y : y, bpp, bytesperline);
    }
    return true;
}

void RasterImage::CopyInfo(const RasterImage& src)
{
    if (pDib != NULL || this == &src)
        return;
    // What describes this object's own memory and relations stays its own: a
    // copy never borrows, never becomes a layer and never points into the
    // source's block.
    RasterImage* ghost = info.pGhost;
    RasterImage* parent = info.pParent;
    long layers = info.nNumLayers;
    info = src.info;
    info.pGhost = ghost;
    info.pParent = parent;
    info.nNumLayers = layers;
    info.pBits = NULL;
    info.dwEffWidth = 0;
    _clearcolorcache();
}

void RasterImage::Copy(const RasterImage& src, bool copypixels, bool copyselection, bool copyalpha)
{
    // A borrowed block cannot be replaced, and copying onto itself would free
    // the source before reading it.
    if (this == &src || info.pGhost != NULL)
        return;
    if (src.pDib == NULL) {
        // An empty source gives an empty copy.
        Destroy();
        header = src.header;
        CopyInfo(src);
        return;
    }
    RasterImage* parent = info.pParent;
    Destroy();
    info = src.info;
    info.pGhost = NULL;
    info.pParent = parent;
    info.nNumLayers = 0;  // layers are not copied
    info.pBits = NULL;
    info.dwEffWidth = 0;
    if (Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.GetType()) == NULL)
        return;
    header.biXPelsPerMeter = src.header.biXPelsPerMeter;
    header.biYPelsPerMeter = src.header.biYPelsPerMeter;
    header.biClrImportant = src.header.biClrImportant;
    if (copypixels) {
        memcpy(pDib, src.pDib, (size_t)GetSize());
        info.pBits = GetBits(0);
    } else {
        SetPalette(src.GetPalette(), 256);
    }
    size_t plane = (size_t)GetWidth() * GetHeight();
    if (copyselection && src.pSelection != NULL) {
        free(pSelection);
        pSelection = static_cast<BYTE*>(malloc(plane == 0 ? 1 : plane));
        if (pSelection != NULL)
            memcpy(pSelection, src.pSelection, plane);
    }
    if (copyalpha && src.pAlpha != NULL) {
        free(pAlpha);
        pAlpha = static_cast<BYTE*>(malloc(plane == 0 ? 1 : plane));
        if (pAlpha != NULL)
            memcpy(pAlpha, src.pAlpha, plane);
    }
}

bool RasterImage::Transfer(RasterImage& from)
{
    if (this == &from)
        return true;
    // A ghost's block is not its own to hand over.
    if (from.info.pGhost != NULL)
        return false;
    if (!Destroy())
        return false;
    RasterImage* parent = info.pParent;
    header = from.header;
    info = from.info;
    info.pParent = parent;
    pDib = from.pDib;
    pSelection = from.pSelection;
    pAlpha = from.pAlpha;
    pLayers = from.pLayers;
    for (long i = 0; pLayers != NULL && i < info.nNumLayers; i++) {
        if (pLayers[i] != NULL)
            pLayers[i]->info.pParent = this;
    }
    _clearcolorcache();

    memset(&from.header, 0, sizeof(from.header));
    memset(&from.info, 0, sizeof(from.info));
    from.pDib = NULL;
    from.pSelection = NULL;
    from.pAlpha = NULL;
    from.pLayers = NULL;
    return true;
}

void RasterImage::Ghost(RasterImage* from)
{
    if (from == NULL || from == this || !Destroy())
        return;
    header = from->header;
    info = from->info;
    pDib = from->pDib;
    pSelection = from->pSelection;
    pAlpha = from->pAlpha;
    pLayers = from->pLayers;
    info.pGhost = from;
}

RGBQUAD RasterImage::GetTransColor() const
{
    if (header.biBitCount < 24 && info.nTransIndex != -1)
        return GetPaletteColor((BYTE)info.nTransIndex);
    return info.rgbTransColor;
}

BYTE RasterImage::GetColorType() const
{
    if (pAlpha != NULL)
        return RASTER_COLORTYPE_ALPHA;
    if (header.biBitCount <= 8)
        return RASTER_COLORTYPE_PALETTE;
    return RASTER_COLORTYPE_COLOR;
}

void RasterImage::SetXDPI(long dpi)
{
    info.nXDPI = dpi;
    header.biXPelsPerMeter = _pelspermeter(dpi);
}

void RasterImage::SetYDPI(long dpi)
{
    info.nYDPI = dpi;
    header.biYPelsPerMeter = _pelspermeter(dpi);
}

void RasterImage::SetFlags(DWORD flags, bool lockReservedFlags)
{
    info.dwFlags = lockReservedFlags ? (flags & 0xFFFF) : flags;
}

void RasterImage::GetOffset(long* x, long* y) const
{
    if (x != NULL)
        *x = info.nXOffset;
    if (y != NULL)
        *y = info.nYOffset;
}

void RasterImage::SetOffset(long x, long y)
{
    info.nXOffset = x;
    info.nYOffset = y;
}

void RasterImage::SetTransColor(RGBQUAD colour)
{
    colour.rgbReserved = 0;
    info.rgbTransColor = colour;
}

namespace {

// One colour channel of a bit-field pixel: the mask's bits moved down and
// scaled to 8 bits by keeping their top bits. Each channel uses its own
// position and width, whatever the widths of the others.
struct BitfieldChannel {
    explicit BitfieldChannel(WORD mask) : mask(mask)
    {
        if (mask != 0) {
            shift = __builtin_ctz(mask);
            width = __builtin_popcount(mask);
        }
    }
    BYTE operator()(WORD v) const
    {
        DWORD c = (DWORD)(v & mask) >> shift;
        return (BYTE)(width >= 8 ? c >> (width - 8) : c << (8 - width));
    }

    WORD mask;
    int shift = 0;
    int width = 8;
};

}  // namespace

void RasterImage::Bitfield2RGB(BYTE* src, WORD redmask, WORD greenmask, WORD bluemask, BYTE bpp)
{
    if (pDib == NULL || src == NULL || header.biBitCount != 24 || GetWidth() == 0)
        return;
    long width = (long)GetWidth(), height = (long)GetHeight();
    size_t padding = info.dwEffWidth - (size_t)width * 3;
    // Rows and columns run backwards, so the source may lie at the start of
    // this image's own pixel rows: no pixel is overwritten before it is read.
    if (bpp == 16) {
        BitfieldChannel red(redmask), green(greenmask), blue(bluemask);
        size_t srcrow = (size_t)((width + 1) / 2) * 4;
        for (long y = height - 1; y >= 0; y--) {
            const BYTE* s = src + (size_t)y * srcrow;
            BYTE* d = info.pBits + (size_t)y * info.dwEffWidth;
            for (long x = width - 1; x >= 0; x--) {
                WORD v = (WORD)(s[2 * x] | (s[2 * x + 1] << 8));
                d[3 * x] = blue(v);
                d[3 * x + 1] = green(v);
                d[3 * x + 2] = red(v);
            }
            memset(d + 3 * width, 0, padding);  // no source bytes left in the padding
        }
    } else if (bpp == 32) {
        size_t srcrow = (size_t)width * 4;
        for (long y = height - 1; y >= 0; y--) {
            const BYTE* s = src + (size_t)y * srcrow;
            BYTE* d = info.pBits + (size_t)y * info.dwEffWidth;
            for (long x = width - 1; x >= 0; x--) {
                BYTE b = s[4 * x], g = s[4 * x + 1], r = s[4 * x + 2];
                d[3 * x] = b;
                d[3 * x + 1] = g;
                d[3 * x + 2] = r;
            }
            memset(d + 3 * width, 0, padding);
        }
    }
}

int RasterImage::CompareColors(const void* a, const void* b)
{
    const RGBQUAD* c1 = static_cast<const RGBQUAD*>(a);
    const RGBQUAD* c2 = static_cast<const RGBQUAD*>(b);
    int g1 = (117 * c1->rgbBlue + 601 * c1->rgbGreen + 306 * c1->rgbRed) >> 10;
    int g2 = (117 * c2->rgbBlue + 601 * c2->rgbGreen + 306 * c2->rgbRed) >> 10;
    return g1 - g2;
}

const char* RasterImage::GetVersion()
{
    return "RasterImage 1.0";
}
