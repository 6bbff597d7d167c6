// BMP: 24-bit bitmaps read into 16-bit sprites and written back, and files
// whose sizes do not hold up.
#include <string>
#include "graph_fixture.h"
#include "picture_bytes.h"

namespace {

class BmpGraph : public TestGraph {
public:
    using KGraph::_loadbmp;
    using KGraph::_savebmp;
};

class Bmp : public PictureTest<BmpGraph> {
protected:
    Bmp() : PictureTest("kestrel-bmp-") {}
    SPRITE_DATA* Load(const std::string& path, KESTREL_COLOR_MODE mode = KCM_R5G6B5,
                      DWORD flags = 0)
    {
        SPRITE_DATA* alpha = nullptr;
        SPRITE_DATA* s = g._loadbmp(alpha, path.c_str(), mode, flags);
        EXPECT_EQ(alpha, nullptr);
        return s;
    }
};

TEST_F(Bmp, ThreeByTwo24BitLoadsToExactR5G6B5BottomRowLast)
{
    // File rows: bottom row first, 9 pixel bytes (blue, green, red) + 3 padding.
    const Bytes pixels = {
        0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xAA, 0xBB, 0xCC,  // bottom
        0x08, 0x04, 0x08, 0xFF, 0xFF, 0xFF, 0x07, 0x03, 0x07, 0x00, 0x00, 0x00,  // top
    };
    WriteFile(Path("a.bmp"), BmpBytes(3, 2, 24, pixels));
    SPRITE_DATA* s = Load(Path("a.bmp"));
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->width, 3);
    ASSERT_EQ(s->height, 2);
    EXPECT_EQ(Px16(s, 0, 1), 0xF800);  // red
    EXPECT_EQ(Px16(s, 1, 1), 0x07E0);  // green
    EXPECT_EQ(Px16(s, 2, 1), 0x001F);  // blue
    EXPECT_EQ(Px16(s, 0, 0), 0x0821);  // (8, 4, 8): one step of each channel
    EXPECT_EQ(Px16(s, 1, 0), 0xFFFF);
    EXPECT_EQ(Px16(s, 2, 0), 0x0000);  // near black packs to the key value
    g._releasesprite(s);
}

TEST_F(Bmp, SavedSpriteLoadsBackWithTheSamePixels)
{
    // 13 pixels a row: eight at a time and a tail of five.
    SPRITE_DATA* s = g._createsprite(13, 3, KCM_R5G6B5, 0);
    for (long y = 0; y < 3; y++)
        for (long x = 0; x < 13; x++)
            *SpritePixel16(s, x, y) = WORD(0x1357 * (y * 13 + x + 1));
    g._savebmp(Path("r.bmp").c_str(), s);
    const Bytes file = ReadFile(Path("r.bmp"));
    EXPECT_EQ(file.size(), 54u + 40u * 3u);
    SPRITE_DATA* back = Load(Path("r.bmp"));
    ASSERT_NE(back, nullptr);
    for (long y = 0; y < 3; y++)
        for (long x = 0; x < 13; x++)
            EXPECT_EQ(Px16(back, x, y), Px16(s, x, y)) << x << "," << y;
    g._releasesprite(back);
    g._releasesprite(s);
}

