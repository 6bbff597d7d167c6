// GDI bitmaps and memory contexts: DIB sections of every depth, their records
// and pixel layout, device-dependent and compatible bitmaps, selection, and
// global memory blocks.
#include "platform_fixture.h"

#include <cstring>
#include <vector>

namespace {

class GdiBitmap : public PlatformTest {};

// A BITMAPINFO with room for the masks or a 256-entry colour table.
struct Info {
    BITMAPINFOHEADER h;
    RGBQUAD colors[256];

    BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

Info MakeInfo(int width, int height, int bpp, DWORD compression = BI_RGB,
              std::vector<DWORD> masks = {})
{
    Info info = {};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = width;
    info.h.biHeight = height;
    info.h.biPlanes = 1;
    info.h.biBitCount = WORD(bpp);
    info.h.biCompression = compression;
    if (!masks.empty())
        std::memcpy(info.colors, masks.data(), masks.size() * sizeof(DWORD));
    if (bpp <= 8) {
        // A grey ramp with red at index 1.
        for (int i = 0; i < (1 << bpp); ++i)
            info.colors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
        info.colors[1] = RGBQUAD{0, 0, 255, 0};
    }
    return info;
}

TEST_F(GdiBitmap, DibSectionRecordsAndPixelLayoutPerDepth)
{
    // Pixel (x 1, y 0 counted from the top) set to pure red lands in the
    // section's first row in memory when top-down, its last when bottom-up,
    // with the bytes each format stores for red.
    struct Case {
        int bpp;
        DWORD compression;
        std::vector<DWORD> masks;
        std::vector<BYTE> red;  // bytes of pixel 1 (the whole first byte below 8 bits)
    };
    const std::vector<Case> cases = {
        {1, BI_RGB, {}, {0x40}},
        {4, BI_RGB, {}, {0x01}},
        {8, BI_RGB, {}, {0x01}},
        {16, BI_RGB, {}, {0x00, 0x7C}},
        {16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {0x00, 0xF8}},
        {24, BI_RGB, {}, {0x00, 0x00, 0xFF}},
        {32, BI_RGB, {}, {0x00, 0x00, 0xFF, 0x00}},
        {32, BI_BITFIELDS, {0x000000FF, 0x0000FF00, 0x00FF0000}, {0xFF, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        for (int height : {3, -3}) {
            SCOPED_TRACE(::testing::Message() << c.bpp << " bits, compression " << c.compression
                                              << ", height " << height);
            Info info = MakeInfo(5, height, c.bpp, c.compression, c.masks);
            void* bits = nullptr;
            HBITMAP bm = CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
            ASSERT_NE(bm, nullptr);
            ASSERT_NE(bits, nullptr);
            const LONG stride = (5 * c.bpp + 31) / 32 * 4;

            DIBSECTION ds = {};
            ASSERT_EQ(GetObjectA(bm, sizeof(ds), &ds), int(sizeof(DIBSECTION)));
            EXPECT_EQ(ds.dsBm.bmWidth, 5);
            EXPECT_EQ(ds.dsBm.bmHeight, 3);
            EXPECT_EQ(ds.dsBm.bmWidthBytes, stride);
            EXPECT_EQ(ds.dsBm.bmPlanes, 1);
            EXPECT_EQ(ds.dsBm.bmBitsPixel, c.bpp);
            EXPECT_EQ(ds.dsBm.bmBits, bits);
            EXPECT_EQ(ds.dsBmih.biHeight, 3);  // positive either way, as Windows reports it
            EXPECT_EQ(ds.dsBmih.biCompression, c.compression);
            EXPECT_EQ(ds.dsBmih.biSizeImage, DWORD(stride * 3));
            if (c.compression == BI_BITFIELDS) {
                EXPECT_EQ(std::vector<DWORD>(ds.dsBitfields, ds.dsBitfields + 3), c.masks);
            }
            BITMAP b = {};
            ASSERT_EQ(GetObjectA(bm, sizeof(b), &b), int(sizeof(BITMAP)));
            EXPECT_EQ(b.bmBits, bits);

            HDC dc = CreateCompatibleDC(nullptr);
            ASSERT_NE(SelectObject(dc, bm), nullptr);
            const COLORREF set = SetPixel(dc, 1, 0, RGB(255, 0, 0));
            EXPECT_EQ(set, RGB(255, 0, 0));
            EXPECT_EQ(GetPixel(dc, 1, 0), RGB(255, 0, 0));
            const BYTE* firstRow = static_cast<BYTE*>(bits) + (height < 0 ? 0 : 2 * stride);
            const size_t offset = c.bpp < 8 ? 0 : size_t(c.bpp / 8);
            EXPECT_EQ(std::vector<BYTE>(firstRow + offset, firstRow + offset + c.red.size()), c.red);
            // Nothing else was touched.
            size_t nonZero = 0;
            for (LONG i = 0; i < stride * 3; ++i)
                nonZero += static_cast<BYTE*>(bits)[i] != 0;
            EXPECT_LE(nonZero, c.red.size());
            EXPECT_EQ(GetPixel(dc, 5, 0), CLR_INVALID);
            EXPECT_EQ(GetPixel(dc, 0, 3), CLR_INVALID);
            DeleteDC(dc);
            EXPECT_TRUE(DeleteObject(bm));
        }
    }
}

TEST_F(GdiBitmap, RefusedSectionFormats)
{
    const std::vector<Info> refused = {
        MakeInfo(0, 4, 24),  MakeInfo(4, 0, 24),  MakeInfo(4, 4, 2),
        MakeInfo(4, 4, 24, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}),
        MakeInfo(4, 4, 8, BI_RLE8), MakeInfo(4, 4, 16, BI_BITFIELDS, {0xF00F, 0x0FF0, 0}),
        MakeInfo(4, 4, 16, BI_BITFIELDS, {0xF800, 0x0FE0, 0x1F}),  // overlapping masks
        MakeInfo(100000, 100000, 32),                              // 40 GB
    };
    for (Info info : refused) {
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(bits, nullptr);
    }
}

TEST_F(GdiBitmap, NewMemoryContextHoldsOneByOneMonochromeStockBitmap)
{
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    HGDIOBJ stock = GetCurrentObject(a, OBJ_BITMAP);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(GetCurrentObject(b, OBJ_BITMAP), stock);
    BITMAP bm = {};
    ASSERT_EQ(GetObjectA(stock, sizeof(bm), &bm), int(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(bm.bmBits, nullptr);
    // Drawing into a fresh context reaches no other context's stock bitmap.
    EXPECT_EQ(SetPixel(a, 0, 0, RGB(255, 255, 255)), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(b, 0, 0), CLR_INVALID);
    // A bitmap compatible with a fresh memory context is monochrome.
    HBITMAP mono = CreateCompatibleBitmap(a, 10, 4);
    ASSERT_EQ(GetObjectA(mono, sizeof(bm), &bm), int(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(bm.bmWidthBytes, 2);

    // Selection hands back the previous bitmap; a bitmap lives in one
    // context at a time and cannot be deleted while there.
    EXPECT_EQ(SelectObject(a, mono), stock);
    EXPECT_EQ(SelectObject(b, mono), nullptr);
    EXPECT_FALSE(DeleteObject(mono));
    EXPECT_EQ(SelectObject(a, stock), mono);
    EXPECT_EQ(SelectObject(b, mono), stock);
    EXPECT_TRUE(DeleteDC(b));
    EXPECT_TRUE(DeleteObject(mono));
    EXPECT_FALSE(DeleteObject(mono));
    EXPECT_TRUE(DeleteObject(stock));  // stock: nothing freed
    EXPECT_EQ(GetObjectA(stock, sizeof(bm), &bm), int(sizeof(BITMAP)));
    EXPECT_FALSE(DeleteDC(b));
    EXPECT_TRUE(DeleteDC(a));
}

TEST_F(GdiBitmap, CompatibleBitmapsFollowTheirContext)
{
    struct Case {
        int width, height, bpp;
    };
    HDC screen = GetDC(nullptr);
    BITMAP bm = {};
    for (const Case& c : {Case{8, 2, 32}, Case{0, 5, 1}, Case{5, 0, 1}}) {
        HBITMAP b = CreateCompatibleBitmap(screen, c.width, c.height);
        ASSERT_NE(b, nullptr);
        ASSERT_EQ(GetObjectA(b, sizeof(bm), &bm), int(sizeof(BITMAP)));
        EXPECT_EQ(bm.bmBitsPixel, c.bpp);
        EXPECT_EQ(bm.bmWidth, c.width && c.height ? c.width : 1);
        DeleteObject(b);
    }
    // A memory context holding a 16-bit section gives 16-bit bitmaps.
    Info info = MakeInfo(4, 4, 16);
    HBITMAP section = CreateDIBSection(screen, info.get(), DIB_RGB_COLORS, nullptr, nullptr, 0);
    HDC mem = CreateCompatibleDC(screen);
    SelectObject(mem, section);
    HBITMAP b = CreateCompatibleBitmap(mem, 3, 3);
    ASSERT_EQ(GetObjectA(b, sizeof(bm), &bm), int(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmBitsPixel, 16);
    EXPECT_EQ(bm.bmWidthBytes, 6);
    EXPECT_EQ(CreateCompatibleBitmap(mem, -1, 3), nullptr);
    DeleteObject(b);
    DeleteDC(mem);
    DeleteObject(section);
    ReleaseDC(nullptr, screen);
}

TEST_F(GdiBitmap, CreateBitmapReadsRowsPaddedToTwoBytes)
{
    // A 10 x 2 monochrome bitmap: rows of 2 bytes, top row first.
    const BYTE rows[] = {0x80, 0x40, 0x00, 0x40};
    HBITMAP b = CreateBitmap(10, 2, 1, 1, rows);
    ASSERT_NE(b, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, b);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 9, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 9, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 0));
    // Colour to a monochrome bitmap by nearness: light grey is white.
    EXPECT_EQ(SetPixel(dc, 1, 1, RGB(200, 200, 200)), RGB(255, 255, 255));
    DeleteDC(dc);
    DeleteObject(b);
    EXPECT_EQ(CreateBitmap(4, 4, 2, 1, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(4, 4, 1, 3, nullptr), nullptr);
}

TEST_F(GdiBitmap, ContextAttributesStartAsWin32AndSwap)
{
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(SetBkColor(dc, RGB(4, 5, 6)), RGB(255, 255, 255));
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(dc, 7), 0);
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(GetBkColor(dc), RGB(4, 5, 6));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);
    EXPECT_EQ(GetStretchBltMode(dc), COLORONCOLOR);
    DeleteDC(dc);
    EXPECT_EQ(GetTextColor(dc), CLR_INVALID);
    EXPECT_EQ(SetBkColor(dc, 0), CLR_INVALID);

    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1024);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 768);
    EXPECT_EQ(GetDeviceCaps(nullptr, BITSPIXEL), 0);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
}

TEST_F(GdiBitmap, PalettesAreKeptButChangeNothing)
{
    std::vector<BYTE> bytes(sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY));
    LOGPALETTE* lp = reinterpret_cast<LOGPALETTE*>(bytes.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 3;
    lp->palPalEntry[2] = PALETTEENTRY{1, 2, 3, 0};
    HPALETTE pal = CreatePalette(lp);
    ASSERT_NE(pal, nullptr);
    PALETTEENTRY e[3] = {};
    EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 3u);
    EXPECT_EQ(GetPaletteEntries(pal, 1, 5, e), 2u);
    EXPECT_EQ(e[1].peBlue, 3);
    WORD count = 0;
    EXPECT_EQ(GetObjectA(pal, sizeof(count), &count), int(sizeof(WORD)));
    EXPECT_EQ(count, 3);

    HDC dc = GetDC(nullptr);
    HPALETTE stock = SelectPalette(dc, pal, FALSE);
    EXPECT_EQ(stock, GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(RealizePalette(dc), 0u);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), pal);
    EXPECT_FALSE(DeleteObject(pal));  // still selected
    EXPECT_EQ(SelectPalette(dc, stock, FALSE), pal);
    EXPECT_TRUE(DeleteObject(pal));
    ReleaseDC(nullptr, dc);
}

TEST_F(GdiBitmap, GlobalMemoryBlocks)
{
    // A fixed block's handle is its address.
    HGLOBAL fixed = GlobalAlloc(GPTR, 10);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(GlobalLock(fixed), fixed);
    EXPECT_EQ(GlobalSize(fixed), 10u);
    EXPECT_EQ(std::vector<BYTE>(static_cast<BYTE*>(fixed), static_cast<BYTE*>(fixed) + 10),
              std::vector<BYTE>(10, 0));
    EXPECT_FALSE(GlobalUnlock(fixed));
    EXPECT_EQ(GlobalHandle(fixed), fixed);
    EXPECT_EQ(GlobalFree(fixed), nullptr);

    // A movable block counts its locks.
    HGLOBAL mov = GlobalAlloc(GHND, 0);
    ASSERT_NE(mov, nullptr);
    EXPECT_EQ(GlobalSize(mov), 0u);
    BYTE* p = static_cast<BYTE*>(GlobalLock(mov));
    ASSERT_NE(p, nullptr);
    EXPECT_NE(static_cast<void*>(p), mov);
    EXPECT_EQ(GlobalLock(mov), p);
    EXPECT_EQ(GlobalHandle(p), mov);
    EXPECT_TRUE(GlobalUnlock(mov));
    EXPECT_FALSE(GlobalUnlock(mov));
    EXPECT_FALSE(GlobalUnlock(mov));
    EXPECT_EQ(GlobalFree(mov), nullptr);

    // Unknown handles.
    EXPECT_EQ(GlobalSize(mov), 0u);
    EXPECT_EQ(GlobalLock(mov), nullptr);
    EXPECT_EQ(GlobalFree(mov), mov);
    EXPECT_EQ(GlobalAlloc(0x8000, 4), nullptr);
}

}  // namespace
