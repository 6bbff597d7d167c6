// Geometric transformations: quarter and half turns, mirror images, turns by
// any angle, cutting, shearing, margins, thumbnails and polar distortions.
// Built without fused multiply-add: the sampling positions must come out the
// same on every compiler.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "rasterimage.h"
#include "rasterquarter.h"

namespace {

// The index a transformation takes from outside a palette image: the
// transparent index, else the first byte of the pixel block. At 1 and 4 bits
// that byte holds several pixels, and the index stored from it keeps only as
// many low bits as a pixel has, so it is not pixel (0, 0) (which the pixel
// access returns outside).
BYTE OutsideIndex(const RasterImage& src)
{
    if (src.GetTransIndex() != -1)
        return (BYTE)src.GetTransIndex();
    const BYTE* bits = src.GetBits(0);
    return bits != NULL ? bits[0] : 0;
}

// dst(x, y) takes src(sx, sy): the index for palette images, else the colour.
// Points outside src take its outside rules.
inline void CopySample(RasterImage& dst, long x, long y, const RasterImage& src, long sx, long sy)
{
    if (src.IsIndexed())
        dst.SetPixelIndex(x, y,
                          src.IsInside(sx, sy) ? src.GetPixelIndex(sx, sy) : OutsideIndex(src));
    else
        dst.SetPixelColor(x, y, src.GetPixelColor(sx, sy, true), false);
}

long Clamp(long v, long m)
{
    return v < 0 ? 0 : v > m ? m : v;
}

// A product truncated toward zero. Gains are the caller's: a product past
// any image (or not a number) becomes a far-away point, which samples the
// outside like any other.
long TruncateOffset(float v)
{
    // Not named "far": the Windows headers make that word a macro.
    const float farAway = 1e12f;
    if (!(v > -farAway))
        return -(long)farAway;
    if (v > farAway)
        return (long)farAway;
    return (long)v;
}

// The pixels a distortion works on, as [xmin, xmax) x [ymin, ymax): the
// selection's box when there is a selection, else the whole image.
struct Area {
    long xmin, xmax, ymin, ymax;
};

Area WorkArea(const RasterImage& image, bool selected)
{
    if (!selected)
        return {0, (long)image.GetWidth(), 0, (long)image.GetHeight()};
    RECT box;
    image.SelectionGetBox(box);
    return {box.left, box.right, box.bottom, box.top};
}

}  // namespace

// Turns the picture upside down: whole padded rows are copied in reverse order
// into a working copy, which then replaces this image. The alpha plane turns
// with the rows; the selection plane does not survive.
bool RasterImage::Flip()
{
    if (pDib == NULL)
        return false;
    // Without a column or a row there is nothing to turn over (and a height
    // taken from a file may be huge while the width is 0).
    if (GetWidth() == 0 || GetHeight() == 0)
        return true;
    std::unique_ptr<RasterImage> flipped(new (std::nothrow) RasterImage(*this, false, false, true));
    if (!flipped || !flipped->IsValid() || (pAlpha != NULL && !flipped->AlphaIsValid()))
        return false;
    size_t rowbytes = info.dwEffWidth;
    DWORD height = GetHeight();
    BYTE* dst = flipped->GetBits(0);
    for (DWORD y = 0; y < height; y++)
        memcpy(dst + (size_t)y * rowbytes, info.pBits + (size_t)(height - 1 - y) * rowbytes,
               rowbytes);
    if (flipped->AlphaIsValid() && !flipped->AlphaFlip())
        return false;
    Transfer(*flipped);
    return true;
}

