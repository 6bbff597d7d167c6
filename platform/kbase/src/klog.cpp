// The log sink: an in-memory list of entries plus the standard-error echo.
#include "klog_internal.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

namespace kbase {
namespace {

// A long-running host logs without reading back; the sink keeps the latest
// entries only.
constexpr size_t kMaxEntries = 65536;

// A game's own output is not the place for the library's chatter: entries
// are echoed only when the host asks, by KESTREL_LOG=stderr in the
// environment or by SetEcho.
bool EchoAskedByEnvironment()
{
    const char* value = std::getenv("KESTREL_LOG");
    return value != nullptr && std::strcmp(value, "stderr") == 0;
}

struct Sink {
    std::mutex mutex;
    std::deque<LogEntry> entries;
    std::atomic<bool> echo{EchoAskedByEnvironment()};
};

Sink& TheSink()
{
    static Sink sink;
    return sink;
}

const char* _kindName(LogEntry::Kind kind)
{
    switch (kind) {
    case LogEntry::Report:
        return "report";
    case LogEntry::DebugLine:
        return "debug";
    case LogEntry::Log:
        return "log";
    case LogEntry::Assert:
        return "assert";
    }
    return "log";
}

void _echo(const LogEntry& e)
{
    switch (e.kind) {
    case LogEntry::Report:
        std::fprintf(stderr, "[report] %s (code %ld)\n", e.text.c_str(), e.code);
        break;
    case LogEntry::Assert:
        std::fprintf(stderr, "[assert] Assertion failed: %s (%s:%d)\n", e.text.c_str(),
                     e.file.c_str(), e.line);
        break;
    default:
        std::fprintf(stderr, "[%s] %s\n", _kindName(e.kind), e.text.c_str());
        break;
    }
}

}  // namespace

namespace detail {

void Append(LogEntry::Kind kind, std::string text, long code, std::string file, int line)
{
    LogEntry e{kind, std::move(text), code, std::move(file), line};
    Sink& s = TheSink();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.echo.load())
        _echo(e);
    if (s.entries.size() >= kMaxEntries)
        s.entries.pop_front();
    s.entries.push_back(std::move(e));
}

std::string Format(const char* format, va_list args)
{
    if (format == nullptr)
        return std::string();
    char small[256];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof(small), format, copy);
    va_end(copy);
    if (n < 0)
        return std::string();
    if (size_t(n) < sizeof(small))
        return std::string(small, size_t(n));
    std::string text(size_t(n) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(size_t(n));
    return text;
}

}  // namespace detail

std::vector<LogEntry> TakeLog()
{
    Sink& s = TheSink();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::vector<LogEntry> out(std::make_move_iterator(s.entries.begin()),
                              std::make_move_iterator(s.entries.end()));
    s.entries.clear();
    return out;
}

void ClearLog()
{
    Sink& s = TheSink();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.entries.clear();
}

bool LogContains(const std::string& text)
{
    Sink& s = TheSink();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const LogEntry& e : s.entries)
        if (e.text.find(text) != std::string::npos)
            return true;
    return false;
}

void SetEcho(bool on)
{
    TheSink().echo.store(on);
}

}  // namespace kbase
