#include "controls_fixture.h"

#include <picture_bytes.h>

#include <fstream>

const std::string kZhong = "\xD6\xD0";
const std::string kWen = "\xCE\xC4";

KWND_BEGIN_MESSAGES(NotedMain, KestrelMainWnd)
    KWND_MESSAGE(WM_COMMAND, NotedMain::OnCommand)
    KWND_MESSAGE(TEST_BUTTON_MSG, NotedMain::OnButton)
    KWND_MESSAGE(WM_VSCROLL, NotedMain::OnVScroll)
    KWND_MESSAGE(WM_HSCROLL, NotedMain::OnHScroll)
KWND_END_MESSAGES()

void ControlTest::OpenMain(int w, int h, int x, int y, bool caption)
{
    const DWORD style = WS_POPUP | WS_VISIBLE | (caption ? WS_CAPTION : 0);
    RECT rc = {x, y, x + w, y + h};
    AdjustWindowRect(&rc, style, FALSE);
    ASSERT_EQ(m_main.Create(KestrelWnd::m_ClassName, "main", style, rc.left, rc.top,
                            rc.right - rc.left, rc.bottom - rc.top, (HWND)NULL, 0),
              0);
    m_hwnd = m_main.GetHandle();
    KGraph* g = MakeGraph(m_hwnd, w, h);
    ASSERT_NE(g, nullptr);
    g->GetRenderRect();
    m_main.SetGraph(g);
    m_main.SetRect(0, 0, w, h);
}

void ControlTest::TearDown()
{
    m_main.Release();
    WndTest::TearDown();
}

void ControlTest::Type(const std::string& bytes)
{
    for (unsigned char c : bytes)
        ASSERT_TRUE(desktop::InjectChar(m_hwnd, c));
    Pump();
}

std::string ControlTest::Bmp(const std::string& name, int w, int h,
                             const std::function<WORD(int, int)>& colour)
{
    Bytes pixels;
    const int stride = (w * 3 + 3) & ~3;
    for (int y = h - 1; y >= 0; y--) {
        for (int x = 0; x < w; x++) {
            const WORD c = colour(x, y);
            const int r5 = c >> 11, g6 = (c >> 5) & 63, b5 = c & 31;
            pixels.push_back(uint8_t(b5 << 3 | b5 >> 2));
            pixels.push_back(uint8_t(g6 << 2 | g6 >> 4));
            pixels.push_back(uint8_t(r5 << 3 | r5 >> 2));
        }
        for (int pad = w * 3; pad < stride; pad++)
            pixels.push_back(0);
    }
    const std::string path = Path(name);
    WriteFile(path, BmpBytes(w, h, 24, pixels));
    return path;
}

std::string ControlTest::Text(const std::string& name, const std::string& text)
{
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}
