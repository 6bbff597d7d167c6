// The TIFF codec (format id 6), through libtiff over the image library's
// streams.
//
// Decoding reads one page. Grey and palette pages (any depth up to 16 bits,
// with or without an alpha sample) and 8- or 16-bit RGB and CIE L*a*b* pages
// are read a strip or a row of tiles at a time straight from libtiff's
// decoded samples (rows that need no conversion are decoded where they lie
// in the picture; strips too large for a buffer go row by row); every other
// layout (YCbCr, CMYK, the log encodings, RGB under 8 bits) goes through
// libtiff's RGBA reader, a strip or a row of tiles at a time, which refuses
// what it cannot show, with its own explanation. Either way the rows arrive
// in the file's own order and the orientation tag is applied last, so every
// page comes out upright. Before anything is made, the page's claims are
// measured against the file: pixels its data cannot make come out of the
// allowance, and strips or tiles the file does not hold fail the page (a
// cut file keeps the rows before the cut).
//
// Encoding writes 1, 4 and 8 bpp images as grey or palette pages, 24 bpp
// images as RGB, and an alpha plane as an extra (unassociated alpha) sample.
#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <tmmintrin.h>
#endif

#include "rastercodecs.h"
#include "rasterlimits.h"
#include "rastertif.h"
#include "tiffstream.h"

namespace {

const char kOpenFailed[] = "Error encountered while opening TIFF file";
const char kNoPage[] = "Error: page not present in TIFF file";
const char kSizeOnly[] = "output dimensions returned";
const char kCancelled[] = "Cancelled";
const char kCantCreate[] = "RasterImageTIF can't create image";
const char kNoRaster[] = "No space for raster buffer";
const char kCorrupted[] = "Corrupted TIFF file!";
const char kCorruptedTiles[] = "Corrupted tiled TIFF file!";
const char kNoPixels[] = "TIFF page has no pixels";
const char kTooLarge[] = "RASTER_MAX_MEMORY exceeded";
const char kNoBuffer[] = "No space for TIFF row buffer";
const char kSaveFailed[] = "Error saving TIFF file";
const char kSaveDirFailed[] = "Error saving TIFF directory";
const char kSignedLayout[] = "TIFF signed samples in this layout are not supported";
const char kNotBacked[] = "TIFF strips or tiles not backed by the file";
const char kNoWriteCodec[] = "TIFF compression not available for writing";

// The most one byte of a strip can decode to, by compression: a bound on
// what a file of a given size can really hold. A compression with no bound
// of its own (its output can be made up from almost nothing) gets
// kRatioOther, and what that does not back comes out of the allowance.
constexpr unsigned long long kRatioOther = 1032;

unsigned long long _expansion(uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
        return 1;
    case COMPRESSION_PACKBITS:
        return 64;  // 128 bytes from a two-byte run
    case COMPRESSION_LZW:
        return 4096;  // a 12-bit code stands for at most 4096 bytes
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE:
        return 1032;  // a 258-byte match in two bits
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
        return 1536;  // an 8 x 8 block of three samples costs at least a bit
    case COMPRESSION_ZSTD:
        // A raw-run block: 128 KiB from a 4-byte block.
        return 32768;
    case COMPRESSION_LZMA:
        // A repeated 273-byte match costs a dozen binary decisions at the
        // range coder's best odds (2017 in 2048), about a quarter of a bit.
        return 8192;
    default:
        // Compressions libtiff does not know decode nothing.
        return TIFFIsCODECConfigured(compression) ? kRatioOther : 0;
    }
}

// A strip up to this size is decoded whole; larger ones (a page in one
// strip) row by row, so that no page-sized buffer stands beside the picture.
constexpr unsigned long long kStripBytes = 4 << 20;

// Fax codings give no bound by bytes (a blank row costs one bit however
// wide it is), but every row costs at least that bit. They code one 1-bit
// sample a pixel; a page that claims more gets kRatioOther.
bool _rowsbybits(uint16_t compression)
{
    return compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4 ||
           compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTRLEW;
}

// How the page's samples become pixels.
enum TifLayout {
    TIF_INDEX,    // grey or palette samples, with an optional alpha sample
    TIF_PALETTE24, // palette indices past 8 bits, looked up into 24 bpp
    TIF_RGB,      // 8- or 16-bit RGB, contiguous
    TIF_LAB,      // 8- or 16-bit CIE L*a*b*, contiguous
    TIF_RGBA,     // everything else, through libtiff's RGBA reader
};

struct TifPage {
    uint32_t width, height, rowsPerStrip;
    uint16_t compression, spp, bits, photometric, orientation, planar, sampleFormat;
    uint16_t colours;  // colour samples per pixel (spp without the extra ones)
    bool alpha;        // the first extra sample is alpha
    bool associated;   // ... premultiplied into the colours
    bool tiled;
    bool sgnd;  // two's complement samples (8 or 16 bits)
    uint32_t tileWidth, tileLength;
    TifLayout layout;
    DWORD bpp;
};

// An n-bit sample (n up to 16) of a row, samples packed from the high bits.
inline unsigned _sample(const BYTE* row, size_t index, unsigned bits)
{
    if (bits == 8)
        return row[index];
    if (bits == 16) {
        uint16_t v;
        memcpy(&v, row + 2 * index, 2);  // libtiff delivers native byte order
        return v;
    }
    const size_t bit = index * bits;
    const BYTE* p = row + (bit >> 3);
    // Up to 16 bits starting anywhere in a byte span at most three bytes.
    const unsigned shift = (unsigned)(bit & 7);
    const unsigned span = (shift + bits + 7) >> 3;
    unsigned v = 0;
    for (unsigned i = 0; i < span; i++)
        v = (v << 8) | p[i];
    return (v >> (span * 8 - shift - bits)) & ((1u << bits) - 1);
}

// A sample scaled to 0..255. Sixteen-bit samples: grey keeps the high byte,
// colour rounds to the nearest of the 257-wide steps, as libtiff's RGBA
// reader does.
inline BYTE _level(unsigned v, unsigned bits)
{
    if (bits == 8)
        return (BYTE)v;
    if (bits == 16)
        return (BYTE)(v >> 8);
    const unsigned top = (1u << bits) - 1;
    return (BYTE)((v * 255 + top / 2) / top);
}

inline BYTE _colour(unsigned v, unsigned bits)
{
    return bits == 16 ? (BYTE)((v + 128) / 257) : _level(v, bits);
}

// Colour over alpha, both `top`-deep, back to straight colour.
inline unsigned _unpremultiply16(unsigned c, unsigned a, unsigned top)
{
    if (a == 0)
        return 0;
    const unsigned v = (c * top + a / 2) / a;
    return v > top ? top : v;
}

inline BYTE _unpremultiply(BYTE c, BYTE a)
{
    if (a == 0)
        return 0;
    unsigned v = ((unsigned)c * 255 + a / 2) / a;
    return (BYTE)(v > 255 ? 255 : v);
}

long _dpi(float value, uint16_t unit)
{
    double x = value;
    if (unit == RESUNIT_CENTIMETER)
        x = x * 2.54 + 0.5;
    // A value no long can hold (or not a number) says nothing usable.
    if (!(x >= 0 && x < 2147483647.0))
        return -1;
    return (long)x;
}

}  // namespace

// The decoder's work on one page, with the buffers it owns.
class RasterTifReader {
public:
    RasterTifReader(RasterImageTIF& img, RasterFile* stream) : m_img(img), m_stream(stream) {}
    ~RasterTifReader()
    {
        if (m_tif != NULL)
            TIFFClose(m_tif);
    }
    RasterTifReader(const RasterTifReader&) = delete;
    RasterTifReader& operator=(const RasterTifReader&) = delete;

