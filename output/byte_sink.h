// Buffered output of bytes: to a file descriptor, to a caller's function, or
// into a string for callers that want the text itself. Write errors on a
// descriptor are remembered rather than ignored, so the driver can report a
// document that did not reach its destination whole.
#pragma once

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tagweave {

class byte_sink {
 public:
  /// Collects everything written in memory; see contents().
  byte_sink() : byte_sink(collected_) {}
  /// Appends everything written to `text`, which must outlive the sink, as
  /// the block fills and at flush() or contents(); not when destroyed.
  explicit byte_sink(std::string& text);
  /// Writes to `fd`, which the sink does not own or close.
  explicit byte_sink(int fd);
  /// Hands the bytes to `drain` in pieces of up to 64 KiB, in order.
  explicit byte_sink(std::function<void(std::string_view)> drain);
  /// Flushes a descriptor sink; a function sink must be flushed by its owner,
  /// since the function may throw.
  ~byte_sink();

  byte_sink(const byte_sink&) = delete;
  byte_sink& operator=(const byte_sink&) = delete;

  // The writer calls these once per few bytes: the common case is a copy
  // into the block and nothing else, always inlined (link-time optimization
  // otherwise left some calls out of line).
  [[gnu::always_inline]] void write(std::string_view bytes) {
    if (bytes.size() < static_cast<std::size_t>(limit_ - next_)) {
      copy_into_block(bytes);
    } else {
      write_slowly(bytes);
    }
  }
  [[gnu::always_inline]] void put(char byte) {
    if (next_ != limit_) {
      *next_++ = byte;
    } else {
      write_slowly(std::string_view(&byte, 1));
    }
  }

  /// The most room() may ask for.
  static constexpr std::size_t max_room = 4096;

  /// Room for up to `size` (at most max_room) more bytes in a row, for a
  /// writer that stores them itself and then calls commit() with the end
  /// of what it stored.
  [[gnu::always_inline]] char* room(std::size_t size) {
    if (size > static_cast<std::size_t>(limit_ - next_)) flush();
    return next_;
  }
  /// Keeps the bytes stored since room() up to `end`.
  [[gnu::always_inline]] void commit(char* end) { next_ = end; }

  /// Hands the buffered bytes on. False when any write to a descriptor so
  /// far has failed; after a failure the sink drops what it is given.
  bool flush();

  /// Everything written to a memory sink, flushed there first.
  const std::string& contents() {
    flush();
    return *text_;
  }
  /// How many bytes have been written to the sink so far.
  std::size_t written() const {
    return handed_on_ + static_cast<std::size_t>(next_ - block_.get());
  }

 private:
  /// How much a descriptor or function sink holds before handing it on:
  /// large enough that system calls are few, small enough to stay in cache.
  static constexpr std::size_t capacity = 64 * 1024;
  static_assert(max_room <= capacity);

  /// Copies `bytes`, which fit, to the block. Most pieces are a fragment
  /// or a few words: up to sixteen bytes take two overlapping fixed-size
  /// moves instead of a library call.
  [[gnu::always_inline]] void copy_into_block(std::string_view bytes) {
    const char* from = bytes.data();
    std::size_t size = bytes.size();
    if (size >= 8 && size <= 16) {
      copy_fixed<8>(next_, from);
      copy_fixed<8>(next_ + size - 8, from + size - 8);
    } else if (size >= 4 && size < 8) {
      copy_fixed<4>(next_, from);
      copy_fixed<4>(next_ + size - 4, from + size - 4);
    } else if (size > 0 && size < 4) {
      next_[0] = from[0];
      next_[size / 2] = from[size / 2];
      next_[size - 1] = from[size - 1];
    } else if (size > 16) {
      std::memcpy(next_, from, size);
    }
    next_ += size;
  }
  template <std::size_t width>
  static void copy_fixed(char* to, const char* from) {
    char word[width];
    std::memcpy(word, from, width);
    std::memcpy(to, word, width);
  }

  void write_slowly(std::string_view bytes);
  void drain(std::string_view bytes);
  void write_to_fd(std::string_view bytes);

  std::string* text_ = nullptr;  // memory sinks: where the bytes go
  std::string collected_;        // the default sink's text
  int fd_ = -1;
  std::function<void(std::string_view)> drain_;
  bool failed_ = false;
  std::unique_ptr<char[]> block_;
  char* next_ = nullptr;       // the block's first free byte
  char* limit_ = nullptr;      // the block's end
  std::size_t handed_on_ = 0;  // bytes that left the block
};

}  // namespace tagweave
