// The JPEG codec: files written here with libjpeg decoded to the same pixels
// djpeg gives (baseline, progressive, restart markers, grey, arithmetic; full
// size and scaled by 1/2, 1/4, 1/8; grey and quantised output), CMYK and
// YCCK within 1, our encodes against libjpeg's own and read back by djpeg and
// ImageMagick at the quality asked, resolution from JFIF and EXIF, and the
// failures a damaged or cancelled decode reports.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <raster.h>
#include "encoded_bytes.h"
#include "jpeg_maker.h"
#include "magick.h"
#include "test_files.h"

namespace {

bool HaveDjpeg()
{
    static const bool have = HaveTool("djpeg -version");
    return have;
}

// The picture djpeg makes of `jpg` with its options `args`.
bool Djpeg(const Bytes& jpg, const std::string& args, Pnm& out)
{
    TempDir dir("kjpeg");
    WriteFile(dir.Path("in.jpg"), jpg);
    if (!RunQuiet("djpeg " + args + " -pnm -outfile " + dir.Path("out.pnm") + " " + dir.Path("in.jpg")))
        return false;
    return ReadPnm(ReadFile(dir.Path("out.pnm")), out);
}

bool DecodeWith(RasterImage& img, const Bytes& jpg, BYTE scale = 0, DWORD options = 0, BYTE quality = 90)
{
    img.SetJpegScale(scale);
    img.SetCodecOption(options);
    img.SetJpegQuality(quality);
    return img.Decode(const_cast<BYTE*>(jpg.data()), DWORD(jpg.size()), RASTER_FORMAT_JPG);
}

// Every pixel of img against djpeg's picture (rows from the top), each
// channel within `tolerance`; grey pictures compare the palette colour.
void ExpectPixels(const RasterImage& img, const Pnm& ref, int tolerance = 0)
{
    ASSERT_EQ(long(img.GetWidth()), ref.width);
    ASSERT_EQ(long(img.GetHeight()), ref.height);
    int worst = 0, bad = 0;
    for (int y = 0; y < ref.height; y++)
        for (int x = 0; x < ref.width; x++) {
            const RGBQUAD p = img.GetPixelColor(x, ref.height - 1 - y, false);
            const int ours[3] = {p.rgbRed, p.rgbGreen, p.rgbBlue};
            for (int c = 0; c < 3; c++) {
                const int d = std::abs(ours[c] - ref.At(x, y, ref.channels == 1 ? 0 : c));
                worst = std::max(worst, d);
                bad += d > tolerance;
            }
        }
    EXPECT_LE(worst, tolerance);
    EXPECT_EQ(bad, 0);
}

struct DecodeCase {
    const char* name;
    std::function<void(JpegRecipe&)> make;
    DWORD options;
    BYTE quality;           // the colour count when quantising
    std::string djpegArgs;  // djpeg's options for the same output
};

TEST(RasterJpeg, DecodesLikeDjpegAtEveryScale)
{
    if (!HaveDjpeg())
        GTEST_SKIP() << "djpeg is not installed";
    auto grey = [](JpegRecipe& r) {
        r.components = 1;
        r.input = JCS_GRAYSCALE;
    };
    const DecodeCase cases[] = {
        {"baseline 4:2:0", [](JpegRecipe&) {}, 0, 90, ""},
        {"baseline 4:4:4", [](JpegRecipe& r) { r.full444 = true; }, 0, 90, ""},
        {"progressive", [](JpegRecipe& r) { r.progressive = true; }, 0, 90, ""},
        {"restart markers", [](JpegRecipe& r) { r.restartRows = 1; r.quality = 60; }, 0, 90, ""},
        {"grey", grey, 0, 90, ""},
        {"arithmetic", [](JpegRecipe& r) { r.arithmetic = true; }, 0, 90, ""},
        {"colour as grey", [](JpegRecipe&) {}, JPG_DECODE_GRAYSCALE, 90, "-grayscale"},
        {"plain upsampling", [](JpegRecipe&) {}, JPG_DECODE_NO_FANCY_UPSAMPLING, 90, "-nosmooth"},
        {"quantised to 16", [](JpegRecipe&) {}, JPG_DECODE_QUANTIZE, 16, "-colors 16"},
        {"quantised one pass", [](JpegRecipe&) {}, JPG_DECODE_QUANTIZE | JPG_DECODE_ONE_PASS, 32,
         "-colors 32 -onepass"},
        {"grey quantised", grey, JPG_DECODE_QUANTIZE, 16, "-colors 16"},
    };
    for (const DecodeCase& c : cases) {
        JpegRecipe r;
        r.width = 61;
        r.height = 45;
        c.make(r);
        const Bytes jpg = MakeJpeg(r);
        for (int scale : {1, 2, 4, 8}) {
            SCOPED_TRACE(std::string(c.name) + " at 1/" + std::to_string(scale));
            Pnm ref;
            ASSERT_TRUE(Djpeg(jpg, c.djpegArgs + " -scale 1/" + std::to_string(scale), ref));
            RasterImage img;
            ASSERT_TRUE(DecodeWith(img, jpg, BYTE(scale), c.options, c.quality)) << img.GetLastError();
            EXPECT_EQ(img.GetType(), RASTER_FORMAT_JPG);
            const bool paletted = c.options != 0 && c.options != JPG_DECODE_NO_FANCY_UPSAMPLING;
            EXPECT_EQ(img.GetBpp(), (paletted || r.components == 1) ? 8 : 24);
            ExpectPixels(img, ref);
            if (c.options & JPG_DECODE_QUANTIZE) {
                // The palette is libjpeg's colour map, and no more colours are used.
                std::set<int> used;
                for (long y = 0; y < long(img.GetHeight()); y++)
                    for (long x = 0; x < long(img.GetWidth()); x++)
                        used.insert(img.GetPixelIndex(x, y));
                EXPECT_LT(*used.rbegin(), int(c.quality));
                EXPECT_FALSE(img.IsGrayScale());
            }
        }
    }
}

TEST(RasterJpeg, DitherModeReachesLibjpeg)
{
    if (!HaveDjpeg())
        GTEST_SKIP() << "djpeg is not installed";
    const Bytes jpg = MakeJpeg(JpegRecipe());
    for (int mode : {JPG_DITHER_NONE, JPG_DITHER_ORDERED, JPG_DITHER_FS}) {
        static const char* names[] = {"none", "ordered", "fs"};
        SCOPED_TRACE(names[mode]);
        Pnm ref;
        ASSERT_TRUE(Djpeg(jpg, std::string("-colors 16 -onepass -dither ") + names[mode], ref));
        RasterImageJPG img;
        img.nDitherMode = mode;
        img.SetJpegQuality(16);
        img.SetCodecOption(JPG_DECODE_QUANTIZE | JPG_DECODE_DITHER | JPG_DECODE_ONE_PASS);
        RasterMemFile file(const_cast<BYTE*>(jpg.data()), DWORD(jpg.size()));
        ASSERT_TRUE(img.Decode(&file)) << img.GetLastError();
        ExpectPixels(img, ref);
    }
    RasterImageJPG bad;
    bad.nDitherMode = 7;
    bad.SetCodecOption(JPG_DECODE_QUANTIZE | JPG_DECODE_DITHER);
    RasterMemFile file(const_cast<BYTE*>(jpg.data()), DWORD(jpg.size()));
    EXPECT_FALSE(bad.Decode(&file));
}

TEST(RasterJpeg, CmykAndYcckWithinOneOfDjpeg)
{
    if (!HaveDjpeg())
        GTEST_SKIP() << "djpeg is not installed";
    for (bool ycck : {false, true}) {
        SCOPED_TRACE(ycck ? "YCCK" : "CMYK");
        JpegRecipe r;
        r.components = 4;
        r.input = JCS_CMYK;
        r.stored = ycck ? JCS_YCCK : JCS_CMYK;
        r.full444 = true;
        const Bytes jpg = MakeJpeg(r);
        for (int scale : {1, 2}) {
            Pnm ref;
            ASSERT_TRUE(Djpeg(jpg, "-scale 1/" + std::to_string(scale), ref));
            ASSERT_EQ(ref.channels, 3);
            RasterImage img;
            ASSERT_TRUE(DecodeWith(img, jpg, BYTE(scale))) << img.GetLastError();
            EXPECT_EQ(img.GetBpp(), 24);
            ExpectPixels(img, ref, 1);
        }
    }
}

TEST(RasterJpeg, ScaleZeroIsFullSizeAndSizeOnlyDecodeIsScaled)
{
    const Bytes jpg = MakeJpeg(JpegRecipe());  // 37 x 29
    const struct {
        BYTE scale;
        DWORD w, h;
    } cases[] = {{0, 37, 29}, {1, 37, 29}, {2, 19, 15}, {4, 10, 8}, {8, 5, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.scale));
        RasterImage full;
        ASSERT_TRUE(DecodeWith(full, jpg, c.scale));
        EXPECT_EQ(full.GetWidth(), c.w);
        EXPECT_EQ(full.GetHeight(), c.h);
        RasterImage size;
        size.SetEscape(-1);
        ASSERT_TRUE(DecodeWith(size, jpg, c.scale));
        EXPECT_FALSE(size.IsValid());
        EXPECT_EQ(size.GetWidth(), c.w);
        EXPECT_EQ(size.GetHeight(), c.h);
    }
}

