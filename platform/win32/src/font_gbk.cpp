// Code page 936 (GBK) for the font calls: character codes to Unicode and
// face names to UTF-8, through iconv.
#include "font_gbk.h"

#include <iconv.h>

#include <cstring>
#include <mutex>

namespace win32font {

namespace {

// One converter per direction, made on first use and kept; iconv objects
// hold state, so each use is serialised.
struct Converter {
    std::mutex mutex;
    iconv_t cd = iconv_t(-1);
    const char* to;
    explicit Converter(const char* target) : to(target) {}

    // Converts all of in; false when iconv stops early (a byte sequence the
    // code page does not map, or a truncated one).
    bool Convert(const char* in, size_t inLen, char* out, size_t& outLen)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (cd == iconv_t(-1)) {
            cd = iconv_open(to, "CP936");
            if (cd == iconv_t(-1))
                return false;
        }
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        char* src = const_cast<char*>(in);
        size_t srcLeft = inLen;
        char* dst = out;
        size_t dstLeft = outLen;
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == size_t(-1) || srcLeft != 0)
            return false;
        outLen -= dstLeft;
        return true;
    }
};

Converter& ToUtf32()
{
    static Converter* c = new Converter("UTF-32LE");
    return *c;
}

Converter& ToUtf8()
{
    static Converter* c = new Converter("UTF-8");
    return *c;
}

}  // namespace

bool GbkToUnicode(UINT code, char32_t& ch)
{
    if (code < 0x80) {
        ch = code;
        return true;
    }
    if (code > 0xFFFF)
        return false;
    char bytes[2];
    size_t n = 0;
    if (code > 0xFF)
        bytes[n++] = char(code >> 8);  // the lead byte comes first in the text
    bytes[n++] = char(code & 0xFF);
    unsigned char out[8];
    size_t outLen = sizeof out;
    // One code is one character: anything else is not a character code.
    if (!ToUtf32().Convert(bytes, n, reinterpret_cast<char*>(out), outLen) || outLen != 4)
        return false;
    ch = char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 |
         char32_t(out[3]) << 24;
    return true;
}

std::string FaceNameToUtf8(const CHAR* name)
{
    const size_t len = strnlen(name, LF_FACESIZE);
    std::string result;
    // A character at a time, so one bad byte loses only itself.
    for (size_t i = 0; i < len;) {
        const unsigned char b = static_cast<unsigned char>(name[i]);
        if (b < 0x80) {
            result += char(b);
            ++i;
            continue;
        }
        const size_t n = i + 1 < len ? 2 : 1;
        char out[8];
        size_t outLen = sizeof out;
        if (ToUtf8().Convert(name + i, n, out, outLen)) {
            result.append(out, outLen);
            i += n;
        } else {
            ++i;
        }
    }
    return result;
}

}  // namespace win32font
