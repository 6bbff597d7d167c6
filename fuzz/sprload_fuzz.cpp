// Arbitrary bytes through the background loader's request path: queued
// under a name whose extension the first byte picks (BMP, JPEG, kpc or
// none), worked as the worker works a request (here on the calling thread),
// then taken out again. No window is told: the loader posts to none.
#include <kestrel.h>
#include <sprload.h>

#include "fuzz_support.h"

// The worker's step, taken directly.
struct sprLoadAccess {
    static void Work(sprLoad& l, const char* name, DWORD id)
    {
        sprLoad::Node* req = l._find(name, id);
        if (req == nullptr)
            return;
        l.m_QueueLock.Lock();
        l.m_pCurrent = req;
        l.m_QueueLock.Unlock();
        l.m_WorkLock.Lock();
        l._work(req);
        l.m_WorkLock.Unlock();
        l.m_QueueLock.Lock();
        l.m_pCurrent = nullptr;
        l.m_QueueLock.Unlock();
        l.CloseFiles();
    }
};

namespace {

const ScratchFile g_files[4] = {{"sprload", ".bmp"}, {"sprload", ".jpg"}, {"sprload", ".kpc"},
                                {"sprload", ".dat"}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static sprLoad* const loader = new sprLoad(FuzzGraph(), nullptr, 0xFFFFFFFFu);
    const ScratchFile& file = g_files[data[0] & 3];
    if (!file.Write(data + 1, size - 1))
        return 0;
    loader->Load(file.Path(), 1, data[0] >> 4, 0, 0);
    sprLoadAccess::Work(*loader, file.Path(), 1);
    loader->Remove(file.Path(), 1, 0);
    kbase::ClearLog();
    return 0;
}
