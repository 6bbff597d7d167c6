// The desktop's state, shared by the Win32 calls (platform/win32/src) and the
// harness (platform/desktop/src). Not installed: nothing outside kplatform
// sees it.
#pragma once

#include <windows.h>
#include <desktop/desktop.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace desktop {
namespace detail {

// The non-client frame of a window whose style has WS_CAPTION.
constexpr int kFrameSide = 3;     // left, right and bottom
constexpr int kFrameTop = 3 + 20; // border and caption bar
// Larger surfaces are refused rather than allocated (16384^2 pixels is 1 GiB).
constexpr int kMaxSurfaceSide = 16384;

// 32-bit pixels 0x00RRGGBB of a top-level window's client area.
struct Surface {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;

    // New size, keeping the pixels that overlap the old size; new pixels are 0.
    // False, with the surface unchanged, when the size is refused or memory
    // runs out.
    bool Resize(int w, int h);
};

struct WindowClass {
    ATOM atom = 0;
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    int windows = 0;            // live windows of the class
};

// A timer of SetTimer. `due` is a clock time; it is due once the clock has
// reached it (compared across the 2^32 wrap).
struct Timer {
    UINT elapse = 0;
    DWORD due = 0;
    TIMERPROC proc = nullptr;
};

// What a window of the built-in "EDIT" class keeps beside its text: byte
// offsets into the text, the caret at `caret` and the selection running
// from `anchor` to it.
struct EditData {
    size_t anchor = 0;
    size_t caret = 0;
    size_t limit = 0;  // bytes of typing at most, set as the window is made
    int lead = -1;     // a double-byte lead byte waiting for its trail byte
};

// One window object. A child window (WS_CHILD with a parent) keeps its
// rectangles in its parent's client coordinates and has no surface; a
// top-level window keeps them in screen coordinates.
struct Window {
    HWND hwnd = nullptr;
    ATOM atom = 0;  // its class
    WNDPROC proc = nullptr;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;  // the parent of a child, the owner of a top-level window
    bool child = false;
    UINT_PTR id = 0;  // the HMENU argument of creation
    HINSTANCE instance = nullptr;
    RECT window = {};
    RECT client = {};
    LONG_PTR userData = 0;
    Surface surface;
    int presents = 0;
    bool destroying = false;  // DestroyWindow is under way
    std::thread::id thread;   // the thread whose queue gets its messages
    bool minimized = false;
    bool invalid = false;     // needs WM_PAINT
    RECT invalidRect = {};    // client coordinates, while invalid
    std::map<UINT_PTR, Timer> timers;
    EditData edit;  // windows of the "EDIT" class only
};

// One thread's message queue. Posted messages and input are first in,
// first out; a quit request waits behind the posted messages.
struct Queue {
    std::deque<MSG> posted;
    std::deque<MSG> input;
    bool quit = false;
    int quitCode = 0;
    std::map<UINT_PTR, Timer> threadTimers;  // SetTimer with no window
    HWND focus = nullptr;
    // Keys down as of the key messages this thread has removed: what
    // TranslateMessage reads, in step with the message it translates.
    bool keys[256] = {};
    std::condition_variable wake;  // a message may have arrived
};

// Input a test scripted for a moment of the clock. It joins the target's
// queue once the clock has reached `time`.
enum class InputKind { Mouse, Key, Char, Wheel };
struct ScriptedInput {
    DWORD time = 0;
    uint64_t serial = 0;  // keeps events of the same moment in script order
    InputKind kind = InputKind::Mouse;
    HWND top = nullptr;
    UINT msg = 0;
    int x = 0;
    int y = 0;
    UINT code = 0;  // virtual key, character, or wheel distance (signed)
};

enum class DcKind { Window, Screen };

struct DeviceContext {
    DcKind kind = DcKind::Screen;
    HWND hwnd = nullptr;
};

struct DisplayMode {
    DWORD width = 1024;
    DWORD height = 768;
    DWORD bitsPerPixel = 32;
    DWORD frequency = 60;
};

// The window table. One mutex guards all of it; it is never held while a
// window procedure runs, because procedures call back into the table.
struct Desktop {
    std::mutex mutex;
    std::map<uintptr_t, std::unique_ptr<Window>> windows;
    std::map<ATOM, WindowClass> classes;
    std::map<uintptr_t, DeviceContext> dcs;
    DisplayMode display;

    // The window manager: queues by thread, activation, the pointer and the
    // keys held, and input waiting for its moment.
    std::map<std::thread::id, std::unique_ptr<Queue>> queues;
    HWND active = nullptr;
    POINT cursorPos = {0, 0};
    HCURSOR cursor = nullptr;
    WPARAM buttons = 0;  // MK_LBUTTON | MK_RBUTTON held
    bool keys[256] = {};
    std::vector<ScriptedInput> scripted;
    uint64_t scriptSerial = 0;
    UINT_PTR threadTimerSerial = 0;
    HWND capture = nullptr;  // the window holding the mouse capture
    // The earliest due time of every timer of every thread, while
    // `timersKnown`: until then no timer can be due, and a queue that is
    // read does not look through them all. SetTimer and Reset forget it.
    bool timersKnown = false;
    bool anyTimer = false;
    DWORD firstDue = 0;
    // Whether any window that can be painted needs it, while `paintKnown`:
    // Invalidate, a new style and Reset forget it.
    bool paintKnown = false;
    bool anyInvalid = false;

