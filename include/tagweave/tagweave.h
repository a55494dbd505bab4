// tagweave: HTML documents to complete LaTeX documents.
//
// The library behind the tagweave command, through this one header. It
// converts a document held in memory and hands back the LaTeX; it prints
// nothing, exits never and touches no file. The command line and the library
// give the same bytes for the same input and options.
//
//   tagweave::document_options options;
//   options.title = "Notes";
//   std::string latex;
//   tagweave::conversion_status status =
//       tagweave::convert(html, options, latex);
//   if (!status.whole()) { /* see unterminated_tag, stray_list_end */ }
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tagweave {

/// The version of the library, as `tagweave --version` prints it.
std::string_view version();

/// Which HTML the input is read as.
enum class reading_mode {
  /// The early tag set: title, headings, paragraphs, lists, listings,
  /// preformatted and plain text, the type styles.
  early_tag_set,
};

/// How a document is written. Every field has a meaning on its own: a string
/// that is absent writes nothing.
struct document_options {
  reading_mode mode = reading_mode::early_tag_set;
  /// Title block: \title{...} (escaped), \author{...} and \maketitle.
  std::optional<std::string> title;
  std::optional<std::string> author;
  bool numbered_headings = false;  ///< \section rather than \section*
  /// \newpage after the title block and after the table of contents.
  bool page_break = false;
  bool contents = false;  ///< \tableofcontents
  /// LaTeX written unchanged right after \begin{document} and right before
  /// \end{document}.
  std::optional<std::string> header;
  std::optional<std::string> footer;
  /// What follows \documentstyle, brackets and braces included:
  /// "[12pt]{report}". Absent: "{article}".
  std::optional<std::string> style;
};

/// How a conversion went. The whole document is written in every case; a
/// flag says where it may not be what the input meant.
struct conversion_status {
  /// A tag or comment was never closed: the body ends before it.
  bool unterminated_tag = false;
  /// A closing list or listing tag closed nothing: the body ends there.
  bool stray_list_end = false;

  bool whole() const { return !unterminated_tag && !stray_list_end; }
};

/// Receives the LaTeX in pieces, in order.
using latex_writer = std::function<void(std::string_view)>;

/// Converts `html` and hands the LaTeX document to `write` piece by piece.
/// Line ends are folded and NUL bytes dropped first, exactly as the command
/// line does when it loads a file. Throws std::bad_alloc when memory runs
/// out, and whatever `write` throws.
conversion_status convert(std::string_view html,
                          const document_options& options,
                          const latex_writer& write);

/// Converts `html` and appends the LaTeX document to `latex`.
conversion_status convert(std::string_view html,
                          const document_options& options, std::string& latex);

}  // namespace tagweave
