#include "driver/load_text.h"

#include "html/line_ends.h"

#include <sys/stat.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <new>

namespace tagweave {

namespace {

/// Reserves room for a regular file's whole contents up front.
void reserve_for(int fd, std::string& text) {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    text.reserve(static_cast<std::size_t>(info.st_size));
  }
}

/// Reads `fd` to its end, handing each chunk to `append`, which adds it to
/// the text.
template <typename Append>
loaded_text load(int fd, Append append) {
  loaded_text result;
  try {
    reserve_for(fd, result.text);
    std::array<char, 64 * 1024> chunk;
    for (;;) {
      ssize_t got = ::read(fd, chunk.data(), chunk.size());
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        result.status = load_status::read_error;
        break;
      }
      append(result.text,
             std::string_view(chunk.data(), static_cast<std::size_t>(got)));
    }
  } catch (const std::bad_alloc&) {
    result.text.clear();
    result.text.shrink_to_fit();
    result.status = load_status::out_of_memory;
  }
  return result;
}

}  // namespace

loaded_text load_text(int fd) {
  line_end_folder folder;
  return load(fd, [&folder](std::string& text, std::string_view chunk) {
    folder.append(text, chunk);
  });
}

loaded_text load_bytes(int fd) {
  return load(fd, [](std::string& text, std::string_view chunk) {
    text.append(chunk);
  });
}

}  // namespace tagweave
