// KState: a flag word kept by fonts, the graph device, region rectangles and
// every window. T is DWORD or BYTE.
#pragma once
#include <windows.h>

template <class T>
class KState {
public:
    KState() : value(0) {}
    ~KState() { value = 0; }
    KState(const KState&) = default;
    KState& operator=(const KState&) = default;

    bool Has(T mask) const { return (value & mask) != 0; }
    void Set(T mask) { value = T(value | mask); }
    void Clr(T mask) { value = T(value & T(~mask)); }
    KState& operator+=(T mask) { Set(mask); return *this; }
    KState& operator-=(T mask) { Clr(mask); return *this; }

    // The raw word (used by the BYTE form, region rectangles).
    T GetState() const { return value; }
    KState& SetState(T state) { value = state; return *this; }

    T value;
};