    bool Run();

private:
    bool _fail(const char* text)
    {
        m_img._seterror(text);
        return false;
    }
    bool _readtags();
    void _readresolution();
    bool _choose();
    bool _backed();
    bool _stripsbacked();
    bool _cut(uint32_t index) const;
    bool _readrows();
    bool _readscanlines();
    bool _readplanes();
    void _turnband(BYTE* rows, uint32_t nrow, size_t line);
    static void _swapbgr(BYTE* a, BYTE* b, uint32_t width);
    void _clearfrom(uint32_t row);
    void _setpalette();
    bool _readdirect();
    int _readband(uint32_t ys, uint32_t nrow, uint16_t plane, BYTE* out, size_t line,
                  std::vector<BYTE>& tile);
    void _putrows(const BYTE* band, uint32_t ys, uint32_t nrow, size_t line);
    void _putrow(const BYTE* src, DWORD y);
    void _putlab(const BYTE* src, DWORD y);
    bool _readrgba();

    RasterImageTIF& m_img;
    RasterFile* m_stream;
    TIFF* m_tif = NULL;
    long long m_held = -1;  // bytes from the start of the TIFF data to the stream's end
    TifPage m_page = {};
    uint32_t m_rows = 0;                      // rows of the page the file holds (from the top)
    uint16_t* m_map[3] = {NULL, NULL, NULL};  // the colour map, 2^bits entries each
};

bool RasterTifReader::Run()
{
    RasterImageInfo& info = m_img.info;
    // Without TIFF's byte-order mark and magic number there is nothing to
    // open; a probe passes on quietly instead of leaving libtiff's complaint.
    const long start = m_stream->Tell();
    const long size = m_stream->Size();
    m_held = (start >= 0 && size >= start) ? (long long)(size - start) : -1;
    BYTE magic[4] = {0, 0, 0, 0};
    const size_t got = m_stream->Read(magic, 1, 4);
    m_stream->Seek(start, SEEK_SET);
    const bool intel = magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) &&
                       magic[3] == 0;
    const bool motorola = magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 &&
                          (magic[3] == 42 || magic[3] == 43);
    if (got != 4 || (!intel && !motorola))
        return _fail(kOpenFailed);

    m_tif = RasterTiffOpen(m_stream, "TIFF IMAGE", "r", info.szLastError, 0);
    if (m_tif == NULL)
        return _fail(kOpenFailed);
    const tdir_t pages = TIFFNumberOfDirectories(m_tif);
    info.nNumFrames = (long)pages;
    if (info.nFrame < 0 || info.nFrame >= (long)pages ||
        !TIFFSetDirectory(m_tif, (tdir_t)info.nFrame))
        return _fail(kNoPage);
    if (!_readtags())
        return false;
    info.dwCodecOption = m_page.compression;

    if (info.nEscape == -1) {
        m_img.header.biWidth = (LONG)m_page.width;
        m_img.header.biHeight = (LONG)m_page.height;
        m_img._seterror(kSizeOnly);
        return true;
    }
    _readresolution();
    m_img.header.biClrUsed = 0;
    info.nTransIndex = -1;
    if (m_page.width == 0 || m_page.height == 0)
        return _fail(kNoPixels);
    if (!_choose() || !_backed() || !_stripsbacked())
        return false;

    if (info.nEscape != 0)
        return _fail(kCancelled);
    if (m_img.Create(m_page.width, m_page.height, m_page.bpp, RASTER_FORMAT_TIF) == NULL) {
        if (strcmp(info.szLastError, kTooLarge) != 0)
            m_img._seterror(kCantCreate);
        return false;
    }
    if (m_page.alpha) {
        m_img.AlphaCreate();
        if (!m_img.AlphaIsValid())
            return _fail(kCantCreate);
    }
    const bool ok = m_page.layout == TIF_RGBA ? _readrgba() : _readdirect();
    if (!ok)
        return false;
    // The rows stand as the file stores them; turn them upright.
    if (!m_img._orient(m_page.orientation))
        return _fail(kCantCreate);
    return true;
}

bool RasterTifReader::_readtags()
{
    TIFF* tif = m_tif;
    TifPage& p = m_page;
    p.compression = COMPRESSION_NONE;
    p.photometric = 0;
    p.orientation = ORIENTATION_TOPLEFT;
    p.rowsPerStrip = 0xFFFFFFFF;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &p.compression);
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.bits);
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &p.rowsPerStrip);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric);
    TIFFGetField(tif, TIFFTAG_ORIENTATION, &p.orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &p.sampleFormat);
    if (p.rowsPerStrip == 0 || p.rowsPerStrip > p.height)
        p.rowsPerStrip = p.height;

    // The colour samples, and whether an extra one is alpha. Without an
    // ExtraSamples tag, samples past the photometric's own count are taken
    // as alpha all the same (files that forget the tag mean it so).
    uint16_t natural = 1;
    if (p.photometric == PHOTOMETRIC_RGB || p.photometric == PHOTOMETRIC_YCBCR ||
        p.photometric == PHOTOMETRIC_CIELAB || p.photometric == PHOTOMETRIC_ICCLAB ||
        p.photometric == PHOTOMETRIC_ITULAB || p.photometric == PHOTOMETRIC_LOGLUV)
        natural = 3;
    else if (p.photometric == PHOTOMETRIC_SEPARATED)
        natural = 4;
    uint16_t extraCount = 0;
    uint16_t* extraTypes = NULL;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) && extraCount > 0 &&
        extraCount < p.spp) {
        p.colours = (uint16_t)(p.spp - extraCount);
        p.alpha = true;
        p.associated = extraTypes != NULL && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    } else {
        p.colours = p.spp < natural ? p.spp : natural;
        p.alpha = p.spp > natural;
    }

    p.tiled = TIFFIsTiled(tif) != 0;
    if (p.tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &p.tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &p.tileLength);
    }
    if (TIFFNumberOfStrips(tif) == 0)
        return _fail(kCorrupted);
    return true;
}

