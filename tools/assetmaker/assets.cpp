// The demo's and the tests' pictures. Each is drawn here from a formula, so
// the project ships no image files of its own.
#include "assets.h"
#include <kestrel.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <zip.h>

const std::vector<std::string> kAssetPictures = {
    "scene.bmp", "photo.jpg", "grey.jpg", "tiles.kpc", "badge.kpc", "glow.tga",
};
const char* const kAssetArchive = "pictures.zip";

namespace {

struct Rgb {
    BYTE r, g, b;
};

using Painter = Rgb (*)(int x, int y, int w, int h);

// A sky-to-ground gradient with a sun.
Rgb Scene(int x, int y, int w, int h)
{
    const int dx = x - w * 3 / 4, dy = y - h / 4;
    if (dx * dx + dy * dy < (h / 8) * (h / 8))
        return {255, 220, 64};
    if (y < h * 2 / 3)
        return {BYTE(64 + y * 96 / h), BYTE(128 + y * 96 / h), 255};
    return {BYTE(40 + x * 80 / w), BYTE(160 - (y - h * 2 / 3) * 2), 48};
}

// Smooth colour bands, which a photo-like JPEG keeps well.
Rgb Photo(int x, int y, int w, int h)
{
    const double fx = double(x) / w, fy = double(y) / h;
    return {BYTE(127.5 + 127.5 * std::sin(6.0 * fx + 1.0)),
            BYTE(127.5 + 127.5 * std::sin(5.0 * fy + 2.0)),
            BYTE(127.5 + 127.5 * std::cos(4.0 * (fx + fy)))};
}

// A checker of two colours with transparent holes (pixel value 0 once keyed).
Rgb Tiles(int x, int y, int, int)
{
    if ((x / 8 + y / 8) % 4 == 3)
        return {0, 0, 0};
    return ((x / 8 + y / 8) % 2) ? Rgb{224, 96, 32} : Rgb{32, 160, 224};
}

// A ringed disc; outside it black, which becomes the key.
Rgb Badge(int x, int y, int w, int h)
{
    const int dx = 2 * x - w + 1, dy = 2 * y - h + 1;
    const int d2 = dx * dx + dy * dy;
    if (d2 >= w * w)
        return {0, 0, 0};
    return d2 > (w * w) * 2 / 3 ? Rgb{250, 200, 40} : Rgb{180, 30, 60};
}

BYTE Radial(int x, int y, int w, int h)
{
    const double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5;
    const double d = 1.0 - 2.0 * std::sqrt(dx * dx + dy * dy);
    return BYTE(d <= 0 ? 0 : d >= 1 ? 255 : d * 255.0);
}

KSprite* Paint(KGraph* graph, int w, int h, Painter paint, DWORD flags)
{
    KSprite* spr = graph->CreateSprite(w, h, KCM_R5G6B5, flags);
    if (spr == NULL)
        return NULL;
    void* bits = NULL;
    DWORD pitch = 0;
    long sw = 0, sh = 0;
    spr->Lock(&bits, pitch, sw, sh);
    for (long y = 0; y < sh; y++) {
        WORD* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + y * pitch);
        for (long x = 0; x < sw; x++) {
            const Rgb c = paint(int(x), int(y), w, h);
            row[x] = color16b(c.r, c.g, c.b);
        }
    }
    spr->Unlock();
    return spr;
}

// Writes samples (1 or 3 components) as a JPEG file with libjpeg.
bool WriteJpeg(const std::string& path, const std::vector<BYTE>& samples, int w, int h,
               int comps, int quality)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == NULL)
        return false;
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = comps;
    c.in_color_space = comps == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<BYTE*>(&samples[size_t(c.next_scanline) * size_t(w * comps)]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(f) == 0;
}

std::vector<BYTE> Samples(int w, int h, Painter paint)
{
    std::vector<BYTE> s;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const Rgb c = paint(x, y, w, h);
            s.insert(s.end(), {c.r, c.g, c.b});
        }
    return s;
}

// A 32-bit TGA, bottom row first: a warm glow whose alpha fades outwards.
bool WriteGlowTga(const std::string& path, int w, int h)
{
    std::vector<BYTE> b(18, 0);
    b[2] = 2;
    b[12] = BYTE(w);
    b[13] = BYTE(w >> 8);
    b[14] = BYTE(h);
    b[15] = BYTE(h >> 8);
    b[16] = 32;
    b[17] = 8;
    for (int y = h - 1; y >= 0; y--)
        for (int x = 0; x < w; x++)
            b.insert(b.end(), {BYTE(40 + x * 100 / w), BYTE(200 - y * 80 / h), 255,
                               Radial(x, y, w, h)});
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == NULL)
        return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

bool WriteArchive(const std::string& dir, std::string* error)
{
    const std::string path = dir + "/" + kAssetArchive;
    int code = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (z == NULL) {
        *error = "cannot create " + path;
        return false;
    }
    for (const std::string& name : kAssetPictures) {
        zip_source_t* src = zip_source_file(z, (dir + "/" + name).c_str(), 0, -1);
        if (src == NULL || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(src);
            zip_discard(z);
            *error = "cannot add " + name + " to " + path;
            return false;
        }
    }
    if (zip_close(z) != 0) {
        zip_discard(z);
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

bool MakePictureAssets(KGraph* graph, const std::string& dir, std::string* error)
{
    std::string ignored;
    if (error == NULL)
        error = &ignored;
    auto fail = [&](const std::string& why) {
        *error = why;
        return false;
    };
    const auto path = [&](const char* name) { return dir + "/" + name; };

    KSprite* scene = Paint(graph, 128, 96, Scene, 0);
    if (scene == NULL)
        return fail("cannot make the scene sprite");
    scene->SaveBmp(path("scene.bmp").c_str());
    graph->ReleaseKSprite(scene);

    if (!WriteJpeg(path("photo.jpg"), Samples(128, 96, Photo), 128, 96, 3, 90))
        return fail("cannot write photo.jpg");
    std::vector<BYTE> grey;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++)
            grey.push_back(Radial(x, y, 64, 64));
    if (!WriteJpeg(path("grey.jpg"), grey, 64, 64, 1, 90))
        return fail("cannot write grey.jpg");

    KSprite* tiles = Paint(graph, 64, 64, Tiles, KSPR_COLORKEY);
    if (tiles == NULL)
        return fail("cannot make the tiles sprite");
    const long rawResult = tiles->SaveKpc(path("tiles.kpc").c_str(), DWORD(0));
    graph->ReleaseKSprite(tiles);
    if (rawResult != 0)
        return fail("cannot write tiles.kpc");

    // The JPEG-payload form stores a JPEG made elsewhere from the same
    // picture, and the mask from the keyed sprite.
    KSprite* badge = Paint(graph, 64, 64, Badge, KSPR_COLORKEY);
    if (badge == NULL)
        return fail("cannot make the badge sprite");
    const std::string source = path("badge-source.jpg");
    long jpegResult = -1;
    if (WriteJpeg(source, Samples(64, 64, Badge), 64, 64, 3, 92))
        jpegResult = badge->SaveKpc(path("badge.kpc").c_str(), source.c_str());
    graph->ReleaseKSprite(badge);
    std::remove(source.c_str());
    if (jpegResult != 0)
        return fail("cannot write badge.kpc");

    if (!WriteGlowTga(path("glow.tga"), 64, 64))
        return fail("cannot write glow.tga");
    return WriteArchive(dir, error);
}
