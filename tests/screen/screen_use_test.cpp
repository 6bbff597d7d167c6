// Whether screen::Use opens a display, asked of a fresh process for each
// environment: with no display it fails and says so, instead of taking a
// video driver that shows nothing; such a driver only when SDL_VIDEODRIVER
// names it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct ProbeResult {
    bool ran = false;
    std::string state;   // "open" or "closed"
    std::string detail;  // the driver, or LastError
};

// The probe run in this process's environment without SDL_VIDEODRIVER, and
// without DISPLAY and WAYLAND_DISPLAY unless keepDisplay; then with
// SDL_VIDEODRIVER=driver when one is given.
ProbeResult RunProbe(bool keepDisplay, const char* driver)
{
    std::string command = "env -u SDL_VIDEODRIVER";
    if (!keepDisplay)
        command += " -u DISPLAY -u WAYLAND_DISPLAY";
    if (driver != nullptr)
        command += std::string(" SDL_VIDEODRIVER=") + driver;
    command += " '" KESTREL_SCREEN_USE_PROBE "'";
    ProbeResult result;
    FILE* out = popen(command.c_str(), "r");
    if (out == nullptr)
        return result;
    std::string text;
    char buf[256];
    while (std::fgets(buf, sizeof(buf), out) != nullptr)
        text += buf;
    if (pclose(out) != 0)
        return result;
    const size_t first = text.find('\n');
    result.ran = first != std::string::npos;
    result.state = text.substr(0, first);
    if (result.ran)
        result.detail = text.substr(first + 1, text.find('\n', first + 1) - first - 1);
    return result;
}

TEST(ScreenUseTest, OpensARealDisplayOrTheDriverTheUserNamed)
{
    struct Case {
        bool display;        // DISPLAY as this process has it (else unset)
        const char* driver;  // SDL_VIDEODRIVER, or unset
        const char* state;
        const char* detail;  // the driver; for "closed", the start of the error
    };
    const Case cases[] = {
        {false, nullptr, "closed",
         "no display could be opened: neither DISPLAY nor WAYLAND_DISPLAY is set"},
        {false, "x11", "closed", "no display could be opened"},
        {false, "offscreen", "open", "offscreen"},
        {false, "dummy", "open", "dummy"},
        {false, "x11,offscreen", "open", "offscreen"},
        {false, "OFFSCREEN", "open", "offscreen"},
        {true, nullptr, "open", "x11"},
        {true, "offscreen", "open", "offscreen"},
    };
    const bool haveDisplay = std::getenv("DISPLAY") != nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.display ? "DISPLAY set" : "no DISPLAY")
                                        << ", SDL_VIDEODRIVER " << (c.driver ? c.driver : "unset"));
        if (c.display && !haveDisplay) {
            std::printf("no DISPLAY: this case is not tried (scripts/with-xvfb gives one)\n");
            continue;
        }
        const ProbeResult r = RunProbe(c.display, c.driver);
        ASSERT_TRUE(r.ran);
        EXPECT_EQ(r.state, c.state) << r.detail;
        if (std::strcmp(c.state, "closed") == 0)
            EXPECT_EQ(r.detail.rfind(c.detail, 0), 0u) << r.detail;
        else
            EXPECT_EQ(r.detail, c.detail);
    }
}

}  // namespace
