// Box averaging by runs. Where a source pixel falls in the destination grid
// depends on its column alone, so the columns are planned once: runs of
// pixels wholly inside one destination column, each ended by the pixel that
// straddles two. A source row wholly inside a destination row only adds its
// bytes times fixed weights, so such rows are first summed column by column
// (the sums stay exact in integers) and their total goes into the
// destination sums once, just before the row that straddles two destination
// rows; that row takes the formula pixel by pixel where it divides.
#include <emmintrin.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "rasterbox.h"

namespace {

// Source pixels [begin, end) lie inside destination column dx; the pixel at
// end (when fX >= 0) straddles dx and the next column with share fX / 1000.
struct Run {
    long dx, begin, end;
    int64_t fX;
};

struct Columns {
    std::vector<Run> runs;
    long last;  // the destination column pending after the row's last pixel
};

// The walk of the reference along a row, done once.
Columns PlanColumns(long width, long nw, float kx)
{
    Columns c;
    float edgeX = kx - 1;
    long dx = 0, begin = 0;
    for (long x = 0; x < width; x++) {
        if ((float)x < edgeX)
            continue;
        c.runs.push_back({dx, begin, x, (int64_t)(long)(((float)x - edgeX) * 1000)});
        begin = x + 1;
        if (dx <= nw) {
            dx++;
            edgeX += kx;
        }
    }
    if (begin < width)
        c.runs.push_back({dx, begin, width, -1});
    c.last = dx;
    return c;
}

// Adds a row's n bytes to 32-bit column sums (or sets them, for the first).
void AddRow(uint32_t* sums, const BYTE* row, size_t n, bool first)
{
    size_t i = 0;
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const __m128i lo = _mm_unpacklo_epi8(b, zero), hi = _mm_unpackhi_epi8(b, zero);
        const __m128i w[4] = {_mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero),
                              _mm_unpacklo_epi16(hi, zero), _mm_unpackhi_epi16(hi, zero)};
        for (int k = 0; k < 4; k++) {
            __m128i* s = reinterpret_cast<__m128i*>(sums + i + 4 * k);
            _mm_storeu_si128(s, first ? w[k] : _mm_add_epi32(_mm_loadu_si128(s), w[k]));
        }
    }
    for (; i < n; i++)
        sums[i] = first ? row[i] : sums[i] + row[i];
}

// The three channel sums of pixels [begin, end) of a row of values.
template <typename T>
void RunSums(const T* px, long begin, long end, int64_t s[3])
{
    int64_t b = 0, g = 0, r = 0;
    for (const T* p = px + 3 * begin; p < px + 3 * end; p += 3) {
        b += p[0];
        g += p[1];
        r += p[2];
    }
    s[0] = b;
    s[1] = g;
    s[2] = r;
}

}  // namespace

namespace rasterbox {

void Shrink(RasterImage& src, RasterImage& out, float kx, float ky, Progress progress)
{
    const long width = (long)src.GetWidth(), height = (long)src.GetHeight();
    const long nw = (long)out.GetWidth(), nh = (long)out.GetHeight();
    const Columns plan = PlanColumns(width, nw, kx);
    // As the reference: one pixel past the last column takes the spill of the
    // last straddle, a second one any further straddle rounding could add.
    std::vector<int64_t> rowA((size_t)(nw + 3) * 3, 0), rowB((size_t)(nw + 3) * 3, 0);
    int64_t* cur = rowA.data();
    int64_t* carry = rowB.data();
    std::vector<uint32_t> inside((size_t)width * 3);  // rows not yet added
    long insideRows = 0;
    const int64_t norm = (long)(1000.0f * kx * ky);
    long dstRow = 0;
    float edgeY = ky - 1;
    auto store = [&](long column, const int64_t* sums) {
        if (column >= nw || dstRow >= nh || norm == 0)
            return;
        BYTE* d = out.GetBits((DWORD)dstRow) + 3 * column;
        for (int i = 0; i < 3; i++)
            d[i] = (BYTE)(sums[i] / norm);
    };
    // The summed rows wholly inside the current destination row, added.
    auto addInside = [&] {
        if (insideRows == 0)
            return;
        const uint32_t* col = inside.data();
        for (const Run& run : plan.runs) {
            int64_t* c = cur + 3 * run.dx;
            int64_t s[3];
            RunSums(col, run.begin, run.end, s);
            for (int i = 0; i < 3; i++)
                c[i] += s[i] * 1000;
            if (run.fX >= 0) {
                const uint32_t* p = col + 3 * run.end;
                for (int i = 0; i < 3; i++) {
                    c[i] += (1000 - run.fX) * p[i];
                    c[i + 3] += run.fX * p[i];
                }
            }
        }
        insideRows = 0;
    };
    for (long y = 0; y < height; y++) {
        if (progress(src, y, height))
            break;
        const BYTE* row = src.GetBits((DWORD)y);
        if ((float)y < edgeY) {
            AddRow(inside.data(), row, (size_t)width * 3, insideRows == 0);
            insideRows++;
            continue;
        }
        addInside();
        const int64_t fY = (long)(((float)y - edgeY) * 1000);
        for (const Run& run : plan.runs) {
            int64_t* c = cur + 3 * run.dx;
            int64_t* k = carry + 3 * run.dx;
            int64_t s[3];
            RunSums(row, run.begin, run.end, s);
            for (int i = 0; i < 3; i++) {
                c[i] += (1000 - fY) * s[i];
                k[i] += fY * s[i];
            }
            if (run.fX < 0)
                continue;
            const int64_t fX = run.fX;
            const BYTE* p = row + 3 * run.end;
            for (int i = 0; i < 3; i++)
                c[i] += ((1000 - fY) * (1000 - fX) * p[i]) / 1000;
            store(run.dx, c);
            for (int i = 0; i < 3; i++) {
                k[i] += ((1000 - fX) * fY * p[i]) / 1000;
                c[i + 3] += ((1000 - fY) * fX * p[i]) / 1000;
                k[i + 3] = (fY * fX * p[i]) / 1000;
            }
        }
        if (plan.last < nw)
            store(plan.last, cur + 3 * plan.last);
        std::swap(cur, carry);
        carry[0] = carry[1] = carry[2] = 0;
        dstRow++;
        edgeY += ky;
    }
    addInside();
    if (dstRow < nh) {
        for (long x = 0; x < nw; x++)
            store(x, cur + 3 * x);
    }
}

}  // namespace rasterbox
