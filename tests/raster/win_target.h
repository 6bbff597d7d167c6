// A memory device context drawing into a DIB section of 1 to 32 bits, with
// its pixels read straight from the section's bits: the target the image
// library's drawing tests paint on and read back.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <random>
#include <vector>

class WinTarget {
public:
    // A bottom-up (or top-down) w x h section of `bpp` bits (16: 5-5-5); the
    // palette (as 0xRRGGBB) for depths up to 8.
    WinTarget(int w, int h, int bpp, const std::vector<DWORD>& palette = {}, bool topDown = false)
        : m_w(w), m_h(h), m_bpp(bpp), m_topDown(topDown), m_palette(palette)
    {
        std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
        BITMAPINFO* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
        bmi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi->bmiHeader.biWidth = w;
        bmi->bmiHeader.biHeight = topDown ? -h : h;
        bmi->bmiHeader.biPlanes = 1;
        bmi->bmiHeader.biBitCount = (WORD)bpp;
        bmi->bmiHeader.biCompression = BI_RGB;
        bmi->bmiHeader.biClrUsed = (DWORD)palette.size();
        for (size_t i = 0; i < palette.size(); i++) {
            bmi->bmiColors[i].rgbRed = (BYTE)(palette[i] >> 16);
            bmi->bmiColors[i].rgbGreen = (BYTE)(palette[i] >> 8);
            bmi->bmiColors[i].rgbBlue = (BYTE)palette[i];
        }
        m_dc = CreateCompatibleDC(NULL);
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(m_dc, bmi, DIB_RGB_COLORS, &bits, NULL, 0);
        m_bits = static_cast<BYTE*>(bits);
        if (m_bitmap != NULL)
            m_old = SelectObject(m_dc, m_bitmap);
    }
    ~WinTarget()
    {
        if (m_old != NULL)
            SelectObject(m_dc, m_old);
        if (m_bitmap != NULL)
            DeleteObject(m_bitmap);
        if (m_dc != NULL)
            DeleteDC(m_dc);
    }
    WinTarget(const WinTarget&) = delete;
    WinTarget& operator=(const WinTarget&) = delete;

    bool ok() const { return m_dc != NULL && m_bits != nullptr && m_old != NULL; }
    HBITMAP bitmap() const { return m_bitmap; }
    // Takes the section out of the context (a bitmap selected into one cannot
    // be read through another); its bits stay readable here.
    void deselect()
    {
        if (m_old != NULL)
            SelectObject(m_dc, m_old);
        m_old = NULL;
    }
    HDC dc() const { return m_dc; }
    int width() const { return m_w; }
    int height() const { return m_h; }
    size_t stride() const { return ((size_t)m_bpp * m_w + 31) / 32 * 4; }
    BYTE* row(int yFromTop) const
    {
        return m_bits + (size_t)(m_topDown ? yFromTop : m_h - 1 - yFromTop) * stride();
    }
    // The section's bytes, padding and fourth bytes included.
    std::vector<BYTE> bytes() const { return std::vector<BYTE>(m_bits, m_bits + stride() * m_h); }

    // The raw pixel value: an index, a 5-5-5 word, or 0xRRGGBB.
    DWORD raw(int x, int y) const
    {
        const BYTE* r = row(y);
        switch (m_bpp) {
        case 1: return (r[x / 8] >> (7 - x % 8)) & 1;
        case 4: return (r[x / 2] >> (x % 2 ? 0 : 4)) & 15;
        case 8: return r[x];
        case 16: return (DWORD)(r[2 * x] | r[2 * x + 1] << 8);
        case 24: return (DWORD)(r[3 * x] | r[3 * x + 1] << 8 | r[3 * x + 2] << 16);
        default: return (DWORD)(r[4 * x] | r[4 * x + 1] << 8 | r[4 * x + 2] << 16);
        }
    }
    void setRaw(int x, int y, DWORD v)
    {
        BYTE* r = row(y);
        switch (m_bpp) {
        case 1: r[x / 8] = (BYTE)((r[x / 8] & ~(0x80 >> (x % 8))) | ((v & 1) << (7 - x % 8))); break;
        case 4: {
            const int shift = x % 2 ? 0 : 4;
            r[x / 2] = (BYTE)((r[x / 2] & ~(0x0F << shift)) | ((v & 15) << shift));
            break;
        }
        case 8: r[x] = (BYTE)v; break;
        case 16: r[2 * x] = (BYTE)v; r[2 * x + 1] = (BYTE)(v >> 8); break;
        case 24: r[3 * x] = (BYTE)v; r[3 * x + 1] = (BYTE)(v >> 8); r[3 * x + 2] = (BYTE)(v >> 16); break;
        default:
            r[4 * x] = (BYTE)v;
            r[4 * x + 1] = (BYTE)(v >> 8);
            r[4 * x + 2] = (BYTE)(v >> 16);
            r[4 * x + 3] = 0;
        }
    }
    // The colour 0xRRGGBB a raw value stands for at this depth; 16 bits
    // keep each channel's five bits in its top bits.
    DWORD colourOf(DWORD v) const
    {
        if (m_bpp <= 8)
            return v < m_palette.size() ? m_palette[v] : 0xFFFFFFFF;
        if (m_bpp == 16)
            return ((v >> 10) & 31) << 19 | ((v >> 5) & 31) << 11 | (v & 31) << 3;
        return v;
    }
    DWORD colour(int x, int y) const { return colourOf(raw(x, y)); }
    // What the section holds for an exact colour: 16 bits drop each
    // channel's low three bits; the palette depths need it in the palette.
    DWORD stored(DWORD rgb) const
    {
        if (m_bpp == 16)
            return rgb & 0xF8F8F8;
        return rgb;
    }
    // Random raw values everywhere.
    void scramble(std::mt19937& rng)
    {
        for (int y = 0; y < m_h; y++)
            for (int x = 0; x < m_w; x++)
                setRaw(x, y, m_bpp <= 8 ? rng() % m_palette.size() : rng() & (m_bpp == 16 ? 0x7FFF : 0xFFFFFF));
    }
    std::vector<DWORD> snapshot() const
    {
        std::vector<DWORD> s;
        for (int y = 0; y < m_h; y++)
            for (int x = 0; x < m_w; x++)
                s.push_back(colour(x, y));
        return s;
    }

private:
    int m_w, m_h, m_bpp;
    bool m_topDown;
    std::vector<DWORD> m_palette;
    HDC m_dc = NULL;
    HBITMAP m_bitmap = NULL;
    HGDIOBJ m_old = NULL;
    BYTE* m_bits = nullptr;
};
