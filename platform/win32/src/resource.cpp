// Win32 resources over a table the host fills: FindResourceA, SizeofResource,
// LoadResource, LockResource, FreeResource; and GetModuleHandleA, the
// program's own module under which it registers them.
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "desktop_internal.h"
#include "win32_resource.h"

namespace {

// A resource type or name: a number (MAKEINTRESOURCE) or a string kept in
// upper case, since Win32 compares resource strings without regard to case.
struct ResourceKey {
    bool isNumber = false;
    WORD number = 0;
    std::string text;

    static ResourceKey From(LPCSTR id)
    {
        ResourceKey k;
        if (IS_INTRESOURCE(id)) {
            k.isNumber = true;
            k.number = LOWORD(id);
            return k;
        }
        for (const char* p = id; *p != 0; p++)
            k.text += (char)toupper((unsigned char)*p);
        return k;
    }

    bool operator==(const ResourceKey& o) const
    {
        return isNumber == o.isNumber && (isNumber ? number == o.number : text == o.text);
    }
};

struct Resource {
    UINT_PTR id;  // the handle value; never reused
    HMODULE module;
    ResourceKey type;
    ResourceKey name;
    std::vector<BYTE> data;
    DWORD size;
};

struct ResourceTable {
    std::mutex mutex;
    std::vector<std::unique_ptr<Resource>> resources;
    UINT_PTR nextId = 0x10000;  // clear of the small numbers MAKEINTRESOURCE makes
};

ResourceTable& Table()
{
    static ResourceTable table;
    return table;
}

// The resource a handle names; the table's lock must be held.
Resource* _find(ResourceTable& t, const void* handle)
{
    UINT_PTR id = (UINT_PTR)handle;
    for (auto& r : t.resources) {
        if (r->id == id)
            return r.get();
    }
    return nullptr;
}

}  // namespace

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    if (name == nullptr || type == nullptr || desktop::detail::ShouldFail("FindResourceA"))
        return nullptr;
    ResourceKey n = ResourceKey::From(name), ty = ResourceKey::From(type);
    ResourceTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    for (auto& r : t.resources) {
        if (r->module == module && r->type == ty && r->name == n)
            return (HRSRC)r->id;
    }
    return nullptr;
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource)
{
    ResourceTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Resource* r = _find(t, resource);
    return r != nullptr && r->module == module ? r->size : 0;
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource)
{
    if (desktop::detail::ShouldFail("LoadResource"))
        return nullptr;
    ResourceTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Resource* r = _find(t, resource);
    return r != nullptr && r->module == module ? (HGLOBAL)r->id : nullptr;
}

LPVOID WINAPI LockResource(HGLOBAL data)
{
    if (desktop::detail::ShouldFail("LockResource"))
        return nullptr;
    ResourceTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Resource* r = _find(t, data);
    return r != nullptr ? r->data.data() : nullptr;
}

BOOL WINAPI FreeResource(HGLOBAL)
{
    return FALSE;
}

namespace desktop {

bool RegisterResource(HMODULE module, LPCSTR type, LPCSTR name, const void* data, DWORD size)
{
    if (type == nullptr || name == nullptr || (data == nullptr && size != 0))
        return false;
    std::unique_ptr<Resource> r(new (std::nothrow) Resource);
    if (!r)
        return false;
    r->module = module;
    r->type = ResourceKey::From(type);
    r->name = ResourceKey::From(name);
    r->size = size;
    try {
        // One byte more, so that even empty data has an address to lock.
        r->data.resize((size_t)size + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (size != 0)
        memcpy(r->data.data(), data, size);

    ResourceTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    for (auto it = t.resources.begin(); it != t.resources.end(); ++it) {
        if ((*it)->module == module && (*it)->type == r->type && (*it)->name == r->name) {
            t.resources.erase(it);
            break;
        }
    }
    r->id = t.nextId++;
    t.resources.push_back(std::move(r));
    return true;
}

void ClearResources()
{
    ResourceTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.resources.clear();
}

}  // namespace desktop

HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    if (name != nullptr)
        return nullptr;
    return reinterpret_cast<HMODULE>(uintptr_t(0x400000));
}
