// MessageBoxA on the headless desktop: nobody sees the box, so it is recorded
// for the harness and answered with its default button at once.
#include "desktop_internal.h"

#include <desktop/desktop.h>

namespace {

struct Shown {
    std::mutex mutex;
    std::vector<desktop::MessageBoxShown> boxes;
};

Shown& Boxes()
{
    static Shown shown;
    return shown;
}

// The buttons of each box type, left to right; 0 ends a shorter row.
struct Buttons {
    int ids[3];
};
const Buttons kButtons[] = {
    {{IDOK, 0, 0}},                      // MB_OK
    {{IDOK, IDCANCEL, 0}},               // MB_OKCANCEL
    {{IDABORT, IDRETRY, IDIGNORE}},      // MB_ABORTRETRYIGNORE
    {{IDYES, IDNO, IDCANCEL}},           // MB_YESNOCANCEL
    {{IDYES, IDNO, 0}},                  // MB_YESNO
    {{IDRETRY, IDCANCEL, 0}},            // MB_RETRYCANCEL
    {{IDCANCEL, IDTRYAGAIN, IDCONTINUE}} // MB_CANCELTRYCONTINUE
};

// The default button's id; a default past the last button falls back to the
// first, as Win32 does.
int DefaultAnswer(UINT type)
{
    const UINT kind = type & MB_TYPEMASK;
    if (kind >= sizeof(kButtons) / sizeof(kButtons[0]))
        return 0;
    const UINT which = (type & MB_DEFMASK) >> 8;
    const Buttons& row = kButtons[kind];
    if (which < 3 && row.ids[which] != 0)
        return row.ids[which];
    return row.ids[0];
}

}  // namespace

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (desktop::detail::ShouldFail("MessageBoxA"))
        return 0;
    const int answer = DefaultAnswer(type);
    if (answer == 0)
        return 0;
    Shown& s = Boxes();
    std::lock_guard<std::mutex> lock(s.mutex);
    // A null caption is "Error" in Win32.
    s.boxes.push_back(desktop::MessageBoxShown{owner, text != nullptr ? text : "",
                                               caption != nullptr ? caption : "Error", type,
                                               answer});
    return answer;
}

namespace desktop {

std::vector<MessageBoxShown> TakeMessageBoxes()
{
    Shown& s = Boxes();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::vector<MessageBoxShown> out;
    out.swap(s.boxes);
    return out;
}

namespace detail {

void ClearMessageBoxes()
{
    TakeMessageBoxes();
}

}  // namespace detail
}  // namespace desktop
