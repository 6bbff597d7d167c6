// Screenshots: the surface written as an 8-bit RGB PNG, read back with libpng.
#include "platform_fixture.h"
#include "paint_surface.h"

#include <png.h>

#include <csetjmp>

using ScreenshotTest = ScratchTest;

namespace {

struct Png {
    bool ok = false;
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    std::vector<png_byte> rgb;
};

struct Cursor {
    const std::vector<BYTE>* bytes;
    size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t n)
{
    Cursor* c = static_cast<Cursor*>(png_get_io_ptr(png));
    if (n > c->bytes->size() - c->at)
        png_error(png, "truncated");
    std::memcpy(out, c->bytes->data() + c->at, n);
    c->at += n;
}

// Decodes an 8-bit RGB PNG held in memory.
Png DecodePng(const std::vector<BYTE>& bytes)
{
    Png out;
    Cursor cursor = {&bytes, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return Png();
    }
    png_set_read_fn(png, &cursor, ReadFromMemory);
    png_read_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.bitDepth = png_get_bit_depth(png, info);
    out.colorType = png_get_color_type(png, info);
    out.rgb.resize(size_t(out.width) * out.height * 3);
    if (out.colorType == PNG_COLOR_TYPE_RGB && out.bitDepth == 8) {
        for (png_uint_32 y = 0; y < out.height; ++y)
            png_read_row(png, &out.rgb[size_t(y) * out.width * 3], nullptr);
        png_read_end(png, nullptr);
        out.ok = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return out;
}

}  // namespace

TEST_F(ScreenshotTest, SurfaceRoundTripsThroughPng)
{
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 7, 3);
    std::vector<DWORD> rows(7 * 3);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = DWORD((i * 0x0B0D11 + 0x010203) & 0xFFFFFF);
    ASSERT_EQ(PaintSurface(hwnd, 7, 3, rows.data()), 3);

    ASSERT_TRUE(desktop::SaveSurfacePng(hwnd, Path("shot.png").c_str()));
    const Png png = DecodePng(ReadBytes("shot.png"));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.width, 7u);
    EXPECT_EQ(png.height, 3u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) {
            const png_byte* p = &png.rgb[size_t(y * 7 + x) * 3];
            const DWORD got = DWORD(p[0]) << 16 | DWORD(p[1]) << 8 | p[2];
            ASSERT_EQ(got, desktop::Pixel(hwnd, x, y)) << x << "," << y;
            ASSERT_EQ(got, rows[size_t(y * 7 + x)]);
        }
}

TEST_F(ScreenshotTest, NothingToSaveOrNowhereToWrite)
{
    EXPECT_FALSE(desktop::SaveSurfacePng(nullptr, Path("none.png").c_str()));
    HWND empty = MakeWindow(WS_POPUP, 0, 0, 0, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(desktop::SaveSurfacePng(empty, Path("empty.png").c_str()));
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 2, 2);
    EXPECT_FALSE(desktop::SaveSurfacePng(hwnd, Path("no/such/folder.png").c_str()));
    EXPECT_FALSE(desktop::SaveSurfacePng(hwnd, nullptr));
    EXPECT_TRUE(ReadBytes("none.png").empty());
}

TEST_F(ScreenshotTest, SurfaceReadsGiveZeroOutside)
{
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 3, 2);
    EXPECT_EQ(desktop::Pixel(hwnd, -1, 0), 0u);
    EXPECT_EQ(desktop::Pixel(hwnd, 3, 0), 0u);
    EXPECT_EQ(desktop::Pixel(hwnd, 0, 2), 0u);
    EXPECT_EQ(desktop::Pixel(nullptr, 0, 0), 0u);
    EXPECT_EQ(desktop::SurfaceWidth(nullptr), 0);
    EXPECT_EQ(desktop::SurfaceHeight(nullptr), 0);
    EXPECT_EQ(desktop::SurfacePixels(nullptr), nullptr);
    const DWORD* px = desktop::SurfacePixels(hwnd);
    ASSERT_NE(px, nullptr);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(px[i], 0u);  // a new surface is black
}
