// The GIF encoder: block layout, the three compressors read back by our
// decoder and by giflib over random pictures, animated files, true colour
// as tiles, failed writes, and ImageMagick's and giftext's view of our files.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#ifdef KESTREL_HAVE_GIFLIB
#include <gif_lib.h>
#endif

#include <raster.h>
#include <rastergif.h>
#include "magick.h"
#include "test_files.h"
#include "test_raster.h"

namespace {

// Colour of palette index i: every index its own colour.
RGBQUAD IndexColour(int i)
{
    return Quad((BYTE)i, (BYTE)(255 - i), (BYTE)((i * 7) & 0xFF));
}

// A palette image of random indices; `runs` makes long runs of one index.
RasterImage RandomIndexed(DWORD w, DWORD h, DWORD bpp, unsigned seed, bool runs)
{
    RasterImage img(w, h, bpp, 0);
    const int colours = 1 << bpp;
    for (int i = 0; i < colours; i++)
        img.SetPaletteColor((BYTE)i, IndexColour(i));
    std::mt19937 rng(seed);
    int value = 0, left = 0;
    for (long y = 0; y < (long)h; y++)
        for (long x = 0; x < (long)w; x++) {
            if (!runs || left-- <= 0) {
                value = (int)(rng() % colours);
                left = runs ? (int)(rng() % 700) : 0;
            }
            img.SetPixelIndex(x, y, (BYTE)value);
        }
    return img;
}

Bytes EncodeGif(RasterImage& img, DWORD option)
{
    img.SetCodecOption(option);
    BYTE* out = nullptr;
    long size = 0;
    EXPECT_TRUE(img.Encode(out, size, RASTER_FORMAT_GIF)) << img.GetLastError();
    Bytes b(out, out + (out ? size : 0));
    free(out);
    return b;
}

Bytes EncodeWith(RasterImageGIF& gif, RasterImage** pages, int count, bool local)
{
    RasterMemFile f;
    EXPECT_TRUE(f.Open());
    EXPECT_TRUE(gif.Encode(&f, pages, count, local)) << gif.GetLastError();
    long size = f.Size();
    BYTE* p = f.GetBuffer(true);
    Bytes b(p, p + size);
    free(p);
    return b;
}

void ExpectSameIndices(const RasterImage& a, const RasterImage& b, const std::string& what)
{
    ASSERT_EQ(a.GetWidth(), b.GetWidth()) << what;
    ASSERT_EQ(a.GetHeight(), b.GetHeight()) << what;
    for (long y = 0; y < (long)a.GetHeight(); y++)
        for (long x = 0; x < (long)a.GetWidth(); x++)
            ASSERT_EQ(a.GetPixelIndex(x, y), b.GetPixelIndex(x, y)) << what << " at " << x << "," << y;
}

// Position of the first occurrence of `needle`, or npos.
size_t Find(const Bytes& hay, const std::string& needle)
{
    auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end(),
                          [](uint8_t a, char b) { return a == (uint8_t)b; });
    return it == hay.end() ? std::string::npos : size_t(it - hay.begin());
}

#ifdef KESTREL_HAVE_GIFLIB
struct GifFrame {
    int left, top, width, height;
    std::vector<BYTE> pixels;  // rows from the top
};

// giflib's reading of a whole file, or an empty list when it refuses it.
std::vector<GifFrame> GiflibFrames(const Bytes& data)
{
    struct Cursor {
        const Bytes* d;
        size_t pos;
    } cur{&data, 0};
    auto reader = [](GifFileType* g, GifByteType* buf, int n) -> int {
        Cursor* c = static_cast<Cursor*>(g->UserData);
        size_t take = std::min((size_t)n, c->d->size() - c->pos);
        memcpy(buf, c->d->data() + c->pos, take);
        c->pos += take;
        return (int)take;
    };
    int err = 0;
    GifFileType* g = DGifOpen(&cur, reader, &err);
    std::vector<GifFrame> frames;
    if (g == nullptr)
        return frames;
    if (DGifSlurp(g) == GIF_OK) {
        for (int i = 0; i < g->ImageCount; i++) {
            const SavedImage& s = g->SavedImages[i];
            GifFrame f{s.ImageDesc.Left, s.ImageDesc.Top, s.ImageDesc.Width, s.ImageDesc.Height, {}};
            f.pixels.assign(s.RasterBits, s.RasterBits + (size_t)f.width * f.height);
            frames.push_back(f);
        }
    }
    DGifCloseFile(g, &err);
    return frames;
}
#endif

