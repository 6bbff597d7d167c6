// GetGlyphOutlineA: glyph metrics, 1-bit and 65-level bitmaps with 4-byte
// rows, the size query, failures, and code page 936 codes.
#include <vector>

#include "platform_fixture.h"
#include "font_gbk.h"

namespace {

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

class GlyphOutline : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        font = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
        dc = CreateCompatibleDC(NULL);
        SelectObject(dc, font);
    }
    void TearDown() override
    {
        DeleteDC(dc);
        DeleteObject(font);
        PlatformTest::TearDown();
    }
    DWORD Size(UINT code, UINT format, GLYPHMETRICS& gm)
    {
        return GetGlyphOutlineA(dc, code, format, &gm, 0, NULL, &kIdentity);
    }
    std::vector<BYTE> Bits(UINT code, UINT format, GLYPHMETRICS& gm)
    {
        const DWORD size = Size(code, format, gm);
        EXPECT_NE(size, GDI_ERROR);
        std::vector<BYTE> bits(size == GDI_ERROR ? 0 : size, 0xEE);
        if (!bits.empty()) {
            EXPECT_EQ(GetGlyphOutlineA(dc, code, format, &gm, size, bits.data(), &kIdentity), size);
        }
        return bits;
    }
    HFONT font = nullptr;
    HDC dc = nullptr;
};

bool MonoBit(const std::vector<BYTE>& bits, size_t pitch, unsigned x, unsigned y)
{
    return (bits[y * pitch + x / 8] >> (7 - x % 8)) & 1;
}

TEST_F(GlyphOutline, BitmapRowsAreOneBitMostSignificantFirstPaddedToFourBytes)
{
    for (UINT code : {UINT('A'), UINT('W'), UINT('i'), 0xB0A1u}) {
        GLYPHMETRICS gm;
        const std::vector<BYTE> bits = Bits(code, GGO_BITMAP, gm);
        const size_t pitch = (gm.gmBlackBoxX + 31) / 32 * 4;
        ASSERT_EQ(bits.size(), pitch * gm.gmBlackBoxY) << code;
        bool top = false, bottom = false, left = false, right = false;
        for (unsigned y = 0; y < gm.gmBlackBoxY; y++) {
            for (unsigned x = 0; x < pitch * 8; x++) {
                const bool on = MonoBit(bits, pitch, x, y);
                if (x >= gm.gmBlackBoxX) {
                    ASSERT_FALSE(on) << "padding of code " << code;
                    continue;
                }
                top |= on && y == 0;
                bottom |= on && y + 1 == gm.gmBlackBoxY;
                left |= on && x == 0;
                right |= on && x + 1 == gm.gmBlackBoxX;
            }
        }
        // The black box is tight: every edge has ink.
        EXPECT_TRUE(top && bottom && left && right) << code;
    }
}

TEST_F(GlyphOutline, GreyRowsHoldLevelsUpTo64PaddedToFourBytes)
{
    for (UINT code : {UINT('H'), UINT('M'), 0xA1F6u, 0xB0A1u}) {
        GLYPHMETRICS gm;
        const std::vector<BYTE> bits = Bits(code, GGO_GRAY8_BITMAP, gm);
        const size_t pitch = (gm.gmBlackBoxX + 3) / 4 * 4;
        ASSERT_EQ(bits.size(), pitch * gm.gmBlackBoxY);
        BYTE top = 0;
        for (unsigned y = 0; y < gm.gmBlackBoxY; y++) {
            for (unsigned x = 0; x < pitch; x++) {
                const BYTE v = bits[y * pitch + x];
                ASSERT_LE(v, 64);
                if (x >= gm.gmBlackBoxX) {
                    ASSERT_EQ(v, 0) << "padding";
                }
                top = v > top ? v : top;
            }
        }
        EXPECT_EQ(top, 64) << code;  // some pixel is wholly covered
    }
}

TEST_F(GlyphOutline, MetricsAloneMatchTheGreyBitmapsMetrics)
{
    GLYPHMETRICS grey, metrics, mono;
    Bits('g', GGO_GRAY8_BITMAP, grey);
    Bits('g', GGO_BITMAP, mono);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'g', GGO_METRICS, &metrics, 0, NULL, &kIdentity), 0u);
    EXPECT_EQ(metrics.gmBlackBoxX, grey.gmBlackBoxX);
    EXPECT_EQ(metrics.gmBlackBoxY, grey.gmBlackBoxY);
    EXPECT_EQ(metrics.gmptGlyphOrigin.x, grey.gmptGlyphOrigin.x);
    EXPECT_EQ(metrics.gmptGlyphOrigin.y, grey.gmptGlyphOrigin.y);
    EXPECT_EQ(metrics.gmCellIncX, grey.gmCellIncX);
    EXPECT_EQ(mono.gmCellIncX, grey.gmCellIncX);
    EXPECT_EQ(metrics.gmCellIncY, 0);
    // A descender: the box reaches below the baseline.
    EXPECT_LT(LONG(grey.gmptGlyphOrigin.y) - LONG(grey.gmBlackBoxY), 0);
}

