#include "early/reader/char_refs.h"

#include "testing/literal_reading.h"
#include "testing/test_text.h"

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

struct decode_case {
  std::string before;
  std::string after;
};

void expect_decodes(const std::vector<decode_case>& cases) {
  for (const decode_case& c : cases) {
    SCOPED_TRACE("input " + testing::quoted(c.before));
    std::string text = c.before;
    decode_entities(text);
    EXPECT_EQ(testing::quoted(text), testing::quoted(c.after));
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
    SCOPED_TRACE(testing::quoted(c.text) +
                 (c.terminated ? " terminated" : " open"));
    std::optional<decoded_reference> got =
        decode_reference(c.text, 0, c.terminated);
    ASSERT_EQ(got.has_value(), c.byte.has_value());
    if (!got) continue;
    EXPECT_EQ(got->byte, *c.byte);
    EXPECT_EQ(got->resume, c.resume);
  }
}

bool disagrees(const std::string& text) {
  std::string decoded = text;
  decode_entities(decoded);
  std::string model = testing::literal::decode(text);
  return decoded != model;
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
    EXPECT_EQ(testing::quoted(testing::literal::decode(c.before)),
              testing::quoted(c.after))
        << "input " << testing::quoted(c.before);
  }
}

TEST(DecodeEntities, FindsTheLastSemicolonAnywhereInALongText) {
  // Whether a reference is terminated depends on a ';' however far on: at
  // every distance across several blocks of the backward search, and none.
  for (std::size_t gap = 0; gap < 40; ++gap) {
    for (std::size_t tail = 0; tail < 40; ++tail) {
      for (const char* end : {";", ""}) {
        std::string text =
            "a &lt" + std::string(gap, 'x') + end + std::string(tail, 'y');
        EXPECT_FALSE(disagrees(text)) << testing::quoted(text);
      }
    }
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
    text = testing::shrunk(text, disagrees);
    std::string decoded = text;
    decode_entities(decoded);
    ADD_FAILURE() << "input " << testing::quoted(text) << "\n  decode_entities "
                  << testing::quoted(decoded) << "\n  model           "
                  << testing::quoted(testing::literal::decode(text));
  }
}

}  // namespace
}  // namespace tagweave