void RasterTifReader::_readresolution()
{
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(m_tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    float v = 0;
    long dpi;
    if (TIFFGetField(m_tif, TIFFTAG_XRESOLUTION, &v) && (dpi = _dpi(v, unit)) >= 0)
        m_img.SetXDPI(dpi);
    if (TIFFGetField(m_tif, TIFFTAG_YRESOLUTION, &v) && (dpi = _dpi(v, unit)) >= 0)
        m_img.SetYDPI(dpi);
    if (TIFFGetField(m_tif, TIFFTAG_XPOSITION, &v) && std::fabs(v) < 2147483647.0f)
        m_img.info.nXOffset = (long)v;
    if (TIFFGetField(m_tif, TIFFTAG_YPOSITION, &v) && std::fabs(v) < 2147483647.0f)
        m_img.info.nYOffset = (long)v;
}

// Picks the layout and the image's depth.
bool RasterTifReader::_choose()
{
    TifPage& p = m_page;
    // Signed 8- and 16-bit grey and RGB samples are read over their whole
    // range; other signed layouts would come out wrong through the RGBA
    // reader, which takes every sample as unsigned.
    p.sgnd = p.sampleFormat == SAMPLEFORMAT_INT;
    const bool plainSamples =
        p.sampleFormat == SAMPLEFORMAT_UINT || p.sampleFormat == SAMPLEFORMAT_VOID ||
        (p.sgnd && (p.bits == 8 || p.bits == 16) && p.photometric != PHOTOMETRIC_PALETTE);
    // Separate planes are interleaved a byte-aligned sample at a time.
    const bool contiguous = p.planar == PLANARCONFIG_CONTIG || p.spp == 1 || p.bits % 8 == 0;
    const bool greyOrPalette = p.photometric == PHOTOMETRIC_MINISWHITE ||
                               p.photometric == PHOTOMETRIC_MINISBLACK ||
                               p.photometric == PHOTOMETRIC_PALETTE;
    p.layout = TIF_RGBA;
    if (plainSamples && contiguous && p.bits >= 1 && p.bits <= 16) {
        if (greyOrPalette && p.colours == 1 && p.spp <= 2)
            p.layout = (p.photometric == PHOTOMETRIC_PALETTE && p.bits > 8) ? TIF_PALETTE24
                                                                             : TIF_INDEX;
        else if (p.photometric == PHOTOMETRIC_RGB && p.colours == 3 &&
                 (p.bits == 8 || p.bits == 16))
            p.layout = TIF_RGB;
        else if (p.photometric == PHOTOMETRIC_CIELAB && p.colours == 3 &&
                 (p.bits == 8 || p.bits == 16))
            p.layout = TIF_LAB;
    }
    switch (p.layout) {
    case TIF_INDEX:
        // One-bit and four-bit single samples keep their packing; every
        // other depth is one byte a pixel.
        p.bpp = (p.spp == 1 && (p.bits == 1 || p.bits == 4)) ? p.bits : 8;
        break;
    default:
        p.bpp = 24;
        break;
    }
    if (p.sgnd && p.layout != TIF_INDEX && p.layout != TIF_RGB)
        return _fail(kSignedLayout);
    if (p.layout == TIF_RGBA) {
        // Say now, with libtiff's own words, what the RGBA reader refuses.
        char why[1024];
        why[0] = 0;
        if (!TIFFRGBAImageOK(m_tif, why))
            return _fail(why[0] != 0 ? why : kCorrupted);
        p.alpha = p.alpha && p.spp > p.colours;
    }
    if (p.tiled) {
        const unsigned long long rowBits = (unsigned long long)p.tileWidth * p.bits *
                                           (p.planar == PLANARCONFIG_SEPARATE ? 1 : p.spp);
        if (p.tileWidth == 0 || p.tileLength == 0 || (p.layout != TIF_RGBA && rowBits % 8 != 0))
            return _fail(kCorruptedTiles);
    }
    return true;
}

// A large picture must be backed by the data the stream actually holds:
// nothing is allocated for pixels the file merely claims. Tiles count whole,
// with what sticks out past the page: libtiff decodes every tile in full.
bool RasterTifReader::_backed()
{
    const TifPage& p = m_page;
    const unsigned long long sampleBits = (unsigned long long)p.spp * p.bits;
    unsigned long long columns = p.width, rows = p.height;
    if (p.tiled) {
        columns = (p.width + (unsigned long long)p.tileWidth - 1) / p.tileWidth * p.tileWidth;
        rows = (p.height + (unsigned long long)p.tileLength - 1) / p.tileLength * p.tileLength;
    }
    // Far past anything Create accepts, and past what 64 bits can count.
    if (columns > (1ULL << 32) || rows > (1ULL << 32) || columns * rows > (1ULL << 40) ||
        sampleBits > (1ULL << 20))
        return _fail(kTooLarge);
    const unsigned long long pixels = columns * rows;
    // The data can give at most its size times the compression's expansion
    // in sample bytes (fax codings: a row for each bit); pixels beyond that
    // come out of the host's allowance.
    const unsigned long long held = m_held > 0 ? (unsigned long long)m_held : 0;
    unsigned long long backed;
    if (_rowsbybits(p.compression) && sampleBits == 1) {
        backed = held > ~0ULL / 8 / columns ? ~0ULL : held * 8 * columns;
    } else {
        const unsigned long long ratio = _expansion(p.compression);
        const unsigned long long bytes = ratio != 0 && held > ~0ULL / ratio ? ~0ULL : held * ratio;
        backed = bytes / (sampleBits ? sampleBits : 1) * 8;
    }
    unsigned long long allowance = RasterGetUnbackedPixels();
    if (!rasterlimits::Covered(pixels, backed, allowance))
        return _fail(kTooLarge);
    return true;
}

// Every strip or tile of the page must have bytes in the file: a zero count
// or an offset inside the file's header (where libtiff puts the entries a
// short tag leaves out) would decode the header as pixels. A strip that
// starts past the end marks a cut file: the rows before it are kept. Sets
// m_rows, the rows the file holds.
bool RasterTifReader::_stripsbacked()
{
    const TifPage& p = m_page;
    const uint64_t header = TIFFIsBigTIFF(m_tif) ? 16 : 8;
    const uint64_t size = m_held > 0 ? (uint64_t)m_held : 0;
    const uint32_t bandRows = p.tiled ? p.tileLength : p.rowsPerStrip;
    const bool separate = p.planar == PLANARCONFIG_SEPARATE;
    const uint16_t planes = separate ? p.spp : 1;
    const uint32_t count = p.tiled ? TIFFNumberOfTiles(m_tif) : TIFFNumberOfStrips(m_tif);
    m_rows = p.height;
    const uint64_t step = p.tiled ? p.tileWidth : p.width;
    const uint64_t rowBytes = (step * (separate ? 1 : p.spp) * p.bits + 7) / 8;
    for (uint64_t ys = 0; ys < p.height; ys += bandRows) {
        for (uint16_t s = 0; s < planes; s++) {
            for (uint64_t x = 0; x < p.width; x += step) {
                const uint32_t index = p.tiled
                                           ? TIFFComputeTile(m_tif, (uint32_t)x, (uint32_t)ys, 0, s)
                                           : TIFFComputeStrip(m_tif, (uint32_t)ys, s);
                if (index >= count)
                    return _fail(kNotBacked);
                const uint64_t at = TIFFGetStrileOffset(m_tif, index);
                const uint64_t bytes = TIFFGetStrileByteCount(m_tif, index);
                if (bytes == 0 || at < header)
                    return _fail(kNotBacked);
                // Uncompressed, a strip must hold all its rows: libtiff would
                // read on into the bytes after it (another plane's).
                const uint64_t rows =
                    p.tiled ? p.tileLength : std::min<uint64_t>(bandRows, p.height - ys);
                const bool full = p.compression != COMPRESSION_NONE || bytes >= rows * rowBytes;
                if (at >= size || (!full && at + rows * rowBytes > size)) {
                    m_rows = (uint32_t)ys;  // the file was cut here
                    return ys > 0 ? true : _fail(kNotBacked);
                }
                if (!full)
                    return _fail(kNotBacked);
            }
        }
    }
    return true;
}

void RasterTifReader::_setpalette()
{
    const TifPage& p = m_page;
    RGBQUAD* pal = m_img.GetPalette();
    const DWORD n = m_img.GetNumColors();
    if (pal == NULL || n == 0)
        return;
    memset(pal, 0, 4 * (size_t)n);
    const bool whiteIsZero = p.photometric == PHOTOMETRIC_MINISWHITE;
    if (p.photometric != PHOTOMETRIC_PALETTE) {
        // Grey: one-bit and four-bit pixels are the file's levels; deeper
        // ones were scaled to 0..255 on the way in.
        for (DWORD i = 0; i < n; i++) {
            const BYTE v = (BYTE)((255 / (n - 1)) * i);
            pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = whiteIsZero ? (BYTE)(255 - v) : v;
        }
        m_img._clearcolorcache();
        return;
    }
    if (!TIFFGetField(m_tif, TIFFTAG_COLORMAP, &m_map[0], &m_map[1], &m_map[2]))
        return;  // a palette page without its map stays black
    // The map holds 2^bits entries; the image's palette holds at most 256.
    const DWORD entries = p.bits >= 8 ? 256 : (1u << p.bits);
    const DWORD count = entries < n ? entries : n;
    // Old writers stored 8-bit colours in the map: a map with no value of
    // 256 or more is taken byte for byte, any other one is scaled.
    bool wide = false;
    for (DWORD i = 0; i < count && !wide; i++)
        wide = m_map[0][i] >= 256 || m_map[1][i] >= 256 || m_map[2][i] >= 256;
    for (DWORD i = 0; i < count; i++) {
        pal[i].rgbRed = wide ? (BYTE)(m_map[0][i] * 255u / 65535u) : (BYTE)m_map[0][i];
        pal[i].rgbGreen = wide ? (BYTE)(m_map[1][i] * 255u / 65535u) : (BYTE)m_map[1][i];
        pal[i].rgbBlue = wide ? (BYTE)(m_map[2][i] * 255u / 65535u) : (BYTE)m_map[2][i];
    }
    m_img._clearcolorcache();
}

bool RasterTifReader::_readdirect()
{
    const TifPage& p = m_page;
    if (p.layout == TIF_INDEX || p.layout == TIF_PALETTE24) {
        _setpalette();
        if (p.layout == TIF_PALETTE24 &&
            !TIFFGetField(m_tif, TIFFTAG_COLORMAP, &m_map[0], &m_map[1], &m_map[2]))
            return _fail(kCorrupted);
    }
    const bool separate = p.planar == PLANARCONFIG_SEPARATE && p.spp > 1;
    if (!p.tiled && !separate)
        return _readrows();
    // Planes in strips too large to stand beside the picture go plane by
    // plane, row by row, into it (16-bit premultiplied colours need their
    // alpha beside them, and L*a*b* all three samples).
    const unsigned long long planeStrip =
        ((unsigned long long)p.width * p.bits + 7) / 8 * p.rowsPerStrip;
    if (!p.tiled && planeStrip > kStripBytes && (p.layout == TIF_RGB || p.layout == TIF_INDEX) &&
        !(p.associated && p.bits == 16))
        return _readplanes();
    // Tiles and separate planes go a strip or a row of tiles at a time, at
    // the file's own depth, samples side by side; the planes of a
    // separate-planes page are read one by one and interleaved.
    const size_t line = (size_t)(((unsigned long long)p.width * p.spp * p.bits + 7) / 8);
    const size_t planeLine = (size_t)(((unsigned long long)p.width * p.bits + 7) / 8);
    const uint32_t bandRows = p.tiled ? p.tileLength : p.rowsPerStrip;
    const unsigned long long tileBits =
        (unsigned long long)p.tileWidth * (separate ? 1 : p.spp) * p.bits;
    const size_t tileRow = (size_t)(tileBits / 8);
    std::vector<BYTE> band, plane, tile;
    try {
        band.resize(line * bandRows);
        if (separate)
            plane.resize(planeLine * bandRows);
        if (p.tiled)
            tile.resize(tileRow * p.tileLength);
    } catch (const std::bad_alloc&) {
        return _fail(kNoBuffer);
    }
    const size_t bytesPerSample = p.bits / 8;
    uint32_t done = 0;
    for (uint64_t ys = 0; ys < m_rows; ys += bandRows) {
        if (m_img.info.nEscape != 0)
            return _fail(kCancelled);
        const uint32_t nrow = (uint32_t)(bandRows < m_rows - ys ? bandRows : m_rows - ys);
        int got = 1;
        if (!separate) {
            got = _readband((uint32_t)ys, nrow, 0, band.data(), line, tile);
        } else {
            for (uint16_t s = 0; s < p.spp && got > 0; s++) {
                got = _readband((uint32_t)ys, nrow, s, plane.data(), planeLine, tile);
                for (uint32_t r = 0; r < nrow && got > 0; r++) {
                    const BYTE* from = plane.data() + planeLine * r;
                    BYTE* to = band.data() + line * r + bytesPerSample * s;
                    for (uint32_t x = 0; x < p.width; x++) {
                        memcpy(to, from, bytesPerSample);
                        from += bytesPerSample;
                        to += bytesPerSample * p.spp;
                    }
                }
            }
        }
        if (got < 0 && ys > 0)
            break;  // the file was cut inside this band
        if (got <= 0)
            return _fail(p.tiled ? kCorruptedTiles : kCorrupted);
        _putrows(band.data(), (uint32_t)ys, nrow, line);
        done = (uint32_t)ys + nrow;
    }
    _clearfrom(done);
    return true;
}

// Contiguous strips, a strip at a time (libtiff decodes a whole strip
// fastest); strips too large to stand beside the picture, row by row.
bool RasterTifReader::_readrows()
{
    const TifPage& p = m_page;
    const size_t line = (size_t)TIFFScanlineSize64(m_tif);
    if (line == 0 || (unsigned long long)line * p.rowsPerStrip > kStripBytes)
        return _readscanlines();
    // Rows that need no conversion beyond their order (and the colour
    // order of RGB) are decoded straight into the picture, where their
    // strip's rows lie, and turned around in place.
    const bool inPlace = line == m_img.GetEffWidth() && !p.sgnd &&
                         ((p.layout == TIF_INDEX && p.spp == 1 && p.bpp == p.bits) ||
                          (p.layout == TIF_RGB && p.bits == 8 && p.spp == 3));
    std::vector<BYTE> band;
    try {
        if (!inPlace)
            band.resize(line * p.rowsPerStrip);
    } catch (const std::bad_alloc&) {
        return _fail(kNoBuffer);
    }
    uint32_t done = 0;
    for (uint64_t ys = 0; ys < m_rows; ys += p.rowsPerStrip) {
        if (m_img.info.nEscape != 0)
            return _fail(kCancelled);
        const uint32_t nrow =
            (uint32_t)(p.rowsPerStrip < m_rows - ys ? p.rowsPerStrip : m_rows - ys);
        const uint32_t strip = TIFFComputeStrip(m_tif, (uint32_t)ys, 0);
        BYTE* into = inPlace ? m_img.GetBits(p.height - (DWORD)ys - nrow) : band.data();
        const tmsize_t want = (tmsize_t)(line * nrow);
        const tmsize_t got = TIFFReadEncodedStrip(m_tif, strip, into, want);
        if (got < 0) {
            if (ys > 0 && _cut(strip))
                break;  // the file was cut inside this strip
            return _fail(kCorrupted);
        }
        if (got < want)
            memset(into + got, 0, (size_t)(want - got));
        if (inPlace)
            _turnband(into, nrow, line);
        else
            _putrows(band.data(), (uint32_t)ys, nrow, line);
        done = (uint32_t)ys + nrow;
    }
    _clearfrom(done);
    return true;
}

// A strip decoded where its rows lie in the picture, top row first, turned
// into the picture's bottom-up order (RGB samples into BGR on the way).
void RasterTifReader::_turnband(BYTE* rows, uint32_t nrow, size_t line)
{
    const bool rgb = m_page.layout == TIF_RGB;
    for (uint32_t i = 0, j = nrow - 1; i <= j && j < nrow; i++, j--) {
        BYTE* a = rows + line * i;
        BYTE* b = rows + line * j;
        if (rgb)
            _swapbgr(a, b, m_page.width);
        else if (a != b)
            std::swap_ranges(a, a + line, b);
    }
}

namespace {

void _swapbgrbytes(BYTE* a, BYTE* b, uint32_t width)
{
    for (uint32_t x = 0; x < width; x++, a += 3, b += 3) {
        const BYTE r = a[0], g = a[1], bl = a[2];
        a[0] = b[2];
        a[1] = b[1];
        a[2] = b[0];
        b[0] = bl;
        b[1] = g;
        b[2] = r;
    }
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KESTREL_TIFF_SHUFFLE 1

// Sixteen RGB pixels (three 16-byte blocks) as BGR: output block o takes
// its bytes from input blocks o - 1 .. o + 1, each through a byte shuffle
// whose lanes from other blocks are zero.
struct BgrShuffle {
    __m128i m[7];
    BgrShuffle()
    {
        static const int from[7][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {1, 2}, {2, 1}, {2, 2}};
        for (int i = 0; i < 7; i++) {
            alignas(16) signed char lanes[16];
            for (int k = 0; k < 16; k++) {
                const int out = from[i][0] * 16 + k;
                const int src = out / 3 * 3 + 2 - out % 3;
                lanes[k] = src / 16 == from[i][1] ? (signed char)(src % 16) : (signed char)0x80;
            }
            memcpy(&m[i], lanes, 16);
        }
    }
};

__attribute__((target("ssse3"))) inline void _bgr48(const BYTE* in, const __m128i* m, __m128i* o)
{
    const __m128i v0 = _mm_loadu_si128((const __m128i*)in);
    const __m128i v1 = _mm_loadu_si128((const __m128i*)(in + 16));
    const __m128i v2 = _mm_loadu_si128((const __m128i*)(in + 32));
    o[0] = _mm_or_si128(_mm_shuffle_epi8(v0, m[0]), _mm_shuffle_epi8(v1, m[1]));
    o[1] = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, m[2]), _mm_shuffle_epi8(v1, m[3])),
                        _mm_shuffle_epi8(v2, m[4]));
    o[2] = _mm_or_si128(_mm_shuffle_epi8(v1, m[5]), _mm_shuffle_epi8(v2, m[6]));
}

