// GIF and PNG loading into sprites through the image library: exact R5G6B5
// pixels with the rows turned top first, from disk and from a zip archive,
// through the sprite cache, and pictures that do not load.
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>
#include <raster.h>
#include "alloc_counter.h"
#include "desktop_fixture.h"
#include "encoded_bytes.h"
#include "picture_bytes.h"
#include "test_graph.h"

namespace {

class PictureGraph : public TestGraph {
public:
    using KGraph::_loadgif;
    using KGraph::_loadpng;
};

// A GIF of 8-bit indices (rows from the top) with a 256-entry table whose
// entry i is `palette(i)` as 0xRRGGBB. The data is every index as a 9-bit
// literal code, with a clear code before the table would widen the codes.
template <typename Palette>
Bytes Gif(int w, int h, const Bytes& indices, Palette palette)
{
    Bytes g = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(g, unsigned(w));
    Put16(g, unsigned(h));
    g.insert(g.end(), {0xF7, 0, 0});
    for (int i = 0; i < 256; i++) {
        const unsigned c = palette(i);
        g.insert(g.end(), {BYTE(c >> 16), BYTE(c >> 8), BYTE(c)});
    }
    g.push_back(0x2C);
    Put16(g, 0);
    Put16(g, 0);
    Put16(g, unsigned(w));
    Put16(g, unsigned(h));
    g.push_back(0);
    g.push_back(8);
    Bytes codes;
    unsigned acc = 0;
    int bits = 0, sinceClear = 0;
    auto put = [&](unsigned code) {
        acc |= code << bits;
        for (bits += 9; bits >= 8; bits -= 8, acc >>= 8)
            codes.push_back(BYTE(acc));
    };
    put(256);
    for (BYTE i : indices) {
        if (sinceClear == 254) {
            put(256);
            sinceClear = 0;
        }
        put(i);
        sinceClear++;
    }
    put(257);
    if (bits > 0)
        codes.push_back(BYTE(acc));
    for (size_t at = 0; at < codes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, codes.size() - at);
        g.push_back(BYTE(n));
        g.insert(g.end(), codes.begin() + long(at), codes.begin() + long(at + n));
    }
    g.push_back(0);
    g.push_back(0x3B);
    return g;
}

unsigned GifColour(int i)
{
    return unsigned((i * 7) & 0xFF) << 16 | unsigned((255 - i) & 0xFF) << 8 | unsigned((i * 13) & 0xFF);
}

// A 24-bit PNG written by the image library's own writer.
Bytes Png(int w, int h, unsigned (*colour)(int x, int yTop))
{
    RasterImage img(DWORD(w), DWORD(h), 24, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            img.SetPixelColor(x, h - 1 - y, RGBQUAD{BYTE(colour(x, y)), BYTE(colour(x, y) >> 8), BYTE(colour(x, y) >> 16), 0});
    return EncodedBytes(img, RASTER_FORMAT_PNG);
}

unsigned PngColour(int x, int yTop)
{
    return unsigned(x * 40) << 16 | unsigned(yTop * 60) << 8 | unsigned((x * yTop * 30) & 0xFF);
}

WORD To565(unsigned rgb)
{
    return WORD(((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) | ((rgb & 0xFF) >> 3));
}

class GifPngLoader : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        ASSERT_EQ(g.Init(false, 64, 48, KCM_R5G6B5, false), 0);
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 6; x++)
                indices.push_back(BYTE(x * 40 + y * 3));
        gif = Gif(6, 5, indices, GifColour);
        png = Png(7, 4, PngColour);
        ASSERT_FALSE(png.empty());
    }
    void TearDown() override
    {
        pack.Close();
        g.Release();
        DesktopTest::TearDown();
    }
    std::string Path(const std::string& name) { return tmp.Path(name); }
    bool Debugged(const std::string& text)
    {
        for (auto& e : Log())
            if (e.kind == kbase::LogEntry::DebugLine && e.text == text)
                return true;
        return false;
    }
    void ExpectGifPixels(SPRITE_DATA* s)
    {
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(s->width, 6);
        ASSERT_EQ(s->height, 5);
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 6; x++)
                ASSERT_EQ(Px16(s, x, y), To565(GifColour(indices[size_t(y) * 6 + size_t(x)]))) << x << "," << y;
    }
    void ExpectPngPixels(SPRITE_DATA* s)
    {
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(s->width, 7);
        ASSERT_EQ(s->height, 4);
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 7; x++)
                ASSERT_EQ(Px16(s, x, y), To565(PngColour(x, y))) << x << "," << y;
    }

    PictureGraph g;
    CUnPackFile pack;
    TempDir tmp{"kestrel-gifpng-"};
    Bytes indices;
    Bytes gif, png;
    SPRITE_DATA* alpha = nullptr;
};

