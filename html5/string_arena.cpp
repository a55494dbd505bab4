// The string arena's blocks and slots.
#include "html5/string_arena.h"

#include <cstring>
#include <stdexcept>

namespace tagweave::html5 {

std::uint32_t string_arena::new_block(std::size_t size) {
  std::size_t slots = (size + block_size - 1) / block_size;
  if (slots > max_slots - slots_.size()) {
    throw std::length_error("html5 document exceeds 32-bit indices");
  }
  auto offset = static_cast<std::uint32_t>(slots_.size() << slot_bits);
  blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
  char* base = blocks_.back().get();
  for (std::size_t i = 0; i < slots; ++i) {
    slots_.push_back(base + i * block_size);
  }
  return offset;
}

string_ref string_arena::append(std::string_view s) {
  if (s.empty()) return string_ref{fill_, 0};
  auto length = static_cast<std::uint32_t>(s.size());
  if (s.size() > own_block_threshold) {
    std::uint32_t offset = new_block(s.size());
    std::memcpy(address(offset), s.data(), s.size());
    return string_ref{offset, length};
  }
  if (s.size() > end_ - fill_) {
    start_ = fill_ = new_block(block_size);
    end_ = start_ + static_cast<std::uint32_t>(block_size);
  }
  std::memcpy(address(fill_), s.data(), s.size());
  string_ref ref{fill_, length};
  fill_ += length;
  return ref;
}

bool string_arena::extend(string_ref& ref, std::string_view s) {
  bool ends_the_block = ref.length != 0 && ref.offset >= start_ &&
                        ref.offset + ref.length == fill_;
  if (!ends_the_block || s.size() > end_ - fill_) return false;
  std::memcpy(address(fill_), s.data(), s.size());
  fill_ += static_cast<std::uint32_t>(s.size());
  ref.length += static_cast<std::uint32_t>(s.size());
  return true;
}

}  // namespace tagweave::html5
