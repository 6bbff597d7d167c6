// The JPEG codec (format id 3), through libjpeg over the image library's
// streams.
//
// Decoding asks libjpeg for blue-green-red rows where the output is colour,
// so rows go straight into the image without a second pass; grey and
// colour-quantised output land as 8-bit palette images, with the grey ramp or
// libjpeg's colour map as the palette; four-component files (CMYK and YCCK,
// which libjpeg delivers as inverted CMYK) are turned into 24-bit colour.
// Encoding hands libjpeg the image's own rows (blue, green, red, or grey
// indices under a grey ramp).
//
// libjpeg reports fatal errors through an exit that never returns: it jumps
// back to the setjmp of the operation. The frames between that setjmp and the
// libjpeg calls hold no object with a destructor; the stream adaptor and its
// buffer belong to the caller of the setjmp frame, which frees them whether
// or not libjpeg jumped.
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

// The Windows headers first: libjpeg's own headers leave out their INT32 and
// boolean when the Windows ones are already there, and clash with them when
// they come second.
#include <windows.h>

#include <jpeglib.h>
#include <jerror.h>

#include "rastercodecs.h"
#include "rasterlimits.h"
#include "rasteriterator.h"
#include "rasterjpg.h"

namespace {

// libjpeg's entropy decoder takes its fast path only while the buffer holds
// 512 bytes for each block of an MCU (up to ten blocks): a small buffer would
// send much of every refill through the slow one.
constexpr size_t kStreamBuffer = 65536;
const char kTooLarge[] = "RASTER_MAX_MEMORY exceeded";
const char kNoMemory[] = "RasterImage::Create can't allocate memory";

// What the data must back: each 8 x 8 block of a Huffman-coded scan costs at
// least one bit; arithmetic coding can go far below that, so it is given a
// much larger allowance. Smaller images are always allowed.
constexpr unsigned long long kBlocksPerByteHuffman = 8;
constexpr unsigned long long kBlocksPerByteArithmetic = 512;

// libjpeg's error manager with the jump point and where its text goes.
struct RasterJpgErrorMgr {
    jpeg_error_mgr pub;
    jmp_buf jumpBuffer;
    char* pszErrorText;  // the image's szLastError (256 bytes)
};

void _jpgmessage(j_common_ptr cinfo)
{
    RasterJpgErrorMgr* err = reinterpret_cast<RasterJpgErrorMgr*>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    text[0] = 0;
    (*cinfo->err->format_message)(cinfo, text);
    strncpy(err->pszErrorText, text, 255);
    err->pszErrorText[255] = 0;
}

[[noreturn]] void JpgErrorExit(j_common_ptr cinfo)
{
    _jpgmessage(cinfo);
    longjmp(reinterpret_cast<RasterJpgErrorMgr*>(cinfo->err)->jumpBuffer, 1);
}

void _jpgerrors(RasterJpgErrorMgr& err, char* text)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = JpgErrorExit;
    // Warnings (a stream that ends early, stray bytes) leave their text in
    // the image instead of printing it.
    err.pub.output_message = _jpgmessage;
    err.pszErrorText = text;
}

// libjpeg's source and destination over a RasterFile, with a buffer of its own.
class RasterFileJpg : public jpeg_destination_mgr, public jpeg_source_mgr {
public:
    explicit RasterFileJpg(RasterFile* stream)
        : pStream(stream), pBuffer(static_cast<BYTE*>(malloc(kStreamBuffer))), bStartOfFile(true)
    {
        jpeg_destination_mgr* d = this;
        d->next_output_byte = NULL;
        d->free_in_buffer = 0;
        d->init_destination = InitDestination;
        d->empty_output_buffer = EmptyOutputBuffer;
        d->term_destination = TermDestination;
        jpeg_source_mgr* s = this;
        s->next_input_byte = NULL;
        s->bytes_in_buffer = 0;
        s->init_source = InitSource;
        s->fill_input_buffer = FillInputBuffer;
        s->skip_input_data = SkipInputData;
        s->resync_to_restart = jpeg_resync_to_restart;
        s->term_source = TermSource;
    }
    ~RasterFileJpg() { free(pBuffer); }
    RasterFileJpg(const RasterFileJpg&) = delete;
    RasterFileJpg& operator=(const RasterFileJpg&) = delete;

