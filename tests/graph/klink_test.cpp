// The pooled lists: exact element and node order, block growth, recycling
// behind the spare end node, walks, moves, and allocation failure.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <klink.h>

#include "desktop_fixture.h"

namespace {

struct Item {
    int v = -1;
    bool operator==(const Item& o) const { return v == o.v; }
};

using ValueList = KLink<Item, 4, 4>;
using LinkedList = KLink<Item, 4, 4, KLinkLinked>;

// Big enough that a block of INT_MAX nodes can never be made.
struct Huge {
    char bytes[1 << 20];
};

// Under AddressSanitizer a huge request aborts unless the run allows null.
bool HugeAllocationsFailSoftly()
{
#if defined(__SANITIZE_ADDRESS__)
    const char* o = std::getenv("ASAN_OPTIONS");
    return o && std::strstr(o, "allocator_may_return_null=1");
#else
    return true;
#endif
}

template <class List>
std::vector<int> Values(List& list)
{
    std::vector<int> out;
    typename List::Node* cursor = nullptr;
    do {
        typename List::Node* n = nullptr;
        list.GetNext(n, cursor);
        if (n) out.push_back(n->v);
    } while (cursor);
    return out;
}

template <class List>
std::vector<typename List::Node*> Nodes(List& list)
{
    std::vector<typename List::Node*> out;
    typename List::Node* cursor = nullptr;
    do {
        typename List::Node* n = nullptr;
        list.GetNext(n, cursor);
        if (n) out.push_back(n);
    } while (cursor);
    return out;
}

template <class List>
typename List::Node* Append(List& list, int v)
{
    typename List::Node* n = list.GetEnd();
    n->v = v;
    EXPECT_EQ(list.Add(), 0);
    return n;
}

// The linked form's back links agree with its forward links along the whole
// chain, spare nodes included; returns the elements read backwards from m_End.
std::vector<int> CheckLinksAndReadBackwards(LinkedList& list)
{
    std::vector<int> back;
    LinkedList::Node* end = list.GetEnd();
    for (LinkedList::Node* n = end->m_pPrev; n; n = n->m_pPrev) {
        back.insert(back.begin(), n->v);
        EXPECT_EQ(n->m_pNext->m_pPrev, n);
        if (!n->m_pPrev) {
            EXPECT_EQ(Nodes(list).front(), n);
        }
    }
    DWORD nodes = DWORD(back.size());
    for (LinkedList::Node* n = end; n; n = n->m_pNext) {
        ++nodes;
        if (n->m_pNext) {
            EXPECT_EQ(n->m_pNext->m_pPrev, n);
        }
    }
    EXPECT_EQ(nodes, list.GetNodeCount());
    return back;
}

using KLinkTest = DesktopTest;

}  // namespace

TEST_F(KLinkTest, SixteenthAddOfAValueListMakesTheSecondBlock)
{
    KLink<Item, 16, 16> list;
    EXPECT_EQ(list.GetNodeCount(), 16u);
    EXPECT_EQ(list.GetCount(), 0u);
    for (int i = 0; i < 15; ++i) Append(list, i);
    EXPECT_EQ(list.GetNodeCount(), 16u);
    Append(list, 15);
    EXPECT_EQ(list.GetNodeCount(), 32u);
    EXPECT_EQ(list.GetCount(), 16u);
    std::vector<int> expect;
    for (int i = 0; i < 16; ++i) expect.push_back(i);
    EXPECT_EQ(Values(list), expect);
}

TEST_F(KLinkTest, NewNodesHoldDefaultElementsAndAddCopiesByValue)
{
    KLink<Item, 16, 128> list;
    EXPECT_EQ(list.GetEnd()->v, -1);
    Item a;
    a.v = 42;
    EXPECT_EQ(list.Add(a), 0);
    EXPECT_EQ(list.GetHead()->v, 42);
    EXPECT_EQ(list.GetHead()->m_pNext, list.GetEnd());
    EXPECT_EQ(Values(list), (std::vector<int>{42}));
}

