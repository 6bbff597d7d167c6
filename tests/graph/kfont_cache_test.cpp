// The glyph cache: the most-recently-used node list, empty and failed
// glyphs, the smooth font's cells, and making and releasing fonts.
#include <vector>
#include "graph_fixture.h"

namespace {

// Lets the tests walk the node list.
class ProbeFont : public KVectorFont {
public:
    using KVectorFont::KVectorFont;
    // The codes of the searched part of the list, most recent first.
    std::vector<unsigned> Searched() const
    {
        std::vector<unsigned> codes;
        for (_node* n = m_lpKFontData; n != NULL && n != m_lpEndKFontData; n = n->next)
            codes.push_back(n->code);
        return codes;
    }
    bool Full() const { return m_lpEndKFontData == NULL; }
};

class ProbeSmoothFont : public KSmoothVectorFont {
public:
    using KSmoothVectorFont::KSmoothVectorFont;
    DWORD Count() const { return m_dwCacheCount; }
    long Cell() const { return m_nCellSize; }
    const _node& Node(DWORD i) const { return m_pNodes[i]; }
    SPRITE_DATA* Cache() const { return m_sprCache->GetData(); }
};

const unsigned kNone = KVectorFont::kNoCode;

HFONT MakeFont(int height)
{
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
}

class GlyphCache : public GraphTest<> {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(GraphTest::SetUp());
        hfont = MakeFont(16);
    }
    void TearDown() override
    {
        DeleteObject(hfont);
        GraphTest::TearDown();
    }
    HFONT hfont = nullptr;
};

using Codes = std::vector<unsigned>;

TEST_F(GlyphCache, NewGlyphsGoToTheFrontAndCachedOnesMoveThere)
{
    ProbeFont font(&g, hfont, 4);
    ASSERT_TRUE(font.IsInited());
    EXPECT_EQ(font.Searched(), Codes({kNone}));
    KVectorFont::_node* a = font.GetData('a');
    font.GetData('b');
    EXPECT_EQ(font.Searched(), Codes({'b', 'a', kNone}));
    EXPECT_EQ(font.GetData('a'), a);  // found, not rendered again
    EXPECT_EQ(font.Searched(), Codes({'a', 'b', kNone}));
    EXPECT_EQ(font.GetData('a'), a);
    EXPECT_EQ(font.Searched(), Codes({'a', 'b', kNone}));
}

TEST_F(GlyphCache, FullListReusesTheLeastRecentlyUsedNode)
{
    ProbeFont font(&g, hfont, 4);
    font.GetData('a');
    font.GetData('b');
    font.GetData('c');
    EXPECT_TRUE(font.Full());
    EXPECT_EQ(font.Searched(), Codes({'c', 'b', 'a', kNone}));
    font.GetData('a');
    EXPECT_EQ(font.Searched(), Codes({'a', 'c', 'b', kNone}));
    font.GetData('d');  // the node that never held a glyph goes first
    EXPECT_EQ(font.Searched(), Codes({'d', 'a', 'c', 'b'}));
    font.GetData('e');
    EXPECT_EQ(font.Searched(), Codes({'e', 'd', 'a', 'c'}));
    KVectorFont::_node* b = font.GetData('b');  // dropped earlier: rendered again
    EXPECT_EQ(font.Searched(), Codes({'b', 'e', 'd', 'a'}));
    EXPECT_EQ(b->code, unsigned('b'));
    EXPECT_GT(b->height, 0);
    // Everything still cached stays found.
    font.GetData('d');
    font.GetData('a');
    EXPECT_EQ(font.Searched(), Codes({'a', 'd', 'b', 'e'}));
}

TEST_F(GlyphCache, OneNodeFontRendersEveryNewGlyphIntoIt)
{
    ProbeFont font(&g, hfont, 1);
    ASSERT_TRUE(font.IsInited());
    KVectorFont::_node* a = font.GetData('a');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(font.GetData('a'), a);
    EXPECT_EQ(font.GetData('b'), a);
    EXPECT_EQ(font.Searched(), Codes({'b'}));
}

