// SetDIBitsToDevice: formats, row orders, clipping, bands and the engine's
// presentation call.
#include "platform_fixture.h"

#include <functional>

namespace {

// A header followed by room for the three BI_BITFIELDS masks.
struct DibHeader {
    BITMAPINFOHEADER h;
    DWORD masks[3];
};

DibHeader Header(int width, int height, int bitCount, DWORD compression = BI_RGB,
                 DWORD r = 0, DWORD g = 0, DWORD b = 0)
{
    DibHeader info = {};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = width;
    info.h.biHeight = height;
    info.h.biPlanes = 1;
    info.h.biBitCount = WORD(bitCount);
    info.h.biCompression = compression;
    info.masks[0] = r;
    info.masks[1] = g;
    info.masks[2] = b;
    return info;
}

const BITMAPINFO* Info(const DibHeader& header)
{
    return reinterpret_cast<const BITMAPINFO*>(&header);
}

size_t Stride(int width, int bitCount)
{
    return size_t((width * bitCount + 31) / 32 * 4);
}

// Rows in memory order for an image given top row first: a top-down bitmap
// stores them as they are, a bottom-up one last row first. The vector has
// exactly the bytes of the rows, so reading past them is caught.
std::vector<BYTE> Rows(int width, int height, int bitCount, bool topDown,
                       const std::function<DWORD(int x, int y)>& value)
{
    const size_t stride = Stride(width, bitCount);
    std::vector<BYTE> bits(stride * size_t(height), 0xEE);  // padding is junk
    for (int y = 0; y < height; ++y) {
        BYTE* row = &bits[stride * size_t(topDown ? y : height - 1 - y)];
        for (int x = 0; x < width; ++x) {
            const DWORD v = value(x, y);
            for (int i = 0; i < bitCount / 8; ++i)
                row[x * (bitCount / 8) + i] = BYTE(v >> (8 * i));
        }
    }
    return bits;
}

DWORD Widen(DWORD v, int bits)
{
    return bits == 5 ? (v << 3 | v >> 2) : (v << 2 | v >> 4);
}

DWORD From565(DWORD v)
{
    return Widen(v >> 11, 5) << 16 | Widen((v >> 5) & 63, 6) << 8 | Widen(v & 31, 5);
}

DWORD From555(DWORD v)
{
    return Widen((v >> 10) & 31, 5) << 16 | Widen((v >> 5) & 31, 5) << 8 | Widen(v & 31, 5);
}

WORD To565(DWORD rgb)
{
    return WORD(((rgb >> 19) & 0x1F) << 11 | ((rgb >> 10) & 0x3F) << 5 | ((rgb >> 3) & 0x1F));
}

// A distinct 16-bit value per pixel.
DWORD Pattern16(int x, int y)
{
    return DWORD((x * 0x0843 + y * 0x1927 + 0x2108) & 0xFFFF);
}

// A distinct 24-bit colour per pixel.
DWORD Pattern24(int x, int y)
{
    return DWORD((x * 0x10305 + y * 0x070B11 + 0x102030) & 0xFFFFFF);
}

class DibTest : public PlatformTest {
protected:
    // A frameless window whose surface is w x h.
    HWND Window(int w, int h)
    {
        HWND hwnd = MakeWindow(WS_POPUP, 0, 0, w, h);
        EXPECT_NE(hwnd, nullptr);
        return hwnd;
    }
    int Copy(HWND hwnd, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
             UINT startScan, UINT cLines, const void* bits, const DibHeader& header)
    {
        HDC dc = GetDC(hwnd);
        const int n = SetDIBitsToDevice(dc, xDest, yDest, w, h, xSrc, ySrc, startScan, cLines,
                                        bits, Info(header), DIB_RGB_COLORS);
        ReleaseDC(hwnd, dc);
        return n;
    }
    // Every surface pixel: expected(x, y) inside `area`, 0 outside.
    void ExpectSurface(HWND hwnd, const RECT& area, const std::function<DWORD(int, int)>& expected)
    {
        const int w = desktop::SurfaceWidth(hwnd), h = desktop::SurfaceHeight(hwnd);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const POINT pt = {x, y};
                const DWORD want = PtInRect(&area, pt) ? expected(x, y) : 0;
                ASSERT_EQ(desktop::Pixel(hwnd, x, y), want) << "at " << x << "," << y;
            }
    }
};

}  // namespace

