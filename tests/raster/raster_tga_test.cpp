// The TGA codec: files built here for every type, depth, origin, colour-map
// layout and packing, decoded by us and by ImageMagick; files ImageMagick
// writes decoded by us; ours read back by ImageMagick; damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <raster.h>
#include "magick.h"
#include "test_files.h"
#include "test_raster.h"

namespace {

struct TgaSpec {
    BYTE type;          // 1, 2, 3, 9, 10, 11
    BYTE depth;         // 8, 15, 16, 24, 32
    BYTE mapBits;       // colour-map entry size (mapped types)
    WORD mapFirst;      // index of the first map entry
    bool topFirst;
    bool mirrored;
    int w, h;
};

// What each pixel of a test picture is: a value 0..255 (index or grey) and
// a colour with alpha.
struct Pixel {
    BYTE v;
    RGBQUAD c;
};

// The colour a map entry or pixel stands for once stored at `bits` bits.
RGBQUAD Stored(RGBQUAD c, int bits)
{
    if (bits == 15 || bits == 16)
        return Quad(c.rgbRed & 0xF8, c.rgbGreen & 0xF8, c.rgbBlue & 0xF8);
    return c;
}

RGBQUAD MapColour(int i)
{
    return Quad((BYTE)(i * 5), (BYTE)(255 - i * 3), (BYTE)(i * 11), 255);
}

void PutColour(Bytes& b, RGBQUAD c, int bits)
{
    if (bits == 15 || bits == 16) {
        WORD w = (WORD)(((c.rgbRed >> 3) << 10) | ((c.rgbGreen >> 3) << 5) | (c.rgbBlue >> 3) | 0x8000);
        b.push_back((BYTE)w);
        b.push_back((BYTE)(w >> 8));
        return;
    }
    b.push_back(c.rgbBlue);
    b.push_back(c.rgbGreen);
    b.push_back(c.rgbRed);
    if (bits == 32)
        b.push_back(c.rgbReserved);
}

// Packets over the whole pixel stream (crossing row ends): runs of equal
// pixels, raw packets between them.
Bytes PackRle(const std::vector<Bytes>& px)
{
    Bytes out;
    size_t i = 0;
    while (i < px.size()) {
        size_t run = 1;
        while (i + run < px.size() && run < 128 && px[i + run] == px[i])
            run++;
        if (run >= 2) {
            out.push_back((BYTE)(0x80 | (run - 1)));
            out.insert(out.end(), px[i].begin(), px[i].end());
            i += run;
            continue;
        }
        size_t n = 1;
        while (i + n < px.size() && n < 128 && !(i + n + 1 < px.size() && px[i + n] == px[i + n + 1]))
            n++;
        out.push_back((BYTE)(n - 1));
        for (size_t k = 0; k < n; k++)
            out.insert(out.end(), px[i + k].begin(), px[i + k].end());
        i += n;
    }
    return out;
}

// A picture (rows from the top) with runs, so that packets cross row ends.
std::vector<Pixel> Picture(const TgaSpec& s, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<Pixel> p((size_t)s.w * s.h);
    for (size_t i = 0; i < p.size(); i++) {
        if (i > 0 && rng() % 3 == 0) {
            p[i] = p[i - 1];
            continue;
        }
        BYTE v = (BYTE)(rng() % 40);
        p[i].v = v;
        p[i].c = Quad((BYTE)rng(), (BYTE)rng(), (BYTE)rng(), (BYTE)rng());
    }
    return p;
}

Bytes BuildTga(const TgaSpec& s, const std::vector<Pixel>& pic)
{
    const bool mapped = s.type == 1 || s.type == 9;
    const bool grey = s.type == 3 || s.type == 11;
    const int mapLength = mapped ? 40 : 0;
    Bytes b;
    b.push_back(3);  // identification length
    b.push_back(mapped ? 1 : 0);
    b.push_back(s.type);
    b.push_back((BYTE)s.mapFirst);
    b.push_back((BYTE)(s.mapFirst >> 8));
    b.push_back((BYTE)mapLength);
    b.push_back(0);
    b.push_back(mapped ? s.mapBits : 0);
    for (int i = 0; i < 4; i++)
        b.push_back(0);
    b.push_back((BYTE)s.w);
    b.push_back((BYTE)(s.w >> 8));
    b.push_back((BYTE)s.h);
    b.push_back((BYTE)(s.h >> 8));
    b.push_back(s.depth);
    b.push_back((BYTE)((s.topFirst ? 0x20 : 0) | (s.mirrored ? 0x10 : 0) | (s.depth == 32 ? 8 : 0)));
    b.insert(b.end(), {'i', 'd', '!'});
    for (int i = 0; i < mapLength; i++)
        PutColour(b, MapColour(i), s.mapBits);
    std::vector<Bytes> px;
    for (int r = 0; r < s.h; r++) {
        const int row = s.topFirst ? r : s.h - 1 - r;
        for (int i = 0; i < s.w; i++) {
            const int x = s.mirrored ? s.w - 1 - i : i;
            const Pixel& p = pic[(size_t)row * s.w + x];
            Bytes one;
            if (s.depth == 8)
                one.push_back(mapped ? (BYTE)(p.v + s.mapFirst) : grey ? (BYTE)(p.v * 6) : p.v);
            else
                PutColour(one, p.c, s.depth);
            px.push_back(one);
        }
    }
    if (s.type >= 9) {
        Bytes packed = PackRle(px);
        b.insert(b.end(), packed.begin(), packed.end());
    } else {
        for (const Bytes& one : px)
            b.insert(b.end(), one.begin(), one.end());
    }
    return b;
}

// The colour (and alpha) pixel (x, y from the top) must decode to.
RGBQUAD Expected(const TgaSpec& s, const Pixel& p)
{
    if (s.type == 1 || s.type == 9)
        return Stored(MapColour(p.v), s.mapBits);
    if (s.type == 3 || s.type == 11)
        return Quad((BYTE)(p.v * 6), (BYTE)(p.v * 6), (BYTE)(p.v * 6));
    return Stored(p.c, s.depth);
}

std::string Describe(const TgaSpec& s)
{
    return "type " + std::to_string(s.type) + " depth " + std::to_string(s.depth) + " map " +
           std::to_string(s.mapBits) + "@" + std::to_string(s.mapFirst) + (s.topFirst ? " top" : " bottom") +
           (s.mirrored ? " mirrored" : "");
}

std::vector<TgaSpec> AllSpecs()
{
    std::vector<TgaSpec> specs;
    for (bool top : {false, true})
        for (BYTE packed : {0, 8}) {
            for (BYTE bits : {15, 16, 24, 32})
                specs.push_back({BYTE(1 + packed), 8, bits, WORD(bits == 24 ? 0 : 7), top, false, 23, 9});
            for (BYTE depth : {15, 16, 24, 32})
                specs.push_back({BYTE(2 + packed), depth, 0, 0, top, depth == 24, 23, 9});
            specs.push_back({BYTE(3 + packed), 8, 0, 0, top, false, 23, 9});
        }
    return specs;
}

void ExpectDecoded(const TgaSpec& s, const std::vector<Pixel>& pic, const RasterImage& img)
{
    ASSERT_TRUE(img.IsValid()) << Describe(s) << " " << img.GetLastError();
    ASSERT_EQ((DWORD)s.w, img.GetWidth());
    ASSERT_EQ((DWORD)s.h, img.GetHeight());
    EXPECT_EQ(s.depth == 32, img.AlphaIsValid()) << Describe(s);
    for (int y = 0; y < s.h; y++)
        for (int x = 0; x < s.w; x++) {
            const Pixel& p = pic[(size_t)y * s.w + x];
            RGBQUAD want = Expected(s, p), got = img.GetPixelColor(x, s.h - 1 - y, false);
            ASSERT_EQ(0, memcmp(&want, &got, 3)) << Describe(s) << " at " << x << "," << y;
            if (s.depth == 32) {
                ASSERT_EQ(p.c.rgbReserved, img.AlphaGet(x, s.h - 1 - y)) << Describe(s);
            }
        }
}

}  // namespace

