// Test support: a small JSON reader for html5lib-tests' files and for
// reading the token dump back. Strings become UTF-8; a \u escape of a lone
// surrogate half becomes the three bytes UTF-8 would give it (ED A0..BF xx),
// which is not valid UTF-8 but lets a test see and skip such a string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tagweave::testing {

struct json_member;

struct json_value {
  enum class kind { null, boolean, number, string, array, object };
  kind type = kind::null;
  bool boolean = false;
  std::string text;  ///< a string's value, or a number as written
  std::vector<json_value> items;
  std::vector<json_member> members;  ///< in file order

  /// The member named `key` of an object, or nullptr.
  const json_value* find(std::string_view key) const;
};

struct json_member {
  std::string name;
  json_value value;
};

inline const json_value* json_value::find(std::string_view key) const {
  for (const json_member& m : members) {
    if (m.name == key) return &m.value;
  }
  return nullptr;
}

/// Objects are equal when they have the same members in any order.
inline bool operator==(const json_value& a, const json_value& b) {
  if (a.type != b.type || a.boolean != b.boolean || a.text != b.text ||
      a.items != b.items || a.members.size() != b.members.size()) {
    return false;
  }
  for (const json_member& m : a.members) {
    const json_value* other = b.find(m.name);
    if (other == nullptr || !(*other == m.value)) return false;
  }
  return true;
}