// The render engine copies a command into a spare node: the element moves,
// the links stay the list's.
TEST_F(KLinkTest, AssigningANodeCopiesTheElementAndKeepsTheLinks)
{
    ValueList list;
    ValueList::Node* a = Append(list, 1);
    ValueList::Node* b = Append(list, 2);
    ValueList::Node* end = list.GetEnd();
    ValueList::Node* endNext = end->m_pNext;
    *end = *a;
    EXPECT_EQ(end->v, 1);
    EXPECT_EQ(end->m_pNext, endNext);
    EXPECT_EQ(a->m_pNext, b);
    LinkedList linked;
    LinkedList::Node* c = Append(linked, 3);
    LinkedList::Node* spare = linked.GetEnd();
    *spare = *c;
    EXPECT_EQ(spare->v, 3);
    EXPECT_EQ(spare->m_pPrev, c);
}

TEST_F(KLinkTest, RemovingTheLastElementMakesItsNodeTheEnd)
{
    ValueList list;
    Append(list, 1);
    ValueList::Node* last = Append(list, 2);
    EXPECT_EQ(list.Delete(last), 0);
    EXPECT_EQ(list.GetEnd(), last);
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(Append(list, 3), last);   // reused at once
    EXPECT_EQ(Values(list), (std::vector<int>{1, 3}));
}

TEST_F(KLinkTest, RemovingTheFirstOfSeveralRecyclesItsNodeBehindTheSpares)
{
    ValueList list;  // nodes n0..n3
    ValueList::Node* n0 = Append(list, 0);
    ValueList::Node* n1 = Append(list, 1);
    ValueList::Node* n2 = Append(list, 2);
    ValueList::Node* n3 = list.GetEnd();
    EXPECT_EQ(list.Delete(n0), 0);
    EXPECT_EQ(list.GetHead(), n1);
    EXPECT_EQ(list.GetNodeCount(), 4u);
    // n3 is filled next, then the recycled n0, and only then a block is made.
    EXPECT_EQ(Append(list, 3), n3);
    EXPECT_EQ(list.GetNodeCount(), 4u);
    EXPECT_EQ(Append(list, 4), n0);
    EXPECT_EQ(list.GetNodeCount(), 8u);
    EXPECT_EQ(Nodes(list), (std::vector<ValueList::Node*>{n1, n2, n3, n0}));
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(KLinkTest, RemovingAMiddleElementRelinksAroundIt)
{
    ValueList list;
    Append(list, 0);
    ValueList::Node* mid = Append(list, 1);
    Append(list, 2);
    EXPECT_EQ(list.Delete(mid), 0);
    EXPECT_EQ(Values(list), (std::vector<int>{0, 2}));
    EXPECT_EQ(mid->m_pNext, nullptr);   // the last spare node now
}

TEST_F(KLinkTest, ClearThenAddReusesTheSameNodesInOrder)
{
    ValueList list;
    for (int i = 0; i < 6; ++i) Append(list, i);
    std::vector<ValueList::Node*> before = Nodes(list);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_TRUE(Values(list).empty());
    EXPECT_EQ(list.GetEnd(), before[0]);
    for (int i = 0; i < 6; ++i) Append(list, 10 + i);
    EXPECT_EQ(Nodes(list), before);
    EXPECT_EQ(list.GetNodeCount(), 8u);
}

// Reserving makes the missing spare nodes as one block, behind the spares
// already there; adding up to that many elements then makes no node.
TEST_F(KLinkTest, ReserveAddsOneBlockBehindTheSparesAndAddsThenGrowNothing)
{
    ValueList list;
    for (int i = 0; i < 3; ++i) Append(list, i);
    EXPECT_TRUE(list.Reserve(1));  // the fourth node is spare already
    EXPECT_EQ(list.GetNodeCount(), 4u);
    EXPECT_TRUE(list.Reserve(11));
    EXPECT_EQ(list.GetNodeCount(), 14u);
    for (int i = 3; i < 13; ++i) Append(list, i);
    EXPECT_EQ(list.GetNodeCount(), 14u);
    std::vector<int> want;
    for (int i = 0; i < 13; ++i) want.push_back(i);
    EXPECT_EQ(Values(list), want);
    Append(list, 13);  // the last spare: the next add grows by a block again
    Append(list, 14);
    EXPECT_EQ(list.GetNodeCount(), 18u);
}

TEST_F(KLinkTest, DeleteOfWhatIsNotListedFailsAndChangesNothing)
{
    ValueList list;
    ValueList other;
    Item missing;
    missing.v = 9;
    EXPECT_EQ(list.Delete(missing), E_FAIL);                // empty
    EXPECT_EQ(list.DeleteNext(nullptr), E_FAIL);            // empty
    Append(list, 1);
    Append(list, 2);
    EXPECT_EQ(list.Delete(other.GetEnd()), E_FAIL);
    EXPECT_EQ(list.Delete(list.GetEnd()), E_FAIL);          // the spare node
    EXPECT_EQ(list.Delete(missing), E_FAIL);
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2}));

    EXPECT_EQ(list.Delete(static_cast<ValueList::Node*>(nullptr)), E_FAIL);
    EXPECT_TRUE(Asserted("obj"));
}

