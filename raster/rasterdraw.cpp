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
//
// The rows themselves come from rasterdrawrows (a reference and a fast form
// that give the same bytes). When a see-through image goes onto a DIB
// section of 24 or 32 bits, the background it is mixed with is read straight
// from the section's rows instead of copied out whole through a second
// context first, and where the context's clip region is one rectangle the
// mixed rows are written back in place, as the transfer of scratch rows
// would write them; any other target takes the general path.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "rasterdrawrows.h"
#include "rasterimage.h"
#include "rasterlimits.h"

namespace {

// The part of the target rectangle that can change: inside the context's
// clip box and inside the caller's clip rectangle, when there is one.
struct PaintBox {
    long left, top, right, bottom;
    bool simpleClip;  // the context's clip region is its clip box, one rectangle
    long width() const { return right - left; }
    long height() const { return bottom - top; }
};

PaintBox ClippedBox(HDC hdc, long x, long y, long cx, long cy, const RECT* cliprect)
{
    RECT clip;
    const int type = GetClipBox(hdc, &clip);
    if (type == ERROR)
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
    b.simpleClip = type == SIMPLEREGION;
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

// What one band of scratch rows may hold: well inside a core's cache.
const long kBandBytes = 64 * 1024;

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

rasterdraw::Picture PictureOf(const RasterImage& img)
{
    rasterdraw::Picture p;
    p.bits = img.GetBits(0);
    p.stride = img.GetEffWidth();
    p.bpp = img.GetBpp();
    p.width = (long)img.GetWidth();
    p.height = (long)img.GetHeight();
    p.palette = img.GetPalette();
    p.colours = p.palette != NULL ? img.GetNumColors() : 0;
    p.alpha = img.AlphaGetBits();
    p.alphaMax = img.AlphaGetMax();
    p.transparent = img.GetTransIndex() != -1;
    p.transIndex = img.GetTransIndex();
    p.transColour = img.GetTransColor();
    p.alphaPalette = img.AlphaPaletteIsEnabled();
    return p;
}

// The pixels of a DIB section of whole-byte channels (24 bits, or 32 with
// the usual masks) selected into a context, read in place.
struct SectionRows {
    const BYTE* bits = NULL;
    long width = 0, height = 0;
    int bpp = 0;
    size_t stride = 0;
    bool topDown = false;

    const BYTE* row(long yFromTop) const
    {
        return bits + (size_t)(topDown ? yFromTop : height - 1 - yFromTop) * stride;
    }
};

// Whether the first row of the section in memory is its top row. GDI
// reports a section's height as positive whichever way its rows run, so the
// first row in memory is marked for a moment (its first byte made to differ
// from the last row's) and scan line 0, which is always the bottom row, is
// read back through GetDIBits. False with ok false when that read fails.
bool FirstRowIsTop(HDC hdc, HGDIOBJ bitmap, const SectionRows& s, bool& ok)
{
    ok = true;
    if (s.height == 1)
        return true;  // either order: one row
    BYTE* first = const_cast<BYTE*>(s.bits);
    const BYTE last = s.bits[(size_t)(s.height - 1) * s.stride];
    const BYTE saved = first[0];
    first[0] = (BYTE)(last ^ 0xFF);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = 1;
    bmi.bmiHeader.biHeight = 1;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = (WORD)s.bpp;
    bmi.bmiHeader.biCompression = BI_RGB;
    BYTE pixel[4] = {0, 0, 0, 0};
    ok = GetDIBits(hdc, (HBITMAP)bitmap, 0, 1, pixel, &bmi, DIB_RGB_COLORS) == 1;
    const bool top = pixel[0] != first[0];
    first[0] = saved;
    return top;
}

bool SectionOf(HDC hdc, SectionRows& out)
{
    HGDIOBJ bitmap = GetCurrentObject(hdc, OBJ_BITMAP);
    if (bitmap == NULL)
        return false;
    DIBSECTION ds;
    if (GetObjectA(bitmap, (int)sizeof(ds), &ds) != (int)sizeof(ds) || ds.dsBm.bmBits == NULL)
        return false;
    const BITMAPINFOHEADER& h = ds.dsBmih;
    const bool usualMasks = h.biCompression == BI_RGB ||
                            (h.biCompression == BI_BITFIELDS && ds.dsBitfields[0] == 0xFF0000 &&
                             ds.dsBitfields[1] == 0x00FF00 && ds.dsBitfields[2] == 0x0000FF);
    if (!(h.biBitCount == 24 || (h.biBitCount == 32 && usualMasks)) || h.biWidth <= 0 ||
        h.biHeight == 0)
        return false;
    out.bits = static_cast<const BYTE*>(ds.dsBm.bmBits);
    out.width = h.biWidth;
    out.height = h.biHeight < 0 ? -(long)h.biHeight : (long)h.biHeight;
    out.bpp = h.biBitCount;
    out.stride = (size_t)rasterlimits::RowBytes(h.biBitCount, (uint64_t)h.biWidth);
    bool ok = false;
    out.topDown = FirstRowIsTop(hdc, bitmap, out, ok);
    return ok;
}

// Pixels [left, left + w) of a section row as 24-bit pixels, as a BitBlt of
// them into a 24-bit bitmap would give.
void CopyBackground(const SectionRows& s, long yFromTop, long left, long w, BYTE* dst)
{
    const BYTE* src = s.row(yFromTop) + (size_t)left * (size_t)(s.bpp / 8);
    if (s.bpp == 24) {
        memcpy(dst, src, (size_t)w * 3);
        return;
    }
    for (long i = 0; i < w; i++, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

// Where the rows of a paint box go: row r (0 the box's bottom) at
// base + r * step, pixels of `bytes` bytes.
struct RowTarget {
    BYTE* base;
    ptrdiff_t step;
    int bytes;
    BYTE* row(long r) const { return base + (ptrdiff_t)r * step; }
};

// PaintRows below through the fast rows of one draw.
void PaintFastRows(const rasterdraw::FastRows& rows, const RowTarget& to, long w, long h,
                   const long* sy, bool blend, const SectionRows* section, long left, long bottom)
{
    for (long r = 0; r < h; r++) {
        BYTE* d = to.row(r);
        if (section != NULL)
            CopyBackground(*section, bottom - 1 - r, left, w, d);
        if (blend)
            rows.Blend(sy[r], d, to.bytes);
        else if (r > 0 && sy[r] == sy[r - 1])
            memcpy(d, to.row(r - 1), (size_t)w * (size_t)to.bytes);  // an enlarged row repeats the one below
        else
            rows.Sample(sy[r], d, to.bytes);
    }
}

// Fills the h rows of w pixels of the target: sampled, or blended over the
// background they hold. With a section, each row's background is first read
// from the section row under it (`left` and `bottom` place the box on it).
void PaintRows(const rasterdraw::Picture& pic, const RowTarget& to, long w, long h,
               const long* sx, const long* sy, bool blend, const SectionRows* section, long left,
               long bottom)
{
    if (!rasterdraw::FastPaths()) {
        for (long r = 0; r < h; r++) {
            BYTE* d = to.row(r);
            if (section != NULL)
                CopyBackground(*section, bottom - 1 - r, left, w, d);
            if (blend)
                rasterdraw::BlendRowRef(pic, sy[r], sx, w, d);
            else
                rasterdraw::SampleRowRef(pic, sy[r], sx, w, d);
        }
        return;
    }
    PaintFastRows(rasterdraw::FastRows(pic, sx, w), to, w, h, sy, blend, section, left, bottom);
}

// The fast way of a see-through image onto a DIB section: the background
// read straight from the section's rows instead of copied out through a
// second context. Where the section's clip region is one rectangle the rows
// are painted in place, as SetDIBitsToDevice of scratch rows would leave
// them; otherwise scratch rows in plain memory take the mix and go to the
// context in one transfer. False for any other target, which takes the
// general path.
bool BlendOntoSection(HDC hdc, const rasterdraw::Picture& pic, const PaintBox& box,
                      const Sampling& at)
{
    SectionRows section;
    if (!SectionOf(hdc, section) || box.left < 0 || box.top < 0 || box.right > section.width ||
        box.bottom > section.height)
        return false;
    if (box.simpleClip) {
        const int bytes = section.bpp / 8;
        // Row r of the box is the section row bottom - 1 - r from the top.
        BYTE* bottomRow = const_cast<BYTE*>(section.row(box.bottom - 1)) + (size_t)box.left * (size_t)bytes;
        const ptrdiff_t up = section.topDown ? -(ptrdiff_t)section.stride : (ptrdiff_t)section.stride;
        PaintRows(pic, RowTarget{bottomRow, up, bytes}, box.width(), box.height(), at.sx.data(),
                  at.sy.data(), true, NULL, 0, 0);
        return true;
    }
    const BITMAPINFO bmi = ScratchInfo(box.width(), box.height());
    std::unique_ptr<BYTE[]> rows(new (std::nothrow) BYTE[bmi.bmiHeader.biSizeImage]);
    if (rows == nullptr)
        return true;  // as when the scratch bitmap cannot be made: the background stays
    const RowTarget scratch = {rows.get(), (ptrdiff_t)rasterlimits::RowBytes(24, (uint64_t)box.width()), 3};
    PaintRows(pic, scratch, box.width(), box.height(), at.sx.data(), at.sy.data(), true, &section,
              box.left, box.bottom);
    SetDIBitsToDevice(hdc, (int)box.left, (int)box.top, (DWORD)box.width(), (DWORD)box.height(), 0,
                      0, 0, (UINT)box.height(), rows.get(), &bmi, DIB_RGB_COLORS);
    return true;
}

// Rows of sampled pixels onto a memory context a band at a time, through a
// scratch bitmap of one band: each band is filled and copied out while it
// is still in the processor's cache, instead of the whole box being written
// out and read back. Nothing is drawn when the scratch bitmap cannot be
// made. (A window's context takes the whole box at once: each copy onto a
// window is one presentation of it.)
void SampleInBands(HDC hdc, const rasterdraw::Picture& pic, const PaintBox& box, const Sampling& at)
{
    const long w = box.width(), h = box.height();
    const long rowBytes = (long)rasterlimits::RowBytes(24, (uint64_t)w);
    const long band = std::max(1L, std::min(h, kBandBytes / rowBytes));
    Scratch scratch(hdc, w, band);
    if (scratch.bits() == NULL)
        return;
    const RowTarget rows = {scratch.bits(), (ptrdiff_t)rowBytes, 3};
    const rasterdraw::FastRows fast(pic, at.sx.data(), w);
    // Band rows r0 .. r0 + n - 1, counted from the box's bottom, are the
    // scratch bitmap's bottom n rows.
    for (long r0 = 0; r0 < h; r0 += band) {
        const long n = std::min(band, h - r0);
        PaintFastRows(fast, rows, w, n, at.sy.data() + r0, false, NULL, 0, 0);
        SetDIBitsToDevice(hdc, (int)box.left, (int)(box.bottom - r0 - n), (DWORD)w, (DWORD)n, 0, 0,
                          0, (UINT)n, scratch.bits(), scratch.bmi(), DIB_RGB_COLORS);
    }
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
    if (see_through && rasterdraw::FastPaths() && BlendOntoSection(hdc, PictureOf(*this), box, at))
        return 1;
    if (!see_through && rasterdraw::FastPaths() && GetCurrentObject(hdc, OBJ_BITMAP) != NULL) {
        SampleInBands(hdc, PictureOf(*this), box, at);
        return 1;
    }
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
    const RowTarget scratch = {dst, (ptrdiff_t)rasterlimits::RowBytes(24, (uint64_t)w), 3};
    PaintRows(PictureOf(*this), scratch, w, h, sx, sy, blend, NULL, 0, 0);
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
