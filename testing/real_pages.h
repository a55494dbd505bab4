// Benchmark support: the HTML pages installed on the machine (the files
// under /usr/share/doc), as real input for the HTML5 benchmarks.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tagweave::testing {

/// How much of the machine's documentation the real-page benchmarks read:
/// enough to be representative, little enough to load quickly.
inline constexpr std::size_t real_pages_budget = 16 << 20;

/// The bytes of the HTML pages under /usr/share/doc, in a stable order, up
/// to real_pages_budget.
inline const std::vector<std::string>& real_html_pages() {
  static const std::vector<std::string> pages = [] {
    std::vector<std::filesystem::path> paths;
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(
             "/usr/share/doc", ignored);
         it != std::filesystem::recursive_directory_iterator();
         it.increment(ignored)) {
      if (it->is_regular_file(ignored) && it->path().extension() == ".html") {
        paths.push_back(it->path());
      }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> texts;
    std::size_t total = 0;
    for (const auto& path : paths) {
      std::ifstream in(path, std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      texts.push_back(bytes.str());
      total += texts.back().size();
      if (total > real_pages_budget) break;
    }
    return texts;
  }();
  return pages;
}

inline std::size_t total_size(const std::vector<std::string>& pages) {
  std::size_t total = 0;
  for (const std::string& page : pages) total += page.size();
  return total;
}

}  // namespace tagweave::testing