TEST_F(DibTest, TopDown565LandsPixelForPixel)
{
    HWND hwnd = Window(16, 8);
    const auto bits = Rows(5, 3, 16, true, Pattern16);  // odd width: rows are padded
    const auto header = Header(5, -3, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F);
    EXPECT_EQ(Copy(hwnd, 2, 1, 5, 3, 0, 0, 0, 3, bits.data(), header), 3);
    ExpectSurface(hwnd, {2, 1, 7, 4}, [](int x, int y) { return From565(Pattern16(x - 2, y - 1)); });
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);
}

TEST_F(DibTest, BottomUp565LandsTheSameWay)
{
    HWND hwnd = Window(16, 8);
    const auto bits = Rows(5, 3, 16, false, Pattern16);
    const auto header = Header(5, 3, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F);
    EXPECT_EQ(Copy(hwnd, 2, 1, 5, 3, 0, 0, 0, 3, bits.data(), header), 3);
    ExpectSurface(hwnd, {2, 1, 7, 4}, [](int x, int y) { return From565(Pattern16(x - 2, y - 1)); });
}

TEST_F(DibTest, Every565ValueSurvivesTheRoundTrip)
{
    HWND hwnd = Window(256, 256);
    const auto value = [](int x, int y) { return DWORD(y * 256 + x); };
    const auto bits = Rows(256, 256, 16, true, value);
    EXPECT_EQ(Copy(hwnd, 0, 0, 256, 256, 0, 0, 0, 256, bits.data(),
                   Header(256, -256, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F)),
              256);
    const DWORD* px = desktop::SurfacePixels(hwnd);
    ASSERT_NE(px, nullptr);
    for (DWORD v = 0; v < 65536; ++v) {
        ASSERT_EQ(To565(px[v]), v);
        ASSERT_EQ(px[v], From565(v));
    }
    EXPECT_EQ(px[0xFFFF], 0x00FFFFFFu);
    EXPECT_EQ(px[0xF800], 0x00FF0000u);
}

TEST_F(DibTest, Bitfields555AndRgb16AreFiveFiveFive)
{
    HWND hwnd = Window(8, 4);
    const auto value = [](int x, int y) { return Pattern16(x, y) & 0x7FFF; };
    const auto expect = [&](int x, int y) { return From555(value(x, y)); };

    const auto down = Rows(8, 4, 16, true, value);
    EXPECT_EQ(Copy(hwnd, 0, 0, 8, 4, 0, 0, 0, 4, down.data(),
                   Header(8, -4, 16, BI_BITFIELDS, 0x7C00, 0x03E0, 0x001F)),
              4);
    ExpectSurface(hwnd, {0, 0, 8, 4}, expect);

    desktop::Reset();
    hwnd = Window(8, 4);
    const auto up = Rows(8, 4, 16, false, value);
    EXPECT_EQ(Copy(hwnd, 0, 0, 8, 4, 0, 0, 0, 4, up.data(), Header(8, 4, 16, BI_RGB)), 4);
    ExpectSurface(hwnd, {0, 0, 8, 4}, expect);

    desktop::Reset();
    hwnd = Window(8, 4);
    EXPECT_EQ(Copy(hwnd, 0, 0, 8, 4, 0, 0, 0, 4, down.data(),
                   Header(8, -4, 16, BI_BITFIELDS, 0x7C00, 0x03E0, 0x001F)),
              4);
    ExpectSurface(hwnd, {0, 0, 8, 4}, expect);
}

TEST_F(DibTest, MasksMayBeInAnyOrder)
{
    HWND hwnd = Window(4, 4);
    // Blue in the top five bits, red in the low five.
    const auto bits = Rows(4, 4, 16, true, Pattern16);
    EXPECT_EQ(Copy(hwnd, 0, 0, 4, 4, 0, 0, 0, 4, bits.data(),
                   Header(4, -4, 16, BI_BITFIELDS, 0x001F, 0x07E0, 0xF800)),
              4);
    ExpectSurface(hwnd, {0, 0, 4, 4}, [](int x, int y) {
        const DWORD v = From565(Pattern16(x, y));
        return (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16);
    });
}

