// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/LargeBuffer.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

void reserveLargeBuffer(std::vector<float> &buffer, std::size_t count)
{
    buffer.reserve(count);
#ifdef __linux__
    // Only whole large pages inside the buffer; the advice is a wish, its failure harmless.
    constexpr std::uintptr_t largePage = std::uintptr_t(2) << 20;
    const auto begin =
        (reinterpret_cast<std::uintptr_t>(buffer.data()) + largePage - 1) & ~(largePage - 1);
    const auto end =
        reinterpret_cast<std::uintptr_t>(buffer.data() + buffer.capacity()) & ~(largePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#endif
}
