// KLink: the engine's pooled list. Nodes are made in blocks (FIRST nodes by
// the constructor, GROWTH more whenever Add runs out), never freed one by
// one, and recycled when elements are removed. One spare node, m_End, always
// waits just past the last element: a by-value caller fills it in place
// (GetEnd) and commits it with Add, so appending allocates nothing and copies
// nothing beyond the caller's own stores.
//
// One template family, three forms chosen by the last parameter:
//   KLink<T, F, G>                element by value, singly linked
//                                 (render commands 16,16; load requests)
//   KLink<T, F, G, KLinkPointer>  a T* per node, singly linked
//                                 (a window's children 16,4)
//   KLink<T, F, G, KLinkLinked>   element by value, doubly linked
//                                 (a region's rectangles 4,4)
// A by-value node derives from T, so a node pointer is an element pointer.
//
// The chain is: first node, ..., last element, m_End, spare nodes, last
// spare node, null. A walk keeps a cursor (null to start) that GetNext
// advances before the caller handles the element, so the handler may remove
// that element or add and move nodes after it.
//
// A list belongs to one object and takes no lock.
#pragma once
#include <new>
#include <type_traits>
#include <vector>

#include <kbase.h>
#include <windows.h>

struct KLinkValue {};
struct KLinkPointer {};
struct KLinkLinked {};

// Node of the value list: the element, then the link. Copying a node copies
// the element only: a node's links belong to its list.
template <class T>
struct KLinkNode : public T {
    KLinkNode* m_pNext;
    KLinkNode() : T(), m_pNext(nullptr) {}
    KLinkNode(const KLinkNode& o) : T(o), m_pNext(nullptr) {}
    KLinkNode& operator=(const KLinkNode& o)
    {
        T::operator=(o);
        return *this;
    }
};

// Node of the pointer list: the stored pointer, then the link.
template <class T>
struct KLinkPtrNode {
    T* m_pObj = nullptr;
    KLinkPtrNode* m_pNext = nullptr;
};

// Node of the linked value list: the element, then both links. Spare nodes
// point back along the chain too. Copying copies the element only.
template <class T>
struct KLinkDNode : public T {
    KLinkDNode* m_pPrev;
    KLinkDNode* m_pNext;
    KLinkDNode() : T(), m_pPrev(nullptr), m_pNext(nullptr) {}
    KLinkDNode(const KLinkDNode& o) : T(o), m_pPrev(nullptr), m_pNext(nullptr) {}
    KLinkDNode& operator=(const KLinkDNode& o)
    {
        T::operator=(o);
        return *this;
    }
};

template <class Node> struct KLinkIsDoubly : std::false_type {};
template <class T> struct KLinkIsDoubly<KLinkDNode<T>> : std::true_type {};

// What every form shares: the blocks, the spare chain, committing m_End,
// the walk and the recycling of removed nodes.
template <class Node, int FIRST, int GROWTH>
class KLinkPool {
    static_assert(FIRST > 0 && GROWTH > 0, "a list needs blocks of at least one node");

public:
    KLinkPool(const KLinkPool&) = delete;
    KLinkPool& operator=(const KLinkPool&) = delete;

    // Frees every block; only the destructor may follow. Repeating it does
    // nothing.
    void Release()
    {
        m_Head = m_End = m_Tail = nullptr;
        m_dwNodes = 0;
        m_uUsed = 0;
        for (Node* block : m_Blocks) delete[] block;
        m_Blocks.clear();
    }

    DWORD GetCount() const { return m_uUsed; }        // elements
    DWORD GetNodeCount() const { return m_dwNodes; }  // nodes of all blocks

    // Makes sure at least n nodes are spare (m_End and those behind it),
    // adding what is missing as one block: a list about to take many more
    // elements than ever grows once instead of a block at a time. False when
    // the block cannot be made (the list is as it was).
    bool Reserve(DWORD n)
    {
        const DWORD spare = m_dwNodes - m_uUsed;
        if (!m_End || spare >= n) return true;
        Node* tail = m_Tail;
        Node* block = makeBlock(int(n - spare));
        if (!block) return false;
        tail->m_pNext = block;
        return true;
    }

protected:
    static constexpr bool kDoubly = KLinkIsDoubly<Node>::value;

    KLinkPool() = default;
    ~KLinkPool() { Release(); }

