// The desktop's clock: the steady clock by default, or a manual clock that
// only AdvanceClock and Sleep move, so timing in tests is deterministic.
#include "desktop_internal.h"

#include <desktop/desktop.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace desktop {
namespace {

struct Clock {
    std::mutex mutex;
    bool manual = false;
    DWORD manualMs = 0;
};

Clock& TheClock()
{
    static Clock clock;
    return clock;
}

DWORD RealNow()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    // Keep the low 32 bits: the count wraps as timeGetTime does.
    return DWORD(uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count()));
}

}  // namespace

void UseManualClock(DWORD startMs)
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.manual = true;
    c.manualMs = startMs;
}

void UseRealClock()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.manual = false;
}

void AdvanceClock(DWORD ms)
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (c.manual)
        c.manualMs += ms;  // DWORD arithmetic wraps like the real count
}

bool IsManualClock()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> lock(c.mutex);
    return c.manual;
}

namespace detail {

DWORD ClockNow()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> lock(c.mutex);
    return c.manual ? c.manualMs : RealNow();
}

void ClockSleep(DWORD ms)
{
    Clock& c = TheClock();
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        if (c.manual && ms == INFINITE) {
            // Nothing ever wakes a sleep for ever on a clock only the
            // sleeper moves: say so instead of hanging.
            std::fprintf(stderr, "desktop: Sleep(INFINITE) on the manual clock never returns\n");
            std::fflush(stderr);
            std::abort();
        }
        if (c.manual) {
            // Timers and scripted input falling due meanwhile are picked up
            // by the next look at the queue.
            c.manualMs += ms;
            return;
        }
    }
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool ClockJumpTo(DWORD ms)
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (!c.manual)
        return false;
    if (int32_t(ms - c.manualMs) > 0)
        c.manualMs = ms;  // only forward
    return true;
}

void ResetClock()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.manual = false;
    c.manualMs = 0;
}

}  // namespace detail
}  // namespace desktop
