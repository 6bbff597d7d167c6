// JP2 and JPC for the toolkit, through OpenJPEG over the toolkit's stream.
// OpenJPEG counts positions from where its stream starts; the stream here may
// start anywhere in the caller's file, so every seek adds that start.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include <openjpeg.h>

#include "jp2adapter.h"
#include "rastercodecs.h"
#include "rasterlimits.h"

namespace rasterjp2 {

namespace {

// Resolution levels for pictures large enough to have them; smaller ones
// get as many as their shorter side allows.
constexpr int kMaxResolutions = 6;

struct OpjIo {
    Stream* s;
    long start;
};

OPJ_SIZE_T ReadFn(void* buf, OPJ_SIZE_T n, void* user)
{
    OpjIo* io = static_cast<OpjIo*>(user);
    long want = n > (1u << 30) ? (1L << 30) : (long)n;
    long got = io->s->ops->read(io->s->obj, static_cast<char*>(buf), want);
    return got <= 0 ? (OPJ_SIZE_T)-1 : (OPJ_SIZE_T)got;
}

OPJ_SIZE_T WriteFn(void* buf, OPJ_SIZE_T n, void* user)
{
    OpjIo* io = static_cast<OpjIo*>(user);
    return StreamWrite(io->s, buf, n) ? n : (OPJ_SIZE_T)-1;
}

OPJ_BOOL SeekFn(OPJ_OFF_T off, void* user)
{
    OpjIo* io = static_cast<OpjIo*>(user);
    if (off < 0 || off > 0x7FFFFFFF - io->start)
        return OPJ_FALSE;
    return StreamSeek(io->s, io->start + (long)off, SEEK_SET) ? OPJ_TRUE : OPJ_FALSE;
}

OPJ_OFF_T SkipReadFn(OPJ_OFF_T n, void* user)
{
    OpjIo* io = static_cast<OpjIo*>(user);
    long pos = StreamTell(io->s);
    long long left = StreamLeft(io->s);
    if (pos < 0 || n < 0 || left < 0)
        return -1;
    OPJ_OFF_T step = std::min<OPJ_OFF_T>(n, (OPJ_OFF_T)left);
    if (!StreamSeek(io->s, pos + (long)step, SEEK_SET))
        return -1;
    return step == n ? n : -1;
}

// While writing, a skip past the end fills the gap with zeros (the box
// lengths written later land in it).
OPJ_OFF_T SkipWriteFn(OPJ_OFF_T n, void* user)
{
    OpjIo* io = static_cast<OpjIo*>(user);
    long long left = StreamLeft(io->s);
    if (n < 0 || left < 0)
        return -1;
    long pos = StreamTell(io->s);
    if (n <= left)
        return StreamSeek(io->s, pos + (long)n, SEEK_SET) ? n : -1;
    if (!StreamSeek(io->s, 0, SEEK_END))
        return -1;
    static const char zeros[256] = {0};
    for (OPJ_OFF_T k = left; k < n;) {
        size_t chunk = (size_t)std::min<OPJ_OFF_T>(n - k, (OPJ_OFF_T)sizeof(zeros));
        if (!StreamWrite(io->s, zeros, chunk))
            return -1;
        k += (OPJ_OFF_T)chunk;
    }
    return n;
}

void ErrorFn(const char* msg, void*)
{
    std::string text = msg != nullptr ? msg : "";
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    SetError(text);
}

void QuietFn(const char*, void*) {}

void QuietHandlers(opj_codec_t* codec)
{
    opj_set_error_handler(codec, ErrorFn, nullptr);
    opj_set_warning_handler(codec, QuietFn, nullptr);
    opj_set_info_handler(codec, QuietFn, nullptr);
}

opj_stream_t* MakeStream(OpjIo* io, bool input)
{
    // The stream's buffer need not outgrow the data (a small file then costs
    // no megabyte buffer).
    long long left = input ? StreamLeft(io->s) : -1;
    OPJ_SIZE_T chunk = OPJ_J2K_STREAM_CHUNK_SIZE;
    if (!input)
        chunk = 1 << 16;
    else if (left >= 0 && left < (long long)chunk)
        chunk = (OPJ_SIZE_T)std::max<long long>(left, 4096);
    opj_stream_t* st = opj_stream_create(chunk, input ? OPJ_TRUE : OPJ_FALSE);
    if (st == nullptr)
        return nullptr;
    opj_stream_set_user_data(st, io, nullptr);
    opj_stream_set_seek_function(st, SeekFn);
    if (input) {
        opj_stream_set_user_data_length(st, left > 0 ? (OPJ_UINT64)left : 0);
        opj_stream_set_read_function(st, ReadFn);
        opj_stream_set_skip_function(st, SkipReadFn);
    } else {
        opj_stream_set_write_function(st, WriteFn);
        opj_stream_set_skip_function(st, SkipWriteFn);
    }
    return st;
}

int ColourSpace(OPJ_COLOR_SPACE cs, size_t numcmpts)
{
    switch (cs) {
    case OPJ_CLRSPC_GRAY:
        return CLRSPC_SGRAY;
    case OPJ_CLRSPC_SYCC:
        return CLRSPC_SYCC;
    case OPJ_CLRSPC_SRGB:
        return CLRSPC_SRGB;
    default:
        return numcmpts >= 3 ? CLRSPC_SRGB : CLRSPC_SGRAY;
    }
}

// OpenJPEG's decoded components as our image: samples of up to 16 bits are
// read where OpenJPEG left them (the caller hands `src` to the image),
// deeper ones are copied keeping their top 16.
Image* FromOpj(const opj_image_t* src)
{
    std::vector<ComponentParams> params(src->numcomps);
    for (OPJ_UINT32 c = 0; c < src->numcomps; c++) {
        const opj_image_comp_t& k = src->comps[c];
        if (k.data == nullptr || k.prec == 0) {
            SetError("jpeg-2000: component not decoded");
            return nullptr;
        }
        params[c] = {k.x0, k.y0, std::max<OPJ_UINT32>(k.dx, 1), std::max<OPJ_UINT32>(k.dy, 1),
                     k.w, k.h, (int)std::min<OPJ_UINT32>(k.prec, 16), k.sgnd != 0};
    }
    for (const ComponentParams& p : params)
        if (!ComponentFits(p)) {
            SetError("jpeg-2000: image too large");
            return nullptr;
        }
    Image* img = new Image;
    img->clrspc = ColourSpace(src->color_space, src->numcomps);
    img->cmpts.resize(src->numcomps);
    for (OPJ_UINT32 c = 0; c < src->numcomps; c++) {
        const opj_image_comp_t& k = src->comps[c];
        Component& dst = img->cmpts[c];
        dst.p = params[c];
        dst.type = c < 3 ? (int)c : 0;
        if (k.alpha)
            dst.type = CT_OPACITY;
        const size_t n = (size_t)k.w * k.h;
        const int shift = k.prec > 16 ? (int)k.prec - 16 : 0;
        if (shift == 0) {
            dst.borrowed = k.data;
        } else {
            dst.data.resize(n);
            for (size_t i = 0; i < n; i++)
                dst.data[i] = k.data[i] >> shift;
        }
    }
    return img;
}

// The samples OpenJPEG set up, when the headers could not be measured
// before it read them.
bool Backed(const opj_image_t* image, long long dataBytes, unsigned long long& allowance)
{
    unsigned long long samples = 0;
    for (OPJ_UINT32 c = 0; c < image->numcomps; c++)
        samples += (unsigned long long)image->comps[c].w * image->comps[c].h;
#ifdef KESTREL_FUZZ_LIMITS
    if (samples > (1ULL << 14) || image->numcomps > 4)
        return false;
#endif
    return rasterlimits::Backed(samples, dataBytes, kCodedSamplesPerByte, allowance);
}

}  // namespace

Image* DecodeOpj(Stream* s, int fmt)
{
    OpjIo io = {s, StreamTell(s)};
    if (io.start < 0) {
        SetError("jpeg-2000: stream has no position");
        return nullptr;
    }
    const long long dataBytes = StreamLeft(s);
    unsigned long long allowance = RasterGetUnbackedPixels();
    bool counted = false;
    if (!CodestreamAffordable(s, fmt, dataBytes, allowance, counted)) {
        SetError("jpeg-2000: image too large");
        return nullptr;
    }
    opj_codec_t* codec = opj_create_decompress(fmt == FMT_JP2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_stream_t* st = codec != nullptr ? MakeStream(&io, true) : nullptr;
    opj_image_t* image = nullptr;
    Image* out = nullptr;
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    if (st != nullptr) {
        QuietHandlers(codec);
        SetError("jpeg-2000: cannot decode");
        if (opj_setup_decoder(codec, &params) && opj_read_header(st, codec, &image)) {
            if (!counted && !Backed(image, dataBytes, allowance))
                SetError("jpeg-2000: image too large");
            else if (opj_decode(codec, st, image) && opj_end_decompress(codec, st))
                out = FromOpj(image);
            if (out != nullptr) {
                out->owner = std::unique_ptr<void, void (*)(void*)>(
                    image, [](void* p) { opj_image_destroy(static_cast<opj_image_t*>(p)); });
                image = nullptr;
            }
        }
    }
    if (image != nullptr)
        opj_image_destroy(image);
    if (st != nullptr)
        opj_stream_destroy(st);
    if (codec != nullptr)
        opj_destroy_codec(codec);
    return out;
}

namespace {

opj_image_t* ToOpj(const Image* image)
{
    const size_t n = image->cmpts.size();
    std::vector<opj_image_cmptparm_t> cp(n);
    for (size_t c = 0; c < n; c++) {
        const ComponentParams& p = image->cmpts[c].p;
        cp[c] = opj_image_cmptparm_t();
        cp[c].dx = p.hstep;
        cp[c].dy = p.vstep;
        cp[c].w = p.width;
        cp[c].h = p.height;
        cp[c].x0 = p.tlx;
        cp[c].y0 = p.tly;
        cp[c].prec = (OPJ_UINT32)p.prec;
        cp[c].sgnd = p.sgnd ? 1 : 0;
    }
    const OPJ_COLOR_SPACE cs = image->clrspc == CLRSPC_SGRAY ? OPJ_CLRSPC_GRAY
                               : image->clrspc == CLRSPC_SYCC ? OPJ_CLRSPC_SYCC
                                                               : OPJ_CLRSPC_SRGB;
    opj_image_t* out = opj_image_create((OPJ_UINT32)n, cp.data(), cs);
    if (out == nullptr)
        return nullptr;
    const ComponentParams& p0 = image->cmpts[0].p;
    out->x0 = p0.tlx;
    out->y0 = p0.tly;
    out->x1 = p0.tlx + (p0.width - 1) * p0.hstep + 1;
    out->y1 = p0.tly + (p0.height - 1) * p0.vstep + 1;
    for (size_t c = 0; c < n; c++) {
        const std::vector<int32_t>& d = image->cmpts[c].data;
        std::copy(d.begin(), d.end(), out->comps[c].data);
    }
    return out;
}

int Resolutions(const Image* image)
{
    uint32_t side = 0xFFFFFFFFu;
    for (const Component& k : image->cmpts)
        side = std::min({side, k.p.width, k.p.height});
    int levels = 1;
    while (levels < kMaxResolutions && (1u << levels) <= side)
        levels++;
    return levels;
}

}  // namespace

int EncodeOpj(Image* image, Stream* s, int fmt, double rate)
{
    OpjIo io = {s, StreamTell(s)};
    if (io.start < 0)
        return -1;
    opj_cparameters_t params;
    opj_set_default_encoder_parameters(&params);
    params.numresolution = Resolutions(image);
    params.tcp_numlayers = 1;
    params.cp_disto_alloc = 1;
    if (rate > 0 && rate < 1.0) {
        // OpenJPEG asks for the compression ratio: raw size over coded size.
        params.tcp_rates[0] = (float)(1.0 / rate);
        params.irreversible = 1;
    } else {
        params.tcp_rates[0] = 0;  // lossless
    }
    params.tcp_mct = image->cmpts.size() >= 3 ? 1 : 0;

    opj_image_t* src = ToOpj(image);
    opj_codec_t* codec =
        src != nullptr ? opj_create_compress(fmt == FMT_JP2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K)
                       : nullptr;
    opj_stream_t* st = codec != nullptr ? MakeStream(&io, false) : nullptr;
    bool ok = false;
    if (st != nullptr) {
        QuietHandlers(codec);
        ok = opj_setup_encoder(codec, &params, src) && opj_start_compress(codec, src, st) &&
             opj_encode(codec, st) && opj_end_compress(codec, st);
    }
    if (st != nullptr)
        opj_stream_destroy(st);
    if (codec != nullptr)
        opj_destroy_codec(codec);
    if (src != nullptr)
        opj_image_destroy(src);
    return ok && !s->failed ? 0 : -1;
}

}  // namespace rasterjp2
