// PlaySoundA: each request is recorded for the tests and the demo to read;
// the headless desktop has no audio device, a screen backend plays it.
#include "desktop_internal.h"

#include <desktop/backend.h>
#include <desktop/desktop.h>

using namespace desktop::detail;

BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE, DWORD flags)
{
    if (ShouldFail("PlaySoundA"))
        return FALSE;
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        // A resource id is no text: it is recorded by number.
        std::string name;
        if (IS_INTRESOURCE(sound))
            name = sound ? "#" + std::to_string(reinterpret_cast<uintptr_t>(sound)) : "";
        else
            name = sound;
        d.sounds.emplace_back(name, flags);
    }
    // On a screen the sound plays too. A module has no sound resources here,
    // so a resource id plays nothing there.
    if (desktop::Backend* b = desktop::CurrentBackend()) {
        if (sound != nullptr && IS_INTRESOURCE(sound))
            return FALSE;
        return b->PlayWave(sound, flags);
    }
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
