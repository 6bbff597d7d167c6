// The toolkit's component images, matrices, format table and the decode and
// encode entry points that pick a format's codec.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "jp2adapter.h"
#include "rastercodecs.h"

namespace rasterjp2 {

namespace {

thread_local std::string t_error;
thread_local int t_depth = 0;

// A component may hold at most this many samples (a gigabyte of them; a
// megabyte under the fuzzer).
#ifdef KESTREL_FUZZ_LIMITS
constexpr unsigned long long kMaxSamples = 1ULL << 18;
#else
constexpr unsigned long long kMaxSamples = 1ULL << 28;
#endif

const char* const kNames[FMT_COUNT] = {"jp2", "jpc", "pgx", "pnm", "ras"};

}  // namespace

bool ComponentFits(const ComponentParams& p)
{
    return p.width > 0 && p.height > 0 && p.prec >= 1 && p.prec <= 16 && p.hstep > 0 &&
           p.vstep > 0 && (unsigned long long)p.width * p.height <= kMaxSamples;
}

int Init()
{
    t_depth++;
    return 0;
}

void Cleanup()
{
    if (t_depth > 0)
        t_depth--;
}

const char* LastError()
{
    return t_error.c_str();
}

void SetError(const std::string& text)
{
    t_error = text;
}

Image* ImageCreate(int numcmpts, const ComponentParams* params, int clrspc)
{
    if (numcmpts <= 0 || numcmpts > 16384)
        return nullptr;
    for (int c = 0; c < numcmpts; c++)
        if (!ComponentFits(params[c]))
            return nullptr;
    try {
        Image* image = new Image;
        image->clrspc = clrspc;
        image->cmpts.resize((size_t)numcmpts);
        for (int c = 0; c < numcmpts; c++) {
            Component& k = image->cmpts[(size_t)c];
            k.p = params[c];
            k.type = c;
            k.data.assign((size_t)params[c].width * params[c].height, 0);
        }
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void ImageDestroy(Image* image)
{
    delete image;
}

Matrix* MatrixCreate(long rows, long cols)
{
    if (rows < 0 || cols < 0 || (unsigned long long)rows * (unsigned long long)cols > kMaxSamples)
        return nullptr;
    try {
        Matrix* m = new Matrix;
        m->rows = rows;
        m->cols = cols;
        m->v.assign((size_t)(rows * cols), 0);
        return m;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void MatrixDestroy(Matrix* m)
{
    delete m;
}

namespace {

bool WindowFits(const Image* image, int c, uint32_t x, uint32_t y, uint32_t w, uint32_t h,
                const Matrix* m)
{
    if (image == nullptr || m == nullptr || c < 0 || (size_t)c >= image->cmpts.size())
        return false;
    const ComponentParams& p = image->cmpts[(size_t)c].p;
    return (uint64_t)x + w <= p.width && (uint64_t)y + h <= p.height && m->rows == (long)h &&
           m->cols == (long)w;
}

}  // namespace

int ReadComponent(Image* image, int c, uint32_t x, uint32_t y, uint32_t w, uint32_t h, Matrix* m)
{
    if (!WindowFits(image, c, x, y, w, h, m))
        return -1;
    const Component& k = image->cmpts[(size_t)c];
    for (uint32_t r = 0; r < h; r++) {
        const int32_t* src = k.samples() + (size_t)(y + r) * k.p.width + x;
        long* dst = &m->v[(size_t)r * w];
        for (uint32_t i = 0; i < w; i++)
            dst[i] = src[i];
    }
    return 0;
}

int WriteComponent(Image* image, int c, uint32_t x, uint32_t y, uint32_t w, uint32_t h,
                   const Matrix* m)
{
    if (!WindowFits(image, c, x, y, w, h, m))
        return -1;
    Component& k = image->cmpts[(size_t)c];
    for (uint32_t r = 0; r < h; r++) {
        int32_t* dst = &k.data[(size_t)(y + r) * k.p.width + x];
        const long* src = &m->v[(size_t)r * w];
        for (uint32_t i = 0; i < w; i++)
            dst[i] = (int32_t)src[i];
    }
    return 0;
}

int FormatFromName(const char* name)
{
    if (name == nullptr)
        return -1;
    for (int f = 0; f < FMT_COUNT; f++)
        if (strcmp(name, kNames[f]) == 0)
            return f;
    return -1;
}

int DetectFormat(Stream* s)
{
    static const unsigned char kJp2[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 13, 10, 0x87, 10};
    unsigned char head[12] = {0};
    long pos = StreamTell(s);
    if (pos < 0)
        return -1;
    long got = s->ops->read(s->obj, reinterpret_cast<char*>(head), (long)sizeof(head));
    StreamSeek(s, pos, SEEK_SET);
    if (got >= 12 && memcmp(head, kJp2, 12) == 0)
        return FMT_JP2;
    if (got >= 4 && head[0] == 0xFF && head[1] == 0x4F && head[2] == 0xFF && head[3] == 0x51)
        return FMT_JPC;
    if (got >= 4 && head[0] == 0x59 && head[1] == 0xA6 && head[2] == 0x6A && head[3] == 0x95)
        return FMT_RAS;
    if (got >= 3 && head[0] == 'P' && head[1] == 'G' && (head[2] == ' ' || head[2] == '\t'))
        return FMT_PGX;
    if (got >= 2 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6')
        return FMT_PNM;
    return -1;
}

bool SamplesBacked(Stream* s, unsigned long long samples, unsigned long long perByte)
{
    if (samples <= RasterGetUnbackedPixels())
        return true;
    long long left = StreamLeft(s);
    return left >= 0 && samples <= (unsigned long long)left * perByte;
}

Image* Decode(Stream* s, int fmt, const char*)
{
    if (s == nullptr || s->ops == nullptr)
        return nullptr;
    SetError("");
    if (fmt < 0)
        fmt = DetectFormat(s);
    try {
        switch (fmt) {
        case FMT_JP2:
        case FMT_JPC:
            return DecodeOpj(s, fmt);
        case FMT_PGX:
            return DecodePgx(s);
        case FMT_PNM:
            return DecodePnm(s);
        case FMT_RAS:
            return DecodeRas(s);
        default:
            SetError("unknown format");
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        SetError("out of memory");
        return nullptr;
    }
}

int Encode(Image* image, Stream* s, int fmt, const char* options)
{
    if (image == nullptr || s == nullptr || s->ops == nullptr || image->cmpts.empty())
        return -1;
    double rate = 1.0;
    if (options != nullptr) {
        const char* r = strstr(options, "rate=");
        if (r != nullptr)
            rate = atof(r + 5);
    }
    try {
        switch (fmt) {
        case FMT_JP2:
        case FMT_JPC:
            return EncodeOpj(image, s, fmt, rate);
        case FMT_PGX:
            return EncodePgx(image, s);
        case FMT_PNM:
            return EncodePnm(image, s);
        case FMT_RAS:
            return EncodeRas(image, s);
        default:
            return -1;
        }
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

namespace {

// A sample of component k scaled to 0..255, signed samples first shifted so
// that their range starts at zero.
inline int To8(const Component& k, int32_t v)
{
    const int64_t max = (1LL << k.p.prec) - 1;
    int64_t u = k.p.sgnd ? (int64_t)v + (1LL << (k.p.prec - 1)) : v;
    if (u < 0)
        u = 0;
    if (u > max)
        u = max;
    return k.p.prec == 8 ? (int)u : (int)((u * 255 + max / 2) / max);
}

// Component k's sample under pixel (x, y) of the first component's grid.
inline int32_t SampleAt(const Component& k, const ComponentParams& base, uint32_t x, uint32_t y)
{
    uint32_t kx = (uint32_t)((uint64_t)x * k.p.width / base.width);
    uint32_t ky = (uint32_t)((uint64_t)y * k.p.height / base.height);
    return k.samples()[(size_t)ky * k.p.width + kx];
}

inline uint8_t Clamp8(double v)
{
    return v <= 0 ? 0 : v >= 255 ? 255 : (uint8_t)std::lround(v);
}

}  // namespace

Image* ToSRGB(const Image* image)
{
    if (image == nullptr || image->cmpts.empty())
        return nullptr;
    const ComponentParams& base = image->cmpts[0].p;
    ComponentParams p = base;
    p.prec = 8;
    p.sgnd = false;
    p.tlx = p.tly = 0;
    p.hstep = p.vstep = 1;
    ComponentParams params[3] = {p, p, p};
    Image* out = ImageCreate(3, params, CLRSPC_SRGB);
    if (out == nullptr)
        return nullptr;
    const bool colour = image->cmpts.size() >= 3 && image->clrspc != CLRSPC_SGRAY;
    const bool ycc = colour && image->clrspc == CLRSPC_SYCC;
    const Component& k0 = image->cmpts[0];
    const Component& k1 = image->cmpts[colour ? 1 : 0];
    const Component& k2 = image->cmpts[colour ? 2 : 0];
    size_t i = 0;
    for (uint32_t y = 0; y < base.height; y++)
        for (uint32_t x = 0; x < base.width; x++, i++) {
            int a = To8(k0, SampleAt(k0, base, x, y));
            int b = To8(k1, SampleAt(k1, base, x, y));
            int c = To8(k2, SampleAt(k2, base, x, y));
            if (ycc) {
                double cb = b - 128.0, cr = c - 128.0;
                out->cmpts[0].data[i] = Clamp8(a + 1.402 * cr);
                out->cmpts[1].data[i] = Clamp8(a - 0.344136 * cb - 0.714136 * cr);
                out->cmpts[2].data[i] = Clamp8(a + 1.772 * cb);
            } else {
                out->cmpts[0].data[i] = a;
                out->cmpts[1].data[i] = b;
                out->cmpts[2].data[i] = c;
            }
        }
    for (int c = 0; c < 3; c++)
        out->cmpts[(size_t)c].type = c;
    return out;
}

}  // namespace rasterjp2
