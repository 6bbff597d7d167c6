// The display mode EnumDisplaySettingsA reports, and the desktop's clock.
#include "platform_fixture.h"

#include <chrono>

using DisplayTest = PlatformTest;
using ClockTest = PlatformTest;

TEST_F(DisplayTest, CurrentSettingsFillAFullDevMode)
{
    DEVMODEA mode;
    std::memset(&mode, 0xCC, sizeof(mode));
    mode.dmSize = sizeof(DEVMODEA);
    ASSERT_TRUE(EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.dmSize, 156);
    EXPECT_EQ(mode.dmBitsPerPel, 32u);
    EXPECT_EQ(mode.dmPelsWidth, 1024u);
    EXPECT_EQ(mode.dmPelsHeight, 768u);
    EXPECT_EQ(mode.dmDisplayFrequency, 60u);
    const DWORD fields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    EXPECT_EQ(mode.dmFields & fields, fields);
    // Every other byte is defined: nothing of the 0xCC fill is left.
    EXPECT_EQ(mode.dmDriverExtra, 0);
    EXPECT_EQ(mode.dmPanningHeight, 0u);
    EXPECT_EQ(mode.dmFormName[31], 0);
}

TEST_F(DisplayTest, ReportsTheModeTheDesktopWasGiven)
{
    desktop::SetDisplayMode(800, 600, 16);
    DEVMODEA mode = {};
    mode.dmSize = sizeof(mode);
    ASSERT_TRUE(EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 800u);
    EXPECT_EQ(mode.dmPelsHeight, 600u);
    EXPECT_EQ(mode.dmBitsPerPel, 16u);
    // The one mode is also number 0; the list ends there.
    DEVMODEA listed = {};
    ASSERT_TRUE(EnumDisplaySettingsA(NULL, 0, &listed));
    EXPECT_EQ(listed.dmPelsWidth, 800u);
    EXPECT_FALSE(EnumDisplaySettingsA(NULL, 1, &listed));
    EXPECT_FALSE(EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, nullptr));

    desktop::Reset();
    ASSERT_TRUE(EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 1024u);
}

TEST_F(ClockTest, ManualClockMovesOnlyWhenTold)
{
    EXPECT_FALSE(desktop::IsManualClock());
    desktop::UseManualClock(1000);
    EXPECT_TRUE(desktop::IsManualClock());
    EXPECT_EQ(timeGetTime(), 1000u);
    EXPECT_EQ(timeGetTime(), 1000u);
    desktop::AdvanceClock(16);
    EXPECT_EQ(timeGetTime(), 1016u);

    // Sleep advances the manual clock and returns at once.
    const auto start = std::chrono::steady_clock::now();
    Sleep(60000);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::seconds(10));
    EXPECT_EQ(timeGetTime(), 61016u);
    Sleep(0);
    EXPECT_EQ(timeGetTime(), 61016u);
}

TEST_F(ClockTest, ManualClockWrapsLikeTheRealCount)
{
    desktop::UseManualClock(0xFFFFFFF0u);
    Sleep(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u);
}

TEST_F(ClockTest, RealClockRunsAndResetRestoresIt)
{
    desktop::UseManualClock(5);
    desktop::Reset();
    EXPECT_FALSE(desktop::IsManualClock());
    desktop::AdvanceClock(1000000);  // no effect on the real clock
    const DWORD before = timeGetTime();
    Sleep(20);
    const DWORD elapsed = timeGetTime() - before;
    EXPECT_GE(elapsed, 19u);
    EXPECT_LT(elapsed, 100000u);

    desktop::UseManualClock(7);
    desktop::UseRealClock();
    EXPECT_FALSE(desktop::IsManualClock());
}
