// The kernel table the device and the loaders call through, chosen on first
// use: the AVX2 copies and blends where the processor has them, else the fast kernels;
// the reference kernels when KESTREL_BLIT=ref.
// The switch exists so that the whole test suite can run on the reference
// and show a fast kernel's difference in the scenario where it matters.
#include "blit.h"

#include <cstdlib>
#include <cstring>

namespace kblit {

namespace {

const KernelTable kRef = {
    "ref",
    ref::Fill16,
    ref::Fill8,
    ref::Copy,
    ref::CopyKey,
    ref::BlendConst,
    ref::BlendConstKey,
    ref::BlendMask,
    ref::BlendColourMask,
    ref::Additive,
    ref::Zoom,
    ref::PackBgr565,
};

const KernelTable kFast = {
    "fast",
    fast::Fill16,
    fast::Fill8,
    fast::Copy,
    fast::CopyKey,
    fast::BlendConst,
    fast::BlendConstKey,
    fast::BlendMask,
    fast::BlendColourMask,
    fast::Additive,
    fast::Zoom,
    fast::PackBgr565,
};

// The fast form with the copies and blends sixteen pixels a step.
const KernelTable kAvx2 = {
    "avx2",
    fast::Fill16,
    fast::Fill8,
    avx2::Copy,
    avx2::CopyKey,
    avx2::BlendConst,
    avx2::BlendConstKey,
    avx2::BlendMask,
    avx2::BlendColourMask,
    avx2::Additive,
    fast::Zoom,
    fast::PackBgr565,
};

}  // namespace

bool WantsReference(const char* setting)
{
    return setting != nullptr && std::strcmp(setting, "ref") == 0;
}

const KernelTable& RefKernels() { return kRef; }
const KernelTable& FastKernels() { return kFast; }
const KernelTable& Avx2Kernels() { return kAvx2; }

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

const KernelTable& Kernels()
{
    // Read once: a table that changed in mid-frame would mix the forms.
    static const KernelTable& chosen = WantsReference(std::getenv("KESTREL_BLIT")) ? kRef
                                       : HasAvx2()                                 ? kAvx2
                                                                                   : kFast;
    return chosen;
}

}  // namespace kblit