TEST(TgaDecode, EveryTypeDepthOriginAndMapLayout)
{
    unsigned seed = 1;
    for (const TgaSpec& s : AllSpecs()) {
        std::vector<Pixel> pic = Picture(s, seed++);
        Bytes b = BuildTga(s, pic);
        RasterImage img(b.data(), (DWORD)b.size(), RASTER_FORMAT_TGA);
        ExpectDecoded(s, pic, img);
    }
}

TEST(TgaDecode, PacketsCarryAcrossRowEnds)
{
    // 3 x 2, 24-bit: a run of 4 (row 0 and one pixel of row 1), then a raw
    // packet of 2 that starts mid-row.
    Bytes b = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0x20};
    b.insert(b.end(), {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9});
    RasterImage img(b.data(), (DWORD)b.size(), RASTER_FORMAT_TGA);
    ASSERT_TRUE(img.IsValid()) << img.GetLastError();
    const BYTE want[2][3][3] = {{{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) {
            RGBQUAD c = img.GetPixelColor(x, 1 - y, false);
            EXPECT_EQ(want[y][x][0], c.rgbBlue) << x << "," << y;
            EXPECT_EQ(want[y][x][2], c.rgbRed) << x << "," << y;
        }
    // Bit 15 of a 16-bit pixel is not a colour.
    Bytes w = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 16, 0, 0xFF, 0x7F};
    RasterImage white(w.data(), (DWORD)w.size(), RASTER_FORMAT_TGA);
    RGBQUAD c = white.GetPixelColor(0, 0, false);
    EXPECT_EQ(248, c.rgbRed);
    EXPECT_EQ(248, c.rgbGreen);
    EXPECT_EQ(248, c.rgbBlue);
}

