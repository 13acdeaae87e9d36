#include "imaging/LargeMemory.h"

#include <cstdlib>

#include <sys/mman.h>

namespace kelvaro {

void* AllocateLarge(std::size_t bytes) {
    constexpr std::size_t HugePage = std::size_t(2) << 20;
    if (bytes < HugePage)
        return std::malloc(bytes);
    void* memory = nullptr;
    if (posix_memalign(&memory, HugePage, bytes) != 0)
        return nullptr;
#if defined(MADV_HUGEPAGE)
    // Only whole huge pages: a last one reaching beyond the buffer would be memory never used.
    // Advice the system does not take changes nothing but the speed.
    (void)madvise(memory, bytes / HugePage * HugePage, MADV_HUGEPAGE);
#endif
    return memory;
}

} // namespace kelvaro