TEST_F(GlyphOutline, KnownGlyphOfAFixedFaceAndSize)
{
    // DejaVu Sans, cell height 16: the 1-bit capital A.
    const char* want[] = {
        "....#....", "...#.#...", "...#.#...", "..#...#..", "..#...#..",
        "..#...#..", ".#######.", ".#.....#.", ".#.....#.", "#.......#",
    };
    GLYPHMETRICS gm;
    const std::vector<BYTE> bits = Bits('A', GGO_BITMAP, gm);
    ASSERT_EQ(gm.gmBlackBoxX, 9u);
    ASSERT_EQ(gm.gmBlackBoxY, 10u);
    EXPECT_EQ(gm.gmptGlyphOrigin.x, 0);
    EXPECT_EQ(gm.gmptGlyphOrigin.y, 10);
    EXPECT_EQ(gm.gmCellIncX, 9);
    for (unsigned y = 0; y < 10; y++)
        for (unsigned x = 0; x < 9; x++)
            EXPECT_EQ(MonoBit(bits, 4, x, y), want[y][x] == '#') << x << "," << y;
}

// The default face (no name, default pitch) is the monospace Latin face: at
// cell height 16 a narrow and a wide letter both advance 8, half the height,
// as the engine lays text out.
TEST_F(GlyphOutline, KnownGlyphsOfTheDefaultFace)
{
    HFONT deflt = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "");
    HDC c = CreateCompatibleDC(NULL);
    SelectObject(c, deflt);
    const struct {
        UINT code;
        unsigned boxW, boxH;
        int originX, originY;
        const char* rows[11];
    } glyphs[] = {
        {'A', 7, 10, 1, 10,
         {"...#...", "..#.#..", "..#.#..", "..#.#..", "..#.#..", ".#...#.", ".#####.", ".#...#.",
          "#.....#", "#.....#"}},
        {'i', 7, 11, 1, 11,
         {"...#...", "...#...", ".......", ".###...", "...#...", "...#...", "...#...", "...#...",
          "...#...", "...#...", "#######"}},
    };
    for (const auto& g : glyphs) {
        GLYPHMETRICS gm;
        const DWORD size = GetGlyphOutlineA(c, g.code, GGO_BITMAP, &gm, 0, NULL, &kIdentity);
        ASSERT_NE(size, GDI_ERROR);
        std::vector<BYTE> bits(size);
        GetGlyphOutlineA(c, g.code, GGO_BITMAP, &gm, size, bits.data(), &kIdentity);
        ASSERT_EQ(gm.gmBlackBoxX, g.boxW);
        ASSERT_EQ(gm.gmBlackBoxY, g.boxH);
        EXPECT_EQ(gm.gmptGlyphOrigin.x, g.originX);
        EXPECT_EQ(gm.gmptGlyphOrigin.y, g.originY);
        EXPECT_EQ(gm.gmCellIncX, 8);
        for (unsigned y = 0; y < g.boxH; y++)
            for (unsigned x = 0; x < g.boxW; x++)
                EXPECT_EQ(MonoBit(bits, 4, x, y), g.rows[y][x] == '#')
                    << char(g.code) << " at " << x << "," << y;
    }
    DeleteDC(c);
    DeleteObject(deflt);
}

TEST_F(GlyphOutline, GlyphWithoutPixelsHasAOneByOneBoxAndNoBits)
{
    for (UINT code : {UINT(' '), 0xA1A1u}) {  // a space, an ideographic space
        GLYPHMETRICS gm;
        EXPECT_EQ(Size(code, GGO_BITMAP, gm), 0u);
        EXPECT_EQ(gm.gmBlackBoxX, 1u);
        EXPECT_EQ(gm.gmBlackBoxY, 1u);
        EXPECT_GT(gm.gmCellIncX, 0);
        BYTE buffer[4] = {1, 2, 3, 4};
        EXPECT_EQ(GetGlyphOutlineA(dc, code, GGO_GRAY8_BITMAP, &gm, 4, buffer, &kIdentity), 0u);
        EXPECT_EQ(buffer[0], 1);  // nothing written
    }
}

TEST_F(GlyphOutline, BufferSmallerThanTheBitmapFails)
{
    GLYPHMETRICS gm;
    const DWORD size = Size('M', GGO_GRAY8_BITMAP, gm);
    ASSERT_GT(size, 4u);
    std::vector<BYTE> bits(size + 8, 0xAB);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'M', GGO_GRAY8_BITMAP, &gm, size - 1, bits.data(), &kIdentity),
              GDI_ERROR);
    EXPECT_EQ(bits[0], 0xAB);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'M', GGO_GRAY8_BITMAP, &gm, size + 8, bits.data(), &kIdentity),
              size);
    EXPECT_EQ(bits[size], 0xAB);  // nothing past the bitmap
    // A size with no buffer is a size query.
    EXPECT_EQ(GetGlyphOutlineA(dc, 'M', GGO_GRAY8_BITMAP, &gm, size, NULL, &kIdentity), size);
}

