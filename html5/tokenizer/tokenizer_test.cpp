// What html5lib-tests does not pin down: a sink switching the tokenizer's
// state during take(), the CDATA switch, merged character runs, U+0000 in
// the states that treat it differently, duplicate attributes past the
// linear-comparison threshold, and very long inputs (checked for their
// output, not timed).
#include "html5/tokenizer/tokenizer.h"

#include "diag/token_dump.h"
#include "testing/pathological.h"
#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave::html5 {
namespace {

namespace test_text = tagweave::testing;

/// Records every token as a dump line, without merging character tokens,
/// and acts as a tree builder would on the tags named in its rules.
class tree_builder_like_sink : public token_sink {
 public:
  void attach(tokenizer& t) { tokenizer_ = &t; }

  void take(token& t) override {
    append_token_line(lines, t);
    if (t.kind == token_kind::characters) ++character_tokens_in_a_row;
    if (t.kind != token_kind::characters) character_tokens_in_a_row = 0;
    max_character_tokens_in_a_row =
        std::max(max_character_tokens_in_a_row, character_tokens_in_a_row);
    if (t.kind == token_kind::start_tag) switch_state_after(t.name);
    if (t.kind == token_kind::start_tag && t.name == "svg") {
      tokenizer_->set_cdata_allowed(true);
    }
    if (t.kind == token_kind::end_tag && t.name == "svg") {
      tokenizer_->set_cdata_allowed(false);
    }
  }

  std::string lines;
  int character_tokens_in_a_row = 0;
  int max_character_tokens_in_a_row = 0;

 private:
  void switch_state_after(std::string_view name) {
    if (name == "title" || name == "textarea") {
      tokenizer_->set_state(tokenizer_state::rcdata);
    } else if (name == "style" || name == "xmp") {
      tokenizer_->set_state(tokenizer_state::rawtext);
    } else if (name == "script") {
      tokenizer_->set_state(tokenizer_state::script_data);
    } else if (name == "plaintext") {
      tokenizer_->set_state(tokenizer_state::plaintext);
    }
  }

