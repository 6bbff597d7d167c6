// The GDI device's fill and blits: exact pixels, clipping, results and
// reports per slot, the sprite checks, and every slot against a per-pixel
// model over random sizes, positions and clip cases.
#include <algorithm>
#include <random>
#include <vector>

#include "blit.h"
#include "graph_fixture.h"

namespace {

class BlitDevice : public GraphTest<> {
protected:
    void TearDown() override
    {
        for (SPRITE_DATA*& s : m_made) g._releasesprite(s);
        DesktopTest::TearDown();
    }

    // A 16-bit sprite with every pixel, padding included, set to fill.
    SPRITE_DATA* New16(long w, long h, WORD fill = 0)
    {
        SPRITE_DATA* s = g._createsprite(w, h, KCM_R5G6B5, 0);
        for (long y = 0; y < h; ++y)
            for (long x = 0; x < s->alignwidth; ++x) *SpritePixel16(s, x, y) = fill;
        m_made.push_back(s);
        return s;
    }
    SPRITE_DATA* NewGrey(long w, long h, BYTE fill = 0)
    {
        SPRITE_DATA* s = g._createsprite(w, h, KCM_GRAY, 0);
        for (long y = 0; y < h; ++y) std::fill(s->lpRows[y], s->lpRows[y] + s->pitch, fill);
        m_made.push_back(s);
        return s;
    }
    // One row of a 16-bit sprite from a list.
    static void SetRow(SPRITE_DATA* s, long y, std::initializer_list<WORD> px)
    {
        long x = 0;
        for (WORD p : px) *SpritePixel16(s, x++, y) = p;
    }
    // Every pixel of the block, padding columns included, row by row.
    static std::vector<WORD> All16(SPRITE_DATA* s)
    {
        std::vector<WORD> v;
        for (long y = 0; y < s->height; ++y)
            for (long x = 0; x < s->alignwidth; ++x) v.push_back(Px16(s, x, y));
        return v;
    }
    static std::vector<WORD> Row(SPRITE_DATA* s, long y)
    {
        std::vector<WORD> v;
        for (long x = 0; x < s->width; ++x) v.push_back(Px16(s, x, y));
        return v;
    }
    // The one report logged since the last look, or "" when there is none.
    std::string OnlyReport()
    {
        std::vector<kbase::LogEntry> log = Log();
        if (log.size() != 1 || log[0].kind != kbase::LogEntry::Report) return log.empty() ? "" : "?";
        return log[0].text + "=" + std::to_string(log[0].code);
    }

    std::vector<SPRITE_DATA*> m_made;
};

}  // namespace

// ---- fill ----

TEST_F(BlitDevice, ClearClipsANegativeCornerToTheSprite)
{
    SPRITE_DATA* s = New16(6, 4, 0x1111);
    EXPECT_EQ(g._clearsprite(s, -5, -5, 3, 2, 0xABCD), 0);
    EXPECT_EQ(Row(s, 0), (std::vector<WORD>{0xABCD, 0xABCD, 0xABCD, 0x1111, 0x1111, 0x1111}));
    EXPECT_EQ(Row(s, 1), (std::vector<WORD>{0xABCD, 0xABCD, 0xABCD, 0x1111, 0x1111, 0x1111}));
    EXPECT_EQ(Row(s, 2), std::vector<WORD>(6, 0x1111));
    EXPECT_EQ(OnlyReport(), "");
}

TEST_F(BlitDevice, ClearResultsAboveLeftAndEmpty)
{
    SPRITE_DATA* s = New16(6, 4, 0x1111);
    EXPECT_EQ(g._clearsprite(s, 0, 0, -1, 3, 0), E_FAIL);
    EXPECT_EQ(g._clearsprite(s, 0, 0, 3, -1, 0), E_FAIL);
    EXPECT_EQ(OnlyReport(), "");
    EXPECT_EQ(g._clearsprite(s, 2, 0, 2, 3, 0), 2);
    EXPECT_EQ(OnlyReport(), "_clearsprite_gdi=2");
    EXPECT_EQ(g._clearsprite(s, 6, 0, 9, 3, 0), 2);   // wholly right of the sprite
    EXPECT_EQ(OnlyReport(), "_clearsprite_gdi=2");
    EXPECT_EQ(All16(s), std::vector<WORD>(8 * 4, 0x1111));
}

TEST_F(BlitDevice, ClearOfOneTwoThreeAndWideRowsSetsExactlyThosePixels)
{
    for (long w = 1; w <= 13; ++w) {
        SPRITE_DATA* s = New16(16, 3, 0x1111);
        EXPECT_EQ(g._clearsprite(s, 1, 1, 1 + w, 2, 0x00FF0F0F), 0);
        for (long x = 0; x < 16; ++x) {
            EXPECT_EQ(Px16(s, x, 0), 0x1111);
            EXPECT_EQ(Px16(s, x, 1), (x >= 1 && x < 1 + w) ? 0x0F0F : 0x1111) << w << " " << x;
            EXPECT_EQ(Px16(s, x, 2), 0x1111);
        }
    }
}