__attribute__((target("ssse3"))) void _swapbgrshuffle(BYTE* a, BYTE* b, uint32_t width)
{
    static const BgrShuffle shuffle;
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16, a += 48, b += 48) {
        __m128i oa[3], ob[3];
        _bgr48(b, shuffle.m, oa);
        _bgr48(a, shuffle.m, ob);
        for (int k = 0; k < 3; k++) {
            _mm_storeu_si128((__m128i*)(a + 16 * k), oa[k]);
            _mm_storeu_si128((__m128i*)(b + 16 * k), ob[k]);
        }
    }
    _swapbgrbytes(a, b, width - x);
}
#endif

}  // namespace

// Exchanges two rows of RGB samples, each turned into BGR pixels (a row
// with itself is turned in place).
void RasterTifReader::_swapbgr(BYTE* a, BYTE* b, uint32_t width)
{
#ifdef KESTREL_TIFF_SHUFFLE
    static const bool shuffle = __builtin_cpu_supports("ssse3");
    if (shuffle) {
        _swapbgrshuffle(a, b, width);
        return;
    }
#endif
    _swapbgrbytes(a, b, width);
}

// Row by row: no strip-sized buffer beside the picture, and rows that need
// no conversion are decoded straight into it.
bool RasterTifReader::_readscanlines()
{
    const TifPage& p = m_page;
    const bool inPlace = !p.sgnd && ((p.layout == TIF_INDEX && p.spp == 1 && p.bpp == p.bits) ||
                                     (p.layout == TIF_RGB && p.bits == 8 && p.spp == 3));
    std::vector<BYTE> row;
    try {
        if (!inPlace)
            row.resize((size_t)TIFFScanlineSize64(m_tif));
    } catch (const std::bad_alloc&) {
        return _fail(kNoBuffer);
    }
    uint32_t r = 0;
    for (; r < m_rows; r++) {
        if (m_img.info.nEscape != 0)
            return _fail(kCancelled);
        const DWORD y = m_page.height - 1 - r;
        BYTE* into = inPlace ? m_img.GetBits(y) : row.data();
        if (TIFFReadScanline(m_tif, into, r, 0) < 0) {
            if (r > 0 && _cut(TIFFComputeStrip(m_tif, r, 0)))
                break;  // the file was cut inside this strip
            return _fail(kCorrupted);
        }
        if (p.layout == TIF_LAB)
            _putlab(into, y);
        else
            _putrow(into, y);
    }
    _clearfrom(r);
    return true;
}

