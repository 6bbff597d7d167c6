// The PCX codec: files built here in every plane layout, decoded by us and
// by ImageMagick; files ImageMagick writes; ours read back there; the run
// coder's bytes; damaged files.
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

struct PcxSpec {
    int bits;    // per pixel per plane
    int planes;
    int w, h;
};

RGBQUAD PcxColour(int i)
{
    return Quad((BYTE)(i * 13 + 7), (BYTE)(200 - i * 9), (BYTE)(i * 29));
}

// Runs coded as a PCX writer would, over one plane row at a time.
void PutRuns(Bytes& out, const Bytes& row)
{
    size_t i = 0;
    while (i < row.size()) {
        size_t n = 1;
        while (i + n < row.size() && n < 63 && row[i + n] == row[i])
            n++;
        if (n > 1 || row[i] >= 0xC0)
            out.push_back((BYTE)(0xC0 | n));
        out.push_back(row[i]);
        i += n;
    }
}

// A file of the layout `s` describes: indices for planes of 1 bit and single
// planes, red, green, blue (alpha) bytes for 3 and 4 planes of 8 bits.
Bytes BuildPcx(const PcxSpec& s, const std::vector<RGBQUAD>& rgba, const std::vector<BYTE>& idx)
{
    const int bpl0 = (s.w * s.bits + 7) / 8;
    const int bpl = bpl0 + (bpl0 & 1);
    Bytes b(128, 0);
    b[0] = 0x0A;
    b[1] = 5;
    b[2] = 1;
    b[3] = (BYTE)s.bits;
    b[8] = (BYTE)(s.w - 1);
    b[9] = (BYTE)((s.w - 1) >> 8);
    b[10] = (BYTE)(s.h - 1);
    b[11] = (BYTE)((s.h - 1) >> 8);
    b[12] = 72;
    b[14] = 72;
    for (int i = 0; i < 16; i++) {
        RGBQUAD c = PcxColour(i);
        b[16 + 3 * i] = c.rgbRed;
        b[17 + 3 * i] = c.rgbGreen;
        b[18 + 3 * i] = c.rgbBlue;
    }
    b[65] = (BYTE)s.planes;
    b[66] = (BYTE)bpl;
    b[67] = (BYTE)(bpl >> 8);
    b[68] = 1;
    for (int y = 0; y < s.h; y++)
        for (int p = 0; p < s.planes; p++) {
            Bytes row((size_t)bpl, 0);
            for (int x = 0; x < s.w; x++) {
                const size_t i = (size_t)y * s.w + x;
                if (s.bits == 8 && s.planes >= 3) {
                    const RGBQUAD& c = rgba[i];
                    row[(size_t)x] = p == 0 ? c.rgbRed : p == 1 ? c.rgbGreen : p == 2 ? c.rgbBlue : c.rgbReserved;
                } else if (s.planes > 1) {
                    row[(size_t)x / 8] |= (BYTE)(((idx[i] >> p) & 1) << (7 - x % 8));
                } else {
                    const int per = 8 / s.bits;
                    row[(size_t)x / per] |= (BYTE)(idx[i] << ((per - 1 - x % per) * s.bits));
                }
            }
            PutRuns(b, row);
        }
    if (s.bits == 8 && s.planes == 1) {
        b.push_back(0x0C);
        for (int i = 0; i < 256; i++) {
            RGBQUAD c = Quad((BYTE)i, (BYTE)(i * 3), (BYTE)(255 - i));
            b.insert(b.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue});
        }
    }
    return b;
}

// The colour of pixel i as the file means it.
RGBQUAD Meant(const PcxSpec& s, const std::vector<RGBQUAD>& rgba, const std::vector<BYTE>& idx, size_t i)
{
    if (s.bits == 8 && s.planes >= 3)
        return rgba[i];
    if (s.bits == 8)
        return Quad(idx[i], (BYTE)(idx[i] * 3), (BYTE)(255 - idx[i]));
    if (s.bits == 1 && s.planes == 1)
        return idx[i] ? Quad(255, 255, 255) : Quad(0, 0, 0);
    return PcxColour(idx[i]);
}

std::vector<PcxSpec> AllSpecs()
{
    return {{1, 1, 21, 7}, {2, 1, 21, 7}, {4, 1, 21, 7}, {8, 1, 21, 7}, {1, 2, 21, 7},
            {1, 3, 21, 7}, {1, 4, 21, 7}, {8, 3, 21, 7}, {8, 4, 21, 7}, {8, 3, 200, 3}};
}

std::string Describe(const PcxSpec& s)
{
    return std::to_string(s.planes) + " planes of " + std::to_string(s.bits) + " bits";
}

