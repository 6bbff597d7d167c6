// GDI font objects: logical fonts and their heights, weights, slants and
// faces; stock fonts; memory contexts; selecting and deleting.
#include <climits>
#include <cstring>
#include <vector>

#include "platform_fixture.h"

namespace {

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

HFONT Font(int height, const char* face, int weight = FW_NORMAL, bool italic = false,
           DWORD charSet = DEFAULT_CHARSET, DWORD pitchAndFamily = 0)
{
    return CreateFontA(height, 0, 0, 0, weight, italic, 0, 0, charSet, 0, 0, 0, pitchAndFamily,
                       face);
}

// A memory context with one font selected; frees both.
class Selected {
public:
    explicit Selected(HFONT font) : m_font(font), m_dc(CreateCompatibleDC(NULL))
    {
        m_old = SelectObject(m_dc, font);
    }
    ~Selected()
    {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
        DeleteObject(m_font);
    }
    TEXTMETRICA Metrics()
    {
        TEXTMETRICA tm = {};
        EXPECT_TRUE(GetTextMetricsA(m_dc, &tm));
        return tm;
    }
    // The glyph bits in format, with its metrics.
    std::vector<BYTE> Bits(UINT code, UINT format, GLYPHMETRICS* gm = nullptr)
    {
        GLYPHMETRICS m;
        const DWORD size = GetGlyphOutlineA(m_dc, code, format, &m, 0, NULL, &kIdentity);
        EXPECT_NE(size, GDI_ERROR);
        std::vector<BYTE> bits(size == GDI_ERROR ? 0 : size);
        if (!bits.empty())
            GetGlyphOutlineA(m_dc, code, format, &m, size, bits.data(), &kIdentity);
        if (gm != nullptr)
            *gm = m;
        return bits;
    }
    HDC dc() const { return m_dc; }

private:
    HFONT m_font;
    HDC m_dc;
    HGDIOBJ m_old;
};

class FontObjects : public PlatformTest {};

TEST_F(FontObjects, PositiveHeightIsTheCellNegativeTheCharacterHeight)
{
    for (int h : {9, 12, 16, 24, 37}) {
        Selected cell(Font(h, "Arial"));
        TEXTMETRICA tm = cell.Metrics();
        EXPECT_EQ(tm.tmHeight, h);
        EXPECT_EQ(tm.tmAscent + tm.tmDescent, h);
        EXPECT_GT(tm.tmInternalLeading, 0);

        Selected em(Font(-h, "Arial"));
        TEXTMETRICA tm2 = em.Metrics();
        EXPECT_EQ(tm2.tmHeight - tm2.tmInternalLeading, h);
        EXPECT_GT(tm2.tmHeight, h);
        EXPECT_EQ(tm2.tmAscent + tm2.tmDescent, tm2.tmHeight);
    }
}

TEST_F(FontObjects, MetricsDescribeTheFont)
{
    Selected s(Font(-16, "Arial", FW_BOLD));
    TEXTMETRICA tm = s.Metrics();
    EXPECT_EQ(tm.tmWeight, FW_BOLD);
    EXPECT_GT(tm.tmAveCharWidth, 4);
    EXPECT_GT(tm.tmMaxCharWidth, tm.tmAveCharWidth);
    EXPECT_EQ(tm.tmItalic, 0);
    EXPECT_EQ(tm.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE), TMPF_VECTOR | TMPF_TRUETYPE);
    Selected zero(Font(0, "Arial"));
    EXPECT_GT(zero.Metrics().tmHeight, 0);  // a default size
}

TEST_F(FontObjects, HeightsBeyondAnyScreenAreRefused)
{
    for (int h : {100000, -100000, INT_MIN, INT_MAX}) {
        Selected s(Font(h, "Arial"));
        TEXTMETRICA tm;
        EXPECT_FALSE(GetTextMetricsA(s.dc(), &tm)) << h;
        GLYPHMETRICS gm;
        EXPECT_EQ(GetGlyphOutlineA(s.dc(), 'A', GGO_BITMAP, &gm, 0, NULL, &kIdentity), GDI_ERROR);
    }
}

