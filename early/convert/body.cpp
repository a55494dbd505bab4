#include "early/convert/body.h"

#include "early/reader/split_walk.h"
#include "early/writer/renderer.h"

namespace tagweave {
namespace {

/// Writes each record as the splitter reads it, until a stray end tag of a
/// list ends the walk; the splitter still reads the rest, so that a tag that
/// is never closed is reported all the same.
class rendering_consumer {
 public:
  rendering_consumer(byte_sink& dest, const document_options& options)
      : walk_(dest, S_NORMAL, options) {}

  void take(const mark_view& rec) {
    if (!ended_early_) ended_early_ = !walk_.render(rec);
  }
  bool ended_early() const { return ended_early_; }

 private:
  mark_renderer walk_;
  bool ended_early_ = false;
};

}  // namespace

body_status write_body(std::string& text, byte_sink& dest,
                       const document_options& options) {
  rendering_consumer body(dest, options);
  body_status status;
  status.split = split_document_to(text, body);
  status.ended_early = body.ended_early();
  return status;
}

}  // namespace tagweave