    bool IsValid() const { return pBuffer != NULL; }
    // Bytes read from the stream that libjpeg has not taken yet.
    size_t Unread() const { return static_cast<const jpeg_source_mgr*>(this)->bytes_in_buffer; }

    RasterFile* pStream;
    BYTE* pBuffer;
    bool bStartOfFile;

private:
    static RasterFileJpg* _of(j_compress_ptr cinfo) { return static_cast<RasterFileJpg*>(cinfo->dest); }
    static RasterFileJpg* _of(j_decompress_ptr cinfo) { return static_cast<RasterFileJpg*>(cinfo->src); }

    static void InitDestination(j_compress_ptr cinfo)
    {
        RasterFileJpg* self = _of(cinfo);
        cinfo->dest->next_output_byte = self->pBuffer;
        cinfo->dest->free_in_buffer = kStreamBuffer;
    }

    static boolean EmptyOutputBuffer(j_compress_ptr cinfo)
    {
        RasterFileJpg* self = _of(cinfo);
        if (self->pStream->Write(self->pBuffer, 1, kStreamBuffer) != kStreamBuffer)
            ERREXIT(cinfo, JERR_FILE_WRITE);
        cinfo->dest->next_output_byte = self->pBuffer;
        cinfo->dest->free_in_buffer = kStreamBuffer;
        return TRUE;
    }

    static void TermDestination(j_compress_ptr cinfo)
    {
        RasterFileJpg* self = _of(cinfo);
        const size_t n = kStreamBuffer - cinfo->dest->free_in_buffer;
        // Every byte must reach the stream, not just some of them.
        if (n > 0 && self->pStream->Write(self->pBuffer, 1, n) != n)
            ERREXIT(cinfo, JERR_FILE_WRITE);
        self->pStream->Flush();
        if (self->pStream->Error() != 0)
            ERREXIT(cinfo, JERR_FILE_WRITE);
    }

    static void InitSource(j_decompress_ptr cinfo) { _of(cinfo)->bStartOfFile = true; }

    static boolean FillInputBuffer(j_decompress_ptr cinfo)
    {
        RasterFileJpg* self = _of(cinfo);
        size_t n = self->pStream->Read(self->pBuffer, 1, kStreamBuffer);
        if (n == 0) {
            if (self->bStartOfFile)
                ERREXIT(cinfo, JERR_INPUT_EMPTY);
            // A stream that ends early still decodes: libjpeg finishes on a
            // fake end-of-image marker and fills what is missing.
            WARNMS(cinfo, JWRN_JPEG_EOF);
            self->pBuffer[0] = 0xFF;
            self->pBuffer[1] = JPEG_EOI;
            n = 2;
        }
        cinfo->src->next_input_byte = self->pBuffer;
        cinfo->src->bytes_in_buffer = n;
        self->bStartOfFile = false;
        return TRUE;
    }

    static void SkipInputData(j_decompress_ptr cinfo, long num_bytes)
    {
        if (num_bytes <= 0)
            return;
        jpeg_source_mgr* src = cinfo->src;
        while ((size_t)num_bytes > src->bytes_in_buffer) {
            num_bytes -= (long)src->bytes_in_buffer;
            FillInputBuffer(cinfo);
        }
        src->next_input_byte += num_bytes;
        src->bytes_in_buffer -= (size_t)num_bytes;
    }

    static void TermSource(j_decompress_ptr) {}
};

// What one decode or encode works with; plain data, so that a jump out of
// libjpeg leaves nothing to destroy but what the caller frees.
struct JpgDecodeState {
    jpeg_decompress_struct cinfo;
    RasterJpgErrorMgr err;
    RasterFileJpg* stream;
    bool hasExif;
    bool made;  // the image is made: the rows libjpeg has not delivered are to clear
};

struct JpgEncodeState {
    jpeg_compress_struct cinfo;
    RasterJpgErrorMgr err;
    RasterFileJpg* stream;
};

