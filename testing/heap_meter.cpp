// The counting operator new and delete behind heap_meter. Linked into the
// benchmark program only; single-threaded, as the benchmarks are.
#include "testing/heap_meter.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace {

std::size_t live_bytes = 0;
std::size_t peak_bytes = 0;

}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  live_bytes += malloc_usable_size(block);
  if (live_bytes > peak_bytes) peak_bytes = live_bytes;
  return block;
}

void operator delete(void* block) noexcept {
  if (block == nullptr) return;
  live_bytes -= malloc_usable_size(block);
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
  operator delete(block);
}

namespace tagweave::testing {

heap_meter::heap_meter() : start_(live_bytes) { peak_bytes = live_bytes; }

std::size_t heap_meter::peak() const { return peak_bytes - start_; }

}  // namespace tagweave::testing
