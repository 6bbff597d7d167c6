// The frame builder's own state, kept from frame to frame (its storage,
// the last frame's mode) and within a frame (matching, damage): held by the
// engine through one pointer, so that none of it is part of the installed
// header.
#pragma once
#include "krenderengine.h"
#include "krenderengine_frame.h"
#include "kdirtygrid.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A rectangle to redraw, kept as it was found: where its change lies in
// the list decides which covers hide it.
struct KRenderEngine::Change {
    RECT rect;
    long pos;     // hidden only by covers after this list position
    Node* fresh;  // the new command drawn there; null for what is gone
                  // (or an edited text's stretch), redrawn from all there
};

struct KRenderEngine::FrameState {
    // The previous frame's commands by a hash of what every two equal
    // commands share (op, destination and its rectangle): a table of chains,
    // each in list order, so a match is found without a walk of the list.
    // Its storage is kept from frame to frame.
    struct PrevKey {
        uint64_t hash;
        Node* node;
        int next;  // the next entry of the same bucket, -1 at the end
        long pos;  // the command's position in the previous-frame list
    };
    std::vector<PrevKey> m_prevIndex;  // in list order, from the first unmatched
    std::vector<int> m_prevBuckets;    // first entry of each bucket, -1 when empty
    std::vector<int> m_prevTails;      // last entry of each bucket, -1 when empty
    std::vector<uintptr_t> m_window;   // _window's sprite header and row pointers
    std::vector<RECT> m_dirty;         // the rectangles this frame redraws
    std::vector<RECT> m_boxed;         // a box frame's changes inside its box
    std::vector<RECT> m_vanished;      // of the commands that vanished, in list order
    std::vector<Change> m_changes;     // what matching found changed, in m_dirty after
    long m_nBuildPos = 0;              // list position of the command being matched
    long m_nHidden = 0;                // changes hidden in whole or part this frame
    RECT m_dirtyBox = {0, 0, 0, 0};    // the bounds of m_dirty
    std::vector<Node*> m_uncut;        // uncuttable unchanged commands (null once spread)
    long m_nMatchedOrder = -1;  // list order of the last previous command matched
    Node* m_prevNext = NULL;      // the previous command after that one
    bool m_bIndexed = false;       // m_prevIndex holds this frame's previous list
    long m_nIndexEnd = 0;      // list position past the last command indexed
    Node* m_indexNext = NULL;     // the previous command at that position
    int m_nMisses = 0;         // commands this frame found nothing nearby for
    long m_nLastMissAt = -2;    // m_nMatchedOrder when the last of them missed
    long m_nMatchedAt = -1;      // m_nBuildPos of the command that matched last
    // How far past the last match a command is looked for before the index,
    // and the places of those previous commands (_fillahead). Measure:
    //   bench_frame --frame=search --benchmark_filter='case:[12]'
    static constexpr long kLookAhead = 8;
    struct Ahead {
        RECT rect;
        DWORD op;
    };
    Ahead m_ahead[kLookAhead];
    long m_nAheadAt = -1;        // the list position of m_ahead[0]
    long m_nAheadLen = 0;
    long m_nKept = 0;            // commands of this frame matched so far
    Node* m_placeNode = NULL;    // a previous command at or past m_prevNext
    long m_nPlacePos = 0;        // its list position
    size_t m_nMarkedDirty = 0; // m_dirty's rectangles marked on the grid while matching
    size_t m_nMarkedRects = 0;  // of m_changes, those marked on the grid so far
    long m_markBound = 0;       // marked cells, and the cells of those not marked yet
    long m_nMostlyCells = 0;    // kMostlyDirty of the finest grid's cells
    size_t m_nMostWork = 0;    // the most commands a work list has held

    // Where this frame must be redrawn, on grids of 16, 32 and 64 pixel
    // cells, used once changes are too many for cutting by each rectangle.
    KDirtyGrid m_grids[kframe::kGrids];
    std::vector<char> m_uncutMarked;  // per m_uncut: marked on the grid already
    bool m_bWhole = false;         // this frame's cut-sprite commands are all drawn whole
    // How the last frame of the cut sprite was built.
    enum FrameMode { kFrameUnchanged, kFrameExact, kFrameBox, kFrameGrid, kFrameWhole };
    FrameMode m_lastMode = kFrameUnchanged;
    KDirtyGrid* m_chosenGrid = NULL;  // the grid a kFrameGrid frame was cut by
    long m_nCutCommands = 0;   // this frame's commands on the cut sprite
    double m_cutArea = 0;      // and the pixels of their rectangles

    // What the last Render changed of the back screen, for the device to
    // present: the rectangles it redrew, or all of it (m_bShownAll).
    std::vector<RECT> m_shown;
    RECT m_shownBox = {0, 0, 0, 0};  // their bounds
    bool m_bShownAll = true;
    // The window has not been shown the back screen since it was made,
    // resized or redrawn: the next frame that draws anything is shown whole.
    bool m_bShowAllNext = true;

    // Matching in step with the recording: the commands that missed.
    struct StepMiss {
        Node* node;  // the recorded command
        Node* prev;  // the previous command at its place, or null
        long pos;    // that place in both lists
        bool edit;   // node is prev's text edited (EditableText)
    };
    std::vector<StepMiss> m_stepMisses;
    size_t m_nStepMaxMisses = 0;          // past this many, BuildingFrame searches
    long m_nStepLastMiss = -2;             // the place of the last miss
    long m_nStepRun = 0;              // misses in a row up to it
};
