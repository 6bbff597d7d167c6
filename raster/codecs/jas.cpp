// The JPEG-2000 family codec over the toolkit in raster/jp2: the image's
// stream is bound to a toolkit stream, the toolkit decodes whichever family
// format the data holds into components, and the components become a 24-bit
// picture (three equal colour components) or a grey one (one component, the
// frame nFrame). Components deeper than 8 bits, and YCC ones, are first
// turned into 8-bit sRGB. Every call starts and finishes its own use of the
// toolkit; nothing of it outlives the call, and the caller's stream stays
// open.
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "jp2/jp2adapter.h"
#include "rastercodecs.h"
#include "rasterjas.h"

namespace jp2 = rasterjp2;

// Binds a toolkit stream to an image-library stream: the stream's four
// operations act on the RasterFile, and closing leaves it open (it is the
// caller's).
class RasterFileJas {
public:
    static void Bind(jp2::Stream* s, RasterFile* file)
    {
        static const jp2::StreamOps kOps = {_read, _write, _seek, _close};
        s->obj = file;
        s->ops = &kOps;
    }

private:
    static RasterFile* _file(void* obj) { return static_cast<RasterFile*>(obj); }
    static long _read(void* obj, char* buf, long count)
    {
        return (long)_file(obj)->Read(buf, 1, (size_t)count);
    }
    static long _write(void* obj, const char* buf, long count)
    {
        return (long)_file(obj)->Write(buf, 1, (size_t)count);
    }
    static long _seek(void* obj, long offset, int origin)
    {
        return _file(obj)->Seek(offset, origin) ? _file(obj)->Tell() : -1;
    }
    static int _close(void*) { return 0; }
};

namespace {

// Everything one call holds from the toolkit, released together whether the
// call succeeds or fails.
struct JasCall {
    jp2::Stream* stream = nullptr;
    jp2::Image* image = nullptr;
    std::vector<jp2::Matrix*> rows;  // one row matrix per component
    bool started = false;

    ~JasCall()
    {
        for (jp2::Matrix* m : rows)
            jp2::MatrixDestroy(m);
        if (started)
            jp2::Cleanup();
        jp2::ImageDestroy(image);
        jp2::StreamClose(stream);
    }
};

struct JasFailure {
    const char* text;
};

const DWORD kFirstId = RASTER_FORMAT_JP2;

bool SameShape(const jp2::Component& a, const jp2::Component& b)
{
    return a.p.width == b.p.width && a.p.height == b.p.height && a.p.prec == b.p.prec;
}

// Three components of one size and precision, in a colour space that is not
// grey, make a colour picture (a fourth, opacity, is left aside).
bool IsColour(const jp2::Image& image)
{
    return image.cmpts.size() >= 3 && image.clrspc != jp2::CLRSPC_SGRAY &&
           SameShape(image.cmpts[0], image.cmpts[1]) && SameShape(image.cmpts[0], image.cmpts[2]);
}

void MakeRows(JasCall& call, size_t count, DWORD width)
{
    call.rows.assign(count, nullptr);
    for (size_t c = 0; c < count; c++) {
        call.rows[c] = jp2::MatrixCreate(1, (long)width);
        if (call.rows[c] == nullptr)
            throw JasFailure{"error: cannot allocate memory"};
    }
}

// Three 8-bit components into a 24-bit picture; the toolkit's row 0 is the
// top row.
void DecodeColour(RasterImage& img, JasCall& call, DWORD id)
{
    const jp2::ComponentParams& p = call.image->cmpts[0].p;
    if (img.Create(p.width, p.height, 24, id) == NULL)
        throw JasFailure{"Can't allocate memory"};
    // Straight from the components' rows into the picture's.
    const size_t width = p.width;
    for (DWORD y = 0; y < p.height; y++) {
        BYTE* dst = img.GetBits(p.height - 1 - y);
        const int32_t* r = call.image->cmpts[0].samples() + width * y;
        const int32_t* g = call.image->cmpts[1].samples() + width * y;
        const int32_t* b = call.image->cmpts[2].samples() + width * y;
        for (DWORD x = 0; x < p.width; x++) {
            *dst++ = (BYTE)b[x];
            *dst++ = (BYTE)g[x];
            *dst++ = (BYTE)r[x];
        }
    }
}

// Component `frame` as a grey picture of its own precision (at most 8 bits).
void DecodeGrey(RasterImage& img, JasCall& call, DWORD id, long frame)
{
    const jp2::Component& k = call.image->cmpts[(size_t)frame];
    const DWORD width = k.p.width, height = k.p.height;
    const int prec = k.p.prec > 8 ? 8 : k.p.prec;
    if (img.Create(width, height, (DWORD)prec, id) == NULL)
        throw JasFailure{"Can't allocate memory"};
    img.SetGrayPalette();
    if (img.GetBpp() == 8) {
        // A byte a pixel: straight from the component's rows.
        for (DWORD y = 0; y < height; y++) {
            const int32_t* v = k.samples() + (size_t)width * y;
            BYTE* dst = img.GetBits(height - 1 - y);
            for (DWORD x = 0; x < width; x++)
                dst[x] = (BYTE)v[x];
        }
        return;
    }
    MakeRows(call, 1, width);
    for (DWORD y = 0; y < height; y++) {
        if (jp2::ReadComponent(call.image, (int)frame, 0, y, width, 1, call.rows[0]) != 0)
            throw JasFailure{"error: cannot load image data"};
        const long* v = call.rows[0]->v.data();
        for (DWORD x = 0; x < width; x++)
            img.SetPixelIndex((long)x, (long)(height - 1 - y), (BYTE)v[x]);
    }
}

}  // namespace

