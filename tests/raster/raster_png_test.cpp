// The PNG codec: files of every colour type and depth written here with
// libpng, decoded to exact pixels, alpha, palettes and resolutions; damaged
// files; the colour type our writer chooses and round trips; and
// cross-checks with ImageMagick (and pngcheck where installed).
#include <gtest/gtest.h>

#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <raster.h>
#include "encoded_bytes.h"
#include "magick.h"
#include "test_files.h"

namespace {

// A PNG as libpng writes it. Samples are given per channel, rows from the
// top; palette colours and keys as 0xRRGGBB.
struct PngRecipe {
    int width = 1;
    int height = 1;
    int depth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    std::function<int(int x, int y, int channel)> sample = [](int, int, int) { return 0; };
    std::vector<DWORD> palette;
    Bytes transAlpha;   // palette files
    int transKey = -1;  // grey files: a grey value; colour files: 0xRRGGBB
    int background = -1;  // grey value, palette index or 0xRRGGBB
    bool phys = false;
    png_uint_32 xPerUnit = 0, yPerUnit = 0;
    int unit = PNG_RESOLUTION_METER;
    bool interlaced = false;
};

int Channels(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

void AppendBytes(png_structp png, png_bytep data, png_size_t n)
{
    Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

Bytes MakePng(const PngRecipe& s)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const int channels = Channels(s.colorType);
    const size_t rowBytes = ((size_t)s.width * channels * s.depth + 7) / 8;
    std::vector<Bytes> rows(s.height, Bytes(rowBytes, 0));
    for (int y = 0; y < s.height; y++)
        for (int x = 0; x < s.width; x++)
            for (int c = 0; c < channels; c++) {
                int v = s.sample(x, y, c);
                size_t i = (size_t)x * channels + c;
                if (s.depth == 16) {
                    rows[y][2 * i] = (BYTE)(v >> 8);
                    rows[y][2 * i + 1] = (BYTE)v;
                } else if (s.depth == 8) {
                    rows[y][i] = (BYTE)v;
                } else {
                    size_t bit = i * s.depth;
                    rows[y][bit / 8] |= (BYTE)(v << (8 - s.depth - bit % 8));
                }
            }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the test file";
        return Bytes();
    }
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, s.width, s.height, s.depth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> plte;
    for (DWORD c : s.palette)
        plte.push_back({(png_byte)(c >> 16), (png_byte)(c >> 8), (png_byte)c});
    if (!plte.empty())
        png_set_PLTE(png, info, plte.data(), (int)plte.size());
    png_color_16 key = {};
    if (s.colorType == PNG_COLOR_TYPE_PALETTE && !s.transAlpha.empty()) {
        png_set_tRNS(png, info, s.transAlpha.data(), (int)s.transAlpha.size(), nullptr);
    } else if (s.transKey >= 0) {
        key.gray = (png_uint_16)s.transKey;
        key.red = (png_uint_16)((s.transKey >> 16) & 0xFF);
        key.green = (png_uint_16)((s.transKey >> 8) & 0xFF);
        key.blue = (png_uint_16)(s.transKey & 0xFF);
        png_set_tRNS(png, info, nullptr, 1, &key);
    }
    if (s.background >= 0) {
        png_color_16 bg = {};
        bg.index = (png_byte)s.background;
        bg.gray = (png_uint_16)s.background;
        bg.red = (png_uint_16)((s.background >> 16) & 0xFF);
        bg.green = (png_uint_16)((s.background >> 8) & 0xFF);
        bg.blue = (png_uint_16)(s.background & 0xFF);
        png_set_bKGD(png, info, &bg);
    }
    if (s.phys)
        png_set_pHYs(png, info, s.xPerUnit, s.yPerUnit, s.unit);
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (Bytes& r : rows)
        pointers.push_back(r.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

bool Decode(RasterImage& img, const Bytes& file)
{
    return img.Decode(const_cast<BYTE*>(file.data()), (DWORD)file.size(), RASTER_FORMAT_PNG);
}

DWORD Rgb(RGBQUAD c)
{
    return (DWORD)c.rgbRed << 16 | (DWORD)c.rgbGreen << 8 | c.rgbBlue;
}

// The picture's pixel (x, yTop) counted from the top.
RGBQUAD At(const RasterImage& img, int x, int yTop)
{
    return img.GetPixelColor(x, (long)img.GetHeight() - 1 - yTop, false);
}

BYTE AlphaAt(const RasterImage& img, int x, int yTop)
{
    return img.AlphaGet(x, (long)img.GetHeight() - 1 - yTop);
}

// libpng's composition of an 8-bit sample on a background.
int Compose(int fg, int alpha, int bg)
{
    int t = fg * alpha + bg * (255 - alpha) + 128;
    return (t + (t >> 8)) >> 8;
}

// A file's IHDR: bit depth and colour type.
int IhdrDepth(const Bytes& f) { return f.size() > 25 ? f[24] : -1; }
int IhdrColorType(const Bytes& f) { return f.size() > 25 ? f[25] : -1; }

// Whether the file has a chunk of this type, and its data.
bool Chunk(const Bytes& f, const char* type, Bytes* data = nullptr)
{
    for (size_t at = 8; at + 12 <= f.size();) {
        size_t n = (size_t)f[at] << 24 | (size_t)f[at + 1] << 16 | (size_t)f[at + 2] << 8 | f[at + 3];
        if (memcmp(&f[at + 4], type, 4) == 0) {
            if (data != nullptr)
                data->assign(f.begin() + at + 8, f.begin() + at + 8 + n);
            return true;
        }
        at += 12 + n;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Decoding.

TEST(PngDecode, ColourFilesBecome24BitsAndAlphaFilesGetAPlane)
{
    PngRecipe rgba;
    rgba.width = 7;
    rgba.height = 3;
    rgba.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    rgba.sample = [](int x, int y, int c) { return c == 3 ? x * 40 : (x * 30 + y * 50 + c * 70) & 0xFF; };
    for (bool interlaced : {false, true}) {
        rgba.interlaced = interlaced;
        RasterImage img;
        ASSERT_TRUE(Decode(img, MakePng(rgba))) << img.GetLastError();
        EXPECT_EQ(RASTER_FORMAT_PNG, img.GetType());
        EXPECT_EQ(24u, img.GetBpp());
        ASSERT_TRUE(img.AlphaIsValid());
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 7; x++) {
                RGBQUAD c = At(img, x, y);
                EXPECT_EQ(rgba.sample(x, y, 0), c.rgbRed);
                EXPECT_EQ(rgba.sample(x, y, 1), c.rgbGreen);
                EXPECT_EQ(rgba.sample(x, y, 2), c.rgbBlue);
                EXPECT_EQ(x * 40, AlphaAt(img, x, y));
            }
    }

    // 16 bits: the high byte of each sample; RGBA keeps its alpha.
    PngRecipe deep = rgba;
    deep.depth = 16;
    deep.interlaced = false;
    deep.sample = [](int x, int y, int c) { return c == 3 ? 0x1234 * x : 0x0101 * ((x * 30 + y * 50 + c * 70) & 0xFF) + 0x7F; };
    RasterImage img;
    ASSERT_TRUE(Decode(img, MakePng(deep))) << img.GetLastError();
    ASSERT_TRUE(img.AlphaIsValid());
    EXPECT_EQ(24u, img.GetBpp());
    EXPECT_EQ(deep.sample(5, 2, 0) >> 8, At(img, 5, 2).rgbRed);
    EXPECT_EQ((0x1234 * 5) >> 8, AlphaAt(img, 5, 2));
    EXPECT_EQ(0, AlphaAt(img, 0, 1));

    deep.colorType = PNG_COLOR_TYPE_RGB;
    ASSERT_TRUE(Decode(img, MakePng(deep))) << img.GetLastError();
    EXPECT_FALSE(img.AlphaIsValid());
    EXPECT_EQ(24u, img.GetBpp());
    EXPECT_EQ(deep.sample(6, 1, 2) >> 8, At(img, 6, 1).rgbBlue);
}

TEST(PngDecode, GreyFilesKeepTheirDepthWithAGreyPalette)
{
    struct Case {
        int depth;
        unsigned bpp;
    } cases[] = {{1, 1}, {2, 4}, {4, 4}, {8, 8}, {16, 8}};
    for (const Case& k : cases) {
        PngRecipe s;
        s.width = 13;
        s.height = 3;
        s.depth = k.depth;
        s.colorType = PNG_COLOR_TYPE_GRAY;
        const int top = (1 << k.depth) - 1;
        s.sample = [top](int x, int y, int) { return (x * 7 + y * 3) % (top + 1); };
        for (bool interlaced : {false, true}) {
            s.interlaced = interlaced;
            RasterImage img;
            ASSERT_TRUE(Decode(img, MakePng(s))) << k.depth;
            EXPECT_EQ(k.bpp, img.GetBpp()) << k.depth;
            for (int y = 0; y < 3; y++)
                for (int x = 0; x < 13; x++) {
                    int v = s.sample(x, y, 0);
                    int grey = k.depth == 16 ? v >> 8 : v * 255 / top;
                    ASSERT_EQ(grey, At(img, x, y).rgbGreen) << k.depth << " at " << x << "," << y;
                }
        }
    }
    // The four greys of a 2-bit file, its pixels widened to 4 bits.
    PngRecipe two;
    two.width = 5;
    two.depth = 2;
    two.colorType = PNG_COLOR_TYPE_GRAY;
    two.sample = [](int x, int, int) { return x % 4; };
    RasterImage img;
    ASSERT_TRUE(Decode(img, MakePng(two)));
    EXPECT_EQ(16u, img.GetNumColors());
    EXPECT_EQ(0x555555u, Rgb(img.GetPaletteColor(1)));
    EXPECT_EQ(0xAAAAAAu, Rgb(img.GetPaletteColor(2)));
    EXPECT_EQ(0x01, img.GetBits(0)[0]);
    EXPECT_EQ(0x23, img.GetBits(0)[1]);
    EXPECT_EQ(0x00, img.GetBits(0)[2]);
}

TEST(PngDecode, GreyWithAlphaIsComposedAt8BitsAndKeptAt16)
{
    PngRecipe ga;
    ga.width = 6;
    ga.height = 2;
    ga.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    ga.sample = [](int x, int y, int c) { return c == 0 ? 40 * x + y : 51 * x; };
    RasterImage img;
    ASSERT_TRUE(Decode(img, MakePng(ga)));
    EXPECT_EQ(8u, img.GetBpp());
    EXPECT_FALSE(img.AlphaIsValid());
    for (int x = 0; x < 6; x++)  // on the default background, grey 0
        EXPECT_EQ(Compose(40 * x + 1, 51 * x, 0), At(img, x, 1).rgbRed) << x;
    ga.background = 200;
    ASSERT_TRUE(Decode(img, MakePng(ga)));
    for (int x = 0; x < 6; x++)
        EXPECT_EQ(Compose(40 * x, 51 * x, 200), At(img, x, 0).rgbRed) << x;

    ga.depth = 16;
    ga.sample = [](int x, int y, int c) { return c == 0 ? 0x2811 * x + y : 0x3322 * x; };
    ASSERT_TRUE(Decode(img, MakePng(ga)));
    EXPECT_EQ(24u, img.GetBpp());
    ASSERT_TRUE(img.AlphaIsValid());
    EXPECT_EQ((0x2811 * 4) >> 8, At(img, 4, 1).rgbGreen);
    EXPECT_EQ((0x3322 * 4) >> 8, AlphaAt(img, 4, 1));
}

TEST(PngDecode, PalettesAndTheirTransparency)
{
    std::vector<DWORD> colours = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0};
    for (int depth : {2, 4, 8}) {
        PngRecipe s;
        s.width = 9;
        s.height = 2;
        s.depth = depth;
        s.colorType = PNG_COLOR_TYPE_PALETTE;
        s.palette = depth == 2 ? std::vector<DWORD>(colours.begin(), colours.begin() + 4) : colours;
        const int n = (int)s.palette.size();
        s.sample = [n](int x, int y, int) { return (x + y) % n; };
        RasterImage img;
        ASSERT_TRUE(Decode(img, MakePng(s)));
        EXPECT_EQ(depth == 8 ? 8u : 4u, img.GetBpp());
        for (int x = 0; x < 9; x++)
            EXPECT_EQ(s.palette[(x + 1) % n], Rgb(At(img, x, 1))) << depth;
        EXPECT_EQ(-1, img.GetTransIndex());
        EXPECT_FALSE(img.AlphaPaletteIsEnabled());
    }

    PngRecipe s;
    s.width = 4;
    s.colorType = PNG_COLOR_TYPE_PALETTE;
    s.palette = colours;
    s.sample = [](int x, int, int) { return x; };
    s.transAlpha = {0};
    RasterImage img;
    ASSERT_TRUE(Decode(img, MakePng(s)));
    EXPECT_EQ(0, img.GetTransIndex());
    EXPECT_FALSE(img.AlphaPaletteIsEnabled());
    EXPECT_EQ(0x102030u, Rgb(At(img, 0, 0)));  // the colour itself, not a background

    s.transAlpha = {255, 128, 0};
    RasterImage fresh;  // a decode starts from the caller's settings, transparency too
    ASSERT_TRUE(Decode(fresh, MakePng(s)));
    img.Transfer(fresh);
    EXPECT_EQ(-1, img.GetTransIndex());
    EXPECT_TRUE(img.AlphaPaletteIsEnabled());
    EXPECT_EQ(128, img.GetPaletteColor(1).rgbReserved);
    EXPECT_EQ(0, img.GetPaletteColor(2).rgbReserved);
    EXPECT_EQ(255, img.GetPaletteColor(3).rgbReserved);
    EXPECT_EQ(255, img.GetPaletteColor(200).rgbReserved);
    EXPECT_EQ(0x405060u, Rgb(At(img, 1, 0)));
}

TEST(PngDecode, ColourKeysOfGreyAndColourFilesShowTheBackground)
{
    // The tRNS of these files holds a colour, not alpha values: its pixels
    // take the background colour.
    PngRecipe grey;
    grey.width = 4;
    grey.colorType = PNG_COLOR_TYPE_GRAY;
    grey.sample = [](int x, int, int) { return x * 50; };
    grey.transKey = 50;
    RasterImage img;
    ASSERT_TRUE(Decode(img, MakePng(grey))) << img.GetLastError();
    EXPECT_EQ(0, At(img, 1, 0).rgbRed);
    EXPECT_EQ(100, At(img, 2, 0).rgbRed);
    grey.background = 77;
    ASSERT_TRUE(Decode(img, MakePng(grey)));
    EXPECT_EQ(77, At(img, 1, 0).rgbRed);
    EXPECT_EQ(-1, img.GetTransIndex());

    PngRecipe rgb;
    rgb.width = 3;
    rgb.sample = [](int x, int, int c) { return x * 60 + c; };
    rgb.transKey = 0x3C3D3E;  // pixel 1
    ASSERT_TRUE(Decode(img, MakePng(rgb))) << img.GetLastError();
    EXPECT_EQ(0xC0C0C0u, Rgb(At(img, 1, 0)));
    EXPECT_EQ(0x78797Au, Rgb(At(img, 2, 0)));
    EXPECT_FALSE(img.AlphaIsValid());
}

TEST(PngDecode, ResolutionComesFromPhys)
{
    // Metres convert to dots per inch; an unknown unit passes its numbers on
    // as they are; without the chunk the resolution stays 0.
    struct Row {
        const char* what;
        bool phys;
        int unit;
        png_uint_32 xPerUnit, yPerUnit;
        long xdpi, ydpi;
    } table[] = {
        {"no pHYs", false, PNG_RESOLUTION_METER, 0, 0, 0, 0},
        {"per metre", true, PNG_RESOLUTION_METER, 3780, 2835, 96, 72},
        {"unknown unit", true, PNG_RESOLUTION_UNKNOWN, 3, 4, 3, 4},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        PngRecipe s;
        s.phys = row.phys;
        s.unit = row.unit;
        s.xPerUnit = row.xPerUnit;
        s.yPerUnit = row.yPerUnit;
        RasterImage img;
        ASSERT_TRUE(Decode(img, MakePng(s)));
        EXPECT_EQ(row.xdpi, img.GetXDPI());
        EXPECT_EQ(row.ydpi, img.GetYDPI());
    }
}

TEST(PngDecode, BackgroundOfAlphaFilesBecomesTheTransparentColour)
{
    PngRecipe s;
    s.width = 2;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.background = 0x112233;
    RasterImage img;
    ASSERT_TRUE(Decode(img, MakePng(s)));
    EXPECT_EQ(0x112233u, Rgb(img.GetTransColor()));
    EXPECT_EQ(-1, img.GetTransIndex());
}

TEST(PngDecode, DamagedFilesFailWithLibpngsText)
{
    PngRecipe s;
    s.width = 40;
    s.height = 30;
    s.sample = [](int x, int y, int c) { return (x * y + c * 17) & 0xFF; };
    Bytes good = MakePng(s);
    RasterImage img;

    Bytes notPng = good;
    notPng[1] = 'Q';
    EXPECT_FALSE(Decode(img, notPng));
    EXPECT_STREQ("Not a PNG file", img.GetLastError());

    Bytes truncated(good.begin(), good.begin() + good.size() / 2);
    EXPECT_FALSE(Decode(img, truncated));
    EXPECT_STREQ("Read Error", img.GetLastError());

    Bytes badCrc = good;
    badCrc[29] ^= 1;  // IHDR's CRC
    EXPECT_FALSE(Decode(img, badCrc));
    EXPECT_STREQ("IHDR: CRC error", img.GetLastError());

    // Every prefix, and every single flipped byte, fails or decodes without harm.
    for (size_t n = 0; n < good.size(); n += 7) {
        RasterImage part;
        part.Decode(good.data(), (DWORD)n, RASTER_FORMAT_PNG);
        Bytes flipped = good;
        flipped[n] ^= 0x5A;
        RasterImage bent;
        bent.Decode(flipped.data(), (DWORD)flipped.size(), RASTER_FORMAT_PNG);
    }
    EXPECT_FALSE(img.IsValid());
}

TEST(PngDecode, HugeImagesMustBeBackedByTheirData)
{
    PngRecipe s;
    Bytes f = MakePng(s);
    // Claim 30000 x 30000 in the IHDR and mend its CRC: the one-pixel data
    // cannot fill that.
    const BYTE size[8] = {0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30};
    memcpy(&f[16], size, 8);
    uLong crc = crc32(0, &f[12], 17);
    f[29] = (BYTE)(crc >> 24);
    f[30] = (BYTE)(crc >> 16);
    f[31] = (BYTE)(crc >> 8);
    f[32] = (BYTE)crc;
    RasterImage img;
    EXPECT_FALSE(Decode(img, f));
    EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", img.GetLastError());
}

TEST(PngDecode, EscapeStopsTheDecode)
{
    PngRecipe s;
    Bytes f = MakePng(s);
    for (long escape : {-1L, 1L}) {
        RasterImage img;
        img.SetEscape(escape);
        EXPECT_FALSE(Decode(img, f));
        EXPECT_FALSE(img.IsValid());
    }
}

TEST(PngDecode, ProbeFindsPngAfterTheOtherDecoders)
{
    PngRecipe s;
    s.width = 3;
    s.sample = [](int x, int, int c) { return x * 80 + c; };
    Bytes f = MakePng(s);
    Bytes data(100 + f.size(), 0xEE);
    std::copy(f.begin(), f.end(), data.begin() + 100);
    RasterMemFile in(data.data(), (DWORD)data.size());
    ASSERT_TRUE(in.Seek(100, SEEK_SET));
    RasterImage img;
    ASSERT_TRUE(img.Decode(&in, RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(RASTER_FORMAT_PNG, img.GetType());
    EXPECT_EQ(0xA0A1A2u, Rgb(At(img, 2, 0)));
}

// ---------------------------------------------------------------------------
// Encoding.

Bytes Encode(RasterImage& img)
{
    return EncodedBytes(img, RASTER_FORMAT_PNG);
}

TEST(PngEncode, TheColourTypeFollowsTheImage)
{
    struct Case {
        DWORD bpp;
        bool alpha;
        int depth, colorType;
    } cases[] = {
        {1, false, 1, PNG_COLOR_TYPE_PALETTE},  {4, false, 4, PNG_COLOR_TYPE_PALETTE},
        {8, false, 8, PNG_COLOR_TYPE_PALETTE},  {24, false, 8, PNG_COLOR_TYPE_RGB},
        {24, true, 8, PNG_COLOR_TYPE_RGB_ALPHA}, {8, true, 8, PNG_COLOR_TYPE_RGB_ALPHA},
    };
    for (const Case& k : cases) {
        RasterImage img(300, 300, k.bpp, 0);  // large enough to keep every palette entry
        if (k.bpp < 24)
            img.SetStdPalette();
        if (k.bpp == 1)
            img.SetGrayPalette();
        for (long y = 0; y < 300; y++)
            for (long x = 0; x < 300; x++) {
                if (k.bpp == 24)
                    img.SetPixelColor(x, y, RGB(x, y, x ^ y));
                else
                    img.SetPixelIndex(x, y, (BYTE)((x + 3 * y) % (1 << k.bpp)));
            }
        if (k.alpha) {
            img.AlphaCreate();
            for (long y = 0; y < 300; y++)
                for (long x = 0; x < 300; x++)
                    img.AlphaSet(x, y, (BYTE)(x + y));
        }
        Bytes f = Encode(img);
        ASSERT_FALSE(f.empty()) << k.bpp << ": " << img.GetLastError();
        EXPECT_EQ(k.depth, IhdrDepth(f)) << k.bpp;
        EXPECT_EQ(k.colorType, IhdrColorType(f)) << k.bpp;

        RasterImage back;
        ASSERT_TRUE(Decode(back, f)) << back.GetLastError();
        EXPECT_EQ(k.alpha ? 24u : k.bpp, back.GetBpp());
        EXPECT_EQ(k.alpha, back.AlphaIsValid());
        for (long y = 0; y < 300; y += 7)
            for (long x = 0; x < 300; x += 3) {
                ASSERT_EQ(Rgb(img.GetPixelColor(x, y, false)), Rgb(back.GetPixelColor(x, y, false)))
                    << k.bpp << " at " << x << "," << y;
                if (k.alpha) {
                    ASSERT_EQ(img.AlphaGet(x, y), back.AlphaGet(x, y));
                }
            }
        if (k.bpp < 24 && !k.alpha) {
            EXPECT_EQ(0, memcmp(img.GetPalette(), back.GetPalette(), img.GetPaletteSize()));
        }
    }
}

TEST(PngEncode, TransparentIndexIsWrittenAsEntryZero)
{
    RasterImage img(6, 2, 8, 0);
    img.SetStdPalette();
    for (long x = 0; x < 6; x++) {
        img.SetPixelIndex(x, 0, (BYTE)x);
        img.SetPixelIndex(x, 1, 5);
    }
    img.SetTransIndex(5);
    RGBQUAD five = img.GetPaletteColor(5), zero = img.GetPaletteColor(0);
    Bytes f = Encode(img);
    ASSERT_FALSE(f.empty());
    // The caller's image took the exchange: still the same picture.
    EXPECT_EQ(0, img.GetTransIndex());
    EXPECT_EQ(Rgb(five), Rgb(img.GetPaletteColor(0)));
    EXPECT_EQ(Rgb(zero), Rgb(img.GetPaletteColor(5)));
    EXPECT_EQ(0, img.GetPixelIndex(3, 1));
    EXPECT_EQ(5, img.GetPixelIndex(0, 0));
    Bytes trns;
    ASSERT_TRUE(Chunk(f, "tRNS", &trns));
    EXPECT_EQ(Bytes({0}), trns);
    Bytes bkgd;
    ASSERT_TRUE(Chunk(f, "bKGD", &bkgd));
    EXPECT_EQ(Bytes({0}), bkgd);  // the index of the transparent colour

    RasterImage back;
    ASSERT_TRUE(Decode(back, f));
    EXPECT_EQ(0, back.GetTransIndex());
    EXPECT_EQ(Rgb(five), Rgb(back.GetPixelColor(2, 1)));
    EXPECT_EQ(6u, (unsigned)[&] { Bytes p; Chunk(f, "PLTE", &p); return p.size() / 3; }());
}

TEST(PngEncode, SmallImagesWriteOnlyTheEntriesTheyUse)
{
    RasterImage img(100, 100, 8, 0);
    img.SetStdPalette();
    for (long y = 0; y < 100; y++)
        for (long x = 0; x < 100; x++)
            img.SetPixelIndex(x, y, (BYTE)((x + y) % 10));
    Bytes f = Encode(img);
    Bytes plte;
    ASSERT_TRUE(Chunk(f, "PLTE", &plte));
    EXPECT_EQ(30u, plte.size());

    img.AlphaPaletteEnable(true);
    for (int i = 0; i < 10; i++)
        img.SetPaletteColor((BYTE)i, img.GetPaletteColor((BYTE)i).rgbRed, 1, 2, (BYTE)(i * 20));
    f = Encode(img);
    Bytes trns;
    ASSERT_TRUE(Chunk(f, "tRNS", &trns));
    EXPECT_EQ(10u, trns.size());
    EXPECT_EQ(180, trns[9]);
    RasterImage back;
    ASSERT_TRUE(Decode(back, f));
    EXPECT_TRUE(back.AlphaPaletteIsEnabled());
    EXPECT_EQ(60, back.GetPaletteColor(3).rgbReserved);
}

TEST(PngEncode, TransparentColourOf24BitImagesBecomesAlpha)
{
    RasterImage img(4, 1, 24, 0);
    for (long x = 0; x < 4; x++)
        img.SetPixelColor(x, 0, RGB(10 * x, 20, 30));
    RGBQUAD key = {30, 20, 10, 0};  // pixel 1
    img.SetTransColor(key);
    img.SetTransIndex(0);
    img.AlphaSetMax(200);
    Bytes f = Encode(img);
    EXPECT_EQ(PNG_COLOR_TYPE_RGB_ALPHA, IhdrColorType(f));
    EXPECT_FALSE(img.AlphaIsValid());  // the caller's image is left as it was
    RasterImage back;
    ASSERT_TRUE(Decode(back, f));
    ASSERT_TRUE(back.AlphaIsValid());
    EXPECT_EQ(200, back.AlphaGet(0, 0));
    EXPECT_EQ(0, back.AlphaGet(1, 0));
    EXPECT_EQ(0x14141Eu, Rgb(back.GetPixelColor(2, 0, false)));
    EXPECT_EQ(0x0A141Eu, Rgb(back.GetPixelColor(1, 0, false)));
}

TEST(PngEncode, ResolutionAndBackgroundAreWritten)
{
    RasterImage img(2, 2, 24, 0);
    img.SetXDPI(96);
    img.SetYDPI(300);
    Bytes f = Encode(img);
    Bytes phys, bkgd;
    ASSERT_TRUE(Chunk(f, "pHYs", &phys));
    EXPECT_EQ(Bytes({0, 0, 0x0E, 0xC4, 0, 0, 0x2E, 0x23, 1}), phys);  // 3780 and 11811 per metre
    ASSERT_TRUE(Chunk(f, "bKGD", &bkgd));
    EXPECT_EQ(Bytes({0, 255, 0, 255, 0, 255}), bkgd);
    RasterImage back;
    ASSERT_TRUE(Decode(back, f));
    EXPECT_EQ(96, back.GetXDPI());
    EXPECT_EQ(300, back.GetYDPI());
}

// A stream whose writes stop after `room` bytes.
class ShortStream : public RasterMemFile {
public:
    explicit ShortStream(long room) : m_room(room) { Open(); }
    size_t Write(const void* buffer, size_t size, size_t count) override
    {
        if (Tell() + (long)(size * count) > m_room)
            return 0;
        return RasterMemFile::Write(buffer, size, count);
    }

private:
    long m_room;
};

TEST(PngEncode, FailuresReportTheirText)
{
    RasterImage img(50, 50, 24, 0);
    for (long room : {0L, 10L, 60L, 100L}) {
        ShortStream out(room);
        EXPECT_FALSE(img.Encode(&out, RASTER_FORMAT_PNG)) << room;
        EXPECT_STREQ("Error saving PNG file", img.GetLastError());
    }
    RasterImage empty;
    RasterMemFile out;
    out.Open();
    EXPECT_FALSE(empty.Encode(&out, RASTER_FORMAT_PNG));
    EXPECT_STREQ("null image!!!", empty.GetLastError());
    EXPECT_FALSE(img.Encode(static_cast<RasterFile*>(nullptr), RASTER_FORMAT_PNG));
    EXPECT_STREQ("null file handler", img.GetLastError());
}

// ---------------------------------------------------------------------------
// Cross-checks with ImageMagick (and pngcheck).

class PngMagick : public MagickFixture {
protected:
    PngMagick() : MagickFixture("raster_png_magick_") {}

    // ImageMagick's reading as 16-bit RGBA samples, most significant byte first.
    std::vector<int> Magick(const std::string& path)
    {
        std::string out = path + ".rgba";
        std::vector<int> v;
        if (!RunQuiet("convert '" + path + "' -depth 16 -endian MSB 'rgba:" + out + "'"))
            return v;
        const Bytes d = ReadFile(out);
        for (size_t i = 0; i + 1 < d.size(); i += 2)
            v.push_back(d[i] << 8 | d[i + 1]);
        return v;
    }
};

TEST_F(PngMagick, EveryColourTypeAndDepthDecodesToItsPixelsAndAlpha)
{
    struct Case {
        const char* name;
        int colorType, depth;
        bool palette, trans, interlaced;
    } cases[] = {
        {"grey 1", PNG_COLOR_TYPE_GRAY, 1, false, false, false},
        {"grey 2", PNG_COLOR_TYPE_GRAY, 2, false, false, true},
        {"grey 4", PNG_COLOR_TYPE_GRAY, 4, false, false, false},
        {"grey 8", PNG_COLOR_TYPE_GRAY, 8, false, false, true},
        {"grey 16", PNG_COLOR_TYPE_GRAY, 16, false, false, false},
        {"grey 8 keyed", PNG_COLOR_TYPE_GRAY, 8, false, true, false},
        {"grey+alpha 8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false, true},
        {"grey+alpha 16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false, false},
        {"rgb 8", PNG_COLOR_TYPE_RGB, 8, false, false, false},
        {"rgb 8 interlaced", PNG_COLOR_TYPE_RGB, 8, false, false, true},
        {"rgb 8 keyed", PNG_COLOR_TYPE_RGB, 8, false, true, false},
        {"rgb 16", PNG_COLOR_TYPE_RGB, 16, false, false, true},
        {"rgba 8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false, false},
        {"rgba 8 interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false, true},
        {"rgba 16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false, false},
        {"palette 1", PNG_COLOR_TYPE_PALETTE, 1, true, false, false},
        {"palette 2 tRNS", PNG_COLOR_TYPE_PALETTE, 2, true, true, true},
        {"palette 4", PNG_COLOR_TYPE_PALETTE, 4, true, false, false},
        {"palette 8 tRNS", PNG_COLOR_TYPE_PALETTE, 8, true, true, false},
        {"palette 8 interlaced tRNS", PNG_COLOR_TYPE_PALETTE, 8, true, true, true},
    };
    const int w = 23, h = 11;
    for (const Case& k : cases) {
        PngRecipe s;
        s.width = w;
        s.height = h;
        s.depth = k.depth;
        s.colorType = k.colorType;
        s.interlaced = k.interlaced;
        const int top = (1 << k.depth) - 1;
        const int entries = k.palette ? (k.depth == 1 ? 2 : k.depth == 2 ? 4 : 13) : 0;
        for (int i = 0; i < entries; i++)
            s.palette.push_back((DWORD)(i * 19 << 16 | (255 - i * 7) << 8 | (i * 61 & 0xFF)));
        const bool alphaChannel = k.colorType & PNG_COLOR_MASK_ALPHA;
        s.sample = [&](int x, int y, int c) {
            if (k.palette)
                return (x + 2 * y) % entries;
            if (alphaChannel && c == Channels(k.colorType) - 1)
                return ((x * 11 + y * 23) * (top / 255 + 1)) & top;
            return ((x * 37 + y * 13 + c * 71) * (top > 255 ? 257 : 1) + c) & top;
        };
        if (k.trans && k.palette)
            s.transAlpha = {0, 80, 255};
        else if (k.trans && k.colorType == PNG_COLOR_TYPE_GRAY)
            s.transKey = s.sample(3, 0, 0);
        else if (k.trans)
            s.transKey = s.sample(3, 0, 0) << 16 | s.sample(3, 0, 1) << 8 | s.sample(3, 0, 2);
        std::string path = Path(std::string("case") + std::to_string(&k - cases) + ".png");
        WriteFile(path, MakePng(s));

        RasterImage ours;
        ASSERT_TRUE(ours.Load(path.c_str(), RASTER_FORMAT_PNG)) << k.name << ": " << ours.GetLastError();
        std::vector<int> theirs = Magick(path);
        ASSERT_EQ((size_t)w * h * 4, theirs.size()) << k.name;
        // Grey with alpha at 8 bits and colour keys are composed on the
        // background: grey 0 for grey files, 192 grey for colour files.
        const bool composed = k.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? k.depth == 8 : (k.trans && !k.palette);
        const int background = k.colorType & PNG_COLOR_MASK_COLOR ? 192 : 0;
        int bad = 0;
        for (int y = 0; y < h && bad < 5; y++)
            for (int x = 0; x < w && bad < 5; x++) {
                const int* m = &theirs[((size_t)y * w + x) * 4];
                RGBQUAD c = At(ours, x, y);
                int mine[4] = {c.rgbRed, c.rgbGreen, c.rgbBlue, 255};
                if (ours.AlphaIsValid())
                    mine[3] = AlphaAt(ours, x, y);
                else if (ours.AlphaPaletteIsEnabled())
                    mine[3] = ours.GetPaletteColor(ours.GetPixelIndex(x, h - 1 - y)).rgbReserved;
                else if (ours.GetTransIndex() >= 0 && ours.GetPixelIndex(x, h - 1 - y) == ours.GetTransIndex())
                    mine[3] = 0;
                for (int ch = 0; ch < 4; ch++) {
                    int want = m[ch] >> 8;
                    if (composed)
                        want = ch == 3 ? 255 : Compose(m[ch] >> 8, m[3] >> 8, background);
                    if (mine[ch] != want) {
                        ADD_FAILURE() << k.name << " at " << x << "," << y << " channel " << ch << ": ours "
                                      << mine[ch] << ", expected " << want;
                        bad++;
                    }
                }
            }
    }
}

TEST_F(PngMagick, OurFilesReadBackIdenticallyAndAreValid)
{
    const bool pngcheck = HaveTool("pngcheck -h");
    struct Case {
        DWORD bpp;
        bool alpha;
        long trans;
    } cases[] = {{1, false, -1}, {4, false, 3}, {8, false, -1}, {8, false, 7}, {24, false, -1}, {24, true, -1}, {8, true, -1}};
    for (const Case& k : cases) {
        RasterImage img(37, 19, k.bpp, 0);
        if (k.bpp < 24)
            img.SetStdPalette();
        if (k.bpp == 1)
            img.SetGrayPalette();
        for (long y = 0; y < 19; y++)
            for (long x = 0; x < 37; x++) {
                if (k.bpp == 24)
                    img.SetPixelColor(x, y, RGB(x * 7, y * 13, (x * y) & 0xFF));
                else
                    img.SetPixelIndex(x, y, (BYTE)((x * 5 + y * 3) % (1 << k.bpp)));
            }
        if (k.alpha) {
            img.AlphaCreate();
            for (long y = 0; y < 19; y++)
                for (long x = 0; x < 37; x++)
                    img.AlphaSet(x, y, (BYTE)(x * 7 + y));
        }
        img.SetTransIndex(k.trans);
        std::string path = Path("ours" + std::to_string(&k - cases) + ".png");
        ASSERT_TRUE(img.Save(path.c_str(), RASTER_FORMAT_PNG)) << img.GetLastError();
        if (pngcheck) {
            EXPECT_EQ(0, system(("pngcheck -q '" + path + "' >/dev/null 2>&1").c_str())) << path;
        }
        std::vector<int> theirs = Magick(path);
        ASSERT_EQ((size_t)37 * 19 * 4, theirs.size());
        for (long y = 0; y < 19; y++)
            for (long x = 0; x < 37; x++) {
                const int* m = &theirs[((size_t)(18 - y) * 37 + x) * 4];
                RGBQUAD c = img.GetPixelColor(x, y, false);
                int alpha = k.alpha ? img.AlphaGet(x, y) : (img.GetTransIndex() >= 0 && img.GetPixelIndex(x, y) == img.GetTransIndex()) ? 0 : 255;
                ASSERT_EQ(c.rgbRed, m[0] >> 8) << k.bpp << " " << x << "," << y;
                ASSERT_EQ(c.rgbGreen, m[1] >> 8);
                ASSERT_EQ(c.rgbBlue, m[2] >> 8);
                ASSERT_EQ(alpha, m[3] >> 8);
            }
    }
}

}  // namespace