TEST_F(BlitDevice, ClearBeyondTheSpriteStopsAtItsEdgeAndSparesThePadding)
{
    SPRITE_DATA* s = New16(5, 3, 0x1111);
    EXPECT_EQ(g._clearsprite(s, 2, 1, 100, 100, 0x2222), 0);
    const std::vector<WORD> top(8, 0x1111);
    const std::vector<WORD> rest{0x1111, 0x1111, 0x2222, 0x2222, 0x2222, 0x1111, 0x1111, 0x1111};
    std::vector<WORD> expect = top;
    expect.insert(expect.end(), rest.begin(), rest.end());
    expect.insert(expect.end(), rest.begin(), rest.end());
    EXPECT_EQ(All16(s), expect);
}

// A grey sprite has one byte a pixel: the fill writes the low byte of the
// colour and nothing past the rectangle.
TEST_F(BlitDevice, ClearOfAGreySpriteFillsBytes)
{
    SPRITE_DATA* s = NewGrey(6, 2, 0x11);
    EXPECT_EQ(g._clearsprite(s, 1, 0, 4, 2, 0x1280), 0);
    for (long y = 0; y < 2; ++y)
        for (long x = 0; x < 8; ++x) EXPECT_EQ(Px8(s, x, y), (x >= 1 && x < 4) ? 0x80 : 0x11) << x;
    EXPECT_EQ(g._clearsprite(s, 0, 0, 100, 100, 0xFF), 0);
    for (long x = 0; x < 6; ++x) EXPECT_EQ(Px8(s, x, 1), 0xFF);
    EXPECT_EQ(Px8(s, 6, 1), 0x11);
    EXPECT_EQ(Px8(s, 7, 1), 0x11);
}

TEST_F(BlitDevice, ClearOfNoSpriteAssertsAndFails)
{
    EXPECT_EQ(g._clearsprite(nullptr, 0, 0, 1, 1, 0), E_FAIL);
    EXPECT_TRUE(Asserted("lps"));
}

// ---- plain and colour-keyed copies ----

TEST_F(BlitDevice, BlitToNegativeXSkipsTheFirstSourceColumns)
{
    SPRITE_DATA* src = New16(6, 1);
    SetRow(src, 0, {1, 2, 3, 4, 5, 6});
    SPRITE_DATA* dst = New16(8, 2, 0x7777);
    EXPECT_EQ(g._bltsprite(dst, -3, 1, src, 0, 0, 6, 1), 0);
    EXPECT_EQ(Row(dst, 1), (std::vector<WORD>{4, 5, 6, 0x7777, 0x7777, 0x7777, 0x7777, 0x7777}));
    EXPECT_EQ(Row(dst, 0), std::vector<WORD>(8, 0x7777));
}

TEST_F(BlitDevice, BlitWhollyOutsideReturnsTwoSilently)
{
    SPRITE_DATA* src = New16(4, 4, 9);
    SPRITE_DATA* dst = New16(8, 8, 0);
    EXPECT_EQ(g._bltsprite(dst, 8, 0, src, 0, 0, 4, 4), 2);
    EXPECT_EQ(g._bltsprite(dst, -4, 0, src, 0, 0, 4, 4), 2);
    EXPECT_EQ(g._bltsprite(dst, 0, -10, src, 0, 0, 4, 4), 2);
    EXPECT_EQ(g._bltsprite_ck(dst, 0, 8, src, 0, 0, 4, 4), 2);
    EXPECT_EQ(g._bltsprite(dst, 0, 0, src, 2, 0, 2, 4), 2);   // r = l
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(All16(dst), std::vector<WORD>(64, 0));
}

TEST_F(BlitDevice, BlitPastTheSourceEdgeCopiesOnlyUpToIt)
{
    SPRITE_DATA* src = New16(3, 2);
    SetRow(src, 0, {1, 2, 3});
    SetRow(src, 1, {4, 5, 6});
    SPRITE_DATA* dst = New16(6, 3, 0x7777);
    EXPECT_EQ(g._bltsprite(dst, 1, 0, src, 1, 0, 10, 10), 0);
    EXPECT_EQ(Row(dst, 0), (std::vector<WORD>{0x7777, 2, 3, 0x7777, 0x7777, 0x7777}));
    EXPECT_EQ(Row(dst, 1), (std::vector<WORD>{0x7777, 5, 6, 0x7777, 0x7777, 0x7777}));
    EXPECT_EQ(Row(dst, 2), std::vector<WORD>(6, 0x7777));
}

