// The GDI device: pixel blocks, reference counts, the back screen, locking,
// lines and presentation.
#include <cstdint>
#include <type_traits>
#include "graph_fixture.h"

static_assert(!std::is_copy_constructible<KGraph>::value, "a device is never copied");
static_assert(!std::is_copy_assignable<KGraphGDI>::value, "a device is never copied");

// Lets the tests put a block into the cache as the loaders will.
struct KSpriteManagerAccess {
    static bool Insert(KSpriteManager* m, const char* name, SPRITE_DATA* d)
    {
        return m->_insert(name, d);
    }
    static SPRITE_DATA* Find(KSpriteManager* m, const char* name) { return m->_find(name); }
};

using GdiDevice = GraphTest<>;

TEST_F(GdiDevice, CreateSpriteRoundsWidthToFourAndPitchToEightBytes)
{
    SPRITE_DATA* s = g._createsprite(5, 3, KCM_R5G6B5, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->width, 5);
    EXPECT_EQ(s->height, 3);
    EXPECT_EQ(s->alignwidth, 8);
    EXPECT_EQ(s->pitch, 16u);
    EXPECT_EQ(s->rows, 3);
    EXPECT_EQ(s->ref, 1u);
    EXPECT_EQ(s->kcm, KCM_R5G6B5);
    EXPECT_EQ(s->flags, 0u);
    EXPECT_EQ(s->reserved[0], 0u);
    EXPECT_EQ(s->reserved[1], 0u);
    for (int r = 0; r < 3; r++)
        EXPECT_EQ(s->lpRows[r], s->lpRows[0] + 16 * r);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(s->lpRows[0]) % 32, 0u);  // wide loads
    g._releasesprite(s);
    EXPECT_EQ(s, nullptr);

    SPRITE_DATA* grey = g._createsprite(5, 3, KCM_GRAY, 17);
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(grey->alignwidth, 8);
    EXPECT_EQ(grey->pitch, 8u);
    EXPECT_EQ(grey->flags, 17u);
    g._releasesprite(grey);

    SPRITE_DATA* exact = g._createsprite(8, 1, KCM_R5G6B5, 16);
    EXPECT_EQ(exact->alignwidth, 8);
    g._releasesprite(exact);
}

TEST_F(GdiDevice, CreateSpriteRejectsOtherModesSilently)
{
    Log();
    for (auto cm : {KCM_X1R5G5B5, KCM_A1R5G5B5, KCM_R8G8B8, KCM_A8R8G8B8, KCM_P8})
        EXPECT_EQ(g._createsprite(4, 4, cm, 0), nullptr);
    EXPECT_TRUE(Log().empty());
}

TEST_F(GdiDevice, CreateSpriteRejectsEmptyNegativeAndOversizedBlocks)
{
    EXPECT_EQ(g._createsprite(0, 5, KCM_R5G6B5, 0), nullptr);
    EXPECT_EQ(g._createsprite(5, 0, KCM_R5G6B5, 0), nullptr);
    EXPECT_EQ(g._createsprite(-4, 5, KCM_GRAY, 0), nullptr);
    EXPECT_EQ(g._createsprite(1L << 30, 1L << 30, KCM_R5G6B5, 0), nullptr);
    EXPECT_EQ(g._createsprite(1L << 40, 1, KCM_GRAY, 0), nullptr);
    EXPECT_EQ(g._createsprite(40000, 40000, KCM_R5G6B5, 0), nullptr);  // 3.2 GB
    EXPECT_EQ(g.CreateSprite(0, 0, KCM_R5G6B5, 0), nullptr);
    EXPECT_EQ(g.CreateSprite(8, 8, KCM_X1R5G5B5, 0), nullptr);
}

TEST_F(GdiDevice, ReleaseSpriteCountsDownThenFreesAndForgetsTheCacheRecord)
{
    SPRITE_DATA* s = g._createsprite(4, 4, KCM_R5G6B5, 0);
    ASSERT_TRUE(KSpriteManagerAccess::Insert(g.GetSpriteManager(), "a.kpc", s));
    s->ref = 3;
    SPRITE_DATA* p = s;
    g._releasesprite(p);
    EXPECT_EQ(p, s);
    EXPECT_EQ(s->ref, 2u);
    g._releasesprite(p);
    EXPECT_EQ(s->ref, 1u);
    EXPECT_EQ(KSpriteManagerAccess::Find(g.GetSpriteManager(), "a.kpc"), s);
    g._releasesprite(p);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(KSpriteManagerAccess::Find(g.GetSpriteManager(), "a.kpc"), nullptr);
    EXPECT_EQ(g.GetSpriteManager()->GetCount(), 0u);

    SPRITE_DATA* none = nullptr;
    g._releasesprite(none);  // left alone
    EXPECT_EQ(none, nullptr);
}