// A resolution from EXIF as whole dots per inch (truncated), kept within a
// long's range whatever the file holds.
long _exifdpi(float resolution, float unit)
{
    const double dpi = (double)resolution / unit;
    if (!(dpi == dpi))
        return 0;
    return dpi >= 2147483647.0 ? 2147483647 : dpi <= -2147483647.0 ? -2147483647 : (long)dpi;
}

UINT16 _density(long dpi)
{
    return (UINT16)(dpi < 0 ? 0 : dpi > 65535 ? 65535 : dpi);
}

}  // namespace

// The steps that run inside the setjmp frames; friends of the codec class.
class RasterJpgCoder {
public:
    static bool Decode(RasterImageJPG& img, JpgDecodeState* st);
    static bool Encode(RasterImageJPG& img, JpgEncodeState* st);

private:
    static bool _backed(RasterImageJPG& img, JpgDecodeState* st);
    static void _options(RasterImageJPG& img, j_decompress_ptr cinfo);
    static void _resolution(RasterImageJPG& img, j_decompress_ptr cinfo, bool hasExif);
    static void _palette(RasterImageJPG& img, j_decompress_ptr cinfo);
    static bool _readrows(RasterImageJPG& img, j_decompress_ptr cinfo);
    static bool _clearundelivered(RasterImageJPG& img, JpgDecodeState* st);
    static void _writerows(RasterImageJPG& img, j_compress_ptr cinfo);
};

// ---------------------------------------------------------------------------
// Decoding.

RasterImageJPG::RasterImageJPG() : RasterImage(RASTER_FORMAT_JPG)
{
    memset(&ExifRecord, 0, sizeof(ExifRecord));
    nSmoothingFactor = 0;
    nDitherMode = 0;
}

RasterImageJPG::RasterImageJPG(const RasterImageJPG& src) : RasterImage(src, true, true, true)
{
    ExifRecord = src.ExifRecord;
    nSmoothingFactor = src.nSmoothingFactor;
    nDitherMode = src.nDitherMode;
}

RasterImageJPG& RasterImageJPG::operator=(const RasterImageJPG& src)
{
    if (this != &src) {
        RasterImage::operator=(src);
        ExifRecord = src.ExifRecord;
        nSmoothingFactor = src.nSmoothingFactor;
        nDitherMode = src.nDitherMode;
    }
    return *this;
}

bool RasterImageJPG::DecodeExif(RasterFile* fp)
{
    if (fp == NULL)
        return false;
    // A record from an earlier file says nothing about this one.
    memset(&ExifRecord, 0, sizeof(ExifRecord));
    const long start = fp->Tell();
    {
        RasterExifInfo reader(&ExifRecord);
        reader.ReadSections(fp);
    }
    fp->Seek(start, SEEK_SET);
    return ExifRecord.bIsExif;
}

bool RasterImageJPG::DecodeExif(FILE* fp)
{
    if (fp == NULL)
        return false;
    RasterIOFile file(fp);
    return DecodeExif(&file);
}

bool RasterImageJPG::Decode(FILE* fp)
{
    if (fp == NULL)
        return false;
    RasterIOFile file(fp);
    return Decode(&file);
}

bool RasterImageJPG::Decode(RasterFile* fp)
{
    if (fp == NULL)
        return false;
    const bool hasExif = DecodeExif(fp);
    RasterFileJpg stream(fp);
    if (!stream.IsValid()) {
        _seterror(kNoMemory);
        return false;
    }
    JpgDecodeState* st = new (std::nothrow) JpgDecodeState;
    if (st == NULL) {
        _seterror(kNoMemory);
        return false;
    }
    memset(st, 0, sizeof(*st));
    st->stream = &stream;
    st->hasExif = hasExif;
    const bool ok = RasterJpgCoder::Decode(*this, st);
    jpeg_destroy_decompress(&st->cinfo);  // safe on a record never created
    delete st;
    return ok;
}

