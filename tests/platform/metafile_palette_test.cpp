// Logical palettes in played metafiles. On a true-colour device Windows
// resolves a PALETTEINDEX colour (0x01 in the top byte, the entry number in
// the low word) to the entry of the palette selected in the context, the
// default palette of twenty static colours when none is, and an entry past
// the palette's end to its first entry; a PALETTERGB colour (0x02 in the top
// byte) is its own red, green and blue. A pen or brush takes its entry when
// it is selected; SetPaletteEntries and ResizePalette change a palette in
// place, AnimatePalette only the entries made PC_RESERVED. A bitmap whose
// colour use is DIB_PAL_COLORS holds 16-bit entry numbers in its colour
// table.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kIndex = 0x01000000;  // PALETTEINDEX(0)

// A palette entry as it lies in a record: red, green, blue, flags.
uint32_t Entry(int r, int g, int b, int flags = 0)
{
    return uint32_t(r | (g << 8) | (b << 16) | (flags << 24));
}

// The canvas pixel (0x00RRGGBB) of red, green, blue.
uint32_t Pixel(int r, int g, int b)
{
    return uint32_t((r << 16) | (g << 8) | b);
}

const std::vector<uint32_t> kTwo = {Entry(10, 20, 30, 1), Entry(200, 100, 50)};

// The palette records of either format on the palette the context has
// selected.
struct Writer {
    EmfBuilder* emf;
    WmfBuilder* wmf;
    MetafileWriter& m;
    int selected = -1;

    int Create(const std::vector<uint32_t>& entries)
    {
        return emf ? emf->CreatePalette(entries) : wmf->CreatePalette(entries);
    }
    void Select(int palette)
    {
        selected = palette;
        if (emf)
            emf->SelectPalette(palette);
        else
            wmf->SelectPalette(palette);
    }
    void CreateAndSelect(const std::vector<uint32_t>& entries) { Select(Create(entries)); }
    void Set(int start, const std::vector<uint32_t>& entries, bool animate = false)
    {
        std::vector<uint8_t> tail;
        for (uint32_t e : entries)
            Put32(tail, e);
        if (emf)
            emf->Record(50, {selected, start, int32_t(entries.size())}, tail);
        else
            wmf->Record(animate ? 0x0436 : 0x0037, {start, int(entries.size())}, tail);
    }
    void Resize(int n)
    {
        if (emf)
            emf->Record(51, {selected, n});
        else
            wmf->Record(0x0139, {n});
    }
    // Four-pixel squares side by side from x = 4 * i: a brush's, a pen's
    // line along row 1, a set pixel, and the opaque background of a hatch.
    enum How { kBrush, kPen, kSetPixel, kBackground };
    void Swatch(int i, uint32_t colour, How how)
    {
        const int x = 4 * i;
        if (how == kSetPixel) {
            m.SetPixel(x + 1, 1, colour);
            return;
        }
        if (how == kPen) {
            const int pen = m.CreatePen(0, 0, colour);
            m.Select(pen);
            m.MoveTo(x, 1);
            m.LineTo(x + 4, 1);
            m.Delete(pen);
            return;
        }
        if (how == kBackground) {
            m.SetBkMode(2);
            m.SetBkColor(colour);
        }
        const int pen = m.CreatePen(5, 0, 0);
        const int brush = m.CreateBrush(how == kBrush ? 0 : 2, colour);
        m.Select(pen);
        m.Select(brush);
        m.Rectangle(x, 0, x + 4, 4);
        m.Delete(pen);
        m.Delete(brush);
    }
};

std::vector<uint8_t> Build(bool wmf, const std::function<void(Writer&)>& draw)
{
    if (wmf) {
        WmfBuilder w;
        Writer p{nullptr, &w, w};
        draw(p);
        return w.Bytes();
    }
    EmfBuilder e(0, 0, 31, 3);
    Writer p{&e, nullptr, e};
    draw(p);
    return e.Bytes();
}

