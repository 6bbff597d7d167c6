// The PNG codec (format id 4), through libpng 1.6 over the image library's
// streams.
//
// Decoding maps PNG colour types and depths onto the image's 1, 4, 8 and 24
// bits per pixel: palette and grey files keep their depth (2 bits widen to 4,
// 16 bits are stripped to 8), colour files become 24 bits, and files with an
// alpha channel become 24 bits with an alpha plane, except 8-bit grey with
// alpha, which is composed on its background. Encoding writes a palette file
// at the image's own depth when it has a palette and no alpha plane, RGBA
// 8-bit when it has an alpha plane (or a 24-bit transparent colour), and RGB
// 8-bit otherwise.
//
// libpng reports errors through a callback that never returns: it jumps back
// to the setjmp of the operation. The functions between that setjmp and the
// libpng calls hold no object with a destructor, and everything the codec
// allocates is held in a plain record that the caller frees either way.
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

#include <png.h>

#include "rastercodecs.h"
#include "rasterlimits.h"
#include "rasteriterator.h"

namespace {

const char kCreateFailed[] = "Failed to create PNG structure";
const char kInfoFailed[] = "Failed to initialize PNG info structure";
const char kSaveFailed[] = "Error saving PNG file";
// The largest ancillary chunk kept in memory, and how many are kept.
constexpr png_alloc_size_t kChunkMallocMax = 8000000;
constexpr png_uint_32 kChunkCacheMax = 1000;
constexpr png_alloc_size_t kLibpngAllocMax = 32u << 20;

// What one decode or encode allocates, freed by the caller of the setjmp
// frame whether or not libpng jumped.
struct PngState {
    png_structp png;
    png_infop info;
    BYTE* row;
    png_colorp palette;
};

[[noreturn]] void _pngerror(png_structp png, png_const_charp message)
{
    char* text = static_cast<char*>(png_get_error_ptr(png));
    if (text != NULL) {
        strncpy(text, message != NULL ? message : "", 255);
        text[255] = 0;
    }
    png_longjmp(png, 1);
}

// libpng's allocations are rows, zlib's state and chunks. A row of the
// widest image libpng accepts (a million 8-byte pixels) is 8 MB; a larger
// request is a chunk length that the data does not back, and is refused, so
// libpng passes over the chunk instead of allocating it.
void* _pngmalloc(png_structp, png_alloc_size_t size)
{
    return size <= kLibpngAllocMax ? malloc(size) : NULL;
}

void _pngfree(png_structp, png_voidp p)
{
    free(p);
}

void _pngwarning(png_structp, png_const_charp)
{
    // Warnings do not stop the decode and are not shown.
}

void _pngread(png_structp png, png_bytep data, png_size_t length)
{
    RasterFile* fp = static_cast<RasterFile*>(png_get_io_ptr(png));
    if (fp->Read(data, 1, length) != length)
        png_error(png, "Read Error");
}

void _pngwrite(png_structp png, png_bytep data, png_size_t length)
{
    RasterFile* fp = static_cast<RasterFile*>(png_get_io_ptr(png));
    if (fp->Write(data, 1, length) != length)
        png_error(png, "Write Error");
}

void _pngflush(png_structp png)
{
    RasterFile* fp = static_cast<RasterFile*>(png_get_io_ptr(png));
    if (!fp->Flush())
        png_error(png, "Flush Error");
}

// Widens a row of 2-bit pixels into 4-bit pixels in place, from the right so
// that no pixel is overwritten before it is read.
void _widen2to4(BYTE* row, png_uint_32 width)
{
    for (png_uint_32 i = width; i-- > 0;) {
        BYTE v = (BYTE)((row[i >> 2] >> ((3 - (i & 3)) * 2)) & 3);
        BYTE& b = row[i >> 1];
        b = (i & 1) ? (BYTE)((b & 0xF0) | v) : (BYTE)((b & 0x0F) | (v << 4));
    }
    if (width & 1)  // the nibble after the last pixel is row padding
        row[width >> 1] &= 0xF0;
}

long _dpi(png_uint_32 perMetre)
{
    return (long)floor(perMetre * 254.0 / 10000.0 + 0.5);
}

png_uint_32 _permetre(LONG v)
{
    return v < 0 ? 0 : (png_uint_32)v;
}

}  // namespace

