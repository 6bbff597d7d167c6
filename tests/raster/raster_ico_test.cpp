// The ICO codec: icons and cursors built here with every depth and a PNG
// entry, the mask rules, sides of 256, refused files, and ImageMagick's
// icons and cursors decoded by us and ours by it.
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

void Put16(Bytes& b, uint32_t v)
{
    b.push_back((BYTE)v);
    b.push_back((BYTE)(v >> 8));
}

void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// One image of an icon file: its directory fields and its data.
struct IcoImage {
    int w, h, bpp;
    Bytes data;
};

// A bitmap entry: header, `colours` palette entries, the colour rows and the
// mask rows, all bottom-up. px holds indices (up to 8 bits) or B, G, R(, A)
// bytes, rows from the bottom; mask holds one 0/1 per pixel.
IcoImage BitmapEntry(int w, int h, int bpp, const std::vector<RGBQUAD>& palette, const Bytes& px,
                     const Bytes& mask, bool withMask = true)
{
    IcoImage img{w, h, bpp, {}};
    Bytes& b = img.data;
    Put32(b, 40);
    Put32(b, (uint32_t)w);
    Put32(b, (uint32_t)h * 2);
    Put16(b, 1);
    Put16(b, (uint32_t)bpp);
    for (int i = 0; i < 6; i++)
        Put32(b, i == 4 ? (uint32_t)palette.size() : 0);
    for (const RGBQUAD& q : palette)
        b.insert(b.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
    const size_t rowBytes = ((size_t)w * bpp + 31) / 32 * 4;
    const int bytesPer = bpp / 8;
    for (int y = 0; y < h; y++) {
        Bytes row(rowBytes, 0);
        for (int x = 0; x < w; x++) {
            const size_t i = (size_t)y * w + x;
            if (bpp >= 24)
                memcpy(&row[(size_t)x * bytesPer], &px[i * bytesPer], (size_t)bytesPer);
            else
                row[(size_t)x * bpp / 8] |= (BYTE)(px[i] << (8 - bpp - (x * bpp) % 8));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    if (!withMask)
        return img;
    const size_t maskRow = ((size_t)w + 31) / 32 * 4;
    for (int y = 0; y < h; y++) {
        Bytes row(maskRow, 0);
        for (int x = 0; x < w; x++)
            if (mask[(size_t)y * w + x])
                row[(size_t)x / 8] |= (BYTE)(0x80 >> (x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
    return img;
}

Bytes IcoFile(const std::vector<IcoImage>& images, int type = 1)
{
    Bytes b;
    Put16(b, 0);
    Put16(b, (uint32_t)type);
    Put16(b, (uint32_t)images.size());
    uint32_t offset = 6 + 16 * (uint32_t)images.size();
    for (const IcoImage& i : images) {
        b.push_back((BYTE)(i.w & 0xFF));
        b.push_back((BYTE)(i.h & 0xFF));
        b.push_back((BYTE)(i.bpp <= 8 ? (1 << i.bpp) & 0xFF : 0));
        b.push_back(0);
        Put16(b, 1);
        Put16(b, (uint32_t)i.bpp);
        Put32(b, (uint32_t)i.data.size());
        Put32(b, offset);
        offset += (uint32_t)i.data.size();
    }
    for (const IcoImage& i : images)
        b.insert(b.end(), i.data.begin(), i.data.end());
    return b;
}

std::vector<RGBQUAD> Palette(int n)
{
    std::vector<RGBQUAD> p;
    for (int i = 0; i < n; i++)
        p.push_back(Quad((BYTE)(i * 17 + 3), (BYTE)(250 - i * 7), (BYTE)(i * 31)));
    return p;
}

bool Decode(RasterImage& img, const Bytes& file, long frame)
{
    img.SetFrame(frame);
    return img.Decode(const_cast<BYTE*>(file.data()), (DWORD)file.size(), RASTER_FORMAT_ICO);
}

Bytes EncodeIco(RasterImage& img)
{
    BYTE* out = nullptr;
    long size = 0;
    EXPECT_TRUE(img.Encode(out, size, RASTER_FORMAT_ICO)) << img.GetLastError();
    Bytes b(out, out + (out ? size : 0));
    free(out);
    return b;
}

}  // namespace

TEST(IcoDecode, EveryDepthAndThePngEntry)
{
    std::mt19937 rng(3);
    std::vector<IcoImage> images;
    std::vector<Bytes> pixels;
    for (int bpp : {1, 4, 8, 24, 32}) {
        const int w = 13, h = 7;
        Bytes px((size_t)w * h * (bpp >= 24 ? bpp / 8 : 1));
        for (BYTE& v : px)
            v = (BYTE)(bpp <= 8 ? rng() % (1u << bpp) : rng());
        pixels.push_back(px);
        images.push_back(BitmapEntry(w, h, bpp, bpp <= 8 ? Palette(1 << bpp) : std::vector<RGBQUAD>(), px,
                                     Bytes((size_t)w * h, 0)));
    }
    RasterImage pngSource(9, 5, 24, 0);
    for (long y = 0; y < 5; y++)
        for (long x = 0; x < 9; x++)
            pngSource.SetPixelColor(x, y, Quad((BYTE)(x * 20), (BYTE)(y * 40), 99));
    BYTE* png = nullptr;
    long pngSize = 0;
    ASSERT_TRUE(pngSource.Encode(png, pngSize, RASTER_FORMAT_PNG));
    images.push_back({9, 5, 32, Bytes(png, png + pngSize)});
    free(png);
    const Bytes file = IcoFile(images);

    const int depths[] = {1, 4, 8, 24, 32};
    for (int f = 0; f < 5; f++) {
        RasterImage img;
        ASSERT_TRUE(Decode(img, file, f)) << f;
        EXPECT_EQ(6, img.GetNumFrames());
        EXPECT_EQ(depths[f] == 32 ? 24 : depths[f], img.GetBpp());
        EXPECT_EQ(depths[f] == 32, img.AlphaIsValid()) << f;
        const int bpp = depths[f];
        for (long y = 0; y < 7; y++)
            for (long x = 0; x < 13; x++) {
                const size_t i = (size_t)y * 13 + x;
                if (bpp <= 8) {
                    ASSERT_EQ(pixels[f][i], img.GetPixelIndex(x, y)) << bpp;
                } else {
                    RGBQUAD c = img.GetPixelColor(x, y, false);
                    const BYTE* p = &pixels[f][i * (bpp / 8)];
                    ASSERT_TRUE(c.rgbBlue == p[0] && c.rgbGreen == p[1] && c.rgbRed == p[2]) << bpp;
                    if (bpp == 32) {
                        ASSERT_EQ(p[3], img.AlphaGet(x, y));
                    }
                }
            }
    }
    RasterImage fromPng;
    ASSERT_TRUE(Decode(fromPng, file, 5));
    EXPECT_EQ(9u, fromPng.GetWidth());
    EXPECT_EQ(RASTER_FORMAT_ICO, fromPng.GetType());
    EXPECT_EQ(6, fromPng.GetNumFrames());
    for (long y = 0; y < 5; y++)
        for (long x = 0; x < 9; x++) {
            RGBQUAD a = pngSource.GetPixelColor(x, y, false), b = fromPng.GetPixelColor(x, y, false);
            ASSERT_EQ(0, memcmp(&a, &b, 3));
        }
}

TEST(IcoDecode, TheMaskBecomesTransparency)
{
    const int w = 4, h = 2;
    Bytes mask = {1, 0, 0, 1, 0, 0, 1, 0};
    // 4 bits using indices 0..14: index 15 takes the masked pixels.
    Bytes idx(16);
    for (int i = 0; i < 16; i++)
        idx[(size_t)i] = (BYTE)(i < 15 ? i : 3);
    Bytes mask16(16, 0);
    mask16[0] = mask16[9] = 1;
    RasterImage four;
    ASSERT_TRUE(Decode(four, IcoFile({BitmapEntry(8, 2, 4, Palette(16), idx, mask16)}), 0));
    EXPECT_EQ(15, four.GetTransIndex());
    EXPECT_FALSE(four.AlphaIsValid());
    EXPECT_EQ(15, four.GetPixelIndex(0, 0));
    EXPECT_EQ(15, four.GetPixelIndex(1, 1));
    EXPECT_EQ(1, four.GetPixelIndex(1, 0));
    // Every index in use: an alpha plane instead.
    Bytes all(8);
    for (int i = 0; i < 8; i++)
        all[(size_t)i] = (BYTE)i;
    RasterImage full;
    ASSERT_TRUE(Decode(full, IcoFile({BitmapEntry(w, h, 1, Palette(2), {0, 1, 0, 1, 1, 0, 1, 0}, mask)}), 0));
    EXPECT_TRUE(full.AlphaIsValid());
    EXPECT_EQ(0, full.AlphaGet(0, 0));
    EXPECT_EQ(255, full.AlphaGet(1, 0));

    // 24 bits, masked pixels all black: black is the transparent colour.
    Bytes rgb(w * h * 3, 200);
    for (int i : {0, 3, 6})
        memset(&rgb[(size_t)i * 3], 0, 3);
    RasterImage deep;
    ASSERT_TRUE(Decode(deep, IcoFile({BitmapEntry(w, h, 24, {}, rgb, mask)}), 0));
    EXPECT_TRUE(deep.IsTransparent());
    EXPECT_FALSE(deep.AlphaIsValid());
    EXPECT_EQ(0, deep.GetTransColor().rgbRed);

    // 32 bits: the mask only forces alpha 0.
    Bytes rgba(w * h * 4, 77);
    RasterImage withAlpha;
    ASSERT_TRUE(Decode(withAlpha, IcoFile({BitmapEntry(w, h, 32, {}, rgba, mask)}), 0));
    ASSERT_TRUE(withAlpha.AlphaIsValid());
    EXPECT_EQ(0, withAlpha.AlphaGet(0, 0));
    EXPECT_EQ(77, withAlpha.AlphaGet(1, 0));

    // A mask of nothing but set bits: colours inverted, index 0 transparent.
    RasterImage inverted;
    Bytes ones(8, 1);
    ASSERT_TRUE(Decode(inverted, IcoFile({BitmapEntry(w, h, 24, {}, rgb, ones)}), 0));
    EXPECT_EQ(0, inverted.GetTransIndex());
    EXPECT_EQ(255 - 200, inverted.GetPixelColor(1, 0, false).rgbRed);
    EXPECT_EQ(255, inverted.GetPixelColor(0, 0, false).rgbRed);

    // A 32-bit entry with alpha of its own and every mask bit set is drawn
    // through its alpha: colours and alpha as stored, no transparent index.
    // One whose alpha bytes are all 0 has no alpha in use and is inverted.
    for (BYTE alpha : {BYTE(77), BYTE(0)}) {
        SCOPED_TRACE(alpha);
        Bytes pixels(w * h * 4);
        for (size_t i = 0; i < pixels.size(); i++)
            pixels[i] = (i % 4 == 3) ? alpha : BYTE(i * 13);
        RasterImage img;
        ASSERT_TRUE(Decode(img, IcoFile({BitmapEntry(w, h, 32, {}, pixels, ones)}), 0));
        EXPECT_EQ(alpha != 0 ? -1 : 0, img.GetTransIndex());
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                const BYTE* p = &pixels[((size_t)y * w + x) * 4];
                const RGBQUAD c = img.GetPixelColor(x, y, false);
                const BYTE expected = alpha != 0 ? p[2] : BYTE(255 - p[2]);
                EXPECT_EQ(expected, c.rgbRed);
                EXPECT_EQ(alpha, img.AlphaGet(x, y));
            }
    }

    // No mask at all: opaque.
    RasterImage bare;
    ASSERT_TRUE(Decode(bare, IcoFile({BitmapEntry(w, h, 24, {}, rgb, mask, false)}), 0));
    EXPECT_FALSE(bare.AlphaIsValid());
    EXPECT_FALSE(bare.IsTransparent());
}

TEST(IcoDecode, RefusedFilesAndFrames)
{
    const Bytes good = IcoFile({BitmapEntry(2, 2, 24, {}, Bytes(12, 5), Bytes(4, 0)),
                                BitmapEntry(2, 2, 24, {}, Bytes(12, 6), Bytes(4, 0)),
                                BitmapEntry(2, 2, 24, {}, Bytes(12, 7), Bytes(4, 0))});
    RasterImage third;
    ASSERT_TRUE(Decode(third, good, 2));
    EXPECT_EQ(7, third.GetPixelColor(0, 0, false).rgbRed);
    auto with = [&](size_t at, BYTE v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    struct Case {
        const char* what;
        Bytes file;
        long frame;
        long frames;  // reported after the attempt
    } cases[] = {
        {"type 3", with(2, 3), 0, 0},
        {"reserved word", with(0, 1), 0, 0},
        {"frame 3 of 3", good, 3, 3},
        {"offset past the end", with(6 + 12 + 1, 0x40), 0, 3},
        {"cut in the pixels", Bytes(good.begin(), good.begin() + 6 + 48 + 45), 0, 3},
        {"16-bit pixels", with(6 + 48 + 14, 16), 0, 3},
        {"directory cut", Bytes(good.begin(), good.begin() + 30), 0, 3},
    };
    for (const Case& c : cases) {
        RasterImage img;
        EXPECT_FALSE(Decode(img, c.file, c.frame)) << c.what;
        EXPECT_EQ(c.frames, img.GetNumFrames()) << c.what;
        EXPECT_FALSE(img.IsValid()) << c.what;
    }
}

TEST(IcoEncode, SidesOf256AlphaAndRefusals)
{
    RasterImage big(256, 256, 24, 0);
    big.AlphaCreate();
    big.AlphaSet(3, 4, 0);
    big.AlphaSet(5, 4, 99);
    Bytes b = EncodeIco(big);
    EXPECT_EQ(0, b[6]);   // 256 stored as 0
    EXPECT_EQ(0, b[7]);
    EXPECT_EQ(32, b[12]);
    RasterImage back;
    ASSERT_TRUE(Decode(back, b, 0));
    EXPECT_EQ(256u, back.GetWidth());
    EXPECT_EQ(256u, back.GetHeight());
    EXPECT_EQ(0, back.AlphaGet(3, 4));
    EXPECT_EQ(99, back.AlphaGet(5, 4));

    RasterImage wide(300, 20, 24, 0);
    BYTE* out = nullptr;
    long size = 0;
    EXPECT_FALSE(wide.Encode(out, size, RASTER_FORMAT_ICO));
    EXPECT_STREQ("Can't save this image as icon", wide.GetLastError());

    // A 32-bit icon 10 wide keeps its rows aligned both ways.
    RasterImage ten(10, 3, 24, 0);
    ten.AlphaCreate();
    for (long y = 0; y < 3; y++)
        for (long x = 0; x < 10; x++) {
            ten.SetPixelColor(x, y, Quad((BYTE)(x * 20), (BYTE)y, 1));
            ten.AlphaSet(x, y, (BYTE)(x + 1));
        }
    b = EncodeIco(ten);
    ASSERT_EQ(22u + 40 + 10 * 3 * 4 + 4 * 3, b.size());
    EXPECT_EQ(9 * 20, b[22 + 40 + 9 * 4 + 2]);
    RasterImage tenBack;
    ASSERT_TRUE(Decode(tenBack, b, 0));
    for (long y = 0; y < 3; y++)
        for (long x = 0; x < 10; x++) {
            ASSERT_EQ((BYTE)(x * 20), tenBack.GetPixelColor(x, y, false).rgbRed);
            ASSERT_EQ((BYTE)(x + 1), tenBack.AlphaGet(x, y));
        }

    // A transparent palette index comes back through the mask.
    RasterImage pal(6, 2, 4, 0);
    pal.SetPalette(Palette(16).data(), 16);
    pal.SetPixelIndex(2, 1, 9);
    pal.SetTransIndex(9);
    b = EncodeIco(pal);
    RasterImage palBack;
    ASSERT_TRUE(Decode(palBack, b, 0));
    EXPECT_TRUE(palBack.IsTransparent());
    EXPECT_EQ(palBack.GetTransIndex(), palBack.GetPixelIndex(2, 1));
    EXPECT_NE(palBack.GetTransIndex(), palBack.GetPixelIndex(1, 1));
}

// ---------------------------------------------------------------------------

class IcoMagick : public MagickFixture {
protected:
    IcoMagick() : MagickFixture("raster_ico_") {}

    Bytes MagickRgba(const std::string& file)
    {
        std::string out = Path("out.rgba");
        remove(out.c_str());
        if (!RunQuiet("convert '" + file + "' -depth 8 'rgba:" + out + "'"))
            return Bytes();
        return ReadFile(out);
    }

    // Our colours of the opaque pixels and our alpha (0 for masked ones)
    // against ImageMagick's.
    static void ExpectSame(const RasterImage& img, const Bytes& rgba, const std::string& what)
    {
        const long w = (long)img.GetWidth(), h = (long)img.GetHeight();
        ASSERT_EQ((size_t)w * h * 4, rgba.size()) << what;
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                const BYTE* m = &rgba[((size_t)y * w + x) * 4];
                const long row = h - 1 - y;
                const BYTE alpha = img.AlphaIsValid() ? img.AlphaGet(x, row) : img.IsTransparent(x, row) ? 0 : 255;
                ASSERT_EQ(alpha, m[3]) << what << " alpha at " << x << "," << y;
                if (alpha == 0)
                    continue;
                RGBQUAD c = img.GetPixelColor(x, row, false);
                ASSERT_TRUE(c.rgbRed == m[0] && c.rgbGreen == m[1] && c.rgbBlue == m[2])
                    << what << " at " << x << "," << y;
            }
    }
};

TEST_F(IcoMagick, ItsIconsAndCursorsDecodeToItsPixels)
{
    std::string src = SourcePicture(64, 64);
    std::string alpha = Path("alpha.png");
    ASSERT_TRUE(RunQuiet("convert '" + src + "' \\( +clone -fx 'i/w > 0.3 ? 1 : 0' \\) -compose CopyOpacity -composite '" +
                         alpha + "'"));
    std::string ico = Path("im.ico");
    ASSERT_TRUE(RunQuiet("convert '" + alpha + "' -define icon:auto-resize=256,48,16 '" + ico + "'"));
    // Its cursor writer gets the directory wrong: a cursor is its icon with
    // type 2 (the hot spot in the planes and bit count words is not read).
    Bytes cur = ReadFile(ico);
    cur[2] = 2;
    std::string curPath = Path("im.cur");
    WriteFile(curPath, cur);
    for (const std::string& path : {ico, curPath}) {
        Bytes b = ReadFile(path);
        for (long f = 0; f < 3; f++) {
            RasterImage img;
            ASSERT_TRUE(Decode(img, b, f)) << path << " " << f;
            EXPECT_EQ(3, img.GetNumFrames());
            ExpectSame(img, MagickRgba(path + "[" + std::to_string(f) + "]"), path + " " + std::to_string(f));
        }
    }
}

TEST_F(IcoMagick, ItsPaletteIconsDecodeToItsPixels)
{
    // It writes 1, 4 and 8-bit entries for pictures of few enough colours.
    std::string src = SourcePicture(64, 64);
    const struct {
        const char* options;
        WORD bpp;
    } cases[] = {{"-resize 16x16! -monochrome -define icon:auto-resize=16", 1},
                 {"-resize 20x20! -type Palette -colors 16", 4},
                 {"-resize 20x20! -type Palette -colors 200", 8}};
    for (const auto& c : cases) {
        std::string path = Path("pal.ico");
        ASSERT_TRUE(RunQuiet("convert '" + src + "' " + c.options + " '" + path + "'")) << c.options;
        Bytes b = ReadFile(path);
        ASSERT_GT(b.size(), 14u);
        EXPECT_EQ(c.bpp, b[12]) << c.options;
        RasterImage img;
        ASSERT_TRUE(Decode(img, b, 0)) << c.options;
        EXPECT_EQ(c.bpp, img.GetBpp());
        ExpectSame(img, MagickRgba(path), c.options);
    }
}

TEST_F(IcoMagick, OursReadBackThere)
{
    RasterImage rgba(32, 32, 24, 0), pal(16, 16, 8, 0), mono(16, 16, 1, 0);
    rgba.AlphaCreate();
    pal.SetPalette(Palette(200).data(), 200);
    mono.SetPaletteColor(0, Quad(0, 0, 0));
    mono.SetPaletteColor(1, Quad(255, 255, 255));
    for (long y = 0; y < 32; y++)
        for (long x = 0; x < 32; x++) {
            rgba.SetPixelColor(x, y, Quad((BYTE)(x * 8), (BYTE)(y * 8), 40));
            rgba.AlphaSet(x, y, (x + y) % 5 == 0 ? 0 : 255);
            pal.SetPixelIndex(x, y, (BYTE)((x * 3 + y) % 200));
            mono.SetPixelIndex(x, y, (BYTE)((x ^ y) & 1));
        }
    pal.SetTransIndex(4);
    int n = 0;
    for (RasterImage* img : {&rgba, &pal, &mono}) {
        std::string path = Path("ours" + std::to_string(n++) + ".ico");
        ASSERT_TRUE(img->Save(path.c_str(), RASTER_FORMAT_ICO));
        RasterImage back;
        ASSERT_TRUE(back.Load(path.c_str(), RASTER_FORMAT_ICO));
        ExpectSame(back, MagickRgba(path), path);
    }
}
