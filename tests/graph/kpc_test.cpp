// The kpc picture file: raw and JPEG-payload round trips, the run-length
// mask, and files that lie about their lengths.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include "graph_fixture.h"
#include "picture_bytes.h"
#include "test_jpeg.h"

namespace {

class KpcGraph : public TestGraph {
public:
    using KGraph::_get_spritecolorkey_maskrle;
    using KGraph::_loadkpc;
    using KGraph::_savekpc;
    using KGraph::_set_spritecolorkey_maskrle;
};

// The sprite's pixels encoded as JPEG.
Bytes SpriteJpeg(SPRITE_DATA* spr, int quality)
{
    Bytes rgb;
    for (long y = 0; y < spr->height; y++)
        for (long x = 0; x < spr->width; x++) {
            const DWORD c = color24b_565(Px16(spr, x, y));
            rgb.insert(rgb.end(), {BYTE(c >> 16), BYTE(c >> 8), BYTE(c)});
        }
    return EncodeJpeg(rgb, int(spr->width), int(spr->height), 3, JCS_RGB, quality);
}

class Kpc : public PictureTest<KpcGraph> {
protected:
    Kpc() : PictureTest("kestrel-kpc-") {}

    SPRITE_DATA* Sprite(long w, long h, const std::vector<WORD>& px, DWORD flags = 0)
    {
        SPRITE_DATA* s = g._createsprite(w, h, KCM_R5G6B5, flags);
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++)
                *SpritePixel16(s, x, y) = px[size_t(y * w + x)];
        return s;
    }
    SPRITE_DATA* Load(const std::string& path, KESTREL_COLOR_MODE mode = KCM_R5G6B5)
    {
        SPRITE_DATA* alpha = nullptr;
        SPRITE_DATA* s = g._loadkpc(alpha, path.c_str(), mode, 0, nullptr);
        EXPECT_EQ(alpha, nullptr);
        return s;
    }
    std::vector<BYTE> Mask(SPRITE_DATA* s)
    {
        DWORD len = 0;
        BYTE* m = g._get_spritecolorkey_maskrle(s, len);
        std::vector<BYTE> out(m, m + len);
        std::free(m);
        return out;
    }
};

TEST_F(Kpc, RawFileHoldsHeaderAndRowsAndLoadsBackExactly)
{
    std::vector<WORD> px = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000,
                            0x1234, 0x8001, 0x0001, 0xABCD, 0x7FFF,
                            0x0F0F, 0xF0F0, 0x5555, 0xAAAA, 0x0842};
    SPRITE_DATA* s = Sprite(5, 3, px);
    ASSERT_EQ(g._savekpc(Path("raw.kpc").c_str(), 0u, s), 0);

    Bytes file = ReadFile(Path("raw.kpc"));
    ASSERT_EQ(file.size(), 32u + 30u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), Bytes({'K', 'k', 'p', 'c'}));
    EXPECT_EQ(Get32(file, 4), 24u);
    EXPECT_EQ(Get32(file, 8), 0u);    // flags: not keyed
    EXPECT_EQ(Get32(file, 12), 4u);   // format R5G6B5
    EXPECT_EQ(Get32(file, 16), 30u);  // data size
    EXPECT_EQ(Get32(file, 20), 5u);
    EXPECT_EQ(Get32(file, 24), 3u);
    EXPECT_EQ(Get32(file, 28), 0u);
    EXPECT_EQ(file[32], 0x00);        // first pixel, little-endian
    EXPECT_EQ(file[33], 0xF8);

    SPRITE_DATA* back = Load(Path("raw.kpc"));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->width, 5);
    ASSERT_EQ(back->height, 3);
    EXPECT_EQ(back->flags & KSPR_COLORKEY, 0u);
    for (long y = 0; y < 3; y++)
        for (long x = 0; x < 5; x++)
            EXPECT_EQ(Px16(back, x, y), px[size_t(y * 5 + x)]) << x << "," << y;
    g._releasesprite(back);
    g._releasesprite(s);
}

