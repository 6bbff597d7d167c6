// ExtTextOutA, DrawTextA and GetTextExtentPoint32A into DIB sections:
// glyphs where GetGlyphOutlineA places them, background modes and opaque
// rectangles, clipping, alignment, prefixes and measuring, checked against
// Win32's documented behaviour with pictures the test computes itself.
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform_fixture.h"
#include "section_dc.h"

namespace {

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
const COLORREF kPaper = RGB(10, 20, 30);

// A memory context drawing into a top-down 32-bit section, with a font.
class Canvas : public SectionDc {
public:
    Canvas(int w, int h, const char* face = "DejaVu Sans", int height = 16,
           BYTE quality = DEFAULT_QUALITY)
        : SectionDc(w, h,
                    CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                quality, 0, face))
    {
        Clear(kPaper);
    }
    void Clear(COLORREF c)
    {
        Fill(DWORD(GetRValue(c)) << 16 | DWORD(GetGValue(c)) << 8 | GetBValue(c));
    }
    COLORREF At(int x, int y) const
    {
        const DWORD v = bits()[y * w() + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    std::vector<COLORREF> Pixels() const
    {
        std::vector<COLORREF> out;
        for (int y = 0; y < h(); ++y)
            for (int x = 0; x < w(); ++x)
                out.push_back(At(x, y));
        return out;
    }
    TEXTMETRICA Metrics() const
    {
        TEXTMETRICA tm = {};
        EXPECT_TRUE(GetTextMetricsA(dc(), &tm));
        return tm;
    }
    int Advance(UINT code) const
    {
        GLYPHMETRICS gm = {};
        GetGlyphOutlineA(dc(), code, GGO_METRICS, &gm, 0, NULL, &kIdentity);
        return gm.gmCellIncX;
    }
    // Paints a glyph as GetGlyphOutlineA gives it into an expected picture:
    // black box at pen + origin from the baseline, 1-bit or 65-level blended.
    void Expect(std::vector<COLORREF>& pic, UINT code, int pen, int baseline, COLORREF color,
                bool gray) const
    {
        GLYPHMETRICS gm = {};
        const UINT format = gray ? GGO_GRAY8_BITMAP : GGO_BITMAP;
        const DWORD size = GetGlyphOutlineA(dc(), code, format, &gm, 0, NULL, &kIdentity);
        ASSERT_NE(size, GDI_ERROR);
        std::vector<BYTE> bits(size);
        if (size)
            GetGlyphOutlineA(dc(), code, format, &gm, size, bits.data(), &kIdentity);
        const size_t pitch = gray ? (gm.gmBlackBoxX + 3) / 4 * 4 : (gm.gmBlackBoxX + 31) / 32 * 4;
        for (UINT gy = 0; size && gy < gm.gmBlackBoxY; ++gy) {
            for (UINT gx = 0; gx < gm.gmBlackBoxX; ++gx) {
                const int a = gray ? bits[gy * pitch + gx]
                                   : ((bits[gy * pitch + gx / 8] >> (7 - gx % 8)) & 1) * 64;
                const int x = pen + gm.gmptGlyphOrigin.x + int(gx);
                const int y = baseline - gm.gmptGlyphOrigin.y + int(gy);
                if (a == 0 || x < 0 || y < 0 || x >= w() || y >= h())
                    continue;
                COLORREF& p = pic[size_t(y) * w() + x];
                auto mix = [a](int s, int d) { return (s * a + d * (64 - a) + 32) / 64; };
                p = RGB(mix(GetRValue(color), GetRValue(p)), mix(GetGValue(color), GetGValue(p)),
                        mix(GetBValue(color), GetBValue(p)));
            }
        }
    }

};

int CountDiffs(const std::vector<COLORREF>& got, const std::vector<COLORREF>& want, int w)
{
    int n = 0;
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i] && ++n <= 4)
            ADD_FAILURE() << "pixel " << i % w << "," << i / w << ": " << std::hex << got[i]
                          << " want " << want[i];
    return n;
}