TEST_F(FontObjects, BoldAndItalicChangeTheGlyphs)
{
    GLYPHMETRICS regular, bold, italic;
    Selected r(Font(-20, "Arial"));
    Selected b(Font(-20, "Arial", FW_BOLD));
    Selected i(Font(-20, "Arial", FW_NORMAL, true));
    r.Bits('l', GGO_GRAY8_BITMAP, &regular);
    b.Bits('l', GGO_GRAY8_BITMAP, &bold);
    i.Bits('l', GGO_GRAY8_BITMAP, &italic);
    EXPECT_GT(bold.gmBlackBoxX, regular.gmBlackBoxX);
    EXPECT_GT(italic.gmBlackBoxX, regular.gmBlackBoxX);  // slanted
    EXPECT_EQ(italic.gmBlackBoxY, regular.gmBlackBoxY);
}

TEST_F(FontObjects, FaceWithoutBoldOrItalicGetsThemDrawn)
{
    // The Chinese face has one weight and no slant.
    GLYPHMETRICS regular, bold, italic;
    Selected r(Font(-20, "SimSun"));
    Selected b(Font(-20, "SimSun", FW_BOLD));
    Selected i(Font(-20, "SimSun", FW_NORMAL, true));
    r.Bits(0xB0A1, GGO_GRAY8_BITMAP, &regular);
    b.Bits(0xB0A1, GGO_GRAY8_BITMAP, &bold);
    i.Bits(0xB0A1, GGO_GRAY8_BITMAP, &italic);
    EXPECT_GT(bold.gmBlackBoxX, regular.gmBlackBoxX);
    EXPECT_GE(bold.gmCellIncX, regular.gmCellIncX);
    EXPECT_GT(italic.gmBlackBoxX, regular.gmBlackBoxX);
}

// The engine advances single-byte text by half the height, so every request
// gets a monospace face but one that names a proportional face. Each request
// is compared, glyph by glyph, with the installed face it must get.
TEST_F(FontObjects, RequestsMapToMonospaceFacesUnlessAProportionalFaceIsNamed)
{
    const char* const latinMono = "DejaVu Sans Mono";
    const char* const chineseMono = "WenQuanYi Micro Hei Mono";
    const char* const latinProp = "DejaVu Sans";
    const char* const chineseProp = "WenQuanYi Micro Hei";
    const struct {
        const char* face;
        DWORD charSet;
        DWORD pitch;
        const char* want;
    } cases[] = {
        {"", DEFAULT_CHARSET, 0, latinMono},                     // the default
        {"", GB2312_CHARSET, 0, chineseMono},
        {"No Such Face Anywhere", DEFAULT_CHARSET, 0, latinMono},
        {"No Such Face", GB2312_CHARSET, 0, chineseMono},
        {"System", DEFAULT_CHARSET, 0, latinMono},
        {"Courier New", DEFAULT_CHARSET, 0, latinMono},
        {"Courier New", GB2312_CHARSET, 0, chineseMono},
        {"SimSun", GB2312_CHARSET, 0, chineseMono},
        {"NSimSun", DEFAULT_CHARSET, 0, chineseMono},
        {"SimHei", GB2312_CHARSET, 0, chineseMono},
        {"\xCB\xCE\xCC\xE5", GB2312_CHARSET, 0, chineseMono},          // SimSun's name in code page 936
        {"\xD0\xC2\xCB\xCE\xCC\xE5", GB2312_CHARSET, 0, chineseMono},  // NSimSun's
        {"\xBA\xDA\xCC\xE5", GB2312_CHARSET, 0, chineseMono},          // SimHei's
        {"Arial", DEFAULT_CHARSET, FIXED_PITCH, latinMono},       // asked fixed-pitch
        {"Arial", DEFAULT_CHARSET, FF_MODERN, latinMono},
        {"", GB2312_CHARSET, FIXED_PITCH | FF_MODERN, chineseMono},
        {"Arial", DEFAULT_CHARSET, 0, latinProp},                 // named proportional faces
        {"Tahoma", DEFAULT_CHARSET, VARIABLE_PITCH | FF_SWISS, latinProp},
        {"DejaVu Sans", DEFAULT_CHARSET, 0, latinProp},
        {"Microsoft YaHei", GB2312_CHARSET, 0, chineseProp},
        {"WenQuanYi Micro Hei", GB2312_CHARSET, 0, chineseProp},
    };
    for (const auto& c : cases) {
        Selected asked(Font(-16, c.face, FW_NORMAL, false, c.charSet, c.pitch));
        Selected want(Font(-16, c.want));
        for (UINT code : {UINT('A'), UINT('i'), UINT('W'), 0xB0A1u})
            EXPECT_EQ(asked.Bits(code, GGO_GRAY8_BITMAP), want.Bits(code, GGO_GRAY8_BITMAP))
                << c.face << " charset " << c.charSet << " pitch " << c.pitch << " code " << code;
    }
}

