// The display mode, as the desktop was told it (desktop::SetDisplayMode).
#include "desktop_internal.h"

#include <cstring>

using namespace desktop::detail;

BOOL WINAPI EnumDisplaySettingsA(LPCSTR, DWORD modeNum, DEVMODEA* devMode)
{
    if (ShouldFail("EnumDisplaySettingsA"))
        return FALSE;
    if (devMode == nullptr)
        return FALSE;
    // The one display offers one mode: the current one, also numbered 0.
    if (modeNum != ENUM_CURRENT_SETTINGS && modeNum != ENUM_REGISTRY_SETTINGS && modeNum != 0)
        return FALSE;
    DisplayMode mode;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        mode = d.display;
    }
    std::memset(devMode, 0, sizeof(DEVMODEA));
    static const char kName[] = "DISPLAY1";
    std::memcpy(devMode->dmDeviceName, kName, sizeof(kName));
    devMode->dmSpecVersion = DM_SPECVERSION;
    devMode->dmSize = sizeof(DEVMODEA);
    devMode->dmFields =
        DM_POSITION | DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY;
    devMode->dmBitsPerPel = mode.bitsPerPixel;
    devMode->dmPelsWidth = mode.width;
    devMode->dmPelsHeight = mode.height;
    devMode->dmDisplayFrequency = mode.frequency;
    return TRUE;
}
