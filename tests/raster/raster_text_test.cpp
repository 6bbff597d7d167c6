// Text drawn into images: DrawString and DrawStringEx against the same
// glyphs drawn by ExtTextOutA into a DIB section, the rounded box and its
// colours, the record's corrections and defaults, alpha, and the screen
// context given back.
#include <gtest/gtest.h>

#include <desktop/desktop.h>
#include <rasterimage.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "test_raster.h"

namespace {

bool SameColour(RGBQUAD a, RGBQUAD b)
{
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

std::string Str(RGBQUAD c)
{
    return std::to_string(c.rgbRed) + "," + std::to_string(c.rgbGreen) + "," +
           std::to_string(c.rgbBlue);
}

// A 24-bit DIB section with a font selected, white text on black drawn by
// ExtTextOutA: where GDI puts ink for a text.
class Reference {
public:
    explicit Reference(const LOGFONT& lf)
    {
        m_dc = CreateCompatibleDC(NULL);
        m_font = CreateFontIndirect(&lf);
        m_oldFont = SelectObject(m_dc, m_font);
        GetTextMetricsA(m_dc, &m_tm);
    }
    ~Reference()
    {
        if (m_bitmap) {
            SelectObject(m_dc, m_oldBitmap);
            DeleteObject(m_bitmap);
        }
        SelectObject(m_dc, m_oldFont);
        DeleteObject(m_font);
        DeleteDC(m_dc);
    }
    SIZE Extent(const std::string& text)
    {
        SIZE s = {0, 0};
        EXPECT_TRUE(GetTextExtentPoint32A(m_dc, text.data(), (int)text.size(), &s));
        return s;
    }
    const TEXTMETRICA& Metrics() const { return m_tm; }
    // Draws the text with its top-left at (x, y) on a black w x h section.
    void Draw(int w, int h, int x, int y, const std::string& text)
    {
        BITMAPINFO bmi;
        std::memset(&bmi, 0, sizeof(bmi));
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = -h;  // top-down: row ty is the ty-th from the top
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 24;
        void* bits = NULL;
        m_bitmap = CreateDIBSection(m_dc, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
        ASSERT_NE(m_bitmap, nullptr);
        m_bits = (BYTE*)bits;
        m_w = w;
        m_h = h;
        m_stride = (w * 3 + 3) & ~3;
        std::memset(m_bits, 0, (size_t)m_stride * h);
        m_oldBitmap = SelectObject(m_dc, m_bitmap);
        SetTextColor(m_dc, RGB(255, 255, 255));
        SetBkMode(m_dc, TRANSPARENT);
        ASSERT_TRUE(ExtTextOutA(m_dc, x, y, 0, NULL, text.data(), (UINT)text.size(), NULL));
    }
    int Width() const { return m_w; }
    int Height() const { return m_h; }
    bool Ink(int x, int ty) const { return m_bits[(size_t)ty * m_stride + x * 3] != 0; }
    int InkCount() const
    {
        int n = 0;
        for (int ty = 0; ty < m_h; ++ty)
            for (int x = 0; x < m_w; ++x)
                n += Ink(x, ty);
        return n;
    }

private:
    HDC m_dc = NULL;
    HFONT m_font = NULL;
    HGDIOBJ m_oldFont = NULL;
    HBITMAP m_bitmap = NULL;
    HGDIOBJ m_oldBitmap = NULL;
    TEXTMETRICA m_tm = {};
    BYTE* m_bits = NULL;
    int m_w = 0, m_h = 0, m_stride = 0;
};

// An image filled with one colour.
void Fill(RasterImage& img, RGBQUAD c)
{
    for (long y = 0; y < (long)img.GetHeight(); ++y)
        for (long x = 0; x < (long)img.GetWidth(); ++x)
            img.SetPixelColor(x, y, c);
}

// The colour at (x, y) counted from the top.
RGBQUAD At(const RasterImage& img, long x, long yTop)
{
    return img.GetPixelColor(x, (long)img.GetHeight() - 1 - yTop, false);
}

LOGFONT Font(const char* face, long height, long weight = FW_NORMAL, BYTE italic = 0)
{
    LOGFONT lf;
    std::memset(&lf, 0, sizeof(lf));
    std::strcpy(lf.lfFaceName, face);
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    return lf;
}

class RasterText : public ::testing::Test {
protected:
    void SetUp() override { desktop::Reset(); }
    void TearDown() override { desktop::Reset(); }
};

TEST_F(RasterText, InitTextInfoFillsTheDefaults)
{
    tagRasterTextInfo ti;
    std::memset(&ti, 0xCD, sizeof(ti));
    RasterImage img;
    img.InitTextInfo(&ti);
    EXPECT_STREQ(ti.szText, "Sample Text 01234\xF5\xFB");
    for (size_t i = std::strlen(ti.szText); i < sizeof(ti.szText); ++i)
        ASSERT_EQ(ti.szText[i], 0) << "zeroed first, at " << i;
    EXPECT_EQ(ti.lfFont.lfHeight, -36);
    EXPECT_EQ(ti.lfFont.lfWidth, 0);
    EXPECT_EQ(ti.lfFont.lfEscapement, 0);
    EXPECT_EQ(ti.lfFont.lfOrientation, 0);
    EXPECT_EQ(ti.lfFont.lfWeight, 400);
    EXPECT_EQ(ti.lfFont.lfItalic, 0);
    EXPECT_EQ(ti.lfFont.lfUnderline, 0);
    EXPECT_EQ(ti.lfFont.lfStrikeOut, 0);
    EXPECT_EQ(ti.lfFont.lfCharSet, 238);
    EXPECT_EQ(ti.lfFont.lfOutPrecision, 0);
    EXPECT_EQ(ti.lfFont.lfClipPrecision, 0);
    EXPECT_EQ(ti.lfFont.lfQuality, 2);
    EXPECT_EQ(ti.lfFont.lfPitchAndFamily, 0);
    EXPECT_STREQ(ti.lfFont.lfFaceName, "Arial");
    EXPECT_EQ(ti.crTextColor, 0x00A0FFFFu);
    EXPECT_EQ(ti.nAlign, 1);
    EXPECT_EQ(ti.bOpaque, 1);
    EXPECT_EQ(ti.crBackColor, 0x00006020u);
    EXPECT_EQ(ti.fBackOpacity, 0.0f);
    EXPECT_EQ(ti.nOutline, 0);
    EXPECT_EQ(ti.nRound, 20);
}

// DrawString at random places, partly outside the image too: the scratch
// section's bottom row lands on row y from the top, every ink pixel takes
// the colour and nothing else changes.
TEST_F(RasterText, DrawStringPutsGdiInkAboveRowY)
{
    const std::string text = "Hello, Wy 42";
    const RGBQUAD back = Quad(10, 20, 30), colour = Quad(250, 128, 3);
    const long weights[] = {FW_NORMAL, FW_BOLD};
    std::mt19937 rng(115);
    for (int round = 0; round < 12; ++round) {
        const long size = 12 + (long)(rng() % 20);
        const long weight = weights[round % 2];
        const BYTE italic = (BYTE)(round % 3 == 0);
        Reference ref(Font("DejaVu Sans", size, weight, italic));
        const SIZE ext = ref.Extent(text);
        ref.Draw(ext.cx + ext.cy, ext.cy, 0, 0, text);
        ASSERT_GT(ref.InkCount(), 0);

        RasterImage img(160, 60, 24);
        Fill(img, back);
        // The first round at y = 0: only the scratch's bottom row is visible.
        const long x = (long)(rng() % 200) - 40;
        const long y = round == 0 ? 0 : (long)(rng() % 90) - 10;
        SCOPED_TRACE("size " + std::to_string(size) + " at " + std::to_string(x) + "," +
                     std::to_string(y));
        EXPECT_EQ(img.DrawString(NULL, x, y, text.c_str(), colour, "DejaVu Sans", size, weight,
                                 italic, 0, false),
                  1);
        int mismatches = 0;
        for (long ty = 0; ty < 60; ++ty) {
            for (long ix = 0; ix < 160; ++ix) {
                // Scratch row sy lands on image row y - (height - 1) + sy.
                const long sx = ix - x, sy = ty - y + ref.Height() - 1;
                const bool ink = sx >= 0 && sx < ref.Width() && sy >= 0 && sy < ref.Height() &&
                                 ref.Ink((int)sx, (int)sy);
                const RGBQUAD want = ink ? colour : back;
                if (!SameColour(At(img, ix, ty), want) && ++mismatches < 5)
                    ADD_FAILURE() << "pixel " << ix << "," << ty << " is " << Str(At(img, ix, ty))
                                  << ", want " << Str(want);
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST_F(RasterText, DrawStringOnAnInvalidImageDrawsNothingAndReturnsOne)
{
    RasterImage img;
    EXPECT_EQ(img.DrawString(NULL, 0, 0, "x", Quad(1, 2, 3), "Arial", 12, 400, 0, 0, false), 1);
    RasterImage small(8, 8, 24);
    Fill(small, Quad(5, 5, 5));
    EXPECT_EQ(small.DrawString(NULL, 0, 7, NULL, Quad(1, 2, 3), "Arial", 12, 400, 0, 0, false),
              1);
    EXPECT_EQ(small.DrawString(NULL, 0, 7, "", Quad(1, 2, 3), "Arial", 12, 400, 0, 0, false), 1);
    for (long y = 0; y < 8; ++y)
        for (long x = 0; x < 8; ++x)
            ASSERT_TRUE(SameColour(small.GetPixelColor(x, y), Quad(5, 5, 5)));
    tagRasterTextInfo ti;
    img.InitTextInfo(&ti);
    EXPECT_EQ(img.DrawStringEx(NULL, 0, 0, &ti, false), -1);
    EXPECT_EQ(small.DrawStringEx(NULL, 0, 0, NULL, false), -1);
}

// Input a host may get wrong: a record whose text fills all 4096 bytes
// without a terminating zero is read to its end and no further; a face name
// longer than a LOGFONT holds is cut without splitting a double-byte
// character.
TEST_F(RasterText, UnterminatedTextAndLongFaceNamesStayInBounds)
{
    tagRasterTextInfo* ti = new tagRasterTextInfo;
    RasterImage img(64, 32, 24);
    img.InitTextInfo(ti);
    std::memset(ti->szText, 'x', sizeof(ti->szText));
    ti->lfFont.lfHeight = -8;
    EXPECT_EQ(img.DrawStringEx(NULL, 32, 20, ti, false), 1);
    delete ti;
    const std::string longName = std::string(30, 'A') + "\xD6\xD0" + std::string(20, 'B');
    EXPECT_EQ(img.DrawString(NULL, 0, 20, "x", Quad(1, 2, 3), longName.c_str(), 12, 400, 0, 0,
                             false),
              1);
    EXPECT_EQ(img.DrawString(NULL, 0, 20, "x", Quad(1, 2, 3), NULL, 12, 400, 0, 0, false), 1);
}

// Where DrawStringEx puts a one-line text and its box, computed from the
// record as the drawing does.
struct BoxGeometry {
    long width, height, radius, frame, lineX;
};

BoxGeometry Geometry(Reference& ref, const tagRasterTextInfo& ti, long lines)
{
    // One line: the measured rectangle is the text's extent and one line high.
    const SIZE ext = ref.Extent(ti.szText);
    long right = ext.cx, bottom = ext.cy * lines;
    BoxGeometry g = {0, 0, 0, 0, 0};
    if (ti.lfFont.lfItalic)
        right += (bottom / 2) / lines;
    if (ti.bOpaque) {
        g.radius = (bottom / lines) * ti.nRound / 100;
        g.frame = (long)(g.radius * 0.29289);
        right += (bottom / lines) / 3;
    }
    g.width = right + 2 * g.frame;
    g.height = bottom + 2 * g.frame;
    g.lineX = ti.nAlign == 1 ? (right - ext.cx) / 2 : ti.nAlign == 2 ? right - ext.cx : 0;
    return g;
}

// The defaults: the text centred on x in (255, 255, 160) on a solid
// (32, 96, 0) box with rounded corners, the text inset by the frame.
TEST_F(RasterText, DrawStringExDefaultsDrawCentredTextOnARoundedBox)
{
    tagRasterTextInfo ti;
    RasterImage img(420, 90, 24);
    img.InitTextInfo(&ti);
    const RGBQUAD back = Quad(200, 200, 200), text = Quad(255, 255, 160), box = Quad(32, 96, 0);
    Fill(img, back);
    const long x = 210, y = 70;
    ASSERT_EQ(img.DrawStringEx(NULL, x, y, &ti, false), 1);

    Reference ref(ti.lfFont);
    const BoxGeometry g = Geometry(ref, ti, 1);
    ASSERT_GT(g.radius, 0);
    ASSERT_GT(g.frame, 0);
    ref.Draw((int)g.width, (int)g.height, (int)g.lineX, 0, ti.szText);
    ASSERT_GT(ref.InkCount(), 0);
    const long left = x - g.width / 2, top = y - (g.height - 1);

    // Rows a corner leaves out at column offset d from its centre column.
    auto cutAt = [&g](long bx) {
        long d = 0;
        if (bx <= g.radius)
            d = bx - g.radius;
        else if (bx >= g.width - g.radius - 1)
            d = g.width - 1 - bx - g.radius;
        else
            return 0L;
        return (long)((g.radius + 0.5) - sqrtf((float)(g.radius * g.radius - d * d)));
    };
    int mismatches = 0;
    for (long ty = 0; ty < 90; ++ty) {
        for (long ix = 0; ix < 420; ++ix) {
            const long bx = ix - left, by = ty - top;  // from the box's top-left
            RGBQUAD want = back;
            if (bx >= 0 && bx < g.width && by >= cutAt(bx) && by <= g.height - cutAt(bx) - 1)
                want = box;
            // Text: scratch (sx, sy) lands at (left + sx + frame, top + sy + frame).
            const long sx = bx - g.frame, sy = by - g.frame;
            if (sx >= 0 && sx < g.width && sy >= 0 && sy < g.height && ref.Ink((int)sx, (int)sy))
                want = text;
            if (!SameColour(At(img, ix, ty), want) && ++mismatches < 5)
                ADD_FAILURE() << "pixel " << ix << "," << ty << " is " << Str(At(img, ix, ty))
                              << ", want " << Str(want);
        }
    }
    EXPECT_EQ(mismatches, 0);
    // The four corner pixels are cut away; the middle of each edge is box.
    EXPECT_TRUE(SameColour(At(img, left, top), back));
    EXPECT_TRUE(SameColour(At(img, left + g.width - 1, top), back));
    EXPECT_TRUE(SameColour(At(img, left, top + g.height - 1), back));
    EXPECT_TRUE(SameColour(At(img, left + g.width - 1, top + g.height - 1), back));
    EXPECT_TRUE(SameColour(At(img, left + g.width / 2, top), box));
    EXPECT_TRUE(SameColour(At(img, left, top + g.height / 2), box));
    EXPECT_TRUE(SameColour(At(img, left + g.width - 1, top + g.height / 2), box));
    EXPECT_TRUE(SameColour(At(img, left + g.width / 2, top + g.height - 1), box));
}

TEST_F(RasterText, DrawStringExStoresItsCorrectionsBack)
{
    struct Case {
        long align;
        BYTE round;
        float opacity;
        long wantAlign;
        BYTE wantRound;
        float wantOpacity;
    } cases[] = {
        {0, 20, 0.5f, 0, 20, 0.5f},
        {2, 50, 1.0f, 2, 50, 1.0f},
        {7, 80, 1.5f, 1, 10, 0.0f},
        {-1, 51, -0.25f, 1, 10, 0.0f},
        {3, 255, 2.0f, 1, 10, 0.0f},
        {1, 0, std::nanf(""), 1, 0, 0.0f},  // not a number: a solid box too
    };
    for (const Case& c : cases) {
        tagRasterTextInfo ti;
        RasterImage img(64, 32, 24);
        img.InitTextInfo(&ti);
        std::strcpy(ti.szText, "ab");
        ti.nAlign = c.align;
        ti.nRound = c.round;
        ti.fBackOpacity = c.opacity;
        EXPECT_EQ(img.DrawStringEx(NULL, 10, 20, &ti, false), 1);
        EXPECT_EQ(ti.nAlign, c.wantAlign);
        EXPECT_EQ(ti.nRound, c.wantRound);
        EXPECT_EQ(ti.fBackOpacity, c.wantOpacity);
    }
}

// A box that lets a quarter of the image through mixes each channel as
// (BYTE)(image x 0.25 + box x 0.75); opacity out of range paints it solid.
TEST_F(RasterText, SeeThroughBoxMixesImageAndBoxColour)
{
    struct Case {
        float opacity;
        RGBQUAD want;
    } cases[] = {
        {0.25f, Quad(74, 97, 10)},   // 200/4 + 32*3/4, 100/4 + 96*3/4, 40/4
        {0.5f, Quad(116, 98, 20)},
        {1.5f, Quad(32, 96, 0)},
        {0.0f, Quad(32, 96, 0)},
        {1.0f, Quad(32, 96, 0)},
    };
    for (const Case& c : cases) {
        tagRasterTextInfo ti;
        RasterImage img(200, 60, 24);
        img.InitTextInfo(&ti);
        std::strcpy(ti.szText, "  ");  // a box without ink
        ti.lfFont.lfHeight = -20;
        ti.nAlign = 0;
        ti.fBackOpacity = c.opacity;
        Fill(img, Quad(200, 100, 40));
        ASSERT_EQ(img.DrawStringEx(NULL, 0, 50, &ti, false), 1);
        const RGBQUAD got = At(img, 5, 40);
        EXPECT_TRUE(SameColour(got, c.want)) << c.opacity << ": " << Str(got);
    }
}

// Box geometry from the line count: three lines from two carriage returns,
// italic widening by half a line height spread over the lines.
TEST_F(RasterText, BoxSizeFollowsLinesItalicAndRounding)
{
    struct Case {
        const char* text;
        BYTE italic;
        BYTE opaque;
        long lines;
    } cases[] = {
        {"Wide text", 0, 1, 1},
        {"Wide text", 1, 1, 1},
        {"one\rtwo\rthree", 0, 1, 3},
        {"one\rtwo\rthree", 1, 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.italic ? " italic" : ""));
        tagRasterTextInfo ti;
        RasterImage img(300, 200, 24);
        img.InitTextInfo(&ti);
        std::strcpy(ti.szText, c.text);
        ti.lfFont.lfHeight = -20;
        ti.lfFont.lfItalic = c.italic;
        std::strcpy(ti.lfFont.lfFaceName, "DejaVu Sans");
        ti.nAlign = 0;
        ti.bOpaque = c.opaque;
        Fill(img, Quad(0, 0, 255));
        ASSERT_EQ(img.DrawStringEx(NULL, 5, 190, &ti, false), 1);

        // The measured text: the widest line, every line's height.
        Reference ref(ti.lfFont);
        long widest = 0;
        std::string all = c.text;
        size_t start = 0;
        while (true) {
            const size_t end = all.find('\r', start);
            const std::string line = all.substr(start, end == std::string::npos ? end : end - start);
            widest = std::max<long>(widest, ref.Extent(line).cx);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        const long lineHeight = ref.Metrics().tmHeight;
        long right = widest, bottom = lineHeight * c.lines;
        if (c.italic)
            right += (bottom / 2) / c.lines;
        const long radius = (bottom / c.lines) * 20 / 100;
        const long frame = (long)(radius * 0.29289);
        right += (bottom / c.lines) / 3;
        const long width = right + 2 * frame, height = bottom + 2 * frame;

        // Count the box's columns along its middle row and rows along a middle column.
        const long midRow = 190 - height / 2;
        long cols = 0, rows = 0;
        for (long ix = 0; ix < 300; ++ix)
            cols += !SameColour(At(img, ix, midRow), Quad(0, 0, 255));
        for (long ty = 0; ty < 200; ++ty)
            rows += !SameColour(At(img, 5 + width / 2, ty), Quad(0, 0, 255));
        EXPECT_EQ(cols, width);
        EXPECT_EQ(rows, height);
    }
}

// With the alpha flag, DrawStringEx makes its pixels opaque; DrawString
// gives them the colour's reserved byte. Pixels not drawn keep their alpha.
TEST_F(RasterText, AlphaFlagSetsTheAlphaOfDrawnPixels)
{
    tagRasterTextInfo ti;
    RasterImage img(200, 60, 24);
    img.InitTextInfo(&ti);
    std::strcpy(ti.szText, "Alpha");
    ti.lfFont.lfHeight = -20;
    ti.nAlign = 0;
    img.AlphaCreate();
    img.AlphaSet(9);
    ASSERT_EQ(img.DrawStringEx(NULL, 0, 40, &ti, true), 1);
    int opaque = 0;
    for (long y = 0; y < 60; ++y)
        for (long x = 0; x < 200; ++x) {
            const BYTE a = img.AlphaGet(x, y);
            const bool drawn = !SameColour(img.GetPixelColor(x, y), Quad(0, 0, 0));
            EXPECT_EQ(a, drawn ? 255 : 9) << x << "," << y;
            opaque += a == 255;
        }
    EXPECT_GT(opaque, 100);

    // Without the flag the alpha plane stays as it was.
    RasterImage plain(200, 60, 24);
    plain.AlphaCreate();
    plain.AlphaSet(9);
    ASSERT_EQ(plain.DrawStringEx(NULL, 0, 40, &ti, false), 1);
    for (long y = 0; y < 60; ++y)
        for (long x = 0; x < 200; ++x)
            ASSERT_EQ(plain.AlphaGet(x, y), 9);

    RasterImage str(100, 40, 24);
    str.AlphaCreate();
    str.AlphaSet(9);
    ASSERT_EQ(str.DrawString(NULL, 0, 30, "Ink", Quad(255, 255, 255, 77), "DejaVu Sans", 20, 400,
                             0, 0, true),
              1);
    int drawn = 0;
    for (long y = 0; y < 40; ++y)
        for (long x = 0; x < 100; ++x) {
            const bool ink = SameColour(str.GetPixelColor(x, y), Quad(255, 255, 255));
            EXPECT_EQ(str.AlphaGet(x, y), ink ? 77 : 9);
            drawn += ink;
        }
    EXPECT_GT(drawn, 20);
}

// DrawStringEx without a context borrows the screen's for compatibility and
// gives it back; with one, it takes none.
TEST_F(RasterText, DrawStringExGivesTheScreenContextBack)
{
    HDC probe = GetDC(NULL);
    EXPECT_EQ(desktop::OpenDcCount(), 1);
    ReleaseDC(NULL, probe);
    ASSERT_EQ(desktop::OpenDcCount(), 0);

    tagRasterTextInfo ti;
    RasterImage img(100, 40, 24);
    img.InitTextInfo(&ti);
    std::strcpy(ti.szText, "dc");
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(img.DrawStringEx(NULL, 50, 30, &ti, false), 1);
    EXPECT_EQ(desktop::OpenDcCount(), 0);
    HDC mem = CreateCompatibleDC(NULL);
    ASSERT_EQ(img.DrawStringEx(mem, 50, 30, &ti, false), 1);
    ASSERT_EQ(img.DrawString(mem, 0, 30, "dc", Quad(1, 2, 3), "Arial", 12, 400, 0, 0, false), 1);
    ASSERT_EQ(img.DrawString(NULL, 0, 30, "dc", Quad(1, 2, 3), "Arial", 12, 400, 0, 0, false), 1);
    EXPECT_EQ(desktop::OpenDcCount(), 0);
    DeleteDC(mem);
}

// Platform calls that fail: a font that cannot be made gives way to the
// stock GUI font; without a context or a section nothing is drawn; without
// the screen's context the scratch is made compatible with the screen
// anyway. Every path returns 1 and holds no context.
TEST_F(RasterText, FailingPlatformCallsDrawLessButNeverBreak)
{
    struct Case {
        const char* call;
        bool draws;
    } cases[] = {
        {"CreateFontIndirectA", true},
        {"CreateCompatibleDC", false},
        {"CreateDIBSection", false},
        {"GetDC", true},
    };
    for (const Case& c : cases) {
        for (int ex = 0; ex < 2; ++ex) {
            SCOPED_TRACE(std::string(c.call) + (ex ? " DrawStringEx" : " DrawString"));
            RasterImage img(160, 50, 24);
            Fill(img, Quad(0, 0, 0));
            desktop::FailOnce(c.call);
            if (ex) {
                tagRasterTextInfo ti;
                img.InitTextInfo(&ti);
                std::strcpy(ti.szText, "Fail");
                ti.lfFont.lfHeight = -16;
                EXPECT_EQ(img.DrawStringEx(NULL, 80, 40, &ti, false), 1);
            } else {
                EXPECT_EQ(img.DrawString(NULL, 0, 40, "Fail", Quad(255, 255, 255), "Arial", 16,
                                         400, 0, 0, false),
                          1);
            }
            desktop::ClearFailures();
            int drawn = 0;
            for (long y = 0; y < 50; ++y)
                for (long x = 0; x < 160; ++x)
                    drawn += !SameColour(img.GetPixelColor(x, y), Quad(0, 0, 0));
            EXPECT_EQ(drawn > 0, c.draws);
            EXPECT_EQ(desktop::OpenDcCount(), 0);
        }
    }
}

// A paletted image takes the nearest palette entry for text and box.
TEST_F(RasterText, PalettedImagesTakeTheNearestEntry)
{
    RasterImage img(120, 40, 8);
    img.SetStdPalette();
    tagRasterTextInfo ti;
    img.InitTextInfo(&ti);
    std::strcpy(ti.szText, "P");
    ti.lfFont.lfHeight = -20;
    ti.nAlign = 0;
    ASSERT_EQ(img.DrawStringEx(NULL, 0, 30, &ti, false), 1);
    const BYTE boxIndex = img.GetNearestIndex(Quad(32, 96, 0));
    EXPECT_EQ(img.GetPixelIndex(1, 40 - 1 - 20), boxIndex);
}

}  // namespace
