// The base library's log sink. Every report, debug line, log line and failed
// assertion is one entry: it is kept in memory, where the host and tests read
// it, and echoed to standard error when the host asks for it. Thread-safe.
#pragma once

#include <string>
#include <vector>

namespace kbase {

struct LogEntry {
    enum Kind { Report, DebugLine, Log, Assert } kind;
    std::string text;  // the formatted message; for Assert the expression
    long code;         // the code a report returned; 0 for the other kinds
    std::string file;  // Assert only: the source file from the project folder on
    int line;          // Assert only
};

// Returns the entries kept so far, oldest first, and forgets them. The sink
// keeps the latest 65536 entries; older ones are dropped.
std::vector<LogEntry> TakeLog();
void ClearLog();
// True when the text of a kept entry contains `text`; nothing is forgotten.
bool LogContains(const std::string& text);
// Standard-error echo: off unless the environment variable KESTREL_LOG is
// "stderr" when the library first logs; SetEcho turns it on or off.
void SetEcho(bool on);

}  // namespace kbase