// ---------------------------------------------------------------------------
// Encoding.

// 24-bit pictures with shading and detail, and the same pixels as RGB rows
// from the top for libjpeg.
RasterImage* Shaded(DWORD w, DWORD h, Bytes& rgb)
{
    RasterImage* img = new RasterImage(w, h, 24, RASTER_FORMAT_JPG);
    rgb.clear();
    for (DWORD y = 0; y < h; y++)
        for (DWORD x = 0; x < w; x++) {
            const BYTE px[3] = {BYTE(x * 5 + y), BYTE(y * 7 ^ x), BYTE((x * y) >> 2)};
            rgb.insert(rgb.end(), px, px + 3);
            img->SetPixelColor(long(x), long(h - 1 - y), RGB(px[0], px[1], px[2]));
        }
    return img;
}

// What libjpeg itself writes for the same pixels with the codec's settings.
Bytes LibjpegEncode(const Bytes& rgb, DWORD w, DWORD h, int quality, bool baseline, bool grey,
                    int smoothing = 0)
{
    JpegSettings s;
    s.quality = quality;
    s.baseline = baseline;
    if (grey)
        s.stored = JCS_GRAYSCALE;
    s.smoothing = smoothing;
    s.densityUnit = 1;
    s.xDensity = s.yDensity = 96;
    return EncodeJpeg(rgb.data(), int(w), int(h), 3, JCS_RGB, s);
}

