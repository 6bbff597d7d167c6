// The image box driven as a player drives it: the mouse at the main window,
// the router and the queue; the notifications heard, the links requested,
// the cursor shown and the pixels presented.
#include "controls_fixture.h"

#include <random>

namespace {

// Reaches the box's stretched copy, which the tests compare by identity.
class ImageBox : public KWndImageBox {
public:
    KSprite* Copy() const { return m_sprData; }
};

// Every pixel differs from its neighbours, so a wrong source column shows.
WORD Pattern(int x, int y)
{
    return WORD(0x0841 * (x + 1) + 0x2000 * y + 0x0005 * (x * y % 5));
}

class ImageBoxTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        desktop::UseManualClock(1000);
        OpenMain(160, 100, 40, 30, true);
        m_picture = Bmp("picture.bmp", 7, 5, Pattern);
    }
    void Make(KWndImageBox& b, int x, int y, int w, int h, UINT id = 5)
    {
        b.SetGraph(m_graph);
        ASSERT_EQ(b.Create("", WS_CHILD | WS_VISIBLE, x, y, w, h, &m_main, id), 0);
        m_main.AddChild(&b);
    }
    char* Picture() { return const_cast<char*>(m_picture.c_str()); }
    static HCURSOR Standard(LPCSTR id) { return LoadCursorA(NULL, id); }
    // The class cursor of every framework window, read through the main one.
    HCURSOR ClassCursor()
    {
        return reinterpret_cast<HCURSOR>(GetClassLongPtrA(m_hwnd, GCLP_HCURSOR));
    }
    // Every presented pixel of (x, y, w, h) against the nearest-pixel zoom of
    // the picture's (sx, sy, sw, sh): column i samples floor(i * sw / w).
    void ExpectZoomed(int x, int y, int w, int h, int sx, int sy, int sw, int sh)
    {
        for (int j = 0; j < h; j++)
            for (int i = 0; i < w; i++)
                ASSERT_EQ(At(x + i, y + j), Pattern(sx + i * sw / w, sy + j * sh / h))
                    << "at " << i << ", " << j << " of " << w << " x " << h;
    }
    std::string m_picture;
};

// The four kinds of box: clickable or not, with a link or without (one too
// long for the box, which keeps its first 255 characters).
TEST_F(ImageBoxTest, ClickNotifiesOpensTheLinkAndTheHandComesAndGoes)
{
    const std::string longLink = "https://example.org/" + std::string(300, 'a');
    struct Case {
        bool click;
        std::string url;
    };
    const Case cases[] = {{true, ""}, {false, longLink}, {true, "help.html"}, {false, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.click ? "click, " : "no click, ") + "link '" + c.url + "'");
        SetCursor(NULL);
        KWndImageBox b;
        Make(b, 20, 20, 30, 20, 9);
        if (c.click)
            b.AddState(KWNDIMAGEBOX_STATE_CLICK);
        b.SetURL(c.url.c_str());
        const bool hand = c.click || !c.url.empty();
        Mouse(WM_MOUSEMOVE, 30, 30);
        EXPECT_EQ(desktop::CurrentCursor(), hand ? Standard(IDC_HAND) : NULL);
        if (hand) {
            EXPECT_EQ(ClassCursor(), Standard(IDC_HAND));
        }
        Mouse(WM_LBUTTONDOWN, 30, 30);
        Mouse(WM_LBUTTONUP, 30, 30);
        std::vector<Note> expected;
        if (c.click)
            expected.push_back({WM_COMMAND, 9, LPARAM(KWND_NOTIFY_SELECT)});
        EXPECT_EQ(m_main.notes, expected);
        // A click gives the arrow back at once, as the mouse leaving does.
        if (c.click) {
            EXPECT_EQ(desktop::CurrentCursor(), Standard(IDC_ARROW));
        }
        const std::vector<desktop::ShellRequest> opened = desktop::TakeShellRequests();
        if (c.url.empty()) {
            EXPECT_TRUE(opened.empty());
        } else {
            ASSERT_EQ(opened.size(), 1u);
            EXPECT_EQ(opened[0].operation, "open");
            EXPECT_EQ(opened[0].file, c.url.substr(0, 255));
            EXPECT_EQ(opened[0].parameters, "");
            EXPECT_EQ(opened[0].show, SW_SHOWMAXIMIZED);
        }
        Mouse(WM_MOUSEMOVE, 90, 70);
        EXPECT_EQ(desktop::CurrentCursor(), Standard(IDC_ARROW));
        EXPECT_EQ(ClassCursor(), Standard(IDC_ARROW));
        m_main.notes.clear();
        // Disabled, it ignores the mouse: no hand, no notice, no link.
        b.Disable();
        Mouse(WM_MOUSEMOVE, 30, 30);
        Mouse(WM_LBUTTONDOWN, 30, 30);
        EXPECT_EQ(desktop::CurrentCursor(), Standard(IDC_ARROW));
        EXPECT_TRUE(m_main.notes.empty());
        EXPECT_TRUE(desktop::TakeShellRequests().empty());
        b.Release();
    }
}

