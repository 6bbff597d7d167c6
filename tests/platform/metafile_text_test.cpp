// Text in played metafiles, checked against the platform's own text output:
// each record is played onto a block of pixels and the same string, font
// and place are drawn with ExtTextOutA into a DIB section. Windows places a
// text record's string as ExtTextOut would in the same context: the
// reference point moved by the text alignment, the font's height in
// logical units mapped to the device, and the record's spacing array, in
// logical units too, replacing the font's advances.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "font_cache.h"
#include "metafile_text.h"
#include "metafile_pixels.h"
#include "section_dc.h"

using namespace win32metafile;

namespace {

constexpr int kTransparent = 1;
constexpr int kOpaque = 2;
constexpr unsigned kTaRight = 2, kTaCenter = 6, kTaBottom = 8, kTaBaseline = 24, kTaUpdateCp = 1;

const char16_t kFace[] = u"DejaVu Sans";

// The font both sides use: what the player asks the platform for.
LogicalFont Font(long height, BYTE charSet = 0, long escapement = 0)
{
    LogicalFont f;
    f.stock = false;
    f.height = height;
    f.charSet = charSet;
    f.escapement = escapement;
    f.face = charSet == 134 ? u"SimSun" : kFace;
    return f;
}

// EMR_EXTCREATEFONTINDIRECTW into slot 1, selected.
void EmfFont(EmfBuilder& e, const LogicalFont& f)
{
    e.SelectFont(1, int32_t(f.height), f.face, 0, int32_t(f.escapement), 400, f.charSet);
}

struct Text {
    int x = 0, y = 0;
    std::u16string wide;  // EMR_EXTTEXTOUTW when set
    std::string narrow;   // EMR_EXTTEXTOUTA otherwise
    unsigned options = 0;
    RECT rect = {0, 0, 0, 0};
    std::vector<int> dx;
};

void EmfText(EmfBuilder& e, const Text& t)
{
    const bool wide = !t.wide.empty();
    e.ExtTextRecord(
        wide ? 84 : 83, t.x, t.y, wide ? t.wide.size() : t.narrow.size(),
        wide ? Utf16Bytes(t.wide) : std::vector<uint8_t>(t.narrow.begin(), t.narrow.end()),
        t.options, {int(t.rect.left), int(t.rect.top), int(t.rect.right), int(t.rect.bottom)},
        t.dx);
}

std::vector<uint32_t> Play(const std::vector<uint8_t>& bytes, int w, int h, bool wmf = false,
                           PlayStats* stats = nullptr)
{
    return PlayOnWhite(bytes, w, h, wmf, stats);
}

// The platform's own text output into a white 32-bit section.
class Reference : public SectionDc {
public:
    Reference(int w, int h, const LOGFONTA& lf) : SectionDc(w, h, CreateFontIndirectA(&lf))
    {
        Fill(kWhite);
        SetBkMode(dc(), kTransparent);
    }
    std::vector<uint32_t> Pixels() const { return Values(); }
    TEXTMETRICA Metrics() const
    {
        TEXTMETRICA tm = {};
        GetTextMetricsA(dc(), &tm);
        return tm;
    }
    int Width(const std::string& s) const
    {
        SIZE size = {};
        GetTextExtentPoint32A(dc(), s.data(), int(s.size()), &size);
        return size.cx;
    }
};

// An enhanced metafile of w x h device pixels drawing one text record in
// MM_TEXT, transparent unless `mode` says otherwise.
EmfBuilder TextFile(int w, int h, const LogicalFont& f, unsigned align, int mode = kTransparent)
{
    EmfBuilder e(0, 0, w - 1, h - 1);
    e.SetBkMode(mode);
    e.SetTextColor(RGB(0, 0, 200));
    e.SetBkColor(RGB(250, 200, 0));
    EmfFont(e, f);
    e.Record(22, {int32_t(align)});
    return e;
}

}  // namespace

