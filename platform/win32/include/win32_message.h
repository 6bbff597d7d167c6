// Win32 messages: the per-thread queue, the loop calls, timers and the
// virtual keys of keyboard messages. The queue lives on the headless desktop.
//
// Each thread has one queue; a window's messages go to the queue of the
// thread that made it. Retrieval follows Win32's order: posted messages first
// in, first out; then WM_QUIT once no posted message is left; then input
// (mouse and keys); then WM_PAINT for a window that needs painting; then due
// timers. Sent messages (SendMessageA) do not queue: they run at once.
#pragma once

#include "win32_types.h"
#include "win32_user.h"

typedef VOID(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

// PeekMessageA flags.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

// Timer periods are held between these bounds.
#define USER_TIMER_MINIMUM 0x0000000A
#define USER_TIMER_MAXIMUM 0x7FFFFFFF

// Virtual keys.
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_F1 0x70

// Puts a message at the end of the queue of the window's thread and returns
// at once; safe from any thread. A null window posts to the calling thread's
// own queue (the message's window is then null). FALSE for an unknown window.
BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Asks the calling thread's loop to end: WM_QUIT (wParam = exitCode) is
// retrieved once the posted messages ahead of it are gone.
VOID WINAPI PostQuitMessage(int exitCode);

// Waits for and removes the next message of the calling thread (filters:
// window null for any, (HWND)-1 for thread messages only; min and max both 0
// for any number; WM_QUIT passes every number filter). Returns 0 for WM_QUIT,
// -1 for a filter window that does not exist, otherwise non-zero.
BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT msgFilterMin, UINT msgFilterMax);
// The same without waiting: FALSE when nothing is there. PM_NOREMOVE leaves
// the message in the queue.
BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT msgFilterMin, UINT msgFilterMax,
                         UINT removeMsg);
// Returns once a message can be retrieved. On the desktop's manual clock it
// moves the clock to the next timer or scripted input instead of waiting; a
// wait for which nothing can ever come ends the process with a report.
BOOL WINAPI WaitMessage(void);
// For WM_KEYDOWN of a key that types a character, posts WM_CHAR so it is the
// next message retrieved. TRUE for every key message, FALSE otherwise.
BOOL WINAPI TranslateMessage(const MSG* msg);
// Runs the message's window procedure (or a timer's own procedure) and
// returns its result; 0 for a thread message or a window that is gone.
LRESULT WINAPI DispatchMessageA(const MSG* msg);

// Timers: one per window and id; setting an id again restarts it with the new
// period. A due timer yields one WM_TIMER (wParam id, lParam the timer
// procedure) when nothing else waits, and starts its next period when the
// message is removed, so at most one is ever pending. With no window, a new
// id is made and returned and the message goes to the calling thread.
UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id);
