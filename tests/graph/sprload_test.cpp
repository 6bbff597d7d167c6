// sprLoad: requests queued by the host, loaded on the worker thread, the
// messages posted to the host's window, pictures given back through the
// device, and a stop in the middle of the work that loses and leaks nothing.
#include <chrono>
#include <string>
#include <thread>
#include <vector>
#include "graph_fixture.h"
#include "picture_bytes.h"
#include "test_jpeg.h"

// Reads the loader's private queue state, under its queue lock.
struct sprLoadAccess {
    template <class F>
    static auto Locked(sprLoad& l, F f)
    {
        l.m_QueueLock.Lock();
        auto r = f();
        l.m_QueueLock.Unlock();
        return r;
    }
    static SPRLOAD_REQUEST* Current(sprLoad& l)
    {
        return Locked(l, [&] { return static_cast<SPRLOAD_REQUEST*>(l.m_pCurrent); });
    }
    static void SetCurrent(sprLoad& l, SPRLOAD_REQUEST* r)
    {
        Locked(l, [&] { return l.m_pCurrent = static_cast<sprLoad::Node*>(r); });
    }
    static DWORD Added(sprLoad& l) { return Locked(l, [&] { return l.m_dwAdded; }); }
    static DWORD Finished(sprLoad& l) { return Locked(l, [&] { return l.m_dwFinished; }); }
    static DWORD Count(sprLoad& l) { return Locked(l, [&] { return l.m_Requests.GetCount(); }); }
    static KSprite* Buffer(sprLoad& l) { return l.m_pBuffer; }
};

namespace {

using Access = sprLoadAccess;
using namespace std::chrono_literals;

const UINT kIdle = WM_USER + 9;
const UINT kNoData = WM_USER + 10;
const UINT kBatch = WM_USER + 11;

// A 24-bit bitmap of w x h pixels, each (x * 7 + y * 13) in red, 0x40 green.
Bytes PatternBmp(int w, int h)
{
    const int row = (w * 3 + 3) & ~3;
    Bytes pixels(size_t(row) * h, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = &pixels[size_t(h - 1 - y) * row + size_t(x) * 3];
            p[1] = 0x40;
            p[2] = uint8_t(x * 7 + y * 13);
        }
    return BmpBytes(w, h, 24, pixels);
}

class SprLoadTest : public PictureTest<> {
protected:
    SprLoadTest() : PictureTest<>("kestrel-sprload-") {}
    void SetUp() override
    {
        PictureTest<>::SetUp();
        hwnd = MakeWindow(32, 32);
    }
    // The loader's messages to hwnd, in order, until n have come (or ten
    // seconds of real time have passed).
    std::vector<UINT> Messages(size_t n)
    {
        std::vector<UINT> got;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        MSG m;
        while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
            if (PeekMessageA(&m, hwnd, kIdle, kBatch, PM_REMOVE))
                got.push_back(m.message);
            else
                std::this_thread::sleep_for(1ms);
        }
        return got;
    }
    // Whether another of the loader's messages is waiting.
    bool MoreMessages()
    {
        MSG m;
        return PeekMessageA(&m, hwnd, kIdle, kBatch, PM_NOREMOVE) != FALSE;
    }
    // Files for one request of each kind: BMP, JPEG, kpc (upper-case
    // extension), a PNG name (no loader of its own here) and a missing BMP.
    void WriteBatch()
    {
        WriteFile(Path("a.bmp"), PatternBmp(3, 2));
        WriteFile(Path("b.jpg"), EncodeJpeg(Flat(8, 8, {0, 0, 255}), 8, 8, 3, JCS_RGB));
        Bytes rows;
        for (uint16_t v : {0x1234, 0x5678, 0x9ABC, 0xDEF0})
            Put16(rows, v);
        WriteFile(Path("c.KPC"), KpcBytes(0, 8, 2, 2, rows));
        WriteFile(Path("d.png"), PatternBmp(2, 2));  // bytes of no matter
    }
    void QueueBatch(sprLoad& l, DWORD flags)
    {
        for (const char* name : {"a.bmp", "b.jpg", "c.KPC", "d.png", "missing.bmp"})
            l.Load(Path(name).c_str(), 7, flags, 1, 2);
    }
    SPRLOAD_REQUEST* Find(sprLoad& l, const char* name, DWORD id = 7)
    {
        return l.Find(Path(name).c_str(), id, 0);
    }