// Wide and narrow text in each alignment lands where ExtTextOutA puts the
// string once the reference point is moved by the alignment: left, centre
// or right of the string's advance, and the top, baseline or bottom of the
// font's cell. Under a right-to-left layout Windows mirrors where the string
// goes but not its glyphs: the reference point is mirrored, and left and
// right in the alignment read from the layout's side, so TA_LEFT ends the
// string at the mirrored point and TA_RIGHT starts it there, the string
// reading as it would unmirrored.
TEST(MetafileText, AlignmentMatchesTheContextsOwnTextOutput)
{
    const int w = 200, h = 60;
    const LogicalFont f = Font(-20);
    const LOGFONTA lf = PlatformFont(f, -20);
    struct Case {
        const char* name;
        unsigned align;
        bool wide;
        bool rightToLeft = false;
        bool opaque = false;
    } cases[] = {
        {"left top, wide", 0, true},
        {"left top, narrow", 0, false},
        {"right", kTaRight, true},
        {"centre", kTaCenter, true},
        {"baseline", kTaBaseline, true},
        {"bottom", kTaBottom, false},
        {"right bottom", kTaRight | kTaBottom, true},
        {"right to left: left", 0, true, true},
        {"right to left: left, opaque", 0, true, true, true},
        {"right to left: right", kTaRight, true, true},
        {"right to left: right, opaque", kTaRight, true, true, true},
        {"right to left: centre", kTaCenter, true, true},
        {"right to left: centre, opaque", kTaCenter, true, true, true},
        {"right to left: right baseline", kTaRight | kTaBaseline, true, true},
        {"right to left: right baseline, opaque", kTaRight | kTaBaseline, true, true, true},
    };
    const std::string text = "Metafile Ag";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reference ref(w, h, lf);
        SetTextColor(ref.dc(), RGB(0, 0, 200));
        SetBkColor(ref.dc(), RGB(250, 200, 0));
        SetBkMode(ref.dc(), c.opaque ? kOpaque : kTransparent);
        const TEXTMETRICA tm = ref.Metrics();
        const int width = ref.Width(text);
        // Off the middle, so that a point left unmirrored shows.
        const int px = c.rightToLeft ? 40 : 100, py = 30;
        const unsigned horizontal = c.align & kTaCenter;
        int before = horizontal == kTaRight ? width : horizontal == kTaCenter ? width / 2 : 0;
        if (c.rightToLeft && horizontal != kTaCenter)
            before = width - before;
        int x = (c.rightToLeft ? w - px : px) - before, y = py;
        if ((c.align & kTaBaseline) == kTaBaseline)
            y -= tm.tmAscent;
        else if ((c.align & kTaBaseline) == kTaBottom)
            y -= tm.tmHeight;
        ExtTextOutA(ref.dc(), x, y, 0, nullptr, text.data(), UINT(text.size()), nullptr);

        EmfBuilder e = TextFile(w, h, f, c.align, c.opaque ? kOpaque : kTransparent);
        if (c.rightToLeft)
            e.SetLayout(1);  // LAYOUT_RTL
        Text t;
        t.x = px;
        t.y = py;
        if (c.wide)
            t.wide.assign(text.begin(), text.end());
        else
            t.narrow = text;
        EmfText(e, t);
        const std::vector<uint32_t> got = Play(e.Bytes(), w, h);
        EXPECT_GT(Ink(got), 50u);
        EXPECT_EQ(Differences(got, ref.Pixels()), 0u);
    }
}

// With TA_UPDATECP under a right-to-left layout the current position moves
// on past the string's logical end, which the mirror puts on its left: the
// second string lands to the left of the first, each reading as written.
TEST(MetafileText, RightToLeftLayoutChainsRecordsLeftwards)
{
    const int w = 200, h = 40;
    const LogicalFont f = Font(-16);
    Reference ref(w, h, PlatformFont(f, -16));
    SetTextColor(ref.dc(), RGB(0, 0, 200));
    const int head = ref.Width("Head"), tail = ref.Width("Tail");
    ExtTextOutA(ref.dc(), w - 12 - head, 8, 0, nullptr, "Head", 4, nullptr);
    ExtTextOutA(ref.dc(), w - 12 - head - tail, 8, 0, nullptr, "Tail", 4, nullptr);

    EmfBuilder e = TextFile(w, h, f, kTaUpdateCp);
    e.SetLayout(1);  // LAYOUT_RTL
    e.MoveTo(12, 8);
    Text a;
    a.wide = u"Head";
    EmfText(e, a);
    Text b = a;
    b.wide = u"Tail";
    EmfText(e, b);
    EXPECT_EQ(Differences(Play(e.Bytes(), w, h), ref.Pixels()), 0u);
}

