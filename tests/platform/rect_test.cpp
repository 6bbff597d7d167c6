// Rectangle helpers: right and bottom are exclusive; empty rectangles drop
// out of unions and intersections.
#include "platform_fixture.h"

namespace {

::testing::AssertionResult Is(const RECT& r, LONG l, LONG t, LONG rt, LONG b)
{
    if (r.left == l && r.top == t && r.right == rt && r.bottom == b)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "{" << r.left << "," << r.top << "," << r.right << ","
                                         << r.bottom << "}";
}

}  // namespace

TEST(Win32Rect, SetCopyEqualAndEmpty)
{
    RECT a, b;
    EXPECT_TRUE(SetRect(&a, 1, 2, 3, 4));
    EXPECT_TRUE(Is(a, 1, 2, 3, 4));
    EXPECT_TRUE(CopyRect(&b, &a));
    EXPECT_TRUE(EqualRect(&a, &b));
    b.bottom = 5;
    EXPECT_FALSE(EqualRect(&a, &b));
    EXPECT_FALSE(IsRectEmpty(&a));
    EXPECT_TRUE(SetRectEmpty(&a));
    EXPECT_TRUE(Is(a, 0, 0, 0, 0));
    EXPECT_TRUE(IsRectEmpty(&a));
    const RECT inverted = {5, 5, 4, 9};
    EXPECT_TRUE(IsRectEmpty(&inverted));
    EXPECT_TRUE(IsRectEmpty(nullptr));
    EXPECT_FALSE(SetRect(nullptr, 0, 0, 1, 1));
    EXPECT_FALSE(CopyRect(&a, nullptr));
}

TEST(Win32Rect, PointsOnTheRightAndBottomEdgesAreOutside)
{
    const RECT r = {0, 0, 10, 5};
    EXPECT_TRUE(PtInRect(&r, POINT{0, 0}));
    EXPECT_TRUE(PtInRect(&r, POINT{9, 4}));
    EXPECT_FALSE(PtInRect(&r, POINT{10, 4}));
    EXPECT_FALSE(PtInRect(&r, POINT{9, 5}));
    EXPECT_FALSE(PtInRect(&r, POINT{-1, 0}));
    EXPECT_FALSE(PtInRect(nullptr, POINT{0, 0}));
}

TEST(Win32Rect, OffsetAndInflate)
{
    RECT r = {1, 2, 3, 4};
    EXPECT_TRUE(OffsetRect(&r, 10, -20));
    EXPECT_TRUE(Is(r, 11, -18, 13, -16));
    EXPECT_TRUE(InflateRect(&r, 1, 2));
    EXPECT_TRUE(Is(r, 10, -20, 14, -14));
    EXPECT_TRUE(InflateRect(&r, -2, -3));
    EXPECT_TRUE(Is(r, 12, -17, 12, -17));
    // Extreme values wrap as 32-bit arithmetic does, without overflow traps.
    RECT edge = {0x7FFFFFFF, 0, 0x7FFFFFFF, 0};
    EXPECT_TRUE(OffsetRect(&edge, 1, 0));
    EXPECT_EQ(edge.left, LONG(INT32_MIN));
}

TEST(Win32Rect, Intersection)
{
    const RECT a = {0, 0, 10, 10}, b = {5, 3, 15, 8};
    RECT out;
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    EXPECT_TRUE(Is(out, 5, 3, 10, 8));
    // Touching edges do not overlap.
    const RECT touching = {10, 0, 20, 10};
    EXPECT_FALSE(IntersectRect(&out, &a, &touching));
    EXPECT_TRUE(Is(out, 0, 0, 0, 0));
    EXPECT_FALSE(IntersectRect(nullptr, &a, &b));
}

TEST(Win32Rect, UnionLeavesEmptyRectanglesOut)
{
    const RECT a = {0, 0, 2, 2}, b = {5, 6, 7, 8}, empty = {100, 100, 100, 200};
    RECT out;
    EXPECT_TRUE(UnionRect(&out, &a, &b));
    EXPECT_TRUE(Is(out, 0, 0, 7, 8));
    EXPECT_TRUE(UnionRect(&out, &empty, &b));
    EXPECT_TRUE(Is(out, 5, 6, 7, 8));
    EXPECT_TRUE(UnionRect(&out, &a, &empty));
    EXPECT_TRUE(Is(out, 0, 0, 2, 2));
    EXPECT_FALSE(UnionRect(&out, &empty, &empty));
    EXPECT_TRUE(Is(out, 0, 0, 0, 0));
}