// A stream whose writes fail after `room` bytes, as on a full disk.
class FullStream : public RasterMemFile {
public:
    explicit FullStream(long room) : m_room(room) { Open(); }
    size_t Write(const void* buffer, size_t size, size_t count) override
    {
        if (Size() + (long)(size * count) > m_room)
            return 0;
        return RasterMemFile::Write(buffer, size, count);
    }
    bool PutC(BYTE value) override { return Write(&value, 1, 1) == 1; }

private:
    long m_room;
};

}  // namespace

TEST(GifEncode, HeaderFlagsTablesAndCodeSizes)
{
    struct Case {
        DWORD bpp;
        BYTE flags;
        size_t table;    // bytes of the global table
        BYTE codeSize;
    } cases[] = {{1, 0x80, 6, 2}, {4, 0xB3, 48, 4}, {8, 0xF7, 768, 8}};
    for (const Case& c : cases) {
        RasterImage img = RandomIndexed(5, 3, c.bpp, 1, false);
        Bytes b = EncodeGif(img, GIF_COMPRESSION_LZW);
        ASSERT_GT(b.size(), 13 + c.table + 10 + 8);
        EXPECT_EQ(0, memcmp(b.data(), "GIF89a", 6));
        EXPECT_EQ(5, b[6] | (b[7] << 8));
        EXPECT_EQ(3, b[8] | (b[9] << 8));
        EXPECT_EQ(c.flags, b[10]) << c.bpp;
        EXPECT_EQ(IndexColour(1).rgbRed, b[13 + 3]);  // entry 1, red first
        EXPECT_EQ(IndexColour(1).rgbGreen, b[13 + 4]);
        const size_t gce = 13 + c.table;
        const BYTE expectGce[] = {0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0xFF, 0x00};
        EXPECT_EQ(0, memcmp(&b[gce], expectGce, 8)) << c.bpp;
        const size_t desc = gce + 8;
        EXPECT_EQ(0x2C, b[desc]);
        EXPECT_EQ(0x00, b[desc + 9]);  // no local table, not interlaced
        EXPECT_EQ(c.codeSize, b[desc + 10]) << c.bpp;
        EXPECT_EQ(0x3B, b.back());
    }
}

TEST(GifEncode, EveryCompressorRoundTripsRandomPictures)
{
    const DWORD sizes[][2] = {{1, 1}, {7, 3}, {64, 64}, {300, 200}, {33, 1000}};
    int n = 0;
    for (DWORD bpp : {1u, 4u, 8u})
        for (const auto& sz : sizes)
            for (bool runs : {false, true})
                for (DWORD opt : {GIF_COMPRESSION_NONE, GIF_COMPRESSION_LZW, GIF_COMPRESSION_RLE}) {
                    const std::string what = "bpp " + std::to_string(bpp) + " " + std::to_string(sz[0]) +
                                             "x" + std::to_string(sz[1]) + " runs " +
                                             std::to_string(runs) + " opt " + std::to_string(opt);
                    RasterImage src = RandomIndexed(sz[0], sz[1], bpp, 1000 + n++, runs);
                    Bytes b = EncodeGif(src, opt);
                    RasterImage back(b.data(), (DWORD)b.size(), RASTER_FORMAT_GIF);
                    ASSERT_TRUE(back.IsValid()) << what << " " << back.GetLastError();
                    ExpectSameIndices(src, back, what);
#ifdef KESTREL_HAVE_GIFLIB
                    std::vector<GifFrame> frames = GiflibFrames(b);
                    ASSERT_EQ(1u, frames.size()) << what;
                    for (long y = 0; y < (long)sz[1]; y++)
                        for (long x = 0; x < (long)sz[0]; x++)
                            ASSERT_EQ(src.GetPixelIndex(x, (long)sz[1] - 1 - y),
                                      frames[0].pixels[(size_t)y * sz[0] + x])
                                << what << " giflib at " << x << "," << y;
#endif
                }
}

