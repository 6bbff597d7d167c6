// The log's echo to standard error follows the environment of the process:
// each case runs this test program again, as a child with its own
// environment, and reads what the child wrote to standard error.
#include <gtest/gtest.h>
#include <kbase.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kChildFlag[] = "KESTREL_LOG_ECHO_CHILD";

// Runs this program's LogEchoChild case with KESTREL_LOG set to `value` (or
// unset for null); returns what it wrote to standard error.
std::string ChildStderr(const char* value)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return "pipe failed";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        close(pipeFds[1]);
        setenv(kChildFlag, "1", 1);
        if (value != nullptr)
            setenv("KESTREL_LOG", value, 1);
        else
            unsetenv("KESTREL_LOG");
        execl("/proc/self/exe", "child", "--gtest_filter=LogEchoChild.*", "--gtest_brief=1",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string out;
    std::array<char, 512> buf;
    ssize_t n;
    while ((n = read(pipeFds[0], buf.data(), buf.size())) > 0)
        out.append(buf.data(), size_t(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return out;
}

}  // namespace

// Only as the child: one report and one debug line, as the library makes them.
TEST(LogEchoChild, LogsOneReportAndOneDebugLine)
{
    if (std::getenv(kChildFlag) == nullptr)
        GTEST_SKIP() << "run by the LogEcho cases";
    KRet(3, "child report");
    Debug("child debug");
    EXPECT_TRUE(kbase::LogContains("child debug"));
}

TEST(LogEcho, StandardErrorHearsTheLogOnlyWhenAsked)
{
    EXPECT_EQ(ChildStderr(nullptr).find("child"), std::string::npos);
    EXPECT_EQ(ChildStderr("").find("child"), std::string::npos);
    EXPECT_EQ(ChildStderr("off").find("child"), std::string::npos);
    const std::string asked = ChildStderr("stderr");
    EXPECT_NE(asked.find("[report] child report (code 3)\n[debug] child debug\n"),
              std::string::npos)
        << asked;
}
