// Arbitrary operations with arbitrary arguments on a small picture: turns,
// resizing, cutting, shearing, margins, polar distortions, colour and depth
// conversions and selections (rectangles, ellipses, polygons with far-away
// corners) and their region. The first bytes give the picture, the rest a
// list of operations, each an opcode and its arguments.
#include <rasterimage.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Reads little-endian arguments; past the end every read gives 0.
struct Args {
    const uint8_t* p;
    size_t n;
    uint32_t u8()
    {
        if (n == 0)
            return 0;
        n--;
        return *p++;
    }
    int32_t i32()
    {
        uint32_t v = u8() | (u8() << 8) | (u8() << 16) | (u8() << 24);
        int32_t r;
        memcpy(&r, &v, 4);
        return r;
    }
    // Mostly small values, now and then any 32-bit one.
    long coord() { return u8() < 240 ? (long)u8() - 64 : (long)i32(); }
    // A size: small, zero or negative.
    long size() { return (long)(u8() % 24) - 8; }
    float real()
    {
        const int32_t v = i32();
        float f;
        memcpy(&f, &v, 4);
        return f;
    }
    RGBQUAD colour() { return RGBQUAD{(BYTE)u8(), (BYTE)u8(), (BYTE)u8(), (BYTE)u8()}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Args a{data, size};
    const int depths[4] = {1, 4, 8, 24};
    const DWORD w = 1 + a.u8() % 16, h = 1 + a.u8() % 16;
    RasterImage img(w, h, depths[a.u8() % 4], 0);
    if (!img.IsValid())
        return 0;
    for (DWORD i = 0; i < img.GetNumColors(); i++)
        img.SetPaletteColor((BYTE)i, img.RGBtoRGBQUAD(i * 0x10305u));
    for (DWORD y = 0; y < h; y++)
        for (DWORD i = 0; i < img.GetEffWidth(); i++)
            img.GetBits(y)[i] = (BYTE)a.u8();
    if (a.u8() & 1)
        img.AlphaCreate();
    img.SetTransIndex((long)(a.u8() % 4) - 1);

    RasterImage target;
    // A few operations an input: every one is a whole pass over the picture,
    // and longer chains explore no more than more inputs do.
    for (int step = 0; step < 6 && a.n > 0; step++) {
        // Keep the picture small so that a run stays fast: resampling a
        // palette picture looks up the nearest colour of every pixel made.
        if (img.GetWidth() > 24 || img.GetHeight() > 24)
            img.Resample(1 + img.GetWidth() % 16, 1 + img.GetHeight() % 16, 1);
        RasterImage* dst = (a.u8() & 1) ? &target : NULL;
        switch (a.u8() % 22) {
        case 0: img.RotateLeft(dst); break;
        case 1: img.RotateRight(dst); break;
        case 2: img.Rotate180(dst); break;
        case 3: img.Rotate(a.real(), dst); break;
        case 4: img.Resample(1 + a.u8() % 16, 1 + a.u8() % 16, (int)a.u8() % 4, dst); break;
        case 5: img.Resample(a.size(), a.size(), 0, dst); break;
        case 6: img.Crop(a.coord(), a.coord(), a.coord(), a.coord(), dst); break;
        case 7: {
            const long x = a.coord(), y = a.coord(), cw = a.u8() % 24, ch = a.u8() % 24;
            img.CropRotatedRectangle(x, y, cw, ch, a.real(), dst);
            break;
        }
        case 8: img.Skew(a.real(), a.real(), a.coord(), a.coord()); break;
        case 9:
            img.Expand(a.u8() % 16, a.u8() % 16, a.u8() % 16, a.u8() % 16, a.colour(), dst);
            break;
        case 10: img.Thumbnail(a.size(), a.size(), a.colour(), dst); break;
        case 11: img.CircleTransform((int)a.u8() % 7 - 1, a.coord(), a.real()); break;
        case 12: img.Mirror(); break;
        case 13: img.GrayScale(); break;
        case 14: img.Negative(); break;
        case 15: {
            std::vector<RGBQUAD> pal(256);
            for (RGBQUAD& q : pal)
                q = RGBQUAD{(BYTE)a.u8(), (BYTE)a.u8(), (BYTE)a.u8(), 0};
            const DWORD bits[3] = {1, 4, 8};
            img.DecreaseBpp(bits[a.u8() % 3], a.u8() & 1, (a.u8() & 1) ? pal.data() : NULL, a.u8());
            break;
        }
        case 16: img.IncreaseBpp(a.u8() % 2 ? 24 : 4 + 4 * (a.u8() % 2)); break;
        case 17: img.Dither((long)a.u8() % 3); break;
        case 18: {
            RECT r = {(LONG)a.coord(), (LONG)a.coord(), (LONG)a.coord(), (LONG)a.coord()};
            if (a.u8() & 1)
                img.SelectionAddRect(r);
            else
                img.SelectionAddEllipse(r);
            break;
        }
        case 19: {
            std::vector<POINT> pts(a.u8() % 12);
            for (POINT& pt : pts)
                pt = POINT{(LONG)((a.u8() % 8) == 0 ? -1 : a.coord()), (LONG)a.coord()};
            img.SelectionAddPolygon(pts.data(), (long)pts.size());
            break;
        }
        case 20:
            img.SelectionAddColor(a.colour());
            img.SelectionAddPixel((int)a.coord(), (int)a.coord());
            if (a.u8() & 1)
                img.SelectionInvert();
            break;
        default: {
            HRGN region = CreateRectRgn(0, 0, 0, 0);
            img.SelectionToHRGN(region);
            DeleteObject(region);
            break;
        }
        }
    }
    return 0;
}