void RandomPicture(const PcxSpec& s, unsigned seed, std::vector<RGBQUAD>& rgba, std::vector<BYTE>& idx)
{
    std::mt19937 rng(seed);
    // Indices of up to 8 bits; planes of 1 bit make 2^planes colours.
    const int colours = s.bits == 8 ? 256 : 1 << (s.bits * s.planes);
    rgba.resize((size_t)s.w * s.h);
    idx.resize(rgba.size());
    for (size_t i = 0; i < rgba.size(); i++) {
        if (i > 0 && rng() % 2 == 0) {  // runs
            rgba[i] = rgba[i - 1];
            idx[i] = idx[i - 1];
            continue;
        }
        rgba[i] = Quad((BYTE)rng(), (BYTE)rng(), (BYTE)(rng() | 0xC0), (BYTE)rng());
        idx[i] = (BYTE)(rng() % (colours > 16 && s.bits != 8 ? 16 : colours));
    }
}

Bytes EncodePcx(RasterImage& img)
{
    BYTE* out = nullptr;
    long size = 0;
    EXPECT_TRUE(img.Encode(out, size, RASTER_FORMAT_PCX)) << img.GetLastError();
    Bytes b(out, out + (out ? size : 0));
    free(out);
    return b;
}

}  // namespace

TEST(PcxDecode, EveryPlaneLayout)
{
    unsigned seed = 1;
    for (const PcxSpec& s : AllSpecs()) {
        std::vector<RGBQUAD> rgba;
        std::vector<BYTE> idx;
        RandomPicture(s, seed++, rgba, idx);
        Bytes b = BuildPcx(s, rgba, idx);
        RasterImage img(b.data(), (DWORD)b.size(), RASTER_FORMAT_PCX);
        ASSERT_TRUE(img.IsValid()) << Describe(s) << " " << img.GetLastError();
        // Two and three planes keep their colours: 4 bits with the header's map.
        const WORD depth = s.bits == 8 && s.planes >= 3 ? 24 : s.planes > 1 ? 4 : s.bits == 2 ? 4 : s.bits;
        EXPECT_EQ(depth, img.GetBpp()) << Describe(s);
        EXPECT_EQ(s.planes == 4 && s.bits == 8, img.AlphaIsValid());
        EXPECT_EQ(72, img.GetXDPI());
        for (int y = 0; y < s.h; y++)
            for (int x = 0; x < s.w; x++) {
                const size_t i = (size_t)y * s.w + x;
                RGBQUAD want = Meant(s, rgba, idx, i), got = img.GetPixelColor(x, s.h - 1 - y, false);
                ASSERT_EQ(0, memcmp(&want, &got, 3)) << Describe(s) << " at " << x << "," << y;
                if (img.AlphaIsValid()) {
                    ASSERT_EQ(rgba[i].rgbReserved, img.AlphaGet(x, s.h - 1 - y));
                }
            }
    }
}

