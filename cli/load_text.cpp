#include "cli/load_text.h"

#include "cli/huge_pages.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <new>

namespace tagweave {

namespace {

/// Room for the first read: a regular file's whole size and one byte more,
/// so that the read that finds its end needs no growth; else a chunk.
std::size_t first_room(int fd) {
  constexpr std::size_t chunk = 64 * 1024;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    return static_cast<std::size_t>(info.st_size) + 1;
  }
  return chunk;
}

/// Makes room for `size` bytes in `text`. A large text is backed by huge
/// pages where the kernel offers them on request: a 20 MB file then takes a
/// few hundred page faults instead of five thousand.
void make_room(std::string& text, std::size_t size) {
  if (size >= 2 * huge_page_bytes && text.capacity() < size) {
    text.reserve(size);  // not yet touched: the advice comes first
    advise_huge_pages(text.data(), size);
  }
  text.resize(size);
}

}  // namespace

loaded_text load_bytes(int fd) {
  loaded_text result;
  try {
    std::string& text = result.text;
    make_room(text, first_room(fd));
    std::size_t kept = 0;
    for (;;) {
      // Grown only when a pipe or a growing file outruns the room first made.
      if (kept == text.size()) make_room(text, text.size() * 2);
      ssize_t got = ::read(fd, text.data() + kept, text.size() - kept);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        result.status = load_status::read_error;
        break;
      }
      kept += static_cast<std::size_t>(got);
    }
    text.resize(kept);
  } catch (const std::bad_alloc&) {
    result.text.clear();
    result.text.shrink_to_fit();
    result.status = load_status::out_of_memory;
  }
  return result;
}

}  // namespace tagweave
