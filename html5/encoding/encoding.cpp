// Which encoding a file is read in, and the label table behind it.
#include "html5/encoding/encoding.h"

#include "html5/encoding/encoding_decoders.h"
#include "html5/encoding/encoding_prescan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace tagweave::html5 {
namespace {

struct standard_encoding {
  std::string_view name;
  std::optional<encoding> decoded;
};

struct encoding_label {
  std::string_view label;
  std::uint8_t encoding_index;  ///< into standard_encodings
};

#include "html5/encoding/encoding_label_table.inc"

/// ASCII whitespace, which "get an encoding" trims from a label.
constexpr bool is_ascii_whitespace(char c) {
  return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_ascii_whitespace(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_ascii_whitespace(s.back())) s.remove_suffix(1);
  return s;
}

/// BOM sniffing: the encoding and length of a byte order mark, if any.
sniffed_encoding sniff_byte_order_mark(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return {lookup_label("utf-8"), 3};
  if (bytes.starts_with("\xFE\xFF")) return {lookup_label("utf-16be"), 2};
  if (bytes.starts_with("\xFF\xFE")) return {lookup_label("utf-16le"), 2};
  return {};
}

/// The text an unsupported encoding is named by in a message: the
/// standard's name, or the label itself when it names nothing.
std::string unsupported_name(const label_lookup& l, std::string_view label) {
  if (l.known_other) return std::string(l.canonical_name);
  std::string_view given = trimmed(label);
  return given.empty() ? "(an empty label)" : std::string(given);
}

/// Room for the output of a whole input: UTF-8 and windows-1252 text is
/// mostly ASCII, one byte out per byte in; two UTF-16 bytes become at most
/// three. Rarer growth (U+FFFD for one bad byte, say) is left to the string.
std::size_t expected_output_size(encoding e, std::size_t input_size) {
  bool utf16 = e == encoding::utf16le || e == encoding::utf16be;
  return utf16 ? input_size / 2 * 3 + 3 : input_size + input_size / 8;
}

}  // namespace

label_lookup lookup_label(std::string_view label) {
  label = trimmed(label);
  if (label.size() > longest_label) return {};
  std::array<char, longest_label> lower{};
  std::transform(label.begin(), label.end(), lower.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
  });
  std::string_view key(lower.data(), label.size());
  const encoding_label* entry = std::lower_bound(
      std::begin(encoding_labels), std::end(encoding_labels), key,
      [](const encoding_label& e, std::string_view k) { return e.label < k; });
  if (entry == std::end(encoding_labels) || entry->label != key) return {};
  const standard_encoding& named = standard_encodings[entry->encoding_index];
  return {named.decoded, !named.decoded, named.name};
}

std::string_view name_of(encoding e) {
  for (const standard_encoding& s : standard_encodings) {
    if (s.decoded == e) return s.name;
  }
  return {};
}

sniffed_encoding sniff_encoding(std::string_view bytes, std::size_t window) {
  sniffed_encoding bom = sniff_byte_order_mark(bytes);
  if (bom.bom_length != 0) return bom;
  return {prescan_for_encoding(bytes.substr(0, window)), 0};
}

namespace {

/// Whether `bytes` are UTF-8 as the Encoding standard's decoder accepts it
/// without a replacement: no overlong form, surrogate, code point beyond
/// U+10FFFF or truncated sequence.
bool is_valid_utf8(std::string_view bytes) {
  std::size_t i = 0, n = bytes.size();
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  auto continuation = [&](std::size_t k) {
    return k < n && (at(k) & 0xC0) == 0x80;
  };
  while (i < n) {
    // Runs of ASCII, eight bytes at a time.
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, bytes.data() + i, 8);
      if ((word & 0x8080808080808080u) != 0) break;
      i += 8;
    }
    if (i >= n) break;
    unsigned char c = at(i);
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0xC2 && c <= 0xDF && continuation(i + 1)) {
      i += 2;
    } else if (c >= 0xE0 && c <= 0xEF && continuation(i + 1) &&
               continuation(i + 2) && !(c == 0xE0 && at(i + 1) < 0xA0) &&
               !(c == 0xED && at(i + 1) > 0x9F)) {
      i += 3;
    } else if (c >= 0xF0 && c <= 0xF4 && continuation(i + 1) &&
               continuation(i + 2) && continuation(i + 3) &&
               !(c == 0xF0 && at(i + 1) < 0x90) &&
               !(c == 0xF4 && at(i + 1) > 0x8F)) {
      i += 4;
    } else {
      return false;
    }
  }
  return true;
}

/// The input stream's preprocessing in place: CR LF and lone CR become LF.
void normalize_newlines_in_place(std::string& text) {
  std::size_t cr = text.find('\r');
  if (cr == std::string::npos) return;
  std::size_t out = cr;
  for (std::size_t in = cr; in < text.size(); ++in) {
    if (text[in] != '\r') {
      text[out++] = text[in];
      continue;
    }
    text[out++] = '\n';
    if (in + 1 < text.size() && text[in + 1] == '\n') ++in;
  }
  text.resize(out);
}

/// Which encoding to decode with: the byte order mark's, the label's or
/// the prescan's; sets `result.used` and `result.unsupported`, and returns
/// the length of the byte order mark.
std::size_t choose_encoding(std::string_view bytes,
                            std::optional<std::string_view> override_label,
                            decoded_input& result) {
  sniffed_encoding sniffed = sniff_byte_order_mark(bytes);
  if (sniffed.bom_length == 0) {
    sniffed.found = override_label
                        ? lookup_label(*override_label)
                        : prescan_for_encoding(bytes.substr(0, prescan_window));
  }
  if (sniffed.found.found) {
    result.used = *sniffed.found.found;
  } else if (override_label || sniffed.found.known_other) {
    result.unsupported =
        unsupported_name(sniffed.found, override_label.value_or(""));
  }
  return sniffed.bom_length;
}

}  // namespace

decoded_input decode_owned_input(
    std::string bytes, std::optional<std::string_view> override_label) {
  decoded_input result;
  std::size_t bom = choose_encoding(bytes, override_label, result);
  if (result.used != encoding::utf8 ||
      !is_valid_utf8(std::string_view(bytes).substr(bom))) {
    return decode_input(std::string_view(bytes), override_label);
  }
  bytes.erase(0, bom);
  normalize_newlines_in_place(bytes);
  result.text = std::move(bytes);
  return result;
}

decoded_input decode_input(std::string_view bytes,
                           std::optional<std::string_view> override_label) {
  decoded_input result;
  std::size_t bom = choose_encoding(bytes, override_label, result);
  std::string_view body = bytes.substr(bom);
  result.text.reserve(expected_output_size(result.used, body.size()));
  decode_to_utf8(result.used, body, result.text);
  return result;
}

}  // namespace tagweave::html5