TEST_F(KLinkTest, DeleteByValueRemovesTheFirstEqualElement)
{
    ValueList list;
    ValueList::Node* a = Append(list, 5);
    Append(list, 7);
    ValueList::Node* c = Append(list, 5);
    Item five;
    five.v = 5;
    EXPECT_EQ(list.Delete(five), 0);
    EXPECT_EQ(Values(list), (std::vector<int>{7, 5}));
    EXPECT_EQ(Nodes(list).back(), c);
    EXPECT_EQ(a->m_pNext, nullptr);
}

TEST_F(KLinkTest, DeleteNextRemovesTheSuccessorOrTheFirst)
{
    ValueList list;
    ValueList::Node* a = Append(list, 0);
    Append(list, 1);
    ValueList::Node* c = Append(list, 2);
    EXPECT_EQ(list.DeleteNext(a), 0);
    EXPECT_EQ(Values(list), (std::vector<int>{0, 2}));
    EXPECT_EQ(list.DeleteNext(c), E_FAIL);   // nothing after the last element
    EXPECT_EQ(list.DeleteNext(nullptr), 0);
    EXPECT_EQ(Values(list), (std::vector<int>{2}));
    EXPECT_EQ(list.GetCount(), 1u);
}

TEST_F(KLinkTest, WalkThatRemovesEveryElementEndsEmpty)
{
    ValueList list;
    for (int i = 0; i < 9; ++i) Append(list, i);
    std::vector<int> seen;
    ValueList::Node* cursor = nullptr;
    do {
        ValueList::Node* n = nullptr;
        list.GetNext(n, cursor);
        if (n) {
            seen.push_back(n->v);
            EXPECT_EQ(list.Delete(n), 0);
        }
    } while (cursor);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetHead(), list.GetEnd());
    EXPECT_EQ(list.GetNodeCount(), 12u);
}

// The render engine's cutting: a piece is appended and moved just after the
// command being handled; the walk does not visit it.
TEST_F(KLinkTest, WalkSkipsNodesMovedInJustAfterTheHandledOne)
{
    ValueList list;
    for (int i = 0; i < 3; ++i) Append(list, i);
    std::vector<int> seen;
    ValueList::Node* cursor = nullptr;
    do {
        ValueList::Node* n = nullptr;
        list.GetNext(n, cursor);
        if (!n) continue;
        seen.push_back(n->v);
        if (n->v < 10) {
            ValueList::Node* piece = Append(list, 10 + n->v);
            EXPECT_EQ(list.MoveAfter(n, piece), 0);
        }
    } while (cursor);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Values(list), (std::vector<int>{0, 10, 1, 11, 2, 12}));
}

