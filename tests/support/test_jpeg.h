// JPEG pictures for tests and benchmarks, encoded with libjpeg. Header-only:
// the platform suite and the benchmarks, which do not link the test support
// library, use it too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <utility>
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

// How libjpeg is asked to write a picture: one encoder for every JPEG the
// tests and benchmarks make. What is left at its default here is libjpeg's
// own default.
struct JpegSettings {
    int quality = 100;
    bool baseline = true;                // quantisation tables kept to 8 bits
    bool full444 = false;                // no chroma subsampling
    J_COLOR_SPACE stored = JCS_UNKNOWN;  // JCS_UNKNOWN: libjpeg's default for the input
    bool progressive = false;
    int restartRows = 0;                 // a restart marker every n MCU rows
    bool arithmetic = false;
    int smoothing = 0;
    int jfif = -1;                       // write the JFIF header: 1 yes, 0 no, -1 libjpeg's choice
    int densityUnit = 0;
    int xDensity = 1;
    int yDensity = 1;
    std::vector<std::pair<int, std::vector<uint8_t>>> markers;  // (code, payload) after the headers
};

// Encodes h rows of w pixels of `comps` components each, top row first, in
// the colour space `input`.
inline std::vector<uint8_t> EncodeJpeg(const uint8_t* samples, int w, int h, int comps,
                                       J_COLOR_SPACE input, const JpegSettings& s)
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
    c.in_color_space = input;
    jpeg_set_defaults(&c);
    if (s.stored != JCS_UNKNOWN)
        jpeg_set_colorspace(&c, s.stored);
    c.smoothing_factor = s.smoothing;
    jpeg_set_quality(&c, s.quality, s.baseline ? TRUE : FALSE);
    if (s.full444)
        for (int i = 0; i < c.num_components; i++)
            c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    if (s.progressive)
        jpeg_simple_progression(&c);
    c.restart_in_rows = s.restartRows;
    c.arith_code = s.arithmetic ? TRUE : FALSE;
    if (s.jfif >= 0)
        c.write_JFIF_header = s.jfif ? TRUE : FALSE;
    c.density_unit = UINT8(s.densityUnit);
    c.X_density = UINT16(s.xDensity);
    c.Y_density = UINT16(s.yDensity);
    jpeg_start_compress(&c, TRUE);
    for (const auto& [marker, payload] : s.markers)
        jpeg_write_marker(&c, marker, payload.data(), unsigned(payload.size()));
    const size_t stride = size_t(w) * size_t(comps);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(samples + size_t(c.next_scanline) * stride);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> jpg(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return jpg;
}

// Without chroma subsampling, so that flat 8 x 8 blocks decode flat.
// JCS_UNKNOWN stores the components as given.
inline std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& samples, int w, int h,
                                       int comps, J_COLOR_SPACE space, int quality = 100)
{
    JpegSettings s;
    s.quality = quality;
    s.full444 = true;
    return EncodeJpeg(samples.data(), w, h, comps, space, s);
}
