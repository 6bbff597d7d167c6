// ShellExecuteA's "open" on a screen: the desktop's opener (xdg-open, found
// on PATH) runs in a child process with the link as its one argument, and
// the call returns at once, as on Win32. A thread reaps the child.
#include "screen_backend.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace screen {

INT_PTR ScreenBackend::OpenLink(const char* target)
{
    // The opener reads an argument that starts with '-' as an option.
    if (target == nullptr || *target == '\0' || *target == '-')
        return SE_ERR_FNF;
    char opener[] = "xdg-open";
    char* argv[] = {opener, const_cast<char*>(target), nullptr};
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, opener, nullptr, nullptr, argv, environ);
    if (failed != 0)
        return failed == ENOENT ? SE_ERR_NOASSOC : SE_ERR_OOM;
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 42;  // any value above 32 says it was done
}

}  // namespace screen