TEST_F(Kpc, KeyedRawFileHasFlag100AndNoMaskAndLoadsKeyed)
{
    SPRITE_DATA* s = Sprite(2, 2, {0, 0x0001, 0xF800, 0}, KSPR_COLORKEY);
    ASSERT_EQ(g._savekpc(Path("key.kpc").c_str(), 0u, s), 0);
    Bytes file = ReadFile(Path("key.kpc"));
    EXPECT_EQ(Get32(file, 8), 0x100u);
    EXPECT_EQ(file.size(), 32u + 8u);  // no mask chunk
    SPRITE_DATA* back = Load(Path("key.kpc"));
    ASSERT_NE(back, nullptr);
    EXPECT_NE(back->flags & KSPR_COLORKEY, 0u);
    EXPECT_EQ(Px16(back, 0, 0), 0);
    EXPECT_EQ(Px16(back, 1, 0), 1);
    EXPECT_EQ(Px16(back, 0, 1), 0xF800);
    g._releasesprite(back);
    g._releasesprite(s);
}

TEST_F(Kpc, JpegPayloadWithMaskRoundTripsWithinJpegLossAndExactMask)
{
    // 16 x 16: smooth colour, with a transparent square and a black pixel.
    std::vector<WORD> px(256);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            px[y * 16 + x] = color16b_565(x * 16, y * 16, 128);
    for (int y = 4; y < 8; y++)
        for (int x = 4; x < 8; x++)
            px[y * 16 + x] = 0;
    SPRITE_DATA* s = Sprite(16, 16, px, KSPR_COLORKEY);
    const Bytes jpg = SpriteJpeg(s, 95);
    WriteFile(Path("src.jpg"), jpg);
    ASSERT_EQ(g._savekpc(Path("pic.kpc").c_str(), Path("src.jpg").c_str(), s), 0);

    Bytes file = ReadFile(Path("pic.kpc"));
    EXPECT_EQ(Get32(file, 8), 0x3111u);
    EXPECT_EQ(Get32(file, 12), 0u);
    EXPECT_EQ(Get32(file, 16), DWORD(jpg.size() - 2));
    EXPECT_EQ(Bytes(file.begin() + 32, file.begin() + 32 + long(jpg.size() - 2)),
              Bytes(jpg.begin() + 2, jpg.end()));
    const size_t maskAt = 32 + jpg.size() - 2;
    EXPECT_EQ(Bytes(file.begin() + long(maskAt), file.begin() + long(maskAt) + 4),
              Bytes({'m', 'a', 's', 'k'}));
    const Bytes mask = Mask(s);
    EXPECT_EQ(Get32(file, maskAt + 4), DWORD(mask.size()));
    EXPECT_EQ(Bytes(file.begin() + long(maskAt) + 8, file.end()), mask);

    SPRITE_DATA* back = Load(Path("pic.kpc"));
    ASSERT_NE(back, nullptr);
    EXPECT_NE(back->flags & KSPR_COLORKEY, 0u);
    for (int y = 0; y < 16; y++) {
        for (int x = 0; x < 16; x++) {
            const WORD want = px[y * 16 + x];
            const WORD got = Px16(back, x, y);
            if (want == 0) {
                EXPECT_EQ(got, 0) << x << "," << y;
                continue;
            }
            EXPECT_EQ(got & 1, 1) << x << "," << y;  // never the key
            const DWORD a = color24b_565(want), b = color24b_565(got);
            for (int shift = 0; shift < 24; shift += 8)
                EXPECT_NEAR(int((a >> shift) & 0xFF), int((b >> shift) & 0xFF), 24)
                    << x << "," << y;
        }
    }
    g._releasesprite(back);
    g._releasesprite(s);
}

