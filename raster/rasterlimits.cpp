// The host's allowance of pixels not backed by data, and the shared texts.
#include "rasterlimits.h"

#include <atomic>

namespace {

// 2048 x 2048: a picture a truncated or damaged file may still show at full
// size, and no more than 16 MB at the deepest pixels.
constexpr unsigned long long kDefaultUnbackedPixels = 1ULL << 22;

std::atomic<unsigned long long> g_unbackedPixels{kDefaultUnbackedPixels};

}  // namespace

void RasterSetUnbackedPixels(unsigned long long pixels)
{
    g_unbackedPixels.store(pixels, std::memory_order_relaxed);
}

unsigned long long RasterGetUnbackedPixels()
{
    return g_unbackedPixels.load(std::memory_order_relaxed);
}

namespace rasterlimits {

const char kTextNoMemory[] = "RasterImage::Create can't allocate memory";
const char kTextTooLarge[] = "RASTER_MAX_MEMORY exceeded";
const char kTextTruncated[] = "file ends inside its header";
const char kTextDamaged[] = "Decode: data damaged or incomplete";

}  // namespace rasterlimits