// Left and right change places; 8- and 24-bit rows are reversed byte by byte
// and pixel by pixel, packed depths go through the pixel calls.
bool RasterImage::Mirror()
{
    if (pDib == NULL)
        return false;
    if (GetWidth() == 0 || GetHeight() == 0)
        return true;
    std::unique_ptr<RasterImage> mirrored(new (std::nothrow)
                                              RasterImage(*this, false, false, true));
    if (!mirrored || !mirrored->IsValid() || (pAlpha != NULL && !mirrored->AlphaIsValid()))
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    const WORD bpp = GetBpp();
    for (long y = 0; y < height; y++) {
        const BYTE* src = info.pBits + (size_t)y * info.dwEffWidth;
        BYTE* dst = mirrored->info.pBits + (size_t)y * info.dwEffWidth;
        if (bpp == 8) {
            for (long x = 0; x < width; x++)
                dst[x] = src[width - 1 - x];
        } else if (bpp == 24) {
            for (long x = 0; x < width; x++)
                memcpy(dst + 3 * x, src + 3 * (width - 1 - x), 3);
        } else {
            for (long x = 0; x < width; x++)
                mirrored->SetPixelIndex(x, y, GetPixelIndex(width - 1 - x, y));
        }
    }
    if (mirrored->AlphaIsValid() && !mirrored->AlphaMirror())
        return false;
    Transfer(*mirrored);
    return true;
}

// A quarter turn into a working copy; the pixels move in tiles
// (rasterquarter_fast.cpp).
bool RasterImage::_quarterturn(bool left, RasterImage* target)
{
    if (pDib == NULL)
        return false;
    RasterImage turned;
    if (!_workingcopy(turned, GetHeight(), GetWidth(), GetBpp()))
        return false;
    if (pAlpha != NULL)
        turned.AlphaCreate();
    rasterquarter::Turn(*this, turned, left, [](RasterImage& image, long row, long rows) {
        return image._rowprogress(row, rows);
    });
    _handover(turned, target);
    return true;
}

bool RasterImage::RotateLeft(RasterImage* target)
{
    return _quarterturn(true, target);
}

bool RasterImage::RotateRight(RasterImage* target)
{
    return _quarterturn(false, target);
}

bool RasterImage::Rotate180(RasterImage* target)
{
    if (pDib == NULL)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    RasterImage turned;
    if (!_workingcopy(turned, (DWORD)width, (DWORD)height, GetBpp()))
        return false;
    if (pAlpha != NULL)
        turned.AlphaCreate();
    for (long y = 0; y < height; y++) {
        _rowprogress(y, height);
        for (long x = 0; x < width; x++) {
            CopySample(turned, width - 1 - x, height - 1 - y, *this, x, y);
            turned.AlphaSet(width - 1 - x, height - 1 - y, AlphaGet(x, y));
        }
    }
    _handover(turned, target);
    return true;
}

namespace {

// The products of the turn for one axis, computed once per column: the sum
// of two rounded products is then the same as the formula computed per pixel.
struct TurnTables {
    std::vector<double> cosines, sines;
    TurnTables(long first, long count, double c, double s) : cosines(count), sines(count)
    {
        for (long i = 0; i < count; i++) {
            cosines[i] = (double)(first + i) * c;
            sines[i] = (double)(first + i) * s;
        }
    }
};

}  // namespace