// Opaque background mode paints the cells behind the string in the
// background colour; ETO_OPAQUE fills the record's rectangle whatever the
// mode; ETO_CLIPPED keeps the string inside that rectangle; a spacing array
// places each character at its own advance.
TEST(MetafileText, BackgroundsClippingAndSpacing)
{
    const int w = 160, h = 50;
    const LogicalFont f = Font(-16);
    const LOGFONTA lf = PlatformFont(f, -16);
    const std::string text = "Clip me";
    struct Case {
        const char* name;
        int mode;
        unsigned options;
        RECT rect;
        std::vector<int> dx;
    } cases[] = {
        {"opaque mode", kOpaque, 0, {0, 0, 0, 0}, {}},
        {"opaque rectangle", kTransparent, ETO_OPAQUE, {5, 5, 120, 40}, {}},
        {"clipped", kTransparent, ETO_CLIPPED, {20, 0, 60, 30}, {}},
        {"opaque and clipped", kOpaque, ETO_OPAQUE | ETO_CLIPPED, {15, 12, 70, 24}, {}},
        {"spacing", kTransparent, 0, {0, 0, 0, 0}, {14, 3, 20, 9, 12, 17, 11}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reference ref(w, h, lf);
        SetTextColor(ref.dc(), RGB(0, 0, 200));
        SetBkColor(ref.dc(), RGB(250, 200, 0));
        SetBkMode(ref.dc(), c.mode);
        ExtTextOutA(ref.dc(), 10, 10, c.options, c.options ? &c.rect : nullptr, text.data(),
                    UINT(text.size()), c.dx.empty() ? nullptr : c.dx.data());

        EmfBuilder e = TextFile(w, h, f, 0, c.mode);
        Text t;
        t.x = 10;
        t.y = 10;
        t.narrow = text;
        t.options = c.options;
        t.rect = c.rect;
        t.dx = c.dx;
        EmfText(e, t);
        EXPECT_EQ(Differences(Play(e.Bytes(), w, h), ref.Pixels()), 0u);
    }
}

// The font's height is in logical units: under a mapping that doubles
// everything the text is drawn at twice the pixel height, at the mapped
// point; a spacing array is in logical units too.
TEST(MetafileText, HeightAndSpacingGoThroughTheMapping)
{
    const int w = 240, h = 80;
    const LogicalFont f = Font(-12);
    const std::string text = "Scaled";
    const std::vector<int> dx = {8, 7, 7, 6, 7, 7};
    Reference ref(w, h, PlatformFont(f, -24));
    SetTextColor(ref.dc(), RGB(0, 0, 200));
    std::vector<int> dxPixels;
    for (int d : dx)
        dxPixels.push_back(2 * d);
    ExtTextOutA(ref.dc(), 2 * 10 + 20, 2 * 5 + 4, 0, nullptr, text.data(), UINT(text.size()),
                dxPixels.data());

    EmfBuilder e = TextFile(w, h, f, 0);
    e.SetMapMode(MM_ANISOTROPIC);
    e.SetWindowExt(100, 100);
    e.SetViewportExt(200, 200);
    e.SetViewportOrg(20, 4);
    Text t;
    t.x = 10;
    t.y = 5;
    t.wide.assign(text.begin(), text.end());
    t.dx = dx;
    EmfText(e, t);
    EXPECT_EQ(Differences(Play(e.Bytes(), w, h), ref.Pixels()), 0u);
}

// With TA_UPDATECP the record's point is not used: the string starts at
// the current position and leaves it at the string's end, so two records
// draw as one string.
TEST(MetafileText, UpdateCurrentPositionChainsRecords)
{
    const int w = 200, h = 40;
    const LogicalFont f = Font(-16);
    Reference ref(w, h, PlatformFont(f, -16));
    SetTextColor(ref.dc(), RGB(0, 0, 200));
    ExtTextOutA(ref.dc(), 12, 8, 0, nullptr, "HeadTail", 8, nullptr);

    EmfBuilder e = TextFile(w, h, f, kTaUpdateCp);
    e.MoveTo(12, 8);
    Text a;
    a.x = 150;  // ignored
    a.y = 30;
    a.wide = u"Head";
    EmfText(e, a);
    Text b = a;
    b.wide = u"Tail";
    EmfText(e, b);
    EXPECT_EQ(Differences(Play(e.Bytes(), w, h), ref.Pixels()), 0u);
}

// Chinese text: UTF-16 in the wide record, GBK bytes in the narrow one
// under GB2312_CHARSET, both drawn as the platform draws the GBK string.
TEST(MetafileText, ChineseTextByCharsetAndAsUtf16)
{
    const int w = 120, h = 40;
    const LogicalFont f = Font(-20, 134);
    const std::string gbk = "\xD6\xD0\xCE\xC4 ok";  // two characters, then Latin
    Reference ref(w, h, PlatformFont(f, -20));
    SetTextColor(ref.dc(), RGB(0, 0, 200));
    ExtTextOutA(ref.dc(), 4, 6, 0, nullptr, gbk.data(), UINT(gbk.size()), nullptr);
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "UTF-16" : "GBK");
        EmfBuilder e = TextFile(w, h, f, 0);
        Text t;
        t.x = 4;
        t.y = 6;
        if (wide)
            t.wide = u"\u4E2D\u6587 ok";
        else
            t.narrow = gbk;
        EmfText(e, t);
        const std::vector<uint32_t> got = Play(e.Bytes(), w, h);
        EXPECT_GT(Ink(got), 80u);
        EXPECT_EQ(Differences(got, ref.Pixels()), 0u);
    }
}

