#include "platform_fixture.h"

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>

MessageLog g_messages;

void ResetMessageLog()
{
    g_messages = MessageLog();
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    g_messages.messages.push_back(msg);
    g_messages.windows.push_back(hwnd);
    switch (msg) {
    case WM_NCCREATE:
        g_messages.lastCreate = *reinterpret_cast<CREATESTRUCTA*>(lParam);
        return g_messages.ncCreateResult;
    case WM_CREATE:
        return g_messages.createResult;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

ATOM RegisterRecordingClass(const char* name)
{
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = name;
    return RegisterClassA(&wc);
}

HWND MakeWindow(DWORD style, int x, int y, int w, int h)
{
    RegisterRecordingClass("TestWindow");  // fails harmlessly once registered
    g_messages = MessageLog();
    return CreateWindowExA(0, "TestWindow", "test", style, x, y, w, h, NULL, NULL, NULL, NULL);
}

std::vector<BYTE> RegionList(const std::vector<RECT>& rects)
{
    std::vector<BYTE> list(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    RGNDATAHEADER header = {sizeof(RGNDATAHEADER), RDH_RECTANGLES, DWORD(rects.size()),
                            DWORD(rects.size() * sizeof(RECT)), RECT{0, 0, 0, 0}};
    std::memcpy(list.data(), &header, sizeof header);
    if (!rects.empty())
        std::memcpy(list.data() + sizeof header, rects.data(), rects.size() * sizeof(RECT));
    return list;
}

void ScratchTest::SetUp()
{
    PlatformTest::SetUp();
    std::string pattern = ::testing::TempDir() + "kplatformXXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    m_dir = pattern;
}

void ScratchTest::TearDown()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
    PlatformTest::TearDown();
}

void ScratchTest::WriteBytes(const std::string& name, const std::vector<BYTE>& bytes) const
{
    FILE* fp = std::fopen(Path(name).c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), fp), bytes.size());
    }
    std::fclose(fp);
}

std::vector<BYTE> ScratchTest::ReadBytes(const std::string& name) const
{
    std::vector<BYTE> bytes;
    FILE* fp = std::fopen(Path(name).c_str(), "rb");
    if (fp == nullptr)
        return bytes;
    int c;
    while ((c = std::fgetc(fp)) != EOF)
        bytes.push_back(BYTE(c));
    std::fclose(fp);
    return bytes;
}
