// The display's keys and text as Win32 sees them: virtual-key codes, and
// typed text as code page 936 bytes. Needs no display.
#pragma once

#include <windows.h>

#include <SDL.h>

#include <string>

namespace screen {

// The virtual key of a key of the display (both Shift keys are VK_SHIFT, and
// so on, as WM_KEYDOWN reports them); 0 for a key Win32 has no code for.
UINT VirtualKeyOf(SDL_Keycode key);

// True when TranslateMessage makes a character of the key's WM_KEYDOWN (a
// letter, a digit, the space and the control keys that type one): the
// display's text for such a key is not sent a second time.
bool TranslateTypes(UINT vk);

// UTF-8 text as code page 936 bytes; a character the code page lacks is
// left out. And the other way, for window titles: bytes that do not convert
// are left out.
std::string Utf8ToCp936(const std::string& utf8);
std::string Cp936ToUtf8(const std::string& text);

}  // namespace screen