void FillExpected(std::vector<COLORREF>& pic, int w, RECT r, COLORREF c)
{
    const int h = int(pic.size()) / w;
    for (int y = std::max<int>(0, r.top); y < std::min<int>(h, r.bottom); ++y)
        for (int x = std::max<int>(0, r.left); x < std::min<int>(w, r.right); ++x)
            pic[size_t(y) * w + x] = c;
}

class TextDraw : public PlatformTest {};

// Random texts at random places, partly off the surface: every glyph's
// black box lands at the pen position plus its origin, the baseline
// tmAscent below y, advancing by gmCellIncX; hard-edged by default,
// blended by coverage for an antialiased font.
TEST_F(TextDraw, ExtTextOutPlacesEachGlyphWhereItsMetricsSay)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 16; ++round) {
        const bool gray = round % 2 == 1;
        Canvas c(120, 40, round % 4 < 2 ? "DejaVu Sans" : "DejaVu Serif", 10 + int(rng() % 14),
                 gray ? ANTIALIASED_QUALITY : DEFAULT_QUALITY);
        std::string text;
        for (int n = 1 + int(rng() % 10); n > 0; --n)
            text += char(0x21 + rng() % 94);
        if (round % 5 == 0)
            text += "\xD6\xD0";  // a double-byte character
        const int x = int(rng() % 140) - 20, y = int(rng() % 50) - 10;
        const COLORREF ink = RGB(rng() % 256, rng() % 256, rng() % 256);
        SCOPED_TRACE(text + " at " + std::to_string(x) + "," + std::to_string(y));
        SetTextColor(c.dc(), ink);
        SetBkMode(c.dc(), TRANSPARENT);
        ASSERT_TRUE(ExtTextOutA(c.dc(), x, y, 0, NULL, text.data(), UINT(text.size()), NULL));

        std::vector<COLORREF> want(size_t(c.w()) * c.h(), kPaper);
        const int baseline = y + c.Metrics().tmAscent;
        int pen = x;
        for (size_t i = 0; i < text.size(); ++i) {
            UINT code = (unsigned char)text[i];
            if (code >= 0x81 && i + 1 < text.size())
                code = code << 8 | (unsigned char)text[++i];
            c.Expect(want, code, pen, baseline, ink, gray);
            pen += c.Advance(code);
        }
        EXPECT_EQ(CountDiffs(c.Pixels(), want, c.w()), 0);
    }
}

// The background: the text's cells in opaque mode, the rectangle with
// ETO_OPAQUE in either mode; ETO_CLIPPED keeps glyphs and cells inside it.
TEST_F(TextDraw, BackgroundModesOpaqueRectanglesAndClipping)
{
    const std::string text = "Tag";
    struct Case {
        int mode;
        UINT options;
        bool withRect;
    } cases[] = {
        {TRANSPARENT, 0, false},         {OPAQUE, 0, false},
        {TRANSPARENT, ETO_OPAQUE, true}, {OPAQUE, ETO_OPAQUE, true},
        {TRANSPARENT, ETO_CLIPPED, true}, {OPAQUE, ETO_CLIPPED, true},
        {OPAQUE, ETO_OPAQUE | ETO_CLIPPED, true}, {TRANSPARENT, ETO_OPAQUE, false},
    };
    const COLORREF ink = RGB(255, 255, 0), bk = RGB(0, 0, 200);
    const RECT rect = {12, 6, 30, 18};
    const int x = 10, y = 4;
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.mode) + " options " + std::to_string(k.options));
        Canvas c(60, 30);
        SetTextColor(c.dc(), ink);
        SetBkColor(c.dc(), bk);
        SetBkMode(c.dc(), k.mode);
        ASSERT_TRUE(ExtTextOutA(c.dc(), x, y, k.options, k.withRect ? &rect : NULL, text.data(),
                                UINT(text.size()), NULL));
        SIZE ext = {};
        ASSERT_TRUE(GetTextExtentPoint32A(c.dc(), text.data(), int(text.size()), &ext));

        // Drawn without a clip onto a reference canvas, then clipped by hand.
        std::vector<COLORREF> want(size_t(c.w()) * c.h(), kPaper);
        if (k.withRect && (k.options & ETO_OPAQUE))
            FillExpected(want, c.w(), rect, bk);
        std::vector<COLORREF> text_layer(size_t(c.w()) * c.h(), kPaper);
        if (k.mode == OPAQUE)
            FillExpected(text_layer, c.w(), RECT{x, y, x + ext.cx, y + ext.cy}, bk);
        int pen = x;
        for (char ch : text) {
            c.Expect(text_layer, (unsigned char)ch, pen, y + c.Metrics().tmAscent, ink, false);
            pen += c.Advance((unsigned char)ch);
        }
        const bool clipped = k.withRect && (k.options & ETO_CLIPPED);
        for (int py = 0; py < c.h(); ++py)
            for (int px = 0; px < c.w(); ++px) {
                const size_t i = size_t(py) * c.w() + px;
                const bool inside = px >= rect.left && px < rect.right && py >= rect.top &&
                                    py < rect.bottom;
                if (text_layer[i] != kPaper && (!clipped || inside))
                    want[i] = text_layer[i];
            }
        EXPECT_EQ(CountDiffs(c.Pixels(), want, c.w()), 0);
    }
}

