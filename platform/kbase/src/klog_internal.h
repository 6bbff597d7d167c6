// Adding to the log sink, for the reporting calls of kbase.
#pragma once

#include "klog.h"

#include <cstdarg>
#include <string>

namespace kbase {
namespace detail {

// Keeps the entry and echoes it to standard error when echo is on.
void Append(LogEntry::Kind kind, std::string text, long code, std::string file = std::string(),
            int line = 0);
// printf formatting into a string of any length; a null format gives "".
std::string Format(const char* format, va_list args);

}  // namespace detail
}  // namespace kbase
