// Sound requests. PlaySoundA records each request (desktop::TakeSounds
// reads them); the headless desktop has no audio device and succeeds, a
// screen backend plays the file too.
#pragma once

#include "win32_types.h"

#define SND_SYNC 0x0000
#define SND_ASYNC 0x0001
#define SND_NODEFAULT 0x0002
#define SND_MEMORY 0x0004
#define SND_LOOP 0x0008
#define SND_NOSTOP 0x0010
#define SND_NOWAIT 0x00002000L
#define SND_ALIAS 0x00010000L
#define SND_FILENAME 0x00020000L
#define SND_RESOURCE 0x00040004L

// A null sound stops what plays; it is recorded too, with an empty name.
BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);
