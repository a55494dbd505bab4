// How the file names of one argument are derived.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tagweave {

struct file_names {
  std::string input;
  std::string output;
};

/// The input and output names for a file argument: "page.html" reads
/// page.html and writes page.tex; any other name is read as it stands if it
/// can be opened (else with ".html" appended) and written with ".tex"
/// appended. `opens_as_input` is asked only about a name without ".html";
/// it opens the name and keeps it open as the input when it can, so that the
/// input is opened once (a second open of a FIFO would wait for a writer that
/// is gone).
file_names derive_file_names(
    std::string_view argument,
    const std::function<bool(const std::string&)>& opens_as_input);

}  // namespace tagweave
