// Whether screen::Use opens a display, asked of a fresh process for each
// environment: with no display it fails and says so, instead of taking a
// video driver that shows nothing; such a driver only when SDL_VIDEODRIVER
// names it.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct ProbeResult {
    bool ran = false;
    std::string state;  // "open" or "closed"
    std::string detail;  // the driver, or LastError
};

// This process's environment without DISPLAY, WAYLAND_DISPLAY (unless
// keepDisplay) and SDL_VIDEODRIVER, then SDL_VIDEODRIVER=driver when given.
std::vector<std::string> ProbeEnvironment(bool keepDisplay, const char* driver)
{
    std::vector<std::string> env;
    for (char** p = environ; *p != nullptr; ++p) {
        const std::string entry = *p;
        const std::string name = entry.substr(0, entry.find('='));
        if (name == "SDL_VIDEODRIVER" ||
            (!keepDisplay && (name == "DISPLAY" || name == "WAYLAND_DISPLAY")))
            continue;
        env.push_back(entry);
    }
    if (driver != nullptr)
        env.push_back(std::string("SDL_VIDEODRIVER=") + driver);
    return env;
}

ProbeResult RunProbe(const std::vector<std::string>& env)
{
    ProbeResult result;
    int out[2];
    if (pipe(out) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char path[] = KESTREL_SCREEN_USE_PROBE;
    char* argv[] = {path, nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while (spawned == 0 && (n = read(out[0], buf, sizeof(buf))) > 0)
        text.append(buf, size_t(n));
    close(out[0]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
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
        const ProbeResult r = RunProbe(ProbeEnvironment(c.display, c.driver));
        ASSERT_TRUE(r.ran);
        EXPECT_EQ(r.state, c.state) << r.detail;
        if (std::strcmp(c.state, "closed") == 0)
            EXPECT_EQ(r.detail.rfind(c.detail, 0), 0u) << r.detail;
        else
            EXPECT_EQ(r.detail, c.detail);
    }
}

}  // namespace
