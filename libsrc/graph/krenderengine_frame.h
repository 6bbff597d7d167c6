// What the parts of building a frame (krenderengine_match.cpp,
// krenderengine_damage.cpp, krenderengine_cut.cpp) share: the limits that
// decide between them and which commands can be cut into bands.
#pragma once
#include "krenderengine.h"

#include <cstddef>
#include <cstdint>

namespace kframe {

// The strategy KESTREL_FRAME forces on every frame, so that a test or a
// benchmark knows which one ran: exact, box, grid and whole build every
// changed frame of the cut sprite that way (cut by each dirty rectangle, by
// their bounds, in the cells of a dirty grid, or drawn whole); search turns
// matching in step off, so every frame is matched by the search. Anything
// else, or nothing, leaves the choice to the engine.
enum class Strategy { kChosen, kExact, kBox, kGrid, kWhole, kSearch };
Strategy ParseStrategy(const char* setting);
// KESTREL_FRAME's strategy, read on first use.
Strategy ForcedStrategy();

// Cutting costs a walk of the work list for every dirty rectangle. Past
// this many, the dirty area is marked on a grid instead (or the frame drawn
// whole), which costs a walk of the frame in all. Measure:
//   bench_frame --frame=exact --benchmark_filter='case:[12]'
//   bench_frame --frame=grid --benchmark_filter='case:[12]'
const size_t kMaxDirtyRects = 48;

// Cells of the finest dirty grid: 16 pixels; the others double it. Finer
// cells would redraw fewer pixels for more work in building the frame.
// Measure: bench_frame --frame=grid --benchmark_filter='case:2'
const int kFineShift = 4;
const int kGrids = 3;

// Once changes cover this share of the cut sprite's cells, the frame is
// drawn whole without matching the rest of it. Measure against
//   bench_frame --frame=whole --benchmark_filter='case:[23]'
const double kMostlyDirty = 0.85;

// The scaled blits and diagonal lines cannot be cut into bands: a band of
// them is not the same drawing on fewer pixels. Nor can the blits through
// an alpha sprite, whose origin in it lies in their shared parameter block
// (they never match a previous command, so only a change hidden in part
// would cut them). Text can: a band of it is the text drawn on a window of
// the sprite (its source rectangle keeps where the whole text lies).
inline bool IsCuttable(const KRenderEngine::rectlist_node* n)
{
    const uint32_t uncuttable = 1u << KRE_OP_BLT_ZOOM | 1u << KRE_OP_BLT_ZOOM_ALPHA |
                                1u << KRE_OP_BLT_ZOOM_CK | 1u << KRE_OP_BLT_ALPHA_SPR |
                                1u << KRE_OP_FILL_ALPHA_SPR;
    if (n->op < 32 && (uncuttable >> n->op & 1u))
        return false;
    if (n->op == KRE_OP_LINE)
        return n->rcDst.right - n->rcDst.left <= 1 || n->rcDst.bottom - n->rcDst.top <= 1;
    return true;
}

}  // namespace kframe