bool RasterJpgCoder::Decode(RasterImageJPG& img, JpgDecodeState* st)
{
    j_decompress_ptr cinfo = &st->cinfo;
    _jpgerrors(st->err, img.info.szLastError);
    cinfo->err = &st->err.pub;
    if (setjmp(st->err.jumpBuffer))
        return _clearundelivered(img, st);
    jpeg_CreateDecompress(cinfo, JPEG_LIB_VERSION, sizeof(*cinfo));
    cinfo->src = static_cast<jpeg_source_mgr*>(st->stream);
    jpeg_read_header(cinfo, TRUE);
    _options(img, cinfo);

    if (img.info.nEscape == -1) {  // the size only
        jpeg_calc_output_dimensions(cinfo);
        img.header.biWidth = (LONG)cinfo->output_width;
        img.header.biHeight = (LONG)cinfo->output_height;
        return true;
    }
    if (!_backed(img, st))
        return false;

    jpeg_start_decompress(cinfo);
    // Grey, colour, CMYK and palette output fit the image's pixels; files of
    // two or of five and more components do not.
    const int comps = cinfo->output_components;
    if (comps != 1 && comps != 3 && comps != 4)
        ERREXIT(cinfo, JERR_CONVERSION_NOTIMPL);
    // libjpeg writes every row (a cut stream ends in rows it makes up), so
    // the pixels are not cleared first.
    if (img._createuncleared(cinfo->output_width, cinfo->output_height,
                             8 * (DWORD)cinfo->output_components, RASTER_FORMAT_JPG) == NULL)
        return false;
    st->made = true;
    _resolution(img, cinfo, st->hasExif);
    _palette(img, cinfo);
    if (!_readrows(img, cinfo))
        return _clearundelivered(img, st);
    jpeg_finish_decompress(cinfo);
    return true;
}

// A decode that stops part-way leaves the rows it delivered; the others,
// from the row being read down to the bottom (the start of the block), are
// cleared rather than left with whatever the memory held. Returns false.
bool RasterJpgCoder::_clearundelivered(RasterImageJPG& img, JpgDecodeState* st)
{
    if (!st->made || !img.IsValid())
        return false;
    const DWORD height = img.GetHeight();
    const DWORD done = st->cinfo.output_scanline < height ? st->cinfo.output_scanline : height;
    memset(img.GetBits(0), 0, (size_t)img.GetEffWidth() * (height - done));
    return false;
}

// Whether the data left in the stream can back the blocks the frame header
// claims (the stream's size unknown: yes). A refused image has its text.
bool RasterJpgCoder::_backed(RasterImageJPG& img, JpgDecodeState* st)
{
    j_decompress_ptr cinfo = &st->cinfo;
    unsigned long long blocks = 0;
    for (int i = 0; i < cinfo->num_components; i++)
        blocks += (unsigned long long)cinfo->comp_info[i].width_in_blocks *
                  cinfo->comp_info[i].height_in_blocks;
    // Each block is 64 pixels of output (and 128 bytes of coefficients in a
    // multi-scan file); what the data left cannot code comes out of the
    // host's allowance of unbacked pixels.
    const unsigned long long perByte = cinfo->arith_code ? kBlocksPerByteArithmetic : kBlocksPerByteHuffman;
    long long left = rasterlimits::BytesLeft(st->stream->pStream);
    if (left >= 0)
        left += (long long)st->stream->Unread();
    unsigned long long allowance = RasterGetUnbackedPixels();
    if (rasterlimits::Backed(blocks * 64, left, perByte * 64, allowance))
        return true;
    img._seterror(kTooLarge);
    return false;
}

