// GIF and PNG pictures as sprites: a GIF built here byte by byte (a
// 16-colour emblem on black), and a PNG written by the image library's own
// encoder (a colour wheel), both written to disk, loaded through the sprite
// cache and drawn on the back screen; the GIF once as it is and once with
// black as the colour key.
#include "demo.h"
#include <raster.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

const int kGifW = 96, kGifH = 80;
const int kPngW = 160, kPngH = 120;

void Put16(Bytes& b, int v)
{
    b.push_back(BYTE(v));
    b.push_back(BYTE(v >> 8));
}

// The emblem's palette index at (x, y): rings and a cross on black (index 0).
BYTE EmblemIndex(int x, int y)
{
    const int dx = x - kGifW / 2, dy = y - kGifH / 2;
    const int r2 = dx * dx + dy * dy;
    if (r2 > 38 * 38)
        return 0;
    if ((dx > -5 && dx < 5) || (dy > -5 && dy < 5))
        return 15;
    return BYTE(1 + (int(std::sqrt(double(r2))) / 5) % 14);
}

// A GIF89a of the emblem with a 16-entry global table. The LZW data gives
// every pixel as its own 5-bit code, with a clear code before the table
// would grow past 5 bits: plain, and every reader takes it.
Bytes EmblemGif()
{
    Bytes g = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(g, kGifW);
    Put16(g, kGifH);
    g.insert(g.end(), {0xF3, 0, 0});  // global table of 16, background 0
    for (int i = 0; i < 16; i++) {
        const double a = i * 0.42;
        g.push_back(i == 0 ? 0 : BYTE(128 + 127 * std::sin(a)));
        g.push_back(i == 0 ? 0 : BYTE(128 + 127 * std::sin(a + 2.1)));
        g.push_back(i == 0 ? 0 : BYTE(128 + 127 * std::sin(a + 4.2)));
    }
    g.push_back(0x2C);
    Put16(g, 0);
    Put16(g, 0);
    Put16(g, kGifW);
    Put16(g, kGifH);
    g.push_back(0);
    g.push_back(4);  // minimum code size: codes 0..15 are pixels, 16 clears, 17 ends
    Bytes codes;
    unsigned acc = 0;
    int bits = 0, sinceClear = 0;
    auto put = [&](unsigned code) {
        acc |= code << bits;
        for (bits += 5; bits >= 8; bits -= 8, acc >>= 8)
            codes.push_back(BYTE(acc));
    };
    put(16);
    for (int y = 0; y < kGifH; y++)
        for (int x = 0; x < kGifW; x++) {
            if (sinceClear == 14) {  // the table stays below 32 entries: codes stay 5 bits
                put(16);
                sinceClear = 0;
            }
            put(EmblemIndex(x, y));
            sinceClear++;
        }
    put(17);
    if (bits > 0)
        codes.push_back(BYTE(acc));
    for (size_t at = 0; at < codes.size(); at += 255) {
        const size_t n = codes.size() - at < 255 ? codes.size() - at : 255;
        g.push_back(BYTE(n));
        g.insert(g.end(), codes.begin() + long(at), codes.begin() + long(at + n));
    }
    g.push_back(0);
    g.push_back(0x3B);
    return g;
}

// A colour wheel fading to white at its centre, on a grey ground.
bool WriteWheelPng(const std::string& path)
{
    RasterImage img(kPngW, kPngH, 24, 0);
    for (int y = 0; y < kPngH; y++)
        for (int x = 0; x < kPngW; x++) {
            const double dx = x - kPngW / 2.0, dy = y - kPngH / 2.0;
            const double r = std::sqrt(dx * dx + dy * dy) / (kPngH / 2.0);
            RGBQUAD c = {90, 90, 90, 0};
            if (r <= 1) {
                const double a = std::atan2(dy, dx);
                const double w = 1 - r;
                c.rgbRed = BYTE(255 * (w + r * (0.5 + 0.5 * std::cos(a))));
                c.rgbGreen = BYTE(255 * (w + r * (0.5 + 0.5 * std::cos(a - 2.094))));
                c.rgbBlue = BYTE(255 * (w + r * (0.5 + 0.5 * std::cos(a + 2.094))));
            }
            img.SetPixelColor(x, kPngH - 1 - y, c);  // the image counts rows from the bottom
        }
    return img.Save(path.c_str(), RASTER_FORMAT_PNG);
}

}  // namespace

