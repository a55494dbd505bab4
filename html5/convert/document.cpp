// One --html5 conversion: bytes decoded as the HTML standard says, parsed,
// and written as a LaTeX2e document.
#include "html5/convert/document.h"
#include "html5/encoding/encoding.h"
#include "html5/latex2e/preamble.h"
#include "html5/latex2e/writer.h"
#include "html5/tree/parse.h"
#include "images/image_files.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace tagweave {
namespace {

/// The encoding label to decode with: the option's, which must name an
/// encoding (the public header says so), or none: the document's own is
/// sniffed.
std::optional<std::string_view> usable_label(const document_options& options) {
  if (!options.encoding) return std::nullopt;
  html5::label_lookup named = html5::lookup_label(*options.encoding);
  if (!named.found && !named.known_other) {
    throw std::invalid_argument("unknown encoding " + *options.encoding);
  }
  return std::string_view(*options.encoding);
}

/// Whether the page is set in two columns, where longtable stops: by the
/// class's twocolumn option, or by \twocolumn in the raw text after
/// \begin{document}.
bool sets_two_columns(const document_options& options) {
  auto names = [](const std::optional<std::string>& text, const char* word) {
    return text && text->find(word) != std::string::npos;
  };
  return names(options.style, "twocolumn") ||
         names(options.header, "\\twocolumn");
}

/// Whether the class given by -o has chapters (report, book), which then
/// hold the page's top headings.
bool class_has_chapters(const document_options& options) {
  if (!options.style) return false;
  std::string_view style = *options.style;
  return style.find("{report}") != std::string_view::npos ||
         style.find("{book}") != std::string_view::npos;
}

}  // namespace

conversion_status convert_html5_document(std::string bytes, byte_sink& dest,
                                         const document_options& options) {
  conversion_status status;
  html5::decoded_input decoded =
      html5::decode_owned_input(std::move(bytes), usable_label(options));
  status.unsupported_encoding = std::move(decoded.unsupported);
  html5::document doc = html5::parse_document(std::move(decoded.text));

  latex2e::escape_state title_escape;
  latex2e::write_preamble(dest, options, latex2e::read_metadata(doc),
                          title_escape);
  latex2e::writer_options writing;
  writing.numbered_headings = options.numbered_headings;
  writing.tables_as_text = sets_two_columns(options);
  writing.page_file = options.page_file.value_or("");
  writing.url_footnotes = options.link_urls == link_url_display::footnote;
  writing.whole_page = options.whole_page;
  writing.chapters = class_has_chapters(options);
  if (options.image_folder) {
    // One checker for the page: it reads and checks each file once, however
    // often and however spelled the page names it, and bounds the work all
    // of the page's pictures may cause.
    auto checker = std::make_shared<image_checker>(*options.image_folder);
    writing.images = [checker](std::string_view src) {
      return checker->includable(src);
    };
  }
  latex2e::writer_report report = latex2e::write_body(doc, dest, writing);
  latex2e::write_closing(dest, options);
  status.untypeset_characters =
      report.untypeset_characters + title_escape.untypeset;
  return status;
}

}  // namespace tagweave
