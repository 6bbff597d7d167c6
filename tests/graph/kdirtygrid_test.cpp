// The dirty grid against a brute-force picture of the same marks.
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <set>
#include <vector>
#include "kdirtygrid.h"

namespace {

// True when the non-empty rectangle a shares a pixel with b (none when b is empty).
bool Overlap(const RECT& a, const RECT& b)
{
    return b.left < b.right && b.top < b.bottom && a.left < b.right && b.left < a.right &&
           a.top < b.bottom && b.top < a.bottom;
}

RECT RandomRect(std::mt19937& rng, long w, long h)
{
    const LONG l = LONG(rng() % unsigned(w + 40)) - 20, t = LONG(rng() % unsigned(h + 40)) - 20;
    return RECT{l, t, l + LONG(rng() % 60), t + LONG(rng() % 60)};  // some empty
}

// Marked rectangles, merged, cover exactly the pixels of the marked cells
// (cells every marked rectangle touches), each pixel once; Touches and
// ForEachRect agree with a search of every rectangle; a coarser grid holds
// what its finer one holds.
TEST(DirtyGrid, MergedRectanglesCoverTheMarkedCellsOnce)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 200; round++) {
        const long w = 1 + long(rng() % 200), h = 1 + long(rng() % 150);
        const int shift = 2 + int(rng() % 4);
        const long cell = 1L << shift;
        KDirtyGrid grid, coarse;
        grid.Reset(w, h, shift);
        std::vector<char> want(size_t(w * h), 0);
        std::vector<RECT> marked;
        for (int k = int(rng() % 12); k > 0; k--) {
            RECT r = RandomRect(rng, w, h);
            grid.Mark(r);
            marked.push_back(r);
            // The cells the part of r on the sprite touches.
            r.left = std::max<LONG>(r.left, 0);
            r.top = std::max<LONG>(r.top, 0);
            r.right = std::min<LONG>(r.right, LONG(w));
            r.bottom = std::min<LONG>(r.bottom, LONG(h));
            for (long y = 0; y < h; y++)
                for (long x = 0; x < w; x++) {
                    const RECT c{LONG(x / cell * cell), LONG(y / cell * cell),
                                 LONG(x / cell * cell + cell), LONG(y / cell * cell + cell)};
                    if (Overlap(c, r))
                        want[size_t(y * w + x)] = 1;
                }
        }
        grid.Merge();
        std::vector<int> got(size_t(w * h), 0);
        long pixels = 0;
        for (const RECT& r : grid.Rects()) {
            ASSERT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h);
            for (long y = r.top; y < r.bottom; y++)
                for (long x = r.left; x < r.right; x++)
                    got[size_t(y * w + x)]++;
            pixels += (r.right - r.left) * (r.bottom - r.top);
        }
        for (long i = 0; i < w * h; i++)
            ASSERT_EQ(got[size_t(i)], int(want[size_t(i)])) << "round " << round << " pixel " << i;
        EXPECT_EQ(grid.MarkedPixels(), pixels);

        // Marked cells, in all and under a rectangle, against the picture.
        auto cellMarked = [&](long cx, long cy) {
            return want[size_t(std::min(cy * cell, h - 1) * w + std::min(cx * cell, w - 1))] != 0;
        };
        const long cols = (w + cell - 1) / cell, rows = (h + cell - 1) / cell;
        long markedCells = 0;
        for (long cy = 0; cy < rows; cy++)
            for (long cx = 0; cx < cols; cx++)
                markedCells += cellMarked(cx, cy);
        EXPECT_EQ(grid.MarkedCells(), markedCells) << "round " << round;

        for (int q = 0; q < 20; q++) {
            const RECT r = RandomRect(rng, w, h);
            long under = 0, cells = 0, gotUnder = -1, gotCells = -1;
            for (long cy = 0; cy < rows; cy++)
                for (long cx = 0; cx < cols; cx++) {
                    const RECT c{LONG(cx * cell), LONG(cy * cell), LONG(cx * cell + cell),
                                 LONG(cy * cell + cell)};
                    RECT on = r;  // the part of r on the sprite
                    on.left = std::max<LONG>(on.left, 0);
                    on.top = std::max<LONG>(on.top, 0);
                    on.right = std::min<LONG>(on.right, LONG(w));
                    on.bottom = std::min<LONG>(on.bottom, LONG(h));
                    if (Overlap(c, on)) {
                        cells++;
                        under += cellMarked(cx, cy);
                    }
                }
            grid.CountUnder(r, gotUnder, gotCells);
            EXPECT_EQ(gotUnder, under) << "round " << round;
            EXPECT_EQ(gotCells, cells) << "round " << round;

            std::set<int> expect, seen;
            for (size_t id = 0; id < grid.Rects().size(); id++)
                if (Overlap(grid.Rects()[id], r))
                    expect.insert(int(id));
            grid.ForEachRect(r, [&](int id) { EXPECT_TRUE(seen.insert(id).second); });
            EXPECT_EQ(seen, expect) << "round " << round;
            EXPECT_EQ(grid.Touches(r), !expect.empty());
        }

        // Fitted to the marking rectangles, the merged rectangles cover each
        // of their pixels on the sprite exactly once, and lie inside what
        // they were.
        const std::vector<RECT> merged = grid.Rects();
        grid.BeginFit();
        for (const RECT& r : marked)
            grid.Fit(r);
        grid.EndFit();
        std::vector<int> fitted(size_t(w * h), 0);
        for (size_t id = 0; id < merged.size(); id++) {
            const RECT& f = grid.Rects()[id];
            const RECT& m = merged[id];
            ASSERT_TRUE(f.left >= m.left && f.top >= m.top && f.right <= m.right &&
                        f.bottom <= m.bottom) << "round " << round;
            for (long y = f.top; y < f.bottom; y++)
                for (long x = f.left; x < f.right; x++)
                    fitted[size_t(y * w + x)]++;
        }
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                bool inMarked = false;
                for (const RECT& r : marked)
                    inMarked |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                ASSERT_LE(fitted[size_t(y * w + x)], 1) << "round " << round;
                if (inMarked) {
                    ASSERT_EQ(fitted[size_t(y * w + x)], 1)
                        << "round " << round << " at " << x << "," << y;
                }
            }

        coarse.Coarsen(grid);
        coarse.Merge();
        for (const RECT& r : grid.Rects())
            EXPECT_TRUE(coarse.Touches(r));
        EXPECT_GE(coarse.MarkedPixels(), grid.MarkedPixels());
    }
}

