// The abstract image stream: the one operation it implements itself.
#include "rasterfile.h"

bool RasterFile::PutC(BYTE value)
{
    return Write(&value, 1, 1) == 1;
}
