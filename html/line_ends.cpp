#include "html/line_ends.h"

#include <cstdint>
#include <cstring>

namespace tagweave {

namespace {

/// Bytes at or below this may be folded or dropped: NUL, line feed and
/// carriage return. Everything above it is copied as it stands.
constexpr unsigned char last_foldable = '\r';

/// The first position at or after `from` holding a byte at or below
/// `last_foldable`, or `size`. Eight bytes are tested at a time: a word has
/// such a byte exactly when subtracting the next value from each byte
/// borrows into a byte whose top bit was clear.
std::size_t next_foldable(const char* data, std::size_t from,
                          std::size_t size) {
  constexpr std::uint64_t ones = 0x0101010101010101u;
  constexpr std::uint64_t highs = 0x8080808080808080u;
  constexpr std::uint64_t limits = ones * (last_foldable + 1u);
  while (from + sizeof(std::uint64_t) <= size) {
    std::uint64_t word;
    std::memcpy(&word, data + from, sizeof word);
    if (((word - limits) & ~word & highs) != 0) break;
    from += sizeof word;
  }
  while (from<size&& static_cast<unsigned char>(data[from])> last_foldable) {
    ++from;
  }
  return from;
}

}  // namespace

std::size_t line_end_folder::fold(char* data, std::size_t size) {
  std::size_t read = 0;
  std::size_t write = 0;
  while (read < size) {
    std::size_t plain_end = next_foldable(data, read, size);
    if (plain_end > read) {
      // Nothing to fold: the stretch moves down by what was dropped so far.
      if (write != read)
        std::memmove(data + write, data + read, plain_end - read);
      write += plain_end - read;
      previous_ = static_cast<unsigned char>(data[write - 1]);
      read = plain_end;
      if (read == size) break;
    }
    char c = data[read++];
    int byte = static_cast<unsigned char>(c);
    // A dropped byte still counts as the last one read.
    bool repeated_line_end = byte == previous_ && (c == '\n' || c == '\r');
    previous_ = byte;
    if (repeated_line_end || c == '\0') continue;
    data[write++] = c;
  }
  return write;
}

void line_end_folder::append(std::string& text, std::string_view chunk) {
  std::size_t kept = text.size();
  text.append(chunk);
  text.resize(kept + fold(text.data() + kept, chunk.size()));
}

std::string fold_line_ends(std::string_view text) {
  std::string folded;
  line_end_folder().append(folded, text);
  return folded;
}

}  // namespace tagweave
