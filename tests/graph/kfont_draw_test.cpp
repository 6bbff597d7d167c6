// Drawing glyphs: the bitmap font sets pixels in one colour, the smooth font
// blends the colour through its grey cells. Each expectation is computed
// here from the glyph bits GDI gives, placed and blended independently.
#include <cstring>
#include <vector>
#include "graph_fixture.h"

namespace {

const long kW = 64;
const long kH = 40;
const WORD kBack = 0x3186;

// The blend of the blitters, written from its formula.
WORD Blend(WORD s, WORD d, unsigned level)
{
    const unsigned a6 = level >> 2, a5 = level >> 3;
    const unsigned x = ((s >> 1) & 0x03F0) * a6 + ((d >> 1) & 0x03F0) * (63 - a6) + 0x0200;
    const unsigned y = (s & 0x001F) * a5 + (d & 0x001F) * (31 - a5) + 16;
    const unsigned z = (s >> 11) * a5 + (d >> 11) * (31 - a5) + 16;
    return WORD((((z + (z >> 5)) >> 5) << 11) | (((x + (x >> 6)) >> 5) & 0x07E0) |
                ((y + (y >> 5)) >> 5));
}

struct Glyph {
    GLYPHMETRICS gm = {};
    std::vector<BYTE> bits;
};

// The glyphs and metrics of a font, read through a DC of the test's own.
class GdiGlyphs {
public:
    explicit GdiGlyphs(HFONT font) : m_dc(CreateCompatibleDC(NULL))
    {
        SelectObject(m_dc, font);
        GetTextMetricsA(m_dc, &tm);
    }
    ~GdiGlyphs() { DeleteDC(m_dc); }
    Glyph Get(unsigned code, UINT format)
    {
        const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
        Glyph g;
        const DWORD size = GetGlyphOutlineA(m_dc, code, format, &g.gm, 0, NULL, &identity);
        EXPECT_NE(size, GDI_ERROR);
        g.bits.resize(size);
        if (size != 0)
            GetGlyphOutlineA(m_dc, code, format, &g.gm, size, g.bits.data(), &identity);
        return g;
    }
    TEXTMETRICA tm = {};

private:
    HDC m_dc;
};

// A 16-bit sprite as plain pixels.
struct Image {
    std::vector<WORD> px = std::vector<WORD>(kW * kH, kBack);
    void Set(long x, long y, WORD c)
    {
        if (x >= 0 && y >= 0 && x < kW && y < kH)
            px[y * kW + x] = c;
    }
    WORD Get(long x, long y) const { return px[y * kW + x]; }
};

class GlyphDrawing : public GraphTest<> {
protected:
    GlyphDrawing() : GraphTest(32, 32) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(GraphTest::SetUp());
        hfont = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
        dst = g.CreateSprite(kW, kH, KCM_R5G6B5, 0);
        dst->_clear(kBack);
        gdi.reset(new GdiGlyphs(hfont));
    }
    void TearDown() override
    {
        gdi.reset();
        g.ReleaseKSprite(dst);
        DeleteObject(hfont);
        GraphTest::TearDown();
    }

