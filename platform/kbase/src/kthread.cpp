// KThread over std::thread: a cooperative suspend with a resume that is
// kept until it is taken.
#include "kthread.h"

#include <system_error>

namespace {

// The KThread whose procedure runs on this thread, if any: a thread tells
// itself apart from the others without reading the std::thread member,
// which its creator may still be assigning when the procedure starts.
thread_local KThread* t_self = nullptr;

}  // namespace

KThread::KThread() = default;

KThread::~KThread()
{
    ExitThread();
}

long KThread::CreateThread(DWORD, void*, void*, DWORD)
{
    if (m_bRunning.load())
        return -1;
    _join();  // a thread whose procedure has returned but was never waited for
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bResume = false;
        m_bSuspended = false;
    }
    m_bExit.store(false);
    m_dwExitCode.store(0);
    m_bRunning.store(true);
    try {
        m_Thread = std::thread(&KThread::_run, this);
    } catch (const std::system_error&) {
        m_bRunning.store(false);
        return -1;
    }
    return 0;
}

void KThread::_run()
{
    t_self = this;
    const DWORD code = ThreadProc();
    CleanUp();
    m_dwExitCode.store(code);
    m_bRunning.store(false);
    t_self = nullptr;
}

DWORD KThread::SuspendThread()
{
    if (t_self != this)
        return 0xFFFFFFFF;
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_bSuspended = true;
    m_Wake.wait(lock, [this] { return m_bResume || m_bExit.load(); });
    m_bSuspended = false;
    m_bResume = false;
    return 0;
}

DWORD KThread::ResumeThread()
{
    DWORD wasSuspended;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        wasSuspended = m_bSuspended ? 1 : 0;
        m_bResume = true;
    }
    m_Wake.notify_all();
    return wasSuspended;
}

void KThread::ExitThread()
{
    {
        // Under the lock, so a thread about to wait in SuspendThread either
        // sees the request or is already waiting when it is notified.
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bExit.store(true);
    }
    m_Wake.notify_all();
    if (t_self != this)
        _join();
}

void KThread::CleanUp()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_bResume = false;
}

void KThread::_join()
{
    if (m_Thread.joinable())
        m_Thread.join();
}
