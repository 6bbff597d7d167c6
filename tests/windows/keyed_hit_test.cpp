// A control showing a colour-keyed picture is hit only on the picture's own
// pixels: neither on the key colour nor in the room beside a picture smaller
// than the control. The button, the image box and the dialog all follow it.
#include "controls_fixture.h"

namespace {

// Black is the key of a picture loaded as keyed (the image box keys it so;
// the button and the dialog name its corner pixel).
const WORD kKey = 0x0000, kInk = 0x7BEF;

class KeyedHitTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        desktop::UseManualClock(1000);
        OpenMain(120, 100, 10, 10, true);
        // 30 x 30, its left five columns in the key colour.
        auto keyed = [](int x, int) { return x < 5 ? kKey : kInk; };
        m_picture = Bmp("keyed.bmp", 30, 30, keyed);
        m_states = Bmp("states.bmp", 30, 120, keyed);  // a button's four states
    }
    char* Picture() { return const_cast<char*>(m_picture.c_str()); }
    std::string m_picture, m_states;
};

// Points of a 40 x 40 control at (20, 20) holding the 30 x 30 picture.
struct HitCase {
    long x, y;
    bool hit;
    const char* where;
};
const HitCase kHits[] = {
    {22, 30, false, "on the key colour"},
    {30, 30, true, "on the picture"},
    {49, 49, true, "the picture's last pixel"},
    {55, 45, false, "beside the picture, right"},
    {45, 55, false, "below the picture"},
    {55, 55, false, "beyond both edges"},
    {61, 30, false, "outside the control"},
};

template <class Control>
void ExpectHits(Control& c)
{
    for (const HitCase& h : kHits) {
        SCOPED_TRACE(h.where);
        EXPECT_EQ(c.IsIn(h.x, h.y), h.hit);
    }
}

TEST_F(KeyedHitTest, TheKeyAndTheRoomBesideThePictureAreNoHit)
{
    {
        SCOPED_TRACE("button");
        KWndButton b;
        b.SetGraph(m_graph);
        ASSERT_EQ(b.LoadBitmap(const_cast<char*>(m_states.c_str()), true, 0, 0), 0);
        ASSERT_EQ(b.Create("", WS_CHILD | WS_VISIBLE, 20, 20, 40, 40, &m_main, 20), 0);
        ExpectHits(b);
    }
    {
        SCOPED_TRACE("image box");
        KWndImageBox b;
        b.SetGraph(m_graph);
        ASSERT_EQ(b.Create("", WS_CHILD | WS_VISIBLE, 20, 20, 40, 40, &m_main, 21), 0);
        ASSERT_EQ(b.LoadBitmap(Picture(), true), 0);
        ExpectHits(b);
    }
    {
        SCOPED_TRACE("dialog");
        KWndDlg d;
        d.SetGraph(m_graph);
        ASSERT_EQ(d.Create("", WS_CHILD | WS_VISIBLE, 20, 20, 40, 40, &m_main, 22), 0);
        ASSERT_EQ(d.LoadBitmap(Picture(), true, 0, 0), 0);
        ExpectHits(d);
    }
}

// Driven by the mouse: a press beside a clickable image box's picture
// notifies nothing, and a movable dialog does not drag from beside its back.
TEST_F(KeyedHitTest, PressesBesideThePictureReachNeitherTheBoxNorTheDialog)
{
    KWndImageBox box;
    box.SetGraph(m_graph);
    ASSERT_EQ(box.Create("", WS_CHILD | WS_VISIBLE, 20, 20, 40, 40, &m_main, 21), 0);
    m_main.AddChild(&box);
    ASSERT_EQ(box.LoadBitmap(Picture(), true), 0);
    box.AddState(KWNDIMAGEBOX_STATE_CLICK);
    Mouse(WM_LBUTTONDOWN, 55, 45);
    Mouse(WM_LBUTTONUP, 55, 45);
    EXPECT_TRUE(m_main.notes.empty());
    Mouse(WM_LBUTTONDOWN, 30, 30);
    Mouse(WM_LBUTTONUP, 30, 30);
    EXPECT_EQ(m_main.notes, (std::vector<Note>{{WM_COMMAND, 21, LPARAM(KWND_NOTIFY_SELECT)}}));
    m_main.DelChild(&box);

    KWndDlg d;
    d.SetGraph(m_graph);
    ASSERT_EQ(d.Create("", WS_CHILD | WS_VISIBLE, 20, 20, 40, 40, &m_main, 22), 0);
    m_main.AddChild(&d);
    ASSERT_EQ(d.LoadBitmap(Picture(), true, 0, 0), 0);
    d.AddState(KWNDDLG_STATE_MOVABLE);
    for (POINT from : {POINT{55, 45}, POINT{30, 30}}) {
        Mouse(WM_MOUSEMOVE, from.x, from.y);
        Mouse(WM_LBUTTONDOWN, from.x, from.y);
        Mouse(WM_MOUSEMOVE, from.x + 5, from.y);
        Mouse(WM_MOUSEMOVE, from.x + 10, from.y);
        Mouse(WM_LBUTTONUP, from.x + 10, from.y);
    }
    EXPECT_EQ(*d.GetRect(), (RECT{30, 20, 70, 60}));  // only the second drag moved it
    m_main.DelChild(&d);
}

}  // namespace