    // Where the bitmap font puts a glyph: its 1-bit rows, limited to the
    // font height both ways.
    void ExpectBitmap(Image& img, long x, long y, WORD colour, unsigned code)
    {
        Glyph gl = Get(code, GGO_BITMAP);
        const long w = (gl.gm.gmBlackBoxX + 3) / 4 * 4, h = gl.gm.gmBlackBoxY;
        const long pitch = (w + 31) / 32 * 4;
        const long gx = x + gl.gm.gmptGlyphOrigin.x, gy = y + gdi->tm.tmAscent - gl.gm.gmptGlyphOrigin.y;
        for (long r = 0; r < h && r < 16 && !gl.bits.empty(); r++)
            for (long c = 0; c < w && c < 16; c++)
                if (gl.bits[r * pitch + c / 8] & (0x80 >> (c % 8)))
                    img.Set(gx + c, gy + r, colour);
    }
    // Where the smooth font blends a glyph: its grey cell, limited to the cell.
    void ExpectSmooth(Image& img, long x, long y, WORD colour, unsigned code, long cell = 16)
    {
        Glyph gl = Get(code, GGO_GRAY8_BITMAP);
        const long pitch = (gl.gm.gmBlackBoxX + 3) / 4 * 4;
        const long w = pitch < cell ? pitch : cell;
        const long h = long(gl.gm.gmBlackBoxY) < cell ? long(gl.gm.gmBlackBoxY) : cell;
        const long gx = x + gl.gm.gmptGlyphOrigin.x, gy = y + gdi->tm.tmAscent - gl.gm.gmptGlyphOrigin.y;
        for (long r = 0; r < h && !gl.bits.empty(); r++) {
            for (long c = 0; c < w; c++) {
                const long px = gx + c, py = gy + r;
                if (px < 0 || py < 0 || px >= kW || py >= kH)
                    continue;
                const BYTE grey = gl.bits[r * pitch + c];
                img.Set(px, py, Blend(colour, img.Get(px, py), grey > 0 ? grey * 4u - 4 : 0));
            }
        }
    }
    Glyph Get(unsigned code, UINT format) { return gdi->Get(code, format); }
    void ExpectSprite(const Image& img)
    {
        for (long y = 0; y < kH; y++)
            for (long x = 0; x < kW; x++)
                ASSERT_EQ(Px16(dst->GetData(), x, y), img.Get(x, y)) << "at " << x << "," << y;
    }

    HFONT hfont = nullptr;
    KSprite* dst = nullptr;
    std::unique_ptr<GdiGlyphs> gdi;
};

TEST_F(GlyphDrawing, BitmapFontSetsTheGlyphBitsInOneColour)
{
    KFont* font = g.CreateFontA(hfont);
    ASSERT_NE(font, nullptr);
    font->DrawString(dst->GetData(), 3, 2, 0xF81F, "Ag\xB0\xA1" "y");
    Image img;
    ExpectBitmap(img, 3, 2, 0xF81F, 'A');
    ExpectBitmap(img, 11, 2, 0xF81F, 'g');
    ExpectBitmap(img, 19, 2, 0xF81F, 0xB0A1);
    ExpectBitmap(img, 35, 2, 0xF81F, 'y');
    ExpectSprite(img);
    g.ReleaseKFont(font);
}

TEST_F(GlyphDrawing, BitmapFontLeavesOutPixelsBeyondTheSprite)
{
    KFont* font = g.CreateFontA(hfont);
    font->DrawString(dst->GetData(), -5, -6, 0xFFFF, "W");
    font->DrawString(dst->GetData(), kW - 6, kH - 7, 0xFFFF, "\xB0\xA1");
    font->DrawString(dst->GetData(), -40, 2, 0xFFFF, "W");  // wholly outside
    Image img;
    ExpectBitmap(img, -5, -6, 0xFFFF, 'W');
    ExpectBitmap(img, kW - 6, kH - 7, 0xFFFF, 0xB0A1);
    ExpectSprite(img);
    g.ReleaseKFont(font);
}

TEST_F(GlyphDrawing, BitmapFontOnAGreySpriteReportsAndDrawsNothing)
{
    KFont* font = g.CreateFontA(hfont);
    KSprite* grey = g.CreateSprite(16, 16, KCM_GRAY, 0);
    std::memset(grey->GetData()->lpRows[0], 7, grey->GetData()->pitch * 16);
    EXPECT_EQ(font->DrawChar(grey->GetData(), 0, 0, 0xFF, 'A'), 8);
    EXPECT_TRUE(Logged("KVectorFont::DrawChar() 未定义的颜色模式！"));
    for (long y = 0; y < 16; y++)
        for (long x = 0; x < 16; x++)
            ASSERT_EQ(Px8(grey->GetData(), x, y), 7);
    g.ReleaseKSprite(grey);
    g.ReleaseKFont(font);
}