TEST_F(BlitDevice, ColourKeyedBlitSkipsZeroAndDrawsTrueBlackOne)
{
    SPRITE_DATA* src = New16(4, 1);
    SetRow(src, 0, {0x1234, 0, 1, 0});
    SPRITE_DATA* dst = New16(4, 1, 0x5555);
    EXPECT_EQ(g._bltsprite_ck(dst, 0, 0, src, 0, 0, 2, 1), 0);
    EXPECT_EQ(Row(dst, 0), (std::vector<WORD>{0x1234, 0x5555, 0x5555, 0x5555}));
    EXPECT_EQ(g._bltsprite_ck(dst, 0, 0, src, 0, 0, 4, 1), 0);
    EXPECT_EQ(Row(dst, 0), (std::vector<WORD>{0x1234, 0x5555, 1, 0x5555}));
}

// Callers keep the source's top-left inside it; one that does not loses the
// columns and rows before the source instead of reading before it.
TEST_F(BlitDevice, SourceRectangleStartingBeforeTheSourceIsClippedToIt)
{
    SPRITE_DATA* src = New16(3, 1);
    SetRow(src, 0, {1, 2, 3});
    SPRITE_DATA* dst = New16(6, 2, 0x7777);
    EXPECT_EQ(g._bltsprite(dst, 0, 0, src, -2, -1, 3, 1), 0);
    EXPECT_EQ(Row(dst, 0), std::vector<WORD>(6, 0x7777));
    EXPECT_EQ(Row(dst, 1), (std::vector<WORD>{0x7777, 0x7777, 1, 2, 3, 0x7777}));
}

TEST_F(BlitDevice, BlitsOfMissingSpritesAssertAndDrawNothing)
{
    SPRITE_DATA* s = New16(4, 4);
    EXPECT_EQ(g._bltsprite(nullptr, 0, 0, s, 0, 0, 4, 4), 2);
    EXPECT_TRUE(Asserted("dst"));
    EXPECT_EQ(g._bltsprite_ck(s, 0, 0, nullptr, 0, 0, 4, 4), 2);
    EXPECT_TRUE(Asserted("src"));
}

// ---- grey sprites where 16-bit ones are expected ----

TEST_F(BlitDevice, SixteenBitBlitsRefuseGreySprites)
{
    SPRITE_DATA* c = New16(8, 8, 0x1234);
    SPRITE_DATA* grey = NewGrey(8, 8, 0x55);
    EXPECT_EQ(g._bltsprite(grey, 0, 0, c, 0, 0, 8, 8), 2);
    EXPECT_EQ(g._bltsprite(c, 0, 0, grey, 0, 0, 8, 8), 2);
    EXPECT_EQ(g._bltsprite_ck(grey, 0, 0, c, 0, 0, 8, 8), 2);
    EXPECT_EQ(g._bltsprite_zoom(grey, 0, 0, 8, 8, c, 0, 0, 8, 8), 2);
    EXPECT_EQ(g._bltsprite_zoom_ck(c, 0, 0, 8, 8, grey, 0, 0, 8, 8), 2);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(g._bltsprite_alpha(grey, 0, 0, c, 0, 0, 8, 8, BYTE(128)), 2);
    EXPECT_EQ(OnlyReport(), "_bltsprite_alpha=2");
    EXPECT_EQ(g._bltsprite_alpha_ck(c, 0, 0, grey, 0, 0, 8, 8, BYTE(128)), 2);
    EXPECT_EQ(OnlyReport(), "_bltsprite_alpha_ck=2");
    EXPECT_EQ(g._bltsprite_additive(grey, 0, 0, c, 0, 0, 8, 8, BYTE(0)), 2);
    EXPECT_EQ(OnlyReport(), "_bltsprite_additive=2");
    EXPECT_EQ(g._bltsprite_alpha(grey, 0, 0, c, 0, 0, 8, 8, grey, 0, 0), 2);
    EXPECT_EQ(OnlyReport(), "_bltsprite_alpha=2");
    for (long y = 0; y < 8; ++y)
        for (long x = 0; x < 8; ++x) ASSERT_EQ(Px8(grey, x, y), 0x55);
    EXPECT_EQ(All16(c), std::vector<WORD>(64, 0x1234));
}