// The file's first quantisation table and its component count, as libjpeg reads them.
bool ReadTables(const Bytes& jpg, std::vector<int>& table, int& components)
{
    jpeg_decompress_struct d;
    jpeg_error_mgr e;
    d.err = jpeg_std_error(&e);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpg.data(), jpg.size());
    const bool ok = jpeg_read_header(&d, TRUE) == JPEG_HEADER_OK && d.quant_tbl_ptrs[0] != nullptr;
    if (ok) {
        table.assign(d.quant_tbl_ptrs[0]->quantval, d.quant_tbl_ptrs[0]->quantval + DCTSIZE2);
        components = d.num_components;
    }
    jpeg_destroy_decompress(&d);
    return ok;
}

TEST(RasterJpeg, EncodesWhatLibjpegWritesAtTheQualityAsked)
{
    Bytes rgb;
    std::unique_ptr<RasterImage> img(Shaded(53, 27, rgb));
    for (int quality : {10, 75, 95}) {
        for (bool baseline : {false, true}) {
            SCOPED_TRACE(std::to_string(quality) + (baseline ? " baseline" : ""));
            img->SetJpegQuality(BYTE(quality));
            img->SetCodecOption(baseline ? JPG_ENCODE_BASELINE : 0);
            const Bytes ours = EncodedBytes(*img, RASTER_FORMAT_JPG);
            EXPECT_EQ(ours, LibjpegEncode(rgb, 53, 27, quality, baseline, false));
            std::vector<int> table;
            int components = 0;
            ASSERT_TRUE(ReadTables(ours, table, components));
            EXPECT_EQ(components, 3);
        }
    }
    // Grey output on request (only for an image whose format is JPEG).
    img->SetJpegQuality(75);
    img->SetCodecOption(JPG_ENCODE_GRAYSCALE);
    EXPECT_EQ(EncodedBytes(*img, RASTER_FORMAT_JPG), LibjpegEncode(rgb, 53, 27, 75, false, true));

    // Smoothing, through the codec class that carries the factor.
    RasterImageJPG jpg;
    jpg.Copy(*img);
    jpg.nSmoothingFactor = 40;
    jpg.SetCodecOption(JPG_ENCODE_SMOOTHING);
    RasterMemFile out;
    ASSERT_TRUE(out.Open());
    ASSERT_TRUE(jpg.Encode(&out));
    const Bytes smoothed(out.GetBuffer(false), out.GetBuffer(false) + out.Size());
    EXPECT_EQ(smoothed, LibjpegEncode(rgb, 53, 27, 75, false, false, 40));
}

