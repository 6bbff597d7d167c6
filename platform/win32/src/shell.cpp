// ShellExecuteA: each request is recorded for the tests and the demo to
// read; the headless desktop opens no program, a screen backend hands an
// "open" to the desktop's opener.
#include "desktop_internal.h"

#include <desktop/backend.h>
#include <desktop/desktop.h>

#include <cstring>

using namespace desktop::detail;

namespace {

// Win32 answers a launch with a value above 32; below it are error codes.
const uintptr_t kLaunched = 42;
const uintptr_t kFileNotFound = 2;

std::string _text(LPCSTR s)
{
    return s != nullptr ? std::string(s) : std::string();
}

}  // namespace

HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCmd)
{
    if (ShouldFail("ShellExecuteA") || file == nullptr || *file == '\0')
        return reinterpret_cast<HINSTANCE>(kFileNotFound);
    {
        Desktop& d = State();
        std::lock_guard<std::mutex> lock(d.mutex);
        d.shellRequests.push_back(desktop::ShellRequest{hwnd, _text(operation), _text(file),
                                                        _text(parameters), _text(directory),
                                                        showCmd});
    }
    if (desktop::Backend* b = desktop::CurrentBackend()) {
        // The desktop's opener knows one verb: "open" (null means it).
        if (operation != nullptr && std::strcmp(operation, "open") != 0)
            return reinterpret_cast<HINSTANCE>(uintptr_t(SE_ERR_NOASSOC));
        return reinterpret_cast<HINSTANCE>(b->OpenLink(file));
    }
    return reinterpret_cast<HINSTANCE>(kLaunched);
}

namespace desktop {

std::vector<ShellRequest> TakeShellRequests()
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    std::vector<ShellRequest> out;
    out.swap(d.shellRequests);
    return out;
}

}  // namespace desktop