TEST_F(DibTest, TwentyFourAndThirtyTwoBitRows)
{
    for (const bool topDown : {true, false}) {
        desktop::Reset();
        HWND hwnd = Window(6, 5);
        const auto bits24 = Rows(3, 2, 24, topDown, Pattern24);  // 9 bytes padded to 12
        EXPECT_EQ(Copy(hwnd, 1, 1, 3, 2, 0, 0, 0, 2, bits24.data(),
                       Header(3, topDown ? -2 : 2, 24)),
                  2);
        ExpectSurface(hwnd, {1, 1, 4, 3}, [](int x, int y) { return Pattern24(x - 1, y - 1); });

        desktop::Reset();
        hwnd = Window(6, 5);
        // The fourth byte is not colour and never reaches the surface.
        const auto bits32 = Rows(3, 2, 32, topDown,
                                 [](int x, int y) { return Pattern24(x, y) | 0xAB000000u; });
        EXPECT_EQ(Copy(hwnd, 1, 1, 3, 2, 0, 0, 0, 2, bits32.data(),
                       Header(3, topDown ? -2 : 2, 32)),
                  2);
        ExpectSurface(hwnd, {1, 1, 4, 3}, [](int x, int y) { return Pattern24(x - 1, y - 1); });
    }
}

TEST_F(DibTest, ClipsAtEveryEdgeOfTheSurface)
{
    const auto bits = Rows(6, 5, 16, true, Pattern16);
    const auto header = Header(6, -5, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F);
    const auto source = [](int dx, int dy) {
        return [dx, dy](int x, int y) { return From565(Pattern16(x - dx, y - dy)); };
    };

    // Off the top-left: the bitmap's first two columns and first row are cut.
    HWND hwnd = Window(8, 6);
    EXPECT_EQ(Copy(hwnd, -2, -1, 6, 5, 0, 0, 0, 5, bits.data(), header), 4);
    ExpectSurface(hwnd, {0, 0, 4, 4}, source(-2, -1));

    // Off the bottom-right.
    desktop::Reset();
    hwnd = Window(8, 6);
    EXPECT_EQ(Copy(hwnd, 5, 3, 6, 5, 0, 0, 0, 5, bits.data(), header), 3);
    ExpectSurface(hwnd, {5, 3, 8, 6}, source(5, 3));

    // Wholly outside: nothing copied, nothing counted.
    EXPECT_EQ(Copy(hwnd, 8, 0, 6, 5, 0, 0, 0, 5, bits.data(), header), 0);
    EXPECT_EQ(Copy(hwnd, 0, -5, 6, 5, 0, 0, 0, 5, bits.data(), header), 0);
    EXPECT_EQ(Copy(hwnd, -6, 0, 6, 5, 0, 0, 0, 5, bits.data(), header), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);
}

TEST_F(DibTest, ClipsToTheSourceBitmap)
{
    const auto bits = Rows(4, 3, 16, true, Pattern16);
    const auto header = Header(4, -3, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F);

    // A rectangle larger than the bitmap copies the bitmap only.
    HWND hwnd = Window(10, 10);
    EXPECT_EQ(Copy(hwnd, 1, 2, 9, 8, 0, 0, 0, 3, bits.data(), header), 3);
    ExpectSurface(hwnd, {1, 2, 5, 5}, [](int x, int y) { return From565(Pattern16(x - 1, y - 2)); });

    // A source offset reads from inside the bitmap; negative offsets skip
    // the rectangle's columns and rows that lie before the bitmap.
    desktop::Reset();
    hwnd = Window(10, 10);
    EXPECT_EQ(Copy(hwnd, 0, 0, 3, 2, 2, 1, 0, 3, bits.data(), header), 2);
    ExpectSurface(hwnd, {0, 0, 2, 2}, [](int x, int y) { return From565(Pattern16(x + 2, y + 1)); });

    desktop::Reset();
    hwnd = Window(10, 10);
    EXPECT_EQ(Copy(hwnd, 0, 0, 3, 3, -1, -2, 0, 3, bits.data(), header), 1);
    ExpectSurface(hwnd, {1, 2, 3, 3}, [](int x, int y) { return From565(Pattern16(x - 1, y - 2)); });
}

