// KRet, Debug and OutputLog: one formatted line each into the log sink.
#include "kret.h"

#include "klog_internal.h"

long KRet(long code, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = kbase::detail::Format(format, args);
    va_end(args);
    kbase::detail::Append(kbase::LogEntry::Report, std::move(text), code);
    return code;
}

void Debug(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = kbase::detail::Format(format, args);
    va_end(args);
    kbase::detail::Append(kbase::LogEntry::DebugLine, std::move(text), 0);
}

void OutputLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = kbase::detail::Format(format, args);
    va_end(args);
    kbase::detail::Append(kbase::LogEntry::Log, std::move(text), 0);
}
