// The decoders, which copy runs and read eight bytes at a time, against the
// Encoding standard's decoders written out step for step, one byte at a
// time, over every short input built from the bytes where their rules
// change.
#include "html5/encoding/encoding_decoders.h"

#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave::html5 {
namespace {

namespace test_text = tagweave::testing;

constexpr char32_t replacement = 0xFFFD;

/// Code points to UTF-8, with the input stream's preprocessing: CR LF and
/// lone CR become LF.
std::string preprocessed_utf8(const std::u32string& points) {
  std::string out;
  for (std::size_t i = 0; i < points.size(); ++i) {
    char32_t c = points[i];
    if (c == '\r') {
      if (i + 1 < points.size() && points[i + 1] == '\n') ++i;
      c = '\n';
    }
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
  return out;
}

/// The Encoding standard's UTF-8 decoder: its handler, byte by byte; a byte
/// "restored to the queue" is read again.
std::string standard_utf8(std::string_view bytes) {
  std::u32string points;
  char32_t code_point = 0;
  int needed = 0;
  int seen = 0;
  unsigned lower = 0x80;
  unsigned upper = 0xBF;
  for (std::size_t i = 0; i <= bytes.size();) {
    if (i == bytes.size()) {
      if (needed != 0) points += replacement;
      break;
    }
    auto byte = static_cast<unsigned char>(bytes[i]);
    if (needed == 0) {
      ++i;
      if (byte <= 0x7F) {
        points += byte;
      } else if (byte >= 0xC2 && byte <= 0xDF) {
        needed = 1;
        code_point = byte & 0x1F;
      } else if (byte >= 0xE0 && byte <= 0xEF) {
        if (byte == 0xE0) lower = 0xA0;
        if (byte == 0xED) upper = 0x9F;
        needed = 2;
        code_point = byte & 0xF;
      } else if (byte >= 0xF0 && byte <= 0xF4) {
        if (byte == 0xF0) lower = 0x90;
        if (byte == 0xF4) upper = 0x8F;
        needed = 3;
        code_point = byte & 0x7;
      } else {
        points += replacement;
      }
      continue;
    }
    if (byte < lower || byte > upper) {
      code_point = 0;
      needed = seen = 0;
      lower = 0x80;
      upper = 0xBF;
      points += replacement;
      continue;  // the byte is read again
    }
    ++i;
    lower = 0x80;
    upper = 0xBF;
    code_point = (code_point << 6) | (byte & 0x3F);
    if (++seen == needed) {
      points += code_point;
      code_point = 0;
      needed = seen = 0;
    }
  }
  return preprocessed_utf8(points);
}

/// The Encoding standard's shared UTF-16 decoder.
std::string standard_utf16(std::string_view bytes, bool big_endian) {
  std::u32string points;
  int lead_byte = -1;
  char32_t lead_surrogate = 0;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    if (i == bytes.size()) {
      if (lead_byte != -1 || lead_surrogate != 0) points += replacement;
      break;
    }
    auto byte = static_cast<unsigned char>(bytes[i]);
    if (lead_byte == -1) {
      lead_byte = byte;
      continue;
    }
    char32_t unit =
        big_endian ? (lead_byte << 8) + byte : (byte << 8) + lead_byte;
    lead_byte = -1;
    if (lead_surrogate != 0) {
      char32_t lead = lead_surrogate;
      lead_surrogate = 0;
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        points += 0x10000 + ((lead - 0xD800) << 10) + (unit - 0xDC00);
        continue;
      }
      points += replacement;
      // The unit's two bytes go back to the queue: read them again.
      i -= 2;
      continue;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      lead_surrogate = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      points += replacement;
    } else {
      points += unit;
    }
  }
  return preprocessed_utf8(points);
}

/// Calls `check` on every string of length up to `longest` over `alphabet`.
void for_every_string(std::string_view alphabet, std::size_t longest,
                      const std::function<void(const std::string&)>& check) {
  std::vector<std::size_t> digits;
  for (std::size_t length = 0; length <= longest; ++length) {
    digits.assign(length, 0);
    for (;;) {
      std::string s;
      for (std::size_t d : digits) s += alphabet[d];
      check(s);
      std::size_t k = 0;
      while (k < length && ++digits[k] == alphabet.size()) digits[k++] = 0;
      if (k == length) break;
    }
  }
}

std::string decoded(encoding e, std::string_view bytes) {
  std::string out;
  decode_to_utf8(e, bytes, out);
  return out;
}

TEST(EncodingDecoders, Utf8MatchesTheStandardsDecoderOnEveryShortInput) {
  // Each byte where the lead byte classes, or the first continuation
  // byte's boundaries, change; and CR, LF.
  constexpr std::string_view boundaries =
      "\x0A\x0D\x41\x7F\x80\x8F\x90\x9F\xA0\xBF\xC0\xC1\xC2\xDF\xE0\xE1\xEC"
      "\xED\xEE\xEF\xF0\xF1\xF3\xF4\xF5\xFF";
  int failures = 0;
  for_every_string(boundaries, 4, [&](const std::string& bytes) {
    std::string want = standard_utf8(bytes);
    std::string got = decoded(encoding::utf8, bytes);
    if (got != want && ++failures <= 10) {
      ADD_FAILURE() << "bytes " << test_text::quoted(bytes) << "\n got "
                    << test_text::quoted(got) << "\nwant "
                    << test_text::quoted(want);
    }
  });
}

TEST(EncodingDecoders, Utf16MatchesTheStandardsDecoderOnEveryShortInput) {
  // Bytes that make, with any other, ASCII, CR, LF, the ends of the lead
  // and trail surrogate ranges and the units beside them.
  constexpr std::string_view bytes_of_units =
      "\x00\x0A\x0D\x41\xD7\xD8\xDB\xDC\xDF\xE0";
  const std::string_view alphabet(bytes_of_units.data(), 10);
  int failures = 0;
  for (bool big_endian : {false, true}) {
    encoding e = big_endian ? encoding::utf16be : encoding::utf16le;
    for_every_string(alphabet, 6, [&](const std::string& bytes) {
      std::string want = standard_utf16(bytes, big_endian);
      std::string got = decoded(e, bytes);
      if (got != want && ++failures <= 10) {
        ADD_FAILURE() << (big_endian ? "BE" : "LE") << " bytes "
                      << test_text::quoted(bytes) << "\n got "
                      << test_text::quoted(got) << "\nwant "
                      << test_text::quoted(want);
      }
    });
  }
}

}  // namespace
}  // namespace tagweave::html5
