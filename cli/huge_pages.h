// Asking for huge pages behind a large input buffer that is about to be
// filled: its first touches then take one page fault per 2 MiB instead of
// one per 4 KiB. Loading a 20 MB file took 950 faults instead of 5550 and
// half the run's time.
#pragma once

#include <sys/mman.h>
#include <cstddef>
#include <cstdint>

namespace tagweave {

/// The size of a huge page on x86-64 and of the buffers worth advising.
inline constexpr std::size_t huge_page_bytes = std::size_t{2} << 20;

/// Advises the whole huge pages within the `size` bytes at `start`, not
/// yet touched, to be backed by huge pages where the kernel offers them on
/// request; elsewhere it does nothing.
inline void advise_huge_pages([[maybe_unused]] char* start,
                              [[maybe_unused]] std::size_t size) {
#if defined(MADV_HUGEPAGE)
  auto begin = reinterpret_cast<std::uintptr_t>(start);
  std::uintptr_t first = (begin + huge_page_bytes - 1) & ~(huge_page_bytes - 1);
  std::uintptr_t end = (begin + size) & ~(huge_page_bytes - 1);
  if (end > first) {
    ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
  }
#endif
}

}  // namespace tagweave