TEST(GifEncode, SubBlockLengthsByCompressor)
{
    // Walks the image data's sub-blocks and returns the largest length.
    auto largest = [](const Bytes& b) {
        size_t p = 13 + 768 + 8 + 10 + 1;
        int most = 0;
        while (p < b.size() && b[p] != 0) {
            most = std::max(most, (int)b[p]);
            p += 1 + b[p];
        }
        return most;
    };
    RasterImage img = RandomIndexed(200, 200, 8, 7, false);
    EXPECT_EQ(254, largest(EncodeGif(img, GIF_COMPRESSION_NONE)));
    EXPECT_EQ(254, largest(EncodeGif(img, GIF_COMPRESSION_LZW)));
    EXPECT_EQ(255, largest(EncodeGif(img, GIF_COMPRESSION_RLE)));
    // Runs compress under LZW and run-length coding; one code per pixel does not.
    RasterImage flat = RandomIndexed(200, 200, 8, 7, true);
    EXPECT_LT(EncodeGif(flat, GIF_COMPRESSION_RLE).size(), 40000u / 4);
    EXPECT_LT(EncodeGif(flat, GIF_COMPRESSION_LZW).size(), 40000u / 4);
    EXPECT_GT(EncodeGif(flat, GIF_COMPRESSION_NONE).size(), 40000u);
}

TEST(GifEncode, ExtensionCarriesTransparencyDelayAndDisposal)
{
    RasterImage img = RandomIndexed(4, 4, 4, 3, false);
    img.SetTransIndex(9);
    img.SetFrameDelay(0x12345);  // the low 16 bits are kept
    Bytes b = EncodeGif(img, 0);
    const BYTE expect[] = {0x21, 0xF9, 0x04, 0x01, 0x45, 0x23, 0x09, 0x00};
    EXPECT_EQ(0, memcmp(&b[13 + 48], expect, sizeof(expect)));
    RasterImage back(b.data(), (DWORD)b.size(), RASTER_FORMAT_GIF);
    EXPECT_EQ(9, back.GetTransIndex());
    EXPECT_EQ(0x2345u, back.GetFrameDelay());
}

TEST(GifEncode, CommentIsCutTo255Bytes)
{
    RasterImageGIF gif;
    gif.Create(2, 2, 8, 0);
    gif.SetComment(std::string(300, 'c').c_str());
    RasterMemFile f;
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(gif.Encode(&f));
    Bytes b(f.GetBuffer(false), f.GetBuffer(false) + f.Size());
    size_t at = Find(b, "\x21\xFE");
    ASSERT_NE(std::string::npos, at);
    EXPECT_EQ(255, b[at + 2]);
    EXPECT_EQ(0, b[at + 3 + 255]);
    RasterImageGIF back;
    RasterMemFile in(b.data(), (DWORD)b.size());
    ASSERT_TRUE(back.Decode(&in));
    char text[256];
    back.GetComment(text);
    EXPECT_EQ(std::string(255, 'c'), text);
}

TEST(GifEncode, AnimatedFilesOneFreshGhostPerPage)
{
    RasterImage p0 = RandomIndexed(10, 8, 8, 21, false);
    RasterImage p1 = RandomIndexed(6, 5, 8, 22, true);
    RasterImage p2 = RandomIndexed(10, 8, 8, 23, false);
    p1.SetOffset(2, 3);
    p1.SetTransIndex(4);
    p1.SetFrameDelay(50);
    p2.SetCodecOption(GIF_COMPRESSION_NONE);
    RasterImage* pages[] = {&p0, &p1, &p2};

    for (int loops : {0, 1, 5}) {
        RasterImageGIF gif;
        gif.SetLoops(loops);
        Bytes b = EncodeWith(gif, pages, 3, true);
        size_t ns = Find(b, "NETSCAPE2.0");
        if (loops == 1) {
            EXPECT_EQ(std::string::npos, ns);
        } else {
            ASSERT_NE(std::string::npos, ns);
            EXPECT_EQ(loops == 0 ? 0 : loops - 1, b[ns + 13] | (b[ns + 14] << 8));
        }
        RasterImage* expect[] = {&p0, &p1, &p2};
        for (int i = 0; i < 3; i++) {
            RasterImage back;
            back.SetFrame(i);
            ASSERT_TRUE(back.Decode(b.data(), (DWORD)b.size(), RASTER_FORMAT_GIF)) << i;
            EXPECT_EQ(3, back.GetNumFrames());
            ExpectSameIndices(*expect[i], back, "page " + std::to_string(i));
        }
#ifdef KESTREL_HAVE_GIFLIB
        std::vector<GifFrame> frames = GiflibFrames(b);
        ASSERT_EQ(3u, frames.size());
        EXPECT_EQ(2, frames[1].left);
        EXPECT_EQ(3, frames[1].top);
        EXPECT_EQ(6, frames[1].width);
#endif
    }
}

