// Failed debug assertions: reported with expression, file and line, or handed
// to a handler a test installed.
#include "kassert.h"

#include "klog_internal.h"

#include <atomic>
#include <cstring>

namespace kbase {
namespace {

std::atomic<AssertHandler> g_handler{&DefaultAssertHandler};

// Folders of the project whose names start a project-relative path.
const char* const kProjectFolders[] = {"libsrc/", "inc/",   "raster/", "platform/",
                                       "tests/",  "tools/", "examples/", "bench/", "fuzz/"};

}  // namespace

const char* SourcePath(const char* file)
{
    if (file == nullptr)
        return "";
#ifdef KBASE_SOURCE_ROOT
    // Built from this source tree: drop its folder exactly.
    const size_t rootLen = std::strlen(KBASE_SOURCE_ROOT);
    if (std::strncmp(file, KBASE_SOURCE_ROOT, rootLen) == 0)
        return file + rootLen;
#endif
    // Otherwise the earliest project folder that starts a path component.
    for (const char* p = file; *p; ++p) {
        if (p != file && p[-1] != '/' && p[-1] != '\\')
            continue;
        for (const char* folder : kProjectFolders)
            if (std::strncmp(p, folder, std::strlen(folder)) == 0)
                return p;
    }
    return file;
}

void DefaultAssertHandler(const char* expr, const char* file, int line)
{
    detail::Append(LogEntry::Assert, expr ? expr : "", 0, file ? file : "", line);
}

AssertHandler SetAssertHandler(AssertHandler handler)
{
    return g_handler.exchange(handler ? handler : &DefaultAssertHandler);
}

void AssertFailed(const char* expr, const char* file, int line)
{
    g_handler.load()(expr, SourcePath(file), line);
}

}  // namespace kbase
