// The JPEG decoding service: the parameters from memory, the whole picture in
// the caller's layout, and an error code for every misuse or damaged stream,
// never a read past the input or a write past the output.
#include <gtest/gtest.h>

// The suite must link ijl (which brings libjpeg into the build tree); until
// it does, one skipped test says so instead of a failed build.
#if !__has_include(<ijl.h>)
TEST(Ijl, ServiceIsLinkedIntoThisSuite)
{
    GTEST_SKIP() << "link ijl into kestrel_platform_tests to run the JPEG service's tests";
}
#else

#include <cstring>
#include <memory>
#include <vector>
#include <ijl.h>
#include "test_jpeg.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The stream in a heap block of exactly its size, so a read past it is caught.
struct Input {
    explicit Input(const Bytes& jpg) : size(jpg.size()), data(new uint8_t[jpg.size()])
    {
        std::memcpy(data.get(), jpg.data(), jpg.size());
    }
    size_t size;
    std::unique_ptr<uint8_t[]> data;
};

class Ijl : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(&jcp, 0, sizeof(jcp));
        ASSERT_EQ(ijlInit(&jcp), IJL_OK);
    }
    void TearDown() override { ijlFree(&jcp); }
    int Params(const Input& in)
    {
        jcp.JPGBytes = in.data.get();
        jcp.JPGSizeBytes = uint32_t(in.size);
        return ijlRead(&jcp, IJL_JBUFF_READPARAMS);
    }
    // Lays out a buffer for the picture with `guard` spare bytes after it.
    void Layout(IJL_COLOR jpg, IJL_COLOR dib, uint32_t channels, size_t guard = 16)
    {
        jcp.JPGColor = jpg;
        jcp.DIBColor = dib;
        jcp.DIBChannels = channels;
        jcp.DIBWidth = jcp.JPGWidth;
        jcp.DIBHeight = jcp.JPGHeight;
        const uint32_t row = jcp.DIBWidth * channels;
        jcp.DIBPadBytes = ((row + 3) & ~3u) - row;
        stride = row + jcp.DIBPadBytes;
        buffer.assign(stride * jcp.DIBHeight + guard, 0xAA);
        jcp.DIBBytes = buffer.data();
    }
    JPEG_CORE_PROPERTIES jcp;
    Bytes buffer;
    size_t stride = 0;
};

TEST_F(Ijl, ParametersComeFromTheHeader)
{
    Input in(EncodeJpeg(Flat(5, 3, {1, 2, 3}), 5, 3, 3, JCS_RGB));
    ASSERT_EQ(Params(in), IJL_OK);
    EXPECT_EQ(jcp.JPGWidth, 5u);
    EXPECT_EQ(jcp.JPGHeight, 3u);
    EXPECT_EQ(jcp.JPGChannels, 3u);

    Input grey(EncodeJpeg(Flat(7, 2, {9}), 7, 2, 1, JCS_GRAYSCALE));
    ASSERT_EQ(Params(grey), IJL_OK);
    EXPECT_EQ(jcp.JPGChannels, 1u);
}

TEST_F(Ijl, ColourDecodesToPaddedBgrRowsTopFirst)
{
    Bytes px = Flat(5, 8, {255, 0, 0});
    Bytes blue = Flat(5, 8, {0, 0, 255});
    px.insert(px.end(), blue.begin(), blue.end());
    Input in(EncodeJpeg(px, 5, 16, 3, JCS_RGB));
    ASSERT_EQ(Params(in), IJL_OK);
    Layout(IJL_YCBCR, IJL_BGR, 3);
    EXPECT_EQ(stride, 16u);  // 15 pixel bytes and one of padding
    ASSERT_EQ(ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE), IJL_OK);
    for (size_t y = 0; y < 16; y++) {
        const uint8_t* row = &buffer[y * stride];
        for (size_t x = 0; x < 5; x++) {
            const int b = row[x * 3], g = row[x * 3 + 1], r = row[x * 3 + 2];
            if (y < 8) {
                EXPECT_GE(r, 250);
                EXPECT_LE(b, 5);
            } else {
                EXPECT_GE(b, 250);
                EXPECT_LE(r, 5);
            }
            EXPECT_LE(g, 5);
        }
        EXPECT_EQ(row[15], 0) << "padding of row " << y;
    }
    for (size_t i = stride * 16; i < buffer.size(); i++)
        EXPECT_EQ(buffer[i], 0xAA) << "written past the rows at " << i;
}

TEST_F(Ijl, GreyIsSpreadOverThreeEqualBytes)
{
    Input in(EncodeJpeg(Flat(3, 2, {77}), 3, 2, 1, JCS_GRAYSCALE));
    ASSERT_EQ(Params(in), IJL_OK);
    Layout(IJL_G, IJL_BGR, 3);
    ASSERT_EQ(ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE), IJL_OK);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 12),
              Bytes({77, 77, 77, 77, 77, 77, 77, 77, 77, 0, 0, 0}));
}

TEST_F(Ijl, FourComponentsGiveColourAndAlpha)
{
    // Luma 100, chroma neutral, alpha 200: grey 100 with alpha 200.
    Input in(EncodeJpeg(Flat(8, 8, {100, 128, 128, 200}), 8, 8, 4, JCS_UNKNOWN));
    ASSERT_EQ(Params(in), IJL_OK);
    EXPECT_EQ(jcp.JPGChannels, 4u);
    Layout(IJL_YCBCRA_FPX, IJL_RGBA_FPX, 4);
    ASSERT_EQ(ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE), IJL_OK);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), Bytes({100, 100, 100, 200}));
    EXPECT_EQ(Bytes(buffer.end() - 20, buffer.end() - 16), Bytes({100, 100, 100, 200}));
}