    // Requests PlaySoundA recorded (name, flags), oldest first.
    std::vector<std::pair<std::string, DWORD>> sounds;
    // Requests ShellExecuteA recorded, oldest first.
    std::vector<desktop::ShellRequest> shellRequests;
    // The process's clipboard text, which "EDIT" windows copy to and paste from.
    std::string clipboard;

    // Handle numbers only grow, across Reset too, so a stale handle never
    // names a newer object.
    uint64_t windowSerial = 0;
    uint64_t dcSerial = 0;
    unsigned atomSerial = 0;

    // All of these expect the mutex held.
    Window* FindWindow(HWND hwnd);
    // The calling thread's queue (or another thread's), made on first use.
    Queue& QueueOf(std::thread::id thread);
    Queue& MyQueue() { return QueueOf(std::this_thread::get_id()); }
    // The queue that gets the window's messages; null for no window.
    Queue* QueueOfWindow(HWND hwnd);
    // The top-left of the window's client area in screen coordinates.
    POINT ClientOrigin(const Window& w);
    // Visible, and every parent visible too.
    bool IsShown(const Window& w);
    // True when `w` is `ancestor` or lies below it.
    bool IsWithin(HWND w, HWND ancestor);
    WindowClass* FindClass(LPCSTR nameOrAtom);
    HWND NewWindowHandle();
    HDC NewDcHandle();
    ATOM NewAtom();  // 0 when every atom is taken

private:
    WindowClass* _registerEdit();
};

Desktop& State();

// The procedure of the built-in "EDIT" class (win32/src/edit.cpp); the class
// is registered when its name is first looked up, and again after Reset.
LRESULT CALLBACK EditWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
constexpr const char* kEditClassName = "EDIT";

// Window handles lie above 4 GiB, so a handle cut to 32 bits is caught.
constexpr uintptr_t kWindowHandleBase = uintptr_t(1) << 32;
constexpr uintptr_t kDcHandleBase = uintptr_t(2) << 32;
constexpr ATOM kFirstAtom = 0xC000;  // string atoms, as on Win32

// The window rectangle at (x, y) of the given outer size: a negative size
// counts as 0, and right and bottom stop at the largest LONG.
RECT WindowRectAt(int x, int y, int width, int height);

// The client rectangle (screen coordinates) of a window rectangle.
RECT ClientOfWindow(DWORD style, const RECT& window);

// Calls the window's current procedure, outside the lock. 0 when the window is
// gone or has no procedure.
LRESULT CallProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The default procedure's WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH on
// the window's own text (lock not held).
LRESULT DefTextMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Copies at most size - 1 bytes of text and a NUL into buffer; the bytes
// copied.
size_t CopyText(const std::string& text, char* buffer, WPARAM size);

// Marks the whole client area (rc null) or rc of the window as needing
// WM_PAINT. The mutex must be held.
void Invalidate(Window& w, const RECT* rc);

// Retrieval in Win32's order for the calling thread: posted messages, then
// WM_QUIT, then input, then WM_PAINT, then due timers. Filters as
// GetMessageA's (hwnd null: any; (HWND)-1: thread messages only; min and max
// both 0: any message). With `remove` the message leaves the queue (a
// WM_PAINT stays until its window is validated; a timer starts its next
// period). The mutex must be held.
bool Retrieve(Desktop& d, MSG* out, HWND filter, UINT min, UINT max, bool remove);
// Blocks the calling thread until a message can be retrieved. On the manual
// clock it moves the clock to the next timer or scripted input instead of
// waiting; when nothing can ever come it reports and aborts the process
// rather than hang. `lock` holds the mutex.
void WaitForMessage(Desktop& d, std::unique_lock<std::mutex>& lock, HWND filter, UINT min,
                    UINT max, const char* caller);
// A queued message as GetMessageA hands it out.
MSG MakeMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD time, POINT pt);
// Moves scripted input whose moment has come into its window's queue.
void DeliverDueInput(Desktop& d);
// Places a mouse, key or character event in the right queue now.
void DeliverInput(Desktop& d, const ScriptedInput& e);
// Sends WM_ACTIVATE to the window that loses activation and to the one that
// gets it (null: none); lock not held.
void Activate(HWND hwnd);
// Forgets the window in the window manager: queued messages, focus,
// activation. The mutex must be held.
void ForgetWindow(Desktop& d, HWND hwnd);

// Failure injection: true when a failure of the named call was armed (and
// uses it up).
bool ShouldFail(const char* win32Name);
void ClearArmedFailures();
// Forgets the message boxes shown so far.
void ClearMessageBoxes();

// The clock behind timeGetTime and Sleep.
DWORD ClockNow();
void ClockSleep(DWORD ms);
void ResetClock();
// On the manual clock, moves the time forward to `ms` (false on the real
// clock).
bool ClockJumpTo(DWORD ms);
// True when clock time `t` has come at `now`, across the 2^32 wrap.
inline bool TimeReached(DWORD now, DWORD t) { return int32_t(now - t) >= 0; }

}  // namespace detail
}  // namespace desktop