// Escapement turns the string counter-clockwise about its reference point:
// at 90 degrees it reads upwards, each upright pixel (x, y) from the
// point landing at (y, -x) from it.
TEST(MetafileText, EscapementTurnsTheString)
{
    const int side = 120;
    const std::string text = "Up";
    Reference ref(side, side, PlatformFont(Font(-24), -24));
    ExtTextOutA(ref.dc(), 60, 60, 0, nullptr, text.data(), UINT(text.size()), nullptr);
    const std::vector<uint32_t> upright = ref.Pixels();
    std::vector<uint32_t> want(upright.size(), kWhite);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++)
            if (upright[size_t(y) * side + x] != kWhite) {
                // Pixel centres: (x + .5 - 60, y + .5 - 60) turns to
                // (y + .5 - 60, 60 - x - .5).
                const int tx = 60 + (y - 60), ty = 60 - (x - 60) - 1;
                if (tx >= 0 && ty >= 0 && tx < side && ty < side)
                    want[size_t(ty) * side + tx] = 0;
            }
    EmfBuilder e(0, 0, side - 1, side - 1);
    e.SetBkMode(kTransparent);
    EmfFont(e, Font(-24, 0, 900));
    Text t;
    t.x = 60;
    t.y = 60;
    t.wide = u"Up";
    EmfText(e, t);
    std::vector<uint32_t> got = Play(e.Bytes(), side, side);
    for (uint32_t& p : got)
        p = p == kWhite ? kWhite : 0;
    EXPECT_GT(Ink(got), 50u);
    EXPECT_EQ(Differences(got, want), 0u);
}

// The Windows metafile's text records: TextOut and ExtTextOut (with its
// rectangle and spacing) after CreateFontIndirect.
TEST(MetafileText, WindowsMetafileRecords)
{
    const int w = 160, h = 50;
    const LogicalFont f = Font(-16);
    Reference ref(w, h, PlatformFont(f, -16));
    SetTextColor(ref.dc(), RGB(200, 0, 0));
    ExtTextOutA(ref.dc(), 6, 4, 0, nullptr, "Plain", 5, nullptr);
    const INT dx[] = {12, 12, 12, 12};
    const RECT clip = {0, 20, 40, 45};
    ExtTextOutA(ref.dc(), 6, 24, ETO_CLIPPED, &clip, "Wide", 4, dx);

    WmfBuilder b;
    b.SetMapMode(MM_TEXT);
    b.SetBkMode(kTransparent);
    b.SetTextColor(RGB(200, 0, 0));
    b.Select(b.CreateLogFont(-16));
    b.Record(0x0521, {5, 'P' | 'l' << 8, 'a' | 'i' << 8, 'n', 4, 6});
    b.Record(0x0A32, {24, 6, 4, ETO_CLIPPED, 0, 20, 40, 45, 'W' | 'i' << 8, 'd' | 'e' << 8, 12, 12,
                      12, 12});
    PlayStats stats;
    const std::vector<uint32_t> got = Play(b.Bytes(), w, h, true, &stats);
    EXPECT_EQ(stats.skipped, 0u);
    EXPECT_EQ(Differences(got, ref.Pixels()), 0u);
}

