// Registration, creation and release, and the window procedure's walk of
// the message tables, through real windows.
#include "kwnd_fixture.h"

#include <string>
#include <type_traits>

namespace {

using TableTest = WndTest;
using CreateTest = WndTest;

std::vector<std::string> g_walk;

// Three tables deep: Leaf -> Mid -> KestrelWnd.
class Mid : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    int OnClose(WPARAM, LPARAM)
    {
        g_walk.push_back(IsWindow(m_hWnd) ? "mid" : "mid after destroy");
        return 0;
    }
    int OnCreate(WPARAM, LPARAM)
    {
        g_walk.push_back("create reached the object");
        return 0;
    }
    int OnUser(WPARAM, LPARAM)
    {
        g_walk.push_back("mid user");
        return 0;
    }
};

class Leaf : public Mid {
    KWND_DECLARE_MESSAGES()
public:
    int m_closeResult = 0;
    WPARAM m_wParam = 0;
    LPARAM m_lParam = 0;
    int OnClose(WPARAM, LPARAM)
    {
        g_walk.push_back("leaf");
        return m_closeResult;
    }
    int OnUserFirst(WPARAM w, LPARAM l)
    {
        g_walk.push_back("leaf user");
        m_wParam = w;
        m_lParam = l;
        return 0;
    }
    int OnUserSecond(WPARAM, LPARAM)
    {
        g_walk.push_back("second row");
        return 0;
    }
    int m_downResult = 0;
    int OnLDown(WPARAM, LPARAM)
    {
        g_walk.push_back("leaf down");
        return m_downResult;
    }
};

}  // namespace

KWND_BEGIN_MESSAGES(Mid, KestrelWnd)
    KWND_MESSAGE(WM_CLOSE, Mid::OnClose)
    KWND_MESSAGE(WM_CREATE, Mid::OnCreate)
    KWND_MESSAGE(WM_USER + 9, Mid::OnUser)
KWND_END_MESSAGES()

KWND_BEGIN_MESSAGES(Leaf, Mid)
    KWND_MESSAGE(WM_CLOSE, Leaf::OnClose)
    KWND_MESSAGE(WM_USER + 9, Leaf::OnUserFirst)
    KWND_MESSAGE(WM_USER + 9, Leaf::OnUserSecond)
    KWND_MESSAGE(WM_LBUTTONDOWN, Leaf::OnLDown)
KWND_END_MESSAGES()

