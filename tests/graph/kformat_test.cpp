// The formatting of recorded text gives vsnprintf's bytes for every format.
#include <gtest/gtest.h>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include "../../libsrc/graph/kformat.h"

namespace {

// Both formatters on the same arguments, into buffers of size bytes; the
// whole buffers are compared, so nothing may be written past the text.
void Both(std::string& ours, std::string& libc, size_t size, const char* format, ...)
{
    char a[300], b[300];
    std::memset(a, 'x', sizeof a);
    std::memset(b, 'x', sizeof b);
    va_list args;
    va_start(args, format);
    KFormatText(a, size, format, args);
    va_end(args);
    va_start(args, format);
    std::vsnprintf(b, size, format, args);
    va_end(args);
    ours.assign(a, sizeof a);
    libc.assign(b, sizeof b);
}

TEST(FormatText, GivesTheCLibrarysBytes)
{
    // Conversions by the type they read; every format of a round reads one
    // type, so one argument list serves it. Flags, widths and precisions go
    // to the C library and must come out the same too.
    const std::vector<const char*> byType[] = {
        {"%d", "%i", "%u", "%x", "%X", "%c", "%5d", "%-4x", "%02u"},  // int
        {"%ld", "%li", "%lu", "%lx", "%lX", "%8ld"},                // long
        {"%s", "%.3s", "%6s"},                                      // string
    };
    const char* literals[] = {"score ", "hp:", " ", "%%", "", "/"};
    const int ints[] = {0, 1, -1, 42, 'A', 1234567, INT_MAX, INT_MIN};
    const long longs[] = {0, -7, 99999999999L, LONG_MAX, LONG_MIN};
    const char* strs[] = {"", "abc", "a somewhat longer string to be cut at the end of a buffer"};
    std::mt19937 rng(5);
    for (int round = 0; round < 6000; round++) {
        const int type = int(rng() % 3);
        std::string format;
        for (int k = int(rng() % 5); k >= 0; k--) {
            format += literals[rng() % 6];
            if (rng() % 4 != 0)
                format += byType[type][rng() % byType[type].size()];
        }
        const size_t size = rng() % 4 == 0 ? size_t(rng() % 12) + 1 : 256;
        std::string ours, libc;
        const char* f = format.c_str();
        if (type == 0) {
            const int v = ints[rng() % 8];
            Both(ours, libc, size, f, v, v, v, v, v, v);
        } else if (type == 1) {
            const long v = longs[rng() % 5];
            Both(ours, libc, size, f, v, v, v, v, v, v);
        } else {
            const char* v = strs[rng() % 3];
            Both(ours, libc, size, f, v, v, v, v, v, v);
        }
        ASSERT_EQ(ours, libc) << "format \"" << format << "\" size " << size;
    }
}

TEST(FormatText, LongTextIsCutAtTheBuffer)
{
    std::string ours, libc;
    const std::string text(400, 'a');
    Both(ours, libc, 256, "%s!", text.c_str());
    EXPECT_EQ(ours, libc);
    EXPECT_EQ(std::strlen(ours.c_str()), 255u);
}

}  // namespace
