// The screen backend's tests run on a real X server (scripts/with-xvfb
// starts one). Each test starts on a fresh desktop shown on the screen and
// skips, saying why, when no display can be opened.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <desktop/backend.h>
#include <desktop/desktop.h>
#include <screen/screen.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <string>
#include <thread>
#include <vector>

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        desktop::Reset();
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display (scripts/with-xvfb starts one)";
        if (!screen::Use())
            GTEST_SKIP() << "the display cannot be opened: " << screen::LastError();
        m_display = XOpenDisplay(nullptr);
        if (m_display == nullptr)
            GTEST_SKIP() << "the display cannot be read";
    }
    void TearDown() override
    {
        desktop::Reset();
        screen::Leave();
        if (m_display != nullptr)
            XCloseDisplay(m_display);
    }

    // The screen's pixels (0x00RRGGBB) of a rectangle, row by row.
    std::vector<DWORD> ReadScreen(int x, int y, int w, int h)
    {
        std::vector<DWORD> out;
        XSync(m_display, False);
        XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), x, y, unsigned(w),
                                  unsigned(h), AllPlanes, ZPixmap);
        if (image == nullptr)
            return out;
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col)
                out.push_back(DWORD(XGetPixel(image, col, row) & 0xFFFFFF));
        XDestroyImage(image);
        return out;
    }

    // Dispatches what comes for `ms` milliseconds of the real clock.
    static void Pump(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // Runs a command of the shell while this thread dispatches what comes
    // (the display's events are read while they are fresh), then dispatches
    // for `afterMs` more; true when the command succeeded.
    // A path for a scratch file of this process: test runs of other builds
    // may share the machine's temporary folder.
    static std::string Scratch(const std::string& name)
    {
        return testing::TempDir() + "screen-" + std::to_string(getpid()) + "-" + name;
    }

    static bool RunPumping(const std::string& command, int afterMs)
    {
        const std::string marker = Scratch("command-done");
        std::remove(marker.c_str());
        if (!Run("( " + command + " ; echo $? > '" + marker + "' ) &"))
            return false;
        std::string status;
        for (int i = 0; i < 1000 && status.empty(); ++i) {
            Pump(10);
            if (FILE* f = std::fopen(marker.c_str(), "r")) {
                char line[16] = {};
                if (std::fgets(line, sizeof(line), f) != nullptr)
                    status = line;
                std::fclose(f);
            }
        }
        Pump(afterMs);
        return status == "0\n";
    }

    // Runs a command of the shell; true when it succeeded.
    static bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }
    static bool HaveTool(const char* name)
    {
        return Run(std::string("command -v ") + name + " >/dev/null 2>&1");
    }

    Display* m_display = nullptr;
};