TEST_F(DibTest, BottomUpSourceOffsetCountsFromTheBottom)
{
    // Image rows 0..3 from the top; ySrc = 1 from the bottom with h = 2
    // selects image rows 1 and 2.
    const auto bits = Rows(3, 4, 16, false, Pattern16);
    HWND hwnd = Window(5, 5);
    EXPECT_EQ(Copy(hwnd, 0, 0, 3, 2, 0, 1, 0, 4, bits.data(),
                   Header(3, 4, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F)),
              2);
    ExpectSurface(hwnd, {0, 0, 3, 2}, [](int x, int y) { return From565(Pattern16(x, y + 1)); });
}

TEST_F(DibTest, BandsReadOnlyTheScanLinesGiven)
{
    // A 4 x 6 top-down image handed over in a band holding scan lines 2..3.
    const auto all = Rows(4, 6, 16, true, Pattern16);
    const size_t stride = Stride(4, 16);
    const std::vector<BYTE> band(all.begin() + ptrdiff_t(2 * stride),
                                 all.begin() + ptrdiff_t(4 * stride));
    HWND hwnd = Window(4, 6);
    EXPECT_EQ(Copy(hwnd, 0, 0, 4, 6, 0, 0, 2, 2, band.data(),
                   Header(4, -6, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F)),
              2);
    ExpectSurface(hwnd, {0, 2, 4, 4}, [](int x, int y) { return From565(Pattern16(x, y)); });

    // Bottom-up: scan lines count from the bottom, so scans 0..1 are the
    // image's last two rows.
    desktop::Reset();
    const auto up = Rows(4, 6, 16, false, Pattern16);
    const std::vector<BYTE> low(up.begin(), up.begin() + ptrdiff_t(2 * stride));
    hwnd = Window(4, 6);
    EXPECT_EQ(Copy(hwnd, 0, 0, 4, 6, 0, 0, 0, 2, low.data(),
                   Header(4, 6, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F)),
              2);
    ExpectSurface(hwnd, {0, 4, 4, 6}, [](int x, int y) { return From565(Pattern16(x, y)); });

    // More lines claimed than the bitmap has: only its own rows are read.
    desktop::Reset();
    hwnd = Window(4, 6);
    EXPECT_EQ(Copy(hwnd, 0, 0, 4, 6, 0, 0, 4, 100, all.data() + 4 * stride,
                   Header(4, -6, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F)),
              2);
    ExpectSurface(hwnd, {0, 4, 4, 6}, [](int x, int y) { return From565(Pattern16(x, y)); });
}

TEST_F(DibTest, PresentationCallCopiesTheBackScreenUnderTheClientRect)
{
    // A 22 x 12 back screen (rows 24 pixels wide) and a client rectangle
    // inside it, as the GDI device presents it.
    const int alignWidth = 24, backHeight = 12;
    const auto back = Rows(alignWidth, backHeight, 16, true, Pattern16);
    const size_t pitch = Stride(alignWidth, 16);
    HWND hwnd = Window(16, 10);

    const RECT c = {3, 2, 11, 7};
    const int rows = c.bottom - c.top;
    const std::vector<BYTE> fromClientTop(back.begin() + ptrdiff_t(c.top * pitch),
                                          back.begin() + ptrdiff_t((c.top + rows) * pitch));
    const auto header = Header(alignWidth, -rows, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F);
    EXPECT_EQ(Copy(hwnd, c.left, c.top, DWORD(c.right - c.left), DWORD(rows), c.left, 0, 0,
                   UINT(rows), fromClientTop.data(), header),
              rows);
    ExpectSurface(hwnd, c, [](int x, int y) { return From565(Pattern16(x, y)); });

    // The whole client area of a window smaller than the back screen.
    RECT client;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    const int all = client.bottom - client.top;
    EXPECT_EQ(Copy(hwnd, client.left, client.top, DWORD(client.right - client.left), DWORD(all),
                   client.left, 0, 0, UINT(all), back.data() + client.top * pitch,
                   Header(alignWidth, -all, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F)),
              all);
    ExpectSurface(hwnd, client, [](int x, int y) { return From565(Pattern16(x, y)); });
    EXPECT_EQ(desktop::PresentCount(hwnd), 2);
}

