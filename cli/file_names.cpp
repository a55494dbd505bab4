#include "cli/file_names.h"

namespace tagweave {

file_names derive_file_names(
    std::string_view argument,
    const std::function<bool(const std::string&)>& opens_as_input) {
  constexpr std::string_view html = ".html";
  std::string name(argument);
  if (argument.ends_with(html)) {
    std::string output = name.substr(0, name.size() - html.size()) + ".tex";
    return {std::move(name), std::move(output)};
  }
  std::string output = name + ".tex";
  if (!opens_as_input(name)) name += html;
  return {std::move(name), std::move(output)};
}

}  // namespace tagweave
