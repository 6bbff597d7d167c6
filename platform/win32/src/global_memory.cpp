// Global memory blocks. A fixed block's handle is its address, as on Win32; a
// movable block's handle is a number of its own that GlobalLock turns into
// the address, counting locks.
#include "desktop_internal.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace {

// Movable handles lie in their own range above 4 GiB, never an address.
constexpr uintptr_t kMovableHandleBase = uintptr_t(0x47) << 32;

struct Block {
    void* data = nullptr;
    SIZE_T size = 0;
    UINT flags = 0;
    bool movable = false;
    int locks = 0;
};

struct Registry {
    std::mutex mutex;
    std::map<uintptr_t, Block> blocks;  // by handle
    std::map<uintptr_t, uintptr_t> byAddress;
    uint64_t serial = 0;

    Block* Find(HGLOBAL handle)
    {
        auto it = blocks.find(reinterpret_cast<uintptr_t>(handle));
        return it == blocks.end() ? nullptr : &it->second;
    }
};

Registry& Blocks()
{
    // Never destroyed: blocks may be freed by static objects at exit.
    static Registry* registry = new Registry;
    return *registry;
}

constexpr UINT kKnownFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DISCARDABLE | GMEM_SHARE;

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (desktop::detail::ShouldFail("GlobalAlloc") || (flags & ~kKnownFlags) != 0)
        return nullptr;
    // A block of 0 bytes still gets an address of its own.
    void* data = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                         : std::malloc(bytes ? bytes : 1);
    if (data == nullptr)
        return nullptr;
    Block block;
    block.data = data;
    block.size = bytes;
    block.flags = flags;
    block.movable = (flags & GMEM_MOVEABLE) != 0;
    Registry& r = Blocks();
    std::lock_guard<std::mutex> lock(r.mutex);
    const uintptr_t handle =
        block.movable ? kMovableHandleBase + ++r.serial * 16 : reinterpret_cast<uintptr_t>(data);
    r.blocks[handle] = block;
    r.byAddress[reinterpret_cast<uintptr_t>(data)] = handle;
    return reinterpret_cast<HGLOBAL>(handle);
}

LPVOID WINAPI GlobalLock(HGLOBAL mem)
{
    if (desktop::detail::ShouldFail("GlobalLock"))
        return nullptr;
    Registry& r = Blocks();
    std::lock_guard<std::mutex> lock(r.mutex);
    Block* b = r.Find(mem);
    if (b == nullptr)
        return nullptr;
    if (b->movable && b->locks < GMEM_LOCKCOUNT)
        ++b->locks;
    return b->data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL mem)
{
    Registry& r = Blocks();
    std::lock_guard<std::mutex> lock(r.mutex);
    Block* b = r.Find(mem);
    if (b == nullptr || !b->movable || b->locks == 0)
        return FALSE;
    return --b->locks > 0 ? TRUE : FALSE;
}

SIZE_T WINAPI GlobalSize(HGLOBAL mem)
{
    Registry& r = Blocks();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Block* b = r.Find(mem);
    return b == nullptr ? 0 : b->size;
}

HGLOBAL WINAPI GlobalHandle(LPCVOID address)
{
    Registry& r = Blocks();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.byAddress.find(reinterpret_cast<uintptr_t>(address));
    return it == r.byAddress.end() ? nullptr : reinterpret_cast<HGLOBAL>(it->second);
}

HGLOBAL WINAPI GlobalFree(HGLOBAL mem)
{
    Registry& r = Blocks();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.blocks.find(reinterpret_cast<uintptr_t>(mem));
    if (it == r.blocks.end())
        return mem;
    r.byAddress.erase(reinterpret_cast<uintptr_t>(it->second.data));
    std::free(it->second.data);
    r.blocks.erase(it);
    return nullptr;
}
