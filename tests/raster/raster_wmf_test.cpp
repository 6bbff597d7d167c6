// The WMF and EMF codec: placeable Windows metafiles and enhanced metafiles
// written record by record, decoded by id and by the probe, from any stream
// position; sizes, forced sizes and the size limit; and every damaged,
// truncated or foreign file refused with its text.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include <raster.h>
#include <wmf.h>

#include "metafile_builder.h"
#include "wmf_pixels.h"

namespace {

// A red rectangle with a one-pixel black border and a blue square, drawn in
// logical units that the window maps onto the picture.
void DrawScene(MetafileWriter& m, int w, int h)
{
    m.SetMapMode(MM_ANISOTROPIC);
    m.SetWindowOrg(0, 0);
    m.SetWindowExt(w, h);
    // An enhanced metafile maps the window onto its own device; a Windows
    // metafile's viewport is the picture it is played into.
    if (dynamic_cast<EmfBuilder*>(&m) != nullptr)
        m.SetViewportExt(w, h);
    m.Select(m.CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    m.Select(m.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
    m.Rectangle(2, 2, 12, 10);
    m.Select(m.CreatePen(PS_NULL, 0, 0));
    m.Select(m.CreateBrush(BS_SOLID, RGB(0, 0, 255)));
    m.Rectangle(20, 12, 30, 20);
}

// A placeable metafile of 40 x 30 units at 96 units an inch: 40 x 30 pixels
// on the 96 dpi screen.
std::vector<uint8_t> PlaceableScene(int unitsPerInch = 96, int checksumDelta = 0)
{
    WmfBuilder b;
    DrawScene(b, 40, 30);
    return b.Placeable(0, 0, 40, 30, unitsPerInch, checksumDelta);
}

std::vector<uint8_t> EnhancedScene()
{
    EmfBuilder b(0, 0, 39, 29);  // inclusive: 40 x 30 pixels
    DrawScene(b, 40, 30);
    return b.Bytes();
}

bool DecodeBytes(RasterImage& img, std::vector<uint8_t> bytes, DWORD type)
{
    return img.Decode(bytes.data(), DWORD(bytes.size()), type);
}

void ExpectScene(const RasterImage& img, const char* what)
{
    ASSERT_TRUE(img.IsValid()) << what;
    EXPECT_EQ(img.GetWidth(), 40u) << what;
    EXPECT_EQ(img.GetHeight(), 30u) << what;
    EXPECT_EQ(img.GetType(), RASTER_FORMAT_WMF) << what;
    EXPECT_EQ(img.GetBpp(), 24) << what << ": the 32-bit screen's depth as an image holds it";
    const uint32_t bg = WindowColour();
    const struct {
        long x, y;
        uint32_t c;
    } probes[] = {
        {0, 0, bg}, {39, 29, bg}, {2, 2, 0}, {11, 9, 0}, {12, 10, bg}, {3, 3, 0xFF0000},
        {10, 8, 0xFF0000}, {20, 12, 0x0000FF}, {29, 19, 0x0000FF}, {30, 20, bg}, {19, 15, bg},
    };
    for (const auto& p : probes)
        EXPECT_EQ(At(img, p.x, p.y), p.c) << what << " at (" << p.x << "," << p.y << ")";
}

TEST(WmfDecode, BothKindsByIdAndByProbe)
{
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } files[] = {{"placeable WMF", PlaceableScene()}, {"EMF", EnhancedScene()}};
    for (const auto& f : files) {
        for (DWORD type : {RASTER_FORMAT_WMF, RASTER_FORMAT_UNKNOWN}) {
            RasterImage img;
            EXPECT_TRUE(DecodeBytes(img, f.bytes, type)) << f.name << ": " << img.GetLastError();
            ExpectScene(img, f.name);
        }
    }
}

// The metafile need not start at the stream's beginning: every offset counts
// from where it starts.
TEST(WmfDecode, MetafileFromTheMiddleOfAStream)
{
    for (const std::vector<uint8_t>& file : {PlaceableScene(), EnhancedScene()}) {
        std::vector<uint8_t> bytes(100, 0x5A);
        bytes.insert(bytes.end(), file.begin(), file.end());
        for (DWORD type : {RASTER_FORMAT_WMF, RASTER_FORMAT_UNKNOWN}) {
            RasterMemFile stream(bytes.data(), DWORD(bytes.size()));
            ASSERT_TRUE(stream.Seek(100, SEEK_SET));
            RasterImage img;
            EXPECT_TRUE(img.Decode(&stream, type)) << img.GetLastError();
            ExpectScene(img, type == 0 ? "probe at 100" : "typed at 100");
        }
    }
}

TEST(WmfDecode, PlaceableUnitsScaleThePicture)
{
    // 40 x 30 units at 192 units an inch: 20 x 15 pixels, the scene halved.
    RasterImage img;
    ASSERT_TRUE(DecodeBytes(img, PlaceableScene(192), RASTER_FORMAT_WMF)) << img.GetLastError();
    EXPECT_EQ(img.GetWidth(), 20u);
    EXPECT_EQ(img.GetHeight(), 15u);
    EXPECT_EQ(At(img, 3, 3), 0xFF0000u);
    EXPECT_EQ(At(img, 12, 8), 0x0000FFu);
}

TEST(WmfDecode, ForcedSizesReplaceTheFilesOwn)
{
    const struct {
        long w, h, wantW, wantH;
    } cases[] = {
        {500, 0, 500, 30},   // the width alone: the file's height stays
        {0, 60, 40, 60},
        {80, 15, 80, 15},
        {8000, 30, 4000, 15},  // forced, then kept within 4000
    };
    for (const std::vector<uint8_t>& file : {PlaceableScene(), EnhancedScene()}) {
        for (const auto& c : cases) {
            std::vector<uint8_t> bytes = file;
            RasterMemFile stream(bytes.data(), DWORD(bytes.size()));
            RasterImageWMF img;
            ASSERT_TRUE(img.Decode(&stream, c.w, c.h)) << img.GetLastError();
            EXPECT_EQ(long(img.GetWidth()), c.wantW);
            EXPECT_EQ(long(img.GetHeight()), c.wantH);
            // The picture is stretched to the size: the blue square's middle.
            EXPECT_EQ(At(img, c.wantW * 25 / 40, c.wantH * 16 / 30), 0x0000FFu) << c.w << "x" << c.h;
        }
    }
}

TEST(WmfDecode, LimitMetafileSize)
{
    const struct {
        long w, h, wantW, wantH;
    } cases[] = {
        {10000, 5000, 4000, 2000}, {3000, 9000, 1333, 4000}, {4000, 4000, 4000, 4000},
        {5000, 4500, 4000, 3600},  {100, 50, 100, 50},       {9000, 1, 4000, 1},
        {1, 9000, 1, 4000},        {8000, 9000, 3555, 4000},
    };
    for (const auto& c : cases) {
        long w = c.w, h = c.h;
        RasterImageWMF::LimitMetafileSize(w, h);
        EXPECT_EQ(w, c.wantW) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.wantH) << c.w << "x" << c.h;
    }
}

TEST(WmfDecode, LargePictureIsShrunk)
{
    // 10000 x 5000 pixels asked: 4000 x 2000 made, the scene scaled with it.
    WmfBuilder b;
    DrawScene(b, 40, 30);
    std::vector<uint8_t> bytes = b.Placeable(0, 0, 10000, 5000, 96);
    RasterImage img;
    ASSERT_TRUE(DecodeBytes(img, bytes, RASTER_FORMAT_WMF)) << img.GetLastError();
    EXPECT_EQ(img.GetWidth(), 4000u);
    EXPECT_EQ(img.GetHeight(), 2000u);
    EXPECT_EQ(At(img, 2500, 1050), 0x0000FFu);
}

TEST(WmfDecode, EmptyPictures)
{
    WmfBuilder w;
    DrawScene(w, 40, 30);
    EmfBuilder e(10, 10, 9, 40);  // right left of left
    const std::vector<uint8_t> files[] = {
        w.Placeable(5, 0, 5, 30, 96),   // no width
        w.Placeable(0, 7, 40, 7, 96),   // no height
        w.Placeable(40, 0, 0, 30, 96),  // turned over: the extents are never scaled up
        w.Placeable(0, 0, 20, 20, 2540),  // under one pixel at 96 dpi
        e.Bytes(),
    };
    for (const auto& f : files) {
        RasterImage img;
        EXPECT_FALSE(DecodeBytes(img, f, RASTER_FORMAT_WMF));
        EXPECT_STREQ(img.GetLastError(), "empty WMF");
        EXPECT_FALSE(img.IsValid());
        // A forced size does not make an empty picture whole.
        std::vector<uint8_t> bytes = f;
        RasterMemFile stream(bytes.data(), DWORD(bytes.size()));
        RasterImageWMF codec;
        EXPECT_FALSE(codec.Decode(&stream, 20, 20));
        EXPECT_STREQ(codec.GetLastError(), "empty WMF");
    }
    // Nor is a size below one pixel asked of a whole one.
    std::vector<uint8_t> bytes = EnhancedScene();
    RasterMemFile stream(bytes.data(), DWORD(bytes.size()));
    RasterImageWMF codec;
    EXPECT_FALSE(codec.Decode(&stream, -5, 0));
    EXPECT_STREQ(codec.GetLastError(), "empty WMF");
}

// Files that are not metafiles, or whose headers are wrong, fail as
// "corrupted WMF"; a placeable header that fails its checks is tried as an
// enhanced metafile from the same place first.
TEST(WmfDecode, BadHeadersAreRefused)
{
    std::vector<uint8_t> badKey = PlaceableScene();
    badKey[0] ^= 1;
    std::vector<uint8_t> wrongType = PlaceableScene();
    wrongType[22] = 3;
    std::vector<uint8_t> tooLong = PlaceableScene();
    tooLong[22 + 6] += 1;  // one word more than the file holds
    std::vector<uint8_t> emfSignature = EnhancedScene();
    emfSignature[41] = 'X';
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"wrong checksum", PlaceableScene(96, 1)},
        {"0 units per inch", PlaceableScene(0)},
        {"2541 units per inch", PlaceableScene(2541)},
        {"bad key", badKey},
        {"metafile type 3", wrongType},
        {"size past the end", tooLong},
        {"EMF signature", emfSignature},
        {"no bytes", {}},
        {"a BMP", {'B', 'M', 0x3A, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 40, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        RasterImage img;
        std::vector<uint8_t> bytes = c.bytes;
        bytes.push_back(0);  // a buffer even for no bytes
        EXPECT_FALSE(img.Decode(bytes.data(), DWORD(c.bytes.size()), RASTER_FORMAT_WMF)) << c.name;
        EXPECT_STREQ(img.GetLastError(), "corrupted WMF") << c.name;
    }
    // 2540 units per inch is still allowed.
    WmfBuilder b;
    b.Rectangle(0, 0, 100, 100);
    RasterImage img;
    EXPECT_TRUE(DecodeBytes(img, b.Placeable(0, 0, 2540, 2540, 2540), RASTER_FORMAT_WMF)) << img.GetLastError();
    EXPECT_EQ(img.GetWidth(), 96u);
}

TEST(WmfDecode, EveryTruncationIsRefused)
{
    for (const std::vector<uint8_t>& file : {PlaceableScene(), EnhancedScene()}) {
        for (size_t n = 0; n < file.size(); n++) {
            std::vector<uint8_t> cut(file.begin(), file.begin() + n);
            cut.push_back(0);
            RasterImage img;
            EXPECT_FALSE(img.Decode(cut.data(), DWORD(n), RASTER_FORMAT_WMF)) << n;
            EXPECT_STREQ(img.GetLastError(), "corrupted WMF") << n;
        }
    }
}

TEST(WmfDecode, RandomBytesAreRefused)
{
    std::mt19937 rng(24);
    for (int i = 0; i < 300; i++) {
        std::vector<uint8_t> b(1 + rng() % 300);
        for (uint8_t& v : b)
            v = uint8_t(rng());
        RasterImage img;
        EXPECT_FALSE(DecodeBytes(img, b, RASTER_FORMAT_WMF));
        EXPECT_STREQ(img.GetLastError(), "corrupted WMF");
    }
}

TEST(WmfDecode, CancelledBeforeDrawing)
{
    RasterImage img;
    img.SetEscape(1);
    EXPECT_FALSE(DecodeBytes(img, EnhancedScene(), RASTER_FORMAT_WMF));
    EXPECT_STREQ(img.GetLastError(), "Cancelled");
    EXPECT_FALSE(img.IsValid());
}

TEST(WmfEncode, SavingIsNotSupported)
{
    RasterImage img;
    ASSERT_TRUE(DecodeBytes(img, EnhancedScene(), RASTER_FORMAT_WMF));
    BYTE* out = nullptr;
    long size = 0;
    EXPECT_FALSE(img.Encode(out, size, RASTER_FORMAT_WMF));
    EXPECT_STREQ(img.GetLastError(), "Save WMF not supported");
    EXPECT_EQ(out, nullptr);
    RasterImageWMF codec;
    EXPECT_FALSE(codec.Encode(nullptr));
    EXPECT_STREQ(codec.GetLastError(), "");
}

}  // namespace