// Drawn as it is, then stretched to random sizes, larger and smaller than
// the picture, against the nearest-pixel reference.
TEST_F(ImageBoxTest, StretchedPicturesMatchTheNearestPixelZoom)
{
    ImageBox b;
    Make(b, 10, 10, 7, 5);
    ASSERT_EQ(b.LoadBitmap(Picture(), false), 0);
    b.ChangeSize(20, 10);  // not stretched: drawn as it is, no copy
    EXPECT_EQ(b.Copy(), nullptr);
    Frame();
    ExpectZoomed(10, 10, 7, 5, 0, 0, 7, 5);
    EXPECT_EQ(At(17, 10), 0);
    b.AddState(KWNDIMAGEBOX_STATE_STRETCH);
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> width(1, 140), height(1, 80);
    for (int round = 0; round < 12; round++) {
        const int w = width(rng), h = height(rng);
        b.ChangeSize(w, h);
        EXPECT_EQ(b.GetSprWidth(), w);
        EXPECT_EQ(b.GetSprHeight(), h);
        Frame();
        ExpectZoomed(10, 10, w, h, 0, 0, 7, 5);
    }
    // Sizes that are no size leave the box as it was.
    b.ChangeSize(0, 5);
    b.ChangeSize(5, -1);
    EXPECT_EQ(b.GetSprWidth(), b.GetWidth());
}

TEST_F(ImageBoxTest, TheCopyIsRemadeOnlyWhenItIsTooSmallEitherWay)
{
    ImageBox b;
    Make(b, 0, 0, 100, 50);
    ASSERT_EQ(b.LoadBitmap(Picture(), false), 0);
    b.AddState(KWNDIMAGEBOX_STATE_STRETCH);
    b.ChangeSize(100, 50);
    KSprite* first = b.Copy();
    ASSERT_NE(first, nullptr);
    struct Step {
        int w, h;
        bool remade;
    };
    // Taller only, wider only, smaller both ways, back to the block's size.
    const Step steps[] = {{120, 50, true}, {80, 40, false}, {120, 60, true},
                          {121, 30, true}, {60, 30, false}, {121, 60, true},
                          {100, 45, false}};
    for (const Step& s : steps) {
        SCOPED_TRACE(std::to_string(s.w) + " x " + std::to_string(s.h));
        KSprite* before = b.Copy();
        const long blockW = before->GetWidth(), blockH = before->GetHeight();
        b.ChangeSize(s.w, s.h);
        ASSERT_NE(b.Copy(), nullptr);
        if (s.remade) {
            EXPECT_EQ(b.Copy()->GetWidth(), s.w);
            EXPECT_EQ(b.Copy()->GetHeight(), s.h);
        } else {
            EXPECT_EQ(b.Copy(), before);
            EXPECT_EQ(b.Copy()->GetWidth(), blockW);
            EXPECT_EQ(b.Copy()->GetHeight(), blockH);
        }
        EXPECT_EQ(b.GetSprWidth(), s.w);
        EXPECT_EQ(b.GetSprHeight(), s.h);
    }
}

