// The GDI's transfers on 800 x 600 32-bit surfaces against baselines timed in
// the same run:
//   BitBlt SRCCOPY         memcpy of the rows
//   BitBlt SRCAND          memcpy of the rows (what a raster operation costs
//                          over a plain copy)
//   StretchBlt 2x          pixman SRC with a nearest-neighbour scale, 400 x 300
//                          up to 800 x 600
//   SetDIBitsToDevice 565  pixman SRC r5g6b5 to x8r8g8b8 (presenting a 16-bit
//                          frame)
//   ExtTextOutA warm       a short line into a 32-bit section with a font
//                          kept selected, against the same line drawn with a
//                          font made like no font before (matched, opened
//                          and rendered from nothing): the glyph cache's gain
//   BitBlt 24 to 32        pixman SRC r8g8b8 to x8r8g8b8 (a picture onto a
//                          32-bit surface)
//   StretchBlt 2x 24 to 32 pixman SRC r8g8b8 with a nearest-neighbour scale
// Counters: milliseconds per megapixel for both, ratio (baseline over ours)
// and time_x (ours over the baseline).
#include "bench_util.h"

#include <windows.h>

#include <cstring>
#include <vector>

#ifdef KESTREL_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

constexpr int kW = 800, kH = 600;

// A memory context holding a top-down DIB section.
// A top-down DIB header, followed by the 5-6-5 masks when asked for.
struct DibInfo {
    BITMAPINFOHEADER h;
    DWORD masks[3];
};

DibInfo MakeDibInfo(int width, int height, int bpp, bool masks565)
{
    DibInfo info = {};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = width;
    info.h.biHeight = -height;
    info.h.biPlanes = 1;
    info.h.biBitCount = WORD(bpp);
    if (masks565) {
        info.h.biCompression = BI_BITFIELDS;
        info.masks[0] = 0xF800, info.masks[1] = 0x07E0, info.masks[2] = 0x001F;
    }
    return info;
}

struct Section {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    BYTE* bits = nullptr;
    int w = 0, h = 0, stride = 0;

    Section(int width, int height, int bpp, bool masks565 = false) : w(width), h(height)
    {
        DibInfo info = MakeDibInfo(width, height, bpp, masks565);
        stride = (width * bpp + 31) / 32 * 4;
        dc = CreateCompatibleDC(nullptr);
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &p,
                                  nullptr, 0);
        bits = static_cast<BYTE*>(p);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < stride * height; ++i)
            bits[i] = BYTE(i * 7 + i / 3);
    }
    ~Section()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

bool MemcpyRows(const Section& src, Section& dst)
{
    for (int y = 0; y < dst.h; ++y)
        std::memcpy(dst.bits + y * dst.stride, src.bits + y * src.stride, size_t(dst.w) * 4);
    benchmark::DoNotOptimize(dst.bits);
    return true;
}

const char* Failed(bool baseOk)
{
    return baseOk ? "the GDI call failed" : "the baseline failed";
}

void BM_BitBltCopy(benchmark::State& state)
{
    Section src(kW, kH, 32), dst(kW, kH, 32);
    CompareWithBaseline(
        state, kW, kH, [&] { return MemcpyRows(src, dst); },
        [&] { return BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, SRCCOPY) != FALSE; }, Failed);
}

void BM_BitBltAnd(benchmark::State& state)
{
    Section src(kW, kH, 32), dst(kW, kH, 32);
    CompareWithBaseline(
        state, kW, kH, [&] { return MemcpyRows(src, dst); },
        [&] { return BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, SRCAND) != FALSE; }, Failed);
}

#ifdef KESTREL_HAVE_PIXMAN
pixman_image_t* Wrap(Section& s, pixman_format_code_t format)
{
    return pixman_image_create_bits(format, s.w, s.h, reinterpret_cast<uint32_t*>(s.bits),
                                    s.stride);
}

// StretchBlt doubling a 32- or 24-bit section into a 32-bit one, against
// pixman's nearest-neighbour scaling of the same pixels.
void StretchBlt2x(benchmark::State& state, int srcBits, pixman_format_code_t srcFormat)
{
    Section src(kW / 2, kH / 2, srcBits), dst(kW, kH, 32);
    pixman_image_t* from = Wrap(src, srcFormat);
    pixman_image_t* to = Wrap(dst, PIXMAN_x8r8g8b8);
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
    pixman_image_set_transform(from, &scale);
    pixman_image_set_filter(from, PIXMAN_FILTER_NEAREST, nullptr, 0);
    CompareWithBaseline(
        state, kW, kH,
        [&] {
            pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, kW, kH);
            return true;
        },
        [&] {
            return StretchBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, kW / 2, kH / 2, SRCCOPY) != FALSE;
        },
        Failed);
    pixman_image_unref(from);
    pixman_image_unref(to);
}

