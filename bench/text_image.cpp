// Text into images against the GDI work it cannot avoid.
//
// DrawStringEx with the record's defaults (a 36-pixel line on a rounded
// box) into a 640 x 480 24-bit image, and DrawString of the same text. The
// baseline, timed in the same iteration, is the GDI part alone: a memory
// context, the font, the measuring and drawing DrawTextA calls into a
// zeroed 24-bit section and the clean-up. ratio = baseline time / our time
// (close to 1 means moving the pixels into the image adds little). The
// figures are per megapixel of the scratch section. Both sides make the same
// font every time, so from the second iteration on they find its face and
// glyphs kept by the platform, as a game drawing the same labels does.
#include <benchmark/benchmark.h>
#include "bench_util.h"

#include <rasterimage.h>

#include <cstring>

namespace {

const long kW = 640, kH = 480;

// The GDI side of drawing a text: what DrawStringEx asks of the platform.
bool GdiOnly(const LOGFONT& lf, const char* text, UINT align, long& w, long& h)
{
    HDC dc = CreateCompatibleDC(NULL);
    HFONT font = CreateFontIndirect(&lf);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, OPAQUE);
    RECT rect = {0, 0, 0, 0};
    const int length = int(std::strlen(text));
    DrawTextA(dc, text, length, &rect, DT_CALCRECT | DT_NOPREFIX);
    w = rect.right + rect.bottom / 3;
    h = rect.bottom;
    BITMAPINFO bmi;
    std::memset(&bmi, 0, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = h;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
    const bool ok = section != NULL && bits != nullptr;
    if (ok) {
        std::memset(bits, 0, size_t((w * 3 + 3) & ~3) * size_t(h));
        HGDIOBJ oldBitmap = SelectObject(dc, section);
        rect.right = w;
        DrawTextA(dc, text, length, &rect, align | DT_NOPREFIX);
        SelectObject(dc, oldBitmap);
        DeleteObject(section);
    }
    SelectObject(dc, oldFont);
    DeleteObject(font);
    DeleteDC(dc);
    return ok;
}

const char* Failed(bool baseOk)
{
    return baseOk ? "drawing into the image failed" : "the GDI baseline failed";
}

void BM_DrawStringExDefaults(benchmark::State& state)
{
    RasterImage img(kW, kH, 24);
    tagRasterTextInfo ti;
    img.InitTextInfo(&ti);
    long w = 0, h = 0;
    GdiOnly(ti.lfFont, ti.szText, DT_CENTER, w, h);
    CompareWithBaseline(
        state, w, h, [&] { return GdiOnly(ti.lfFont, ti.szText, DT_CENTER, w, h); },
        [&] { return img.DrawStringEx(NULL, kW / 2, kH / 2, &ti, false) == 1; }, Failed);
}

void BM_DrawString(benchmark::State& state)
{
    RasterImage img(kW, kH, 24);
    tagRasterTextInfo ti;
    img.InitTextInfo(&ti);
    RGBQUAD colour = {160, 255, 255, 0};
    long w = 0, h = 0;
    GdiOnly(ti.lfFont, ti.szText, DT_LEFT, w, h);
    CompareWithBaseline(
        state, w, h, [&] { return GdiOnly(ti.lfFont, ti.szText, DT_LEFT, w, h); },
        [&] {
            return img.DrawString(NULL, 10, kH / 2, ti.szText, colour, "Arial", -36, FW_NORMAL, 0,
                                  0, false) == 1;
        },
        Failed);
}

}  // namespace

int main(int argc, char** argv)
{
    BenchMinTime(benchmark::RegisterBenchmark("DrawStringEx/defaults", BM_DrawStringExDefaults),
                 0.5)
        ->Unit(benchmark::kMicrosecond);
    BenchMinTime(benchmark::RegisterBenchmark("DrawString/36px", BM_DrawString), 0.5)
        ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