TEST_F(Ijl, MisuseGivesErrorCodes)
{
    EXPECT_EQ(ijlInit(nullptr), IJL_ERR_ARGUMENT);
    EXPECT_EQ(ijlRead(nullptr, IJL_JBUFF_READPARAMS), IJL_ERR_ARGUMENT);
    JPEG_CORE_PROPERTIES fresh;
    std::memset(&fresh, 0, sizeof(fresh));
    EXPECT_EQ(ijlRead(&fresh, IJL_JBUFF_READPARAMS), IJL_ERR_NOT_INITIALIZED);
    EXPECT_EQ(ijlFree(&fresh), IJL_ERR_NOT_INITIALIZED);

    Input in(EncodeJpeg(Flat(8, 8, {1, 2, 3}), 8, 8, 3, JCS_RGB));
    EXPECT_EQ(ijlRead(&jcp, IJL_JBUFF_READPARAMS), IJL_ERR_ARGUMENT);  // no input yet
    jcp.JPGFile = "picture.jpg";
    jcp.JPGBytes = in.data.get();
    jcp.JPGSizeBytes = uint32_t(in.size);
    EXPECT_EQ(ijlRead(&jcp, IJL_JBUFF_READPARAMS), IJL_ERR_ARGUMENT);  // files are not served
    jcp.JPGFile = nullptr;
    ASSERT_EQ(ijlRead(&jcp, IJL_JBUFF_READPARAMS), IJL_OK);
    EXPECT_EQ(ijlRead(&jcp, IJLIOTYPE(2)), IJL_ERR_ARGUMENT);

    Layout(IJL_YCBCR, IJL_BGR, 3);
    jcp.DIBBytes = nullptr;
    EXPECT_EQ(ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE), IJL_ERR_ARGUMENT);
    Layout(IJL_YCBCR, IJL_RGBA_FPX, 4);
    EXPECT_EQ(ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE), IJL_ERR_CONVERSION);
    Layout(IJL_G, IJL_BGR, 3);  // the picture has three components
    EXPECT_EQ(ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE), IJL_ERR_CONVERSION);
    Layout(IJL_YCBCR, IJL_BGR, 3);
    jcp.DIBWidth = 4;  // scaling is not offered
    EXPECT_EQ(ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE), IJL_ERR_CONVERSION);
    Layout(IJL_OTHER, IJL_OTHER, 3);
    EXPECT_EQ(ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE), IJL_ERR_CONVERSION);

    EXPECT_EQ(ijlFree(&jcp), IJL_OK);
    EXPECT_EQ(ijlRead(&jcp, IJL_JBUFF_READPARAMS), IJL_ERR_NOT_INITIALIZED);
    ASSERT_EQ(ijlInit(&jcp), IJL_OK);  // for TearDown
}

TEST_F(Ijl, DamagedStreamsFailWithoutReadingOrWritingPastTheirBuffers)
{
    Bytes noise(32 * 32 * 3);
    unsigned seed = 7;
    for (uint8_t& b : noise)
        b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    const Bytes good = EncodeJpeg(noise, 32, 32, 3, JCS_RGB);

    for (size_t cut : {size_t(1), size_t(20), good.size() / 3, good.size() - 2}) {
        Input in(Bytes(good.begin(), good.begin() + long(cut)));
        jcp.JPGBytes = in.data.get();
        jcp.JPGSizeBytes = uint32_t(in.size);
        const int params = ijlRead(&jcp, IJL_JBUFF_READPARAMS);
        if (params != IJL_OK) {
            EXPECT_EQ(params, IJL_ERR_STREAM) << cut;
            continue;
        }
        Layout(IJL_YCBCR, IJL_BGR, 3);
        EXPECT_EQ(ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE), IJL_ERR_STREAM) << cut;
        for (size_t i = stride * 32; i < buffer.size(); i++)
            ASSERT_EQ(buffer[i], 0xAA) << cut;
    }

    Input junk(Bytes(64, 0x5A));
    EXPECT_EQ(Params(junk), IJL_ERR_STREAM);
}

TEST_F(Ijl, HeadersDeclaringMoreThanTheStreamCanCodeAreRefused)
{
    Bytes jpg = EncodeJpeg(Flat(8, 8, {9, 9, 9}), 8, 8, 3, JCS_RGB);
    size_t sof = 0;
    for (size_t i = 0; i + 1 < jpg.size() && sof == 0; i++)
        if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0)
            sof = i;
    ASSERT_NE(sof, 0u);
    // Height and width at +5 and +7; the stream codes at most 512 pixels a byte.
    const uint64_t most = uint64_t(jpg.size()) * 512;
    struct Case {
        uint16_t h, w;
    } cases[] = {{27000, 26000}, {1, 65000}, {uint16_t(most / 256), 256}, {uint16_t(most / 256 + 1), 256}};
    for (const Case& c : cases) {
        jpg[sof + 5] = uint8_t(c.h >> 8);
        jpg[sof + 6] = uint8_t(c.h);
        jpg[sof + 7] = uint8_t(c.w >> 8);
        jpg[sof + 8] = uint8_t(c.w);
        Input in(jpg);
        const bool backed = uint64_t(c.h) * c.w <= most;
        EXPECT_EQ(Params(in), backed ? IJL_OK : IJL_ERR_STREAM) << c.h << " x " << c.w;
    }
}

}  // namespace
#endif
