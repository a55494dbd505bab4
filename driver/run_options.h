// The options of one run, read once from the command line and then handed,
// read-only, to whatever needs them: the driver, the document frame and the
// renderer.
#pragma once

#include <string>
#include <string_view>

namespace tagweave {

struct RunOptions {
  bool have_author = false;
  bool have_title = false;
  bool number_sections = false;  ///< -n: headings are numbered
  bool page_break = false;  ///< -p: new page after title block and contents
  bool want_toc = false;    ///< -c: table of contents
  bool to_stdout = false;   ///< -s: every document to standard output
  bool have_header = false;
  bool have_footer = false;
  bool have_style = false;
  // The strings point into the process's argument vector.
  std::string_view author_text;
  std::string_view title_text;
  std::string_view header_text;    ///< written right after \begin{document}
  std::string_view footer_text;    ///< written right before \end{document}
  std::string_view style_options;  ///< written right after \documentstyle
  /// "*" for unnumbered headings, "" with -n.
  std::string_view section_star = "*";
};

/// The options and where the file arguments begin.
struct option_scan {
  RunOptions options;
  bool bad_option = false;  ///< an unknown option or a missing argument
  int first_file = 0;       ///< index of the first file argument in argv
  /// False when the command line cannot be used: a bad option, or no file.
  bool usable(int argc) const { return !bad_option && first_file < argc; }
};

/// Scans the options with POSIX getopt semantics: no argument permutation,
/// so scanning stops at the first word that is not an option. getopt's own
/// diagnostics for bad options go to standard error.
option_scan read_options(int argc, char* argv[]);

/// The usage text, with `program_name` in its place.
std::string usage_text(std::string_view program_name);

}  // namespace tagweave
