// Sun raster for the toolkit: the old, standard, byte-encoded (run-length) and
// RGB types at 1, 8, 24 and 32 bits a pixel, with or without an RGB colour
// map. Mapped pictures come out as three components; unmapped 1- and 8-bit
// ones as one grey component (1 for white at 1 bit: the file's 1 is black).
// The header is eight big-endian 32-bit fields; rows pad to 16 bits.
#include <cstdio>
#include <vector>

#include "jp2adapter.h"

namespace rasterjp2 {

namespace {

constexpr uint32_t kMagic = 0x59A66A95;
// Type 0, the old format, reads as the standard one.
constexpr uint32_t kTypeStandard = 1, kTypeEncoded = 2, kTypeRgb = 3;
constexpr uint32_t kMapNone = 0, kMapRgb = 1;
constexpr size_t kHeaderSize = 32;
// A run of up to 256 bytes costs three.
constexpr unsigned long long kRunRatio = 86;

struct RasHeader {
    uint32_t magic, width, height, depth, length, type, maptype, maplength;
};

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

uint8_t* PutBe32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)(v >> 24);
    p[1] = (uint8_t)(v >> 16);
    p[2] = (uint8_t)(v >> 8);
    p[3] = (uint8_t)v;
    return p + 4;
}

bool ReadHeader(Stream* s, RasHeader& h)
{
    uint8_t b[kHeaderSize];
    if (!StreamRead(s, b, sizeof(b)))
        return false;
    uint32_t* f[8] = {&h.magic, &h.width, &h.height, &h.depth,
                      &h.length, &h.type, &h.maptype, &h.maplength};
    for (int i = 0; i < 8; i++)
        *f[i] = Be32(b + 4 * i);
    return true;
}

Image* Fail(const char* text)
{
    SetError(text);
    return nullptr;
}

// Undoes the byte encoding: 0x80 0 is one 0x80, 0x80 n v is n + 1 copies of
// v, any other byte stands for itself. False when the data ends first.
bool Unrun(Stream* s, std::vector<uint8_t>& out)
{
    size_t i = 0;
    while (i < out.size()) {
        int c = StreamGetc(s);
        if (c < 0)
            return false;
        if (c != 0x80) {
            out[i++] = (uint8_t)c;
            continue;
        }
        int n = StreamGetc(s);
        if (n < 0)
            return false;
        if (n == 0) {
            out[i++] = 0x80;
            continue;
        }
        int v = StreamGetc(s);
        if (v < 0)
            return false;
        for (int k = 0; k <= n && i < out.size(); k++)
            out[i++] = (uint8_t)v;
    }
    return true;
}

}  // namespace

