// Buffered output of bytes, either to a file descriptor or, for tests and
// other callers that want the text itself, into memory. Write errors are
// remembered rather than ignored, so the driver can report a document that
// did not reach its destination whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tagweave {

class byte_sink {
 public:
  /// Collects everything written in memory; see contents().
  byte_sink() = default;
  /// Writes to `fd`, which the sink does not own or close.
  explicit byte_sink(int fd);
  ~byte_sink();

  byte_sink(const byte_sink&) = delete;
  byte_sink& operator=(const byte_sink&) = delete;

  void write(std::string_view bytes);
  void put(char byte);

  /// Hands the buffered bytes to the descriptor. False when any write so far
  /// has failed; after a failure the sink drops what it is given.
  bool flush();

  /// Everything written to a memory sink.
  const std::string& contents() const { return buffer_; }

 private:
  static constexpr std::size_t capacity = 64 * 1024;
  void write_to_fd(std::string_view bytes);

  int fd_ = -1;  // -1: collect in memory
  bool failed_ = false;
  std::string buffer_;
};

}  // namespace tagweave
