// Resizing and turning a 4096 x 4096 24-bit picture against pixman's scaling
// and affine transforms of the same pixels with the matching filter, in the
// same run; both sides make their result image on every run:
//   nearest up/down    Resample mode 1      pixman NEAREST scale
//   bilinear up        Resample mode 0      pixman BILINEAR scale
//   box down           Resample mode 0      pixman separable box convolution
//   bicubic up         Resample mode 2      pixman separable cubic convolution
//   rotate 33.3        Rotate (nearest)     pixman NEAREST affine, same canvas
// The box and cubic baselines use other kernels than ours (no box average in
// fixed point, no B-spline in pixman): their ratio is a rough guide only.
//   quarter turns      RotateLeft/Right    ImageMagick's RotateImage by -90/90
//                      of 4000 x 3000      (one thread) of the same pixels
// Dither, DecreaseBpp and the quarter turns of a 2048 x 2048 copy have no
// baseline; their figure is Mpixel/s.
// Counters: ours_ms_per_MP, base_ms_per_MP, ratio (baseline time over ours;
// at least 1 means ours is as fast or faster).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <rasterimage.h>

#include "bench_util.h"

#ifdef KESTREL_HAVE_PIXMAN
#include <pixman.h>
#endif
#ifdef KESTREL_HAVE_MAGICK
#include <magick/MagickCore.h>
#endif

namespace {

bool g_wide = false;  // the baseline reads the 32-bit copy of the picture

constexpr long kSide = 4096;

RasterImage& Picture()
{
    static RasterImage* img = nullptr;
    if (img == nullptr) {
        img = new RasterImage(kSide, kSide, 24, 0);
        for (long y = 0; y < kSide; y++) {
            BYTE* row = img->GetBits((DWORD)y);
            for (long x = 0; x < kSide; x++)
                PhotoPixel(x, y, kSide, kSide, row + 3 * x);
        }
    }
    return *img;
}

#ifdef KESTREL_HAVE_PIXMAN
// The picture as pixman sees it: the same 24-bit rows, or (wide) the same
// pixels widened to 32 bits, the format of pixman's fast paths.

pixman_image_t* Source()
{
    static pixman_image_t* src = nullptr;
    static pixman_image_t* wide = nullptr;
    if (src == nullptr) {
        src = pixman_image_create_bits(PIXMAN_r8g8b8, kSide, kSide,
                                       reinterpret_cast<uint32_t*>(Picture().GetBits(0)),
                                       (int)Picture().GetEffWidth());
        uint32_t* px = static_cast<uint32_t*>(malloc((size_t)kSide * kSide * 4));
        for (long y = 0; y < kSide; y++) {
            const BYTE* row = Picture().GetBits((DWORD)y);
            for (long x = 0; x < kSide; x++)
                px[y * kSide + x] =
                    row[3 * x] | (row[3 * x + 1] << 8) | ((uint32_t)row[3 * x + 2] << 16);
        }
        wide = pixman_image_create_bits(PIXMAN_x8r8g8b8, kSide, kSide, px, kSide * 4);
    }
    return g_wide ? wide : src;
}

// Composites the source through the transform into a new w x h image.
bool PixmanRun(const pixman_transform_t& t, pixman_filter_t filter, const pixman_fixed_t* params,
               int nparams, long w, long h)
{
    pixman_image_t* src = Source();
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, filter, params, nparams);
    pixman_image_t* dst = pixman_image_create_bits(g_wide ? PIXMAN_x8r8g8b8 : PIXMAN_r8g8b8, (int)w,
                                                   (int)h, nullptr, 0);
    if (dst == nullptr)
        return false;
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, (int)w, (int)h);
    pixman_image_unref(dst);
    return true;
}

bool PixmanScale(long w, long h, pixman_filter_t filter, pixman_kernel_t sample = PIXMAN_KERNEL_BOX,
                 bool convolve = false)
{
    pixman_transform_t t;
    const double sx = (double)kSide / w, sy = (double)kSide / h;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
    if (!convolve)
        return PixmanRun(t, filter, nullptr, 0, w, h);
    int n = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &n, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy), PIXMAN_KERNEL_IMPULSE,
        PIXMAN_KERNEL_IMPULSE, sample, sample, 1, 1);
    const bool ok = PixmanRun(t, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n, w, h);
    free(params);
    return ok;
}
#endif

