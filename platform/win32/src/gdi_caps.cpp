// What the device offers: GetDeviceCaps (the desktop's display at 96 dots an
// inch) and the system colours of the basic scheme.
#include "gdi_internal.h"
#include "desktop_internal.h"

using namespace gdi;

int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    {
        Registry& r = Gdi();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.FindDc(hdc) == nullptr)
            return 0;
    }
    desktop::detail::Desktop& d = desktop::detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    const int width = int(d.display.width), height = int(d.display.height);
    switch (index) {
    case HORZRES: return width;
    case VERTRES: return height;
    case HORZSIZE: return width * 254 / 960;  // millimetres at 96 dots an inch
    case VERTSIZE: return height * 254 / 960;
    case BITSPIXEL: return int(d.display.bitsPerPixel);
    case PLANES: return 1;
    case NUMCOLORS: return -1;  // more than 8 bits a pixel
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE:
    case NUMRESERVED: return 0;
    case COLORRES: return 24;
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT |
               RC_STRETCHDIB;
    default: return 0;
    }
}

DWORD WINAPI GetSysColor(int index)
{
    switch (index) {
    case COLOR_WINDOW:
    case COLOR_MENU:
    case COLOR_HIGHLIGHTTEXT:
    case COLOR_BTNHIGHLIGHT:
    case COLOR_CAPTIONTEXT: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_MENUTEXT:
    case COLOR_BTNTEXT:
    case COLOR_WINDOWFRAME:
    case COLOR_3DDKSHADOW:
    case COLOR_INFOTEXT: return RGB(0, 0, 0);
    case COLOR_SCROLLBAR:
    case COLOR_ACTIVEBORDER:
    case COLOR_INACTIVEBORDER:
    case COLOR_BTNFACE:
    case COLOR_3DLIGHT:
    case COLOR_INACTIVECAPTIONTEXT: return RGB(192, 192, 192);
    case COLOR_BTNSHADOW:
    case COLOR_GRAYTEXT:
    case COLOR_INACTIVECAPTION:
    case COLOR_APPWORKSPACE: return RGB(128, 128, 128);
    case COLOR_BACKGROUND: return RGB(0, 128, 128);
    case COLOR_ACTIVECAPTION:
    case COLOR_HIGHLIGHT: return RGB(0, 0, 128);
    case COLOR_INFOBK: return RGB(255, 255, 225);
    default: return 0;
    }
}
