// Rectangle lists in the order of a region's bands, shared by the engine
// (which hands the device the changed rectangles in that order) and the
// device (which then takes them as a clip region as they stand).
#pragma once
#include <windows.h>
#include <cstddef>

namespace kbands {

// True when the rectangles lie as a region's bands do: rows from the top
// down that do not overlap, each row's rectangles sharing its top and
// bottom and following each other left to right without overlapping.
inline bool InBandOrder(const RECT* rects, size_t count)
{
    for (size_t i = 1; i < count; i++) {
        const RECT& a = rects[i - 1];
        const RECT& b = rects[i];
        if (a.top == b.top && a.bottom == b.bottom ? b.left < a.right : b.top < a.bottom)
            return false;
    }
    return true;
}

}  // namespace kbands
