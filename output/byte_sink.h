// Buffered output of bytes: to a file descriptor, to a caller's function, or
// into a string for callers that want the text itself. Write errors on a
// descriptor are remembered rather than ignored, so the driver can report a
// document that did not reach its destination whole.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tagweave {

class byte_sink {
 public:
  /// Collects everything written in memory; see contents().
  byte_sink() : text_(&buffer_) {}
  /// Appends everything written to `text`, which must outlive the sink.
  explicit byte_sink(std::string& text) : text_(&text) {}
  /// Writes to `fd`, which the sink does not own or close.
  explicit byte_sink(int fd);
  /// Hands the bytes to `drain` in pieces of up to 64 KiB, in order.
  explicit byte_sink(std::function<void(std::string_view)> drain);
  /// Flushes a descriptor sink; a function sink must be flushed by its owner,
  /// since the function may throw.
  ~byte_sink();

  byte_sink(const byte_sink&) = delete;
  byte_sink& operator=(const byte_sink&) = delete;

  void write(std::string_view bytes) {
    written_ += bytes.size();
    if (text_ != nullptr) {
      text_->append(bytes);
    } else if (buffer_.size() + bytes.size() <= capacity) {
      buffer_.append(bytes);
    } else {
      write_past_buffer(bytes);
    }
  }
  void put(char byte) {
    ++written_;
    if (text_ == nullptr && buffer_.size() >= capacity) flush();
    (text_ != nullptr ? *text_ : buffer_).push_back(byte);
  }

  /// Hands the buffered bytes on. False when any write to a descriptor so
  /// far has failed; after a failure the sink drops what it is given.
  bool flush();

  /// Everything written to a memory sink.
  const std::string& contents() const { return *text_; }
  /// How many bytes have been written to the sink so far.
  std::size_t written() const { return written_; }

 private:
  /// How much a descriptor or function sink holds before handing it on:
  /// large enough that system calls are few, small enough to stay in cache.
  static constexpr std::size_t capacity = 64 * 1024;

  void write_past_buffer(std::string_view bytes);
  void drain(std::string_view bytes);
  void write_to_fd(std::string_view bytes);

  std::string* text_ = nullptr;  // memory sinks: where the bytes go
  int fd_ = -1;
  std::function<void(std::string_view)> drain_;
  bool failed_ = false;
  std::size_t written_ = 0;
  std::string buffer_;
};

}  // namespace tagweave
