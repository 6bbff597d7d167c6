// SetDIBitsToDevice: device-independent bitmap rows onto a window's surface.
//
// The surface holds 0x00RRGGBB. A 5- or 6-bit channel is widened by bit
// replication (r8 = r5 << 3 | r5 >> 2, g8 = g6 << 2 | g6 >> 4), so the
// 16-bit value that was presented can be recovered exactly from the surface.
#include "desktop_internal.h"

#include <algorithm>
#include <cstring>

using namespace desktop::detail;

namespace {

// One colour channel of a 16-bit pixel: where it sits and a table from its
// top eight bits (or all of them, when fewer) to an 8-bit value.
struct Channel {
    DWORD mask = 0;
    int shift = 0;  // of the lowest bit kept
    BYTE widen[256] = {};
};

struct DibFormat {
    int bitCount = 0;  // 16, 24 or 32
    Channel red, green, blue;
    int64_t width = 0;
    int64_t height = 0;  // rows, always positive
    bool topDown = false;
    int64_t stride = 0;  // bytes per row, padded to 4
};

// A mask must be one run of bits inside the 16-bit pixel.
bool _makeChannel(DWORD mask, Channel& c)
{
    if (mask == 0 || mask > 0xFFFF)
        return false;
    int low = 0;
    while (!(mask & (DWORD(1) << low)))
        ++low;
    int bits = 0;
    while (low + bits < 32 && (mask & (DWORD(1) << (low + bits))))
        ++bits;
    if ((mask >> low) != (DWORD(1) << bits) - 1)
        return false;  // not contiguous
    const int kept = bits > 8 ? 8 : bits;
    c.mask = mask;
    c.shift = low + (bits - kept);
    // Repeat the kept bits from the top down until eight are filled.
    for (DWORD v = 0; v < (DWORD(1) << kept); ++v) {
        DWORD out = 0;
        int filled = 0;
        while (filled < 8) {
            out = (out << kept) | v;
            filled += kept;
        }
        c.widen[v] = BYTE(out >> (filled - 8));
    }
    return true;
}

// Reads the header (and, for BI_BITFIELDS, the three masks behind it, which
// in larger headers sit at the same offset inside the header).
bool _readFormat(const BITMAPINFO* bmi, DibFormat& f)
{
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0)
        return false;
    f.bitCount = h.biBitCount;
    f.width = h.biWidth;
    f.topDown = h.biHeight < 0;
    f.height = f.topDown ? -int64_t(h.biHeight) : int64_t(h.biHeight);
    f.stride = (f.width * f.bitCount + 31) / 32 * 4;
    if (h.biCompression == BI_RGB) {
        if (f.bitCount == 16)
            return _makeChannel(0x7C00, f.red) && _makeChannel(0x03E0, f.green) &&
                   _makeChannel(0x001F, f.blue);
        return f.bitCount == 24 || f.bitCount == 32;
    }
    if (h.biCompression == BI_BITFIELDS && f.bitCount == 16) {
        DWORD masks[3];
        std::memcpy(masks, reinterpret_cast<const BYTE*>(bmi) + sizeof(BITMAPINFOHEADER),
                    sizeof(masks));
        if ((masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2]))
            return false;
        return _makeChannel(masks[0], f.red) && _makeChannel(masks[1], f.green) &&
               _makeChannel(masks[2], f.blue);
    }
    return false;
}

BYTE _channel(const Channel& c, DWORD v)
{
    return c.widen[((v & c.mask) >> c.shift) & 0xFF];
}

