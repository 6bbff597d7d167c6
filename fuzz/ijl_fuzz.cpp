// Arbitrary bytes through the JPEG decoding service alone: the parameters,
// then the whole picture into a buffer laid out as the caller asks. The
// first byte picks the row padding (low two bits) and whether the layout
// follows the picture's components (bit 2) or is taken as given; the rest is
// the stream. Pictures above 64K pixels are not decoded: the service's work
// grows with the size a header claims, which the engine bounds before this.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <jpeglayout.h>

namespace {

constexpr uint64_t kMaxPixels = 1u << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 0xFFFFFFFFu)
        return 0;
    std::vector<uint8_t> stream(data + 1, data + size);
    JPEG_CORE_PROPERTIES jcp = {};
    if (ijlInit(&jcp) != IJL_OK)
        std::abort();
    jcp.JPGBytes = stream.data();
    jcp.JPGSizeBytes = uint32_t(stream.size());
    if (ijlRead(&jcp, IJL_JBUFF_READPARAMS) == IJL_OK &&
        uint64_t(jcp.JPGWidth) * jcp.JPGHeight <= kMaxPixels) {
        // The engine's layout; a count it has none for is asked as colour.
        long channels = JpegLayout(jcp, (data[0] & 4) != 0 ? jcp.JPGChannels : 3);
        if (channels == 0)
            channels = JpegLayout(jcp, 3);
        const uint32_t pad = data[0] & 3;
        const size_t stride = size_t(jcp.JPGWidth) * channels + pad;
        std::vector<uint8_t> pixels(stride * jcp.JPGHeight + 1);
        jcp.DIBBytes = pixels.data();
        jcp.DIBWidth = jcp.JPGWidth;
        jcp.DIBHeight = jcp.JPGHeight;
        jcp.DIBChannels = uint32_t(channels);
        jcp.DIBPadBytes = pad;
        ijlRead(&jcp, IJL_JBUFF_READWHOLEIMAGE);
    }
    if (ijlFree(&jcp) != IJL_OK)
        std::abort();
    return 0;
}