// In the monospace faces narrow and wide letters advance alike, by about
// half the cell height, as the engine lays text out; the Chinese face's
// characters take the whole em.
TEST_F(FontObjects, MonospaceFacesAdvanceEveryLetterAlike)
{
    Selected latin(Font(16, ""));
    Selected chinese(Font(16, "SimSun", FW_NORMAL, false, GB2312_CHARSET));
    Selected proportional(Font(16, "Arial"));
    GLYPHMETRICS i, w, han;
    for (Selected* mono : {&latin, &chinese}) {
        mono->Bits('i', GGO_GRAY8_BITMAP, &i);
        EXPECT_NEAR(i.gmCellIncX, 16 / 2, 1);
        for (UINT code = 0x21; code < 0x7F; code++) {
            mono->Bits(code, GGO_GRAY8_BITMAP, &w);
            EXPECT_EQ(w.gmCellIncX, i.gmCellIncX) << char(code);
        }
    }
    chinese.Bits(0xB0A1, GGO_GRAY8_BITMAP, &han);
    const TEXTMETRICA tm = chinese.Metrics();
    EXPECT_EQ(han.gmCellIncX, tm.tmHeight - tm.tmInternalLeading);
    proportional.Bits('i', GGO_GRAY8_BITMAP, &i);
    proportional.Bits('W', GGO_GRAY8_BITMAP, &w);
    EXPECT_LT(i.gmCellIncX, w.gmCellIncX);
    // Double-byte text the Latin faces lack comes from the Chinese face of
    // the same pitch.
    Selected latinEm(Font(-16, "")), proportionalEm(Font(-16, "Arial"));
    Selected chineseMonoEm(Font(-16, "WenQuanYi Micro Hei Mono"));
    Selected chinesePropEm(Font(-16, "WenQuanYi Micro Hei"));
    EXPECT_EQ(latinEm.Bits(0xB0A1, GGO_GRAY8_BITMAP), chineseMonoEm.Bits(0xB0A1, GGO_GRAY8_BITMAP));
    EXPECT_EQ(proportionalEm.Bits(0xB0A1, GGO_GRAY8_BITMAP),
              chinesePropEm.Bits(0xB0A1, GGO_GRAY8_BITMAP));
    // The metrics say which is which (the bit set means variable pitch).
    EXPECT_EQ(latin.Metrics().tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
    EXPECT_EQ(chinese.Metrics().tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
    EXPECT_EQ(proportional.Metrics().tmPitchAndFamily & TMPF_FIXED_PITCH, TMPF_FIXED_PITCH);
}

TEST_F(FontObjects, FaceNameOfAFullRecordNeedNotEndWithNul)
{
    LOGFONTA lf = {};
    lf.lfHeight = 16;
    std::memset(lf.lfFaceName, 'Z', LF_FACESIZE);
    Selected s(CreateFontIndirectA(&lf));
    EXPECT_EQ(s.Metrics().tmHeight, 16);

    Selected longName(Font(16, "A face name far longer than the thirty-one bytes a record holds"));
    EXPECT_EQ(longName.Metrics().tmHeight, 16);
}

TEST_F(FontObjects, StockFontsAreSharedAndNeverFreed)
{
    HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
    ASSERT_NE(gui, nullptr);
    EXPECT_EQ(GetStockObject(DEFAULT_GUI_FONT), gui);
    EXPECT_TRUE(DeleteObject(gui));
    HDC dc = CreateCompatibleDC(NULL);
    // A new context starts with the system font.
    EXPECT_EQ(SelectObject(dc, gui), GetStockObject(SYSTEM_FONT));
    TEXTMETRICA tm;
    EXPECT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 11);
    EXPECT_EQ(GetStockObject(5), nullptr);
    DeleteDC(dc);
}

TEST_F(FontObjects, SelectedFontCannotBeDeleted)
{
    HFONT a = Font(16, "Arial");
    HFONT b = Font(20, "Arial");
    HDC dc = CreateCompatibleDC(NULL);
    SelectObject(dc, a);
    EXPECT_FALSE(DeleteObject(a));
    EXPECT_EQ(SelectObject(dc, b), HGDIOBJ(a));
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    EXPECT_EQ(tm.tmHeight, 20);
    EXPECT_TRUE(DeleteObject(a));
    EXPECT_FALSE(DeleteObject(a));  // gone
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(b));  // its context is gone
}

