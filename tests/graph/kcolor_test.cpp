// Pixel packers, the host's pixel pointers and the flag word.
#include <gtest/gtest.h>
#include <doit.h>
#include "test_graph.h"

TEST(PixelPacking, PackersKeepTopBitsOfEachChannel)
{
    EXPECT_EQ(rgb_565(255, 255, 255), 0xFFFFu);
    EXPECT_EQ(rgb_565(255, 0, 0), 0xF800u);
    EXPECT_EQ(rgb_565(0, 0, 0), 0u);  // the colour key
    EXPECT_EQ(rgb_565(0, 255, 0), 0x07E0u);
    EXPECT_EQ(rgb_555(255, 255, 255), 0x7FFFu);
    EXPECT_EQ(rgb_555(0, 255, 0), 0x03E0u);
    EXPECT_EQ(rgb_888(1, 2, 3), 0x010203u);
    EXPECT_EQ(color16b_565(8, 4, 8), 0x0821);
    EXPECT_EQ(color16b_565(7, 3, 7), 0);  // each channel below its step packs to 0
    EXPECT_EQ(color16b_565(255, 255, 255), 0xFFFF);
    EXPECT_EQ(color16b_555(255, 255, 255), 0x7FFF);
    EXPECT_EQ(color16b_555(8, 8, 8), 0x0421);
}

TEST(PixelPacking, UnpackersLeaveLowBitsClear)
{
    EXPECT_EQ(color24b_565(0xFFFF), 0x00F8FCF8u);
    EXPECT_EQ(color24b_565(0x07E0), 0x0000FC00u);
    EXPECT_EQ(color24b_565(0xF800), 0x00F80000u);
    EXPECT_EQ(color24b_565(0x001F), 0x000000F8u);
    EXPECT_EQ(color24b_555(0x7FFF), 0x00F8F8F8u);
    EXPECT_EQ(color24b_555(0x8000), 0u);  // the unused bit is dropped
}

TEST(PixelPacking, EveryPixelSurvivesUnpackAndRepack)
{
    for (unsigned p = 0; p < 0x10000; p++) {
        unsigned long c = color24b_565(WORD(p));
        ASSERT_EQ(color16b_565(int(c >> 16), int((c >> 8) & 0xFF), int(c & 0xFF)), p);
        ASSERT_EQ(rgb_565(BYTE(c >> 16), BYTE(c >> 8), BYTE(c)), p);
    }
}

TEST(PixelPacking, RegisterColorFuncInstallsByMode)
{
    RegisterColorFunc(KCM_R5G6B5);
    EXPECT_EQ(rgb, &rgb_565);
    EXPECT_EQ(color16b, &color16b_565);
    EXPECT_EQ(color24b(0xFFFF), 0x00F8FCF8u);

    RegisterColorFunc(KCM_GRAY);  // changes nothing
    EXPECT_EQ(rgb, &rgb_565);
    EXPECT_EQ(color16b, &color16b_565);

    RegisterColorFunc(KCM_R8G8B8);  // changes only rgb
    EXPECT_EQ(rgb, &rgb_888);
    EXPECT_EQ(color16b, &color16b_565);

    RegisterColorFunc(KCM_A1R5G5B5);
    EXPECT_EQ(rgb, &rgb_555);
    EXPECT_EQ(color16b, &color16b_555);
    EXPECT_EQ(color24b(0x7FFF), 0x00F8F8F8u);

    RegisterColorFunc(false);  // only the 16-bit pair
    EXPECT_EQ(rgb, &rgb_555);
    EXPECT_EQ(color16b, &color16b_565);
    RegisterColorFunc(true);
    EXPECT_EQ(color16b, &color16b_555);
    RegisterColorFunc(KCM_R5G6B5);
}

TEST(PixelPacking, ColourModeDepthComesFromItsBits)
{
    EXPECT_EQ(KcmBitsPerPixel(KCM_R8G8B8), 24);
    EXPECT_EQ(KcmBitsPerPixel(KCM_A8R8G8B8), 32);
    EXPECT_EQ(KcmBitsPerPixel(KCM_X8R8G8B8), 32);
    for (auto cm : {KCM_R5G6B5, KCM_X1R5G5B5, KCM_A1R5G5B5, KCM_A4R4G4B4})
        EXPECT_EQ(KcmBitsPerPixel(cm), 16);
    EXPECT_EQ(KcmBitsPerPixel(KCM_P8), 8);
    EXPECT_EQ(KcmBitsPerPixel(KCM_GRAY), 8);
}

TEST(PixelPacking, R5G6B5ToA1R5G5B5KeepsTheKey)
{
    TestGraph g;
    EXPECT_EQ(g.R5G6B5_To_A1R5G5B5(0), 0);
    EXPECT_EQ(g.R5G6B5_To_A1R5G5B5(0xFFFF), 0xFFFF);
    EXPECT_EQ(g.R5G6B5_To_A1R5G5B5(0x0001), 0x8001);
    EXPECT_EQ(g.R5G6B5_To_A1R5G5B5(0x0020), 0x8000);  // lowest green bit is dropped
    EXPECT_EQ(g.R5G6B5_To_A1R5G5B5(0xF800), 0xFC00);
    EXPECT_EQ(g.R5G6B5_To_A1R5G5B5(0x07C0), 0x83E0);
}

TEST(FlagWord, SetClearAndTest)
{
    KState<DWORD> s;
    EXPECT_EQ(s.value, 0u);
    s.Set(0x5);
    s.Clr(0x1);
    EXPECT_FALSE(s.Has(0x1));
    EXPECT_TRUE(s.Has(0x6));
    (s += 0x80000000u) -= 0x4;
    EXPECT_EQ(s.value, 0x80000000u);

    KState<BYTE> b;
    EXPECT_EQ(b.SetState(0x81).GetState(), 0x81);
    KState<BYTE> copy = b;
    EXPECT_TRUE(copy.Has(0x80));
}
