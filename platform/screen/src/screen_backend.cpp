// Choosing the screen backend, and its waiting: the display's events are
// read here and handed to screen_input.cpp; a waiting thread sleeps in SDL
// until the display, a timer's moment or a posted message wakes it.
#include "screen_backend.h"

#include <screen/screen.h>

#include <desktop/desktop.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>

namespace screen {
namespace {

std::unique_ptr<ScreenBackend> g_backend;
std::string g_error;

struct CursorPair {
    UINT id;
    SDL_SystemCursor cursor;
};

// The standard cursors of LoadCursorA and the display's nearest ones.
const CursorPair kCursors[] = {
    {32512, SDL_SYSTEM_CURSOR_ARROW},     {32513, SDL_SYSTEM_CURSOR_IBEAM},
    {32514, SDL_SYSTEM_CURSOR_WAIT},      {32515, SDL_SYSTEM_CURSOR_CROSSHAIR},
    {32516, SDL_SYSTEM_CURSOR_ARROW},     {32642, SDL_SYSTEM_CURSOR_SIZENWSE},
    {32643, SDL_SYSTEM_CURSOR_SIZENESW},  {32644, SDL_SYSTEM_CURSOR_SIZEWE},
    {32645, SDL_SYSTEM_CURSOR_SIZENS},    {32646, SDL_SYSTEM_CURSOR_SIZEALL},
    {32648, SDL_SYSTEM_CURSOR_NO},        {32649, SDL_SYSTEM_CURSOR_HAND},
    {32650, SDL_SYSTEM_CURSOR_WAITARROW},
};

// Video drivers that draw into memory and show nothing: a window there would
// wait for input that can never come.
const char* const kShowNothing[] = {"offscreen", "dummy", "evdev"};

bool ShowsNothing(const char* driver)
{
    for (const char* name : kShowNothing)
        if (strcasecmp(driver, name) == 0)
            return true;
    return false;
}

// Whether the user named the driver in SDL_VIDEODRIVER (a comma-separated
// list of names).
bool NamedByUser(const char* driver)
{
    const char* list = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (list == nullptr)
        return false;
    const size_t length = std::strlen(driver);
    for (const char* p = list; *p != '\0';) {
        const char* comma = std::strchr(p, ',');
        const size_t n = comma ? size_t(comma - p) : std::strlen(p);
        if (n == length && strncasecmp(p, driver, n) == 0)
            return true;
        p += comma ? n + 1 : n;
    }
    return false;
}

// The video subsystem on a display the user can see, or false with g_error
// saying why.
bool OpenDisplay()
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        g_error = std::string("no display could be opened: ") + SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && ShowsNothing(driver) && !NamedByUser(driver)) {
        // The display's own drivers all failed and SDL fell back on one
        // that shows nothing.
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        const char* display = std::getenv("DISPLAY");
        g_error = "no display could be opened: ";
        if (display != nullptr)
            g_error += std::string("none answers at DISPLAY=") + display;
        else if (std::getenv("WAYLAND_DISPLAY") == nullptr)
            g_error += "neither DISPLAY nor WAYLAND_DISPLAY is set";
        else
            g_error += "none answers at WAYLAND_DISPLAY";
        return false;
    }
    return true;
}

}  // namespace

ScreenBackend::ScreenBackend() : m_thread(std::this_thread::get_id())
{
    m_wakeEvent = SDL_RegisterEvents(1);
}

bool ScreenBackend::OnDisplayThread()
{
    return std::this_thread::get_id() == m_thread;
}

ScreenBackend::~ScreenBackend()
{
    CloseAll();
}

void ScreenBackend::CloseAll()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (auto& entry : m_windows)
        _destroy(entry.second);
    m_windows.clear();
    for (auto& entry : m_cursors)
        SDL_FreeCursor(entry.second);
    m_cursors.clear();
    m_pending.clear();
    _closeSound();
}

void ScreenBackend::Pump()
{
    _showPresented();
    for (;;) {
        SDL_Event e;
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            if (!m_pending.empty()) {
                e = m_pending.front();
                m_pending.pop_front();
            } else if (SDL_PollEvent(&e) == 0) {
                return;
            }
        }
        _handle(e);  // calls Win32: no lock of ours held
    }
}

void ScreenBackend::Wait(DWORD timeoutMs)
{
    _showPresented();
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (!m_pending.empty())
            return;
    }
    SDL_Event e;
    const int got = timeoutMs == INFINITE
                        ? SDL_WaitEvent(&e)
                        : SDL_WaitEventTimeout(&e, int(std::min<DWORD>(timeoutMs, 0x7FFFFFFF)));
    if (got) {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_pending.push_back(e);
    }
}

void ScreenBackend::Wake()
{
    SDL_Event e = {};
    e.type = m_wakeEvent;
    SDL_PushEvent(&e);
}

void ScreenBackend::ShowCursor(UINT standardId)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    // Controls set the cursor on every move of the pointer: only a change
    // goes to the display.
    if (standardId == m_shownCursor)
        return;
    m_shownCursor = standardId;
    if (standardId == 0) {
        SDL_ShowCursor(SDL_DISABLE);
        return;
    }
    SDL_SystemCursor which = SDL_SYSTEM_CURSOR_ARROW;
    for (const CursorPair& c : kCursors)
        if (c.id == standardId)
            which = c.cursor;
    SDL_Cursor*& cursor = m_cursors[standardId];
    if (cursor == nullptr)
        cursor = SDL_CreateSystemCursor(which);
    if (cursor != nullptr)
        SDL_SetCursor(cursor);
    SDL_ShowCursor(SDL_ENABLE);
}

bool ScreenBackend::CursorPos(POINT& pt)
{
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    pt.x = x;
    pt.y = y;
    return true;
}

bool Use()
{
    if (g_backend)
        return true;
    // The process keeps its own signal handling; a click on a window that
    // is not yet focused is a click, as on Win32; pixels are never smoothed.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (!OpenDisplay())
        return false;
    SDL_StartTextInput();
    g_error.clear();
    desktop::UseRealClock();
    g_backend = std::make_unique<ScreenBackend>();
    desktop::UseBackend(g_backend.get());
    return true;
}

void Leave()
{
    if (!g_backend)
        return;
    desktop::UseBackend(nullptr);
    g_backend.reset();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    // The display connection stays open for a later Use: the display's
    // libraries keep what they made until the process ends.
    SDL_StopTextInput();
}

const char* LastError()
{
    return g_error.c_str();
}

}  // namespace screen
