// KAni: a timed frame animation. Each frame is a view (source rectangle) of
// one of the animation's pictures with a display time in milliseconds; the
// animation advances by the clock (timeGetTime) whenever it acts or draws,
// at most one frame per call. Read from and written to KAni files. Host
// thread only; the frames' views give their pictures back through the
// device, which must outlive the animation.
//
// The KAni file, little-endian:
//   0   4      tag "KAni" (not compared when reading)
//   4   u32    12, the length of the three words that follow (not compared)
//   8   u32    flags: 0x80000000 = frames are drawn colour-keyed
//   12  u32    image count I
//   16  u32    frame count F
//   20  I x 64 image names: NUL-terminated within a 64-byte field, relative
//              to the folder of the KAni file ('\' separates folders)
//   ..  F x 24 frames: u32 image index (below I), u32 delay in ms, then the
//              source rectangle as four i32 left, top, right, bottom (right
//              and bottom exclusive) inside that image
#pragma once
#include <windows.h>
#include <kexport.h>

class KGraph;
class KSprite;
class KAniPlayer;

#define KANI_FLAG_COLORKEY 0x80000000u
// What NextFrame and Action return when the animation wraps to frame 0.
#define KANI_WRAPPED 0x80000000

struct ANI_FRAME {
    DWORD image;    // index into the file's image list (kept for Save)
    KSprite* spr;   // owned: a view of the image over the frame's rectangle
    DWORD delay;    // how long the frame stays, in milliseconds
};

class KESTREL_API KAni {
public:
    KAni();
    // Loads `filename` at once (see Load).
    KAni(const char* filename, KGraph* graph);
    ~KAni();
    // The frames' views would be shared by two owners: a KAni is not copied.
    KAni(const KAni&) = delete;
    KAni& operator=(const KAni&) = delete;

    // Makes dwMaxFrame empty frames on an empty animation and restarts
    // playback (frame 0, clock stopped). 0 on success; -1 when the
    // animation is not empty or dwMaxFrame is 0, 3 when the frames cannot
    // be made.
    long Init(DWORD dwMaxFrame);
    // Frame `index` shows `rect` of spr (a view sharing its pixels) for
    // `delay` ms; imageIndex is what Save writes for it. The frame must be
    // empty.
    void SetFrame(DWORD index, KSprite* spr, RECT& rect, DWORD delay, DWORD imageIndex);
    // Reads a KAni file into an empty animation, loading its pictures through
    // graph's sprite cache (colour-keyed load flags 17, from disk), and
    // restarts playback. 0 on success. On failure the animation stays empty,
    // every picture loaded so far is given back, and the cause is reported:
    // 7 when the file (or one of its pictures) cannot be read, 8 when it is
    // malformed (short, a count that disagrees with its size, a name without
    // its NUL, an image index or rectangle outside its picture), -1 when the
    // animation is not empty or an argument is missing. A file with no frame
    // loads as an empty animation.
    long Load(const char* filename, KGraph* graph);
    // Writes the animation; `names` holds imageCount NUL-terminated names one
    // after the other, each below 64 characters. 0 on success; nothing is
    // written (and the cause is reported) when a name is too long, a frame
    // is empty or names an image at or above imageCount (-1), or the file
    // cannot be made or written (7).
    long Save(const char* filename, DWORD imageCount, const char* names);
    // Deletes every frame's view and the frames; the animation is then empty
    // (no frames, frame 0, clock stopped). The colour-key choice stays.
    void Release();

    void UseColorKey(bool on) { m_bColorKey = on; }
    DWORD GetMaxFrames() const { return m_dwMaxFrame; }

    // The current frame's view; null (after a debug assertion) when there is
    // none.
    KSprite* GetCurSprite();
    KSprite* GetSprite(DWORD index);
    // The current frame's rectangle size; 0 when there is no current frame.
    long GetWidth();
    long GetHeight();

    // Moves to the next frame: the new index + 1, or KANI_WRAPPED when it
    // went back to frame 0.
    long NextFrame();
    // Starts the clock on its first call (result 0); later, once the current
    // frame has stayed its delay, moves on one frame and returns what
    // NextFrame returned; else 0.
    long Action();
    // Action, then records a draw of the current frame at (x, y) on the back
    // screen (colour-keyed when chosen). Action's result; 0 without frames.
    long Draw(long x, long y);

private:
    friend class KAniPlayer;
    friend struct KAniAccess;  // tests

    bool _hasframe(DWORD index) const;

    KSprite* _currentforsize();
    // Playback over a cursor (frame index and clock) that the caller keeps:
    // the animation's own, or a player's.
    long _nextframe(DWORD& cur) const;
    long _action(DWORD& cur, DWORD& last) const;
    long _draw(DWORD& cur, DWORD& last, long x, long y) const;

    ANI_FRAME* m_Frames;   // m_dwMaxFrame records; null when empty
    DWORD m_dwMaxFrame;
    DWORD m_dwCurFrame;
    DWORD m_dwLastTime;    // timeGetTime at the last frame change; 0 = not started
    bool m_bColorKey;
};