bool RasterTifReader::_readplanes()
{
    const TifPage& p = m_page;
    std::vector<BYTE> row;
    try {
        row.resize((size_t)(((unsigned long long)p.width * p.bits + 7) / 8));
    } catch (const std::bad_alloc&) {
        return _fail(kNoBuffer);
    }
    const bool rgb = p.layout == TIF_RGB;
    const bool palette = p.photometric == PHOTOMETRIC_PALETTE;
    const unsigned flip = p.sgnd ? 1u << (p.bits - 1) : 0;
    uint32_t rows = m_rows;
    const uint16_t planes = (uint16_t)(rgb ? (p.alpha ? 4 : 3) : (p.alpha ? 2 : 1));
    for (uint16_t s = 0; s < planes; s++) {
        const bool alpha = s == planes - 1 && p.alpha;
        for (uint32_t r = 0; r < rows; r++) {
            if (m_img.info.nEscape != 0)
                return _fail(kCancelled);
            if (TIFFReadScanline(m_tif, row.data(), r, s) < 0) {
                if (r > 0 && _cut(TIFFComputeStrip(m_tif, r, s))) {
                    rows = r;  // the file was cut inside this plane's strip
                    break;
                }
                return _fail(kCorrupted);
            }
            const DWORD y = p.height - 1 - r;
            BYTE* dst = alpha ? m_img.AlphaGetBits() + (size_t)y * p.width : m_img.GetBits(y);
            const size_t step = alpha || !rgb ? 1 : 3;
            BYTE* to = dst + (alpha || !rgb ? 0 : 2 - s);
            for (uint32_t x = 0; x < p.width; x++, to += step) {
                const unsigned v = _sample(row.data(), x, p.bits) ^ flip;
                *to = rgb ? _colour(v, p.bits) : (s == 0 && palette) ? (BYTE)v : _level(v, p.bits);
            }
        }
    }
    if (rgb && p.alpha && p.associated) {
        for (uint32_t r = 0; r < rows; r++) {
            const DWORD y = p.height - 1 - r;
            BYTE* px = m_img.GetBits(y);
            const BYTE* a = m_img.AlphaGetBits() + (size_t)y * p.width;
            for (uint32_t x = 0; x < p.width; x++, px += 3)
                for (int c = 0; c < 3; c++)
                    px[c] = (BYTE)_unpremultiply16(px[c], a[x], 255);
        }
    }
    _clearfrom(rows);
    return true;
}

// Whether strip or tile `index` runs past the end of the file.
bool RasterTifReader::_cut(uint32_t index) const
{
    const uint64_t at = TIFFGetStrileOffset(m_tif, index);
    const uint64_t bytes = TIFFGetStrileByteCount(m_tif, index);
    return m_held >= 0 && (at > (uint64_t)m_held || bytes > (uint64_t)m_held - at);
}

// Rows from `row` down (file order) that the file does not hold: black and
// transparent.
void RasterTifReader::_clearfrom(uint32_t row)
{
    for (uint32_t r = row; r < m_page.height; r++) {
        const DWORD y = m_page.height - 1 - r;
        memset(m_img.GetBits(y), 0, m_img.GetEffWidth());
        if (m_page.alpha)
            memset(m_img.AlphaGetBits() + (size_t)y * m_page.width, 0, m_page.width);
    }
}

// Rows ys..ys+nrow-1 of one sample plane (plane 0 for contiguous samples),
// line bytes a row, from a strip or a row of tiles. What a strip or tile
// does not hold (it decoded short) is left black. 1 when read, 0 when the
// data is damaged, -1 when the file ends inside it.
int RasterTifReader::_readband(uint32_t ys, uint32_t nrow, uint16_t plane, BYTE* out, size_t line,
                               std::vector<BYTE>& tile)
{
    const TifPage& p = m_page;
    if (!p.tiled) {
        const tmsize_t want = (tmsize_t)(line * nrow);
        const uint32_t strip = TIFFComputeStrip(m_tif, ys, plane);
        const tmsize_t got = TIFFReadEncodedStrip(m_tif, strip, out, want);
        if (got < 0)
            return _cut(strip) ? -1 : 0;
        if (got < want)
            memset(out + got, 0, (size_t)(want - got));
        return 1;
    }
    const size_t tileSize = tile.size();
    const size_t tileRow = tileSize / p.tileLength;
    size_t offset = 0;
    for (uint32_t column = 0; offset < line; column += p.tileWidth, offset += tileRow) {
        const uint32_t index = TIFFComputeTile(m_tif, column, ys, 0, plane);
        const tmsize_t got = TIFFReadEncodedTile(m_tif, index, tile.data(), (tmsize_t)tileSize);
        if (got < 0)
            return _cut(index) ? -1 : 0;
        if ((size_t)got < tileSize)
            memset(tile.data() + got, 0, tileSize - (size_t)got);
        // The right-most tile may stick out past the image's width.
        const size_t cols = tileRow < line - offset ? tileRow : line - offset;
        m_img.TileToStrip(out + offset, tile.data(), nrow, (DWORD)cols, (int)(line - cols),
                          (int)(tileRow - cols));
    }
    return 1;
}

