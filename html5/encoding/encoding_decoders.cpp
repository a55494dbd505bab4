// Decoders that copy runs: the bytes that pass through unchanged (ASCII
// other than CR, and for UTF-8 every well-formed sequence) are appended to
// the output a run at a time; only CR, errors and bytes that need
// re-encoding are handled one by one. Runs of plain ASCII are found eight
// bytes at a time.
#include "html5/encoding/encoding_decoders.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace tagweave::html5 {
namespace {

#include "html5/encoding/encoding_windows_1252.inc"

using byte_ptr = const unsigned char*;

constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

constexpr std::uint64_t every_byte(unsigned char b) {
  return 0x0101010101010101ULL * b;
}

/// Whether the eight bytes at `p` are all ASCII and none is CR.
bool plain_ascii_word(byte_ptr p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  std::uint64_t cr_zeroed = word ^ every_byte('\r');
  // The high bit of a byte is set here if the byte is not ASCII, and for a
  // zero byte of cr_zeroed (the classic has-zero-byte test; exact as to
  // whether any exists, which is all we ask).
  std::uint64_t stops = word | ((cr_zeroed - every_byte(1)) & ~cr_zeroed);
  return (stops & every_byte(0x80)) == 0;
}

/// The first byte at or after `p` that is not ASCII or is CR.
byte_ptr skip_plain_ascii(byte_ptr p, byte_ptr end) {
  while (end - p >= 8 && plain_ascii_word(p)) p += 8;
  while (p < end && *p < 0x80 && *p != '\r') ++p;
  return p;
}

void append(std::string& out, byte_ptr from, byte_ptr to) {
  out.append(reinterpret_cast<const char*>(from),
             static_cast<std::size_t>(to - from));
}

/// Appends the LF that a CR becomes and returns where decoding goes on:
/// past a LF that follows, which the CR LF pair absorbs.
byte_ptr end_line_at_cr(std::string& out, byte_ptr cr, byte_ptr end) {
  out += '\n';
  byte_ptr next = cr + 1;
  return next < end && *next == '\n' ? next + 1 : next;
}

void append_code_point(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// --- UTF-8 -------------------------------------------------------------------

/// How the UTF-8 decoder reads the bytes from a non-ASCII byte on: `length`
/// bytes that form one code point, or (not `valid`) that it turns into one
/// U+FFFD before it looks at the next byte.
struct utf8_sequence {
  std::size_t length;
  bool valid;
};

/// The UTF-8 decoder's steps from a byte that is not ASCII: the lead byte
/// sets how many continuation bytes follow and the range of the first
/// (UTF-8 lower and upper boundary), which excludes overlong forms,
/// surrogates and code points beyond U+10FFFF. A byte outside its range ends
/// the error before itself; the end of the input ends it after everything.
utf8_sequence read_utf8_sequence(byte_ptr p, byte_ptr end) {
  unsigned char lead = *p;
  std::size_t needed = 0;
  unsigned char lower = 0x80;
  unsigned char upper = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    needed = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    needed = 2;
    if (lead == 0xE0) lower = 0xA0;
    if (lead == 0xED) upper = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    needed = 3;
    if (lead == 0xF0) lower = 0x90;
    if (lead == 0xF4) upper = 0x8F;
  } else {
    return {1, false};
  }
  for (std::size_t seen = 1; seen <= needed; ++seen) {
    if (p + seen == end) return {seen, false};
    unsigned char b = p[seen];
    if (b < lower || b > upper) return {seen, false};
    lower = 0x80;
    upper = 0xBF;
  }
  return {needed + 1, true};
}

void decode_utf8(std::string_view bytes, std::string& out) {
  auto p = reinterpret_cast<byte_ptr>(bytes.data());
  byte_ptr end = p + bytes.size();
  byte_ptr run = p;  // start of the bytes still to copy as they are
  for (;;) {
    p = skip_plain_ascii(p, end);
    if (p == end) break;
    if (*p == '\r') {
      append(out, run, p);
      p = run = end_line_at_cr(out, p, end);
      continue;
    }
    // Non-ASCII text comes in runs: stay here while it lasts.
    do {
      utf8_sequence sequence = read_utf8_sequence(p, end);
      if (!sequence.valid) {
        append(out, run, p);
        out += replacement_character;
        run = p + sequence.length;
      }
      p += sequence.length;
    } while (p != end && *p >= 0x80);
  }
  append(out, run, end);
}

// --- windows-1252 ------------------------------------------------------------

/// A code point of the high half as UTF-8 bytes.
struct utf8_char {
  std::array<char, 3> bytes;
  std::uint8_t size;
};

constexpr utf8_char utf8_of(char16_t c) {
  if (c < 0x800) {
    return {{static_cast<char>(0xC0 | (c >> 6)),
             static_cast<char>(0x80 | (c & 0x3F)), 0},
            2};
  }
  return {{static_cast<char>(0xE0 | (c >> 12)),
           static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
           static_cast<char>(0x80 | (c & 0x3F))},
          3};
}

constexpr std::array<utf8_char, 128> make_windows_1252_utf8() {
  std::array<utf8_char, 128> table{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    table[i] = utf8_of(windows_1252_high_half[i]);
  }
  return table;
}

/// index-windows-1252, already in UTF-8.
constexpr std::array<utf8_char, 128> windows_1252_utf8 =
    make_windows_1252_utf8();

void decode_windows_1252(std::string_view bytes, std::string& out) {
  auto p = reinterpret_cast<byte_ptr>(bytes.data());
  byte_ptr end = p + bytes.size();
  for (;;) {
    byte_ptr run = p;
    p = skip_plain_ascii(p, end);
    append(out, run, p);
    if (p == end) break;
    if (*p == '\r') {
      p = end_line_at_cr(out, p, end);
    } else {
      const utf8_char& c = windows_1252_utf8[*p - 0x80];
      out.append(c.bytes.data(), c.size);
      ++p;
    }
  }
}

// --- UTF-16 ------------------------------------------------------------------

constexpr bool is_lead_surrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool is_trail_surrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

/// The shared UTF-16 decoder, code unit by code unit. A lead surrogate not
/// followed by a trail surrogate is an error and the unit after it is read
/// afresh; a lone trail surrogate is an error; at the end, a pending lead
/// surrogate or odd byte is one error.
template <bool big_endian>
void decode_utf16(std::string_view bytes, std::string& out) {
  auto p = reinterpret_cast<byte_ptr>(bytes.data());
  byte_ptr end = p + (bytes.size() & ~std::size_t{1});
  char16_t lead = 0;      // a lead surrogate waiting for its trail, or 0
  bool after_cr = false;  // the last code point written was a CR (as LF)
  for (; p != end; p += 2) {
    auto unit = static_cast<char16_t>(big_endian ? (p[0] << 8) | p[1]
                                                 : p[0] | (p[1] << 8));
    if (lead != 0) {
      char16_t pending = lead;
      lead = 0;
      after_cr = false;
      if (is_trail_surrogate(unit)) {
        append_code_point(
            out, 0x10000 + ((pending - 0xD800) << 10) + (unit - 0xDC00));
        continue;
      }
      out += replacement_character;
    }
    if (is_lead_surrogate(unit)) {
      lead = unit;
    } else if (is_trail_surrogate(unit)) {
      out += replacement_character;
      after_cr = false;
    } else if (unit == '\n' && after_cr) {
      after_cr = false;
    } else {
      after_cr = unit == '\r';
      append_code_point(out, after_cr ? U'\n' : unit);
    }
  }
  if (lead != 0 || bytes.size() % 2 != 0) out += replacement_character;
}

}  // namespace

void decode_to_utf8(encoding e, std::string_view bytes, std::string& out) {
  switch (e) {
    case encoding::utf8: decode_utf8(bytes, out); return;
    case encoding::utf16le: decode_utf16<false>(bytes, out); return;
    case encoding::utf16be: decode_utf16<true>(bytes, out); return;
    case encoding::windows1252: decode_windows_1252(bytes, out); return;
  }
}

}  // namespace tagweave::html5
