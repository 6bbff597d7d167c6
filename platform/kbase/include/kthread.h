// KThread and KCriticalSection: the base library's worker thread and lock,
// over the standard library's threads and a recursive mutex (a thread that
// holds a critical section may take it again, as on Win32).
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A lock that its holder may take again; every Lock is paired with an Unlock.
class KCriticalSection {
public:
    KCriticalSection() = default;
    KCriticalSection(const KCriticalSection&) = delete;
    KCriticalSection& operator=(const KCriticalSection&) = delete;

    void Lock() { m_Mutex.lock(); }
    void Unlock() { m_Mutex.unlock(); }

private:
    std::recursive_mutex m_Mutex;
};

// A worker thread. The derived class supplies the procedure (the first
// virtual operation after the destructor); CreateThread starts it on a new
// thread. The procedure loops until ICanExit, parking itself in
// SuspendThread while it has nothing to do; another thread wakes it with
// ResumeThread and ends it with ExitThread.
//
// Suspending is cooperative: a standard thread cannot be stopped from
// outside, so only the thread itself may call SuspendThread. A resume is
// kept until the thread next suspends: a ResumeThread that comes before the
// SuspendThread it is meant for is not lost (several such resumes count as
// one).
//
// A derived class ends its thread in its own destructor (ExitThread): once
// that has run, the procedure it supplied is gone. An object is never
// destroyed by its own thread.
class KThread {
public:
    KThread();
    // Ends a thread still running (ExitThread).
    virtual ~KThread();
    KThread(const KThread&) = delete;
    KThread& operator=(const KThread&) = delete;

    // Runs on the new thread; its result is the thread's exit code.
    virtual DWORD ThreadProc() = 0;

    // Starts ThreadProc on a new thread: 0 on success, -1 when a thread of
    // this object is still running or none can be made. The arguments stand
    // where Win32 takes a stack size, security attributes, a parameter and
    // creation flags; standard threads have no use for them and they are
    // ignored.
    virtual long CreateThread(DWORD stackSize, void* security, void* param, DWORD flags);

    // Called by the thread itself: waits until ResumeThread or ExitThread
    // (returns at once when a resume is already pending or the thread is
    // asked to end). 0 once woken; 0xFFFFFFFF when called from any other
    // thread, which is not suspended.
    DWORD SuspendThread();
    // Wakes the thread from SuspendThread, or lets its next SuspendThread
    // pass. 1 when the thread was suspended, else 0.
    DWORD ResumeThread();
    // Asks the thread to end, wakes it and waits until its procedure has
    // returned. From the thread itself it only asks (a thread cannot wait for
    // itself). Nothing happens when no thread was started.
    void ExitThread();
    // True once the thread has been asked to end.
    bool ICanExit() const { return m_bExit.load(); }
    // Called by the procedure as it ends: forgets a resume still pending, so
    // a thread started again does not begin awake.
    void CleanUp();

    // True from CreateThread until the procedure has returned.
    bool IsRunning() const { return m_bRunning.load(); }
    // The last procedure's result (0 before one has returned).
    DWORD GetExitCode() const { return m_dwExitCode.load(); }

private:
    void _run();
    void _join();

    std::thread m_Thread;
    std::mutex m_Mutex;             // guards the resume flags below
    std::condition_variable m_Wake;
    bool m_bResume = false;         // a resume not yet taken by SuspendThread
    bool m_bSuspended = false;      // the thread waits in SuspendThread
    std::atomic<bool> m_bExit{false};
    std::atomic<bool> m_bRunning{false};
    std::atomic<DWORD> m_dwExitCode{0};
};
