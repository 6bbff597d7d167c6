// Text helpers over plain bytes. Case folding covers ASCII only, so the
// bytes of double-byte text pass through unchanged.
#include "desktop_internal.h"

namespace {

unsigned char _lower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

}  // namespace

BOOL WINAPI IsDBCSLeadByte(BYTE c)
{
    return c >= 0x81 && c <= 0xFE;
}

int WINAPI lstrlenA(LPCSTR text)
{
    return text ? int(std::strlen(text)) : 0;
}

char* _strlwr(char* text)
{
    if (text == nullptr)
        return nullptr;
    for (char* p = text; *p; ++p)
        *p = static_cast<char>(_lower(static_cast<unsigned char>(*p)));
    return text;
}

int _strnicmp(const char* a, const char* b, size_t count)
{
    if (a == nullptr || b == nullptr)
        return a == b ? 0 : (a == nullptr ? -1 : 1);
    for (size_t i = 0; i < count; ++i) {
        const int ca = _lower(static_cast<unsigned char>(a[i]));
        const int cb = _lower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca - cb;
        if (ca == 0)
            return 0;
    }
    return 0;
}

int _stricmp(const char* a, const char* b)
{
    return _strnicmp(a, b, SIZE_MAX);
}