TEST(RasterJpeg, OptionsOfAnotherFormatDoNotChangeAnEncode)
{
    Bytes rgb;
    std::unique_ptr<RasterImage> jpgImage(Shaded(16, 16, rgb));
    RasterImage other(16, 16, 24, RASTER_FORMAT_PNG);
    for (long y = 0; y < 16; y++)
        for (long x = 0; x < 16; x++)
            other.SetPixelColor(x, y, jpgImage->GetPixelColor(x, y, false));
    for (RasterImage* img : {jpgImage.get(), &other}) {
        img->SetCodecOption(JPG_ENCODE_GRAYSCALE | JPG_ENCODE_BASELINE);
        std::vector<int> table;
        int components = 0;
        ASSERT_TRUE(ReadTables(EncodedBytes(*img, RASTER_FORMAT_JPG), table, components));
        EXPECT_EQ(components, img == &other ? 3 : 1);
    }
}

TEST(RasterJpeg, EncodesReadBackByDjpegAndImageMagick)
{
    if (!HaveDjpeg())
        GTEST_SKIP() << "djpeg is not installed";
    Bytes rgb;
    std::unique_ptr<RasterImage> img(Shaded(40, 33, rgb));
    const bool magick = HaveTool("identify -version");
    for (int quality : {50, 75, 95}) {
        SCOPED_TRACE(quality);
        img->SetJpegQuality(BYTE(quality));
        const Bytes jpg = EncodedBytes(*img, RASTER_FORMAT_JPG);
        Pnm ref;
        ASSERT_TRUE(Djpeg(jpg, "", ref));
        RasterImage back;
        ASSERT_TRUE(DecodeWith(back, jpg));
        ExpectPixels(back, ref);
        if (magick) {
            TempDir dir("kjpegq");
            WriteFile(dir.Path("q.jpg"), jpg);
            const std::string cmd = "identify -format '%Q %w %h' " + dir.Path("q.jpg") + " 2>/dev/null";
            FILE* p = popen(cmd.c_str(), "r");
            ASSERT_NE(p, nullptr);
            int q = 0, w = 0, h = 0;
            EXPECT_EQ(fscanf(p, "%d %d %d", &q, &w, &h), 3);
            pclose(p);
            EXPECT_EQ(q, quality);
            EXPECT_EQ(w, 40);
            EXPECT_EQ(h, 33);
        }
    }
}

TEST(RasterJpeg, GreyImagesEncodeAsOneComponentAndColourPalettesAreRefused)
{
    RasterImage grey(9, 5, 8, 0);
    grey.SetGrayPalette();
    for (long y = 0; y < 5; y++)
        for (long x = 0; x < 9; x++)
            grey.SetPixelIndex(x, y, BYTE(x * 28 + y));
    std::vector<int> table;
    int components = 0;
    Bytes jpg = EncodedBytes(grey, RASTER_FORMAT_JPG);
    ASSERT_TRUE(ReadTables(jpg, table, components));
    EXPECT_EQ(components, 1);
    RasterImage back;
    ASSERT_TRUE(DecodeWith(back, jpg));
    EXPECT_TRUE(back.IsGrayScale());

    // A 4-bit palette of grey levels 0..15 counts as grey: its pixels are
    // widened to one byte each.
    RasterImage dark(6, 2, 4, 0);
    for (BYTE i = 0; i < 16; i++)
        dark.SetPaletteColor(i, i, i, i);
    for (long x = 0; x < 6; x++)
        dark.SetPixelIndex(x, 0, BYTE(x * 3));
    jpg = EncodedBytes(dark, RASTER_FORMAT_JPG);
    ASSERT_FALSE(jpg.empty()) << dark.GetLastError();
    ASSERT_TRUE(DecodeWith(back, jpg));
    EXPECT_NEAR(back.GetPixelIndex(5, 0), 15, 2);

    RasterImage colour(4, 4, 8, 0);
    colour.SetStdPalette();
    BYTE* out = nullptr;
    long size = 0;
    EXPECT_FALSE(colour.Encode(out, size, RASTER_FORMAT_JPG));
    EXPECT_STREQ(colour.GetLastError(), "JPEG can save only RGB or GreyScale images");
}