TEST_F(Kpc, MaskRunsCrossRowEndsAndSplitAt127)
{
    SPRITE_DATA* small = Sprite(3, 2, {0, 5, 5, 5, 0, 0});
    EXPECT_EQ(Mask(small), Bytes({3, 0, 0, 0, 1, 131, 2}));

    SPRITE_DATA* clear = Sprite(300, 1, std::vector<WORD>(300, 0));
    EXPECT_EQ(Mask(clear), Bytes({44, 1, 0, 0, 127, 127, 46}));
    SPRITE_DATA* solid = Sprite(300, 1, std::vector<WORD>(300, 7));
    EXPECT_EQ(Mask(solid), Bytes({44, 1, 0, 0, 255, 255, 174}));
    SPRITE_DATA* one = Sprite(1, 1, {9});
    EXPECT_EQ(Mask(one), Bytes({1, 0, 0, 0, 129}));

    // Alternating pixels: the worst case, one byte per pixel.
    std::vector<WORD> checker(64);
    for (int i = 0; i < 64; i++)
        checker[i] = (i % 2) ? 3 : 0;
    SPRITE_DATA* alt = Sprite(8, 8, checker);
    EXPECT_EQ(Mask(alt).size(), 4u + 64u);

    for (SPRITE_DATA* s : {small, clear, solid, one, alt})
        g._releasesprite(s);
}

TEST_F(Kpc, MaskDecodingMarksPixelsAndRefusesOtherWidths)
{
    SPRITE_DATA* s = Sprite(3, 2, {0x1000, 0x2000, 0x3000, 0x4000, 0x5000, 0x6000});
    Bytes body = {3, 0, 0, 0, 1, 131, 2};
    EXPECT_EQ(g._set_spritecolorkey_maskrle(s, body.data(), DWORD(body.size())), 0);
    EXPECT_EQ(Px16(s, 0, 0), 0);
    EXPECT_EQ(Px16(s, 1, 0), 0x2001);
    EXPECT_EQ(Px16(s, 2, 0), 0x3001);
    EXPECT_EQ(Px16(s, 0, 1), 0x4001);
    EXPECT_EQ(Px16(s, 1, 1), 0);
    EXPECT_EQ(Px16(s, 2, 1), 0);

    // Runs past the last pixel stop there.
    Bytes longer = {3, 0, 0, 0, 255, 255, 127};
    EXPECT_EQ(g._set_spritecolorkey_maskrle(s, longer.data(), DWORD(longer.size())), 0);
    EXPECT_EQ(Px16(s, 2, 1), 1);

    Bytes narrow = {2, 0, 0, 0, 6};
    EXPECT_EQ(g._set_spritecolorkey_maskrle(s, narrow.data(), DWORD(narrow.size())), 8);
    Bytes zero = {0, 0, 0, 0, 6};
    EXPECT_EQ(g._set_spritecolorkey_maskrle(s, zero.data(), DWORD(zero.size())), 8);
    Bytes cut = {3, 0};
    EXPECT_EQ(g._set_spritecolorkey_maskrle(s, cut.data(), DWORD(cut.size())), 8);
    EXPECT_EQ(Px16(s, 2, 1), 1);  // untouched by the refused bodies
    g._releasesprite(s);
}