TEST_F(GlyphCache, NodeHoldsTheGlyphMetricsAsGdiGivesThem)
{
    HDC dc = CreateCompatibleDC(NULL);
    SelectObject(dc, hfont);
    TEXTMETRICA tm;
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    GLYPHMETRICS gm;
    const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    const DWORD size = GetGlyphOutlineA(dc, 0xB0A1, GGO_BITMAP, &gm, 0, NULL, &identity);
    ASSERT_NE(size, GDI_ERROR);

    ProbeFont font(&g, hfont, 8);
    KVectorFont::_node* n = font.GetData(0xB0A1);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->width, long((gm.gmBlackBoxX + 3) / 4 * 4));
    EXPECT_EQ(n->height, long(gm.gmBlackBoxY));
    EXPECT_EQ(n->advance, long(gm.gmCellIncX));
    EXPECT_EQ(n->xoffset, -long(gm.gmptGlyphOrigin.x));
    EXPECT_EQ(n->yoffset, long(gm.gmptGlyphOrigin.y) - tm.tmAscent);
    EXPECT_EQ(n->dwSize, size);
    EXPECT_EQ(n->code, 0xB0A1u);
    DeleteDC(dc);
}

TEST_F(GlyphCache, GlyphWithoutPixelsIsAnEmptyNodeWithItsAdvance)
{
    ProbeFont font(&g, hfont, 8);
    for (unsigned code : {unsigned(' '), 0xA1A1u}) {  // a space, an ideographic space
        KVectorFont::_node* n = font.GetData(code);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->code, code);
        EXPECT_EQ(n->width, 0);
        EXPECT_EQ(n->height, 0);
        EXPECT_GT(n->advance, 0);
        EXPECT_EQ(n->pData, nullptr);
    }
    KSprite* dst = g.CreateSprite(32, 32, KCM_R5G6B5, 0);
    dst->_clear(0x1234);
    EXPECT_EQ(font.DrawChar(dst->GetData(), 4, 4, 0xFFFF, 0xA1A1), 16);
    for (long y = 0; y < 32; y++)
        for (long x = 0; x < 32; x++)
            ASSERT_EQ(Px16(dst->GetData(), x, y), 0x1234);
    g.ReleaseKSprite(dst);
}

TEST_F(GlyphCache, CodeGdiCannotRenderIsCachedEmptyAndDrawsNothing)
{
    ProbeFont font(&g, hfont, 8);
    KVectorFont::_node* n = font.GetData(0x8120);  // no such character in code page 936
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->width, 0);
    EXPECT_EQ(n->height, 0);
    EXPECT_TRUE(Logged("KVectorFont: no glyph for the code 0x8120"));
    Log();
    EXPECT_EQ(font.GetData(0x8120), n);
    EXPECT_FALSE(Logged("KVectorFont: no glyph for the code 0x8120"));  // not asked again

    desktop::FailOnce("GetGlyphOutlineA");
    KVectorFont::_node* m = font.GetData('m');
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->height, 0);
}

TEST_F(GlyphCache, BitsOnlyGrowAndAreReused)
{
    ProbeFont font(&g, hfont, 1);
    KVectorFont::_node* n = font.GetData(0xB0A1);
    const DWORD big = n->dwSize;
    BYTE* bits = n->pData;
    font.GetData('.');
    EXPECT_EQ(n->pData, bits);
    EXPECT_EQ(n->dwSize, big);
    EXPECT_EQ(n->code, unsigned('.'));
}

TEST_F(GlyphCache, SmoothCellsTileTheCacheSprite)
{
    HFONT f14 = MakeFont(14);
    {
        ProbeSmoothFont font(&g, f14, 512, 512);
        ASSERT_TRUE(font.IsInited());
        EXPECT_EQ(font.GetHeight(), 14);
        EXPECT_EQ(font.Cell(), 16);
        EXPECT_EQ(font.Count(), 1024u);
        EXPECT_EQ(font.Node(0).x, 0);
        EXPECT_EQ(font.Node(33).x, 16);
        EXPECT_EQ(font.Node(33).y, 16);
        EXPECT_EQ(font.Node(1023).x, 496);
        EXPECT_EQ(font.Node(1023).y, 496);
        EXPECT_EQ(font.Cache()->kcm, KCM_GRAY);
        EXPECT_EQ(font.Cache()->flags, 17u);
    }
    DeleteObject(f14);
}