TEST_F(FontObjects, UnknownHandlesFailWithoutEffect)
{
    HFONT a = Font(16, "Arial");
    HDC dc = CreateCompatibleDC(NULL);
    EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(uintptr_t(0x1234))), nullptr);
    EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(uintptr_t(0x5678)), a), nullptr);
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_FALSE(DeleteObject(dc));

    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    HDC window = GetDC(hwnd);
    EXPECT_FALSE(DeleteDC(window));  // released with ReleaseDC, not deleted
    HDC compatible = CreateCompatibleDC(window);
    EXPECT_NE(compatible, nullptr);
    EXPECT_NE(compatible, window);
    EXPECT_TRUE(DeleteDC(compatible));
    EXPECT_EQ(ReleaseDC(hwnd, window), 1);
    EXPECT_EQ(CreateCompatibleDC(reinterpret_cast<HDC>(uintptr_t(0x5678))), nullptr);

    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    TEXTMETRICA tm;
    EXPECT_FALSE(GetTextMetricsA(dc, &tm));
    EXPECT_TRUE(DeleteObject(a));
}

TEST_F(FontObjects, ArmedFailuresFailOnce)
{
    desktop::FailOnce("CreateCompatibleDC");
    EXPECT_EQ(CreateCompatibleDC(NULL), nullptr);
    HDC dc = CreateCompatibleDC(NULL);
    EXPECT_NE(dc, nullptr);
    desktop::FailOnce("CreateFontIndirectA");
    EXPECT_EQ(Font(16, "Arial"), nullptr);
    HFONT f = Font(16, "Arial");
    ASSERT_NE(f, nullptr);
    desktop::FailOnce("SelectObject");
    EXPECT_EQ(SelectObject(dc, f), nullptr);
    SelectObject(dc, f);
    desktop::FailOnce("GetTextMetricsA");
    TEXTMETRICA tm;
    EXPECT_FALSE(GetTextMetricsA(dc, &tm));
    EXPECT_TRUE(GetTextMetricsA(dc, &tm));
    DeleteDC(dc);
    DeleteObject(f);
}

}  // namespace
