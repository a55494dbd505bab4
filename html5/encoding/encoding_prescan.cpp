// The HTML standard's "prescan a byte stream to determine its encoding",
// with its "get an attribute" and "algorithm for extracting a character
// encoding from a meta element", step for step. Every step moves forward
// through the bytes, so the prescan is linear in what it reads.
#include "html5/encoding/encoding_prescan.h"

#include <optional>
#include <string>
#include <utility>

namespace tagweave::html5 {
namespace {

/// The bytes the prescan treats as ASCII whitespace.
constexpr bool is_space(unsigned char b) {
  return b == 0x09 || b == 0x0A || b == 0x0C || b == 0x0D || b == 0x20;
}

constexpr bool is_ascii_letter(unsigned char b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

constexpr char to_lower(unsigned char b) {
  return static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b);
}

bool is_encoding(const label_lookup& l) { return l.found || l.known_other; }

/// The algorithm for extracting a character encoding from a meta element,
/// over a content attribute's value (already lowercase: get an attribute
/// lowers ASCII letters). Empty when it returns nothing or failure.
label_lookup encoding_from_content(std::string_view s) {
  constexpr std::string_view charset = "charset";
  std::size_t position = 0;
  for (;;) {
    std::size_t at = s.find(charset, position);
    if (at == std::string_view::npos) return {};
    std::size_t i = at + charset.size();
    while (i < s.size() && is_space(s[i])) ++i;
    if (i == s.size() || s[i] != '=') {
      position = i;  // just before the character that was not '='
      continue;
    }
    ++i;
    while (i < s.size() && is_space(s[i])) ++i;
    if (i == s.size()) return {};
    char first = s[i];
    if (first == '"' || first == '\'') {
      std::size_t close = s.find(first, i + 1);
      if (close == std::string_view::npos) return {};  // unmatched quote
      return lookup_label(s.substr(i + 1, close - i - 1));
    }
    std::size_t stop = i;
    while (stop < s.size() && !is_space(s[stop]) && s[stop] != ';') ++stop;
    return lookup_label(s.substr(i, stop - i));
  }
}

/// What a <meta> tag's attributes add up to.
class meta_declaration {
 public:
  void take(const std::string& name, const std::string& value);
  /// The encoding the processing step returns, or empty to go on scanning.
  label_lookup result() const;

 private:
  // Only these three names matter, so only they need the attribute list
  // that makes a repeated name count once.
  bool seen_http_equiv_ = false;
  bool seen_content_ = false;
  bool seen_charset_ = false;
  bool got_pragma_ = false;
  std::optional<bool> need_pragma_;
  /// Empty while charset is null; a lookup that found nothing is failure.
  std::optional<label_lookup> charset_;
};

void meta_declaration::take(const std::string& name, const std::string& value) {
  if (name == "http-equiv") {
    if (std::exchange(seen_http_equiv_, true)) return;
    if (value == "content-type") got_pragma_ = true;
  } else if (name == "content") {
    if (std::exchange(seen_content_, true)) return;
    label_lookup from_content = encoding_from_content(value);
    if (is_encoding(from_content) && !charset_) {
      charset_ = from_content;
      need_pragma_ = true;
    }
  } else if (name == "charset") {
    if (std::exchange(seen_charset_, true)) return;
    charset_ = lookup_label(value);
    need_pragma_ = false;
  }
}

label_lookup meta_declaration::result() const {
  if (!need_pragma_ || (*need_pragma_ && !got_pragma_)) return {};
  if (!is_encoding(*charset_)) return {};
  if (charset_->found == encoding::utf16le ||
      charset_->found == encoding::utf16be) {
    return lookup_label("utf-8");
  }
  if (charset_->canonical_name == "x-user-defined") {
    return lookup_label("windows-1252");
  }
  return *charset_;
}

/// How a step that reads on ended: running out of bytes is the prescan's
/// end condition, which ends it with no result.
enum class step { done, ran_out };

class prescanner {
 public:
  explicit prescanner(std::string_view bytes) : bytes_(bytes) {}
  label_lookup run();

 private:
  enum class attribute_outcome { got_one, none, ran_out };

  bool at_end() const { return position_ >= bytes_.size(); }
  unsigned char byte() const { return bytes_[position_]; }
  unsigned char byte_at(std::size_t offset) const {
    std::size_t i = position_ + offset;
    return i < bytes_.size() ? bytes_[i] : 0;
  }
  bool looking_at(std::string_view s) const {
    return bytes_.substr(position_, s.size()) == s;
  }
  bool looking_at_meta() const;
  bool looking_at_tag() const;
  step skip_to(std::string_view s, std::size_t from);
  step read_meta(label_lookup& found);
  step skip_tag();
  attribute_outcome get_attribute();
  attribute_outcome read_value();

