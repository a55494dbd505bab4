#include "html5/tokenizer/char_refs.h"

#include "html5/tokenizer/char_ref_table.h"
#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave::html5 {
namespace {

// Qualified, or argument-dependent lookup would also find std::quoted.
namespace test_text = tagweave::testing;

struct named_case {
  std::string text;  ///< what follows the '&'
  std::size_t length;
  std::string replacement;
  bool ends_with_semicolon;
};

void expect_named(const std::vector<named_case>& cases) {
  for (const named_case& c : cases) {
    SCOPED_TRACE("text " + test_text::quoted(c.text.substr(0, 40)));
    named_reference found = longest_named_reference(c.text);
    EXPECT_EQ(found.length, c.length);
    EXPECT_EQ(test_text::quoted(found.replacement),
              test_text::quoted(c.replacement));
    EXPECT_EQ(found.ends_with_semicolon, c.ends_with_semicolon);
  }
}

TEST(LongestNamedReference, MatchesWholeNamesAndLegacyPrefixes) {
  expect_named({
      {"amp;", 4, "&", true},
      {"amp;;x", 4, "&", true},
      {"AMP;", 4, "&", true},
      {"amp", 3, "&", false},    // legacy name, text ends
      {"ampx;", 3, "&", false},  // legacy name, then more letters
      {"notit;", 3, "\u00AC", false},
      {"notin;", 6, "\u2209", true},
      {"notin", 3, "\u00AC", false},  // "notin" alone is not a name
      {"nbsp", 4, "\u00A0", false},
      {"lt<", 2, "<", false},
      {"NotEqualTilde;", 14, "\u2242\u0338", true},
      {"fjlig;", 6, "fj", true},
      {"CounterClockwiseContourIntegral;", 32, "\u2233", true},
      {"CounterClockwiseContourIntegral;x", 32, "\u2233", true},
      {"ClockwiseContourIntegral;", 25, "\u2232", true},
      {"amp" + std::string(1 << 20, 'x'), 3, "&", false},
  });
}

TEST(LongestNamedReference, FindsNothingWithoutAWholeName) {
  expect_named({
      {"", 0, "", false},
      {"x", 0, "", false},      // no name starts "x"
      {"zz;", 0, "", false},    // a prefix, then no name
      {"Eacut", 0, "", false},  // text ends mid-name
      {"aMp;", 0, "", false},   // names are case-sensitive
      {"CounterClockwiseContourIntegral", 0, "", false},
      {"#65;", 0, "", false},
      {std::string("am\0p;", 5), 0, "", false},
      {"\xC3\xA9;", 0, "", false},
      {std::string(1 << 20, 'a'), 0, "", false},
  });
}

TEST(NamedReferenceTable, IsSortedWithoutDuplicates) {
  auto by_name = [](const char_ref_entry& a, const char_ref_entry& b) {
    return a.name < b.name;
  };
  EXPECT_TRUE(std::is_sorted(std::begin(char_ref_table),
                             std::end(char_ref_table), by_name));
  auto same_name = [](const char_ref_entry& a, const char_ref_entry& b) {
    return a.name == b.name;
  };
  EXPECT_EQ(std::adjacent_find(std::begin(char_ref_table),
                               std::end(char_ref_table), same_name),
            std::end(char_ref_table));
}

bool is_well_formed_name(std::string_view name) {
  if (name.ends_with(';')) name.remove_suffix(1);
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= '0' && c <= '9');
  });
}

TEST(NamedReferenceTable, EveryNameIsFoundAsItself) {
  std::size_t longest = 0;
  for (const char_ref_entry& e : char_ref_table) {
    SCOPED_TRACE("name " + test_text::quoted(e.name));
    EXPECT_TRUE(is_well_formed_name(e.name));
    EXPECT_FALSE(e.replacement.empty());
    named_reference found = longest_named_reference(e.name);
    EXPECT_EQ(found.length, e.name.size());
    EXPECT_EQ(found.replacement.data(), e.replacement.data());
    EXPECT_EQ(found.ends_with_semicolon, e.name.ends_with(';'));
    longest = std::max(longest, e.name.size());
  }
  EXPECT_EQ(longest, longest_reference_name);
}

TEST(NamedReferenceTable, LegacyNamesAliasTheirSemicolonForm) {
  for (const char_ref_entry& e : char_ref_table) {
    if (e.name.ends_with(';')) continue;
    SCOPED_TRACE("name " + test_text::quoted(e.name));
    named_reference full = longest_named_reference(std::string(e.name) + ";");
    EXPECT_EQ(full.length, e.name.size() + 1);
    EXPECT_EQ(full.replacement, e.replacement);
  }
}

TEST(NumericReferenceCodePoint, ReplacesOrMapsAsTheTokenizerDoes) {
  struct numeric_case {
    std::uint32_t value;
    char32_t code_point;
  };
  const numeric_case cases[] = {
      {0x0, 0xFFFD},      {0x1, 0x1},  // controls stay
      {0xD, 0xD},         {0x41, 0x41},
      {0x7F, 0x7F},       {0x80, 0x20AC},    // windows-1252 from here
      {0x81, 0x81},                          // undefined there, so it stays
      {0x9F, 0x178},      {0xA0, 0xA0},      // past the table
      {0xD7FF, 0xD7FF},   {0xD800, 0xFFFD},  // surrogates
      {0xDFFF, 0xFFFD},   {0xE000, 0xE000},
      {0xFDD0, 0xFDD0},  // noncharacters stay
      {0xFFFE, 0xFFFE},   {0x10FFFF, 0x10FFFF},
      {0x110000, 0xFFFD}, {0xFFFFFFFF, 0xFFFD},  // what a caller clamps to
  };
  for (const numeric_case& c : cases) {
    SCOPED_TRACE("value " + std::to_string(c.value));
    EXPECT_EQ(static_cast<std::uint32_t>(numeric_reference_code_point(c.value)),
              static_cast<std::uint32_t>(c.code_point));
  }
}

TEST(AppendUtf8, EncodesEachLengthAtItsBounds) {
  struct utf8_case {
    char32_t code_point;
    std::string bytes;
  };
  const utf8_case cases[] = {
      {0x0, std::string(1, '\0')},
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xFFFD, "\xEF\xBF\xBD"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
      // Not scalar values: a caller's mistake still leaves UTF-8.
      {0xD800, "\xEF\xBF\xBD"},
      {0x110000, "\xEF\xBF\xBD"},
  };
  for (const utf8_case& c : cases) {
    SCOPED_TRACE("code point " + std::to_string(c.code_point));
    std::string out = "x";
    append_utf8(out, c.code_point);
    EXPECT_EQ(test_text::quoted(out), test_text::quoted("x" + c.bytes));
  }
}

}  // namespace
}  // namespace tagweave::html5
