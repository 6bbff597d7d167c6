// JPEG pictures for tests, encoded with libjpeg. Header-only: the platform
// suite, which does not link the test support library, uses it too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <vector>
#include <jpeglib.h>

// w x h pixels of one colour, its components as given.
inline std::vector<uint8_t> Flat(int w, int h, std::initializer_list<uint8_t> pixel)
{
    std::vector<uint8_t> b;
    for (int i = 0; i < w * h; i++)
        b.insert(b.end(), pixel);
    return b;
}

// Encodes rows of `comps` components per pixel, top row first, without
// chroma subsampling, so that flat 8 x 8 blocks decode flat. JCS_UNKNOWN
// stores the components as given.
inline std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& samples, int w, int h,
                                       int comps, J_COLOR_SPACE space, int quality = 100)
{
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = comps;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&samples[size_t(c.next_scanline) * size_t(w * comps)]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> jpg(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return jpg;
}