void _convertRow(const BYTE* src, DWORD* dst, int64_t count, const DibFormat& f)
{
    switch (f.bitCount) {
    case 16:
        for (int64_t x = 0; x < count; ++x, src += 2) {
            const DWORD v = DWORD(src[0]) | DWORD(src[1]) << 8;
            dst[x] = DWORD(_channel(f.red, v)) << 16 | DWORD(_channel(f.green, v)) << 8 |
                     _channel(f.blue, v);
        }
        break;
    case 24:
        for (int64_t x = 0; x < count; ++x, src += 3)
            dst[x] = DWORD(src[2]) << 16 | DWORD(src[1]) << 8 | src[0];
        break;
    case 32:
        for (int64_t x = 0; x < count; ++x, src += 4)
            dst[x] = DWORD(src[2]) << 16 | DWORD(src[1]) << 8 | src[0];
        break;
    }
}

// Where the copy lands: a surface, or the screen, which has a size but keeps
// nothing.
struct Target {
    DWORD* pixels = nullptr;
    int64_t width = 0;
    int64_t height = 0;
    Window* window = nullptr;
};

bool _findTarget(Desktop& d, HDC hdc, Target& t)
{
    auto it = d.dcs.find(reinterpret_cast<uintptr_t>(hdc));
    if (it == d.dcs.end())
        return false;
    if (it->second.kind == DcKind::Screen) {
        t.width = d.display.width;
        t.height = d.display.height;
        return true;
    }
    Window* w = d.FindWindow(it->second.hwnd);
    if (w == nullptr)
        return false;  // the window is gone
    t.window = w;
    t.pixels = w->surface.pixels.data();
    t.width = w->surface.width;
    t.height = w->surface.height;
    return true;
}

}  // namespace

int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                             UINT startScan, UINT cLines, const void* bits, const BITMAPINFO* bmi,
                             UINT colorUse)
{
    if (ShouldFail("SetDIBitsToDevice"))
        return 0;
    if (bits == nullptr || bmi == nullptr)
        return 0;
    if (colorUse != DIB_RGB_COLORS && colorUse != DIB_PAL_COLORS)
        return 0;
    DibFormat f;
    if (!_readFormat(bmi, f))
        return 0;

    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    Target t;
    if (!_findTarget(d, hdc, t))
        return 0;

    // Scan lines the caller gave, counted in the bitmap's own row order.
    const int64_t scanLo = startScan;
    const int64_t scanHi = std::min<int64_t>(f.height, int64_t(startScan) + cLines);

    // Columns j of the rectangle that land on the target and come from the
    // bitmap.
    const int64_t jLo = std::max<int64_t>({0, -int64_t(xDest), -int64_t(xSrc)});
    const int64_t jHi = std::min<int64_t>({int64_t(w), t.width - xDest, f.width - xSrc});
    // Rows i of the rectangle (0 at its top) that land on the target and whose
    // scan line was given. A bottom-up bitmap counts ySrc and its scan lines
    // from the bottom, so the rectangle's top row is its highest scan line.
    int64_t iLo = std::max<int64_t>(0, -int64_t(yDest));
    int64_t iHi = std::min<int64_t>(int64_t(h), t.height - yDest);
    if (f.topDown) {
        iLo = std::max(iLo, scanLo - ySrc);
        iHi = std::min(iHi, scanHi - ySrc);
    } else {
        iLo = std::max(iLo, int64_t(ySrc) + int64_t(h) - scanHi);
        iHi = std::min(iHi, int64_t(ySrc) + int64_t(h) - scanLo);
    }
    if (jLo >= jHi || iLo >= iHi)
        return 0;

    const BYTE* src = static_cast<const BYTE*>(bits);
    const int64_t bytesPerPixel = f.bitCount / 8;
    if (t.pixels != nullptr) {
        for (int64_t i = iLo; i < iHi; ++i) {
            const int64_t scan = f.topDown ? ySrc + i : int64_t(ySrc) + int64_t(h) - 1 - i;
            const BYTE* row = src + (scan - scanLo) * f.stride + (xSrc + jLo) * bytesPerPixel;
            DWORD* out = t.pixels + (yDest + i) * t.width + xDest + jLo;
            _convertRow(row, out, jHi - jLo, f);
        }
    }
    if (t.window != nullptr)
        ++t.window->presents;
    return int(iHi - iLo);
}