TEST(PcxDecode, BadAndTruncatedFiles)
{
    const PcxSpec s{8, 1, 9, 5};
    std::vector<RGBQUAD> rgba;
    std::vector<BYTE> idx;
    RandomPicture(s, 5, rgba, idx);
    const Bytes good = BuildPcx(s, rgba, idx);
    auto with = [&](size_t at, BYTE v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    Bytes spanning = good;  // the last run claims more than is left
    spanning.resize(spanning.size() - 769);
    spanning.insert(spanning.end() - 1, 0xFF);  // count 63 before the last value
    Bytes noTag = good;
    noTag[noTag.size() - 769] = 0x0B;
    Bytes narrow = with(66, 4);  // 4 bytes a line for 9 pixels
    Bytes planar8 = with(65, 2); // two planes of 8 bits
    Bytes huge = good;           // 65535 x 65536 claimed by a few bytes
    huge[8] = 0xFE;
    huge[9] = huge[10] = huge[11] = huge[66] = huge[67] = 0xFF;
    struct Case {
        const char* what;
        Bytes file;
        const char* text;
    } cases[] = {
        {"short header", Bytes(good.begin(), good.begin() + 100), "Can't read PCX image"},
        {"manufacturer", with(0, 0x0B), "Error: Not a PCX file"},
        {"encoding", with(2, 0), "PCX file has unknown encoding scheme"},
        {"five planes", with(65, 5), "Can't handle image with more than 4 planes"},
        {"two planes of 8 bits", planar8, "Can't handle more than 1 bit per pixel"},
        {"3 bits", with(3, 3), "Can't handle more than 1 bit per pixel"},
        {"lines shorter than the width", narrow, "PCX bytes per line too small for the width"},
        {"cut in the data", Bytes(good.begin(), good.begin() + 140), "corrupted PCX"},
        {"run past the end", spanning, "repeat count spans end of image"},
        {"palette tag", noTag, "bad color map signature"},
        {"palette cut short", Bytes(good.begin(), good.end() - 10), "corrupted PCX"},
        {"x max below x min", with(4, 0x30), "corrupted PCX"},
        {"claims 65535 x 65536", huge, "corrupted PCX"},
    };
    for (const Case& c : cases) {
        RasterImage img;
        EXPECT_FALSE(img.Decode((BYTE*)c.file.data(), (DWORD)c.file.size(), RASTER_FORMAT_PCX)) << c.what;
        EXPECT_STREQ(c.text, img.GetLastError()) << c.what;
    }
}

TEST(PcxEncode, RunsPaddingAndFlippedMonochrome)
{
    // A 5 x 1 8-bit picture: lines of 6 bytes, the last a padding 0.
    RasterImage five(5, 1, 8, 0);
    for (int x = 0; x < 5; x++)
        five.SetPixelIndex(x, 0, (BYTE)(x == 4 ? 0xC5 : 7));
    Bytes b = EncodePcx(five);
    const BYTE data[] = {0xC4, 7, 0xC1, 0xC5, 0x00, 0x0C};
    ASSERT_EQ(128u + sizeof(data) + 768, b.size());
    EXPECT_EQ(0, memcmp(&b[128], data, sizeof(data)));
    EXPECT_EQ(6, b[66]);
    EXPECT_EQ(0, b[68]);

    // A run of 100 is a run of 63 and one of 37.
    RasterImage wide(100, 1, 24, 0);
    for (int x = 0; x < 100; x++)
        wide.SetPixelColor(x, 0, Quad(9, 9, 9));
    b = EncodePcx(wide);
    const BYTE plane[] = {0xFF, 9, 0xC0 | 37, 9};
    EXPECT_EQ(0, memcmp(&b[128], plane, 4));
    EXPECT_EQ(3, b[65]);
    EXPECT_EQ(1, b[68]);

    // White on black (entry 0 white) goes out with its 1 bits white.
    RasterImage mono(8, 1, 1, 0);
    mono.SetPaletteColor(0, Quad(255, 255, 255));
    mono.SetPaletteColor(1, Quad(0, 0, 0));
    mono.SetPixelIndex(0, 0, 1);
    b = EncodePcx(mono);
    EXPECT_EQ(0x7F, b[128]);
    RasterImage back(b.data(), (DWORD)b.size(), RASTER_FORMAT_PCX);
    EXPECT_EQ(0, back.GetPixelColor(0, 0, false).rgbRed);
    EXPECT_EQ(255, back.GetPixelColor(1, 0, false).rgbRed);
}

TEST(PcxEncode, RoundTripsEveryDepth)
{
    std::mt19937 rng(4);
    for (DWORD bpp : {1u, 4u, 8u, 24u})
        for (bool alpha : {false, true}) {
            if (alpha && bpp != 24)
                continue;
            RasterImage img(37, 11, bpp, 0);
            for (DWORD i = 0; i < img.GetNumColors(); i++)
                img.SetPaletteColor((BYTE)i, PcxColour((int)i));
            if (bpp == 1) {
                img.SetPaletteColor(0, Quad(0, 0, 0));
                img.SetPaletteColor(1, Quad(255, 255, 255));
            }
            if (alpha)
                img.AlphaCreate();
            for (long y = 0; y < 11; y++)
                for (long x = 0; x < 37; x++) {
                    if (bpp == 24)
                        img.SetPixelColor(x, y, Quad((BYTE)rng(), (BYTE)(x * 7), (BYTE)(y * 20)));
                    else
                        img.SetPixelIndex(x, y, (BYTE)(rng() % img.GetNumColors()));
                    if (alpha)
                        img.AlphaSet(x, y, (BYTE)rng());
                }
            Bytes b = EncodePcx(img);
            RasterImage back(b.data(), (DWORD)b.size(), RASTER_FORMAT_PCX);
            ASSERT_TRUE(back.IsValid()) << bpp << " " << back.GetLastError();
            EXPECT_EQ(alpha, back.AlphaIsValid());
            for (long y = 0; y < 11; y++)
                for (long x = 0; x < 37; x++) {
                    RGBQUAD a = img.GetPixelColor(x, y, false), c = back.GetPixelColor(x, y, false);
                    ASSERT_EQ(0, memcmp(&a, &c, 3)) << bpp << " at " << x << "," << y;
                    if (alpha) {
                        ASSERT_EQ(img.AlphaGet(x, y), back.AlphaGet(x, y));
                    }
                }
        }
}

// ---------------------------------------------------------------------------

class PcxMagick : public MagickFixture {
protected:
    PcxMagick() : MagickFixture("raster_pcx_") {}

    Bytes MagickRgb(const std::string& file)
    {
        std::string out = Path("out.rgb");
        remove(out.c_str());
        if (!RunQuiet("convert '" + file + "' -depth 8 'rgb:" + out + "'"))
            return Bytes();
        return ReadFile(out);
    }

    // ImageMagick reads the 1 bits of a single 1-bit plane as black, where
    // the format's readers (and we) take them as white: those pictures are
    // expected inverted there.
    static void ExpectSame(const RasterImage& img, const Bytes& rgb, const std::string& what, bool inverted = false)
    {
        const long w = (long)img.GetWidth(), h = (long)img.GetHeight();
        ASSERT_EQ((size_t)w * h * 3, rgb.size()) << what;
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                RGBQUAD c = img.GetPixelColor(x, h - 1 - y, false);
                const BYTE* rgbAt = &rgb[((size_t)y * w + x) * 3];
                const BYTE m[3] = {BYTE(inverted ? 255 - rgbAt[0] : rgbAt[0]), BYTE(inverted ? 255 - rgbAt[1] : rgbAt[1]),
                                   BYTE(inverted ? 255 - rgbAt[2] : rgbAt[2])};
                ASSERT_TRUE(c.rgbRed == m[0] && c.rgbGreen == m[1] && c.rgbBlue == m[2])
                    << what << " at " << x << "," << y << ": " << int(c.rgbRed) << "," << int(c.rgbGreen) << ","
                    << int(c.rgbBlue) << " vs " << int(m[0]) << "," << int(m[1]) << "," << int(m[2]);
            }
    }
};

