// A row cursor over an image's pixel rows in memory order (row 0 is the
// bottom row of the picture), for codecs that move whole rows. Start at the
// top with MoveToTop and step with PrevRow to walk the picture top to bottom.
#pragma once

#include "rasterimage.h"

class RasterIterator {
public:
    explicit RasterIterator(RasterImage* image);

    void SetY(long n);              // rows outside the image leave the cursor where it is
    BYTE* GetRow(long n);           // SetY(n), then the current row
    BYTE* GetRow();
    void MoveToTop();
    bool PrevRow();                 // false, with the row unchanged, past the bottom row
    bool RowValid();
    void SetRow(BYTE* buf, long n); // n < 0 or past the row copies one whole padded row
    void GetRow(BYTE* buf, long n); // at most one padded row is copied

protected:
    long nItX;
    long nItY;
    long nStepX;
    long nStepY;
    BYTE* pRow;
    RasterImage* pOwner;
};