TEST_F(BlitDevice, ColourBlendAssertsOnAGreyDestinationAndRefusesIt)
{
    SPRITE_DATA* grey = NewGrey(8, 8, 0x55);
    SPRITE_DATA* alpha = NewGrey(8, 8, 0xFF);
    EXPECT_EQ(g._bltsprite_alpha(grey, 0, 0, DWORD(0xFFFF), 0, 0, 8, 8, alpha, 0, 0), 2);
    EXPECT_TRUE(Asserted("dst->kcm == KCM_R5G6B5"));
    EXPECT_TRUE(Logged("_bltsprite_alpha"));
    EXPECT_EQ(Px8(grey, 0, 0), 0x55);

    SPRITE_DATA* c = New16(8, 8, 0);
    SPRITE_DATA* notGrey = New16(8, 8, 0xFFFF);
    EXPECT_EQ(g._bltsprite_alpha(c, 0, 0, DWORD(0xFFFF), 0, 0, 8, 8, notGrey, 0, 0), 2);
    EXPECT_TRUE(Asserted("alpha->kcm == KCM_GRAY"));
    EXPECT_EQ(g._bltsprite_alpha(c, 0, 0, notGrey, 0, 0, 8, 8, notGrey, 0, 0), 2);
    EXPECT_EQ(All16(c), std::vector<WORD>(64, 0));
}

TEST_F(BlitDevice, AlphaSpriteBlitsOfMissingSpritesAssert)
{
    SPRITE_DATA* c = New16(4, 4);
    EXPECT_EQ(g._bltsprite_alpha(c, 0, 0, c, 0, 0, 4, 4, nullptr, 0, 0), 2);
    EXPECT_TRUE(Asserted("dst != NULL && src != NULL && alpha != NULL"));
    EXPECT_EQ(g._bltsprite_alpha(nullptr, 0, 0, DWORD(0), 0, 0, 4, 4, nullptr, 0, 0), 2);
    EXPECT_TRUE(Asserted("dst != NULL && alpha != NULL"));
    EXPECT_EQ(g._bltsprite_additive(c, 0, 0, nullptr, 0, 0, 4, 4, 0), 2);
    EXPECT_TRUE(Logged("_bltsprite_additive"));
}

// ---- blends ----

TEST_F(BlitDevice, ConstantAlphaAtFullHalfAndNone)
{
    SPRITE_DATA* white = New16(5, 3, 0xFFFF);
    SPRITE_DATA* src = New16(5, 3, 0);
    for (long y = 0; y < 3; ++y) SetRow(src, y, {1, 0x1234, 0xF800, 0x07E0, 0x001F});
    SPRITE_DATA* a = New16(5, 3, 0x4321);
    SPRITE_DATA* b = New16(5, 3, 0x4321);
    EXPECT_EQ(g._bltsprite_alpha(a, 0, 0, src, 0, 0, 5, 3, BYTE(255)), 0);
    EXPECT_EQ(g._bltsprite(b, 0, 0, src, 0, 0, 5, 3), 0);
    EXPECT_EQ(All16(a), All16(b));

    SPRITE_DATA* c = New16(5, 3, 0x4321);
    EXPECT_EQ(g._bltsprite_alpha(c, 0, 0, src, 0, 0, 5, 3, BYTE(0)), 0);
    EXPECT_EQ(All16(c), std::vector<WORD>(8 * 3, 0x4321));

    SPRITE_DATA* black = New16(5, 3, 0);
    EXPECT_EQ(g._bltsprite_alpha(black, 0, 0, white, 0, 0, 5, 3, BYTE(128)), 0);
    for (long y = 0; y < 3; ++y) EXPECT_EQ(Row(black, y), std::vector<WORD>(5, 0x8410));
    EXPECT_TRUE(Log().empty());
}

TEST_F(BlitDevice, BlendsWithAnEmptyRectangleReturnZeroWithoutReport)
{
    SPRITE_DATA* s = New16(4, 4, 0xFFFF);
    SPRITE_DATA* d = New16(4, 4, 0);
    SPRITE_DATA* alpha = NewGrey(4, 4, 0xFF);
    EXPECT_EQ(g._bltsprite_alpha(d, 0, 0, s, 2, 0, 2, 4, BYTE(128)), 0);
    EXPECT_EQ(g._bltsprite_alpha_ck(d, 0, 0, s, 0, 3, 4, 1, BYTE(128)), 0);
    EXPECT_EQ(g._bltsprite_additive(d, 100, 100, s, 3, 0, 1, 4, BYTE(0)), 0);
    EXPECT_EQ(g._bltsprite_alpha(d, 0, 0, s, 0, 0, 0, 4, alpha, 0, 0), 0);
    EXPECT_EQ(g._bltsprite_alpha(d, 0, 0, DWORD(0xFFFF), 0, 0, 4, 0, alpha, 0, 0), 0);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(All16(d), std::vector<WORD>(16, 0));
}