TEST_F(PcxMagick, ItReadsOurHandBuiltFilesAsWeDo)
{
    unsigned seed = 50;
    for (const PcxSpec& s : AllSpecs()) {
        // ImageMagick shows a fourth 8-bit plane as alpha, and has its own
        // colours for 2-bit single planes.
        if ((s.bits == 8 && s.planes == 4) || s.bits == 2)
            continue;
        std::vector<RGBQUAD> rgba;
        std::vector<BYTE> idx;
        RandomPicture(s, seed++, rgba, idx);
        Bytes b = BuildPcx(s, rgba, idx);
        std::string path = Path("hand.pcx");
        WriteFile(path, b);
        RasterImage img(b.data(), (DWORD)b.size(), RASTER_FORMAT_PCX);
        ASSERT_TRUE(img.IsValid()) << Describe(s);
        ExpectSame(img, MagickRgb(path), Describe(s), s.bits == 1 && s.planes == 1);
    }
}

TEST_F(PcxMagick, ItsFilesDecodeToItsPixels)
{
    // It writes one 8-bit plane or three or four 8-bit planes whatever it is
    // asked; 1- and 4-bit files are the hand-built ones above.
    std::string src = SourcePicture(37, 21);
    for (const char* options : {"-type TrueColor", "-type TrueColorAlpha", "-type Palette -colors 200",
                                "-type Palette -colors 16", "-colors 8", "-monochrome"}) {
        std::string path = Path("im.pcx");
        ASSERT_TRUE(RunQuiet("convert '" + src + "' " + options + " '" + path + "'")) << options;
        Bytes b = ReadFile(path);
        RasterImage img(b.data(), (DWORD)b.size(), RASTER_FORMAT_PCX);
        ASSERT_TRUE(img.IsValid()) << options << " " << img.GetLastError();
        ExpectSame(img, MagickRgb(path), options);
    }
}

TEST_F(PcxMagick, OursReadBackIdenticallyThere)
{
    std::mt19937 rng(8);
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        RasterImage img(31, 9, bpp, 0);
        for (DWORD i = 0; i < img.GetNumColors(); i++)
            img.SetPaletteColor((BYTE)i, PcxColour((int)i));
        if (bpp == 1) {
            img.SetPaletteColor(0, Quad(255, 255, 255));
            img.SetPaletteColor(1, Quad(0, 0, 0));
        }
        for (long y = 0; y < 9; y++)
            for (long x = 0; x < 31; x++) {
                if (bpp == 24)
                    img.SetPixelColor(x, y, Quad((BYTE)rng(), (BYTE)(x * 7), (BYTE)(y * 20)));
                else
                    img.SetPixelIndex(x, y, (BYTE)(rng() % img.GetNumColors()));
            }
        std::string path = Path("ours.pcx");
        ASSERT_TRUE(img.Save(path.c_str(), RASTER_FORMAT_PCX));
        ExpectSame(img, MagickRgb(path), "bpp " + std::to_string(bpp), bpp == 1);
    }
}