    HWND hwnd = nullptr;
};

TEST_F(SprLoadTest, RequestsLoadOnTheWorkerAndTheWindowIsTold)
{
    WriteBatch();
    sprLoad l(&g, hwnd, 5);
    QueueBatch(l, 0x11);
    ASSERT_EQ(l.Init(), 0);
    l.Start();
    // d.png ends without data; missing.bmp is skipped without a message and
    // is the fifth finished; then the walk runs out.
    EXPECT_EQ(Messages(3), (std::vector<UINT>{kNoData, kBatch, kIdle}));

    SPRLOAD_REQUEST* a = Find(l, "a.bmp");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->flags, 0x80000011u);
    EXPECT_EQ(a->p1, 1u);
    EXPECT_EQ(a->p2, 2u);
    EXPECT_EQ(a->done, 1);
    ASSERT_NE(a->data, nullptr);
    EXPECT_EQ(a->data->width, 3);
    EXPECT_EQ(a->data->flags, 0x11u);  // the type bit is the loader's, not the picture's
    EXPECT_EQ(a->data->ref, 1u);
    EXPECT_EQ(Px16(a->data, 2, 1), WORD(((2 * 7 + 13) >> 3) << 11 | (0x40 >> 2) << 5));

    SPRLOAD_REQUEST* b = Find(l, "b.jpg");
    EXPECT_EQ(b->flags, 0x40000011u);
    ASSERT_NE(b->data, nullptr);
    EXPECT_EQ(b->data->width, 8);
    EXPECT_EQ(Px16(b->data, 4, 4) & 0x001F, 0x001F);

    SPRLOAD_REQUEST* c = Find(l, "c.KPC");
    EXPECT_EQ(c->flags, 0x20000011u);
    ASSERT_NE(c->data, nullptr);
    EXPECT_EQ(Px16(c->data, 1, 1), 0xDEF0);

    SPRLOAD_REQUEST* d = Find(l, "d.png");
    EXPECT_EQ(d->flags, 0x11u);
    EXPECT_EQ(d->data, nullptr);
    EXPECT_EQ(d->done, 1);

    SPRLOAD_REQUEST* missing = Find(l, "missing.bmp");
    EXPECT_EQ(missing->data, nullptr);
    EXPECT_EQ(missing->done, 0);

    EXPECT_EQ(Access::Finished(l), 5u);
    EXPECT_EQ(Access::Current(l), nullptr);
    EXPECT_EQ(g.GetSpriteManager()->GetCount(), 0u);  // the host's cache was not touched
    l.Stop();
    EXPECT_EQ(a->data, nullptr);  // given back; the requests stay queued
    EXPECT_EQ(Access::Count(l), 5u);
    EXPECT_TRUE(Logged("sprLoad Thread Exit!"));
}

TEST_F(SprLoadTest, ALaterWalkKeepsWhatIsLoadedAndLoadsWhatWasAdded)
{
    WriteBatch();
    sprLoad l(&g, hwnd, 100);
    l.Load(Path("a.bmp").c_str(), 1, 0, 0, 0);
    ASSERT_EQ(l.Init(), 0);
    l.Start();
    ASSERT_EQ(Messages(1), std::vector<UINT>{kIdle});
    SPRITE_DATA* first = Find(l, "a.bmp", 1)->data;
    ASSERT_NE(first, nullptr);

    l.Load(Path("c.KPC").c_str(), 1, 0, 0, 0);
    l.Start();
    ASSERT_EQ(Messages(1), std::vector<UINT>{kIdle});
    EXPECT_EQ(Find(l, "a.bmp", 1)->data, first);  // not made again
    EXPECT_NE(Find(l, "c.KPC", 1)->data, nullptr);
    EXPECT_EQ(Access::Finished(l), 3u);
}

TEST_F(SprLoadTest, StartWithNothingQueuedGoesIdleAtOnce)
{
    sprLoad l(&g, hwnd, 0);
    ASSERT_EQ(l.Init(), 0);
    l.Start();
    EXPECT_EQ(Messages(1), std::vector<UINT>{kIdle});
    EXPECT_EQ(Access::Finished(l), 0u);  // starting finishes nothing
}

