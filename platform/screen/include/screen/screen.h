// The screen backend: the desktop's top-level windows as real windows on the
// user's display (SDL2), with real input, a real cursor, sound through the
// audio device and links handed to the desktop's opener. The host picks it
// with one call at start; without it the headless desktop runs alone.
#pragma once

namespace screen {

// From now on every top-level window the desktop makes is a real window of
// its size and title, SetDIBitsToDevice shows its rows there, input from the
// display arrives as the desktop's input messages and waiting for a message
// waits for the display's events; the desktop's clock is the real one. False,
// with the headless desktop left as it was, when no display can be opened
// (LastError says why). Windows made before the call stay headless.
bool Use();

// Back to the headless desktop: the real windows close and sound stops. The
// connection to the display stays open, for a later Use.
void Leave();

// Why Use failed last, or "".
const char* LastError();

}  // namespace screen
