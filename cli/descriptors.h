// The file descriptors the command-line driver opens, and the checks that
// keep a run from destroying a file it was not asked to write.
#pragma once

#include <string>
#include <string_view>

namespace tagweave {

/// A file descriptor that the driver opened and must close.
class opened_file {
 public:
  opened_file() = default;
  explicit opened_file(int fd) : fd_(fd) {}
  ~opened_file();
  opened_file(opened_file&& other) noexcept;
  opened_file& operator=(opened_file&& other) noexcept;
  opened_file(const opened_file&) = delete;
  opened_file& operator=(const opened_file&) = delete;

  bool is_open() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  /// Closes now; false when the close reports an error (a write that the
  /// system had deferred can fail only here).
  bool close();

 private:
  int fd_ = -1;
};

/// Writes what it is given to a descriptor it does not own, each piece
/// whole, and remembers a failure: what follows one is dropped, so that the
/// document is reported as not written rather than left with a hole.
class descriptor_writer {
 public:
  explicit descriptor_writer(int fd) : fd_(fd) {}
  void write(std::string_view bytes);
  bool failed() const { return failed_; }

 private:
  int fd_;
  bool failed_ = false;
};

opened_file open_for_reading(const std::string& name);

/// Opens `name` for writing, creating it if needed but not yet truncating
/// it, so that it can still be compared with the input before any byte of
/// it is lost.
opened_file open_for_writing(const std::string& name);

/// Opens the existing file `name` for writing without changing it: to learn
/// whether it may be written, what it is, and whether it is the input. Not
/// open when it does not exist (errno ENOENT) or may not be written.
opened_file open_existing_for_writing(const std::string& name);

/// True when both descriptors lead to the same file, by whatever names
/// (a symbolic or hard link to the input, say).
bool same_file(int a, int b);

/// Empties a regular file opened with open_for_writing. Devices, pipes and
/// the like are left as they are, since they cannot be truncated. False when
/// truncating fails.
bool truncate_if_regular(int fd);

/// Makes sure descriptors 0, 1 and 2 are open, before anything else is:
/// otherwise the next file opened would get one of those numbers, and
/// messages meant for standard error would land in an output file. A closed
/// one gets /dev/null in the contrary mode (write-only for input, read-only
/// for output), as careful Unix tools do, so that reading a closed standard
/// input or writing to a closed standard output still fails and is reported
/// rather than silently succeeding. False when /dev/null cannot be opened.
bool open_closed_standard_descriptors();

}  // namespace tagweave