// Grey pictures of 16 bits hold a grey byte and an alpha byte per pixel:
// grey levels with an alpha plane, plain or packed, from either end, and
// without a plane when the descriptor gives no alpha bits.
TEST(TgaDecode, SixteenBitGreyIsGreyAndAlpha)
{
    struct Row {
        BYTE type;
        BYTE descriptor;
    };
    const Row rows[] = {{3, 8}, {11, 8}, {3, 0x28}, {11, 0x38}, {3, 0}};
    const int w = 5, h = 3;
    for (const Row& row : rows) {
        SCOPED_TRACE("type " + std::to_string(row.type) + " descriptor " +
                     std::to_string(row.descriptor));
        const bool top = (row.descriptor & 0x20) != 0, mirrored = (row.descriptor & 0x10) != 0;
        const bool alpha = (row.descriptor & 0x0F) != 0;
        // Grey and alpha of picture pixel (x, y from the top).
        auto grey = [](int x, int y) { return BYTE(x * 50 + y * 7); };
        auto opacity = [](int x, int y) { return BYTE(255 - x * 20 - y * 60); };
        Bytes b = {0, 0, row.type, 0,       0, 0,       0, 0,  0,
                   0, 0, 0,        BYTE(w), 0, BYTE(h), 0, 16, row.descriptor};
        for (int r = 0; r < h; r++) {
            const int y = top ? r : h - 1 - r;
            if (row.type == 11)
                b.push_back(BYTE(w - 1));  // one raw packet a row
            for (int i = 0; i < w; i++) {
                const int x = mirrored ? w - 1 - i : i;
                b.insert(b.end(), {grey(x, y), opacity(x, y)});
            }
        }
        RasterImage img(b.data(), (DWORD)b.size(), RASTER_FORMAT_TGA);
        ASSERT_TRUE(img.IsValid()) << img.GetLastError();
        EXPECT_EQ(8, img.GetBpp());
        EXPECT_TRUE(img.IsGrayScale());
        EXPECT_EQ(alpha, img.AlphaIsValid());
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const RGBQUAD c = img.GetPixelColor(x, h - 1 - y, false);
                EXPECT_EQ(grey(x, y), c.rgbRed) << x << "," << y;
                EXPECT_EQ(grey(x, y), c.rgbBlue) << x << "," << y;
                if (alpha) {
                    EXPECT_EQ(opacity(x, y), img.AlphaGet(x, h - 1 - y)) << x << "," << y;
                }
            }
    }
}