TEST_F(GdiDevice, SpriteHandlesShareDataByReference)
{
    SPRITE_DATA* s = g._createsprite(10, 10, KCM_R5G6B5, 0);
    KSprite* h = g.CreateSprite(s);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(s->ref, 2u);
    EXPECT_EQ(h->GetRect().right, 10);
    EXPECT_EQ(h->GetRenderEngine(), g.GetRenderEngine());
    {
        RECT rc = {2, 2, 6, 6};
        KSprite view(*h, rc);
        EXPECT_EQ(s->ref, 3u);
        EXPECT_EQ(view.GetRectWidth(), 4u);
        KSprite copy;
        copy = view;
        EXPECT_EQ(s->ref, 4u);
        EXPECT_EQ(copy.GetRect().left, 2);
    }
    EXPECT_EQ(s->ref, 2u);
    g.ReleaseKSprite(h);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(s->ref, 1u);
    g._releasesprite(s);

    KSprite* owned = g.CreateSprite(7, 3, KCM_GRAY, 0);
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(owned->GetWidth(), 7);
    EXPECT_EQ(owned->GetRectHeight(), 3u);
    g.ReleaseKSprite(owned);

    KSprite* nothing = nullptr;
    g.ReleaseKSprite(nothing);
    EXPECT_EQ(nothing, nullptr);
}

TEST_F(GdiDevice, LockGivesRowsAndLockRectGivesTheCornerPixel)
{
    SPRITE_DATA* s = g._createsprite(10, 9, KCM_R5G6B5, 0);
    void* bits = nullptr;
    DWORD pitch = 0;
    long w = 0, h = 0;
    EXPECT_EQ(g._locksprite(s, &bits, pitch, w, h), 0);
    EXPECT_EQ(bits, s->lpRows[0]);
    EXPECT_EQ(pitch, 24u);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 9);
    EXPECT_EQ(g._unlocksprite(s), 0);

    RECT rc = {2, 3, 6, 7};
    EXPECT_EQ(g._locksprite_r(s, &rc, &bits, pitch, w, h), 0);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 4);
    EXPECT_EQ(bits, s->lpRows[3] + 4);
    EXPECT_EQ(g._locksprite_r(s, nullptr, &bits, pitch, w, h), 0);
    EXPECT_EQ(bits, s->lpRows[0]);
    EXPECT_EQ(w, 10);
    g._releasesprite(s);

    SPRITE_DATA* grey = g._createsprite(10, 9, KCM_GRAY, 0);
    EXPECT_EQ(g._locksprite_r(grey, &rc, &bits, pitch, w, h), 0);
    EXPECT_EQ(bits, grey->lpRows[3] + 2);
    g._releasesprite(grey);
}

class Lines : public GdiDevice {
protected:
    void SetUp() override
    {
        GdiDevice::SetUp();
        s = g._createsprite(10, 10, KCM_R5G6B5, 0);
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < 10; x++)
                *SpritePixel16(s, x, y) = 0;
    }
    void TearDown() override
    {
        g._releasesprite(s);
        GdiDevice::TearDown();
    }
    int Count(WORD c)
    {
        int n = 0;
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < 10; x++)
                n += Px16(s, x, y) == c;
        return n;
    }
    SPRITE_DATA* s = nullptr;
};

TEST_F(Lines, PointSetsOnePixel)
{
    g._line(s, 5, 5, 5, 5, 0x1234);
    EXPECT_EQ(Px16(s, 5, 5), 0x1234);
    EXPECT_EQ(Count(0x1234), 1);
}

TEST_F(Lines, RisingDiagonal)
{
    g._line(s, 0, 9, 9, 0, 0xFFFF);
    for (int i = 0; i < 10; i++)
        EXPECT_EQ(Px16(s, i, 9 - i), 0xFFFF) << i;
    EXPECT_EQ(Count(0xFFFF), 10);
}

TEST_F(Lines, EndpointsOutsideAreMovedToTheEdge)
{
    g._line(s, -5, 3, 4, 3, 0xF800);
    for (int x = 0; x <= 4; x++)
        EXPECT_EQ(Px16(s, x, 3), 0xF800);
    EXPECT_EQ(Count(0xF800), 5);

    g._line(s, 20, -7, 20, 30, 0x07E0);  // clamped to x = 9, y 0..9
    for (int y = 0; y < 10; y++)
        EXPECT_EQ(Px16(s, 9, y), 0x07E0);
    EXPECT_EQ(Count(0x07E0), 10);
}

