// Box averaging pixel by pixel, as the formula is written: the plain form of
// the shrink, kept to test it against.
#include <cstdint>
#include <utility>
#include <vector>

#include "rasterbox.h"

namespace rasterbox {

// Shrinking a 24-bit image both ways: every source pixel adds its share,
// scaled by 1000, to the one to four destination pixels it covers. Two rows
// of sums are kept: the current destination row and the carry into the next.
// The sums are 64-bit: far shrinks add up more than 32 bits hold.
void ShrinkReference(RasterImage& src, RasterImage& out, float kx, float ky, Progress progress)
{
    const long width = (long)src.GetWidth(), height = (long)src.GetHeight();
    const long nw = (long)out.GetWidth(), nh = (long)out.GetHeight();
    // One pixel past the last column takes the spill of the last straddle;
    // a second one absorbs any further straddle that rounding could add.
    std::vector<int64_t> rowA((size_t)(nw + 3) * 3, 0), rowB((size_t)(nw + 3) * 3, 0);
    int64_t* cur = rowA.data();
    int64_t* carry = rowB.data();
    const int64_t norm = (long)(1000.0f * kx * ky);
    long dstRow = 0;
    float edgeY = ky - 1;
    // Stores a pixel's three sums, divided, into the pending destination row.
    auto store = [&](long column, const int64_t* sums) {
        if (column >= nw || dstRow >= nh || norm == 0)
            return;
        BYTE* d = out.GetBits((DWORD)dstRow) + 3 * column;
        for (int i = 0; i < 3; i++)
            d[i] = (BYTE)(sums[i] / norm);
    };
    for (long y = 0; y < height; y++) {
        if (progress(src, y, height))
            break;
        const BYTE* p = src.GetBits((DWORD)y);
        float edgeX = kx - 1;
        long dx = 0;
        if ((float)y < edgeY) {
            for (long x = 0; x < width; x++, p += 3) {
                int64_t* c = cur + 3 * dx;
                if ((float)x < edgeX) {
                    for (int i = 0; i < 3; i++)
                        c[i] += (int64_t)p[i] * 1000;
                } else {
                    const int64_t fX = (long)(((float)x - edgeX) * 1000);
                    for (int i = 0; i < 3; i++) {
                        c[i] += (1000 - fX) * p[i];
                        c[i + 3] += fX * p[i];
                    }
                    if (dx <= nw) {
                        dx++;
                        edgeX += kx;
                    }
                }
            }
        } else {
            const int64_t fY = (long)(((float)y - edgeY) * 1000);
            for (long x = 0; x < width; x++, p += 3) {
                int64_t* c = cur + 3 * dx;
                int64_t* k = carry + 3 * dx;
                if ((float)x < edgeX) {
                    for (int i = 0; i < 3; i++) {
                        c[i] += (1000 - fY) * p[i];
                        k[i] += fY * p[i];
                    }
                } else {
                    const int64_t fX = (long)(((float)x - edgeX) * 1000);
                    for (int i = 0; i < 3; i++)
                        c[i] += ((1000 - fY) * (1000 - fX) * p[i]) / 1000;
                    store(dx, c);
                    for (int i = 0; i < 3; i++) {
                        k[i] += ((1000 - fX) * fY * p[i]) / 1000;
                        c[i + 3] += ((1000 - fY) * fX * p[i]) / 1000;
                        k[i + 3] = (fY * fX * p[i]) / 1000;
                    }
                    if (dx <= nw) {
                        dx++;
                        edgeX += kx;
                    }
                }
            }
            if (dx < nw)
                store(dx, cur + 3 * dx);
            std::swap(cur, carry);
            carry[0] = carry[1] = carry[2] = 0;
            dstRow++;
            edgeY += ky;
        }
    }
    if (dstRow < nh) {
        for (long x = 0; x < nw; x++)
            store(x, cur + 3 * x);
    }
}

}  // namespace rasterbox
