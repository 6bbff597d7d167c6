// The fast row kernels of drawing against the reference rows: random
// pictures of every depth, rows long enough for the wide loops, column maps
// in one run (unscaled) or sampled, onto 24- and 32-bit pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "rasterdrawrows.h"

namespace {

struct RandomPicture {
    std::vector<BYTE> bits, alpha;
    std::vector<RGBQUAD> palette;
    rasterdraw::Picture p;

    explicit RandomPicture(std::mt19937& rng)
    {
        static const WORD kDepths[] = {1, 4, 8, 24};
        p.bpp = kDepths[rng() % 4];
        p.width = 1 + (long)(rng() % 300);
        p.height = 1 + (long)(rng() % 4);
        p.stride = ((size_t)p.width * p.bpp + 31) / 32 * 4;
        // The block ends with the top row, as an image's does, so that a
        // read past it shows under the sanitizers.
        bits.resize(p.stride * (size_t)p.height);
        for (BYTE& b : bits)
            b = (BYTE)(rng() % 5 == 0 ? 0 : rng());  // repeated colours meet the key
        p.bits = bits.data();
        if (p.bpp <= 8) {
            palette.resize((size_t)1 << p.bpp);
            for (RGBQUAD& q : palette)
                q = RGBQUAD{(BYTE)rng(), (BYTE)rng(), (BYTE)rng(), (BYTE)(rng() % 3 ? rng() : 255)};
            // Sometimes fewer entries than indices: the rest draw black.
            p.colours = rng() % 4 ? (DWORD)palette.size() : (DWORD)(rng() % palette.size());
            p.palette = palette.data();
        }
        if (rng() % 3) {
            alpha.resize((size_t)p.width * (size_t)p.height);
            for (BYTE& a : alpha) {
                const unsigned r = rng() % 4;
                a = r == 0 ? 0 : r == 1 ? 255 : (BYTE)rng();
            }
            p.alpha = alpha.data();
        }
        p.alphaMax = rng() % 3 ? 255 : (int)(rng() % 256);
        p.transparent = rng() % 3 == 0;
        p.transIndex = p.transparent ? (long)(rng() % 300) - 20 : -1;
        // A colour that occurs, for 24-bit pictures.
        const BYTE* some = p.bpp == 24 ? &bits[3 * (rng() % (size_t)p.width)] : &bits[0];
        p.transColour = RGBQUAD{some[0], some[1], some[2], (BYTE)(rng() % 8 ? 0 : 1)};
        p.alphaPalette = p.bpp <= 8 && rng() % 2;
    }
};

}  // namespace

TEST(RasterDrawRows, FastRowsGiveTheBytesOfTheReference)
{
    std::mt19937 rng(31140);
    for (int round = 0; round < 1500; round++) {
        RandomPicture pic(rng);
        const rasterdraw::Picture& p = pic.p;
        const long w = 1 + (long)(rng() % 400);
        std::vector<long> sx((size_t)w);
        const int kind = (int)(rng() % 3);
        const long start = w <= p.width ? (long)(rng() % (p.width - w + 1)) : 0;
        for (long c = 0; c < w; c++) {
            if (kind == 0 && w <= p.width)
                sx[(size_t)c] = start + c;  // one run, as unscaled
            else if (kind == 1)
                sx[(size_t)c] = (long)((double)c * p.width / w);  // stretched
            else
                sx[(size_t)c] = (long)(rng() % p.width);
        }
        const long sy = (long)(rng() % p.height);
        const bool blend = rng() % 4 != 0;
        std::vector<BYTE> background((size_t)w * 3);
        for (BYTE& b : background)
            b = (BYTE)rng();

        std::vector<BYTE> expect = background;
        if (blend)
            rasterdraw::BlendRowRef(p, sy, sx.data(), w, expect.data());
        else
            rasterdraw::SampleRowRef(p, sy, sx.data(), w, expect.data());
        const rasterdraw::FastRows rows(p, sx.data(), w);
        for (int bytes : {3, 4}) {
            SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(p.bpp) + " bits, " +
                         std::to_string(w) + " pixels onto " + std::to_string(bytes) + "-byte ones");
            // 32-bit pixels start with the background and a random fourth
            // byte, which must come out 0.
            std::vector<BYTE> got((size_t)w * (size_t)bytes);
            for (long c = 0; c < w; c++) {
                memcpy(&got[(size_t)c * bytes], &background[(size_t)c * 3], 3);
                if (bytes == 4)
                    got[(size_t)c * 4 + 3] = (BYTE)(1 + rng() % 255);
            }
            if (blend)
                rows.Blend(sy, got.data(), bytes);
            else
                rows.Sample(sy, got.data(), bytes);
            for (long c = 0; c < w; c++) {
                for (int k = 0; k < 3; k++)
                    ASSERT_EQ(got[(size_t)c * bytes + k], expect[(size_t)c * 3 + k]) << "pixel " << c;
                if (bytes == 4) {
                    ASSERT_EQ(got[(size_t)c * 4 + 3], 0) << "pixel " << c;
                }
            }
        }
    }
}