// Rows ys.. of the file (top-down) into the image (bottom-up).
void RasterTifReader::_putrows(const BYTE* band, uint32_t ys, uint32_t nrow, size_t line)
{
    const DWORD height = m_page.height;
    for (uint32_t i = 0; i < nrow; i++) {
        const DWORD y = height - 1 - (ys + i);
        if (m_page.layout == TIF_LAB)
            _putlab(band + line * i, y);
        else
            _putrow(band + line * i, y);
    }
}

void RasterTifReader::_putrow(const BYTE* src, DWORD y)
{
    const TifPage& p = m_page;
    BYTE* dst = m_img.GetBits(y);
    BYTE* plane = p.alpha ? m_img.AlphaGetBits() + (size_t)y * p.width : NULL;
    const uint32_t width = p.width;
    const unsigned bits = p.bits;
    const unsigned spp = p.spp;
    // Signed samples run from the most negative value (black) up.
    const unsigned flip = p.sgnd ? 1u << (bits - 1) : 0;
    if (p.layout == TIF_INDEX) {
        if (p.bpp != 8) {  // one or four bits, one sample: the packing matches
            if (dst != src)
                memcpy(dst, src, ((size_t)width * bits + 7) / 8);
            return;
        }
        const bool palette = p.photometric == PHOTOMETRIC_PALETTE;
        if (bits == 8 && spp == 1 && flip == 0) {
            if (dst != src)
                memcpy(dst, src, width);
            return;
        }
        for (uint32_t x = 0; x < width; x++) {
            const unsigned v = _sample(src, (size_t)x * spp, bits) ^ flip;
            dst[x] = palette ? (BYTE)v : _level(v, bits);
            if (plane != NULL)
                plane[x] = _level(_sample(src, (size_t)x * spp + 1, bits) ^ flip, bits);
        }
        return;
    }
    if (p.layout == TIF_PALETTE24) {
        // Maps of more than 256 entries are written with 16-bit colours.
        for (uint32_t x = 0; x < width; x++) {
            const unsigned v = _sample(src, (size_t)x * spp, bits);
            BYTE* px = dst + 3 * (size_t)x;
            px[0] = (BYTE)(m_map[2][v] / 257);
            px[1] = (BYTE)(m_map[1][v] / 257);
            px[2] = (BYTE)(m_map[0][v] / 257);
            if (plane != NULL)
                plane[x] = _level(_sample(src, (size_t)x * spp + 1, bits), bits);
        }
        return;
    }
    // RGB: the first three samples, then alpha when the page has it.
    if (bits == 8 && spp == 3 && flip == 0) {
        // In place when the row was read straight into the picture.
        for (uint32_t x = 0; x < width; x++, src += 3, dst += 3) {
            const BYTE r = src[0];
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = r;
        }
        return;
    }
    // Premultiplied colours are divided at the file's own depth, before
    // being cut to eight bits: dark colours under faint alpha keep their
    // precision.
    const unsigned top = (1u << bits) - 1;
    for (uint32_t x = 0; x < width; x++) {
        const size_t s = (size_t)x * spp;
        unsigned r = _sample(src, s, bits) ^ flip;
        unsigned g = _sample(src, s + 1, bits) ^ flip;
        unsigned b = _sample(src, s + 2, bits) ^ flip;
        if (plane != NULL) {
            const unsigned a = _sample(src, s + 3, bits) ^ flip;
            plane[x] = _colour(a, bits);
            if (p.associated) {
                r = _unpremultiply16(r, a, top);
                g = _unpremultiply16(g, a, top);
                b = _unpremultiply16(b, a, top);
            }
        }
        BYTE* px = dst + 3 * (size_t)x;
        px[0] = _colour(b, bits);
        px[1] = _colour(g, bits);
        px[2] = _colour(r, bits);
    }
}

// CIE L*a*b* (D65) to sRGB, one row.
void RasterTifReader::_putlab(const BYTE* src, DWORD y)
{
    const TifPage& p = m_page;
    BYTE* plane = p.alpha ? m_img.AlphaGetBits() + (size_t)y * p.width : NULL;
    BYTE* dst = m_img.GetBits(y);
    for (uint32_t x = 0; x < p.width; x++) {
        const size_t s = (size_t)x * p.spp;
        const int l = _level(_sample(src, s, p.bits), p.bits);
        int a = _level(_sample(src, s + 1, p.bits), p.bits);
        int b = _level(_sample(src, s + 2, p.bits), p.bits);
        if (a > 127)
            a -= 256;
        if (b > 127)
            b -= 256;
        const double fy = (l / 2.55 + 16) / 116;
        const double fx = a * 0.002 + fy;
        const double fz = fy - b * 0.005;
        const double X = fx * fx * fx * 0.95047, Y = fy * fy * fy, Z = fz * fz * fz * 1.0883;
        double rgb[3] = {3.240479 * X - 1.53715 * Y - 0.498535 * Z,
                         -0.969256 * X + 1.875992 * Y + 0.041556 * Z,
                         0.055648 * X - 0.204043 * Y + 1.057311 * Z};
        BYTE out[3];
        for (int c = 0; c < 3; c++) {
            double v = rgb[c];
            v = v > 0.00304 ? 1.055 * pow(v, 0.41667) - 0.055 : 12.92 * v;
            int n = (int)(v * 255);
            out[c] = (BYTE)(n < 0 ? 0 : n > 255 ? 255 : n);
        }
        BYTE* px = dst + 3 * (size_t)x;
        px[0] = out[2];
        px[1] = out[1];
        px[2] = out[0];
        if (plane != NULL)
            plane[x] = _level(_sample(src, s + 3, p.bits), p.bits);
    }
}

