#include "convert/convert.h"

#include "convert/body.h"
#include "html/line_ends.h"
#include "latex/frame.h"

namespace tagweave {

conversion_status convert_document_in_place(std::string& text, byte_sink& dest,
                                            const document_options& options) {
  write_frame_preamble(dest, options);
  body_status body = write_body(text, dest, options);
  conversion_status status;
  status.unterminated_tag = body.split == split_status::unterminated_tag;
  status.stray_list_end = body.ended_early;
  write_frame_closing(dest, options);
  return status;
}

conversion_status convert_document(std::string_view text, byte_sink& dest,
                                   const document_options& options) {
  std::string working(text);
  return convert_document_in_place(working, dest, options);
}

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