class RasterImagePNG : public RasterImage {
public:
    RasterImagePNG() : RasterImage(RASTER_FORMAT_PNG) {}

    bool Decode(RasterFile* fp);
    bool Encode(RasterFile* fp);

private:
    // The frames that hold the jump points, and the work that libpng may
    // jump out of.
    bool _decode(RasterFile* fp, PngState* st);
    bool _readimage(RasterFile* fp, PngState* st);
    void _setbackground(PngState* st, bool alpha);
    void _readresolution(PngState* st);
    void _readpalette(PngState* st, int colorType, int depth);
    bool _readrows(PngState* st, png_uint_32 width, png_uint_32 height, int depth, bool interlaced,
                   bool alpha);
    bool _encode(RasterFile* fp, PngState* st);
    void _writeimage(PngState* st);
    void _writepalette(PngState* st);
    void _writergba(PngState* st);
};

// ---------------------------------------------------------------------------
// Decoding.

bool RasterImagePNG::Decode(RasterFile* fp)
{
    if (fp == NULL)
        return false;
    PngState st;
    memset(&st, 0, sizeof(st));
    bool ok = _decode(fp, &st);
    free(st.row);
    if (st.png != NULL)
        png_destroy_read_struct(&st.png, st.info != NULL ? &st.info : NULL, NULL);
    return ok;
}

bool RasterImagePNG::_decode(RasterFile* fp, PngState* st)
{
    // libpng's messages go straight into szLastError.
    st->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, info.szLastError, _pngerror, _pngwarning,
                                       NULL, _pngmalloc, _pngfree);
    if (st->png == NULL)
        return _fail(kCreateFailed);
    st->info = png_create_info_struct(st->png);
    if (st->info == NULL)
        return _fail(kInfoFailed);
    // A chunk's length is only a claim: chunks past libpng's own safe limits
    // are passed over (and _pngmalloc refuses what these limits let through).
    png_set_chunk_malloc_max(st->png, kChunkMallocMax);
    png_set_chunk_cache_max(st->png, kChunkCacheMax);
    if (setjmp(png_jmpbuf(st->png)))
        return false;
    return _readimage(fp, st);
}

bool RasterImagePNG::_readimage(RasterFile* fp, PngState* st)
{
    png_structp png = st->png;
    png_infop pinfo = st->info;
    png_set_read_fn(png, fp, _pngread);
    png_read_info(png, pinfo);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, pinfo, &width, &height, &bitDepth, &colorType, &interlace, NULL, NULL);
    const int depth = bitDepth * png_get_channels(png, pinfo);
    // Colour with alpha, and grey with alpha at 16 bits, keep their alpha in
    // an alpha plane; everything else is composed on its background.
    const bool alpha = colorType == PNG_COLOR_TYPE_RGB_ALPHA ||
                       (colorType == PNG_COLOR_TYPE_GRAY_ALPHA && depth == 32);
    _setbackground(st, alpha);
    if (bitDepth == 16)
        png_set_strip_16(png);

    const DWORD bpp = depth > 16 ? 24 : depth == 16 ? 8 : (DWORD)depth;
    // The rows the rest of the file can inflate to: each row is its filter
    // byte and its packed pixels.
    const unsigned long long rawRow = ((unsigned long long)width * depth + 7) / 8 + 1;
    const long long left = rasterlimits::BytesLeft(fp);
    const unsigned long long inflated =
        left > 0 ? (unsigned long long)left * rasterlimits::kDeflateBytesPerByte : 0;
    const unsigned long long backedRows = inflated / rawRow;
    unsigned long long allowance = RasterGetUnbackedPixels();
    if (!rasterlimits::Covered((unsigned long long)width * height,
                               backedRows > height ? (unsigned long long)width * height
                                                   : backedRows * width,
                               allowance))
        return _fail(rasterlimits::kTextTooLarge);
    if (Create(width, height, bpp, RASTER_FORMAT_PNG) == NULL)
        return false;
    _readresolution(st);
    _readpalette(st, colorType, depth);

    if (alpha) {
        if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            png_set_gray_to_rgb(png);
            png_set_expand(png);
        }
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        AlphaCreate();
        if (!AlphaIsValid())
            return _fail(rasterlimits::kTextNoMemory);
    }
    if (colorType & PNG_COLOR_MASK_COLOR)
        png_set_bgr(png);
    if (info.nEscape != 0)
        return false;

    if (!_readrows(st, width, height, depth, interlace != PNG_INTERLACE_NONE, alpha))
        return false;
    free(st->row);
    st->row = NULL;
    png_read_end(png, pinfo);
    return true;
}

