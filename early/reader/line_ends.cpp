#include "early/reader/line_ends.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tagweave {

namespace {

/// Whether `byte`, read right after `previous` (-1: nothing yet), is
/// dropped: a NUL, or a line end repeating the byte before it.
bool is_dropped(unsigned char byte, int previous) {
  return byte == '\0' ||
         ((byte == '\n' || byte == '\r') && static_cast<int>(byte) == previous);
}

/// The first position at or after `from` whose byte is dropped, or `size`.
/// `previous` is the byte read before `from`; after it each byte's
/// predecessor is the one before it in `data`, which is still as read.
/// Sixteen bytes at a time where SSE2 is there (on every x86-64): a line
/// end costs nothing unless it repeats.
std::size_t next_dropped(const char* data, std::size_t from, std::size_t size,
                         int previous) {
  if (from == size) return size;
  if (is_dropped(static_cast<unsigned char>(data[from]), previous)) {
    return from;
  }
  std::size_t at = from + 1;
#if defined(__SSE2__)
  const __m128i line_feeds = _mm_set1_epi8('\n');
  const __m128i returns = _mm_set1_epi8('\r');
  const __m128i zeros = _mm_setzero_si128();
  for (; at + 16 <= size; at += 16) {
    auto load = [](const char* p) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    __m128i bytes = load(data + at);
    __m128i before = load(data + at - 1);
    __m128i line_ends = _mm_or_si128(_mm_cmpeq_epi8(bytes, line_feeds),
                                     _mm_cmpeq_epi8(bytes, returns));
    __m128i repeated = _mm_and_si128(line_ends, _mm_cmpeq_epi8(bytes, before));
    int mask =
        _mm_movemask_epi8(_mm_or_si128(repeated, _mm_cmpeq_epi8(bytes, zeros)));
    if (mask != 0) {
      return at + static_cast<std::size_t>(
                      __builtin_ctz(static_cast<unsigned>(mask)));
    }
  }
#endif
  for (; at < size; ++at) {
    if (is_dropped(static_cast<unsigned char>(data[at]),
                   static_cast<unsigned char>(data[at - 1]))) {
      return at;
    }
  }
  return size;
}

}  // namespace

std::size_t line_end_folder::fold(char* data, std::size_t size) {
  std::size_t read = 0;
  std::size_t write = 0;
  while (read < size) {
    std::size_t kept_end = next_dropped(data, read, size, previous_);
    if (kept_end > read) {
      // The stretch to keep moves down by what was dropped so far; its last
      // byte, as read, is the one before whatever comes next.
      previous_ = static_cast<unsigned char>(data[kept_end - 1]);
      if (write != read) {
        std::memmove(data + write, data + read, kept_end - read);
      }
      write += kept_end - read;
      read = kept_end;
    }
    if (read == size) break;
    // A dropped byte still counts as the last one read.
    previous_ = static_cast<unsigned char>(data[read++]);
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