    // The constructor's block; on failure the list stays unusable (no first node).
    void start(Node* block)
    {
        if (!block) {
            Debug("KLink<%d,%d>::KLink fail!", FIRST, GROWTH);
            return;
        }
        m_Head = m_End = block;
    }

    // Makes one block of size nodes chained in array order behind the last
    // spare node's position; the caller links it in.
    Node* makeBlock(int size)
    {
        if (size <= 0) return nullptr;
        Node* block = new (std::nothrow) Node[size];
        if (block) {
            try {
                m_Blocks.push_back(block);
            } catch (const std::bad_alloc&) {
                delete[] block;
                block = nullptr;
            }
        }
        if (!block) {
            Debug("KLink::alloc(%d) fail!", size);
            return nullptr;
        }
        for (int i = 0; i + 1 < size; ++i) block[i].m_pNext = &block[i + 1];
        if constexpr (kDoubly) {
            block[0].m_pPrev = m_Tail;
            for (int i = 1; i < size; ++i) block[i].m_pPrev = &block[i - 1];
        }
        m_Tail = &block[size - 1];
        m_dwNodes += DWORD(size);
        return block;
    }

    // Makes m_End, already filled, the last element. alloc is the form's.
    template <class Alloc>
    long commit(Alloc alloc)
    {
        if (!m_End) return KRet(KRET_ERROR, "KLink::Add()");
        if (!m_End->m_pNext) {
            Node* block = alloc(GROWTH);
            if (!block) return KRet(KRET_ERROR, "KLink::Add()");
            m_End->m_pNext = block;
        }
        m_End = m_End->m_pNext;
        ++m_uUsed;
        return 0;
    }

    // One step of a walk: the node to hand out (null when none) and the
    // cursor moved to its successor, which may be m_End.
    Node* step(Node*& cursor)
    {
        if (m_uUsed == 0 || cursor == m_End) {
            cursor = nullptr;
            return nullptr;
        }
        Node* node = cursor ? cursor : m_Head;
        cursor = node->m_pNext;
        return node;
    }

    // Removes the element held in node, prev being its predecessor (null for
    // the first node). Its node becomes m_End when it was the last element,
    // and otherwise goes to the end of the spare chain.
    void recycle(Node* node, Node* prev)
    {
        if (node->m_pNext == m_End) {
            m_End = node;
        } else {
            if (node == m_Head) {
                m_Head = node->m_pNext;
                if constexpr (kDoubly) m_Head->m_pPrev = nullptr;
            } else {
                prev->m_pNext = node->m_pNext;
                if constexpr (kDoubly) node->m_pNext->m_pPrev = prev;
            }
            m_Tail->m_pNext = node;
            node->m_pNext = nullptr;
            if constexpr (kDoubly) node->m_pPrev = m_Tail;
            m_Tail = node;
        }
        --m_uUsed;
    }

    Node* m_Head = nullptr;       // the first element's node; m_End when empty
    Node* m_End = nullptr;        // the spare node after the last element
    Node* m_Tail = nullptr;       // the last spare node; its next is null
    DWORD m_dwNodes = 0;          // nodes of all blocks together
    DWORD m_uUsed = 0;            // elements
    std::vector<Node*> m_Blocks;  // every block, in the order made
};

template <class T, int FIRST, int GROWTH, class FORM = KLinkValue>
class KLink;

// The value list: elements by value, singly linked.
template <class T, int FIRST, int GROWTH>
class KLink<T, FIRST, GROWTH, KLinkValue> : public KLinkPool<KLinkNode<T>, FIRST, GROWTH> {
    using Pool = KLinkPool<KLinkNode<T>, FIRST, GROWTH>;
    using Pool::m_Head;
    using Pool::m_End;
    using Pool::m_uUsed;

public:
    using Node = KLinkNode<T>;

    KLink() { this->start(alloc(FIRST)); }

    Node* alloc(int Size)
    {
        KASSERT(Size>0);
        return this->makeBlock(Size);
    }

    Node* GetHead() { return m_Head; }
    Node* GetEnd()
    {
        KASSERT(m_End);
        return m_End;
    }