namespace {

static_assert(!std::is_copy_constructible<KestrelWnd>::value &&
                  !std::is_copy_assignable<KestrelMainWnd>::value,
              "windows own their sprites and lists: never copied");

std::vector<UINT> Messages(const KMessageFunc* table)
{
    std::vector<UINT> out;
    for (const KMessageFunc* row = table + 1; row->pfnHandler != nullptr; ++row) {
        EXPECT_EQ(row->nReserved, 0u);
        out.push_back(UINT(row->nMessage));
    }
    return out;
}

TEST_F(TableTest, TablesAreFilledWhenTheLibraryLoadsAndChainThroughPointerSizedLinks)
{
    EXPECT_EQ(KestrelWnd::messageEntries[0].nMessage, 0u);
    EXPECT_EQ(KMessageTableBase(KestrelWnd::messageEntries), nullptr);
    EXPECT_EQ(Messages(KestrelWnd::messageEntries),
              (std::vector<UINT>{WM_DESTROY, WM_SIZE, WM_LBUTTONUP, WM_LBUTTONDOWN,
                                 WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK,
                                 WM_MOUSEMOVE, WM_ACTIVATE, WM_MOVE}));
    // Row 0 of the derived table keeps the base table's whole 64-bit address.
    EXPECT_EQ(KestrelMainWnd::messageEntries[0].nMessage,
              reinterpret_cast<UINT_PTR>(&KestrelWnd::messageEntries[0]));
    EXPECT_EQ(KestrelMainWnd::messageEntries[0].pfnHandler, nullptr);
    EXPECT_EQ(Messages(KestrelMainWnd::messageEntries),
              (std::vector<UINT>{WM_PAINT, WM_MOVE, WM_ACTIVATE}));
    // A host's tables chain the same way, three deep.
    EXPECT_EQ(KMessageTableBase(Leaf::messageEntries), Mid::messageEntries);
    EXPECT_EQ(KMessageTableBase(Mid::messageEntries), KestrelWnd::messageEntries);
    KestrelMainWnd main;
    Leaf leaf;
    EXPECT_EQ(static_cast<KestrelWnd&>(main).GetMessageEntries(), KestrelMainWnd::messageEntries);
    EXPECT_EQ(static_cast<KestrelWnd&>(leaf).GetMessageEntries(), Leaf::messageEntries);
}

TEST_F(TableTest, MostDerivedRunsFirstThenTheBasesThenTheDefaultProcedure)
{
    Leaf leaf;
    ASSERT_EQ(leaf.Create(KestrelWnd::m_ClassName, "leaf", WS_POPUP, 0, 0, 10, 10, (HWND)NULL, 0), 0);
    g_walk.clear();
    // Through the queue: WM_CLOSE reaches the default procedure last, which
    // destroys the window after both handlers ran on a live window.
    ASSERT_TRUE(PostMessageA(leaf.GetHandle(), WM_CLOSE, 0, 0));
    const HWND hwnd = leaf.GetHandle();
    Pump();
    EXPECT_EQ(g_walk, (std::vector<std::string>{"leaf", "mid"}));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(TableTest, MinusOneStopsTheBasesButNotTheDefaultProcedure)
{
    Leaf leaf;
    ASSERT_EQ(leaf.Create(KestrelWnd::m_ClassName, "leaf", WS_POPUP, 0, 0, 10, 10, (HWND)NULL, 0), 0);
    leaf.m_closeResult = -1;
    g_walk.clear();
    const HWND hwnd = leaf.GetHandle();
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(g_walk, (std::vector<std::string>{"leaf"}));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(TableTest, OnlyTheFirstRowForAMessageRunsAndParametersArriveWhole)
{
    Leaf leaf;
    ASSERT_EQ(leaf.Create(KestrelWnd::m_ClassName, "leaf", WS_POPUP, 0, 0, 10, 10, (HWND)NULL, 0), 0);
    g_walk.clear();
    const LPARAM address = LPARAM(0x00007F12345678A0LL);
    PostMessageA(leaf.GetHandle(), WM_USER + 9, WPARAM(0xFFFFFFFF00000001ULL), address);
    Pump();
    EXPECT_EQ(g_walk, (std::vector<std::string>{"leaf user", "mid user"}));
    EXPECT_EQ(leaf.m_wParam, WPARAM(0xFFFFFFFF00000001ULL));
    EXPECT_EQ(leaf.m_lParam, address);
}

TEST_F(TableTest, AHostHandlerReturningZeroLetsTheChildRouterRun)
{
    Leaf leaf;
    ASSERT_EQ(leaf.Create(KestrelWnd::m_ClassName, "leaf", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                          (HWND)NULL, 0),
              0);
    Recorder child;
    MakeControl(child, leaf, 10, 10, 20, 20);
    g_walk.clear();
    desktop::InjectMouse(leaf.GetHandle(), WM_LBUTTONDOWN, 15, 15);
    Pump();
    EXPECT_EQ(g_walk, (std::vector<std::string>{"leaf down"}));
    ASSERT_EQ(g_heard.size(), 1u);
    EXPECT_EQ(g_heard[0].wnd, &child);

    g_heard.clear();
    leaf.m_downResult = -1;  // the host keeps the click for itself
    desktop::InjectMouse(leaf.GetHandle(), WM_LBUTTONDOWN, 15, 15);
    Pump();
    EXPECT_TRUE(g_heard.empty());
}

TEST_F(TableTest, MessagesDuringCreationAndAfterReleaseDoNotReachTheObject)
{
    Mid mid;
    g_walk.clear();
    ASSERT_EQ(mid.Create(KestrelWnd::m_ClassName, "mid", WS_POPUP, 0, 0, 10, 10, (HWND)NULL, 0), 0);
    EXPECT_TRUE(g_walk.empty());  // WM_CREATE went to the default procedure
    const HWND hwnd = mid.GetHandle();
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), reinterpret_cast<LONG_PTR>(&mid));
    mid.Release();
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), 0);
    SendMessageA(hwnd, WM_USER + 9, 0, 0);
    EXPECT_TRUE(g_walk.empty());
}

TEST_F(CreateTest, InitRegistersTheClassOnceWithTheHostsIcon)
{
    EXPECT_EQ(KestrelWnd::m_hInst, TestModule());
    EXPECT_STREQ(KestrelWnd::GetClassName(), "KestrelWindow");
    KestrelWnd::Init(reinterpret_cast<HINSTANCE>(uintptr_t(0x1234)));  // keeps the first
    EXPECT_EQ(KestrelWnd::m_hInst, TestModule());

    KestrelWnd wnd;
    ASSERT_EQ(wnd.Create("kestrelwindow", "w", WS_POPUP, 0, 0, 10, 10, (HWND)NULL, 0), 0);
    const HWND hwnd = wnd.GetHandle();
    EXPECT_EQ(GetClassLongA(hwnd, GCL_STYLE), ULONG_PTR(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS));
    EXPECT_EQ(GetClassLongA(hwnd, GCL_HICON),
              reinterpret_cast<ULONG_PTR>(LoadIconA(TestModule(), "APP_ICON")));
    EXPECT_NE(GetClassLongA(hwnd, GCL_HICON), 0u);
    EXPECT_EQ(GetClassLongA(hwnd, GCL_HCURSOR),
              reinterpret_cast<ULONG_PTR>(LoadCursorA(NULL, IDC_ARROW)));
    EXPECT_EQ(GetClassLongA(hwnd, GCL_HBRBACKGROUND), 5u);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_HINSTANCE), reinterpret_cast<LONG_PTR>(TestModule()));
}