bool RasterImage::Rotate(float angle, RasterImage* target)
{
    if (pDib == NULL)
        return false;
    // No canvas holds a turn by an angle that is not a number.
    if (!std::isfinite(angle))
        return false;
    // acos of a single-precision 0 is the single-precision right angle.
    const double theta = -(double)angle * (double)std::acos(0.0f) / 90;
    const double c = cos(theta), s = sin(theta);
    const long width = (long)GetWidth(), height = (long)GetHeight();

    // The corners (the fourth at width - 1) turned and floored.
    const long px[4] = {0, width, 0, width - 1};
    const long py[4] = {0, 0, height, height};
    long minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 1; i < 4; i++) {
        long tx = (long)floor((double)px[i] * c - (double)py[i] * s);
        long ty = (long)floor((double)px[i] * s + (double)py[i] * c);
        minX = tx < minX ? tx : minX;
        maxX = tx > maxX ? tx : maxX;
        minY = ty < minY ? ty : minY;
        maxY = ty > maxY ? ty : maxY;
    }
    const long newWidth = maxX + 2 - minX, newHeight = maxY + 2 - minY;
    RasterImage turned;
    if (!_workingcopy(turned, (DWORD)newWidth, (DWORD)newHeight, GetBpp()))
        return false;
    if (pAlpha != NULL) {
        turned.AlphaCreate();
        turned.AlphaClear();
    }

    // Columns minX .. maxX + 1 land inside the copy (the loop's last column
    // and row fall outside it and are dropped).
    TurnTables columns(minX, newWidth, c, s);
    const WORD bpp = GetBpp();
    const RGBQUAD outside = GetPixelColor(-1, -1, true);
    const BYTE outsideIndex = IsIndexed() ? OutsideIndex(*this) : 0;
    const size_t srcStride = info.dwEffWidth;
    const BYTE* srcBits = info.pBits;
    // One stretch [x0, x1) of new row ny.
    auto turnRow = [&](long ny, long x0, long x1) {
        const long y = ny + minY;
        const double yc = (double)y * c, ys = (double)y * s;
        BYTE* dst = turned.info.pBits + (size_t)ny * turned.info.dwEffWidth;
        BYTE* dstAlpha = turned.pAlpha != NULL ? turned.pAlpha + (size_t)ny * newWidth : NULL;
        for (long nx = x0; nx < x1; nx++) {
            const long oldX = (long)(columns.cosines[nx] + ys - 0.5);
            const long oldY = (long)(yc - columns.sines[nx] - 0.5);
            const bool inside = (unsigned long)oldX < (unsigned long)width &&
                                (unsigned long)oldY < (unsigned long)height;
            if (bpp == 24) {
                BYTE* d = dst + 3 * nx;
                if (inside) {
                    const BYTE* p = srcBits + (size_t)oldY * srcStride + 3 * (size_t)oldX;
                    d[0] = p[0];
                    d[1] = p[1];
                    d[2] = p[2];
                } else {
                    d[0] = outside.rgbBlue;
                    d[1] = outside.rgbGreen;
                    d[2] = outside.rgbRed;
                }
            } else if (bpp == 8) {
                dst[nx] = inside ? srcBits[(size_t)oldY * srcStride + oldX] : outsideIndex;
            } else {
                turned.SetPixelIndex(nx, ny, inside ? _pixelindex(oldX, oldY) : outsideIndex);
            }
            if (dstAlpha != NULL)
                dstAlpha[nx] = inside ? pAlpha[(size_t)oldY * width + oldX] : 0;
        }
    };
    // Rows go in bands, each band in tiles of columns: a tile reads a small
    // patch of the source instead of a long diagonal through every row. The
    // loop runs over one row more than the copy holds (it is dropped), and
    // progress and escape are taken row by row before each band: an escape
    // stops before the first row that saw it, as a row loop would.
    const long kBand = 16, kTile = 64;
    for (long band = 0; band <= newHeight; band += kBand) {
        long end = band;
        bool escaped = false;
        for (; end < band + kBand && end <= newHeight; end++) {
            if (_rowprogress(end, newHeight)) {
                escaped = true;
                break;
            }
        }
        const long rows = (end < newHeight ? end : newHeight);
        for (long x0 = 0; x0 < newWidth; x0 += kTile)
            for (long ny = band; ny < rows; ny++)
                turnRow(ny, x0, x0 + kTile < newWidth ? x0 + kTile : newWidth);
        if (escaped)
            break;
    }
    _handover(turned, target);
    return true;
}

bool RasterImage::Crop(long left, long top, long right, long bottom, RasterImage* target)
{
    if (pDib == NULL)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    long startx = Clamp(left, width), endx = Clamp(right, width);
    long starty = height - Clamp(top, height), endy = height - Clamp(bottom, height);
    if (startx == endx || starty == endy)
        return false;
    if (startx > endx)
        std::swap(startx, endx);
    if (starty > endy)
        std::swap(starty, endy);
    const long newWidth = endx - startx;
    RasterImage cut;
    if (!_freshcopy(cut, (DWORD)newWidth, (DWORD)(endy - starty)))
        return false;
    const WORD bpp = GetBpp();
    for (long y = starty; y < endy; y++) {
        _rowprogress(y, endy);
        if (bpp == 8 || bpp == 24) {
            memcpy(cut.info.pBits + (size_t)(y - starty) * cut.info.dwEffWidth,
                   info.pBits + (size_t)y * info.dwEffWidth + (size_t)(bpp * startx) / 8,
                   (size_t)(newWidth * bpp) / 8);
        } else {
            for (long x = startx; x < endx; x++)
                cut.SetPixelIndex(x - startx, y - starty, _pixelindex(x, y));
        }
    }
    if (pAlpha != NULL) {
        cut.AlphaCreate();
        if (cut.pAlpha != NULL) {
            for (long y = starty; y < endy; y++)
                memcpy(cut.pAlpha + (size_t)(y - starty) * newWidth,
                       pAlpha + (size_t)y * width + startx, (size_t)newWidth);
        }
    }
    _handover(cut, target);
    return true;
}

