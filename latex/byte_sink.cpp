#include "latex/byte_sink.h"

#include <unistd.h>
#include <cerrno>

namespace tagweave {

byte_sink::byte_sink(int fd) : fd_(fd) { buffer_.reserve(capacity); }

byte_sink::~byte_sink() { flush(); }

void byte_sink::write(std::string_view bytes) {
  if (fd_ < 0) {
    buffer_.append(bytes);
    return;
  }
  if (buffer_.size() + bytes.size() > capacity) flush();
  if (bytes.size() >= capacity) {
    write_to_fd(bytes);
  } else {
    buffer_.append(bytes);
  }
}

void byte_sink::put(char byte) {
  if (fd_ >= 0 && buffer_.size() >= capacity) flush();
  buffer_.push_back(byte);
}

bool byte_sink::flush() {
  if (fd_ >= 0 && !buffer_.empty()) {
    write_to_fd(buffer_);
    buffer_.clear();
  }
  return !failed_;
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
