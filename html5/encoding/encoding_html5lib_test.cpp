// html5lib-tests' encoding/*.dat: each #data is a document's first bytes,
// each #encoding the encoding a browser reads it in. Two parts of the folder
// are left out: scripted/ needs a document.write() we never run (scripting
// is off), and chardet/ needs a guess from the bytes' statistics, which the
// HTML standard leaves optional and we do not make.
#include "html5/encoding/encoding.h"

#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace tagweave::html5 {
namespace {

namespace test_text = tagweave::testing;

/// html5lib-tests, wherever the build or the environment says.
std::filesystem::path html5lib_tests() {
  if (const char* dir = std::getenv("HTML5LIB_TESTS")) return dir;
  return TAGWEAVE_HTML5LIB_TESTS;
}

struct encoding_test {
  std::string data;
  std::string expected;  ///< a label of the expected encoding
};

/// The tests of one .dat file: "#data", its lines, "#encoding", one line.
std::vector<encoding_test> read_tests(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), {});
  std::vector<encoding_test> tests;
  std::size_t at = 0;
  while ((at = all.find("#data\n", at)) != std::string::npos) {
    std::size_t data_start = at + 6;
    std::size_t marker = all.find("\n#encoding\n", data_start - 1);
    if (marker == std::string::npos) break;
    std::size_t name_start = marker + 11;
    std::size_t name_end = all.find('\n', name_start);
    if (name_end == std::string::npos) name_end = all.size();
    tests.push_back({all.substr(data_start, marker - data_start),
                     all.substr(name_start, name_end - name_start)});
    at = name_end;
  }
  return tests;
}

/// The encoding sniffing for a file finds, and how decode_input acts on it.
enum class verdict { pass, beyond_window, fail };

/// html5lib-tests were written for a browser whose default, when nothing
/// is declared, is windows-1252; ours is UTF-8. So "nothing found" passes
/// where they expect windows-1252. A declaration we find must name the
/// expected encoding, and decode_input must then use it or, for one we do
/// not decode, name it as unsupported.
verdict judge(const encoding_test& test) {
  std::string_view expected = lookup_label(test.expected).canonical_name;
  auto agrees = [&](const label_lookup& found) {
    if (!found.found && !found.known_other) {
      return expected == name_of(encoding::windows1252);
    }
    return found.canonical_name == expected;
  };
  label_lookup found = sniff_encoding(test.data).found;
  if (!agrees(found)) {
    // Browsers also act on a <meta> the tree builder meets later ("change
    // the encoding"), which reading a whole file once leaves out.
    return agrees(sniff_encoding(test.data, test.data.size()).found)
               ? verdict::beyond_window
               : verdict::fail;
  }
  decoded_input decoded = decode_input(test.data);
  bool consistent =
      found.found
          ? decoded.used == *found.found && decoded.unsupported.empty()
          : decoded.used == encoding::utf8 &&
                decoded.unsupported == std::string(found.canonical_name);
  return consistent ? verdict::pass : verdict::fail;
}

class EncodingHtml5lib : public ::testing::TestWithParam<const char*> {};

TEST_P(EncodingHtml5lib, SniffsTheExpectedEncoding) {
  std::filesystem::path file = html5lib_tests() / "encoding" / GetParam();
  if (!std::filesystem::exists(file)) {
    GTEST_SKIP() << "html5lib-tests not found at " << file
                 << " (set HTML5LIB_TESTS to the suite's folder)";
  }
  std::vector<encoding_test> tests = read_tests(file);
  ASSERT_FALSE(tests.empty()) << "no tests read from " << file;
  std::size_t passed = 0;
  std::size_t beyond = 0;
  for (const encoding_test& test : tests) {
    verdict v = judge(test);
    if (v == verdict::pass) {
      ++passed;
    } else if (v == verdict::beyond_window) {
      ++beyond;
    } else {
      ADD_FAILURE() << "data " << test_text::quoted(test.data.substr(0, 200))
                    << "\nexpected " << test.expected << ", sniffed "
                    << sniff_encoding(test.data).found.canonical_name;
    }
  }
  std::cout << "html5lib-tests encoding/" << GetParam() << ": " << passed
            << " of " << tests.size() << " pass; " << beyond
            << " declare it past the first " << prescan_window << " bytes\n";
}

INSTANTIATE_TEST_SUITE_P(Files, EncodingHtml5lib,
                         ::testing::Values("tests1.dat", "tests2.dat",
                                           "test-yahoo-jp.dat"),
                         [](const auto& file) {
                           std::string name = file.param;
                           for (char& c : name) {
                             if (c == '.' || c == '-') c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace tagweave::html5