TEST_F(TextDraw, CharacterAdvancesFromTheCaller)
{
    Canvas a(80, 24), b(80, 24);
    const INT dx[] = {15, 3, 20, 0};
    SetBkMode(a.dc(), TRANSPARENT);
    SetBkMode(b.dc(), TRANSPARENT);
    SetTextColor(a.dc(), RGB(255, 255, 255));
    SetTextColor(b.dc(), RGB(255, 255, 255));
    ASSERT_TRUE(ExtTextOutA(a.dc(), 2, 2, 0, NULL, "ab\xD6\xD0", 4, dx));
    // The same characters one at a time at the pens the advances give.
    ExtTextOutA(b.dc(), 2, 2, 0, NULL, "a", 1, NULL);
    ExtTextOutA(b.dc(), 17, 2, 0, NULL, "b", 1, NULL);
    ExtTextOutA(b.dc(), 20, 2, 0, NULL, "\xD6\xD0", 2, NULL);
    EXPECT_EQ(CountDiffs(a.Pixels(), b.Pixels(), a.w()), 0);
}

TEST_F(TextDraw, ExtentIsTheSumOfAdvancesAndTheCellHeight)
{
    Canvas c(10, 10);
    const char* texts[] = {"", "A", "Hello world", "\xD6\xD0\xCE\xC4", "a\tb"};
    for (const char* t : texts) {
        SIZE s = {-1, -1};
        ASSERT_TRUE(GetTextExtentPoint32A(c.dc(), t, int(std::strlen(t)), &s));
        int sum = 0;
        for (size_t i = 0; t[i]; ++i) {
            UINT code = (unsigned char)t[i];
            if (code >= 0x81)
                code = code << 8 | (unsigned char)t[++i];
            sum += c.Advance(code);
        }
        EXPECT_EQ(s.cx, sum) << t;
        EXPECT_EQ(s.cy, c.Metrics().tmHeight) << t;
    }
    SIZE s;
    EXPECT_FALSE(GetTextExtentPoint32A(c.dc(), "x", 1, NULL));
    EXPECT_FALSE(GetTextExtentPoint32A(NULL, "x", 1, &s));
    EXPECT_FALSE(ExtTextOutA(NULL, 0, 0, 0, NULL, "x", 1, NULL));
    RECT r = {0, 0, 10, 10};
    EXPECT_EQ(DrawTextA(NULL, "x", 1, &r, 0), 0);
    EXPECT_EQ(DrawTextA(c.dc(), "x", 1, NULL, 0), 0);
}