TEST_F(CreateTest, CreateBindsTheObjectAndSetsItsRectangles)
{
    KestrelMainWnd main;
    ASSERT_EQ(main.Create(KestrelWnd::m_ClassName, "main", WS_POPUP, 10, 20, 300, 200, (HWND)NULL, 0), 0);
    KestrelWnd child;
    ASSERT_EQ(child.Create(KestrelWnd::m_ClassName, "c", WS_CHILD, 0, 0, 1, 1, &main, 42), 0);
    EXPECT_EQ(child.GetID(), 42u);
    EXPECT_EQ(GetParent(child.GetHandle()), main.GetHandle());
    EXPECT_EQ(GetWindowLongA(child.GetHandle(), GWL_ID), 42);
    EXPECT_EQ(*main.GetRect(), (RECT{10, 20, 310, 220}));
    EXPECT_EQ(*main.GetClientArea(), (RECT{10, 20, 310, 220}));
    EXPECT_EQ(main.GetWidth(), 300);
    EXPECT_EQ(main.GetHeight(), 200);

    // CreateEx takes only the parent's window.
    Recorder ex;
    ASSERT_EQ(ex.CreateEx(WS_EX_TOPMOST, KestrelWnd::m_ClassName, "x", WS_CHILD, 0, 0, 1, 1, &main, 3), 0);
    EXPECT_EQ(ex.Parent(), nullptr);
    EXPECT_EQ(GetParent(ex.GetHandle()), main.GetHandle());
    EXPECT_EQ(GetWindowLongA(ex.GetHandle(), GWL_EXSTYLE), WS_EX_TOPMOST);
}

TEST_F(CreateTest, FailedCreationReportsAndKeepsTheParent)
{
    KestrelMainWnd main;
    ASSERT_EQ(main.Create(KestrelWnd::m_ClassName, "main", WS_POPUP, 0, 0, 30, 30, (HWND)NULL, 0), 0);
    Recorder child;
    desktop::FailOnce("CreateWindowExA");
    EXPECT_EQ(child.Create(KestrelWnd::m_ClassName, "c", WS_CHILD, 0, 0, 1, 1, &main, 1), E_FAIL);
    EXPECT_TRUE(Logged("KestrelWnd::Create fail"));
    EXPECT_EQ(child.GetHandle(), nullptr);
    EXPECT_EQ(child.Parent(), &main);
    desktop::FailOnce("CreateWindowExA");
    EXPECT_EQ(child.CreateEx(0, KestrelWnd::m_ClassName, "c", WS_CHILD, 0, 0, 1, 1, &main, 1), E_FAIL);
    EXPECT_TRUE(Logged("KestrelWnd::CreateEx fail"));
    // An unknown class fails the same way.
    EXPECT_EQ(child.Create("NoSuchClass", "c", WS_POPUP, 0, 0, 1, 1, (HWND)NULL, 1), E_FAIL);
}

TEST_F(CreateTest, CreatingAgainUnbindsTheWindowLeftBehind)
{
    auto* wnd = new KestrelWnd;
    ASSERT_EQ(wnd->Create(KestrelWnd::m_ClassName, "a", WS_POPUP, 0, 0, 10, 10, (HWND)NULL, 0), 0);
    const HWND first = wnd->GetHandle();
    ASSERT_EQ(wnd->Create(KestrelWnd::m_ClassName, "b", WS_POPUP, 0, 0, 10, 10, (HWND)NULL, 0), 0);
    EXPECT_TRUE(Asserted("m_hWnd == 0"));
    EXPECT_NE(wnd->GetHandle(), first);
    EXPECT_EQ(GetWindowLongA(first, GWL_USERDATA), 0);
    delete wnd;
    // The old window's messages reach no freed object.
    SendMessageA(first, WM_SIZE, 0, MAKELPARAM(5, 5));
    PostMessageA(first, WM_DESTROY, 0, 0);
    Pump();
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(CreateTest, ReleaseUnbindsAndPostsADestroyThatQuitsNothing)
{
    KestrelMainWnd main;
    ASSERT_EQ(main.Create(KestrelWnd::m_ClassName, "main", WS_POPUP, 0, 0, 30, 30, (HWND)NULL, 0), 0);
    MakeGraph(main.GetHandle(), 30, 30);
    Recorder child;
    child.SetGraph(m_graph);
    MakeControl(child, main, 1, 1, 5, 5);
    GiveBack(child, 5, 5, 0x1234);
    main.SetTopChild(&child);
    const HWND hwnd = child.GetHandle();

    child.Release();
    EXPECT_EQ(child.GetHandle(), nullptr);
    EXPECT_EQ(child.GetBackSpr(), nullptr);
    EXPECT_EQ(child.Parent(), nullptr);
    EXPECT_TRUE(IsWindow(hwnd));  // the real window stays
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.message, UINT(WM_DESTROY));
    Pump();
    EXPECT_FALSE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    // The parent forgot it, top role included.
    g_heard.clear();
    desktop::InjectMouse(main.GetHandle(), WM_LBUTTONDOWN, 2, 2);
    Pump();
    EXPECT_TRUE(g_heard.empty());
    child.Release();  // again: nothing left to do
}

}  // namespace
