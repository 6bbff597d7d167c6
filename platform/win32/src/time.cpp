// timeGetTime and Sleep on the desktop's clock.
#include "desktop_internal.h"

DWORD WINAPI timeGetTime(void)
{
    return desktop::detail::ClockNow();
}

void WINAPI Sleep(DWORD milliseconds)
{
    desktop::detail::ClockSleep(milliseconds);
}