bool RasterTifReader::_readrgba()
{
    const TifPage& p = m_page;
    char why[1024];
    why[0] = 0;
    // Rows in the file's own order, top row first: the reader is told the
    // page is stored upright (it would turn some orientations and not
    // others), and the orientation is applied afterwards as on the other
    // paths.
    TIFFSetField(m_tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFRGBAImage rgba;
    if (!TIFFRGBAImageBegin(&rgba, m_tif, 1, why))
        return _fail(why[0] != 0 ? why : kCorrupted);
    rgba.req_orientation = ORIENTATION_TOPLEFT;
    // A strip or a row of tiles at a time, not the whole page beside the
    // picture.
    const uint32_t band = p.tiled ? p.tileLength : p.rowsPerStrip;
    const uint32_t first = band < m_rows ? band : m_rows;
    uint32_t* raster = static_cast<uint32_t*>(malloc((size_t)p.width * first * 4));
    if (raster == NULL) {
        TIFFRGBAImageEnd(&rgba);
        return _fail(kNoRaster);
    }
    uint32_t done = 0;
    for (uint64_t r0 = 0; r0 < m_rows; r0 += band) {
        if (m_img.info.nEscape != 0) {
            free(raster);
            TIFFRGBAImageEnd(&rgba);
            return _fail(kCancelled);
        }
        const uint32_t nrow = (uint32_t)(band < m_rows - r0 ? band : m_rows - r0);
        rgba.row_offset = (int)r0;
        rgba.col_offset = 0;
        if (!TIFFRGBAImageGet(&rgba, raster, p.width, nrow)) {
            const uint32_t index = p.tiled ? TIFFComputeTile(m_tif, 0, (uint32_t)r0, 0, 0)
                                           : TIFFComputeStrip(m_tif, (uint32_t)r0, 0);
            if (r0 > 0 && _cut(index))
                break;
            free(raster);
            TIFFRGBAImageEnd(&rgba);
            return _fail(kCorrupted);
        }
        for (uint32_t i = 0; i < nrow; i++) {
            const DWORD y = p.height - 1 - (DWORD)(r0 + i);
            const uint32_t* src = raster + (size_t)i * p.width;
            BYTE* dst = m_img.GetBits(y);
            BYTE* plane = p.alpha ? m_img.AlphaGetBits() + (size_t)y * p.width : NULL;
            for (uint32_t x = 0; x < p.width; x++) {
                const uint32_t v = src[x];
                BYTE* px = dst + 3 * (size_t)x;
                px[0] = (BYTE)TIFFGetB(v);
                px[1] = (BYTE)TIFFGetG(v);
                px[2] = (BYTE)TIFFGetR(v);
                if (plane != NULL) {
                    // The RGBA reader hands out premultiplied colours.
                    const BYTE a = (BYTE)TIFFGetA(v);
                    plane[x] = a;
                    px[0] = _unpremultiply(px[0], a);
                    px[1] = _unpremultiply(px[1], a);
                    px[2] = _unpremultiply(px[2], a);
                }
            }
        }
        done = (uint32_t)(r0 + nrow);
    }
    free(raster);
    TIFFRGBAImageEnd(&rgba);
    _clearfrom(done);
    return true;
}

// ---------------------------------------------------------------------------
// The codec object.

RasterImageTIF::RasterImageTIF()
    : RasterImage(RASTER_FORMAT_TIF), m_tiffHandle(NULL), m_isMultiPage(false), m_pagesWritten(0)
{
}

RasterImageTIF::RasterImageTIF(const RasterImageTIF& src)
    : RasterImage(src, true, true, true),
      m_tiffHandle(NULL),
      m_isMultiPage(false),
      m_pagesWritten(0)
{
}

RasterImageTIF& RasterImageTIF::operator=(const RasterImageTIF& src)
{
    // An open file belongs to the object that opened it: only the image part
    // is copied.
    if (this != &src)
        RasterImage::operator=(src);
    return *this;
}

RasterImageTIF::~RasterImageTIF()
{
    if (m_tiffHandle != NULL)
        TIFFClose(m_tiffHandle);
}

// Turns rows stored in the file's order into the upright picture the
// orientation tag describes (where row 0 and column 0 of the file lie).
bool RasterImageTIF::_orient(int orientation)
{
    switch (orientation) {
    case ORIENTATION_TOPRIGHT:  // column 0 on the right
        return Mirror();
    case ORIENTATION_BOTRIGHT:  // row 0 at the bottom, column 0 on the right
        return Rotate180();
    case ORIENTATION_BOTLEFT:  // row 0 at the bottom
        return Flip();
    case ORIENTATION_LEFTTOP:  // rows and columns exchanged
        return RotateRight() && Mirror();
    case ORIENTATION_RIGHTTOP:  // row 0 on the right: the picture lies turned left
        return RotateRight();
    case ORIENTATION_RIGHTBOT:  // exchanged across the other diagonal
        return RotateLeft() && Mirror();
    case ORIENTATION_LEFTBOT:  // row 0 on the left: the picture lies turned right
        return RotateLeft();
    default:  // upright, or a value that says nothing
        return true;
    }
}

void RasterImageTIF::_closehandle()
{
    if (m_tiffHandle != NULL)
        TIFFClose(m_tiffHandle);
    m_tiffHandle = NULL;
    m_isMultiPage = false;
    m_pagesWritten = 0;
}

bool RasterImageTIF::Decode(RasterFile* stream)
{
    if (stream == NULL) {
        _seterror(kOpenFailed);
        return false;
    }
    RasterTifReader reader(*this, stream);
    return reader.Run();
}

bool RasterImageTIF::Decode(FILE* stream)
{
    if (stream == NULL) {
        _seterror(kOpenFailed);
        return false;
    }
    RasterIOFile file(stream);
    return Decode(&file);
}

void RasterImageTIF::TileToStrip(BYTE* dest, BYTE* src, DWORD rows, DWORD cols, int destSkip,
                                 int srcSkip)
{
    for (DWORD r = 0; r < rows; r++) {
        memcpy(dest, src, cols);
        dest += cols + destSkip;
        src += cols + srcSkip;
    }
}

TIFF* RasterImageTIF::TIFFOpenEx(RasterFile* stream)
{
    if (stream == NULL)
        return NULL;
    return TIFFOpenXFile(stream, "rb");
}

void RasterImageTIF::TIFFCloseEx(TIFF* tif)
{
    if (tif != NULL)
        TIFFClose(tif);
}

// ---------------------------------------------------------------------------
// Encoding.

namespace {

// Compressions libtiff here reads but cannot write, and those it lacks.
bool _canwrite(uint16_t compression)
{
    if (compression == COMPRESSION_OJPEG || compression == COMPRESSION_THUNDERSCAN ||
        compression == COMPRESSION_NEXT)
        return false;
    return TIFFIsCODECConfigured(compression) != 0;
}

bool _blackandwhite(const RasterImage& img)
{
    RGBQUAD a = img.GetPaletteColor(0), b = img.GetPaletteColor(1);
    const bool aBlack = a.rgbRed == 0 && a.rgbGreen == 0 && a.rgbBlue == 0;
    const bool aWhite = a.rgbRed == 255 && a.rgbGreen == 255 && a.rgbBlue == 255;
    const bool bBlack = b.rgbRed == 0 && b.rgbGreen == 0 && b.rgbBlue == 0;
    const bool bWhite = b.rgbRed == 255 && b.rgbGreen == 255 && b.rgbBlue == 255;
    return (aBlack && bWhite) || (aWhite && bBlack);
}

// Whether entry i of the palette is the grey level i of the image's depth
// (0, 17, 34 ... at 4 bits, 0, 1, 2 ... at 8).
bool _greyramp(const RasterImage& img)
{
    const DWORD n = img.GetNumColors();
    if (n < 2)
        return false;
    const DWORD step = 255 / (n - 1);
    for (DWORD i = 0; i < n; i++) {
        RGBQUAD c = img.GetPaletteColor((BYTE)i);
        if (c.rgbRed != step * i || c.rgbGreen != step * i || c.rgbBlue != step * i)
            return false;
    }
    return true;
}

}  // namespace

bool RasterImageTIF::EncodeBody(TIFF* tif, bool multiPage, int pageNumber, int pageCount)
{
    if (tif == NULL || pDib == NULL)
        return false;
    const uint32_t height = GetHeight(), width = GetWidth();
    int bitcount = GetBpp();
    uint16_t samples = (bitcount == 24 || bitcount == 32) ? 3 : 1;
    if (bitcount == 24 && AlphaIsValid()) {
        bitcount = 32;
        samples = 4;
    }
    const uint16_t bitsPerSample = (uint16_t)(bitcount / samples);
    uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    switch (bitcount) {
    case 1:
        // Two colours other than black and white keep their colours in a
        // palette page; a black and white picture is written min-is-white
        // with the brighter entry first (the picture stays the same, its
        // bits and entries exchanged in place).
        if (!_blackandwhite(*this)) {
            photometric = PHOTOMETRIC_PALETTE;
        } else if (CompareColors(GetPalette(), GetPalette() + 1) < 0) {
            RGBQUAD* pal = GetPalette();
            RGBQUAD t = pal[0];
            pal[0] = pal[1];
            pal[1] = t;
            _clearcolorcache();
            for (DWORD i = 0; i < header.biSizeImage; i++)
                info.pBits[i] = (BYTE)~info.pBits[i];
        }
        break;
    case 4:
    case 8:
        photometric = _greyramp(*this) ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_PALETTE;
        break;
    default:
        photometric = PHOTOMETRIC_RGB;
        break;
    }
    const bool indexAlpha = AlphaIsValid() && bitcount == 8;
    if (indexAlpha)
        samples = 2;

    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    uint32_t rowsPerStrip = TIFFDefaultStripSize(tif, 0xFFFFFFFF);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, (double)info.nXDPI);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, (double)info.nYDPI);
    // Readers must know the extra sample is alpha (straight, not
    // premultiplied: the plane is kept beside unchanged colours).
    if (samples == 4 || indexAlpha) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (multiPage) {
        char name[32];
        snprintf(name, sizeof(name), "Page %d", pageNumber);
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, (uint16_t)pageNumber, (uint16_t)pageCount);
        TIFFSetField(tif, TIFFTAG_PAGENAME, name);
    } else {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    }

    if (photometric == PHOTOMETRIC_PALETTE) {
        // Entries past the palette's size stay black.
        std::vector<uint16_t> map(3 * 256, 0);
        const DWORD n = GetNumColors() < 256 ? GetNumColors() : 256;
        for (DWORD i = 0; i < n; i++) {
            RGBQUAD c = GetPaletteColor((BYTE)i);
            map[i] = (uint16_t)(c.rgbRed * 65535u / 255u);
            map[256 + i] = (uint16_t)(c.rgbGreen * 65535u / 255u);
            map[512 + i] = (uint16_t)(c.rgbBlue * 65535u / 255u);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, &map[0], &map[256], &map[512]);
    }

    // The option word is this format's only when the image is a TIFF image.
    uint16_t compression;
    if (info.dwType == RASTER_FORMAT_TIF && (info.dwCodecOption & 0xFFFF) != 0)
        compression = (uint16_t)(info.dwCodecOption & 0xFFFF);
    else if (bitcount == 1)
        compression = COMPRESSION_CCITTFAX4;
    else if (bitcount == 8)
        compression = COMPRESSION_PACKBITS;
    else if (bitcount == 24 || bitcount == 32)
        compression = COMPRESSION_JPEG;
    else
        compression = COMPRESSION_NONE;
    if (!_canwrite(compression)) {
        _seterror(kNoWriteCodec);
        return false;
    }
    if (!TIFFSetField(tif, TIFFTAG_COMPRESSION, compression))
        return false;
    if (compression == COMPRESSION_LZW && bitcount >= 8)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, (int)info.nJpegQuality);
        rowsPerStrip = (rowsPerStrip + 7) & ~7u;
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    }

    // Every row goes through a work buffer: libtiff's predictor and some
    // codecs change the row they are given in place.
    std::vector<BYTE> buffer;
    try {
        if (indexAlpha)
            buffer.resize(2 * (size_t)width);
        else if (bitcount == 32)
            buffer.resize(4 * (size_t)width);
        else
            buffer.resize(info.dwEffWidth);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (uint32_t y = 0; y < height; y++) {
        const DWORD row = height - y - 1;
        BYTE* bits = GetBits(row);
        BYTE* out = buffer.data();
        if (bitcount <= 8 && !indexAlpha) {
            memcpy(out, bits, info.dwEffWidth);
        } else if (indexAlpha) {
            for (uint32_t x = 0; x < width; x++) {
                buffer[2 * x] = bits[x];
                buffer[2 * x + 1] = AlphaGet((long)x, (long)row);
            }
        } else if (bitcount == 24 || bitcount == 32) {
            const BYTE* plane = bitcount == 32 ? pAlpha + (size_t)row * width : NULL;
            const size_t step = bitcount == 32 ? 4 : 3;
            for (uint32_t x = 0; x < width; x++) {
                BYTE* px = &buffer[step * x];
                px[0] = bits[3 * x + 2];
                px[1] = bits[3 * x + 1];
                px[2] = bits[3 * x];
                if (plane != NULL)
                    px[3] = plane[x];
            }
        }
        if (TIFFWriteScanline(tif, out, y, 0) == -1)
            return false;
    }
    return true;
}

