// Debug assertions. A failed KASSERT reports its expression, source file and
// line and lets the caller go on: callers are written to carry on with a sound
// result. Assertions are checked in every build.
#pragma once

namespace kbase {

using AssertHandler = void (*)(const char* expr, const char* file, int line);

// Called by KASSERT. `file` is passed on from the project folder on (for
// example "libsrc/graph/kgraph.cpp").
void AssertFailed(const char* expr, const char* file, int line);
// The default handler: logs an Assert entry and echoes
// "Assertion failed: <expr> (<file>:<line>)".
void DefaultAssertHandler(const char* expr, const char* file, int line);
// Installs a handler (null: the default) and returns the previous one.
AssertHandler SetAssertHandler(AssertHandler handler);
// The part of a source path from the project folder on.
const char* SourcePath(const char* file);

}  // namespace kbase

// Variadic so that an expression with commas (template arguments) passes whole.
#define KASSERT(...) \
    ((__VA_ARGS__) ? (void)0 : ::kbase::AssertFailed(#__VA_ARGS__, __FILE__, __LINE__))
