#pragma once

#include <cstddef>

namespace kelvaro {

// Memory for a large working buffer (frames, colour reduction), released with std::free; null
// when there is none. Its whole 2 MiB stretches are advised to take huge pages: fresh memory is
// otherwise touched in 4 KiB pages at a page fault each, and on a virtual machine the faults can
// cost more than the work done in the memory.
void* AllocateLarge(std::size_t bytes);

} // namespace kelvaro