// DT_CALCRECT: the widest line's width and every line's height; the text's
// height is returned; nothing is drawn.
TEST_F(TextDraw, CalcRectMeasuresWithoutDrawing)
{
    Canvas c(100, 100);
    const std::vector<COLORREF> before = c.Pixels();
    const int lh = c.Metrics().tmHeight;
    SIZE one, two;
    GetTextExtentPoint32A(c.dc(), "short", 5, &one);
    GetTextExtentPoint32A(c.dc(), "longer line", 11, &two);
    struct Case {
        const char* text;
        UINT format;
        RECT in;
        RECT out;
        int result;
    } cases[] = {
        {"short", DT_CALCRECT, {5, 7, 5, 7}, {5, 7, 5 + one.cx, 7 + lh}, lh},
        {"short", DT_CALCRECT | DT_SINGLELINE, {0, 0, 500, 500}, {0, 0, one.cx, lh}, lh},
        {"short\r\nlonger line", DT_CALCRECT, {0, 0, 0, 0}, {0, 0, two.cx, 2 * lh}, 2 * lh},
        {"&short", DT_CALCRECT, {0, 0, 0, 0}, {0, 0, one.cx, lh}, lh},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        RECT r = k.in;
        EXPECT_EQ(DrawTextA(c.dc(), k.text, -1, &r, k.format), k.result);
        EXPECT_EQ(r.left, k.out.left);
        EXPECT_EQ(r.top, k.out.top);
        EXPECT_EQ(r.right, k.out.right);
        EXPECT_EQ(r.bottom, k.out.bottom);
    }
    // A word break from a narrow rectangle: each word a line, as wide as the wider word.
    SIZE longer, line;
    GetTextExtentPoint32A(c.dc(), "longer", 6, &longer);
    GetTextExtentPoint32A(c.dc(), "line", 4, &line);
    RECT r = {0, 0, 1, 0};
    EXPECT_EQ(DrawTextA(c.dc(), "longer line", -1, &r, DT_CALCRECT | DT_WORDBREAK), 2 * lh);
    EXPECT_EQ(r.right, std::max(longer.cx, line.cx));
    EXPECT_EQ(r.bottom, 2 * lh);
    EXPECT_EQ(CountDiffs(c.Pixels(), before, c.w()), 0);
}

// The picture of DrawTextA with one format.
std::vector<COLORREF> Drawn(const char* text, UINT format, RECT rect, int* result = nullptr)
{
    Canvas c(100, 60);
    SetTextColor(c.dc(), RGB(255, 255, 255));
    SetBkMode(c.dc(), TRANSPARENT);
    const int got = DrawTextA(c.dc(), text, -1, &rect, format);
    if (result)
        *result = got;
    return c.Pixels();
}

std::vector<COLORREF> Shifted(const std::vector<COLORREF>& pic, int w, int dx, int dy)
{
    std::vector<COLORREF> out(pic.size(), kPaper);
    const int h = int(pic.size()) / w;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int sx = x - dx, sy = y - dy;
            if (sx >= 0 && sy >= 0 && sx < w && sy < h)
                out[size_t(y) * w + x] = pic[size_t(sy) * w + sx];
        }
    return out;
}

// Centred, right and vertically placed text is the left-aligned picture
// moved by the documented offsets.
TEST_F(TextDraw, AlignmentMovesTheLineInsideTheRectangle)
{
    Canvas m(1, 1);
    SIZE ext;
    GetTextExtentPoint32A(m.dc(), "Mid", 3, &ext);
    const int lh = m.Metrics().tmHeight;
    const RECT rect = {4, 2, 94, 58};
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    struct Case {
        UINT format;
        int dx, dy, result;
    } cases[] = {
        {DT_CENTER, (w - ext.cx) / 2, 0, lh},
        {DT_RIGHT, w - ext.cx, 0, lh},
        {DT_SINGLELINE | DT_VCENTER, 0, (h - lh) / 2, (h - lh) / 2 + lh},
        {DT_SINGLELINE | DT_BOTTOM | DT_RIGHT, w - ext.cx, h - lh, h},
        {DT_VCENTER, 0, 0, lh},  // vertical placement needs a single line
    };
    const std::vector<COLORREF> left = Drawn("Mid", DT_LEFT, rect);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.format);
        int result = 0;
        const std::vector<COLORREF> got = Drawn("Mid", k.format, rect, &result);
        EXPECT_EQ(result, k.result);
        EXPECT_EQ(CountDiffs(got, Shifted(left, 100, k.dx, k.dy), 100), 0);
    }
}

