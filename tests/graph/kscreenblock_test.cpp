// The back screen's memory: a large screen on large pages, freed with the
// call that matches how it was made; the heap when large pages are refused;
// pictures never on large pages.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "graph_fixture.h"
#include "kscreenblock.h"

namespace {

// What the page allocator put in VirtualAlloc's place was asked, and gave.
struct PageCalls {
    std::vector<SIZE_T> sizes;
    std::vector<void*> blocks;
    bool refuse = false;
};
PageCalls g_calls;

LPVOID WINAPI CountingPages(LPVOID address, SIZE_T size, DWORD type, DWORD protect)
{
    g_calls.sizes.push_back(size);
    EXPECT_NE(type & MEM_LARGE_PAGES, 0u);
    void* p = g_calls.refuse ? NULL : VirtualAlloc(address, size, type, protect);
    g_calls.blocks.push_back(p);
    return p;
}

// Puts CountingPages in VirtualAlloc's place for one test.
class ScreenBlock : public GraphTest<> {
protected:
    void SetUp() override
    {
        g_calls = PageCalls();
        m_before = kscreenblock::SetPageAllocator(&CountingPages);
        GraphTest<>::SetUp();
    }
    void TearDown() override
    {
        GraphTest<>::TearDown();
        kscreenblock::SetPageAllocator(m_before);
    }

private:
    kscreenblock::PageAllocator m_before = NULL;
};

TEST_F(ScreenBlock, LargeBlocksComeFromPagesSmallOnesAndRefusedOnesFromTheHeap)
{
    const SIZE_T large = GetLargePageMinimum();
    struct Row {
        size_t bytes;
        bool refuse;
        bool paged;
        SIZE_T asked;  // bytes asked of the page allocator; 0 when not asked
    };
    const size_t from = kscreenblock::kLargeFrom;
    const Row rows[] = {
        {4096, false, false, 0},              // small
        {from - 32, false, false, 0},         // just under the bound
        {from, false, true, large},           // the bound: one large page
        {large + 1, false, true, 2 * large},  // rounded up to whole pages
        {from, true, false, large},           // refused: the heap
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("bytes " + std::to_string(r.bytes) + (r.refuse ? " refused" : ""));
        g_calls = PageCalls();
        g_calls.refuse = r.refuse;
        bool paged = !r.paged;
        BYTE* p = static_cast<BYTE*>(kscreenblock::Allocate(r.bytes, paged));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(paged, r.paged);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % kscreenblock::kAlign, 0u);
        if (r.asked == 0) {
            EXPECT_TRUE(g_calls.sizes.empty());
        } else {
            ASSERT_EQ(g_calls.sizes.size(), 1u);
            EXPECT_EQ(g_calls.sizes[0], r.asked);
        }
        if (r.paged) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % large, 0u);
        } else {
            EXPECT_FALSE(VirtualFree(p, 0, MEM_RELEASE));  // not a block of pages
        }
        std::memset(p, 0xA5, r.bytes);
        kscreenblock::Free(p, paged);
        if (r.paged) {
            EXPECT_FALSE(VirtualFree(p, 0, MEM_RELEASE));  // given back already
        }
    }
}

TEST_F(ScreenBlock, TheDevicesScreenIsOnPagesAndGivenBackWithThem)
{
    EXPECT_TRUE(g_calls.sizes.empty());  // a 64 x 48 screen is a small block
    g.ReSizeBackScreen(800, 600, KCM_R5G6B5, false);
    SPRITE_DATA* screen = g.GetBackScreenData();
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(g_calls.blocks.size(), 1u);
    EXPECT_EQ(static_cast<void*>(screen), g_calls.blocks[0]);
    EXPECT_EQ(g_calls.sizes[0], GetLargePageMinimum());
    EXPECT_EQ(screen->width, 800);
    EXPECT_EQ(screen->pitch, 1600u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(screen->lpRows[0]) % kscreenblock::kAlign, 0u);
    EXPECT_EQ(screen->lpRows[599], screen->lpRows[0] + 599 * 1600);

    // A picture of the same size stays on the heap.
    SPRITE_DATA* picture = g._createsprite(800, 600, KCM_R5G6B5, 0);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(g_calls.sizes.size(), 1u);
    EXPECT_EQ(picture->reserved[0], 0u);
    g._releasesprite(picture);

    g.Release();
    EXPECT_FALSE(VirtualFree(screen, 0, MEM_RELEASE));  // given back by the device
}

TEST_F(ScreenBlock, RefusedPagesLeaveAWorkingScreenOnTheHeap)
{
    g_calls.refuse = true;
    g.ReSizeBackScreen(800, 600, KCM_R5G6B5, false);
    SPRITE_DATA* screen = g.GetBackScreenData();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(g_calls.sizes.size(), 1u);
    EXPECT_EQ(screen->reserved[0], 0u);
    EXPECT_FALSE(VirtualFree(screen, 0, MEM_RELEASE));  // not a block of pages
    SpritePixel16(screen, 799, 599)[0] = 0x1234;
    EXPECT_EQ(SpritePixel16(screen, 799, 599)[0], 0x1234);
    g.Release();  // from the heap, back to the heap
}

}  // namespace