Image* DecodeRas(Stream* s)
{
    RasHeader h;
    if (!ReadHeader(s, h) || h.magic != kMagic)
        return Fail("ras: bad signature");
    if (h.width == 0 || h.height == 0 || h.width > 0x7FFFFFFF || h.height > 0x7FFFFFFF)
        return Fail("ras: bad size");
    if (h.depth != 1 && h.depth != 8 && h.depth != 24 && h.depth != 32)
        return Fail("ras: unsupported depth");
    if (h.type > kTypeRgb)
        return Fail("ras: unsupported type");

    // The colour map: maplength bytes, all reds, then greens, then blues.
    std::vector<uint8_t> map;
    long long left = StreamLeft(s);
    if (left >= 0 && h.maplength > left)
        return Fail("ras: data ends early");
    if (h.maptype == kMapRgb && h.maplength >= 3 && h.depth <= 8) {
        map.resize(h.maplength);
        if (!StreamRead(s, map.data(), map.size()))
            return Fail("ras: data ends early");
    } else if (h.maplength > 0) {
        std::vector<uint8_t> skip(h.maplength);
        if (!StreamRead(s, skip.data(), skip.size()))
            return Fail("ras: data ends early");
    }
    const size_t colours = map.size() / 3;

    const uint64_t rowBytes = ((uint64_t)h.width * h.depth + 15) / 16 * 2;
    const uint64_t raw = rowBytes * h.height;
    left = StreamLeft(s);
    const bool encoded = h.type == kTypeEncoded;
    if (!encoded && left >= 0 && raw > (uint64_t)left)
        return Fail("ras: data ends early");
    if (!SamplesBacked(s, (uint64_t)h.width * h.height, encoded ? kRunRatio : 1))
        return Fail("ras: image too large");

    const bool grey = h.depth <= 8 && colours == 0;
    ComponentParams p = {0, 0, 1, 1, h.width, h.height, h.depth == 1 && grey ? 1 : 8, false};
    ComponentParams params[3] = {p, p, p};
    Image* img = ImageCreate(grey ? 1 : 3, params, grey ? CLRSPC_SGRAY : CLRSPC_SRGB);
    if (img == nullptr)
        return Fail("ras: image too large");

    std::vector<uint8_t> row((size_t)rowBytes);
    std::vector<uint8_t> all;
    if (encoded) {
        all.resize((size_t)raw);
        if (!Unrun(s, all)) {
            ImageDestroy(img);
            return Fail("ras: data ends early");
        }
    }
    const bool rgbOrder = h.type == kTypeRgb;
    for (uint32_t y = 0; y < h.height; y++) {
        const uint8_t* src;
        if (encoded) {
            src = all.data() + (size_t)y * rowBytes;
        } else {
            if (!StreamRead(s, row.data(), row.size())) {
                ImageDestroy(img);
                return Fail("ras: data ends early");
            }
            src = row.data();
        }
        const size_t base = (size_t)y * h.width;
        for (uint32_t x = 0; x < h.width; x++) {
            int r, g, b;
            if (h.depth == 1 || h.depth == 8) {
                unsigned v = h.depth == 1 ? (src[x >> 3] >> (7 - (x & 7))) & 1 : src[x];
                if (grey) {
                    img->cmpts[0].data[base + x] = h.depth == 1 ? (int32_t)(1 - v) : (int32_t)v;
                    continue;
                }
                if (v >= colours)
                    v = 0;
                r = map[v];
                g = map[colours + v];
                b = map[2 * colours + v];
            } else {
                const uint8_t* q = src + (size_t)x * (h.depth / 8) + (h.depth == 32 ? 1 : 0);
                r = rgbOrder ? q[0] : q[2];
                g = q[1];
                b = rgbOrder ? q[2] : q[0];
            }
            img->cmpts[0].data[base + x] = r;
            img->cmpts[1].data[base + x] = g;
            img->cmpts[2].data[base + x] = b;
        }
    }
    return img;
}

int EncodeRas(Image* image, Stream* s)
{
    const size_t n = image->cmpts.size();
    const ComponentParams& p = image->cmpts[0].p;
    if (n != 1 && n != 3) {
        SetError("ras: one or three components only");
        return -1;
    }
    for (const Component& k : image->cmpts)
        if (k.p.width != p.width || k.p.height != p.height || k.p.sgnd) {
            SetError("ras: components differ in size");
            return -1;
        }
    const bool bits = n == 1 && p.prec == 1;
    const uint32_t depth = bits ? 1 : n == 1 ? 8 : 24;
    const uint64_t rowBytes = ((uint64_t)p.width * depth + 15) / 16 * 2;
    const uint64_t length = rowBytes * p.height;
    if (length > 0xFFFFFFFFu) {
        SetError("ras: image too large");
        return -1;
    }
    uint8_t head[kHeaderSize];
    uint8_t* q = head;
    const uint32_t fields[8] = {kMagic, p.width, p.height, depth,
                                (uint32_t)length, kTypeStandard, kMapNone, 0};
    for (uint32_t f : fields)
        q = PutBe32(q, f);
    if (!StreamWrite(s, head, sizeof(head)))
        return -1;
    std::vector<uint8_t> row((size_t)rowBytes);
    for (uint32_t y = 0; y < p.height; y++) {
        std::fill(row.begin(), row.end(), 0);
        const size_t base = (size_t)y * p.width;
        for (uint32_t x = 0; x < p.width; x++) {
            if (bits) {
                if (image->cmpts[0].data[base + x] == 0)
                    row[x >> 3] |= (uint8_t)(0x80 >> (x & 7));
                continue;
            }
            for (size_t c = 0; c < n; c++) {
                const Component& k = image->cmpts[c];
                int64_t v = k.data[base + x];
                int64_t max = (1LL << k.p.prec) - 1;
                v = v < 0 ? 0 : v > max ? max : v;
                uint8_t b = (uint8_t)(k.p.prec == 8 ? v : (v * 255 + max / 2) / max);
                // Pixels are stored blue, green, red.
                row[(size_t)x * n + (n == 3 ? 2 - c : 0)] = b;
            }
        }
        if (!StreamWrite(s, row.data(), row.size()))
            return -1;
    }
    return 0;
}

}  // namespace rasterjp2