TEST(TgaDecode, BadAndTruncatedFiles)
{
    TgaSpec s{10, 24, 0, 0, false, false, 8, 4};
    Bytes good = BuildTga(s, Picture(s, 9));
    auto with = [&](size_t at, BYTE v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    Bytes bigMap = with(5, 1);  // map length 257
    bigMap[6] = 1;
    Bytes mapPastEnd = BuildTga({1, 8, 24, 250, false, false, 4, 4}, Picture(s, 3));
    Bytes mapped16 = BuildTga({1, 8, 24, 0, false, false, 4, 4}, Picture(s, 3));
    mapped16[16] = 16;
    Bytes huge = good;  // 65535 x 65535 claimed by a few bytes
    huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
    struct Case {
        const char* what;
        Bytes file;
        const char* text;
    } cases[] = {
        {"short header", Bytes(good.begin(), good.begin() + 17), "Not a TGA"},
        {"type 4", with(2, 4), "Unknown TGA image type"},
        {"zero width", with(12, 0), "bad TGA header"},
        {"depth 20", with(16, 20), "bad TGA header"},
        {"map of 257", bigMap, "bad TGA header"},
        {"map entries past 255", mapPastEnd, "bad TGA header"},
        {"mapped 16-bit pixels", mapped16, "bad TGA header"},
        {"cut in the pixels", Bytes(good.begin(), good.end() - 5), "corrupted TGA"},
        {"cut after the header", Bytes(good.begin(), good.begin() + 21), "corrupted TGA"},
        {"claims 65535 x 65535", huge, "corrupted TGA"},
    };
    for (const Case& c : cases) {
        RasterImage img;
        EXPECT_FALSE(img.Decode((BYTE*)c.file.data(), (DWORD)c.file.size(), RASTER_FORMAT_TGA)) << c.what;
        EXPECT_STREQ(c.text, img.GetLastError()) << c.what;
        EXPECT_FALSE(img.IsValid()) << c.what;
    }
}

TEST(TgaEncode, DepthsHeaderAndAlphaScale)
{
    RasterImage four(3, 3, 4, 0);
    BYTE* out = nullptr;
    long size = 0;
    EXPECT_FALSE(four.Encode(out, size, RASTER_FORMAT_TGA));
    EXPECT_STREQ("Bit depth must be 8 or 24", four.GetLastError());

    RasterImage rgba(5, 2, 24, 0);
    rgba.AlphaCreate();
    for (int x = 0; x < 5; x++) {
        rgba.SetPixelColor(x, 0, Quad(10, 20, (BYTE)(30 + x)));
        rgba.AlphaSet(x, 0, (BYTE)(x * 60));
    }
    rgba.AlphaSetMax(128);
    ASSERT_TRUE(rgba.Encode(out, size, RASTER_FORMAT_TGA));
    Bytes b(out, out + size);
    free(out);
    out = nullptr;
    ASSERT_EQ(18u + 5 * 2 * 4, b.size());
    EXPECT_EQ(2, b[2]);
    EXPECT_EQ(32, b[16]);
    EXPECT_EQ(30 + 4, b[18 + 16]);            // blue of pixel 4, bottom row first
    EXPECT_EQ(240 * 128 / 255, b[18 + 19]);   // its alpha, scaled by the alpha maximum

    RasterImage pal(3, 1, 8, 0);
    pal.SetPaletteColor(2, Quad(1, 2, 3));
    pal.SetPixelIndex(1, 0, 2);
    ASSERT_TRUE(pal.Encode(out, size, RASTER_FORMAT_TGA));
    Bytes p(out, out + size);
    free(out);
    ASSERT_EQ(18u + 768 + 3, p.size());
    EXPECT_EQ(1, p[1]);
    EXPECT_EQ(1, p[2]);
    EXPECT_EQ(24, p[7]);
    EXPECT_EQ(3, p[18 + 6]);  // entry 2 as blue, green, red
    EXPECT_EQ(1, p[18 + 8]);
    EXPECT_EQ(2, p[18 + 768 + 1]);
}

// ---------------------------------------------------------------------------

class TgaMagick : public MagickFixture {
protected:
    TgaMagick() : MagickFixture("raster_tga_") {}

    Bytes MagickRgba(const std::string& file)
    {
        std::string out = Path("out.rgba");
        remove(out.c_str());
        // ImageMagick keeps a TGA's rows in file order and names the origin;
        // -auto-orient gives the picture as the file means it.
        if (!RunQuiet("convert '" + file + "' -auto-orient -depth 8 'rgba:" + out + "'"))
            return Bytes();
        return ReadFile(out);
    }

    // Our decoding against ImageMagick's: colours (to the 5 bits a 15/16-bit
    // file holds) and alpha where we have it.
    static void ExpectSame(const RasterImage& img, const Bytes& rgba, int bits, const std::string& what)
    {
        const long w = (long)img.GetWidth(), h = (long)img.GetHeight();
        ASSERT_EQ((size_t)w * h * 4, rgba.size()) << what;
        const int shift = bits == 15 || bits == 16 ? 3 : 0;
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                RGBQUAD c = img.GetPixelColor(x, h - 1 - y, false);
                const BYTE* m = &rgba[((size_t)y * w + x) * 4];
                ASSERT_TRUE((c.rgbRed >> shift) == (m[0] >> shift) && (c.rgbGreen >> shift) == (m[1] >> shift) &&
                            (c.rgbBlue >> shift) == (m[2] >> shift))
                    << what << " at " << x << "," << y << ": " << int(c.rgbRed) << " vs " << int(m[0]);
                if (img.AlphaIsValid()) {
                    ASSERT_EQ(img.AlphaGet(x, h - 1 - y), m[3]) << what << " alpha at " << x << "," << y;
                }
            }
    }
};

