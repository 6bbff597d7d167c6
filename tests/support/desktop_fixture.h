// Shared fixture: a fresh headless desktop and an empty report log per test.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <desktop/desktop.h>
#include <kbase.h>
#include <string>
#include <vector>

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A top-level window without a frame whose client area is w x h at (x, y).
    HWND MakeWindow(int w, int h, int x = 0, int y = 0);
    // Reports, debug lines, log lines and assertions since the last call.
    std::vector<kbase::LogEntry> Log();
    bool Logged(const std::string& text);
    bool Asserted(const std::string& expr);

private:
    std::vector<kbase::LogEntry> m_log;
    void _drain();
};

// The surface holds 8-bit channels widened by bit replication: recover the
// R5G6B5 value that was presented.
inline WORD SurfaceTo565(DWORD rgb)
{
    return WORD(((rgb >> 19) & 0x1F) << 11 | ((rgb >> 10) & 0x3F) << 5 | ((rgb >> 3) & 0x1F));
}
