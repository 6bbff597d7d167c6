// Window classes: registration and removal.
#include "desktop_internal.h"

using namespace desktop::detail;

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc)
{
    if (ShouldFail("RegisterClassA"))
        return 0;
    if (wc == nullptr || wc->lpfnWndProc == nullptr || wc->lpszClassName == nullptr)
        return 0;
    if (IS_INTRESOURCE(wc->lpszClassName) || wc->lpszClassName[0] == '\0')
        return 0;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    if (d.FindClass(wc->lpszClassName) != nullptr)
        return 0;  // already registered, in any case
    const ATOM atom = d.NewAtom();
    if (atom == 0)
        return 0;
    WindowClass& c = d.classes[atom];
    c.atom = atom;
    c.name = wc->lpszClassName;
    c.style = wc->style;
    c.proc = wc->lpfnWndProc;
    c.clsExtra = wc->cbClsExtra;
    c.wndExtra = wc->cbWndExtra;
    c.instance = wc->hInstance;
    c.icon = wc->hIcon;
    c.cursor = wc->hCursor;
    c.background = wc->hbrBackground;
    return atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE)
{
    if (ShouldFail("UnregisterClassA"))
        return FALSE;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    WindowClass* c = d.FindClass(className);
    if (c == nullptr || c->windows > 0)
        return FALSE;
    d.classes.erase(c->atom);
    return TRUE;
}
