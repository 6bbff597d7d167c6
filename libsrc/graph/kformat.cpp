// Text formatting: the common conversions inline, the rest by vsnprintf.
#include "kformat.h"
#include <cstdio>
#include <cstring>

namespace {

// True when every conversion of format is one KFormatText does itself.
bool Simple(const char* f)
{
    for (; *f != 0; f++) {
        if (*f != '%')
            continue;
        f++;
        if (*f == 'l')
            f++;
        switch (*f) {
        case 'd': case 'i': case 'u': case 'x': case 'X':
            break;
        case 'c': case 's': case '%':
            if (f[-1] == 'l')
                return false;  // wide characters and strings
            break;
        default:
            return false;
        }
    }
    return true;
}

// Appends to buf up to its end, keeping room for the terminating zero.
struct Out {
    char* p;
    char* end;  // the last byte, kept for the zero
    void put(char c)
    {
        if (p < end)
            *p++ = c;
    }
    void put(const char* s, size_t n)
    {
        const size_t room = size_t(end - p);
        if (n > room)
            n = room;
        std::memcpy(p, s, n);
        p += n;
    }
};

void PutUnsigned(Out& out, unsigned long v, unsigned base, bool upper)
{
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char tmp[24];
    size_t n = 0;
    do {
        tmp[sizeof tmp - ++n] = digits[v % base];
        v /= base;
    } while (v != 0);
    out.put(tmp + sizeof tmp - n, n);
}

}  // namespace

void KFormatText(char* buf, size_t size, const char* format, va_list args)
{
    if (size == 0)
        return;
    if (!Simple(format)) {
        std::vsnprintf(buf, size, format, args);
        return;
    }
    Out out{buf, buf + size - 1};
    for (const char* f = format; *f != 0; f++) {
        if (*f != '%') {
            const char* run = f;
            while (f[1] != 0 && f[1] != '%')
                f++;
            out.put(run, size_t(f - run + 1));
            continue;
        }
        f++;
        const bool isLong = *f == 'l';
        if (isLong)
            f++;
        switch (*f) {
        case 'd':
        case 'i': {
            const long v = isLong ? va_arg(args, long) : long(va_arg(args, int));
            if (v < 0)
                out.put('-');
            // The magnitude of the most negative value still fits unsigned.
            PutUnsigned(out, v < 0 ? 0ul - (unsigned long)v : (unsigned long)v, 10, false);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            const unsigned long v =
                isLong ? va_arg(args, unsigned long) : (unsigned long)va_arg(args, unsigned);
            PutUnsigned(out, v, *f == 'u' ? 10 : 16, *f == 'X');
            break;
        }
        case 'c':
            out.put(char(va_arg(args, int)));
            break;
        case 's': {
            const char* s = va_arg(args, const char*);
            if (s == nullptr)
                s = "(null)";  // what the C library prints
            out.put(s, std::strlen(s));
            break;
        }
        default:  // '%'
            out.put('%');
            break;
        }
    }
    *out.p = 0;
}

void KFormatPrint(char* buf, size_t size, const char* format, va_list args)
{
    if (size == 0)
        return;
    if (format == nullptr) {
        buf[0] = '\0';
        return;
    }
    if (format[0] == '%' && format[1] == 's' && format[2] == '\0') {
        const char* text = va_arg(args, const char*);
        if (text == nullptr)
            text = "(null)";
        const size_t n = strnlen(text, size - 1);
        std::memcpy(buf, text, n);
        buf[n] = '\0';
        return;
    }
    KFormatText(buf, size, format, args);  // the common conversions without the C library
}
