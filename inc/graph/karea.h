// KArea: a region of the plane kept as a list of pairwise disjoint
// rectangles, each with a data word and a state byte (KAreaData). Union
// (Add) and difference (Sub) work by cutting rectangles along the edges of
// the rectangle added or removed. Add never changes what the region holds:
// only the parts of the new rectangle outside it are appended, with the new
// data and state. Rectangles are RECT with right and bottom exclusive; an
// empty rectangle covers nothing, so adding or subtracting one changes
// nothing.
#pragma once
#include <windows.h>
#include <kexport.h>
#include <klink.h>
#include "kstate.h"

#define KAREA_STATE_HIDE 0x01

class KESTREL_API KAreaData {
public:
    KAreaData() : rect{0, 0, 0, 0}, data(0) {}
    ~KAreaData() { state.SetState(0); }
    KAreaData(const KAreaData&) = default;
    KAreaData& operator=(const KAreaData&) = default;

    void SetRect(RECT& rc) { rect = rc; }
    RECT* GetRect() { return &rect; }
    // The data word holds a number or an address.
    void SetData(DWORD d) { data = d; }
    void SetData(void* p) { data = reinterpret_cast<DWORD_PTR>(p); }
    DWORD GetData_DWord() const { return DWORD(data); }
    void* GetData_pVoid() const { return reinterpret_cast<void*>(data); }
    void SetState(BYTE s) { state.SetState(s); }
    BYTE GetState() const { return state.GetState(); }
    void Hide() { state.Set(KAREA_STATE_HIDE); }
    bool IsHide() const { return state.Has(KAREA_STATE_HIDE); }
    // Copies rectangle, data and state.
    void Equ(KAreaData& other) { *this = other; }

    RECT rect;
    DWORD_PTR data;        // pointer-sized: callers keep addresses in it
    KState<BYTE> state;
};

class KESTREL_API KArea {
public:
    typedef KLink<KAreaData, 4, 4, KLinkLinked> List;

    KArea();
    ~KArea();
    // A member-wise copy would share the list's nodes and the scratch
    // region: a region is not copied.
    KArea(const KArea&) = delete;
    KArea& operator=(const KArea&) = delete;

    // Frees the scratch region and every node block; only the destructor
    // may follow.
    void Release();
    // Empties the region and keeps its nodes (and the scratch region).
    void Clear();
    bool IsEmpty() const { return m_List.GetCount() == 0; }

    // The walk over the rectangles: start with pos null; each call yields the
    // next rectangle in data (null when none) and moves pos, which is null
    // after the last one.
    void GetData(KAreaData*& data, void*& pos);

    // Union.
    void Add(RECT& rect, DWORD data, BYTE state);
    void Add(RECT& rect, void* data, BYTE state);
    void Add(KAreaData& d);
    void Add(KArea& other);
    // Difference.
    void Sub(RECT& rect);
    void Sub(KArea& other);

    // Writes the rectangles through Debug, one "l t r b" line each, between
    // two arrow lines.
    void DebugLink();

private:
    friend struct KAreaAccess;  // tests
    typedef List::Node Node;

    void _add(const RECT& rect, DWORD_PTR data, BYTE state);

    // Appends a rectangle as the last of the list, with no overlap check.
    KAreaData* Insert(RECT& rect, DWORD data, BYTE state);
    KAreaData* Insert(RECT& rect, void* data, BYTE state);
    KAreaData* Insert(KAreaData& d);
    void Insert(KArea& other);
    KAreaData* _insert(const RECT& rect, DWORD_PTR data, BYTE state);

    // Split the rectangle at node pos into two pieces across x (or y), or
    // into four quarters at (x, y). The pieces that lie outside the
    // rectangle being removed go before the node, the one that still
    // overlaps it after; the node is deleted and pos and dat name that last
    // piece. False, with nothing changed, unless the cut lies strictly
    // inside the rectangle (and which < 4).
    bool CutArea_X(void*& pos, KAreaData*& dat, long x, bool right);
    bool CutArea_Y(void*& pos, KAreaData*& dat, long y, bool bottom);
    bool CutArea(void*& pos, KAreaData*& dat, long x, long y, BYTE which);
    // Places the pieces, in order, before the node at pos and `after` after
    // it, deletes the node and makes `after` current.
    void _replace(void*& pos, KAreaData*& dat, Node* const* before, int count, Node* after);

    // The scratch region, empty; made on first need and kept.
    KArea* GetTmpArea();
    void ReleaseTmpArea();

    // inner lies within outer.
    static bool IsInRect(RECT& outer, RECT& inner);
    // The vertical or horizontal segment from (x1, y1) to (x2, y2) passes
    // through r's interior.
    static bool IsInRect(RECT& r, long x1, long y1, long x2, long y2);

    List m_List;
    KArea* m_pTmp;   // owned; null until first needed
};
