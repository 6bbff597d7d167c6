// Cross-checks of the BMP codec with ImageMagick as an independent reader and
// writer. Skipped when `convert` is not installed (scripts/setup installs it).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <raster.h>
#include "test_files.h"

namespace {

struct Rgb8 {
    int width = 0;
    int height = 0;
    std::vector<BYTE> rgb;  // rows from the top, three bytes a pixel

    const BYTE* at(int x, int yFromTop) const { return &rgb[((size_t)yFromTop * width + x) * 3]; }
};

bool HaveMagick()
{
    static const bool have = system("convert -version >/dev/null 2>&1") == 0;
    return have;
}

class MagickTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveMagick())
            GTEST_SKIP() << "ImageMagick (convert) is not installed";
    }

    std::string Path(const std::string& name) const { return m_tmp.Path(name); }

    static bool Run(const std::string& cmd) { return system((cmd + " 2>/dev/null").c_str()) == 0; }

    // ImageMagick's reading of a picture, as 8-bit RGB.
    Rgb8 MagickPixels(const std::string& path)
    {
        Rgb8 out;
        std::string ppm = path + ".ppm";
        if (!Run("convert '" + path + "' -alpha off -depth 8 'ppm:" + ppm + "'"))
            return out;
        std::vector<BYTE> d = ReadFile(ppm);
        int maxval = 0, consumed = 0;
        if (sscanf(reinterpret_cast<const char*>(d.data()), "P6 %d %d %d%n", &out.width, &out.height,
                   &maxval, &consumed) != 3 ||
            maxval != 255)
            return Rgb8();
        size_t start = (size_t)consumed + 1;
        out.rgb.assign(d.begin() + start, d.end());
        if (out.rgb.size() != (size_t)out.width * out.height * 3)
            return Rgb8();
        return out;
    }

    // A colourful picture with more than 256 colours, written as PPM.
    std::string SourcePicture(int w, int h)
    {
        std::string path = Path("source.ppm");
        std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        std::vector<BYTE> d(head.begin(), head.end());
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                d.push_back((BYTE)(x * 255 / (w - 1)));
                d.push_back((BYTE)(y * 255 / (h - 1)));
                d.push_back((BYTE)((x * 37 + y * 91) & 0xFF));
            }
        WriteFile(path, d);
        return path;
    }

    // Header facts of a BMP file: info header size, bit count, compression.
    static void HeaderOf(const std::vector<BYTE>& f, DWORD& size, WORD& bits, DWORD& compression)
    {
        ASSERT_GE(f.size(), 34u);
        size = f[14] | (f[15] << 8) | (f[16] << 16) | ((DWORD)f[17] << 24);
        if (size == 12) {
            bits = (WORD)(f[24] | (f[25] << 8));
            compression = 0;
            return;
        }
        bits = (WORD)(f[28] | (f[29] << 8));
        compression = f[30] | (f[31] << 8);
    }

    // Every pixel of our decoding equals ImageMagick's, channel by channel
    // reduced to `precision` bits per channel (8 for exact).
    static void ExpectSamePixels(const RasterImage& ours, const Rgb8& theirs, int precision[3],
                                 const std::string& what)
    {
        ASSERT_EQ((int)ours.GetWidth(), theirs.width) << what;
        ASSERT_EQ((int)ours.GetHeight(), theirs.height) << what;
        int mismatches = 0;
        for (int y = 0; y < theirs.height && mismatches < 5; y++)
            for (int x = 0; x < theirs.width && mismatches < 5; x++) {
                RGBQUAD c = ours.GetPixelColor(x, theirs.height - 1 - y, false);
                BYTE mine[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
                const BYTE* im = theirs.at(x, y);
                for (int ch = 0; ch < 3; ch++) {
                    int bitsKept = precision[ch];
                    int levels = (1 << bitsKept) - 1;
                    // ImageMagick scales n-bit values to the full range; we keep
                    // them in the top bits: compare the n-bit values.
                    int stored = bitsKept == 8 ? im[ch] : (im[ch] * levels + 127) / 255;
                    int want = bitsKept == 8 ? stored : stored << (8 - bitsKept);
                    if (mine[ch] != want) {
                        ADD_FAILURE() << what << " pixel " << x << "," << y << " channel " << ch << ": ours "
                                      << (int)mine[ch] << ", ImageMagick " << (int)im[ch];
                        mismatches++;
                    }
                }
            }
    }

    TempDir m_tmp{"raster_magick_"};
};

TEST_F(MagickTest, OurBmpsReadBackIdentically)
{
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        RasterImage img(29, 11, bpp, 0);
        if (bpp == 4 || bpp == 8)
            img.SetStdPalette();
        else if (bpp == 1)
            img.SetGrayPalette();
        for (long y = 0; y < 11; y++)
            for (long x = 0; x < 29; x++) {
                if (bpp == 24)
                    img.SetPixelColor(x, y, RGB(x * 8, y * 20, (x * y) & 0xFF));
                else
                    img.SetPixelIndex(x, y, (BYTE)((x * 5 + y * 11) % (1 << bpp)));
            }
        std::string path = Path("ours" + std::to_string(bpp) + ".bmp");
        ASSERT_TRUE(img.Save(path.c_str(), RASTER_FORMAT_BMP));
        Rgb8 theirs = MagickPixels(path);
        int exact[3] = {8, 8, 8};
        ExpectSamePixels(img, theirs, exact, "our " + std::to_string(bpp) + "-bit file");
    }
}

