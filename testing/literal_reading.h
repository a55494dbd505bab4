// A slow reading of HTML that follows the rules step by step, as an oracle
// for the real one: every character reference is compared through its own
// copy up to its ';' (or the end of the text), and every candidate tag in
// example content is read whole by the tag reader, copy and decoding
// included. It is quadratic on purpose, so only small inputs belong here;
// the tests and the fuzzer compare split_document with it.
#pragma once

#include "early/reader/mark_up.h"
#include "early/reader/splitter.h"
#include "early/reader/tag_reader.h"

#include <climits>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tagweave::testing::literal {

inline bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
/// The blanks of HTML text.
inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
/// What isspace accepts in the POSIX locale.
inline bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool equal_folded(std::string_view text, std::string_view lower_name) {
  if (text.size() != lower_name.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (lower(text[i]) != lower_name[i]) return false;
  }
  return true;
}

/// The comparison copy of a reference with its blanks folded: a blank run
/// before a non-blank becomes one space, a blank run at the end goes.
inline std::string fold_blanks(std::string_view copy) {
  std::string folded;
  bool pending_blank = false;
  for (char c : copy) {
    if (is_blank(c)) {
      pending_blank = true;
      continue;
    }
    if (pending_blank) folded.push_back(' ');
    pending_blank = false;
    folded.push_back(c);
  }
  return folded;
}

/// A number as atoi reads it from `text` at `pos`: white space, a sign,
/// digits. `value` is clamped just past the range of an int.
struct atoi_reading {
  long long value = 0;
  bool negative = false;
  std::size_t digits_end = 0;  ///< where the digit run ends in `text`
};

inline atoi_reading read_like_atoi(std::string_view text, std::size_t pos) {
  atoi_reading r;
  while (pos < text.size() && is_space(text[pos])) ++pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    r.negative = text[pos] == '-';
    ++pos;
  }
  for (; pos < text.size() && is_digit(text[pos]); ++pos) {
    if (r.value <= INT_MAX) r.value = r.value * 10 + (text[pos] - '0');
  }
  r.digits_end = pos;
  if (r.negative) r.value = -r.value;
  return r;
}

inline std::optional<char> byte_of_number(long long value) {
  if (value < 1 || value > 255) return std::nullopt;
  return static_cast<char>(static_cast<unsigned char>(value));
}

/// Decodes the character references of `text`, one comparison copy per
/// reference.
inline std::string decode(std::string_view text) {
  auto is_reference_start = [&](std::size_t i) {
    return i + 1 < text.size() && text[i] == '&' &&
           (text[i + 1] == '#' || is_letter(text[i + 1]));
  };
  std::string out;
  std::size_t read = 0;
  while (read < text.size()) {
    if (!is_reference_start(read)) {
      out.push_back(text[read++]);
      continue;
    }
    std::size_t semicolon = text.find(';', read + 1);
    bool terminated = semicolon != std::string_view::npos;
    std::string copy(
        text.substr(read, (terminated ? semicolon : text.size()) - read));
    std::optional<char> byte;
    std::size_t resume = 0;
    if (terminated) {
      std::string folded = fold_blanks(copy);
      resume = semicolon + 1;
      if (equal_folded(folded, "&lt")) {
        byte = '<';
      } else if (equal_folded(folded, "&gt")) {
        byte = '>';
      } else if (equal_folded(folded, "&amp")) {
        byte = '&';
      } else if (folded[1] == '#') {
        atoi_reading number = read_like_atoi(folded, 2);
        byte = byte_of_number(number.value);
        // The ';' goes with the number only across blanks; anything else
        // between them stays as text.
        std::size_t digits_end = read_like_atoi(text, read + 2).digits_end;
        for (std::size_t i = digits_end; i < semicolon; ++i) {
          if (!is_blank(text[i])) resume = digits_end;
        }
      }
    } else if (copy.size() >= 3 && equal_folded(copy.substr(0, 3), "&lt")) {
      byte = '<';
      resume = read + 3;
    } else if (copy.size() >= 3 && equal_folded(copy.substr(0, 3), "&gt")) {
      byte = '>';
      resume = read + 3;
    } else if (copy.size() >= 4 && equal_folded(copy.substr(0, 4), "&amp")) {
      byte = '&';
      resume = read + 4;
    } else if (copy[1] == '#') {
      std::size_t digits_end = 2;
      while (digits_end < copy.size() && is_digit(copy[digits_end])) {
        ++digits_end;
      }
      if (digits_end > 2) {
        byte = byte_of_number(
            read_like_atoi(copy.substr(2, digits_end - 2), 0).value);
      }
      resume = read + digits_end;
    }
    if (byte) {
      out.push_back(*byte);
      read = resume;
    } else {
      // Not recognised: the '&' stays and decoding goes on right after it.
      out.push_back('&');
      ++read;
    }
  }
  return out;
}