// A face this machine lacks is drawn with one of its kind: serif, sans
// serif, fixed pitch (by name or pitch), or Chinese (by character set), the
// faces as wide as the common ones of other systems first.
TEST(MetafileText, MissingFacesFallBackToTheirKind)
{
    struct Case {
        const char16_t* face;
        BYTE charSet, pitchAndFamily;
        const char* want;
    } cases[] = {
        {u"Times New Roman", 0, 0, "Nimbus Roman"},
        {u"Some Unknown Roman", 0, 0x12, "Nimbus Roman"},
        {u"Arial", 0, 0, "Nimbus Sans"},
        {u"", 0, 0, "Nimbus Sans"},
        {u"Courier New", 0, 0, "Nimbus Mono PS"},
        {u"Unknown Typewriter", 0, 0x31, "Nimbus Mono PS"},
        {u"SimSun", 134, 0, "WenQuanYi Micro Hei"},
        {u"SimSun", 134, 0x31, "WenQuanYi Micro Hei Mono"},
        {u"\u5B8B\u4F53", 1, 0, "WenQuanYi Micro Hei"},
        {u"DejaVu Sans Mono", 0, 0, "DejaVu Sans Mono"},  // installed: kept
    };
    for (const Case& c : cases) {
        LogicalFont f;
        f.stock = false;
        f.height = -12;
        f.face = c.face;
        f.charSet = c.charSet;
        f.pitchAndFamily = c.pitchAndFamily;
        SCOPED_TRACE(c.want);
        EXPECT_STREQ(PlatformFont(f, -12).lfFaceName, c.want);
    }
}

// Bytes become the codes the platform draws by the font's character set:
// code page 1252 through Unicode to code page 936, the symbol face's Greek
// letters, GBK pairs kept whole; UTF-16 with its pairs, a character code
// page 936 lacks by its Unicode code.
TEST(MetafileText, CodesByCharacterSet)
{
    const BYTE latin[] = {'a', 0xE9, 0x93};
    EXPECT_EQ(CodesFromBytes(latin, 3, 0, nullptr), (std::vector<UINT>{'a', 0xA8A6, 0xA1B0}));
    const BYTE symbol[] = {'D', 'p', '+'};
    EXPECT_EQ(CodesFromBytes(symbol, 3, 2, nullptr), (std::vector<UINT>{0xA6A4, 0xA6D0, '+'}));
    const BYTE gbk[] = {0xD6, 0xD0, 'x', 0xD6};
    std::vector<size_t> first;
    EXPECT_EQ(CodesFromBytes(gbk, 4, 134, &first), (std::vector<UINT>{0xD6D0, 'x', '?'}));
    EXPECT_EQ(first, (std::vector<size_t>{0, 2, 3}));
    const BYTE utf16[] = {0x2D, 0x4E, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xDC, 'A', 0};
    first.clear();
    EXPECT_EQ(CodesFromUtf16(utf16, 5, &first),
              (std::vector<UINT>{0xD6D0, 0x0101F600, '?', 'A'}));
    EXPECT_EQ(first, (std::vector<size_t>{0, 1, 3, 4}));
}

