// KArea: regions of disjoint rectangles. Exact pieces in the order the cuts
// leave them, union keeping what the region holds, the tests on rectangles
// and segments, and a randomised check against a plain bitmap.
#include <gmock/gmock.h>
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>
#include "desktop_fixture.h"
#include <doit.h>

// Reaches the region's private cutting and testing primitives.
struct KAreaAccess {
    static bool InRect(RECT outer, RECT inner) { return KArea::IsInRect(outer, inner); }
    static bool Segment(RECT r, long x1, long y1, long x2, long y2)
    {
        return KArea::IsInRect(r, x1, y1, x2, y2);
    }
    static KAreaData* Insert(KArea& a, RECT rc, DWORD data) { return a.Insert(rc, data, 0); }
    // Cuts the first rectangle; pos and dat end on the current piece.
    static bool Cut(KArea& a, long x, long y, BYTE which, KAreaData*& dat)
    {
        void* pos;
        First(a, pos, dat);
        return a.CutArea(pos, dat, x, y, which);
    }
    static bool CutX(KArea& a, long x, bool right, KAreaData*& dat)
    {
        void* pos;
        First(a, pos, dat);
        return a.CutArea_X(pos, dat, x, right);
    }
    static bool CutY(KArea& a, long y, bool bottom, KAreaData*& dat)
    {
        void* pos;
        First(a, pos, dat);
        return a.CutArea_Y(pos, dat, y, bottom);
    }
    static void First(KArea& a, void*& pos, KAreaData*& dat)
    {
        void* walk = nullptr;
        a.GetData(dat, walk);
        pos = static_cast<KArea::Node*>(dat);
    }
    static DWORD Nodes(KArea& a) { return a.m_List.GetNodeCount(); }
    static KArea* Tmp(KArea& a) { return a.m_pTmp; }
};