// A blend that lands wholly off the destination (a sprite moved off the
// screen) draws nothing and returns 2, as the copies do, without a report:
// nothing is wrong. One whose source rectangle leaves the source, or its
// alpha sprite, is still a caller's mistake and reported.
TEST_F(BlitDevice, BlendsWhollyOffTheDestinationReturnTwoWithoutAReport)
{
    SPRITE_DATA* s = New16(4, 4, 0xFFFF);
    SPRITE_DATA* d = New16(4, 4, 0);
    SPRITE_DATA* alpha = NewGrey(4, 4, 0xFF);
    EXPECT_EQ(g._bltsprite_alpha(d, 4, 0, s, 0, 0, 4, 4, BYTE(128)), 2);
    EXPECT_EQ(g._bltsprite_alpha_ck(d, 0, -4, s, 0, 0, 4, 4, BYTE(128)), 2);
    EXPECT_EQ(g._bltsprite_additive(d, -9, 0, s, 0, 0, 4, 4, BYTE(0)), 2);
    EXPECT_EQ(g._bltsprite_alpha(d, 0, 4, s, 0, 0, 4, 4, alpha, 0, 0), 2);
    EXPECT_EQ(g._bltsprite_alpha(d, 4, 2, DWORD(0xFFFF), 0, 0, 4, 4, alpha, 0, 0), 2);
    EXPECT_EQ(OnlyReport(), "");
    EXPECT_EQ(g._bltsprite_alpha(d, 0, 0, DWORD(0xFFFF), 4, 0, 8, 4, alpha, 4, 0), 2);
    EXPECT_EQ(OnlyReport(), "_bltsprite_alpha=2");
    EXPECT_EQ(g._bltsprite_alpha(d, 0, 0, s, 4, 0, 8, 4, BYTE(128)), 2);
    EXPECT_EQ(OnlyReport(), "_bltsprite_alpha=2");
    EXPECT_EQ(All16(d), std::vector<WORD>(16, 0));
}

TEST_F(BlitDevice, KeyedConstantAlphaLeavesTheDestinationUnderZero)
{
    SPRITE_DATA* src = New16(4, 1);
    SetRow(src, 0, {0xFFFF, 0, 0xFFFF, 0});
    SPRITE_DATA* d = New16(4, 1, 0);
    SetRow(d, 0, {0, 0x1234, 0, 0x4321});
    EXPECT_EQ(g._bltsprite_alpha_ck(d, 0, 0, src, 0, 0, 4, 1, BYTE(128)), 0);
    EXPECT_EQ(Row(d, 0), (std::vector<WORD>{0x8410, 0x1234, 0x8410, 0x4321}));
    EXPECT_EQ(g._bltsprite_alpha_ck(d, 0, 0, src, 0, 0, 4, 1, BYTE(255)), 0);
    EXPECT_EQ(Row(d, 0), (std::vector<WORD>{0xFFFF, 0x1234, 0xFFFF, 0x4321}));
}

TEST_F(BlitDevice, AlphaSpriteStaysInRegisterWhenTheBlitIsClippedLeft)
{
    SPRITE_DATA* src = New16(4, 1, 0xFFFF);
    SPRITE_DATA* alpha = NewGrey(6, 1);
    const BYTE levels[] = {0, 0, 255, 128, 0, 255};
    for (long x = 0; x < 6; ++x) alpha->lpRows[0][x] = levels[x];
    SPRITE_DATA* d = New16(4, 1, 0);
    // Columns 0 and 1 fall off the left; the picture's column 2 meets level ax + 2.
    EXPECT_EQ(g._bltsprite_alpha(d, -2, 0, src, 0, 0, 4, 1, alpha, 1, 0), 0);
    EXPECT_EQ(Row(d, 0), (std::vector<WORD>{0x8410, 0, 0, 0}));
    SPRITE_DATA* e = New16(4, 1, 0);
    EXPECT_EQ(g._bltsprite_alpha(e, -2, 0, DWORD(0xFFFF), 0, 0, 4, 1, alpha, 2, 0), 0);
    EXPECT_EQ(Row(e, 0), (std::vector<WORD>{0, 0xFFFF, 0, 0}));
}

