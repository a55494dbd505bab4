// The string arena's blocks and slots.
#include "html5/tree/string_arena.h"

#include <cstring>
#include <functional>
#include <stdexcept>

namespace tagweave::html5 {

std::uint32_t string_arena::add_block(char* base, std::size_t size) {
  std::size_t slots = (size + block_size - 1) / block_size;
  if (slots > max_slots - slots_.size()) {
    throw std::length_error("html5 document exceeds 32-bit indices");
  }
  auto offset = static_cast<std::uint32_t>(slots_.size() << slot_bits);
  for (std::size_t i = 0; i < slots; ++i) {
    slots_.push_back(base + i * block_size);
    block_starts_.push_back(i == 0);
  }
  return offset;
}

std::uint32_t string_arena::new_block(std::size_t size) {
  blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
  return add_block(blocks_.back().get(), size);
}

void string_arena::adopt_source(std::string source) {
  *source_ = std::move(source);
  if (!source_->empty()) {
    source_offset_ = add_block(source_->data(), source_->size());
  }
}

std::optional<string_ref> string_arena::locate(std::string_view s) const {
  // Pointers into different objects are compared through std::less, which
  // orders all pointers.
  std::less<const char*> before;
  const char* begin = source_->data();
  const char* end = begin + source_->size();
  if (s.empty() || before(s.data(), begin) ||
      before(end, s.data() + s.size())) {
    return std::nullopt;
  }
  return string_ref{
      source_offset_ + static_cast<std::uint32_t>(s.data() - begin),
      static_cast<std::uint32_t>(s.size())};
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
    fill_ = new_block(block_size);
    end_ = fill_ + static_cast<std::uint32_t>(block_size);
  }
  std::memcpy(address(fill_), s.data(), s.size());
  string_ref ref{fill_, length};
  fill_ += length;
  return ref;
}

bool string_arena::adjacent(string_ref first, string_ref then) const {
  if (first.length == 0 || then.length == 0 ||
      first.offset + first.length != then.offset) {
    return false;
  }
  bool starts_a_slot = (then.offset & slot_mask) == 0;
  return !(starts_a_slot && block_starts_[then.offset >> slot_bits]);
}

}  // namespace tagweave::html5
