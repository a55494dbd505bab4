// A vector that grows by fixed chunks instead of doubling: elements never
// move, and the memory held beyond the elements in use is at most one chunk,
// where a doubling vector holds up to as much again as it uses (and, while it
// grows, the old and the new array at once). The tree's nodes live in one.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tagweave::html5 {

template <typename T, std::size_t chunk_bits = 12>
class chunked_vector {
 public:
  /// Elements per chunk: 4096 by default, small beside a page's nodes and
  /// large enough that the chunk table stays small.
  static constexpr std::size_t chunk_size = std::size_t{1} << chunk_bits;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  T& operator[](std::size_t i) {
    return chunks_[i >> chunk_bits][i & (chunk_size - 1)];
  }
  const T& operator[](std::size_t i) const {
    return chunks_[i >> chunk_bits][i & (chunk_size - 1)];
  }

  void push_back(const T& value) {
    if ((size_ & (chunk_size - 1)) == 0 &&
        (size_ >> chunk_bits) == chunks_.size()) {
      chunks_.push_back(std::make_unique<T[]>(chunk_size));
    }
    (*this)[size_] = value;
    ++size_;
  }

 private:
  std::vector<std::unique_ptr<T[]>> chunks_;
  std::size_t size_ = 0;
};

}  // namespace tagweave::html5