TEST_F(Lines, ShallowLineStepsByErrorSums)
{
    g._line(s, 0, 0, 9, 3, 0xABCD);  // n = 9: y steps after the 3rd, 6th and 9th pixel
    const int expectY[10] = {0, 0, 0, 1, 1, 1, 2, 2, 2, 3};
    for (int x = 0; x < 10; x++)
        EXPECT_EQ(Px16(s, x, expectY[x]), 0xABCD) << x;
    EXPECT_EQ(Count(0xABCD), 10);
}

TEST_F(Lines, ColourIsCutToSixteenBits)
{
    g._line(s, 1, 1, 1, 2, 0x12345678);
    EXPECT_EQ(Px16(s, 1, 1), 0x5678);
    EXPECT_EQ(Px16(s, 1, 2), 0x5678);
}

TEST_F(GdiDevice, LineOnGreySpriteDrawsNothingAndLogs)
{
    SPRITE_DATA* grey = g._createsprite(4, 4, KCM_GRAY, 0);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            grey->lpRows[y][x] = 7;
    Log();
    g._line(grey, 0, 0, 3, 3, 0xFF);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(Px8(grey, x, y), 7);
    EXPECT_TRUE(Logged("_line_ds7:没有定义的kcm!"));
    g._releasesprite(grey);
}

TEST_F(GdiDevice, PrintAnythingWritesThreeDebugLines)
{
    Log();
    g._printanything();
    auto log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].text, "**********   printf everything for gdi   **********");
    EXPECT_EQ(log[1].text, "bIs555=false");
    EXPECT_EQ(log[2].text, "****************    printf end.    ****************");
    EXPECT_EQ(log[1].kind, kbase::LogEntry::DebugLine);
}

TEST_F(GdiDevice, InitMakesBackScreenWithoutCutSprite)
{
    EXPECT_TRUE(g.IsInited());
    ASSERT_NE(g.GetBackScreenData(), nullptr);
    EXPECT_EQ(g.GetBackScreenData()->width, 64);
    EXPECT_EQ(g.GetBackScreenData()->kcm, KCM_R5G6B5);
    EXPECT_EQ(g.GetBackScreen()->GetRect().right, 64);
    EXPECT_EQ(g.GetBackScreen()->GetRect().bottom, 48);
    EXPECT_EQ(g.GetScreenW(), 64);
    EXPECT_EQ(g.GetScreenH(), 48);
    EXPECT_EQ(g.GetDefaultColorMode(), KCM_R5G6B5);
    EXPECT_NE(g.GetRenderEngine(), nullptr);
    EXPECT_NE(g.GetSpriteManager(), nullptr);
    EXPECT_EQ(rgb, &rgb_565);
    EXPECT_EQ(g.GetBackScreen()->GetRenderEngine(), g.GetRenderEngine());
}

TEST_F(GdiDevice, ResizeSmallerKeepsTheBlockLargerMakesANewOne)
{
    SPRITE_DATA* first = g.GetBackScreenData();
    g.ReSizeBackScreen(32, 16, KCM_R5G6B5, false);
    EXPECT_EQ(g.GetBackScreenData(), first);
    EXPECT_EQ(g.GetScreenW(), 32);
    EXPECT_EQ(g.GetScreenH(), 16);
    EXPECT_EQ(g.GetBackScreen()->GetRect().right, 32);
    EXPECT_EQ(g.GetBackScreen()->GetRect().bottom, 16);

    g.ReSizeBackScreen(64, 49, KCM_R5G6B5, false);
    SPRITE_DATA* taller = g.GetBackScreenData();
    ASSERT_NE(taller, nullptr);
    EXPECT_EQ(taller->width, 64);
    EXPECT_EQ(taller->height, 49);
    EXPECT_EQ(g.GetBackScreen()->GetRect().bottom, 49);
}

TEST_F(GdiDevice, ResizeThatCannotMakeTheBlockReportsAndLeavesNoBackScreen)
{
    Log();
    g.ReSizeBackScreen(1L << 20, 1L << 20, KCM_R5G6B5, false);
    EXPECT_EQ(g.GetBackScreenData(), nullptr);
    EXPECT_TRUE(Logged("_createbackscreen_gdi:_createsprite"));
    EXPECT_TRUE(Logged("ReSizeBackScreen:_createbackscreen"));
    EXPECT_EQ(g.GetScreenW(), 64);  // everything else unchanged
}

