// Drawing an image into a device context: plainly or scaled, with its
// transparent colour, alpha plane or alpha palette blended over what the
// context holds, clipped, stretched through a raster operation, or tiled.
//
// Scaled and blended drawing goes through a 24-bit scratch bitmap the size of
// the part of the target that can change (the target rectangle cut to the
// context's clip box and to the caller's clip rectangle; the context's own
// clip region is never touched): each of its pixels samples the nearest
// source pixel, is mixed with the background when the image is see-through,
// and the scratch rows go to the context in one transfer.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "rasterimage.h"
#include "rasterlimits.h"

namespace {

// The part of the target rectangle that can change: inside the context's
// clip box and inside the caller's clip rectangle, when there is one.
struct PaintBox {
    long left, top, right, bottom;
    long width() const { return right - left; }
    long height() const { return bottom - top; }
};

PaintBox ClippedBox(HDC hdc, long x, long y, long cx, long cy, const RECT* cliprect)
{
    RECT clip;
    if (GetClipBox(hdc, &clip) == ERROR)
        clip.left = clip.top = clip.right = clip.bottom = 0;
    long long left = x, top = y, right = (long long)x + cx, bottom = (long long)y + cy;
    const RECT* limits[2] = {&clip, cliprect};
    for (const RECT* r : limits) {
        if (r == NULL)
            continue;
        left = left > r->left ? left : r->left;
        top = top > r->top ? top : r->top;
        right = right < r->right ? right : r->right;
        bottom = bottom < r->bottom ? bottom : r->bottom;
    }
    PaintBox b;
    b.left = (long)left;
    b.top = (long)top;
    b.right = (long)(right > left ? right : left);
    b.bottom = (long)(bottom > top ? bottom : top);
    return b;
}

// The header of a bottom-up 24-bit bitmap of w x h pixels.
BITMAPINFO ScratchInfo(long w, long h)
{
    BITMAPINFO bmi;
    memset(&bmi, 0, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = h;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    bmi.bmiHeader.biSizeImage = (DWORD)(rasterlimits::RowBytes(24, (uint64_t)w) * (uint64_t)h);
    return bmi;
}

// Source columns and rows for each scratch column and row (row 0 the paint
// box's bottom), nearest neighbour. Unscaled drawing maps one to one.
struct Sampling {
    std::vector<long> sx, sy;
};

bool MapSamples(Sampling& s, const PaintBox& b, long x, long y, long cx, long cy, long width,
               long height)
{
    const long w = b.width(), h = b.height();
    try {
        s.sx.resize((size_t)w);
        s.sy.resize((size_t)h);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const bool scaled = cx != width || cy != height;
    const float fx = (float)width / (float)cx, fy = (float)height / (float)cy;
    for (long c = 0; c < w; c++) {
        long v = scaled ? (long)floorf((float)(c + b.left - x) * fx) : b.left - x + c;
        s.sx[(size_t)c] = v < 0 ? 0 : (v >= width ? width - 1 : v);
    }
    for (long r = 0; r < h; r++) {
        long v = scaled ? height - (long)ceilf((float)(b.bottom - r - y) * fy) : height - b.bottom + y + r;
        s.sy[(size_t)r] = v < 0 ? 0 : (v >= height ? height - 1 : v);
    }
    return true;
}

// What an index past the palette draws: black.
const BYTE kBlack[3] = {0, 0, 0};

// The palette index of pixel x of a row of 1, 4 or 8 bits.
inline BYTE PaletteIndex(const BYTE* row, long x, WORD bpp)
{
    if (bpp == 8)
        return row[x];
    if (bpp == 4)
        return (BYTE)((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
    return (BYTE)((row[x >> 3] >> (7 - (x & 7))) & 1);
}

// A memory context holding a 24-bit DIB section, released with it.
class Scratch {
public:
    Scratch(HDC compatible, long w, long h) : m_bmi(ScratchInfo(w, h))
    {
        m_dc = CreateCompatibleDC(compatible);
        if (m_dc == NULL)
            return;
        void* bits = NULL;
        m_section = CreateDIBSection(m_dc, &m_bmi, DIB_RGB_COLORS, &bits, NULL, 0);
        if (m_section == NULL || bits == NULL)
            return;
        m_old = SelectObject(m_dc, m_section);
        m_bits = static_cast<BYTE*>(bits);
    }
    ~Scratch()
    {
        if (m_old != NULL)
            SelectObject(m_dc, m_old);
        if (m_section != NULL)
            DeleteObject(m_section);
        if (m_dc != NULL)
            DeleteDC(m_dc);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    HDC dc() const { return m_dc; }
    BYTE* bits() const { return m_bits; }
    const BITMAPINFO* bmi() const { return &m_bmi; }

private:
    BITMAPINFO m_bmi;
    HDC m_dc = NULL;
    HBITMAP m_section = NULL;
    HGDIOBJ m_old = NULL;
    BYTE* m_bits = NULL;
};

// Whether a rectangle from (x, y) of cx x cy can be handed to GDI, whose
// coordinates are ints, as it stands.
bool FitsGdi(long x, long y, long cx, long cy)
{
    const long long v[4] = {x, y, (long long)x + cx, (long long)y + cy};
    for (long long c : v) {
        if (c < INT32_MIN || c > INT32_MAX)
            return false;
    }
    return true;
}

COLORREF ColorRefOf(RGBQUAD c)
{
    return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
}

}  // namespace

long RasterImage::Draw(HDC hdc, long x, long y, long cx, long cy, RECT* pClipRect)
{
    if (pDib == NULL || hdc == NULL || cx == 0 || cy == 0 || !info.bEnabled)
        return 0;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    if (cx < 0)
        cx = width;
    if (cy < 0)
        cy = height;
    if (cx == 0 || cy == 0 || width == 0 || height == 0)
        return 0;

    const bool see_through = info.nTransIndex != -1 || pAlpha != NULL || info.bAlphaPaletteEnabled;
    if (!see_through && cx == width && cy == height && pClipRect == NULL && FitsGdi(x, y, cx, cy)) {
        SetStretchBltMode(hdc, COLORONCOLOR);
        SetDIBitsToDevice(hdc, x, y, (DWORD)cx, (DWORD)cy, 0, 0, 0, (UINT)cy, info.pBits,
                          static_cast<const BITMAPINFO*>(pDib), DIB_RGB_COLORS);
        return 1;
    }

    // The caller's clip rectangle cuts the painted box rather than the
    // context's clip region, which is left exactly as it was.
    const PaintBox box = ClippedBox(hdc, x, y, cx, cy, pClipRect);
    if (box.width() == 0 || box.height() == 0)
        return 1;
    if (!see_through && cx == width && cy == height) {
        // Unscaled: the part of the image under the box, straight from its rows
        // (the source rectangle's lower left counted from the bottom row).
        SetStretchBltMode(hdc, COLORONCOLOR);
        SetDIBitsToDevice(hdc, (int)box.left, (int)box.top, (DWORD)box.width(), (DWORD)box.height(),
                          (int)(box.left - x), (int)(height - box.bottom + y), 0, (UINT)height,
                          info.pBits, static_cast<const BITMAPINFO*>(pDib), DIB_RGB_COLORS);
        return 1;
    }
    Sampling at;
    if (!MapSamples(at, box, x, y, cx, cy, width, height))
        return 1;
    Scratch scratch(hdc, box.width(), box.height());
    if (scratch.bits() == NULL)
        return 1;
    if (see_through)
        BitBlt(scratch.dc(), 0, 0, (int)box.width(), (int)box.height(), hdc, (int)box.left,
               (int)box.top, SRCCOPY);
    _drawrows(scratch.bits(), box.width(), box.height(), at.sx.data(), at.sy.data(), see_through);
    SetDIBitsToDevice(hdc, (int)box.left, (int)box.top, (DWORD)box.width(), (DWORD)box.height(), 0,
                      0, 0, (UINT)box.height(), scratch.bits(), scratch.bmi(), DIB_RGB_COLORS);
    return 1;
}

void RasterImage::_drawrows(BYTE* dst, long w, long h, const long* sx, const long* sy,
                            bool blend) const
{
    const WORD bpp = GetBpp();
    const long width = (long)GetWidth();
    const RGBQUAD* pal = GetPalette();
    const DWORD colours = GetNumColors();
    const size_t stride = (size_t)rasterlimits::RowBytes(24, (uint64_t)w);
    const bool transparent = info.nTransIndex != -1;
    const RGBQUAD key = info.rgbTransColor;
    const int alphamax = info.nAlphaMax;
    for (long r = 0; r < h; r++) {
        const BYTE* src = info.pBits + (size_t)sy[r] * info.dwEffWidth;
        const BYTE* alpharow = pAlpha != NULL ? pAlpha + (size_t)sy[r] * (size_t)width : NULL;
        BYTE* d = dst + (size_t)r * stride;
        if (!blend) {  // plain sampling: the source colours as they are
            for (long c = 0; c < w; c++, d += 3) {
                const BYTE* p = bpp == 24 ? src + 3 * (size_t)sx[c] : NULL;
                if (p == NULL) {
                    const BYTE ci = PaletteIndex(src, sx[c], bpp);
                    p = ci < colours ? reinterpret_cast<const BYTE*>(&pal[ci]) : kBlack;
                }
                d[0] = p[0];
                d[1] = p[1];
                d[2] = p[2];
            }
            continue;
        }
        for (long c = 0; c < w; c++, d += 3) {
            const long s = sx[c];
            RGBQUAD col;
            int a = alpharow != NULL ? alpharow[s] : 255;
            a = (a * (alphamax + 1)) >> 8;
            if (bpp == 24) {
                const BYTE* p = src + 3 * (size_t)s;
                col.rgbBlue = p[0];
                col.rgbGreen = p[1];
                col.rgbRed = p[2];
                col.rgbReserved = 0;
                if (transparent && memcmp(&col, &key, sizeof(col)) == 0)
                    continue;
            } else {
                const BYTE ci = PaletteIndex(src, s, bpp);
                if (ci < colours) {
                    col = pal[ci];
                } else {
                    memset(&col, 0, sizeof(col));
                }
                if (info.bAlphaPaletteEnabled)
                    a = ((col.rgbReserved + 1) * a) >> 8;
                if (transparent && ci == info.nTransIndex)
                    continue;
            }
            if (a == 255) {
                d[0] = col.rgbBlue;
                d[1] = col.rgbGreen;
                d[2] = col.rgbRed;
            } else if (a != 0) {
                d[0] = (BYTE)((d[0] * (255 - a) + col.rgbBlue * a) >> 8);
                d[1] = (BYTE)((d[1] * (255 - a) + col.rgbGreen * a) >> 8);
                d[2] = (BYTE)((d[2] * (255 - a) + col.rgbRed * a) >> 8);
            }
        }
    }
}

long RasterImage::Draw2(HDC hdc, long x, long y, long cx, long cy)
{
    if (pDib == NULL || hdc == NULL || cx == 0 || cy == 0 || !info.bEnabled)
        return 0;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    if (cx < 0)
        cx = width;
    if (cy < 0)
        cy = height;
    const BITMAPINFO* bmi = static_cast<const BITMAPINFO*>(pDib);
    // A rectangle GDI cannot express is drawn nowhere rather than wrapped
    // round to somewhere else.
    if (!FitsGdi(x, y, cx, cy))
        return 1;

    if (info.nTransIndex == -1) {
        SetStretchBltMode(hdc, COLORONCOLOR);
        StretchDIBits(hdc, x, y, cx, cy, 0, 0, width, height, info.pBits, bmi, DIB_RGB_COLORS,
                      SRCCOPY);
        return 1;
    }
    const RECT target = {(LONG)x, (LONG)y, (LONG)(x + cx), (LONG)(y + cy)};
    if (!RectVisible(hdc, &target))
        return 1;

    // The image at its own size, and a monochrome mask that is 1 where the
    // image has the transparent colour.
    HDC imagedc = CreateCompatibleDC(hdc);
    HDC maskdc = CreateCompatibleDC(hdc);
    HBITMAP image = CreateCompatibleBitmap(hdc, width, height);
    HBITMAP mask = CreateBitmap(width, height, 1, 1, NULL);
    if (imagedc != NULL && maskdc != NULL && image != NULL && mask != NULL) {
        HGDIOBJ oldimage = SelectObject(imagedc, image);
        HGDIOBJ oldmask = SelectObject(maskdc, mask);
        SetStretchBltMode(imagedc, COLORONCOLOR);
        StretchDIBits(imagedc, 0, 0, width, height, 0, 0, width, height, info.pBits, bmi,
                      DIB_RGB_COLORS, SRCCOPY);
        const RGBQUAD key = GetBpp() < 24 ? GetPaletteColor((BYTE)info.nTransIndex) : info.rgbTransColor;
        const COLORREF oldkey = SetBkColor(imagedc, ColorRefOf(key));
        BitBlt(maskdc, 0, 0, width, height, imagedc, 0, 0, SRCCOPY);

        // image ^ target, cleared where the image shows, ^ image again: the
        // target where the mask is 1, the image elsewhere. The mask turns
        // into colour by the target's text (0) and background (1) colours,
        // which must be black and white for that, and are given back after.
        const COLORREF oldtext = SetTextColor(hdc, RGB(0, 0, 0));
        const COLORREF oldback = SetBkColor(hdc, RGB(255, 255, 255));
        StretchBlt(hdc, x, y, cx, cy, imagedc, 0, 0, width, height, SRCINVERT);
        StretchBlt(hdc, x, y, cx, cy, maskdc, 0, 0, width, height, SRCAND);
        StretchBlt(hdc, x, y, cx, cy, imagedc, 0, 0, width, height, SRCINVERT);
        SetTextColor(hdc, oldtext);
        SetBkColor(hdc, oldback);

        SetBkColor(imagedc, oldkey);
        SelectObject(maskdc, oldmask);
        SelectObject(imagedc, oldimage);
    }
    if (mask != NULL)
        DeleteObject(mask);
    if (image != NULL)
        DeleteObject(image);
    if (maskdc != NULL)
        DeleteDC(maskdc);
    if (imagedc != NULL)
        DeleteDC(imagedc);
    return 1;
}

long RasterImage::Stretch(HDC hdc, long xoffset, long yoffset, long xsize, long ysize, DWORD dwRop)
{
    if (pDib == NULL || hdc == NULL)
        return 0;
    if (!FitsGdi(xoffset, yoffset, xsize, ysize))
        return 1;
    SetStretchBltMode(hdc, COLORONCOLOR);
    StretchDIBits(hdc, xoffset, yoffset, xsize, ysize, 0, 0, (int)GetWidth(), (int)GetHeight(),
                  info.pBits, static_cast<const BITMAPINFO*>(pDib), DIB_RGB_COLORS, dwRop);
    return 1;
}

long RasterImage::Tile(HDC hdc, RECT* rc)
{
    // An image without width or height would never reach the far edge.
    if (pDib == NULL || hdc == NULL || rc == NULL || GetWidth() == 0 || GetHeight() == 0)
        return 0;
    const long W = rc->right - rc->left, H = rc->bottom - rc->top;
    const long w = (long)GetWidth(), h = (long)GetHeight();
    // Only the tiles that meet the context's clip box can show: a small image
    // over a vast rectangle costs no more than the visible area.
    RECT box;
    long x0 = 0, y0 = 0, xend = W, yend = H;
    if (GetClipBox(hdc, &box) != ERROR) {
        if (box.left > rc->left)
            x0 = (box.left - rc->left) / w * w;
        if (box.top > rc->top)
            y0 = (box.top - rc->top) / h * h;
        xend = box.right - rc->left < W ? box.right - rc->left : W;
        yend = box.bottom - rc->top < H ? box.bottom - rc->top : H;
    }
    for (long y = y0; y < yend; y += h) {
        const long th = y + h > H ? H - y : h;
        for (long x = x0; x < xend; x += w) {
            const long tw = x + w > W ? W - x : w;
            RECT clip = {(LONG)(rc->left + x), (LONG)(rc->top + y), (LONG)(rc->left + x + tw),
                         (LONG)(rc->top + y + th)};
            Draw(hdc, rc->left + x, rc->top + y, -1, -1, &clip);
        }
    }
    return 1;
}
