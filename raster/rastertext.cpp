// Text drawn into an image: GDI renders it white on black into a scratch
// 24-bit DIB section, and every scratch pixel with ink sets a pixel of the
// image to the text colour. DrawStringEx can first paint a box with rounded
// corners, solid or partly see-through, behind the text.
#include "rasterimage.h"

#include <cmath>
#include <cstring>

namespace {

// The scratch surface: a memory context with a font selected and, once
// sized, a zeroed bottom-up 24-bit section. Everything it made is given
// back when it goes.
class TextScratch {
public:
    // A context compatible with hdc, or with the screen when hdc is null (the
    // screen's context is released at once: only its compatibility counts).
    explicit TextScratch(HDC hdc)
    {
        if (hdc != NULL) {
            m_dc = CreateCompatibleDC(hdc);
            return;
        }
        HDC screen = GetDC(NULL);
        m_dc = CreateCompatibleDC(screen);
        if (screen != NULL)
            ReleaseDC(NULL, screen);
    }
    ~TextScratch()
    {
        if (m_oldBitmap != NULL)
            SelectObject(m_dc, m_oldBitmap);
        if (m_bitmap != NULL)
            DeleteObject(m_bitmap);
        if (m_oldFont != NULL)
            SelectObject(m_dc, m_oldFont);
        if (m_font != NULL)
            DeleteObject(m_font);
        if (m_dc != NULL)
            DeleteDC(m_dc);
    }
    TextScratch(const TextScratch&) = delete;
    TextScratch& operator=(const TextScratch&) = delete;

    bool IsValid() const { return m_dc != NULL; }
    HDC Dc() const { return m_dc; }

    // The font, or the stock GUI font when it cannot be made, with white
    // text on an opaque black background.
    void SelectFont(const LOGFONT& lf)
    {
        m_font = CreateFontIndirect(&lf);
        HGDIOBJ font = m_font != NULL ? (HGDIOBJ)m_font : GetStockObject(DEFAULT_GUI_FONT);
        m_oldFont = SelectObject(m_dc, font);
        SetTextColor(m_dc, RGB(255, 255, 255));
        SetBkColor(m_dc, RGB(0, 0, 0));
        SetBkMode(m_dc, OPAQUE);
    }

