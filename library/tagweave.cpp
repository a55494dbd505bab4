// The public API (include/tagweave/tagweave.h): each call goes to the
// pipeline of its reading mode.
#include "early/convert/document.h"
#include "early/reader/line_ends.h"
#include "html5/convert/document.h"
#include "html5/encoding/encoding.h"
#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

namespace tagweave {

std::string_view version() { return TAGWEAVE_VERSION; }

bool is_encoding_label(std::string_view label) {
  html5::label_lookup named = html5::lookup_label(label);
  return named.found || named.known_other;
}

namespace {

/// Converts `html`, which the conversion may use as working space, to
/// `dest` and flushes it.
conversion_status convert_owned(std::string& html, byte_sink& dest,
                                const document_options& options) {
  conversion_status status;
  if (options.mode == reading_mode::html5) {
    status = convert_html5_document(std::move(html), dest, options);
  } else {
    line_end_folder folder;
    html.resize(folder.fold(html.data(), html.size()));
    status = convert_document_in_place(html, dest, options);
  }
  dest.flush();
  return status;
}

}  // namespace

conversion_status convert(std::string_view html,
                          const document_options& options,
                          const latex_writer& write) {
  return convert_in_place(std::string(html), options, write);
}

conversion_status convert(std::string_view html,
                          const document_options& options, std::string& latex) {
  return convert_in_place(std::string(html), options, latex);
}

conversion_status convert_in_place(std::string&& html,
                                   const document_options& options,
                                   const latex_writer& write) {
  byte_sink dest(write);
  return convert_owned(html, dest, options);
}

conversion_status convert_in_place(std::string&& html,
                                   const document_options& options,
                                   std::string& latex) {
  byte_sink dest(latex);
  return convert_owned(html, dest, options);
}

}  // namespace tagweave