namespace json_detail {

inline bool is_high_surrogate(std::uint32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
inline bool is_low_surrogate(std::uint32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

/// UTF-8 of `code_point`, surrogate halves included (see the file comment).
inline void append_code_point(std::string& out, std::uint32_t code_point) {
  auto byte = [](std::uint32_t bits) { return static_cast<char>(bits); };
  if (code_point < 0x80) {
    out += byte(code_point);
  } else if (code_point < 0x800) {
    out += byte(0xC0 | (code_point >> 6));
    out += byte(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += byte(0xE0 | (code_point >> 12));
    out += byte(0x80 | ((code_point >> 6) & 0x3F));
    out += byte(0x80 | (code_point & 0x3F));
  } else {
    out += byte(0xF0 | (code_point >> 18));
    out += byte(0x80 | ((code_point >> 12) & 0x3F));
    out += byte(0x80 | ((code_point >> 6) & 0x3F));
    out += byte(0x80 | (code_point & 0x3F));
  }
}

/// The four hex digits at `pos` of `text`, or nullopt.
inline std::optional<std::uint32_t> hex4(std::string_view text,
                                         std::size_t pos) {
  if (text.size() < pos + 4) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = pos; i < pos + 4; ++i) {
    char c = text[i];
    std::uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value * 16 + digit;
  }
  return value;
}

/// Decodes the "\uHHHH" at `pos` (and the low half of a pair right after
/// it), appends it to `out` and returns the position after it, or nullopt.
inline std::optional<std::size_t> decode_u_escape(std::string_view text,
                                                  std::size_t pos,
                                                  std::string& out) {
  std::optional<std::uint32_t> unit = hex4(text, pos + 2);
  if (!unit) return std::nullopt;
  pos += 6;
  if (is_high_surrogate(*unit) && text.substr(pos, 2) == "\\u") {
    std::optional<std::uint32_t> low = hex4(text, pos + 2);
    if (low && is_low_surrogate(*low)) {
      append_code_point(out,
                        0x10000 + ((*unit - 0xD800) << 10) + (*low - 0xDC00));
      return pos + 6;
    }
  }
  append_code_point(out, *unit);
  return pos;
}

/// A recursive-descent reader over trusted test files.
class reader {
 public:
  explicit reader(std::string_view text) : text_(text) {}

  std::optional<json_value> read_document(std::string& error) {
    std::optional<json_value> value = read_value(0);
    skip_space();
    if (value && pos_ != text_.size()) fail("text after the value");
    if (!error_.empty()) {
      error = error_ + " at byte " + std::to_string(pos_);
      return std::nullopt;
    }
    return value;
  }

 private:
  /// Nesting deeper than this is refused: the test files nest four deep, and
  /// the bound keeps the recursion's depth fixed whatever a file holds.
  static constexpr int max_depth = 64;

  std::optional<json_value> read_value(int depth) {
    if (depth > max_depth) return fail("nested too deeply");
    skip_space();
    if (pos_ == text_.size()) return fail("value expected");
    char c = text_[pos_];
    if (c == '{') return read_object(depth);
    if (c == '[') return read_array(depth);
    if (c == '"') {
      json_value v;
      v.type = json_value::kind::string;
      if (!read_string(v.text)) return std::nullopt;
      return v;
    }
    if (consume_word("null")) return json_value{};
    if (consume_word("true")) return boolean(true);
    if (consume_word("false")) return boolean(false);
    return read_number();
  }

  std::optional<json_value> read_object(int depth) {
    json_value v;
    v.type = json_value::kind::object;
    ++pos_;  // '{'
    if (consume_punctuation('}')) return v;
    do {
      skip_space();
      std::string name;
      if (!read_string(name)) return std::nullopt;
      if (!consume_punctuation(':')) return fail("':' expected");
      std::optional<json_value> member = read_value(depth + 1);
      if (!member) return std::nullopt;
      v.members.push_back({std::move(name), std::move(*member)});
    } while (consume_punctuation(','));
    if (!consume_punctuation('}')) return fail("'}' expected");
    return v;
  }

  std::optional<json_value> read_array(int depth) {
    json_value v;
    v.type = json_value::kind::array;
    ++pos_;  // '['
    if (consume_punctuation(']')) return v;
    do {
      std::optional<json_value> item = read_value(depth + 1);
      if (!item) return std::nullopt;
      v.items.push_back(std::move(*item));
    } while (consume_punctuation(','));
    if (!consume_punctuation(']')) return fail("']' expected");
    return v;
  }

  bool read_string(std::string& out) {
    if (pos_ == text_.size() || text_[pos_] != '"') {
      fail("string expected");
      return false;
    }
    ++pos_;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      if (text_[pos_] != '\\') {
        out += text_[pos_++];
        continue;
      }
      if (!read_escape(out)) {
        fail("bad escape");
        return false;
      }
    }
    if (pos_ == text_.size()) {
      fail("unterminated string");
      return false;
    }
    ++pos_;  // '"'
    return true;
  }

  bool read_escape(std::string& out) {
    if (pos_ + 1 >= text_.size()) return false;
    char c = text_[pos_ + 1];
    if (c == 'u') {
      std::optional<std::size_t> next = decode_u_escape(text_, pos_, out);
      if (!next) return false;
      pos_ = *next;
      return true;
    }
    constexpr std::string_view escaped = "\"\\/bfnrt";
    constexpr std::string_view meaning = "\"\\/\b\f\n\r\t";
    std::size_t i = escaped.find(c);
    if (i == std::string_view::npos) return false;
    out += meaning[i];
    pos_ += 2;
    return true;
  }

  std::optional<json_value> read_number() {
    std::size_t start = pos_;
    while (pos_ < text_.size() &&
           std::string_view("+-.0123456789eE").find(text_[pos_]) !=
               std::string_view::npos) {
      ++pos_;
    }
    if (pos_ == start) return fail("value expected");
    json_value v;
    v.type = json_value::kind::number;
    v.text = std::string(text_.substr(start, pos_ - start));
    return v;
  }

  static json_value boolean(bool b) {
    json_value v;
    v.type = json_value::kind::boolean;
    v.boolean = b;
    return v;
  }

  void skip_space() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\t' ||
            text_[pos_] == '\r')) {
      ++pos_;
    }
  }

  bool consume_punctuation(char c) {
    skip_space();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool consume_word(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  std::nullopt_t fail(std::string_view message) {
    if (error_.empty()) error_ = message;
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::string error_;
};

}  // namespace json_detail

/// Parses one JSON document; on failure, nullopt and a message in `error`.
inline std::optional<json_value> parse_json(std::string_view text,
                                            std::string& error) {
  return json_detail::reader(text).read_document(error);
}

/// html5lib-tests' "doubleEscaped" unescaping: every "\uHHHH" of `text`
/// becomes its character (pairs of surrogate halves combined).
inline std::string unescape_double_escaped(std::string_view text) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text.substr(pos, 2) == "\\u") {
      std::optional<std::size_t> next =
          json_detail::decode_u_escape(text, pos, out);
      if (next) {
        pos = *next;
        continue;
      }
    }
    out += text[pos++];
  }
  return out;
}

/// Whether `text` holds a lone surrogate half (as this reader writes one),
/// which no UTF-8 input can hold.
inline bool has_lone_surrogate(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) == 0xED &&
        static_cast<unsigned char>(text[i + 1]) >= 0xA0) {
      return true;
    }
  }
  return false;
}

}  // namespace tagweave::testing
