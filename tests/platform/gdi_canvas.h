// A memory context holding a DIB section, for the GDI tests: made at any
// depth and orientation, with direct access to its rows.
#pragma once

#include <windows.h>

#include <cstring>
#include <random>
#include <vector>

struct CanvasInfo {
    BITMAPINFOHEADER h;
    RGBQUAD colors[256];
    BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

// A header of the depth; 16 and 32 bits take masks when given (BI_BITFIELDS),
// depths up to 8 bits a colour table of distinct colours (index i is
// (i * 37, i * 91, i * 13) mod 256, index 0 black and the last white).
inline CanvasInfo CanvasHeader(int width, int height, int bpp, std::vector<DWORD> masks = {})
{
    CanvasInfo info = {};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = width;
    info.h.biHeight = height;
    info.h.biPlanes = 1;
    info.h.biBitCount = WORD(bpp);
    info.h.biCompression = masks.empty() ? BI_RGB : BI_BITFIELDS;
    if (!masks.empty())
        std::memcpy(info.colors, masks.data(), masks.size() * sizeof(DWORD));
    if (bpp <= 8) {
        const int n = 1 << bpp;
        for (int i = 0; i < n; ++i)
            info.colors[i] = RGBQUAD{BYTE(i * 13), BYTE(i * 91), BYTE(i * 37), 0};
        info.colors[n - 1] = RGBQUAD{255, 255, 255, 0};
    }
    return info;
}

class Canvas {
public:
    Canvas(int width, int height, int bpp, std::vector<DWORD> masks = {})
        : info(CanvasHeader(width, height, bpp, masks)), w(width), h(height < 0 ? -height : height),
          bpp(bpp), stride((width * bpp + 31) / 32 * 4)
    {
        dc = CreateCompatibleDC(nullptr);
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, info.get(), DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<BYTE*>(p);
        old = SelectObject(dc, bitmap);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Row y counted from the top.
    BYTE* Row(int y) const { return bits + (info.h.biHeight < 0 ? y : h - 1 - y) * stride; }
    DWORD Get(int x, int y) const
    {
        const BYTE* r = Row(y);
        switch (bpp) {
        case 1: return (r[x / 8] >> (7 - x % 8)) & 1;
        case 4: return x % 2 ? r[x / 2] & 15 : r[x / 2] >> 4;
        case 8: return r[x];
        case 16: return r[2 * x] | r[2 * x + 1] << 8;
        case 24: return r[3 * x] | r[3 * x + 1] << 8 | DWORD(r[3 * x + 2]) << 16;
        default: {
            DWORD v;
            std::memcpy(&v, r + 4 * x, 4);
            return v;
        }
        }
    }
    void Set(int x, int y, DWORD v)
    {
        BYTE* r = Row(y);
        switch (bpp) {
        case 1: r[x / 8] = BYTE((r[x / 8] & ~(0x80 >> x % 8)) | ((v & 1) << (7 - x % 8))); break;
        case 4: r[x / 2] = BYTE(x % 2 ? (r[x / 2] & 0xF0) | (v & 15) : (r[x / 2] & 15) | (v & 15) << 4); break;
        case 8: r[x] = BYTE(v); break;
        case 16: r[2 * x] = BYTE(v), r[2 * x + 1] = BYTE(v >> 8); break;
        case 24: r[3 * x] = BYTE(v), r[3 * x + 1] = BYTE(v >> 8), r[3 * x + 2] = BYTE(v >> 16); break;
        default: std::memcpy(r + 4 * x, &v, 4); break;
        }
    }
    // Every pixel a random stored value of the depth.
    void Randomise(std::mt19937& rng)
    {
        const DWORD mask = bpp == 32 ? 0xFFFFFFFF : (DWORD(1) << bpp) - 1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                Set(x, y, DWORD(rng()) & mask);
    }

    CanvasInfo info;
    int w, h, bpp;
    int stride;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    BYTE* bits = nullptr;
};
