// Which display backend shows the desktop's windows: none (the headless
// desktop alone) unless the host picked one.
#include <desktop/backend.h>

#include <atomic>

namespace desktop {
namespace {

std::atomic<Backend*> g_backend{nullptr};

}  // namespace

void UseBackend(Backend* backend)
{
    g_backend.store(backend);
}

Backend* CurrentBackend()
{
    return g_backend.load();
}

}  // namespace desktop
