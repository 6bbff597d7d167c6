// The contact sheet: every screenshot the demo writes is also kept at half
// size, and at the end they are laid out in rows of four, in the order they
// were taken, and written as one PNG by the image library's own encoder.
#include "demo.h"
#include <desktop/desktop.h>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int kColumns = 4;
const int kGap = 8;
const COLORREF kSheetBack = RGB(24, 24, 28);

struct Thumb {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;  // 0x00RRGGBB
};

std::vector<Thumb>& Thumbs()
{
    static std::vector<Thumb> thumbs;
    return thumbs;
}

// Each thumbnail pixel is the mean of a 2 x 2 block of the surface.
Thumb HalfSize(const DWORD* src, int w, int h)
{
    Thumb t;
    t.width = w / 2;
    t.height = h / 2;
    t.pixels.resize(size_t(t.width) * size_t(t.height));
    for (int y = 0; y < t.height; y++)
        for (int x = 0; x < t.width; x++) {
            unsigned sum[3] = {0, 0, 0};
            for (int dy = 0; dy < 2; dy++)
                for (int dx = 0; dx < 2; dx++) {
                    const DWORD p = src[size_t(2 * y + dy) * size_t(w) + size_t(2 * x + dx)];
                    sum[0] += (p >> 16) & 0xFF;
                    sum[1] += (p >> 8) & 0xFF;
                    sum[2] += p & 0xFF;
                }
            t.pixels[size_t(y) * size_t(t.width) + size_t(x)] =
                DWORD((sum[0] / 4) << 16 | (sum[1] / 4) << 8 | (sum[2] / 4));
        }
    return t;
}

}  // namespace

void KeepForContactSheet(HWND hwnd)
{
    const DWORD* src = desktop::SurfacePixels(hwnd);
    const int w = desktop::SurfaceWidth(hwnd), h = desktop::SurfaceHeight(hwnd);
    if (src != nullptr && w >= 2 && h >= 2)
        Thumbs().push_back(HalfSize(src, w, h));
}

bool WriteContactSheet(const std::string& path)
{
    const std::vector<Thumb>& thumbs = Thumbs();
    if (thumbs.empty())
        return false;
    int cellW = 0, cellH = 0;
    for (const Thumb& t : thumbs) {
        cellW = std::max(cellW, t.width);
        cellH = std::max(cellH, t.height);
    }
    const int columns = std::min(kColumns, int(thumbs.size()));
    const int rows = (int(thumbs.size()) + columns - 1) / columns;
    const int sheetW = kGap + columns * (cellW + kGap);
    const int sheetH = kGap + rows * (cellH + kGap);

    RasterImage sheet;
    if (sheet.Create(DWORD(sheetW), DWORD(sheetH), 24, RASTER_FORMAT_PNG) == NULL)
        return false;
    // The image numbers its rows from the bottom.
    for (int y = 0; y < sheetH; y++)
        for (int x = 0; x < sheetW; x++)
            sheet.SetPixelColor(x, y, kSheetBack);
    for (size_t i = 0; i < thumbs.size(); i++) {
        const Thumb& t = thumbs[i];
        const int left = kGap + int(i % size_t(columns)) * (cellW + kGap);
        const int top = kGap + int(i / size_t(columns)) * (cellH + kGap);
        for (int y = 0; y < t.height; y++)
            for (int x = 0; x < t.width; x++) {
                const DWORD p = t.pixels[size_t(y) * size_t(t.width) + size_t(x)];
                sheet.SetPixelColor(left + x, sheetH - 1 - (top + y),
                                    RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
            }
    }
    return sheet.Save(path.c_str(), RASTER_FORMAT_PNG);
}
