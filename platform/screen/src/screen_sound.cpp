// PlaySoundA on the audio device: the WAV file is read whole (SDL reads the
// format), queued on a device opened with its own format, so the samples
// reach the device unchanged, and played while the caller goes on. A new
// sound stops the one playing; a null sound stops it.
//
// A machine may have no sound device at all. The first sound that finds none
// fails and says so once in the library's log; every later one fails at once,
// without asking the audio drivers again (each attempt would fill standard
// error with their complaints).
#include "screen_backend.h"

#include <kret.h>

#include <algorithm>
#include <string>

namespace screen {

bool ScreenBackend::_nosound(const char* why)
{
    m_noSound = true;
    OutputLog("PlaySoundA: no sound device, no sound is played (%s)", why);
    return false;
}

// The audio subsystem, with a device to open. A driver that lists no output
// device has none: opening its default would only fail noisily.
bool ScreenBackend::_startsound()
{
    if (SDL_WasInit(SDL_INIT_AUDIO))
        return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return _nosound(SDL_GetError());
    if (SDL_GetNumAudioDevices(0) == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return _nosound("the audio driver lists no output device");
    }
    return true;
}

void ScreenBackend::_closeSound()
{
    if (m_audio != 0) {
        SDL_CloseAudioDevice(m_audio);
        m_audio = 0;
    }
}

BOOL ScreenBackend::PlayWave(const char* file, DWORD flags)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (file == nullptr) {
        if (m_audio != 0)
            SDL_ClearQueuedAudio(m_audio);
        return TRUE;
    }
    // Sounds come from files here: no aliases, resources or memory images.
    if (flags & (SND_ALIAS | SND_RESOURCE))  // SND_RESOURCE holds SND_MEMORY's bit
        return FALSE;
    if ((flags & SND_NOSTOP) && m_audio != 0 && SDL_GetQueuedAudioSize(m_audio) > 0)
        return FALSE;
    if (m_noSound || !_startsound())
        return FALSE;

    // A Win32 path may separate its folders with backslashes.
    std::string path(file);
    std::replace(path.begin(), path.end(), '\\', '/');
    SDL_AudioSpec wave;
    Uint8* samples = nullptr;
    Uint32 length = 0;
    if (SDL_LoadWAV(path.c_str(), &wave, &samples, &length) == nullptr)
        return FALSE;
    const bool sameFormat = m_audio != 0 && wave.freq == m_deviceFormat.freq &&
                            wave.format == m_deviceFormat.format &&
                            wave.channels == m_deviceFormat.channels;
    if (!sameFormat) {
        _closeSound();
        wave.callback = nullptr;  // queued, not pulled
        m_audio = SDL_OpenAudioDevice(nullptr, 0, &wave, &m_deviceFormat, 0);
        if (m_audio == 0) {
            SDL_FreeWAV(samples);
            return _nosound(SDL_GetError());
        }
    }
    SDL_ClearQueuedAudio(m_audio);
    const int queued = SDL_QueueAudio(m_audio, samples, length);
    SDL_FreeWAV(samples);
    if (queued != 0)
        return FALSE;
    SDL_PauseAudioDevice(m_audio, 0);
    if (!(flags & SND_ASYNC)) {
        // A synchronous sound returns once it has been played.
        while (SDL_GetQueuedAudioSize(m_audio) > 0)
            SDL_Delay(5);
    }
    return TRUE;
}

}  // namespace screen
