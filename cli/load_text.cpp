#include "cli/load_text.h"

#include "early/reader/line_ends.h"
#include "output/huge_pages.h"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <new>

namespace tagweave {

namespace {

/// The most one read asks for: small enough to stay in the cache between
/// the kernel's copy and the fold's pass over it, large enough that reads
/// are few.
constexpr std::size_t max_read_piece = 256 * 1024;

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

/// Reads `fd` to its end straight into the text, handing each piece read
/// to `keep`, which may shorten it in place and returns how much of it
/// stays. The text is never copied but to grow when a pipe or a growing
/// file outruns the room first made.
template <typename Keep>
loaded_text load(int fd, Keep keep) {
  loaded_text result;
  try {
    std::string& text = result.text;
    make_room(text, first_room(fd));
    std::size_t kept = 0;
    for (;;) {
      if (kept == text.size()) make_room(text, text.size() * 2);
      // A piece at a time, so that the fold reads each while it is still
      // in the cache the kernel's copy left it in.
      std::size_t piece = std::min(text.size() - kept, max_read_piece);
      ssize_t got = ::read(fd, text.data() + kept, piece);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        result.status = load_status::read_error;
        break;
      }
      kept += keep(text.data() + kept, static_cast<std::size_t>(got));
    }
    text.resize(kept);
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
  return load(fd, [&folder](char* piece, std::size_t size) {
    return folder.fold(piece, size);
  });
}

loaded_text load_bytes(int fd) {
  return load(fd, [](char*, std::size_t size) { return size; });
}

}  // namespace tagweave
