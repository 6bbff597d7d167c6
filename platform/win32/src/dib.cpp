// Device-independent bitmaps to and from contexts and bitmaps:
// SetDIBitsToDevice, StretchDIBits, GetDIBits, SetDIBits and CreateDIBitmap.
//
// A window's surface holds 0x00RRGGBB. A 5- or 6-bit channel is widened by
// bit replication (r8 = r5 << 3 | r5 >> 2, g8 = g6 << 2 | g6 >> 4), so the
// 16-bit value that was presented can be recovered exactly from the surface.
#include "gdi_internal.h"
#include "desktop_internal.h"


#include <algorithm>
#include <cstring>

using namespace gdi;

namespace {

// A device-independent bitmap's layout as its header gives it.
struct Dib {
    PixelFormat format;
    int width = 0;
    int height = 0;  // rows, always positive
    bool topDown = false;
    int64_t stride = 0;
};

// Reads the header. DIB_PAL_COLORS tables (indices into a palette) are not
// supported: such a bitmap of up to 8 bits is refused; deeper ones have no
// table to read.
bool ReadDib(const BITMAPINFO* bmi, UINT usage, Dib& dib)
{
    if (bmi == nullptr || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS))
        return false;
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
        return false;
    if (usage == DIB_PAL_COLORS && h.biBitCount <= 8)
        return false;
    if (!ReadDibFormat(bmi, dib.format, true))
        return false;
    dib.width = h.biWidth;
    dib.topDown = h.biHeight < 0;
    dib.height = dib.topDown ? -h.biHeight : h.biHeight;
    dib.stride = DibStride(dib.width, dib.format.bpp);
    return true;
}

// The rows of the bitmap that `bits` holds, as a transfer source: scan lines
// startScan .. startScan + lines - 1, counted from the bottom for a bottom-up
// bitmap and from the top for a top-down one.
Source SourceOf(const Dib& dib, const void* bits, int64_t startScan, int64_t lines)
{
    Source s;
    s.format = &dib.format;
    s.width = dib.width;
    s.height = dib.height;
    const BYTE* p = static_cast<const BYTE*>(bits);
    if (dib.topDown) {
        // Row y is scan line y, at (y - startScan) rows into bits.
        s.base = p - startScan * dib.stride;
        s.stride = dib.stride;
        s.rowLo = int(std::max<int64_t>(0, startScan));
        s.rowHi = int(std::min<int64_t>(dib.height, startScan + lines));
    } else {
        // Row y is scan line height - 1 - y.
        s.base = p + (dib.height - 1 - startScan) * dib.stride;
        s.stride = -dib.stride;
        s.rowLo = int(std::max<int64_t>(0, dib.height - startScan - lines));
        s.rowHi = int(std::min<int64_t>(dib.height, dib.height - startScan));
    }
    return s;
}

}  // namespace

int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                             UINT startScan, UINT cLines, const void* bits, const BITMAPINFO* bmi,
                             UINT colorUse)
{
    if (desktop::detail::ShouldFail("SetDIBitsToDevice"))
        return 0;
    Dib dib;
    if (bits == nullptr || !ReadDib(bmi, colorUse, dib))
        return 0;
    DcAccess access(hdc);
    if (!access.ok())
        return 0;
    const Surface& t = access.surface();

    // Scan lines the caller gave, counted in the bitmap's own row order.
    const int64_t scanLo = startScan;
    const int64_t scanHi = std::min<int64_t>(dib.height, int64_t(startScan) + cLines);
    // Columns j of the rectangle that land on the target and come from the
    // bitmap.
    const int64_t jLo = std::max<int64_t>({0, -int64_t(xDest), -int64_t(xSrc)});
    const int64_t jHi = std::min<int64_t>({int64_t(w), t.width - int64_t(xDest), dib.width - int64_t(xSrc)});
    // Rows i of the rectangle (0 at its top) that land on the target and whose
    // scan line was given. A bottom-up bitmap counts ySrc and its scan lines
    // from the bottom, so the rectangle's top row is its highest scan line.
    int64_t iLo = std::max<int64_t>(0, -int64_t(yDest));
    int64_t iHi = std::min<int64_t>(int64_t(h), t.height - int64_t(yDest));
    if (dib.topDown) {
        iLo = std::max<int64_t>(iLo, scanLo - ySrc);
        iHi = std::min<int64_t>(iHi, scanHi - ySrc);
    } else {
        iLo = std::max<int64_t>(iLo, int64_t(ySrc) + int64_t(h) - scanHi);
        iHi = std::min<int64_t>(iHi, int64_t(ySrc) + int64_t(h) - scanLo);
    }
    if (jLo >= jHi || iLo >= iHi)
        return 0;

    // Only the part found above is drawn: the rest has no source.
    const Source source = SourceOf(dib, bits, startScan, cLines);
    const int64_t topRow = dib.topDown ? int64_t(ySrc) : dib.height - int64_t(ySrc) - int64_t(h);
    Geometry g;
    g.x = int(xDest + jLo);
    g.y = int(yDest + iLo);
    g.w = g.sw = int(jHi - jLo);
    g.h = g.sh = int(iHi - iLo);
    g.sx = int(xSrc + jLo);
    g.sy = int(topRow + iLo);
    Transfer(access, &source, g, SRCCOPY);
    if (auto* window = static_cast<desktop::detail::Window*>(access.window()))
        ++window->presents;
    return int(iHi - iLo);
}

