// VirtualAlloc and VirtualFree: whole zeroed pages, large ones on their own
// boundary, and the calls this layer does not take refused rather than
// half done.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

TEST(VirtualMemory, BlocksAreZeroedWritableAndFreedOnce)
{
    const SIZE_T large = GetLargePageMinimum();
    ASSERT_GT(large, 0u);
    ASSERT_EQ(large % 4096, 0u);
    struct Row {
        SIZE_T size;
        DWORD type;
        SIZE_T align;
    };
    const DWORD commit = MEM_RESERVE | MEM_COMMIT;
    const Row rows[] = {
        {1, commit, 4096},
        {4096 * 3 + 1, commit, 4096},
        {large, commit | MEM_LARGE_PAGES, large},
        {3 * large, commit | MEM_LARGE_PAGES, large},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("size " + std::to_string(r.size) + " type " + std::to_string(r.type));
        BYTE* p = static_cast<BYTE*>(VirtualAlloc(NULL, r.size, r.type, PAGE_READWRITE));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % r.align, 0u);
        bool zero = true;
        for (SIZE_T i = 0; i < r.size; i++)
            zero = zero && p[i] == 0;
        EXPECT_TRUE(zero);
        std::memset(p, 0x5A, r.size);
        EXPECT_EQ(p[r.size - 1], 0x5A);
        EXPECT_FALSE(VirtualFree(p + 1, 0, MEM_RELEASE));   // not a block's start
        EXPECT_FALSE(VirtualFree(p, r.size, MEM_RELEASE));  // Win32 wants size 0
        EXPECT_TRUE(VirtualFree(p, 0, MEM_RELEASE));
        EXPECT_FALSE(VirtualFree(p, 0, MEM_RELEASE));  // already freed
    }
}

TEST(VirtualMemory, CallsOutsideTheSubsetFail)
{
    const SIZE_T large = GetLargePageMinimum();
    const DWORD commit = MEM_RESERVE | MEM_COMMIT;
    int here = 0;
    struct Row {
        const char* what;
        LPVOID address;
        SIZE_T size;
        DWORD type;
        DWORD protect;
    };
    const Row rows[] = {
        {"no size", NULL, 0, commit, PAGE_READWRITE},
        {"a chosen address", &here, 4096, commit, PAGE_READWRITE},
        {"reserved only", NULL, 4096, MEM_RESERVE, PAGE_READWRITE},
        {"committed only", NULL, 4096, MEM_COMMIT, PAGE_READWRITE},
        {"other protection", NULL, 4096, commit, 0x02},
        {"large pages of a part of one", NULL, large / 2, commit | MEM_LARGE_PAGES, PAGE_READWRITE},
        {"more than any address space", NULL, ~SIZE_T(0) - 4095, commit, PAGE_READWRITE},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(VirtualAlloc(r.address, r.size, r.type, r.protect), nullptr);
    }
    EXPECT_FALSE(VirtualFree(NULL, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(&here, 0, MEM_RELEASE));
}

}  // namespace