bool RasterImage::CropRotatedRectangle(long x, long y, long w, long h, float angle,
                                       RasterImage* target)
{
    if (pDib == NULL)
        return false;
    if (!std::isfinite(angle))
        return false;
    if (fabs(angle) < 0.0002)
        return Crop(x, y, x + w, y + h, target);
    const double c = cos((double)angle), s = sin((double)angle);
    const long startx = std::min(x, x - (long)(h * s));
    const long endx = x + (long)(w * c);
    const long endy = y + (long)(h * c + w * s);
    if (!IsInside(startx, y) || !IsInside(endx, endy))
        return false;
    RasterImage work;
    if (!_fullcopy(work, true, false, true))
        return false;
    if (!work.Crop(startx, y, endx, endy) || !work.Rotate((float)(-angle * 57.29577951308232))) {
        _seterror(work.GetLastError());
        return false;
    }
    const long W = (long)work.GetWidth(), H = (long)work.GetHeight();
    if (!work.Crop((W - w) / 2, (H + h) / 2, (W + w) / 2, (H - h) / 2)) {
        _seterror(work.GetLastError());
        return false;
    }
    _handover(work, target);
    return true;
}

bool RasterImage::Skew(float xgain, float ygain, long xpivot, long ypivot)
{
    if (pDib == NULL)
        return false;
    RasterImage sheared;
    if (!_fullcopy(sheared, pSelection != NULL, true, true))
        return false;
    const auto [xmin, xmax, ymin, ymax] = WorkArea(*this, pSelection != NULL);
    for (long y = ymin; y < ymax; y++) {
        if (_rowprogress(y, (long)GetHeight()))
            break;
        for (long x = xmin; x < xmax; x++) {
            if (!SelectionIsInside(x, y))
                continue;
            const long nx = x + TruncateOffset((float)(y - ypivot) * xgain);
            const long ny = y + TruncateOffset((float)(x - xpivot) * ygain);
            CopySample(sheared, x, y, *this, nx, ny);
            sheared.AlphaSet(x, y, AlphaGet(nx, ny));
        }
    }
    _handover(sheared, NULL);
    return true;
}

bool RasterImage::Expand(long left, long top, long right, long bottom, RGBQUAD canvas,
                         RasterImage* target)
{
    if (pDib == NULL)
        return false;
    if (left < 0 || top < 0 || right < 0 || bottom < 0)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    const long newWidth = width + left + right, newHeight = height + top + bottom;
    if (newWidth > INT32_MAX || newHeight > INT32_MAX) {
        _seterror("RASTER_MAX_MEMORY exceeded");
        return false;
    }
    RasterImage expanded;
    if (!_freshcopy(expanded, (DWORD)newWidth, (DWORD)newHeight))
        return false;
    const WORD bpp = GetBpp();
    if (bpp == 8 || bpp == 24) {
        if (bpp == 24) {
            for (long y = 0; y < newHeight; y++) {
                BYTE* d = expanded.info.pBits + (size_t)y * expanded.info.dwEffWidth;
                for (long x = 0; x < newWidth; x++, d += 3) {
                    d[0] = canvas.rgbBlue;
                    d[1] = canvas.rgbGreen;
                    d[2] = canvas.rgbRed;
                }
            }
        } else {
            expanded.Clear(expanded.GetNearestIndex(canvas));
        }
        const size_t bytes = (size_t)(bpp / 8);
        for (long y = bottom; y < bottom + height; y++) {
            _rowprogress(y - bottom, height);
            memcpy(expanded.info.pBits + (size_t)y * expanded.info.dwEffWidth + bytes * left,
                   info.pBits + (size_t)(y - bottom) * info.dwEffWidth, bytes * width);
        }
    } else {
        const BYTE canvasIndex = expanded.GetNearestIndex(canvas);
        for (long y = 0; y < newHeight; y++) {
            _rowprogress(y, newHeight);
            for (long x = 0; x < newWidth; x++) {
                const bool inside =
                    x >= left && x < left + width && y >= bottom && y < bottom + height;
                expanded.SetPixelIndex(x, y,
                                       inside ? _pixelindex(x - left, y - bottom) : canvasIndex);
            }
        }
    }
    _handover(expanded, target);
    return true;
}

