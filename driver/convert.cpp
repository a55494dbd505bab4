#include "driver/convert.h"

#include "latex/frame.h"
#include "latex/renderer.h"

namespace tagweave {

namespace {

/// Writes each record as the splitter reads it, until a stray end tag of a
/// list ends the walk; the splitter still reads the rest, so that a tag that
/// is never closed is reported all the same.
class rendering_consumer : public mark_consumer {
 public:
  rendering_consumer(byte_sink& dest, const RunOptions& options)
      : walk_(dest, S_NORMAL, options) {}

  void take(mark_up&& rec) override {
    if (!ended_early_) ended_early_ = !walk_.render(rec);
  }
  bool ended_early() const { return ended_early_; }

 private:
  mark_renderer walk_;
  bool ended_early_ = false;
};

}  // namespace

conversion_outcome convert_document(std::string_view text, byte_sink& dest,
                                    const RunOptions& options) {
  write_frame_preamble(dest, options);
  rendering_consumer body(dest, options);
  conversion_outcome outcome;
  outcome.split = split_document(text, body);
  outcome.abnormal_exit = body.ended_early();
  write_frame_closing(dest, options);
  return outcome;
}

file_names derive_file_names(
    std::string_view argument,
    const std::function<bool(const std::string&)>& opens_as_input) {
  constexpr std::string_view html = ".html";
  std::string name(argument);
  if (argument.size() >= html.size() &&
      argument.substr(argument.size() - html.size()) == html) {
    std::string output = name.substr(0, name.size() - html.size()) + ".tex";
    return {std::move(name), std::move(output)};
  }
  std::string output = name + ".tex";
  if (!opens_as_input(name)) name += html;
  return {std::move(name), std::move(output)};
}

}  // namespace tagweave