// Covers against a picture of the last cover over each pixel. A cell of a
// rectangle is left unmarked only when every pixel of the rectangle in it
// lies under covers after the rectangle's position (what shows is never
// hidden), and whenever each row of the rectangle in it is painted across
// the cell's whole width by one such cover (a tile a pixel off the cells, or
// two tiles one above the other, hide what lies under them). Covers of an
// earlier frame hide nothing, also once the count has wrapped.
TEST(DirtyGrid, CoversHideOnlyWhatLaterCoversPaint)
{
    std::mt19937 rng(23);
    KDirtyGrid grid;  // one grid throughout: earlier frames' covers stay in its memory
    for (int round = 0; round < 300; round++) {
        const long w = round % 3 ? 50 : 1 + long(rng() % 200);
        const long h = round % 3 ? 40 : 1 + long(rng() % 150);
        const int shift = 2 + int(rng() % 4);
        const long cell = 1L << shift, cols = (w + cell - 1) / cell;
        grid.Reset(w, h, shift);
        if (round % 50 == 49)
            grid.BeginCovers(0x7FFFFFFF / 2);  // the next frame's count wraps
        const long commands = 40;
        grid.BeginCovers(commands);
        std::vector<int> last(size_t(w * h), -1);      // per pixel
        std::vector<int> across(size_t(cols * h), -1);  // per row of a column of cells
        for (long pos = 0; pos < commands; pos++) {
            if (rng() % 2)
                continue;
            const LONG l = LONG(rng() % unsigned(w + 20)) - 10;
            const LONG t = LONG(rng() % unsigned(h + 20)) - 10;
            const RECT r{l, t, l + 1 + LONG(rng() % 50), t + 1 + LONG(rng() % 50)};
            grid.Cover(r, pos);
            for (long y = std::max<long>(r.top, 0); y < std::min<long>(r.bottom, h); y++) {
                for (long x = std::max<long>(r.left, 0); x < std::min<long>(r.right, w); x++)
                    last[size_t(y * w + x)] = int(pos);
                for (long cx = 0; cx < cols; cx++)
                    if (r.left <= cx * cell && r.right >= std::min((cx + 1) * cell, w))
                        across[size_t(cx * h + y)] = int(pos);
            }
        }
        for (int q = 0; q < 30; q++) {
            const RECT r = RandomRect(rng, w, h);
            const long pos = long(rng() % commands);
            long shown = -1, hidden = -1, wantShown = 0, wantHidden = 0;
            std::vector<RECT> shownCells;
            for (long cy = 0; cy * cell < h; cy++)
                for (long cx = 0; cx < cols; cx++) {
                    const long x0 = std::max<long>(r.left, std::max(cx * cell, 0L));
                    const long x1 = std::min<long>(r.right, std::min((cx + 1) * cell, w));
                    const long y0 = std::max<long>(r.top, std::max(cy * cell, 0L));
                    const long y1 = std::min<long>(r.bottom, std::min((cy + 1) * cell, h));
                    if (x0 >= x1 || y0 >= y1)
                        continue;
                    bool painted = true, rowsAcross = true;
                    for (long y = y0; y < y1; y++) {
                        rowsAcross &= across[size_t(cx * h + y)] > pos;
                        for (long x = x0; x < x1; x++)
                            painted &= last[size_t(y * w + x)] > pos;
                    }
                    ASSERT_TRUE(painted || !rowsAcross) << "round " << round;
                    if (rowsAcross) {
                        wantHidden++;
                    } else {
                        wantShown++;
                        shownCells.push_back(RECT{LONG(x0), LONG(y0), LONG(x0 + 1), LONG(y0 + 1)});
                    }
                }
            grid.MarkUncovered(r, pos, shown, hidden);
            ASSERT_EQ(shown, wantShown) << "round " << round << " query " << q;
            ASSERT_EQ(hidden, wantHidden) << "round " << round << " query " << q;
            for (const RECT& c : shownCells)
                ASSERT_TRUE(grid.Touches(c)) << "round " << round;
        }
    }
}

}  // namespace
