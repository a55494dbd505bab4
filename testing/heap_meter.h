// Peak heap memory of the benchmark program, for the memory bars: the
// benchmark replaces the global operator new and delete with versions that
// count the bytes each block really takes (malloc_usable_size), so a meter
// can report the most held at once since it started.
#pragma once

#include <cstddef>

namespace tagweave::testing {

class heap_meter {
 public:
  heap_meter();
  /// The most heap held at once since construction, above what was held
  /// then.
  std::size_t peak() const;

 private:
  std::size_t start_;
};

}  // namespace tagweave::testing
