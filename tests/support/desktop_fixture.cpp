#include "desktop_fixture.h"

static LRESULT CALLBACK TestWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void DesktopTest::SetUp()
{
    desktop::Reset();
    kbase::SetEcho(false);
    kbase::ClearLog();
    m_log.clear();
}

void DesktopTest::TearDown()
{
    kbase::SetAssertHandler(nullptr);
    desktop::Reset();
}

HWND DesktopTest::MakeWindow(int w, int h, int x, int y)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestWndProc;
    wc.lpszClassName = "KestrelTestWindow";
    RegisterClassA(&wc);  // fails harmlessly when already registered
    return CreateWindowExA(0, "KestrelTestWindow", "test", WS_POPUP | WS_VISIBLE, x, y, w, h,
                           NULL, NULL, NULL, NULL);
}

void DesktopTest::_drain()
{
    for (auto& e : kbase::TakeLog())
        m_log.push_back(e);
}

std::vector<kbase::LogEntry> DesktopTest::Log()
{
    _drain();
    std::vector<kbase::LogEntry> out;
    out.swap(m_log);
    return out;
}

bool DesktopTest::Logged(const std::string& text)
{
    _drain();
    for (auto& e : m_log)
        if (e.text == text)
            return true;
    return false;
}

bool DesktopTest::Asserted(const std::string& expr)
{
    _drain();
    for (auto& e : m_log)
        if (e.kind == kbase::LogEntry::Assert && e.text == expr)
            return true;
    return false;
}
