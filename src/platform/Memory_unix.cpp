#include "Memory.h"

#include <cstdint>

#include <sys/mman.h>

namespace velra::platform {

void preferLargePages(void *data, qsizetype size)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kLarge = std::uintptr_t(2) << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t from = (start + kLarge - 1) & ~(kLarge - 1);
    const std::uintptr_t to = (start + std::uintptr_t(size)) & ~(kLarge - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

} // namespace velra::platform