// A stream that takes only `room` bytes and then writes short.
class FullDisk : public RasterMemFile {
public:
    explicit FullDisk(size_t room) : m_room(room) { Open(); }
    size_t Write(const void* buffer, size_t size, size_t count) override
    {
        const size_t n = std::min(size * count, m_room);
        m_room -= n;
        return n == 0 ? 0 : RasterMemFile::Write(buffer, 1, n) / size;
    }

private:
    size_t m_room;
};

TEST(RasterJpeg, AShortWriteIsReported)
{
    Bytes rgb;
    std::unique_ptr<RasterImage> big(Shaded(300, 200, rgb));
    std::unique_ptr<RasterImage> small(Shaded(8, 8, rgb));
    // Nothing written; a full buffer written short; the last, partial buffer
    // written short (the file would lose its end).
    const struct {
        RasterImage* img;
        size_t room;
    } cases[] = {{big.get(), 0}, {big.get(), 5000}, {small.get(), 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.room);
        FullDisk disk(c.room);
        EXPECT_FALSE(c.img->Encode(&disk, RASTER_FORMAT_JPG));
        EXPECT_STREQ(c.img->GetLastError(), "Output file write error --- out of disk space?");
    }
}

// ---------------------------------------------------------------------------
// Resolution.

TEST(RasterJpeg, ResolutionFromJfifAndExif)
{
    auto exifResolution = [](int x, int unit) {
        ExifWriter w(false);
        w.AddDirectory({w.RationalTag(282, x, 1), w.RationalTag(283, x, 1), w.ShortTag(296, uint16_t(unit))});
        return w.Payload();
    };
    ExifWriter noResolution(true);
    noResolution.AddDirectory({noResolution.Ascii(271, "Maker")});
    const struct {
        const char* name;
        bool jfif;
        int unit, x, y;
        Bytes exif;
        long dpiX, dpiY;
    } cases[] = {
        {"unit 0", true, 0, 1, 1, {}, 1, 1},
        {"unit 1", true, 1, 300, 150, {}, 300, 150},
        {"unit 2", true, 2, 28, 40, {}, 71, 102},
        {"no JFIF header", false, 1, 300, 300, {}, 96, 96},
        {"EXIF inches wins", true, 1, 300, 300, exifResolution(72, 2), 72, 72},
        {"EXIF centimetres", true, 1, 300, 300, exifResolution(28, 3), 71, 71},
        {"EXIF without resolution", true, 1, 300, 200, noResolution.Payload(), 300, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JpegRecipe r;
        r.jfif = c.jfif;
        r.densityUnit = c.unit;
        r.xDensity = c.x;
        r.yDensity = c.y;
        if (!c.exif.empty())
            r.markers.push_back({JPEG_APP0 + 1, c.exif});
        RasterImage img;
        ASSERT_TRUE(DecodeWith(img, MakeJpeg(r)));
        EXPECT_EQ(img.GetXDPI(), c.dpiX);
        EXPECT_EQ(img.GetYDPI(), c.dpiY);
    }
}

TEST(RasterJpeg, EncodeWritesTheResolutionInDotsPerInch)
{
    RasterImage img(8, 8, 24, 0);
    img.Clear(0x80);
    img.SetXDPI(300);
    img.SetYDPI(100000);  // more than the file's field holds
    RasterImage back;
    ASSERT_TRUE(DecodeWith(back, EncodedBytes(img, RASTER_FORMAT_JPG)));
    EXPECT_EQ(back.GetXDPI(), 300);
    EXPECT_EQ(back.GetYDPI(), 65535);
}

// ---------------------------------------------------------------------------
// Failures, the dispatch and the class itself.

TEST(RasterJpeg, DamagedAndCancelledDecodes)
{
    const Bytes jpg = MakeJpeg(JpegRecipe());
    RasterImage img;
    RasterMemFile empty(const_cast<BYTE*>(jpg.data()), 0);
    EXPECT_FALSE(img.Decode(&empty, RASTER_FORMAT_JPG));
    EXPECT_STREQ(img.GetLastError(), "Empty input file");

    Bytes notJpeg = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
    EXPECT_FALSE(DecodeWith(img, notJpeg));
    EXPECT_STREQ(img.GetLastError(), "Not a JPEG file: starts with 0x47 0x49");

    // Cut inside the scan: the picture decodes, with libjpeg's warning.
    const Bytes cut(jpg.begin(), jpg.begin() + long(jpg.size() / 2));
    ASSERT_TRUE(DecodeWith(img, cut));
    EXPECT_EQ(img.GetWidth(), 37u);
    EXPECT_STREQ(img.GetLastError(), "Premature end of JPEG file");

    RasterImage cancelled;
    cancelled.SetEscape(1);
    EXPECT_FALSE(DecodeWith(cancelled, jpg));
    EXPECT_STREQ(cancelled.GetLastError(), "Cancelled");
    EXPECT_FALSE(cancelled.IsValid());
}

TEST(RasterJpeg, ComponentCountsWithoutAPixelLayoutAreRefused)
{
    {
        JpegRecipe r;  // two components (libjpeg itself refuses more than four)
        r.components = 2;
        r.input = JCS_UNKNOWN;
        r.full444 = true;
        r.jfif = false;
        RasterImage img;
        EXPECT_FALSE(DecodeWith(img, MakeJpeg(r)));
        EXPECT_STREQ(img.GetLastError(), "Unsupported color conversion request");
    }
}

TEST(RasterJpeg, SizesTheDataCannotBackAreRefused)
{
    JpegRecipe r;
    r.width = r.height = 16;
    Bytes jpg = MakeJpeg(r);
    // Claim 60000 x 60000 in the frame header of a file of a few hundred bytes.
    size_t sof = 2;
    while (!(jpg[sof] == 0xFF && jpg[sof + 1] == 0xC0))
        sof++;
    jpg[sof + 5] = jpg[sof + 7] = 0xEA;
    jpg[sof + 6] = jpg[sof + 8] = 0x60;
    RasterImage img;
    EXPECT_FALSE(DecodeWith(img, jpg));
    EXPECT_STREQ(img.GetLastError(), "RASTER_MAX_MEMORY exceeded");
    // The size alone is still there to ask for.
    img.SetEscape(-1);
    ASSERT_TRUE(DecodeWith(img, jpg));
    EXPECT_EQ(img.GetWidth(), 60000u);
}

TEST(RasterJpeg, ProbeFindsJpegAfterBmp)
{
    const Bytes jpg = MakeJpeg(JpegRecipe());
    RasterImage img(const_cast<BYTE*>(jpg.data()), DWORD(jpg.size()), RASTER_FORMAT_UNKNOWN);
    ASSERT_TRUE(img.IsValid());
    EXPECT_EQ(img.GetType(), RASTER_FORMAT_JPG);
    TempDir dir("kjpegload");
    WriteFile(dir.Path("p.jpg"), jpg);
    RasterImage byPath;
    ASSERT_TRUE(byPath.Load(dir.Path("p.jpg").c_str(), RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(byPath.GetWidth(), 37u);
    EXPECT_FALSE(byPath.Load(dir.Path("p.jpg").c_str(), RASTER_FORMAT_BMP));
}

TEST(RasterJpeg, CopiesKeepTheExifRecordAndSettings)
{
    ExifWriter w(false);
    w.AddDirectory({w.Ascii(271, "Kestrel"), w.ShortTag(274, 6)});
    JpegRecipe r;
    r.markers.push_back({JPEG_APP0 + 1, w.Payload()});
    const Bytes jpg = MakeJpeg(r);
    RasterImageJPG img;
    img.nSmoothingFactor = 30;
    RasterMemFile file(const_cast<BYTE*>(jpg.data()), DWORD(jpg.size()));
    ASSERT_TRUE(img.Decode(&file));
    RasterImageJPG copy(img);
    EXPECT_STREQ(copy.ExifRecord.szCameraMake, "Kestrel");
    EXPECT_EQ(copy.ExifRecord.nOrientation, 6);
    EXPECT_EQ(copy.nSmoothingFactor, 30);
    EXPECT_EQ(copy.GetWidth(), 37u);
    RasterImageJPG assigned;
    assigned = img;
    EXPECT_TRUE(assigned.ExifRecord.bIsExif);
    EXPECT_EQ(assigned.GetPixelColor(3, 3).rgbRed, img.GetPixelColor(3, 3).rgbRed);
    // The thumbnail pointer never outlives the reader's copy of the section.
    EXPECT_EQ(img.ExifRecord.pThumbnail, nullptr);
}

}  // namespace