namespace {

using Access = KAreaAccess;

struct Piece {
    RECT rc;
    DWORD_PTR data;
    BYTE state;
};

std::vector<Piece> Pieces(KArea& a)
{
    std::vector<Piece> out;
    void* pos = nullptr;
    do {
        KAreaData* d = nullptr;
        a.GetData(d, pos);
        if (d)
            out.push_back({*d->GetRect(), d->data, d->GetState()});
    } while (pos);
    return out;
}

std::vector<RECT> Rects(KArea& a)
{
    std::vector<RECT> out;
    for (const Piece& p : Pieces(a))
        out.push_back(p.rc);
    return out;
}

MATCHER_P(RectsAre, expected, "")
{
    if (arg.size() != expected.size())
        return false;
    for (size_t i = 0; i < arg.size(); i++)
        if (!EqualRect(&arg[i], &expected[i]))
            return false;
    return true;
}

std::vector<RECT> R(std::initializer_list<RECT> l)
{
    return std::vector<RECT>(l);
}

class KAreaTest : public DesktopTest {};

// ---- Union and difference, by the examples

TEST_F(KAreaTest, AddingToAnEmptyRegionGivesThatRectangle)
{
    KArea a;
    RECT rc = {0, 0, 10, 10};
    a.Add(rc, DWORD(7), BYTE(2));
    auto p = Pieces(a);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_TRUE(EqualRect(&p[0].rc, &rc));
    EXPECT_EQ(p[0].data, 7u);
    EXPECT_EQ(p[0].state, 2);
    EXPECT_EQ(Access::Tmp(a), nullptr);  // no scratch region needed
}

TEST_F(KAreaTest, SubtractingTheMiddleLeavesFourRectanglesInCutOrder)
{
    KArea a;
    RECT big = {0, 0, 10, 10}, hole = {3, 3, 6, 6};
    a.Add(big, DWORD(5), BYTE(1));
    a.Sub(hole);
    EXPECT_THAT(Rects(a), RectsAre(R({{0, 0, 3, 10}, {6, 0, 10, 10}, {3, 0, 6, 3}, {3, 6, 6, 10}})));
    for (const Piece& p : Pieces(a)) {
        EXPECT_EQ(p.data, 5u);  // each piece keeps the data and state
        EXPECT_EQ(p.state, 1);
    }
}

TEST_F(KAreaTest, SubtractionKeepsThePiecesWhereTheRectangleStood)
{
    KArea a;
    RECT r1 = {0, 0, 10, 10}, r2 = {20, 0, 30, 10}, r3 = {40, 0, 50, 10}, s = {3, 3, 6, 6};
    a.Add(r1, DWORD(1), 0);
    a.Add(r2, DWORD(2), 0);
    a.Add(r3, DWORD(3), 0);
    RECT s2 = {23, -5, 27, 5};
    a.Sub(s2);  // cuts r2 only: its pieces stand between r1 and r3
    EXPECT_THAT(Rects(a), RectsAre(R({{0, 0, 10, 10}, {20, 0, 23, 10}, {27, 0, 30, 10},
                                      {23, 5, 27, 10}, {40, 0, 50, 10}})));
    a.Sub(s);
    EXPECT_THAT(Rects(a), RectsAre(R({{0, 0, 3, 10}, {6, 0, 10, 10}, {3, 0, 6, 3}, {3, 6, 6, 10},
                                      {20, 0, 23, 10}, {27, 0, 30, 10}, {23, 5, 27, 10},
                                      {40, 0, 50, 10}})));
}

TEST_F(KAreaTest, SubtractingAllButTheLastColumnLeavesIt)
{
    KArea a;
    RECT big = {0, 0, 10, 10}, s = {0, 0, 9, 10};
    a.Add(big, DWORD(0), 0);
    a.Sub(s);
    EXPECT_THAT(Rects(a), RectsAre(R({{9, 0, 10, 10}})));
}

TEST_F(KAreaTest, ARectangleThatOnlyTouchesAnEdgeRemovesNothing)
{
    KArea a;
    RECT d = {0, 0, 10, 10};
    a.Add(d, DWORD(0), 0);
    for (RECT s : {RECT{10, 0, 20, 10}, RECT{-5, 0, 0, 10}, RECT{0, 10, 10, 12}, RECT{0, -3, 10, 0},
                   RECT{10, 10, 12, 12}}) {
        a.Sub(s);
        EXPECT_THAT(Rects(a), RectsAre(R({{0, 0, 10, 10}})));
    }
}

TEST_F(KAreaTest, ACoveringRectangleDeletesWithoutCutting)
{
    KArea a;
    RECT r1 = {0, 0, 4, 4}, r2 = {10, 0, 14, 4}, s = {-1, -1, 5, 5};
    a.Add(r1, DWORD(1), 0);
    a.Add(r2, DWORD(2), 0);
    const DWORD nodes = Access::Nodes(a);
    a.Sub(s);
    EXPECT_THAT(Rects(a), RectsAre(R({{10, 0, 14, 4}})));
    EXPECT_EQ(Access::Nodes(a), nodes);
}

TEST_F(KAreaTest, AddingAnOverlapKeepsTheOldRectangleAndAppendsTheRest)
{
    KArea a;
    RECT old = {0, 0, 10, 10}, add = {5, 0, 15, 10};
    a.Add(old, DWORD(1), BYTE(0));
    a.Add(add, DWORD(2), BYTE(KAREA_STATE_HIDE));
    auto p = Pieces(a);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_TRUE(EqualRect(&p[0].rc, &old));
    EXPECT_EQ(p[0].data, 1u);
    EXPECT_EQ(p[0].state, 0);
    RECT rest = {10, 0, 15, 10};
    EXPECT_TRUE(EqualRect(&p[1].rc, &rest));
    EXPECT_EQ(p[1].data, 2u);
    EXPECT_EQ(p[1].state, KAREA_STATE_HIDE);
    EXPECT_NE(Access::Tmp(a), nullptr);  // made once, kept for reuse
}

TEST_F(KAreaTest, AddingARectangleInsideTheRegionAddsNothing)
{
    KArea a;
    RECT left = {0, 0, 5, 10}, right = {5, 0, 10, 10}, inside = {2, 2, 8, 8};
    a.Add(left, DWORD(1), 0);
    a.Add(right, DWORD(2), 0);
    a.Add(inside, DWORD(3), 0);
    EXPECT_THAT(Rects(a), RectsAre(R({{0, 0, 5, 10}, {5, 0, 10, 10}})));
}

TEST_F(KAreaTest, RegionsAddAndSubtractOtherRegions)
{
    KArea a, b;
    RECT r1 = {0, 0, 4, 4}, r2 = {2, 2, 6, 6};
    a.Add(r1, DWORD(1), 0);
    b.Add(r2, DWORD(2), 0);
    a.Add(b);
    EXPECT_THAT(Rects(a), RectsAre(R({{0, 0, 4, 4}, {4, 2, 6, 6}, {2, 4, 4, 6}})));
    a.Sub(b);
    EXPECT_THAT(Rects(a), RectsAre(R({{0, 0, 2, 4}, {2, 0, 4, 2}})));
    // A region with itself: union changes nothing, difference empties it.
    a.Add(a);
    EXPECT_EQ(Rects(a).size(), 2u);
    a.Sub(a);
    EXPECT_TRUE(a.IsEmpty());
}

TEST_F(KAreaTest, EmptyRectanglesChangeNothing)
{
    KArea a;
    RECT none = {5, 5, 5, 9}, flat = {3, 5, 7, 5}, upside = {4, 4, 2, 2};
    a.Add(none, DWORD(1), 0);
    EXPECT_TRUE(a.IsEmpty());
    RECT big = {0, 0, 10, 10};
    a.Add(big, DWORD(1), 0);
    a.Sub(none);  // its edge line would otherwise cut the region in two and drop a half
    a.Sub(flat);
    a.Sub(upside);
    a.Add(upside, DWORD(2), 0);
    EXPECT_THAT(Rects(a), RectsAre(R({{0, 0, 10, 10}})));
}

TEST_F(KAreaTest, ClearKeepsTheNodesAndTheScratchRegion)
{
    KArea a;
    RECT r1 = {0, 0, 4, 4}, r2 = {2, 2, 6, 6};
    a.Add(r1, DWORD(1), 0);
    a.Add(r2, DWORD(1), 0);
    const DWORD nodes = Access::Nodes(a);
    KArea* tmp = Access::Tmp(a);
    a.Clear();
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(Access::Nodes(a), nodes);
    EXPECT_EQ(Access::Tmp(a), tmp);
    a.Release();
    EXPECT_EQ(Access::Nodes(a), 0u);
    EXPECT_EQ(Access::Tmp(a), nullptr);
}

// ---- Cutting

TEST_F(KAreaTest, CuttingAcrossXOrYPlacesThePiecesByDirection)
{
    KAreaData* cur = nullptr;
    {
        KArea a;
        Access::Insert(a, {0, 0, 10, 4}, 9);
        ASSERT_TRUE(Access::CutX(a, 3, false, cur));
        EXPECT_THAT(Rects(a), RectsAre(R({{0, 0, 3, 4}, {3, 0, 10, 4}})));
        RECT right = {3, 0, 10, 4};
        EXPECT_TRUE(EqualRect(cur->GetRect(), &right));
        EXPECT_EQ(cur->GetData_DWord(), 9u);
    }
    {
        KArea a;
        Access::Insert(a, {0, 0, 10, 4}, 9);
        ASSERT_TRUE(Access::CutX(a, 3, true, cur));
        EXPECT_THAT(Rects(a), RectsAre(R({{3, 0, 10, 4}, {0, 0, 3, 4}})));
    }
    {
        KArea a;
        Access::Insert(a, {0, 0, 4, 10}, 9);
        ASSERT_TRUE(Access::CutY(a, 6, true, cur));
        EXPECT_THAT(Rects(a), RectsAre(R({{0, 6, 4, 10}, {0, 0, 4, 6}})));
        EXPECT_FALSE(Access::CutY(a, 6, true, cur));  // on the edge of the first piece
        EXPECT_FALSE(Access::CutX(a, 0, true, cur));
    }
}

TEST_F(KAreaTest, CuttingIntoQuartersKeepsTheChosenOneLast)
{
    const RECT q[4] = {{0, 0, 2, 3}, {2, 0, 8, 3}, {0, 3, 2, 6}, {2, 3, 8, 6}};
    const int order[4][4] = {{1, 2, 3, 0}, {0, 2, 3, 1}, {0, 1, 3, 2}, {0, 2, 1, 3}};
    for (BYTE which = 0; which < 4; which++) {
        KArea a;
        Access::Insert(a, {0, 0, 8, 6}, 1);
        KAreaData* cur = nullptr;
        ASSERT_TRUE(Access::Cut(a, 2, 3, which, cur));
        std::vector<RECT> expect;
        for (int i : order[which])
            expect.push_back(q[i]);
        EXPECT_THAT(Rects(a), RectsAre(expect)) << int(which);
        EXPECT_TRUE(EqualRect(cur->GetRect(), &q[which]));
    }
    KArea a;
    Access::Insert(a, {0, 0, 8, 6}, 1);
    KAreaData* cur = nullptr;
    EXPECT_FALSE(Access::Cut(a, 2, 3, 4, cur));
    EXPECT_FALSE(Access::Cut(a, 8, 3, 0, cur));
    EXPECT_THAT(Rects(a), RectsAre(R({{0, 0, 8, 6}})));
}

// ---- Tests on rectangles and points

TEST_F(KAreaTest, RectangleWithinRectangle)
{
    const RECT outer = {0, 0, 10, 10};
    EXPECT_TRUE(Access::InRect(outer, {0, 0, 10, 10}));
    EXPECT_TRUE(Access::InRect(outer, {2, 3, 4, 5}));
    EXPECT_FALSE(Access::InRect(outer, {-1, 0, 5, 5}));
    EXPECT_FALSE(Access::InRect(outer, {5, 5, 11, 6}));
    EXPECT_FALSE(Access::InRect(outer, {5, 5, 6, 11}));
}

TEST_F(KAreaTest, SegmentsAndPointsThroughTheInterior)
{
    const RECT r = {0, 0, 10, 10};
    EXPECT_TRUE(Access::Segment(r, 5, -5, 5, 1));    // vertical, reaching in
    EXPECT_FALSE(Access::Segment(r, 5, -5, 5, 0));   // stops at the top edge
    EXPECT_FALSE(Access::Segment(r, 0, 2, 0, 8));    // along the left edge
    EXPECT_FALSE(Access::Segment(r, 10, 2, 10, 8));  // along the right edge
    EXPECT_TRUE(Access::Segment(r, -3, 4, 1, 4));    // horizontal
    EXPECT_FALSE(Access::Segment(r, -3, 4, 0, 4));
    EXPECT_FALSE(Access::Segment(r, 2, 10, 8, 10));  // along the bottom edge
    EXPECT_TRUE(Access::Segment(r, 4, 4, 4, 4));     // a point inside
    EXPECT_FALSE(Access::Segment(r, 0, 4, 0, 4));    // a point on the edge
    EXPECT_FALSE(Access::Segment(r, 1, 1, 5, 5));    // neither vertical nor horizontal
}

TEST_F(KAreaTest, DataHoldsAWholeAddressAndStateBits)
{
    KAreaData d;
    EXPECT_EQ(d.GetData_DWord(), 0u);
    EXPECT_EQ(d.GetState(), 0);
    void* p = reinterpret_cast<void*>(uintptr_t(0x123456789ABCull));
    d.SetData(p);
    EXPECT_EQ(d.GetData_pVoid(), p);
    EXPECT_EQ(d.GetData_DWord(), 0x56789ABCu);
    d.Hide();
    EXPECT_TRUE(d.IsHide());
    d.SetState(0x82);
    EXPECT_FALSE(d.IsHide());
    RECT rc = {1, 2, 3, 4};
    d.SetRect(rc);
    KAreaData e;
    e.Equ(d);
    EXPECT_TRUE(EqualRect(e.GetRect(), &rc));
    EXPECT_EQ(e.GetData_pVoid(), p);
    EXPECT_EQ(e.GetState(), 0x82);

    KArea a;
    RECT big = {0, 0, 4, 4};
    a.Add(big, p, BYTE(1));
    EXPECT_EQ(Pieces(a)[0].data, reinterpret_cast<DWORD_PTR>(p));
}

TEST_F(KAreaTest, DebugLinkWritesTheRectanglesBetweenArrows)
{
    KArea a;
    a.DebugLink();
    RECT r = {1, 2, 3, 4};
    a.Add(r, DWORD(0), 0);
    a.DebugLink();
    std::vector<std::string> lines;
    for (auto& e : Log())
        if (e.kind == kbase::LogEntry::DebugLine)
            lines.push_back(e.text);
    const std::string open = std::string(48, '-') + ">", close = "<" + std::string(48, '-');
    EXPECT_EQ(lines, (std::vector<std::string>{open, close, open, "1 2 3 4", close}));
}

// ---- Random sequences against a bitmap

const int kGrid = 24;

TEST_F(KAreaTest, RandomAddsAndSubtractsMatchABitmap)
{
    for (unsigned seed = 1; seed <= 40; seed++) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> coord(0, kGrid);
        KArea a;
        // Per pixel: the data of the rectangle covering it, 0 when uncovered.
        std::vector<DWORD> owner(kGrid * kGrid, 0);
        for (int step = 1; step <= 60; step++) {
            RECT rc;
            SetRect(&rc, coord(rng), coord(rng), coord(rng), coord(rng));
            if (rng() % 4 != 0) {  // mostly proper rectangles, some empty or upside down
                if (rc.left > rc.right)
                    std::swap(rc.left, rc.right);
                if (rc.top > rc.bottom)
                    std::swap(rc.top, rc.bottom);
            }
            const bool add = rng() % 3 != 0;
            const DWORD data = DWORD(step);
            if (add)
                a.Add(rc, data, BYTE(step & 0xFF));
            else
                a.Sub(rc);
            for (int y = std::max<LONG>(0, rc.top); y < std::min<LONG>(kGrid, rc.bottom); y++)
                for (int x = std::max<LONG>(0, rc.left); x < std::min<LONG>(kGrid, rc.right); x++) {
                    DWORD& o = owner[size_t(y * kGrid + x)];
                    if (!add)
                        o = 0;
                    else if (o == 0)
                        o = data;  // union never changes what is already covered
                }

            // The region, drawn into a bitmap of its own: disjoint, non-empty
            // rectangles whose pixels and data are exactly the model's.
            std::vector<DWORD> drawn(kGrid * kGrid, 0);
            for (const Piece& p : Pieces(a)) {
                ASSERT_LT(p.rc.left, p.rc.right) << seed << "/" << step;
                ASSERT_LT(p.rc.top, p.rc.bottom) << seed << "/" << step;
                ASSERT_EQ(p.state, BYTE(p.data & 0xFF));
                for (LONG y = p.rc.top; y < p.rc.bottom; y++)
                    for (LONG x = p.rc.left; x < p.rc.right; x++) {
                        ASSERT_TRUE(x >= 0 && y >= 0 && x < kGrid && y < kGrid);
                        DWORD& d = drawn[size_t(y * kGrid + x)];
                        ASSERT_EQ(d, 0u) << "overlap at " << x << "," << y << " seed " << seed;
                        d = DWORD(p.data);
                    }
            }
            ASSERT_EQ(drawn, owner) << "seed " << seed << " step " << step;
        }
    }
}

}  // namespace
