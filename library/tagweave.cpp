// The public API (include/tagweave/tagweave.h): each call goes to the
// pipeline of its reading mode.
#include "early/convert/document.h"
#include "early/reader/line_ends.h"
#include "html5/convert/document.h"
#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

namespace tagweave {

std::string_view version() { return TAGWEAVE_VERSION; }

namespace {

conversion_status convert_in_mode(std::string_view html, byte_sink& dest,
                                  const document_options& options) {
  if (options.mode == reading_mode::html5) {
    return convert_html5_document(std::string(html), dest, options);
  }
  std::string folded = fold_line_ends(html);
  return convert_document_in_place(folded, dest, options);
}

}  // namespace

conversion_status convert(std::string_view html,
                          const document_options& options,
                          const latex_writer& write) {
  byte_sink dest(write);
  conversion_status status = convert_in_mode(html, dest, options);
  dest.flush();
  return status;
}

conversion_status convert(std::string_view html,
                          const document_options& options, std::string& latex) {
  byte_sink dest(latex);
  conversion_status status = convert_in_mode(html, dest, options);
  dest.flush();
  return status;
}

}  // namespace tagweave
