#include "early/reader/char_refs.h"

#include "early/reader/char_class.h"

#include <array>
#include <cstring>

namespace tagweave {
namespace {

struct named_reference {
  std::string_view name;  // without the '&'
  char byte;
};

// Tried in this order; none is a prefix of another.
constexpr std::array<named_reference, 3> named_references{{
    {"lt", '<'},
    {"gt", '>'},
    {"amp", '&'},
}};

bool starts_with_folded(std::string_view text, std::size_t pos,
                        std::string_view lower_name) {
  if (text.size() - pos < lower_name.size()) return false;
  for (std::size_t i = 0; i < lower_name.size(); ++i) {
    if (fold_case(text[pos + i]) != lower_name[i]) return false;
  }
  return true;
}

std::size_t skip_blanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && is_html_blank(text[pos])) ++pos;
  return pos;
}

std::size_t skip_digits(std::string_view text, std::size_t pos) {
  while (pos < text.size() && is_ascii_digit(text[pos])) ++pos;
  return pos;
}

/// The position just past the ';' when only blanks stand between `pos` and
/// a ';', else nothing.
std::optional<std::size_t> past_blanks_and_semicolon(std::string_view text,
                                                     std::size_t pos) {
  pos = skip_blanks(text, pos);
  if (pos < text.size() && text[pos] == ';') return pos + 1;
  return std::nullopt;
}

std::optional<decoded_reference> decode_named(std::string_view text,
                                              std::size_t amp,
                                              bool terminated) {
  for (const named_reference& ref : named_references) {
    if (!starts_with_folded(text, amp + 1, ref.name)) continue;
    std::size_t name_end = amp + 1 + ref.name.size();
    if (!terminated) return decoded_reference{ref.byte, name_end};
    // A terminated reference is the whole name, with nothing but blanks
    // before its ';'.
    if (auto resume = past_blanks_and_semicolon(text, name_end)) {
      return decoded_reference{ref.byte, *resume};
    }
    return std::nullopt;
  }
  return std::nullopt;
}

/// The value of a run of decimal digits, saturated just above 255: anything
/// larger is out of range however long the run.
int saturated_value(std::string_view digits) {
  int value = 0;
  for (char d : digits) {
    value = value * 10 + (d - '0');
    if (value > 255) return 256;
  }
  return value;
}

std::optional<decoded_reference> decode_numeric(std::string_view text,
                                                std::size_t amp,
                                                bool terminated) {
  std::size_t pos = amp + 2;  // past "&#"
  bool negative = false;
  if (terminated) {
    // A terminated number is read as atoi reads it: white space, then an
    // optional sign.
    while (pos < text.size() && is_c_space(text[pos])) ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
      negative = text[pos] == '-';
      ++pos;
    }
  }
  std::size_t digits_end = skip_digits(text, pos);
  int value = saturated_value(text.substr(pos, digits_end - pos));
  // Zero would cut the text short and larger values are no single byte:
  // such a reference stays as written.
  if (negative || value < 1 || value > 255) return std::nullopt;
  char byte = static_cast<char>(static_cast<unsigned char>(value));
  if (terminated) {
    if (auto resume = past_blanks_and_semicolon(text, digits_end)) {
      return decoded_reference{byte, *resume};
    }
  }
  return decoded_reference{byte, digits_end};
}

}  // namespace

bool is_reference_start(std::string_view text, std::size_t pos) {
  return pos + 1 < text.size() && text[pos] == '&' &&
         (text[pos + 1] == '#' || is_ascii_letter(text[pos + 1]));
}

std::optional<decoded_reference> decode_reference(std::string_view text,
                                                  std::size_t amp,
                                                  bool terminated) {
  if (text[amp + 1] == '#') return decode_numeric(text, amp, terminated);
  return decode_named(text, amp, terminated);
}

std::size_t decode_entities(char* data, std::size_t size) {
  std::string_view text(data, size);
  std::size_t read = find_byte(text, '&', 0);
  if (read == std::string_view::npos) return size;
  // Whether a reference is terminated only asks if any ';' follows it, so
  // the last ';' of the text answers it for every reference at once. It is
  // looked for when the first reference is met: many texts have an '&'
  // that begins none.
  std::optional<std::size_t> last_semicolon;
  std::size_t write = read;
  while (read < size) {
    if (is_reference_start(text, read)) {
      if (!last_semicolon) last_semicolon = find_last_byte(text, ';');
      bool terminated =
          *last_semicolon != std::string_view::npos && *last_semicolon > read;
      if (auto ref = decode_reference(text, read, terminated)) {
        data[write++] = ref->byte;
        read = ref->resume;
        continue;
      }
    }
    // Copy down the plain run up to the next '&' in one move. Writing stays
    // behind reading, so what is still to be read is never overwritten.
    std::size_t next = find_byte(text, '&', read + 1);
    if (next == std::string_view::npos) next = size;
    if (write != read) std::memmove(data + write, data + read, next - read);
    write += next - read;
    read = next;
  }
  return write;
}

void decode_entities(std::string& text) {
  text.resize(decode_entities(text.data(), text.size()));
}

}  // namespace tagweave
