// A vector that grows by fixed chunks instead of doubling: elements never
// move, and the memory held beyond the elements in use is at most one chunk,
// where a doubling vector holds up to as much again as it uses (and, while it
// grows, the old and the new array at once). The tree's nodes live in one,
// and so does the stack of open elements, which pops without freeing.
// A chunk is raw memory, each element constructed when pushed: a small page
// touches only the first pages of its chunks, not all of them.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace tagweave::html5 {

template <typename T, std::size_t chunk_bits = 12>
class chunked_vector {
  static_assert(std::is_trivially_destructible_v<T>,
                "chunks are freed without destroying their elements");

 public:
  /// Elements per chunk: 4096 by default, small beside a page's nodes and
  /// large enough that the chunk table stays small.
  static constexpr std::size_t chunk_size = std::size_t{1} << chunk_bits;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  T& operator[](std::size_t i) {
    return chunks_[i >> chunk_bits].get()[i & (chunk_size - 1)];
  }
  const T& operator[](std::size_t i) const {
    return chunks_[i >> chunk_bits].get()[i & (chunk_size - 1)];
  }

  T& back() { return (*this)[size_ - 1]; }
  const T& back() const { return (*this)[size_ - 1]; }
  /// Drops the last element; its chunk stays, for the next push.
  void pop_back() { --size_; }

  void push_back(const T& value) {
    if ((size_ & (chunk_size - 1)) == 0 &&
        (size_ >> chunk_bits) == chunks_.size()) {
      chunks_.emplace_back(
          static_cast<T*>(::operator new(chunk_size * sizeof(T))));
    }
    ::new (&(*this)[size_]) T(value);
    ++size_;
  }

 private:
  struct free_chunk {
    void operator()(T* chunk) const { ::operator delete(chunk); }
  };
  std::vector<std::unique_ptr<T, free_chunk>> chunks_;
  std::size_t size_ = 0;
};

}  // namespace tagweave::html5