TEST_F(Kpc, ReaderIgnoresTagAndSkipsHeaderBytesPast24)
{
    Bytes rows = {0x00, 0xF8, 0x1F, 0x00};
    WriteFile(Path("tag.kpc"), KpcBytes(0, 4, 2, 1, rows, "ABCD"));
    SPRITE_DATA* s = Load(Path("tag.kpc"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Px16(s, 0, 0), 0xF800);
    EXPECT_EQ(Px16(s, 1, 0), 0x001F);
    g._releasesprite(s);

    // A 40-byte header body: 16 bytes after the known fields are skipped.
    Bytes padded(16, 0xEE);
    for (BYTE b : rows)
        padded.push_back(b);
    WriteFile(Path("long.kpc"), KpcBytes(0, 4, 2, 1, padded, "Kkpc", 40));
    s = Load(Path("long.kpc"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Px16(s, 0, 0), 0xF800);
    EXPECT_EQ(Px16(s, 1, 0), 0x001F);
    g._releasesprite(s);
}

TEST_F(Kpc, LengthsThatRunPastTheFileFailAsMalformed)
{
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Bytes rows(8, 0x11);
    Bytes shortHead = {'K', 'k', 'p', 'c', 24, 0};
    Bytes zeroLen = KpcBytes(0, 8, 2, 2, rows, "Kkpc", 0);
    Bytes hugeLen = KpcBytes(0, 8, 2, 2, rows, "Kkpc", 0xFFFFFFF0u);
    Bytes cutRows = KpcBytes(0, 8, 2, 2, Bytes(7, 0x11));
    Bytes hugeSize = KpcBytes(0, 0, 0x10000, 0x10000, rows);
    Bytes jpegPastEnd = KpcBytes(1, 100, 2, 2, rows);
    Bytes jpegWraps = KpcBytes(1, 0xFFFFFFFFu, 2, 2, rows);
    for (const Case& c : {Case{"a.kpc", shortHead}, Case{"b.kpc", zeroLen}, Case{"c.kpc", hugeLen},
                          Case{"d.kpc", cutRows}, Case{"e.kpc", hugeSize},
                          Case{"f.kpc", jpegPastEnd}, Case{"g.kpc", jpegWraps}}) {
        WriteFile(Path(c.name), c.bytes);
        EXPECT_EQ(Load(Path(c.name)), nullptr) << c.name;
        EXPECT_TRUE(Reported(8, "_loadkpc(" + Path(c.name) + ")")) << c.name;
    }
}

TEST_F(Kpc, MaskChunkMustBeTaggedWholeAndOfTheSpriteWidth)
{
    const Bytes rows(8, 0x22);
    auto withMask = [&](const char* tag, DWORD len, const Bytes& body) {
        Bytes b = KpcBytes(0x3110, 8, 2, 2, rows);
        b.insert(b.end(), tag, tag + 4);
        Put32(b, len);
        b.insert(b.end(), body.begin(), body.end());
        return b;
    };
    WriteFile(Path("good.kpc"), withMask("mask", 5, {2, 0, 0, 0, 130}));
    SPRITE_DATA* s = Load(Path("good.kpc"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Px16(s, 0, 0), 0x2223);  // opaque: lowest bit set
    EXPECT_EQ(Px16(s, 1, 0), 0x2223);
    EXPECT_EQ(Px16(s, 0, 1), 0x2222);  // past the runs: untouched
    g._releasesprite(s);

    const struct {
        const char* name;
        Bytes bytes;
    } bad[] = {
        {"tag.kpc", withMask("MASK", 5, {2, 0, 0, 0, 130})},
        {"len.kpc", withMask("mask", 500, {2, 0, 0, 0, 130})},
        {"width.kpc", withMask("mask", 5, {3, 0, 0, 0, 130})},
        {"short.kpc", withMask("mask", 2, {2, 0})},
        {"nohead.kpc", KpcBytes(0x3110, 8, 2, 2, rows)},
    };
    for (const auto& c : bad) {
        WriteFile(Path(c.name), c.bytes);
        EXPECT_EQ(Load(Path(c.name)), nullptr) << c.name;
        EXPECT_TRUE(Reported(8, "_loadkpc(" + Path(c.name) + "):load mask")) << c.name;
    }
}

TEST_F(Kpc, RunLengthPixelsAreRefusedButJpegFlagWins)
{
    WriteFile(Path("rle.kpc"), KpcBytes(0x2, 8, 2, 2, Bytes(8, 0)));
    EXPECT_EQ(Load(Path("rle.kpc")), nullptr);
    EXPECT_TRUE(Logged("_loadkpc(" + Path("rle.kpc") + "):不支持该rle压缩方式!"));

    SPRITE_DATA* src = Sprite(8, 8, std::vector<WORD>(64, 0xF800));
    const Bytes jpg = SpriteJpeg(src, 100);
    WriteFile(Path("both.kpc"), KpcBytes(0x1 | 0x2, DWORD(jpg.size() - 2), 8, 8,
                                         Bytes(jpg.begin() + 2, jpg.end())));
    SPRITE_DATA* s = Load(Path("both.kpc"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Px16(s, 3, 3), 0xF800);
    g._releasesprite(s);
    g._releasesprite(src);
}

TEST_F(Kpc, BrokenJpegPayloadFailsWithTheDecodersReport)
{
    WriteFile(Path("junk.kpc"), KpcBytes(0x1, 4, 2, 2, Bytes({1, 2, 3, 4})));
    EXPECT_EQ(Load(Path("junk.kpc")), nullptr);
    EXPECT_TRUE(Reported(E_FAIL, "KGraph::_loadjpeg(dat) ijl read file head fail"));
}

TEST_F(Kpc, MissingFileReportsSeven)
{
    EXPECT_EQ(Load(Path("none.kpc")), nullptr);
    EXPECT_TRUE(Reported(7, "_loadkpc(" + Path("none.kpc") + ")"));
}

TEST_F(Kpc, GreyLoadGivesClearedPixels)
{
    WriteFile(Path("g.kpc"), KpcBytes(0, 8, 2, 2, Bytes(8, 0x77)));
    SPRITE_DATA* s = Load(Path("g.kpc"), KCM_GRAY);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Px8(s, 0, 0), 0);
    EXPECT_EQ(Px8(s, 1, 1), 0);
    g._releasesprite(s);
}

TEST_F(Kpc, WritersRefuseWhatTheyCannotStoreAndLeaveNoFile)
{
    SPRITE_DATA* s = Sprite(2, 2, {1, 2, 3, 4});
    EXPECT_EQ(g._savekpc(Path("a.kpc").c_str(), (const char*)nullptr, s), E_FAIL);
    EXPECT_TRUE(Reported(E_FAIL, "_savekpc(" + Path("a.kpc") + ")"));
    EXPECT_FALSE(std::filesystem::exists(Path("a.kpc")));

    WriteFile(Path("one.jpg"), Bytes({0xFF}));
    EXPECT_EQ(g._savekpc(Path("b.kpc").c_str(), Path("one.jpg").c_str(), s), E_FAIL);
    EXPECT_TRUE(Reported(8, "_savekpc(" + Path("one.jpg") + ")"));
    EXPECT_FALSE(std::filesystem::exists(Path("b.kpc")));

    EXPECT_EQ(g._savekpc(Path("c.kpc").c_str(), Path("none.jpg").c_str(), s), E_FAIL);
    EXPECT_TRUE(Reported(7, "_savekpc(" + Path("none.jpg") + ")"));

    EXPECT_EQ(g._savekpc(Path("d.kpc").c_str(), 1u, s), E_FAIL);
    EXPECT_TRUE(Reported(E_FAIL, "_savekpc() 不支持该格式!"));
    EXPECT_FALSE(std::filesystem::exists(Path("d.kpc")));

    SPRITE_DATA* grey = g._createsprite(2, 2, KCM_GRAY, 0);
    EXPECT_EQ(g._savekpc(Path("e.kpc").c_str(), 0u, grey), E_FAIL);
    EXPECT_TRUE(Reported(E_FAIL, "_savekpc() 不支持该颜色格式!"));
    EXPECT_FALSE(std::filesystem::exists(Path("e.kpc")));

    EXPECT_EQ(g._savekpc(Path("no/such/dir.kpc").c_str(), 0u, s), 7);
    g._releasesprite(grey);
    g._releasesprite(s);
}

}  // namespace
