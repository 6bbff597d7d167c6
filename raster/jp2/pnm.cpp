// Portable anymap (P1 to P6) for the toolkit: plain and raw bitmaps, grey maps
// and pixmaps with comments in the header and maxvals up to 65535. Samples
// keep the precision their maxval needs; a maxval short of a power of two
// less one is stretched to 8 or 16 bits (stretching to its own precision
// first would round twice on the way to the picture). Bitmaps come out as one 1-bit
// component with 1 for white (the file's 1 is black).
#include <cstdio>
#include <vector>

#include "jp2adapter.h"

namespace rasterjp2 {

namespace {

bool IsSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The next character after white space and comments (a comment runs from '#'
// to the end of its line), or -1.
int NextToken(Stream* s)
{
    int c = StreamGetc(s);
    for (;;) {
        if (c == '#') {
            while (c != -1 && c != '\n' && c != '\r')
                c = StreamGetc(s);
        } else if (IsSpace(c)) {
            c = StreamGetc(s);
        } else {
            return c;
        }
    }
}

// A decimal number; the character after it is consumed (it must be white
// space, a comment start or the end). False when there is none or it exceeds
// limit.
bool ReadNumber(Stream* s, uint32_t limit, uint32_t& value)
{
    int c = NextToken(s);
    if (c < '0' || c > '9')
        return false;
    uint64_t v = 0;
    while (c >= '0' && c <= '9') {
        v = v * 10 + (uint64_t)(c - '0');
        if (v > limit)
            return false;
        c = StreamGetc(s);
    }
    if (c == '#') {
        while (c != -1 && c != '\n' && c != '\r')
            c = StreamGetc(s);
    } else if (c != -1 && !IsSpace(c)) {
        return false;
    }
    value = (uint32_t)v;
    return true;
}

int PrecisionOf(uint32_t maxval)
{
    int prec = 1;
    while ((1u << prec) - 1 < maxval)
        prec++;
    return prec;
}

// Stretches v of 0..maxval to 0..2^prec-1.
inline int32_t Stretch(uint32_t v, uint32_t maxval, int prec)
{
    const uint32_t full = (1u << prec) - 1;
    if (v > maxval)
        v = maxval;
    return maxval == full ? (int32_t)v : (int32_t)(((uint64_t)v * full + maxval / 2) / maxval);
}

bool Fail(const char* text)
{
    SetError(text);
    return false;
}

bool ReadPlainBits(Stream* s, Image* img)
{
    Component& k = img->cmpts[0];
    for (int32_t& v : k.data) {
        int c = NextToken(s);
        if (c != '0' && c != '1')
            return Fail("pnm: bad bitmap sample");
        v = c == '0' ? 1 : 0;
    }
    return true;
}

bool ReadRawBits(Stream* s, Image* img)
{
    Component& k = img->cmpts[0];
    const size_t rowBytes = (k.p.width + 7) / 8;
    std::vector<uint8_t> row(rowBytes);
    for (uint32_t y = 0; y < k.p.height; y++) {
        if (!StreamRead(s, row.data(), rowBytes))
            return Fail("pnm: data ends early");
        int32_t* dst = &k.data[(size_t)y * k.p.width];
        for (uint32_t x = 0; x < k.p.width; x++)
            dst[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 0 : 1;
    }
    return true;
}

bool ReadPlain(Stream* s, Image* img, uint32_t maxval)
{
    const size_t n = img->cmpts.size();
    const Component& k0 = img->cmpts[0];
    const int prec = k0.p.prec;
    const size_t count = (size_t)k0.p.width * k0.p.height;
    for (size_t i = 0; i < count; i++)
        for (size_t c = 0; c < n; c++) {
            uint32_t v;
            if (!ReadNumber(s, 65535, v))
                return Fail("pnm: bad sample");
            img->cmpts[c].data[i] = Stretch(v, maxval, prec);
        }
    return true;
}

bool ReadRaw(Stream* s, Image* img, uint32_t maxval)
{
    const size_t n = img->cmpts.size();
    const Component& k0 = img->cmpts[0];
    const int prec = k0.p.prec;
    const size_t bytes = maxval > 255 ? 2 : 1;
    const size_t w = k0.p.width;
    std::vector<uint8_t> row(w * n * bytes);
    for (uint32_t y = 0; y < k0.p.height; y++) {
        if (!StreamRead(s, row.data(), row.size()))
            return Fail("pnm: data ends early");
        const uint8_t* p = row.data();
        const size_t base = (size_t)y * w;
        for (size_t x = 0; x < w; x++)
            for (size_t c = 0; c < n; c++) {
                uint32_t v = bytes == 2 ? (uint32_t)(p[0] << 8 | p[1]) : p[0];
                p += bytes;
                img->cmpts[c].data[base + x] = Stretch(v, maxval, prec);
            }
    }
    return true;
}

}  // namespace

Image* DecodePnm(Stream* s)
{
    if (StreamGetc(s) != 'P') {
        SetError("pnm: bad signature");
        return nullptr;
    }
    const int kind = StreamGetc(s) - '0';
    if (kind < 1 || kind > 6) {
        SetError("pnm: bad signature");
        return nullptr;
    }
    uint32_t width, height, maxval = 1;
    if (!ReadNumber(s, 0x7FFFFFFF, width) || !ReadNumber(s, 0x7FFFFFFF, height) ||
        width == 0 || height == 0) {
        SetError("pnm: bad size");
        return nullptr;
    }
    const bool bits = kind == 1 || kind == 4;
    if (!bits && (!ReadNumber(s, 65535, maxval) || maxval == 0)) {
        SetError("pnm: bad maxval");
        return nullptr;
    }
    const int numcmpts = kind == 3 || kind == 6 ? 3 : 1;
    const bool plain = kind <= 3;
    // A plain sample takes at least one character; a raw one its bytes (a
    // raw bitmap packs eight to a byte).
    const unsigned long long samples = (unsigned long long)width * height * (unsigned)numcmpts;
    long long left = StreamLeft(s);
    const unsigned long long need = kind == 4 ? (width + 7ULL) / 8 * height
                                    : plain   ? samples
                                              : samples * (maxval > 255 ? 2 : 1);
    if (left >= 0 && need > (unsigned long long)left) {
        SetError("pnm: data ends early");
        return nullptr;
    }
    if (left < 0 && !SamplesBacked(s, samples, 1)) {
        SetError("pnm: image too large");
        return nullptr;
    }
    int prec = bits ? 1 : PrecisionOf(maxval);
    if (!bits && maxval != (1u << prec) - 1)
        prec = prec <= 8 ? 8 : 16;
    ComponentParams p = {0, 0, 1, 1, width, height, prec, false};
    ComponentParams params[3] = {p, p, p};
    Image* img = ImageCreate(numcmpts, params, numcmpts == 3 ? CLRSPC_SRGB : CLRSPC_SGRAY);
    if (img == nullptr) {
        SetError("pnm: image too large");
        return nullptr;
    }
    bool ok = kind == 1   ? ReadPlainBits(s, img)
              : kind == 4 ? ReadRawBits(s, img)
              : plain     ? ReadPlain(s, img, maxval)
                          : ReadRaw(s, img, maxval);
    if (!ok) {
        ImageDestroy(img);
        return nullptr;
    }
    return img;
}

namespace {

// The sample as the file stores it: unsigned, within the precision.
inline uint32_t Unsigned(const Component& k, int32_t v)
{
    int64_t u = k.p.sgnd ? (int64_t)v + (1LL << (k.p.prec - 1)) : v;
    int64_t max = (1LL << k.p.prec) - 1;
    return (uint32_t)(u < 0 ? 0 : u > max ? max : u);
}

}  // namespace

int EncodePnm(Image* image, Stream* s)
{
    const size_t n = image->cmpts.size();
    const ComponentParams& p = image->cmpts[0].p;
    if (n != 1 && n != 3) {
        SetError("pnm: one or three components only");
        return -1;
    }
    for (const Component& k : image->cmpts)
        if (k.p.width != p.width || k.p.height != p.height || k.p.prec != p.prec) {
            SetError("pnm: components differ in size");
            return -1;
        }
    char head[64];
    const bool bits = n == 1 && p.prec == 1;
    const uint32_t maxval = (1u << p.prec) - 1;
    int len = bits ? snprintf(head, sizeof(head), "P4\n%u %u\n", p.width, p.height)
                   : snprintf(head, sizeof(head), "P%c\n%u %u\n%u\n", n == 3 ? '6' : '5',
                              p.width, p.height, maxval);
    if (!StreamWrite(s, head, (size_t)len))
        return -1;
    const size_t w = p.width;
    if (bits) {
        std::vector<uint8_t> row((w + 7) / 8);
        const Component& k = image->cmpts[0];
        for (uint32_t y = 0; y < p.height; y++) {
            std::fill(row.begin(), row.end(), 0);
            for (size_t x = 0; x < w; x++)
                if (Unsigned(k, k.data[(size_t)y * w + x]) == 0)
                    row[x >> 3] |= (uint8_t)(0x80 >> (x & 7));
            if (!StreamWrite(s, row.data(), row.size()))
                return -1;
        }
        return 0;
    }
    const size_t bytes = p.prec > 8 ? 2 : 1;
    std::vector<uint8_t> row(w * n * bytes);
    for (uint32_t y = 0; y < p.height; y++) {
        uint8_t* q = row.data();
        for (size_t x = 0; x < w; x++)
            for (size_t c = 0; c < n; c++) {
                const Component& k = image->cmpts[c];
                uint32_t v = Unsigned(k, k.data[(size_t)y * w + x]);
                if (bytes == 2)
                    *q++ = (uint8_t)(v >> 8);
                *q++ = (uint8_t)v;
            }
        if (!StreamWrite(s, row.data(), row.size()))
            return -1;
    }
    return 0;
}

}  // namespace rasterjp2