TEST_F(SprLoadTest, EqualRequestsQueueOnceAndEveryLoadIsCounted)
{
    sprLoad l(&g, hwnd, 0);
    l.Load("x.jpeg", 1, 0x80000001, 0, 0);
    l.Load("x.jpeg", 1, 0, 0, 0);
    l.Load("x.jpeg", 2, 0, 0, 0);
    l.Load("X.jpeg", 1, 0, 0, 0);
    EXPECT_EQ(Access::Count(l), 3u);
    EXPECT_EQ(Access::Added(l), 4u);
    // A caller's type bit gives way to the name's.
    EXPECT_EQ(l.Find("x.jpeg", 1, 0)->flags, 0x40000001u);
    EXPECT_EQ(l.Find("X.jpeg", 1, 0)->flags, 0x40000000u);
    EXPECT_EQ(l.Find("x.jpeg", 3, 0), nullptr);
    EXPECT_EQ(l.Find("y.jpeg", 1, 0), nullptr);
}

TEST_F(SprLoadTest, ANameThatDoesNotFitIsRefused)
{
    sprLoad l(&g, hwnd, 0);
    const std::string fits(255, 'a'), tooLong(256, 'a');
    l.Load(fits.c_str(), 1, 0, 0, 0);
    l.Load(tooLong.c_str(), 1, 0, 0, 0);
    EXPECT_EQ(Access::Count(l), 1u);
    EXPECT_TRUE(Reported(-1, "sprLoad::Load(" + tooLong + ") name too long"));
    EXPECT_EQ(l.Find(tooLong.c_str(), 1, 0), nullptr);
}

TEST_F(SprLoadTest, RemoveTakesTheRequestOutAndGivesItsPictureBack)
{
    WriteBatch();
    sprLoad l(&g, hwnd, 0);
    l.Load(Path("a.bmp").c_str(), 1, 0, 0, 0);
    l.Load(Path("c.KPC").c_str(), 1, 0, 0, 0);
    ASSERT_EQ(l.Init(), 0);
    l.Start();
    ASSERT_EQ(Messages(1), std::vector<UINT>{kIdle});

    // The host draws a's picture through a handle of its own, then lets go.
    SPRITE_DATA* pic = Find(l, "a.bmp", 1)->data;
    KSprite* shown = g.CreateSprite(pic);
    EXPECT_EQ(pic->ref, 2u);
    shown->Draw(0, 0);
    g.RenderToBack();
    l.Remove(Path("a.bmp").c_str(), 1, 0);
    EXPECT_EQ(Find(l, "a.bmp", 1), nullptr);
    EXPECT_EQ(pic->ref, 1u);  // the handle keeps it
    g.ReleaseKSprite(shown);  // the last reference: freed, and forgotten by the engine
    g.GetBackScreen()->Clear(0x1234);
    g.RenderToBack();

    l.Remove(Path("c.KPC").c_str(), 1, 0);
    EXPECT_EQ(Access::Count(l), 0u);
    l.Remove(Path("c.KPC").c_str(), 1, 0);  // no longer there: nothing happens
}

TEST_F(SprLoadTest, ReleaseDataDropsOneReferenceAndForgetsThePicture)
{
    WriteBatch();
    sprLoad l(&g, hwnd, 0);
    l.Load(Path("a.bmp").c_str(), 1, 0, 0, 0);
    ASSERT_EQ(l.Init(), 0);
    l.Start();
    ASSERT_EQ(Messages(1), std::vector<UINT>{kIdle});
    SPRLOAD_REQUEST* a = Find(l, "a.bmp", 1);
    SPRITE_DATA* pic = a->data;
    KSprite* kept = g.CreateSprite(pic);
    l.ReleaseData();
    EXPECT_EQ(a->data, nullptr);
    EXPECT_EQ(pic->ref, 1u);
    l.ReleaseData();  // nothing left to give back
    EXPECT_EQ(pic->ref, 1u);
    g.ReleaseKSprite(kept);
}

TEST_F(SprLoadTest, TheWorkersRequestIsNeitherRemovedNorReleased)
{
    sprLoad l(&g, hwnd, 0);
    l.Load("busy.bmp", 1, 0, 0, 0);
    // No worker runs: Start only makes the request current, as the worker
    // would find it.
    l.Start();
    SPRLOAD_REQUEST* busy = Access::Current(l);
    ASSERT_NE(busy, nullptr);
    KSprite* made = g.CreateSprite(4, 4, KCM_R5G6B5, 0);
    busy->data = made->GetData();
    busy->data->ref++;  // the worker's reference
    l.Remove("busy.bmp", 1, 0);
    l.ReleaseData();
    EXPECT_EQ(l.Find("busy.bmp", 1, 0), busy);
    EXPECT_EQ(busy->data, made->GetData());
    EXPECT_EQ(busy->data->ref, 2u);
    l.Start();  // busy: no new walk
    EXPECT_EQ(Access::Current(l), busy);
    // Once the worker has moved on, the picture is given back like any other.
    Access::SetCurrent(l, nullptr);
    l.ReleaseData();
    EXPECT_EQ(busy->data, nullptr);
    EXPECT_EQ(made->GetData()->ref, 1u);
    g.ReleaseKSprite(made);
}

