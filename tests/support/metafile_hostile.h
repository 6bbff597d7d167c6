// Small metafiles that ask a player for far more work or memory than their
// size suggests, for the budget tests and the metafile benchmark.
#pragma once

#include "metafile_builder.h"

// A Windows metafile cutting `bars` crossing bars (vertical and horizontal
// in turn, two pixels wide, across a picture `side` pixels a side) out of the
// clip, then filling the whole picture in red through it.
inline std::vector<uint8_t> CrossingClipBars(int bars, int side)
{
    WmfBuilder b;
    const int step = side / (bars / 2 + 1);
    for (int i = 0; i < bars; i++) {
        const int at = step * (i / 2 + 1);
        if (i % 2 == 0)
            b.ExcludeClipRect(at, 0, at + 2, side);
        else
            b.ExcludeClipRect(0, at, side, at + 2);
    }
    b.Select(b.CreatePen(5 /* PS_NULL */, 0, 0));
    b.Select(b.CreateBrush(0, 0x0000FF));
    b.Rectangle(0, 0, side + 1, side + 1);
    return b.Bytes();
}

// A Windows metafile of `count` red rectangles each covering a picture
// `side` pixels a side.
inline std::vector<uint8_t> CanvasRectangles(int count, int side)
{
    WmfBuilder b;
    b.Select(b.CreateBrush(0, 0x0000FF));
    b.Select(b.CreatePen(5, 0, 0));
    for (int i = 0; i < count; i++)
        b.Rectangle(0, 0, side + 1, side + 1);
    return b.Bytes();
}

// An enhanced metafile selecting a clip region of `rects` small squares (rows
// of 60), then saving its state `saves` times.
inline std::vector<uint8_t> SavesUnderABigClip(int rects, int saves)
{
    const int rows = (rects + 59) / 60;
    EmfBuilder b(0, 0, 60 * 4 - 1, rows * 4 - 1);
    std::vector<uint8_t> data;
    for (int i = 0; i < rects; i++) {
        const int x = (i % 60) * 4, y = (i / 60) * 4;
        for (int v : {x, y, x + 2, y + 2})
            Put32(data, uint32_t(v));
    }
    // Region data: size 32, type 1, count, bytes, bounds; then the rectangles.
    std::vector<uint8_t> tail;
    for (int v : {32, 1, rects, rects * 16, 0, 0, 60 * 4, rows * 4})
        Put32(tail, uint32_t(v));
    tail.insert(tail.end(), data.begin(), data.end());
    b.Record(75, {int32_t(32 + data.size()), 5 /* RGN_COPY */}, tail);
    for (int i = 0; i < saves; i++)
        b.SaveDC();
    return b.Bytes();
}

// A placeable Windows metafile of no records that asks for a picture of
// 32767 units a side at one unit an inch: 46 bytes.
inline std::vector<uint8_t> TinyHugePicture()
{
    WmfBuilder b;
    return b.Placeable(0, 0, 32767, 32767, 1);
}
