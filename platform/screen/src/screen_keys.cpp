// Keys of the display to virtual keys, and text between UTF-8 and code page
// 936 (iconv, as the platform's font calls convert it).
#include "screen_keys.h"

#include <iconv.h>

#include <cerrno>

#include <mutex>

namespace screen {
namespace {

struct KeyPair {
    SDL_Keycode key;
    UINT vk;
};

// Win32's codes for the keys the Win32 headers here have no name for.
const KeyPair kKeys[] = {
    {SDLK_BACKSPACE, VK_BACK},       {SDLK_TAB, VK_TAB},
    {SDLK_RETURN, VK_RETURN},        {SDLK_KP_ENTER, VK_RETURN},
    {SDLK_ESCAPE, VK_ESCAPE},        {SDLK_SPACE, VK_SPACE},
    {SDLK_LSHIFT, VK_SHIFT},         {SDLK_RSHIFT, VK_SHIFT},
    {SDLK_LCTRL, VK_CONTROL},        {SDLK_RCTRL, VK_CONTROL},
    {SDLK_LALT, VK_MENU},            {SDLK_RALT, VK_MENU},
    {SDLK_PAGEUP, VK_PRIOR},         {SDLK_PAGEDOWN, VK_NEXT},
    {SDLK_END, VK_END},              {SDLK_HOME, VK_HOME},
    {SDLK_LEFT, VK_LEFT},            {SDLK_UP, VK_UP},
    {SDLK_RIGHT, VK_RIGHT},          {SDLK_DOWN, VK_DOWN},
    {SDLK_INSERT, VK_INSERT},        {SDLK_DELETE, VK_DELETE},
    {SDLK_PAUSE, 0x13},              {SDLK_CAPSLOCK, 0x14},
    {SDLK_PRINTSCREEN, 0x2C},        {SDLK_LGUI, 0x5B},
    {SDLK_RGUI, 0x5C},               {SDLK_APPLICATION, 0x5D},
    {SDLK_KP_MULTIPLY, 0x6A},        {SDLK_KP_PLUS, 0x6B},
    {SDLK_KP_MINUS, 0x6D},           {SDLK_KP_PERIOD, 0x6E},
    {SDLK_KP_DIVIDE, 0x6F},          {SDLK_NUMLOCKCLEAR, 0x90},
    {SDLK_SCROLLLOCK, 0x91},         {SDLK_SEMICOLON, 0xBA},
    {SDLK_EQUALS, 0xBB},             {SDLK_COMMA, 0xBC},
    {SDLK_MINUS, 0xBD},              {SDLK_PERIOD, 0xBE},
    {SDLK_SLASH, 0xBF},              {SDLK_BACKQUOTE, 0xC0},
    {SDLK_LEFTBRACKET, 0xDB},        {SDLK_BACKSLASH, 0xDC},
    {SDLK_RIGHTBRACKET, 0xDD},       {SDLK_QUOTE, 0xDE},
};

// One converter per direction, kept; iconv objects hold state, so each use
// is serialised.
class Converter {
public:
    Converter(const char* to, const char* from) : m_to(to), m_from(from) {}
    ~Converter()
    {
        if (m_cd != iconv_t(-1))
            iconv_close(m_cd);
    }

    // Converts what converts; a sequence that does not is skipped (one
    // whole UTF-8 character, or one byte of code page 936).
    std::string Convert(const std::string& in)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cd == iconv_t(-1))
            m_cd = iconv_open(m_to, m_from);
        if (m_cd == iconv_t(-1))
            return std::string();
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        char* src = const_cast<char*>(in.data());
        size_t left = in.size();
        char buffer[256];
        while (left > 0) {
            char* dst = buffer;
            size_t room = sizeof(buffer);
            const size_t r = iconv(m_cd, &src, &left, &dst, &room);
            out.append(buffer, size_t(dst - buffer));
            if (r == size_t(-1) && errno != E2BIG)
                _skipOne(src, left);
        }
        return out;
    }

private:
    void _skipOne(char*& src, size_t& left)
    {
        size_t n = 1;
        if (std::string(m_from) == "UTF-8")
            while (n < left && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80)
                ++n;
        src += n;
        left -= n;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    }

    const char* m_to;
    const char* m_from;
    std::mutex m_mutex;
    iconv_t m_cd = iconv_t(-1);
};

}  // namespace

UINT VirtualKeyOf(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return UINT('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9)
        return UINT(key);  // '0' to '9'
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return VK_F1 + UINT(key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return 0x61 + UINT(key - SDLK_KP_1);  // VK_NUMPAD1 on
    if (key == SDLK_KP_0)
        return 0x60;
    for (const KeyPair& k : kKeys)
        if (k.key == key)
            return k.vk;
    return 0;
}

bool TranslateTypes(UINT vk)
{
    return (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9') || vk == VK_SPACE ||
           vk == VK_RETURN || vk == VK_BACK || vk == VK_TAB || vk == VK_ESCAPE;
}

std::string Utf8ToCp936(const std::string& utf8)
{
    static Converter c("CP936", "UTF-8");
    return c.Convert(utf8);
}

std::string Cp936ToUtf8(const std::string& text)
{
    static Converter c("UTF-8", "CP936");
    return c.Convert(text);
}

}  // namespace screen
