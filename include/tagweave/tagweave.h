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
//
// Conversions share no state: any number may run at once, on any threads,
// each with its own input, options and output, and each gives the bytes it
// gives alone.
//
// What a conversion throws, besides whatever the caller's `write` throws:
//   std::invalid_argument  html5 mode: `encoding` names no encoding (see
//                          is_encoding_label); thrown before anything is
//                          written.
//   std::length_error      html5 mode: the document is too large for the
//                          32-bit offsets of its tree (about 4 GiB of text
//                          or of nodes).
//   std::bad_alloc         memory ran out.
// What was written before an exception is not a whole document.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// What the shared library exports: the functions below, and nothing of the
// code behind them, which is built with hidden visibility.
#if defined(__GNUC__)
#define TAGWEAVE_API __attribute__((visibility("default")))
#else
#define TAGWEAVE_API
#endif

namespace tagweave {

/// The version of the library, as `tagweave --version` prints it.
TAGWEAVE_API std::string_view version();

/// Which HTML the input is read as.
enum class reading_mode {
  /// The early tag set: title, headings, paragraphs, lists, listings,
  /// preformatted and plain text, the type styles.
  early_tag_set,
  /// Today's HTML, read by the HTML standard's parsing rules (encoding
  /// sniffing included: the input is bytes) and written as LaTeX2e for
  /// pdflatex.
  html5,
};

/// Where an external link's URL is shown when its text is not the URL.
enum class link_url_display {
  footnote,  ///< in a footnote, marked at the link
  none,      ///< not shown: the link is only clickable
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
  /// What follows \documentstyle (\documentclass in html5 mode), brackets
  /// and braces included: "[12pt]{report}". Absent: "{article}".
  std::optional<std::string> style;
  /// html5 mode: an encoding label ("utf-8", "latin1", ...) that overrides
  /// the encoding the document declares. A label that names no encoding is
  /// refused: the conversion throws std::invalid_argument.
  std::optional<std::string> encoding;
  /// html5 mode: the page's folder, where pdflatex is to run. An image is
  /// included only when its source names a file inside this folder's tree
  /// (symbolic links resolved), and is written as that file's path relative
  /// to the folder. Absent, no file is read and every image is written as
  /// its alt text.
  std::optional<std::string> image_folder;
  /// html5 mode: the page's own file name as its links spell it
  /// ("struct.Vec.html"): a link to it with a fragment jumps inside the
  /// document, as "#fragment" does.
  std::optional<std::string> page_file;
  /// html5 mode: what a link to the web shows of its URL on paper, where
  /// it cannot be clicked.
  link_url_display link_urls = link_url_display::footnote;
  /// html5 mode: write everything the page shows. Otherwise only its
  /// content is written, as a reader view: its main element when it has
  /// one, else the page without its navigation, site banner and footer,
  /// and lists of links at its start and end; permalink marks, a "skip to
  /// content" link and aria-hidden elements are left out in either case
  /// (the README says exactly what).
  bool whole_page = false;
};

/// How a conversion went. The whole document is written in every case; a
/// flag says where it may not be what the input meant.
struct conversion_status {
  /// A tag or comment was never closed: the body ends before it.
  bool unterminated_tag = false;
  /// A closing list or listing tag closed nothing: the body ends there.
  bool stray_list_end = false;

  // html5 mode: what the document could not have as it asked, none of
  // which makes the conversion less whole.
  /// Characters no font of the preamble has, written as a placeholder that
  /// shows their code point.
  std::size_t untypeset_characters = 0;
  /// The encoding the document declared (or `encoding` asked for) when
  /// tagweave cannot decode it; the input was read as UTF-8.
  std::string unsupported_encoding;

  bool whole() const { return !unterminated_tag && !stray_list_end; }
};

/// Whether `label` names an encoding ("utf-8", "Latin1", " ascii "), as the
/// Encoding standard's labels do, whether or not tagweave decodes it: a
/// label for which this is false makes an html5 conversion throw.
TAGWEAVE_API bool is_encoding_label(std::string_view label);

/// Receives the LaTeX in pieces, in order.
using latex_writer = std::function<void(std::string_view)>;

/// Converts `html` and hands the LaTeX document to `write` piece by piece.
/// In the early tag set, line ends are folded and NUL bytes dropped first,
/// exactly as the command line does when it loads a file; in html5 mode
/// `html` is the file's bytes, decoded as the HTML standard says. Throws
/// what the top of this header lists.
/// The conversion runs on the calling thread alone.
TAGWEAVE_API conversion_status convert(std::string_view html,
                                       const document_options& options,
                                       const latex_writer& write);

/// Converts `html` and appends the LaTeX document to `latex`.
TAGWEAVE_API conversion_status convert(std::string_view html,
                                       const document_options& options,
                                       std::string& latex);

/// The same conversions of a document the caller hands over, without a
/// copy: `html` becomes the conversion's working space (in the early tag set
/// its line ends are folded and its runs decoded where they stand) and its
/// contents afterwards are unspecified, so memory stays that of the document
/// plus the output's buffer. For a large file read into a string of its own.
/// (A name of its own rather than an overload of convert: a string literal
/// would fit both.)
TAGWEAVE_API conversion_status convert_in_place(std::string&& html,
                                                const document_options& options,
                                                const latex_writer& write);
TAGWEAVE_API conversion_status convert_in_place(std::string&& html,
                                                const document_options& options,
                                                std::string& latex);

}  // namespace tagweave
