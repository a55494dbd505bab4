// The LaTeX2e writer: a parsed HTML document's body as LaTeX2e that
// pdflatex compiles with the preamble of html5/latex2e/preamble.h, whatever the
// tree holds. It walks the tree once, without recursion, and writes each
// element's LaTeX only once the element has something to show, so empty
// elements write nothing and environments are never left empty.
#pragma once

#include "html5/tree/dom.h"
#include "output/byte_sink.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tagweave::latex2e {

/// Given an image's src, the path to write in \includegraphics (checked to
/// be an image pdflatex reads), or nothing to write the alt text instead.
using image_resolver =
    std::function<std::optional<std::string>(std::string_view src)>;

struct writer_options {
  bool numbered_headings = false;  ///< \section rather than \section*
  /// The class has \chapter: the page's top headings are chapters.
  bool chapters = false;
  image_resolver images;  ///< empty: every image is its alt text
  /// Tables as their cells' text: longtable refuses two-column pages.
  bool tables_as_text = false;
  /// The page's own file name: links to it with a fragment jump inside the
  /// document. Empty: only "#fragment" links do.
  std::string page_file;
  /// A link to the web whose text is not its URL gets the URL in a
  /// footnote, for paper.
  bool url_footnotes = false;
  /// Everything the page shows, rather than its content alone (the reader
  /// view of html5/latex2e/content_selection.h).
  bool whole_page = false;
};

struct writer_report {
  /// Characters no font of the preamble has, written as placeholders.
  std::size_t untypeset_characters = 0;
};

/// Writes what goes between \begin{document} and \end{document}.
writer_report write_body(const html5::document& doc, byte_sink& out,
                         const writer_options& options);

/// The page's own title and author: the text of its <title>, and the
/// content of <meta name="author">, white space collapsed; empty when
/// absent.
struct page_metadata {
  std::string title;
  std::string author;
};
page_metadata read_metadata(const html5::document& doc);

}  // namespace tagweave::latex2e
