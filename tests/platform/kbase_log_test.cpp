// Reports, log lines and debug assertions in the base library's log sink.
#include "platform_fixture.h"

#include <thread>

using LogTest = PlatformTest;
using AssertTest = PlatformTest;

TEST_F(LogTest, KRetReturnsItsCodeAndRecordsTheText)
{
    EXPECT_EQ(KRet(-1, "_createbackscreen_gdi:_createsprite"), -1);
    EXPECT_EQ(KRet(E_FAIL, "_get_screen_colormode_gdi:EnumDisplaySettings"), long(E_FAIL));
    EXPECT_EQ(KRet(7, "open %s failed (%d)", "a.kpc", 2), 7);
    const auto log = kbase::TakeLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].kind, kbase::LogEntry::Report);
    EXPECT_EQ(log[0].text, "_createbackscreen_gdi:_createsprite");
    EXPECT_EQ(log[0].code, -1);
    EXPECT_EQ(log[1].code, long(E_FAIL));
    EXPECT_LT(log[1].code, 0);
    EXPECT_EQ(log[2].text, "open a.kpc failed (2)");
    EXPECT_TRUE(kbase::TakeLog().empty());
}

TEST_F(LogTest, DebugAndOutputLogAreOneLineEach)
{
    Debug("bIs555=%s", "false");
    OutputLog("_line_ds7:没有定义的kcm!");
    const auto log = kbase::TakeLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, kbase::LogEntry::DebugLine);
    EXPECT_EQ(log[0].text, "bIs555=false");
    EXPECT_EQ(log[0].code, 0);
    EXPECT_EQ(log[1].kind, kbase::LogEntry::Log);
    EXPECT_EQ(log[1].text, "_line_ds7:没有定义的kcm!");
}

TEST_F(LogTest, LongMessagesAreKeptWhole)
{
    const std::string longText(5000, 'q');
    KRet(3, "%s|end", longText.c_str());
    const auto log = kbase::TakeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, longText + "|end");
}

TEST_F(LogTest, ContainsClearAndTheSinkLimit)
{
    OutputLog("unknown extension: %s", "foo.xyz");
    EXPECT_TRUE(kbase::LogContains("foo.xyz"));
    EXPECT_FALSE(kbase::LogContains("bar"));
    EXPECT_TRUE(kbase::LogContains("foo.xyz"));  // asking forgets nothing
    kbase::ClearLog();
    EXPECT_FALSE(kbase::LogContains("foo.xyz"));

    for (int i = 0; i < 65536 + 10; ++i)
        Debug("%d", i);
    const auto log = kbase::TakeLog();
    ASSERT_EQ(log.size(), 65536u);
    EXPECT_EQ(log.front().text, "10");
    EXPECT_EQ(log.back().text, "65545");
}

TEST_F(LogTest, EchoGoesToStandardError)
{
    kbase::SetEcho(true);
    ::testing::internal::CaptureStderr();
    KRet(-1, "visible %d", 1);
    Debug("dbg");
    OutputLog("evt");
    const std::string err = ::testing::internal::GetCapturedStderr();
    kbase::SetEcho(false);
    EXPECT_EQ(err, "[report] visible 1 (code -1)\n[debug] dbg\n[log] evt\n");

    ::testing::internal::CaptureStderr();
    Debug("quiet");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(kbase::LogContains("quiet"));
}

TEST_F(LogTest, ThreadsLogWithoutLosingLines)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i)
                OutputLog("t%d-%d", t, i);
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(kbase::TakeLog().size(), 2000u);
}

TEST_F(AssertTest, FailedAssertionReportsExpressionFileAndLineAndGoesOn)
{
    const void* graph = nullptr;
    bool after = false;
    const int line = __LINE__ + 1;
    KASSERT(graph != NULL);
    after = true;
    EXPECT_TRUE(after);
    KASSERT(after);  // holds: nothing reported

    const auto log = kbase::TakeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, kbase::LogEntry::Assert);
    EXPECT_EQ(log[0].text, "graph != NULL");
    EXPECT_EQ(log[0].file, "tests/platform/kbase_log_test.cpp");
    EXPECT_EQ(log[0].line, line);
}

namespace {

struct Seen {
    std::string expr, file;
    int line = 0;
    int calls = 0;
} g_seen;

void Intercept(const char* expr, const char* file, int line)
{
    g_seen.expr = expr;
    g_seen.file = file;
    g_seen.line = line;
    ++g_seen.calls;
}

}  // namespace

template <typename A, typename B>
struct Same {
    static const bool value = false;
};

TEST_F(AssertTest, ExpressionsWithCommasPassWhole)
{
    KASSERT(Same<int, long>::value);
    const auto log = kbase::TakeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "Same<int, long>::value");
}

TEST_F(AssertTest, HandlerInterceptsAndIsRestored)
{
    g_seen = Seen();
    const kbase::AssertHandler previous = kbase::SetAssertHandler(&Intercept);
    EXPECT_EQ(previous, &kbase::DefaultAssertHandler);
    const int w = 0, h = 5;
    const int line = __LINE__ + 1;
    KASSERT(w > 0 && h > 0);
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.expr, "w > 0 && h > 0");
    EXPECT_EQ(g_seen.file, "tests/platform/kbase_log_test.cpp");
    EXPECT_EQ(g_seen.line, line);
    EXPECT_TRUE(kbase::TakeLog().empty());  // the handler replaced the report

    EXPECT_EQ(kbase::SetAssertHandler(nullptr), &Intercept);
    KASSERT(w > 0);
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(kbase::TakeLog().size(), 1u);
}

TEST_F(AssertTest, SourcePathsStartAtTheProjectFolder)
{
    EXPECT_STREQ(kbase::SourcePath("/home/ci/kestrel/libsrc/graph/kgraph.cpp"),
                 "libsrc/graph/kgraph.cpp");
    EXPECT_STREQ(kbase::SourcePath("/x/y/inc/graph/kgraph.h"), "inc/graph/kgraph.h");
    EXPECT_STREQ(kbase::SourcePath("/build/raster/bmp.cpp"), "raster/bmp.cpp");
    EXPECT_STREQ(kbase::SourcePath("/src/platform/kbase/src/kfile.cpp"),
                 "platform/kbase/src/kfile.cpp");
    // A folder name that only ends in a project folder's name does not count.
    EXPECT_STREQ(kbase::SourcePath("/opt/myinc/libsrc/a.cpp"), "libsrc/a.cpp");
    EXPECT_STREQ(kbase::SourcePath("../libsrc/windows/kwnd.cpp"), "libsrc/windows/kwnd.cpp");
    EXPECT_STREQ(kbase::SourcePath("elsewhere.cpp"), "elsewhere.cpp");
    EXPECT_STREQ(kbase::SourcePath(nullptr), "");
}
