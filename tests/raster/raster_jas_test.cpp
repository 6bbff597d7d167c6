// The JPEG-2000 family codec: PNM, Sun raster and PGX files written by
// ImageMagick, netpbm and OpenJPEG's tools decode to the pixels ImageMagick
// reads from them, and ours are read back by those tools to our pixels; JP2
// and JPC round trips, lossy sizes, the frame and format rules, and damaged
// files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <raster.h>

#include "encoded_bytes.h"
#include "magick.h"
#include "test_files.h"

namespace {

class JasTest : public MagickFixture {
protected:
    JasTest() : MagickFixture("kjas") {}

    // netpbm and OpenJPEG's tools are the other references.
    void SetUp() override
    {
        MagickFixture::SetUp();
        if (IsSkipped())
            return;
        static const bool have = HaveTool("(command -v opj_compress && command -v opj_decompress "
                                          "&& command -v pnmtorast && command -v pnmdepth)");
        if (!have)
            GTEST_SKIP() << "netpbm or OpenJPEG's tools are not installed";
    }

    // ImageMagick's 8-bit RGB reading of a file, top row first.
    Bytes MagickRgb(const std::string& file)
    {
        std::string out = Path("ref.rgb");
        EXPECT_TRUE(RunQuiet("convert '" + file + "' -depth 8 rgb:'" + out + "'")) << file;
        return ReadFile(out);
    }

    // Our picture as 8-bit RGB, top row first.
    static Bytes OurRgb(const RasterImage& img)
    {
        Bytes d;
        const long w = (long)img.GetWidth(), h = (long)img.GetHeight();
        for (long y = h - 1; y >= 0; y--)
            for (long x = 0; x < w; x++) {
                RGBQUAD q = img.GetPixelColor(x, y, false);
                d.push_back(q.rgbRed);
                d.push_back(q.rgbGreen);
                d.push_back(q.rgbBlue);
            }
        return d;
    }

    // A picture with noise in it, so that nothing compresses it away.
    static RasterImage Noise(DWORD w, DWORD h, unsigned seed)
    {
        RasterImage img;
        img.Create(w, h, 24, RASTER_FORMAT_BMP);
        std::mt19937 rng(seed);
        for (DWORD y = 0; y < h; y++)
            for (DWORD x = 0; x < w; x++) {
                BYTE n = (BYTE)(rng() & 0x3F);
                img.SetPixelColor((long)x, (long)y,
                                  RGBQUAD{(BYTE)(x * 3 + n), (BYTE)(y * 5 + n), (BYTE)(x ^ y), 0});
            }
        return img;
    }

