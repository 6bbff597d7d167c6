// The row cursor of the codecs.
#include <cstring>

#include "rasteriterator.h"

RasterIterator::RasterIterator(RasterImage* image)
    : nItX(0), nItY(0), nStepX(0), nStepY(0), pRow(NULL), pOwner(image)
{
    // An image without rows gives no row to point at.
    if (image != NULL && image->GetHeight() != 0)
        pRow = image->GetBits(0);
}

void RasterIterator::SetY(long n)
{
    if (pOwner == NULL || pOwner->GetBits(0) == NULL || n < 0 || n >= (long)pOwner->GetHeight())
        return;
    nItY = n;
    pRow = pOwner->GetBits(0) + (size_t)n * pOwner->GetEffWidth();
}

BYTE* RasterIterator::GetRow(long n)
{
    SetY(n);
    return pRow;
}

BYTE* RasterIterator::GetRow()
{
    return pRow;
}

void RasterIterator::MoveToTop()
{
    nItX = 0;
    if (pOwner == NULL)
        return;
    nItY = (long)pOwner->GetHeight() - 1;
    // An image without rows has no top row: the cursor then points nowhere.
    BYTE* first = pOwner->GetBits(0);
    pRow = first != NULL && nItY >= 0 ? first + (size_t)nItY * pOwner->GetEffWidth() : NULL;
}

bool RasterIterator::PrevRow()
{
    if (--nItY < 0) {
        nItY = -1;
        return false;
    }
    if (pRow != NULL && pOwner != NULL)
        pRow -= pOwner->GetEffWidth();
    return true;
}

bool RasterIterator::RowValid()
{
    if (pOwner == NULL)
        return false;
    return pOwner->IsInside(nItX, nItY);
}

void RasterIterator::SetRow(BYTE* buf, long n)
{
    if (pRow == NULL || buf == NULL || pOwner == NULL)
        return;
    long eff = (long)pOwner->GetEffWidth();
    if (n < 0 || n >= eff)
        n = eff;
    memcpy(pRow, buf, (size_t)n);
}

void RasterIterator::GetRow(BYTE* buf, long n)
{
    if (pRow == NULL || buf == NULL || n < 1 || pOwner == NULL)
        return;
    long eff = (long)pOwner->GetEffWidth();
    memcpy(buf, pRow, (size_t)(n < eff ? n : eff));
}
