// JPEG loading: grey, colour and four-channel pictures into R5G6B5 sprites,
// the rearrangement of four-channel pixels, and streams that do not decode.
#include <string>
#include "alloc_counter.h"
#include "graph_fixture.h"
#include "test_jpeg.h"
#include "kloaders.h"

namespace {

class JpegGraph : public TestGraph {
public:
    using KGraph::_loadjpg;
};

class Jpeg : public PictureTest<JpegGraph> {
protected:
    Jpeg() : PictureTest("kestrel-jpeg-") {}
    SPRITE_DATA* Decode(Bytes jpg, KESTREL_COLOR_MODE mode = KCM_R5G6B5)
    {
        return g._loadjpg(jpg.data(), DWORD(jpg.size()), mode, 0);
    }
};

TEST_F(Jpeg, GreyPictureGivesTheGreyInAllThreeChannels)
{
    SPRITE_DATA* s = Decode(EncodeJpeg(Flat(8, 8, {200}), 8, 8, 1, JCS_GRAYSCALE));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Px16(s, 0, 0), color16b_565(200, 200, 200));
    EXPECT_EQ(Px16(s, 7, 7), color16b_565(200, 200, 200));
    g._releasesprite(s);
}

TEST_F(Jpeg, ColourRowsComeTopRowFirstAndBlackPacksToTheKey)
{
    // Width 5 makes the decode rows 16 bytes: 15 of pixels, 1 of padding.
    Bytes px = Flat(5, 8, {255, 0, 0});
    Bytes bottom = Flat(5, 8, {0, 0, 0});
    px.insert(px.end(), bottom.begin(), bottom.end());
    SPRITE_DATA* s = Decode(EncodeJpeg(px, 5, 16, 3, JCS_RGB));
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->width, 5);
    ASSERT_EQ(s->height, 16);
    for (long x = 0; x < 5; x++) {
        EXPECT_EQ(Px16(s, x, 0), 0xF800) << x;
        EXPECT_EQ(Px16(s, x, 15), 0) << x;
    }
    g._releasesprite(s);
}

TEST_F(Jpeg, FourChannelPicturesAreSwappedAndPremultiplied)
{
    // Luma 128, neutral chroma, alpha 128: grey 128 times 128 / 256.
    SPRITE_DATA* s = Decode(EncodeJpeg(Flat(8, 8, {128, 128, 128, 128}), 8, 8, 4, JCS_UNKNOWN));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Px16(s, 3, 3), color16b_565(64, 64, 64));
    g._releasesprite(s);

    BYTE px[8] = {10, 20, 30, 255, 10, 20, 30, 0};
    _swaprb_premultiply(px, 2, 1);
    EXPECT_EQ(Bytes(px, px + 8), Bytes({29, 19, 9, 255, 0, 0, 0, 0}));
}

TEST_F(Jpeg, TwoChannelPicturesAreRefusedAsUnreadable)
{
    EXPECT_EQ(Decode(EncodeJpeg(Flat(8, 8, {1, 2}), 8, 8, 2, JCS_UNKNOWN)), nullptr);
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(dat) read jpeg data fail"));
}

TEST_F(Jpeg, DamagedStreamsFailWithTheirStep)
{
    // Noise, so the scan data makes up most of the stream.
    Bytes noise(64 * 64 * 3);
    unsigned seed = 1;
    for (BYTE& b : noise)
        b = BYTE((seed = seed * 1103515245u + 12345u) >> 16);
    const Bytes good = EncodeJpeg(noise, 64, 64, 3, JCS_RGB, 90);
    EXPECT_EQ(Decode(Bytes(good.begin(), good.begin() + long(good.size() / 2))), nullptr);
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(dat) read jpeg data fail"));
    EXPECT_EQ(Decode(Bytes(good.begin(), good.end() - 2)), nullptr);  // no end marker
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(dat) read jpeg data fail"));

    EXPECT_EQ(Decode(Bytes({0xFF, 0xD8, 0xFF})), nullptr);
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(dat) ijl read file head fail"));
    EXPECT_EQ(Decode(Bytes(100, 0x42)), nullptr);
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(dat) ijl read file head fail"));

    // Corrupt entropy data in the middle of the scan.
    Bytes corrupt = good;
    for (size_t i = corrupt.size() / 2; i < corrupt.size() / 2 + 16; i++)
        corrupt[i] = 0xFF;
    EXPECT_EQ(Decode(corrupt), nullptr);
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(dat) read jpeg data fail"));
}

