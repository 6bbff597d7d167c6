// Drawing the window tree onto the back screen, seen in the presented
// pixels, and the window's own back: setters, composition by ChangeSize from
// nine pieces or one tiled piece.
#include "kwnd_fixture.h"

#include <engine_access.h>
#include <test_graph.h>

namespace {

class DrawTest : public WndTest {
protected:
    void SetUp() override
    {
        WndTest::SetUp();
        ASSERT_EQ(m_main.Create(KestrelWnd::m_ClassName, "main", WS_POPUP | WS_VISIBLE, 0, 0, 160,
                                120, (HWND)NULL, 0),
                  0);
        m_hwnd = m_main.GetHandle();
        m_main.SetGraph(MakeGraph(m_hwnd, 160, 120));
    }
    void TearDown() override
    {
        m_main.Release();
        WndTest::TearDown();
    }
    // A control of the main window with a solid back.
    void Solid(KestrelWnd& wnd, int x, int y, int w, int h, WORD colour)
    {
        wnd.SetGraph(m_graph);
        MakeControl(wnd, m_main, x, y, w, h);
        GiveBack(wnd, w, h, colour);
    }
    WORD At(int x, int y) { return Presented(m_hwnd, x, y); }
    KSprite* Picture(int w, int h, WORD fill)
    {
        KSprite* s = m_graph->CreateSprite(w, h, KCM_R5G6B5, 0);
        s->_clear(fill);
        return s;
    }