TEST_F(KLinkTest, ValueMoveAfterPlacesTheNodeAfterWhere)
{
    ValueList list;
    std::vector<ValueList::Node*> n;
    for (int i = 0; i < 5; ++i) n.push_back(Append(list, i));
    EXPECT_EQ(list.MoveAfter(n[3], n[0]), 0);   // the first node
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3, 0, 4}));
    EXPECT_EQ(list.MoveAfter(n[1], n[4]), 0);   // the last node
    EXPECT_EQ(Values(list), (std::vector<int>{1, 4, 2, 3, 0}));
    EXPECT_EQ(list.MoveAfter(n[0], n[2]), 0);   // after the last element
    EXPECT_EQ(Values(list), (std::vector<int>{1, 4, 3, 0, 2}));
    EXPECT_EQ(list.MoveAfter(nullptr, n[0]), 0);  // after the first
    EXPECT_EQ(Values(list), (std::vector<int>{1, 0, 4, 3, 2}));
    EXPECT_EQ(list.MoveAfter(nullptr, n[1]), 0);  // the first itself: swaps with the second
    EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 4, 3, 2}));
    EXPECT_EQ(list.GetCount(), 5u);
    // The chain still ends in the spare nodes.
    EXPECT_EQ(Nodes(list).back()->m_pNext, list.GetEnd());
}

// Where is looked for before node is unlinked: a missing where loses nothing.
TEST_F(KLinkTest, ValueMoveAfterAnUnlistedWhereKeepsTheElement)
{
    ValueList list;
    ValueList other;
    std::vector<ValueList::Node*> n;
    for (int i = 0; i < 3; ++i) n.push_back(Append(list, i));
    EXPECT_EQ(list.MoveAfter(other.GetEnd(), n[1]), E_FAIL);
    EXPECT_EQ(list.MoveAfter(list.GetEnd(), n[0]), E_FAIL);
    EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(list.GetCount(), 3u);
}

TEST_F(KLinkTest, ValueMoveAfterRefusesWhatCannotMove)
{
    ValueList list;
    ValueList::Node* only = Append(list, 0);
    EXPECT_EQ(list.MoveAfter(nullptr, only), E_FAIL);   // the only element
    EXPECT_EQ(list.MoveAfter(only, only), E_FAIL);
    EXPECT_EQ(list.MoveAfter(only, nullptr), E_FAIL);
    // A piece whose Add failed is still the spare node: its move does nothing.
    EXPECT_EQ(list.MoveAfter(only, list.GetEnd()), E_FAIL);
    EXPECT_EQ(Values(list), (std::vector<int>{0}));
}

TEST_F(KLinkTest, ReleaseFreesEveryBlockAndMayRepeat)
{
    ValueList list;
    for (int i = 0; i < 9; ++i) Append(list, i);
    EXPECT_EQ(list.GetNodeCount(), 12u);
    list.Release();
    EXPECT_EQ(list.GetNodeCount(), 0u);
    EXPECT_EQ(list.GetCount(), 0u);
    list.Release();
    EXPECT_TRUE(Values(list).empty());
}

TEST_F(KLinkTest, AllocOfNoNodesAssertsAndMakesNothing)
{
    ValueList v;
    EXPECT_EQ(v.alloc(0), nullptr);
    EXPECT_TRUE(Asserted("Size>0"));
    LinkedList d;
    EXPECT_EQ(d.alloc(-1), nullptr);
    EXPECT_TRUE(Asserted("Size > 0"));
    KLink<Item, 16, 4, KLinkPointer> p;
    EXPECT_EQ(p.alloc(0), nullptr);
    EXPECT_EQ(p.GetNodeCount(), 16u);
}

TEST_F(KLinkTest, ListWhoseFirstBlockFailsIsUnusableButSafe)
{
    if (!HugeAllocationsFailSoftly()) GTEST_SKIP() << "needs ASAN_OPTIONS=allocator_may_return_null=1";
    KLink<Huge, INT_MAX, 1> list;
    EXPECT_TRUE(Logged("KLink::alloc(2147483647) fail!"));
    EXPECT_TRUE(Logged("KLink<2147483647,1>::KLink fail!"));
    EXPECT_EQ(list.GetNodeCount(), 0u);
    EXPECT_EQ(list.GetEnd(), nullptr);
    EXPECT_TRUE(Asserted("m_End"));
    EXPECT_EQ(list.Add(), -1);
    EXPECT_TRUE(Logged("KLink::Add()"));
    KLink<Huge, INT_MAX, 1>::Node* n = nullptr;
    KLink<Huge, INT_MAX, 1>::Node* cursor = nullptr;
    list.GetNext(n, cursor);
    EXPECT_EQ(n, nullptr);
    EXPECT_EQ(cursor, nullptr);
}

