// Raster operations in the metafile player: the codes come from the GDI's
// own table of source, pattern and destination, so a metafile's blits and
// binary modes give what the same calls give on a context.
#include "gdi_internal.h"
#include "metafile_paint.h"
#include "metafile_raster.h"

namespace win32metafile {

int RopFromBinary(int mode)
{
    if (mode < 1 || mode > 16)
        return -1;
    // Bit (pen << 1 | dest) of mode - 1 is the result for those inputs; the
    // ternary code repeats it for either source bit.
    const unsigned table = (unsigned)mode - 1;
    BYTE code = 0;
    for (int i = 0; i < 8; i++) {
        const int p = (i >> 2) & 1, d = i & 1;
        if ((table >> (p << 1 | d)) & 1)
            code |= (BYTE)(1 << i);
    }
    return code;
}

COLORREF RopColour(BYTE code, COLORREF p, COLORREF s, COLORREF d)
{
    return gdi::ApplyRop(code, p, s, d) & 0xFFFFFF;
}

bool RopReadsSource(BYTE code)
{
    return gdi::RopUsesSource(code);
}

bool RopReadsDest(BYTE code)
{
    return gdi::RopUsesDest(code);
}

bool RopReadsPattern(BYTE code)
{
    return gdi::RopUsesPattern(code);
}

void Raster::SetPaint(BYTE rop, std::shared_ptr<const Pattern> pattern)
{
    m_rop = rop;
    m_pattern = std::move(pattern);
}

// Pixels a .. b - 1 of row y, inside the clip, through the operation and the
// pattern: runs of one result go to the canvas together.
void Raster::_paintRun(int y, int a, int b, COLORREF colour)
{
    const bool readDest = RopReadsDest(m_rop);
    Charge((uint64_t)(b - a) * (readDest ? 2 : 1));
    int runStart = -1;
    COLORREF runColour = 0;
    for (int x = a; x <= b; x++) {
        COLORREF v = kNoPixel;
        if (x < b) {
            const COLORREF p = m_pattern ? m_pattern->At(x, y) : colour;
            if (p != kNoPixel)
                v = RopColour(m_rop, p, 0, readDest ? m_canvas.Get(x, y) : 0);
        }
        if (runStart >= 0 && v != runColour) {
            m_canvas.Span(y, runStart, x, runColour);
            runStart = -1;
        }
        if (v != kNoPixel && runStart < 0) {
            runStart = x;
            runColour = v;
        }
    }
}

}  // namespace win32metafile