  std::string_view bytes_;
  std::size_t position_ = 0;
  std::string name_;  // the last attribute got, reused
  std::string value_;
};

label_lookup prescanner::run() {
  // Prescan for UTF-16 XML declarations: "<?x" in either byte order.
  if (looking_at(std::string_view("<\0?\0x\0", 6))) {
    return lookup_label("utf-16le");
  }
  if (looking_at(std::string_view("\0<\0?\0x", 6))) {
    return lookup_label("utf-16be");
  }
  for (; !at_end(); ++position_) {  // ++position_: the "next byte" step
    step outcome = step::done;
    if (looking_at("<!--")) {
      // The two dashes of "-->" may be those of "<!--".
      outcome = skip_to("-->", position_ + 2);
    } else if (looking_at_meta()) {
      label_lookup found;
      outcome = read_meta(found);
      if (is_encoding(found)) return found;
    } else if (looking_at_tag()) {
      outcome = skip_tag();
    } else if (byte() == '<' &&
               (byte_at(1) == '!' || byte_at(1) == '/' || byte_at(1) == '?')) {
      outcome = skip_to(">", position_ + 1);
    }
    if (outcome == step::ran_out) return {};
  }
  return {};
}

/// "<meta" in any case, then ASCII whitespace or '/'.
bool prescanner::looking_at_meta() const {
  constexpr std::string_view meta = "<meta";
  for (std::size_t i = 0; i < meta.size(); ++i) {
    if (to_lower(byte_at(i)) != meta[i]) return false;
  }
  unsigned char after = byte_at(meta.size());
  return is_space(after) || after == '/';
}

/// '<', maybe '/', then an ASCII letter: a start or end tag.
bool prescanner::looking_at_tag() const {
  if (byte() != '<') return false;
  return is_ascii_letter(byte_at(1)) ||
         (byte_at(1) == '/' && is_ascii_letter(byte_at(2)));
}

/// Moves to the last byte of the first `s` at or after `from`.
step prescanner::skip_to(std::string_view s, std::size_t from) {
  std::size_t at = bytes_.find(s, from);
  if (at == std::string_view::npos) return step::ran_out;
  position_ = at + s.size() - 1;
  return step::done;
}

/// From "<meta": its attributes, then the processing step; `found` is set
/// when the tag declares an encoding to use.
step prescanner::read_meta(label_lookup& found) {
  position_ += 5;  // at the whitespace or '/' after "<meta"
  meta_declaration declaration;
  for (;;) {
    attribute_outcome got = get_attribute();
    if (got == attribute_outcome::ran_out) return step::ran_out;
    if (got == attribute_outcome::none) break;
    declaration.take(name_, value_);
  }
  found = declaration.result();
  return step::done;
}

/// Any other tag: its name, then its attributes, which only move us on.
step prescanner::skip_tag() {
  while (!at_end() && !is_space(byte()) && byte() != '>') ++position_;
  for (;;) {
    attribute_outcome got = get_attribute();
    if (got == attribute_outcome::ran_out) return step::ran_out;
    if (got == attribute_outcome::none) return step::done;
  }
}

/// The HTML standard's "get an attribute": name_ and value_, lowercased.
prescanner::attribute_outcome prescanner::get_attribute() {
  while (!at_end() && (is_space(byte()) || byte() == '/')) ++position_;
  if (at_end()) return attribute_outcome::ran_out;
  if (byte() == '>') return attribute_outcome::none;
  name_.clear();
  value_.clear();
  // The attribute name; an '=' only ends a name that has begun.
  for (;; ++position_) {
    if (at_end()) return attribute_outcome::ran_out;
    unsigned char b = byte();
    if (b == '=' && !name_.empty()) {
      ++position_;
      return read_value();
    }
    if (is_space(b)) break;
    if (b == '/' || b == '>') return attribute_outcome::got_one;
    name_ += to_lower(b);
  }
  // Spaces: an '=' after them still gives the name a value.
  while (!at_end() && is_space(byte())) ++position_;
  if (at_end()) return attribute_outcome::ran_out;
  if (byte() != '=') return attribute_outcome::got_one;
  ++position_;
  return read_value();
}

/// The value steps of "get an attribute", from just after the '='.
prescanner::attribute_outcome prescanner::read_value() {
  while (!at_end() && is_space(byte())) ++position_;
  if (at_end()) return attribute_outcome::ran_out;
  unsigned char quote = byte();
  if (quote == '"' || quote == '\'') {
    for (++position_; !at_end(); ++position_) {
      if (byte() == quote) {
        ++position_;
        return attribute_outcome::got_one;
      }
      value_ += to_lower(byte());
    }
    return attribute_outcome::ran_out;
  }
  if (quote == '>') return attribute_outcome::got_one;
  for (; !at_end(); ++position_) {
    if (is_space(byte()) || byte() == '>') return attribute_outcome::got_one;
    value_ += to_lower(byte());
  }
  return attribute_outcome::ran_out;
}

}  // namespace

label_lookup prescan_for_encoding(std::string_view bytes) {
  return prescanner(bytes).run();
}

}  // namespace tagweave::html5
