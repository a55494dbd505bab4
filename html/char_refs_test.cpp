#include "html/char_refs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave {
namespace {

/// Shows control bytes and bytes above 127 as escapes, so that a failing
/// input can be pasted back into a test.
std::string escaped(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default:
        if (byte < 32 || byte > 126) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02x", byte);
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

struct decode_case {
  std::string before;
  std::string after;
};

void expect_decodes(const std::vector<decode_case>& cases) {
  for (const decode_case& c : cases) {
    SCOPED_TRACE("input " + escaped(c.before));
    std::string text = c.before;
    decode_entities(text);
    EXPECT_EQ(escaped(text), escaped(c.after));
  }
}

TEST(DecodeEntities, LeavesTextWithoutReferencesAlone) {
  expect_decodes({
      {"", ""},
      {"plain text", "plain text"},
      {"abc&", "abc&"},
      {"& amp;", "& amp;"},
      {"&1; &lt;", "&1; <"},
      {"a&\xe9;b", "a&\xe9;b"},
  });
}

TEST(DecodeEntities, DecodesNamedReferencesInAnyCase) {
  expect_decodes({
      {"a &lt;b&gt; c", "a <b> c"},
      {"&AMP;", "&"},
      {"&Lt;", "<"},
      {"&lT;&gT;&aMp;", "<>&"},
      {"&amp;lt;", "&lt;"},  // a decoded '&' starts nothing
      {"&&lt;", "&<"},
      {"&lt;;", "<;"},
      {"&gt;&", ">&"},
      {"a\n&lt;\nb", "a\n<\nb"},  // blanks of the text are never folded
      // Blanks alone may stand between a name and its ';'.
      {"&lt ;", "<"},
      {"&lt\t;", "<"},
      {"&lt \t\n ;x", "<x"},
      {"&amp ;&#65;", "&A"},
  });
}

TEST(DecodeEntities, MatchesOpenReferencesByTheirBeginning) {
  expect_decodes({
      {"x &lt y", "x < y"},
      {"x &gt y &amp z", "x > y & z"},
      {"&ltfoo", "<foo"},
      {"&ampamp", "&amp"},
      {"&lt&gt", "<>"},
      {"&lt", "<"},
      {"&LTx", "<x"},
      {"&l", "&l"},
      {"&am", "&am"},
      {"&l t", "&l t"},
  });
}

TEST(DecodeEntities, KeepsUnrecognisedReferencesAndGoesOn) {
  expect_decodes({
      {"&copy; &lt;", "&copy; <"},
      {"a&lt;b&copy;c&gt;d", "a<b&copy;c>d"},
      {"AT&T; x &lt; y", "AT&T; x < y"},
      {"&gtbar; &lt;", "&gtbar; <"},
      {"&l t; &gt;", "&l t; >"},
      // A carriage return is no blank: "&lt\r" is no whole name.
      {"&lt\r; &gt;", "&lt\r; >"},
      // A terminated reference is compared whole: "&lt &gt" is no name,
      // but the "&gt;" inside it is a reference of its own.
      {"&lt &gt;", "&lt >"},
      {"&ltx;", "&ltx;"},
      {"&&&lt", "&&<"},
  });
}

TEST(DecodeEntities, DecodesNumbersFromOneTo255) {
  expect_decodes({
      {"&#65;&#66;", "AB"},
      {"&#+65;", "A"},
      {"&#0065;", "A"},
      {"&#000000000000000000065;", "A"},
      {"&# 65;", "A"},
      {"&#\r\v\f65;", "A"},  // read as atoi reads: any white space first
      {"&#1;", "\x01"},
      {"&#233;", "\xe9"},
      {"&#255;", "\xff"},
      {"&#65abc", "Aabc"},
      {"x&#65 y", "xA y"},
      {"&#12&#65",
       "\x0c"
       "A"},
  });
}

TEST(DecodeEntities, KeepsNumbersOutsideOneTo255AsWritten) {
  expect_decodes({
      {"&#321;", "&#321;"},
      {"&#-191;", "&#-191;"},
      {"&#-1;", "&#-1;"},
      {"&#256;", "&#256;"},
      {"&#0;", "&#0;"},
      {"&#-0;", "&#-0;"},
      {"ab&#x41;cd", "ab&#x41;cd"},
      {"ab&#;cd", "ab&#;cd"},
      {"ab&#256;cd", "ab&#256;cd"},
      {"ab&#-65", "ab&#-65"},
      {"ab&#", "ab&#"},
      {"&#+65", "&#+65"},  // an open reference takes digits only
      {"&# 65", "&# 65"},
      {"&#0", "&#0"},
      {"&#+ 65;", "&#+ 65;"},
      // Too large for an int, whatever its low bits.
      {"&#4294967361;", "&#4294967361;"},
      {"&#99999999999999999999;", "&#99999999999999999999;"},
      {"&#99999999999999999999", "&#99999999999999999999"},
      // Decoding goes on after a number kept as written.
      {"&#0;&lt;", "&#0;<"},
  });
}

TEST(DecodeEntities, SwallowsOnlyBlanksBeforeTheSemicolonOfANumber) {
  expect_decodes({
      {"&#65 is A; ok", "A is A; ok"},
      {"&#65  ;x", "Ax"},
      {"&#65\t\n ;x", "Ax"},
      {"&#6 5;", "\x06 5;"},
      {"&#65\r;", "A\r;"},
      {"&#65x;", "Ax;"},
      {"&#65&#66;", "AB"},
  });
}

TEST(DecodeReference, ReportsTheByteAndWhereTheTextResumes) {
  struct reference_case {
    std::string text;
    bool terminated;
    std::optional<char> byte;
    std::size_t resume;
  };
  const std::vector<reference_case> cases = {
      {"&lt;x", true, '<', 4},   {"&LT  ;x", true, '<', 6},
      {"&ltx;", true, {}, 0},    {"&ltx", false, '<', 3},
      {"&amp", false, '&', 4},   {"&#65 ;x", true, 'A', 6},
      {"&#65 x;", true, 'A', 4}, {"&# 7;", true, '\x07', 5},
      {"&#65x", false, 'A', 4},  {"&#", false, {}, 0},
      {"&#256;", true, {}, 0},   {"&copy;", true, {}, 0},
  };
  for (const reference_case& c : cases) {
    SCOPED_TRACE(escaped(c.text) + (c.terminated ? " terminated" : " open"));
    std::optional<decoded_reference> got =
        decode_reference(c.text, 0, c.terminated);
    ASSERT_EQ(got.has_value(), c.byte.has_value());
    if (!got) continue;
    EXPECT_EQ(got->byte, *c.byte);
    EXPECT_EQ(got->resume, c.resume);
  }
}

// A decoder written straight from the step-by-step description of reference
// decoding: a comparison copy per reference, blanks folded in the copy,
// numbers read as atoi reads them. Slow and simple, it is the yardstick for
// the linear decoder.
namespace reference_model {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

/// Every run of blanks followed by a non-blank becomes one space; a run of
/// blanks at the end goes.
std::string fold_blanks(std::string_view copy) {
  std::string folded;
  std::size_t i = 0;
  while (i < copy.size()) {
    if (!is_blank(copy[i])) {
      folded += copy[i++];
      continue;
    }
    while (i < copy.size() && is_blank(copy[i])) ++i;
    if (i < copy.size()) folded += ' ';
  }
  return folded;
}

struct atoi_reading {
  bool in_range;    // the number is 1 to 255
  int value;        // when in range
  std::size_t end;  // just past the digit run
};

/// Reads a number as atoi does from `from` on: white space, a sign, digits.
/// Anything that atoi could not give as an int counts as out of range.
atoi_reading read_atoi(std::string_view s, std::size_t from) {
  std::size_t i = from;
  while (i < s.size() && is_space(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::int64_t value = 0;
  bool huge = false;
  while (i < s.size() && is_digit(s[i])) {
    value = value * 10 + (s[i++] - '0');
    if (value > 2147483647) {
      huge = true;
      value = 2147483647;
    }
  }
  bool in_range = !huge && !negative && value >= 1 && value <= 255;
  return {in_range, static_cast<int>(value), i};
}

std::string decode(std::string_view text) {
  std::string out;
  std::size_t read = 0;
  while (read < text.size()) {
    bool starts = text[read] == '&' && read + 1 < text.size() &&
                  (text[read + 1] == '#' || is_letter(text[read + 1]));
    if (!starts) {
      out += text[read++];
      continue;
    }
    const std::size_t amp = read;
    const std::size_t semicolon = text.find(';', amp + 1);
    const bool terminated = semicolon != std::string_view::npos;
    const std::string copy(
        text.substr(amp, (terminated ? semicolon : text.size()) - amp));
    const std::string folded = fold_blanks(copy);
    std::optional<char> byte;
    std::size_t resume = 0;
    if (terminated) {
      if (equal_ignoring_case(folded, "&lt")) {
        byte = '<';
      } else if (equal_ignoring_case(folded, "&gt")) {
        byte = '>';
      } else if (equal_ignoring_case(folded, "&amp")) {
        byte = '&';
      }
      if (byte) {
        resume = semicolon + 1;
      } else if (folded[1] == '#') {
        atoi_reading number = read_atoi(folded, 2);
        // The same reading on the unfolded copy says where, in the text,
        // the digit run ends.
        atoi_reading in_text = read_atoi(copy, 2);
        EXPECT_EQ(number.in_range, in_text.in_range) << escaped(copy);
        if (number.in_range) {
          byte = static_cast<char>(number.value);
          resume = amp + in_text.end;
          bool only_blanks = true;
          for (std::size_t i = resume; i < semicolon; ++i) {
            only_blanks = only_blanks && is_blank(text[i]);
          }
          if (only_blanks) resume = semicolon + 1;
        }
      }
    } else {
      auto begins_with = [&](std::string_view name) {
        return folded.size() >= name.size() &&
               equal_ignoring_case(folded.substr(0, name.size()), name);
      };
      if (begins_with("&lt")) {
        byte = '<';
        resume = amp + 3;
      } else if (begins_with("&gt")) {
        byte = '>';
        resume = amp + 3;
      } else if (begins_with("&amp")) {
        byte = '&';
        resume = amp + 4;
      } else if (folded[1] == '#') {
        std::size_t end = 2;
        while (end < folded.size() && is_digit(folded[end])) ++end;
        std::string digits = folded.substr(2, end - 2);
        atoi_reading number = read_atoi(digits, 0);
        if (number.in_range) byte = static_cast<char>(number.value);
        resume = amp + end;
      }
    }
    if (byte) {
      out += *byte;
      read = resume;
    } else {
      out += '&';  // kept as written; decoding goes on after the '&'
      read = amp + 1;
    }
  }
  return out;
}

}  // namespace reference_model

bool disagrees(const std::string& text) {
  std::string decoded = text;
  decode_entities(decoded);
  return decoded != reference_model::decode(text);
}

/// Drops single bytes from a disagreeing input for as long as it still
/// disagrees, so that the report shows a minimal case.
std::string shrunk(std::string text) {
  for (std::size_t i = 0; i < text.size();) {
    std::string shorter = text.substr(0, i) + text.substr(i + 1);
    if (disagrees(shorter)) {
      text = shorter;
    } else {
      ++i;
    }
  }
  return text;
}

TEST(DecodeEntities, ModelAgreesOnKnownCases) {
  // The yardstick itself must get the hand-checked cases right.
  const std::vector<decode_case> cases = {
      {"&#65 is A; ok", "A is A; ok"},
      {"&#6 5;", "\x06 5;"},
      {"&lt\r; &gt;", "&lt\r; >"},
      {"x &gt y &amp z", "x > y & z"},
      {"ab&#-65", "ab&#-65"},
      {"&# 65;", "A"},
      {"&amp;lt;", "&lt;"},
  };
  for (const decode_case& c : cases) {
    EXPECT_EQ(escaped(reference_model::decode(c.before)), escaped(c.after))
        << "input " << escaped(c.before);
  }
}

TEST(DecodeEntities, AgreesWithTheStepByStepModelOnRandomText) {
  // Pieces chosen so that references start, end, nest, overflow and meet
  // blanks and carriage returns in every order.
  const std::vector<std::string> pieces = {
      // Where references start and end.
      "&", "&", "&", "#", "#", ";", ";", "&#", "&#",
      // Names, whole and in parts, in both cases.
      "lt", "GT", "amp", "aMp", "l", "t", "a", "x", "T", "&lt", "&gt", "&amp",
      // Numbers: in range, out of range, too large for an int.
      "0", "1", "2", "5", "6", "9", "65", "255", "256", "4294967361",
      "0000000000000000065", "+", "-",
      // Blanks, white space that is no blank, a byte above 127.
      " ", " ", "\t", "\n", "\r", "\f", "\xe9"};
  std::mt19937 rng(20240611);
  constexpr int documents = 100000;
  int failures = 0;
  for (int n = 0; n < documents && failures < 10; ++n) {
    std::string text;
    const std::size_t count = rng() % 9;
    for (std::size_t i = 0; i < count; ++i)
      text += pieces[rng() % pieces.size()];
    if (!disagrees(text)) continue;
    ++failures;
    text = shrunk(text);
    std::string decoded = text;
    decode_entities(decoded);
    ADD_FAILURE() << "input " << escaped(text) << "\n  decode_entities "
                  << escaped(decoded) << "\n  model           "
                  << escaped(reference_model::decode(text));
  }
}

}  // namespace
}  // namespace tagweave