    // Commits m_End, filled in place by the caller. A spare node behind it
    // is the common case, inline: every recorded command passes here (as a
    // call, it costs about what filling the command does).
    __attribute__((always_inline)) long Add()
    {
        if (m_End && m_End->m_pNext) {
            m_End = m_End->m_pNext;
            ++m_uUsed;
            return 0;
        }
        return addGrowing();
    }
    // Copies e into m_End, then commits it.
    long Add(const T& e)
    {
        if (m_End) static_cast<T&>(*m_End) = e;
        return Add();
    }

    // out = the next node (null when none); cursor null afterwards means the
    // walk is over.
    void GetNext(Node*& out, Node*& cursor)
    {
        out = this->step(cursor);
        if (cursor == m_End) cursor = nullptr;
    }

    // Every node becomes spare, in place and in the same order.
    void Clear()
    {
        m_uUsed = 0;
        m_End = m_Head;
    }

    // Removes the element after prev, or the first one when prev is null.
    long DeleteNext(Node* prev)
    {
        if (m_uUsed == 0) return E_FAIL;
        if (prev && (prev == m_End || prev->m_pNext == m_End)) return E_FAIL;
        this->recycle(prev ? prev->m_pNext : m_Head, prev);
        return 0;
    }

    long Delete(Node* obj)
    {
        KASSERT(obj);
        Node* prev = nullptr;
        if (!obj || !find(obj, prev)) return E_FAIL;
        this->recycle(obj, prev);
        return 0;
    }

    // Removes the first element equal to e.
    long Delete(const T& e)
    {
        if (m_uUsed == 0) return E_FAIL;
        Node* prev = nullptr;
        for (Node* n = m_Head; n != m_End; prev = n, n = n->m_pNext) {
            if (static_cast<const T&>(*n) == e) {
                this->recycle(n, prev);
                return 0;
            }
        }
        return E_FAIL;
    }

    // Commits the element filled into m_End as the element right after
    // where, an element the caller holds, without a search: cutting a
    // command into pieces beside it stays cheap. The element is copied into
    // the spare node behind m_End, which leaves the spare chain for its place.
    long AddAfter(Node* where)
    {
        if (!where || !m_End) return E_FAIL;
        if (!m_End->m_pNext) {
            Node* block = alloc(GROWTH);
            if (!block) return KRet(KRET_ERROR, "KLink::Add()");
            m_End->m_pNext = block;
        }
        Node* node = m_End->m_pNext;
        m_End->m_pNext = node->m_pNext;
        if (this->m_Tail == node) this->m_Tail = m_End;
        static_cast<T&>(*node) = static_cast<const T&>(*m_End);
        node->m_pNext = where->m_pNext;
        where->m_pNext = node;
        ++m_uUsed;
        return 0;
    }

    // Moves node to just after where; a null where means the first node
    // once node is taken out (so moving the first node this way swaps it
    // with the second). Both are found before anything is unlinked: a move
    // that cannot be done changes nothing.
    long MoveAfter(Node* where, Node* node)
    {
        Node* prev = nullptr;
        if (!node || !find(node, prev)) return E_FAIL;
        if (where) {
            Node* wherePrev = nullptr;
            if (where == node || !find(where, wherePrev)) return E_FAIL;
        } else {
            where = (node == m_Head) ? node->m_pNext : m_Head;
            if (where == m_End) return E_FAIL;   // node is the only element
        }
        if (node == m_Head) m_Head = node->m_pNext;
        else prev->m_pNext = node->m_pNext;
        node->m_pNext = where->m_pNext;
        where->m_pNext = node;
        return 0;
    }

private:
    // Add when a new block may be needed: out of line, so Add stays small.
    __attribute__((noinline, cold)) long addGrowing()
    {
        return this->commit([this](int n) { return alloc(n); });
    }

    // Searches the elements for node, keeping its predecessor.
    bool find(Node* node, Node*& prev) const
    {
        prev = nullptr;
        if (m_uUsed == 0) return false;
        for (Node* n = m_Head; n != m_End; prev = n, n = n->m_pNext)
            if (n == node) return true;
        return false;
    }
};

// The pointer list: one T* per node, singly linked; it never owns them.
template <class T, int FIRST, int GROWTH>
class KLink<T, FIRST, GROWTH, KLinkPointer> : public KLinkPool<KLinkPtrNode<T>, FIRST, GROWTH> {
    using Pool = KLinkPool<KLinkPtrNode<T>, FIRST, GROWTH>;
    using Pool::m_Head;
    using Pool::m_End;
    using Pool::m_uUsed;

public:
    using Node = KLinkPtrNode<T>;