RasterImageJAS::RasterImageJAS() : RasterImage(0) {}

RasterImageJAS::~RasterImageJAS() = default;

bool RasterImageJAS::Decode(RasterFile* stream, DWORD formatId)
{
    if (stream == NULL)
        return false;
    JasCall call;
    try {
        if (jp2::Init() != 0)
            throw JasFailure{"cannot initialize jasper"};
        call.started = true;
        call.stream = jp2::StreamOpen("rb");
        if (call.stream == nullptr)
            throw JasFailure{"error: cannot open standard input"};
        RasterFileJas::Bind(call.stream, stream);
        const int fmt = jp2::DetectFormat(call.stream);
        // A typed decode must find its own format: a PNM file asked for as
        // JP2 is not a JP2 image.
        if (fmt < 0 || (formatId != 0 && formatId != kFirstId + (DWORD)fmt))
            throw JasFailure{"error: cannot load image data"};
        const DWORD id = kFirstId + (DWORD)fmt;
        call.image = jp2::Decode(call.stream, fmt, nullptr);
        if (call.image == nullptr)
            throw JasFailure{"error: cannot load image data"};
        if (call.image->cmpts.size() > 64)
            throw JasFailure{"error: too much components"};

        // Deep, YCC and signed samples become 8-bit sRGB: their low bytes
        // alone would be a wrong picture.
        const int depth = call.image->cmpts[0].p.prec;
        bool sgnd = false;
        for (const jp2::Component& k : call.image->cmpts)
            sgnd = sgnd || k.p.sgnd;
        if ((depth != 1 && depth != 4 && depth != 8) || call.image->clrspc == jp2::CLRSPC_SYCC ||
            sgnd) {
            jp2::Image* converted = jp2::ToSRGB(call.image);
            if (converted == nullptr)
                throw JasFailure{"cannot convert to sRGB"};
            jp2::ImageDestroy(call.image);
            call.image = converted;
        }
        if (IsColour(*call.image)) {
            DecodeColour(*this, call, id);
        } else {
            info.nNumFrames = (long)call.image->cmpts.size();
            if (info.nFrame < 0 || info.nFrame >= info.nNumFrames)
                throw JasFailure{"wrong frame!"};
            DecodeGrey(*this, call, id, info.nFrame);
        }
    } catch (const JasFailure& f) {
        return _fail(f.text);
    } catch (const std::bad_alloc&) {
        return _fail("error: cannot allocate memory");
    }
    return true;
}

