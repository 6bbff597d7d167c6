// How many window and screen device contexts are held.
#include "desktop_internal.h"

#include <desktop/desktop.h>

namespace desktop {

int OpenDcCount()
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return int(d.dcs.size());
}

}  // namespace desktop
