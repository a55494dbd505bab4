#include "html/line_ends.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tagweave {

namespace {

/// Bytes at or below this may be folded or dropped: NUL, line feed and
/// carriage return. Everything above it is copied as it stands.
constexpr unsigned char last_foldable = '\r';

/// The first position at or after `from` holding a byte at or below
/// `last_foldable`, or `size`. Sixteen bytes at a time where SSE2 is there
/// (on every x86-64), a byte at a time for the rest.
std::size_t next_foldable(const char* data, std::size_t from,
                          std::size_t size) {
#if defined(__SSE2__)
  const __m128i limit = _mm_set1_epi8(static_cast<char>(last_foldable));
  for (; from + 16 <= size; from += 16) {
    __m128i bytes =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from));
    int mask =
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(bytes, limit), bytes));
    if (mask != 0) {
      return from + static_cast<std::size_t>(
                        __builtin_ctz(static_cast<unsigned>(mask)));
    }
  }
#endif
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