TEST_F(DibTest, BadArgumentsCopyNothing)
{
    HWND hwnd = Window(4, 4);
    const auto bits = Rows(4, 4, 16, true, Pattern16);
    const auto good = Header(4, -4, 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F);
    HDC dc = GetDC(hwnd);
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 4, 4, 0, 0, 0, 4, nullptr, Info(good), DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 4, 4, 0, 0, 0, 4, bits.data(), nullptr, DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 4, 4, 0, 0, 0, 4, bits.data(), Info(good), 7), 0);
    EXPECT_EQ(SetDIBitsToDevice(nullptr, 0, 0, 4, 4, 0, 0, 0, 4, bits.data(), Info(good),
                                DIB_RGB_COLORS),
              0);

    std::vector<DibHeader> bad;
    auto h = good;
    h.h.biSize = 12;
    bad.push_back(h);
    h = good;
    h.h.biPlanes = 0;
    bad.push_back(h);
    h = good;
    h.h.biWidth = 0;
    bad.push_back(h);
    h = good;
    h.h.biHeight = 0;
    bad.push_back(h);
    bad.push_back(Header(4, -4, 2, BI_RGB));  // no such depth
    bad.push_back(Header(4, -4, 8, BI_RLE8));
    bad.push_back(Header(4, -4, 24, BI_BITFIELDS, 0xFF0000, 0xFF00, 0xFF));
    bad.push_back(Header(4, -4, 16, BI_BITFIELDS, 0, 0x07E0, 0x001F));       // no red
    bad.push_back(Header(4, -4, 16, BI_BITFIELDS, 0xF800, 0x0FE0, 0x001F));  // overlap
    bad.push_back(Header(4, -4, 16, BI_BITFIELDS, 0xA800, 0x07E0, 0x001F));  // gaps
    bad.push_back(Header(4, -4, 16, BI_BITFIELDS, 0x1F0000, 0x07E0, 0x001F)); // past 16 bits
    for (size_t i = 0; i < bad.size(); ++i)
        EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 4, 4, 0, 0, 0, 4, bits.data(), Info(bad[i]),
                                    DIB_RGB_COLORS),
                  0)
            << "header " << i;
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(desktop::PresentCount(hwnd), 0);
    EXPECT_EQ(desktop::Pixel(hwnd, 0, 0), 0u);
}

TEST_F(DibTest, ContextOfADestroyedWindowCopiesNothing)
{
    HWND hwnd = Window(4, 4);
    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    ASSERT_TRUE(DestroyWindow(hwnd));
    const auto bits = Rows(4, 4, 16, true, Pattern16);
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 4, 4, 0, 0, 0, 4, bits.data(),
                                Info(Header(4, -4, 16, BI_RGB)), DIB_RGB_COLORS),
              0);
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
    EXPECT_EQ(desktop::PresentCount(hwnd), 0);
}

TEST_F(DibTest, ScreenContextTakesRowsAndShowsThemNowhere)
{
    desktop::SetDisplayMode(8, 6, 32);
    HDC screen = GetDC(NULL);
    ASSERT_NE(screen, nullptr);
    const auto bits = Rows(4, 4, 16, true, Pattern16);
    const auto header = Header(4, -4, 16, BI_RGB);
    EXPECT_EQ(SetDIBitsToDevice(screen, 0, 0, 4, 4, 0, 0, 0, 4, bits.data(), Info(header),
                                DIB_RGB_COLORS),
              4);
    // Clipped to the display's size.
    EXPECT_EQ(SetDIBitsToDevice(screen, 0, 4, 4, 4, 0, 0, 0, 4, bits.data(), Info(header),
                                DIB_RGB_COLORS),
              2);
    EXPECT_EQ(ReleaseDC(NULL, screen), 1);
}

TEST_F(DibTest, ContextsReleaseOnceAndOnlyWithTheirWindow)
{
    HWND a = Window(2, 2);
    HWND b = Window(2, 2);
    HDC dc = GetDC(a);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(uintptr_t(0x42))), nullptr);
    EXPECT_EQ(ReleaseDC(b, dc), 0);
    EXPECT_EQ(ReleaseDC(a, dc), 1);
    EXPECT_EQ(ReleaseDC(a, dc), 0);
    EXPECT_EQ(desktop::PresentCount(nullptr), 0);
}
