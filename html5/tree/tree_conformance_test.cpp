// html5lib-tests' tree construction suite: every test of every
// tree-construction/*.dat file that is not a fragment test and does not ask
// for scripting, parsed as a whole document and compared, dump against
// "#document", exactly. Prints passed/total per file and in all; fails when
// fewer than conformance_goal of them pass, listing the failures.
#include "diag/tree_dump.h"
#include "html5/tree/parse.h"

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

namespace fs = std::filesystem;

/// The share of the suite that must pass, in percent.
constexpr double conformance_goal = 98.5;

fs::path suite_dir() {
  const char* from_environment = std::getenv("HTML5LIB_TESTS");
  fs::path root =
      from_environment != nullptr ? from_environment : TAGWEAVE_HTML5LIB_TESTS;
  return root / "tree-construction";
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

struct tree_test {
  std::string data;
  std::string document;
  bool fragment = false;
  bool script_on = false;
};

/// The tests of one .dat file: each starts with a "#data" line; the data
/// runs to the "#errors" line, the expected tree from "#document" to the
/// blank line before the next test.
std::vector<tree_test> read_tests(const std::string& text) {
  std::vector<tree_test> tests;
  const std::string separator = "\n#data\n";
  std::string all = "\n" + text;
  std::size_t at = all.find(separator);
  while (at != std::string::npos) {
    std::size_t next = all.find(separator, at + 1);
    std::string chunk = all.substr(at + separator.size(),
                                   next == std::string::npos
                                       ? std::string::npos
                                       : next + 1 - at - separator.size());
    at = next;
    tree_test t;
    std::size_t errors = chunk.find("\n#errors\n");
    if (chunk.rfind("#errors\n", 0) == 0) {
      errors = 0;
    } else if (errors == std::string::npos) {
      continue;
    } else {
      t.data = chunk.substr(0, errors);
      errors += 1;
    }
    std::size_t document = chunk.find("\n#document\n", errors);
    if (document == std::string::npos) continue;
    std::string headers = chunk.substr(errors, document - errors + 1);
    t.fragment = headers.find("\n#document-fragment\n") != std::string::npos;
    t.script_on = headers.find("\n#script-on\n") != std::string::npos;
    t.document = chunk.substr(document + 11);
    while (t.document.size() >= 2 &&
           t.document.compare(t.document.size() - 2, 2, "\n\n") == 0) {
      t.document.pop_back();
    }
    tests.push_back(std::move(t));
  }
  return tests;
}

/// The input stream's preprocessing: CR LF and lone CR become LF.
std::string preprocess(std::string_view data) {
  std::string out;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < data.size() && data[i + 1] == '\n') ++i;
    } else {
      out.push_back(data[i]);
    }
  }
  return out;
}

std::string first_lines(const std::string& text, int count) {
  std::size_t end = 0;
  for (int i = 0; i < count && end != std::string::npos; ++i) {
    end = text.find('\n', end == 0 ? 0 : end + 1);
  }
  return text.substr(0, end);
}

TEST(TreeConformance, WholeDocumentsMatchTheSuite) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(suite_dir(), error)) {
    if (entry.is_regular_file() && entry.path().extension() == ".dat") {
      files.push_back(entry.path());
    }
  }
  if (files.empty()) {
    GTEST_SKIP() << "html5lib-tests not found at " << suite_dir()
                 << " (set HTML5LIB_TESTS): tree construction not checked";
  }
  std::sort(files.begin(), files.end());
  std::size_t passed = 0, total = 0;
  std::string failures;
  for (const fs::path& file : files) {
    std::size_t file_passed = 0, file_total = 0;
    std::vector<tree_test> tests = read_tests(read_file(file));
    for (std::size_t i = 0; i < tests.size(); ++i) {
      const tree_test& t = tests[i];
      if (t.fragment || t.script_on) continue;
      ++file_total;
      std::string dump;
      dump_tree(parse_document(preprocess(t.data)), dump);
      if (dump == t.document) {
        ++file_passed;
        continue;
      }
      failures += file.filename().string() + " #" + std::to_string(i) + ": " +
                  first_lines(t.data, 2) + "\n";
      if (std::getenv("TREE_CONFORMANCE_VERBOSE") != nullptr) {
        failures += "expected:\n" + t.document + "got:\n" + dump + "\n";
      }
    }
    std::printf("%-45s %4zu/%zu\n", file.filename().string().c_str(),
                file_passed, file_total);
    passed += file_passed;
    total += file_total;
  }
  double percent = total == 0 ? 100.0
                              : 100.0 * static_cast<double>(passed) /
                                    static_cast<double>(total);
  std::printf("tree construction: %zu/%zu passed (%.2f%%)\n", passed, total,
              percent);
  EXPECT_GE(percent, conformance_goal) << "failing tests:\n" << failures;
  if (percent >= conformance_goal && !failures.empty()) {
    std::printf("failing tests:\n%s", failures.c_str());
  }
}

}  // namespace
}  // namespace tagweave::html5
