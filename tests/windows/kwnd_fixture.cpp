#include "kwnd_fixture.h"

std::vector<Heard> g_heard;

HINSTANCE TestModule()
{
    return reinterpret_cast<HINSTANCE>(uintptr_t(0x7F0000000000));
}

void WndTest::SetUp()
{
    DesktopTest::SetUp();
    g_heard.clear();
    static const BYTE kIcon[6] = {0, 0, 1, 0, 1, 0};
    desktop::RegisterResource(TestModule(), RT_GROUP_ICON, "APP_ICON", kIcon, sizeof(kIcon));
    // Each test starts from a process that has not registered the class.
    KestrelWnd::m_hInst = NULL;
    KestrelWnd::Init(TestModule());
}

void WndTest::TearDown()
{
    if (m_graph != nullptr)
        ReleaseKGraph(m_graph);
    m_graph = nullptr;
    KestrelWnd::m_hInst = NULL;
    desktop::ClearResources();
    DesktopTest::TearDown();
}

int WndTest::Pump()
{
    int n = 0;
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT) {
        PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        n++;
    }
    return n;
}

KGraph* WndTest::MakeGraph(HWND hwnd, int w, int h)
{
    m_graph = CreateKGraph(KRM_GDI, false, DWORD(w), DWORD(h), KCM_R5G6B5, false, false);
    if (m_graph == nullptr)
        return nullptr;
    m_graph->SetHWND(hwnd);
    m_graph->ReSizeBackScreen(w, h, KCM_R5G6B5, false);
    m_graph->SetDefaultFont(&m_font);
    return m_graph;
}

KWND_BEGIN_MESSAGES(Recorder, KestrelWnd)
    KWND_MESSAGE(WM_LBUTTONDOWN, Recorder::OnLDown)
    KWND_MESSAGE(WM_LBUTTONUP, Recorder::OnLUp)
    KWND_MESSAGE(WM_LBUTTONDBLCLK, Recorder::OnLDbl)
    KWND_MESSAGE(WM_RBUTTONDOWN, Recorder::OnRDown)
    KWND_MESSAGE(WM_RBUTTONUP, Recorder::OnRUp)
    KWND_MESSAGE(WM_RBUTTONDBLCLK, Recorder::OnRDbl)
    KWND_MESSAGE(WM_MOUSEMOVE, Recorder::OnMoved)
    KWND_MESSAGE(KWM_MOUSELEAVE, Recorder::OnLeave)
KWND_END_MESSAGES()

void MakeControl(KestrelWnd& wnd, KestrelWnd& parent, int x, int y, int w, int h, UINT id)
{
    ASSERT_EQ(wnd.Create(KestrelWnd::m_ClassName, "control", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1,
                         &parent, id),
              0);
    wnd.SetRect(x, y, w, h);
    wnd.SetClientArea(x, y, w, h);
    parent.AddChild(&wnd);
}

void GiveBack(KestrelWnd& wnd, int w, int h, WORD colour)
{
    wnd.CreateWndBackSpr(w, h, 0);
    ASSERT_NE(wnd.GetBackSpr(), nullptr);
    wnd.GetBackSpr()->_clear(colour);
    wnd.AddState(KWND_STATE_BACK);
}
