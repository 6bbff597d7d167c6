// KArea: union and difference of disjoint rectangles by cutting along the
// edges of the rectangle added or removed.
#include "karea.h"
#include <kbase.h>
#include <new>

namespace {

typedef KArea::List::Node Node;

bool IsEmptyRect(const RECT& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

// Calls f with every rectangle of the region, in list order.
template <class F>
void ForEachRect(KArea& area, F f)
{
    void* pos = NULL;
    do {
        KAreaData* d = NULL;
        area.GetData(d, pos);
        if (d != NULL)
            f(*d);
    } while (pos != NULL);
}

// A cut needs the node and its rectangle.
bool HasCutTarget(void* pos, KAreaData* dat)
{
    KASSERT(pos != NULL);
    KASSERT(dat != NULL);
    return pos != NULL && dat != NULL;
}

// Appends a rectangle as the last of the list; null when the list cannot
// grow (it has reported why).
Node* AppendRect(KArea::List& list, const RECT& rect, DWORD_PTR data, BYTE state)
{
    Node* node = list.GetEnd();
    if (node == NULL || list.Add() != 0)
        return NULL;
    node->rect = rect;
    node->data = data;
    node->state.SetState(state);
    return node;
}

// Appends the pieces of a cut rectangle with its data and state: all of
// them, or none.
bool AppendPieces(KArea::List& list, const KAreaData& cut, const RECT* pieces, int count,
                  Node** out)
{
    // Copies: the rectangle cut is a node of the same list.
    const DWORD_PTR data = cut.data;
    const BYTE state = cut.GetState();
    for (int i = 0; i < count; i++) {
        out[i] = AppendRect(list, pieces[i], data, state);
        if (out[i] == NULL) {
            while (i-- > 0)
                list.Delete(out[i]);
            return false;
        }
    }
    return true;
}

// Appends the two halves of the rectangle at pos, across x = at (or, with
// acrossX false, y = at): left or top half first. False, with nothing
// changed, unless the line lies strictly inside the rectangle.
bool AppendHalves(KArea::List& list, void* pos, KAreaData* dat, long at, bool acrossX,
                  Node* half[2])
{
    if (!HasCutTarget(pos, dat))
        return false;
    RECT halves[2] = {dat->rect, dat->rect};
    LONG& firstEnd = acrossX ? halves[0].right : halves[0].bottom;
    LONG& secondStart = acrossX ? halves[1].left : halves[1].top;
    if (!(secondStart < at && at < firstEnd))
        return false;
    firstEnd = secondStart = LONG(at);
    return AppendPieces(list, *dat, halves, 2, half);
}

}  // namespace

KArea::KArea() : m_pTmp(NULL) {}

KArea::~KArea()
{
    Release();
}

void KArea::Release()
{
    ReleaseTmpArea();
    m_List.Release();
}

void KArea::Clear()
{
    m_List.Clear();
}

void KArea::GetData(KAreaData*& data, void*& pos)
{
    Node* cursor = static_cast<Node*>(pos);
    Node* node = NULL;
    m_List.GetNext(node, cursor);
    data = node;
    pos = cursor;
}

// ---- Appending

KAreaData* KArea::_insert(const RECT& rect, DWORD_PTR data, BYTE state)
{
    return AppendRect(m_List, rect, data, state);
}

KAreaData* KArea::Insert(RECT& rect, DWORD data, BYTE state)
{
    return _insert(rect, data, state);
}

KAreaData* KArea::Insert(RECT& rect, void* data, BYTE state)
{
    return _insert(rect, reinterpret_cast<DWORD_PTR>(data), state);
}

KAreaData* KArea::Insert(KAreaData& d)
{
    return _insert(d.rect, d.data, d.GetState());
}

void KArea::Insert(KArea& other)
{
    if (&other == this)
        return;  // the walk would meet its own copies
    ForEachRect(other, [this](KAreaData& d) { Insert(d); });
}

// ---- Cutting

void KArea::_replace(void*& pos, KAreaData*& dat, Node* const* before, int count, Node* after)
{
    Node* node = static_cast<Node*>(pos);
    for (int i = 0; i < count; i++)
        m_List.MoveBefore(node, before[i]);
    m_List.MoveAfter(node, after);
    m_List.Delete(node);
    pos = after;
    dat = after;
}

bool KArea::CutArea_X(void*& pos, KAreaData*& dat, long x, bool right)
{
    Node* half[2];
    if (!AppendHalves(m_List, pos, dat, x, true, half))
        return false;
    _replace(pos, dat, &half[right ? 1 : 0], 1, half[right ? 0 : 1]);
    return true;
}

bool KArea::CutArea_Y(void*& pos, KAreaData*& dat, long y, bool bottom)
{
    Node* half[2];
    if (!AppendHalves(m_List, pos, dat, y, false, half))
        return false;
    _replace(pos, dat, &half[bottom ? 1 : 0], 1, half[bottom ? 0 : 1]);
    return true;
}

bool KArea::CutArea(void*& pos, KAreaData*& dat, long x, long y, BYTE which)
{
    if (!HasCutTarget(pos, dat))
        return false;
    const RECT r = dat->rect;
    if (!(r.left < x && x < r.right && r.top < y && y < r.bottom && which < 4))
        return false;
    const LONG cx = LONG(x), cy = LONG(y);
    const RECT quarter[4] = {{r.left, r.top, cx, cy},
                             {cx, r.top, r.right, cy},
                             {r.left, cy, cx, r.bottom},
                             {cx, cy, r.right, r.bottom}};
    Node* q[4] = {NULL, NULL, NULL, NULL};
    if (!AppendPieces(m_List, *dat, quarter, 4, q))
        return false;
    // The three quarters that go before the node, by which one stays current.
    static const int kBefore[4][3] = {{1, 2, 3}, {0, 2, 3}, {0, 1, 3}, {0, 2, 1}};
    Node* const before[3] = {q[kBefore[which][0]], q[kBefore[which][1]], q[kBefore[which][2]]};
    _replace(pos, dat, before, 3, q[which]);
    return true;
}

// ---- Tests on rectangles

bool KArea::IsInRect(RECT& outer, RECT& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool KArea::IsInRect(RECT& r, long x1, long y1, long x2, long y2)
{
    if (x1 == x2)
        return r.left < x1 && x1 < r.right && y1 < r.bottom && y2 > r.top;
    if (y1 != y2)
        return false;
    return x2 > r.left && x1 < r.right && r.top < y1 && y1 < r.bottom;
}

// ---- Difference

void KArea::Sub(RECT& rect)
{
    // A copy: rect may be a rectangle of this very region, whose node the
    // walk recycles. An empty rectangle removes nothing (its edges would
    // still cut).
    RECT s = rect;
    if (IsEmptyRect(s))
        return;
    void* pos = NULL;
    do {
        KAreaData* d = NULL;
        GetData(d, pos);  // pos now names the node after d: cut pieces go before it
        if (d == NULL)
            continue;
        if (IsInRect(s, d->rect)) {
            m_List.Delete(static_cast<Node*>(d));
            continue;
        }
        void* cur = static_cast<Node*>(d);
        KAreaData* dat = d;
        int cuts = 0;
        if (IsInRect(dat->rect, s.left, s.top, s.left, s.bottom) &&
            CutArea_X(cur, dat, s.left, false))
            cuts++;
        if (IsInRect(dat->rect, s.right, s.top, s.right, s.bottom) &&
            CutArea_X(cur, dat, s.right, true))
            cuts++;
        if (IsInRect(dat->rect, s.left, s.top, s.right, s.top) && CutArea_Y(cur, dat, s.top, false))
            cuts++;
        if (IsInRect(dat->rect, s.left, s.bottom, s.right, s.bottom) &&
            CutArea_Y(cur, dat, s.bottom, true))
            cuts++;
        if (cuts > 0)
            m_List.Delete(static_cast<Node*>(dat));  // the piece inside s
    } while (pos != NULL);
}

void KArea::Sub(KArea& other)
{
    if (&other == this) {
        Clear();
        return;
    }
    ForEachRect(other, [this](KAreaData& d) { Sub(d.rect); });
}

// ---- Union

void KArea::_add(const RECT& rect, DWORD_PTR data, BYTE state)
{
    if (IsEmptyRect(rect))
        return;
    if (IsEmpty()) {
        _insert(rect, data, state);
        return;
    }
    // The new rectangle minus this region, appended.
    KArea* tmp = GetTmpArea();
    KASSERT(tmp != NULL);
    if (tmp == NULL)
        return;
    tmp->_add(rect, data, state);
    tmp->Sub(*this);
    Insert(*tmp);
}

void KArea::Add(RECT& rect, DWORD data, BYTE state)
{
    _add(rect, data, state);
}

void KArea::Add(RECT& rect, void* data, BYTE state)
{
    _add(rect, reinterpret_cast<DWORD_PTR>(data), state);
}

void KArea::Add(KAreaData& d)
{
    _add(d.rect, d.data, d.GetState());
}

void KArea::Add(KArea& other)
{
    if (&other == this)
        return;  // a region already holds itself
    ForEachRect(other, [this](KAreaData& d) { Add(d); });
}

// ---- Scratch region

KArea* KArea::GetTmpArea()
{
    if (m_pTmp == NULL) {
        m_pTmp = new (std::nothrow) KArea;
        KASSERT(m_pTmp != NULL);
    } else {
        m_pTmp->Clear();
    }
    return m_pTmp;
}

void KArea::ReleaseTmpArea()
{
    delete m_pTmp;
    m_pTmp = NULL;
}

void KArea::DebugLink()
{
    Debug("------------------------------------------------>");
    ForEachRect(*this, [](KAreaData& d) {
        Debug("%d %d %d %d", int(d.rect.left), int(d.rect.top), int(d.rect.right),
              int(d.rect.bottom));
    });
    Debug("<------------------------------------------------");
}