void RasterImagePNG::_setbackground(PngState* st, bool alpha)
{
    png_color_16p file = NULL;
    const bool hasBackground = png_get_bKGD(st->png, st->info, &file) != 0 && file != NULL;
    if (alpha) {
        // Not composed: the file's background becomes the transparent colour.
        if (hasBackground) {
            info.rgbTransColor.rgbRed = (BYTE)file->red;
            info.rgbTransColor.rgbGreen = (BYTE)file->green;
            info.rgbTransColor.rgbBlue = (BYTE)file->blue;
            info.rgbTransColor.rgbReserved = 0;
        }
        return;
    }
    if (hasBackground) {
        png_set_background(st->png, file, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
        return;
    }
    // Without a bKGD chunk: 192 grey for colour files, black for grey ones.
    png_color_16 grey;
    memset(&grey, 0, sizeof(grey));
    grey.red = grey.green = grey.blue = 192;
    png_set_background(st->png, &grey, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
}

void RasterImagePNG::_readresolution(PngState* st)
{
    // Without a pHYs chunk the resolution is 0 both ways.
    png_uint_32 xPerUnit = 0, yPerUnit = 0;
    int unit = PNG_RESOLUTION_UNKNOWN;
    png_get_pHYs(st->png, st->info, &xPerUnit, &yPerUnit, &unit);
    if (unit == PNG_RESOLUTION_UNKNOWN) {
        SetXDPI((long)xPerUnit);
        SetYDPI((long)yPerUnit);
    } else if (unit == PNG_RESOLUTION_METER) {
        SetXDPI(_dpi(xPerUnit));
        SetYDPI(_dpi(yPerUnit));
    }
}

void RasterImagePNG::_readpalette(PngState* st, int colorType, int depth)
{
    png_colorp plte = NULL;
    int colours = 0;
    if (png_get_PLTE(st->png, st->info, &plte, &colours) != 0 && plte != NULL) {
        for (int i = 0; i < colours && i < (int)GetNumColors(); i++)
            SetPaletteColor((BYTE)i, plte[i].red, plte[i].green, plte[i].blue, 0);
    } else if (depth == 2) {
        for (BYTE i = 0; i < 4; i++)
            SetPaletteColor(i, (BYTE)(i * 85), (BYTE)(i * 85), (BYTE)(i * 85), 0);
    } else {
        SetGrayPalette();
    }

    // Palette files carry alpha per entry; the tRNS of grey and colour files
    // is a colour key, which the background step applies to the pixels.
    png_bytep transAlpha = NULL;
    int transCount = 0;
    if (colorType != PNG_COLOR_TYPE_PALETTE ||
        png_get_tRNS(st->png, st->info, &transAlpha, &transCount, NULL) == 0 || transAlpha == NULL ||
        transCount <= 0)
        return;
    RGBQUAD* pal = GetPalette();
    const int used = (int)GetNumColors();
    const int n = transCount < used ? transCount : used;
    for (int i = 0; i < n; i++)
        pal[i].rgbReserved = transAlpha[i];
    if (transCount == 1 && pal[0].rgbReserved == 0) {
        info.nTransIndex = 0;
    } else {
        info.bAlphaPaletteEnabled = true;
        for (int i = n; i < used; i++)
            pal[i].rgbReserved = 255;
    }
    _clearcolorcache();
}

bool RasterImagePNG::_readrows(PngState* st, png_uint_32 width, png_uint_32 height, int depth,
                               bool interlaced, bool alpha)
{
    png_structp png = st->png;
    // Zeroed: the bytes past what libpng delivers are the rows' padding.
    st->row = static_cast<BYTE*>(calloc((size_t)((depth + 7) / 8) * width + 10, 1));
    if (st->row == NULL)
        return _fail(rasterlimits::kTextNoMemory);
    BYTE* row = st->row;
    const int passes = png_set_interlace_handling(png);
    png_start_read_image(png);
    const DWORD eff = info.dwEffWidth;
    RasterIterator iter(this);
    for (int pass = 0; pass < passes; pass++) {
        // An interlaced pass fills only some pixels of a row: the row starts
        // from what the passes before left in the image.
        const bool refill = interlaced && pass > 0;
        iter.MoveToTop();
        for (png_uint_32 y = 0; y < height; y++) {
            if (info.nEscape != 0)
                return false;
            if (!alpha) {
                if (refill)
                    iter.GetRow(row, (long)eff);
                png_read_row(png, row, NULL);
                if (depth == 2 && pass == passes - 1)
                    _widen2to4(row, width);
                iter.SetRow(row, (long)eff);
                iter.PrevRow();
                continue;
            }
            const long ay = (long)(height - 1 - y);
            BYTE* pixels = iter.GetRow(ay);
            BYTE* plane = pAlpha + (size_t)ay * width;
            if (refill) {
                for (png_uint_32 x = width; x-- > 0;) {
                    row[4 * x] = pixels[3 * x];
                    row[4 * x + 1] = pixels[3 * x + 1];
                    row[4 * x + 2] = pixels[3 * x + 2];
                    row[4 * x + 3] = plane[x];
                }
            }
            png_read_row(png, row, NULL);
            for (png_uint_32 x = 0; x < width; x++) {
                pixels[3 * x] = row[4 * x];
                pixels[3 * x + 1] = row[4 * x + 1];
                pixels[3 * x + 2] = row[4 * x + 2];
                plane[x] = row[4 * x + 3];
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Encoding.

bool RasterImagePNG::Encode(RasterFile* fp)
{
    if (EncodeSafeCheck(fp))
        return false;
    PngState st;
    memset(&st, 0, sizeof(st));
    bool ok = _encode(fp, &st);
    free(st.row);
    free(st.palette);
    if (st.png != NULL)
        png_destroy_write_struct(&st.png, st.info != NULL ? &st.info : NULL);
    return ok;
}

bool RasterImagePNG::_encode(RasterFile* fp, PngState* st)
{
    st->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, _pngerror, _pngwarning);
    if (st->png == NULL)
        return _fail(kCreateFailed);
    st->info = png_create_info_struct(st->png);
    if (st->info == NULL)
        return _fail(kInfoFailed);
    // Whatever went wrong (libpng's own complaint, a short write, a failed
    // flush), the save reports one text.
    if (setjmp(png_jmpbuf(st->png)))
        return _fail(kSaveFailed);
    png_set_write_fn(st->png, fp, _pngwrite, _pngflush);
    _writeimage(st);
    return true;
}

void RasterImagePNG::_writeimage(PngState* st)
{
    png_structp png = st->png;
    png_infop pinfo = st->info;

    png_color_16 background;
    memset(&background, 0, sizeof(background));
    background.red = background.green = background.blue = 255;
    if (info.nTransIndex != -1) {
        RGBQUAD t = GetTransColor();
        background.red = t.rgbRed;
        background.green = t.rgbGreen;
        background.blue = t.rgbBlue;
    }

    // The colour type is settled first: an alpha plane (or a transparent
    // colour of a 24-bit image, which becomes one) makes RGBA.
    const bool rgba = AlphaIsValid() || (GetBpp() == 24 && info.nTransIndex >= 0);
    if (rgba)
        png_set_IHDR(png, pinfo, GetWidth(), GetHeight(), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    else if (GetPalette() != NULL)
        _writepalette(st);
    else
        png_set_IHDR(png, pinfo, GetWidth(), GetHeight(), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bKGD(png, pinfo, &background);
    png_set_pHYs(png, pinfo, _permetre(header.biXPelsPerMeter), _permetre(header.biYPelsPerMeter),
                 PNG_RESOLUTION_METER);
    png_write_info(png, pinfo);

    if (rgba) {
        _writergba(st);
    } else {
        if (GetPalette() == NULL)
            png_set_bgr(png);  // the rows hold blue, green, red
        // libpng copies each row before it transforms it: the image's own
        // rows go in as they are.
        RasterIterator iter(this);
        iter.MoveToTop();
        do {
            png_write_row(png, iter.GetRow());
        } while (iter.PrevRow());
    }
    png_write_end(png, pinfo);
}

void RasterImagePNG::_writepalette(PngState* st)
{
    png_structp png = st->png;
    png_infop pinfo = st->info;
    png_set_IHDR(png, pinfo, GetWidth(), GetHeight(), GetBpp(), PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

    const long trans = info.nTransIndex;
    if (trans >= 0 && trans < (long)GetNumColors()) {
        // The transparent colour is written as entry 0, the one entry of the
        // tRNS chunk. The caller's image takes the exchange too, so that its
        // pixels, palette and transparent index still agree after the save.
        if (trans != 0) {
            SwapIndex(0, (BYTE)trans);
            info.nTransIndex = 0;
            if (info.pGhost != NULL) {
                info.pGhost->SetTransIndex(0);
                // Rewriting an entry as it is drops the caller's nearest-colour answer.
                info.pGhost->SetPaletteColor(0, info.pGhost->GetPaletteColor(0));
            }
        }
        png_byte clear = 0;
        png_set_tRNS(png, pinfo, &clear, 1, NULL);
    }

    // A small image writes only the entries up to the highest index it uses.
    int count = (int)GetNumColors();
    const long width = (long)GetWidth(), height = (long)GetHeight();
    if (count > 2 && (unsigned long long)width * height < 65536) {
        int highest = 0;
        for (long y = 0; y < height; y++)
            for (long x = 0; x < width; x++) {
                int i = GetPixelIndex(x, y);
                if (i > highest)
                    highest = i;
            }
        count = highest + 1;
    }
    if (info.bAlphaPaletteEnabled) {
        png_byte alpha[256];
        for (int i = 0; i < count; i++)
            alpha[i] = GetPaletteColor((BYTE)i).rgbReserved;
        png_set_tRNS(png, pinfo, alpha, count, NULL);
    }
    st->palette = static_cast<png_colorp>(malloc(sizeof(png_color) * (size_t)count));
    if (st->palette == NULL)
        png_error(png, "out of memory");
    for (int i = 0; i < count; i++) {
        RGBQUAD c = GetPaletteColor((BYTE)i);
        st->palette[i].red = c.rgbRed;
        st->palette[i].green = c.rgbGreen;
        st->palette[i].blue = c.rgbBlue;
    }
    png_set_PLTE(png, pinfo, st->palette, count);
}

void RasterImagePNG::_writergba(PngState* st)
{
    png_structp png = st->png;
    const DWORD width = GetWidth(), height = GetHeight();
    st->row = static_cast<BYTE*>(malloc((size_t)width * 4 + 10));
    if (st->row == NULL)
        png_error(png, "out of memory");
    BYTE* row = st->row;
    // A 24-bit image's transparent colour has alpha 0 in the file; the image
    // itself is left as it is.
    const bool keyed = GetBpp() == 24 && info.nTransIndex >= 0;
    const RGBQUAD key = info.rgbTransColor;
    const unsigned max = info.nAlphaMax;
    for (DWORD r = 0; r < height; r++) {
        const long y = (long)(height - 1 - r);
        const BYTE* plane = pAlpha != NULL ? pAlpha + (size_t)y * width : NULL;
        const BYTE* src = GetBpp() == 24 ? GetBits((DWORD)y) : NULL;
        for (DWORD x = 0; x < width; x++) {
            BYTE* px = row + 4 * (size_t)x;
            unsigned a = plane != NULL ? plane[x] : 255;
            if (src != NULL) {
                const BYTE* s = src + 3 * (size_t)x;
                px[0] = s[2];
                px[1] = s[1];
                px[2] = s[0];
                if (keyed && s[0] == key.rgbBlue && s[1] == key.rgbGreen && s[2] == key.rgbRed)
                    a = 0;
            } else {
                RGBQUAD c = GetPixelColor((long)x, y, false);
                px[0] = c.rgbRed;
                px[1] = c.rgbGreen;
                px[2] = c.rgbBlue;
            }
            px[3] = (BYTE)(max * a / 255);
        }
        png_write_row(png, row);
    }
}

const RasterCodec g_RasterCodecPNG = {
    RASTER_FORMAT_PNG, RASTER_FORMAT_PNG, false, RasterCodecMake<RasterImagePNG>,
    RasterCodecDecode<RasterImagePNG>,
    RasterCodecEncode<RasterImagePNG>, NULL,
};