TEST(GifEncode, MultipageRefusalsWriteNothing)
{
    RasterImage good = RandomIndexed(3, 3, 8, 1, false);
    RasterImage deep(3, 3, 24, 0);
    RasterImageGIF gif;
    RasterMemFile f;
    ASSERT_TRUE(f.Open());
    RasterImage* none[] = {nullptr};
    RasterImage* withNull[] = {&good, nullptr};
    RasterImage* withDeep[] = {&good, &deep};
    struct Case {
        RasterFile* file;
        RasterImage** pages;
        int count;
        const char* text;
    } cases[] = {
        {nullptr, withNull, 1, "invalid file pointer"},
        {&f, nullptr, 1, "multipage GIF, no images!"},
        {&f, withNull, 0, "multipage GIF, no images!"},
        {&f, none, 1, "multipage GIF, no images!"},
        {&f, withNull, 2, "Bad image pointer"},
        {&f, withDeep, 2, "multipage GIF, every page must be a palette image"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(gif.Encode(c.file, c.pages, c.count, false)) << c.text;
        EXPECT_STREQ(c.text, gif.GetLastError());
    }
    EXPECT_EQ(0, f.Size());
    // Through the dispatch, the caller's image names the format.
    EXPECT_FALSE(good.Encode(&f, withDeep, 2, RASTER_FORMAT_GIF));
    EXPECT_STREQ("multipage GIF, every page must be a palette image", good.GetLastError());
}

TEST(GifEncode, TrueColourBecomesTilesWithTablesOfTheirOwn)
{
    RasterImage img(20, 20, 24, 0);
    for (long y = 0; y < 20; y++)
        for (long x = 0; x < 20; x++)
            img.SetPixelColor(x, y, Quad((BYTE)(x * 12), (BYTE)(y * 12), (BYTE)(x * y)));
    Bytes b = EncodeGif(img, GIF_COMPRESSION_LZW);
    EXPECT_EQ(0x11, b[10]);
#ifdef KESTREL_HAVE_GIFLIB
    std::vector<GifFrame> frames = GiflibFrames(b);
    ASSERT_EQ(4u, frames.size());
    const int expect[4][4] = {{0, 0, 17, 15}, {17, 0, 3, 15}, {0, 15, 17, 5}, {17, 15, 3, 5}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(expect[i][0], frames[i].left) << i;
        EXPECT_EQ(expect[i][1], frames[i].top) << i;
        EXPECT_EQ(expect[i][2], frames[i].width) << i;
        EXPECT_EQ(expect[i][3], frames[i].height) << i;
    }
#endif
    RasterImage back(b.data(), (DWORD)b.size(), RASTER_FORMAT_GIF);
    ASSERT_TRUE(back.IsValid()) << back.GetLastError();
    ASSERT_EQ(24, back.GetBpp());
    for (long y = 0; y < 20; y++)
        for (long x = 0; x < 20; x++) {
            RGBQUAD a = img.GetPixelColor(x, y, false), c = back.GetPixelColor(x, y, false);
            ASSERT_EQ(0, memcmp(&a, &c, 3)) << x << "," << y;
        }
}

// A true-colour picture one tile wide or high (or both) reads back whole:
// its tiles span the screen one way, which must not hide the mosaic.
TEST(GifEncode, NarrowAndShortTrueColourPicturesReadBackWhole)
{
    std::mt19937 rng(34);
    std::vector<std::pair<long, long>> sizes = {{17, 40}, {40, 15}, {1, 16}, {16, 1},
                                                {17, 16}, {18, 15}, {3, 3}};
    for (int i = 0; i < 12; i++)
        sizes.push_back({long(1 + rng() % 40), long(1 + rng() % 40)});
    for (const auto& size : sizes) {
        const long w = size.first, h = size.second;
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        RasterImage img(DWORD(w), DWORD(h), 24, 0);
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++)
                img.SetPixelColor(x, y, Quad(BYTE(rng() | 1), BYTE(rng()), BYTE(rng())));
        Bytes b = EncodeGif(img, GIF_COMPRESSION_LZW);
        RasterImage back(b.data(), (DWORD)b.size(), RASTER_FORMAT_GIF);
        ASSERT_TRUE(back.IsValid()) << back.GetLastError();
        ASSERT_EQ(DWORD(w), back.GetWidth());
        ASSERT_EQ(DWORD(h), back.GetHeight());
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                RGBQUAD a = img.GetPixelColor(x, y, false), c = back.GetPixelColor(x, y, false);
                ASSERT_EQ(0, memcmp(&a, &c, 3)) << x << "," << y;
            }
    }
}

