// A host written as ordinary Win32 code, with the generic names (no A
// suffix): a class, a window sized by its client area, a message loop with
// a message box, and a frame of the graph device in the window.
#include "desktop_fixture.h"
#include <kestrel.h>
#include <windowsx.h>

#include <type_traits>

namespace {

// What the window procedure saw: WM_CREATE's parameters and the click.
struct Heard {
    std::string createdName;
    int clickX = -1, clickY = -1;
    int answer = 0;
    int paints = 0;
};
Heard* g_heard = nullptr;

LRESULT CALLBACK GenericProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: {
        const CREATESTRUCT* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
        g_heard->createdName = cs->lpszName;
        SetWindowLongPtr(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(g_heard));
        return 0;
    }
    case WM_LBUTTONDOWN: {
        Heard* heard = reinterpret_cast<Heard*>(GetWindowLongPtr(hwnd, GWLP_USERDATA));
        heard->clickX = GET_X_LPARAM(lParam);
        heard->clickY = GET_Y_LPARAM(lParam);
        heard->answer = MessageBox(hwnd, TEXT("Quit?"), TEXT("Game"), MB_YESNO | MB_DEFBUTTON2);
        if (heard->answer == IDNO)
            PostMessage(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        g_heard->paints++;
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace

// The generic records are the A records and the generic calls the A calls.
static_assert(std::is_same<WNDCLASS, WNDCLASSA>::value, "WNDCLASS");
static_assert(std::is_same<CREATESTRUCT, CREATESTRUCTA>::value, "CREATESTRUCT");
static_assert(std::is_same<LOGFONT, LOGFONTA>::value, "LOGFONT");
static_assert(std::is_same<TEXTMETRIC, TEXTMETRICA>::value, "TEXTMETRIC");
static_assert(std::is_same<DEVMODE, DEVMODEA>::value, "DEVMODE");
static_assert(std::is_same<TCHAR, char>::value, "TCHAR");

class GenericNamesTest : public DesktopTest {};

TEST_F(GenericNamesTest, WindowsHostWithPlainNamesRunsItsLoopAndFrame)
{
    Heard heard;
    g_heard = &heard;
    WNDCLASS wc = {};
    wc.lpfnWndProc = GenericProc;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hIcon = LoadIcon(NULL, IDI_APPLICATION);
    wc.hInstance = GetModuleHandle(NULL);
    wc.lpszClassName = TEXT("GenericHost");
    ASSERT_NE(RegisterClass(&wc), 0);

    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame = {0, 0, 160, 120};
    ASSERT_TRUE(AdjustWindowRect(&frame, style, FALSE));
    HWND hwnd = CreateWindow(TEXT("GenericHost"), TEXT("Plain names"), style, 10, 10,
                             frame.right - frame.left, frame.bottom - frame.top, NULL, NULL,
                             wc.hInstance, NULL);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(heard.createdName, "Plain names");
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 160);
    EXPECT_EQ(client.bottom, 120);
    ShowWindow(hwnd, SW_SHOW);
    InvalidateRect(hwnd, NULL, FALSE);
    EXPECT_TRUE(UpdateWindow(hwnd));
    EXPECT_EQ(heard.paints, 1);
    EXPECT_TRUE(UpdateWindow(hwnd));  // painted: nothing more to do
    EXPECT_EQ(heard.paints, 1);
    EXPECT_EQ(GetWindowLongPtr(hwnd, GWLP_HINSTANCE), reinterpret_cast<LONG_PTR>(wc.hInstance));

    // A frame through the device fills the client area exactly.
    KGraph* graph = CreateKGraph(KRM_GDI, false, 160, 120, KCM_R5G6B5, false, false);
    ASSERT_NE(graph, nullptr);
    graph->SetHWND(hwnd);
    graph->ReSizeBackScreen(160, 120, KCM_R5G6B5, false);
    HFONT face = CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                            FIXED_PITCH, "");
    KFont* font = graph->CreateFont(face);  // the member KGraph::CreateFontA
    ASSERT_NE(font, nullptr);
    graph->GetBackScreen()->Clear(0x001F);
    graph->GetBackScreen()->Printf(font, 4, 4, 0xFFFF, "frame");
    graph->Render();
    EXPECT_EQ(SurfaceTo565(desktop::Pixel(hwnd, 159, 119)), 0x001F);
    EXPECT_EQ(SurfaceTo565(desktop::Pixel(hwnd, 0, 119)), 0x001F);

    // The click asks through a message box; its default answer (No) closes
    // the window, which ends the loop with the code of PostQuitMessage.
    ASSERT_TRUE(desktop::InjectMouse(hwnd, WM_LBUTTONDOWN, 30, 40));
    MSG msg;
    int dispatched = 0;
    BOOL got;
    while ((got = GetMessage(&msg, NULL, 0, 0)) > 0) {
        DispatchMessage(&msg);
        ++dispatched;
    }
    EXPECT_EQ(got, 0);
    EXPECT_EQ(msg.wParam, WPARAM(7));
    EXPECT_GE(dispatched, 2);
    EXPECT_EQ(heard.clickX, 30);
    EXPECT_EQ(heard.clickY, 40);
    EXPECT_EQ(heard.answer, IDNO);
    EXPECT_FALSE(IsWindow(hwnd));
    const std::vector<desktop::MessageBoxShown> boxes = desktop::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, hwnd);
    EXPECT_EQ(boxes[0].text, "Quit?");
    EXPECT_EQ(boxes[0].caption, "Game");

    graph->ReleaseKFont(font);
    DeleteObject(face);
    ReleaseKGraph(graph);
    EXPECT_TRUE(UnregisterClass(TEXT("GenericHost"), wc.hInstance));
    EXPECT_NE(GetModuleHandle(NULL), nullptr);
    EXPECT_EQ(GetModuleHandle("user32.dll"), nullptr);
    g_heard = nullptr;
}

// Every box type answers with its default button; a default past the last
// button is the first one, and a type with no buttons answers 0.
TEST_F(GenericNamesTest, MessageBoxAnswersWithTheDefaultButton)
{
    const struct {
        UINT type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {MB_YESNOCANCEL, IDYES},
        {MB_YESNO | MB_DEFBUTTON3, IDYES},
        {MB_RETRYCANCEL | MB_ICONWARNING, IDRETRY},
        {MB_CANCELTRYCONTINUE | MB_DEFBUTTON2, IDTRYAGAIN},
        {0x0000000F, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MessageBox(NULL, "text", NULL, c.type), c.answer) << std::hex << c.type;
    const std::vector<desktop::MessageBoxShown> boxes = desktop::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 7u);
    EXPECT_EQ(boxes[0].caption, "Error");  // a null caption, as Win32 titles it
    desktop::FailOnce("MessageBoxA");
    EXPECT_EQ(MessageBox(NULL, "text", "caption", MB_OK), 0);
    EXPECT_TRUE(desktop::TakeMessageBoxes().empty());
}