int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc,
                         int wSrc, int hSrc, const void* bits, const BITMAPINFO* bmi, UINT usage,
                         DWORD rop)
{
    if (desktop::detail::ShouldFail("StretchDIBits"))
        return 0;
    Dib dib;
    const bool needSource = RopUsesSource(BYTE(rop >> 16));
    // A negative source extent mirrors nothing here: the call draws nothing.
    if ((needSource && bits == nullptr) || wSrc < 0 || hSrc < 0 || !ReadDib(bmi, usage, dib))
        return 0;
    DcAccess access(hdc);
    if (!access.ok())
        return 0;
    Source source;
    if (needSource)
        source = SourceOf(dib, bits, 0, dib.height);
    // ySrc counts from the picture's bottom row upward whichever way the
    // rows are stored: the rectangle's top row is height - ySrc - hSrc.
    const int64_t top = int64_t(dib.height) - ySrc - hSrc;
    if (top < INT32_MIN || top > INT32_MAX)
        return 0;
    const Geometry g{xDest, yDest, wDest, hDest, xSrc, int(top), wSrc, hSrc};
    if (!Transfer(access, needSource ? &source : nullptr, g, rop))
        return 0;
    // The scan lines the call handed over, whether or not they landed.
    return dib.height;
}

namespace {

// The bitmap's rows as a transfer source (colours by its own table, never
// by text and background colours).
Source SourceOf(const Bitmap& b)
{
    Source s;
    s.format = &b.format;
    s.width = b.width;
    s.height = b.height;
    s.base = b.Row(0);
    s.stride = b.topDown ? b.stride : -b.stride;
    s.rowLo = 0;
    s.rowHi = b.height;
    return s;
}

// The bitmap's rows as a surface to write.
Surface SurfaceOf(Bitmap& b)
{
    Surface s;
    s.width = b.width;
    s.height = b.height;
    s.format = &b.format;
    s.base = b.Row(0);
    s.stride = b.topDown ? b.stride : -b.stride;
    return s;
}

// Fills the header with the bitmap's own format; the colour table or masks
// after it are left alone.
void DescribeBitmap(const Bitmap& b, BITMAPINFO* bmi)
{
    BITMAPINFOHEADER& h = bmi->bmiHeader;
    h.biWidth = b.width;
    h.biHeight = b.height;
    h.biPlanes = 1;
    h.biBitCount = WORD(b.format.bpp);
    h.biCompression = b.compression;
    h.biSizeImage = DWORD(b.stride * b.height);
    h.biXPelsPerMeter = h.biYPelsPerMeter = 0;
    h.biClrUsed = h.biClrImportant = 0;
}

}  // namespace

