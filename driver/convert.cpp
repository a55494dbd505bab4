#include "driver/convert.h"

#include "latex/frame.h"
#include "latex/renderer.h"

namespace tagweave {

conversion_outcome convert_document(std::string_view text, byte_sink& dest,
                                    const RunOptions& options) {
  conversion_outcome outcome;
  split_result split = split_document(text);
  outcome.split = split.status;
  write_frame_preamble(dest, options);
  render_state state = S_NORMAL;
  outcome.abnormal_exit =
      render_marks(dest, split.marks, state, options) != nullptr;
  write_frame_closing(dest, options);
  return outcome;
}

file_names derive_file_names(
    std::string_view argument,
    const std::function<bool(const std::string&)>& can_open_for_reading) {
  constexpr std::string_view html = ".html";
  std::string name(argument);
  if (argument.size() >= html.size() &&
      argument.substr(argument.size() - html.size()) == html) {
    std::string output = name.substr(0, name.size() - html.size()) + ".tex";
    return {std::move(name), std::move(output)};
  }
  std::string output = name + ".tex";
  if (!can_open_for_reading(name)) name += html;
  return {std::move(name), std::move(output)};
}

}  // namespace tagweave
