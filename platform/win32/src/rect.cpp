// Rectangle helpers. Coordinates move in 64 bits and are stored back as
// 32-bit LONGs, wrapping as Win32's 32-bit arithmetic does, so extreme
// values never overflow a signed int.
#include "desktop_internal.h"

namespace {

LONG _add(LONG a, int64_t b)
{
    return LONG(uint32_t(uint64_t(int64_t(a) + b)));
}

bool _empty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom)
{
    if (rect == nullptr)
        return FALSE;
    rect->left = left;
    rect->top = top;
    rect->right = right;
    rect->bottom = bottom;
    return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT rect)
{
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL WINAPI CopyRect(LPRECT dest, const RECT* src)
{
    if (dest == nullptr || src == nullptr)
        return FALSE;
    *dest = *src;
    return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT* rect)
{
    return rect == nullptr || _empty(*rect) ? TRUE : FALSE;
}

BOOL WINAPI EqualRect(const RECT* a, const RECT* b)
{
    if (a == nullptr || b == nullptr)
        return FALSE;
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom
               ? TRUE
               : FALSE;
}

BOOL WINAPI PtInRect(const RECT* rect, POINT pt)
{
    if (rect == nullptr)
        return FALSE;
    return pt.x >= rect->left && pt.x < rect->right && pt.y >= rect->top && pt.y < rect->bottom
               ? TRUE
               : FALSE;
}

BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy)
{
    if (rect == nullptr)
        return FALSE;
    rect->left = _add(rect->left, dx);
    rect->right = _add(rect->right, dx);
    rect->top = _add(rect->top, dy);
    rect->bottom = _add(rect->bottom, dy);
    return TRUE;
}

BOOL WINAPI InflateRect(LPRECT rect, int dx, int dy)
{
    if (rect == nullptr)
        return FALSE;
    rect->left = _add(rect->left, -int64_t(dx));
    rect->right = _add(rect->right, dx);
    rect->top = _add(rect->top, -int64_t(dy));
    rect->bottom = _add(rect->bottom, dy);
    return TRUE;
}

BOOL WINAPI IntersectRect(LPRECT dest, const RECT* a, const RECT* b)
{
    if (dest == nullptr || a == nullptr || b == nullptr)
        return FALSE;
    RECT r;
    r.left = a->left > b->left ? a->left : b->left;
    r.top = a->top > b->top ? a->top : b->top;
    r.right = a->right < b->right ? a->right : b->right;
    r.bottom = a->bottom < b->bottom ? a->bottom : b->bottom;
    if (_empty(r)) {
        SetRectEmpty(dest);
        return FALSE;
    }
    *dest = r;
    return TRUE;
}

BOOL WINAPI UnionRect(LPRECT dest, const RECT* a, const RECT* b)
{
    if (dest == nullptr || a == nullptr || b == nullptr)
        return FALSE;
    const bool aEmpty = _empty(*a);
    const bool bEmpty = _empty(*b);
    if (aEmpty && bEmpty) {
        SetRectEmpty(dest);
        return FALSE;
    }
    if (aEmpty) {
        *dest = *b;
        return TRUE;
    }
    if (bEmpty) {
        *dest = *a;
        return TRUE;
    }
    RECT r;
    r.left = a->left < b->left ? a->left : b->left;
    r.top = a->top < b->top ? a->top : b->top;
    r.right = a->right > b->right ? a->right : b->right;
    r.bottom = a->bottom > b->bottom ? a->bottom : b->bottom;
    *dest = r;
    return TRUE;
}