TEST_F(MagickTest, MagickBmpsDecodeToItsPixels)
{
    std::string src = SourcePicture(37, 23);
    struct Variant {
        const char* name;
        const char* options;  // between the source and the output
        DWORD headerSize;
        WORD bits;
        DWORD compression;
        int precision[3];
    };
    const Variant variants[] = {
        {"1-bit", "-colors 2 -type palette -compress none BMP3:", 40, 1, 0, {8, 8, 8}},
        {"4-bit", "-colors 12 -type palette -compress none BMP3:", 40, 4, 0, {8, 8, 8}},
        {"8-bit", "-colors 200 -type palette -compress none BMP3:", 40, 8, 0, {8, 8, 8}},
        {"RLE8", "-colors 200 -type palette -compress RLE BMP3:", 40, 8, 1, {8, 8, 8}},
        {"16-bit 5-6-5", "-define bmp:subtype=RGB565 BMP:", 124, 16, 3, {5, 6, 5}},
        {"16-bit 5-5-5", "-define bmp:subtype=RGB555 BMP:", 124, 16, 3, {5, 5, 5}},
        {"24-bit", "-type truecolor BMP3:", 40, 24, 0, {8, 8, 8}},
        {"32-bit", "-alpha set -channel A -evaluate set 50% +channel BMP:", 124, 32, 3, {8, 8, 8}},
        {"OS/2 8-bit", "-colors 200 -type palette BMP2:", 12, 8, 0, {8, 8, 8}},
    };
    for (const Variant& v : variants) {
        std::string out = Path(std::string("magick-") + std::to_string(&v - variants) + ".bmp");
        ASSERT_TRUE(Run("convert '" + src + "' " + v.options + "'" + out + "'")) << v.name;
        std::vector<BYTE> file = ReadFile(out);
        DWORD size = 0, compression = 0;
        WORD bits = 0;
        HeaderOf(file, size, bits, compression);
        EXPECT_EQ(v.headerSize, size) << v.name;
        EXPECT_EQ(v.bits, bits) << v.name;
        EXPECT_EQ(v.compression, compression) << v.name;

        RasterImage ours;
        ASSERT_TRUE(ours.Load(out.c_str(), RASTER_FORMAT_UNKNOWN)) << v.name << ": " << ours.GetLastError();
        Rgb8 theirs = MagickPixels(out);
        int precision[3] = {v.precision[0], v.precision[1], v.precision[2]};
        ExpectSamePixels(ours, theirs, precision, v.name);
    }
}

// ImageMagick writes neither RLE4 nor top-down files: these are built here,
// and ImageMagick reads them beside us.
TEST_F(MagickTest, HandBuiltRle4AndTopDownReadAlike)
{
    auto le16 = [](std::vector<BYTE>& b, WORD v) {
        b.push_back((BYTE)v);
        b.push_back((BYTE)(v >> 8));
    };
    auto le32 = [&](std::vector<BYTE>& b, DWORD v) {
        le16(b, (WORD)v);
        le16(b, (WORD)(v >> 16));
    };
    auto header = [&](std::vector<BYTE>& b, LONG w, LONG h, WORD bits, DWORD comp, DWORD colours,
                      DWORD dataSize) {
        DWORD off = 14 + 40 + colours * 4;
        le16(b, 0x4D42);
        le32(b, off + dataSize);
        le32(b, 0);
        le32(b, off);
        le32(b, 40);
        le32(b, (DWORD)w);
        le32(b, (DWORD)h);
        le16(b, 1);
        le16(b, bits);
        le32(b, comp);
        le32(b, dataSize);
        le32(b, 2835);
        le32(b, 2835);
        le32(b, colours);
        le32(b, 0);
        for (DWORD i = 0; i < colours; i++) {
            b.push_back((BYTE)(i * 16));
            b.push_back((BYTE)(255 - i * 16));
            b.push_back((BYTE)(i * 40));
            b.push_back(0);
        }
    };

    // RLE4, 9 x 3: runs and literals that start on odd columns, a move.
    std::vector<BYTE> rle = {3, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 1, 0xAB, 0, 0,  // row 0, 9 pixels
                             0, 2, 2, 0, 4, 0xCD, 0, 3, 0x9E, 0xF0, 0, 0,       // row 1 from column 2
                             3, 0x12, 6, 0x9A, 0, 0, 0, 1};                     // row 2
    std::vector<BYTE> rle4;
    header(rle4, 9, 3, 4, BI_RLE4, 16, (DWORD)rle.size());
    rle4.insert(rle4.end(), rle.begin(), rle.end());
    std::string rlePath = Path("rle4.bmp");
    WriteFile(rlePath, rle4);

    // Top-down 24-bit, 5 x 4.
    std::vector<BYTE> td;
    DWORD row = 16;
    header(td, 5, -4, 24, BI_RGB, 0, row * 4);
    for (int y = 0; y < 4; y++) {
        for (int x = 0; x < 5; x++) {
            td.push_back((BYTE)(x * 50));
            td.push_back((BYTE)(y * 60));
            td.push_back((BYTE)(x * y * 10));
        }
        td.push_back(0);
    }
    std::string tdPath = Path("topdown.bmp");
    WriteFile(tdPath, td);

    int exact[3] = {8, 8, 8};
    for (const std::string& path : {rlePath, tdPath}) {
        RasterImage ours;
        ASSERT_TRUE(ours.Load(path.c_str(), RASTER_FORMAT_BMP)) << path << ": " << ours.GetLastError();
        Rgb8 theirs = MagickPixels(path);
        ASSERT_GT(theirs.width, 0) << path;
        ExpectSamePixels(ours, theirs, exact, path);
    }
}

}  // namespace
