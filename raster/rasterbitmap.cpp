// Images to and from GDI objects: bitmaps made from the image, images read
// back from bitmaps and from icons (the mask becoming the alpha plane).
#include <cstring>

#include "rasterbytes.h"
#include "rasterimage.h"

namespace {

const char kGetDIBits[] = "GetDIBits failed";
const char kNoBitmap[] = "CreateFromHBITMAP: not a bitmap";
const char kNoScreen[] = "CreateFromHBITMAP: no screen device context";
const char kNoIcon[] = "CreateFromHICON: not an icon";

// The bitmaps GetIconInfo hands out, deleted however the caller leaves.
class IconBitmaps {
public:
    explicit IconBitmaps(HICON icon)
    {
        memset(&m_info, 0, sizeof(m_info));
        m_valid = GetIconInfo(icon, &m_info) != FALSE;
    }
    ~IconBitmaps()
    {
        if (m_info.hbmColor != NULL)
            DeleteObject(m_info.hbmColor);
        if (m_info.hbmMask != NULL)
            DeleteObject(m_info.hbmMask);
    }
    IconBitmaps(const IconBitmaps&) = delete;
    IconBitmaps& operator=(const IconBitmaps&) = delete;

    bool valid() const { return m_valid && m_info.hbmMask != NULL; }
    HBITMAP colour() const { return m_info.hbmColor; }
    HBITMAP mask() const { return m_info.hbmMask; }

private:
    ICONINFO m_info;
    bool m_valid;
};

}  // namespace

HBITMAP RasterImage::MakeBitmap(HDC hdc) const
{
    if (pDib == NULL)
        return NULL;
    const BITMAPINFO* bmi = static_cast<const BITMAPINFO*>(pDib);
    if (hdc != NULL)
        return CreateDIBitmap(hdc, &header, CBM_INIT, info.pBits, bmi, DIB_RGB_COLORS);

    HDC memdc = CreateCompatibleDC(NULL);
    void* bits = NULL;
    HBITMAP section = CreateDIBSection(memdc, bmi, DIB_RGB_COLORS, &bits, NULL, 0);
    if (section != NULL && bits != NULL)
        memcpy(bits, info.pBits, header.biSizeImage);
    if (memdc != NULL)
        DeleteDC(memdc);
    return section;
}

bool RasterImage::CreateFromHBITMAP(HBITMAP hbmp, HPALETTE hpal)
{
    if (!Destroy() || hbmp == NULL)
        return false;
    BITMAP bm;
    memset(&bm, 0, sizeof(bm));
    if (GetObjectA(hbmp, (int)sizeof(bm), &bm) == 0 || bm.bmWidth < 0 || bm.bmHeight < 0) {
        _seterror(kNoBitmap);
        return false;
    }
    if (Create((DWORD)bm.bmWidth, (DWORD)bm.bmHeight, bm.bmBitsPixel, RASTER_FORMAT_UNKNOWN) == NULL)
        return false;

    HDC screen = GetDC(NULL);
    if (screen == NULL) {
        _seterror(kNoScreen);
        return false;
    }
    // A palette goes into a context through SelectPalette (SelectObject
    // takes none), and back out once the rows are read.
    HPALETTE oldpal = NULL;
    if (hpal != NULL) {
        oldpal = SelectPalette(screen, hpal, FALSE);
        RealizePalette(screen);
    }
    // GDI may rewrite the header it is handed (sizes, colours in use): the
    // image keeps its own and puts it back into the block.
    const int rows = GetDIBits(screen, hbmp, 0, (UINT)bm.bmHeight, info.pBits,
                               static_cast<BITMAPINFO*>(pDib), DIB_RGB_COLORS);
    rasterbytes::storeInfoHeader(static_cast<BYTE*>(pDib), header);
    if (oldpal != NULL)
        SelectPalette(screen, oldpal, FALSE);
    ReleaseDC(NULL, screen);
    if (rows == 0 && bm.bmHeight != 0) {
        _seterror(kGetDIBits);
        return false;
    }
    return true;
}

bool RasterImage::CreateFromHICON(HICON hicon)
{
    if (!Destroy() || hicon == NULL)
        return false;
    IconBitmaps bitmaps(hicon);
    if (!bitmaps.valid()) {
        _seterror(kNoIcon);
        return false;
    }

    RasterImage mask;
    if (!mask.CreateFromHBITMAP(bitmaps.mask())) {
        _seterror(mask.GetLastError());
        return false;
    }
    if (bitmaps.colour() != NULL) {
        if (!CreateFromHBITMAP(bitmaps.colour()))
            return false;
    } else {
        // A monochrome icon: its mask bitmap holds the AND mask in its top
        // half and the image (the XOR bits) in its bottom half.
        const long w = (long)mask.GetWidth(), h = (long)mask.GetHeight() / 2;
        RasterImage picture;
        if (!mask.Crop(0, h, w, 2 * h, &picture) || !mask.Crop(0, 0, w, h)) {
            _seterror(mask.GetLastError());
            return false;
        }
        if (!Transfer(picture))
            return false;
    }
    // Mask bit 1 (see-through) becomes alpha 0, bit 0 alpha 255.
    if (mask.GrayScale() && mask.Negative())
        AlphaSet(mask);
    info.dwType = RASTER_FORMAT_UNKNOWN;
    return true;
}
