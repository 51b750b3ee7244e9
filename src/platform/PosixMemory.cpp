#include "platform/Memory.h"

#include <cstdint>
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace sorvanel {

void adviseHugePages(void* block, std::size_t bytes) noexcept
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t hugePage = std::uintptr_t{2} << 20;
    // Smaller blocks would gain at most a page or two.
    if (bytes < 2 * hugePage)
        return;
    auto begin = reinterpret_cast<std::uintptr_t>(block);
    std::uintptr_t first = (begin + hugePage - 1) & ~(hugePage - 1);
    std::uintptr_t last = (begin + bytes) & ~(hugePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

} // namespace sorvanel