TEST_F(GifPngLoader, PicturesFromDiskBecomeExactSpritesTopRowFirst)
{
    WriteFile(Path("a.gif"), gif);
    WriteFile(Path("b.png"), png);
    SPRITE_DATA* s = g._loadgif(alpha, Path("a.gif").c_str(), KCM_R5G6B5, 0, nullptr);
    ExpectGifPixels(s);
    EXPECT_EQ(alpha, nullptr);
    g._releasesprite(s);
    s = g._loadpng(alpha, Path("b.png").c_str(), KCM_R5G6B5, 0x11, nullptr);
    ExpectPngPixels(s);
    EXPECT_EQ(s->flags & KSPR_COLORKEY, KSPR_COLORKEY);
    EXPECT_EQ(alpha, nullptr);
    g._releasesprite(s);
}

TEST_F(GifPngLoader, PicturesFromAnArchiveMatchThoseFromDisk)
{
    WriteFile(Path("g.zip"), StoredZip({{"pics/a.gif", gif}}));
    ASSERT_TRUE(pack.Open(Path("g.zip").c_str()));
    SPRITE_DATA* s = g._loadgif(alpha, "pics\\a.gif", KCM_R5G6B5, 0, &pack);
    ExpectGifPixels(s);
    g._releasesprite(s);
    pack.Close();

    WriteFile(Path("p.zip"), StoredZip({{"b.png", png}}));
    ASSERT_TRUE(pack.Open(Path("p.zip").c_str()));
    s = g._loadpng(alpha, "b.png", KCM_R5G6B5, 0, &pack);
    ExpectPngPixels(s);
    g._releasesprite(s);

    // A missing entry fails without a word.
    Log();
    EXPECT_EQ(g._loadpng(alpha, "gone.png", KCM_R5G6B5, 0, &pack), nullptr);
    EXPECT_EQ(g._loadgif(alpha, "gone.gif", KCM_R5G6B5, 0, &pack), nullptr);
    EXPECT_TRUE(Log().empty());
}

TEST_F(GifPngLoader, TheSpriteCacheLoadsThemByExtension)
{
    std::filesystem::create_directories(Path("pics"));
    WriteFile(Path("pics/A.GIF"), gif);
    WriteFile(Path("pics/b.png"), png);
    KSprite* a = g.Load(Path("pics/A.GIF").c_str(), 0, nullptr);
    ASSERT_NE(a, nullptr);
    ExpectGifPixels(a->GetData());
    // The engine's '\' separators reach the file as well.
    std::string backslashed = Path("pics\\b.png");
    KSprite* b = g.Load(backslashed.c_str(), 0, nullptr);
    ASSERT_NE(b, nullptr);
    ExpectPngPixels(b->GetData());
    g.ReleaseKSprite(a);
    g.ReleaseKSprite(b);
}