  tokenizer* tokenizer_ = nullptr;
};

std::string tokens_of(std::string_view input) {
  tree_builder_like_sink sink;
  tokenizer t(input, sink);
  sink.attach(t);
  t.run();
  EXPECT_LE(sink.max_character_tokens_in_a_row, 1)
      << "character tokens not merged for " << test_text::quoted(input);
  return sink.lines;
}

struct tokens_case {
  std::string input;
  std::string tokens;  ///< dump lines
};

void expect_tokens(const std::vector<tokens_case>& cases) {
  for (const tokens_case& c : cases) {
    SCOPED_TRACE("input " + test_text::quoted(c.input.substr(0, 60)));
    EXPECT_EQ(tokens_of(c.input), c.tokens);
  }
}

TEST(Tokenizer, SinkSwitchesStateDuringTake) {
  expect_tokens({
      {"<title>a<b>&amp;</title><p>",
       "[\"StartTag\", \"title\", {}]\n[\"Character\", \"a<b>&\"]\n"
       "[\"EndTag\", \"title\"]\n[\"StartTag\", \"p\", {}]\n"},
      // The end tag matches in any case, and may carry attributes.
      {"<TEXTAREA><x></TextArea a=b>",
       "[\"StartTag\", \"textarea\", {}]\n[\"Character\", \"<x>\"]\n"
       "[\"EndTag\", \"textarea\"]\n"},
      // Only the last start tag's name ends the element.
      {"<title></titles></tit></title/>x",
       "[\"StartTag\", \"title\", {}]\n"
       "[\"Character\", \"</titles></tit>\"]\n"
       "[\"EndTag\", \"title\"]\n[\"Character\", \"x\"]\n"},
      {"<style>&amp;<!--</style>",
       "[\"StartTag\", \"style\", {}]\n[\"Character\", \"&amp;<!--\"]\n"
       "[\"EndTag\", \"style\"]\n"},
      {"<script><!--<script></script>--></script>",
       "[\"StartTag\", \"script\", {}]\n"
       "[\"Character\", \"<!--<script></script>-->\"]\n"
       "[\"EndTag\", \"script\"]\n"},
      {"<plaintext></plaintext>&amp;",
       "[\"StartTag\", \"plaintext\", {}]\n"
       "[\"Character\", \"</plaintext>&amp;\"]\n"},
      // A self-closing start tag switches too, as the tree builder decides.
      {"<xmp/><b></xmp>",
       "[\"StartTag\", \"xmp\", {}, true]\n[\"Character\", \"<b>\"]\n"
       "[\"EndTag\", \"xmp\"]\n"},
      // The text before the tag reaches the sink before it.
      {"x<title>", "[\"Character\", \"x\"]\n[\"StartTag\", \"title\", {}]\n"},
  });
}

TEST(Tokenizer, CdataSectionOnlyWhereTheSinkAllowsIt) {
  expect_tokens({
      {"<svg><![CDATA[x<y]]]></svg><![CDATA[z]]>",
       "[\"StartTag\", \"svg\", {}]\n[\"Character\", \"x<y]\"]\n"
       "[\"EndTag\", \"svg\"]\n[\"Comment\", \"[CDATA[z]]\"]\n"},
      // Case matters: "[cdata[" opens a bogus comment even in foreign content.
      {"<svg><![cdata[x]]>",
       "[\"StartTag\", \"svg\", {}]\n[\"Comment\", \"[cdata[x]]\"]\n"},
      {"<svg><![CDATA[a",
       "[\"StartTag\", \"svg\", {}]\n[\"Character\", \"a\"]\n"},
  });
}

TEST(Tokenizer, CharacterRunsAreMergedAcrossReferencesAndNul) {
  // tokens_of checks that no two character tokens come in a row.
  expect_tokens({
      {"a&amp;b&#65;c&lt", "[\"Character\", \"a&bAc<\"]\n"},
      {std::string("a\0b&", 4), "[\"Character\", \"a\\u0000b&\"]\n"},
      {"a<>b</>c<", "[\"Character\", \"a<>bc<\"]\n"},
  });
}

struct nul_case {
  std::string_view state;
  std::string input;
  std::string tokens;
};

TEST(Tokenizer, NulIsKeptOnlyWhereTheStandardKeepsIt) {
  const std::string nul(1, '\0');
  const std::string fffd = "\xEF\xBF\xBD";
  const std::vector<nul_case> cases = {
      // Kept as U+0000 for the tree builder to deal with.
      {"Data state", "a" + nul, "[\"Character\", \"a\\u0000\"]\n"},
      {"CDATA section state", nul, "[\"Character\", \"\\u0000\"]\n"},
      // Replaced by U+FFFD.
      {"RCDATA state", nul, "[\"Character\", \"" + fffd + "\"]\n"},
      {"RAWTEXT state", nul, "[\"Character\", \"" + fffd + "\"]\n"},
      {"PLAINTEXT state", nul, "[\"Character\", \"" + fffd + "\"]\n"},
      {"Script data state", "<!--" + nul + "-" + nul + "--" + nul,
       "[\"Character\", \"<!--" + fffd + "-" + fffd + "--" + fffd + "\"]\n"},
      {"Data state", "<a" + nul + " b" + nul + "='" + nul + "' c=" + nul + ">",
       "[\"StartTag\", \"a" + fffd + "\", {\"b" + fffd + "\": \"" + fffd +
           "\", \"c\": \"" + fffd + "\"}]\n"},
      {"Data state", "<!--" + nul + "--><?" + nul + ">",
       "[\"Comment\", \"" + fffd + "\"]\n[\"Comment\", \"?" + fffd + "\"]\n"},
      {"Data state", "<!DOCTYPE " + nul + " PUBLIC '" + nul + "'" + nul + ">",
       "[\"DOCTYPE\", \"" + fffd + "\", \"" + fffd + "\", null, false]\n"},
      // A reference to U+0000 is U+FFFD everywhere.
      {"Data state", "&#0;<a b='&#0;'>",
       "[\"Character\", \"" + fffd + "\"]\n[\"StartTag\", \"a\", {\"b\": \"" +
           fffd + "\"}]\n"},
  };
  for (const nul_case& c : cases) {
    SCOPED_TRACE(std::string(c.state) + ", input " +
                 test_text::quoted(c.input));
    std::string dump;
    dump_tokens(c.input, *tokenizer_state_named(c.state), "", dump);
    EXPECT_EQ(dump, c.tokens);
  }
}

/// `<a` with the attributes `names` (each given the value of its index),
/// then `>`.
std::string tag_with_attributes(const std::vector<std::string>& names) {
  std::string tag = "<a";
  for (std::size_t i = 0; i < names.size(); ++i) {
    tag += " " + names[i] + "=" + std::to_string(i);
  }
  return tag + ">";
}

struct tag_sink : token_sink {
  void take(token& t) override {
    if (t.kind == token_kind::start_tag) tag = t;
  }
  token tag;
};

token first_tag(std::string_view input) {
  tag_sink sink;
  tokenizer(input, sink).run();
  return sink.tag;
}

TEST(Tokenizer, DropsDuplicateAttributesKeepingTheFirst) {
  // Below and far above the count where the comparison changes method.
  for (std::size_t count : {3, 9, 20000}) {
    SCOPED_TRACE("attributes: " + std::to_string(count));
    // n0 N0 n1 N0 n2 N1 ...: every "N<k>" repeats an earlier name once
    // lower-cased, some right away, some far back.
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
      names.push_back("n" + std::to_string(i));
      names.push_back("N" + std::to_string(i / 2));
    }
    token tag = first_tag(tag_with_attributes(names));
    ASSERT_EQ(tag.attributes.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
      ASSERT_EQ(tag.attributes[i].name, "n" + std::to_string(i));
      ASSERT_EQ(tag.attributes[i].value, std::to_string(2 * i));
    }
  }
}