TEST_F(Jpeg, OversizedHeaderIsRefusedBeforeTheBufferIsMade)
{
    Bytes jpg = EncodeJpeg(Flat(8, 8, {9, 9, 9}), 8, 8, 3, JCS_RGB);
    // The frame header: FF C0, length, precision, height, width.
    size_t sof = 0;
    for (size_t i = 0; i + 1 < jpg.size(); i++)
        if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) {
            sof = i;
            break;
        }
    ASSERT_NE(sof, 0u);
    jpg[sof + 5] = 0xEA;  // height 60000
    jpg[sof + 6] = 0x60;
    jpg[sof + 7] = 0xEA;  // width 60000
    jpg[sof + 8] = 0x60;
    // The service refuses the header; the loader never lays out a buffer.
    EXPECT_EQ(Decode(jpg), nullptr);
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(dat) ijl read file head fail"));
    // 26000 x 27000, which would ask 2.1 GB of a few hundred bytes: refused
    // before any of it is made.
    jpg[sof + 5] = 0x69;
    jpg[sof + 6] = 0x78;
    jpg[sof + 7] = 0x65;
    jpg[sof + 8] = 0x90;
    EXPECT_LT(jpg.size(), 1000u);
    const AllocCounter counter;
    EXPECT_EQ(Decode(jpg), nullptr);
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(dat) ijl read file head fail"));
    if (AllocCounter::Available()) {
        EXPECT_LT(counter.Total(), size_t(1) << 20);
    }
}

TEST_F(Jpeg, FileFormReadsTheWholeFileOrSaysWhy)
{
    WriteFile(Path("a.jpg"), EncodeJpeg(Flat(8, 8, {0, 0, 255}), 8, 8, 3, JCS_RGB));
    SPRITE_DATA* alpha = nullptr;
    SPRITE_DATA* s = g._loadjpg(alpha, Path("a.jpg").c_str(), KCM_R5G6B5, 0, nullptr);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(alpha, nullptr);
    EXPECT_EQ(Px16(s, 0, 0), 0x001F);
    g._releasesprite(s);

    EXPECT_EQ(g._loadjpg(alpha, Path("none.jpg").c_str(), KCM_R5G6B5, 0, nullptr), nullptr);
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(" + Path("none.jpg") + ") open fail"));
    WriteFile(Path("empty.jpg"), Bytes());
    EXPECT_EQ(g._loadjpg(alpha, Path("empty.jpg").c_str(), KCM_R5G6B5, 0, nullptr), nullptr);
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(dat) ijl read file head fail"));
}

TEST_F(Jpeg, GreyModeGivesAClearedSprite)
{
    SPRITE_DATA* s = Decode(EncodeJpeg(Flat(8, 8, {50, 60, 70}), 8, 8, 3, JCS_RGB), KCM_GRAY);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Px8(s, 0, 0), 0);
    EXPECT_TRUE(Logged("_loadbmp() imperfection!"));
    g._releasesprite(s);
}

TEST(PackRows, BothPackersMatchColor16bBitForBit)
{
    // Random rows of every length around the eight-pixel steps, at odd
    // source offsets; the destination has a guard word after the row.
    for (const kblit::KernelTable* table : {&kblit::FastKernels(), &kblit::RefKernels()}) {
        SCOPED_TRACE(table->name);
        unsigned seed = 99;
        for (long width = 1; width <= 40; width++) {
            Bytes src(size_t(width) * 3 + 1);
            for (BYTE& b : src)
                b = BYTE((seed = seed * 1103515245u + 12345u) >> 16);
            std::vector<WORD> packed(size_t(width) + 1, 0xBEEF);
            table->PackBgr565(packed.data(), src.data() + 1, width);
            for (long x = 0; x < width; x++) {
                const BYTE* p = &src[1 + size_t(x) * 3];
                ASSERT_EQ(packed[size_t(x)], color16b_565(p[2], p[1], p[0])) << width << ":" << x;
            }
            EXPECT_EQ(packed[size_t(width)], 0xBEEF) << width;
        }
    }
}

}  // namespace
