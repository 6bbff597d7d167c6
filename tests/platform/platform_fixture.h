// Fixtures for the platform tests: a fresh desktop and an empty, silent log
// for every test, and a scratch folder for file tests.
#pragma once

#include <desktop/desktop.h>
#include <gtest/gtest.h>
#include <kbase.h>
#include <windows.h>

#include <string>
#include <vector>

void ResetMessageLog();

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        desktop::Reset();
        ResetMessageLog();
        kbase::SetEcho(false);
        kbase::ClearLog();
    }
    void TearDown() override
    {
        kbase::SetAssertHandler(nullptr);
        desktop::Reset();
        kbase::ClearLog();
    }
};

// A PlatformTest with its own empty folder, removed afterwards.
class ScratchTest : public PlatformTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // The path of `name` inside the scratch folder.
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    void WriteBytes(const std::string& name, const std::vector<BYTE>& bytes) const;
    std::vector<BYTE> ReadBytes(const std::string& name) const;

    std::string m_dir;
};

// A window procedure that records each message it sees; tests set the
// answers to WM_NCCREATE and WM_CREATE.
struct MessageLog {
    std::vector<UINT> messages;
    std::vector<HWND> windows;
    LRESULT ncCreateResult = TRUE;
    LRESULT createResult = 0;
    CREATESTRUCTA lastCreate = {};
};
extern MessageLog g_messages;
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Registers a class using RecordingProc; returns its atom.
ATOM RegisterRecordingClass(const char* name);
// A top-level window of the recording class "TestWindow" (registered on
// demand) with the given style and outer rectangle.
HWND MakeWindow(DWORD style, int x, int y, int w, int h);

// The rectangles as a region's data (RGNDATA), as ExtCreateRegion takes them.
std::vector<BYTE> RegionList(const std::vector<RECT>& rects);
