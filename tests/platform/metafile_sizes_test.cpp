// Records checked for size before they act: each record written whole fits,
// the same record one field short (or with its count asking one item more
// than it holds) does not, and a short record in a metafile is skipped as
// skipped while the records around it play.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"
#include "metafile_sizes.h"

using namespace win32metafile;

namespace {

uint32_t Le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

// The first record a builder wrote, taken out of its metafile.
std::vector<uint8_t> FirstEmfRecord(const std::function<void(EmfBuilder&)>& write)
{
    EmfBuilder b(0, 0, 9, 9);
    write(b);
    const std::vector<uint8_t> all = b.Bytes();
    const uint32_t size = Le32(all.data() + 108 + 4);
    return std::vector<uint8_t>(all.begin() + 108, all.begin() + 108 + size);
}

std::vector<uint8_t> FirstWmfRecord(const std::function<void(WmfBuilder&)>& write)
{
    WmfBuilder b;
    write(b);
    const std::vector<uint8_t> all = b.Bytes();
    const uint32_t words = Le32(all.data() + 18);
    return std::vector<uint8_t>(all.begin() + 18, all.begin() + 18 + 2 * words);
}

// The record without its last `bytes`, its size field saying so.
std::vector<uint8_t> Cut(std::vector<uint8_t> r, size_t bytes, bool wmf)
{
    r.resize(r.size() - bytes);
    const uint32_t v = wmf ? uint32_t(r.size() / 2) : uint32_t(r.size());
    const size_t at = wmf ? 0 : 4;
    for (int i = 0; i < 4; i++)
        r[at + i] = uint8_t(v >> (8 * i));
    return r;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> v)
{
    std::vector<uint8_t> b;
    for (int x : v)
        Put32(b, uint32_t(x));
    return b;
}

// A row writes its record with the builder, or gives it whole: its type,
// fields and the bytes after them.
struct EmfRow {
    EmfRow(const char* n, std::function<void(EmfBuilder&)> w) : name(n), write(std::move(w)) {}
    EmfRow(const char* n, uint32_t type, std::vector<int32_t> fields,
           std::vector<uint8_t> tail = {})
        : name(n), write([=](EmfBuilder& b) { b.Record(type, fields, tail); })
    {
    }
    const char* name;
    std::function<void(EmfBuilder&)> write;
};

TEST(MetafileRecordSizes, EnhancedRecordsFitWholeAndNotOneFieldShort)
{
    const std::vector<uint8_t> twoPoints = Bytes({1, 2, 3, 4});
    const EmfRow rows[] = {
        {"rectangle", [](EmfBuilder& b) { b.Rectangle(0, 0, 4, 4); }},
        {"polygon", 3, {0, 0, 0, 0, 2}, twoPoints},
        {"polygon16",
         [](EmfBuilder& b) {
             b.Polygon16({{1, 2}, {3, 4}, {5, 6}});
         }},
        {"polypolygon",
         [](EmfBuilder& b) {
             b.PolyPoly(8, {{{0, 0}, {4, 0}}, {{1, 1}}}, false);
         }},
        {"polypolyline16",
         [](EmfBuilder& b) {
             b.PolyPoly(90, {{{0, 0}, {4, 0}}, {{1, 1}}}, true);
         }},
        {"set world transform", 35, {1, 0, 0, 1, 0, 0}},
        {"modify world transform", 36, {1, 0, 0, 1, 0, 0, 1}},
        // The slot, then the font: 92 bytes.
        {"font", 82, {1}, std::vector<uint8_t>(92, 0)},
        // Bounds, mode, scales; the text block (reference, 3 characters at
        // 76, options, rectangle, spacing at 84); the string; the spacing.
        {"wide text", 84, {0, 0, 0, 0, 1, 0, 0, 0, 0, 3, 76, 0, 0, 0, 0, 0, 84},
         Bytes({0x00620061, 0x00000063, 5, 5, 5})},
        {"text of bytes", 83, {0, 0, 0, 0, 1, 0, 0, 0, 0, 5, 76, 0, 0, 0, 0, 0, 84},
         Bytes({0x64636261, 0x65, 5, 5, 5, 5, 5})},
        // Spacing in pairs, across and down: two values a character.
        {"text spaced down too", 84, {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 76, 0x2000, 0, 0, 0, 0, 80},
         Bytes({0x61, 5, 5})},
        // One text block of two wide characters at 80, spacing at 84.
        {"poly text", 97, {0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 2, 80, 0, 0, 0, 0, 0, 84},
         Bytes({0x00620061, 5, 5})},
        // Four 8-bit characters after the clip rectangle.
        {"small text", 108, {0, 0, 4, 0x200, 1, 0, 0, 0, 0, 4, 4}, Bytes({0x64636261})},
        {"small wide text without rectangle", 108, {0, 0, 2, 0x100, 1, 0, 0}, Bytes({0x00620061})},
        {"stretched bitmap",
         [](EmfBuilder& b) {
             b.StretchDib(0, 0, 2, 2, 2, 1, {0xFF0000, 0x00FF00});
         }},
        // Region data: a 32-byte header and one rectangle.
        {"clip region", 75, {48, RGN_COPY, 32, 1, 1, 16, 0, 0, 4, 4}, Bytes({0, 0, 4, 4})},
        // The pen and two style entries.
        {"extended pen", 95, {1, 0, 0, 0, 0, 0x10007, 3, 0, 0xFF, 0, 2}, Bytes({2, 3})},
        // Two points, then a type byte each.
        {"poly draw", 56, {0, 0, 0, 0, 2, 1, 1, 5, 5}, {6, 2}},
        // Slot, first entry, two entries.
        {"palette entries", 50, {1, 0, 2, 0xFF, 0xFF00}},
        // Bounds, two vertices, no shapes, rectangle mode; the vertices.
        {"gradient", 118, {0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 9, 9, 0, 0}},
        {"gradient rectangle",
         [](EmfBuilder& b) {
             b.GradientFill({{0, 0, 0, 0, 0}, {9, 9, 0, 0, 0}}, {0, 1}, 0);
         }},
        {"gradient triangle",
         [](EmfBuilder& b) {
             b.GradientFill({{0, 0, 0, 0, 0}, {9, 9, 0, 0, 0}, {0, 9, 0, 0, 0}}, {0, 1, 2}, 2);
         }},
        // No source bitmap; a mask whose info and bits close the record.
        {"masked blit", 78,
         {0, 0, 0, 0, 0, 0, 4, 4, 0xCC0020, 0, 0, 0, 0, 0, 0,
          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 128, 4, 132, 4},
         Bytes({0, 0})},
        {"flood fill", 53, {1, 1, 0, 0}},
        {"arc to", 55, {0, 0, 9, 9, 9, 5, 5, 0}},
        {"angle arc", 41, {5, 5, 4, 0, 0x42B40000}},
        {"layout", 115, {1}},
        {"text justification", 120, {7, 2}},
        {"poly draw 16", 92, {0, 0, 0, 0, 2, 0x10001, 0x50005}, {6, 2}},
        {"colour space", 99, {3}, std::vector<uint8_t>(328)},
        {"wide colour space with data",
         [](EmfBuilder& b) {
             std::vector<uint8_t> tail(588 + 8);
             tail[588 + 4] = 4;  // four bytes of profile data follow
             tail.resize(tail.size() + 4);
             b.Record(122, {3}, tail);
         }},
        {"pixel format", 104, {}, std::vector<uint8_t>(40)},
        {"escape with data", 106, {4096, 4}, Bytes({0})},
        {"gl record", 102, {4}, Bytes({0})},
        {"linked fonts", 119, {1, 7, 1, 0, 0}},
        {"colour match", 121, {1, 0, 4, 0}, Bytes({0})},
        {"font identifier", 109, {7, 1}},
        // Slot, version and an entry count of two in one field, the entries.
        {"palette", 49, {1, 0x20300}, Bytes({0xFF, 0xFF00})},
    };
    for (const EmfRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<uint8_t> r = FirstEmfRecord(row.write);
        const uint32_t type = Le32(r.data());
        EXPECT_TRUE(EnhancedRecordFits(type, RecordBytes(r.data(), r.size())));
        const std::vector<uint8_t> cut = Cut(r, 4, false);
        EXPECT_FALSE(EnhancedRecordFits(type, RecordBytes(cut.data(), cut.size())));
    }
}

struct WmfRow {
    WmfRow(const char* n, std::function<void(WmfBuilder&)> w) : name(n), write(std::move(w)) {}
    WmfRow(const char* n, uint16_t function, std::vector<int> params)
        : name(n), write([=](WmfBuilder& b) { b.Record(function, params); })
    {
    }
    const char* name;
    std::function<void(WmfBuilder&)> write;
};

TEST(MetafileRecordSizes, WindowsRecordsFitWholeAndNotOneWordShort)
{
    const WmfRow rows[] = {
        {"rectangle", [](WmfBuilder& b) { b.Rectangle(0, 0, 4, 4); }},
        {"polygon",
         [](WmfBuilder& b) {
             b.Polygon({{0, 0}, {4, 0}, {4, 4}});
         }},
        {"polypolygon",
         [](WmfBuilder& b) {
             b.PolyPolygon({{{0, 0}, {4, 0}, {4, 4}}, {{1, 1}, {2, 2}}});
         }},
        {"round rectangle", [](WmfBuilder& b) { b.RoundRect(0, 0, 8, 8, 2, 2); }},
        {"arc", [](WmfBuilder& b) { b.Arc(0, 0, 0, 8, 8, 0, 0, 8, 8); }},
        {"pen", [](WmfBuilder& b) { b.CreatePen(PS_SOLID, 1, 0xFF); }},
        {"brush", [](WmfBuilder& b) { b.CreateBrush(BS_SOLID, 0xFF); }},
        {"window extent", [](WmfBuilder& b) { b.SetWindowExt(10, 10); }},
        // Three characters (padded to two words), then y and x.
        {"text", 0x0521, {3, 0x6261, 0x63, 5, 5}},
        // y, x, three characters, opaque: the rectangle, then the string.
        {"extended text", 0x0A32, {5, 5, 3, ETO_OPAQUE, 0, 0, 9, 9, 0x6261, 0x63}},
        {"extended text without rectangle", 0x0A32, {5, 5, 2, 0, 0x6261}},
        // Height, width, escapement, orientation, weight, four pairs of bytes.
        {"font", 0x02FB, {-12, 0, 0, 0, 400, 0, 0, 0, 0}},
        {"stretched bitmap",
         [](WmfBuilder& b) {
             b.StretchDib(0, 0, 2, 2, 2, 1, {0xFF0000, 0x00FF00});
         }},
        {"palette", 0x00F7, {0x300, 2, 0xFF, 0, 0xFF00, 0}},
        {"palette entries", 0x0037, {0, 2, 0xFF, 0, 0xFF00, 0}},
        {"mapper flags", 0x0231, {1, 0}},
        {"layout", 0x0149, {1, 0}},
        {"text justification", 0x020A, {2, 7}},
        {"flood fill", 0x0419, {0, 0, 5, 5}},
        {"extended flood fill", 0x0548, {1, 0, 0, 5, 5}},
        {"bit blit without a bitmap", 0x0922, {0x21, 0xF0, 0, 0, 0, 2, 2, 1, 1}},
        {"stretch blit without a bitmap", 0x0B23, {0x21, 0xF0, 2, 2, 0, 0, 0, 2, 2, 1, 1}},
        {"relative or absolute", 0x0105, {1}},
        // Function, byte count, the bytes.
        {"escape", 0x0626, {15, 4, 0x0101, 0x0202}},
    };
    for (const WmfRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<uint8_t> r = FirstWmfRecord(row.write);
        const uint16_t function = uint16_t(r[4] | (r[5] << 8));
        EXPECT_TRUE(WindowsRecordFits(function, RecordBytes(r.data(), r.size())));
        const std::vector<uint8_t> cut = Cut(r, 2, true);
        EXPECT_FALSE(WindowsRecordFits(function, RecordBytes(cut.data(), cut.size())));
    }
}

TEST(MetafileRecordSizes, CountsAskingMoreThanTheRecordHoldsDoNotFit)
{
    // A polygon of 2^30 points in a record of two: the count is multiplied
    // without wrapping.
    const std::vector<uint8_t> huge = FirstEmfRecord([](EmfBuilder& b) {
        b.Record(3, {0, 0, 0, 0, 1 << 30}, Bytes({1, 2, 3, 4}));
    });
    EXPECT_FALSE(EnhancedRecordFits(3, RecordBytes(huge.data(), huge.size())));
    // A text block whose string lies past the record's end.
    const std::vector<uint8_t> text = FirstEmfRecord([](EmfBuilder& b) {
        b.Record(84, {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 400, 0, 0, 0, 0, 0, 0}, Bytes({0x61}));
    });
    EXPECT_FALSE(EnhancedRecordFits(84, RecordBytes(text.data(), text.size())));
    // A polypolygon whose figures add up to more points than follow.
    const std::vector<uint8_t> poly = FirstWmfRecord([](WmfBuilder& b) {
        b.Record(0x0538, {2, 3, 0x7FFF, 0, 0, 1, 1, 2, 2});
    });
    EXPECT_FALSE(WindowsRecordFits(0x0538, RecordBytes(poly.data(), poly.size())));
}

// Plays onto a white 10 x 10 block.
std::vector<uint32_t> Play10(const std::vector<uint8_t>& bytes, bool wmf, PlayStats& stats)
{
    return PlayOnWhite(bytes, 10, 10, wmf, &stats);
}

TEST(MetafileRecordSizes, AShortRecordIsSkippedAndThePlayGoesOn)
{
    for (bool wmf : {false, true}) {
        SCOPED_TRACE(wmf ? "wmf" : "emf");
        std::vector<uint8_t> bytes;
        if (wmf) {
            WmfBuilder b;
            b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
            b.Select(b.CreatePen(PS_NULL, 0, 0));
            b.Record(0x041B, {10, 10, 0});  // a rectangle one word short: not (0,0)-(10,10)
            b.Record(0x020D, {5});          // a viewport origin without its x: not (0, 5)
            b.Rectangle(0, 0, 2, 2);
            bytes = b.Bytes();
        } else {
            EmfBuilder b(0, 0, 9, 9);
            b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
            b.Select(b.CreatePen(PS_NULL, 0, 0));
            b.Record(43, {0, 0, 10});  // a rectangle one field short
            b.Record(12, {5});         // a viewport origin without its y: not (5, 0)
            b.Rectangle(0, 0, 2, 2);
            bytes = b.Bytes();
        }
        PlayStats stats;
        const std::vector<uint32_t> px = Play10(bytes, wmf, stats);
        EXPECT_EQ(stats.tooShort, 2u);
        EXPECT_EQ(stats.skipped, 2u);
        EXPECT_TRUE(stats.stopped.empty());
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < 10; x++)
                EXPECT_EQ(px[y * 10 + x], x < 2 && y < 2 ? 0xFF0000u : 0xFFFFFFu) << x << "," << y;
    }
}

TEST(MetafileRecordSizes, AShortObjectRecordStillTakesItsSlot)
{
    // GDI numbers a Windows metafile's objects by the order they are made:
    // the brush made after a damaged pen is object 1 whether or not the pen
    // was whole.
    WmfBuilder b;
    b.Record(0x02FA, {PS_SOLID, 1, 0});  // a pen two words short
    b.Record(0x02FC, {BS_SOLID, 0x00FF, 0, 0});
    b.Select(1);
    b.Rectangle(0, 0, 3, 3);
    PlayStats stats;
    const std::vector<uint32_t> px = Play10(b.Bytes(), true, stats);
    EXPECT_EQ(stats.tooShort, 1u);
    EXPECT_EQ(px[1 * 10 + 1], 0xFF0000u);  // inside the outline: the red brush
}

}  // namespace
