// Loading and saving by format id: probing, typed decoding, encoding into
// streams, memory, files and resources, and the texts of each failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <desktop/desktop.h>
#include <raster.h>
#include <rastercodecs.h>
#include <win32_resource.h>
#include "test_files.h"

namespace {

const BYTE kGarbage[16] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e', 0, 1, 2, 3};

// A small 24-bit picture encoded as BMP.
std::vector<BYTE> SampleBmp(DWORD w = 3, DWORD h = 2)
{
    RasterImage img(w, h, 24, 0);
    for (DWORD y = 0; y < h; y++)
        for (DWORD x = 0; x < w; x++)
            img.SetPixelColor((long)x, (long)y, RGB(x * 40, y * 60, 7));
    BYTE* buf = nullptr;
    long size = 0;
    EXPECT_TRUE(img.Encode(buf, size, RASTER_FORMAT_BMP));
    std::vector<BYTE> out(buf, buf + size);
    free(buf);
    return out;
}

std::string TempPath(const char* name)
{
    return ::testing::TempDir() + "raster_dispatch_" + name;
}

TEST(RasterDecode, ProbeRejectsGarbage)
{
    RasterImage img;
    EXPECT_FALSE(img.Decode(const_cast<BYTE*>(kGarbage), sizeof(kGarbage), RASTER_FORMAT_UNKNOWN));
    EXPECT_STREQ("Decode: Unknown or wrong format", img.GetLastError());
    EXPECT_FALSE(img.Decode(const_cast<BYTE*>(kGarbage), sizeof(kGarbage), 20));
    EXPECT_STREQ("Decode: Unknown or wrong format", img.GetLastError());
    EXPECT_FALSE(img.Decode(const_cast<BYTE*>(kGarbage), sizeof(kGarbage), RASTER_FORMAT_BMP));
    EXPECT_STREQ("Error reading BMP info", img.GetLastError());
}

TEST(RasterDecode, FormatsWithoutACodecRecogniseNothing)
{
    std::vector<BYTE> bmp = SampleBmp();
    for (DWORD id = RASTER_FORMAT_GIF; id < RASTER_FORMAT_LIMIT; id++) {
        if (RasterFindCodec(id) != nullptr)
            continue;  // this format has its decoder now
        RasterImage img;
        img.SetFrame(0);
        EXPECT_FALSE(img.Decode(bmp.data(), (DWORD)bmp.size(), id)) << id;
        EXPECT_STREQ("Decode: Unknown or wrong format", img.GetLastError()) << id;
    }
}

TEST(RasterDecode, ProbeFindsTheBmpAtTheStreamPosition)
{
    std::vector<BYTE> bmp = SampleBmp();
    std::vector<BYTE> data(100 + bmp.size(), 0xEE);
    std::copy(bmp.begin(), bmp.end(), data.begin() + 100);
    RasterMemFile f(data.data(), (DWORD)data.size());
    ASSERT_TRUE(f.Seek(100, SEEK_SET));
    RasterImage img;
    ASSERT_TRUE(img.Decode(&f, RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(RASTER_FORMAT_BMP, img.GetType());
    EXPECT_EQ(3u, img.GetWidth());
    EXPECT_EQ(80, img.GetPixelColor(2, 1).rgbRed);
}

TEST(RasterDecode, FailedDecodeLeavesTheImageAlone)
{
    RasterImage img(4, 4, 8, 0);
    void* dib = img.GetDIB();
    img.SetFrame(3);
    EXPECT_FALSE(img.Decode(const_cast<BYTE*>(kGarbage), sizeof(kGarbage), RASTER_FORMAT_BMP));
    EXPECT_EQ(dib, img.GetDIB());
    EXPECT_EQ(0, img.GetNumFrames());
    EXPECT_FALSE(img.Decode(static_cast<RasterFile*>(nullptr), 0));
    EXPECT_FALSE(img.Decode(static_cast<FILE*>(nullptr), 0));
    EXPECT_EQ(dib, img.GetDIB());
}

TEST(RasterDecode, SettingsReachTheDecoderAndResultsComeBack)
{
    std::vector<BYTE> bmp = SampleBmp(7, 5);
    RasterImage img(2, 2, 8, 0);
    img.SetEscape(-1);
    ASSERT_TRUE(img.Decode(bmp.data(), (DWORD)bmp.size(), RASTER_FORMAT_UNKNOWN));
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(7u, img.GetWidth());
    EXPECT_EQ(5u, img.GetHeight());
    EXPECT_STREQ("output dimensions returned", img.GetLastError());
}

TEST(RasterDecode, BufferConstructorReportsThroughIsValid)
{
    RasterImage probed(const_cast<BYTE*>(kGarbage), sizeof(kGarbage), RASTER_FORMAT_UNKNOWN);
    EXPECT_FALSE(probed.IsValid());
    EXPECT_STREQ("Decode: Unknown or wrong format", probed.GetLastError());
    RasterImage typed(const_cast<BYTE*>(kGarbage), 10, RASTER_FORMAT_BMP);
    EXPECT_STREQ("Not a BMP", typed.GetLastError());
    std::vector<BYTE> bmp = SampleBmp();
    RasterImage good(bmp.data(), (DWORD)bmp.size(), RASTER_FORMAT_UNKNOWN);
    EXPECT_TRUE(good.IsValid());
    RasterMemFile f(bmp.data(), (DWORD)bmp.size());
    RasterImage fromStream(&f, RASTER_FORMAT_BMP);
    EXPECT_TRUE(fromStream.IsValid());
}

TEST(RasterEncode, UnknownFormatsAndMultipage)
{
    RasterImage img(2, 2, 24, 0);
    RasterMemFile f;
    ASSERT_TRUE(f.Open());
    for (DWORD id : {RASTER_FORMAT_UNKNOWN, RASTER_FORMAT_LIMIT}) {
        img.SetEscape(0);
        EXPECT_FALSE(img.Encode(&f, id)) << id;
        EXPECT_STREQ("Encode: Unknown format", img.GetLastError()) << id;
    }
    // Metafiles are a known format that is read only.
    EXPECT_FALSE(img.Encode(&f, RASTER_FORMAT_WMF));
    EXPECT_STREQ("Save WMF not supported", img.GetLastError());
    RasterImage* pages[1] = {&img};
    EXPECT_FALSE(img.Encode(&f, pages, 1, RASTER_FORMAT_JPG));
    EXPECT_STREQ("Multipage Encode, Unsupported operation for this format", img.GetLastError());
    EXPECT_FALSE(img.Encode(&f, pages, 1, RASTER_FORMAT_WMF));
    EXPECT_STREQ("Multipage Encode, Unsupported operation for this format", img.GetLastError());
    EXPECT_EQ(0, f.Size());
}

TEST(RasterEncode, NullStreamAndEmptyImage)
{
    RasterImage img(2, 2, 24, 0);
    EXPECT_FALSE(img.Encode(static_cast<RasterFile*>(nullptr), RASTER_FORMAT_BMP));
    EXPECT_STREQ("null file handler", img.GetLastError());
    EXPECT_FALSE(img.Encode(static_cast<FILE*>(nullptr), RASTER_FORMAT_BMP));
    EXPECT_STREQ("null file handler", img.GetLastError());
    RasterImage empty;
    RasterMemFile f;
    ASSERT_TRUE(f.Open());
    EXPECT_FALSE(empty.Encode(&f, RASTER_FORMAT_BMP));
    EXPECT_STREQ("null image!!!", empty.GetLastError());
}

TEST(RasterEncode, IntoMemory)
{
    RasterImage img(5, 3, 8, 0);
    img.Clear(1);
    img.Create(100000, 100000, 24, 0);  // leaves a text behind
    img.Create(5, 3, 8, 0);
    img.Clear(1);
    BYTE* buf = nullptr;
    long size = 0;
    ASSERT_TRUE(img.Encode(buf, size, RASTER_FORMAT_BMP));
    EXPECT_EQ(14 + 40 + 1024 + 8 * 3, size);
    EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", img.GetLastError());  // unchanged by success
    BYTE* again = buf;
    long size2 = 0;
    EXPECT_FALSE(img.Encode(again, size2, RASTER_FORMAT_BMP));
    EXPECT_EQ(buf, again);
    free(buf);
    BYTE* none = nullptr;
    EXPECT_FALSE(img.Encode(none, size2, RASTER_FORMAT_WMF));
    EXPECT_EQ(nullptr, none);
}

TEST(RasterFiles, LoadAndSaveByPath)
{
    std::string path = TempPath("sample.bmp");
    RasterImage src(4, 3, 24, 0);
    src.Clear(0x5A);
    ASSERT_TRUE(src.Save(path.c_str(), RASTER_FORMAT_BMP));
    RasterImage byProbe, byType;
    EXPECT_TRUE(byProbe.Load(path.c_str(), RASTER_FORMAT_UNKNOWN));
    EXPECT_TRUE(byType.Load(path.c_str(), RASTER_FORMAT_BMP));
    EXPECT_FALSE(src.Save("/nonexistent-dir/x.bmp", RASTER_FORMAT_BMP));
    EXPECT_FALSE(byProbe.Load("/nonexistent-dir/x.bmp", RASTER_FORMAT_BMP));
    remove(path.c_str());
}

// A load asked for one format reads with that format's decoder alone and
// fails with its text, however well another decoder would take the bytes;
// the image keeps what it held.
TEST(RasterFiles, TypedLoadsUseTheirOwnDecoderOnly)
{
    // A TGA header of a 10 x 32 true-colour picture with no pixels after it
    // (a wireless bitmap reader would take it for a picture of its own).
    const std::vector<BYTE> tgaHeader = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 0, 32, 0, 24, 0};
    struct Row {
        const char* name;
        std::vector<BYTE> file;
        DWORD type;
        const char* text;
    };
    const Row rows[] = {
        {"TGA header as TGA", tgaHeader, RASTER_FORMAT_TGA, "corrupted TGA"},
        {"BMP as JPEG", SampleBmp(), RASTER_FORMAT_JPG, "Not a JPEG file: starts with 0x42 0x4d"},
        {"BMP as PNG", SampleBmp(), RASTER_FORMAT_PNG, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = TempPath("typed.bin");
        WriteFile(path, row.file);
        RasterImage img(2, 2, 8, 0);
        EXPECT_FALSE(img.Load(path.c_str(), row.type));
        if (row.text != nullptr) {
            EXPECT_STREQ(row.text, img.GetLastError());
        } else {
            EXPECT_STRNE("", img.GetLastError());
        }
        EXPECT_EQ(2u, img.GetWidth());
        EXPECT_EQ(8, img.GetBpp());
        RasterImage ctor(path.c_str(), row.type);
        EXPECT_FALSE(ctor.IsValid());
        remove(path.c_str());
    }
}

TEST(RasterFiles, FailedLoadsReportTheTypedText)
{
    std::string path = TempPath("garbage.bin");
    WriteFile(path, std::vector<BYTE>(kGarbage, kGarbage + sizeof(kGarbage)));
    RasterImage img;
    EXPECT_FALSE(img.Load(path.c_str(), RASTER_FORMAT_BMP));
    EXPECT_STREQ("Error reading BMP info", img.GetLastError());
    EXPECT_FALSE(img.Load(path.c_str(), RASTER_FORMAT_JPG));
    EXPECT_STREQ("Not a JPEG file: starts with 0x6e 0x6f", img.GetLastError());  // the JPEG decoder's text
    EXPECT_FALSE(img.Load(path.c_str(), RASTER_FORMAT_UNKNOWN));
    EXPECT_STREQ("Decode: Unknown or wrong format", img.GetLastError());
    img.Create(100000, 100000, 24, 0);
    EXPECT_FALSE(img.Load(path.c_str(), 20));
    EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", img.GetLastError());  // the text from before
    RasterImage ctor(path.c_str(), RASTER_FORMAT_UNKNOWN);
    EXPECT_FALSE(ctor.IsValid());
    remove(path.c_str());
}

TEST(RasterFiles, CFileStreams)
{
    FILE* fp = tmpfile();
    ASSERT_NE(nullptr, fp);
    RasterImage src(2, 2, 4, 0);
    src.SetStdPalette();
    src.Clear(0x9C);
    ASSERT_TRUE(src.Encode(fp, RASTER_FORMAT_BMP));
    rewind(fp);
    RasterImage img(fp, RASTER_FORMAT_UNKNOWN);
    ASSERT_TRUE(img.IsValid());
    EXPECT_EQ(0x0C, img.GetPixelIndex(1, 1));
    EXPECT_EQ(0xFF, img.GetPaletteColor(9).rgbRed);
    fclose(fp);  // the streams did not close it
}

class RasterResources : public ::testing::Test {
protected:
    void TearDown() override
    {
        desktop::ClearResources();
        desktop::ClearFailures();
    }
};

TEST_F(RasterResources, DecodesRegisteredData)
{
    std::vector<BYTE> bmp = SampleBmp();
    HMODULE module = reinterpret_cast<HMODULE>(0x400000);
    ASSERT_TRUE(desktop::RegisterResource(module, "PICTURE", "Logo", bmp.data(), (DWORD)bmp.size()));
    HRSRC res = FindResourceA(module, "LOGO", "picture");  // names compare without case
    ASSERT_NE(nullptr, res);
    EXPECT_EQ(bmp.size(), SizeofResource(module, res));
    EXPECT_EQ(nullptr, FindResourceA(nullptr, "LOGO", "picture"));
    RasterImage img;
    ASSERT_TRUE(img.LoadResource(res, RASTER_FORMAT_UNKNOWN, module));
    EXPECT_EQ(3u, img.GetWidth());

    ASSERT_TRUE(desktop::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCE(7), bmp.data(),
                                          (DWORD)bmp.size()));
    HRSRC numbered = FindResourceA(nullptr, MAKEINTRESOURCE(7), RT_BITMAP);
    ASSERT_NE(nullptr, numbered);
    EXPECT_TRUE(img.LoadResource(numbered, RASTER_FORMAT_BMP));
}

TEST_F(RasterResources, LoadAndLockFailures)
{
    std::vector<BYTE> bmp = SampleBmp();
    ASSERT_TRUE(desktop::RegisterResource(nullptr, "PICTURE", "x", bmp.data(), (DWORD)bmp.size()));
    HRSRC res = FindResourceA(nullptr, "x", "PICTURE");
    RasterImage img;
    desktop::FailOnce("LoadResource");
    EXPECT_FALSE(img.LoadResource(res, RASTER_FORMAT_BMP));
    EXPECT_STREQ("Unable to load resource!", img.GetLastError());
    img.Create(100000, 100000, 24, 0);
    desktop::FailOnce("LockResource");
    EXPECT_FALSE(img.LoadResource(res, RASTER_FORMAT_BMP));
    EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", img.GetLastError());
    EXPECT_FALSE(img.LoadResource(nullptr, RASTER_FORMAT_BMP));
    EXPECT_STREQ("Unable to load resource!", img.GetLastError());
    EXPECT_FALSE(FreeResource(nullptr));
}

}  // namespace
