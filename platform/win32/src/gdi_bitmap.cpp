// GDI bitmaps: DIB sections, device-dependent and compatible bitmaps, and
// GetObjectA, which describes them (and fonts and palettes).
#include "gdi_internal.h"
#include "font_internal.h"
#include "desktop_internal.h"

#include <cstdlib>
#include <cstring>

namespace gdi {

// Larger bitmaps are refused rather than allocated.
constexpr int64_t kMaxBitmapBytes = int64_t(1) << 30;

Bitmap::~Bitmap()
{
    std::free(bits);
}

std::unique_ptr<Bitmap> NewBitmap(int width, int height, const PixelFormat& format, bool bottomUp)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    const int64_t stride = DibStride(width, format.bpp);
    if (stride * height > kMaxBitmapBytes)
        return nullptr;
    std::unique_ptr<Bitmap> b(new Bitmap);
    b->bits = static_cast<BYTE*>(std::calloc(size_t(stride * height), 1));
    if (b->bits == nullptr)
        return nullptr;
    b->width = width;
    b->height = height;
    b->format = format;
    b->stride = stride;
    b->topDown = !bottomUp;
    return b;
}

}  // namespace gdi

using namespace gdi;

namespace {

bool ValidDepth(int bpp)
{
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// The colours of device-dependent bitmaps below 16 bits: black and white,
// the 16 colours of the standard VGA palette, and for 8 bits those 16
// followed by a 6 x 6 x 6 colour cube and a grey ramp.
std::vector<RGBQUAD> DefaultColors(int bpp)
{
    static const BYTE vga[16][3] = {
        {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
        {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
        {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
        {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    std::vector<RGBQUAD> colors;
    auto add = [&colors](BYTE r, BYTE g, BYTE b) { colors.push_back(RGBQUAD{b, g, r, 0}); };
    if (bpp == 1) {
        add(0, 0, 0);
        add(255, 255, 255);
        return colors;
    }
    for (const auto& c : vga)
        add(c[0], c[1], c[2]);
    if (bpp == 8) {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    add(BYTE(r * 51), BYTE(g * 51), BYTE(b * 51));
        for (int i = 0; colors.size() < 256; ++i)
            add(BYTE(8 + i * 10), BYTE(8 + i * 10), BYTE(8 + i * 10));
    }
    return colors;
}

}  // namespace

namespace gdi {

PixelFormat DeviceFormat(int bpp)
{
    PixelFormat f;
    f.bpp = bpp;
    if (bpp >= 16)
        SetDefaultMasks(f);
    else
        f.colors = DefaultColors(bpp);
    return f;
}

}  // namespace gdi

namespace {

// The depth a bitmap compatible with the context gets: 32 bits for windows
// and the screen, the selected bitmap's depth for a memory context.
bool CompatibleDepth(Registry& r, HDC dc, int& bpp)
{
    bpp = 32;
    if (dc == nullptr)
        return true;
    Dc* c = r.FindDc(dc);
    if (c == nullptr)
        return false;
    if (c->kind == DcKind::Memory) {
        const Bitmap* b = r.FindBitmap(c->bitmap);
        if (b != nullptr)
            bpp = b->format.bpp;
    }
    return true;
}

}  // namespace

namespace gdi {

// Reads the format of a BITMAPINFO: depth, masks or colour table. False for
// what no bitmap can hold. With colors false the colour table is not read
// (the caller supplies its own).
bool ReadDibFormat(const BITMAPINFO* bmi, PixelFormat& f, bool colors)
{
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || !ValidDepth(h.biBitCount))
        return false;
    f.bpp = h.biBitCount;
    f.colors.clear();
    const BYTE* after = reinterpret_cast<const BYTE*>(bmi) + h.biSize;
    if (h.biCompression == BI_BITFIELDS) {
        if (f.bpp != 16 && f.bpp != 32)
            return false;
        DWORD masks[3];
        // A 40-byte header is followed by the masks; larger headers hold them
        // at the same offset.
        std::memcpy(masks, reinterpret_cast<const BYTE*>(bmi) + sizeof(BITMAPINFOHEADER),
                    sizeof(masks));
        const DWORD limit = f.bpp == 16 ? 0xFFFF : 0xFFFFFFFF;
        if ((masks[0] | masks[1] | masks[2]) > limit || (masks[0] & masks[1]) ||
            (masks[0] & masks[2]) || (masks[1] & masks[2]))
            return false;
        return MakeChannel(masks[0], f.red) && MakeChannel(masks[1], f.green) &&
               MakeChannel(masks[2], f.blue);
    }
    if (h.biCompression != BI_RGB)
        return false;
    if (f.bpp >= 16) {
        SetDefaultMasks(f);
        return true;
    }
    const DWORD most = DWORD(1) << f.bpp;
    const DWORD n = (h.biClrUsed == 0 || h.biClrUsed > most) ? most : h.biClrUsed;
    if (colors) {
        const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(after);
        f.colors.assign(table, table + n);
        for (RGBQUAD& q : f.colors)
            q.rgbReserved = 0;
    } else {
        f.colors.assign(n, RGBQUAD{0, 0, 0, 0});
    }
    return true;
}

}  // namespace gdi

HBITMAP WINAPI CreateDIBSection(HDC dc, const BITMAPINFO* bmi, UINT usage, void** bits,
                                HANDLE section, DWORD offset)
{
    if (bits != nullptr)
        *bits = nullptr;
    if (desktop::detail::ShouldFail("CreateDIBSection") || bmi == nullptr ||
        usage != DIB_RGB_COLORS || section != nullptr || offset != 0)
        return nullptr;
    PixelFormat f;
    if (!ReadDibFormat(bmi, f, true))
        return nullptr;
    const LONG w = bmi->bmiHeader.biWidth, h = bmi->bmiHeader.biHeight;
    if (w <= 0 || h == 0 || h == INT32_MIN)
        return nullptr;
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (dc != nullptr && r.FindDc(dc) == nullptr)
        return nullptr;
    std::unique_ptr<Bitmap> b = NewBitmap(w, h < 0 ? -h : h, f, h > 0);
    if (b == nullptr)
        return nullptr;
    b->dibSection = true;
    b->compression = bmi->bmiHeader.biCompression;
    if (bits != nullptr)
        *bits = b->bits;
    return r.AddBitmap(std::move(b));
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height)
{
    if (desktop::detail::ShouldFail("CreateCompatibleBitmap") || width < 0 || height < 0)
        return nullptr;
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    int bpp;
    if (!CompatibleDepth(r, dc, bpp))
        return nullptr;
    if (width == 0 || height == 0) {
        width = height = 1;
        bpp = 1;
    }
    // A memory context holding a DIB section hands on the section's colours
    // or masks; a monochrome bitmap stays black and white whatever the
    // section's two colours are.
    PixelFormat f = DeviceFormat(bpp);
    if (dc != nullptr && bpp != 1) {
        const Dc* c = r.FindDc(dc);
        const Bitmap* selected = c->kind == DcKind::Memory ? r.FindBitmap(c->bitmap) : nullptr;
        if (selected != nullptr && selected->format.bpp == bpp)
            f = selected->format;
    }
    std::unique_ptr<Bitmap> b = NewBitmap(width, height, f);
    return b == nullptr ? nullptr : r.AddBitmap(std::move(b));
}

HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                            const void* bits)
{
    if (desktop::detail::ShouldFail("CreateBitmap") || planes != 1 ||
        !ValidDepth(int(bitsPerPixel)) || width < 0 || height < 0)
        return nullptr;
    if (width == 0 || height == 0) {
        width = height = 1;
        bitsPerPixel = 1;
        bits = nullptr;
    }
    std::unique_ptr<Bitmap> b = NewBitmap(width, height, DeviceFormat(int(bitsPerPixel)));
    if (b == nullptr)
        return nullptr;
    if (bits != nullptr) {
        // The caller's rows are padded to 2 bytes, ours to 4.
        const int64_t srcStride = (int64_t(width) * bitsPerPixel + 15) / 16 * 2;
        for (int y = 0; y < height; ++y)
            std::memcpy(b->Row(y), static_cast<const BYTE*>(bits) + y * srcStride,
                        size_t(srcStride));
    }
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.AddBitmap(std::move(b));
}

namespace {

void FillBitmapRecord(const Bitmap& b, BITMAP& bm)
{
    std::memset(&bm, 0, sizeof(bm));
    bm.bmWidth = b.width;
    bm.bmHeight = b.height;
    bm.bmWidthBytes = b.dibSection ? LONG(b.stride) : LONG((int64_t(b.width) * b.format.bpp + 15) / 16 * 2);
    bm.bmPlanes = 1;
    bm.bmBitsPixel = WORD(b.format.bpp);
    bm.bmBits = b.dibSection ? b.bits : nullptr;
}

void FillSectionRecord(const Bitmap& b, DIBSECTION& ds)
{
    std::memset(&ds, 0, sizeof(ds));
    FillBitmapRecord(b, ds.dsBm);
    BITMAPINFOHEADER& h = ds.dsBmih;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = b.width;
    // Positive for a top-down section too: Windows does not tell the order.
    h.biHeight = b.height;
    h.biPlanes = 1;
    h.biBitCount = WORD(b.format.bpp);
    h.biCompression = b.compression;
    h.biSizeImage = DWORD(b.stride * b.height);
    h.biClrUsed = b.format.bpp <= 8 ? DWORD(b.format.colors.size()) : 0;
    if (b.format.bpp == 16 || b.format.bpp == 32) {
        ds.dsBitfields[0] = b.format.red.mask;
        ds.dsBitfields[1] = b.format.green.mask;
        ds.dsBitfields[2] = b.format.blue.mask;
    }
}

// Copies a record into the caller's buffer: its size when buffer is null,
// 0 when the buffer is too small.
int CopyRecord(const void* record, int recordSize, int size, LPVOID buffer)
{
    if (buffer == nullptr)
        return recordSize;
    if (size < recordSize)
        return 0;
    std::memcpy(buffer, record, size_t(recordSize));
    return recordSize;
}

}  // namespace

namespace gdi {
// Palette side of GetObjectA (gdi_palette.cpp): the entry count of a palette
// as a WORD record; 0 when the object is not a palette.
int PaletteObject(HGDIOBJ object, int size, LPVOID buffer);
}  // namespace gdi

int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID buffer)
{
    if (size < 0)
        return 0;
    {
        Registry& r = Gdi();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (const Bitmap* b = r.FindBitmap(object)) {
            // Without a buffer the answer is a BITMAP's size, a DIB section's
            // too; only a buffer that large receives the DIBSECTION.
            if (b->dibSection && buffer != nullptr && size >= int(sizeof(DIBSECTION))) {
                DIBSECTION ds;
                FillSectionRecord(*b, ds);
                return CopyRecord(&ds, sizeof(ds), size, buffer);
            }
            BITMAP bm;
            FillBitmapRecord(*b, bm);
            return CopyRecord(&bm, sizeof(bm), size, buffer);
        }
    }
    if (int n = PaletteObject(object, size, buffer))
        return n;
    win32font::Registry& fonts = win32font::Fonts();
    std::lock_guard<std::mutex> lock(fonts.mutex);
    if (const win32font::Font* font = fonts.FindFont(object))
        return CopyRecord(&font->lf, sizeof(font->lf), size, buffer);
    return 0;
}
