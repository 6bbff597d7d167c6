// The base library's timer service: WM_TIMER posted from its own thread, by
// the desktop clock, until the timer is killed.
#include "platform_fixture.h"

#include <chrono>
#include <thread>

namespace {

class KTimerTest : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        desktop::UseManualClock(5000);
        m_wnd = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    }
    // The WM_TIMER ids that arrive within a real-time wait: until `expected`
    // came, or for `ms` at the most.
    std::vector<WPARAM> Arrived(int expected, int ms = 2000)
    {
        std::vector<WPARAM> ids;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (int(ids.size()) < expected && std::chrono::steady_clock::now() < until) {
            MSG m;
            while (PeekMessageA(&m, m_wnd, WM_TIMER, WM_TIMER, PM_REMOVE))
                ids.push_back(m.wParam);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return ids;
    }
    HWND m_wnd = nullptr;
};

TEST_F(KTimerTest, PostsItsIdEachPeriodByTheDesktopClock)
{
    KThreadSystem system;
    _kwndTimer* t = setKTimer(&system, m_wnd, 42, 100);
    ASSERT_NE(t, nullptr);
    desktop::AdvanceClock(99);
    EXPECT_TRUE(Arrived(1, 50).empty());  // not yet due
    desktop::AdvanceClock(1);
    EXPECT_EQ(Arrived(1), std::vector<WPARAM>{42});
    desktop::AdvanceClock(100);
    EXPECT_EQ(Arrived(1), std::vector<WPARAM>{42});
    killKTimer(t);
    EXPECT_EQ(t, nullptr);
    desktop::AdvanceClock(500);
    EXPECT_TRUE(Arrived(1, 50).empty());
}

TEST_F(KTimerTest, RefusesWhatCannotRunAndKillsNothingTwice)
{
    KThreadSystem system;
    EXPECT_EQ(setKTimer(nullptr, m_wnd, 1, 100), nullptr);
    EXPECT_EQ(setKTimer(&system, nullptr, 1, 100), nullptr);
    EXPECT_EQ(setKTimer(&system, m_wnd, 1, 0), nullptr);
    EXPECT_TRUE(kbase::LogContains("setKTimer"));
    _kwndTimer* none = nullptr;
    killKTimer(none);
    EXPECT_EQ(none, nullptr);
}

TEST_F(KTimerTest, TimersLeftSetGoWithTheirSystem)
{
    auto* system = new KThreadSystem;
    ASSERT_NE(setKTimer(system, m_wnd, 1, 10), nullptr);
    ASSERT_NE(setKTimer(system, m_wnd, 2, 20), nullptr);
    delete system;  // the sanitizer build shows that nothing leaks
    desktop::AdvanceClock(100);
    EXPECT_TRUE(Arrived(1, 50).empty());
}

}  // namespace
