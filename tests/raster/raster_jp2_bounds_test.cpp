// What a small JPEG-2000 codestream may cost: its headers are measured
// (tiles, samples, precincts and code-blocks) before OpenJPEG sets anything
// up, counted by the bytes the decode allocates.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include <raster.h>
#include "alloc_counter.h"
#include "test_files.h"

namespace {

void Put16(Bytes& b, uint32_t v)
{
    b.push_back((uint8_t)(v >> 8));
    b.push_back((uint8_t)v);
}

void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v >> 16);
    Put16(b, v & 0xFFFF);
}

// A one-tile, one-component codestream of w x h: five decomposition levels,
// 64 x 64 code-blocks, precincts of 2^p x 2^p at every resolution (none
// given: the largest), and `body` bytes of packet data.
Bytes Codestream(uint32_t w, uint32_t h, int p, size_t body)
{
    Bytes b = {0xFF, 0x4F, 0xFF, 0x51};
    Put16(b, 41);
    Put16(b, 0);
    Put32(b, w);
    Put32(b, h);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, w);
    Put32(b, h);
    Put32(b, 0);
    Put32(b, 0);
    Put16(b, 1);
    b.insert(b.end(), {7, 1, 1});  // 8 bits, no subsampling
    const int levels = 5;
    b.insert(b.end(), {0xFF, 0x52});
    Put16(b, (uint32_t)(12 + (p >= 0 ? levels + 1 : 0)));
    b.push_back(p >= 0 ? 1 : 0);                       // Scod
    b.insert(b.end(), {0, 0, 1, 0});                   // LRCP, 1 layer, no MCT
    b.insert(b.end(), {(uint8_t)levels, 4, 4, 0, 1});  // 64 x 64, 5-3 wavelet
    for (int r = 0; p >= 0 && r <= levels; r++)
        b.push_back((uint8_t)(p | p << 4));
    b.insert(b.end(), {0xFF, 0x5C});
    Put16(b, 3 + 3 * levels + 1);
    b.push_back(0x40);  // no quantisation, two guard bits
    for (int i = 0; i < 3 * levels + 1; i++)
        b.push_back(8 << 3);
    const uint32_t psot = (uint32_t)(12 + 2 + body);
    b.insert(b.end(), {0xFF, 0x90});
    Put16(b, 10);
    Put16(b, 0);
    Put32(b, psot);
    b.push_back(0);
    b.push_back(1);
    b.insert(b.end(), {0xFF, 0x93});
    b.insert(b.end(), body, 0);
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

TEST(Jp2Bounds, HeadersAskingForMoreThanTheDataBacksCostLittle)
{
    struct Case {
        const char* name;
        Bytes file;
    } cases[] = {
        // Four million samples the allowance covers, but a million 2 x 2
        // precincts at the finest resolution, each with its code-blocks.
        {"2048 x 2048 in 2 x 2 precincts", Codestream(2048, 2048, 1, 0)},
        {"8192 x 8192 in 8 x 8 precincts", Codestream(8192, 8192, 3, 0)},
        // Sixteen million samples from 4 KB of data.
        {"4096 x 4096 from 4 KB", Codestream(4096, 4096, -1, 4000)},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LT(c.file.size(), 4200u);
        RasterImage img;
        const AllocCounter counter;
        EXPECT_FALSE(img.Decode(c.file.data(), (DWORD)c.file.size(), RASTER_FORMAT_JPC));
        if (AllocCounter::Available()) {
            EXPECT_LT(counter.Peak(), size_t(1) << 20);
        }
    }
}

TEST(Jp2Bounds, WhatTheAllowanceCoversStillDecodes)
{
    // 512 x 512 of nothing (empty packets): samples and precincts within
    // the allowance make a flat picture, as OpenJPEG gives it.
    Bytes file = Codestream(512, 512, -1, 64);
    RasterImage img;
    ASSERT_TRUE(img.Decode(file.data(), (DWORD)file.size(), RASTER_FORMAT_JPC))
        << img.GetLastError();
    EXPECT_EQ(512u, img.GetWidth());
    EXPECT_EQ(128, img.GetPixelIndex(100, 100));
}

}  // namespace