    // A zeroed width x height section selected into the context; false when
    // it cannot be made (an empty text measures 0 wide).
    bool MakeSurface(long width, long height)
    {
        if (width <= 0 || height <= 0)
            return false;
        BITMAPINFO bmi;
        std::memset(&bmi, 0, sizeof(bmi));
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = height;  // bottom-up, as the image
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 24;
        bmi.bmiHeader.biCompression = BI_RGB;
        void* bits = NULL;
        m_bitmap = CreateDIBSection(m_dc, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
        if (m_bitmap == NULL || bits == NULL)
            return false;
        m_bits = static_cast<BYTE*>(bits);
        m_width = width;
        m_height = height;
        m_stride = ((size_t)width * 3 + 3) & ~(size_t)3;
        std::memset(m_bits, 0, m_stride * (size_t)height);
        m_oldBitmap = SelectObject(m_dc, m_bitmap);
        return m_oldBitmap != NULL;
    }

    long Width() const { return m_width; }
    long Height() const { return m_height; }
    // Whether GDI put ink at (x, y), rows counted from the bottom: the blue
    // byte of white text on black.
    bool Ink(long x, long y) const
    {
        return m_bits[(size_t)y * m_stride + (size_t)x * 3] != 0;
    }

private:
    HDC m_dc = NULL;
    HFONT m_font = NULL;
    HGDIOBJ m_oldFont = NULL;
    HBITMAP m_bitmap = NULL;
    HGDIOBJ m_oldBitmap = NULL;
    BYTE* m_bits = NULL;
    long m_width = 0;
    long m_height = 0;
    size_t m_stride = 0;
};

// Copies a face name of at most LF_FACESIZE - 1 bytes, never cutting a
// double-byte character in two.
void CopyFaceName(char* dst, const char* src)
{
    size_t n = 0;
    if (src != NULL) {
        while (src[n] != 0) {
            const size_t len = (IsDBCSLeadByte(BYTE(src[n])) && src[n + 1] != 0) ? 2 : 1;
            if (n + len > LF_FACESIZE - 1)
                break;
            n += len;
        }
        std::memcpy(dst, src, n);
    }
    dst[n] = 0;
}

// The record's fields brought into range, as DrawStringEx stores them back.
void CorrectTextInfo(tagRasterTextInfo& ti)
{
    if (ti.nAlign != 0 && ti.nAlign != 1 && ti.nAlign != 2)
        ti.nAlign = 1;
    if (ti.nRound > 50)
        ti.nRound = 10;
    if (!(ti.fBackOpacity >= 0 && ti.fBackOpacity <= 1))  // NaN too
        ti.fBackOpacity = 0;
}

// How many rows a rounded corner leaves out at column offset d from the
// circle's centre column.
long CornerCut(long radius, long d)
{
    return (long)((radius + 0.5) - sqrtf((float)(radius * radius - d * d)));
}

}  // namespace

void RasterImage::InitTextInfo(tagRasterTextInfo* textInfo)
{
    if (textInfo == NULL)
        return;
    std::memset(textInfo, 0, sizeof(*textInfo));
    std::strcpy(textInfo->szText, "Sample Text 01234\xF5\xFB");
    LOGFONT& lf = textInfo->lfFont;
    lf.lfHeight = -36;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = 238;
    lf.lfQuality = 2;
    std::strcpy(lf.lfFaceName, "Arial");
    textInfo->crTextColor = 0x00A0FFFF;
    textInfo->nAlign = 1;
    textInfo->bOpaque = 1;
    textInfo->crBackColor = 0x00006020;
    textInfo->fBackOpacity = 0;
    textInfo->nRound = 20;
}

long RasterImage::DrawString(HDC hdc, long x, long y, const char* text, RGBQUAD colour,
                             const char* font, long size, long weight, BYTE italic,
                             BYTE underline, bool setAlpha)
{
    if (!IsValid() || text == NULL)
        return 1;
    TextScratch scratch(hdc);
    if (!scratch.IsValid())
        return 1;
    LOGFONT lf;
    std::memset(&lf, 0, sizeof(lf));
    CopyFaceName(lf.lfFaceName, font);
    lf.lfHeight = size;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    scratch.SelectFont(lf);

    // Measured from an empty rectangle; the height again as room for overhang.
    const int length = (int)strlen(text);
    RECT rect = {0, 0, 0, 0};
    DrawTextA(scratch.Dc(), text, length, &rect, DT_CALCRECT);
    if (!scratch.MakeSurface(rect.right + rect.bottom, rect.bottom))
        return 1;
    DrawTextA(scratch.Dc(), text, length, &rect, 0);

    // The scratch's bottom row lands on row y counted from the top.
    const long bottom = (long)GetHeight() - y - 1;
    for (long iy = 0; iy < scratch.Height(); ++iy)
        for (long ix = 0; ix < scratch.Width(); ++ix)
            if (scratch.Ink(ix, iy))
                SetPixelColor(x + ix, bottom + iy, colour, setAlpha);
    return 1;
}

long RasterImage::DrawStringEx(HDC hdc, long x, long y, tagRasterTextInfo* textInfo,
                               bool setAlpha)
{
    if (!IsValid() || textInfo == NULL)
        return -1;
    tagRasterTextInfo& ti = *textInfo;
    CorrectTextInfo(ti);
    // Drawn pixels are opaque: the record's colours carry no alpha of their own.
    RGBQUAD textColour = RGBtoRGBQUAD(ti.crTextColor);
    RGBQUAD boxColour = RGBtoRGBQUAD(ti.crBackColor);
    textColour.rgbReserved = 255;
    boxColour.rgbReserved = 255;

    TextScratch scratch(hdc);
    if (!scratch.IsValid())
        return 1;
    scratch.SelectFont(ti.lfFont);

    const char* text = ti.szText;
    const int length = (int)strnlen(text, sizeof(ti.szText));
    long lines = 1;
    for (int i = 0; i < length; ++i)
        if (text[i] == '\r')
            ++lines;
    RECT rect = {0, 0, 0, 0};
    DrawTextA(scratch.Dc(), text, length, &rect, DT_CALCRECT | DT_NOPREFIX);
    const long lineHeight = rect.bottom / lines;
    if (ti.lfFont.lfItalic)
        rect.right += (rect.bottom / 2) / lines;
    long radius = 0, frame = 0;
    if (ti.bOpaque) {
        radius = lineHeight * ti.nRound / 100;
        frame = (long)(radius * 0.29289);  // 1 - sqrt(2) / 2: the corner's inset
        rect.right += lineHeight / 3;
    }
    const long width = rect.right + 2 * frame;
    const long height = rect.bottom + 2 * frame;
    if (!scratch.MakeSurface(width, height))
        return 1;
    DrawTextA(scratch.Dc(), text, length, &rect, (UINT)ti.nAlign | DT_NOPREFIX);

    const long bottom = (long)GetHeight() - y - 1;
    if (ti.nAlign == 1)
        x -= width / 2;
    else if (ti.nAlign == 2)
        x -= width;
    if (x < 0)
        x = 0;

    if (ti.bOpaque) {
        const double see = ti.fBackOpacity;
        const bool blend = see > 0 && see < 1;
        for (long ix = 0; ix < width; ++ix) {
            long cut = 0;
            if (ix <= radius)
                cut = CornerCut(radius, ix - radius);
            else if (ix >= width - radius - 1)
                cut = CornerCut(radius, width - 1 - ix - radius);
            for (long iy = cut; iy <= height - cut - 1; ++iy) {
                RGBQUAD c = boxColour;
                if (blend) {
                    const RGBQUAD under = GetPixelColor(x + ix, bottom + iy, false);
                    c.rgbBlue = (BYTE)(under.rgbBlue * see + boxColour.rgbBlue * (1 - see));
                    c.rgbGreen = (BYTE)(under.rgbGreen * see + boxColour.rgbGreen * (1 - see));
                    c.rgbRed = (BYTE)(under.rgbRed * see + boxColour.rgbRed * (1 - see));
                }
                SetPixelColor(x + ix, bottom + iy, c, setAlpha);
            }
        }
    }

    // The frame moves the text right and down, inside the box.
    for (long iy = 0; iy < height; ++iy)
        for (long ix = 0; ix < width; ++ix)
            if (scratch.Ink(ix, iy))
                SetPixelColor(x + ix + frame, bottom + iy - frame, textColour, setAlpha);
    return 1;
}