int WINAPI GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT cLines, void* bits,
                     BITMAPINFO* bmi, UINT usage)
{
    if (desktop::detail::ShouldFail("GetDIBits") || bmi == nullptr || usage != DIB_RGB_COLORS ||
        bmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER))
        return 0;
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (dc != nullptr && r.FindDc(dc) == nullptr)
        return 0;
    Bitmap* b = r.FindBitmap(bitmap);
    if (b == nullptr)
        return 0;
    BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (h.biBitCount == 0) {
        DescribeBitmap(*b, bmi);
        return b->height;
    }
    // An empty set of bit-field masks asks for the bitmap's own (or the
    // usual 5-6-5 and 8-8-8 ones).
    DWORD* masks = reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(bmi) + sizeof(BITMAPINFOHEADER));
    if (h.biCompression == BI_BITFIELDS && masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
        if (b->format.bpp == h.biBitCount) {
            masks[0] = b->format.red.mask;
            masks[1] = b->format.green.mask;
            masks[2] = b->format.blue.mask;
        } else if (h.biBitCount == 16) {
            masks[0] = 0xF800, masks[1] = 0x07E0, masks[2] = 0x001F;
        } else {
            masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
        }
    }
    PixelFormat f;
    if (!ReadDibFormat(bmi, f, false) || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == INT32_MIN)
        return 0;
    if (f.bpp <= 8) {
        // The bitmap's own colours at its own depth, the standard ones
        // otherwise; as many as the header's biClrUsed asks for (all when
        // 0), which is all the room the caller's table has.
        const size_t n = f.colors.size();
        f.colors = b->format.bpp == f.bpp ? b->format.colors : DeviceFormat(f.bpp).colors;
        f.colors.resize(n);
        std::memcpy(bmi->bmiColors, f.colors.data(), n * sizeof(RGBQUAD));
    }
    Dib dib;
    dib.width = h.biWidth;
    dib.topDown = h.biHeight < 0;
    dib.height = dib.topDown ? -h.biHeight : h.biHeight;
    dib.stride = DibStride(dib.width, f.bpp);
    h.biSizeImage = DWORD(std::min<int64_t>(dib.stride * dib.height, UINT32_MAX));
    if (bits == nullptr)
        return b->height;

    // Scan lines of the bitmap that exist. Scan line 0 is the bottom row
    // whichever way the caller's rows run.
    const int64_t first = startScan;
    const int64_t last = std::min<int64_t>(int64_t(startScan) + cLines, b->height);
    if (first >= last)
        return 0;
    // Rows of the bitmap (top-down) that the scan lines name.
    const int64_t rowLo = b->height - last;
    const int64_t rowHi = b->height - first;
    // Write into the caller's rows as into a surface of the requested format:
    // top-down rows begin with the band's top row, bottom-up ones with its
    // bottom row.
    Surface out;
    out.width = dib.width;
    out.height = b->height;
    out.format = &f;
    BYTE* p = static_cast<BYTE*>(bits);
    if (dib.topDown) {
        out.base = p - rowLo * dib.stride;
        out.stride = dib.stride;
    } else {
        out.base = p + (rowHi - 1) * dib.stride;
        out.stride = -dib.stride;
    }
    const std::vector<RECT> visible = {
        RECT{0, LONG(rowLo), LONG(std::min(dib.width, b->width)), LONG(rowHi)}};
    const Source source = SourceOf(*b);
    const Dc attributes;
    // Pixels past the bitmap's width stay as they were: zero them first.
    for (int64_t y = rowLo; y < rowHi; ++y)
        std::memset(out.Row(int(y)), 0, size_t(dib.stride));
    TransferTo(out, visible, attributes, &source,
               Geometry{0, 0, b->width, b->height, 0, 0, b->width, b->height}, SRCCOPY);
    return int(last - first);
}

namespace {

// Sets scan lines of the bitmap from device-independent rows; the number set.
int SetBitmapRows(Bitmap& b, UINT startScan, UINT cLines, const void* bits, const Dib& dib)
{
    const Source source = SourceOf(dib, bits, startScan, cLines);
    if (source.rowLo >= source.rowHi)
        return 0;
    Surface out = SurfaceOf(b);
    const std::vector<RECT> visible = {RECT{0, 0, b.width, b.height}};
    const Dc attributes;
    // Row y of the bitmap takes row y of the bitmap's height counted as the
    // DIB counts: the DIB's bottom row on the bitmap's bottom row.
    const int shift = dib.topDown ? 0 : b.height - dib.height;
    TransferTo(out, visible, attributes, &source,
               Geometry{0, shift, dib.width, dib.height, 0, 0, dib.width, dib.height}, SRCCOPY);
    return source.rowHi - source.rowLo;
}

}  // namespace

int WINAPI SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT cLines, const void* bits,
                     const BITMAPINFO* bmi, UINT usage)
{
    Dib dib;
    if (bits == nullptr || !ReadDib(bmi, usage, dib))
        return 0;
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    Bitmap* b = r.FindBitmap(bitmap);
    if (b == nullptr || (dc != nullptr && r.FindDc(dc) == nullptr))
        return 0;
    return SetBitmapRows(*b, startScan, cLines, bits, dib);
}

HBITMAP WINAPI CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init,
                              const void* bits, const BITMAPINFO* bmi, UINT usage)
{
    if (desktop::detail::ShouldFail("CreateDIBitmap") || header == nullptr)
        return nullptr;
    const LONG height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    if (header->biHeight == INT32_MIN)
        return nullptr;
    // With a context a bitmap compatible with it; the screen's otherwise.
    HBITMAP bitmap = CreateCompatibleBitmap(dc, header->biWidth, height);
    if (bitmap == nullptr)
        return nullptr;
    if ((init & CBM_INIT) && bits != nullptr &&
        SetDIBits(dc, bitmap, 0, UINT(height), bits, bmi, usage) == 0) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}