TEST_F(GlyphOutline, BadRequestsAreGdiErrors)
{
    GLYPHMETRICS gm;
    MAT2 scaled = kIdentity;
    scaled.eM11.value = 2;
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, 0, NULL, &scaled), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, &gm, 0, NULL, NULL), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP, NULL, 0, NULL, &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_NATIVE, &gm, 0, NULL, &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(dc, 'A', GGO_BITMAP | GGO_GLYPH_INDEX, &gm, 0, NULL, &kIdentity),
              GDI_ERROR);
    EXPECT_EQ(Size(0x10000, GGO_BITMAP, gm), GDI_ERROR);
    EXPECT_EQ(Size(0x8120, GGO_BITMAP, gm), GDI_ERROR);  // 0x20 is no trail byte
    EXPECT_EQ(Size(0xFF, GGO_BITMAP, gm), GDI_ERROR);    // a lead byte alone
    EXPECT_EQ(GetGlyphOutlineA(reinterpret_cast<HDC>(uintptr_t(0x77)), 'A', GGO_BITMAP, &gm, 0,
                               NULL, &kIdentity),
              GDI_ERROR);
    desktop::FailOnce("GetGlyphOutlineA");
    EXPECT_EQ(Size('A', GGO_BITMAP, gm), GDI_ERROR);
    EXPECT_NE(Size('A', GGO_BITMAP, gm), GDI_ERROR);
}

TEST_F(GlyphOutline, DoubleByteCodesAreCodePage936)
{
    char32_t ch = 0;
    EXPECT_TRUE(win32font::GbkToUnicode(0xB0A1, ch));
    EXPECT_EQ(ch, U'\u554A');
    EXPECT_TRUE(win32font::GbkToUnicode(0xA1A1, ch));
    EXPECT_EQ(ch, U'\u3000');
    EXPECT_TRUE(win32font::GbkToUnicode(0x8140, ch));  // beyond GB2312
    EXPECT_EQ(ch, U'\u4E02');
    EXPECT_TRUE(win32font::GbkToUnicode(0xD6D0, ch));
    EXPECT_EQ(ch, U'\u4E2D');
    EXPECT_TRUE(win32font::GbkToUnicode(0x80, ch));
    EXPECT_EQ(ch, U'\u20AC');
    EXPECT_TRUE(win32font::GbkToUnicode('A', ch));
    EXPECT_EQ(ch, U'A');
    EXPECT_FALSE(win32font::GbkToUnicode(0xFF, ch));
    EXPECT_FALSE(win32font::GbkToUnicode(0x8120, ch));
    EXPECT_FALSE(win32font::GbkToUnicode(0x10000, ch));
    EXPECT_EQ(win32font::FaceNameToUtf8("\xCB\xCE\xCC\xE5"), "\xE5\xAE\x8B\xE4\xBD\x93");

    // A Chinese character takes a full em; two characters differ.
    HFONT em16 = CreateFontA(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "SimSun");
    HDC c = CreateCompatibleDC(NULL);
    SelectObject(c, em16);
    GLYPHMETRICS a, b;
    std::vector<BYTE> bitsA(GetGlyphOutlineA(c, 0xB0A1, GGO_GRAY8_BITMAP, &a, 0, NULL, &kIdentity));
    std::vector<BYTE> bitsB(GetGlyphOutlineA(c, 0xB0A2, GGO_GRAY8_BITMAP, &b, 0, NULL, &kIdentity));
    GetGlyphOutlineA(c, 0xB0A1, GGO_GRAY8_BITMAP, &a, DWORD(bitsA.size()), bitsA.data(), &kIdentity);
    GetGlyphOutlineA(c, 0xB0A2, GGO_GRAY8_BITMAP, &b, DWORD(bitsB.size()), bitsB.data(), &kIdentity);
    EXPECT_EQ(a.gmCellIncX, 16);
    EXPECT_EQ(b.gmCellIncX, 16);
    EXPECT_NE(bitsA, bitsB);
    DeleteDC(c);
    DeleteObject(em16);
}

TEST_F(GlyphOutline, SameFontGivesTheSameBitsEveryTime)
{
    HFONT twin = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    HDC other = CreateCompatibleDC(NULL);
    SelectObject(other, twin);
    for (UINT format : {UINT(GGO_BITMAP), UINT(GGO_GRAY8_BITMAP)}) {
        for (UINT code : {UINT('K'), UINT('&'), 0xC4E3u, 0xBAC3u}) {
            GLYPHMETRICS gm1, gm2;
            const std::vector<BYTE> first = Bits(code, format, gm1);
            Bits('x', format, gm2);  // something else in between
            EXPECT_EQ(Bits(code, format, gm2), first);
            std::vector<BYTE> theirs(first.size());
            GetGlyphOutlineA(other, code, format, &gm2, DWORD(theirs.size()), theirs.data(),
                             &kIdentity);
            EXPECT_EQ(theirs, first);
            EXPECT_EQ(gm2.gmBlackBoxX, gm1.gmBlackBoxX);
            EXPECT_EQ(gm2.gmptGlyphOrigin.y, gm1.gmptGlyphOrigin.y);
        }
    }
    DeleteDC(other);
    DeleteObject(twin);
}

}  // namespace
