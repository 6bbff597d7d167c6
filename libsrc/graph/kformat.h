// Text formatting for the text that sprites record and draw every frame.
#pragma once
#include <cstdarg>
#include <cstddef>

// Formats like vsnprintf into buf (size bytes, always terminated, cut where
// it does not fit). The conversions a game's score and status lines use,
// %d %i %u %x %X %c %s and %% with an optional l and no flags, width or
// precision, are done here, several times faster than the C library; a
// format with anything else goes to vsnprintf whole.
void KFormatText(char* buf, size_t size, const char* format, va_list args);

// KFormatText for the text that is recorded or drawn: a null format gives
// an empty text, and a text printed as it is ("%s", the way controls print
// what the player typed) is copied without the formatter.
void KFormatPrint(char* buf, size_t size, const char* format, va_list args);