TEST_F(TgaMagick, ItReadsOurHandBuiltFilesAsWeDo)
{
    unsigned seed = 100;
    for (const TgaSpec& s : AllSpecs()) {
        // ImageMagick has no reading of a right-to-left order or of 15-bit maps to compare with.
        if (s.mirrored || s.mapBits == 15)
            continue;
        std::vector<Pixel> pic = Picture(s, seed++);
        Bytes b = BuildTga(s, pic);
        std::string path = Path("hand.tga");
        WriteFile(path, b);
        RasterImage img(b.data(), (DWORD)b.size(), RASTER_FORMAT_TGA);
        ASSERT_TRUE(img.IsValid()) << Describe(s);
        ExpectSame(img, MagickRgba(path), s.type == 1 || s.type == 9 ? s.mapBits : s.depth, Describe(s));
    }
}

TEST_F(TgaMagick, ItsFilesDecodeToItsPixels)
{
    std::string src = SourcePicture(37, 21);
    std::string alphaSrc = Path("alpha.png");
    ASSERT_TRUE(RunQuiet("convert '" + src + "' \\( +clone -fx 'i/w' \\) -compose CopyOpacity -composite '" +
                         alphaSrc + "'"));
    // It writes rows in the order it holds them and marks the origin by the
    // orientation it is told: top first as they are, or bottom first flipped.
    const char* origins[] = {"-orient TopLeft", "-flip -orient BottomLeft"};
    const char* types[] = {"-type TrueColor", "-type Palette -colors 50", "-type Grayscale",
                           "-type TrueColorAlpha"};
    for (const char* origin : origins)
        for (const char* type : types)
            for (const char* compress : {"-compress None", "-compress RLE"}) {
        const std::string options = std::string(type) + " " + compress + " " + origin;
        const bool alpha = strstr(type, "Alpha") != nullptr;
        std::string path = Path("im.tga");
        ASSERT_TRUE(RunQuiet("convert '" + (alpha ? alphaSrc : src) + "' " + options + " '" + path + "'"))
            << options;
        Bytes b = ReadFile(path);
        RasterImage img(b.data(), (DWORD)b.size(), RASTER_FORMAT_TGA);
        ASSERT_TRUE(img.IsValid()) << options << " " << img.GetLastError();
        EXPECT_EQ(alpha, img.AlphaIsValid()) << options;
        ExpectSame(img, MagickRgba(path), 24, options);
            }
}

TEST_F(TgaMagick, OursReadBackIdenticallyThere)
{
    RasterImage rgb(29, 13, 24, 0), rgba(29, 13, 24, 0), pal(29, 13, 8, 0);
    rgba.AlphaCreate();
    for (int i = 0; i < 256; i++)
        pal.SetPaletteColor((BYTE)i, MapColour(i));
    for (long y = 0; y < 13; y++)
        for (long x = 0; x < 29; x++) {
            RGBQUAD c = Quad((BYTE)(x * 9), (BYTE)(y * 19), (BYTE)(x * y));
            rgb.SetPixelColor(x, y, c);
            rgba.SetPixelColor(x, y, c);
            rgba.AlphaSet(x, y, (BYTE)(x * 8 + y));
            pal.SetPixelIndex(x, y, (BYTE)(x + y * 3));
        }
    int n = 0;
    for (RasterImage* img : {&rgb, &rgba, &pal}) {
        std::string path = Path("ours" + std::to_string(n++) + ".tga");
        ASSERT_TRUE(img->Save(path.c_str(), RASTER_FORMAT_TGA));
        ExpectSame(*img, MagickRgba(path), 24, path);
    }
}