TEST_F(KLinkTest, AddThatCannotGrowLeavesTheElementInTheSpareNode)
{
    if (!HugeAllocationsFailSoftly()) GTEST_SKIP() << "needs ASAN_OPTIONS=allocator_may_return_null=1";
    KLink<Huge, 1, INT_MAX> list;
    KLink<Huge, 1, INT_MAX>::Node* end = list.GetEnd();
    end->bytes[0] = 'x';
    EXPECT_EQ(list.Add(), -1);
    std::vector<kbase::LogEntry> log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].text, "KLink::alloc(2147483647) fail!");
    EXPECT_EQ(log[1].text, "KLink::Add()");
    EXPECT_EQ(log[1].code, -1);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetEnd(), end);
    EXPECT_EQ(list.GetNodeCount(), 1u);
}

// ---- pointer list ----

TEST_F(KLinkTest, PointerListKeepsOrderAndItsCursorStopsOnTheEnd)
{
    KLink<Item, 16, 4, KLinkPointer> list;
    Item a, b;
    EXPECT_EQ(list.Add(&a), 0);
    EXPECT_EQ(list.Add(&b), 0);
    KLinkPtrNode<Item>* cursor = nullptr;
    Item* out = nullptr;
    list.GetNext(out, cursor);
    EXPECT_EQ(out, &a);
    list.GetNext(out, cursor);
    EXPECT_EQ(out, &b);
    EXPECT_NE(cursor, nullptr);     // left on the spare end node
    list.GetNext(out, cursor);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(cursor, nullptr);
}

TEST_F(KLinkTest, PointerListGrowsByFourAndForgetsRemovedPointers)
{
    KLink<Item, 16, 4, KLinkPointer> list;
    std::vector<Item> items(17);
    for (int i = 0; i < 15; ++i) list.Add(&items[i]);
    EXPECT_EQ(list.GetNodeCount(), 16u);
    list.Add(&items[15]);
    EXPECT_EQ(list.GetNodeCount(), 20u);

    KLinkPtrNode<Item>* cursor = nullptr;
    Item* out = nullptr;
    list.GetNext(out, cursor);          // cursor: the node of items[1]
    KLinkPtrNode<Item>* second = cursor;
    EXPECT_EQ(list.Delete(&items[1]), 0);
    EXPECT_EQ(second->m_pObj, nullptr);
    EXPECT_EQ(second->m_pNext, nullptr);   // behind the spares
    EXPECT_EQ(list.Delete(&items[1]), E_FAIL);
    EXPECT_EQ(list.Delete(&items[16]), E_FAIL);
    EXPECT_EQ(list.GetCount(), 15u);

    std::vector<Item*> rest;
    cursor = nullptr;
    do {
        list.GetNext(out, cursor);
        if (out) rest.push_back(out);
    } while (cursor);
    ASSERT_EQ(rest.size(), 15u);
    EXPECT_EQ(rest[0], &items[0]);
    EXPECT_EQ(rest[1], &items[2]);
    EXPECT_EQ(rest[14], &items[15]);
}

TEST_F(KLinkTest, PointerListRefusesNull)
{
    KLink<Item, 16, 4, KLinkPointer> list;
    EXPECT_EQ(list.Add(nullptr), E_FAIL);
    EXPECT_EQ(list.Delete(nullptr), E_FAIL);
    std::vector<kbase::LogEntry> log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, kbase::LogEntry::Assert);
    EXPECT_EQ(log[0].text, "obj != NULL");
    EXPECT_EQ(log[0].file, "inc/klink.h");
    EXPECT_EQ(list.GetCount(), 0u);
}

// ---- linked value list ----