TEST_F(GlyphDrawing, SmoothFontBlendsTheColourThroughItsGreyCells)
{
    KFont* font = g.CreateSmoothFont(hfont);
    ASSERT_NE(font, nullptr);
    font->DrawString(dst->GetData(), 2, 3, 0xFFE0, "Sg\xD6\xD0" "x");
    font->DrawString(dst->GetData(), 6, 8, 0x001F, "ab");  // over what is there
    Image img;
    ExpectSmooth(img, 2, 3, 0xFFE0, 'S');
    ExpectSmooth(img, 10, 3, 0xFFE0, 'g');
    ExpectSmooth(img, 18, 3, 0xFFE0, 0xD6D0);
    ExpectSmooth(img, 34, 3, 0xFFE0, 'x');
    ExpectSmooth(img, 6, 8, 0x001F, 'a');
    ExpectSmooth(img, 14, 8, 0x001F, 'b');
    ExpectSprite(img);
    g.ReleaseKFont(font);
}

TEST_F(GlyphDrawing, SmoothFontDrawsColourZeroAsOne)
{
    KFont* font = g.CreateSmoothFont(hfont);
    dst->_clear(0xFFFF);
    font->DrawString(dst->GetData(), 1, 1, 0, "M");
    Image img;
    img.px.assign(img.px.size(), 0xFFFF);
    ExpectSmooth(img, 1, 1, 1, 'M');
    ExpectSprite(img);
    bool keyed = false;
    for (WORD p : img.px)
        keyed = keyed || p == 1;
    EXPECT_TRUE(keyed);  // the glyph's covered pixels are 1, never the key
    g.ReleaseKFont(font);
}

TEST_F(GlyphDrawing, SmoothGlyphWiderThanItsCellIsCutAtTheCell)
{
    // 0xA1EB (per mille) is 18 pixels wide at this size, the cell 16. The
    // glyph drawn next takes the neighbouring cell: none of it may show.
    KFont* font = g.CreateSmoothFont(hfont);
    ASSERT_GT(long(Get(0xA1EB, GGO_GRAY8_BITMAP).gm.gmBlackBoxX), 16);
    font->DrawChar(dst->GetData(), 0, 0, 0xFFFF, 'M');
    dst->_clear(kBack);
    font->DrawChar(dst->GetData(), 20, 4, 0xFFFF, 0xA1EB);
    Image img;
    ExpectSmooth(img, 20, 4, 0xFFFF, 0xA1EB);
    ExpectSprite(img);
    g.ReleaseKFont(font);
}

TEST_F(GlyphDrawing, SmoothFontIsClippedByTheDevice)
{
    KFont* font = g.CreateSmoothFont(hfont);
    font->DrawString(dst->GetData(), -4, -5, 0x07E0, "Qj");
    font->DrawString(dst->GetData(), kW - 7, kH - 6, 0x07E0, "\xB0\xA1");
    Image img;
    ExpectSmooth(img, -4, -5, 0x07E0, 'Q');
    ExpectSmooth(img, 4, -5, 0x07E0, 'j');
    ExpectSmooth(img, kW - 7, kH - 6, 0x07E0, 0xB0A1);
    ExpectSprite(img);
    g.ReleaseKFont(font);
}

TEST_F(GlyphDrawing, SameTextDrawsTheSamePixelsFromAFreshFont)
{
    KFont* a = g.CreateSmoothFont(hfont);
    a->DrawString(dst->GetData(), 0, 0, 0xFFFF, "Kestrel \xCE\xC4\xD7\xD6");
    std::vector<WORD> first(kW * kH);
    for (long y = 0; y < kH; y++)
        for (long x = 0; x < kW; x++)
            first[y * kW + x] = Px16(dst->GetData(), x, y);
    g.ReleaseKFont(a);
    dst->_clear(kBack);
    HFONT again = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    KFont* b = g.CreateSmoothFont(again);
    b->DrawString(dst->GetData(), 0, 0, 0xFFFF, "Kestrel \xCE\xC4\xD7\xD6");
    for (long y = 0; y < kH; y++)
        for (long x = 0; x < kW; x++)
            ASSERT_EQ(Px16(dst->GetData(), x, y), first[y * kW + x]);
    g.ReleaseKFont(b);
    DeleteObject(again);
}

}  // namespace