namespace {

// One 8-bit component of grey levels (the palette's own, so a 4-bit grey
// image writes 0..255 rather than its indices) or three of red, green, blue.
jp2::Image* MakeSource(const RasterImage& img, JasCall& call, bool colour)
{
    const DWORD width = img.GetWidth(), height = img.GetHeight();
    const int n = colour ? 3 : 1;
    jp2::ComponentParams p = {0, 0, 1, 1, width, height, 8, false};
    jp2::ComponentParams params[3] = {p, p, p};
    jp2::Image* image =
        jp2::ImageCreate(n, params, colour ? jp2::CLRSPC_SRGB : jp2::CLRSPC_SGRAY);
    if (image == nullptr)
        throw JasFailure{"error : jas_image_create"};
    call.image = image;
    for (int c = 0; c < n; c++)
        image->cmpts[(size_t)c].type = c;
    MakeRows(call, (size_t)n, width);
    for (DWORD y = 0; y < height; y++) {
        long* r = call.rows[0]->v.data();
        long* g = colour ? call.rows[1]->v.data() : nullptr;
        long* b = colour ? call.rows[2]->v.data() : nullptr;
        for (DWORD x = 0; x < width; x++) {
            RGBQUAD q = img.GetPixelColor((long)x, (long)y, false);
            r[x] = q.rgbRed;
            if (colour) {
                g[x] = q.rgbGreen;
                b[x] = q.rgbBlue;
            }
        }
        for (int c = 0; c < n; c++)
            if (jp2::WriteComponent(image, c, 0, height - 1 - y, width, 1,
                                    call.rows[(size_t)c]) != 0)
                throw JasFailure{"error : jas_image_writecmpt"};
    }
    return image;
}

// Every entry a shade of grey. Stricter, entry i being level i, would refuse
// the 1- and 4-bit grey pictures this codec itself decodes.
bool GreyPalette(const RasterImage& img)
{
    const RGBQUAD* pal = img.GetPalette();
    if (pal == NULL)
        return false;
    for (DWORD i = 0; i < img.GetNumColors(); i++)
        if (pal[i].rgbRed != pal[i].rgbGreen || pal[i].rgbGreen != pal[i].rgbBlue)
            return false;
    return true;
}

const char* FormatName(DWORD formatId)
{
    static const char* const kNames[] = {"jp2", "jpc", "pgx", "pnm", "ras"};
    return formatId >= RASTER_FORMAT_JP2 && formatId <= RASTER_FORMAT_RAS
               ? kNames[formatId - RASTER_FORMAT_JP2]
               : "";
}

}  // namespace

bool RasterImageJAS::Encode(RasterFile* stream, DWORD formatId)
{
    if (EncodeSafeCheck(stream))
        return false;
    if (header.biClrUsed != 0 && !GreyPalette(*this))
        return _fail("JasPer can save only RGB or GrayScale images");
    JasCall call;
    try {
        if (jp2::Init() != 0)
            throw JasFailure{"cannot initialize jasper"};
        call.started = true;
        call.stream = jp2::StreamOpen("wb");
        if (call.stream == nullptr)
            throw JasFailure{"error: cannot open standard output"};
        RasterFileJas::Bind(call.stream, stream);
        const bool colour = header.biClrUsed == 0;
        if (formatId == RASTER_FORMAT_PGX && colour)
            throw JasFailure{"PGX can save only GrayScale images"};
        MakeSource(*this, call, colour);
        const int fmt = jp2::FormatFromName(FormatName(formatId));
        char options[32];
        snprintf(options, sizeof(options), "rate=%.3f", info.nJpegQuality / 100.0);
        if (jp2::Encode(call.image, call.stream, fmt, options) != 0)
            throw JasFailure{"error: cannot encode image\n"};
        jp2::StreamFlush(call.stream);
    } catch (const JasFailure& f) {
        return _fail(f.text);
    } catch (const std::bad_alloc&) {
        return _fail("error : can't allocate memory");
    }
    return true;
}

namespace {

bool _jasdecode(RasterImage* codec, RasterFile* stream, DWORD imagetype)
{
    return static_cast<RasterImageJAS*>(codec)->Decode(stream, imagetype);
}

bool _jasencode(RasterImage* codec, RasterFile* stream, DWORD imagetype)
{
    return static_cast<RasterImageJAS*>(codec)->Encode(stream, imagetype);
}

}  // namespace

const RasterCodec g_RasterCodecJAS = {
    RASTER_FORMAT_JP2, RASTER_FORMAT_RAS, false, RasterCodecMake<RasterImageJAS>,
    _jasdecode,
    _jasencode, NULL,
};
