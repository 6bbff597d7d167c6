#include "picture_bytes.h"

Bytes BmpBytes(int32_t w, int32_t h, uint16_t bits, const Bytes& pixels, uint32_t size)
{
    Bytes b;
    PutBmpHeader(b, size ? size : uint32_t(54 + pixels.size()), w, h, bits);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes KpcBytes(uint32_t flags, uint32_t datasize, uint32_t w, uint32_t h, const Bytes& payload,
               const char* tag, uint32_t len)
{
    Bytes b(tag, tag + 4);
    for (uint32_t v : {len, flags, 4u /* R5G6B5 */, datasize, w, h, 0u})
        Put32(b, v);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

Bytes TgaBytes(uint16_t w, uint16_t h, const Bytes& pixels, uint8_t type, uint8_t depth,
               uint8_t descriptor, uint8_t idLength)
{
    Bytes b(18, 0);
    b[0] = idLength;
    b[2] = type;
    b[12] = uint8_t(w);
    b[13] = uint8_t(w >> 8);
    b[14] = uint8_t(h);
    b[15] = uint8_t(h >> 8);
    b[16] = depth;
    b[17] = descriptor;
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}
