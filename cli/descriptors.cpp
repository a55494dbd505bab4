#include "cli/descriptors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <utility>

namespace tagweave {

opened_file::~opened_file() {
  if (fd_ >= 0) ::close(fd_);
}

opened_file::opened_file(opened_file&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

opened_file& opened_file::operator=(opened_file&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool opened_file::close() { return ::close(std::exchange(fd_, -1)) == 0; }

void descriptor_writer::write(std::string_view bytes) {
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

opened_file open_for_reading(const std::string& name) {
  return opened_file(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
}

opened_file open_for_writing(const std::string& name) {
  return opened_file(
      ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
}

opened_file open_existing_for_writing(const std::string& name) {
  return opened_file(::open(name.c_str(), O_WRONLY | O_CLOEXEC));
}

bool same_file(int a, int b) {
  struct stat first {};
  struct stat second {};
  return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool truncate_if_regular(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  return !S_ISREG(info.st_mode) || ::ftruncate(fd, 0) == 0;
}

bool open_closed_standard_descriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int mode = fd == STDIN_FILENO ? O_WRONLY : O_RDONLY;
    // open() returns the lowest free descriptor, which is `fd`.
    if (::open("/dev/null", mode) != fd) return false;
  }
  return true;
}

}  // namespace tagweave
