// PGX for the toolkit: one component a file, a text header
// "PG <ML|LM> [+|-]<depth> <width> <height>" and the samples after one white
// space character, big-endian (ML) or little-endian (LM), in one, two or four
// bytes as the depth needs.
#include <cstdio>
#include <vector>

#include "jp2adapter.h"

namespace rasterjp2 {

namespace {

bool IsBlank(int c)
{
    return c == ' ' || c == '\t';
}

int SkipBlanks(Stream* s)
{
    int c = StreamGetc(s);
    while (IsBlank(c))
        c = StreamGetc(s);
    return c;
}

// A decimal number starting with c; the character after it is put in c.
bool ReadDecimal(Stream* s, int& c, uint32_t limit, uint32_t& value)
{
    if (c < '0' || c > '9')
        return false;
    uint64_t v = 0;
    while (c >= '0' && c <= '9') {
        v = v * 10 + (uint64_t)(c - '0');
        if (v > limit)
            return false;
        c = StreamGetc(s);
    }
    value = (uint32_t)v;
    return true;
}

Image* Fail(const char* text)
{
    SetError(text);
    return nullptr;
}

size_t SampleBytes(int prec)
{
    return prec <= 8 ? 1 : 2;
}

}  // namespace

Image* DecodePgx(Stream* s)
{
    if (StreamGetc(s) != 'P' || StreamGetc(s) != 'G')
        return Fail("pgx: bad signature");
    int c = SkipBlanks(s);
    int c2 = StreamGetc(s);
    bool bigEndian;
    if (c == 'M' && c2 == 'L')
        bigEndian = true;
    else if (c == 'L' && c2 == 'M')
        bigEndian = false;
    else
        return Fail("pgx: bad byte order");
    c = SkipBlanks(s);
    bool sgnd = false;
    if (c == '+' || c == '-') {
        sgnd = c == '-';
        c = SkipBlanks(s);
    }
    uint32_t depth, width, height;
    if (!ReadDecimal(s, c, 16, depth) || depth == 0)
        return Fail("pgx: bad depth");
    if (IsBlank(c))
        c = SkipBlanks(s);
    if (!ReadDecimal(s, c, 0x7FFFFFFF, width) || width == 0)
        return Fail("pgx: bad size");
    if (IsBlank(c))
        c = SkipBlanks(s);
    if (!ReadDecimal(s, c, 0x7FFFFFFF, height) || height == 0)
        return Fail("pgx: bad size");
    // One white space character (the line feed) ends the header.
    if (c == '\r') {
        long pos = StreamTell(s);
        if (StreamGetc(s) != '\n')
            StreamSeek(s, pos, SEEK_SET);
    } else if (c != '\n' && c != ' ' && c != '\t') {
        return Fail("pgx: bad header");
    }
    const size_t bytes = SampleBytes((int)depth);
    const unsigned long long samples = (unsigned long long)width * height;
    long long left = StreamLeft(s);
    if (left >= 0 && samples * bytes > (unsigned long long)left)
        return Fail("pgx: data ends early");
    if (left < 0 && !SamplesBacked(s, samples, 1))
        return Fail("pgx: image too large");
    ComponentParams p = {0, 0, 1, 1, width, height, (int)depth, sgnd};
    Image* img = ImageCreate(1, &p, CLRSPC_SGRAY);
    if (img == nullptr)
        return Fail("pgx: image too large");
    std::vector<uint8_t> row((size_t)width * bytes);
    const uint32_t mask = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
    for (uint32_t y = 0; y < height; y++) {
        if (!StreamRead(s, row.data(), row.size())) {
            ImageDestroy(img);
            return Fail("pgx: data ends early");
        }
        int32_t* dst = &img->cmpts[0].data[(size_t)y * width];
        for (uint32_t x = 0; x < width; x++) {
            const uint8_t* q = &row[(size_t)x * bytes];
            uint32_t v = bytes == 1 ? q[0] : bigEndian ? (uint32_t)(q[0] << 8 | q[1])
                                                       : (uint32_t)(q[1] << 8 | q[0]);
            v &= mask;
            // Signed samples are two's complement within the depth.
            if (sgnd && (v >> (depth - 1)) & 1)
                dst[x] = (int32_t)v - (int32_t)(1u << depth);
            else
                dst[x] = (int32_t)v;
        }
    }
    return img;
}

int EncodePgx(Image* image, Stream* s)
{
    if (image->cmpts.size() != 1) {
        SetError("pgx: one component only");
        return -1;
    }
    const Component& k = image->cmpts[0];
    char head[64];
    int len = snprintf(head, sizeof(head), "PG ML %c%d %u %u\n", k.p.sgnd ? '-' : '+', k.p.prec,
                       k.p.width, k.p.height);
    if (!StreamWrite(s, head, (size_t)len))
        return -1;
    const size_t bytes = SampleBytes(k.p.prec);
    std::vector<uint8_t> row((size_t)k.p.width * bytes);
    for (uint32_t y = 0; y < k.p.height; y++) {
        uint8_t* q = row.data();
        for (uint32_t x = 0; x < k.p.width; x++) {
            uint32_t v = (uint32_t)k.data[(size_t)y * k.p.width + x];
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