void RasterJpgCoder::_options(RasterImageJPG& img, j_decompress_ptr cinfo)
{
    const DWORD option = img.info.dwCodecOption;
    if (option & JPG_DECODE_GRAYSCALE)
        cinfo->out_color_space = JCS_GRAYSCALE;
    if (option & JPG_DECODE_QUANTIZE) {
        cinfo->quantize_colors = TRUE;
        cinfo->desired_number_of_colors = img.info.nJpegQuality;
    }
    if (option & JPG_DECODE_DITHER) {
        if (img.nDitherMode < JPG_DITHER_NONE || img.nDitherMode > JPG_DITHER_FS)
            ERREXIT(cinfo, JERR_NOT_COMPILED);
        cinfo->dither_mode = (J_DITHER_MODE)img.nDitherMode;
    }
    if (option & JPG_DECODE_ONE_PASS)
        cinfo->two_pass_quantize = FALSE;
    if (option & JPG_DECODE_NO_FANCY_UPSAMPLING)
        cinfo->do_fancy_upsampling = FALSE;
    // A denominator of 1, 2, 4 or 8 with numerator 1 is libjpeg's scaling by
    // 8/8, 4/8, 2/8 or 1/8; 0 (the default) means full size.
    cinfo->scale_num = 1;
    cinfo->scale_denom = img.info.nJpegScale != 0 ? img.info.nJpegScale : 1;
    // Colour rows come out in the image's own byte order.
    if (cinfo->out_color_space == JCS_RGB && !cinfo->quantize_colors)
        cinfo->out_color_space = JCS_EXT_BGR;
}

void RasterJpgCoder::_resolution(RasterImageJPG& img, j_decompress_ptr cinfo, bool hasExif)
{
    // EXIF gives each axis whose resolution and unit it holds; the JFIF
    // density (when the file has a JFIF header) gives the rest.
    const RasterExifRecord& exif = img.ExifRecord;
    const bool exifX = hasExif && exif.fXResolution != 0 && exif.fResolutionUnit != 0;
    const bool exifY = hasExif && exif.fYResolution != 0 && exif.fResolutionUnit != 0;
    if (exifX)
        img.SetXDPI(_exifdpi(exif.fXResolution, exif.fResolutionUnit));
    if (exifY)
        img.SetYDPI(_exifdpi(exif.fYResolution, exif.fResolutionUnit));
    if (!cinfo->saw_JFIF_marker)
        return;
    long x = cinfo->X_density, y = cinfo->Y_density;
    if (cinfo->density_unit == 2) {  // dots per centimetre
        x = (long)floor(x * 2.54 + 0.5);
        y = (long)floor(y * 2.54 + 0.5);
    }
    if (!exifX)
        img.SetXDPI(x);
    if (!exifY)
        img.SetYDPI(y);
}

void RasterJpgCoder::_palette(RasterImageJPG& img, j_decompress_ptr cinfo)
{
    if (cinfo->quantize_colors) {
        // The pixels are indices into libjpeg's colour map, grey or colour.
        const DWORD n = (DWORD)cinfo->actual_number_of_colors;
        if (cinfo->out_color_components == 1)
            img.SetPalette(n, cinfo->colormap[0]);
        else
            img.SetPalette(n, cinfo->colormap[0], cinfo->colormap[1], cinfo->colormap[2]);
    } else if (cinfo->out_color_space == JCS_GRAYSCALE) {
        img.SetGrayPalette();
    }
}

bool RasterJpgCoder::_readrows(RasterImageJPG& img, j_decompress_ptr cinfo)
{
    const bool cmyk = cinfo->output_components == 4;
    JSAMPARRAY buffer = NULL;
    if (cmyk)
        buffer = (*cinfo->mem->alloc_sarray)((j_common_ptr)cinfo, JPOOL_IMAGE,
                                              cinfo->output_width * 4, 1);
    const DWORD width = cinfo->output_width;
    RasterIterator iter(&img);
    iter.MoveToTop();
    while (cinfo->output_scanline < cinfo->output_height) {
        if (img.info.nEscape != 0) {
            img._seterror("Cancelled");
            return false;
        }
        JSAMPROW row = iter.GetRow();
        if (!cmyk) {
            jpeg_read_scanlines(cinfo, &row, 1);
        } else {
            jpeg_read_scanlines(cinfo, buffer, 1);
            // Inverted CMYK as libjpeg delivers it: each channel scaled by K.
            const BYTE* s = buffer[0];
            for (DWORD x = 0; x < width; x++, s += 4, row += 3) {
                row[0] = (BYTE)(s[3] * s[2] / 255);
                row[1] = (BYTE)(s[3] * s[1] / 255);
                row[2] = (BYTE)(s[3] * s[0] / 255);
            }
        }
        iter.PrevRow();
    }
    return true;
}