inline mark_kind lookup(std::string_view name) {
  for (auto kind = static_cast<std::uint32_t>(M_TITLE); kind <= M_CITATION;
       ++kind) {
    std::string_view entry = tag_name(static_cast<mark_kind>(kind));
    if (!entry.empty() && equal_folded(name, entry)) {
      return static_cast<mark_kind>(kind);
    }
  }
  return M_UNKNOWN;
}

struct tag_reading {
  bool closed = false;  ///< a '>' followed the '<'
  mark_up mark;
  std::size_t close = 0;  ///< the '>'
};

/// Reads the tag at `lt` (which holds '<'): up to the first '>', decoded
/// whole before its name is looked at.
inline tag_reading read_tag(std::string_view text, std::size_t lt) {
  std::size_t close = lt + 1;
  while (close < text.size() && text[close] != '>') ++close;
  if (close == text.size()) return {};
  std::string decoded = decode(text.substr(lt + 1, close - lt - 1));
  bool is_end = !decoded.empty() && decoded[0] == '/';
  std::size_t name_begin = is_end ? 1 : 0;
  std::size_t name_end = name_begin;
  while (name_end < decoded.size() && !is_space(decoded[name_end])) {
    ++name_end;
  }
  mark_kind kind = lookup(
      std::string_view(decoded).substr(name_begin, name_end - name_begin));
  return {true, mark_up{kind, is_end, std::move(decoded)}, close};
}

inline bool is_raw_kind(mark_kind kind) {
  return kind == M_PLAIN_TEXT || kind == M_LISTING_TEXT;
}

/// Where an ordinary run that starts at `from` ends.
inline std::size_t ordinary_run_end(std::string_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] != '<' || i + 1 >= text.size()) continue;
    char next = text[i + 1];
    if (is_letter(next) || next == '!') return i;
    if (next == '/' && i + 2 < text.size() && is_letter(text[i + 2])) {
      return i;
    }
  }
  return text.size();
}

/// Where example or listing content that starts at `from` ends: at the
/// first candidate that reads as an end tag of either raw kind.
inline std::size_t raw_run_end(std::string_view text, std::size_t from) {
  for (std::size_t i = from; i + 1 < text.size(); ++i) {
    if (text[i] != '<') continue;
    bool candidate =
        is_letter(text[i + 1]) ||
        (text[i + 1] == '/' && i + 2 < text.size() && is_letter(text[i + 2]));
    if (!candidate) continue;
    tag_reading tag = read_tag(text, i);
    if (tag.closed && tag.mark.is_end && is_raw_kind(tag.mark.kind)) return i;
  }
  return text.size();
}

inline void append(mark_list& marks, mark_up&& rec, bool keep_blanks) {
  if (!keep_blanks && rec.kind == M_NONE) {
    bool blank = true;
    for (char c : rec.text) blank = blank && is_blank(c);
    if (blank) return;
  }
  marks.push_back(std::move(rec));
}

/// Splits `text` into records, the slow way.
inline split_result split(std::string_view text) {
  enum class mode { ordinary, raw, rest };
  split_result result;
  mode run_mode = mode::ordinary;
  bool keep_blanks = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (run_mode == mode::rest) {
      append(result.marks,
             mark_up{M_NONE, false, std::string(text.substr(pos))},
             keep_blanks);
      break;
    }
    std::size_t end = run_mode == mode::raw ? raw_run_end(text, pos)
                                            : ordinary_run_end(text, pos);
    if (end > pos) {
      append(result.marks,
             mark_up{M_NONE, false, decode(text.substr(pos, end - pos))},
             keep_blanks);
    }
    if (end == text.size()) break;
    tag_reading tag = read_tag(text, end);
    if (!tag.closed) {
      result.status = split_status::unterminated_tag;
      break;
    }
    mark_kind kind = tag.mark.kind;
    bool is_end = tag.mark.is_end;
    append(result.marks, std::move(tag.mark), keep_blanks);
    pos = tag.close + 1;
    run_mode = mode::ordinary;
    if (kind == M_PREFORMATTED) keep_blanks = !is_end;
    if (is_end) continue;
    if (is_raw_kind(kind)) {
      run_mode = mode::raw;
    } else if (kind == M_PLAIN_REST) {
      run_mode = mode::rest;
    } else if (kind != M_PREFORMATTED) {
      continue;
    }
    if (pos < text.size() && text[pos] == '\n') ++pos;
  }
  return result;
}

/// Every field of every record, one line each, with the texts escaped so
/// that a difference shows: the form in which results are compared.
inline std::string describe(const split_result& result) {
  std::string out =
      result.status == split_status::complete ? "complete\n" : "unterminated\n";
  for (const mark_up& mark : result.marks) {
    out += std::to_string(mark.kind);
    out += mark.is_end ? " end {" : " start {";
    for (char c : mark.text) {
      auto byte = static_cast<unsigned char>(c);
      if (byte < 32 || byte >= 127 || c == '\\' || c == '}') {
        constexpr char hex[] = "0123456789abcdef";
        out += "\\x";
        out += hex[byte >> 4];
        out += hex[byte & 15];
      } else {
        out += c;
      }
    }
    out += "}\n";
  }
  return out;
}

}  // namespace tagweave::testing::literal