// Text records that claim more than they hold are skipped whole: nothing
// drawn, nothing read past the record.
TEST(MetafileText, ShortRecordsAreSkipped)
{
    struct Case {
        const char* name;
        uint32_t type;
        std::vector<int32_t> fields;
    } cases[] = {
        {"font without its face", 82, {1, -12, 0, 0, 0, 400}},
        {"text past the record", 84, {0, 0, -1, -1, 1, 0, 0, 5, 5, 1000, 76, 0, 0, 0, 0, 0, 0}},
        {"string offset past the end",
         83,
         {0, 0, -1, -1, 1, 0, 0, 5, 5, 2, 9999, 0, 0, 0, 0, 0, 0}},
        {"text block cut", 84, {0, 0, -1, -1, 1, 0, 0, 5, 5}},
        {"poly text with too many blocks", 97, {0, 0, -1, -1, 1, 0, 0, 50}},
        {"small text past the end", 108, {5, 5, 400, 0x300, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder e(0, 0, 31, 31);
        EmfFont(e, Font(-12));
        std::vector<uint8_t> fields;
        for (int32_t v : c.fields)
            Put32(fields, uint32_t(v));
        e.Record(c.type, {}, fields);
        PlayStats stats;
        const std::vector<uint32_t> got = Play(e.Bytes(), 32, 32, false, &stats);
        EXPECT_EQ(stats.skipped, 1u);
        EXPECT_TRUE(stats.stopped.empty());
        EXPECT_EQ(Ink(got), 0u);
    }
}

// A small file may ask for many huge glyphs: past an allowance of glyph
// pixels rendered and drawn a play draws no more text, and what comes
// after is left out, while a file within it draws everything.
TEST(MetafileText, HugeTextStopsAtTheAllowance)
{
    const std::string many = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (size_t distinct : {size_t(8), many.size()}) {
        SCOPED_TRACE(distinct);
        win32font::ForgetIdleFaces();  // no glyph rendered before counts as free
        EmfBuilder e(0, 0, 63, 63);
        e.SetBkMode(kTransparent);
        EmfFont(e, Font(-1000));
        Text big;
        big.x = -500;  // mostly off the canvas: the rendering is the cost
        big.y = -500;
        big.wide.assign(many.begin(), many.begin() + distinct);
        EmfText(e, big);
        // Then a small word in a corner the big glyphs leave white.
        e.Record(37, {int32_t(0x80000000u | 13)});  // SYSTEM_FONT
        Text small;
        small.x = 30;
        small.y = 40;
        small.wide = u"ok";
        EmfText(e, small);
        const std::vector<uint32_t> got = Play(e.Bytes(), 64, 64);
        size_t corner = 0;
        for (int y = 40; y < 64; y++)
            for (int x = 30; x < 64; x++)
                corner += got[size_t(y) * 64 + x] != kWhite;
        if (distinct == many.size())
            EXPECT_EQ(corner, 0u);
        else
            EXPECT_GT(corner, 10u);
    }
}

// The other text records: EMR_SMALLTEXTOUT with 8-bit characters and no
// rectangle, or 16-bit ones behind an opaque rectangle, and
// EMR_POLYTEXTOUTW with two strings, each drawn as ExtTextOutA draws it.
TEST(MetafileText, SmallAndPolyTextRecords)
{
    const int w = 160, h = 60;
    const LogicalFont f = Font(-14);
    Reference ref(w, h, PlatformFont(f, -14));
    SetTextColor(ref.dc(), RGB(0, 0, 200));
    SetBkColor(ref.dc(), RGB(250, 200, 0));
    ExtTextOutA(ref.dc(), 4, 2, 0, nullptr, "Small", 5, nullptr);
    const RECT box = {80, 2, 150, 20};
    ExtTextOutA(ref.dc(), 82, 3, ETO_OPAQUE, &box, "Wide", 4, nullptr);
    ExtTextOutA(ref.dc(), 4, 25, 0, nullptr, "One", 3, nullptr);
    ExtTextOutA(ref.dc(), 60, 40, 0, nullptr, "Two", 3, nullptr);

    EmfBuilder e = TextFile(w, h, f, 0);
    e.Record(108, {4, 2, 5, 0x300, 1, 0, 0}, {'S', 'm', 'a', 'l', 'l'});
    std::vector<uint8_t> wide;
    for (char c : std::string("Wide"))
        Put16(wide, uint16_t(c));
    e.Record(108, {82, 3, 4, ETO_OPAQUE, 1, 0, 0, 80, 2, 150, 20}, wide);
    // Two text blocks of 40 bytes from byte 40, the strings after them.
    std::vector<uint8_t> strings;
    for (char c : std::string("OneTwo"))
        Put16(strings, uint16_t(c));
    e.Record(97, {0,  0,  -1, -1,  1, 0, 0, 2,        //
                  4,  25, 3,  120, 0, 0, 0, 0, 0, 0,  //
                  60, 40, 3,  126, 0, 0, 0, 0, 0, 0},
             strings);
    PlayStats stats;
    const std::vector<uint32_t> got = Play(e.Bytes(), w, h, false, &stats);
    EXPECT_EQ(stats.skipped, 0u);
    EXPECT_GT(Ink(got), 200u);
    EXPECT_EQ(Differences(got, ref.Pixels()), 0u);
}

// A Windows metafile's character extra widens every advance by its
// logical units, where no spacing array is given.
TEST(MetafileText, CharacterExtraWidensAdvances)
{
    const int w = 160, h = 40;
    const LogicalFont f = Font(-16);
    Reference ref(w, h, PlatformFont(f, -16));
    std::vector<INT> dx;
    for (char c : std::string("extra"))
        dx.push_back(ref.Width(std::string(1, c)) + 5);
    ExtTextOutA(ref.dc(), 6, 4, 0, nullptr, "extra", 5, dx.data());

    WmfBuilder b;
    b.SetBkMode(kTransparent);
    b.Select(b.CreateLogFont(-16));
    b.Record(0x0108, {5});
    b.Record(0x0521, {5, 'e' | 'x' << 8, 't' | 'r' << 8, 'a', 4, 6});
    const std::vector<uint32_t> got = Play(b.Bytes(), w, h, true);
    EXPECT_GT(Ink(got), 50u);
    EXPECT_EQ(Differences(got, ref.Pixels()), 0u);
}

// A font with a width has its glyphs stretched so the average character is
// that wide: twice the face's own average width draws the string twice as
// wide and as tall as before.
TEST(MetafileText, FontWidthStretchesGlyphs)
{
    const int w = 240, h = 50;
    Reference ref(w, h, PlatformFont(Font(-20), -20));
    const int average = ref.Metrics().tmAveCharWidth;
    auto box = [](const std::vector<uint32_t>& px, int width, int& cx, int& cy) {
        int x0 = width, x1 = -1, y0 = 1 << 20, y1 = -1;
        for (size_t i = 0; i < px.size(); i++)
            if (px[i] != kWhite) {
                const int x = int(i % width), y = int(i / width);
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
        cx = x1 - x0 + 1;
        cy = y1 - y0 + 1;
    };
    int plainW = 0, plainH = 0, wideW = 0, wideH = 0;
    for (int width : {0, 2 * average}) {
        LogicalFont f = Font(-20);
        f.width = width;
        EmfBuilder e = TextFile(w, h, f, 0);
        e.SelectFont(1, -20, f.face, width);
        Text text;
        text.x = 4;
        text.y = 4;
        text.wide = u"HHHH";
        EmfText(e, text);
        box(Play(e.Bytes(), w, h), w, width == 0 ? plainW : wideW, width == 0 ? plainH : wideH);
    }
    EXPECT_EQ(wideH, plainH);
    EXPECT_NEAR(wideW, 2 * plainW, 3);
}

// Text inside a path draws nothing of itself: its glyphs' outlines join the
// path, so filling the path paints the letters (the outlines are hinted as
// the 1-bit glyphs are: the two agree but for a few edge pixels) and
// abandoning it paints nothing.
TEST(MetafileText, TextInAPathAddsItsOutlines)
{
    const int w = 200, h = 70;
    const LogicalFont f = Font(-48);
    auto file = [&](bool inPath, bool fill) {
        EmfBuilder e = TextFile(w, h, f, 0);
        const int brush = e.CreateBrush(0, RGB(0, 0, 200));
        e.Select(brush);
        if (inPath)
            e.Record(59, {});  // BeginPath
        Text t;
        t.x = 8;
        t.y = 6;
        t.wide = u"Path";
        EmfText(e, t);
        if (inPath) {
            e.Record(60, {});              // EndPath
            if (fill)
                e.Record(62, {0, 0, 0, 0});  // FillPath, with its bounds
            else
                e.Record(68, {});  // AbortPath
        }
        return Play(e.Bytes(), w, h);
    };
    const std::vector<uint32_t> text = file(false, false);
    const std::vector<uint32_t> filled = file(true, true);
    EXPECT_EQ(Ink(file(true, false)), 0u);
    EXPECT_GT(Ink(text), 1000u);
    EXPECT_LE(Differences(filled, text), Ink(text) / 100 + 4);
}
