// The display's keys as virtual keys, and text between UTF-8 and code page
// 936 (no display needed).
#include "screen_keys.h"

#include <gtest/gtest.h>

namespace {

TEST(ScreenKeysTest, KeysBecomeWin32VirtualKeys)
{
    const struct {
        SDL_Keycode key;
        UINT vk;
    } cases[] = {
        {SDLK_a, 'A'},       {SDLK_z, 'Z'},         {SDLK_0, '0'},         {SDLK_9, '9'},
        {SDLK_F1, VK_F1},    {SDLK_F12, VK_F1 + 11}, {SDLK_KP_0, 0x60},     {SDLK_KP_9, 0x69},
        {SDLK_RSHIFT, VK_SHIFT}, {SDLK_LCTRL, VK_CONTROL}, {SDLK_RALT, VK_MENU},
        {SDLK_KP_ENTER, VK_RETURN}, {SDLK_PERIOD, 0xBE}, {SDLK_DELETE, VK_DELETE},
        {SDLK_MUTE, 0},  // no code of Win32's here
    };
    for (const auto& c : cases)
        EXPECT_EQ(screen::VirtualKeyOf(c.key), c.vk) << SDL_GetKeyName(c.key);
}

TEST(ScreenKeysTest, TextConvertsToCodePage936AndBack)
{
    const struct {
        const char* utf8;
        const char* cp936;
    } cases[] = {
        {"abc 1.5", "abc 1.5"},
        {"\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},            // 中文
        {"a\xF0\x9F\x98\x80" "b", "ab"},                             // an emoji the page lacks
        {"a\xE4\xB8" "b", "ab"},                                     // a cut sequence
    };
    for (const auto& c : cases)
        EXPECT_EQ(screen::Utf8ToCp936(c.utf8), c.cp936) << c.utf8;
    EXPECT_EQ(screen::Cp936ToUtf8("\xD6\xD0x\xFF"), "\xE4\xB8\xADx");  // 0xFF maps to nothing
}

}  // namespace
