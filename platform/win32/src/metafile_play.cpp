// Playing a metafile onto a canvas: where its picture lands, then its
// records.
//
// An enhanced metafile's records draw in the pixels of its reference device;
// the bounds in its header (inclusive, so one pixel wider and higher than
// right - left and bottom - top) are fitted to the rectangle. A Windows
// metafile draws in logical units that its own window origin and extents
// map onto the rectangle (the picture is in MM_ANISOTROPIC); one that sets no
// window draws one logical unit a pixel from the rectangle's corner.
#include "metafile_readers.h"

#include <algorithm>
#include <mutex>

namespace win32metafile {

namespace {

constexpr double kScreenPixelsPerMm = 96 / 25.4;

// The work a play may do follows from the metafile's size, as the image
// library's allowance for pixels no file backs does: so many units (a pixel
// written, a row or span visited) a byte, and never less than the floor, so
// a small file may still fill a large picture several times over. Under the
// fuzzer, whose canvases are a few hundred pixels, a hundred or so fills of
// them: an input that asks for all it may do then costs a millisecond or
// two, not seconds, and every record still plays until it is spent.
#ifdef KESTREL_FUZZ_LIMITS
constexpr uint64_t kWorkPerByte = 16;
constexpr uint64_t kWorkFloor = uint64_t(1) << 16;
#else
constexpr uint64_t kWorkPerByte = 768;
constexpr uint64_t kWorkFloor = uint64_t(48) << 20;
#endif

std::mutex g_statsMutex;
PlayStats g_lastStats;

// The reference device's source rectangle in pixels: the bounds, or the
// frame when the bounds are empty.
void SourceRect(const ENHMETAHEADER& h, double& x0, double& y0, double& x1, double& y1)
{
    const RECTL& b = h.rclBounds;
    if (b.right >= b.left && b.bottom >= b.top) {
        x0 = b.left;
        y0 = b.top;
        x1 = (double)b.right + 1;
        y1 = (double)b.bottom + 1;
        return;
    }
    const RECTL& f = h.rclFrame;
    const double kx = h.szlMillimeters.cx > 0 ? (double)h.szlDevice.cx / h.szlMillimeters.cx / 100
                                              : kScreenPixelsPerMm / 100;
    const double ky = h.szlMillimeters.cy > 0 ? (double)h.szlDevice.cy / h.szlMillimeters.cy / 100
                                              : kScreenPixelsPerMm / 100;
    x0 = f.left * kx;
    y0 = f.top * ky;
    x1 = ((double)f.right + 1) * kx;
    y1 = ((double)f.bottom + 1) * ky;
}

}  // namespace

bool Play(const Metafile& metafile, Canvas& canvas, const RECT& rect, PlayStats* stats)
{
    PlayStats local;
    PlayStats& s = stats != nullptr ? *stats : local;
    s = PlayStats();
    const long w = (long)rect.right - rect.left, h = (long)rect.bottom - rect.top;
    const uint64_t allowance = WorkAllowance(metafile.bytes.size());
    if (metafile.windows) {
        Player player(canvas, Fit(), kScreenPixelsPerMm, kScreenPixelsPerMm, metafile.objects);
        player.SetAllowance(allowance);
        player.SetMapMode(MM_ANISOTROPIC);
        player.SetViewportOrg(rect.left, rect.top);
        if (w != 0 && h != 0) {
            player.SetWindowExt(w, h);
            player.SetViewportExt(w, h);
        }
        PlayWindowsRecords(metafile, player, s);
        s.work = player.Work();
    } else {
        const ENHMETAHEADER& hd = metafile.header;
        double x0, y0, x1, y1;
        SourceRect(hd, x0, y0, x1, y1);
        Fit fit;
        if (x1 != x0 && y1 != y0) {
            fit.scaleX = w / (x1 - x0);
            fit.scaleY = h / (y1 - y0);
        }
        fit.offsetX = rect.left - x0 * fit.scaleX;
        fit.offsetY = rect.top - y0 * fit.scaleY;
        const double pxX = hd.szlMillimeters.cx > 0 && hd.szlDevice.cx > 0
                               ? (double)hd.szlDevice.cx / hd.szlMillimeters.cx
                               : kScreenPixelsPerMm;
        const double pxY = hd.szlMillimeters.cy > 0 && hd.szlDevice.cy > 0
                               ? (double)hd.szlDevice.cy / hd.szlMillimeters.cy
                               : kScreenPixelsPerMm;
        Player player(canvas, fit, pxX, pxY, hd.nHandles);
        player.SetAllowance(allowance);
        PlayEnhancedRecords(metafile, player, s);
        s.work = player.Work();
    }
    {
        std::lock_guard<std::mutex> lock(g_statsMutex);
        g_lastStats = s;
    }
    return s.stopped.empty();
}

uint64_t WorkAllowance(size_t bytes)
{
    return std::max(kWorkFloor, (uint64_t)bytes * kWorkPerByte);
}

PlayStats LastPlayStats()
{
    std::lock_guard<std::mutex> lock(g_statsMutex);
    return g_lastStats;
}

}  // namespace win32metafile
