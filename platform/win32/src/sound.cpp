// PlaySoundA: no audio device on the desktop; each request is recorded for
// the tests and the demo to read.
#include "desktop_internal.h"

#include <desktop/desktop.h>

using namespace desktop::detail;

BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE, DWORD flags)
{
    if (ShouldFail("PlaySoundA"))
        return FALSE;
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    // A resource id is no text: it is recorded by number.
    std::string name;
    if (IS_INTRESOURCE(sound))
        name = sound ? "#" + std::to_string(reinterpret_cast<uintptr_t>(sound)) : "";
    else
        name = sound;
    d.sounds.emplace_back(name, flags);
    return TRUE;
}

namespace desktop {

std::vector<SoundRequest> TakeSounds()
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    std::vector<SoundRequest> out;
    for (const auto& s : d.sounds)
        out.push_back(SoundRequest{s.first, s.second});
    d.sounds.clear();
    return out;
}

}  // namespace desktop