TEST_F(GdiDevice, ReleaseFreesEverythingOnceAndOnlyWhenInitialised)
{
    g.Release();
    EXPECT_FALSE(g.IsInited());
    EXPECT_EQ(g.GetBackScreenData(), nullptr);
    EXPECT_EQ(g.GetSpriteManager(), nullptr);
    EXPECT_EQ(g.GetRenderEngine(), nullptr);
    g.Release();  // nothing left to do
    EXPECT_FALSE(g.IsInited());
}

TEST_F(GdiDevice, SecondInitMarkTripsTheAssertion)
{
    g.IAmInit();
    EXPECT_TRUE(Asserted("!IsInited()"));
    g.IAmRelease();
    g.IAmRelease();
    EXPECT_TRUE(Asserted("IsInited()"));
    g.IAmInit();
}

class Presentation : public GdiDevice {
protected:
    // Fills the back screen with a pattern whose every pixel differs.
    void Pattern()
    {
        SPRITE_DATA* b = g.GetBackScreenData();
        for (long y = 0; y < b->height; y++)
            for (long x = 0; x < b->width; x++)
                *SpritePixel16(b, x, y) = WORD(x * 997 + y * 131 + 1);
    }
};

TEST_F(Presentation, CopiesTheClientRectangleBitExact)
{
    HWND hwnd = MakeWindow(40, 30);
    g.SetHWND(hwnd);
    g.GetRenderRect();
    EXPECT_EQ(g.GetClientRect().right, 40);
    EXPECT_EQ(g.GetClientRect().bottom, 30);
    Pattern();
    RECT window = *g.GetScreenRect(), client = g.GetClientRect();
    EXPECT_EQ(g._render(g.GetBackScreenData(), window, client), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 40; x++)
            ASSERT_EQ(SurfaceTo565(desktop::Pixel(hwnd, x, y)), Px16(g.GetBackScreenData(), x, y))
                << x << "," << y;
}

TEST_F(Presentation, ClientLargerThanBackScreenIsClipped)
{
    HWND hwnd = MakeWindow(100, 80);
    g.SetHWND(hwnd);
    g.GetRenderRect();
    Pattern();
    RECT window = *g.GetScreenRect(), client = g.GetClientRect();
    EXPECT_EQ(g._render(g.GetBackScreenData(), window, client), 0);
    EXPECT_EQ(SurfaceTo565(desktop::Pixel(hwnd, 63, 47)), Px16(g.GetBackScreenData(), 63, 47));
    EXPECT_EQ(desktop::Pixel(hwnd, 64, 0), 0u);
    EXPECT_EQ(desktop::Pixel(hwnd, 0, 48), 0u);
}

TEST_F(Presentation, MissingBackScreenOrFailedCopyIsEFail)
{
    HWND hwnd = MakeWindow(40, 30);
    g.SetHWND(hwnd);
    g.GetRenderRect();
    RECT window = *g.GetScreenRect(), client = g.GetClientRect();
    EXPECT_EQ(g._render(nullptr, window, client), E_FAIL);
    desktop::FailOnce("SetDIBitsToDevice");
    EXPECT_EQ(g._render(g.GetBackScreenData(), window, client), E_FAIL);
    EXPECT_EQ(desktop::PresentCount(hwnd), 0);
    EXPECT_EQ(g._render(g.GetBackScreenData(), window, client), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);
}

TEST_F(Presentation, RenderRectPresentsEvenWhenNothingWasReplayed)
{
    HWND hwnd = MakeWindow(40, 30, 100, 50);
    g.SetHWND(hwnd);
    g.GetRenderRect();
    EXPECT_EQ(g.GetScreenRect()->left, 100);
    EXPECT_EQ(g.GetScreenRect()->top, 50);
    Pattern();
    EXPECT_EQ(g.Render(), 0);  // nothing recorded: the window is not touched
    EXPECT_EQ(desktop::PresentCount(hwnd), 0);

    RECT rc = {8, 4, 20, 10};
    EXPECT_EQ(g.Render(rc), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);
    EXPECT_EQ(SurfaceTo565(desktop::Pixel(hwnd, 8, 4)), Px16(g.GetBackScreenData(), 8, 4));
    EXPECT_EQ(SurfaceTo565(desktop::Pixel(hwnd, 19, 9)), Px16(g.GetBackScreenData(), 19, 9));
    EXPECT_EQ(desktop::Pixel(hwnd, 7, 4), 0u);
    EXPECT_EQ(desktop::Pixel(hwnd, 20, 9), 0u);

    RECT all = {0, 0, 40, 30};
    g.RenderToScreen(all);
    EXPECT_EQ(desktop::PresentCount(hwnd), 2);
    EXPECT_EQ(SurfaceTo565(desktop::Pixel(hwnd, 0, 0)), Px16(g.GetBackScreenData(), 0, 0));
}