void BM_StretchBlt2x(benchmark::State& state)
{
    StretchBlt2x(state, 32, PIXMAN_x8r8g8b8);
}

void BM_SetDIBitsToDevice565(benchmark::State& state)
{
    Section src(kW, kH, 16, true), dst(kW, kH, 32);
    pixman_image_t* from = Wrap(src, PIXMAN_r5g6b5);
    pixman_image_t* to = Wrap(dst, PIXMAN_x8r8g8b8);
    DibInfo info = MakeDibInfo(kW, kH, 16, true);
    CompareWithBaseline(
        state, kW, kH,
        [&] {
            pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, kW, kH);
            return true;
        },
        [&] {
            return SetDIBitsToDevice(dst.dc, 0, 0, kW, kH, 0, 0, 0, kH, src.bits,
                                     reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == kH;
        },
        Failed);
    pixman_image_unref(from);
    pixman_image_unref(to);
}

void BM_BitBlt24To32(benchmark::State& state)
{
    Section src(kW, kH, 24), dst(kW, kH, 32);
    pixman_image_t* from = Wrap(src, PIXMAN_r8g8b8);
    pixman_image_t* to = Wrap(dst, PIXMAN_x8r8g8b8);
    CompareWithBaseline(
        state, kW, kH,
        [&] {
            pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, kW, kH);
            return true;
        },
        [&] { return BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, SRCCOPY) != FALSE; }, Failed);
    pixman_image_unref(from);
    pixman_image_unref(to);
}

void BM_StretchBlt2x24To32(benchmark::State& state)
{
    StretchBlt2x(state, 24, PIXMAN_r8g8b8);
}
#endif

// A short line drawn into a 320 x 40 section. The cold side makes a font no
// font was made like before (its clipping precision, which changes no pixel,
// differs every time), so nothing of an earlier call is found; the warm side
// draws with one font kept selected.
void BM_ExtTextOutWarm(benchmark::State& state)
{
    const int w = 320, h = 40;
    const char text[] = "Score 12345  Gold 678";
    const UINT length = UINT(sizeof(text) - 1);
    Section cold(w, h, 32), warm(w, h, 32);
    LOGFONTA lf = {};
    lf.lfHeight = -24;
    lf.lfWeight = FW_NORMAL;
    std::strcpy(lf.lfFaceName, "Arial");
    HFONT kept = CreateFontIndirectA(&lf);
    HGDIOBJ oldKept = SelectObject(warm.dc, kept);
    unsigned serial = 0;
    CompareWithBaseline(
        state, w, h,
        [&] {
            ++serial;
            lf.lfClipPrecision = BYTE(serial);
            lf.lfOutPrecision = BYTE(serial >> 8);
            HFONT font = CreateFontIndirectA(&lf);
            HGDIOBJ old = SelectObject(cold.dc, font);
            const bool ok = ExtTextOutA(cold.dc, 4, 8, 0, nullptr, text, length, nullptr) != FALSE;
            SelectObject(cold.dc, old);
            DeleteObject(font);
            return ok;
        },
        [&] { return ExtTextOutA(warm.dc, 4, 8, 0, nullptr, text, length, nullptr) != FALSE; },
        Failed);
    SelectObject(warm.dc, oldKept);
    DeleteObject(kept);
}

}  // namespace

BENCHMARK(BM_BitBltCopy)->Apply([](benchmark::internal::Benchmark* b) { BenchMinTime(b, 0.5); });
BENCHMARK(BM_BitBltAnd)->Apply([](benchmark::internal::Benchmark* b) { BenchMinTime(b, 0.5); });
#ifdef KESTREL_HAVE_PIXMAN
BENCHMARK(BM_StretchBlt2x)->Apply([](benchmark::internal::Benchmark* b) { BenchMinTime(b, 0.5); });
BENCHMARK(BM_SetDIBitsToDevice565)->Apply([](benchmark::internal::Benchmark* b) {
    BenchMinTime(b, 0.5);
});
BENCHMARK(BM_BitBlt24To32)->Apply([](benchmark::internal::Benchmark* b) { BenchMinTime(b, 0.5); });
BENCHMARK(BM_StretchBlt2x24To32)->Apply([](benchmark::internal::Benchmark* b) {
    BenchMinTime(b, 0.5);
});
#endif

BENCHMARK(BM_ExtTextOutWarm)->Apply([](benchmark::internal::Benchmark* b) {
    BenchMinTime(b, 0.5);
});

BENCHMARK_MAIN();
