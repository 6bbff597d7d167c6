// KAniPlayer: a second playback cursor over a KAni it does not own, with its
// own frame index, clock and position, so one loaded animation can play at
// several places and phases. The host sets m_Data, m_x and m_y directly; a
// player must not outlive the animation it plays.
#pragma once
#include <windows.h>
#include <kexport.h>

class KAni;
class KSprite;

class KESTREL_API KAniPlayer {
public:
    KAniPlayer();
    ~KAniPlayer();
    // Forgets the animation and restarts (frame 0, clock stopped).
    void Release();

    // The animation's own current frame, as KAni reports it (not the
    // player's).
    long GetWidth();
    long GetHeight();
    DWORD GetMaxFrames();
    KSprite* GetCurSprite();

    // As KAni's, on the player's own index and clock.
    long NextFrame();
    long Action();
    // Action, then records a draw of the player's frame at (m_x, m_y),
    // colour-keyed when the animation is.
    long Draw();

    KAni* m_Data;          // the animation played; not owned
    DWORD m_dwCurFrame;    // the player's own frame index
    DWORD m_dwLastTime;    // the player's own clock; 0 = not started
    long m_x;
    long m_y;
};
