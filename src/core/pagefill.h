#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Makes the pages of fresh memory about to be written whole (a piece of a log
// being read, a slice of a channel being made) present in one call: taking a
// page fault at every 4 KB as the writing reaches it costs about half as much
// again as the pages' clearing itself. Only whole pages inside the range are
// made; where the system cannot, nothing happens and the faults come as before.
inline void fillPages(void *from, std::size_t bytes)
{
#if defined(MADV_POPULATE_WRITE)
    constexpr std::uintptr_t Page = 4096;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(from) + Page - 1) & ~(Page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(from) + bytes) & ~(Page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)from;
    (void)bytes;
#endif
}
