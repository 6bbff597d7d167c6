// The demo host's shared state. Each scene lives in its own file and is
// called from main in turn; a scene draws, presents, and may write a
// screenshot into ctx.outDir.
#pragma once
#include <kestrel.h>
#include <functional>
#include <string>

// The GDI device, counting the drawing operations that a frame replays, so
// the demo can show how little a mostly static frame costs.
class CountingGraph : public KGraphGDI {
public:
    long m_ops = 0;

protected:
    long _clearsprite(SPRITE_DATA* s, long l, long t, long r, long b, DWORD c) override
    {
        m_ops++;
        return KGraphGDI::_clearsprite(s, l, t, r, b, c);
    }
    long _bltsprite(SPRITE_DATA* d, long x, long y, SPRITE_DATA* s, long l, long t, long r,
                    long b) override
    {
        m_ops++;
        return KGraphGDI::_bltsprite(d, x, y, s, l, t, r, b);
    }
    long _bltsprite_ck(SPRITE_DATA* d, long x, long y, SPRITE_DATA* s, long l, long t, long r,
                       long b) override
    {
        m_ops++;
        return KGraphGDI::_bltsprite_ck(d, x, y, s, l, t, r, b);
    }
    void _line(SPRITE_DATA* s, long x1, long y1, long x2, long y2, DWORD c) override
    {
        m_ops++;
        KGraphGDI::_line(s, x1, y1, x2, y2, c);
    }
};

struct DemoContext {
    HWND hwnd;
    CountingGraph* graph;
    std::string outDir;
    int clientW;
    int clientH;
    // On a real screen (--window): each screen waits for the user (Escape
    // for the next one) and the window scene is played by the user instead
    // of its script. `closed`: the user closed the window; the remaining
    // screens are only drawn.
    bool interactive = false;
    bool closed = false;
};

// On a real screen, keeps the screen shown until the user presses Escape or
// clicks (the next screen) or closes the window; does nothing headless.
void DemoHold(DemoContext& ctx, const char* what);
// On a real screen, keeps a running scene going until the user presses
// Escape, clicks (when clickMovesOn; a screen whose controls take clicks
// moves on with Escape only) or closes the window: every 20 ms the waiting
// messages are dispatched and frame(ms since the hold began) draws and
// presents the next frame; frame takes no messages itself, or the user's
// Escape could be dispatched there instead of ending the screen. Without a
// frame it is DemoHold. Does nothing headless.
void DemoHoldLive(DemoContext& ctx, const char* what, const std::function<void(DWORD)>& frame,
                  bool clickMovesOn = true);
// True for a message that ends the current screen on a real screen: Escape,
// or the window's close request (which also sets ctx.closed).
bool DemoEndsScreen(DemoContext& ctx, const MSG& msg);

// A control's WM_COMMAND notification code in words, for the demo's output.
const char* DemoNotification(DWORD code);

// Writes the window's surface as <outDir>/<name>.png and says so.
bool DemoScreenshot(DemoContext& ctx, const char* name);
// Keeps a half-size copy of the window's surface for the contact sheet, and
// writes the sheet of all copies kept, four to a row (contact_sheet.cpp).
void KeepForContactSheet(HWND hwnd);
bool WriteContactSheet(const std::string& path);
// Draws a loaded picture by how it came: keyed pictures skip the key, one
// with an alpha plane blends through it, the rest are copied
// (scene_pictures.cpp).
void DrawLoadedPicture(DemoContext& ctx, KSprite* pic, long x, long y);
// Pictures of every format from disk and from a zip archive (scene_pictures.cpp).
void ScenePictures(DemoContext& ctx);

void SceneFrames(DemoContext& ctx);
void SceneText(DemoContext& ctx);
void SceneAnim(DemoContext& ctx);
int SceneWindows(DemoContext& ctx, KestrelMainWnd& mainWnd);  // the window tree and game loop (scene_windows.cpp)
void SceneGifPng(DemoContext& ctx);
// A dialog-like screen of skins, buttons and edit fields driven by a script
// of clicks and typing (scene_controls.cpp).
int SceneControls(DemoContext& ctx, KestrelMainWnd& mainWnd);  // a GIF and a PNG picture as sprites (scene_gifpng.cpp)
// A movable dialog with a stretched, clickable picture and an animation box,
// driven by a script of hovering, clicking and dragging (scene_boxes.cpp).
int SceneBoxes(DemoContext& ctx, KestrelMainWnd& mainWnd);