TEST_F(KLinkTest, LinkedListKeepsBackLinksThroughGrowthAndRemoval)
{
    LinkedList list;
    std::vector<LinkedList::Node*> n;
    for (int i = 0; i < 7; ++i) n.push_back(Append(list, i));
    EXPECT_EQ(list.GetNodeCount(), 8u);
    EXPECT_EQ(CheckLinksAndReadBackwards(list), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(list.Delete(n[0]), 0);    // first
    EXPECT_EQ(list.Delete(n[3]), 0);    // middle
    EXPECT_EQ(list.Delete(n[6]), 0);    // last: becomes the end node
    EXPECT_EQ(list.GetEnd(), n[6]);
    EXPECT_EQ(CheckLinksAndReadBackwards(list), (std::vector<int>{1, 2, 4, 5}));
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 4, 5}));
    EXPECT_EQ(list.GetCount(), 4u);
}

TEST_F(KLinkTest, LinkedMovesKeepBothDirectionsConsistent)
{
    LinkedList list;
    std::vector<LinkedList::Node*> n;
    for (int i = 0; i < 5; ++i) n.push_back(Append(list, i));
    EXPECT_EQ(list.MoveAfter(n[4], n[0]), 0);
    EXPECT_EQ(CheckLinksAndReadBackwards(list), (std::vector<int>{1, 2, 3, 4, 0}));
    EXPECT_EQ(list.MoveBefore(n[1], n[3]), 0);
    EXPECT_EQ(CheckLinksAndReadBackwards(list), (std::vector<int>{3, 1, 2, 4, 0}));
    EXPECT_EQ(list.MoveBefore(nullptr, n[0]), 0);
    EXPECT_EQ(CheckLinksAndReadBackwards(list), (std::vector<int>{0, 3, 1, 2, 4}));
    EXPECT_EQ(list.MoveAfter(nullptr, n[4]), 0);
    EXPECT_EQ(CheckLinksAndReadBackwards(list), (std::vector<int>{0, 4, 3, 1, 2}));
    EXPECT_EQ(list.MoveAfter(nullptr, n[0]), 0);   // the first: after the new first
    EXPECT_EQ(CheckLinksAndReadBackwards(list), (std::vector<int>{4, 0, 3, 1, 2}));
    EXPECT_EQ(list.MoveBefore(nullptr, n[4]), 0);  // already first
    EXPECT_EQ(CheckLinksAndReadBackwards(list), (std::vector<int>{4, 0, 3, 1, 2}));
    EXPECT_EQ(list.MoveBefore(n[2], n[1]), 0);     // already just before
    EXPECT_EQ(Values(list), (std::vector<int>{4, 0, 3, 1, 2}));
}

TEST_F(KLinkTest, LinkedMovesRefuseWhatCannotMove)
{
    LinkedList list;
    LinkedList::Node* a = Append(list, 0);
    EXPECT_EQ(list.MoveAfter(nullptr, a), E_FAIL);
    EXPECT_TRUE(Asserted("m_uUsed >= 2"));
    LinkedList::Node* b = Append(list, 1);
    EXPECT_EQ(list.MoveBefore(b, b), E_FAIL);
    EXPECT_TRUE(Asserted("dst != src"));
    EXPECT_EQ(list.MoveAfter(a, nullptr), E_FAIL);
    EXPECT_EQ(list.MoveAfter(list.GetEnd(), a), E_FAIL);
    EXPECT_EQ(list.Delete(nullptr), E_FAIL);
    EXPECT_TRUE(Asserted("index"));
    EXPECT_EQ(CheckLinksAndReadBackwards(list), (std::vector<int>{0, 1}));
}

TEST_F(KLinkTest, LinkedClearReusesNodesInOrder)
{
    LinkedList list;
    for (int i = 0; i < 5; ++i) Append(list, i);
    std::vector<LinkedList::Node*> before = Nodes(list);
    list.Clear();
    EXPECT_TRUE(Values(list).empty());
    EXPECT_EQ(list.Delete(before[0]), E_FAIL);   // empty
    for (int i = 0; i < 5; ++i) Append(list, i);
    EXPECT_EQ(Nodes(list), before);
    EXPECT_EQ(CheckLinksAndReadBackwards(list), (std::vector<int>{0, 1, 2, 3, 4}));
}