TEST(GifEncode, FailedWritesFailTheEncode)
{
    RasterImage pal = RandomIndexed(50, 50, 8, 5, false);
    RasterImage rgb(40, 40, 24, 0);
    for (RasterImage* img : {&pal, &rgb})
        for (DWORD opt : {GIF_COMPRESSION_NONE, GIF_COMPRESSION_LZW, GIF_COMPRESSION_RLE})
            for (long room : {0L, 10L, 800L, 1500L}) {
                FullStream full(room);
                img->SetCodecOption(opt);
                EXPECT_FALSE(img->Encode(&full, RASTER_FORMAT_GIF)) << opt << " " << room;
                EXPECT_STREQ("Write Error in GIF file", img->GetLastError());
            }
    RasterImageGIF gif;
    RasterImage* pages[] = {&pal, &pal};
    FullStream full(3000);
    EXPECT_FALSE(gif.Encode(&full, pages, 2, true));
    EXPECT_STREQ("Write Error in GIF file", gif.GetLastError());
}

// ---------------------------------------------------------------------------
// ImageMagick and giftext read what we write.

class GifEncodeTools : public MagickFixture {
protected:
    GifEncodeTools() : MagickFixture("raster_gif_encode_") {}

    Bytes MagickRgb(const std::string& file, const std::string& options = "")
    {
        std::string out = Path("out.rgb");
        remove(out.c_str());
        if (!RunQuiet("convert '" + file + "' " + options + " -depth 8 'rgb:" + out + "'"))
            return Bytes();
        return ReadFile(out);
    }

    static void ExpectPixels(const RasterImage& img, const Bytes& rgb, const std::string& what)
    {
        const long w = (long)img.GetWidth(), h = (long)img.GetHeight();
        ASSERT_EQ((size_t)w * h * 3, rgb.size()) << what;
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                RGBQUAD q = img.GetPixelColor(x, h - 1 - y, false);
                const BYTE* m = &rgb[((size_t)y * w + x) * 3];
                ASSERT_TRUE(q.rgbRed == m[0] && q.rgbGreen == m[1] && q.rgbBlue == m[2])
                    << what << " at " << x << "," << y;
            }
    }
};

TEST_F(GifEncodeTools, ItReadsEveryCompressorAndTrueColour)
{
    int n = 0;
    for (DWORD bpp : {1u, 4u, 8u})
        for (DWORD opt : {GIF_COMPRESSION_NONE, GIF_COMPRESSION_LZW, GIF_COMPRESSION_RLE}) {
            RasterImage img = RandomIndexed(97, 61, bpp, 300 + n, (n & 1) != 0);
            n++;
            std::string path = Path("p.gif");
            Bytes b = EncodeGif(img, opt);
            WriteFile(path, b);
            ExpectPixels(img, MagickRgb(path), "bpp " + std::to_string(bpp) + " opt " + std::to_string(opt));
        }
    RasterImage rgb(40, 33, 24, 0);
    for (long y = 0; y < 33; y++)
        for (long x = 0; x < 40; x++)
            rgb.SetPixelColor(x, y, Quad((BYTE)(x * 6), (BYTE)(y * 7), (BYTE)(x ^ y)));
    std::string path = Path("rgb.gif");
    WriteFile(path, EncodeGif(rgb, 0));
    ExpectPixels(rgb, MagickRgb(path, "-coalesce -delete 0--2"), "true colour");
}