TEST_F(SprLoadTest, StoppingMidWorkLosesAndLeaksNothing)
{
    const int n = 6;
    auto name = [](int i) { return "big" + std::to_string(i) + ".bmp"; };
    for (int i = 0; i < n; i++)
        WriteFile(Path(name(i)), PatternBmp(800, 600));
    sprLoad l(&g, hwnd, n);
    for (int i = 0; i < n; i++)
        l.Load(Path(name(i)).c_str(), DWORD(i), 0, 0, 0);
    ASSERT_EQ(l.Init(), 0);
    l.Start();
    // Once the first picture is read the worker is on the next one.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (Access::Finished(l) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    l.Stop();  // waits for the picture in hand, then gives every picture back
    EXPECT_FALSE(l.IsRunning());
    EXPECT_EQ(Access::Current(l), nullptr);
    ASSERT_EQ(Access::Count(l), DWORD(n));
    for (int i = 0; i < n; i++)
        EXPECT_EQ(Find(l, name(i).c_str(), DWORD(i))->data, nullptr) << i;
    while (MoreMessages())
        Messages(1);

    // Started again, the loader reads every request, those it had read too.
    ASSERT_EQ(l.Init(), 0);
    l.Start();
    std::vector<UINT> got;
    do {
        std::vector<UINT> one = Messages(1);
        if (one.empty())
            break;
        got.push_back(one[0]);
    } while (got.back() != kIdle);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), kIdle);
    for (int i = 0; i < n; i++) {
        SPRLOAD_REQUEST* r = Find(l, name(i).c_str(), DWORD(i));
        ASSERT_NE(r->data, nullptr) << i;
        EXPECT_EQ(r->data->width, 800);
        EXPECT_EQ(r->done, 1);
    }
}

TEST_F(SprLoadTest, DestroyingAWorkingLoaderFinishesAndFreesEverything)
{
    const int n = 4;
    for (int i = 0; i < n; i++)
        WriteFile(Path("p" + std::to_string(i) + ".bmp"), PatternBmp(300, 200));
    {
        sprLoad l(&g, hwnd, n);
        for (int i = 0; i < n; i++)
            l.Load(Path("p" + std::to_string(i) + ".bmp").c_str(), 0, 0, 0, 0);
        ASSERT_EQ(l.Init(), 0);
        l.Start();
        EXPECT_EQ(l.PrepareBuffer(16, 8), 0);
    }  // the sanitizer build reports anything left behind
    EXPECT_TRUE(Logged("sprLoad Thread Exit!"));
}

TEST_F(SprLoadTest, PrepareBufferGrowsOnlyWhenTooSmallAndClears)
{
    sprLoad l(&g, hwnd, 0);
    EXPECT_EQ(l.PrepareBuffer(16, 8), 0);
    KSprite* buf = Access::Buffer(l);
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(buf->GetData()->flags, 17u);
    buf->_clear(0xFFFF);
    EXPECT_EQ(l.PrepareBuffer(10, 8), 0);
    EXPECT_EQ(Access::Buffer(l), buf);  // large enough: kept, and cleared
    EXPECT_EQ(Px16(buf->GetData(), 15, 7), 0);
    EXPECT_EQ(l.PrepareBuffer(10, 9), 0);
    EXPECT_EQ(Access::Buffer(l)->GetHeight(), 9);
}

class FailingThread : public sprLoad {
public:
    using sprLoad::sprLoad;
    long CreateThread(DWORD, void*, void*, DWORD) override { return -1; }
};

TEST_F(SprLoadTest, AThreadThatCannotStartFailsInit)
{
    FailingThread l(&g, hwnd, 0);
    EXPECT_EQ(l.Init(), long(E_FAIL));
    EXPECT_TRUE(Reported(E_FAIL, "sprLoad::Init() CreateThread fail"));
}

}  // namespace
