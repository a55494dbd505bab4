// Which encoding a file is read in, and the label table behind it.
#include "html5/encoding.h"

#include "html5/encoding_decoders.h"
#include "html5/encoding_prescan.h"

#include <algorithm>
#include <array>
#include <cstdint>

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

#include "html5/encoding_label_table.inc"

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

decoded_input decode_input(std::string_view bytes,
                           std::optional<std::string_view> override_label) {
  decoded_input result;
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
  std::string_view body = bytes.substr(sniffed.bom_length);
  result.text.reserve(expected_output_size(result.used, body.size()));
  decode_to_utf8(result.used, body, result.text);
  return result;
}

}  // namespace tagweave::html5
