// The BMP codec: files built byte by byte in every header form and
// compression, round trips through our writer, and corrupt data.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <raster.h>

namespace {

// Little-endian file bytes.
struct Bytes : std::vector<BYTE> {
    Bytes& u8(BYTE v)
    {
        push_back(v);
        return *this;
    }
    Bytes& u16(WORD v) { return u8((BYTE)v).u8((BYTE)(v >> 8)); }
    Bytes& u32(DWORD v) { return u16((WORD)v).u16((WORD)(v >> 16)); }
    Bytes& raw(std::initializer_list<BYTE> v)
    {
        insert(end(), v.begin(), v.end());
        return *this;
    }
    Bytes& add(const Bytes& b)
    {
        insert(end(), b.begin(), b.end());
        return *this;
    }
    Bytes& zeros(size_t n)
    {
        insert(end(), n, 0);
        return *this;
    }
};

Bytes FileHeader(DWORD offbits)
{
    Bytes b;
    return b.u16(0x4D42).u32(0).u16(0).u16(0).u32(offbits);
}

Bytes InfoHeader(LONG w, LONG h, WORD bits, DWORD compression = 0, DWORD clrUsed = 0, LONG ppm = 0,
                 DWORD size = 40)
{
    Bytes b;
    b.u32(size).u32((DWORD)w).u32((DWORD)h).u16(1).u16(bits).u32(compression).u32(0);
    return b.u32((DWORD)ppm).u32((DWORD)ppm).u32(clrUsed).u32(0);
}

// A 4-byte palette entry given as 0xRRGGBB.
Bytes Entry(DWORD rgb)
{
    Bytes b;
    return b.u8((BYTE)rgb).u8((BYTE)(rgb >> 8)).u8((BYTE)(rgb >> 16)).u8(0);
}

bool DecodeBytes(RasterImage& img, Bytes data, DWORD id = RASTER_FORMAT_BMP)
{
    return img.Decode(data.data(), (DWORD)data.size(), id);
}

DWORD Rgb(const RasterImage& img, long x, long y)
{
    RGBQUAD c = img.GetPixelColor(x, y, false);
    return ((DWORD)c.rgbRed << 16) | ((DWORD)c.rgbGreen << 8) | c.rgbBlue;
}

// The 2 x 2 8-bit picture used by several header forms: index = 1 + x + 2 y
// (bottom row first), palette entry i = 0x101010 * i.
Bytes EightBitRows()
{
    Bytes b;
    return b.raw({1, 2, 0, 0, 3, 4, 0, 0});
}

TEST(BmpEncode, OneByOneTrueColourAt72Dpi)
{
    RasterImage img(1, 1, 24, 0);
    img.SetXDPI(72);
    img.SetYDPI(72);
    img.SetPixelColor(0, 0, RGB(10, 20, 30));
    BYTE* buf = nullptr;
    long size = 0;
    ASSERT_TRUE(img.Encode(buf, size, RASTER_FORMAT_BMP));
    ASSERT_EQ(58, size);
    Bytes want = FileHeader(54);
    want[2] = 58;
    Bytes info = InfoHeader(1, 1, 24, 0, 0, 2835);
    info[20] = 4;  // biSizeImage
    want.add(info).raw({30, 20, 10, 0});
    EXPECT_EQ(static_cast<std::vector<BYTE>&>(want), std::vector<BYTE>(buf, buf + size));
    RasterImage back;
    ASSERT_TRUE(back.Decode(buf, (DWORD)size, RASTER_FORMAT_BMP));
    EXPECT_EQ(72, back.GetXDPI());
    EXPECT_EQ(72, back.GetYDPI());
    EXPECT_EQ(0x0A141Eu, Rgb(back, 0, 0));
    free(buf);
}

TEST(BmpEncode, PaletteImagesRoundTrip)
{
    for (DWORD bpp : {1u, 4u, 8u}) {
        RasterImage img(13, 5, bpp, 0);
        img.SetStdPalette();
        if (bpp == 1)
            img.SetGrayPalette();
        img.SetPaletteColor(1, 1, 2, 3, 4);  // the reserved byte is written as it is
        for (long y = 0; y < 5; y++)
            for (long x = 0; x < 13; x++)
                img.SetPixelIndex(x, y, (BYTE)((x * 7 + y * 3) % (1 << bpp)));
        BYTE* buf = nullptr;
        long size = 0;
        ASSERT_TRUE(img.Encode(buf, size, RASTER_FORMAT_BMP));
        long palette = 4L << bpp;
        EXPECT_EQ(14 + 40 + palette + (long)img.GetEffWidth() * 5, size);
        EXPECT_EQ(14 + 40 + palette, (long)(buf[10] | (buf[11] << 8))) << bpp;
        EXPECT_EQ(4, buf[54 + 4 + 3]);
        RasterImage back;
        ASSERT_TRUE(back.Decode(buf, (DWORD)size, RASTER_FORMAT_UNKNOWN));
        EXPECT_EQ(bpp, back.GetBpp());
        EXPECT_EQ(0, back.GetPaletteColor(1).rgbReserved);  // the decoder clears it
        for (long y = 0; y < 5; y++)
            for (long x = 0; x < 13; x++)
                ASSERT_EQ(img.GetPixelIndex(x, y), back.GetPixelIndex(x, y)) << bpp << " " << x << "," << y;
        for (int i = 2; i < (1 << (int)bpp); i++)
            ASSERT_EQ(0, memcmp(&img.GetPalette()[i], &back.GetPalette()[i], 4));
        free(buf);
    }
}

TEST(BmpEncode, WriteFailuresAreReported)
{
    // A stream that takes nothing.
    class FullDisk : public RasterMemFile {
    public:
        size_t Write(const void*, size_t, size_t) override { return 0; }
    } full;
    ASSERT_TRUE(full.Open());
    RasterImage img(2, 2, 24, 0);
    EXPECT_FALSE(img.Encode(&full, RASTER_FORMAT_BMP));
    EXPECT_STREQ("Write Error in BMP file", img.GetLastError());
}

TEST(BmpDecode, BareDibAndFileHeaderForms)
{
    Bytes pal;
    for (DWORD i = 0; i < 256; i++)
        pal.add(Entry(0x101010 * i));
    Bytes bare = InfoHeader(2, 2, 8);
    bare.add(pal).add(EightBitRows());
    RasterImage a;
    ASSERT_TRUE(DecodeBytes(a, bare, RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(4, a.GetPixelIndex(1, 1));
    EXPECT_EQ(0x303030u, Rgb(a, 0, 1));

    Bytes file = FileHeader(0);  // 0: the pixels follow the palette
    file.add(bare);
    RasterImage b;
    ASSERT_TRUE(DecodeBytes(b, file));
    EXPECT_EQ(1, b.GetPixelIndex(0, 0));
}

TEST(BmpDecode, CoreHeaderMatchesItsLongTwin)
{
    Bytes core = FileHeader(14 + 12 + 6);
    core.u32(12).u16(2).u16(2).u16(1).u16(1);
    core.raw({0, 0, 0x80, 0x10, 0x20, 0x30});  // two 3-byte entries
    core.raw({0x40, 0, 0, 0, 0x80, 0, 0, 0});  // bottom row: pixel 1 set; top row: pixel 0 set
    Bytes longer = FileHeader(14 + 40 + 8);
    longer.add(InfoHeader(2, 2, 1)).add(Entry(0x800000)).add(Entry(0x302010));
    longer.raw({0x40, 0, 0, 0, 0x80, 0, 0, 0});
    RasterImage a, b;
    ASSERT_TRUE(DecodeBytes(a, core));
    ASSERT_TRUE(DecodeBytes(b, longer));
    EXPECT_EQ(0, memcmp(a.GetPalette(), b.GetPalette(), 8));
    EXPECT_EQ(0x800000u, Rgb(a, 0, 0));
    EXPECT_EQ(0x302010u, Rgb(a, 1, 0));
    EXPECT_EQ(0x302010u, Rgb(a, 0, 1));
    for (long y = 0; y < 2; y++)
        for (long x = 0; x < 2; x++)
            EXPECT_EQ(Rgb(b, x, y), Rgb(a, x, y));
    // The whole core file is shorter than a 40-byte header: it still decodes.
    EXPECT_LT(core.size() - 14, 40u);
}

TEST(BmpDecode, TopDownMatchesBottomUp)
{
    Bytes rows24 = Bytes().raw({1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0});
    Bytes up = FileHeader(54), down = FileHeader(54);
    up.add(InfoHeader(2, 2, 24)).add(rows24);
    down.add(InfoHeader(2, -2, 24));
    down.raw({7, 8, 9, 10, 11, 12, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0});
    RasterImage a, b;
    ASSERT_TRUE(DecodeBytes(a, up));
    ASSERT_TRUE(DecodeBytes(b, down));
    EXPECT_EQ(2u, b.GetHeight());
    EXPECT_EQ(0, memcmp(a.GetBits(0), b.GetBits(0), 16));
    EXPECT_EQ(0x030201u, Rgb(b, 0, 0));
}

TEST(BmpDecode, SixteenBitFormsAndMasks)
{
    // The default 5-5-5 layout; 5-6-5 from three masks after the header; a
    // 124-byte header carrying its masks inside, blue wider than red.
    Bytes p555 = FileHeader(54);
    p555.add(InfoHeader(4, 1, 16)).u16(0x7FFF).u16(0x7C00).u16(0x03E0).u16(0x001F);
    Bytes p565 = FileHeader(66);
    p565.add(InfoHeader(4, 1, 16, BI_BITFIELDS)).u32(0xF800).u32(0x07E0).u32(0x001F);
    p565.u16(0xFFFF).u16(0xF800).u16(0x07E0).u16(0x001F);
    Bytes v5 = FileHeader(14 + 124);
    Bytes h = InfoHeader(2, 1, 16, BI_BITFIELDS, 0, 0, 124);
    h.u32(0xE000).u32(0x1F00).u32(0x00FF).zeros(124 - 52);
    v5.add(h).u16(0xFFFF).u16(0x2080);

    struct Row {
        const char* what;
        const Bytes& file;
        std::vector<DWORD> pixels;  // row 0, left to right
    } table[] = {
        {"5-5-5", p555, {0xF8F8F8, 0xF80000, 0x00F800, 0x0000F8}},
        {"5-6-5 masks", p565, {0xF8FCF8, 0xF80000, 0x00FC00, 0x0000F8}},
        {"masks in a 124-byte header", v5, {0xE0F8FF, 0x200080}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        RasterImage img;
        ASSERT_TRUE(DecodeBytes(img, row.file));
        for (size_t x = 0; x < row.pixels.size(); x++)
            EXPECT_EQ(row.pixels[x], Rgb(img, long(x), 0)) << "pixel " << x;
    }
}

TEST(BmpDecode, SixteenBitRowPaddingIsClean)
{
    // 2 x 2: the 16-bit rows (4 bytes each) expand in place into 8-byte rows.
    Bytes f = FileHeader(54);
    f.add(InfoHeader(2, 2, 16)).u16(0x1111).u16(0x2222).u16(0x7FFF).u16(0x7FFF);
    RasterImage img;
    ASSERT_TRUE(DecodeBytes(img, f));
    EXPECT_EQ(0xF8F8F8u, Rgb(img, 1, 1));
    EXPECT_EQ(0, img.GetBits(0)[6]);
    EXPECT_EQ(0, img.GetBits(0)[7]);
}

TEST(BmpDecode, ThirtyTwoBitsDropTheFourthByte)
{
    Bytes f = FileHeader(54);
    f.add(InfoHeader(2, 1, 32)).raw({1, 2, 3, 4, 5, 6, 7, 8});
    RasterImage a;
    ASSERT_TRUE(DecodeBytes(a, f));
    EXPECT_EQ(24, a.GetBpp());
    EXPECT_EQ(0x030201u, Rgb(a, 0, 0));
    EXPECT_EQ(0x070605u, Rgb(a, 1, 0));
    Bytes g = FileHeader(66);
    g.add(InfoHeader(1, 1, 32, BI_BITFIELDS)).u32(0xFF0000).u32(0xFF00).u32(0xFF).raw({9, 8, 7, 0});
    RasterImage b;
    ASSERT_TRUE(DecodeBytes(b, g));
    EXPECT_EQ(0x070809u, Rgb(b, 0, 0));
}

TEST(BmpDecode, ShortPaletteAndPaletteLongerThanTheImages)
{
    Bytes sixteen = FileHeader(0);
    sixteen.add(InfoHeader(2, 2, 8, 0, 16));
    for (DWORD i = 0; i < 16; i++)
        sixteen.add(Entry(0x010101 * (i + 1)));
    sixteen.add(EightBitRows());
    RasterImage a;
    ASSERT_TRUE(DecodeBytes(a, sixteen));
    EXPECT_EQ(0x020202u, Rgb(a, 0, 0));
    EXPECT_EQ(16, a.GetPaletteColor(15).rgbRed);
    EXPECT_EQ(0, a.GetPaletteColor(16).rgbRed);
    EXPECT_EQ(0, a.GetPaletteColor(255).rgbRed);

    // 300 entries for an 8-bit image: 256 kept, the rest passed over.
    Bytes many = FileHeader(0);
    many.add(InfoHeader(2, 2, 8, 0, 300));
    for (DWORD i = 0; i < 300; i++)
        many.add(Entry(i < 256 ? 0x010000 * i : 0xFFFFFF));
    many.add(EightBitRows());
    RasterImage b;
    ASSERT_TRUE(DecodeBytes(b, many));
    EXPECT_EQ(4, b.GetPixelIndex(1, 1));
    EXPECT_EQ(255, b.GetPaletteColor(255).rgbRed);
}

TEST(BmpDecode, SizeOnlyAndCancel)
{
    Bytes f = FileHeader(54);
    f.add(InfoHeader(3, -9, 24)).zeros(12 * 9);
    RasterImage img;
    img.SetEscape(-1);
    ASSERT_TRUE(DecodeBytes(img, f));
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(3u, img.GetWidth());
    EXPECT_EQ(9u, img.GetHeight());
    EXPECT_STREQ("output dimensions returned", img.GetLastError());
    RasterImage other;
    other.SetEscape(-1);
    EXPECT_FALSE(DecodeBytes(other, Bytes().zeros(20)));
    EXPECT_STREQ("Error reading BMP info", other.GetLastError());
    RasterImage stop;
    stop.SetEscape(1);
    EXPECT_FALSE(DecodeBytes(stop, f));
    EXPECT_STREQ("Cancelled", stop.GetLastError());
    EXPECT_FALSE(stop.IsValid());
}

TEST(BmpDecode, Rle8Commands)
{
    // 5 x 3: a run, a literal of three with its pad byte, line end, a move,
    // a run, end of bitmap.
    Bytes f = FileHeader(0);
    f.add(InfoHeader(5, 3, 8, BI_RLE8));
    for (DWORD i = 0; i < 256; i++)
        f.add(Entry(i));
    f.raw({2, 7, 0, 3, 1, 2, 3, 0xEE, 0, 0, 0, 2, 1, 1, 2, 9, 0, 1});
    RasterImage img;
    ASSERT_TRUE(DecodeBytes(img, f));
    BYTE want[3][5] = {{7, 7, 1, 2, 3}, {0, 0, 0, 0, 0}, {0, 9, 9, 0, 0}};
    for (long y = 0; y < 3; y++)
        for (long x = 0; x < 5; x++)
            EXPECT_EQ(want[y][x], img.GetPixelIndex(x, y)) << x << "," << y;
}

TEST(BmpDecode, Rle8RunsPastTheImageChangeNothingOutside)
{
    // Runs that wrap through every row and beyond, then moves far past the
    // last row, and data that simply stops without an end code.
    Bytes f = FileHeader(0);
    f.add(InfoHeader(3, 2, 8, BI_RLE8));
    f.zeros(1024);
    f.raw({255, 5, 255, 6, 0, 2, 255, 255, 200, 8, 0, 250});
    for (int i = 0; i < 250; i++)
        f.u8(1);
    RasterImage img;
    ASSERT_TRUE(DecodeBytes(img, f));
    EXPECT_EQ(5, img.GetPixelIndex(2, 1));
    EXPECT_EQ(5, img.GetBits(0)[7]);  // padding of the top row, inside the block
}

TEST(BmpDecode, Rle4PixelsLandByColumn)
{
    // 7 x 2: a run of three from column 0, a literal of three from the odd
    // column 3 (two data bytes, no pad), a line end, a move by one column and
    // a run of one.
    Bytes f = FileHeader(0);
    f.add(InfoHeader(7, 2, 4, BI_RLE4));
    for (DWORD i = 0; i < 16; i++)
        f.add(Entry(i * 0x111111));
    f.raw({3, 0xAB, 0, 3, 0xCD, 0xE0, 0, 0, 0, 2, 1, 0, 1, 0xF0, 0, 1});
    RasterImage img;
    ASSERT_TRUE(DecodeBytes(img, f));
    BYTE want[2][7] = {{0xA, 0xB, 0xA, 0xC, 0xD, 0xE, 0}, {0, 0xF, 0, 0, 0, 0, 0}};
    for (long y = 0; y < 2; y++)
        for (long x = 0; x < 7; x++)
            EXPECT_EQ(want[y][x], img.GetPixelIndex(x, y)) << x << "," << y;
}

TEST(BmpDecode, CorruptFilesFailWithTheirTexts)
{
    struct Case {
        const char* name;
        Bytes data;
        const char* text;
    };
    Bytes badSize = FileHeader(54);
    badSize.add(InfoHeader(2, 2, 24, 0, 0, 0, 44)).zeros(20);
    Bytes rle24 = FileHeader(54);
    rle24.add(InfoHeader(2, 2, 24, BI_RLE8)).zeros(16);
    Bytes bits8 = FileHeader(54);
    bits8.add(InfoHeader(2, 2, 8, BI_BITFIELDS)).zeros(1024 + 8);
    Bytes rle32 = FileHeader(54);
    rle32.add(InfoHeader(2, 2, 32, BI_RLE8)).zeros(16);
    Bytes huge = FileHeader(54);
    huge.add(InfoHeader(30000, 30000, 24)).zeros(64);
    Bytes hugeRle = FileHeader(0);
    hugeRle.add(InfoHeader(30000, 30000, 8, BI_RLE8)).zeros(1024).raw({0, 1});
    Bytes farOffset = FileHeader(100000);
    farOffset.add(InfoHeader(2, 2, 24)).zeros(16);
    Bytes shortPalette = FileHeader(0);
    shortPalette.add(InfoHeader(2, 2, 8)).zeros(100);
    Bytes negWidth = FileHeader(54);
    negWidth.add(InfoHeader(-2, 2, 24)).zeros(16);
    Bytes hugeHeader = FileHeader(54);
    hugeHeader.add(InfoHeader(2, 2, 24, 0, 0, 0, 0x7FFFFFF0)).zeros(16);
    hugeHeader[14 + 20] = 16;  // an exact image size, so only the length is wrong
    Bytes noMasks = FileHeader(0);
    noMasks.add(InfoHeader(2, 1, 16, BI_BITFIELDS)).zeros(4);

    const Case cases[] = {
        {"too short", Bytes().raw({'B', 'M', 0}), "Not a BMP"},
        {"odd header size", badSize, "Error reading BMP info"},
        {"rle at 24 bits", rle24, "unknown compression"},
        {"bit fields at 8 bits", bits8, "compression type not supported"},
        {"rle at 32 bits", rle32, "unknown compression"},
        {"pixels claimed but absent", huge, "RASTER_MAX_MEMORY exceeded"},
        {"runs too few for the size", hugeRle, "RASTER_MAX_MEMORY exceeded"},
        {"offset past the data", farOffset, "Error reading BMP info"},
        {"palette past the data", shortPalette, "Error reading BMP info"},
        {"negative width", negWidth, "Error reading BMP info"},
        {"header past the data", hugeHeader, "Error reading BMP info"},
        {"masks past the data", noMasks, "Error reading BMP info"},
    };
    for (const Case& c : cases) {
        RasterImage img;
        EXPECT_FALSE(DecodeBytes(img, c.data)) << c.name;
        EXPECT_STREQ(c.text, img.GetLastError()) << c.name;
        EXPECT_FALSE(img.IsValid()) << c.name;
    }
}

TEST(BmpDecode, LargeImageBackedByItsDataDecodes)
{
    // Past the size a header alone may claim, the pixel bytes must be there.
    const DWORD side = 2368, row = side * 3;
    Bytes f = FileHeader(54);
    f.add(InfoHeader(side, side, 24)).zeros((size_t)row * side);
    f[54 + 4] = 0x42;  // green of pixel (1, 0)
    RasterImage img;
    ASSERT_TRUE(DecodeBytes(img, f));
    EXPECT_GT((size_t)img.GetSize(), (size_t)16 << 20);
    EXPECT_EQ(0x004200u, Rgb(img, 1, 0));
    // One byte short: a pixel the data does not hold, which the host's
    // allowance pays for, or refuses when it allows none.
    f.resize(f.size() - 1);
    EXPECT_TRUE(DecodeBytes(img, f));
    const unsigned long long allowance = RasterGetUnbackedPixels();
    RasterSetUnbackedPixels(0);
    EXPECT_FALSE(DecodeBytes(img, f));
    RasterSetUnbackedPixels(allowance);
    EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", img.GetLastError());
}

TEST(BmpDecode, ShortPixelDataReadsAsZero)
{
    Bytes f = FileHeader(54);
    f.add(InfoHeader(2, 2, 24)).raw({1, 2, 3, 4, 5});
    RasterImage img;
    ASSERT_TRUE(DecodeBytes(img, f));
    EXPECT_EQ(0x030201u, Rgb(img, 0, 0));
    EXPECT_EQ(0x000504u, Rgb(img, 1, 0));
    EXPECT_EQ(0u, Rgb(img, 1, 1));
    // No columns but a huge top-down height: nothing to read or turn over.
    Bytes flat = FileHeader(54);
    flat.add(InfoHeader(0, -1000000000, 16));
    RasterImage none;
    ASSERT_TRUE(DecodeBytes(none, flat));
    EXPECT_EQ(1000000000u, none.GetHeight());
    EXPECT_EQ(0u, none.GetEffWidth());
}

TEST(BmpDecode, BitCountsTheCodecDoesNotReadAreRefused)
{
    for (WORD bits : {0, 2, 3, 12, 48, 30000}) {
        Bytes f = FileHeader(0);
        f.add(InfoHeader(3, 1, bits)).zeros(16).raw({0xFF, 0xFF, 0xFF, 0xFF});
        RasterImage img;
        EXPECT_FALSE(DecodeBytes(img, f)) << bits;
        EXPECT_STREQ("BMP bit count not supported", img.GetLastError()) << bits;
        EXPECT_FALSE(img.IsValid()) << bits;
    }
}

}  // namespace
