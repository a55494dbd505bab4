#include "early/convert/document.h"

#include "early/convert/body.h"
#include "early/reader/line_ends.h"
#include "early/writer/frame.h"

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

}  // namespace tagweave