bool RasterImageTIF::Encode(RasterFile* stream, bool append)
{
    if (stream == NULL) {
        _seterror("null file handler");
        return false;
    }
    if (pDib == NULL) {
        _seterror("null image!!!");
        return false;
    }
    if (m_tiffHandle == NULL) {
        // An empty stream gets a new file (it may be write-only: appending
        // would read it); one that holds data gets pages added.
        const long at = stream->Tell(), size = stream->Size();
        const char* mode = (size <= 0 || at >= size) ? "w" : "a";
        m_tiffHandle = RasterTiffOpen(stream, "TIFF IMAGE", mode, info.szLastError, 0);
        if (m_tiffHandle == NULL) {
            _seterror("initialization fail");
            return false;
        }
    }
    if (append || m_pagesWritten != 0)
        m_isMultiPage = true;
    m_pagesWritten += 1;
    if (!EncodeBody(m_tiffHandle, m_isMultiPage, m_pagesWritten, m_pagesWritten)) {
        // EncodeBody's own reason, where it gave one, stays.
        if (strcmp(info.szLastError, kNoWriteCodec) != 0)
            _seterror(kSaveFailed);
        _closehandle();
        return false;
    }
    // The directory is written here, not left to the close, so that a
    // failure to write it is seen.
    if (!TIFFWriteDirectory(m_tiffHandle)) {
        _seterror(kSaveDirFailed);
        _closehandle();
        return false;
    }
    if (!append)
        _closehandle();
    return true;
}

bool RasterImageTIF::Encode(FILE* stream, bool append)
{
    RasterIOFile file(stream);
    return Encode(stream != NULL ? &file : NULL, append);
}

bool RasterImageTIF::Encode(RasterFile* stream, RasterImage** images, int count)
{
    if (stream == NULL) {
        _seterror("invalid file pointer");
        return false;
    }
    if (images == NULL || count <= 0) {
        _seterror("multipage TIFF, no images!");
        return false;
    }
    // libtiff reads back each directory it links to the next, so the pages
    // are put together in memory and the finished file written out at once
    // (the stream may be write-only).
    RasterMemFile mem;
    if (!mem.Open()) {
        _seterror(kSaveFailed);
        return false;
    }
    {
        RasterImageTIF pages;
        for (int i = 0; i < count; i++) {
            if (images[i] == NULL) {
                _seterror("Bad image pointer");
                return false;
            }
            // The ghost of the last page lets go of its pixels (it owns none)
            // before it shows the next.
            pages.info.pGhost = NULL;
            pages.pDib = NULL;
            pages.pSelection = NULL;
            pages.pAlpha = NULL;
            pages.pLayers = NULL;
            pages.Ghost(images[i]);
            if (!pages.Encode(&mem, true)) {
                _seterror(pages.info.szLastError[0] == 0 ? kSaveFailed : pages.info.szLastError);
                return false;
            }
        }
        // Closing completes the file; as a ghost the local object frees none
        // of the images' blocks.
        pages._closehandle();
    }
    const size_t size = (size_t)mem.Size();
    if (stream->Write(mem.GetBuffer(false), 1, size) != size) {
        _seterror(kSaveFailed);
        return false;
    }
    return true;
}

bool RasterImageTIF::Encode(FILE* stream, RasterImage** images, int count)
{
    RasterIOFile file(stream);
    return Encode(stream != NULL ? &file : NULL, images, count);
}

namespace {

bool _tifencode(RasterImage* codec, RasterFile* stream, DWORD)
{
    return static_cast<RasterImageTIF*>(codec)->Encode(stream, false);
}

bool _tifencodemulti(RasterImage* codec, RasterFile* stream, RasterImage** images, int count)
{
    return static_cast<RasterImageTIF*>(codec)->Encode(stream, images, count);
}

}  // namespace

const RasterCodec g_RasterCodecTIF = {
    RASTER_FORMAT_TIF, RASTER_FORMAT_TIF, true, RasterCodecMake<RasterImageTIF>,
    RasterCodecDecode<RasterImageTIF>,
    _tifencode, _tifencodemulti,
};