// A smaller alpha sprite than the rectangle: only the part it covers is drawn.
TEST_F(BlitDevice, AlphaSpriteBlitsClipToTheAlphaSprite)
{
    SPRITE_DATA* src = New16(8, 8, 0xFFFF);
    SPRITE_DATA* alpha = NewGrey(3, 2, 255);
    SPRITE_DATA* d = New16(8, 8, 0);
    EXPECT_EQ(g._bltsprite_alpha(d, 0, 0, src, 0, 0, 8, 8, alpha, 1, 0), 0);
    for (long y = 0; y < 8; ++y)
        for (long x = 0; x < 8; ++x) ASSERT_EQ(Px16(d, x, y), (x < 2 && y < 2) ? 0xFFFF : 0) << x << y;

    // The smooth font's form, with a view of the alpha sprite further in.
    SPRITE_DATA* e = New16(8, 8, 0);
    EXPECT_EQ(g._bltsprite_alpha(e, 1, 1, DWORD(0x1234), 0, 0, 3, 2, alpha, 2, 1), 0);
    for (long y = 0; y < 8; ++y)
        for (long x = 0; x < 8; ++x) ASSERT_EQ(Px16(e, x, y), (x == 1 && y == 1) ? 0x1234 : 0) << x << y;

    EXPECT_EQ(g._bltsprite_alpha(e, 0, 0, src, 0, 0, 8, 8, alpha, 3, 0), 2);
    EXPECT_EQ(OnlyReport(), "_bltsprite_alpha=2");
    EXPECT_EQ(g._bltsprite_alpha(e, 0, 0, DWORD(0), 0, 0, 3, 2, alpha, 0, 2), 2);
    EXPECT_EQ(OnlyReport(), "_bltsprite_alpha=2");
}

TEST_F(BlitDevice, AdditiveAtLevelZeroOf8410Onto8410IsWhite)
{
    SPRITE_DATA* s = New16(3, 2, 0x8410);
    SPRITE_DATA* d = New16(3, 2, 0x8410);
    EXPECT_EQ(g._bltsprite_additive(d, 0, 0, s, 0, 0, 3, 2, BYTE(0)), 0);
    EXPECT_EQ(All16(d), (std::vector<WORD>{0xFFFF, 0xFFFF, 0xFFFF, 0x8410, 0xFFFF, 0xFFFF, 0xFFFF, 0x8410}));
    SPRITE_DATA* e = New16(1, 1, 0x1082);
    SPRITE_DATA* f = New16(1, 1, 0x4208);
    EXPECT_EQ(g._bltsprite_additive(e, 0, 0, f, 0, 0, 1, 1, BYTE(8)), 0);
    EXPECT_EQ(Px16(e, 0, 0), 0x5249);
}

// ---- scaled copies ----

// Column i samples source column floor(i * sw / w), row j source row
// floor(j * sh / h): 4 x 4 to 8 x 8 repeats every pixel as a 2 x 2 block,
// 8 x 8 to 4 x 4 takes the even columns and rows. Around the rectangle the
// destination keeps its colour.
TEST_F(BlitDevice, ZoomSamplesTheNearestSourcePixel)
{
    struct Row {
        const char* what;
        long sw, sh;          // source size, its pixels numbered 1, 2, ... row by row
        long dw, dh;          // destination sprite
        long x, y, w, h;      // destination rectangle
    } table[] = {
        {"up: 4x4 to 8x8", 4, 4, 10, 10, 1, 1, 8, 8},
        {"down: 8x8 to 4x4", 8, 8, 4, 4, 0, 0, 4, 4},
        {"uneven: 3x5 to 7x4", 3, 5, 9, 6, 1, 2, 7, 4},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        SPRITE_DATA* src = New16(row.sw, row.sh);
        for (long y = 0; y < row.sh; ++y)
            for (long x = 0; x < row.sw; ++x) *SpritePixel16(src, x, y) = WORD(1 + y * row.sw + x);
        SPRITE_DATA* d = New16(row.dw, row.dh, 0x7777);
        EXPECT_EQ(g._bltsprite_zoom(d, row.x, row.y, row.w, row.h, src, 0, 0, row.sw, row.sh), 0);
        for (long y = 0; y < row.dh; ++y)
            for (long x = 0; x < row.dw; ++x) {
                const long i = x - row.x, j = y - row.y;
                const bool in = i >= 0 && i < row.w && j >= 0 && j < row.h;
                const WORD expect = in ? WORD(1 + j * row.sh / row.h * row.sw + i * row.sw / row.w) : 0x7777;
                ASSERT_EQ(Px16(d, x, y), expect) << "at " << x << "," << y;
            }
    }
}

TEST_F(BlitDevice, ZoomOfNothingAndTheScaledBlendDrawNothing)
{
    SPRITE_DATA* src = New16(4, 4, 0x1234);
    SPRITE_DATA* d = New16(4, 4, 0);
    EXPECT_EQ(g._bltsprite_zoom(d, 0, 0, 0, 4, src, 0, 0, 4, 4), 0);
    EXPECT_EQ(g._bltsprite_zoom_ck(d, 0, 0, 4, -1, src, 0, 0, 4, 4), 0);
    EXPECT_EQ(g._bltsprite_zoom_alpha(d, 0, 0, 4, 4, src, 0, 0, 4, 4, BYTE(255)), 0);
    EXPECT_EQ(All16(d), std::vector<WORD>(16, 0));
    EXPECT_TRUE(Log().empty());
}

