// The child list and its roles, hiding, hit tests and movement, and
// release in either order of parent and child.
#include "kwnd_fixture.h"

namespace {

using ChildTest = WndTest;

TEST_F(ChildTest, DelChildRemovesTheChildAndEveryRoleItHolds)
{
    Probe parent;
    Recorder a, b;
    EXPECT_FALSE(parent.HasChild());
    parent.AddChild(&a);
    parent.AddChild(&b);
    EXPECT_TRUE(parent.HasChild());
    parent.SetTopChild(&a);
    parent.FocusChild(&a);
    parent.CatchChild(&a);
    parent.DelChild(&a);
    EXPECT_EQ(parent.Top(), nullptr);
    EXPECT_EQ(parent.Focus(), nullptr);
    EXPECT_EQ(parent.Catch(), nullptr);
    a.SetRect(0, 0, 10, 10);
    EXPECT_FALSE(parent.IsInChild(5, 5));
    // A child not in the list only loses its roles; without a list too.
    Probe lone;
    lone.SetTopChild(&b);
    lone.DelChild(&b);
    EXPECT_EQ(lone.Top(), nullptr);
    // The child-side forms.
    a.AddToChild(&parent);
    EXPECT_TRUE(parent.IsInChild(5, 5));
    a.DelToChild(&parent);
    EXPECT_FALSE(parent.IsInChild(5, 5));
    a.AddToChild(nullptr);
}

TEST_F(ChildTest, HidingDropsCaptureAndFocusButNotTopOrHover)
{
    Probe main;
    ASSERT_EQ(main.Create(KestrelWnd::m_ClassName, "m", WS_POPUP, 0, 0, 50, 50, (HWND)NULL, 0), 0);
    Recorder c;
    MakeControl(c, main, 1, 1, 10, 10);
    EXPECT_EQ(c.Parent(), &main);
    main.CatchChild(&c);
    main.FocusChild(&c);
    c.SetTopWnd();
    EXPECT_EQ(main.Top(), &c);
    c.HideWindow();
    EXPECT_TRUE(c.IsHide());
    EXPECT_EQ(main.Catch(), nullptr);
    EXPECT_EQ(main.Focus(), nullptr);
    EXPECT_EQ(main.Top(), &c);
    EXPECT_FALSE(main.IsInChild(5, 5));  // hidden children are left out
    c.ShowWindow();
    EXPECT_TRUE(main.IsInChild(5, 5));
    c.Disable();
    EXPECT_TRUE(c.GetState() & KWND_STATE_DISABLE);
    c.Enable();
    c.SetState(0x1234);
    c.AddState(0x8000);
    c.SubState(0x0004);
    EXPECT_EQ(c.GetState(), 0x9230u);
}

TEST_F(ChildTest, MoveCarriesTheWholeTree)
{
    Probe panel, inner, deeper;
    panel.SetRect(10, 10, 100, 100);
    panel.SetClientArea(12, 12, 96, 96);
    inner.SetRect(20, 20, 10, 10);
    deeper.SetRect(22, 22, 2, 2);
    inner.HideWindow();  // hidden children move too
    panel.AddChild(&inner);
    inner.AddChild(&deeper);
    panel.Move(5, -3);
    EXPECT_EQ(*panel.GetRect(), (RECT{15, 7, 115, 107}));
    EXPECT_EQ(*panel.GetClientArea(), (RECT{17, 9, 113, 105}));
    EXPECT_EQ(*inner.GetRect(), (RECT{25, 17, 35, 27}));
    EXPECT_EQ(*deeper.GetRect(), (RECT{27, 19, 29, 21}));
    panel.MoveTo(0, 0);
    EXPECT_EQ(*panel.GetRect(), (RECT{0, 0, 100, 100}));
    EXPECT_EQ(*deeper.GetRect(), (RECT{12, 12, 14, 14}));
    EXPECT_TRUE(panel.IsIn(0, 0));
    EXPECT_FALSE(panel.IsIn(100, 50));
    EXPECT_TRUE(panel.IsInClient(2, 2));
    EXPECT_FALSE(panel.IsInClient(1, 50));
}

TEST_F(ChildTest, AParentGoneFirstLeavesItsChildrenSafe)
{
    auto* main = new Probe;
    ASSERT_EQ(main->Create(KestrelWnd::m_ClassName, "m", WS_POPUP, 0, 0, 50, 50, (HWND)NULL, 0), 0);
    auto* child = new Recorder;
    MakeControl(*child, *main, 1, 1, 10, 10);
    main->SetTopChild(child);
    delete main;  // first: its child must not reach back into it
    EXPECT_EQ(child->Parent(), nullptr);
    child->HideWindow();
    child->SetTopWnd();
    delete child;

    // A child gone first is forgotten by its parent.
    Probe parent;
    auto* other = new Recorder;
    MakeControl(*other, parent, 0, 0, 0, 0);
    other->Release();
    parent.AddChild(other);  // back in the list without its window
    parent.DelChild(other);
    EXPECT_FALSE(parent.IsInChild(0, 0));
    delete other;
}

TEST_F(ChildTest, SetRectStoresEvenAnEmptySizeAndSays)
{
    Probe wnd;
    wnd.SetRect(5, 5, 0, 10);
    EXPECT_TRUE(Asserted("w > 0 && h > 0"));
    EXPECT_EQ(*wnd.GetRect(), (RECT{5, 5, 5, 15}));
    wnd.SetKFont(&m_font);
    EXPECT_EQ(wnd.GetKFont(), &m_font);
    wnd.SetKFont(nullptr);
    EXPECT_TRUE(Asserted("kfont != NULL"));
}

}  // namespace
