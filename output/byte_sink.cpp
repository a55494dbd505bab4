#include "output/byte_sink.h"

#include <unistd.h>
#include <cerrno>
#include <utility>

namespace tagweave {

byte_sink::byte_sink(std::string& text)
    : text_(&text),
      block_(new char[capacity]),
      next_(block_.get()),
      limit_(block_.get() + capacity) {}

byte_sink::byte_sink(int fd)
    : fd_(fd),
      block_(new char[capacity]),
      next_(block_.get()),
      limit_(block_.get() + capacity) {}

byte_sink::byte_sink(std::function<void(std::string_view)> drain)
    : drain_(std::move(drain)),
      block_(new char[capacity]),
      next_(block_.get()),
      limit_(block_.get() + capacity) {}

byte_sink::~byte_sink() {
  if (fd_ >= 0) flush();
}

bool byte_sink::flush() {
  if (next_ != block_.get()) {
    std::string_view held(block_.get(),
                          static_cast<std::size_t>(next_ - block_.get()));
    drain(held);
    handed_on_ += held.size();
    next_ = block_.get();
  }
  return !failed_;
}

void byte_sink::write_slowly(std::string_view bytes) {
  flush();
  if (bytes.size() >= capacity) {
    handed_on_ += bytes.size();
    drain(bytes);
  } else {
    std::memcpy(next_, bytes.data(), bytes.size());
    next_ += bytes.size();
  }
}

void byte_sink::drain(std::string_view bytes) {
  if (text_ != nullptr) {
    text_->append(bytes);
  } else if (drain_) {
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