// A view on part of a larger picture stretches that part, not the whole.
TEST_F(ImageBoxTest, AStretchedViewZoomsOnlyItsRectangle)
{
    KSprite* whole = m_graph->Load(Picture(), 1, NULL);
    ASSERT_NE(whole, nullptr);
    ImageBox b;
    Make(b, 10, 10, 4, 3);
    RECT part = {2, 1, 6, 4};
    b.SetSprite(whole, part, false);
    m_graph->ReleaseKSprite(whole);  // the view keeps the pixels
    Frame();
    ExpectZoomed(10, 10, 4, 3, 2, 1, 4, 3);
    b.AddState(KWNDIMAGEBOX_STATE_STRETCH);
    b.ChangeSize(9, 7);
    Frame();
    ExpectZoomed(10, 10, 9, 7, 2, 1, 4, 3);
    // A new picture replaces the old one and is zoomed into the copy too.
    ASSERT_EQ(b.LoadBitmap(Picture(), false), 0);
    Frame();
    ExpectZoomed(10, 10, 9, 7, 0, 0, 7, 5);
}

// Keyed pixels are drawn through and are not the box: a click there goes on
// to the next child.
TEST_F(ImageBoxTest, AKeyedPictureIsHitAndDrawnOnlyWhereItIsNotTheKey)
{
    const std::string ring = Bmp("ring.bmp", 6, 6, [](int x, int y) {
        return (x == 0 || y == 0 || x == 5 || y == 5) ? WORD(0x1234) : WORD(0x4321);
    });
    KSprite* keyed = m_graph->Load(ring.c_str(), 17, NULL);
    ASSERT_NE(keyed, nullptr);
    keyed->SetColorKey(0, 0);  // the ring's colour becomes the key
    ImageBox b;
    Make(b, 20, 20, 6, 6, 4);
    RECT all = {0, 0, 6, 6};
    b.SetSprite(keyed, all, true);
    m_graph->ReleaseKSprite(keyed);
    b.AddState(KWNDIMAGEBOX_STATE_CLICK);
    Recorder behind;
    MakeControl(behind, m_main, 10, 10, 40, 40, 8);
    behind.SetGraph(m_graph);
    GiveBack(behind, 40, 40, 0x00FF);
    m_main.SetTopChild(&b);  // hit first and drawn last
    Frame();
    EXPECT_EQ(At(20, 20), 0x00FF);  // the key shows what lies behind
    EXPECT_EQ(At(22, 22), 0x4321);
    g_heard.clear();
    Mouse(WM_LBUTTONDOWN, 20, 22);  // on the ring
    Mouse(WM_LBUTTONDOWN, 22, 22);  // on the picture
    ASSERT_EQ(g_heard.size(), 1u);
    EXPECT_EQ(g_heard[0].msg, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(m_main.notes, (std::vector<Note>{{WM_COMMAND, 4, LPARAM(KWND_NOTIFY_SELECT)}}));
    // Stretched, the copy decides: the ring is two pixels wide at twice the size.
    b.AddState(KWNDIMAGEBOX_STATE_STRETCH);
    b.ChangeSize(12, 12);
    EXPECT_FALSE(b.IsIn(21, 21));
    EXPECT_TRUE(b.IsIn(22, 22));
    EXPECT_FALSE(b.IsIn(32, 22));
}

TEST_F(ImageBoxTest, LoadingAMissingPictureFailsAndKeepsWhatWasShown)
{
    KWndImageBox b;
    Make(b, 20, 20, 30, 20);
    std::string missing = Path("missing.bmp");
    EXPECT_EQ(b.LoadBitmap(const_cast<char*>(missing.c_str()), false), E_FAIL);
    EXPECT_TRUE(Logged("KWndImageBox::LoadBitmap(" + missing + ")"));
    EXPECT_EQ(b.GetSprWidth(), 0);
    Frame();
    EXPECT_EQ(At(20, 20), 0);
    ASSERT_EQ(b.LoadBitmap(Picture(), true), 0);
    EXPECT_TRUE(b.GetState() & KWND_STATE_COLORKEY);
    EXPECT_EQ(b.LoadBitmap(const_cast<char*>(missing.c_str()), false), E_FAIL);
    EXPECT_EQ(b.GetSprWidth(), 7);
    Frame();
    EXPECT_EQ(At(20, 20), Pattern(0, 0));
}

}  // namespace