void SceneGifPng(DemoContext& ctx)
{
    const std::string dir = ctx.outDir + "/gifpng";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string gifPath = dir + "/emblem.gif", pngPath = dir + "/wheel.png";
    const Bytes gif = EmblemGif();
    std::ofstream(gifPath, std::ios::binary).write(reinterpret_cast<const char*>(gif.data()),
                                                   std::streamsize(gif.size()));
    if (!WriteWheelPng(pngPath)) {
        std::fprintf(stderr, "demo: gifpng: cannot write %s\n", pngPath.c_str());
        return;
    }
    std::printf("demo: gifpng: wrote %s (%zu bytes) and %s\n", gifPath.c_str(), gif.size(),
                pngPath.c_str());

    KSprite* emblem = ctx.graph->Load(gifPath.c_str(), KSPR_COLORKEY, NULL);
    KSprite* wheel = ctx.graph->Load(pngPath.c_str(), 0, NULL);
    if (emblem == NULL || wheel == NULL) {
        std::fprintf(stderr, "demo: gifpng: cannot load the pictures\n");
        if (emblem != NULL)
            ctx.graph->ReleaseKSprite(emblem);
        if (wheel != NULL)
            ctx.graph->ReleaseKSprite(wheel);
        return;
    }

    KSprite* back = ctx.graph->GetBackScreen();
    back->_clear(0, 0, ctx.clientW, ctx.clientH, rgb(30, 60, 70));
    for (int x = 0; x < ctx.clientW; x += 40)
        back->_clear(x, 0, 20, ctx.clientH, rgb(36, 70, 82));
    const long ew = emblem->GetWidth(), eh = emblem->GetHeight();
    back->_blt(60, 80, emblem, 0, 0, ew, eh);
    back->_blt_ck(200, 80, emblem, 0, 0, ew, eh);
    back->_blt(360, 60, wheel, 0, 0, wheel->GetWidth(), wheel->GetHeight());
    back->_blt(120, 260, wheel, 40, 30, 120, 90);  // part of the wheel
    back->_blt_ck(330, 280, emblem, 0, 0, ew, eh);
    HFONT face = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                             FIXED_PITCH, "");
    KFont* font = ctx.graph->CreateSmoothFont(face);
    back->_printf(font, 60, 20, 0xFFFF, "GIF and PNG pictures through the image library");
    back->_printf(font, 60, 190, 0xFFE0, "emblem.gif");
    back->_printf(font, 200, 190, 0xFFE0, "keyed");
    back->_printf(font, 360, 190, 0xFFE0, "wheel.png");
    back->_printf(font, 120, 330, 0xFFE0, "part of wheel.png");
    back->_printf(font, 330, 370, 0xFFE0, "emblem.gif, keyed");
    ctx.graph->ReleaseKFont(font);
    DeleteObject(face);
    std::printf("demo: gifpng: emblem.gif %ldx%ld (drawn plain and keyed), wheel.png %ldx%ld\n", ew,
                eh, wheel->GetWidth(), wheel->GetHeight());

    RECT all = {0, 0, ctx.clientW, ctx.clientH};
    const long result = ctx.graph->Render(all);
    std::printf("demo: gifpng: presented (result %ld)\n", result);
    DemoScreenshot(ctx, "gifpng");

    ctx.graph->ReleaseKSprite(emblem);
    ctx.graph->ReleaseKSprite(wheel);
}
