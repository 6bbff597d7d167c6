// Arbitrary bytes through the WMF and EMF decoder and the metafile player
// behind it: through the format probe at its own size when the bytes start as
// a metafile whose picture is small, and directly at a small forced size
// otherwise (a metafile may ask for 4000 x 4000 pixels in a few bytes, which
// would slow the run to a crawl; one decode an input keeps the run fast). Then the
// bytes as a bare Windows metafile and as an enhanced one, played straight
// onto a small canvas: every record passes the size tables first, and the
// play's own figures must add up and keep to its work allowance.
#include <cstdint>
#include <cstdlib>

#include <raster.h>
#include <wmf.h>

#include "fuzz_support.h"
#include "metafile_internal.h"

namespace {

constexpr long kForcedWidth = 16;
constexpr long kForcedHeight = 12;
constexpr long long kProbeSide = 32;

long long Le(const uint8_t* p, int bytes)
{
    long long v = 0;
    for (int i = bytes - 1; i >= 0; i--)
        v = (v << 8) | p[i];
    return v;
}

// Whether the bytes start as a placeable or an enhanced metafile whose
// picture is at most kProbeSide a side, as the decoder will size it: the
// placeable box at 96 dpi, or the enhanced metafile's inclusive bounds. Other
// bytes are left out of the probe, which would only try every other format's
// decoder on them (their own targets fuzz those).
bool SmallMetafile(const uint8_t* d, size_t n)
{
    if (n >= 22 && Le(d, 4) == 0x9AC6CDD7) {
        const long long upi = Le(d + 14, 2);
        if (upi == 0)
            return false;
        const long long w = ((int16_t)Le(d + 10, 2) - (int16_t)Le(d + 6, 2)) * 96 / upi;
        const long long h = ((int16_t)Le(d + 12, 2) - (int16_t)Le(d + 8, 2)) * 96 / upi;
        return w <= kProbeSide && h <= kProbeSide;
    }
    if (n >= 24 && Le(d, 4) == 1) {
        const long long w = (int32_t)Le(d + 16, 4) - (long long)(int32_t)Le(d + 8, 4) + 1;
        const long long h = (int32_t)Le(d + 20, 4) - (long long)(int32_t)Le(d + 12, 4) + 1;
        return w <= kProbeSide && h <= kProbeSide;
    }
    return false;
}

// Plays the bytes as a metafile of either kind onto a small canvas.
void PlayBare(const uint8_t* data, size_t size, bool windows)
{
    HENHMETAFILE mf = windows ? SetWinMetaFileBits((UINT)size, data, NULL, NULL)
                              : SetEnhMetaFileBits((UINT)size, data);
    if (mf == NULL)
        return;
    const win32metafile::Metafile* m = win32metafile::Find(mf);
    constexpr int kW = 24, kH = 18;
    uint32_t px[kW * kH] = {};
    win32metafile::BufferCanvas canvas(px, kW, kH, kW);
    win32metafile::PlayStats stats;
    win32metafile::Play(*m, canvas, RECT{0, 0, kW, kH}, &stats);
    if (stats.played + stats.skipped > stats.records || stats.tooShort > stats.skipped)
        abort();  // figures that do not add up
    // The last record may overshoot the allowance by what it charges at once:
    // bounded by its bytes and the canvas. A record that asks for more than
    // any play may do (a path past its cap) spends the whole allowance in one
    // charge, which saturates the count: a stop, not an overshoot.
    const uint64_t slack = 256 * ((uint64_t)m->bytes.size() + kW * kH);
    const bool saturated = stats.work == UINT64_MAX;
    if (saturated && stats.stopped.empty())
        abort();  // all spent, yet the play went on to the end
    if (!saturated && stats.work > win32metafile::WorkAllowance(m->bytes.size()) + slack)
        abort();
    DeleteEnhMetaFile(mf);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    const HeapCopy copy(data, size);
    const bool small = SmallMetafile(data, size);
    if (!small) {
        RasterMemFile file(copy.Data(), (DWORD)size);
        RasterImageWMF img;
        if (img.Decode(&file, kForcedWidth, kForcedHeight) &&
            (!img.IsValid() || img.GetWidth() != kForcedWidth || img.GetHeight() != kForcedHeight))
            abort();  // success without the picture asked for
    }
    PlayBare(copy.Data(), size, true);
    PlayBare(copy.Data(), size, false);
    if (small) {
        RasterImage img;
        if (img.Decode(copy.Data(), (DWORD)size, RASTER_FORMAT_UNKNOWN) && !img.IsValid())
            abort();
    }
    return 0;
}
