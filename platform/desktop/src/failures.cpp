// Failure injection: a test arms a Win32 call by name and its next call fails
// as Win32 would.
#include "desktop_internal.h"

#include <desktop/desktop.h>

namespace desktop {
namespace {

struct Failures {
    std::mutex mutex;
    std::map<std::string, int> armed;  // name -> calls still to fail
};

Failures& Armed()
{
    static Failures failures;
    return failures;
}

}  // namespace

void FailOnce(const char* win32Name)
{
    if (win32Name == nullptr)
        return;
    Failures& f = Armed();
    std::lock_guard<std::mutex> lock(f.mutex);
    ++f.armed[win32Name];
}

void ClearFailures()
{
    detail::ClearArmedFailures();
}

namespace detail {

bool ShouldFail(const char* win32Name)
{
    Failures& f = Armed();
    std::lock_guard<std::mutex> lock(f.mutex);
    if (f.armed.empty())
        return false;
    auto it = f.armed.find(win32Name);
    if (it == f.armed.end())
        return false;
    if (--it->second == 0)
        f.armed.erase(it);
    return true;
}

void ClearArmedFailures()
{
    Failures& f = Armed();
    std::lock_guard<std::mutex> lock(f.mutex);
    f.armed.clear();
}

}  // namespace detail
}  // namespace desktop
