// Decoding straight into the image's rows: the pixel block is not cleared
// first, so every row must come from libjpeg or be cleared by the decoder.
// The tests leave a pattern in a reused block and look for it afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <raster.h>

#include "jpeg_maker.h"

namespace {

const BYTE kPattern = 0xA5;

// A dark, noisy picture: no decoded sample comes near the pattern byte.
Bytes DarkJpeg(int w, int h)
{
    JpegRecipe r;
    r.width = w;
    r.height = h;
    r.quality = 95;
    r.sample = [](int x, int y, int c) { return ((x * 13 + y * 7 + c * 5) ^ (x * y)) & 0x3F; };
    return MakeJpeg(r);
}

bool DecodeInto(RasterImageJPG& img, const Bytes& jpg)
{
    RasterMemFile stream(const_cast<BYTE*>(jpg.data()), DWORD(jpg.size()));
    return img.Decode(&stream);
}

// Bytes of the pattern among the rows' first `used` bytes, and non-zero
// padding bytes after them.
void CountLeftovers(const RasterImage& img, size_t& pattern, size_t& padding)
{
    pattern = padding = 0;
    const size_t used = size_t(img.GetWidth()) * img.GetBpp() / 8;
    for (DWORD y = 0; y < img.GetHeight(); y++) {
        const BYTE* row = img.GetBits(y);
        for (size_t i = 0; i < img.GetEffWidth(); i++) {
            if (i < used && row[i] == kPattern)
                pattern++;
            if (i >= used && row[i] != 0)
                padding++;
        }
    }
}

// A stream that asks the image to stop once half the file has been read.
class StoppingStream : public RasterMemFile {
public:
    StoppingStream(const Bytes& jpg, RasterImage& img)
        : RasterMemFile(const_cast<BYTE*>(jpg.data()), DWORD(jpg.size())), m_img(img),
          m_left(jpg.size() / 2)
    {
    }
    size_t Read(void* buffer, size_t size, size_t count) override
    {
        const size_t n = RasterMemFile::Read(buffer, size, count);
        m_left = n * size >= m_left ? 0 : m_left - n * size;
        if (m_left == 0)
            m_img.SetEscape(1);
        return n;
    }

private:
    RasterImage& m_img;
    size_t m_left;
};

TEST(RasterJpegRows, ADecodeOfTheSameSizeWritesOverTheImagesOwnBlock)
{
    const Bytes jpg = DarkJpeg(37, 29);  // rows of 111 bytes and one of padding
    RasterImageJPG img, fresh;
    ASSERT_TRUE(DecodeInto(fresh, jpg));
    ASSERT_TRUE(DecodeInto(img, jpg));
    const void* block = img.GetDIB();
    img.Clear(kPattern);
    img.AlphaCreate();
    ASSERT_TRUE(DecodeInto(img, jpg));
    EXPECT_EQ(block, img.GetDIB());
    EXPECT_FALSE(img.AlphaIsValid());  // the old picture's plane goes with it
    ASSERT_EQ(fresh.GetSize(), img.GetSize());
    // The pixels, padding included (the block's header copy keeps the
    // resolution of the image's last picture, as Create always has).
    EXPECT_EQ(0, memcmp(fresh.GetBits(0), img.GetBits(0),
                        size_t(fresh.GetEffWidth()) * fresh.GetHeight()));
    size_t pattern, padding;
    CountLeftovers(img, pattern, padding);
    EXPECT_EQ(0u, padding);
}

TEST(RasterJpegRows, RowsNotDeliveredAreClearedNotLeftAsTheyWere)
{
    const int w = 641, h = 480;  // a byte of padding a row
    const Bytes jpg = DarkJpeg(w, h);
    ASSERT_GT(jpg.size(), 3 * 65536u);  // read in several helpings
    RasterImageJPG whole;
    ASSERT_TRUE(DecodeInto(whole, jpg));

    struct Case {
        const char* name;
        bool stop;    // the host asks the decode to stop half-way
        size_t keep;  // bytes of the file kept (cut files)
    };
    const Case cases[] = {
        {"cut at a third", false, jpg.size() / 3},
        {"cut after the headers", false, 700},
        {"stopped half-way", true, jpg.size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RasterImageJPG img;
        ASSERT_TRUE(DecodeInto(img, jpg));
        img.Clear(kPattern);
        const Bytes part(jpg.begin(), jpg.begin() + long(c.keep));
        bool ok;
        if (c.stop) {
            StoppingStream stream(part, img);
            ok = img.Decode(&stream);
        } else {
            ok = DecodeInto(img, part);
        }
        ASSERT_EQ(!c.stop, ok);  // a cut file decodes (libjpeg makes the rest up)
        ASSERT_TRUE(img.IsValid());
        ASSERT_EQ(DWORD(w), img.GetWidth());
        size_t pattern, padding;
        CountLeftovers(img, pattern, padding);
        EXPECT_EQ(0u, pattern);
        EXPECT_EQ(0u, padding);
        if (!c.stop)
            continue;
        // The rows delivered from the top are the picture's; the rest are 0.
        long delivered = 0;
        const size_t rowBytes = size_t(w) * 3;
        while (delivered < h && memcmp(img.GetBits(DWORD(h - 1 - delivered)),
                                       whole.GetBits(DWORD(h - 1 - delivered)), rowBytes) == 0)
            delivered++;
        EXPECT_GT(delivered, 0);
        EXPECT_LT(delivered, h);
        for (long y = 0; y < h - delivered; y++) {
            const BYTE* row = img.GetBits(DWORD(y));
            for (size_t i = 0; i < rowBytes; i++)
                ASSERT_EQ(0, row[i]) << "row " << y << " byte " << i;
        }
    }
}

}  // namespace