TEST_F(GlyphCache, SmoothCellHoldsGreyLevelsTimesFourLessFour)
{
    ProbeSmoothFont font(&g, hfont, 64, 64);
    KVectorFont::_node* n = font.GetData(0xB0A1);
    ASSERT_NE(n, nullptr);
    HDC dc = CreateCompatibleDC(NULL);
    SelectObject(dc, hfont);
    GLYPHMETRICS gm;
    const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    const DWORD size = GetGlyphOutlineA(dc, 0xB0A1, GGO_GRAY8_BITMAP, &gm, 0, NULL, &identity);
    std::vector<BYTE> grey(size);
    GetGlyphOutlineA(dc, 0xB0A1, GGO_GRAY8_BITMAP, &gm, size, grey.data(), &identity);
    DeleteDC(dc);

    const long pitch = long((gm.gmBlackBoxX + 3) / 4 * 4);
    for (long r = 0; r < font.Cell(); r++) {
        for (long c = 0; c < font.Cell(); c++) {
            BYTE want = 0;
            if (r < long(gm.gmBlackBoxY) && c < pitch && grey[r * pitch + c] > 0)
                want = BYTE(grey[r * pitch + c] * 4 - 4);
            ASSERT_EQ(Px8(font.Cache(), n->x + c, n->y + r), want) << r << "," << c;
        }
    }
}

TEST_F(GlyphCache, SmoothFontWithCellsOver256PixelsIsRefusedWithAReport)
{
    HFONT big = MakeFont(257);  // cell 260: one cell in 512 x 512
    EXPECT_EQ(g.CreateSmoothFont(big), nullptr);
    EXPECT_TRUE(Logged("KSmoothVectorFont: a 512 x 512 cache holds 1 cells of 260 pixels; 2 are needed"));
    EXPECT_TRUE(DeleteObject(big));  // nothing holds the font any more

    HFONT fits = MakeFont(256);  // cell 256: four cells
    KFont* font = g.CreateSmoothFont(fits);
    ASSERT_NE(font, nullptr);
    font->DrawString(g.GetBackScreenData(), 0, 0, 0xFFFF, "a\xB0\xA1");
    g.ReleaseKFont(font);
    DeleteObject(fits);

    ProbeSmoothFont tiny(&g, hfont, 16, 16);
    EXPECT_FALSE(tiny.IsInited());
    ProbeSmoothFont none(&g, hfont, 0, 512);
    EXPECT_FALSE(none.IsInited());
    EXPECT_TRUE(Asserted("CacheSprWidth != 0"));
}

TEST_F(GlyphCache, FontHoldsItsGdiFontUntilReleased)
{
    KFont* font = g.CreateFontA(hfont);
    ASSERT_NE(font, nullptr);
    EXPECT_FALSE(DeleteObject(hfont));  // still selected into the font's DC
    g.ReleaseKFont(font);
    EXPECT_EQ(font, nullptr);
    EXPECT_TRUE(DeleteObject(hfont));
    hfont = MakeFont(16);

    KFont* smooth = g.CreateSmoothFont(hfont);
    ASSERT_NE(smooth, nullptr);
    smooth->Release();
    smooth->Release();  // the second time does nothing
    EXPECT_FALSE(smooth->IsInited());
    delete smooth;
    EXPECT_TRUE(DeleteObject(hfont));
    hfont = MakeFont(16);
}

TEST_F(GlyphCache, FontThatCannotBeMadeIsNullWithAReport)
{
    desktop::FailOnce("CreateCompatibleDC");
    EXPECT_EQ(g.CreateFontA(hfont), nullptr);
    EXPECT_TRUE(Logged("KVectorFont: CreateCompatibleDC failed"));

    desktop::FailOnce("GetTextMetricsA");
    EXPECT_EQ(g.CreateSmoothFont(hfont), nullptr);
    EXPECT_TRUE(Logged("KVectorFont: the font has no usable text metrics"));

    EXPECT_EQ(g.CreateFontA(NULL), nullptr);
    EXPECT_TRUE(Asserted("hFont != NULL"));
    EXPECT_TRUE(DeleteObject(hfont));
    hfont = MakeFont(16);
}

}  // namespace