void Scale(benchmark::State& state, long w, long h, int mode)
{
    RasterImage out;
    auto ours = [&] { return Picture().Resample(w, h, mode, &out); };
#ifdef KESTREL_HAVE_PIXMAN
    auto base = [&] {
        if (mode == 1)
            return PixmanScale(w, h, PIXMAN_FILTER_NEAREST);
        if (mode == 2)
            return PixmanScale(w, h, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, PIXMAN_KERNEL_CUBIC,
                               true);
        if (w < kSide && h < kSide)
            return PixmanScale(w, h, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, PIXMAN_KERNEL_BOX, true);
        return PixmanScale(w, h, PIXMAN_FILTER_BILINEAR);
    };
#else
    auto base = [] { return true; };
#endif
    CompareWithBaseline(state, w, h, base, ours,
                        [](bool ok) { return ok ? "ours failed" : "pixman failed"; });
}

void Turn(benchmark::State& state, float angle)
{
    RasterImage out;
    auto ours = [&] { return Picture().Rotate(angle, &out); };
    // The canvas and the grid of the turn, as Rotate makes them.
    const double theta = -(double)angle * (double)std::acos(0.0f) / 90;
    const double c = cos(theta), s = sin(theta);
    long minX = 0, minY = 0, maxX = 0, maxY = 0;
    const long px[3] = {kSide, 0, kSide - 1}, py[3] = {0, kSide, kSide};
    for (int i = 0; i < 3; i++) {
        const long tx = (long)floor(px[i] * c - py[i] * s), ty = (long)floor(px[i] * s + py[i] * c);
        minX = std::min(minX, tx), maxX = std::max(maxX, tx);
        minY = std::min(minY, ty), maxY = std::max(maxY, ty);
    }
    const long w = maxX + 2 - minX, h = maxY + 2 - minY;
#ifdef KESTREL_HAVE_PIXMAN
    auto base = [&] {
        // Destination (u, v) samples the source at the same turned point.
        pixman_f_transform f;
        pixman_f_transform_init_identity(&f);
        f.m[0][0] = c, f.m[0][1] = s, f.m[0][2] = minX * c + minY * s - 0.5;
        f.m[1][0] = -s, f.m[1][1] = c, f.m[1][2] = minY * c - minX * s - 0.5;
        pixman_transform_t t;
        pixman_transform_from_pixman_f_transform(&t, &f);
        return PixmanRun(t, PIXMAN_FILTER_NEAREST, nullptr, 0, w, h);
    };
#else
    auto base = [] { return true; };
#endif
    CompareWithBaseline(state, w, h, base, ours,
                        [](bool ok) { return ok ? "ours failed" : "pixman failed"; });
}

// A quarter turn of a 4000 x 3000 24-bit photo, ours into a new image and
// ImageMagick's into a new image of its own, one thread.
void QuarterTurn(benchmark::State& state, bool left)
{
    const long w = 4000, h = 3000;
    static RasterImage* photo = nullptr;
    if (photo == nullptr) {
        photo = new RasterImage(w, h, 24, 0);
        for (long y = 0; y < h; y++) {
            BYTE* row = photo->GetBits((DWORD)y);
            for (long x = 0; x < w; x++)
                PhotoPixel(x, y, w, h, row + 3 * x);
        }
    }
    RasterImage out;
    auto ours = [&] { return left ? photo->RotateLeft(&out) : photo->RotateRight(&out); };
#ifdef KESTREL_HAVE_MAGICK
    static Image* magick = nullptr;
    ExceptionInfo* exception = AcquireExceptionInfo();
    if (magick == nullptr) {
        SetMagickResourceLimit(ThreadResource, 1);
        magick =
            ConstituteImage((size_t)w, (size_t)h, "BGR", CharPixel, photo->GetBits(0), exception);
    }
    auto base = [&] {
        Image* turned =
            magick != nullptr ? RotateImage(magick, left ? -90.0 : 90.0, exception) : nullptr;
        if (turned == nullptr)
            return false;
        DestroyImage(turned);
        return true;
    };
#else
    auto base = [] { return true; };
#endif
    CompareWithBaseline(state, w, h, base, ours,
                        [](bool ok) { return ok ? "ours failed" : "ImageMagick failed"; });
#ifdef KESTREL_HAVE_MAGICK
    DestroyExceptionInfo(exception);
#endif
}