TEST_F(BlitDevice, KeyedZoomSkipsZero)
{
    SPRITE_DATA* src = New16(2, 1);
    SetRow(src, 0, {0, 0x1234});
    SPRITE_DATA* d = New16(4, 1, 0x5555);
    EXPECT_EQ(g._bltsprite_zoom_ck(d, 0, 0, 4, 1, src, 0, 0, 2, 1), 0);
    EXPECT_EQ(Row(d, 0), (std::vector<WORD>{0x5555, 0x5555, 0x1234, 0x1234}));
}

// Scaled rectangles that leave their sprites: the destination is clipped
// with the sampling kept in place; a source rectangle outside is refused.
TEST_F(BlitDevice, ZoomOutsideItsSpritesNeverReadsOrWritesPastThem)
{
    SPRITE_DATA* src = New16(4, 1);
    SetRow(src, 0, {1, 2, 3, 4});
    SPRITE_DATA* d = New16(6, 1, 0);
    EXPECT_EQ(g._bltsprite_zoom(d, -3, 0, 8, 1, src, 0, 0, 4, 1), 0);
    EXPECT_EQ(Row(d, 0), (std::vector<WORD>{2, 3, 3, 4, 4, 0}));
    EXPECT_EQ(g._bltsprite_zoom(d, 3, 0, 8, 1, src, 0, 0, 4, 1), 0);
    EXPECT_EQ(Row(d, 0), (std::vector<WORD>{2, 3, 3, 1, 1, 2}));
    EXPECT_EQ(g._bltsprite_zoom(d, 6, 0, 8, 1, src, 0, 0, 4, 1), 2);
    EXPECT_EQ(g._bltsprite_zoom(d, 0, 0, 6, 1, src, 1, 0, 4, 1), E_FAIL);
    EXPECT_EQ(g._bltsprite_zoom(d, 0, 0, 6, 1, src, -1, 0, 2, 1), E_FAIL);
    EXPECT_EQ(g._bltsprite_zoom_ck(d, 0, 0, 6, 1, src, 0, 0, 4, 2), E_FAIL);
    EXPECT_EQ(g._bltsprite_zoom(d, 0, 0, 6, 1, src, 0, 0, 0, 1), E_FAIL);
    EXPECT_EQ(Row(d, 0), (std::vector<WORD>{2, 3, 3, 1, 1, 2}));
}

// ---- every slot against a per-pixel model ----

