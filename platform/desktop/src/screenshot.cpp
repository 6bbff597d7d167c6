// Screenshots: a window's surface written as an 8-bit RGB PNG with libpng.
#include "desktop_internal.h"

#include <desktop/desktop.h>

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace desktop {
namespace {

// libpng reports errors by longjmp back to here; only plain data lives
// between setjmp and the libpng calls.
bool WritePng(FILE* fp, const DWORD* pixels, int width, int height, png_bytep row)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, fp);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const DWORD* src = pixels + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            row[3 * x + 0] = png_byte(src[x] >> 16);
            row[3 * x + 1] = png_byte(src[x] >> 8);
            row[3 * x + 2] = png_byte(src[x]);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool SaveSurfacePng(HWND hwnd, const char* path)
{
    if (path == nullptr)
        return false;
    // Copy the surface so the file is written without holding the table.
    detail::Surface copy;
    {
        detail::Desktop& d = detail::State();
        std::lock_guard<std::mutex> lock(d.mutex);
        const detail::Window* w = d.FindWindow(hwnd);
        if (w == nullptr || w->surface.width <= 0 || w->surface.height <= 0)
            return false;
        copy = w->surface;
    }
    std::vector<png_byte> row(size_t(copy.width) * 3);
    FILE* fp = std::fopen(path, "wb");
    if (fp == nullptr)
        return false;
    const bool written = WritePng(fp, copy.pixels.data(), copy.width, copy.height, row.data());
    const bool closed = std::fclose(fp) == 0;
    if (!(written && closed))
        std::remove(path);
    return written && closed;
}

}  // namespace desktop