    static RasterImage GreyRamp(DWORD w, DWORD h)
    {
        RasterImage img;
        img.Create(w, h, 8, RASTER_FORMAT_BMP);
        img.SetGrayPalette();
        for (DWORD y = 0; y < h; y++)
            for (DWORD x = 0; x < w; x++)
                img.SetPixelIndex((long)x, (long)y, (BYTE)(x * 7 + y * 13));
        return img;
    }
};

struct ToolFile {
    const char* name;
    const char* command;  // %s the colour source (P6), %g the grey one (P5)
    DWORD type;
    int tolerance = 0;        // a maxval short of a full range rounds twice
    const char* ref = nullptr;  // the file ImageMagick reads for reference, when not ours
};

// Whether two pictures differ by at most tol in every sample.
::testing::AssertionResult Near(const Bytes& a, const Bytes& b, int tol)
{
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
    for (size_t i = 0; i < a.size(); i++)
        if (std::abs(a[i] - b[i]) > tol)
            return ::testing::AssertionFailure()
                   << "sample " << i << ": " << (int)a[i] << " and " << (int)b[i];
    return ::testing::AssertionSuccess();
}

std::string Expand(std::string cmd, const std::string& src, const std::string& grey,
                   const std::string& out)
{
    for (auto [key, val] : {std::pair<std::string, std::string>{"%s", src}, {"%g", grey},
                            {"%o", out}}) {
        size_t at;
        while ((at = cmd.find(key)) != std::string::npos)
            cmd.replace(at, 2, "'" + val + "'");
    }
    return cmd;
}

TEST_F(JasTest, ToolFilesDecodeToTheirReadersPixels)
{
    static const ToolFile kFiles[] = {
        {"raw ppm", "convert %s %o.ppm && mv %o.ppm %o", RASTER_FORMAT_PNM},
        {"plain ppm", "convert %s -compress none ppm:%o", RASTER_FORMAT_PNM},
        {"16-bit ppm", "convert %s -depth 16 ppm:%o", RASTER_FORMAT_PNM},
        {"raw pgm", "convert %g pgm:%o", RASTER_FORMAT_PNM},
        {"plain pgm", "pnmtoplainpnm %g > %o", RASTER_FORMAT_PNM},
        {"16-bit pgm", "convert %g -depth 16 pgm:%o", RASTER_FORMAT_PNM},
        {"maxval 1000", "pnmdepth 1000 %s > %o", RASTER_FORMAT_PNM, 1},
        {"maxval 100 grey", "pnmdepth 100 %g > %o", RASTER_FORMAT_PNM, 1},
        {"commented", "(printf 'P6\\n# made here\\n64 # w\\n48\\n#x\\n255\\n'; tail -c 9216 %s) > %o",
         RASTER_FORMAT_PNM},
        {"raw pbm", "convert %g -threshold 50%% pbm:%o", RASTER_FORMAT_PNM},
        {"plain pbm", "convert %g -threshold 50%% -compress none pbm:%o", RASTER_FORMAT_PNM},
        {"ras standard", "pnmtorast -standard %s > %o", RASTER_FORMAT_RAS},
        {"ras run-length", "pnmtorast -rle %s > %o", RASTER_FORMAT_RAS},
        {"ras grey", "pnmtorast -standard %g > %o", RASTER_FORMAT_RAS},
        {"ras magick", "convert %s sun:%o", RASTER_FORMAT_RAS},
        {"ras magick grey", "convert %g sun:%o", RASTER_FORMAT_RAS},
        // ImageMagick cannot read netpbm's run-length bitmaps: the bitmap is the
        // reference.
        {"ras bits", "convert %g -threshold 50%% pbm:%o.pbm && pnmtorast %o.pbm > %o",
         RASTER_FORMAT_RAS, 0, ".pbm"},
    };
    const std::string src = SourcePicture(64, 48);
    const std::string grey = Path("grey.pgm");
    ASSERT_TRUE(RunQuiet("convert '" + src + "' -colorspace gray pgm:'" + grey + "'"));
    for (const ToolFile& f : kFiles) {
        SCOPED_TRACE(f.name);
        const std::string out = Path("tool.bin");
        std::string cmd = Expand(f.command, src, grey, out);
        size_t pct;
        while ((pct = cmd.find("%%")) != std::string::npos)
            cmd.replace(pct, 2, "%");
        if (!RunQuiet(cmd)) {
            ADD_FAILURE() << "tool failed: " << cmd;
            continue;
        }
        RasterImage img;
        ASSERT_TRUE(img.Load(out.c_str(), f.type)) << img.GetLastError();
        EXPECT_EQ(img.GetType(), f.type);
        EXPECT_TRUE(Near(OurRgb(img), MagickRgb(f.ref ? out + f.ref : out), f.tolerance));
        // A probe finds the same format.
        RasterImage probed;
        ASSERT_TRUE(probed.Load(out.c_str(), RASTER_FORMAT_UNKNOWN));
        EXPECT_EQ(probed.GetType(), f.type);
    }
}

// Files we write, read by ImageMagick and by netpbm (or OpenJPEG's tools for
// PGX), give our pixels back.
TEST_F(JasTest, OurFilesAreReadByTheTools)
{
    struct Case {
        const char* name;
        bool grey;
        DWORD type;
        const char* reader;  // %o our file, to P6/P5 on stdout
    };
    static const Case kCases[] = {
        {"ppm", false, RASTER_FORMAT_PNM, "pnmtopnm %o"},
        {"pgm", true, RASTER_FORMAT_PNM, "pnmtopnm %o"},
        {"ras", false, RASTER_FORMAT_RAS, "rasttopnm %o"},
        {"ras grey", true, RASTER_FORMAT_RAS, "rasttopnm %o"},
        {"pgx", true, RASTER_FORMAT_PGX, ""},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        RasterImage img = c.grey ? GreyRamp(37, 21) : Noise(37, 21, 5);
        const std::string ours = Path("ours.bin");
        ASSERT_TRUE(img.Save(ours.c_str(), c.type)) << img.GetLastError();
        const Bytes want = OurRgb(img);
        if (c.type != RASTER_FORMAT_PGX) {
            EXPECT_EQ(MagickRgb(ours), want);
        }
        std::string pnm = Path("tool.pnm");
        std::string cmd = c.type == RASTER_FORMAT_PGX
                              ? "cp %o %o.pgx && opj_compress -n 3 -i %o.pgx -o %o.j2k >/dev/null && "
                                "opj_decompress -i %o.j2k -o %o.pgm >/dev/null && cp %o.pgm " +
                                    pnm
                              : std::string(c.reader) + " > " + pnm;
        ASSERT_TRUE(RunQuiet(Expand(cmd, "", "", ours))) << cmd;
        EXPECT_EQ(MagickRgb(pnm), want);
        // And we read our own file back to the same pixels.
        RasterImage back;
        ASSERT_TRUE(back.Load(ours.c_str(), c.type)) << back.GetLastError();
        EXPECT_EQ(OurRgb(back), want);
    }
}

TEST_F(JasTest, OpenJpegPgxDecodes)
{
    const std::string grey = Path("g.pgm");
    ASSERT_TRUE(RunQuiet("convert '" + SourcePicture(40, 30) + "' -colorspace gray pgm:'" + grey +
                         "'"));
    const std::string j2k = Path("g.j2k"), pgx = Path("g.pgx");
    ASSERT_TRUE(RunQuiet("opj_compress -n 3 -i '" + grey + "' -o '" + j2k + "' >/dev/null"));
    ASSERT_TRUE(RunQuiet("opj_decompress -i '" + j2k + "' -o '" + pgx + "' >/dev/null"));
    std::string file = pgx;
    if (ReadFile(file).empty())
        file = Path("g_0.pgx");
    RasterImage img;
    ASSERT_TRUE(img.Load(file.c_str(), RASTER_FORMAT_PGX)) << img.GetLastError();
    EXPECT_EQ(OurRgb(img), MagickRgb(grey));
}

// Lossless JP2 and JPC give back every pixel, and OpenJPEG reads them to the
// same pixels.
TEST_F(JasTest, LosslessJpeg2000RoundTripsExactly)
{
    for (DWORD type : {RASTER_FORMAT_JP2, RASTER_FORMAT_JPC})
        for (bool grey : {false, true})
            for (DWORD side : {1u, 3u, 17u, 64u}) {
                SCOPED_TRACE(std::to_string(type) + (grey ? " grey " : " colour ") +
                             std::to_string(side));
                RasterImage img = grey ? GreyRamp(side, side + 2) : Noise(side, side + 2, side);
                img.SetJpegQuality(100);
                const std::string ours = Path(type == RASTER_FORMAT_JP2 ? "o.jp2" : "o.j2k");
                ASSERT_TRUE(img.Save(ours.c_str(), type)) << img.GetLastError();
                RasterImage back;
                ASSERT_TRUE(back.Load(ours.c_str(), type)) << back.GetLastError();
                EXPECT_EQ(back.GetType(), type);
                EXPECT_EQ(OurRgb(back), OurRgb(img));
                const std::string dec = Path(grey ? "d.pgm" : "d.ppm");
                ASSERT_TRUE(RunQuiet("opj_decompress -i '" + ours + "' -o '" + dec +
                                     "' >/dev/null"));
                EXPECT_EQ(MagickRgb(dec), OurRgb(img));
            }
}

TEST_F(JasTest, LossyRatesGiveTheRequestedSize)
{
    RasterImage img = Noise(256, 256, 9);
    const double raw = 256.0 * 256 * 3;
    for (int quality : {5, 10, 25, 50}) {
        for (DWORD type : {RASTER_FORMAT_JP2, RASTER_FORMAT_JPC}) {
            SCOPED_TRACE(std::to_string(quality) + " " + std::to_string(type));
            img.SetJpegQuality((BYTE)quality);
            BYTE* out = nullptr;
            long n = 0;
            ASSERT_TRUE(img.Encode(out, n, type)) << img.GetLastError();
            RasterImage back;
            EXPECT_TRUE(back.Decode(out, (DWORD)n, type));
            free(out);
            const double want = raw * quality / 100.0;
            EXPECT_NEAR((double)n, want, want * 0.10);
        }
    }
}

TEST(JasCodec, FormatAndFrameRules)
{
    RasterImage colour(4, 4, 24, RASTER_FORMAT_BMP);
    BYTE* out = nullptr;
    long n = 0;
    EXPECT_FALSE(colour.Encode(out, n, RASTER_FORMAT_PGX));
    EXPECT_STREQ(colour.GetLastError(), "PGX can save only GrayScale images");

    RasterImage pal(4, 4, 8, RASTER_FORMAT_BMP);
    pal.SetStdPalette();
    EXPECT_FALSE(pal.Encode(out, n, RASTER_FORMAT_PNM));
    EXPECT_STREQ(pal.GetLastError(), "JasPer can save only RGB or GrayScale images");

    // A grey file has one frame; asking for the second fails.
    static const char kPgm[] = "P5 2 1 255 \x10\x20";
    RasterImage grey;
    grey.SetFrame(1);
    EXPECT_FALSE(grey.Decode((BYTE*)kPgm, sizeof(kPgm) - 1, RASTER_FORMAT_PNM));
    EXPECT_STREQ(grey.GetLastError(), "wrong frame!");

    // A typed decode does not take another family member's file.
    RasterImage typed;
    EXPECT_FALSE(typed.Decode((BYTE*)kPgm, sizeof(kPgm) - 1, RASTER_FORMAT_JP2));
    RasterImage probed;
    ASSERT_TRUE(probed.Decode((BYTE*)kPgm, sizeof(kPgm) - 1, RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(probed.GetType(), RASTER_FORMAT_PNM);
    EXPECT_EQ(probed.GetPixelIndex(1, 0), 0x20);
}

// A 4-bit grey picture writes one 8-bit component of its grey levels: the
// levels are the indices where entry i is level i, and 0, 17, .. 255 under
// the black-to-white ramp the decoders make.
TEST(JasCodec, FourBitGreyWritesLevels)
{
    for (bool ramp : {false, true}) {
        RasterImage img(16, 1, 4, RASTER_FORMAT_BMP);
        img.SetGrayPalette();
        for (long x = 0; x < 16; x++) {
            if (!ramp)
                img.SetPaletteColor((BYTE)x, (BYTE)x, (BYTE)x, (BYTE)x);
            img.SetPixelIndex(x, 0, (BYTE)x);
        }
        BYTE* out = nullptr;
        long n = 0;
        ASSERT_TRUE(img.Encode(out, n, RASTER_FORMAT_PNM)) << img.GetLastError();
        Bytes file(out, out + n);
        free(out);
        const std::string head = "P5\n16 1\n255\n";
        ASSERT_EQ(file.size(), head.size() + 16);
        EXPECT_EQ(std::string(file.begin(), file.begin() + (long)head.size()), head);
        for (int x = 0; x < 16; x++)
            EXPECT_EQ(file[head.size() + (size_t)x], ramp ? x * 17 : x);
    }
}

// Deep samples are scaled to 8 bits through the sRGB conversion; bitmaps
// keep one bit; 32-bit Sun raster drops its pad byte.
TEST(JasCodec, HandMadeFilesDecode)
{
    struct Case {
        const char* name;
        std::string bytes;
        DWORD type;
        WORD bpp;
        RGBQUAD first;  // top-left pixel
    };
    const std::string ras32 = std::string("\x59\xA6\x6A\x95\0\0\0\1\0\0\0\1\0\0\0\x20"
                                          "\0\0\0\4\0\0\0\1\0\0\0\0\0\0\0\0",
                                          32) +
                              std::string("\0\x10\x20\x30", 4);
    const std::string ras32rgb = std::string(ras32).replace(23, 1, "\3");
    const Case kCases[] = {
        {"16-bit grey", std::string("P5 1 1 65535\n\x80\x00", 15), RASTER_FORMAT_PNM, 24,
         RGBQUAD{128, 128, 128, 0}},
        {"plain bitmap", "P1 2 1 1 0", RASTER_FORMAT_PNM, 1, RGBQUAD{0, 0, 0, 0}},
        {"pgx 12-bit", std::string("PG ML +12 1 1\n\x0F\xFF", 16), RASTER_FORMAT_PGX, 24,
         RGBQUAD{255, 255, 255, 0}},
        // -128, the least a signed 8-bit sample holds, is black.
        {"pgx signed", std::string("PG LM -8 1 1\n\x80", 15), RASTER_FORMAT_PGX, 24,
         RGBQUAD{0, 0, 0, 0}},
        {"ras 32", ras32, RASTER_FORMAT_RAS, 24, RGBQUAD{0x10, 0x20, 0x30, 0}},
        {"ras 32 rgb", ras32rgb, RASTER_FORMAT_RAS, 24, RGBQUAD{0x30, 0x20, 0x10, 0}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        RasterImage img;
        ASSERT_TRUE(img.Decode((BYTE*)c.bytes.data(), (DWORD)c.bytes.size(), c.type))
            << img.GetLastError();
        EXPECT_EQ(img.GetBpp(), c.bpp);
        RGBQUAD q = img.GetPixelColor(0, (long)img.GetHeight() - 1, false);
        EXPECT_EQ(q.rgbRed, c.first.rgbRed);
        EXPECT_EQ(q.rgbGreen, c.first.rgbGreen);
        EXPECT_EQ(q.rgbBlue, c.first.rgbBlue);
    }
}

// Damaged and lying files fail with a text and never allocate what they
// merely claim.
TEST(JasCodec, DamagedFilesFail)
{
    const std::string rasHead("\x59\xA6\x6A\x95\x7F\xFF\xFF\xFF\x7F\xFF\xFF\xFF\0\0\0\x18"
                              "\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0",
                              32);
    const std::string rasRle("\x59\xA6\x6A\x95\0\0\x40\0\0\0\x40\0\0\0\0\x08"
                             "\0\0\0\3\0\0\0\2\0\0\0\0\0\0\0\0\x80\xFF\x01",
                             35);
    const std::string kFiles[] = {
        "P6 100000 100000 255\n\1\2\3",
        "P3 2 2 255 1 2 3",
        "P5 2 2 0\n\0\0\0\0",
        "P7 1 1 255\n\0",
        "PG ML +8 99999 99999\n\0",
        "PG XX +8 1 1\n\0",
        "PG ML +17 1 1\n\0\0",
        rasHead,
        rasRle,
        std::string("\0\0\0\x0cjP  \r\n\x87\n\0\0\0\0", 16),
        std::string("\xFF\x4F\xFF\x51\0\x2F\0\0", 8),
    };
    for (const std::string& f : kFiles) {
        SCOPED_TRACE(f.substr(0, 12));
        for (DWORD type : {RASTER_FORMAT_UNKNOWN, RASTER_FORMAT_JP2, RASTER_FORMAT_PNM}) {
            RasterImage img;
            EXPECT_FALSE(img.Decode((BYTE*)f.data(), (DWORD)f.size(), type));
            EXPECT_FALSE(img.IsValid());
            if (type != RASTER_FORMAT_UNKNOWN) {
                EXPECT_STRNE(img.GetLastError(), "");
            }
        }
    }
}

}  // namespace

namespace {

// Codestreams OpenJPEG's own encoder makes from raw samples: three
// components of different sizes are three grey frames; 12-bit samples are
// scaled to 8 through the sRGB conversion.
TEST_F(JasTest, OpenJpegCodestreamsOfOddShapes)
{
    // 16 x 16 luma, then two 8 x 8 chroma planes.
    Bytes raw;
    for (int i = 0; i < 256; i++)
        raw.push_back((uint8_t)i);
    for (int i = 0; i < 128; i++)
        raw.push_back((uint8_t)(200 - i));
    WriteFile(Path("sub.raw"), raw);
    const std::string sub = Path("sub.j2k");
    ASSERT_TRUE(RunQuiet("opj_compress -n 2 -F 16,16,3,8,u@1x1:2x2:2x2 -i '" + Path("sub.raw") +
                         "' -o '" + sub + "' >/dev/null"));
    RasterImage frames[3];
    const DWORD sides[3] = {16, 8, 8};
    for (long f = 0; f < 3; f++) {
        frames[f].SetFrame(f);
        ASSERT_TRUE(frames[f].Load(sub.c_str(), RASTER_FORMAT_JPC)) << frames[f].GetLastError();
        EXPECT_EQ(frames[f].GetNumFrames(), 3);
        EXPECT_EQ(frames[f].GetWidth(), sides[f]);
        EXPECT_EQ(frames[f].GetBpp(), 8);
    }
    EXPECT_EQ(frames[0].GetPixelIndex(5, 15), 5);  // the top row holds 0..15
    EXPECT_EQ(frames[1].GetPixelIndex(0, 7), 200);
    RasterImage past;
    past.SetFrame(3);
    EXPECT_FALSE(past.Load(sub.c_str(), RASTER_FORMAT_JPC));
    EXPECT_STREQ(past.GetLastError(), "wrong frame!");

    // Four equal components (colour and alpha): a colour picture, the
    // alpha left aside.
    WriteFile(Path("rgba.raw"), Bytes{10, 20, 30, 40, 50, 60, 70, 80});
    const std::string rgba = Path("rgba.j2k");
    ASSERT_TRUE(RunQuiet("opj_compress -n 1 -F 2,1,4,8,u -i '" + Path("rgba.raw") + "' -o '" +
                         rgba + "' >/dev/null"));
    RasterImage four;
    ASSERT_TRUE(four.Load(rgba.c_str(), RASTER_FORMAT_JPC)) << four.GetLastError();
    EXPECT_EQ(four.GetBpp(), 24);
    const RGBQUAD q = four.GetPixelColor(1, 0, false);
    EXPECT_EQ(q.rgbRed, 20);
    EXPECT_EQ(q.rgbGreen, 40);
    EXPECT_EQ(q.rgbBlue, 60);

    // One 12-bit component, big-endian samples 0, 4095.
    WriteFile(Path("deep.raw"), Bytes{0x00, 0x00, 0x0F, 0xFF});
    const std::string deep = Path("deep.j2k");
    ASSERT_TRUE(RunQuiet("opj_compress -n 1 -F 2,1,1,12,u -i '" + Path("deep.raw") + "' -o '" +
                         deep + "' >/dev/null"));
    RasterImage img;
    ASSERT_TRUE(img.Load(deep.c_str(), RASTER_FORMAT_JPC)) << img.GetLastError();
    EXPECT_EQ(img.GetBpp(), 24);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbGreen, 0);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbGreen, 255);
}

namespace {

// Random pixels at full quality: 24-bit colours, or 8-bit grey levels.
void FillRandom(RasterImage& img, bool colour, std::mt19937& rng)
{
    if (!colour)
        img.SetGrayPalette();
    for (DWORD y = 0; y < img.GetHeight(); y++)
        for (DWORD x = 0; x < img.GetWidth(); x++) {
            if (colour)
                img.SetPixelColor((long)x, (long)y,
                                  RGBQUAD{(BYTE)rng(), (BYTE)rng(), (BYTE)rng(), 0});
            else
                img.SetPixelIndex((long)x, (long)y, (BYTE)rng());
        }
    img.SetJpegQuality(100);
}

}  // namespace

}  // namespace

namespace {

// Random pictures of random sizes come back exactly from every lossless
// member of the family, and every prefix of each file either fails with a
// text or decodes (a short PNM can still be whole), never crashing.
// Quality 100 is lossless at every size, however narrow or short: the
// resolution levels follow the picture's shorter side, so the colour
// transform never runs over levels a small picture does not have.
TEST(JasCodec, QualityHundredIsLosslessAtEverySmallSize)
{
    std::vector<std::pair<DWORD, DWORD>> sizes;
    for (DWORD h = 1; h <= 8; h++)
        for (DWORD w = 1; w <= 8; w++)
            sizes.push_back({w, h});
    std::mt19937 rng(34);
    for (int i = 0; i < 24; i++)
        sizes.push_back({1 + rng() % 70, 1 + rng() % 70});
    for (DWORD type : {RASTER_FORMAT_JP2, RASTER_FORMAT_JPC})
        for (bool colour : {true, false})
            for (const auto& size : sizes) {
                const DWORD w = size.first, h = size.second;
                SCOPED_TRACE(std::to_string(type) + (colour ? " colour " : " grey ") +
                             std::to_string(w) + "x" + std::to_string(h));
                RasterImage img(w, h, colour ? 24 : 8, RASTER_FORMAT_BMP);
                FillRandom(img, colour, rng);
                Bytes file = EncodedBytes(img, type);
                ASSERT_FALSE(file.empty()) << img.GetLastError();
                RasterImage back;
                ASSERT_TRUE(back.Decode(file.data(), (DWORD)file.size(), type))
                    << back.GetLastError();
                int wrong = 0;
                for (DWORD y = 0; y < h; y++)
                    for (DWORD x = 0; x < w; x++) {
                        RGBQUAD p = img.GetPixelColor((long)x, (long)y, false);
                        RGBQUAD q = back.GetPixelColor((long)x, (long)y, false);
                        wrong += memcmp(&p, &q, 3) != 0;
                    }
                EXPECT_EQ(0, wrong);
            }
}

TEST(JasCodec, RandomRoundTripsAndTruncations)
{
    struct Member {
        DWORD type;
        bool colour;
    };
    static const Member kMembers[] = {
        {RASTER_FORMAT_PNM, true},  {RASTER_FORMAT_PNM, false}, {RASTER_FORMAT_RAS, true},
        {RASTER_FORMAT_RAS, false}, {RASTER_FORMAT_PGX, false}, {RASTER_FORMAT_JP2, true},
        {RASTER_FORMAT_JPC, false},
    };
    std::mt19937 rng(19);
    for (int round = 0; round < 6; round++)
        for (const Member& m : kMembers) {
            const DWORD w = 1 + rng() % 23, h = 1 + rng() % 17;
            SCOPED_TRACE(std::to_string(m.type) + " " + std::to_string(w) + "x" +
                         std::to_string(h));
            RasterImage img(w, h, m.colour ? 24 : 8, RASTER_FORMAT_BMP);
            FillRandom(img, m.colour, rng);
            Bytes file = EncodedBytes(img, m.type);
            ASSERT_FALSE(file.empty()) << img.GetLastError();
            RasterImage back;
            ASSERT_TRUE(back.Decode(file.data(), (DWORD)file.size(), m.type))
                << back.GetLastError();
            EXPECT_EQ(back.GetBpp(), img.GetBpp());
            for (DWORD y = 0; y < h; y++)
                for (DWORD x = 0; x < w; x++) {
                    RGBQUAD p = img.GetPixelColor((long)x, (long)y, false);
                    RGBQUAD q = back.GetPixelColor((long)x, (long)y, false);
                    ASSERT_TRUE(p.rgbRed == q.rgbRed && p.rgbGreen == q.rgbGreen &&
                                p.rgbBlue == q.rgbBlue)
                        << x << "," << y;
                }
            for (size_t cut = 0; cut < file.size(); cut += 1 + file.size() / 40) {
                Bytes part(file.begin(), file.begin() + (long)cut);
                RasterImage t;
                if (!t.Decode(part.empty() ? nullptr : part.data(), (DWORD)part.size(), m.type)) {
                    EXPECT_FALSE(t.IsValid());
                    if (!part.empty()) {
                        EXPECT_STRNE(t.GetLastError(), "");
                    }
                }
            }
        }
}

}  // namespace