namespace {

// The blit family's rule for one pixel of the asked rectangle: drawn when
// the destination pixel, the source pixel (slot 18: column l + i and row
// t + j of the alpha sprite's frame) and the level all lie in their sprites.
struct Model {
    std::vector<WORD> px;     // the destination, alignwidth x height
    long aw, w, h;
    bool drawn = false;
    bool Inside(long x, long y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    WORD& At(long x, long y) { return px[size_t(y * aw + x)]; }
};

enum Slot { kBlt, kBltCk, kAlphaConst, kAlphaCk, kAdditive, kAlphaSprite, kAlphaColour, kZoom, kZoomCk };

}  // namespace

TEST_F(BlitDevice, EverySlotMatchesThePerPixelModelOverRandomClips)
{
    std::mt19937 rng(2024);
    auto pick = [&](long lo, long hi) { return lo + long(rng() % unsigned(hi - lo + 1)); };
    auto fillRandom = [&](SPRITE_DATA* s) {
        for (long y = 0; y < s->height; ++y)
            for (long x = 0; x < s->alignwidth; ++x)
                *SpritePixel16(s, x, y) = (rng() % 4 == 0) ? 0 : WORD(rng());
    };
    for (int iter = 0; iter < 12000; ++iter) {
        const Slot slot = Slot(iter % 9);
        SPRITE_DATA* dst = New16(pick(1, 40), pick(1, 24));
        SPRITE_DATA* src = New16(pick(1, 40), pick(1, 24));
        SPRITE_DATA* alpha = NewGrey(pick(1, 40), pick(1, 24));
        fillRandom(dst);
        fillRandom(src);
        for (long y = 0; y < alpha->height; ++y)
            for (long x = 0; x < alpha->alignwidth; ++x) {
                const unsigned k = rng() % 3;
                alpha->lpRows[y][x] = k == 0 ? 0 : k == 1 ? 255 : BYTE(rng());
            }
        const long x = pick(-12, dst->width + 1), y = pick(-8, dst->height + 1);
        // Mostly inside the source, sometimes past it, rarely before it.
        const long l = rng() % 10 == 0 ? pick(-4, -1) : pick(0, src->width);
        const long t = rng() % 10 == 0 ? pick(-4, -1) : pick(0, src->height);
        const long r = l + pick(-1, 48), b = t + pick(-1, 30);
        const long ax = rng() % 8 == 0 ? pick(-3, -1) : pick(0, alpha->width / 2);
        const long ay = rng() % 8 == 0 ? pick(-3, -1) : pick(0, alpha->height / 2);
        const BYTE level = BYTE(rng() % 4 == 0 ? (rng() % 2 ? 255 : 0) : rng());
        const WORD colour = WORD(rng());

        Model m{All16(dst), dst->alignwidth, dst->width, dst->height};
        long got = 0, expect = 0;
        if (slot == kZoom || slot == kZoomCk) {
            const long w = pick(-1, 50), h = pick(-1, 30);
            const long sx = pick(-1, src->width - 1), sy = pick(-1, src->height - 1);
            const long sw = pick(0, src->width + 1 - std::max(sx, 0L)), sh = pick(0, src->height + 1 - std::max(sy, 0L));
            const bool key = slot == kZoomCk;
            got = key ? g._bltsprite_zoom_ck(dst, x, y, w, h, src, sx, sy, sw, sh)
                      : g._bltsprite_zoom(dst, x, y, w, h, src, sx, sy, sw, sh);
            if (w <= 0 || h <= 0) {
                expect = 0;
            } else if (sx < 0 || sy < 0 || sw < 1 || sh < 1 || sx + sw > src->width || sy + sh > src->height) {
                expect = E_FAIL;
            } else {
                for (long j = 0; j < h; ++j)
                    for (long i = 0; i < w; ++i) {
                        if (!m.Inside(x + i, y + j)) continue;
                        m.drawn = true;
                        const WORD s = Px16(src, sx + i * sw / w, sy + j * sh / h);
                        if (!key || s) m.At(x + i, y + j) = s;
                    }
                expect = m.drawn ? 0 : 2;
            }
        } else {
            switch (slot) {
            case kBlt: got = g._bltsprite(dst, x, y, src, l, t, r, b); break;
            case kBltCk: got = g._bltsprite_ck(dst, x, y, src, l, t, r, b); break;
            case kAlphaConst: got = g._bltsprite_alpha(dst, x, y, src, l, t, r, b, level); break;
            case kAlphaCk: got = g._bltsprite_alpha_ck(dst, x, y, src, l, t, r, b, level); break;
            case kAdditive: got = g._bltsprite_additive(dst, x, y, src, l, t, r, b, level); break;
            case kAlphaSprite: got = g._bltsprite_alpha(dst, x, y, src, l, t, r, b, alpha, ax, ay); break;
            default: got = g._bltsprite_alpha(dst, x, y, DWORD(colour), l, t, r, b, alpha, ax, ay); break;
            }
            const WORD k = kblit::AdditiveKey(level);
            for (long j = 0; j < b - t; ++j)
                for (long i = 0; i < r - l; ++i) {
                    const long dx = x + i, dy = y + j, sx = l + i, sy = t + j;
                    if (!m.Inside(dx, dy)) continue;
                    const bool usesLevels = slot == kAlphaSprite || slot == kAlphaColour;
                    if (usesLevels && (ax + i < 0 || ay + j < 0 || ax + i >= alpha->width || ay + j >= alpha->height))
                        continue;
                    if (slot == kAlphaColour) {
                        if (sx >= alpha->width || sy >= alpha->height) continue;
                    } else if (sx < 0 || sy < 0 || sx >= src->width || sy >= src->height) {
                        continue;
                    }
                    m.drawn = true;
                    WORD& d = m.At(dx, dy);
                    const WORD s = slot == kAlphaColour ? colour : Px16(src, sx, sy);
                    switch (slot) {
                    case kBlt: d = s; break;
                    case kBltCk: if (s) d = s; break;
                    case kAlphaConst: d = kblit::BlendPixel(s, d, level); break;
                    case kAlphaCk: if (s) d = kblit::BlendPixel(s, d, level); break;
                    case kAdditive: d = kblit::AdditivePixel(s, d, k); break;
                    default: d = kblit::BlendPixel(s, d, Px8(alpha, ax + i, ay + j)); break;
                    }
                }
            const bool early = slot != kBlt && slot != kBltCk && (r - l <= 0 || b - t <= 0);
            expect = early ? 0 : m.drawn ? 0 : 2;
        }
        ASSERT_EQ(got, expect) << "iteration " << iter << " slot " << slot;
        ASSERT_EQ(All16(dst), m.px) << "iteration " << iter << " slot " << slot;
        Log();
        for (SPRITE_DATA*& s : m_made) g._releasesprite(s);
        m_made.clear();
    }
}