bool RasterImage::Expand(long newWidth, long newHeight, RGBQUAD canvas, RasterImage* target)
{
    if (pDib == NULL)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    if (newWidth < width || newHeight < height)
        return false;
    const long left = (newWidth - width) / 2, top = (newHeight - height) / 2;
    return Expand(left, top, newWidth - (width + left), newHeight - (height + top), canvas, target);
}

bool RasterImage::Thumbnail(long newWidth, long newHeight, RGBQUAD canvas, RasterImage* target)
{
    if (pDib == NULL)
        return false;
    if (newWidth < 1 || newHeight <= 0)
        return false;
    RasterImage thumb;
    if (!_fullcopy(thumb, true, true, true))
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    if (width > newWidth || height > newHeight) {
        const float aspect = (float)newWidth / newHeight;
        const float scale = (float)width >= (float)height * aspect ? (float)newWidth / width
                                                                   : (float)newHeight / height;
        // A strip far longer than the box still keeps one pixel across.
        long w = (long)(width * scale), h = (long)(height * scale);
        w = w < 1 ? 1 : w;
        h = h < 1 ? 1 : h;
        if (!thumb.Resample(w, h, 0)) {
            _seterror(thumb.GetLastError());
            return false;
        }
    }
    if (!thumb.Expand(newWidth, newHeight, canvas)) {
        _seterror(thumb.GetLastError());
        return false;
    }
    _handover(thumb, target);
    return true;
}

bool RasterImage::CircleTransform(int type, long rmax, float k)
{
    if (pDib == NULL)
        return false;
    RasterImage distorted;
    if (!_fullcopy(distorted, pSelection != NULL, true, true))
        return false;
    const auto [xmin, xmax, ymin, ymax] = WorkArea(*this, pSelection != NULL);
    const long xmid = (long)GetWidth() / 2, ymid = (long)GetHeight() / 2;
    if (rmax == 0)
        rmax =
            (long)std::sqrt((float)((xmid - xmin) * (xmid - xmin) + (ymid - ymin) * (ymid - ymin)));
    if (k == 0 || std::isnan(k))
        k = 1;
    for (long y = ymin; y < ymax; y++) {
        if (_rowprogress(y, (long)GetHeight()))
            break;
        for (long x = xmin; x < xmax; x++) {
            if (!SelectionIsInside(x, y))
                continue;
            const long nx = xmid - x, ny = ymid - y;
            const double radius = std::sqrt((float)(nx * nx + ny * ny));
            long sx = x, sy = y;  // a negative type copies the pixel
            if (type < 0) {
            } else if (radius >= rmax) {
                sx = sy = -1;
            } else if (type <= 2) {
                double angle = atan2((double)ny, (double)nx);
                double nr;
                if (type == 0) {
                    nr = radius * radius / rmax;
                } else if (type == 1) {
                    nr = sqrt(radius * rmax);
                } else {
                    nr = radius;
                    angle += radius / k;
                }
                sx = (long)(cos(angle) * nr) + xmid;
                sy = ymid - (long)(sin(angle) * nr);
            } else if (type == 3) {
                const double angle = atan2((double)ny, (double)nx);
                sx = (long)fabs(xmax * angle / 6.2831852);
                sy = (long)fabs(ymax * radius / rmax);
            } else {
                sx = x + (x % 32) - 16;
            }
            CopySample(distorted, x, y, *this, sx, sy);
            distorted.AlphaSet(x, y, AlphaGet(sx, sy));
        }
    }
    _handover(distorted, NULL);
    return true;
}