    KLink() { this->start(alloc(FIRST)); }

    Node* alloc(int Size)
    {
        KASSERT(Size > 0);
        return this->makeBlock(Size);
    }

    long Add(T* obj)
    {
        KASSERT(obj != NULL);
        if (!obj) return E_FAIL;
        if (m_End) m_End->m_pObj = obj;
        return this->commit([this](int n) { return alloc(n); });
    }

    // out = the next stored pointer (null when none). The cursor stops on
    // m_End after the last element; the call after that yields nothing and
    // a null cursor.
    void GetNext(T*& out, Node*& cursor)
    {
        Node* node = this->step(cursor);
        out = node ? node->m_pObj : nullptr;
    }

    // Removes the element whose stored pointer is obj.
    long Delete(T* obj)
    {
        KASSERT(obj != NULL);
        if (!obj || m_uUsed == 0) return E_FAIL;
        Node* prev = nullptr;
        for (Node* n = m_Head; n != m_End; prev = n, n = n->m_pNext) {
            if (n->m_pObj == obj) {
                n->m_pObj = nullptr;
                this->recycle(n, prev);
                return 0;
            }
        }
        return E_FAIL;
    }
};

// The linked value list: elements by value, with links both ways, so a
// node is removed or moved through its own links without a search.
template <class T, int FIRST, int GROWTH>
class KLink<T, FIRST, GROWTH, KLinkLinked> : public KLinkPool<KLinkDNode<T>, FIRST, GROWTH> {
    using Pool = KLinkPool<KLinkDNode<T>, FIRST, GROWTH>;
    using Pool::m_Head;
    using Pool::m_End;
    using Pool::m_uUsed;

public:
    using Node = KLinkDNode<T>;

    KLink() { this->start(alloc(FIRST)); }

    Node* alloc(int Size)
    {
        KASSERT(Size > 0);
        return this->makeBlock(Size);
    }

    Node* GetEnd()
    {
        KASSERT(m_End);
        return m_End;
    }

    long Add()
    {
        return this->commit([this](int n) { return alloc(n); });
    }

    void GetNext(Node*& out, Node*& cursor)
    {
        out = this->step(cursor);
        if (cursor == m_End) cursor = nullptr;
    }

    void Clear()
    {
        m_uUsed = 0;
        m_End = m_Head;
    }

    long Delete(Node* index)
    {
        KASSERT(index);
        if (!index || m_uUsed == 0 || index == m_End) return E_FAIL;
        this->recycle(index, index->m_pPrev);
        return 0;
    }

    // Moves src to just after dst (after the first node, once src is taken
    // out, when dst is null).
    long MoveAfter(Node* dst, Node* src)
    {
        if (!canMove(dst, src)) return E_FAIL;
        unlink(src);
        Node* where = dst ? dst : m_Head;
        src->m_pPrev = where;
        src->m_pNext = where->m_pNext;
        where->m_pNext->m_pPrev = src;
        where->m_pNext = src;
        return 0;
    }

    // Moves src to just before dst (before the first node when dst is null).
    long MoveBefore(Node* dst, Node* src)
    {
        if (!canMove(dst, src)) return E_FAIL;
        unlink(src);
        Node* where = dst ? dst : m_Head;
        src->m_pNext = where;
        src->m_pPrev = where->m_pPrev;
        if (where->m_pPrev) where->m_pPrev->m_pNext = src;
        else m_Head = src;
        where->m_pPrev = src;
        return 0;
    }

private:
    // A move needs two elements and two different nodes; m_End is no element.
    bool canMove(Node* dst, Node* src) const
    {
        KASSERT(m_uUsed >= 2);
        KASSERT(dst != src);
        return src && m_uUsed >= 2 && dst != src && src != m_End && dst != m_End;
    }

    // Takes node out of the element chain; its successor is never null
    // (m_End at least follows it).
    void unlink(Node* node)
    {
        if (node->m_pPrev) node->m_pPrev->m_pNext = node->m_pNext;
        else m_Head = node->m_pNext;
        node->m_pNext->m_pPrev = node->m_pPrev;
    }
};
