// The token dump's lines, as tagweave-dump --html5-tokens prints them: the
// shape of each kind of token, JSON escaping, and newline normalization.
// (The conformance test reads the dump back for the whole suite.)
#include "diag/token_dump.h"

#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tagweave::html5 {
namespace {

namespace test_text = tagweave::testing;

struct dump_case {
  std::string input;
  std::string lines;
};

TEST(DumpTokens, WritesOneJsonArrayPerToken) {
  const std::vector<dump_case> cases = {
      {"<!DOCTYPE html>", "[\"DOCTYPE\", \"html\", null, null, true]\n"},
      {"<!doctype x PUBLIC \"p\" 's'>",
       "[\"DOCTYPE\", \"x\", \"p\", \"s\", true]\n"},
      {"<!DOCTYPE>", "[\"DOCTYPE\", null, null, null, false]\n"},
      {"<a B=1 c d='x'/>",
       "[\"StartTag\", \"a\", {\"b\": \"1\", \"c\": \"\", \"d\": \"x\"}, "
       "true]\n"},
      {"</p x=y>", "[\"EndTag\", \"p\"]\n"},
      {"<!--c-->t<br>u",
       "[\"Comment\", \"c\"]\n[\"Character\", \"t\"]\n"
       "[\"StartTag\", \"br\", {}]\n[\"Character\", \"u\"]\n"},
      // JSON escapes; UTF-8 passes through.
      {"\"\\\t\x01\x7F\xC3\xA9",
       "[\"Character\", \"\\\"\\\\\\t\\u0001\x7F\xC3\xA9\"]\n"},
      // The input stream's newlines: CR LF and CR become LF.
      {"a\r\nb\rc\n", "[\"Character\", \"a\\nb\\nc\\n\"]\n"},
      {"", ""},
  };
  for (const dump_case& c : cases) {
    SCOPED_TRACE("input " + test_text::quoted(c.input));
    std::string out;
    dump_tokens(c.input, tokenizer_state::data, "", out);
    EXPECT_EQ(out, c.lines);
  }
}

TEST(DumpTokens, StartsInTheGivenStateWithTheGivenLastStartTag) {
  std::string out;
  dump_tokens("a</b></title>c", tokenizer_state::rcdata, "title", out);
  EXPECT_EQ(out,
            "[\"Character\", \"a</b>\"]\n[\"EndTag\", \"title\"]\n"
            "[\"Character\", \"c\"]\n");
}

}  // namespace
}  // namespace tagweave::html5