// ---------------------------------------------------------------------------
// Encoding.

bool RasterImageJPG::Encode(FILE* fp)
{
    RasterIOFile file(fp);
    return Encode(fp != NULL ? &file : NULL);
}

bool RasterImageJPG::Encode(RasterFile* fp)
{
    if (EncodeSafeCheck(fp))
        return false;
    if (GetPalette() != NULL && !IsGrayScale()) {
        _seterror("JPEG can save only RGB or GreyScale images");
        return false;
    }
    RasterFileJpg stream(fp);
    if (!stream.IsValid()) {
        _seterror(kNoMemory);
        return false;
    }
    JpgEncodeState* st = new (std::nothrow) JpgEncodeState;
    if (st == NULL) {
        _seterror(kNoMemory);
        return false;
    }
    memset(st, 0, sizeof(*st));
    st->stream = &stream;
    const bool ok = RasterJpgCoder::Encode(*this, st);
    jpeg_destroy_compress(&st->cinfo);
    delete st;
    return ok;
}

bool RasterJpgCoder::Encode(RasterImageJPG& img, JpgEncodeState* st)
{
    j_compress_ptr cinfo = &st->cinfo;
    _jpgerrors(st->err, img.info.szLastError);
    cinfo->err = &st->err.pub;
    if (setjmp(st->err.jumpBuffer))
        return false;
    jpeg_CreateCompress(cinfo, JPEG_LIB_VERSION, sizeof(*cinfo));
    cinfo->dest = static_cast<jpeg_destination_mgr*>(st->stream);

    const bool grey = img.GetPalette() != NULL;
    cinfo->image_width = img.GetWidth();
    cinfo->image_height = img.GetHeight();
    cinfo->input_components = grey ? 1 : 3;
    // 24-bit rows hold blue, green, red: libjpeg takes them as they are.
    cinfo->in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);

    // The option word is the JPEG codec's only on a JPEG image; another
    // format's options mean something else.
    const DWORD option = img.info.dwType == RASTER_FORMAT_JPG ? img.info.dwCodecOption : 0;
    if (option & JPG_ENCODE_GRAYSCALE)
        jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
    if (option & JPG_ENCODE_SMOOTHING) {
        const int f = img.nSmoothingFactor;
        cinfo->smoothing_factor = f < 0 ? 0 : f > 100 ? 100 : f;
    }
    jpeg_set_quality(cinfo, img.info.nJpegQuality, (option & JPG_ENCODE_BASELINE) ? TRUE : FALSE);
    cinfo->density_unit = 1;
    cinfo->X_density = _density(img.GetXDPI());
    cinfo->Y_density = _density(img.GetYDPI());

    jpeg_start_compress(cinfo, TRUE);
    _writerows(img, cinfo);
    jpeg_finish_compress(cinfo);
    return true;
}

void RasterJpgCoder::_writerows(RasterImageJPG& img, j_compress_ptr cinfo)
{
    const DWORD height = img.GetHeight(), width = img.GetWidth();
    const WORD bpp = img.GetBpp();
    // A 1- or 4-bit grey image (entry i is grey level i) is widened to one
    // byte a pixel; 8- and 24-bit rows go to libjpeg as they lie.
    JSAMPARRAY wide = NULL;
    if (bpp < 8)
        wide = (*cinfo->mem->alloc_sarray)((j_common_ptr)cinfo, JPOOL_IMAGE, width + 8, 1);
    while (cinfo->next_scanline < height) {
        const DWORD y = height - 1 - cinfo->next_scanline;
        JSAMPROW row = img.GetBits(y);
        if (wide != NULL) {
            for (DWORD x = 0; x < width; x++)
                wide[0][x] = img.GetPixelIndex((long)x, (long)y);
            row = wide[0];
        }
        jpeg_write_scanlines(cinfo, &row, 1);
    }
}

const RasterCodec g_RasterCodecJPG = {
    RASTER_FORMAT_JPG, RASTER_FORMAT_JPG, false, RasterCodecMake<RasterImageJPG>,
    RasterCodecDecode<RasterImageJPG>,
    RasterCodecEncode<RasterImageJPG>, NULL,
};