TEST_F(Bmp, OnePixelSpriteWrites58BytesWithTheWholeHeader)
{
    SPRITE_DATA* s = g._createsprite(1, 1, KCM_R5G6B5, 0);
    *SpritePixel16(s, 0, 0) = 0xF81F;  // red and blue full
    g._savebmp(Path("one.bmp").c_str(), s);
    const Bytes f = ReadFile(Path("one.bmp"));
    ASSERT_EQ(f.size(), 58u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(Get32(f, 2), 58u);
    EXPECT_EQ(Get32(f, 6), 0u);
    EXPECT_EQ(Get32(f, 10), 54u);
    EXPECT_EQ(Get32(f, 14), 40u);
    EXPECT_EQ(Get32(f, 18), 1u);
    EXPECT_EQ(Get32(f, 22), 1u);
    EXPECT_EQ(f[26], 1);   // planes
    EXPECT_EQ(f[28], 24);  // bits
    EXPECT_EQ(Get32(f, 30), 0u);
    EXPECT_EQ(Get32(f, 34), 0u);
    EXPECT_EQ(Get32(f, 38), 72u);
    EXPECT_EQ(Get32(f, 42), 72u);
    EXPECT_EQ(Get32(f, 46), 0u);
    EXPECT_EQ(Get32(f, 50), 0u);
    EXPECT_EQ(Bytes(f.begin() + 54, f.end()), Bytes({0xF8, 0x00, 0xF8, 0xF8}));  // pad repeats
    g._releasesprite(s);
}

TEST_F(Bmp, HandleSaveWritesTheWholeBlockNotTheView)
{
    KSprite* whole = g.CreateSprite(4, 2, KCM_R5G6B5, 0);
    ASSERT_NE(whole, nullptr);
    whole->_line(0, 0, 3, 0, 0xFFFF);
    whole->_line(0, 1, 3, 1, 0x001F);
    RECT part = {1, 1, 2, 2};
    KSprite view(*whole, part);
    view.Save(Path("view.bmp").c_str());
    view.SaveBmp(Path("view2.bmp").c_str());
    EXPECT_EQ(ReadFile(Path("view.bmp")), ReadFile(Path("view2.bmp")));
    SPRITE_DATA* back = Load(Path("view.bmp"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->width, 4);
    EXPECT_EQ(back->height, 2);
    EXPECT_EQ(Px16(back, 0, 0), 0xFFFF);
    EXPECT_EQ(Px16(back, 3, 1), 0x001F);
    g._releasesprite(back);
    view.Release();
    g.ReleaseKSprite(whole);
}

TEST_F(Bmp, OtherDepthsAndMagicsAreNot24Bits)
{
    WriteFile(Path("8.bmp"), BmpBytes(2, 2, 8, Bytes(8, 0)));
    WriteFile(Path("32.bmp"), BmpBytes(2, 2, 32, Bytes(16, 0)));
    Bytes notBm = BmpBytes(1, 1, 24, Bytes(4, 0));
    notBm[0] = 'X';
    WriteFile(Path("x.bmp"), notBm);
    WriteFile(Path("cut.bmp"), Bytes({'B', 'M', 1, 2, 3}));
    for (const char* name : {"8.bmp", "32.bmp", "x.bmp", "cut.bmp"}) {
        EXPECT_EQ(Load(Path(name)), nullptr) << name;
        EXPECT_TRUE(Reported(-1, "_loadbmp(" + Path(name) + ",,):This Bmp File is not 24bits"))
            << name;
    }
}

TEST_F(Bmp, PixelAreaShorterThanTheRowsIsRefused)
{
    // Rows of 3 x 2 need 24 bytes: one missing from the file, or from the
    // area the header's file size leaves.
    WriteFile(Path("short.bmp"), BmpBytes(3, 2, 24, Bytes(23, 0)));
    WriteFile(Path("field.bmp"), BmpBytes(3, 2, 24, Bytes(24, 0), 54 + 20));
    WriteFile(Path("offset.bmp"), BmpBytes(3, 2, 24, Bytes(24, 0), 0xFFFFFFFF));
    // A header that claims a picture of 8 GB in a file of 60 bytes.
    WriteFile(Path("huge.bmp"), BmpBytes(60000, 40000, 24, Bytes(6, 0), 0xFFFFFFF0u));
    for (const char* name : {"short.bmp", "field.bmp", "huge.bmp"}) {
        EXPECT_EQ(Load(Path(name)), nullptr) << name;
        EXPECT_TRUE(Reported(-1, "_loadbmp(" + Path(name) + ",,):This Bmp File is not 24bits"))
            << name;
    }
    // A size field larger than the file is harmless when the rows are there.
    SPRITE_DATA* s = Load(Path("offset.bmp"));
    EXPECT_NE(s, nullptr);
    g._releasesprite(s);
}

TEST_F(Bmp, EmptyOrTopDownPicturesAreNotMadeIntoSprites)
{
    WriteFile(Path("zero.bmp"), BmpBytes(0, 2, 24, Bytes(8, 0)));
    WriteFile(Path("down.bmp"), BmpBytes(3, -2, 24, Bytes(24, 0)));
    EXPECT_EQ(Load(Path("zero.bmp")), nullptr);
    EXPECT_TRUE(Reported(-1, "_loadbmp(" + Path("zero.bmp") + ",,):_createsprite(0,2)"));
    EXPECT_EQ(Load(Path("down.bmp")), nullptr);
    EXPECT_TRUE(Reported(-1, "_loadbmp(" + Path("down.bmp") + ",,):_createsprite(3,-2)"));
}

TEST_F(Bmp, MissingFileReportsSevenAndUnwritableSaveToo)
{
    EXPECT_EQ(Load(Path("none.bmp")), nullptr);
    EXPECT_TRUE(Reported(7, "_loadbmp(" + Path("none.bmp") + ",,)"));
    SPRITE_DATA* s = g._createsprite(1, 1, KCM_R5G6B5, 0);
    const std::string bad = Path("no/such.bmp");
    g._savebmp(bad.c_str(), s);
    EXPECT_TRUE(Reported(7, "_savebmp(" + bad + ")"));
    g._releasesprite(s);
}

TEST_F(Bmp, GreyModesAreClearedAndNotWritten)
{
    WriteFile(Path("c.bmp"), BmpBytes(1, 1, 24, Bytes({9, 9, 9, 0})));
    SPRITE_DATA* s = Load(Path("c.bmp"), KCM_GRAY);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Px8(s, 0, 0), 0);
    EXPECT_TRUE(Logged("_loadbmp() imperfection!"));
    g._savebmp(Path("grey.bmp").c_str(), s);
    EXPECT_TRUE(Logged("_savebmp() imperfection!"));
    EXPECT_EQ(ReadFile(Path("grey.bmp")).size(), 54u);
    g._releasesprite(s);
}

}  // namespace