// "&x" draws x underlined, "&&" one '&'; DT_HIDEPREFIX hides the line,
// DT_NOPREFIX shows '&' as it is, DT_PREFIXONLY draws only the line.
TEST_F(TextDraw, PrefixesUnderlineOrPassThrough)
{
    const RECT rect = {0, 0, 100, 60};
    const std::vector<COLORREF> plain = Drawn("Go", 0, rect);
    const std::vector<COLORREF> prefixed = Drawn("&Go", 0, rect);
    Canvas m(1, 1);
    const int gw = m.Advance('G');
    // The two pictures differ only on the underline below G: a full-width bar.
    int rows = 0, first = -1;
    for (int y = 0; y < 60; ++y) {
        int differing = 0;
        for (int x = 0; x < 100; ++x)
            if (plain[size_t(y) * 100 + x] != prefixed[size_t(y) * 100 + x]) {
                EXPECT_LT(x, gw) << y;
                ++differing;
            }
        if (differing) {
            ++rows;
            if (first < 0)
                first = y;
            for (int x = 0; x < gw; ++x)
                EXPECT_EQ(prefixed[size_t(y) * 100 + x], RGB(255, 255, 255));
        }
    }
    EXPECT_GE(rows, 1);
    EXPECT_GT(first, m.Metrics().tmAscent - 1);
    EXPECT_LT(first, m.Metrics().tmHeight);

    EXPECT_EQ(CountDiffs(Drawn("&Go", DT_HIDEPREFIX, rect), plain, 100), 0);
    EXPECT_EQ(CountDiffs(Drawn("a&&b", 0, rect), Drawn("a&b", DT_NOPREFIX, rect), 100), 0);
    Canvas e(100, 60);
    SetTextColor(e.dc(), RGB(255, 255, 255));
    SetBkMode(e.dc(), TRANSPARENT);
    ExtTextOutA(e.dc(), 0, 0, 0, NULL, "&Go", 3, NULL);
    EXPECT_EQ(CountDiffs(Drawn("&Go", DT_NOPREFIX, rect), e.Pixels(), 100), 0);
    // Only the underline: exactly the pixels where the two pictures differ.
    const std::vector<COLORREF> only = Drawn("&Go", DT_PREFIXONLY, rect);
    for (size_t i = 0; i < only.size(); ++i)
        ASSERT_EQ(only[i] != kPaper, plain[i] != prefixed[i]) << i;
}

// Text is clipped to the rectangle unless DT_NOCLIP; lines break at words.
TEST_F(TextDraw, ClipsToTheRectangleAndBreaksWords)
{
    const RECT narrow = {10, 5, 30, 40};
    const std::vector<COLORREF> clipped = Drawn("Wide words", DT_SINGLELINE, narrow);
    const std::vector<COLORREF> free = Drawn("Wide words", DT_SINGLELINE | DT_NOCLIP, narrow);
    int outside = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool in = x >= narrow.left && x < narrow.right && y >= narrow.top &&
                            y < narrow.bottom;
            const COLORREF a = clipped[size_t(y) * 100 + x], b = free[size_t(y) * 100 + x];
            if (in)
                EXPECT_EQ(a, b);
            else
                EXPECT_EQ(a, kPaper);
            outside += !in && b != kPaper;
        }
    EXPECT_GT(outside, 0);

    // Two words on two lines: the second drawn as a line of its own below.
    Canvas m(1, 1);
    const int lh = m.Metrics().tmHeight;
    const RECT wide = {0, 0, 100, 60};
    const RECT box = {0, 0, 40, 60};
    int result = 0;
    const std::vector<COLORREF> wrapped = Drawn("Wide words", DT_WORDBREAK, box, &result);
    EXPECT_EQ(result, 2 * lh);
    std::vector<COLORREF> want = Drawn("Wide", 0, wide);
    const std::vector<COLORREF> second = Shifted(Drawn("words", 0, wide), 100, 0, lh);
    for (size_t i = 0; i < want.size(); ++i)
        if (second[i] != kPaper)
            want[i] = second[i];
    for (size_t i = 0; i < want.size(); ++i)
        if (int(i % 100) >= box.right)
            want[i] = kPaper;
    EXPECT_EQ(CountDiffs(wrapped, want, 100), 0);
}

}  // namespace

