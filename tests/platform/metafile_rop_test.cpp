// The metafile player's raster operations, brushes and blits against pixels
// worked out here from what Windows documents: each binary mode as a table of
// pen colour by destination colour, ternary codes from their truth table,
// hatches as 8 x 8 masks tied to the device origin, bitmap brushes tiled from
// it, mirrored blits and partial scan-line bitmaps.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <random>
#include <string>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

// Canvas pixels are 0x00RRGGBB; records carry COLORREFs (0x00BBGGRR).
uint32_t Ref(uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

std::vector<uint32_t> Play(bool wmf, const std::vector<uint8_t>& bytes, int w, int h,
                           uint32_t background = 0xFFFFFF, PlayStats* stats = nullptr)
{
    return PlayOnto(bytes, w, h, wmf, background, stats);
}

// A solid rectangle in a colour, without pen, in the plain mode.
void Solid(EmfBuilder& e, int l, int t, int r, int b, uint32_t rgb)
{
    e.Select(e.CreatePen(5, 0, 0));
    e.Select(e.CreateBrush(0, Ref(rgb)));
    e.Rectangle(l, t, r, b);
}

// The sixteen binary modes as Windows names them, over pen P and screen D.
struct Binary {
    const char* name;
    std::function<uint32_t(uint32_t, uint32_t)> f;
};
const Binary kBinary[16] = {
    {"R2_BLACK", [](uint32_t, uint32_t) { return 0u; }},
    {"R2_NOTMERGEPEN", [](uint32_t p, uint32_t d) { return ~(p | d); }},
    {"R2_MASKNOTPEN", [](uint32_t p, uint32_t d) { return ~p & d; }},
    {"R2_NOTCOPYPEN", [](uint32_t p, uint32_t) { return ~p; }},
    {"R2_MASKPENNOT", [](uint32_t p, uint32_t d) { return p & ~d; }},
    {"R2_NOT", [](uint32_t, uint32_t d) { return ~d; }},
    {"R2_XORPEN", [](uint32_t p, uint32_t d) { return p ^ d; }},
    {"R2_NOTMASKPEN", [](uint32_t p, uint32_t d) { return ~(p & d); }},
    {"R2_MASKPEN", [](uint32_t p, uint32_t d) { return p & d; }},
    {"R2_NOTXORPEN", [](uint32_t p, uint32_t d) { return ~(p ^ d); }},
    {"R2_NOP", [](uint32_t, uint32_t d) { return d; }},
    {"R2_MERGENOTPEN", [](uint32_t p, uint32_t d) { return ~p | d; }},
    {"R2_COPYPEN", [](uint32_t p, uint32_t) { return p; }},
    {"R2_MERGEPENNOT", [](uint32_t p, uint32_t d) { return p | ~d; }},
    {"R2_MERGEPEN", [](uint32_t p, uint32_t d) { return p | d; }},
    {"R2_WHITE", [](uint32_t, uint32_t) { return ~0u; }},
};

const uint32_t kPens[] = {0x000000, 0xFFFFFF, 0xF0A050, 0x3C5AA5};
const uint32_t kScreens[] = {0x000000, 0xFFFFFF, 0x0FF00F, 0x6699CC};

// Each mode, pen colour and screen colour: a line and a filled rectangle
// drawn under the mode over a screen of that colour give the mode's function
// of the two, bit by bit; SetROP2 of 0 or 17 changes nothing.
TEST(MetafileRop, BinaryModesCombinePenAndBrushWithTheScreen)
{
    for (int mode = 0; mode <= 17; mode++) {
        for (uint32_t pen : kPens) {
            for (uint32_t screen : kScreens) {
                SCOPED_TRACE(std::to_string(mode) + " pen " + std::to_string(pen) + " screen " +
                             std::to_string(screen));
                EmfBuilder e(0, 0, 7, 3);
                Solid(e, 0, 0, 8, 4, screen);
                e.Record(20, {mode});  // SetROP2
                e.Select(e.CreatePen(0, 0, Ref(pen)));
                e.MoveTo(0, 1);
                e.LineTo(8, 1);
                e.Select(e.CreatePen(5, 0, 0));
                e.Select(e.CreateBrush(0, Ref(pen)));
                e.Rectangle(0, 2, 8, 3);
                const std::vector<uint32_t> px = Play(false, e.Bytes(), 8, 4);
                const bool valid = mode >= 1 && mode <= 16;
                const uint32_t want = (valid ? kBinary[mode - 1].f(pen, screen) : pen) & 0xFFFFFF;
                if (valid)
                    SCOPED_TRACE(kBinary[mode - 1].name);
                EXPECT_EQ(px[8 * 0 + 3], screen);  // untouched
                EXPECT_EQ(px[8 * 1 + 3], want);    // the line
                EXPECT_EQ(px[8 * 2 + 3], want);    // the fill
                EXPECT_EQ(px[8 * 3 + 3], screen);
            }
        }
    }
}

// The same mode through the Windows record, and kept by SaveDC / RestoreDC.
TEST(MetafileRop, WindowsBinaryModeIsPartOfTheSavedState)
{
    WmfBuilder w;
    w.Select(w.CreatePen(5, 0, 0));
    w.Select(w.CreateBrush(0, Ref(0x0000FF)));
    w.Rectangle(0, 0, 4, 4);
    w.SaveDC();
    w.Record(0x0104, {7});  // SetROP2 (R2_XORPEN)
    w.Select(w.CreateBrush(0, Ref(0x00FFFF)));
    w.Rectangle(0, 0, 2, 4);
    w.RestoreDC(-1);
    w.Rectangle(2, 0, 4, 4);
    const std::vector<uint32_t> px = Play(true, w.Bytes(), 4, 4);
    EXPECT_EQ(px[0], 0x00FF00u);  // blue xor cyan
    EXPECT_EQ(px[3], 0x0000FFu);  // the saved brush, drawn as is again
}

// A ternary code's result, bit by bit: bit (P << 2 | S << 1 | D) of the code.
uint32_t Ternary(uint8_t code, uint32_t p, uint32_t s, uint32_t d)
{
    uint32_t out = 0;
    for (int bit = 0; bit < 24; bit++) {
        const int i = int((p >> bit) & 1) << 2 | int((s >> bit) & 1) << 1 | int((d >> bit) & 1);
        out |= uint32_t((code >> i) & 1) << bit;
    }
    return out;
}

// An EMR_STRETCHDIBITS of a 24-bit DIB with a raster operation.
void StretchDibits(EmfBuilder& e, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                   int dibW, int dibH, const std::vector<uint32_t>& topDown, uint32_t rop)
{
    const std::vector<uint8_t> dib = PackedDib24(dibW, dibH, topDown);
    e.Record(81,
             {0, 0, 0, 0, x, y, sx, sy, sw, sh, 80, 40, 120, int32_t(dib.size() - 40), 0,
              int32_t(rop), w, h},
             dib);
}

// The codes Windows names, and some it does not: each blit of a source
// colour, under a brush colour, over a screen colour gives the code's truth
// table of the three.
TEST(MetafileRop, BlitsCombineSourcePatternAndScreenByTheirCode)
{
    const uint32_t rops[] = {0x00CC0020, 0x00EE0086, 0x008800C6, 0x00660046, 0x00440328,
                             0x00330008, 0x001100A6, 0x00C000CA, 0x00BB0226, 0x00F00021,
                             0x00FB0A09, 0x005A0049, 0x00550009, 0x00000042, 0x00FF0062,
                             0x00B8074A, 0x00E20746, 0x006A01E9, 0x00960000};
    const uint32_t source = 0x12F0A5, brush = 0x5AC30F, screen = 0x9966FF;
    for (uint32_t rop : rops) {
        SCOPED_TRACE(std::to_string(rop));
        EmfBuilder e(0, 0, 5, 3);
        Solid(e, 0, 0, 6, 4, screen);
        e.Select(e.CreateBrush(0, Ref(brush)));
        StretchDibits(e, 1, 1, 2, 2, 0, 0, 1, 1, 1, 1, {source}, rop);
        const std::vector<uint32_t> px = Play(false, e.Bytes(), 6, 4);
        EXPECT_EQ(px[6 * 1 + 1], Ternary(uint8_t(rop >> 16), brush, source, screen));
        EXPECT_EQ(px[6 * 2 + 2], Ternary(uint8_t(rop >> 16), brush, source, screen));
        EXPECT_EQ(px[6 * 1 + 3], screen);
    }
}

// PatBlt in a Windows metafile: the brush against the screen.
TEST(MetafileRop, WindowsPatBltInvertsThroughTheBrush)
{
    WmfBuilder w;
    w.Select(w.CreatePen(5, 0, 0));
    w.Select(w.CreateBrush(0, Ref(0x808080)));
    w.Rectangle(0, 0, 4, 2);
    w.Select(w.CreateBrush(0, Ref(0xFF00FF)));
    w.Record(0x061D, {0x0049, 0x005A, 2, 3, 0, 1});  // PATINVERT of (1, 0, 3, 2)
    const std::vector<uint32_t> px = Play(true, w.Bytes(), 4, 2);
    EXPECT_EQ(px[0], 0x808080u);
    EXPECT_EQ(px[1], 0x7F807Fu);
    EXPECT_EQ(px[4 + 3], 0x7F807Fu);
}

// An EMR_STRETCHBLT of a 24-bit DIB.
void StretchBlt(EmfBuilder& e, int x, int y, int w, int h, int sx, int sy, int sw, int sh, int dibW,
                int dibH, const std::vector<uint32_t>& topDown, uint32_t rop)
{
    const std::vector<uint8_t> dib = PackedDib24(dibW, dibH, topDown);
    e.Record(77,
             {0,
              0,
              0,
              0,
              x,
              y,
              w,
              h,
              int32_t(rop),
              sx,
              sy,
              1,
              0,
              0,
              1,
              0,
              0,
              0,
              0,
              108,
              40,
              148,
              int32_t(dib.size() - 40),
              sw,
              sh},
             dib);
}

// Negative extents mirror: a width running back from x covers x and the
// pixels before it, its first pixel taking the source's first; a source
// width running back does the same on the source (StretchBlt; StretchDIBits
// refuses it).
TEST(MetafileRop, NegativeExtentsMirrorTheBlit)
{
    const uint32_t a = 0xFF0000, b = 0x00FF00, c = 0x0000FF, w = 0xFFFFFF;
    struct Row {
        const char* name;
        bool dibits;
        int x, wd, sx, sw;
        std::vector<uint32_t> want;  // pixels 0 .. 5 of the row
    } rows[] = {
        {"plain", true, 1, 3, 0, 3, {w, a, b, c, w, w}},
        {"destination back", true, 4, -3, 0, 3, {w, w, c, b, a, w}},
        {"source back, StretchDIBits", true, 1, 3, 2, -3, {w, w, w, w, w, w}},
        {"plain StretchBlt", false, 1, 3, 0, 3, {w, a, b, c, w, w}},
        {"destination back, StretchBlt", false, 4, -3, 0, 3, {w, w, c, b, a, w}},
        {"source back, StretchBlt", false, 1, 3, 2, -3, {w, c, b, a, w, w}},
        {"both back, StretchBlt", false, 4, -3, 2, -3, {w, w, a, b, c, w}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EmfBuilder e(0, 0, 5, 0);
        if (r.dibits)
            StretchDibits(e, r.x, 0, r.wd, 1, r.sx, 0, r.sw, 1, 3, 1, {a, b, c}, 0x00CC0020);
        else
            StretchBlt(e, r.x, 0, r.wd, 1, r.sx, 0, r.sw, 1, 3, 1, {a, b, c}, 0x00CC0020);
        EXPECT_EQ(Play(false, e.Bytes(), 6, 1), r.want);
    }
}

// StretchDIBits counts the source rectangle from the bitmap's bottom-left
// corner: rows 1 and 2 from the bottom of a four-row picture are its second
// and third from the top, the upper one landing on top. A source height
// turned over fails the call: nothing is drawn.
TEST(MetafileRop, StretchDibitsCountsSourceRowsFromTheBottom)
{
    const uint32_t a = 0xFF0000, b = 0x00FF00, c = 0x0000FF, d = 0x808080;
    struct Row {
        const char* name;
        int sy, sh;
        std::vector<uint32_t> want;
    } rows[] = {
        {"upright", 1, 2, {b, c}},
        {"turned over", 2, -2, {0xFFFFFF, 0xFFFFFF}},
    };
    for (const Row& r : rows) {
        for (bool wmf : {false, true}) {
            SCOPED_TRACE(std::string(r.name) + (wmf ? " wmf" : " emf"));
            std::vector<uint8_t> bytes;
            if (wmf) {
                WmfBuilder w;
                // rop, colour use, source h, w, y, x, dest h, w, y, x
                w.Record(0x0F43, {0x0020, 0x00CC, 0, r.sh, 1, r.sy, 0, 2, 1, 0, 0},
                         PackedDib24(1, 4, {a, b, c, d}));
                bytes = w.Bytes();
            } else {
                EmfBuilder e(0, 0, 0, 1);
                StretchDibits(e, 0, 0, 1, 2, 0, r.sy, 1, r.sh, 1, 4, {a, b, c, d}, 0x00CC0020);
                bytes = e.Bytes();
            }
            EXPECT_EQ(Play(wmf, bytes, 1, 2), r.want);
        }
    }
}

// EMR_SETDIBITSTODEVICE carrying scan lines 1 and 2 of a four-line
// bottom-up bitmap: those lines are drawn where the whole bitmap would put
// them, the others left alone.
TEST(MetafileRop, SetDibitsDrawsTheScanLinesItCarries)
{
    const uint32_t low = 0xFF0000, high = 0x0000FF;
    std::vector<uint8_t> dib = PackedDib24(1, 2, {high, low});  // stored: low, then high
    dib[8] = 4;                                                 // the header says four rows
    for (bool wmf : {false, true}) {
        SCOPED_TRACE(wmf ? "wmf" : "emf");
        std::vector<uint32_t> px;
        if (wmf) {
            WmfBuilder w;
            // colour use, scan count, start scan, source y, x, height,
            // width, dest y, x
            w.Record(0x0D33, {0, 2, 1, 0, 0, 4, 1, 0, 1}, dib);
            px = Play(true, w.Bytes(), 3, 4);
        } else {
            EmfBuilder e(0, 0, 2, 3);
            e.Record(80,
                     {0, 0, 0, 0, 1, 0, 0, 0, 1, 4, 76, 40, 116, int32_t(dib.size() - 40), 0, 1, 2},
                     dib);
            px = Play(false, e.Bytes(), 3, 4);
        }
        // Scan line 1 is the second from the bottom: row 2 from the top.
        EXPECT_EQ(px[3 * 0 + 1], 0xFFFFFFu);
        EXPECT_EQ(px[3 * 1 + 1], high);
        EXPECT_EQ(px[3 * 2 + 1], low);
        EXPECT_EQ(px[3 * 3 + 1], 0xFFFFFFu);
    }
}

// The six hatches as Windows draws them, 8 x 8 and tied to the device
// origin whatever the shape: '#' the brush colour, '.' the background colour
// (opaque) or the screen left alone (transparent).
const char* const kHatchMasks[6][8] = {
    {"........", "........", "........", "########", "........", "........", "........",
     "........"},
    {"....#...", "....#...", "....#...", "....#...", "....#...", "....#...", "....#...",
     "....#..."},
    {"#.......", ".#......", "..#.....", "...#....", "....#...", ".....#..", "......#.",
     ".......#"},
    {".......#", "......#.", ".....#..", "....#...", "...#....", "..#.....", ".#......",
     "#......."},
    {"....#...", "....#...", "....#...", "########", "....#...", "....#...", "....#...",
     "....#..."},
    {"#......#", ".#....#.", "..#..#..", "...##...", "...##...", "..#..#..", ".#....#.",
     "#......#"},
};

TEST(MetafileBrush, HatchesAreEightByEightMasksFromTheDeviceOrigin)
{
    const uint32_t ink = 0xC00000, back = 0x0000C0, screen = 0xFFFFFF;
    for (int hatch = 0; hatch < 6; hatch++) {
        for (int opaque : {1, 2}) {
            for (bool wmf : {false, true}) {
                SCOPED_TRACE(std::to_string(hatch) + (opaque == 2 ? " opaque" : " transparent") +
                             (wmf ? " wmf" : " emf"));
                std::vector<uint8_t> bytes;
                if (wmf) {
                    WmfBuilder w;
                    w.SetBkColor(Ref(back));
                    w.SetBkMode(opaque);
                    w.Select(w.CreatePen(5, 0, 0));
                    w.Record(0x02FC, {2, int(Ref(ink) & 0xFFFF), int(Ref(ink) >> 16), hatch});
                    w.Select(1);
                    w.Rectangle(3, 5, 20, 21);
                    bytes = w.Bytes();
                } else {
                    EmfBuilder e(0, 0, 23, 23);
                    e.SetBkColor(Ref(back));
                    e.SetBkMode(opaque);
                    e.Select(e.CreatePen(5, 0, 0));
                    e.Record(39, {9, 2, int32_t(Ref(ink)), hatch});
                    e.Select(9);
                    e.Rectangle(3, 5, 20, 21);
                    bytes = e.Bytes();
                }
                const std::vector<uint32_t> px = Play(wmf, bytes, 24, 24);
                std::string diff;
                for (int y = 0; y < 24; y++) {
                    for (int x = 0; x < 24; x++) {
                        uint32_t want = screen;
                        if (x >= 3 && x < 20 && y >= 5 && y < 21) {
                            const bool on = kHatchMasks[hatch][y % 8][x % 8] == '#';
                            want = on ? ink : opaque == 2 ? back : screen;
                        }
                        if (px[size_t(y) * 24 + x] != want && diff.size() < 200)
                            diff += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
                    }
                }
                EXPECT_EQ(diff, "");
            }
        }
    }
}

// Bitmap brushes repeat their pixels from the device origin; a monochrome
// brush draws its 0 pixels in the text colour and its 1 pixels in the
// background colour, whatever its colour table says.
TEST(MetafileBrush, PatternBrushesTileFromTheDeviceOrigin)
{
    const uint32_t a = 0x102030, b = 0xA0B0C0, c = 0x00FF00, d = 0xFF00FF;
    const std::vector<uint8_t> colour = PackedDib24(2, 2, {a, b, c, d});
    const std::vector<uint8_t> mono = PackedDib1({"011", "100"}, 0x000000, 0xFFFFFF);
    const uint32_t text = 0x00C000, back = 0x0000C0;
    struct Case {
        const char* name;
        bool wmf;
        bool isMono;
    } cases[] = {
        {"EMR_CREATEDIBPATTERNBRUSHPT", false, false},
        {"EMR_CREATEMONOBRUSH", false, true},
        {"META_DIBCREATEPATTERNBRUSH", true, false},
        {"META_DIBCREATEPATTERNBRUSH of a device bitmap", true, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::vector<uint8_t>& dib = k.isMono ? mono : colour;
        const int info = k.isMono ? 48 : 40;
        std::vector<uint8_t> bytes;
        if (k.wmf) {
            WmfBuilder w;
            w.SetTextColor(Ref(text));
            w.SetBkColor(Ref(back));
            w.Select(w.CreatePen(5, 0, 0));
            w.Record(0x0142, {k.isMono ? 3 : 5, 0}, dib);  // BS_PATTERN or BS_DIBPATTERN
            w.Select(1);
            w.Rectangle(1, 1, 7, 6);
            bytes = w.Bytes();
        } else {
            EmfBuilder e(0, 0, 7, 6);
            e.SetTextColor(Ref(text));
            e.SetBkColor(Ref(back));
            e.Select(e.CreatePen(5, 0, 0));
            e.Record(k.isMono ? 93 : 94, {9, 0, 32, info, 32 + info, int32_t(dib.size()) - info},
                     dib);
            e.Select(9);
            e.Rectangle(1, 1, 7, 6);
            bytes = e.Bytes();
        }
        PlayStats stats;
        const std::vector<uint32_t> px = Play(k.wmf, bytes, 8, 7, 0xFFFFFF, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        for (int y = 0; y < 7; y++) {
            for (int x = 0; x < 8; x++) {
                uint32_t want = 0xFFFFFF;
                if (x >= 1 && x < 7 && y >= 1 && y < 6) {
                    if (k.isMono) {
                        const char* rows[] = {"011", "100"};
                        want = rows[y % 2][x % 3] == '0' ? text : back;
                    } else {
                        const uint32_t tile[] = {a, b, c, d};
                        want = tile[(y % 2) * 2 + x % 2];
                    }
                }
                EXPECT_EQ(px[size_t(y) * 8 + x], want) << x << "," << y;
            }
        }
    }
}

// EMR_MASKBLT: where the mask holds 1 the foreground code (the third byte)
// combines source and screen, where it holds 0 the background code (the top
// byte) does.
// MASKBLT (78) of a 2 x 1 24-bit source onto (0, 0), its 2 x 1 1-bit mask
// after it. The fields in order: bounds, destination, code, source corner,
// source transform, background, the source's usage and its header at 128
// (40 bytes, 8 of bits), then the mask's corner, usage and header at 176
// (48 bytes with its colour table, 4 of bits).
void MaskBlt2x1(EmfBuilder& e, uint32_t rop, const std::vector<uint8_t>& source,
                const std::vector<uint8_t>& mask)
{
    std::vector<uint8_t> tail = source;
    tail.insert(tail.end(), mask.begin(), mask.end());
    e.Record(78, {0, 0,   0,  0,   0, 0, 2, 1, int32_t(rop), 0,  0,   1, 0, 0, 1, 0, 0, 0,
                  0, 128, 40, 168, 8, 0, 0, 0, 176,          48, 224, 4},
             tail);
}

TEST(MetafileRop, MaskBltPicksTheCodeByTheMask)
{
    const uint32_t red = 0xFF0000, blue = 0x0000FF, grey = 0x808080;
    const std::vector<uint8_t> source = PackedDib24(2, 1, {red, blue});
    const std::vector<uint8_t> mask = PackedDib1({"10"}, 0x000000, 0xFFFFFF);
    struct Row {
        uint32_t rop;
        uint32_t want0, want1;
    } rows[] = {
        {0xAACC0020, red, grey},       // copy where 1, leave where 0
        {0x55CC0020, red, 0x7F7F7F},   // copy where 1, invert where 0
        {0xCC550009, 0x7F7F7F, blue},  // the other way round
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.rop));
        EmfBuilder e(0, 0, 2, 0);
        Solid(e, 0, 0, 3, 1, grey);
        MaskBlt2x1(e, uint32_t(r.rop), source, mask);
        PlayStats stats;
        const std::vector<uint32_t> px = Play(false, e.Bytes(), 3, 1, 0xFFFFFF, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_EQ(px, (std::vector<uint32_t>{r.want0, r.want1, grey}));
    }
}

// Under a right-to-left layout the mask is mirrored with the source: the
// pair lands on the mirrored place turned over, or the way round it was
// when the layout keeps bitmaps' orientation.
TEST(MetafileRop, MaskBltFollowsTheLayoutsMirror)
{
    const uint32_t red = 0xFF0000, blue = 0x0000FF;
    const std::vector<uint8_t> source = PackedDib24(2, 1, {red, blue});
    const std::vector<uint8_t> mask = PackedDib1({"10"}, 0x000000, 0xFFFFFF);
    for (int layout : {0x01, 0x09}) {
        SCOPED_TRACE(layout);
        EmfBuilder e(0, 0, 3, 0);
        e.SetLayout(uint32_t(layout));
        MaskBlt2x1(e, uint32_t(0xAACC0020), source, mask);
        PlayStats stats;
        const std::vector<uint32_t> px = Play(false, e.Bytes(), 4, 1, 0xFFFFFF, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        const std::vector<uint32_t> turned = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, red};
        const std::vector<uint32_t> kept = {0xFFFFFF, 0xFFFFFF, red, 0xFFFFFF};
        EXPECT_EQ(px, layout == 0x01 ? turned : kept);
    }
}

// A pattern brush is the pattern of a blit too.
TEST(MetafileBrush, PatBltPaintsTheHatch)
{
    EmfBuilder e(0, 0, 7, 7);
    e.SetBkMode(2);
    e.SetBkColor(Ref(0x0000FF));
    e.Record(39, {9, 2, int32_t(Ref(0xFF0000)), 1});  // vertical hatch
    e.Select(9);
    e.Record(76, {0, 0, 0, 0, 0, 0, 8, 8, 0x00F00021, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const std::vector<uint32_t> px = Play(false, e.Bytes(), 8, 8);
    for (int x = 0; x < 8; x++)
        EXPECT_EQ(px[8 * 5 + x], x == 4 ? 0xFF0000u : 0x0000FFu) << x;
}

}  // namespace

namespace {

// Played into a device context, an operation reads the context's own
// pixels: XOR of a blue screen with a yellow brush gives white, in a 32-bit
// and in a 16-bit (5-5-5) bitmap.
TEST(MetafileRop, BinaryModeReadsTheContextPixels)
{
    for (int bits : {32, 16}) {
        SCOPED_TRACE(bits);
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = 4;
        bmi.bmiHeader.biHeight = -2;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = WORD(bits);
        bmi.bmiHeader.biCompression = BI_RGB;
        HDC dc = CreateCompatibleDC(nullptr);
        void* pixels = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &pixels, nullptr, 0);
        HGDIOBJ old = SelectObject(dc, bitmap);
        EmfBuilder e(0, 0, 3, 1);
        Solid(e, 0, 0, 4, 2, 0x0000FF);
        e.Record(20, {7});  // R2_XORPEN
        e.Select(e.CreateBrush(0, Ref(0xFFFF00)));
        e.Rectangle(0, 0, 2, 2);
        const std::vector<uint8_t> bytes = e.Bytes();
        HENHMETAFILE mf = SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
        const RECT r = {0, 0, 4, 2};
        EXPECT_TRUE(PlayEnhMetaFile(dc, mf, &r));
        EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
        EXPECT_EQ(GetPixel(dc, 3, 0), RGB(0, 0, 255));
        DeleteEnhMetaFile(mf);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}

}  // namespace

namespace {

// A bitmap brush of more than a million pixels (a 2048 x 1024 one-bit
// bitmap, 256 KB of bits that would take 8 MB as colours) is refused: the
// record is skipped and its brush fills nothing.
TEST(MetafileBrush, AHugeBitmapBrushIsRefused)
{
    std::vector<uint8_t> dib;
    PutInfoHeader(dib, 2048, 1025, 1);
    Put32(dib, 0);
    Put32(dib, 0xFFFFFF);
    dib.resize(dib.size() + 256 * 1025, 0);
    EmfBuilder e(0, 0, 3, 3);
    e.Select(e.CreatePen(5, 0, 0));
    e.Record(94, {9, 0, 32, 48, 80, int32_t(dib.size() - 48)}, dib);
    e.Select(9);
    e.Rectangle(0, 0, 4, 4);
    PlayStats stats;
    const std::vector<uint32_t> px = Play(false, e.Bytes(), 4, 4, 0xFFFFFF, &stats);
    EXPECT_EQ(stats.skipped, 1u);
    EXPECT_EQ(px[5], 0xFFFFFFu);
}

}  // namespace

namespace {

// A 32-bit top-down section of w x h in a memory context.
struct Section {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* px = nullptr;
    Section(int w, int h)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = -h;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        px = static_cast<uint32_t*>(bits);
        old = SelectObject(dc, bitmap);
    }
    ~Section()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

// Random codes, colours and rectangles: a StretchDIBits record played into
// one context and the same StretchDIBits called on another, over the same
// screen and with the same (white, the default) brush, leave the same
// pixels.
TEST(MetafileRop, StretchDibitsRecordsMatchTheSameCallsMadeDirectly)
{
    std::mt19937 rng(42);
    constexpr int kW = 12, kH = 10;
    for (int round = 0; round < 200; round++) {
        const uint32_t rop = (uint32_t(rng() & 0xFF) << 16) | 0x20;
        const uint32_t screen = rng() & 0xFFFFFF;
        const int dibW = 1 + int(rng() % 4), dibH = 1 + int(rng() % 4);
        std::vector<uint32_t> dibPx(size_t(dibW) * dibH);
        for (uint32_t& p : dibPx)
            p = rng() & 0xFFFFFF;
        const int x = int(rng() % 8) - 2, y = int(rng() % 8) - 2;
        const int w = int(rng() % 9) - 3, h = int(rng() % 9) - 3;
        const int sx = int(rng() % dibW), sy = int(rng() % dibH);
        const int sw = 1 + int(rng() % (dibW - sx)), sh = 1 + int(rng() % (dibH - sy));
        SCOPED_TRACE("round " + std::to_string(round) + " rop " + std::to_string(rop));
        if (w == 0 || h == 0)
            continue;

        Section played(kW, kH), direct(kW, kH);
        for (Section* s : {&played, &direct})
            for (int i = 0; i < kW * kH; i++)
                s->px[i] = screen;
        EmfBuilder e(0, 0, kW - 1, kH - 1);
        StretchDibits(e, x, y, w, h, sx, sy, sw, sh, dibW, dibH, dibPx, rop);
        const std::vector<uint8_t> bytes = e.Bytes();
        HENHMETAFILE mf = SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
        const RECT all = {0, 0, kW, kH};
        PlayEnhMetaFile(played.dc, mf, &all);
        DeleteEnhMetaFile(mf);

        const std::vector<uint8_t> dib = PackedDib24(dibW, dibH, dibPx);
        StretchDIBits(direct.dc, x, y, w, h, sx, sy, sw, sh, dib.data() + 40,
                      reinterpret_cast<const BITMAPINFO*>(dib.data()), DIB_RGB_COLORS, rop);
        int differ = 0;
        for (int i = 0; i < kW * kH; i++)
            differ += (played.px[i] & 0xFFFFFF) != (direct.px[i] & 0xFFFFFF);
        EXPECT_EQ(differ, 0);
    }
}

}  // namespace

namespace {

// A packed 24-bit DIB stored top row first (a negative height).
std::vector<uint8_t> PackedDib24TopDown(int w, int h, const std::vector<uint32_t>& topDown)
{
    std::vector<uint32_t> flipped(topDown.size());
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            flipped[size_t(h - 1 - y) * w + x] = topDown[size_t(y) * w + x];
    std::vector<uint8_t> dib = PackedDib24(w, h, flipped);  // rows stored bottom first...
    const uint32_t negative = uint32_t(-h);                 // ...read top first
    for (int i = 0; i < 4; i++)
        dib[8 + i] = uint8_t(negative >> (8 * i));
    return dib;
}

// Random bands of random bitmaps, stored either way up: a SetDIBitsToDevice
// record carrying some scan lines, played into one context, and the same
// call made on another leave the same pixels.
TEST(MetafileRop, SetDibitsRecordsMatchTheSameCallsMadeDirectly)
{
    std::mt19937 rng(7);
    constexpr int kW = 10, kH = 10;
    for (int round = 0; round < 200; round++) {
        const bool topDown = rng() & 1;
        const int dibW = 1 + int(rng() % 5), dibH = 1 + int(rng() % 6);
        std::vector<uint32_t> dibPx(size_t(dibW) * dibH);
        for (uint32_t& p : dibPx)
            p = rng() & 0xFFFFFF;
        const int start = int(rng() % dibH), scans = 1 + int(rng() % (dibH - start));
        const int x = int(rng() % 8) - 2, y = int(rng() % 8) - 2;
        const int sx = int(rng() % dibW), sy = int(rng() % dibH);
        const int w = 1 + int(rng() % (dibW - sx)), h = 1 + int(rng() % (dibH - sy));
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<uint8_t> dib =
            topDown ? PackedDib24TopDown(dibW, dibH, dibPx) : PackedDib24(dibW, dibH, dibPx);
        // Keep only the scan lines carried, counted as they are stored.
        const size_t stride = size_t((dibW * 3 + 3) & ~3);
        std::vector<uint8_t> band(dib.begin(), dib.begin() + 40);
        band.insert(band.end(), dib.begin() + 40 + stride * start,
                    dib.begin() + 40 + stride * (start + scans));

        Section played(kW, kH), direct(kW, kH);
        for (Section* s : {&played, &direct})
            for (int i = 0; i < kW * kH; i++)
                s->px[i] = 0x123456;
        EmfBuilder e(0, 0, kW - 1, kH - 1);
        e.Record(80,
                 {0, 0, 0, 0, x, y, sx, sy, w, h, 76, 40, 116, int32_t(band.size() - 40), 0, start,
                  scans},
                 band);
        const std::vector<uint8_t> bytes = e.Bytes();
        HENHMETAFILE mf = SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
        const RECT all = {0, 0, kW, kH};
        PlayEnhMetaFile(played.dc, mf, &all);
        DeleteEnhMetaFile(mf);
        SetDIBitsToDevice(direct.dc, x, y, DWORD(w), DWORD(h), sx, sy, UINT(start), UINT(scans),
                          band.data() + 40, reinterpret_cast<const BITMAPINFO*>(band.data()),
                          DIB_RGB_COLORS);
        int differ = 0;
        for (int i = 0; i < kW * kH; i++)
            differ += (played.px[i] & 0xFFFFFF) != (direct.px[i] & 0xFFFFFF);
        EXPECT_EQ(differ, 0) << (topDown ? "top-down" : "bottom-up") << " start " << start
                             << " scans " << scans << " sy " << sy << " h " << h;
    }
}

}  // namespace

namespace {

// META_CREATEPATTERNBRUSH of a monochrome device bitmap (3 x 2, rows of
// two bytes, top first): its 0 pixels in the text colour, its 1 pixels in
// the background colour, tiled from the device origin.
TEST(MetafileBrush, WindowsDeviceBitmapPatternBrush)
{
    const uint32_t text = 0x00C000, back = 0x0000C0;
    std::vector<uint8_t> tail(18, 0);                   // reserved
    tail.insert(tail.end(), {0x60, 0x00, 0x80, 0x00});  // "011", "100"
    WmfBuilder w;
    w.SetTextColor(Ref(text));
    w.SetBkColor(Ref(back));
    w.Select(w.CreatePen(5, 0, 0));
    // type, width, height, bytes a row, planes and bits (1, 1), pointer
    w.Record(0x01F9, {0, 3, 2, 2, 0x0101, 0, 0}, tail);
    w.Select(1);
    w.Rectangle(0, 0, 6, 4);
    PlayStats stats;
    const std::vector<uint32_t> px = Play(true, w.Bytes(), 6, 4, 0xFFFFFF, &stats);
    EXPECT_EQ(stats.skipped, 0u);
    const char* rows[] = {"011", "100"};
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++)
            EXPECT_EQ(px[size_t(y) * 6 + x], rows[y % 2][x % 3] == '0' ? text : back)
                << x << "," << y;
}

}  // namespace