TEST(Tokenizer, VeryLongInputsComeOutWhole) {
  constexpr std::size_t sixteen_megabytes = std::size_t{16} << 20;
  constexpr std::size_t one_megabyte = std::size_t{1} << 20;
  {
    std::string value(sixteen_megabytes, 'v');
    token tag = first_tag("<a href=\"" + value + "\" b>");
    ASSERT_EQ(tag.attributes.size(), 2u);
    EXPECT_TRUE(tag.attributes[0].value == value);
  }
  {
    std::string dump;
    dump_tokens(test_text::repeat("&amp", sixteen_megabytes / 4),
                tokenizer_state::data, "", dump);
    EXPECT_TRUE(dump == "[\"Character\", \"" +
                            std::string(sixteen_megabytes / 4, '&') + "\"]\n");
  }
  {
    // Inside an attribute value each "&amp" is followed by '&': decoded too.
    token tag = first_tag(
        "<a b=\"" + test_text::repeat("&amp", sixteen_megabytes / 4) + "\">");
    ASSERT_EQ(tag.attributes.size(), 1u);
    EXPECT_TRUE(tag.attributes[0].value ==
                std::string(sixteen_megabytes / 4, '&'));
  }
  {
    std::string body = test_text::repeat("-!<!-", one_megabyte);
    std::string dump;
    dump_tokens("<!--" + body + "-->", tokenizer_state::data, "", dump);
    EXPECT_TRUE(dump == "[\"Comment\", \"" + body + "\"]\n");
  }
}

TEST(Tokenizer, NumericReferencesSaturateInsteadOfWrapping) {
  constexpr std::size_t one_megabyte = std::size_t{1} << 20;
  const std::string fffd = "\xEF\xBF\xBD";
  expect_tokens({
      // 2^32 + 0x41 would wrap around to "A" in 32 bits.
      {"&#x100000041;&#4294967361;",
       "[\"Character\", \"" + fffd + fffd + "\"]\n"},
      {"&#" + std::string(one_megabyte, '9') + ";x",
       "[\"Character\", \"" + fffd + "x\"]\n"},
      {"&#X" + std::string(one_megabyte, 'f') + "x",
       "[\"Character\", \"" + fffd + "x\"]\n"},
      {"&#" + std::string(one_megabyte, '0') + "65;",
       "[\"Character\", \"A\"]\n"},
  });
}

TEST(Tokenizer, NamesTheStatesAsTheSuiteDoes) {
  EXPECT_EQ(tokenizer_state_named("RCDATA state"), tokenizer_state::rcdata);
  EXPECT_EQ(tokenizer_state_named("Script data state"),
            tokenizer_state::script_data);
  EXPECT_EQ(tokenizer_state_named("script data state"), std::nullopt);
  EXPECT_EQ(tokenizer_state_named("Tag open state"), std::nullopt);
}

}  // namespace
}  // namespace tagweave::html5