// Pixel (4 * i + 1, 1) of each swatch.
std::vector<uint32_t> Swatches(bool wmf, const std::function<void(Writer&)>& draw, size_t n)
{
    const std::vector<uint32_t> px = PlayOnWhite(Build(wmf, draw), 32, 4, wmf);
    std::vector<uint32_t> out;
    for (size_t i = 0; i < n; i++)
        out.push_back(px[32 + 4 * i + 1]);
    return out;
}

TEST(MetafilePalette, ColoursResolveThroughTheSelectedPalette)
{
    struct Case {
        const char* name;
        bool emf, wmf;
        std::function<void(Writer&)> draw;
        std::vector<uint32_t> want;
    } cases[] = {
        {"the default palette, its red and an entry past its end", true, true,
         [](Writer& w) {
             w.Swatch(0, kIndex | 13, Writer::kBrush);
             w.Swatch(1, kIndex | 99, Writer::kBrush);
             w.Swatch(2, kIndex | 9, Writer::kBrush);
         },
         {Pixel(255, 0, 0), 0, Pixel(0xA6, 0xCA, 0xF0)}},
        {"PALETTERGB is its own colour", true, true,
         [](Writer& w) {
             w.CreateAndSelect(kTwo);
             w.Swatch(0, 0x02204080, Writer::kBrush);
         },
         {Pixel(0x80, 0x40, 0x20)}},
        {"brush, pen, pixel and background through a selected palette", true, true,
         [](Writer& w) {
             w.CreateAndSelect(kTwo);
             w.Swatch(0, kIndex | 1, Writer::kBrush);
             w.Swatch(1, kIndex | 0, Writer::kPen);
             w.Swatch(2, kIndex | 1, Writer::kSetPixel);
             w.Swatch(3, kIndex | 0, Writer::kBackground);
             w.Swatch(4, kIndex | 2, Writer::kBrush);
         },
         {Pixel(200, 100, 50), Pixel(10, 20, 30), Pixel(200, 100, 50), Pixel(10, 20, 30),
          Pixel(10, 20, 30)}},
        {"a palette made but not selected changes nothing", true, true,
         [](Writer& w) {
             w.Create(kTwo);
             w.Swatch(0, kIndex | 1, Writer::kBrush);
         },
         {Pixel(0x80, 0, 0)}},
        {"a brush takes its entry when selected", true, true,
         [](Writer& w) {
             const int brush = w.m.CreateBrush(0, kIndex | 1);
             w.CreateAndSelect(kTwo);
             w.m.Select(w.m.CreatePen(5, 0, 0));
             w.m.Select(brush);
             w.m.Rectangle(0, 0, 4, 4);
         },
         {Pixel(200, 100, 50)}},
        {"entries set in place", true, true,
         [](Writer& w) {
             w.CreateAndSelect(kTwo);
             w.Set(1, {Entry(1, 2, 3)});
             w.Swatch(0, kIndex | 1, Writer::kBrush);
             w.Swatch(1, kIndex | 0, Writer::kBrush);
         },
         {Pixel(1, 2, 3), Pixel(10, 20, 30)}},
        {"resized smaller and larger", true, true,
         [](Writer& w) {
             w.CreateAndSelect(kTwo);
             w.Resize(1);
             w.Swatch(0, kIndex | 1, Writer::kBrush);
             w.Resize(4);
             w.Swatch(1, kIndex | 3, Writer::kBrush);
         },
         {Pixel(10, 20, 30), 0}},
        {"a restored context has its palette back", true, true,
         [](Writer& w) {
             w.CreateAndSelect(kTwo);
             w.m.SaveDC();
             w.CreateAndSelect({Entry(9, 9, 9), Entry(8, 8, 8)});
             w.m.RestoreDC(-1);
             w.Swatch(0, kIndex | 1, Writer::kBrush);
         },
         {Pixel(200, 100, 50)}},
        {"the default palette selected back", true, false,
         [](Writer& w) {
             w.CreateAndSelect(kTwo);
             w.emf->Record(48, {int32_t(0x8000000F)});
             w.Swatch(0, kIndex | 1, Writer::kBrush);
         },
         {Pixel(0x80, 0, 0)}},
        {"animating changes only the reserved entries", false, true,
         [](Writer& w) {
             w.CreateAndSelect(kTwo);
             w.Set(0, {Entry(1, 1, 1), Entry(2, 2, 2)}, true);
             w.Swatch(0, kIndex | 0, Writer::kBrush);
             w.Swatch(1, kIndex | 1, Writer::kBrush);
         },
         {Pixel(1, 1, 1), Pixel(200, 100, 50)}},
    };
    for (const Case& c : cases) {
        for (bool wmf : {false, true}) {
            if (!(wmf ? c.wmf : c.emf))
                continue;
            SCOPED_TRACE(std::string(c.name) + (wmf ? " wmf" : " emf"));
            EXPECT_EQ(Swatches(wmf, c.draw, c.want.size()), c.want);
        }
    }
}