    KestrelMainWnd m_main;
    HWND m_hwnd = nullptr;
};

TEST_F(DrawTest, ListOrderThenFocusThenTopWithHiddenWindowsLeftOut)
{
    KestrelWnd top, focus, a, b, c;
    Solid(top, 50, 50, 10, 10, 0xF800);
    Solid(focus, 45, 45, 10, 10, 0x07E0);
    Solid(a, 0, 0, 100, 100, 0x001F);
    Solid(b, 20, 20, 60, 60, 0xFFE0);
    Solid(c, 30, 30, 20, 20, 0x07FF);
    m_main.SetTopChild(&top);   // first in the list, drawn last
    m_main.FocusChild(&focus);  // second in the list, drawn after the rest
    ASSERT_EQ(m_main.Render(NULL), 0);
    // Each window is drawn once: top and focus are not drawn again in the list.
    EXPECT_EQ(KRenderEngineAccess::Previous(m_graph->GetRenderEngine()).size(), 5u);
    EXPECT_EQ(At(5, 5), 0x001F);    // a alone
    EXPECT_EQ(At(25, 25), 0xFFE0);  // b over a
    EXPECT_EQ(At(35, 35), 0x07FF);  // c over b
    EXPECT_EQ(At(46, 46), 0x07E0);  // focus over c
    EXPECT_EQ(At(52, 52), 0xF800);  // top over focus
    EXPECT_EQ(At(120, 110), 0x0000);

    b.HideWindow();
    top.HideWindow();
    ASSERT_EQ(m_main.Render(NULL), 0);
    EXPECT_EQ(At(25, 25), 0x001F);
    EXPECT_EQ(At(52, 52), 0x07E0);
    m_main.HideWindow();  // a hidden tree draws nothing
    m_main.Render(NULL);
    EXPECT_TRUE(KRenderEngineAccess::Previous(m_graph->GetRenderEngine()).empty());
}

TEST_F(DrawTest, TheBackIsDrawnPlainKeyedOrBlended)
{
    KestrelWnd under, keyed, blended, both;
    Solid(under, 0, 0, 160, 120, 0x8410);
    Solid(keyed, 0, 0, 10, 10, 0xF800);
    Solid(blended, 20, 0, 10, 10, 0xF800);
    Solid(both, 40, 0, 10, 10, 0xF800);
    keyed.GetBackSpr()->_clear(0, 0, 5, 10, 0);  // the key: transparent
    both.GetBackSpr()->_clear(0, 0, 5, 10, 0);
    keyed.AddState(KWND_STATE_BACK_COLORKEY);
    blended.AddState(KWND_STATE_BACK_ALPHA);
    both.AddState(KWND_STATE_BACK_ALPHA | KWND_STATE_BACK_COLORKEY);
    // What a blend at 127 of red over the grey gives, worked out by the device.
    KSprite* ref = Picture(1, 1, 0x8410);
    KSprite* red = Picture(1, 1, 0xF800);
    ref->_blt_alpha(0, 0, red, 0, 0, 1, 1, BYTE(127));
    const WORD mix = Px16(ref->GetData(), 0, 0);
    ASSERT_NE(mix, 0x8410);
    ASSERT_NE(mix, 0xF800);

    ASSERT_EQ(m_main.Render(NULL), 0);
    EXPECT_EQ(At(2, 2), 0x8410);
    EXPECT_EQ(At(7, 2), 0xF800);
    EXPECT_EQ(At(22, 2), mix);
    EXPECT_EQ(At(27, 2), mix);
    EXPECT_EQ(At(42, 2), 0x8410);
    EXPECT_EQ(At(47, 2), mix);
    // Without KWND_STATE_BACK nothing is drawn.
    keyed.SubState(KWND_STATE_BACK);
    m_main.Render(NULL);
    EXPECT_EQ(At(7, 2), 0x8410);
    m_graph->ReleaseKSprite(ref);
    m_graph->ReleaseKSprite(red);
}

// The nine frame pieces in a 30 x 30 atlas, each 10 x 10 at its place in
// the frame; pixel (lx, ly) of piece i is 0x8000 | i << 8 | ly << 4 | lx.
KSprite* FrameAtlas(KGraph* g, RECT rc[KWND_SPR_NUMS])
{
    static const int kCol[KWND_SPR_NUMS] = {0, 1, 2, 2, 2, 1, 0, 0, 1};
    static const int kRow[KWND_SPR_NUMS] = {0, 0, 0, 1, 2, 2, 2, 1, 1};
    KSprite* atlas = g->CreateSprite(30, 30, KCM_R5G6B5, KSPR_COLORKEY);
    for (int i = 0; i < KWND_SPR_NUMS; i++) {
        rc[i] = RECT{kCol[i] * 10, kRow[i] * 10, kCol[i] * 10 + 10, kRow[i] * 10 + 10};
        for (int ly = 0; ly < 10; ly++)
            for (int lx = 0; lx < 10; lx++)
                *SpritePixel16(atlas->GetData(), rc[i].left + lx, rc[i].top + ly) =
                    WORD(0x8000 | i << 8 | ly << 4 | lx);
    }
    return atlas;
}

WORD Expected(long x, long y, long W, long H)
{
    const int col = x < 10 ? 0 : (x < W - 10 ? 1 : 2);
    const int row = y < 10 ? 0 : (y < H - 10 ? 1 : 2);
    const long lx = col == 0 ? x : (col == 1 ? (x - 10) % 10 : x - (W - 10));
    const long ly = row == 0 ? y : (row == 1 ? (y - 10) % 10 : y - (H - 10));
    static const int kPiece[3][3] = {{0, 1, 2}, {7, 8, 3}, {6, 5, 4}};
    return WORD(0x8000 | kPiece[row][col] << 8 | ly << 4 | lx);
}

TEST_F(DrawTest, ChangeSizeComposesTheNinePiecesWithNarrowedLastTiles)
{
    RECT rc[KWND_SPR_NUMS];
    KSprite* atlas = FrameAtlas(m_graph, rc);
    Probe wnd;
    wnd.SetGraph(m_graph);
    MakeControl(wnd, m_main, 5, 5, 10, 10);
    wnd.CreateWndBackSpr(10, 10, KSPR_COLORKEY);
    for (int i = 0; i < KWND_SPR_NUMS; i++)
        wnd.SetBackExSprite(atlas, i, rc[i], true);
    m_graph->ReleaseKSprite(atlas);  // the views keep its pixels
    wnd.AddState(KWND_STATE_BACK | KWND_STATE_BACKEX);

    // 37 wide: top, centre and bottom tiles at 10 and 20, the last 7 wide;
    // 34 high: middle rows at 10 and 20, the last 4 high.
    wnd.ChangeSize(37, 34);
    EXPECT_EQ(*wnd.GetRect(), (RECT{5, 5, 42, 39}));
    KSprite* back = wnd.GetBackSpr();
    ASSERT_NE(back, nullptr);
    SPRITE_DATA* grown = back->GetData();
    EXPECT_EQ(grown->width, 37);
    EXPECT_EQ(grown->height, 34);
    EXPECT_EQ(grown->flags & KSPR_COLORKEY, DWORD(KSPR_COLORKEY));  // the old block's flags
    for (long y = 0; y < 34; y++)
        for (long x = 0; x < 37; x++)
            ASSERT_EQ(Px16(grown, x, y), Expected(x, y, 37, 34)) << x << "," << y;

    // Presented where the window is.
    ASSERT_EQ(m_main.Render(NULL), 0);
    EXPECT_EQ(At(5, 5), Expected(0, 0, 37, 34));
    EXPECT_EQ(At(41, 38), Expected(36, 33, 37, 34));

    // Shrunk: the same block, a narrower rectangle, composed anew.
    wnd.ChangeSize(25, 22);
    EXPECT_EQ(back->GetData(), grown);
    EXPECT_EQ(back->GetRect(), (RECT{0, 0, 25, 22}));
    for (long y = 0; y < 22; y++)
        for (long x = 0; x < 25; x++)
            ASSERT_EQ(Px16(grown, x, y), Expected(x, y, 25, 22)) << x << "," << y;
}

TEST_F(DrawTest, ChangeSizeLeavesABackItDoesNotComposeAlone)
{
    // A picture others hold too, shown through a view.
    KSprite* picture = Picture(20, 20, 0x1234);
    Probe wnd;
    wnd.SetGraph(m_graph);
    MakeControl(wnd, m_main, 0, 0, 20, 20);
    RECT part = {5, 5, 15, 15};
    wnd.SetBackSprite(picture, part, false);
    wnd.AddState(KWND_STATE_BACK);
    wnd.ChangeSize(8, 8);
    wnd.ChangeSize(40, 40);
    EXPECT_EQ(*wnd.GetRect(), (RECT{0, 0, 40, 40}));
    EXPECT_EQ(wnd.GetBackSpr()->GetData(), picture->GetData());
    EXPECT_EQ(wnd.GetBackSpr()->GetRect(), part);
    for (long y = 0; y < 20; y++)
        for (long x = 0; x < 20; x++)
            ASSERT_EQ(Px16(picture->GetData(), x, y), 0x1234);
    m_graph->ReleaseKSprite(picture);
}

TEST_F(DrawTest, TheTiledBackRepeatsThePiecesOwnRectangle)
{
    KSprite* atlas = Picture(20, 10, 0x1111);
    atlas->_clear(10, 0, 10, 10, 0x2222);
    atlas->_clear(10, 0, 10, 1, 0x3333);  // the piece's top row
    Probe wnd;
    wnd.SetGraph(m_graph);
    MakeControl(wnd, m_main, 0, 0, 5, 5);
    wnd.CreateWndBackSpr(5, 5, 0);
    RECT piece = {10, 0, 20, 10};
    wnd.SetBackEx2Sprite(atlas, piece, false);
    wnd.AddState(KWND_STATE_BACK | KWND_STATE_BACKEX2);
    wnd.ChangeSize(25, 15);
    SPRITE_DATA* back = wnd.GetBackSpr()->GetData();
    for (long y = 0; y < 15; y++)
        for (long x = 0; x < 25; x++)
            ASSERT_EQ(Px16(back, x, y), y % 10 == 0 ? 0x3333 : 0x2222) << x << "," << y;
    // Recomposed at the same size, the new pixels reach the next frame.
    ASSERT_EQ(m_main.Render(NULL), 0);
    EXPECT_EQ(At(3, 3), 0x2222);
    atlas->_clear(10, 0, 10, 10, 0x4444);
    wnd.ChangeSize(25, 15);
    ASSERT_EQ(m_main.Render(NULL), 0);
    EXPECT_EQ(At(3, 3), 0x4444);
    m_graph->ReleaseKSprite(atlas);
}

TEST_F(DrawTest, PiecesWithoutAreaOrMissingAreLeftOut)
{
    RECT rc[KWND_SPR_NUMS];
    KSprite* atlas = FrameAtlas(m_graph, rc);
    Probe wnd;
    wnd.SetGraph(m_graph);
    MakeControl(wnd, m_main, 0, 0, 10, 10);
    wnd.CreateWndBackSpr(40, 40, 0);
    for (int i = 0; i < KWND_SPR_NUMS; i++)
        wnd.SetBackExSprite(atlas, i, rc[i], true);
    RECT flat = {10, 0, 10, 10};  // top edge without width
    RECT low = {20, 10, 30, 10};  // right edge without height
    wnd.SetBackExSprite(atlas, 1, flat, true);
    wnd.SetBackExSprite(atlas, 3, low, true);
    wnd.AddState(KWND_STATE_BACKEX);
    wnd.ChangeSize(40, 40);  // would never end with a zero step
    SPRITE_DATA* back = wnd.GetBackSpr()->GetData();
    EXPECT_EQ(Px16(back, 0, 0), Expected(0, 0, 40, 40));
    EXPECT_EQ(Px16(back, 15, 0), 0);                         // no top edge
    EXPECT_EQ(Px16(back, 15, 15), 0);                        // no rows without the step
    EXPECT_EQ(Px16(back, 39, 39), Expected(39, 39, 40, 40)); // corners still there

    // The tiled piece without area, and a frame with pieces missing.
    Probe tiled;
    tiled.SetGraph(m_graph);
    MakeControl(tiled, m_main, 0, 0, 10, 10);
    tiled.CreateWndBackSpr(10, 10, 0);
    RECT none = {0, 0, 0, 5};
    tiled.SetBackEx2Sprite(atlas, none, false);
    tiled.AddState(KWND_STATE_BACKEX2);
    tiled.ChangeSize(20, 20);
    EXPECT_EQ(Px16(tiled.GetBackSpr()->GetData(), 5, 5), 0);
    Probe sparse;
    sparse.SetGraph(m_graph);
    MakeControl(sparse, m_main, 0, 0, 10, 10);
    sparse.CreateWndBackSpr(30, 30, 0);
    sparse.SetBackExSprite(atlas, 8, rc[8], false);
    sparse.AddState(KWND_STATE_BACKEX);
    sparse.ChangeSize(30, 30);
    EXPECT_EQ(Px16(sparse.GetBackSpr()->GetData(), 0, 0), 0);
    m_graph->ReleaseKSprite(atlas);
}

TEST_F(DrawTest, SettersReplaceAndReleaseWhatTheFieldHeld)
{
    KSprite* picture = Picture(20, 20, 0x1234);
    SPRITE_DATA* data = picture->GetData();
    ASSERT_EQ(data->ref, 1u);
    RECT rc = {0, 0, 10, 10};
    {
        Probe wnd;
        wnd.SetBackExSprite(picture, 4, rc, false);
        wnd.SetBackExSprite(picture, 4, rc, false);
        EXPECT_EQ(data->ref, 2u);
        EXPECT_FALSE(wnd.GetState() & KWND_STATE_BACK_COLORKEY);
        wnd.SetBackEx2Sprite(picture, rc, true);
        EXPECT_TRUE(wnd.GetState() & KWND_STATE_BACK_COLORKEY);
        wnd.SetBackSprite(picture, rc, false);
        wnd.SetBackSprite(wnd.GetBackSpr(), rc, false);  // a view of its own back
        EXPECT_EQ(data->ref, 4u);
        EXPECT_EQ(wnd.GetState() & (KWND_STATE_BACK | KWND_STATE_BACKEX | KWND_STATE_BACKEX2), 0u);

        wnd.SetBackExSprite(picture, 9, rc, false);
        EXPECT_TRUE(Asserted("index < KWND_SPR_NUMS && index >= 0"));
        wnd.SetBackExSprite(nullptr, 0, rc, false);
        EXPECT_TRUE(Asserted("lps != NULL"));
        EXPECT_EQ(wnd.Piece(0), nullptr);
        EXPECT_NE(wnd.Piece(4), nullptr);
    }
    EXPECT_EQ(data->ref, 1u);  // the window released its three views
    m_graph->ReleaseKSprite(picture);
}

TEST_F(DrawTest, BacksWithoutADeviceOrSizeStayEmpty)
{
    Probe wnd;
    wnd.CreateWndBackSpr(10, 10, 0);
    EXPECT_TRUE(Asserted("m_Graph"));
    EXPECT_EQ(wnd.GetBackSpr(), nullptr);
    wnd.SetGraph(nullptr);
    EXPECT_TRUE(Asserted("graph != NULL"));
    wnd.SetGraph(m_graph);
    EXPECT_EQ(wnd.GetKFont(), &m_font);
    wnd.CreateWndBackSpr(0, 10, 0);
    EXPECT_EQ(wnd.GetBackSpr(), nullptr);
    EXPECT_TRUE(Logged("KestrelWnd::CreateWndBackSpr(0, 10)"));
    wnd.CreateWndBackSpr(10, 10, 0);
    wnd.AddState(KWND_STATE_BACKEX2);
    wnd.ChangeSize(-4, 10);  // nothing to compose into
    EXPECT_EQ(wnd.GetBackSpr()->GetData()->width, 10);
    // A second back replaces the first.
    wnd.CreateWndBackSpr(12, 12, 0);
    EXPECT_TRUE(Asserted("m_sprWndBack == NULL"));
    EXPECT_EQ(wnd.GetBackSpr()->GetData()->width, 12);
}

}  // namespace
