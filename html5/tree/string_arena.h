// Where the document keeps its strings: fixed blocks that never move, so a
// string_view into the arena stays valid while the document lives, and the
// arena grows without the copies and the doubled reservation of a growing
// std::string. A string is addressed by a 32-bit offset: the high bits pick
// a slot (a 64 KiB window), the low bits a byte within it. A string longer
// than a quarter of a block gets a block of its own, exactly its size, which
// covers as many consecutive slots as it needs; so no string is ever split,
// and the room a block leaves unused at its end is under a quarter of it.
//
// The arena can also take over the parser's input as a block of its own:
// text read straight from the input is then addressed where it lies, not
// copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave::html5 {

/// A piece of a string arena.
struct string_ref {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

class string_arena {
 public:
  /// Bits of an offset that address a byte within its slot.
  static constexpr unsigned slot_bits = 16;
  static constexpr std::size_t block_size = std::size_t{1} << slot_bits;
  /// Strings longer than this get a block of their own.
  static constexpr std::size_t own_block_threshold = block_size / 4;

  /// Takes `source` over as a block (once, before anything else), so that
  /// locate() finds views into it. Throws std::length_error when it is too
  /// large for 32-bit offsets.
  void adopt_source(std::string source);
  std::string_view source() const { return *source_; }
  /// Where `s` lies when it is a view into the adopted source.
  std::optional<string_ref> locate(std::string_view s) const;
  /// Copies `s` into the arena. Throws std::length_error when the arena's
  /// 32-bit offsets would run out.
  string_ref append(std::string_view s);
  /// Whether `then` starts where `first` ends, in the same block, so that
  /// the two are one string.
  bool adjacent(string_ref first, string_ref then) const;
  std::string_view view(string_ref ref) const {
    if (ref.length == 0) return {};
    return {slots_[ref.offset >> slot_bits] + (ref.offset & slot_mask),
            ref.length};
  }

 private:
  static constexpr std::uint32_t slot_mask = (1u << slot_bits) - 1;
  /// One slot fewer than 32-bit offsets could address, so that no string's
  /// length is ever 0xFFFFFFFF, which the document uses as a marker.
  static constexpr std::size_t max_slots = (std::size_t{1} << 16) - 1;

  /// Places a block of `size` bytes at `base` over fresh slots; returns its
  /// offset.
  std::uint32_t add_block(char* base, std::size_t size);
  std::uint32_t new_block(std::size_t size);
  char* address(std::uint32_t offset) {
    return slots_[offset >> slot_bits] + (offset & slot_mask);
  }

  /// Held through a pointer, so that moving the arena keeps its address.
  std::unique_ptr<std::string> source_ = std::make_unique<std::string>();
  std::uint32_t source_offset_ = 0;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::vector<char*> slots_;
  /// Per slot, whether a block starts there.
  std::vector<bool> block_starts_;
  /// The shared block being filled: its next free byte, and its end.
  std::uint32_t fill_ = 0, end_ = 0;
};

}  // namespace tagweave::html5