// A 2 x 2 bitmap of 8 bits whose colour table of DIB_PAL_COLORS holds the
// entry numbers 1, 0, 5 (past the palette: its first entry) and 0, packed:
// BITMAPINFOHEADER, the four 16-bit numbers, then the rows bottom first:
// 0 1 / 2 0.
std::vector<uint8_t> PalDib()
{
    std::vector<uint8_t> b;
    for (uint32_t v : {40u, 2u, 2u})
        Put32(b, v);
    Put16(b, 1);
    Put16(b, 8);
    for (uint32_t v : {0u, 0u, 0u, 0u, 4u, 0u})
        Put32(b, v);
    for (uint16_t v : {1, 0, 5, 0})
        Put16(b, v);
    for (uint8_t v : {2, 0, 0, 0, 0, 1, 0, 0})
        b.push_back(v);
    return b;
}

// The picture of PalDib through kTwo: top row 0 1, bottom row 2 0, each
// entry number looked up.
const uint32_t kA = Pixel(200, 100, 50), kB = Pixel(10, 20, 30);
const std::vector<uint32_t> kPalPicture = {kA, kB, kB, kA};

TEST(MetafilePalette, PaletteIndexedBitmapsDrawThePalettesColours)
{
    const std::vector<uint8_t> dib = PalDib();
    const int32_t info = 40 + 8;  // the header and the table
    struct Case {
        const char* name;
        bool wmf;
        std::function<void(Writer&)> draw;
    } cases[] = {
        {"StretchDIBits", false,
         [&](Writer& w) {
             w.emf->Record(81, {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 80, info, 80 + info,
                                int32_t(dib.size()) - info, 1, 0x00CC0020, 2, 2},
                           dib);
         }},
        {"SetDIBitsToDevice", false,
         [&](Writer& w) {
             w.emf->Record(80, {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 76, info, 76 + info,
                                int32_t(dib.size()) - info, 1, 0, 2},
                           dib);
         }},
        {"StretchBlt", false,
         [&](Writer& w) {
             std::vector<int32_t> f = {0, 0, 0, 0, 0, 0, 2, 2, 0x00CC0020, 0, 0, 0x3F800000, 0,
                                       0, 0x3F800000, 0, 0, 0, 1, 108, info, 108 + info,
                                       int32_t(dib.size()) - info, 2, 2};
             w.emf->Record(77, f, dib);
         }},
        {"CREATEDIBPATTERNBRUSHPT", false,
         [&](Writer& w) {
             w.emf->Record(94, {9, 1, 32, info, 32 + info, int32_t(dib.size()) - info}, dib);
             w.m.Select(9);
             w.m.Select(w.m.CreatePen(5, 0, 0));
             w.m.Rectangle(0, 0, 3, 3);
         }},
        {"STRETCHDIB", true,
         [&](Writer& w) {
             w.wmf->Record(0x0F43, {0x0020, 0x00CC, 1, 2, 2, 0, 0, 2, 2, 0, 0}, dib);
         }},
        {"SETDIBTODEV", true,
         [&](Writer& w) {
             w.wmf->Record(0x0D33, {1, 2, 0, 0, 0, 2, 2, 0, 0}, dib);
         }},
        {"DIBCREATEPATTERNBRUSH", true,
         [&](Writer& w) {
             // The palette in slot 0, the pen in 1, the brush in 2.
             w.m.Select(w.m.CreatePen(5, 0, 0));
             w.wmf->Record(0x0142, {5, 1}, dib);
             w.m.Select(2);
             w.m.Rectangle(0, 0, 3, 3);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint32_t> px = PlayOnWhite(Build(c.wmf,
                                                           [&](Writer& w) {
                                                               w.CreateAndSelect(kTwo);
                                                               c.draw(w);
                                                           }),
                                                     32, 4, c.wmf);
        const std::vector<uint32_t> got = {px[0], px[1], px[32], px[33]};
        EXPECT_EQ(got, kPalPicture);
    }
}

// The records that take a colour of their own, not a pen's or brush's,
// resolve a PALETTEINDEX colour through the selected palette too: a flood
// fill's border or surface colour and TransparentBlt's key colour.
TEST(MetafilePalette, FillAndKeyColoursResolveThroughThePalette)
{
    const uint32_t kBlue = Pixel(0, 0, 255);
    struct Case {
        const char* name;
        bool wmf;
        int type;  // the fill's record and its fields
        std::vector<int> fields;
        uint32_t want;  // pixel (1, 1) afterwards
    } cases[] = {
        // The surface of the entry's colour at (1, 1) is filled.
        {"EXTFLOODFILL surface", false, 53, {1, 1, int32_t(kIndex | 1), 1}, kBlue},
        {"META_EXTFLOODFILL surface", true, 0x0548, {1, 1, kIndex >> 16, 1, 1}, kBlue},
        // A fill from (9, 1) stops at the entry's colour, so (1, 1) keeps it.
        {"EXTFLOODFILL border", false, 53, {9, 1, int32_t(kIndex | 1), 0}, kA},
        {"META_FLOODFILL border", true, 0x0419, {1, kIndex >> 16, 1, 9}, kA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = Build(c.wmf, [&](Writer& w) {
            w.CreateAndSelect(kTwo);
            w.Swatch(0, kIndex | 1, Writer::kSetPixel);
            w.m.Select(w.m.CreateBrush(0, RGB(0, 0, 255)));
            if (c.wmf)
                w.wmf->Record(uint16_t(c.type), c.fields);
            else
                w.emf->Record(uint32_t(c.type), c.fields);
        });
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(bytes, 32, 4, c.wmf, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_EQ(px[33], c.want);
        // (2, 1): filled around the border, left white beside the surface.
        EXPECT_EQ(px[34], c.want == kA ? kBlue : kWhite);
    }
}

TEST(MetafilePalette, TransparentBlitKeyIsThePalettesEntry)
{
    // TRANSPARENTBLT (116) of a 2 x 1 bitmap, kA then kB, with the key
    // PALETTEINDEX(1): the kA pixel is left out.
    const std::vector<uint8_t> bytes = Build(false, [&](Writer& w) {
        w.CreateAndSelect(kTwo);
        w.emf->BlendBlt(116, 0, 0, 2, 1, kIndex | 1, 0, 0, 2, 1, PackedDib24(2, 1, {kA, kB}));
    });
    PlayStats stats;
    const std::vector<uint32_t> px = PlayOnWhite(bytes, 32, 4, false, &stats);
    EXPECT_EQ(stats.skipped, 0u);
    EXPECT_EQ(px[0], kWhite);
    EXPECT_EQ(px[1], kB);
}

}  // namespace