// Mpixel/s of a conversion of a fresh copy of a 2048 x 2048 picture.
template <typename Op>
void Convert(benchmark::State& state, Op op)
{
    const long side = 2048;
    RasterImage src;
    Picture().Resample(side, side, 1, &src);
    double seconds = 0;
    for (auto _ : state) {
        RasterImage work(src);
        const auto t0 = std::chrono::steady_clock::now();
        if (!op(work)) {
            state.SkipWithError("conversion failed");
            return;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.counters["Mpixel_per_s"] = (double)side * side * state.iterations() / 1e6 / seconds;
}

void RegisterAll()
{
    Picture();
#ifdef KESTREL_HAVE_PIXMAN
    Source();
    // Also against pixman's 32-bit fast paths (other pixels in memory, the same picture).
    const bool wides[] = {false, true};
#else
    const bool wides[] = {false};
#endif
    for (bool wide : wides) {
        const std::string suffix = wide ? "/pixman_x8r8g8b8" : "";
        auto regw = [wide](const std::string& name, std::function<void(benchmark::State&)> fn) {
            benchmark::RegisterBenchmark(name.c_str(),
                                         [fn, wide](benchmark::State& st) {
                                             g_wide = wide;
                                             fn(st);
                                             g_wide = false;
                                         })
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.5);
        };
        regw("resample/nearest/down_2731" + suffix,
             [](benchmark::State& s) { Scale(s, 2731, 2731, 1); });
        regw("resample/nearest/up_5000" + suffix,
             [](benchmark::State& s) { Scale(s, 5000, 5000, 1); });
        regw("resample/bilinear/up_5000" + suffix,
             [](benchmark::State& s) { Scale(s, 5000, 5000, 0); });
        regw("resample/bilinear/down_2731x5000" + suffix,
             [](benchmark::State& s) { Scale(s, 2731, 5000, 0); });
        regw("resample/box/down_1024" + suffix,
             [](benchmark::State& s) { Scale(s, 1024, 1024, 0); });
        regw("resample/bicubic/up_5000" + suffix,
             [](benchmark::State& s) { Scale(s, 5000, 5000, 2); });
        regw("rotate/33.3" + suffix, [](benchmark::State& s) { Turn(s, 33.3f); });
        regw("rotate/-45" + suffix, [](benchmark::State& s) { Turn(s, -45.0f); });
    }
    auto reg = [](const char* name, std::function<void(benchmark::State&)> fn) {
        benchmark::RegisterBenchmark(name, [fn](benchmark::State& st) { fn(st); })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
    };
    reg("dither/ordered",
        [](benchmark::State& s) { Convert(s, [](RasterImage& i) { return i.Dither(1); }); });
    reg("dither/diffusion",
        [](benchmark::State& s) { Convert(s, [](RasterImage& i) { return i.Dither(0); }); });
    reg("decreasebpp/8", [](benchmark::State& s) {
        Convert(s, [](RasterImage& i) { return i.DecreaseBpp(8, false); });
    });
    reg("decreasebpp/8_diffusion", [](benchmark::State& s) {
        Convert(s, [](RasterImage& i) { return i.DecreaseBpp(8, true); });
    });
    reg("decreasebpp/4_diffusion", [](benchmark::State& s) {
        Convert(s, [](RasterImage& i) { return i.DecreaseBpp(4, true); });
    });
    reg("quarter/left_4000x3000", [](benchmark::State& s) { QuarterTurn(s, true); });
    reg("quarter/right_4000x3000", [](benchmark::State& s) { QuarterTurn(s, false); });
    reg("quarter/left",
        [](benchmark::State& s) { Convert(s, [](RasterImage& i) { return i.RotateLeft(); }); });
    reg("quarter/right",
        [](benchmark::State& s) { Convert(s, [](RasterImage& i) { return i.RotateRight(); }); });
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef KESTREL_HAVE_MAGICK
    MagickCoreGenesis(argv[0], MagickFalse);
#endif
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