TEST_F(GifEncodeTools, GiftextSeesDelaysDisposalTransparencyAndLoops)
{
    if (!HaveTool("command -v giftext"))
        GTEST_SKIP() << "giftext is not installed";
    RasterImage p0 = RandomIndexed(8, 8, 4, 1, false);
    RasterImage p1 = RandomIndexed(8, 8, 4, 2, false);
    p0.SetFrameDelay(10);
    p1.SetFrameDelay(250);
    p1.SetTransIndex(3);
    RasterImage* pages[] = {&p0, &p1};
    RasterImageGIF gif;
    gif.SetLoops(3);
    gif.SetDisposalMethod(2);
    std::string path = Path("anim.gif");
    WriteFile(path, EncodeWith(gif, pages, 2, false));
    std::string out = Path("giftext.txt");
    ASSERT_TRUE(RunQuiet("giftext '" + path + "' > '" + out + "'"));
    Bytes t = ReadFile(out);
    std::string text(t.begin(), t.end());
    EXPECT_NE(std::string::npos, text.find("Image #2")) << text;
    for (const char* line : {"Disposal Mode: 2", "DelayTime: 10", "DelayTime: 250", "Transparency on: yes",
                             "Transparent Index: 3"})
        EXPECT_NE(std::string::npos, text.find(line)) << line;
    // ImageMagick agrees on the delays and reads two repeats as three plays.
    std::string info = Path("info.txt");
    ASSERT_TRUE(RunQuiet("identify -format '%T %[gif:iterations] ' '" + path + "' > '" + info + "'"));
    Bytes id = ReadFile(info);
    std::string ids(id.begin(), id.end());
    EXPECT_NE(std::string::npos, ids.find("10 ")) << ids;
    EXPECT_NE(std::string::npos, ids.find("250 ")) << ids;
}

TEST_F(GifEncodeTools, ItReadsEveryPageOfAnAnimation)
{
    RasterImage p0 = RandomIndexed(12, 9, 8, 31, true);
    RasterImage p1 = RandomIndexed(5, 4, 8, 32, false);
    RasterImage p2 = RandomIndexed(12, 9, 4, 33, true);
    p1.SetOffset(3, 2);
    p1.SetTransIndex(p1.GetPixelIndex(0, 0));
    p2.SetCodecOption(GIF_COMPRESSION_NONE);
    RasterImage* pages[] = {&p0, &p1, &p2};
    RasterImageGIF gif;
    gif.SetDisposalMethod(1);
    std::string path = Path("anim.gif");
    WriteFile(path, EncodeWith(gif, pages, 3, true));
    for (int i = 0; i < 3; i++) {
        // Each page on its own, at its own size: transparent pixels have alpha 0.
        std::string out = Path("page.rgba");
        remove(out.c_str());
        ASSERT_TRUE(RunQuiet("convert '" + path + "[" + std::to_string(i) + "]' +repage -depth 8 'rgba:" + out + "'"));
        Bytes rgba = ReadFile(out);
        const RasterImage& page = *pages[i];
        const long w = (long)page.GetWidth(), h = (long)page.GetHeight();
        ASSERT_EQ((size_t)w * h * 4, rgba.size()) << i;
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                const BYTE* m = &rgba[((size_t)y * w + x) * 4];
                const BYTE index = page.GetPixelIndex(x, h - 1 - y);
                if (page.GetTransIndex() == index) {
                    ASSERT_EQ(0, m[3]) << i << " at " << x << "," << y;
                    continue;
                }
                RGBQUAD c = page.GetPaletteColor(index);
                ASSERT_TRUE(m[3] == 255 && c.rgbRed == m[0] && c.rgbGreen == m[1] && c.rgbBlue == m[2])
                    << i << " at " << x << "," << y;
            }
    }
}

TEST(GifEncode, CStreamsOfTheCodecClass)
{
    RasterImageGIF gif;
    ASSERT_NE(nullptr, gif.Create(3, 2, 8, 0));
    RasterImage* pages[] = {&gif, &gif};
    FILE* f = tmpfile();
    ASSERT_NE(nullptr, f);
    ASSERT_TRUE(gif.Encode(f));
    ASSERT_TRUE(gif.Encode(f, pages, 2, false));
    EXPECT_GT(ftell(f), 2 * 6);
    fclose(f);
    EXPECT_FALSE(gif.Encode(static_cast<FILE*>(nullptr)));
    EXPECT_STREQ("null file handler", gif.GetLastError());
    EXPECT_FALSE(gif.Encode(static_cast<FILE*>(nullptr), pages, 2, false));
    EXPECT_STREQ("invalid file pointer", gif.GetLastError());
}
