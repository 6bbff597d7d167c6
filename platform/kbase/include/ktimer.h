// The base library's window timers: a KThreadSystem keeps timers on a
// thread of its own and posts WM_TIMER to their windows as they fall due,
// by the desktop clock (timeGetTime), so a window gets timer messages
// whatever its own thread is doing.
//
// setKTimer's two numbers are the id that WM_TIMER carries in wParam and
// the period in milliseconds.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

struct _kwndTimer;

class KThreadSystem {
public:
    KThreadSystem();
    // Stops the thread and frees every timer still set.
    ~KThreadSystem();
    KThreadSystem(const KThreadSystem&) = delete;
    KThreadSystem& operator=(const KThreadSystem&) = delete;

private:
    friend _kwndTimer* setKTimer(KThreadSystem*, HWND, DWORD, DWORD);
    friend void killKTimer(_kwndTimer*&);

    void _run();
    void _add(_kwndTimer* timer);
    void _remove(_kwndTimer* timer);

    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::vector<_kwndTimer*> m_Timers;
    bool m_bStop = false;
    std::thread m_Thread;
};

// Posts WM_TIMER (wParam id, lParam 0) to hwnd every period milliseconds
// from now on. Null, with a report, for a null system or window or a period
// of 0.
_kwndTimer* setKTimer(KThreadSystem* system, HWND hwnd, DWORD id, DWORD period);
// Stops and frees the timer and nulls the caller's pointer; null does nothing.
void killKTimer(_kwndTimer*& timer);
