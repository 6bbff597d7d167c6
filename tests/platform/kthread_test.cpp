// KThread: starting, the cooperative suspend with a resume that is never
// lost, ending and starting again; KCriticalSection taken again by its holder.
#include <gtest/gtest.h>
#include <kbase.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits (in real time, bounded) until `done` holds.
bool WaitFor(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A thread whose procedure is given by the test.
class Worker : public KThread {
public:
    explicit Worker(std::function<DWORD(Worker&)> proc) : m_proc(std::move(proc)) {}
    ~Worker() override { ExitThread(); }
    DWORD ThreadProc() override { return m_proc(*this); }

private:
    std::function<DWORD(Worker&)> m_proc;
};

TEST(KThreadTest, RunsTheProcedureAndKeepsItsResult)
{
    std::atomic<bool> ran{false};
    Worker w([&](Worker&) {
        ran = true;
        return DWORD(42);
    });
    EXPECT_FALSE(w.IsRunning());
    ASSERT_EQ(w.CreateThread(0, nullptr, nullptr, 0), 0);
    w.ExitThread();  // waits for the procedure
    EXPECT_TRUE(ran);
    EXPECT_FALSE(w.IsRunning());
    EXPECT_EQ(w.GetExitCode(), 42u);
}

TEST(KThreadTest, ASecondStartWhileRunningFailsAndAfterTheEndSucceeds)
{
    std::atomic<int> runs{0};
    Worker w([&](Worker& self) {
        runs++;
        while (!self.ICanExit())
            self.SuspendThread();
        return DWORD(0);
    });
    ASSERT_EQ(w.CreateThread(0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(w.CreateThread(0, nullptr, nullptr, 0), -1);
    w.ExitThread();
    EXPECT_EQ(runs, 1);
    ASSERT_EQ(w.CreateThread(0, nullptr, nullptr, 0), 0);
    EXPECT_FALSE(w.ICanExit());  // a new run is not asked to end
    w.ExitThread();
    EXPECT_EQ(runs, 2);
}

TEST(KThreadTest, ExitWithoutAThreadDoesNothing)
{
    Worker w([](Worker&) { return DWORD(0); });
    w.ExitThread();
    EXPECT_FALSE(w.IsRunning());
}

TEST(KThreadTest, SuspendWaitsForResume)
{
    std::atomic<bool> suspending{false}, woke{false};
    Worker w([&](Worker& self) {
        suspending = true;
        EXPECT_EQ(self.SuspendThread(), 0u);
        woke = true;
        return DWORD(0);
    });
    ASSERT_EQ(w.CreateThread(0, nullptr, nullptr, 0), 0);
    ASSERT_TRUE(WaitFor([&] { return suspending.load(); }));
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(woke);
    w.ResumeThread();
    EXPECT_TRUE(WaitFor([&] { return woke.load(); }));
    w.ExitThread();
}

TEST(KThreadTest, AResumeBeforeTheSuspendIsNotLost)
{
    std::atomic<bool> go{false}, passed{false};
    Worker w([&](Worker& self) {
        while (!go)
            std::this_thread::sleep_for(1ms);
        self.SuspendThread();  // the resume came first: no wait
        passed = true;
        return DWORD(0);
    });
    ASSERT_EQ(w.CreateThread(0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(w.ResumeThread(), 0u);  // not suspended yet
    go = true;
    EXPECT_TRUE(WaitFor([&] { return passed.load(); }));
    EXPECT_FALSE(w.ICanExit());  // woken by the resume, not by an exit
    w.ExitThread();
}

TEST(KThreadTest, SeveralEarlyResumesCountAsOne)
{
    std::atomic<bool> go{false}, first{false}, second{false}, exitSeen{false};
    Worker w([&](Worker& self) {
        while (!go)
            std::this_thread::sleep_for(1ms);
        self.SuspendThread();
        first = true;
        self.SuspendThread();  // waits: both resumes were used up by the first
        exitSeen = self.ICanExit();
        second = true;
        return DWORD(0);
    });
    ASSERT_EQ(w.CreateThread(0, nullptr, nullptr, 0), 0);
    w.ResumeThread();
    w.ResumeThread();
    go = true;
    ASSERT_TRUE(WaitFor([&] { return first.load(); }));
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(second);
    w.ExitThread();  // wakes the second suspend
    EXPECT_TRUE(second);
    EXPECT_TRUE(exitSeen);
}

TEST(KThreadTest, OnlyTheThreadItselfCanSuspend)
{
    std::atomic<bool> ready{false};
    Worker w([&](Worker& self) {
        ready = true;
        while (!self.ICanExit())
            self.SuspendThread();
        return DWORD(0);
    });
    EXPECT_EQ(w.SuspendThread(), 0xFFFFFFFFu);  // no thread at all
    ASSERT_EQ(w.CreateThread(0, nullptr, nullptr, 0), 0);
    ASSERT_TRUE(WaitFor([&] { return ready.load(); }));
    EXPECT_EQ(w.SuspendThread(), 0xFFFFFFFFu);  // returns at once on another thread
    w.ExitThread();
}

TEST(KThreadTest, AResumeLeftFromAnEarlierRunDoesNotWakeTheNext)
{
    std::atomic<int> run{0};
    std::atomic<bool> secondSuspending{false}, secondWoke{false};
    Worker w([&](Worker& self) {
        if (++run == 1)
            return DWORD(0);  // ends at once
        secondSuspending = true;
        self.SuspendThread();
        secondWoke = true;
        return DWORD(0);
    });
    ASSERT_EQ(w.CreateThread(0, nullptr, nullptr, 0), 0);
    ASSERT_TRUE(WaitFor([&] { return !w.IsRunning(); }));
    w.ResumeThread();  // nobody to wake
    w.ExitThread();
    ASSERT_EQ(w.CreateThread(0, nullptr, nullptr, 0), 0);
    ASSERT_TRUE(WaitFor([&] { return secondSuspending.load(); }));
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(secondWoke);
    w.ResumeThread();
    EXPECT_TRUE(WaitFor([&] { return secondWoke.load(); }));
    w.ExitThread();
}

TEST(KThreadTest, DestroyingTheObjectEndsItsThread)
{
    std::atomic<bool> ended{false};
    {
        Worker w([&](Worker& self) {
            while (!self.ICanExit())
                self.SuspendThread();
            ended = true;
            return DWORD(0);
        });
        ASSERT_EQ(w.CreateThread(0, nullptr, nullptr, 0), 0);
    }
    EXPECT_TRUE(ended);
}

TEST(KCriticalSectionTest, TheHolderTakesItAgainAndOthersWaitForTheLastUnlock)
{
    KCriticalSection cs;
    cs.Lock();
    cs.Lock();  // the same thread: no deadlock
    std::atomic<bool> taken{false};
    std::thread other([&] {
        cs.Lock();
        taken = true;
        cs.Unlock();
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(taken);
    cs.Unlock();
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(taken);  // still held once
    cs.Unlock();
    other.join();
    EXPECT_TRUE(taken);
}

}  // namespace
