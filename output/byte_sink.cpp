#include "output/byte_sink.h"

#include <unistd.h>
#include <cerrno>
#include <utility>

namespace tagweave {

byte_sink::byte_sink(int fd) : fd_(fd) { buffer_.reserve(capacity); }

byte_sink::byte_sink(std::function<void(std::string_view)> drain)
    : drain_(std::move(drain)) {
  buffer_.reserve(capacity);
}

byte_sink::~byte_sink() {
  if (fd_ >= 0) flush();
}

bool byte_sink::flush() {
  if (text_ == nullptr && !buffer_.empty()) {
    drain(buffer_);
    buffer_.clear();
  }
  return !failed_;
}

void byte_sink::write_past_buffer(std::string_view bytes) {
  flush();
  if (bytes.size() >= capacity) {
    drain(bytes);
  } else {
    buffer_.append(bytes);
  }
}

void byte_sink::drain(std::string_view bytes) {
  if (drain_) {
    drain_(bytes);
  } else {
    write_to_fd(bytes);
  }
}

void byte_sink::write_to_fd(std::string_view bytes) {
  while (!failed_ && !bytes.empty()) {
    ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
    } else {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
  }
}

}  // namespace tagweave
