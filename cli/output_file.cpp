#include "cli/output_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <ctime>
#include <optional>
#include <string_view>
#include <utility>

namespace tagweave {

output_file::~output_file() { remove_new_file(); }

output_file::output_file(output_file&& other) noexcept
    : file_(std::move(other.file_)),
      new_name_(std::exchange(other.new_name_, {})),
      replaced_(std::exchange(other.replaced_, {})) {}

output_file& output_file::operator=(output_file&& other) noexcept {
  if (this != &other) {
    remove_new_file();
    file_ = std::move(other.file_);
    new_name_ = std::exchange(other.new_name_, {});
    replaced_ = std::exchange(other.replaced_, {});
  }
  return *this;
}

bool output_file::finish() {
  bool closed = file_.close();
  if (new_name_.empty()) return closed;
  if (!closed || ::rename(new_name_.c_str(), replaced_.c_str()) != 0) {
    remove_new_file();
    return false;
  }
  new_name_.clear();
  return true;
}

void output_file::remove_new_file() {
  if (new_name_.empty()) return;
  ::unlink(new_name_.c_str());
  new_name_.clear();
}

namespace {

/// What `name` up to its last '/' is, that slash included: empty for a name
/// in the current folder.
std::string_view folder_part(std::string_view name) {
  std::size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? std::string_view()
                                         : name.substr(0, slash + 1);
}

/// The target of the symbolic link `name`; nothing when it is not one.
std::optional<std::string> link_target(const std::string& name) {
  char target[PATH_MAX];
  ssize_t size = ::readlink(name.c_str(), target, sizeof target);
  if (size < 0 || static_cast<std::size_t>(size) == sizeof target) {
    return std::nullopt;
  }
  return std::string(target, static_cast<std::size_t>(size));
}

/// `name` with the symbolic links at its end followed, so that the file
/// replaced is the one a write through `name` would reach, and the new file
/// is made in that file's folder.
std::string follow_symbolic_links(std::string name) {
  constexpr int most_links = 40;  // the kernel's own limit
  for (int i = 0; i < most_links; ++i) {
    std::optional<std::string> target = link_target(name);
    if (!target) break;
    name = target->starts_with('/') ? std::move(*target)
                                    : std::string(folder_part(name)) + *target;
  }
  return name;
}

/// Six letters or digits for a new file's name. The name is created
/// exclusively, so a guessed or repeated one costs only another try.
std::string random_letters() {
  constexpr std::string_view letters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) !=
      static_cast<ssize_t>(sizeof bytes)) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    auto mix = static_cast<unsigned long>(now.tv_nsec) ^
               static_cast<unsigned long>(::getpid()) << 16;
    for (unsigned char& byte : bytes) {
      byte = static_cast<unsigned char>(mix);
      mix = mix * 6364136223846793005ul + 1442695040888963407ul;
    }
  }
  std::string result;
  for (unsigned char byte : bytes) result += letters[byte % letters.size()];
  return result;
}

/// A new, hidden file beside `replaced`, ".NAME.XXXXXX", created with
/// `mode` (less the umask), to take its place; not open when the folder
/// takes no new file.
output_file create_beside(const std::string& replaced, mode_t mode) {
  std::string_view folder = folder_part(replaced);
  std::string_view base = std::string_view(replaced).substr(folder.size());
  constexpr int tries = 100;
  for (int i = 0; i < tries; ++i) {
    std::string name =
        std::string(folder) + "." + std::string(base) + "." + random_letters();
    int fd =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) return output_file(opened_file(fd), std::move(name), replaced);
    if (errno != EEXIST) break;
  }
  return {};
}

/// Gives the new file `fd` the owner and group of the file it replaces,
/// where the system allows (else the group alone, else neither), then its
/// permission bits. False when the bits cannot be set: the new file would
/// not be open to the readers and writers the old one was open to.
bool take_owner_and_mode(int fd, const struct stat& old) {
  struct stat now {};
  if (::fstat(fd, &now) != 0) return false;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0 &&
      ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // The new file stays the writer's, as any file it creates.
  }
  return ::fchmod(fd, old.st_mode & 0777) == 0;
}

/// The new file that is to replace `replaced`, described by `old`; not open
/// when it cannot be made like the old one.
output_file replacement_for(const std::string& replaced,
                            const struct stat& old) {
  output_file file = create_beside(replaced, old.st_mode & 0777);
  if (file.is_open() && !take_owner_and_mode(file.fd(), old)) return {};
  return file;
}

/// True when `name` is the file described by `info`: following the links
/// found the file that opening the output's name did.
bool names_file(const std::string& name, const struct stat& info) {
  struct stat found {};
  return ::stat(name.c_str(), &found) == 0 && found.st_dev == info.st_dev &&
         found.st_ino == info.st_ino;
}

opened_output opened(output_file file) {
  return {output_opening::opened, std::move(file)};
}

/// The output written in place, emptied first if it is a regular file.
opened_output written_in_place(opened_file file) {
  if (!truncate_if_regular(file.fd())) return {output_opening::cant_empty, {}};
  return opened(output_file(std::move(file)));
}

/// An output that exists: a regular file is replaced by a new one beside it
/// when its folder allows; anything else is written in place.
opened_output replace_existing(const std::string& name, opened_file existing) {
  struct stat info {};
  if (::fstat(existing.fd(), &info) != 0) {
    return {output_opening::cant_open, {}};
  }
  if (!S_ISREG(info.st_mode)) return written_in_place(std::move(existing));
  std::string replaced = follow_symbolic_links(name);
  if (!names_file(replaced, info)) return written_in_place(std::move(existing));
  output_file replacement = replacement_for(replaced, info);
  if (!replacement.is_open()) return written_in_place(std::move(existing));
  return opened(std::move(replacement));
}

/// An output that does not exist yet: made beside where it will be, then
/// renamed; when the folder takes no such file (it is read-only, or the
/// name too long for the prefix), opened as it always was, which fails if
/// the folder takes no new file at all.
opened_output create_new(const std::string& name, int input_fd) {
  output_file replacement = create_beside(follow_symbolic_links(name), 0666);
  if (replacement.is_open()) return opened(std::move(replacement));
  opened_file output = open_for_writing(name);
  if (!output.is_open()) return {output_opening::cant_open, {}};
  if (same_file(input_fd, output.fd())) return {output_opening::is_input, {}};
  return written_in_place(std::move(output));
}

}  // namespace

opened_output open_output_file(const std::string& name, int input_fd) {
  opened_file existing = open_existing_for_writing(name);
  if (!existing.is_open()) {
    if (errno != ENOENT) return {output_opening::cant_open, {}};
    return create_new(name, input_fd);
  }
  if (same_file(input_fd, existing.fd())) {
    return {output_opening::is_input, {}};
  }
  return replace_existing(name, std::move(existing));
}

}  // namespace tagweave