TEST_F(GifPngLoader, PicturesThatDoNotLoadSaySo)
{
    EXPECT_EQ(g._loadgif(alpha, Path("none.gif").c_str(), KCM_R5G6B5, 0, nullptr), nullptr);
    EXPECT_TRUE(Debugged("_loadgif(" + Path("none.gif") + ",,) create fail"));

    // Truncated and damaged files: every prefix fails or loads, nothing more.
    for (size_t n : {size_t(0), size_t(6), size_t(13), size_t(800), gif.size() / 2}) {
        WriteFile(Path("cut.gif"), Bytes(gif.begin(), gif.begin() + long(std::min(n, gif.size()))));
        SPRITE_DATA* s = g._loadgif(alpha, Path("cut.gif").c_str(), KCM_R5G6B5, 0, nullptr);
        if (s != nullptr)
            g._releasesprite(s);
    }
    WriteFile(Path("cut.gif"), Bytes(gif.begin(), gif.begin() + 20));
    EXPECT_EQ(g._loadgif(alpha, Path("cut.gif").c_str(), KCM_R5G6B5, 0, nullptr), nullptr);
    EXPECT_TRUE(Debugged("_loadgif(" + Path("cut.gif") + ",,) create fail"));

    Bytes bent = png;
    bent[17] ^= 0xFF;  // the width in the IHDR: its CRC no longer matches
    WriteFile(Path("bent.png"), bent);
    EXPECT_EQ(g._loadpng(alpha, Path("bent.png").c_str(), KCM_R5G6B5, 0, nullptr), nullptr);
    EXPECT_TRUE(Debugged("_loadpng(" + Path("bent.png") + ",,) create fail"));
    for (size_t n = 0; n < png.size(); n += 5) {
        WriteFile(Path("cut.png"), Bytes(png.begin(), png.begin() + long(n)));
        EXPECT_EQ(g._loadpng(alpha, Path("cut.png").c_str(), KCM_R5G6B5, 0, nullptr), nullptr) << n;
    }

    // The sprite cache keeps nothing of a failed load.
    EXPECT_EQ(g.Load(Path("bent.png").c_str(), 0, nullptr), nullptr);
    EXPECT_EQ(g.GetSpriteManager()->GetCount(), 0u);
}

TEST_F(GifPngLoader, OtherColourModesGiveAClearedSprite)
{
    WriteFile(Path("a.gif"), gif);
    WriteFile(Path("b.png"), png);
    SPRITE_DATA* s = g._loadgif(alpha, Path("a.gif").c_str(), KCM_GRAY, 0, nullptr);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->width, 6);
    for (int x = 0; x < 6; x++)
        EXPECT_EQ(Px8(s, x, 4), 0);
    EXPECT_TRUE(Debugged("_loadgif() imperfection!"));
    g._releasesprite(s);
    s = g._loadpng(alpha, Path("b.png").c_str(), KCM_GRAY, 0, nullptr);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Px8(s, 6, 3), 0);
    EXPECT_TRUE(Debugged("_loadpng() imperfection!"));
    g._releasesprite(s);
}

}  // namespace

TEST_F(GifPngLoader, SmallFilesThatClaimHugePicturesCostLittle)
{
    // 32 bytes: a 16384 x 8192 screen and frame of one-bit pixels with no
    // data at all, which as a sprite would take 268 MB.
    Bytes tiny = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(tiny, 16384);
    Put16(tiny, 8192);
    tiny.insert(tiny.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255, 0x2C, 0, 0, 0, 0});
    Put16(tiny, 16384);
    Put16(tiny, 8192);
    tiny.insert(tiny.end(), {0, 2, 0, 0x3B});
    EXPECT_EQ(tiny.size(), 32u);
    // A PNG header of 100000 x 100000 with the file cut after its IHDR.
    Bytes huge = png;
    huge.resize(33);
    for (int i = 0; i < 2; i++) {
        huge[16 + 4 * i] = 0;
        huge[17 + 4 * i] = 0x01;
        huge[18 + 4 * i] = 0x86;
        huge[19 + 4 * i] = 0xA0;
    }
    const uint32_t crc = Crc32(huge.data() + 12, 17);
    for (int i = 0; i < 4; i++)
        huge[29 + i] = BYTE(crc >> (24 - 8 * i));
    WriteFile(Path("tiny.gif"), tiny);
    WriteFile(Path("huge.png"), huge);
    WriteFile(Path("t.zip"), StoredZip({{"tiny.gif", tiny}, {"huge.png", huge}}));
    ASSERT_TRUE(pack.Open(Path("t.zip").c_str()));
    for (const char* name : {"tiny.gif", "huge.png"}) {
        const AllocCounter counter;
        EXPECT_EQ(g.Load(Path(name).c_str(), 0, nullptr), nullptr) << name;
        EXPECT_EQ(g.Load(name, 0, &pack), nullptr) << name;
        if (AllocCounter::Available()) {
            EXPECT_LT(counter.Total(), size_t(4) << 20) << name;
        }
    }
    EXPECT_EQ(g.GetSpriteManager()->GetCount(), 0u);
}
