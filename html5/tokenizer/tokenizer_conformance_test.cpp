// html5lib-tests' tokenizer suite: every test of every tokenizer/*.test file,
// in each of its initial states, through the token dump, compared token by
// token with the expected output (parse errors are not compared). Each file
// is one test, which prints how many of its runs passed and were skipped.
#include "diag/token_dump.h"
#include "html5/tokenizer/tokenizer.h"

#include "testing/json_reader.h"
#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tagweave::html5 {
namespace {

using tagweave::testing::json_value;
namespace fs = std::filesystem;

fs::path tokenizer_suite_dir() {
  const char* from_environment = std::getenv("HTML5LIB_TESTS");
  fs::path root =
      from_environment != nullptr ? from_environment : TAGWEAVE_HTML5LIB_TESTS;
  return root / "tokenizer";
}

/// The suite's files; one empty name when the suite is missing, so that the
/// test can say it was skipped.
std::vector<std::string> suite_files() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry :
       fs::directory_iterator(tokenizer_suite_dir(), error)) {
    if (entry.path().extension() == ".test") {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  if (names.empty()) names.emplace_back();
  return names;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

json_value string_value(std::string text) {
  json_value v;
  v.type = json_value::kind::string;
  v.text = std::move(text);
  return v;
}

/// Applies "doubleEscaped" to every string of `v`; true if none is left
/// holding a lone surrogate.
bool unescape_strings(json_value& v, bool double_escaped) {
  if (v.type == json_value::kind::string) {
    if (double_escaped) v.text = testing::unescape_double_escaped(v.text);
    return !testing::has_lone_surrogate(v.text);
  }
  bool ok = true;
  for (json_value& item : v.items)
    ok = unescape_strings(item, double_escaped) && ok;
  for (testing::json_member& m : v.members) {
    if (double_escaped) m.name = testing::unescape_double_escaped(m.name);
    ok = !testing::has_lone_surrogate(m.name) && ok;
    ok = unescape_strings(m.value, double_escaped) && ok;
  }
  return ok;
}

bool is_character_token(const json_value& t) {
  return t.items.size() == 2 && t.items[0].text == "Character";
}

/// The expected tokens with adjacent Character tokens merged, as the suite's
/// README says to compare them.
std::vector<json_value> merged(const std::vector<json_value>& tokens) {
  std::vector<json_value> out;
  for (const json_value& t : tokens) {
    if (is_character_token(t) && !out.empty() &&
        is_character_token(out.back())) {
      out.back().items[1].text += t.items[1].text;
    } else {
      out.push_back(t);
    }
  }
  return out;
}

/// The dump's lines read back as JSON; a line that does not parse becomes a
/// string holding it, so that it shows in the failure.
std::vector<json_value> read_dump(const std::string& dump) {
  std::vector<json_value> tokens;
  std::istringstream lines(dump);
  std::string line;
  while (std::getline(lines, line)) {
    std::string error;
    std::optional<json_value> token = testing::parse_json(line, error);
    tokens.push_back(token ? *token : string_value("unreadable: " + line));
  }
  return tokens;
}

/// `v` written out for a failure report, strings as C literals.
std::string json_text(const json_value& v) {
  std::string out;
  switch (v.type) {
    case json_value::kind::null: return "null";
    case json_value::kind::boolean: return v.boolean ? "true" : "false";
    case json_value::kind::number: return v.text;
    case json_value::kind::string: return testing::quoted(v.text);
    case json_value::kind::array:
      for (const json_value& item : v.items) {
        out += (out.empty() ? "[" : ", ") + json_text(item);
      }
      return out.empty() ? "[]" : out + "]";
    case json_value::kind::object:
      for (const testing::json_member& m : v.members) {
        out += (out.empty() ? "{" : ", ") + testing::quoted(m.name) + ": " +
               json_text(m.value);
      }
      return out.empty() ? "{}" : out + "}";
  }
  return out;
}

std::string token_lines(const std::vector<json_value>& tokens) {
  std::string out;
  for (const json_value& t : tokens) out += "    " + json_text(t) + "\n";
  return out;
}

struct file_tally {
  int passed = 0;
  int total = 0;
  int skipped = 0;
  std::string failures;
};

/// Runs one test of the suite in each of its initial states.
void run_case(const json_value& test, file_tally& tally) {
  const json_value* description = test.find("description");
  const json_value* input = test.find("input");
  const json_value* output = test.find("output");
  ASSERT_TRUE(description && input && output) << "a test without its parts";
  const json_value* double_escaped = test.find("doubleEscaped");
  bool unescape = double_escaped != nullptr && double_escaped->boolean;
  json_value input_text = *input;
  json_value expected = *output;
  bool writable = unescape_strings(input_text, unescape) &&
                  unescape_strings(expected, unescape);

  std::vector<std::string> states = {"Data state"};
  if (const json_value* initial = test.find("initialStates")) {
    states.clear();
    for (const json_value& s : initial->items) states.push_back(s.text);
  }
  const json_value* last_start_tag = test.find("lastStartTag");
  std::vector<json_value> want = merged(expected.items);

  for (const std::string& state_name : states) {
    ++tally.total;
    if (!writable) {  // a lone surrogate: no UTF-8 input holds one
      ++tally.skipped;
      continue;
    }
    std::optional<tokenizer_state> start = tokenizer_state_named(state_name);
    ASSERT_TRUE(start.has_value()) << "unknown state " << state_name;
    std::string dump;
    dump_tokens(input_text.text, *start,
                last_start_tag != nullptr ? last_start_tag->text : "", dump);
    std::vector<json_value> got = read_dump(dump);
    if (got == want) {
      ++tally.passed;
      continue;
    }
    tally.failures += description->text + " (" + state_name + ")\n  input " +
                      testing::quoted(input_text.text) + "\n  expected\n" +
                      token_lines(want) + "  got\n" + token_lines(got);
  }
}

class TokenizerConformance : public ::testing::TestWithParam<std::string> {};

TEST_P(TokenizerConformance, MatchesExpectedTokens) {
  const std::string& file = GetParam();
  fs::path path = tokenizer_suite_dir() / file;
  if (file.empty() || !fs::is_regular_file(path)) {
    GTEST_SKIP() << "skipped: html5lib-tests not found at "
                 << tokenizer_suite_dir()
                 << " (set HTML5LIB_TESTS to the suite's folder)";
  }
  std::string error;
  std::optional<json_value> document =
      testing::parse_json(read_file(path), error);
  ASSERT_TRUE(document.has_value()) << file << ": " << error;

  file_tally tally;
  if (const json_value* tests = document->find("tests")) {
    for (const json_value& test : tests->items) run_case(test, tally);
  } else if (const json_value* xml = document->find("xmlViolationTests")) {
    // These expect the tweaks of "Coercing an HTML DOM into an infoset",
    // which belong to an XML serializer, not to the tokenizer.
    tally.total = tally.skipped = static_cast<int>(xml->items.size());
  }
  std::printf("tokenizer/%s: %d passed / %d total, %d skipped\n", file.c_str(),
              tally.passed, tally.total, tally.skipped);
  EXPECT_EQ(tally.passed + tally.skipped, tally.total)
      << "failing tests of " << file << ":\n"
      << tally.failures;
}

std::string test_name(const ::testing::TestParamInfo<std::string>& info) {
  if (info.param.empty()) return "SuiteMissing";
  std::string name;
  for (char c : info.param.substr(0, info.param.find('.'))) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
        (c >= '0' && c <= '9')) {
      name += c;
    }
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Html5libTests, TokenizerConformance,
                         ::testing::ValuesIn(suite_files()), test_name);

}  // namespace
}  // namespace tagweave::html5
