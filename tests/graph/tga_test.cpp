// TGA: 32-bit Targa files into a colour sprite and a grey alpha sprite, and
// the headers and sizes the loader refuses.
#include <string>
#include "graph_fixture.h"
#include "picture_bytes.h"

namespace {

class TgaGraph : public TestGraph {
public:
    using KGraph::_loadtga;
};

const char* kFail = "KGraph::_loadtga(%) fail!";

class Tga : public PictureTest<TgaGraph> {
protected:
    Tga() : PictureTest("kestrel-tga-") {}
    SPRITE_DATA* Load(const char* name, const Bytes& bytes, SPRITE_DATA*& alpha,
                      KESTREL_COLOR_MODE mode = KCM_R5G6B5)
    {
        WriteFile(Path(name), bytes);
        alpha = nullptr;
        return g._loadtga(alpha, Path(name).c_str(), mode, 0, nullptr);
    }
};

TEST_F(Tga, ThirtyTwoBitFileGivesColourAndGreyAlphaBottomRowLast)
{
    const Bytes pixels = {
        0x00, 0x00, 0xFF, 0xFF,  0xFF, 0x00, 0x00, 0x80,  // bottom row: red, blue (alpha 0x80)
        0x00, 0xFF, 0x00, 0x00,  0x10, 0x20, 0x30, 0x40,  // top row
    };
    SPRITE_DATA* alpha = nullptr;
    SPRITE_DATA* s = Load("a.tga", TgaBytes(2, 2, pixels), alpha);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->kcm, KCM_GRAY);
    EXPECT_EQ(alpha->width, 2);
    EXPECT_EQ(alpha->height, 2);
    EXPECT_EQ(Px16(s, 0, 1), 0xF800);
    EXPECT_EQ(Px16(s, 1, 1), 0x001F);  // not premultiplied by its alpha
    EXPECT_EQ(Px16(s, 0, 0), 0x07E0);
    EXPECT_EQ(Px16(s, 1, 0), color16b_565(0x30, 0x20, 0x10));
    EXPECT_EQ(Px8(alpha, 0, 1), 0xFF);
    EXPECT_EQ(Px8(alpha, 1, 1), 0x80);
    EXPECT_EQ(Px8(alpha, 0, 0), 0x00);
    EXPECT_EQ(Px8(alpha, 1, 0), 0x40);
    g._releasesprite(alpha);
    g._releasesprite(s);
}

TEST_F(Tga, HeadersOtherThanUncompressed32BitBottomLeftAreRefused)
{
    const Bytes px(16, 0x55);
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"topleft.tga", TgaBytes(2, 2, px, 2, 32, 0x28)},
        {"24.tga", TgaBytes(2, 2, px, 2, 24, 0)},
        {"rle.tga", TgaBytes(2, 2, px, 10)},
        {"id.tga", TgaBytes(2, 2, px, 2, 32, 8, 3)},
        {"empty.tga", TgaBytes(0, 2, px)},
        {"head.tga", Bytes(17, 0)},
    };
    for (const auto& c : cases) {
        SPRITE_DATA* alpha = nullptr;
        EXPECT_EQ(Load(c.name, c.bytes, alpha), nullptr) << c.name;
        EXPECT_EQ(alpha, nullptr) << c.name;
        EXPECT_TRUE(Logged(kFail)) << c.name;
        Log();
    }
}

TEST_F(Tga, FileShorterThanItsPixelsFailsBeforeMakingAnything)
{
    SPRITE_DATA* alpha = nullptr;
    EXPECT_EQ(Load("cut.tga", TgaBytes(2, 2, Bytes(15, 0x55)), alpha), nullptr);
    EXPECT_EQ(alpha, nullptr);
    EXPECT_TRUE(Logged(kFail));
    EXPECT_EQ(Load("big.tga", TgaBytes(0xFFFF, 0xFFFF, Bytes(64, 0)), alpha), nullptr);
    EXPECT_TRUE(Logged(kFail));
}

TEST_F(Tga, MissingFileFailsWithTheTextAsItStands)
{
    SPRITE_DATA* alpha = nullptr;
    EXPECT_EQ(g._loadtga(alpha, Path("none.tga").c_str(), KCM_R5G6B5, 0, nullptr), nullptr);
    std::vector<kbase::LogEntry> log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, kbase::LogEntry::DebugLine);
    EXPECT_EQ(log[0].text, kFail);
}

TEST_F(Tga, GreyColourModeIsClearedWhileAlphaIsStillRead)
{
    SPRITE_DATA* alpha = nullptr;
    SPRITE_DATA* s = Load("g.tga", TgaBytes(1, 1, Bytes({1, 2, 3, 0x66})), alpha, KCM_GRAY);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(Px8(s, 0, 0), 0);
    EXPECT_EQ(Px8(alpha, 0, 0), 0x66);
    EXPECT_TRUE(Logged("_loadtga() imperfection!"));
    g._releasesprite(alpha);
    g._releasesprite(s);
}

}  // namespace