namespace {

// Filling a rectangle with the background colour and no text, as a
// picture's background is cleared: no font needed, the clip still holds.
TEST_F(TextDraw, OpaqueRectangleWithoutText)
{
    Canvas c(40, 30);
    SetBkColor(c.dc(), RGB(1, 2, 3));
    SetBkMode(c.dc(), TRANSPARENT);
    const RECT rect = {5, 6, 25, 16};
    ASSERT_TRUE(ExtTextOutA(c.dc(), 0, 0, ETO_OPAQUE, &rect, NULL, 0, NULL));
    std::vector<COLORREF> want(size_t(c.w()) * c.h(), kPaper);
    FillExpected(want, c.w(), rect, RGB(1, 2, 3));
    EXPECT_EQ(CountDiffs(c.Pixels(), want, c.w()), 0);
    EXPECT_FALSE(ExtTextOutA(c.dc(), 0, 0, ETO_OPAQUE, &rect, NULL, 3, NULL));
}

// The context's clip region bounds every pixel text output writes.
TEST_F(TextDraw, ClipRegionBoundsTheText)
{
    const RECT all = {0, 0, 100, 60};
    const std::vector<COLORREF> full = Drawn("Clipped text\nsecond line", 0, all);
    Canvas c(100, 60);
    SetTextColor(c.dc(), RGB(255, 255, 255));
    SetBkMode(c.dc(), TRANSPARENT);
    HRGN a = CreateRectRgn(0, 0, 30, 60), b = CreateRectRgn(50, 10, 90, 25);
    CombineRgn(a, a, b, RGN_OR);
    ASSERT_NE(ExtSelectClipRgn(c.dc(), a, RGN_COPY), ERROR);
    RECT r = all;
    DrawTextA(c.dc(), "Clipped text\nsecond line", -1, &r, 0);
    std::vector<COLORREF> want = full;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x)
            if (!PtInRegion(a, x, y))
                want[size_t(y) * 100 + x] = kPaper;
    EXPECT_EQ(CountDiffs(c.Pixels(), want, 100), 0);
    DeleteObject(a);
    DeleteObject(b);
}

}  // namespace

namespace {

// A window's context draws text into its surface like any other: the same
// picture as in a 32-bit section, clipped to the client area.
TEST_F(TextDraw, WindowContextsTakeTextLikeSections)
{
    HWND hwnd = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 60);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(desktop::SurfaceWidth(hwnd), 100);
    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    HFONT font = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                             ANTIALIASED_QUALITY, 0, "DejaVu Sans");
    HGDIOBJ old = SelectObject(dc, font);
    const RECT fill = {0, 0, 100, 60};
    SetBkColor(dc, kPaper);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &fill, NULL, 0, NULL);
    SetTextColor(dc, RGB(255, 200, 0));
    SetBkMode(dc, TRANSPARENT);
    RECT r = {3, 4, 100, 60};
    EXPECT_GT(DrawTextA(dc, "Smooth &text", -1, &r, DT_WORDBREAK), 0);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);

    Canvas c(100, 60, "DejaVu Sans", 16, ANTIALIASED_QUALITY);
    SetTextColor(c.dc(), RGB(255, 200, 0));
    SetBkMode(c.dc(), TRANSPARENT);
    r = {3, 4, 100, 60};
    DrawTextA(c.dc(), "Smooth &text", -1, &r, DT_WORDBREAK);
    int diffs = 0, inked = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            const DWORD v = desktop::Pixel(hwnd, x, y);
            const COLORREF got = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
            diffs += got != c.At(x, y);
            inked += got != kPaper;
        }
    EXPECT_EQ(diffs, 0);
    EXPECT_GT(inked, 20);
    DeleteObject(font);
}

}  // namespace

