// The character classes the reader needs, fixed to ASCII so that no locale
// can change them: bytes 128 to 255 are never letters, digits or blanks.
#pragma once

#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tagweave {

constexpr bool is_ascii_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

/// The blanks of HTML text: tab, line feed and space. Carriage return, form
/// feed and vertical tab are not among them.
constexpr bool is_html_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

/// White space as C's isspace sees it in the POSIX locale: the blanks plus
/// vertical tab, form feed and carriage return. Ends a tag name and is
/// skipped before a number.
constexpr bool is_c_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

/// ASCII letters compare without regard to case; every other byte matches
/// only itself.
constexpr char fold_case(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

#if defined(__SSE2__)
/// A bit for each of the sixteen bytes at `at` that equals `first` or
/// `second`.
inline unsigned either_mask(const char* at, __m128i first, __m128i second) {
  __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
      _mm_cmpeq_epi8(bytes, first), _mm_cmpeq_epi8(bytes, second))));
}
#endif

/// The first position at or after `from` holding `first` or `second`, or
/// npos: one pass where two searches would each read the text. Between
/// tags the byte looked for is often a few bytes on, so the search is
/// inline rather than a library call: sixteen bytes at a time where SSE2
/// is there (on every x86-64), else and for the last few a byte at a time.
inline std::size_t find_either(std::string_view text, char first, char second,
                               std::size_t from) {
  std::size_t at = from;
#if defined(__SSE2__)
  const __m128i firsts = _mm_set1_epi8(first);
  const __m128i seconds = _mm_set1_epi8(second);
  for (; at + 16 <= text.size(); at += 16) {
    if (unsigned mask = either_mask(text.data() + at, firsts, seconds)) {
      return at + static_cast<std::size_t>(__builtin_ctz(mask));
    }
  }
#endif
  for (; at < text.size(); ++at) {
    if (text[at] == first || text[at] == second) return at;
  }
  return std::string_view::npos;
}

/// text.rfind(byte): sixteen bytes at a time from the end where SSE2 is
/// there, since the byte looked for may be far back or absent.
inline std::size_t find_last_byte(std::string_view text, char byte) {
  std::size_t end = text.size();
#if defined(__SSE2__)
  const __m128i bytes = _mm_set1_epi8(byte);
  for (; end >= 16; end -= 16) {
    if (unsigned mask = either_mask(text.data() + end - 16, bytes, bytes)) {
      return end - 16 + 31 - static_cast<std::size_t>(__builtin_clz(mask));
    }
  }
#endif
  while (end > 0) {
    if (text[--end] == byte) return end;
  }
  return std::string_view::npos;
}

/// text.find(byte, from), inline for the same reason.
inline std::size_t find_byte(std::string_view text, char byte,
                             std::size_t from) {
  return find_either(text, byte, byte, from);
}

}  // namespace tagweave