namespace {

// Expanded tabs move the text after them to the next stop, every eight
// average character widths; in opaque mode the gap is background too.
TEST_F(TextDraw, ExpandedTabsDrawAtTabStops)
{
    Canvas m(1, 1);
    const TEXTMETRICA tm = m.Metrics();
    const int stop = 8 * tm.tmAveCharWidth;
    SIZE ab;
    GetTextExtentPoint32A(m.dc(), "ab", 2, &ab);
    ASSERT_LT(ab.cx, stop);

    Canvas got(200, 30), want(200, 30);
    for (Canvas* c : {&got, &want}) {
        SetTextColor(c->dc(), RGB(255, 255, 255));
        SetBkColor(c->dc(), RGB(0, 0, 255));
        SetBkMode(c->dc(), OPAQUE);
    }
    RECT r = {2, 3, 200, 30};
    DrawTextA(got.dc(), "ab\tcd", -1, &r, DT_EXPANDTABS);
    SIZE cd;
    GetTextExtentPoint32A(m.dc(), "cd", 2, &cd);
    const RECT gap = {2, 3, 2 + stop + cd.cx, 3 + tm.tmHeight};
    ExtTextOutA(want.dc(), 0, 0, ETO_OPAQUE, &gap, NULL, 0, NULL);
    SetBkMode(want.dc(), TRANSPARENT);
    ExtTextOutA(want.dc(), 2, 3, 0, NULL, "ab", 2, NULL);
    ExtTextOutA(want.dc(), 2 + stop, 3, 0, NULL, "cd", 2, NULL);
    EXPECT_EQ(CountDiffs(got.Pixels(), want.Pixels(), 200), 0);
}

}  // namespace

namespace {

// A screen or window context measures and draws with the system font before
// any font is selected into it, as a fresh memory context does.
TEST_F(TextDraw, FreshWindowAndScreenContextsUseTheSystemFont)
{
    HDC mem = CreateCompatibleDC(NULL);
    RECT want = {0, 0, 0, 0};
    const int wantHeight = DrawTextA(mem, "System", -1, &want, DT_CALCRECT);
    ASSERT_GT(wantHeight, 0);
    DeleteDC(mem);

    HWND hwnd = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 80, 30);
    for (HWND owner : {HWND(NULL), hwnd}) {
        HDC dc = GetDC(owner);
        // The font is read before anything was drawn or selected.
        TEXTMETRICA tm = {};
        EXPECT_TRUE(GetTextMetricsA(dc, &tm));
        EXPECT_EQ(tm.tmHeight, wantHeight);
        RECT r = {0, 0, 0, 0};
        EXPECT_EQ(DrawTextA(dc, "System", -1, &r, DT_CALCRECT), wantHeight);
        EXPECT_EQ(r.right, want.right);
        SIZE s = {};
        EXPECT_TRUE(GetTextExtentPoint32A(dc, "System", 6, &s));
        EXPECT_EQ(s.cx, want.right);
        ReleaseDC(owner, dc);
    }
}

}  // namespace

namespace {

// Points and advances near the ends of the int range: text past an edge
// draws nothing rather than wrapping round to the other side, and measures
// are held to the range.
TEST_F(TextDraw, CoordinatesAtTheEndsOfTheRangeNeverWrap)
{
    Canvas c(60, 30);
    SetBkMode(c.dc(), OPAQUE);
    SetBkColor(c.dc(), RGB(0, 0, 255));
    const POINT off[] = {{INT_MAX - 3, 2}, {INT_MIN + 1, 2}, {2, INT_MAX - 1}, {2, INT_MIN}};
    for (const POINT& p : off) {
        c.Clear(kPaper);
        EXPECT_TRUE(ExtTextOutA(c.dc(), p.x, p.y, 0, NULL, "WWW", 3, NULL));
        EXPECT_EQ(CountDiffs(c.Pixels(), std::vector<COLORREF>(60 * 30, kPaper), 60), 0)
            << p.x << "," << p.y;
    }
    // Advances that reach past the range leave the first character alone.
    const INT huge[] = {INT_MAX, INT_MAX, INT_MAX}, one[] = {1000};
    c.Clear(kPaper);
    ExtTextOutA(c.dc(), 2, 2, 0, NULL, "W", 1, one);
    const std::vector<COLORREF> want = c.Pixels();
    c.Clear(kPaper);
    EXPECT_TRUE(ExtTextOutA(c.dc(), 2, 2, 0, NULL, "WWW", 3, huge));
    EXPECT_EQ(CountDiffs(c.Pixels(), want, 60), 0);
    RECT r = {INT_MAX - 2, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_GT(DrawTextA(c.dc(), "Wide", -1, &r, DT_CALCRECT), 0);
    EXPECT_EQ(r.right, INT_MAX);
    RECT all = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_GT(DrawTextA(c.dc(), "Wide", -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
}

}  // namespace
